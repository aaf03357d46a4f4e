// The viewer's side of the decode helper's answer on Linux: one packet
// holding an AnswerHeader (platform/decode_wire.h), with the sealed memfd of
// the pixels attached when `ok` is set (platform/linux/decode_transport.cpp
// describes the exchange). Apart from the transport so that it can be fed
// answers from any socket: the helper is untrusted, and this is where its
// bytes enter the viewer.
#pragma once

#include "platform/services.h"

// Reads one answer from `socket`; false when it is malformed or the channel
// failed. `decoded` tells whether it carried pixels, mapped into `image`
// (given back with releaseDecodedImage).
bool receiveDecodeAnswer(int socket, DecodedImage* image, bool* decoded);
