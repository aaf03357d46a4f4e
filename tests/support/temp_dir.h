// A fresh temporary directory for one test, removed with everything in it.
#pragma once

#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory, ending in '/'.
    const std::string& path() const { return root; }

    // Creates a file (with parent directories) holding `content`; returns its path.
    std::string writeFile(const std::string& relative, const std::string& content = "x") const;
    // Creates a directory (with parents); returns its path ending in '/'.
    std::string makeDir(const std::string& relative) const;

private:
    std::string root;
};
