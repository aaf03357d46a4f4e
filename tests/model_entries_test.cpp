// File entries without decoding: the factory's rules on real directories,
// open/reload/edit bookkeeping, and the info text.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "model/file_info.h"
#include "model/file_info_factory.h"
#include "support/raised.h"
#include "support/temp_dir.h"
#include "support/test_images.h"

namespace {

enum class Kind { None, Image, Dir };

Kind kindOf(const std::string& fullPath) {
    std::unique_ptr<FileInfo> entry(FileInfoFactory::instance()->create(fullPath));
    if (!entry) return Kind::None;
    if (dynamic_cast<FileInfoImg*>(entry.get())) return Kind::Image;
    return dynamic_cast<FileInfoDir*>(entry.get()) ? Kind::Dir : Kind::None;
}

// Counts the hooks that reload() and open() call.
class SpyEntry : public FileInfoDir {
public:
    using FileInfoDir::FileInfoDir;
    int loads = 0, unloads = 0;
    bool load() override {
        ++loads;
        return true;
    }
    void unload() override { ++unloads; }
};

}  // namespace

TEST(FactoryCreate, ClassifiesByNameLengthDotAndExtension) {
    TempDir dir;
    dir.writeFile("a.png");
    dir.writeFile("a.jp");
    dir.writeFile(".hidden.png");
    dir.writeFile("Photo.JPG");
    dir.writeFile("photo.Jpeg");
    dir.writeFile("photo.jpeg.bak");
    dir.writeFile("notes.txt");
    dir.makeDir("docs");
    dir.makeDir("fotos");
    dir.makeDir(".config");
    dir.writeFile(".config/inner.png");
    dir.writeFile("docs/inner.png");

    EXPECT_EQ(kindOf(dir.path() + "a.png"), Kind::Image);
    EXPECT_EQ(kindOf(dir.path() + "a.jp"), Kind::None);
    EXPECT_EQ(kindOf(dir.path() + ".hidden.png"), Kind::None);
    EXPECT_EQ(kindOf(dir.path() + "Photo.JPG"), Kind::Image);
    EXPECT_EQ(kindOf(dir.path() + "photo.Jpeg"), Kind::Image);
    EXPECT_EQ(kindOf(dir.path() + "photo.jpeg.bak"), Kind::None);
    EXPECT_EQ(kindOf(dir.path() + "notes.txt"), Kind::None);
    EXPECT_EQ(kindOf(dir.path() + "docs"), Kind::None);
    EXPECT_EQ(kindOf(dir.path() + "fotos"), Kind::Dir);
    EXPECT_EQ(kindOf(dir.path() + ".config"), Kind::None);
    EXPECT_EQ(kindOf(dir.path() + "..."), Kind::None);
}

TEST(FactoryCreate, AcceptsEveryImageExtensionAndBackslashNames) {
    TempDir dir;
    for (const char* ext : {"bmp", "jpg", "jpe", "jpeg", "jp2", "png", "gif", "tga", "psd", "psp", "raw", "cut",
                            "dcx", "dcm", "dds", "exr"}) {
        std::string name = std::string("image.") + ext;
        dir.writeFile(name);
        EXPECT_EQ(kindOf(dir.path() + name), Kind::Image) << name;
    }
    // The name is what follows the last separator of either kind.
    EXPECT_EQ(kindOf(dir.path() + "sub\\ab.p"), Kind::None);
    EXPECT_THROW(FileInfoFactory::instance()->create(dir.path() + "x\\a.png"), std::string);
}

TEST(FactoryCreate, PathWithoutSeparatorIsTheName) {
    TempDir dir;
    dir.writeFile("shot.png");
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    Kind shot = kindOf("shot.png");
    Kind shortName = kindOf("a.pn");
    std::string missing = raised([] { delete FileInfoFactory::instance()->create("gone.png"); });
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_EQ(shot, Kind::Image);
    EXPECT_EQ(shortName, Kind::None);
    EXPECT_EQ(missing, "can not read file");
}

TEST(FactoryCreate, UnreadableImageRaises) {
    TempDir dir;
    ASSERT_EQ(symlink((dir.path() + "nowhere").c_str(), (dir.path() + "broken.png").c_str()), 0);
    EXPECT_EQ(raised([&] { delete FileInfoFactory::instance()->create(dir.path() + "broken.png"); }),
              "can not read file");
    EXPECT_EQ(FileInfoFactory::instance(), FileInfoFactory::instance());
}

TEST(FileInfoOpen, DeletedFileRaisesAlsoWhenLoaded) {
    TempDir dir;
    std::string path = dir.writeFile("gone.png");
    FileInfoImg entry(path);
    entry.loaded = true;  // as if decoded earlier
    std::remove(path.c_str());
    EXPECT_EQ(raised([&] { entry.open(); }), "can not open file " + path + " for read");
    EXPECT_TRUE(entry.loaded);

    FileInfoImg unloaded(dir.writeFile("also.png"));
    std::remove(unloaded.path.c_str());
    EXPECT_EQ(raised([&] { reload(&unloaded); }), "can not open file " + unloaded.path + " for read");
    EXPECT_FALSE(unloaded.loaded);
}

TEST(FileInfoOpen, LoadsOnceAndReloadUnloadsOnlyLoadedEntries) {
    TempDir dir;
    SpyEntry entry(dir.makeDir("fotos"));
    reload(&entry);  // not loaded: no unload, one load
    EXPECT_EQ(entry.unloads, 0);
    EXPECT_EQ(entry.loads, 1);
    EXPECT_TRUE(entry.loaded);
    entry.open();  // already loaded: readability test only
    EXPECT_EQ(entry.loads, 1);
    reload(&entry);
    EXPECT_EQ(entry.unloads, 1);
    EXPECT_EQ(entry.loads, 2);
}

TEST(FileInfoEdit, DirectoryRunsNothing) {
    TempDir dir;
    std::string record = dir.path() + "ran";
    dir.writeFile("bin/mspaint", "#!/bin/sh\ntouch '" + record + "'\n");
    ASSERT_EQ(chmod((dir.path() + "bin/mspaint").c_str(), 0755), 0);
    std::string oldPath = std::getenv("PATH");
    setenv("PATH", (dir.path() + "bin:" + oldPath).c_str(), 1);
    FileInfoDir entry(dir.makeDir("fotos"));
    entry.runEditCommand();
    setenv("PATH", oldPath.c_str(), 1);
    EXPECT_EQ(access(record.c_str(), F_OK), -1);
    EXPECT_EQ(entry.editCommand(), "");
}

TEST(FileInfoEdit, CommandIsPaintProgramAndPathUnquoted) {
    TempDir dir;
    FileInfoImg entry(dir.writeFile("my pic.png"));
    EXPECT_EQ(entry.editCommand(), "mspaint " + dir.path() + "my pic.png");
}

TEST(FileInfoText, BaseLinesThenSizeLinesWhenLoaded) {
    TempDir dir;
    std::string path = dir.writeFile("wide.png");
    std::string base = "filename:\t" + path + "\npath:\t" + dir.path();
    FileInfoImg image(path);
    EXPECT_EQ(image.infoText(), base);
    FileInfoDir folder(dir.makeDir("fotos"));
    EXPECT_EQ(folder.infoText(), "filename:\t" + folder.path + "\npath:\t" + folder.path);

    image.loaded = true;
    image.width = 1024;
    image.height = 768;
    EXPECT_EQ(image.infoText(), base + "\nwidth:\t1024px\nheight:\t768px\nradio:\t1.33");
    image.width = 1920;
    image.height = 1080;
    EXPECT_EQ(image.infoText(), base + "\nwidth:\t1920px\nheight:\t1080px\nradio:\t1.78");
    image.width = 480;
    image.height = 640;
    EXPECT_EQ(image.infoText(), base + "\nwidth:\t480px\nheight:\t640px\nradio:\t0.75");
    // A failed decode is loaded with the size 0 x 0: never nan or inf.
    image.width = 0;
    image.height = 0;
    EXPECT_EQ(image.infoText(), base + "\nwidth:\t0px\nheight:\t0px\nradio:\t0.00");
}
