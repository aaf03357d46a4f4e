// The start path's list, made on a thread of its own while the window opens
// and the first picture is shown, so that the size of the folder does not
// delay the first frame.
//
// Until the whole list is in, fileList is a list of that one first picture
// (its folder's first entry, or the start file). A key that acts on the list
// waits for the whole list first, so every key behaves as with it, and the
// entries keep the reader's order. The whole list takes the shown entry over
// (its texture and pixels stay); when the whole list shows another entry
// (a start path whose text no entry has), that one is shown instead.
#pragma once

#include <string>

#include "model/file_list.h"

// The list on screen; null until the first picture or the whole list is
// shown. Written only here (showFirstPictureAhead, installListing); the app
// reads it and hands it to render/ and model/ as an argument.
extern FileList* fileList;

// What the start path names, decided in this one place: a file that opens,
// listed with its directory and selected there, or else a folder.
struct StartPlace {
    std::string path;    // the start path as given
    bool isFile = false;
    std::string folder;  // the folder listed, ending in a separator
};
StartPlace startPlaceOf(const std::string& startPath);

// The picture the viewer will show first: the start file itself, or a
// folder's first entry when that is a picture; empty when it is neither.
std::string firstPictureOf(const StartPlace& start);

// Starts listing the start place: its folder, with a start file selected.
void startListing(const StartPlace& start);

// Makes fileList a list of the one picture `firstPicture` while the whole
// list is being made; false (and nothing done) when there is none to show.
bool showFirstPictureAhead(const std::string& firstPicture);

// True while a listing runs or waits to be installed.
bool listingPending();

// True when the listing thread has ended.
bool listingDone();

// Exit status of a start whose path could not be listed.
constexpr int listingFailedStatus = 1;

// Waits for the listing and makes its list fileList; an entry error
// reported on the list it replaces is forgotten (its indices were that
// list's). False after telling the user that the start path cannot be
// listed (then fileList is left as it was, and listingFailed() answers
// true). True when there was nothing pending.
bool installListing();

// True once installListing() has told the user that the start path cannot
// be listed: the viewer is ending, and no command acts on the list.
bool listingFailed();

// Waits for a listing nobody will use and drops it. Called once the window
// is closed, so that a slow folder keeps no window frozen meanwhile.
void endListing();
