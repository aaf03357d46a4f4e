// Opt-in timing of how an entry reaches the screen. With OLVISTRA_TRACE=1 in
// the environment, each entry that is loaded and then presented writes one
// line to standard error:
//
//   olvistra: trace <path>: list 3.1 ms decode 120.4 ms upload 20.2 ms present 4.0 ms
//
// and each neighbour decoded ahead of being shown writes
//
//   olvistra: trace <path>: decoded ahead
//
// list is the time the viewer waited for the file list, which is made on a
// thread of its own (reported with the first entry shown after it, 0
// afterwards); decode is the image decode (for a
// picture decoded ahead by the helper, only what was still waited for); upload is
// the rest of the entry's load (scaling, texture creation); present is the
// rest of that frame (drawing and the buffer swap).
//
// Steps of the start are marked with the time since the viewer's own code
// started (its static initialisation, after the libraries were loaded):
//
//   olvistra: trace at 41.2 ms: window open
//
// When tracing is off every hook is one test of a cached flag.
#pragma once

#include <chrono>
#include <string>

namespace trace {

enum class Step { list, decode, load, frame };

// True when OLVISTRA_TRACE is set to a value other than "" or "0"; read once.
bool enabled();

// Adds a measured time to the step of the entry being traced.
void add(Step step, double ms);

// Records how long the shown entry's pixels were waited for when they were
// decoded outside its load (by the decode helper); counted as its decode.
void decodeWaited(const std::string& path, double ms);

// Says that a neighbour's pixels were decoded before it was shown (one line
// with the path, "decoded ahead").
void decodedAhead(const std::string& path);

// Names the entry whose load starts now; its line is written by framePresented().
void entryLoading(const std::string& path);

// Ends the frame: writes the line of the entry loaded in it, if any; the
// first frame is also marked (see mark).
void framePresented();

// Writes one line with the time since the viewer's code started and `what`.
// Safe from any thread.
void mark(const char* what);

// Times a scope into one step when tracing is on.
class Timer {
public:
    explicit Timer(Step step) : step(step), on(enabled()) {
        if (on) start = std::chrono::steady_clock::now();
    }
    ~Timer() {
        if (on) add(step, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

private:
    Step step;
    bool on;
    std::chrono::steady_clock::time_point start;
};

}  // namespace trace
