// Real decodes through DevIL into a real GL context: every image extension,
// failed decodes that must never show another image, huge images, the edit
// round trip through a stand-in paint program, and texture release.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include <malloc.h>

#include "app/start_listing.h"
#include "app/window_proc.h"
#include "model/decode_ahead.h"
#include "model/file_info.h"
#include "model/file_list.h"
#include "render/entry_draw.h"
#include "render/gl.h"
#include "support/gl_test_context.h"
#include "support/temp_dir.h"
#include "support/test_images.h"
#include "support/decode_waits.h"

namespace {

const Rgb red = {220, 30, 20};
const Rgb blue = {20, 40, 210};

class ModelDecode : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_DISPLAY();
        gl = std::make_unique<GLTestContext>();
    }

    // A loaded entry for the file; the previous image decoded is a 64 x 64
    // blue PNG, so a stale size or picture cannot pass for this one.
    std::unique_ptr<FileInfoImg> load(const std::string& path) {
        std::string decoy = dir.path() + "decoy-image.png";
        writeTestImage(decoy, "png", 64, 64, blue);
        FileInfoImg previous(decoy);
        openDecoded(previous);
        EXPECT_EQ(previous.width, 64u);
        auto entry = std::make_unique<FileInfoImg>(path);
        openDecoded(*entry);
        EXPECT_TRUE(entry->loaded);
        return entry;
    }

    static void expectFailedDecode(FileInfoImg& entry) {
        EXPECT_TRUE(entry.loaded) << entry.path;
        EXPECT_EQ(entry.texture, 0u) << entry.path;
        EXPECT_EQ(entry.width, 0u) << entry.path;
        EXPECT_EQ(entry.height, 0u) << entry.path;
        std::string text = entry.infoText();
        EXPECT_EQ(text.substr(text.find("\nwidth")), "\nwidth:\t0px\nheight:\t0px\nradio:\t0.00");
        drawEntry(entry, 1024, 768);  // draws nothing, must not touch texture 0 or divide by 0
    }

    static void expectShows(FileInfoImg& entry, uint32_t width, uint32_t height, Rgb colour, int tolerance) {
        EXPECT_EQ(entry.width, width) << entry.path;
        EXPECT_EQ(entry.height, height) << entry.path;
        ASSERT_NE(entry.texture, 0u) << entry.path;
        std::array<int, 3> centre = GLTestContext::textureCentre(entry.texture);
        EXPECT_NEAR(centre[0], colour.r, tolerance) << entry.path;
        EXPECT_NEAR(centre[1], colour.g, tolerance) << entry.path;
        EXPECT_NEAR(centre[2], colour.b, tolerance) << entry.path;
    }

    TempDir dir;
    std::unique_ptr<GLTestContext> gl;
};

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

uint64_t liveHeapBytes() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

}  // namespace

// Every extension through DevIL or our own decoders: raw, cut (without a
// palette: index 1 shows as grey level 1) and dcx decode too; jp2, psp and
// exr are signature-only files here and fail (the decoders' own tests read
// real ones). Everything else, our own gif and dcm included, decodes to the
// right size and colour.
TEST_F(ModelDecode, EveryImageExtension) {
    struct Case {
        const char* extension;
        const char* writer;
        bool decodes;
        int tolerance;
    };
    const Case cases[] = {
        {"bmp", "bmp", true, 0},  {"jpg", "jpg", true, 12},   {"jpe", "jpg", true, 12},  {"jpeg", "jpg", true, 12},
        {"jp2", "jp2", false, 0}, {"png", "png", true, 0},    {"gif", "gif", true, 0},   {"tga", "tga", true, 0},
        {"psd", "psd", true, 0},  {"psp", "psp", false, 0},   {"raw", "raw", true, 0},   {"cut", "cut", true, 0},
        {"dcx", "dcx", true, 0},  {"dcm", "dcm", true, 0},   {"dds", "dds", true, 8},   {"exr", "exr", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extension);
        std::string path = dir.path() + "image." + c.extension;
        writeTestImage(path, c.writer, 24, 16, red);
        std::unique_ptr<FileInfoImg> entry = load(path);
        // The DICOM writer stores the red channel as grey.
        Rgb shown = std::string(c.writer) == "dcm" ? Rgb{red.r, red.r, red.r} : red;
        if (std::string(c.writer) == "cut") shown = Rgb{1, 1, 1};
        if (c.decodes) {
            expectShows(*entry, 24, 16, shown, c.tolerance);
        } else {
            expectFailedDecode(*entry);
        }
    }
}

TEST_F(ModelDecode, ContentTypeWinsWhenExtensionDecoderFails) {
    std::string path = dir.path() + "really-a-png.jpg";
    writeTestImage(path, "png", 30, 20, red);
    expectShows(*load(path), 30, 20, red, 0);
}

TEST_F(ModelDecode, BrokenFilesAreDetectedFailures) {
    std::string bmp = dir.path() + "good.bmp";
    writeTestImage(bmp, "bmp", 40, 30, red);
    std::string bytes = readBytes(bmp);
    const std::map<std::string, std::string> broken = {
        {"empty.png", ""},
        {"garbage.bmp", std::string(300, '\x5a')},
        {"text-only.jpg", "this is not a picture at all"},
        {"truncated.bmp", bytes.substr(0, bytes.size() / 2)},
    };
    for (const auto& [name, content] : broken) {
        SCOPED_TRACE(name);
        writeBytes(dir.path() + name, content);
        expectFailedDecode(*load(dir.path() + name));
    }
}

TEST_F(ModelDecode, TruncatedTgaIsDetected) {
    std::string path = dir.path() + "truncated.tga";
    writeTestImage(path, "tga", 40, 30, red);
    std::string bytes = readBytes(path);
    writeBytes(path, bytes.substr(0, 18 + 40 * 10 * 3));
    expectFailedDecode(*load(path));
}

// A header that claims 40000 x 40000 pixels in a file of a few bytes: the
// bounded allocator refuses the block and the decode fails cleanly.
TEST_F(ModelDecode, HugeClaimedSizeIsRefused) {
    std::string header = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int bits : {32, 24}) {
        SCOPED_TRACE(bits);
        std::string tga = header;
        tga += {char(0x40), char(0x9c), char(0x40), char(0x9c), char(bits), char(0x08)};
        tga += std::string(1000, '\x7f');
        writeBytes(dir.path() + "huge.tga", tga);
        expectFailedDecode(*load(dir.path() + "huge.tga"));
    }
}

// Wider than the context allows: the texture is shrunk, the entry keeps the
// file's size.
TEST_F(ModelDecode, WiderThanMaxTextureSizeIsShrunk) {
    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    ASSERT_GT(maxSide, 0);
    std::string path = dir.path() + "panorama.png";
    writeTestImage(path, "png", uint32_t(maxSide) + 1, 2, red);
    std::unique_ptr<FileInfoImg> entry = load(path);
    EXPECT_EQ(entry->width, uint32_t(maxSide) + 1);
    EXPECT_EQ(entry->height, 2u);
    ASSERT_NE(entry->texture, 0u);
    EXPECT_LE(GLTestContext::textureSize(entry->texture)[0], maxSide);
}

// The path reaches the stand-in paint program as one argument, never read by
// a shell; the entry is decoded again when the program ends.
TEST_F(ModelDecode, EditRunsPaintProgramWithPathAsOneArgument) {
    std::string bin = dir.makeDir("bin");
    std::string record = dir.path() + "argument";
    std::string replacement = dir.path() + "replacement.png";
    writeTestImage(replacement, "png", 12, 34, blue);
    dir.writeFile("bin/mspaint",
                  "#!/bin/sh\necho $# > '" + record + ".count'\nprintf %s \"$1\" > '" + record + "'\ncp '" +
                      replacement + "' \"$1\"\n");
    ASSERT_EQ(chmod((bin + "mspaint").c_str(), 0755), 0);
    std::string name = "a b \"q\" 'q' ;x &y |z $(touch pwned1) `touch pwned2` %HOME% .png";
    std::string path = dir.path() + name;
    writeTestImage(path, "png", 50, 40, red);
    FileInfoImg entry(path);
    openDecoded(entry);
    ASSERT_EQ(entry.width, 50u);

    std::string oldPath = std::getenv("PATH");
    setenv("PATH", (bin + ":" + oldPath).c_str(), 1);
    entry.runEditCommand();
    reloadDecoded(&entry);
    setenv("PATH", oldPath.c_str(), 1);
    EXPECT_EQ(readBytes(record), path);
    EXPECT_EQ(readBytes(record + ".count"), "1\n");
    EXPECT_EQ(access((dir.path() + "pwned1").c_str(), F_OK), -1);
    EXPECT_EQ(access("pwned1", F_OK), -1);
    EXPECT_EQ(access("pwned2", F_OK), -1);
    EXPECT_TRUE(entry.loaded);
    expectShows(entry, 12, 34, blue, 0);
}

// E as the window procedure runs it: with no paint program to start, the
// picture shown is still decoded afresh and its new content shown.
TEST_F(ModelDecode, EditWithoutPaintProgramStillReloads) {
    std::string folder = dir.makeDir("edited");
    writeTestImage(folder + "picture.png", "png", 50, 40, red);
    fileList = new FileList(folder);
    auto* entry = dynamic_cast<FileInfoImg*>(getDecoded(*fileList, 0));
    ASSERT_NE(entry, nullptr);
    ASSERT_EQ(entry->width, 50u);
    writeTestImage(entry->path, "png", 20, 10, blue);
    std::string oldPath = std::getenv("PATH");
    setenv("PATH", dir.makeDir("empty-bin").c_str(), 1);
    viewerWindowProc(nullptr, WM_KEYDOWN, 'E', 0);
    setenv("PATH", oldPath.c_str(), 1);
    carryOutReload(fileList);
    expectShows(*entry, 20, 10, blue, 0);
    endDecoding();
    delete fileList;
    fileList = nullptr;
}

// Each reload deletes the texture of the one before, in the context that
// made it: a thousand reloads of a 256 x 256 image hold one texture.
TEST_F(ModelDecode, ThousandReloadsDoNotGrowMemory) {
    std::string path = dir.path() + "square.png";
    writeTestImage(path, "png", 256, 256, red);
    FileInfoImg entry(path);
    for (int i = 0; i < 20; ++i) reloadDecoded(&entry);
    uint64_t before = liveHeapBytes();
    uint32_t previous = entry.texture;
    for (int i = 0; i < 1000; ++i) {
        reloadDecoded(&entry);
        if (entry.texture != previous) {
            EXPECT_FALSE(glIsTexture(previous));
        }
        previous = entry.texture;
    }
    uint64_t after = liveHeapBytes();
    EXPECT_LT(after, before + (16u << 20)) << "a leaked texture costs 256 KiB";
    expectShows(entry, 256, 256, red, 0);
}
