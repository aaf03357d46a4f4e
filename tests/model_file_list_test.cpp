// The file list on real directories: order, growth, selection, lazy loading
// and the skipping of unreadable images.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "model/file_info.h"
#include "model/file_info_factory.h"
#include "model/file_list.h"
#include "model/handdir.h"
#include "render/gl.h"
#include "support/gl_test_context.h"
#include "support/raised.h"
#include "support/temp_dir.h"
#include "support/test_images.h"
#include "support/decode_waits.h"

namespace {

std::vector<std::string> pathsOf(FileList& list) {
    std::vector<std::string> paths;
    for (uint32_t i = 0; i < list.items.count; ++i) paths.push_back(list.items[i]->path);
    return paths;
}

// Installs a list as the global one for the duration of a test.
struct Listed {
    explicit Listed(const std::string& dir) : list(new FileList(dir)) {}
    std::unique_ptr<FileList> list;
};

}  // namespace

TEST(FileListRefresh, KeepsReaderOrderAndSkipsNonEntries) {
    TempDir dir;
    std::set<std::string> entries = {"b.png", "zz.jpg", "fotos", "Alpha.TGA", "m.bmp"};
    for (const char* name : {"b.png", "zz.jpg", "Alpha.TGA", "m.bmp", "notes.txt", "a.jp", ".hidden.png"})
        dir.writeFile(name);
    dir.makeDir("fotos");
    dir.makeDir("docs");

    FileList list(dir.path());
    std::vector<std::string> expected;
    Handdir reader(dir.path());
    while (reader.cursor < reader.names.count) {
        std::string name = reader.readdir();
        if (entries.count(name)) expected.push_back(dir.path() + name);
    }
    EXPECT_EQ(pathsOf(list), expected);
    EXPECT_EQ(list.items.count, 5u);
    EXPECT_EQ(list.items.capacity, 8u);
    EXPECT_EQ(list.current(), 0u);
    EXPECT_EQ(list.dir, dir.path());
}

TEST(FileListRefresh, CapacityDoublesWithCount) {
    for (auto [count, capacity] : {std::pair{1u, 1u}, {2u, 2u}, {3u, 4u}, {5u, 8u}, {9u, 16u}}) {
        TempDir dir;
        for (uint32_t i = 0; i < count; ++i) dir.writeFile("img" + std::to_string(i) + ".png");
        FileList list(dir.path());
        EXPECT_EQ(list.items.count, count);
        EXPECT_EQ(list.items.capacity, capacity) << count << " entries";
    }
}

TEST(FileListRefresh, UnreadableImageIsSkippedNotFatal) {
    TempDir dir;
    dir.writeFile("good1.png");
    ASSERT_EQ(symlink((dir.path() + "nowhere").c_str(), (dir.path() + "broken.png").c_str()), 0);
    dir.writeFile("good2.png");
    FileList list(dir.path());
    std::vector<std::string> paths = pathsOf(list);
    EXPECT_EQ(std::set<std::string>(paths.begin(), paths.end()),
              (std::set<std::string>{dir.path() + "good1.png", dir.path() + "good2.png"}));
}

// A FIFO or a device given a picture's name is no picture: the list skips
// it at once instead of waiting for a writer.
TEST(FileListRefresh, FifoWithAPictureNameIsSkippedWithoutWaiting) {
    TempDir dir;
    dir.writeFile("good.png");
    ASSERT_EQ(mkfifo((dir.path() + "pipe.jpg").c_str(), 0644), 0);
    ASSERT_EQ(symlink("/dev/zero", (dir.path() + "zeros.png").c_str()), 0);
    FileList list(dir.path());
    EXPECT_EQ(pathsOf(list), std::vector<std::string>{dir.path() + "good.png"});
}

// The picture decoded while the window opens is the one the list shows
// first, or none when the list starts on a folder or holds nothing.
TEST(FileListRefresh, FirstImageInAgreesWithTheListsFirstEntry) {
    const std::vector<std::vector<std::string>> folders = {
        {"a.png", "b.jpg", "sub/", "c.bmp"}, {"sub1/", "sub2/", "x.png"}, {"broken.png", "ok.png", "p.tga"},
        {"notes.txt", "empty/", "a.jp"},     {}};
    for (size_t round = 0; round < 4; ++round) {
        for (const std::vector<std::string>& names : folders) {
            TempDir dir;
            for (const std::string& name : names) {
                std::string file = std::to_string(round) + name;  // another readdir order each round
                if (name.back() == '/') {
                    dir.makeDir(file);
                    if (name != "empty/") dir.writeFile(file + "inside.png");
                } else if (name == "broken.png") {
                    ASSERT_EQ(symlink((dir.path() + "nowhere").c_str(), (dir.path() + file).c_str()), 0);
                } else {
                    dir.writeFile(file);
                }
            }
            FileList list(dir.path());
            std::string expected;
            if (list.items.count > 0 && dynamic_cast<FileInfoImg*>(list.items[0])) expected = list.items[0]->path;
            EXPECT_EQ(firstImageIn(dir.path()), expected) << "folder " << names.size() << " round " << round;
        }
    }
    EXPECT_EQ(firstImageIn("/nonexistent/folder/"), "");
}

TEST(FileListRefresh, MissingDirectoryRaisesReaderError) {
    TempDir dir;
    EXPECT_EQ(raised([&] { FileList list(dir.path() + "missing/"); }), "Handdir::opendir -> FindFirstFile");
}

TEST(FileListRefresh, KeepsCurrentEvenBeyondCount) {
    TempDir dir;
    dir.writeFile("one.png");
    dir.writeFile("two.png");
    FileList list(dir.path());
    list.moveTo(5);
    list.refresh();
    EXPECT_EQ(list.current(), 5u);
    EXPECT_EQ(list.items.count, 2u);
    EXPECT_EQ(list.get(list.current()), nullptr);
}

TEST(FileListGet, EmptyListAndIndexBeyondCountAnswerNone) {
    TempDir dir;
    dir.writeFile("notes.txt");
    dir.makeDir("docs");
    Listed listed(dir.path());
    EXPECT_EQ(listed.list->items.count, 0u);
    EXPECT_EQ(listed.list->get(0), nullptr);
    EXPECT_EQ(listed.list->currentEntry(), nullptr);
    listed.list->unloadAll();  // nothing to do, nothing breaks
}

TEST(FileListGet, DirectoryEntryOpensWithoutGL) {
    TempDir dir;
    dir.makeDir("fotos");
    dir.writeFile("fotos/inner.png");
    Listed listed(dir.path());
    FileInfo* entry = listed.list->currentEntry();
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->path, dir.path() + "fotos");
    EXPECT_TRUE(entry->loaded);
}

TEST(FileListGet, VanishedEntryRaisesAndStaysUnloaded) {
    TempDir dir;
    std::string path = dir.writeFile("gone.png");
    FileList list(dir.path());
    std::remove(path.c_str());
    EXPECT_EQ(raised([&] { list.get(0); }), "can not open file " + path + " for read");
    EXPECT_EQ(list.items.count, 1u);
    EXPECT_FALSE(list.items[0]->loaded);
}

TEST(FileListSelect, ExactByteMatchOnly) {
    TempDir dir;
    dir.writeFile("a.png");
    dir.writeFile("bb.png");
    dir.writeFile("cc.png");
    Listed listed(dir.path());
    uint32_t last = listed.list->items.count - 1;
    std::string target = listed.list->items[last]->path;
    listed.list->select(target);
    EXPECT_EQ(listed.list->current(), last);

    listed.list->moveTo(0);
    std::string upper = target;
    upper[upper.size() - 5] = char(toupper(upper[upper.size() - 5]));
    listed.list->select(upper);
    std::string backslashed = target;
    backslashed[dir.path().size() - 1] = '\\';
    listed.list->select(backslashed);
    listed.list->select(dir.path() + "abcd");
    EXPECT_EQ(listed.list->current(), 0u);
}

// Lazy loading with real decodes in real GL contexts.
class FileListLoading : public ::testing::Test {
protected:
    void SetUp() override { SKIP_WITHOUT_DISPLAY(); }
};

TEST_F(FileListLoading, GetTwiceDecodesOnce) {
    GLTestContext gl;
    TempDir dir;
    std::string path = dir.path() + "photo.png";
    writeTestImage(path, "png", 40, 30, {200, 20, 20});
    FileList list(dir.path());
    FileInfoImg* image = dynamic_cast<FileInfoImg*>(getDecoded(list, 0));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 40u);
    uint32_t texture = image->texture;
    writeTestImage(path, "png", 10, 10, {0, 0, 200});  // not seen until reloaded
    EXPECT_EQ(getDecoded(list, 0), image);
    EXPECT_EQ(image->width, 40u);
    EXPECT_EQ(image->texture, texture);
    reloadDecoded(image);
    EXPECT_EQ(image->width, 10u);
}

// An entry loaded ahead is shown as loaded while its file stays the same;
// replaced meanwhile, it is loaded afresh when shown. A file that no longer
// opens is left unloaded, for its own get to report.
TEST_F(FileListLoading, LoadedAheadIsUsedOnlyWhileItsFileIsUnchanged) {
    GLTestContext gl;
    TempDir dir;
    for (const char* name : {"a.png", "b.png"}) writeTestImage(dir.path() + name, "png", 40, 30, {200, 20, 20});
    FileList list(dir.path());
    for (uint32_t i : {0u, 1u}) {
        decodeAhead(list.items[i]->path);
        ASSERT_TRUE(list.loadAhead(i));
    }
    auto* first = dynamic_cast<FileInfoImg*>(list.items[0]);
    auto* second = dynamic_cast<FileInfoImg*>(list.items[1]);
    ASSERT_TRUE(first->loaded && second->loaded);
    uint32_t texture = first->texture;
    EXPECT_EQ(getDecoded(list, 0), first);
    EXPECT_EQ(first->texture, texture) << "unchanged: not loaded again";

    writeTestImage(second->path, "png", 10, 10, {0, 0, 200});  // a new size
    EXPECT_EQ(getDecoded(list, 1), second);
    EXPECT_EQ(second->width, 10u) << "replaced after it was loaded ahead";

    list.items[0]->unload();
    list.items[0]->loaded = false;
    ASSERT_EQ(unlink(first->path.c_str()), 0);
    EXPECT_FALSE(list.loadAhead(0));
    EXPECT_FALSE(list.items[0]->loaded);
}

TEST_F(FileListLoading, UnloadAllThenGetLoadsInNewContextAndSparesItsTextures) {
    TempDir dir;
    writeTestImage(dir.path() + "first.png", "png", 16, 8, {10, 200, 10});
    writeTestImage(dir.path() + "second.png", "png", 8, 16, {10, 10, 200});
    Listed listed(dir.path());
    auto first = std::make_unique<GLTestContext>();
    FileInfoImg* image = dynamic_cast<FileInfoImg*>(getDecoded(*listed.list, listed.list->current()));
    ASSERT_NE(image, nullptr);
    ASSERT_NE(image->texture, 0u);
    uint32_t other = listed.list->current() == 0 ? 1 : 0;
    EXPECT_FALSE(listed.list->items[other]->loaded);

    // A second context: its own texture may carry the same name as the first
    // context's; unloadAll must not delete it.
    GLTestContext second;
    GLuint own = 0;
    glGenTextures(1, &own);
    glBindTexture(GL_TEXTURE_2D, own);
    first.reset();
    listed.list->unloadAll();
    EXPECT_FALSE(image->loaded);
    EXPECT_FALSE(listed.list->items[other]->loaded);
    EXPECT_TRUE(glIsTexture(own));

    ASSERT_EQ(getDecoded(*listed.list, listed.list->current()), image);
    EXPECT_TRUE(image->loaded);
    EXPECT_NE(image->texture, 0u);
    EXPECT_TRUE(glIsTexture(image->texture));
    EXPECT_FALSE(listed.list->items[other]->loaded);
    glDeleteTextures(1, &own);
}
