// JPEG photos stand upright: the decode helper turns the pixels by the EXIF
// Orientation tag and reports the upright size; a damaged or unknown tag
// leaves the picture as stored.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/start_listing.h"
#include "model/decode_ahead.h"
#include "model/file_info.h"
#include "model/file_list.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "support/bytes.h"
#include "support/decode_waits.h"
#include "support/gl_test_context.h"
#include "support/temp_dir.h"
#include "support/test_images.h"
#include "util/orientation.h"

namespace {

// A TIFF block in either byte order.
struct Tiff {
    bool big;
    std::string u16(uint32_t v) const { return big ? be16(v) : le16(v); }
    std::string u32(uint32_t v) const { return big ? be32(v) : le32(v); }
    std::string header(uint32_t ifdOffset) const { return (big ? "MM" : "II") + u16(42) + u32(ifdOffset); }
    // One IFD entry whose value (up to four bytes) is stored in place.
    std::string entry(uint32_t tag, uint32_t type, uint32_t count, const std::string& value) const {
        return u16(tag) + u16(type) + u32(count) + (value + std::string(4, '\0')).substr(0, 4);
    }
};

const uint32_t shortType = 3, longType = 4;

// IFD0 at offset 8 holding only the Orientation tag.
std::string orientationTiff(uint32_t value, bool big) {
    Tiff t{big};
    return t.header(8) + t.u16(1) + t.entry(0x0112, shortType, 1, t.u16(value)) + t.u32(0);
}

// The JPEG with an APP1 Exif segment holding `tiff` right after its SOI.
std::string withExif(const std::string& jpeg, const std::string& tiff) {
    std::string payload = std::string("Exif\0\0", 6) + tiff;
    return jpeg.substr(0, 2) + "\xff\xe1" + be16(uint32_t(payload.size() + 2)) + payload + jpeg.substr(2);
}

struct Colour {
    const char* name;
    Rgb rgb;
};
const Colour red = {"red", {255, 0, 0}}, green = {"green", {0, 255, 0}}, blue = {"blue", {0, 0, 255}},
             white = {"white", {255, 255, 255}};
const uint32_t storedWidth = 64, storedHeight = 32;

// A 64 x 32 JPEG without metadata: a red top half and a blue bottom half,
// each with a second colour on its right (red green / blue white), so that
// mirror images differ too.
std::string quadrantJpeg(const TempDir& dir) {
    std::string path = dir.path() + "quadrants.jpg";
    std::string command = "convert -size 32x16 '(' xc:red xc:lime +append ')' '(' xc:blue xc:white +append ')' "
                          "-append -strip -quality 95 jpg:- > '" + path + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::string bytes = readBytes(path);
    std::remove(path.c_str());
    return bytes;
}

// Compares the centres of the four quarters of the shown picture with the
// colours expected at top-left, top-right, bottom-left and bottom-right.
void expectQuarters(const HelperPicture& shown, const std::array<Colour, 4>& expected) {
    ASSERT_TRUE(shown.ok);
    const uint32_t xs[] = {shown.width / 4, shown.width * 3 / 4};
    const uint32_t ys[] = {shown.height / 4, shown.height * 3 / 4};
    for (int i = 0; i < 4; ++i) {
        std::array<int, 4> at = shown.at(xs[i % 2], ys[i / 2]);
        Rgb seen = {uint8_t(at[0]), uint8_t(at[1]), uint8_t(at[2])};
        Rgb want = expected[i].rgb;
        bool close = std::abs(seen.r - want.r) < 40 && std::abs(seen.g - want.g) < 40 && std::abs(seen.b - want.b) < 40;
        EXPECT_TRUE(close) << "quarter " << i << " should be " << expected[i].name << ", is " << int(seen.r) << ","
                           << int(seen.g) << "," << int(seen.b);
    }
}

const std::array<Colour, 4> asStored = {red, green, blue, white};

}  // namespace

// Each orientation, written by hand from the tag's definition: the colours
// at the shown top-left, top-right, bottom-left and bottom-right.
TEST(ExifOrientation, EachOfTheEightTagsShowsThePictureUpright) {
    TempDir dir;
    std::string jpeg = quadrantJpeg(dir);
    const std::array<Colour, 4> upright[9] = {
        {},
        {red, green, blue, white},  // 1 as stored
        {green, red, white, blue},  // 2 mirrored left to right
        {white, blue, green, red},  // 3 turned half round
        {blue, white, red, green},  // 4 mirrored top to bottom
        {red, blue, green, white},  // 5 mirrored along the main diagonal
        {blue, red, white, green},  // 6 a quarter clockwise
        {white, green, blue, red},  // 7 mirrored along the other diagonal
        {green, white, red, blue},  // 8 a quarter anticlockwise
    };
    for (uint32_t value = 1; value <= 8; ++value) {
        SCOPED_TRACE("orientation " + std::to_string(value));
        std::string path = dir.path() + "photo" + std::to_string(value) + (value % 3 ? ".jpg" : ".JPEG");
        writeBytes(path, withExif(jpeg, orientationTiff(value, value % 2 == 0)));
        HelperPicture shown = decodeWithHelper(path);
        bool turned = value >= 5;
        EXPECT_EQ(shown.width, turned ? storedHeight : storedWidth);
        EXPECT_EQ(shown.height, turned ? storedWidth : storedHeight);
        expectQuarters(shown, upright[value]);
    }
}

TEST(ExifOrientation, DamagedOrUnknownTagsShowThePictureAsStored) {
    TempDir dir;
    std::string jpeg = quadrantJpeg(dir);
    Tiff t{false};
    std::string turned = orientationTiff(6, false);
    const std::pair<const char*, std::string> cases[] = {
        {"cut inside the tag", turned.substr(0, 8 + 2 + 9)},
        {"only the header", turned.substr(0, 6)},
        {"IFD offset beyond the block", t.header(0x7ffffff0) + turned.substr(8)},
        {"tag value offset beyond the block",
         t.header(8) + t.u16(1) + t.entry(0x0112, shortType, 4, t.u32(0xffffff00)) + t.u32(0)},
        {"tag of the wrong type", t.header(8) + t.u16(1) + t.entry(0x0112, longType, 1, t.u32(6)) + t.u32(0)},
        {"IFD offsets in a loop",
         t.header(8) + t.u16(1) + t.entry(0x8769, longType, 1, t.u32(8)) + t.u32(8)},
        {"unknown value", orientationTiff(9, false)},
        {"value zero", orientationTiff(0, true)},
    };
    int index = 0;
    for (const auto& [name, tiff] : cases) {
        SCOPED_TRACE(name);
        std::string path = dir.path() + "damaged" + std::to_string(index++) + ".jpg";
        writeBytes(path, withExif(jpeg, tiff));
        HelperPicture shown = decodeWithHelper(path);
        EXPECT_EQ(shown.width, storedWidth);
        EXPECT_EQ(shown.height, storedHeight);
        expectQuarters(shown, asStored);
    }
    // Only JPEG names are read for the tag.
    writeBytes(dir.path() + "photo.png", withExif(jpeg, turned));
    expectQuarters(decodeWithHelper(dir.path() + "photo.png"), asStored);
}

// Every pixel lands somewhere once, and the turns undo each other: a shift
// by one row or column, or a lost edge, breaks one of these.
TEST(ExifOrientation, TurnsArePermutationsThatUndoEachOther) {
    const uint32_t width = 5, height = 3;
    std::vector<uint32_t> stored(width * height);
    for (uint32_t i = 0; i < stored.size(); ++i) stored[i] = 0x01000000u * (i + 1);
    auto turn = [](const std::vector<uint32_t>& from, uint32_t w, uint32_t h, int orientation) {
        std::vector<uint32_t> to(from.size(), 0);
        orientPixels(reinterpret_cast<const unsigned char*>(from.data()), w, h, PixelLayout{}, orientation,
                     reinterpret_cast<unsigned char*>(to.data()));
        return to;
    };
    for (int orientation = 1; orientation <= 8; ++orientation) {
        std::vector<uint32_t> once = turn(stored, width, height, orientation);
        std::vector<uint32_t> sorted = once;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, stored) << orientation;
    }
    std::vector<uint32_t> quarter = turn(stored, width, height, 6);
    EXPECT_EQ(turn(quarter, height, width, 8), stored);
    EXPECT_EQ(turn(quarter, height, width, 6), turn(stored, width, height, 3));
    for (int mirror : {2, 3, 4}) EXPECT_EQ(turn(turn(stored, width, height, mirror), width, height, mirror), stored);
    for (int mirror : {5, 7}) EXPECT_EQ(turn(turn(stored, width, height, mirror), height, width, mirror), stored);
}

// The viewer's entry: the upright size in the fields and the info text, the
// tag read again by R, and a turned neighbour decoded ahead used as it is.
TEST(ExifOrientation, EntriesShowTheUprightSizeAndReadTheTagAfresh) {
    SKIP_WITHOUT_DISPLAY();
    GLTestContext gl;
    TempDir dir;
    std::string jpeg = quadrantJpeg(dir);
    std::string photo = dir.path() + "bb.jpg";
    writeBytes(dir.path() + "aa.jpg", jpeg);
    writeBytes(photo, withExif(jpeg, orientationTiff(6, false)));

    fileList = new FileList(dir.path());
    ASSERT_EQ(fileList->items.count, 2u);
    uint32_t turned = fileList->items[0]->path == photo ? 0 : 1;
    fileList->moveTo(1 - turned);
    settleDecoding();  // the first entry shown, its neighbour decoded ahead
    long helper = decodeHelperId();
    ASSERT_GT(helper, 0);
    kill(pid_t(helper), SIGKILL);
    ASSERT_TRUE(helperGone(helper));
    fileList->moveTo(turned);
    FileInfoImg* entry = dynamic_cast<FileInfoImg*>(getDecoded(*fileList, turned));
    ASSERT_TRUE(entry && entry->path == photo);
    EXPECT_EQ(decodeHelperId(), 0) << "the neighbour decoded ahead was decoded again";
    EXPECT_EQ(entry->width, storedHeight);
    EXPECT_EQ(entry->height, storedWidth);
    EXPECT_EQ(GLTestContext::textureSize(entry->texture), (std::array<int, 2>{int(storedHeight), int(storedWidth)}));
    std::string info = entry->infoText();
    EXPECT_NE(info.find("\nwidth:\t32px\nheight:\t64px\nradio:\t0.50"), std::string::npos) << info;

    // An editor turned the pixels itself and reset the tag.
    writeBytes(photo, withExif(jpeg, orientationTiff(1, false)));
    reloadDecoded(entry);
    EXPECT_EQ(entry->width, storedWidth);
    EXPECT_EQ(entry->height, storedHeight);
    delete fileList;
    fileList = nullptr;
    endDecoding();
}
