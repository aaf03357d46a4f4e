// Wakes the thread that waits for messages when the decode helper answers.
//
// Honoured:
//  - One thread of our own, started on the first watch, sleeps in poll() on
//    a duplicate of the helper's socket and on an eventfd that hands it the
//    next socket (or tells it to end). When the socket turns readable (an
//    answer, or the helper's end) it pushes one SDL user event and stops
//    watching until the next job is handed over, so a waiting answer never
//    makes it spin.
//  - The watcher owns its duplicate, so the service may close or replace the
//    helper's socket at any time without pulling a descriptor from under a
//    poll().
//  - wakeMessageWait pushes the same event, from any thread.
// Not supported: more than one job in flight (the service has one at most).
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/linux/layer_state.h"
#include "platform/services.h"

namespace {

struct Watcher {
    std::mutex lock;
    std::thread thread;
    int wake = -1;          // eventfd: a handover or the end is waiting
    int handed = -1;        // the next descriptor to watch, owned until taken
    bool handedOver = false;
    bool ending = false;
};

// Never destroyed: a thread still watching at exit ends with the process.
Watcher& watcher() {
    static Watcher* state = new Watcher;
    return *state;
}

void pushWakeEvent() {
    SDL_Event event{};
    event.type = olvlinux::decodeWakeEventType();
    // Fails before SDL's events are started; the waiter then finds the answer
    // in the socket itself before it sleeps.
    SDL_PushEvent(&event);
}

void watchLoop() {
    Watcher& w = watcher();
    int watched = -1;
    for (;;) {
        pollfd fds[2] = {{w.wake, POLLIN, 0}, {watched, POLLIN, 0}};
        int ready = ::poll(fds, watched >= 0 ? 2 : 1, -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents) {
            std::uint64_t count = 0;
            (void)!::read(w.wake, &count, sizeof count);
            std::lock_guard<std::mutex> guard(w.lock);
            if (w.handedOver || w.ending) {
                if (watched >= 0) ::close(watched);
                watched = w.handed;
                w.handed = -1;
                w.handedOver = false;
            }
            if (w.ending) break;
            continue;
        }
        if (watched >= 0 && fds[1].revents) {
            pushWakeEvent();
            ::close(watched);
            watched = -1;
        }
    }
    if (watched >= 0) ::close(watched);
}

void signalWatcher() {
    std::uint64_t one = 1;
    (void)!::write(watcher().wake, &one, sizeof one);
}

}  // namespace

namespace olvlinux {

Uint32 decodeWakeEventType() {
    static const Uint32 type = [] {
        Uint32 registered = SDL_RegisterEvents(1);
        return registered == Uint32(-1) ? Uint32(SDL_USEREVENT) : registered;
    }();
    return type;
}

}  // namespace olvlinux

void wakeMessageWait() { pushWakeEvent(); }

namespace olvlinux {

void watchDecodeAnswer(int socket) {
    Watcher& w = watcher();
    decodeWakeEventType();
    int copy = ::fcntl(socket, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return;  // the waiter still looks at the socket before it sleeps
    std::lock_guard<std::mutex> guard(w.lock);
    if (!w.thread.joinable()) {
        if (w.wake < 0) w.wake = ::eventfd(0, EFD_CLOEXEC);
        if (w.wake < 0) {
            ::close(copy);
            return;
        }
        w.ending = false;
        w.thread = std::thread(watchLoop);
    }
    if (w.handed >= 0) ::close(w.handed);
    w.handed = copy;
    w.handedOver = true;
    signalWatcher();
}

void stopWatchingDecodeAnswers() {
    Watcher& w = watcher();
    {
        std::lock_guard<std::mutex> guard(w.lock);
        if (!w.thread.joinable()) return;
        w.ending = true;
        signalWatcher();
    }
    w.thread.join();
    std::lock_guard<std::mutex> guard(w.lock);
    if (w.handed >= 0) ::close(w.handed);
    w.handed = -1;
    w.handedOver = false;
}

}  // namespace olvlinux
