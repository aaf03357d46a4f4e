#include "platform/helper_decoder.h"

namespace {

// Written once, by a constructor that runs before any other code of the
// process; plain data, so it needs no initialisation of its own.
HelperDecoder decoder;
bool registered = false;

}  // namespace

void registerHelperDecoder(const HelperDecoder& given) {
    decoder = given;
    registered = true;
}

const HelperDecoder* registeredHelperDecoder() { return registered ? &decoder : nullptr; }
