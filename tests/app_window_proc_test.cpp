// The window procedure: the key table, the active flag and the frame
// request it keeps, the answers it gives, and the list keys before, while
// and after the start folder is listed on its thread.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_loop.h"
#include "app/start_listing.h"
#include "app/window_proc.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "support/gl_test_context.h"
#include "support/render_support.h"
#include "support/temp_dir.h"

using render_test::boxLine;
using render_test::boxLinesOf;
using render_test::DialogAnswer;

namespace {

LRESULT send(UINT message, WPARAM wParam, LPARAM lParam = 0) {
    return viewerWindowProc(nullptr, message, wParam, lParam);
}

// A key pressed and let go, as a message box's own loop hands it over.
void press(WPARAM key) {
    send(WM_KEYDOWN, key);
    send(WM_KEYUP, key);
}

// The code of the WM_QUIT waiting in the queue, or -1 when there is none.
int postedQuitCode() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) return int(message.wParam);
    }
    return -1;
}

const std::string helpLine = boxLine(
    "help",
    "keys:\\nJ -\\tprevios file in dir.\\nL -\\tnext file in dir.\\nHOME -\\tgo to first file in dir.\\nEND -\\tgo to "
    "last file in dir.\\nR -\\treload currently image.\\nF -\\tswitch fullscreen on / off.\\nE -\\tedit currently "
    "image.\\nF1 -\\tshow this help window.");

// A folder of three pictures (files that open; nothing here decodes them).
struct PictureFolder {
    TempDir dir;
    PictureFolder() {
        for (const char* name : {"alpha.bmp", "bravo.bmp", "charlie.bmp"}) dir.writeFile(name);
    }
    std::string path(const char* name) const { return dir.path() + name; }
    uint32_t indexOf(const char* name) const {
        for (uint32_t i = 0; i < fileList->items.count; ++i) {
            if (fileList->items[i]->path == path(name)) return i;
        }
        ADD_FAILURE() << name << " is not listed";
        return 0;
    }
};

}  // namespace

// First in this file: the lists made by the tests below outlive them.
TEST(WindowProc, ListKeysWithoutAListDoNothing) {
    if (fileList || listingPending()) GTEST_SKIP() << "a list was made earlier in this process";
    DialogAnswer answer{"yes"};
    std::vector<std::string> lines = boxLinesOf([] {
        for (WPARAM key : {WPARAM('L'), WPARAM('J'), WPARAM(VK_HOME), WPARAM(VK_END), WPARAM('R'), WPARAM(VK_F5),
                           WPARAM('E'), WPARAM('I'), WPARAM(VK_F1)}) {
            press(key);
        }
    });
    EXPECT_EQ(lines, std::vector<std::string>{helpLine}) << "only F1 needs no list";
    EXPECT_EQ(fileList, nullptr);
}

TEST(WindowProc, KeysActiveFlagFramesAndAnswers) {
    EXPECT_EQ(send(WM_KEYDOWN, 'Q'), 0);
    EXPECT_TRUE(keyIsDown('Q'));
    EXPECT_EQ(send(WM_KEYUP, 'Q'), 0);
    EXPECT_FALSE(keyIsDown('Q'));

    send(WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 1));
    EXPECT_FALSE(windowActive()) << "minimised";
    takeFrameRequest();
    send(WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0));
    EXPECT_TRUE(windowActive()) << "restored";
    EXPECT_TRUE(takeFrameRequest()) << "a restored window is drawn again";
    send(WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0));
    EXPECT_TRUE(windowActive()) << "losing the focus is not minimising";
    takeFrameRequest();
    send(WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 480));
    EXPECT_TRUE(takeFrameRequest()) << "a resized window is drawn again";

    EXPECT_EQ(send(WM_SYSCOMMAND, SC_SCREENSAVE), 0);
    EXPECT_EQ(send(WM_SYSCOMMAND, SC_MONITORPOWER), 0);
    EXPECT_EQ(send(WM_CLOSE, 0), 0);
    EXPECT_EQ(postedQuitCode(), 0);
}

// F1 does not wait for the list; a list key does, then acts on the whole
// list, which has taken the shown entry over; steps stop at both ends.
TEST(ListingInProgress, ListKeysWaitForTheWholeList) {
    DialogAnswer answer{"yes"};
    PictureFolder folder;
    ASSERT_TRUE(showFirstPictureAhead(folder.path("bravo.bmp")));
    FileInfo* shown = fileList->items[0];
    startListing(startPlaceOf(folder.path("bravo.bmp")));

    EXPECT_EQ(boxLinesOf([] { press(VK_F1); }), std::vector<std::string>{helpLine});
    EXPECT_TRUE(listingPending()) << "F1 waited for the list";
    press(VK_END);
    EXPECT_FALSE(listingPending());
    ASSERT_EQ(fileList->items.count, 3u);
    EXPECT_EQ(fileList->current(), 2u);
    EXPECT_EQ(fileList->items[folder.indexOf("bravo.bmp")], shown) << "the shown entry was dropped";

    press('L');
    press(VK_RIGHT);
    press(VK_NEXT);
    EXPECT_EQ(fileList->current(), 2u);
    press(VK_HOME);
    press('J');
    press(VK_LEFT);
    press(VK_PRIOR);
    EXPECT_EQ(fileList->current(), 0u);
    press('L');
    EXPECT_EQ(fileList->current(), 1u);
}

// A start text no entry has (here a file that is no picture) leaves the
// first entry current; the entry shown ahead keeps its place in the list.
TEST(ListingInProgress, StartTextTheListLacksFallsBackToTheFirstEntry) {
    PictureFolder folder;
    folder.dir.writeFile("notes.txt");
    ASSERT_TRUE(showFirstPictureAhead(folder.path("charlie.bmp")));
    FileInfo* shown = fileList->items[0];
    startListing(startPlaceOf(folder.path("notes.txt")));
    ASSERT_TRUE(installListing());
    ASSERT_EQ(fileList->items.count, 3u);
    EXPECT_EQ(fileList->current(), 0u);
    EXPECT_EQ(fileList->items[folder.indexOf("charlie.bmp")], shown);
}

// A key that waits for a listing that fails: the box, the viewer asked to
// end with status 1, and no list key acts on the first picture's list.
TEST(ListingInProgress, FailureSeenByAKeyEndsTheViewer) {
    DialogAnswer answer{"yes"};
    PictureFolder folder;
    ASSERT_TRUE(showFirstPictureAhead(folder.path("bravo.bmp")));
    platformSetCallFails(PlatformCall::FindFirstFileA, true);
    startListing(startPlaceOf(folder.path("bravo.bmp")));
    std::vector<std::string> lines = boxLinesOf([] { press(VK_END); });
    platformClearCallFailures();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind(boxLine("Olvistra - error", "Handdir::opendir -> FindFirstFile\\n" +
                                                             folder.path("bravo.bmp")),
                             0),
              0u)
        << lines[0];
    EXPECT_EQ(postedQuitCode(), listingFailedStatus);
    EXPECT_EQ(boxLinesOf([] { press('I'); }), std::vector<std::string>{}) << "I after the failure";
    EXPECT_EQ(fileList->items.count, 1u);
}

// The same failure met by the main loop while the first picture is shown.
TEST(ListingInProgress, FailureAfterTheFirstPictureGivesTheBoxAndStatusOne) {
    if (!GLTestContext::displayAvailable()) GTEST_SKIP() << "no X display";
    DialogAnswer answer{"yes"};
    TempDir dir;
    std::string picture = dir.path() + "first.bmp";
    writeTestImage(picture, "bmp", 8, 8, {200, 120, 40});
    platformSetCallFails(PlatformCall::FindFirstFileA, true);
    int status = -1;
    std::vector<std::string> lines = boxLinesOf([&] { status = runViewer(picture, "Olvistra - " + picture); });
    platformClearCallFailures();
    EXPECT_EQ(status, 1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind(boxLine("Olvistra - error", "Handdir::opendir -> FindFirstFile\\n" + picture), 0), 0u)
        << lines[0];
}
