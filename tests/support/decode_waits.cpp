#include "support/decode_waits.h"

#include <chrono>
#include <thread>

#include "model/decode_ahead.h"
#include "model/file_info.h"
#include "model/file_list.h"
#include "platform/testing.h"

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
        if (advanceDecoding() && fileList) {
            int64_t current = fileList->current;
            fileList->get(fileList->current);
            if (!waitsForHelper(current + 1) && !waitsForHelper(current - 1)) return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

DecodeJobState finishDecoding(DecodedImage* image) {
    auto end = std::chrono::steady_clock::now() + deadline;
    DecodeJobState state = DECODE_RUNNING;
    while (state == DECODE_RUNNING && std::chrono::steady_clock::now() < end) state = decodeServicePoll(100, image);
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
