#include "util/trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace trace {

namespace {

// The clock the marks count from, read during static initialisation.
const std::chrono::steady_clock::time_point codeStarted = std::chrono::steady_clock::now();

struct Pending {
    std::string path;     // empty: no entry was loaded since the last frame
    double list = 0;      // kept until an entry's line reports it
    double decode = 0;    // decoding inside the load (in-process decoding)
    double waited = 0;    // waiting for a decode done elsewhere (the helper)
    double load = 0;      // the whole load, in-process decoding included
    double frame = 0;     // the whole frame, load included
};

Pending& pending() {
    static Pending state;
    return state;
}

// The last decode done outside the load, until its entry's load starts.
struct Waited {
    std::string path;
    double ms = 0;
};

Waited& lastWaited() {
    static Waited state;
    return state;
}

}  // namespace

bool enabled() {
    static const bool on = [] {
        const char* value = std::getenv("OLVISTRA_TRACE");
        return value && *value && std::strcmp(value, "0") != 0;
    }();
    return on;
}

void add(Step step, double ms) {
    Pending& p = pending();
    switch (step) {
        case Step::list: p.list += ms; break;
        case Step::decode: p.decode += ms; break;
        case Step::load: p.load += ms; break;
        case Step::frame: p.frame += ms; break;
    }
}

void decodeWaited(const std::string& path, double ms) {
    if (!enabled()) return;
    lastWaited() = Waited{path, ms};
}

void decodedAhead(const std::string& path) {
    if (!enabled()) return;
    std::fprintf(stderr, "olvistra: trace %s: decoded ahead\n", path.c_str());
    std::fflush(stderr);
}

void entryLoading(const std::string& path) {
    if (!enabled()) return;
    Pending& p = pending();
    p.path = path;
    p.decode = p.load = p.frame = 0;
    Waited& waited = lastWaited();
    p.waited = waited.path == path ? waited.ms : 0;
    waited = Waited();
}

void mark(const char* what) {
    if (!enabled()) return;
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - codeStarted).count();
    std::fprintf(stderr, "olvistra: trace at %.1f ms: %s\n", ms, what);
    std::fflush(stderr);
}

void framePresented() {
    if (!enabled()) return;
    static bool firstFrameMarked = false, firstPictureMarked = false;
    if (!firstFrameMarked) {
        firstFrameMarked = true;
        mark("first frame presented");
    }
    Pending& p = pending();
    if (p.path.empty()) {
        p.frame = 0;
        return;
    }
    if (!firstPictureMarked) {
        firstPictureMarked = true;
        mark("first picture presented");
    }
    double upload = p.load > p.decode ? p.load - p.decode : 0;
    double present = p.frame > p.load ? p.frame - p.load : 0;
    std::fprintf(stderr, "olvistra: trace %s: list %.1f ms decode %.1f ms upload %.1f ms present %.1f ms\n",
                 p.path.c_str(), p.list, p.waited + p.decode, upload, present);
    std::fflush(stderr);
    p = Pending();
}

}  // namespace trace
