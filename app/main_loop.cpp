#include "app/main_loop.h"

#include <exception>
#include <new>

#include "app/entry_errors.h"
#include "app/window_proc.h"
#include "model/decode_ahead.h"
#include "model/file_info.h"
#include "model/file_list.h"
#include "platform/win32.h"
#include "render/gl_window.h"
#include "render/scene.h"
#include "util/path_rules.h"
#include "util/text.h"
#include "util/trace.h"

namespace {

// Exit status of a start that could list nothing at all.
const int refusedStartStatus = 1;

// A start path that is no file names the folder to list.
std::string folderOf(const std::string& startPath) {
    std::string dir = startPath;
    if (dir.empty() || (dir.back() != '\\' && dir.back() != '/')) dir += directorySeparator(hostPathStyle());
    return dir;
}

// The picture the viewer will show first, decoded while the window opens:
// the start file itself, or a folder's first entry when that is a picture.
void decodeFirstPicture(const std::string& startPath) {
    if (!decodeServiceRunsApart()) return;
    if (fileOpensForReading(startPath.c_str())) {
        decodeStartFile(startPath);
    } else {
        std::string first = firstImageIn(folderOf(startPath));
        if (!first.empty()) decodeStartFile(first);
    }
}

// Lists the start path: a file's directory with that file current, or the
// directory itself with its first entry current. False (after telling the
// user) when the path is neither.
bool buildFileList(const std::string& startPath) {
    trace::Timer timer(trace::Step::list);
    try {
        if (fileOpensForReading(startPath.c_str())) {
            fileList = new FileList(dirnameOf(startPath));
            select(startPath);
        } else {
            fileList = new FileList(folderOf(startPath));
        }
        return true;
    } catch (const std::string& error) {
        MessageBoxA(nullptr, (error + "\n" + startPath).c_str(), "Olvistra - error", MB_OK | MB_ICONERROR);
    } catch (const std::bad_alloc&) {
        MessageBoxA(nullptr, ("Out of memory.\n" + startPath).c_str(), "Olvistra - error", MB_OK | MB_ICONERROR);
    }
    return false;
}

// Draws one frame. An entry that cannot be opened is reported once and then
// shown as an empty frame until the user moves on or reloads. While the
// decode helper still works on the current entry the frame stays empty and
// the loop goes on handling keys; the entry is opened once its pixels (or
// its failure) are in, so opening it never waits. A reload carried out
// here reports its error like any other opening.
bool drawFrame() {
    try {
        if (currentEntryUnopenable()) {
            clearFrame();
            return true;
        }
        if (!advanceDecoding()) {
            clearFrameWarmingUp();
            return true;
        }
        return renderScene();
    } catch (const std::string& error) {
        reportEntryError(error);
    } catch (const std::bad_alloc&) {
        reportEntryError("Out of memory.");
    }
    clearFrame();
    return true;
}

// Advances the decode helper's work when no frame is drawn: collects an
// answer, starts the next job. A reload carried out here reports its error
// like a frame's, and the frame after it shows what is left.
void advanceBetweenFrames() {
    if (currentEntryUnopenable()) return;
    try {
        advanceDecoding();
    } catch (const std::string& error) {
        reportEntryError(error);
        frameDue = true;
    } catch (const std::bad_alloc&) {
        reportEntryError("Out of memory.");
        frameDue = true;
    }
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
    keys['F'] = false;
    closeViewerWindow();
    fullscreen = !fullscreen;
    unloadAll();
    return openViewerWindow("Olvistra", fullscreen);
}

}  // namespace

int runViewer(const std::string& startPath, const std::string& title) {
    // The decode helper starts, and decodes the start file, while the window
    // opens.
    decodeServiceStart();
    decodeFirstPicture(startPath);
    if (!openViewerWindow(title.c_str(), fullscreen)) {
        endDecoding();
        return 0;
    }
    decodeFitToScreen();
    if (!buildFileList(startPath)) {
        endDecoding();
        closeViewerWindow();
        return refusedStartStatus;
    }

    // A frame is drawn only when something changed: a message that asks for
    // one (window_proc.h), pixels the screen waited for, a reload carried
    // out, the mode switched. Otherwise the loop sleeps until a message or
    // the decode helper's answer comes.
    MSG message = {};
    LoopKeys pressed;
    bool ending = false;
    for (;;) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) break;
            TranslateMessage(&message);
            DispatchMessageA(&message);
            pressed.notePress(message);
            continue;
        }
        advanceBetweenFrames();
        if (shownPictureChanged()) frameDue = true;
        bool escape = keys[VK_ESCAPE] || pressed.escape;
        if (frameDue || escape) {
            frameDue = false;
            {
                trace::Timer timer(trace::Step::frame);
                if (active && !drawFrame()) ending = true;
                if (escape) ending = true;
                if (!ending) SwapBuffers(hDC);
            }
            trace::framePresented();
            shownPictureChanged();  // what came in while drawing is on this frame
        }
        bool loadedAhead = active && !ending && loadNeighbourAhead();
        if (keys['F'] || pressed.fullscreen) {
            pressed.fullscreen = false;
            if (!toggleFullscreen()) {
                endDecoding();
                return 0;
            }
            frameDue = true;
        }
        if (ending) break;
        if (!frameDue && !loadedAhead) waitForMessageOrDecode();
    }
    endDecoding();
    closeViewerWindow();
    return static_cast<int>(message.wParam);
}
