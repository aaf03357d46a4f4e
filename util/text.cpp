#include "util/text.h"

#include <cstdio>

std::string replaceAll(std::string source, std::string search, std::string replacement) {
    if (search.empty()) return source;
    std::string result;
    std::size_t position = 0;
    while (position < source.size()) {
        if (source.compare(position, search.size(), search) == 0) {
            result += replacement;
            position += search.size();
        } else {
            result += source[position];
            ++position;
        }
    }
    return result;
}

std::string toLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return text;
}

std::string extensionOf(std::string name) {
    std::size_t dot = name.rfind('.');
    std::size_t start = dot == std::string::npos ? 0 : dot + 1;
    return toLower(name.substr(start));
}

std::string dirnameOf(std::string path) {
    std::size_t separator = path.find_last_of("/\\");
    if (separator == std::string::npos) return ".\\";
    return path.substr(0, separator + 1);
}

bool hasDriveColon(std::string path) { return path.find(':') != std::string::npos; }

std::string intToString(int value) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%d", value);
    return digits;
}
