#include "app/main_loop.h"

#include <exception>
#include <new>

#include "app/entry_errors.h"
#include "app/start_listing.h"
#include "app/window_proc.h"
#include "model/decode_ahead.h"
#include "model/file_info.h"
#include "model/file_list.h"
#include "platform/graphics_driver.h"
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
        if (currentEntryUnopenable(fileList)) {
            clearFrame();
        } else if (!advanceDecoding(fileList, false)) {
            clearFrameWarmingUp();
        } else {
            renderScene(fileList);
        }
        return;
    } catch (const std::string& error) {
        reportEntryError(fileList, error);
    } catch (const std::bad_alloc&) {
        reportEntryError(fileList, "Out of memory.");
    }
    clearFrame();
}

// Advances the decode helper's work when no frame is drawn: follows the
// window's size, collects an answer, starts the next job. It runs on every
// pass, also while the shown entry is unopenable: an answer left
// uncollected would end every wait at once. A reload carried out here
// reports its error like a frame's, and the frame after it shows what is
// left. While a frame is due, a neighbour's decode waits for it: on two
// cores it would slow the frame.
void advanceBetweenFrames() {
    fitPicturesTo(fileList, shownPictureSquareSide());
    try {
        advanceDecoding(fileList, !frameRequested());
    } catch (const std::string& error) {
        reportEntryError(fileList, error);
        requestFrame();
    } catch (const std::bad_alloc&) {
        reportEntryError(fileList, "Out of memory.");
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

// What the loop ends with: how, and the exit status WM_QUIT carried.
struct LoopEnd {
    bool ended = false;
    bool windowOpen = true;
    int status = 0;

    void endWith(int exitStatus, bool windowStillOpen = true) {
        ended = true;
        status = exitStatus;
        windowOpen = windowStillOpen;
    }
};

// Takes one waiting message and hands it to the window procedure, except a
// step repeat ahead of the screen; WM_QUIT ends the loop. False when none
// was waiting.
bool takeMessage(LoopKeys& pressed, LoopEnd& end) {
    MSG message = {};
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return false;
    if (message.message == WM_QUIT) {
        end.endWith(static_cast<int>(message.wParam));
    } else if (!isRepeatAheadOfScreen(message)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
        pressed.notePress(message);
    }
    return true;
}

// Installs the whole list once the listing thread is done, with a frame to
// show it; a start path that cannot be listed ends the loop.
void installListWhenDone(LoopEnd& end) {
    if (!listingPending() || !listingDone()) return;
    if (!installListing()) {
        end.endWith(listingFailedStatus);
        return;
    }
    requestFrame();
}

// Draws and presents a frame when one is due: asked for by a message or by
// pixels the screen waited for. Escape draws a last frame it does not show.
// True when a frame was drawn.
bool drawIfDue(bool ending) {
    if (shownPictureChanged()) {
        requestFrame();
        clearShownPictureChanged();
    }
    if (!takeFrameRequest() && !ending) return false;
    {
        trace::Timer timer(trace::Step::frame);
        if (windowActive()) drawFrame();
        if (!ending) presentFrame();
    }
    trace::framePresented();
    clearShownPictureChanged();  // what came in while drawing is on this frame
    return true;
}

// Rebuilds the window in the other mode when F was pressed. The old context
// takes every texture with it, so all entries are marked unloaded in
// between; a window that cannot be rebuilt ends the loop.
void switchModeIfAsked(LoopKeys& pressed, LoopEnd& end) {
    if (!keyIsDown('F') && !pressed.fullscreen) return;
    pressed.fullscreen = false;
    releaseKey('F');
    bool wasFullscreen = viewerFullscreen();
    closeViewerWindow();
    if (fileList) fileList->unloadAll();
    if (!openViewerWindow("Olvistra", !wasFullscreen, viewerWindowProc)) {
        end.endWith(0, false);
        return;
    }
    requestFrame();
}

// Closes the window if it is open, then waits for the listing and ends the
// decode helper; the one way out of runViewer after the window was asked for.
int shutDown(const LoopEnd& end) {
    if (end.windowOpen) closeViewerWindow();
    endListing();
    endDecoding();
    return listingFailed() ? listingFailedStatus : end.status;
}

// Starts the decode helper on the first picture and the listing of the
// start path, both while the window opens. The first picture is decoded
// for the size the window is to draw it at; a window that opens at another
// size has it decoded again. Returns the first picture ("" when none).
std::string startDecodingAndListing(const std::string& startPath) {
    decodeServiceStart();
    trace::mark("decode helper started");
    StartPlace start = startPlaceOf(startPath);
    std::string firstPicture = firstPictureOf(start);
    fitPicturesTo(nullptr, pictureSquareSide(openingClientHeight()));
    decodeStartFile(firstPicture);
    trace::mark("first decode sent");
    startListing(start);
    return firstPicture;
}

}  // namespace

int runViewer(const std::string& startPath, const std::string& title) {
    std::string firstPicture = startDecodingAndListing(startPath);
    // The longest part of the window's start, done on another core while
    // SDL connects to the display here.
    startLoadingGraphicsDriver();
    LoopEnd end;
    if (!openViewerWindow(title.c_str(), false, viewerWindowProc)) {
        end.endWith(0, false);
        return shutDown(end);
    }
    trace::mark("window open");
    // The first picture is shown without waiting for the whole list when it
    // is known.
    if (!showFirstPictureAhead(firstPicture) && !installListing()) return shutDown(end);

    // A frame is drawn only when something changed (see drawIfDue);
    // otherwise the loop sleeps until a message or the helper's answer.
    LoopKeys pressed;
    while (!end.ended) {
        if (takeMessage(pressed, end)) continue;
        installListWhenDone(end);
        if (end.ended) break;
        advanceBetweenFrames();
        bool ending = keyIsDown(VK_ESCAPE) || pressed.escape;
        // The frame is out: the helper's next job (a neighbour) starts now.
        if (drawIfDue(ending) && !ending) advanceBetweenFrames();
        bool loadedAhead = windowActive() && !ending && loadNeighbourAhead(fileList);
        switchModeIfAsked(pressed, end);
        if (ending && !end.ended) end.endWith(VK_ESCAPE);  // the status Escape has always ended with
        // Pixels collected after the frame need one of their own.
        if (!end.ended && !frameRequested() && !shownPictureChanged() && !loadedAhead) waitForMessageOrDecode();
    }
    return shutDown(end);
}
