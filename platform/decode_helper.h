// The decode helper program's end of the decode transport: what
// olvistra-decode runs (the viewer's end is platform/decode_transport.h).
// Each platform implements it in <os>/decode_helper.cpp, beside the
// protections the helper takes before its first job.
#pragma once

#include "platform/services.h"

// True when the viewer started this process as its decode helper (with the
// channel it set up for it); false for any other start.
bool startedAsDecodeHelper();

// Serves the viewer that started this process: starts `decoder`, gives up
// every right a decode does not need, tells the viewer it is ready, then
// answers one request after another. Returns the process's exit status once
// the viewer closes the channel; most failures end the process at once.
int serveDecodeRequests(const HelperDecoder& decoder);
