#include "platform/linux/spawn_self.h"

#include <cstring>

extern char** environ;

namespace {

// True when `entry` ("NAME=value") names a variable that one of `variables`
// sets.
bool replaced(const char* entry, const std::vector<std::string>& variables) {
    for (const std::string& variable : variables) {
        size_t nameLength = variable.find('=');
        if (std::strncmp(entry, variable.c_str(), nameLength) == 0 && entry[nameLength] == '=') return true;
    }
    return false;
}

}  // namespace

bool spawnProgram(const char* path, char* const argv[], const std::vector<std::string>& variables,
                  const posix_spawn_file_actions_t* actions, pid_t* child) {
    std::vector<char*> env;
    for (char** entry = environ; *entry; ++entry) {
        if (!replaced(*entry, variables)) env.push_back(*entry);
    }
    for (const std::string& variable : variables) env.push_back(const_cast<char*>(variable.c_str()));
    env.push_back(nullptr);
    return posix_spawn(child, path, actions, nullptr, argv, env.data()) == 0;
}

bool spawnSelf(char* const argv[], const std::vector<std::string>& variables, const posix_spawn_file_actions_t* actions,
               pid_t* child) {
    return spawnProgram("/proc/self/exe", argv, variables, actions, child);
}
