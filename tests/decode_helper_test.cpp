// The decode helper: files that crash, hang or flood DevIL end as failed
// decodes within the time limit and leave the viewer decoding the next file;
// a helper killed from outside is replaced by the spare; the helper runs
// restricted; and decoding ahead uses ready pixels only while the file is
// unchanged.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <zlib.h>

#include "app/start_listing.h"
#include "model/decode_ahead.h"
#include "model/decode_time_limit.h"
#include "model/decoded_pixels.h"
#include "model/file_info.h"
#include "model/file_list.h"
#include "platform/services.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "render/gl.h"
#include "support/bytes.h"
#include "support/decode_waits.h"
#include "support/gl_test_context.h"
#include "support/temp_dir.h"
#include "support/test_images.h"

namespace {

const Rgb green = {20, 200, 40};
const Rgb orange = {240, 140, 10};
// Files that hang are given a short limit; every other decode a limit no
// busy machine reaches, so that a slow good picture never counts as a hang.
const uint32_t hangLimitMs = 3000;
const uint32_t ampleLimitMs = 600000;

std::string be16(uint32_t v) { return {char((v >> 8) & 0xff), char(v & 0xff)}; }
std::string be32(uint32_t v) { return be16(v >> 16) + be16(v & 0xffff); }

// Files of the kinds that crash or hang DevIL 1.7.8 in-process.
std::string hugeBmp() {
    std::string info = le32(40) + le32(30000) + le32(30000) + le16(1) + le16(24) + le32(0) + le32(0) + le32(0) +
                       le32(0) + le32(0) + le32(0);
    return "BM" + le32(200) + le32(0) + le32(54) + info + std::string(146, '\x33');
}

std::string hugePsd() {
    return "8BPS" + be16(1) + std::string(6, '\0') + be16(3) + be32(30000) + be32(30000) + be16(8) + be16(3) +
           be32(0) + be32(0) + be32(0) + be16(0) + std::string(64, '\x44');
}

std::string gifFrameBeyondScreen() {
    std::string gif = "GIF89a" + le16(4) + le16(4) + "\x80\x00\x00";  // 4 x 4 screen, 2-colour table
    gif += std::string("\xff\x00\x00\x00\x00\xff", 6);
    gif += "," + le16(0) + le16(0) + le16(400) + le16(400) + std::string(1, '\0');  // a 400 x 400 frame
    gif += std::string("\x02\x0c\x84\x8f\xa9\xcb\xed\x0f\xa3\x9c\xb4\xda\x8b\xb3\x00", 15) + ";";
    return gif;
}

std::string shortDds() {
    std::string header = le32(124) + le32(0x1007) + le32(1024) + le32(1024) + le32(0) + le32(0) + le32(0);
    header += std::string(44, '\0');
    header += le32(32) + le32(0x4) + "DXT5" + std::string(20, '\0');
    header += le32(0x1000) + std::string(16, '\0');
    return "DDS " + header + std::string(40, '\x55');
}

class DecodeHelper : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_DISPLAY();
        gl = std::make_unique<GLTestContext>();
        setDecodeTimeLimitForTests(ampleLimitMs);
    }

    void TearDown() override {
        endDecoding();
        setDecodeTimeLimitForTests(0);
        delete fileList;
        fileList = nullptr;
    }

    // A 64-byte start of a valid PNG: DevIL's reader spins on it forever.
    std::string truncatedPng() {
        std::string whole = dir.path() + "whole.png";
        writeTestImage(whole, "png", 64, 64, green);
        std::string bytes = readBytes(whole);
        unlink(whole.c_str());
        return bytes.substr(0, 64);
    }

    static void expectFailed(FileInfoImg& entry) {
        EXPECT_TRUE(entry.loaded) << entry.path;
        EXPECT_EQ(entry.texture, 0u) << entry.path;
        EXPECT_EQ(entry.width, 0u) << entry.path;
        EXPECT_EQ(entry.height, 0u) << entry.path;
    }

    static void expectShows(FileInfoImg& entry, uint32_t width, uint32_t height, Rgb colour) {
        EXPECT_EQ(entry.width, width) << entry.path;
        EXPECT_EQ(entry.height, height) << entry.path;
        ASSERT_NE(entry.texture, 0u) << entry.path;
        std::array<int, 3> centre = GLTestContext::textureCentre(entry.texture);
        EXPECT_NEAR(centre[0], colour.r, 2) << entry.path;
        EXPECT_NEAR(centre[1], colour.g, 2) << entry.path;
        EXPECT_NEAR(centre[2], colour.b, 2) << entry.path;
    }

    static FileInfoImg* image(uint32_t index) { return dynamic_cast<FileInfoImg*>(fileList->items[index]); }

    static uint32_t indexOf(const std::string& name) {
        for (uint32_t i = 0; i < fileList->items.count; ++i) {
            const std::string& path = fileList->items[i]->path;
            if (path.size() >= name.size() && path.compare(path.size() - name.size(), name.size(), name) == 0)
                return i;
        }
        ADD_FAILURE() << name << " not listed";
        return 0;
    }

    TempDir dir;
    std::unique_ptr<GLTestContext> gl;
};

}  // namespace

TEST_F(DecodeHelper, CrashersAndHangsFailWithinTheLimitAndTheNextImageShows) {
    const std::pair<const char*, std::string> crashers[] = {
        {"huge.bmp", hugeBmp()},         {"huge.psd", hugePsd()},     {"truncated.png", truncatedPng()},
        {"frame.gif", gifFrameBeyondScreen()}, {"short.dds", shortDds()},
    };
    std::string good = dir.path() + "good.png";
    writeTestImage(good, "png", 30, 20, green);
    for (const auto& [name, bytes] : crashers) {
        SCOPED_TRACE(name);
        writeBytes(dir.path() + name, bytes);
        FileInfoImg broken(dir.path() + name);
        setDecodeTimeLimitForTests(hangLimitMs);
        openDecoded(broken);
        setDecodeTimeLimitForTests(ampleLimitMs);
        expectFailed(broken);
        FileInfoImg next(good);
        openDecoded(next);
        expectShows(next, 30, 20, green);
    }
}

TEST_F(DecodeHelper, HelperKilledFromOutsideIsReplaced) {
    std::string good = dir.path() + "good.png";
    writeTestImage(good, "png", 30, 20, green);
    FileInfoImg first(good);
    openDecoded(first);
    expectShows(first, 30, 20, green);

    // Killed while idle: the next decode takes the spare kept started.
    long idle = decodeHelperId();
    ASSERT_GT(idle, 0);
    decodeServiceKeepSpare();
    long spare = 0;
    std::ifstream children("/proc/self/task/" + std::to_string(getpid()) + "/children");
    for (long child = 0; children >> child;) spare = child != idle ? child : spare;
    ASSERT_GT(spare, 0) << "no spare helper runs";
    ASSERT_EQ(kill(pid_t(idle), SIGKILL), 0);
    ASSERT_TRUE(helperGone(idle));
    reloadDecoded(&first);
    expectShows(first, 30, 20, green);
    EXPECT_EQ(decodeHelperId(), spare);

    // Killed while decoding a file that hangs: a failed decode, though the
    // time limit is far beyond the wait.
    std::string hanging = dir.path() + "hanging.png";
    writeBytes(hanging, truncatedPng());
    ASSERT_TRUE(decodeServiceSubmit(hanging.c_str(), 0, decodeTimeLimitMsFor(hanging.c_str())));
    ASSERT_EQ(kill(pid_t(decodeHelperId()), SIGKILL), 0);
    DecodedImage image;
    EXPECT_EQ(finishDecoding(&image), DecodeJobState::failed);
    reloadDecoded(&first);
    expectShows(first, 30, 20, green);
}

// Read from /proc while the helper waits for work.
TEST_F(DecodeHelper, HelperRunsWithoutNewPrivilegesAndFiltered) {
    std::string good = dir.path() + "good.png";
    writeTestImage(good, "png", 8, 8, green);
    FileInfoImg entry(good);
    openDecoded(entry);
    long pid = decodeHelperId();
    ASSERT_GT(pid, 0);
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line, noNewPrivs, seccomp;
    while (std::getline(status, line)) {
        if (line.rfind("NoNewPrivs:", 0) == 0) noNewPrivs = line.substr(11);
        if (line.rfind("Seccomp:", 0) == 0) seccomp = line.substr(8);
    }
    EXPECT_EQ(noNewPrivs.find('1') != std::string::npos, true) << noNewPrivs;
    EXPECT_EQ(seccomp.find('2') != std::string::npos, true) << seccomp;
}

TEST_F(DecodeHelper, NeighboursDecodedAheadAreUsedOnlyWhileUnchanged) {
    for (const char* name : {"aa.png", "bb.png", "cc.png"}) writeTestImage(dir.path() + name, "png", 40, 30, green);
    fileList = new FileList(dir.path());
    fileList->moveTo(1);
    // No neighbour is decoded beside the shown picture's upload, nor while
    // the loop has a frame due; then they are.
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!advanceDecoding(fileList) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(decodeJob().running) << "a neighbour was decoded beside the upload";
    getDecoded(*fileList, 1);
    advanceDecoding(fileList, false);
    EXPECT_FALSE(decodeJob().running) << "a neighbour was decoded beside a frame due";
    settleDecoding();
    ASSERT_TRUE(image(1)->loaded);
    uint32_t previous = 0, next = 2;

    // One neighbour unchanged: its ready pixels are shown with no helper
    // at work (the idle helper is gone and stays gone).
    long helper = decodeHelperId();
    ASSERT_GT(helper, 0);
    kill(pid_t(helper), SIGKILL);
    ASSERT_TRUE(helperGone(helper));
    ASSERT_EQ(decodeHelperId(), 0);
    fileList->moveTo(previous);
    getDecoded(*fileList, previous);
    EXPECT_EQ(decodeHelperId(), 0) << "a ready neighbour was decoded again";
    expectShows(*image(previous), 40, 30, green);

    // The other one replaced on disk after it was decoded: the new content.
    fileList->moveTo(1);
    std::string replaced = image(next)->path;
    writeTestImage(replaced + ".new", "png", 24, 48, orange);
    ASSERT_EQ(rename((replaced + ".new").c_str(), replaced.c_str()), 0);
    fileList->moveTo(next);
    settleDecoding();
    expectShows(*image(next), 24, 48, orange);

    // R of the shown entry rewritten in place: the current content.
    writeTestImage(replaced, "png", 24, 48, green);
    reloadDecoded(image(next));
    expectShows(*image(next), 24, 48, green);
}

// A step away from an entry whose decode hangs never waits for it: the
// other picture shows while the hanging decode still has minutes to run.
// Held step keys wait while the shown picture is being decoded, not after.
TEST_F(DecodeHelper, SteppingAwayOutrunsAHangingDecode) {
    writeTestImage(dir.path() + "aa.png", "png", 10, 10, green);
    writeBytes(dir.path() + "bb.png", truncatedPng());
    writeTestImage(dir.path() + "cc.png", "png", 12, 10, orange);
    fileList = new FileList(dir.path());
    uint32_t hanging = indexOf("bb.png"), good = indexOf("cc.png");
    fileList->moveTo(hanging);
    for (int i = 0; i < 10; ++i) EXPECT_FALSE(advanceDecoding(fileList));
    EXPECT_TRUE(shownPictureAwaited(fileList)) << "a held step key waits for this picture";
    fileList->moveTo(good);
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!advanceDecoding(fileList) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    getDecoded(*fileList, good);
    expectShows(*image(good), 12, 10, orange);
    EXPECT_FALSE(shownPictureAwaited(fileList));
    EXPECT_FALSE(image(hanging)->loaded);
}

// A picture loaded ahead whose file then changes, and R, decode afresh
// without the loop waiting: the entry stays unloaded while the helper works
// (here on a file that hangs for the whole, ample, time limit).
TEST_F(DecodeHelper, ChangedFileAndReloadDecodeWithoutWaiting) {
    for (const char* name : {"aa.png", "bb.png"}) writeTestImage(dir.path() + name, "png", 10, 10, green);
    fileList = new FileList(dir.path());
    settleDecoding();
    ASSERT_TRUE(fileList->loadAhead(1));
    writeBytes(image(1)->path, truncatedPng());
    fileList->moveTo(1);
    EXPECT_EQ(fileList->get(1), image(1));
    EXPECT_FALSE(image(1)->loaded);
    EXPECT_TRUE(shownPictureAwaited(fileList));

    fileList->moveTo(0);
    ASSERT_TRUE(image(0)->loaded);
    writeBytes(image(0)->path, truncatedPng());
    reload(image(0));
    EXPECT_FALSE(image(0)->loaded);
    EXPECT_TRUE(shownPictureAwaited(fileList));
}

namespace {

// A 24-bit BMP of four quadrants: top left red, top right green, bottom
// left blue, bottom right white.
std::string quadrantBmp(uint32_t width, uint32_t height) {
    uint32_t rowBytes = (width * 3 + 3) / 4 * 4;
    std::string out = "BM";
    put32(out, 54 + rowBytes * height);
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, width);
    put32(out, height);
    put16(out, 1);
    put16(out, 24);
    for (int i = 0; i < 6; ++i) put32(out, 0);
    for (uint32_t row = 0; row < height; ++row) {  // bottom row first
        bool top = row >= height / 2;
        std::string line;
        for (uint32_t x = 0; x < width; ++x) {
            bool right = x >= width / 2;
            Rgb c = top ? (right ? Rgb{0, 255, 0} : Rgb{255, 0, 0}) : (right ? Rgb{255, 255, 255} : Rgb{0, 0, 255});
            line += {char(c.b), char(c.g), char(c.r)};
        }
        line.resize(rowBytes, '\0');
        out += line;
    }
    return out;
}

}  // namespace

// A picture larger than the square it is drawn in comes from the helper
// shrunk to the square's side: the entry keeps the file's size (the aspect
// and the info text use it), and every quadrant keeps its colour and place.
TEST_F(DecodeHelper, LargePictureIsShrunkForItsTextureOnly) {
    std::string path = dir.path() + "wide.bmp";
    writeBytes(path, quadrantBmp(3000, 1000));
    setDecodeSide(742);
    FileInfoImg entry(path);
    openDecoded(entry);
    setDecodeSide(0);
    EXPECT_EQ(entry.width, 3000u);
    EXPECT_EQ(entry.height, 1000u);
    ASSERT_NE(entry.texture, 0u);
    std::array<int, 2> size = GLTestContext::textureSize(entry.texture);
    EXPECT_EQ(size, (std::array<int, 2>{742, 247}));

    std::vector<unsigned char> texels(size_t(size[0]) * size[1] * 4);
    glBindTexture(GL_TEXTURE_2D, entry.texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    auto texel = [&](int x, int y) {  // rows bottom first
        const unsigned char* p = &texels[(size_t(y) * size[0] + x) * 4];
        return std::array<int, 3>{p[0], p[1], p[2]};
    };
    int w = size[0], h = size[1];
    EXPECT_EQ(texel(w / 4, h / 4), (std::array<int, 3>{0, 0, 255}));
    EXPECT_EQ(texel(3 * w / 4, h / 4), (std::array<int, 3>{255, 255, 255}));
    EXPECT_EQ(texel(w / 4, 3 * h / 4), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(texel(3 * w / 4, 3 * h / 4), (std::array<int, 3>{0, 255, 0}));
    EXPECT_NE(entry.infoText().find("\nwidth:\t3000px\nheight:\t1000px\nradio:\t3.00"), std::string::npos);
}

namespace {

void pngChunk(std::string& out, const char* type, const std::string& data) {
    std::string body = std::string(type, 4) + data;
    for (int shift = 24; shift >= 0; shift -= 8) out += char((data.size() >> shift) & 0xFF);
    out += body;
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()));
    for (int shift = 24; shift >= 0; shift -= 8) out += char((crc >> shift) & 0xFF);
}

// A 16-bit RGBA PNG: left half 0x12FF, 0x3400, 0xAB80 at alpha 0xFFFF,
// right half 0xFF01, 0x0101, 0x7F7F at alpha 0x80FF. The high bytes are what
// an 8-bit picture keeps.
std::string sixteenBitPng(uint32_t width, uint32_t height) {
    std::string header;
    for (uint32_t v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8) header += char((v >> shift) & 0xFF);
    header += {char(16), char(6), char(0), char(0), char(0)};  // 16 bits, RGBA
    const uint16_t left[4] = {0x12FF, 0x3400, 0xAB80, 0xFFFF}, right[4] = {0xFF01, 0x0101, 0x7F7F, 0x80FF};
    std::string rows;
    for (uint32_t y = 0; y < height; ++y) {
        rows += '\0';  // no filter
        for (uint32_t x = 0; x < width; ++x)
            for (uint16_t sample : (x < width / 2 ? left : right)) rows += {char(sample >> 8), char(sample & 0xFF)};
    }
    std::string packed(compressBound(uLong(rows.size())), '\0');
    uLongf packedSize = uLongf(packed.size());
    compress(reinterpret_cast<Bytef*>(&packed[0]), &packedSize, reinterpret_cast<const Bytef*>(rows.data()),
             uLong(rows.size()));
    packed.resize(packedSize);
    std::string out = "\x89PNG\r\n\x1a\n";
    pngChunk(out, "IHDR", header);
    pngChunk(out, "IDAT", packed);
    pngChunk(out, "IEND", "");
    return out;
}

}  // namespace

// 16-bit pictures reach the texture as their high bytes, alpha included,
// whether they are shrunk on the way or not.
TEST_F(DecodeHelper, SixteenBitPictureKeepsItsHighBytes) {
    for (uint32_t width : {40u, 3000u}) {
        std::string path = dir.path() + "deep" + std::to_string(width) + ".png";
        writeBytes(path, sixteenBitPng(width, 30));
        FileInfoImg entry(path);
        openDecoded(entry);
        ASSERT_NE(entry.texture, 0u) << width;
        EXPECT_EQ(entry.width, width);
        std::array<int, 2> size = GLTestContext::textureSize(entry.texture);
        std::vector<unsigned char> texels(size_t(size[0]) * size[1] * 4);
        glBindTexture(GL_TEXTURE_2D, entry.texture);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        auto texel = [&](int x) {
            const unsigned char* p = &texels[(size_t(size[1] / 2) * size[0] + x) * 4];
            return std::array<int, 4>{p[0], p[1], p[2], p[3]};
        };
        EXPECT_EQ(texel(size[0] / 4), (std::array<int, 4>{0x12, 0x34, 0xAB, 0xFF})) << width;
        EXPECT_EQ(texel(3 * size[0] / 4), (std::array<int, 4>{0xFF, 0x01, 0x7F, 0x80})) << width;
    }
}
