// olvistra-decode, the viewer's decode helper: a program of its own, with
// the decoders and nothing that draws, started by the viewer to decode
// pictures outside its process (platform/decode_helper.h). Started any
// other way it says what it is and ends.
#include <cstdio>

#include "model/devil_load.h"
#include "platform/decode_helper.h"

int main() {
    if (!startedAsDecodeHelper()) {
        std::fputs("olvistra-decode: the decode helper of the olvistra viewer, which starts it itself\n", stderr);
        return 2;
    }
    return serveDecodeRequests(devilHelperDecoder());
}
