// The texture budget: which loaded images go first, and that the list really
// unloads them (texture deleted) and loads them again on the next get.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/file_list.h"
#include "model/texture_budget.h"
#include "render/gl.h"
#include "support/gl_test_context.h"
#include "support/temp_dir.h"
#include "support/test_images.h"
#include "support/decode_waits.h"

TEST(TextureBudgetPolicy, UnloadsOldestShownFirstUntilTheRestFitsAndNeverTheKeptOne) {
    // Shown in the order 2, 0, 3, 1; 4 is the entry being shown now.
    std::vector<LoadedTexture> loaded = {{0, 100, 2}, {1, 100, 4}, {2, 100, 1}, {3, 100, 3}, {4, 100, 5}};
    EXPECT_EQ(chooseUnloads(loaded, 500, 4), std::vector<uint32_t>{});
    EXPECT_EQ(chooseUnloads(loaded, 300, 4), (std::vector<uint32_t>{2, 0}));
    // The kept entry may be the oldest (an entry loaded by another path and
    // never recorded as shown); it is skipped, not counted as freed.
    EXPECT_EQ(chooseUnloads(loaded, 250, 2), (std::vector<uint32_t>{0, 3, 1}));
    // Alone above the budget, the kept entry stays and all others go.
    std::vector<LoadedTexture> huge = {{0, 10, 1}, {1, 1000, 2}, {2, 10, 3}};
    EXPECT_EQ(chooseUnloads(huge, 500, 1), (std::vector<uint32_t>{0, 2}));
}

class TextureBudgetInList : public ::testing::Test {
protected:
    void SetUp() override { SKIP_WITHOUT_DISPLAY(); }
};

TEST_F(TextureBudgetInList, StepsUnloadTheLeastRecentlyShownAndGetLoadsItAgain) {
    GLTestContext gl;
    TempDir dir;
    for (const char* name : {"one.png", "two.png", "six.png"}) writeTestImage(dir.path() + name, "png", 50, 50, {9, 9, 9});
    FileList list(dir.path());
    ASSERT_EQ(list.items.count, 3u);
    list.textures.budget = 2 * 50 * 50 * 4;  // room for two

    auto image = [&](uint32_t i) { return dynamic_cast<FileInfoImg*>(list.items[i]); };
    getDecoded(list, 0);
    getDecoded(list, 1);
    getDecoded(list, 0);  // 1 is now the least recently shown
    uint32_t texture1 = image(1)->texture;
    ASSERT_TRUE(glIsTexture(texture1));

    getDecoded(list, 2);
    EXPECT_TRUE(image(0)->loaded);
    EXPECT_FALSE(image(1)->loaded);
    EXPECT_FALSE(glIsTexture(texture1));
    EXPECT_TRUE(image(2)->loaded);

    ASSERT_EQ(getDecoded(list, 1), image(1));
    EXPECT_TRUE(image(1)->loaded);
    EXPECT_NE(image(1)->texture, 0u);
    EXPECT_EQ(image(1)->width, 50u);
    EXPECT_FALSE(image(0)->loaded);
}
