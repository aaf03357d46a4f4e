// Message boxes. Every box writes one line to standard error,
//   olvistra: message box "<caption>": <text>
// with newlines, tabs and backslashes in the text escaped, so headless runs
// and tests can read what the user was told. With OLVISTRA_DIALOG_ANSWER set
// to "yes" or "no" no box is shown and that answer is given at once.
//
// A real box is shown by a child process of our own executable, so that any
// number of threads can show boxes at the same time without sharing SDL's
// or Xlib's state with the viewer window.
//
// Honoured flags: MB_OK, MB_YESNO (Yes is the Return default, No the Escape
// default), MB_ICONERROR, MB_ICONWARNING, MB_ICONINFORMATION.
#include <SDL.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/linux/messagebox.h"
#include "platform/linux/spawn_self.h"
#include "platform/win32.h"

namespace {

const char* const childMarker = "OLVISTRA_MESSAGE_BOX_CHILD";

std::string escapedForLog(const char* text) {
    std::string out;
    for (const char* c = text; *c; ++c) {
        switch (*c) {
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\\': out += "\\\\"; break;
            default: out += *c;
        }
    }
    return out;
}

void writeLogLine(const char* caption, const char* text) {
    std::string line = "olvistra: message box \"" + std::string(caption) + "\": " + escapedForLog(text) + "\n";
    const char* data = line.data();
    size_t left = line.size();
    while (left > 0) {
        ssize_t written = ::write(STDERR_FILENO, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) break;
        data += written;
        left -= static_cast<size_t>(written);
    }
}

bool isYesNo(UINT type) { return (type & MB_TYPEMASK) == MB_YESNO; }

int fallbackAnswer(UINT type) { return isYesNo(type) ? IDNO : IDOK; }

// SDL draws a tab as an unknown glyph; boxes line their columns up with
// spaces to the next multiple of eight instead.
std::string tabsExpanded(const char* text) {
    std::string out;
    size_t column = 0;
    for (const char* c = text; *c; ++c) {
        if (*c == '\t') {
            do out += ' ';
            while (++column % 8 != 0);
        } else {
            out += *c;
            column = *c == '\n' ? 0 : column + 1;
        }
    }
    return out;
}

// Shows the box in this process; returns the Win32 answer, or 0 when no box
// could be shown.
int showWithSdl(const char* caption, const char* text, UINT type) {
    SDL_MessageBoxButtonData yesNo[] = {
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"},
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"},
    };
    SDL_MessageBoxButtonData ok[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK, "OK"},
    };
    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    switch (type & MB_ICONMASK) {
        case MB_ICONERROR: flags = SDL_MESSAGEBOX_ERROR; break;
        case MB_ICONWARNING: flags = SDL_MESSAGEBOX_WARNING; break;
        default: break;
    }
    SDL_MessageBoxData box{};
    box.flags = flags;
    box.title = caption;
    std::string message = tabsExpanded(text);
    box.message = message.c_str();
    box.numbuttons = isYesNo(type) ? 2 : 1;
    box.buttons = isYesNo(type) ? yesNo : ok;
    int pressed = -1;
    if (SDL_ShowMessageBox(&box, &pressed) != 0) return 0;
    if (pressed < 0) return fallbackAnswer(type);  // closed without a button
    return pressed;
}

void closeBoxGroup(int) { ::kill(0, SIGKILL); }

// A box must not outlive the viewer. The child and whatever SDL forks to draw
// the box form one process group, which goes away as a whole when the thread
// that asked for the box ends (with the viewer).
void tieToViewer(pid_t viewer) {
    ::setpgid(0, 0);
    std::signal(SIGTERM, closeBoxGroup);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != viewer) closeBoxGroup(0);
}

int showInChild(const char* caption, const char* text, UINT type) {
    std::string flags = std::to_string(type);
    std::string marker = std::string(childMarker) + "=" + std::to_string(::getpid());
    char exe[] = "/proc/self/exe";
    char* argv[] = {exe, &flags[0], const_cast<char*>(caption), const_cast<char*>(text), nullptr};
    pid_t child = 0;
    if (!spawnSelf(argv, {marker}, nullptr, &child)) return 0;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return 0;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 0;
}

}  // namespace

int MessageBoxA(HWND, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    const char* text = lpText ? lpText : "";
    const char* caption = lpCaption ? lpCaption : "Error";
    writeLogLine(caption, text);

    if (const char* answer = std::getenv("OLVISTRA_DIALOG_ANSWER")) {
        bool yes = std::strcmp(answer, "yes") == 0;
        if (yes || std::strcmp(answer, "no") == 0) {
            if (!isYesNo(uType)) return IDOK;
            return yes ? IDYES : IDNO;
        }
    }
    int answer = showInChild(caption, text, uType);
    if (answer != IDOK && answer != IDYES && answer != IDNO) return fallbackAnswer(uType);
    return answer;
}

bool startedAsMessageBoxChild(int argc, char**) { return argc == 4 && std::getenv(childMarker); }

// Runs in a child started by showInChild: shows the box and exits with the
// answer, leaving SDL's state as it is.
void runMessageBoxChild(int, char** argv) {
    tieToViewer(static_cast<pid_t>(std::strtol(std::getenv(childMarker), nullptr, 10)));
    std::_Exit(showWithSdl(argv[2], argv[3], static_cast<UINT>(std::strtoul(argv[1], nullptr, 10))));
}
