// The decoder the app registered for the decode helper (platform/services.h),
// for the decode service of either platform.
#pragma once

#include "platform/services.h"

// The registered decoder, or null when the app registered none.
const HelperDecoder* registeredHelperDecoder();
