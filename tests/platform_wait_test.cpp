// The loop's sleep: waitForMessageOrDecode ends for a message or for the
// decode helper's answer, and an expose reaches the loop as WM_PAINT.
// The layer's header comes first: it defines APIENTRY as GL expects.
#include "platform_test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "model/decode_time_limit.h"
#include "platform/services.h"
#include "platform/testing.h"
#include "support/temp_dir.h"

using namespace platform_test;

namespace {

// Ends a wait that nothing else ended, long after the awaited event is due,
// and remembers that it had to.
class Watchdog {
public:
    Watchdog()
        : thread([this] {
              std::unique_lock<std::mutex> guard(lock);
              if (done.wait_for(guard, std::chrono::seconds(20), [this] { return stopped; })) return;
              fired = true;
              SDL_Event event{};
              event.type = SDL_USEREVENT;
              SDL_PushEvent(&event);
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> guard(lock);
            stopped = true;
        }
        done.notify_all();
        thread.join();
    }
    bool barked() {
        std::lock_guard<std::mutex> guard(lock);
        return fired;
    }

private:
    std::mutex lock;
    std::condition_variable done;
    bool stopped = false;
    bool fired = false;
    std::thread thread;
};

// Returns once the thread sleeps in the kernel (its state in /proc is S),
// so that what the caller does next comes while the thread's wait is on;
// gives up after 30 s, and the test's own checks then tell what happened.
void awaitSleeping(pid_t thread) {
    std::string stat = "/proc/self/task/" + std::to_string(thread) + "/stat";
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < end) {
        std::ifstream in(stat);
        std::string line;
        std::getline(in, line);
        std::string::size_type name = line.rfind(')');  // the name may hold blanks
        if (name != std::string::npos && line.compare(name, 3, ") S") == 0) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace

class PlatformWait : public PlatformDisplayTest {};

TEST_F(PlatformWait, TheDecodeHelpersAnswerEndsTheWait) {
    LayerWindow window;
    TempDir dir;
    // The helper blocks reading the pipe until the loop sleeps, so the
    // answer comes while the wait is on.
    std::string pipe = dir.path() + "late.png";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    setDecodeTimeLimitForTests(60000);  // the limit must not be what ends the wait
    ASSERT_TRUE(decodeServiceSubmit(pipe.c_str(), 0, decodeTimeLimitMsFor(pipe.c_str())));
    // The decoder opens the file more than once; each open gets the bytes,
    // and a write after the helper closed it must not end the test.
    void (*previousPipeHandler)(int) = signal(SIGPIPE, SIG_IGN);
    std::atomic<bool> answered{false};
    pid_t waiter = gettid();
    std::thread writer([&] {
        awaitSleeping(waiter);
        while (!answered) {
            int fd = open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd < 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            (void)!write(fd, "not a picture", 13);
            close(fd);
        }
    });
    Watchdog watchdog;
    DecodedImage image;
    DecodeJobState state = DecodeJobState::running;
    while ((state = decodeServicePoll(0, &image)) == DecodeJobState::running && !watchdog.barked()) {
        drainMessages();
        waitForMessageOrDecode();
    }
    answered = true;
    writer.join();
    signal(SIGPIPE, previousPipeHandler);
    EXPECT_EQ(state, DecodeJobState::failed);
    EXPECT_FALSE(watchdog.barked()) << "the answer did not end the wait";
    setDecodeTimeLimitForTests(0);
    decodeServiceStop();
}

TEST_F(PlatformWait, AKeyEndsTheWait) {
    LayerWindow window;
    drainMessages();
    Uint32 id = window.sdlId();
    pid_t waiter = gettid();
    std::thread presser([id, waiter] {
        awaitSleeping(waiter);
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.windowID = id;
        event.key.state = SDL_PRESSED;
        event.key.keysym.sym = SDLK_l;
        SDL_PushEvent(&event);
    });
    Watchdog watchdog;
    MSG msg{};
    bool key = false;
    while (!key && !watchdog.barked()) {
        waitForMessageOrDecode();
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) key = key || msg.message == WM_KEYDOWN;
    }
    presser.join();
    EXPECT_TRUE(key);
    EXPECT_FALSE(watchdog.barked()) << "the key did not end the wait";
}

TEST_F(PlatformWait, ExposesBecomeOneQueuedPaint) {
    LayerWindow window;
    drainMessages();
    for (int i = 0; i < 3; ++i) {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.windowID = window.sdlId();
        event.window.event = SDL_WINDOWEVENT_EXPOSED;
        SDL_PushEvent(&event);
    }
    int paints = 0;
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_PAINT && msg.hwnd == window.hWnd) ++paints;
    }
    EXPECT_EQ(paints, 1);
}
