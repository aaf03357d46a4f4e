// The decode service's transport on Linux: the helper process and the
// socket to it (platform/decode_transport.h). The helper's own end is
// decode_helper.cpp.
//
// The helper is the program olvistra-decode: beside the viewer in a build,
// in the install's helper folder (OLVISTRA_HELPER_FROM_BIN, relative to the
// viewer's own folder) once installed. It is started with
// OLVISTRA_DECODE_HELPER=<viewer pid> in its environment. When the display
// has a colour profile, the marker goes on with " 4" and descriptor 4 is a
// sealed memfd holding it, which the helper reads before it restricts
// itself. Viewer and helper talk over a SOCK_SEQPACKET socket pair placed at
// the helper's descriptor 3:
//   request: one packet holding the longest side the pixels may have (a
//            little-endian uint32, 0 for the built-in cap), then the
//            picture's path and the names of the files beside it that its
//            format reads (util/picture_companions.h), each ended by a 0
//            byte, with a read-only descriptor of each attached
//            (SCM_RIGHTS). The helper opens no file: it reads these. Only
//            the companions the viewer could open are named; a picture it
//            could not open as a regular file comes with no descriptor at
//            all, and the helper answers that it failed;
//   answer:  one packet holding an AnswerHeader, with the memfd of the pixels
//            attached (SCM_RIGHTS) when `ok` is set.
// The helper seals the memfd against growing, shrinking and writing before
// it sends it, so the viewer's read-only mapping can neither be changed nor
// cut short under it (no SIGBUS); the viewer checks the seals and the size
// (decode_answer.cpp).
//
// A JPEG's pixels are turned upright by its EXIF Orientation tag before they
// leave the helper (exif_orientation.h), and the header gives the upright
// size, so the viewer never learns that a picture was stored on its side.
// A picture larger than textureSideCap is shrunk in the same step, and the
// header gives both the pixels' size and the picture's.
//
// A second helper, the spare, is started and left to restrict itself while
// idle; it takes over when the working one is ended. Both end when their
// socket reports end of file and are killed with the viewer
// (PR_SET_PDEATHSIG), so no helper outlives the viewer.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/decode_transport.h"
#include "platform/decode_wire.h"
#include "platform/linux/decode_answer.h"
#include "platform/linux/descriptor_passing.h"
#include "platform/linux/layer_state.h"
#include "platform/linux/spawn_self.h"
#include "platform/services.h"
#include "util/picture_companions.h"

namespace {

const char* const helperMarker = "OLVISTRA_DECODE_HELPER";
const char* const helperName = "olvistra-decode";
const int helperSocketFd = 3;
const int displayProfileFd = 4;

// The viewer's hold on a helper.
struct Helper {
    pid_t pid = 0;
    int socket = -1;
};

Helper helper;  // the one given jobs
Helper spare;   // started ahead, idle

// The helper program's path: beside the viewer, else in the install's
// helper folder; empty when neither holds it.
const std::string& helperProgram() {
    static const std::string found = [] {
        char self[4096];
        ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
        if (length <= 0) return std::string();
        std::string folder(self, size_t(length));
        folder.erase(folder.rfind('/') + 1);
        for (std::string candidate : {folder + helperName, folder + OLVISTRA_HELPER_FROM_BIN + "/" + helperName}) {
            if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        }
        return std::string();
    }();
    return found;
}

// A sealed memfd holding the display's profile, or -1 when there is none.
int displayProfileBuffer() {
    const std::string& profile = decode_transport::displayProfile();
    if (profile.empty() || profile.size() > decode_transport::maxDisplayProfileBytes) return -1;
    int fd = int(::syscall(SYS_memfd_create, "olvistra-display-profile", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (fd < 0) return -1;
    bool ok = true;
    for (size_t done = 0; ok && done < profile.size();) {
        ssize_t put = ::write(fd, profile.data() + done, profile.size() - done);
        ok = put > 0;
        if (ok) done += size_t(put);
    }
    if (!ok || ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Starts a helper into `started`; false when it could not be started.
bool spawnHelper(Helper* started) {
    const std::string& program = helperProgram();
    if (program.empty()) return false;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return false;
    // dup2 onto the same number would keep close-on-exec set.
    if (pair[1] == helperSocketFd) {
        int moved = ::fcntl(pair[1], F_DUPFD_CLOEXEC, helperSocketFd + 1);
        ::close(pair[1]);
        if (moved < 0) {
            ::close(pair[0]);
            return false;
        }
        pair[1] = moved;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pair[1], helperSocketFd);
    // Made after the pair, so not at descriptor 3 or 4 while 0 to 2 are open
    // (dup2 onto another number clears close-on-exec); were it there, the
    // helper would find no sealed buffer and show sRGB.
    int profile = displayProfileBuffer();
    if (profile >= 0) posix_spawn_file_actions_adddup2(&actions, profile, displayProfileFd);

    std::string marker = std::string(helperMarker) + "=" + std::to_string(::getpid());
    if (profile >= 0) marker += " " + std::to_string(displayProfileFd);
    std::string name = helperName;
    char* argv[] = {&name[0], nullptr};
    pid_t child = 0;
    bool spawned = spawnProgram(program.c_str(), argv, {marker}, &actions, &child);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pair[1]);
    if (profile >= 0) ::close(profile);
    if (!spawned) {
        ::close(pair[0]);
        return false;
    }
    started->pid = child;
    started->socket = pair[0];
    return true;
}

// True while the helper runs; one found dead is reaped.
bool stillRuns(Helper* held) {
    if (held->pid <= 0) return false;
    int status = 0;
    if (::waitpid(held->pid, &status, WNOHANG) == 0) return true;
    held->pid = 0;  // reaped, or not ours any more
    return false;
}

// Kills the helper, if any, waits for it and closes the socket to it.
void end(Helper* held) {
    if (held->socket >= 0) ::close(held->socket);
    held->socket = -1;
    if (held->pid > 0) {
        ::kill(held->pid, SIGKILL);
        while (::waitpid(held->pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    held->pid = 0;
}

// A read-only descriptor of the regular file at `path`, or -1. Opened without
// waiting, so a FIFO's writer is not waited for; a device or a FIFO is not
// handed over.
int openForHelper(const char* path) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// True once the helper has set no-new-privileges, the step before its
// filter and its first job.
bool helperRestricted(pid_t pid) {
    std::string path = "/proc/" + std::to_string(pid) + "/status";
    std::FILE* status = std::fopen(path.c_str(), "re");
    if (!status) return false;
    char line[256];
    bool restricted = false;
    while (!restricted && std::fgets(line, sizeof line, status)) {
        restricted = std::strncmp(line, "NoNewPrivs:", 11) == 0 && std::strchr(line + 11, '1') != nullptr;
    }
    std::fclose(status);
    return restricted;
}

}  // namespace

namespace decode_transport {

bool helperRunning() {
    if (stillRuns(&helper)) return true;
    endHelper();
    return false;
}

bool startHelper() {
    endHelper();
    if (stillRuns(&spare)) {
        helper = spare;
        spare = Helper{};
        return true;
    }
    end(&spare);
    return spawnHelper(&helper);
}

void startSpare() {
    if (stillRuns(&spare)) return;
    end(&spare);
    spawnHelper(&spare);
}

void endHelper() { end(&helper); }

void endSpare() { end(&spare); }

bool helperStarted() { return helper.pid > 0 && helperRestricted(helper.pid); }

bool sendRequest(const char* path, uint32_t maxSide) {
    std::string request = littleEndianBytes(maxSide);
    std::vector<int> handed;
    int picture = openForHelper(path);
    if (picture >= 0) {
        request.append(path).push_back('\0');
        handed.push_back(picture);
        for (const std::string& name : pictureCompanionNames(path)) {
            int companion = openForHelper(name.c_str());
            if (companion < 0) continue;
            request.append(name).push_back('\0');
            handed.push_back(companion);
        }
    }
    bool sent = sendPacket(helper.socket, request.data(), request.size(), handed.data(), handed.size());
    for (int fd : handed) ::close(fd);
    return sent;
}

void jobSent() { olvlinux::watchDecodeAnswer(helper.socket); }

Wait waitForAnswer(uint32_t waitMs) {
    pollfd watch = {helper.socket, POLLIN, 0};
    int ready = ::poll(&watch, 1, int(waitMs));
    if (ready < 0 && errno == EINTR) return Wait::interrupted;
    if (ready == 0) return Wait::nothing;
    return (watch.revents & POLLIN) ? Wait::answer : Wait::broken;
}

bool receiveAnswer(DecodedImage* image, bool* decoded) { return receiveDecodeAnswer(helper.socket, image, decoded); }

void stopped() {
    end(&spare);
    olvlinux::stopWatchingDecodeAnswers();
}

long helperProcessId() { return long(helper.pid); }

}  // namespace decode_transport
