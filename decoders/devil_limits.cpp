#include "decoders/devil_limits.h"

#include "decoders/devil.h"

bool drainDevilErrors() {
    bool any = false;
    while (ilGetError() != IL_NO_ERROR) any = true;
    return any;
}
