// The viewer after start-up: the window, the list of the start directory and
// the message loop with the full-screen switch.
#pragma once

#include <string>

// Opens the window, lists the start path and runs until Escape or close.
// Returns the process's exit status.
int runViewer(const std::string& startPath, const std::string& title);
