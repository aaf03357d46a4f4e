// The child process that shows a real message box (messagebox.cpp): this
// executable started again, which main() turns into the box first thing.
#pragma once

// True when this process was started to show a box.
bool startedAsMessageBoxChild(int argc, char** argv);
// Shows the box the command line describes and ends the process with the
// answer as its exit status.
[[noreturn]] void runMessageBoxChild(int argc, char** argv);
