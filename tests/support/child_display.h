// A private X server for a test that needs a display of its own (a screen
// of another size, a keyboard focus no other test process takes), and this
// test program run again on it.
#pragma once

#include <sys/types.h>

#include <string>

#include "support/temp_dir.h"

class PrivateDisplay {
public:
    // Starts Xvfb with one screen of `screen` ("1280x1024x24") and waits
    // for the display number it reports.
    explicit PrivateDisplay(const char* screen);
    ~PrivateDisplay();  // ends the server
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    bool started() const { return server != 0; }  // false: Xvfb is not installed
    const std::string& number() const { return display; }  // empty: none reported

private:
    pid_t server = 0;
    std::string display;
};

struct ChildRun {
    int status = -1;  // as waitpid gives it
    std::string out, err;
};

// Runs the tests of this program that `filter` names on the display, with
// `marker`=1 in its environment, and waits for it; its output goes through
// files in `dir`.
ChildRun runOnDisplay(const PrivateDisplay& display, const std::string& filter, const char* marker,
                      const TempDir& dir);

// True when the child ran the test `name` and it passed.
bool childPassed(const ChildRun& child, const std::string& name);
