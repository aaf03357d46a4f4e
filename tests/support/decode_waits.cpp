#include "support/decode_waits.h"

#include <chrono>
#include <thread>

#include "app/start_listing.h"
#include "model/decode_ahead.h"
#include "model/decode_time_limit.h"
#include "model/file_info.h"
#include "model/file_list.h"
#include "platform/testing.h"

#include <gtest/gtest.h>

namespace {

const auto deadline = std::chrono::seconds(60);

bool waitsForHelper(int64_t index) {
    if (!fileList || index < 0 || index >= int64_t(fileList->items.count)) return false;
    return decodePending(fileList->items[uint32_t(index)]);
}

}  // namespace

void settleDecoding() {
    auto end = std::chrono::steady_clock::now() + deadline;
    while (std::chrono::steady_clock::now() < end) {
        if (advanceDecoding(fileList) && fileList) {
            int64_t current = fileList->current();
            fileList->get(fileList->current());
            if (!waitsForHelper(current + 1) && !waitsForHelper(current - 1)) return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

namespace {

// Waits for the job in flight, then runs `open` again; until `loaded` or
// the deadline.
template <typename Open, typename Loaded>
void openUntilLoaded(Open open, Loaded loaded) {
    auto end = std::chrono::steady_clock::now() + deadline;
    open();
    while (!loaded() && std::chrono::steady_clock::now() < end) {
        collectDecoded(50);
        open();
    }
}

}  // namespace

void openDecoded(FileInfo& entry) {
    openUntilLoaded([&] { entry.open(); }, [&] { return entry.loaded; });
}

FileInfo* getDecoded(FileList& list, uint32_t index) {
    FileInfo* entry = nullptr;
    openUntilLoaded([&] { entry = list.get(index); }, [&] { return !entry || entry->loaded; });
    return entry;
}

void reloadDecoded(FileInfo* entry) {
    unloadIfLoaded(entry);
    openDecoded(*entry);
}

void decodeAhead(const std::string& path) {
    FileStamp stamp;
    ASSERT_TRUE(fileStampOf(path.c_str(), &stamp));
    ASSERT_TRUE(startDecode(path, stamp, true));
    auto end = std::chrono::steady_clock::now() + deadline;
    while (!collectDecoded(50) && std::chrono::steady_clock::now() < end) {
    }
}

void carryOutReload(FileList* list) {
    auto end = std::chrono::steady_clock::now() + deadline;
    while (!pendingReload().empty() && std::chrono::steady_clock::now() < end) {
        advanceDecoding(list);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

DecodeJobState finishDecoding(DecodedImage* image) {
    auto end = std::chrono::steady_clock::now() + deadline;
    DecodeJobState state = DecodeJobState::running;
    while (state == DecodeJobState::running && std::chrono::steady_clock::now() < end) state = decodeServicePoll(100, image);
    return state;
}

bool helperGone(long id) {
    auto end = std::chrono::steady_clock::now() + deadline;
    while (std::chrono::steady_clock::now() < end) {
        if (decodeHelperId() != id) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

std::array<int, 4> HelperPicture::at(uint32_t x, uint32_t y) const {
    const unsigned char* p = &pixels[(size_t(height - 1 - y) * width + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

HelperPicture decodeWithHelper(const std::string& path, uint32_t maxSide) {
    HelperPicture picture;
    EXPECT_TRUE(decodeServiceSubmit(path.c_str(), maxSide, decodeTimeLimitMsFor(path.c_str())));
    DecodedImage image;
    if (finishDecoding(&image) != DecodeJobState::done) return picture;
    picture.ok = true;
    picture.width = image.width;
    picture.height = image.height;
    picture.pictureWidth = image.pictureWidth;
    picture.pictureHeight = image.pictureHeight;
    picture.pixels.assign(image.pixels, image.pixels + image.byteCount);
    releaseDecodedImage(&image);
    return picture;
}
