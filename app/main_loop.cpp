#include "app/main_loop.h"

#include <exception>
#include <new>

#include "app/entry_errors.h"
#include "app/start_listing.h"
#include "app/window_proc.h"
#include "model/decode_ahead.h"
#include "model/file_info.h"
#include "model/file_info_factory.h"
#include "model/file_list.h"
#include "platform/services.h"
#include "platform/win32.h"
#include "render/gl_window.h"
#include "render/scene.h"
#include "util/trace.h"

namespace {

// Draws one frame. An entry that cannot be opened is reported once and then
// shown as an empty frame until the user moves on or reloads. While the
// decode helper still works on the current entry the frame stays empty and
// the loop goes on handling keys; the entry is opened once its pixels (or
// its failure) are in, so opening it never waits. A reload carried out
// here reports its error like any other opening.
void drawFrame() {
    try {
        if (currentEntryUnopenable()) {
            clearFrame();
        } else if (!advanceDecoding(fileList)) {
            clearFrameWarmingUp();
        } else {
            renderScene(fileList);
        }
        return;
    } catch (const std::string& error) {
        reportEntryError(error);
    } catch (const std::bad_alloc&) {
        reportEntryError("Out of memory.");
    }
    clearFrame();
}

// Advances the decode helper's work when no frame is drawn: collects an
// answer, starts the next job. It runs on every pass, also while the shown
// entry is unopenable: an answer left uncollected would end every wait at
// once. A reload carried out here reports its error like a frame's, and the
// frame after it shows what is left.
void advanceBetweenFrames() {
    try {
        advanceDecoding(fileList);
    } catch (const std::string& error) {
        reportEntryError(error);
        requestFrame();
    } catch (const std::bad_alloc&) {
        reportEntryError("Out of memory.");
        requestFrame();
    }
}

// A step key held down, repeated by the keyboard while the picture its last
// step went to is still being decoded. Such a repeat is let go: a step
// cancels the decode of the picture left behind, so steps coming faster than
// pictures decode would leave the screen empty until the key is released;
// this way a held key moves on as fast as pictures reach the screen.
bool isRepeatAheadOfScreen(const MSG& message) {
    const LPARAM wasDown = LPARAM(1) << 30;
    return message.message == WM_KEYDOWN && (message.lParam & wasDown) && keySteps(message.wParam) &&
           shownPictureAwaited(fileList);
}

// The keys the loop acts on itself. A press counts even when its key-up
// was queued with it (automation tools and key rollover deliver both at
// once) and so was handled before the loop looked at `keys`.
struct LoopKeys {
    bool escape = false;
    bool fullscreen = false;

    void notePress(const MSG& message) {
        if (message.message != WM_KEYDOWN) return;
        if (message.wParam == VK_ESCAPE) escape = true;
        if (message.wParam == 'F') fullscreen = true;
    }
};

// Rebuilds the window in the other mode. The old context takes every
// texture with it, so all entries are marked unloaded in between.
bool toggleFullscreen() {
    releaseKey('F');
    bool wasFullscreen = viewerFullscreen();
    closeViewerWindow();
    if (fileList) fileList->unloadAll();
    return openViewerWindow("Olvistra", !wasFullscreen, viewerWindowProc);
}

}  // namespace

int runViewer(const std::string& startPath, const std::string& title) {
    // The decode helper starts and decodes the first picture, and the start
    // path is listed, while the window opens. The first picture is shown
    // without waiting for the whole list when it is known. It is decoded for
    // the size the window is to draw it at, however soon the window is
    // there; a window that opens at another size has it decoded again.
    decodeServiceStart();
    StartPlace start = startPlaceOf(startPath);
    std::string firstPicture = firstPictureOf(start);
    fitPicturesTo(nullptr, pictureSquareSide(openingClientHeight()));
    decodeStartFile(firstPicture);
    startListing(start);
    if (!openViewerWindow(title.c_str(), false, viewerWindowProc)) {
        endListing();
        endDecoding();
        return 0;
    }
    if (!showFirstPictureAhead(firstPicture) && !installListing()) {
        endDecoding();
        closeViewerWindow();
        return listingFailedStatus;
    }

    // A frame is drawn only when something changed: a message that asks for
    // one (window_proc.h), pixels the screen waited for, a reload carried
    // out, the mode switched. Otherwise the loop sleeps until a message or
    // the decode helper's answer comes.
    MSG message = {};
    LoopKeys pressed;
    for (;;) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) break;
            if (isRepeatAheadOfScreen(message)) continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
            pressed.notePress(message);
            continue;
        }
        if (listingPending() && listingDone()) {
            if (!installListing()) break;
            requestFrame();
        }
        fitPicturesTo(fileList, shownPictureSquareSide());
        advanceBetweenFrames();
        if (shownPictureChanged()) {
            requestFrame();
            clearShownPictureChanged();
        }
        bool ending = keyIsDown(VK_ESCAPE) || pressed.escape;
        if (takeFrameRequest() || ending) {
            {
                trace::Timer timer(trace::Step::frame);
                if (windowActive()) drawFrame();
                if (!ending) presentFrame();
            }
            trace::framePresented();
            clearShownPictureChanged();  // what came in while drawing is on this frame
        }
        bool loadedAhead = windowActive() && !ending && loadNeighbourAhead(fileList);
        if (keyIsDown('F') || pressed.fullscreen) {
            pressed.fullscreen = false;
            if (!toggleFullscreen()) {
                endListing();
                endDecoding();
                return 0;
            }
            requestFrame();
        }
        if (ending) break;
        if (!frameRequested() && !loadedAhead) waitForMessageOrDecode();
    }
    closeViewerWindow();
    endListing();
    endDecoding();
    return listingFailed() ? listingFailedStatus : static_cast<int>(message.wParam);
}
