#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "model/array.h"
#include "model/handdir.h"
#include "support/temp_dir.h"

namespace {

// Counts live instances, to see what the array's destructor destroys.
struct Tracked {
    static int alive;
    Tracked() { ++alive; }
    ~Tracked() { --alive; }
    Tracked& operator=(const Tracked&) = default;
};
int Tracked::alive = 0;

std::vector<std::string> allNames(Handdir& reader) {
    std::vector<std::string> names;
    while (reader.cursor < reader.names.count) names.push_back(reader.readdir());
    return names;
}

}  // namespace

TEST(ArrayGrowth, AppendsDoubleTheCapacity) {
    Array<std::string> names;
    EXPECT_EQ(names.capacity, 1u);
    EXPECT_EQ(names.count, 0u);
    EXPECT_EQ(names[0], "");
    std::vector<uint32_t> seen;
    for (int i = 0; i < 5; ++i) {
        uint32_t n = names.count;
        names[n] = "name" + std::to_string(i);
        names.count = n + 1;
        seen.push_back(names.capacity);
    }
    EXPECT_EQ(seen, (std::vector<uint32_t>{1, 2, 4, 4, 8}));
    EXPECT_EQ(names.count, 5u);
    for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(names[i], "name" + std::to_string(i));
}

TEST(ArrayGrowth, FarIndexJumpsToFinalSizeAndKeepsSlots) {
    Array<std::string> names;
    names[0] = "first";
    names[100] = "far";
    EXPECT_EQ(names.capacity, 128u);
    EXPECT_EQ(names.count, 0u);
    EXPECT_EQ(names[0], "first");
    for (uint32_t i = 1; i < 128; ++i) {
        if (i != 100) {
            EXPECT_EQ(names[i], "") << i;
        }
    }
    std::string* block = names.items;
    names[127] = "inside";  // below capacity: no reallocation
    EXPECT_EQ(names.items, block);
    EXPECT_EQ(names.count, 0u);
}

TEST(ArrayGrowth, OutOfRangeIndexRaisesAndKeepsTheBlock) {
    Array<std::string> names;
    names[3] = "kept";
    std::string* block = names.items;
    for (uint32_t index : {uint32_t(1) << 31, uint32_t(0xFFFFFFFF), uint32_t(1) << 28}) {
        EXPECT_THROW(names[index], std::bad_alloc) << index;
        EXPECT_EQ(names.items, block);
        EXPECT_EQ(names.capacity, 4u);
        EXPECT_EQ(names[3], "kept");
    }
    Array<int*> pointers;
    EXPECT_THROW(pointers[uint32_t(1) << 29], std::bad_alloc);  // 4 GiB block
    EXPECT_EQ(pointers.capacity, 1u);
}

TEST(ArrayLifetime, DestroysEveryStringSlotButNotPointees) {
    {
        Array<Tracked> slots;
        slots[5];
        EXPECT_EQ(Tracked::alive, 8);  // all capacity slots, none counted as used
    }
    EXPECT_EQ(Tracked::alive, 0);

    Tracked* outside = new Tracked;
    {
        Array<Tracked*> pointers;
        pointers[0] = outside;
        pointers.count = 1;
    }
    EXPECT_EQ(Tracked::alive, 1);
    delete outside;
}

TEST(HanddirListing, SeparatorsAllGiveTheSameNames) {
    TempDir dir;
    dir.writeFile("pics/a.png");
    dir.writeFile("pics/b.jpg");
    dir.makeDir("pics/sub");
    std::string base = dir.path() + "pics";
    std::string backslashed = base;
    std::replace(backslashed.begin(), backslashed.end(), '/', '\\');

    std::set<std::string> expected{".", "..", "a.png", "b.jpg", "sub"};
    for (const std::string& path : {base, base + "/", backslashed, backslashed + "\\", dir.path() + "pics\\"}) {
        Handdir reader(path);
        std::vector<std::string> names = allNames(reader);
        EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), expected) << path;
        EXPECT_EQ(names.size(), 5u);
    }
    Handdir plain(base);
    EXPECT_EQ(plain.pattern, backslashed + "\\*");
    Handdir mixed(dir.path() + "pics\\sub");
    EXPECT_EQ(mixed.pattern.substr(mixed.pattern.size() - 6), "\\sub\\*");
    EXPECT_EQ(mixed.pattern.find('/'), std::string::npos);
}

TEST(HanddirListing, FiveNamesAndReaddirAfterTheEnd) {
    TempDir dir;
    dir.writeFile("one.png");
    dir.writeFile("two.png");
    dir.writeFile("three.png");
    Handdir reader(dir.path());  // ".", "..", and three files
    EXPECT_EQ(reader.names.count, 5u);
    EXPECT_EQ(reader.names.capacity, 8u);
    EXPECT_EQ(reader.cursor, 0u);
    allNames(reader);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(reader.readdir(), "");
        EXPECT_EQ(reader.cursor, 5u);
    }
}

TEST(HanddirListing, RefusedPathsRaiseFindFirstFile) {
    TempDir dir;
    std::string file = dir.writeFile("file.png");
    for (const std::string& path : {file, dir.path() + "missing", std::string()}) {
        try {
            Handdir reader(path);
            ADD_FAILURE() << "listed " << path;
        } catch (const std::string& error) {
            EXPECT_EQ(error, "Handdir::opendir -> FindFirstFile") << path;
        }
        EXPECT_FALSE(isReadableDir(path)) << path;
    }
    EXPECT_TRUE(isReadableDir(dir.path()));
    EXPECT_TRUE(isReadableDir(dir.path() + "."));
}
