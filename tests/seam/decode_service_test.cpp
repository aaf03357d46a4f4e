// The decode service's state machine (platform/decode_service.cpp) over a
// scripted transport in place of a platform's helper process: what each
// answer, death, hang and slow start turns into, without a helper.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/decode_transport.h"
#include "platform/services.h"
#include "platform/testing.h"

namespace {

struct ScriptedHelper {
    bool running = false;
    bool started = true;  // its own start is over
    int starts = 0;
    int ends = 0;
    int refusedRequests = 0;  // the next ones the channel refuses
    decode_transport::Wait answer = decode_transport::Wait::nothing;
    bool wellFormed = true;
    bool decoded = true;
};

ScriptedHelper helper;

const uint32_t generousLimitMs = 60000;

}  // namespace

namespace decode_transport {

bool helperRunning() { return helper.running; }
bool startHelper() {
    ++helper.starts;
    helper.running = true;
    return true;
}
void startSpare() {}
void endSpare() {}
void endHelper() {
    if (helper.running) ++helper.ends;
    helper.running = false;
}
bool helperStarted() { return helper.running && helper.started; }
bool sendRequest(const char*, uint32_t) { return helper.refusedRequests-- <= 0; }
void jobSent() {}
// A wait with no answer lasts its time, as a real one does.
Wait waitForAnswer(uint32_t waitMs) {
    if (helper.answer == Wait::nothing) std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    return helper.answer;
}
bool receiveAnswer(DecodedImage* image, bool* decoded) {
    *decoded = helper.wellFormed && helper.decoded;
    if (*decoded) image->width = image->height = 1;
    return helper.wellFormed;
}
void stopped() {}
long helperProcessId() { return helper.running ? 1 : 0; }

}  // namespace decode_transport

void releaseDecodedImage(DecodedImage* image) { *image = DecodedImage{}; }

class DecodeServiceSeam : public ::testing::Test {
protected:
    void SetUp() override {
        decodeServiceStop();
        setDecodeTimeLimitForTests(0);
        helper = ScriptedHelper{};
    }
    void TearDown() override { decodeServiceStop(); }

    // Polls until the job is no longer running, with a deadline far beyond
    // what it takes.
    DecodeJobState finish(DecodedImage* image) {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        DecodeJobState state = DecodeJobState::running;
        while (state == DecodeJobState::running && std::chrono::steady_clock::now() < end) {
            state = decodeServicePoll(50, image);
        }
        return state;
    }
};

TEST_F(DecodeServiceSeam, AnswersEndTheJobAndBadOnesTheHelper) {
    DecodedImage image;
    EXPECT_FALSE(decodeServiceSubmit("", 0, generousLimitMs)) << "an empty path names no file";
    ASSERT_TRUE(decodeServiceSubmit("a.png", 0, generousLimitMs));
    EXPECT_FALSE(decodeServiceSubmit("b.png", 0, generousLimitMs)) << "one job at a time";
    EXPECT_EQ(decodeServicePoll(0, &image), DecodeJobState::running);
    helper.answer = decode_transport::Wait::answer;
    EXPECT_EQ(decodeServicePoll(0, &image), DecodeJobState::done);
    EXPECT_EQ(image.width, 1u);
    EXPECT_EQ(decodeServicePoll(0, &image), DecodeJobState::idle);

    helper.decoded = false;  // a refusal keeps the helper
    ASSERT_TRUE(decodeServiceSubmit("a.png", 0, generousLimitMs));
    EXPECT_EQ(decodeServicePoll(0, &image), DecodeJobState::failed);
    EXPECT_EQ(helper.ends, 0);
    helper.wellFormed = false;  // nonsense ends it
    ASSERT_TRUE(decodeServiceSubmit("a.png", 0, generousLimitMs));
    EXPECT_EQ(decodeServicePoll(0, &image), DecodeJobState::failed);
    EXPECT_EQ(helper.ends, 1);
    helper.answer = decode_transport::Wait::broken;  // so does its death
    ASSERT_TRUE(decodeServiceSubmit("a.png", 0, generousLimitMs));
    EXPECT_EQ(helper.starts, 2);
    EXPECT_EQ(decodeServicePoll(0, &image), DecodeJobState::failed);
    EXPECT_EQ(helper.ends, 2);

    // A channel that refuses the request gets a new helper, once.
    helper.refusedRequests = 1;
    EXPECT_TRUE(decodeServiceSubmit("a.png", 0, generousLimitMs));
    decodeServiceCancel();
    helper.refusedRequests = 2;
    EXPECT_FALSE(decodeServiceSubmit("a.png", 0, generousLimitMs));
}

// The clock of a job stands still while its helper still starts, and a
// helper past the limit after that is killed.
TEST_F(DecodeServiceSeam, TimeLimitCountsFromTheHelpersStart) {
    DecodedImage image;
    helper.started = false;
    ASSERT_TRUE(decodeServiceSubmit("a.png", 0, 1));
    EXPECT_EQ(decodeServicePoll(20, &image), DecodeJobState::running) << "still starting";
    EXPECT_EQ(decodeServicePoll(20, &image), DecodeJobState::running);
    helper.started = true;
    EXPECT_EQ(finish(&image), DecodeJobState::failed);
    EXPECT_EQ(helper.ends, 1);
    EXPECT_EQ(decodeHelperId(), 0);
}
