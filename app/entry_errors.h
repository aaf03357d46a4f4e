// Errors met while opening the current entry (deleted, moved or locked after
// the listing). Each is shown once; the entry is then left undrawn instead
// of being retried on every frame, until the user steps to another entry or
// reloads it.
#pragma once

#include <string>

#include "model/file_list.h"

// Shows the error and remembers the current entry of `list` (the list on
// screen, or null) as unopenable.
void reportEntryError(const FileList* list, const std::string& text);

// True while the current entry of `list` is the one whose error was shown.
bool currentEntryUnopenable(const FileList* list);

// Lets the next frame or command try the current entry again.
void forgetEntryError();
