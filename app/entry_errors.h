// Errors met while opening the current entry (deleted, moved or locked after
// the listing). Each is shown once; the entry is then left undrawn instead
// of being retried on every frame, until the user steps to another entry or
// reloads it.
#pragma once

#include <string>

// Shows the error and remembers the current entry as unopenable.
void reportEntryError(const std::string& text);

// True while the current entry is the one whose error was shown.
bool currentEntryUnopenable();

// Lets the next frame or command try the current entry again.
void forgetEntryError();
