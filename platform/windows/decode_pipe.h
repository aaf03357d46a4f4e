// What the Windows viewer and its decode helper share: the pipes' framing
// and the answer they pass (decode_transport.cpp describes the channel).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/decode_wire.h"
#include "platform/win32.h"

// The environment variable that tells olvistra-decode it was started by the
// viewer, and which inherited handles are its channel.
extern const char* const decodeHelperMarker;

// The handles a helper inherits, in the order the marker lists their values
// (the display profile's mapping and size last, when there is a profile).
struct DecodeHelperHandles {
    HANDLE requests;  // read end of the request pipe
    HANDLE answers;   // write end of the answer pipe
    HANDLE answered;  // event set after each answer
    HANDLE ready;     // event set once the helper's own start is over
    HANDLE displayProfile;  // read-only mapping, or null
    uint64_t displayProfileBytes;
};

struct DecodeAnswer {
    AnswerHeader answer;
    uint64_t mapping;  // the helper's handle value
};

constexpr DWORD decodeAnswerFrameBytes = sizeof(uint32_t) + sizeof(DecodeAnswer);

// A message as it goes through a pipe: its length, then its bytes.
std::string framedMessage(const std::string& payload);
bool writeWholly(HANDLE pipe, const void* data, size_t size);
bool readWholly(HANDLE pipe, void* data, size_t size);
