#include "app/start_listing.h"

#include <atomic>
#include <new>

#include "app/entry_errors.h"
#include "model/file_info.h"
#include "model/file_info_factory.h"
#include "model/file_list.h"
#include "platform/services.h"
#include "platform/win32.h"
#include "app/startup.h"
#include "util/path_rules.h"
#include "util/text.h"
#include "util/trace.h"

FileList* fileList = nullptr;

namespace {

// The listing thread is a POSIX thread: the Windows toolchain's C++ library
// has no std::thread.
struct Listing {
    pthread_t thread{};
    bool running = false;  // started and not joined yet
    std::atomic<bool> done{false};
    StartPlace start;
    FileList* list = nullptr;  // written by the thread, read after join
    std::string error;         // empty when the list was made
    bool failed = false;       // the error was shown
};

Listing listing;

// Runs on the listing thread: touches nothing but the new list and the
// listing's own fields until `done` is set.
void* makeList(void*) {
    const StartPlace& start = listing.start;
    try {
        FileList* list = new FileList(start.folder);
        if (start.isFile) list->select(start.path);
        listing.list = list;
    } catch (const std::string& error) {
        listing.error = error;
    } catch (const std::bad_alloc&) {
        listing.error = "Out of memory.";
    }
    listing.done = true;
    trace::mark("list made");
    wakeMessageWait();
    return nullptr;
}

void joinListing() {
    pthread_join(listing.thread, nullptr);
    listing.running = false;
}

// Moves the entry shown ahead into the whole list, in place of the entry
// it names (found as select finds the start file), under the name as the
// whole list spells it; an entry the whole list lacks is dropped.
void takeOverShown(FileList* ahead, FileList* whole) {
    if (!ahead || ahead->items.count == 0) return;
    FileInfo* shown = ahead->items[0];
    ahead->items.count = 0;  // the ahead list must not delete it
    uint32_t index = 0;
    if (whole->find(shown->path, &index)) {
        shown->path = whole->items[index]->path;
        delete whole->items[index];
        whole->items[index] = shown;
        return;
    }
    unloadIfLoaded(shown);
    delete shown;
}

}  // namespace

StartPlace startPlaceOf(const std::string& startPath) {
    StartPlace start;
    start.path = startPath;
    start.isFile = fileOpensForReading(startPath.c_str());
    if (start.isFile) {
        start.folder = dirnameOf(startPath);
    } else {
        start.folder = startPath;
        if (start.folder.empty() || (start.folder.back() != '\\' && start.folder.back() != '/'))
            start.folder += directorySeparator(hostPathStyle());
    }
    return start;
}

std::string firstPictureOf(const StartPlace& start) {
    return start.isFile ? start.path : firstImageIn(start.folder);
}

void startListing(const StartPlace& start) {
    listing.start = start;
    listing.done = false;
    listing.failed = false;
    listing.running = pthread_create(&listing.thread, nullptr, makeList, nullptr) == 0;
    if (!listing.running) makeList(nullptr);  // no thread: list here, as before
}

bool showFirstPictureAhead(const std::string& firstPicture) {
    if (firstPicture.empty() || !isImageName(firstPicture)) return false;
    FileList* ahead = nullptr;
    try {
        ahead = new FileList(dirnameOf(firstPicture), firstPicture);
    } catch (...) {
        return false;  // the whole list reports what is wrong
    }
    delete fileList;
    fileList = ahead;
    return true;
}

bool listingPending() { return listing.running || listing.list || !listing.error.empty(); }

bool listingDone() { return listing.done; }

bool installListing() {
    if (!listingPending()) return true;
    if (listing.running) {
        trace::Timer timer(trace::Step::list);  // what the viewer waited for
        joinListing();
    }
    if (!listing.list) {
        // The error's own text stays the first line; the system says why.
        std::string reason = pathProblem(listing.start.path.c_str());
        std::string text = listing.error + "\n" + listing.start.path + (reason.empty() ? "" : "\n" + reason);
        listing.error.clear();
        listing.failed = true;
        MessageBoxA(nullptr, text.c_str(), "Olvistra - error", MB_OK | MB_ICONERROR);
        return false;
    }
    trace::mark("whole list installed");
    FileList* ahead = fileList;
    takeOverShown(ahead, listing.list);
    fileList = listing.list;
    listing.list = nullptr;
    delete ahead;
    forgetEntryError();
    return true;
}

bool listingFailed() { return listing.failed; }

void endListing() {
    if (listing.running) joinListing();
    delete listing.list;
    listing.list = nullptr;
    listing.error.clear();
}
