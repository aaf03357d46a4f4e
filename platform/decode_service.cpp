// The decode service's state machine, the same on every platform: one job
// at a time, a time limit per job, a helper started on demand and replaced
// after it dies, hangs or speaks nonsense. The helper and the channel to it
// are the platform's (platform/decode_transport.h).
//
// A spare helper is kept started (started in the viewer's idle moments), so
// that the helper killed by a cancel, a crash or a hang is replaced without a
// process start.
//
// A job's clock stands still while its helper is still starting (loading a
// sanitized build on a busy machine takes seconds), up to
// helperStartAllowanceMs, and starts when the helper is ready: the time
// limit is the decode's.
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/decode_transport.h"
#include "platform/decode_wire.h"
#include "platform/services.h"
#include "platform/testing.h"

namespace transport = decode_transport;

namespace {

const size_t maxPathBytes = decodeMaxPathBytes;
// How long a helper's own start may stop the clock of its first job.
const uint64_t helperStartAllowanceMs = 30000;

// The viewer's view of its helper and of the one job in flight.
struct ServiceState {
    bool jobRunning = false;
    uint64_t jobDeadlineMs = 0;
    uint32_t jobLimitMs = 0;
    uint32_t timeLimitMs = 0;  // 0: the limit the caller gives
    uint64_t helperStartedMs = 0;
    bool helperReady = false;  // its start is over
};

ServiceState& service() {
    static ServiceState state;
#ifdef OLVISTRA_TEST_HOOKS
    // End-to-end tests shorten the wait for a hanging decode.
    static const bool limitRead = [] {
        if (const char* limit = std::getenv("OLVISTRA_DECODE_TIME_LIMIT_MS")) {
            unsigned long ms = std::strtoul(limit, nullptr, 10);
            if (ms > 0) state.timeLimitMs = uint32_t(ms);
        }
        return true;
    }();
    (void)limitRead;
#endif
    return state;
}

uint64_t nowMs() {
    return uint64_t(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

void endHelper() {
    transport::endHelper();
    service().jobRunning = false;
}

bool helperAlive() {
    if (transport::helperRunning()) return true;
    service().jobRunning = false;
    return false;
}

bool startHelper() {
    if (!transport::startHelper()) return false;
    ServiceState& s = service();
    s.helperStartedMs = nowMs();
    s.helperReady = false;
    return true;
}

void holdDeadlineWhileHelperStarts() {
    ServiceState& s = service();
    if (!s.jobRunning || s.helperReady) return;
    uint64_t now = nowMs();
    if (transport::helperStarted()) {
        s.helperReady = true;
        s.jobDeadlineMs = now + s.jobLimitMs;
    } else if (now - s.helperStartedMs < helperStartAllowanceMs) {
        s.jobDeadlineMs = now + s.jobLimitMs;
    }
}

}  // namespace

bool decodeJobInFlight() { return service().jobRunning; }

bool decodeJobPending() {
    ServiceState& s = service();
    if (!s.jobRunning) return false;
    holdDeadlineWhileHelperStarts();
    if (nowMs() >= s.jobDeadlineMs) return false;
    return transport::waitForAnswer(0) == transport::Wait::nothing;
}

uint32_t decodeJobMsLeft() {
    ServiceState& s = service();
    uint64_t now = nowMs();
    if (!s.jobRunning || now >= s.jobDeadlineMs) return 0;
    return uint32_t(s.jobDeadlineMs - now);
}

bool decodeServiceStart() { return helperAlive() || startHelper(); }

bool decodeServiceSubmit(const char* path, uint32_t maxSide, uint32_t timeLimitMs) {
    ServiceState& s = service();
    if (s.jobRunning) return false;
    // An empty path names no file.
    if (path[0] == '\0' || std::strlen(path) > maxPathBytes) return false;
    // A helper that died while idle (or was killed from outside) is
    // replaced; so is one whose channel refuses the request.
    uint32_t limitMs = s.timeLimitMs ? s.timeLimitMs : timeLimitMs;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!helperAlive() && !startHelper()) return false;
        if (transport::sendRequest(path, maxSide)) {
            s.jobRunning = true;
            s.jobLimitMs = limitMs;
            s.jobDeadlineMs = nowMs() + limitMs;
            holdDeadlineWhileHelperStarts();
            transport::jobSent();
            return true;
        }
        endHelper();
    }
    return false;
}

DecodeJobState decodeServicePoll(uint32_t waitMs, DecodedImage* image) {
    ServiceState& s = service();
    if (!s.jobRunning) return DecodeJobState::idle;
    holdDeadlineWhileHelperStarts();
    uint64_t now = nowMs();
    uint64_t left = s.jobDeadlineMs > now ? s.jobDeadlineMs - now : 0;
    transport::Wait woken = transport::waitForAnswer(uint32_t(left < waitMs ? left : waitMs));
    if (woken == transport::Wait::interrupted) return DecodeJobState::running;
    if (woken == transport::Wait::nothing) {
        holdDeadlineWhileHelperStarts();  // the helper may have been starting all the while
        if (nowMs() < s.jobDeadlineMs) return DecodeJobState::running;
        endHelper();  // over the time limit: the helper hangs
        return DecodeJobState::failed;
    }
    bool decoded = false;
    bool wellFormed = woken == transport::Wait::answer && transport::receiveAnswer(image, &decoded);
    s.jobRunning = false;
    if (!wellFormed) {
        endHelper();  // crashed, or speaks nonsense
        return DecodeJobState::failed;
    }
    return decoded ? DecodeJobState::done : DecodeJobState::failed;
}

// The helper cannot be interrupted in the middle of a decode, so it is
// killed; the next submit takes the spare.
void decodeServiceCancel() {
    if (service().jobRunning) endHelper();
}

void decodeServiceKeepSpare() { transport::startSpare(); }

void decodeServiceRestart() {
    endHelper();
    transport::endSpare();
}

void decodeServiceStop() {
    endHelper();
    transport::stopped();
}

#ifdef OLVISTRA_TEST_HOOKS
long decodeHelperId() { return helperAlive() ? transport::helperProcessId() : 0; }

void setDecodeTimeLimitForTests(unsigned ms) { service().timeLimitMs = ms; }
#endif
