// What each platform's decode service does with its helper process: start
// and end it, carry requests to it and answers back. The service's state
// machine (platform/decode_service.cpp: one job, its time limit, submit,
// poll, cancel, stop) is the same on every platform and runs over this; each
// platform implements it in <os>/decode_transport.cpp, which also holds the
// helper's own end.
//
// Everything here runs on the viewer's main thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/services.h"

namespace decode_transport {

// How a wait for the helper's answer ended.
enum class Wait {
    nothing,      // the time passed without an answer
    interrupted,  // a signal cut the wait short; wait again
    answer,       // an answer can be read now
    broken,       // the helper died or its channel failed
};

// True while a started helper runs; one found dead is ended (endHelper).
bool helperRunning();
// Makes a new helper the one given jobs: the spare when one runs, else a
// helper started now; false when none could be had.
bool startHelper();
// Starts a spare helper, unless one runs: it starts and gives up its rights
// while idle, so that the next startHelper costs no process start.
void startSpare();
// Kills the helper, if any, waits for it and closes the channel to it.
void endHelper();
// The same for the spare.
void endSpare();
// True once the helper has said that its own start is over (it has given up
// its rights), so its first job's clock can start; false while none runs.
bool helperStarted();

// Sends a job: opens the picture, and the files beside it that its format
// reads, read-only and hands them over (a picture that cannot be opened as
// a regular file goes without, and its job fails). False when the channel
// refuses it.
bool sendRequest(const char* path, uint32_t maxSide);
// Called once a job is sent: on Linux a watcher wakes the message wait
// when the answer comes.
void jobSent();

// Waits up to waitMs for the answer to the job in flight.
Wait waitForAnswer(uint32_t waitMs);
// Reads the answer; false when it is malformed (the helper is then not
// trusted with another job). `decoded` tells whether it carried pixels,
// mapped into `image`.
bool receiveAnswer(DecodedImage* image, bool* decoded);

// The ICC profile the desktop publishes for the monitor the viewer's window
// is on, or empty (platform/display_profile.h keeps it current). Every
// helper is started with the one in force then.
const std::string& displayProfile();
// Larger display profiles are not passed on (the display is then sRGB).
constexpr size_t maxDisplayProfileBytes = size_t(16) << 20;

// Called when the service stops, after endHelper: ends the spare too.
void stopped();

// The helper's process id, or 0 when none runs (for tests).
long helperProcessId();

}  // namespace decode_transport

// Asked by the platform's message wait (waitForMessageOrDecode), from
// platform/decode_service.cpp.

// True while a decode job is in flight, answered or not.
bool decodeJobInFlight();
// True while a decode job is in flight and its answer (or its time limit)
// has not come yet; false when there is none or it can be collected now.
bool decodeJobPending();
// Milliseconds until the job in flight reaches its time limit (0 when none
// runs or the limit has passed).
uint32_t decodeJobMsLeft();
