// Starting our own programs: the decode helper, and this very executable
// again as a message box's child, with our environment plus the variables
// that tell the child what it is.
#pragma once

#include <spawn.h>
#include <sys/types.h>

#include <string>
#include <vector>

// Starts the program at `path` with `argv` (argv[0] included) and our
// environment, in which each of `variables` ("NAME=value") is set, in place
// of ours of that name. `actions` may be null. False when it could not be
// started.
bool spawnProgram(const char* path, char* const argv[], const std::vector<std::string>& variables,
                  const posix_spawn_file_actions_t* actions, pid_t* child);

// Starts /proc/self/exe with `argv` (argv[0] included) and our environment,
// in which each of `variables` ("NAME=value") is set, in place of ours of
// that name. `actions` may be null. False when it could not be started.
bool spawnSelf(char* const argv[], const std::vector<std::string>& variables, const posix_spawn_file_actions_t* actions,
               pid_t* child);
