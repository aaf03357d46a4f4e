// How the Windows viewer starts its decode helper: in a job of its own,
// under a restricted token, with mitigation policies and exactly the handles
// it is meant to have.
#pragma once

#include <cstddef>
#include <string>

#include "platform/win32.h"

// A job for one helper: killed when the job is closed (also when the viewer
// dies), one process, 2 GiB of memory, death on an unhandled exception, and
// every UI restriction. Null when the job or its limits could not be made.
HANDLE makeHelperJob();

// Starts `program` suspended with the marker variable set to `marker` and
// exactly `inherited` passed on, puts it into `job` and lets it run.
// Returns its process, or null when it could not be started so.
HANDLE startSandboxedHelper(const std::wstring& program, HANDLE job, HANDLE* inherited, size_t count,
                            const std::string& marker);
