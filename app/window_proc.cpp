#include "app/window_proc.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "app/entry_errors.h"
#include "app/start_listing.h"
#include "model/decode_ahead.h"
#include "model/file_info.h"
#include "model/file_list.h"
#include "platform/display_profile.h"
#include "platform/monitor.h"
#include "render/gl_window.h"
#include "render/scene.h"

namespace {

// Written only here: by the window procedure, and through requestFrame and
// takeFrameRequest.
bool active = true;
bool frameDue = true;

// Written only by the window procedure and releaseKey.
bool keys[256];

const char* const helpText =
    "keys:\nJ -\tprevios file in dir.\nL -\tnext file in dir.\nHOME -\tgo to first file in dir.\nEND -\tgo to last "
    "file in dir.\nR -\treload currently image.\nF -\tswitch fullscreen on / off.\nE -\tedit currently image.\nF1 "
    "-\tshow this help window.";

// Makes another entry current; an entry that failed to open gets a new try
// once the user has stepped away from it.
void moveTo(uint32_t index) {
    if (fileList->current() != index) forgetEntryError();
    fileList->moveTo(index);
}

void previousEntry() {
    if (fileList->current() != 0) moveTo(fileList->current() - 1);
}

void nextEntry() {
    if (fileList->current() + 1 < fileList->items.count) moveTo(fileList->current() + 1);
}

void firstEntry() { moveTo(0); }

void lastEntry() {
    if (fileList->items.count != 0) moveTo(fileList->items.count - 1);
}

// The current entry for a command, or null. An entry that cannot be opened
// is reported (once) and gives null.
FileInfo* entryForCommand() {
    if (currentEntryUnopenable(fileList)) return nullptr;
    try {
        return fileList->currentEntry();
    } catch (const std::string& error) {
        reportEntryError(fileList, error);
        return nullptr;
    }
}

// Runs an operation that reads the current entry from disk again, once the
// entry is found still there: one that has gone is reported as opening it
// would, and the operation does not run. It is not loaded first: loading
// would wait for the decode helper, and the operation reads it afresh.
template <typename Operation>
void rereadCurrent(Operation operation) {
    forgetEntryError();
    if (fileList->current() >= fileList->items.count) return;
    FileInfo* entry = fileList->items[fileList->current()];
    try {
        entry->testReadable();
        operation(entry);
    } catch (const std::string& error) {
        reportEntryError(fileList, error);
    }
}

// The picture on screen stays until the fresh decode is in; the frame then
// carries the reload out. Nothing here waits for the decode helper.
void reloadEntry() {
    rereadCurrent([](FileInfo* entry) {
        if (!requestReload(entry)) reload(entry);
    });
}

// Like R once the paint program has ended: the old picture stays until the
// edited file is decoded, so a file the decoder chokes on never stops keys.
// A folder has no edit command: E does nothing to it.
void editEntry() {
    rereadCurrent([](FileInfo* entry) {
        if (entry->editCommand().empty()) return;
        entry->runEditCommand();
        if (!requestReload(entry)) reload(entry);
    });
}

// An entry still being decoded is described as it is, not loaded, rather
// than opened, which would wait for the decode helper.
void showInfo() {
    FileInfo* entry = nullptr;
    if (!currentEntryUnopenable(fileList) && fileList->current() < fileList->items.count &&
        decodePending(fileList->items[fileList->current()])) {
        entry = fileList->items[fileList->current()];
    } else {
        entry = entryForCommand();
    }
    if (!entry) return;
    std::string title = "info";
    std::string text = entry->infoText();
    size_t size = title.size() + text.size() + 4;
    char* block = static_cast<char*>(std::malloc(size));
    if (!block) return;
    std::memset(block, 0, size);
    std::memcpy(block, title.data(), title.size());
    std::memcpy(block + title.size() + 1, text.data(), text.size());
    pthread_t thread;
    if (pthread_create(&thread, nullptr, infoBoxThread, block) != 0) {
        std::free(block);
        return;
    }
    // Nothing waits for the box; detaching lets the thread's resources go
    // when it ends.
    pthread_detach(thread);
}

void showHelp() { MessageBoxA(nullptr, helpText, "help", MB_OK); }

struct KeyCommand {
    WPARAM key;
    void (*run)();
    bool needsList;
};

const KeyCommand keyCommands[] = {
    {VK_PRIOR, previousEntry, true}, {VK_LEFT, previousEntry, true}, {'J', previousEntry, true},
    {VK_NEXT, nextEntry, true},      {VK_RIGHT, nextEntry, true},    {'L', nextEntry, true},
    {VK_HOME, firstEntry, true},     {VK_END, lastEntry, true},      {'R', reloadEntry, true},
    {VK_F5, reloadEntry, true},      {'E', editEntry, true},         {'I', showInfo, true},
    {VK_F1, showHelp, false},
};

// The key's command, or null when the key has none.
const KeyCommand* commandFor(WPARAM key) {
    for (const KeyCommand& command : keyCommands) {
        if (command.key == key) return &command;
    }
    return nullptr;
}

// A command that acts on the list waits here for the whole of it, however
// its key arrives: also from the loop of a message box the viewer shows
// (on Windows those keys come straight to the window procedure). A listing
// that fails ends the viewer, and no command acts on the list after it.
bool wholeListReady() {
    if (listingFailed()) return false;
    if (installListing()) return true;
    PostQuitMessage(listingFailedStatus);
    return false;
}

void runKeyCommand(WPARAM key) {
    const KeyCommand* command = commandFor(key);
    if (!command) return;
    if (command->needsList && (!wholeListReady() || !fileList)) return;
    command->run();
}

void setKey(WPARAM key, bool down) {
    if (key < sizeof keys / sizeof keys[0]) keys[key] = down;
}

}  // namespace

bool windowActive() { return active; }

void requestFrame() { frameDue = true; }

bool frameRequested() { return frameDue; }

bool takeFrameRequest() {
    bool requested = frameDue;
    frameDue = false;
    return requested;
}

bool keyIsDown(WPARAM key) { return key < sizeof keys / sizeof keys[0] && keys[key]; }

void releaseKey(WPARAM key) { setKey(key, false); }

bool keySteps(WPARAM key) {
    const KeyCommand* command = commandFor(key);
    return command && (command->run == nextEntry || command->run == previousEntry);
}

void* infoBoxThread(void* block) {
    {
        // Whole title and text, at any length.
        const char* title = static_cast<const char*>(block);
        std::string caption(title);
        std::string text(title + caption.size() + 1);
        MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_ICONINFORMATION);
    }
    std::free(block);
    pthread_exit(nullptr);
    return nullptr;
}

LRESULT CALLBACK viewerWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ACTIVATE:
            active = HIWORD(wParam) == 0;
            frameDue = true;
            // The display stays on while the viewer is in front, as it does
            // for a video; behind another window it may sleep again.
            SetThreadExecutionState(active && LOWORD(wParam) != WA_INACTIVE ? ES_CONTINUOUS | ES_DISPLAY_REQUIRED
                                                                           : ES_CONTINUOUS);
            return 0;
        case WM_SYSCOMMAND:
            if (wParam == SC_SCREENSAVE || wParam == SC_MONITORPOWER) return 0;
            break;
        case WM_CLOSE:
            PostQuitMessage(0);
            return 0;
        case WM_KEYDOWN:
            setKey(wParam, true);
            frameDue = true;  // also after a box the command showed
            runKeyCommand(wParam);
            return 0;
        case WM_KEYUP:
            setKey(wParam, false);
            return 0;
        case WM_SIZE:
            setupProjection(LOWORD(lParam), HIWORD(lParam));
            frameDue = true;
            return 0;
        case WM_MOVE:
        case WM_DISPLAYCHANGE:
            // Each helper keeps the display profile it started with.
            if (followDisplayProfile(hWnd, message == WM_DISPLAYCHANGE)) {
                recolourPictures(fileList);
                frameDue = true;
            }
            break;
        case WM_DPICHANGED:
            // Full-screen keeps covering its display mode, whatever scale
            // the system gives that mode.
            if (!viewerFullscreen()) followMonitorDpi(hWnd, LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_PAINT:
            frameDue = true;
            break;  // the default procedure validates the window
        default:
            break;
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}
