#include "util/picture_companions.h"

#include "util/text.h"

std::vector<std::string> pictureCompanionNames(const std::string& path) {
    std::vector<std::string> names;
    if (extensionOf(path) != "cut") return names;
    std::string base = path.substr(0, path.size() - 3);
    for (int variant = 0; variant < 8; ++variant) {
        std::string name = base;
        name += variant & 1 ? 'P' : 'p';
        name += variant & 2 ? 'A' : 'a';
        name += variant & 4 ? 'L' : 'l';
        names.push_back(name);
    }
    return names;
}
