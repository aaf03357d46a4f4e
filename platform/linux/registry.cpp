// The registry, read from a file in the Windows .reg text format, so one file
// serves a Windows install (imported with regedit) and a Linux one:
//
//   Windows Registry Editor Version 5.00
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Quenmark\Olvistra]
//   "installDir"="/usr/share/olvistra"
//
// The file is OLVISTRA_REGISTRY when set, else the installed one. Key and
// value names compare without regard to case, as on Windows. Supported value
// kinds: strings (with \\ and \" escapes), dword:, hex: and hex(n):.
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "util/text.h"

#ifndef OLVISTRA_REGISTRY_FILE
#define OLVISTRA_REGISTRY_FILE "/etc/olvistra/olvistra.reg"
#endif

namespace {

struct RegistryValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct OpenKey {
    std::map<std::string, RegistryValue> values;  // by lower-case name
};

bool fileExists(const std::string& path) { return !path.empty() && ::access(path.c_str(), R_OK) == 0; }

// The registry file next to the executable, for a relocated install.
std::string fileBesideExecutable() {
    char exe[4096];
    ssize_t length = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length <= 0) return "";
    std::string path(exe, static_cast<size_t>(length));
    path = path.substr(0, path.rfind('/'));
    return path + "/../etc/olvistra/olvistra.reg";
}

std::string registryFilePath() {
    if (const char* chosen = std::getenv("OLVISTRA_REGISTRY")) return chosen;
    if (fileExists(OLVISTRA_REGISTRY_FILE)) return OLVISTRA_REGISTRY_FILE;
    return fileBesideExecutable();
}

// The file's text as narrow bytes; UTF-16LE files (regedit's default export)
// are narrowed, characters beyond one byte becoming '?'.
bool readRegistryText(const std::string& path, std::string& text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::stringstream raw;
    raw << file.rdbuf();
    text = raw.str();
    if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF && static_cast<unsigned char>(text[1]) == 0xFE) {
        std::string narrow;
        for (size_t i = 2; i + 1 < text.size(); i += 2) {
            unsigned code = static_cast<unsigned char>(text[i]) | (static_cast<unsigned char>(text[i + 1]) << 8);
            narrow += code < 256 ? static_cast<char>(code) : '?';
        }
        text = narrow;
    } else if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text.erase(0, 3);
    }
    return true;
}

// Joins lines continued with a trailing backslash (long hex values).
std::vector<std::string> logicalLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line, pending;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        pending += line;
        if (!pending.empty() && pending.back() == '\\') {
            pending.pop_back();
            continue;
        }
        lines.push_back(pending);
        pending.clear();
    }
    if (!pending.empty()) lines.push_back(pending);
    return lines;
}

std::string trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// Reads a quoted string starting at text[at] == '"'; on success sets `end`
// to the index after the closing quote.
bool parseQuoted(const std::string& text, size_t at, std::string& out, size_t& end) {
    if (at >= text.size() || text[at] != '"') return false;
    out.clear();
    for (size_t i = at + 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            out += text[++i];
        } else if (c == '"') {
            end = i + 1;
            return true;
        } else {
            out += c;
        }
    }
    return false;
}

bool parseHexBytes(const std::string& text, std::vector<BYTE>& out) {
    std::string digits;
    for (char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            digits += c;
        } else if (c == ',') {
            if (digits.empty() || digits.size() > 2) return false;
            out.push_back(static_cast<BYTE>(std::strtoul(digits.c_str(), nullptr, 16)));
            digits.clear();
        } else if (c != ' ' && c != '\t') {
            return false;
        }
    }
    if (!digits.empty()) {
        if (digits.size() > 2) return false;
        out.push_back(static_cast<BYTE>(std::strtoul(digits.c_str(), nullptr, 16)));
    }
    return true;
}

bool parseValue(const std::string& text, RegistryValue& value) {
    std::string body = trim(text);
    if (!body.empty() && body[0] == '"') {
        std::string string;
        size_t end = 0;
        if (!parseQuoted(body, 0, string, end) || trim(body.substr(end)) != "") return false;
        value.type = REG_SZ;
        value.data.assign(string.begin(), string.end());
        value.data.push_back(0);
        return true;
    }
    std::string lower = toLower(body);
    if (lower.compare(0, 6, "dword:") == 0) {
        std::string digits = trim(body.substr(6));
        if (digits.empty() || digits.size() > 8 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return false;
        DWORD number = static_cast<DWORD>(std::strtoul(digits.c_str(), nullptr, 16));
        value.type = REG_DWORD;
        value.data.resize(4);
        std::memcpy(value.data.data(), &number, 4);
        return true;
    }
    if (lower.compare(0, 4, "hex:") == 0) {
        value.type = REG_BINARY;
        return parseHexBytes(body.substr(4), value.data);
    }
    if (lower.compare(0, 4, "hex(") == 0) {
        size_t close = lower.find("):");
        if (close == std::string::npos) return false;
        value.type = static_cast<DWORD>(std::strtoul(lower.substr(4, close - 4).c_str(), nullptr, 16));
        return parseHexBytes(body.substr(close + 2), value.data);
    }
    return false;
}

// Loads the values of one key ("HKEY_LOCAL_MACHINE\<subKey>") from the file.
bool loadKey(const std::string& keyPath, OpenKey& key) {
    std::string text;
    if (!readRegistryText(registryFilePath(), text)) return false;
    std::vector<std::string> lines = logicalLines(text);
    if (lines.empty()) return false;
    std::string header = trim(lines[0]);
    if (header != "Windows Registry Editor Version 5.00" && header != "REGEDIT4") return false;

    bool found = false, inKey = false;
    std::string wanted = toLower(keyPath);
    for (size_t i = 1; i < lines.size(); ++i) {
        std::string line = trim(lines[i]);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            std::string name = line.substr(1, line.size() >= 2 && line.back() == ']' ? line.size() - 2 : line.size() - 1);
            inKey = toLower(name) == wanted;
            found = found || inKey;
            continue;
        }
        if (!inKey) continue;
        std::string name;
        size_t end = 0;
        if (line[0] == '@') {
            end = 1;
        } else if (!parseQuoted(line, 0, name, end)) {
            continue;
        }
        size_t equals = line.find_first_not_of(" \t", end);
        if (equals == std::string::npos || line[equals] != '=') continue;
        RegistryValue value;
        if (parseValue(line.substr(equals + 1), value)) key.values[toLower(name)] = value;
    }
    return found;
}

}  // namespace

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM, PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    std::string root;
    if (hKey == HKEY_LOCAL_MACHINE) {
        root = "HKEY_LOCAL_MACHINE";
    } else if (hKey == HKEY_CURRENT_USER) {
        root = "HKEY_CURRENT_USER";
    } else {
        return ERROR_INVALID_HANDLE;
    }
    std::string subKey = lpSubKey ? lpSubKey : "";
    while (!subKey.empty() && subKey.back() == '\\') subKey.pop_back();
    auto* key = new OpenKey;
    if (!loadKey(subKey.empty() ? root : root + "\\" + subKey, *key)) {
        delete key;
        return ERROR_FILE_NOT_FOUND;
    }
    *phkResult = reinterpret_cast<HKEY>(key);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (!hKey || hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_CURRENT_USER) return ERROR_INVALID_HANDLE;
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    const auto* key = reinterpret_cast<const OpenKey*>(hKey);
    auto found = key->values.find(toLower(lpValueName ? lpValueName : ""));
    if (found == key->values.end()) return ERROR_FILE_NOT_FOUND;
    const RegistryValue& value = found->second;
    if (lpType) *lpType = value.type;
    DWORD size = static_cast<DWORD>(value.data.size());
    if (lpData) {
        if (*lpcbData < size) {
            *lpcbData = size;
            return ERROR_MORE_DATA;
        }
        if (size) std::memcpy(lpData, value.data.data(), size);
    }
    if (lpcbData) *lpcbData = size;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey) {
    if (!hKey || hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_CURRENT_USER) return ERROR_INVALID_HANDLE;
    delete reinterpret_cast<OpenKey*>(hKey);
    return ERROR_SUCCESS;
}
