#include <gtest/gtest.h>

#include "util/window_fit.h"

namespace {

void expectSize(PixelSize size, int width, int height) {
    EXPECT_EQ(size.width, width);
    EXPECT_EQ(size.height, height);
}

}  // namespace

TEST(WindowFit, ScalesTo96DpiLengthsAndShrinksToTheRoomKeepingTheShape) {
    EXPECT_EQ(scaledToDpi(1024, 96), 1024);
    EXPECT_EQ(scaledToDpi(768, 144), 1152);
    EXPECT_EQ(scaledToDpi(1024, 120), 1280);
    EXPECT_EQ(scaledToDpi(768, 168), 1344);

    // A window that fits keeps its client area, also when it fits exactly.
    expectSize(fitClientArea({1536, 1152}, {16, 39}, {2048, 1496}), 1536, 1152);
    expectSize(fitClientArea({1024, 768}, {16, 39}, {1040, 807}), 1024, 768);
    // 1366 x 768 laptop, 40-pixel taskbar: the height limits, 4:3 is kept.
    expectSize(fitClientArea({1024, 768}, {16, 39}, {1366, 728}), 918, 689);
    // 1920 x 1080 at 150 %: 1536 x 1152 does not fit.
    expectSize(fitClientArea({1536, 1152}, {22, 54}, {1920, 1032}), 1304, 978);
    // A narrow work area: the width limits.
    expectSize(fitClientArea({1024, 768}, {16, 39}, {816, 1200}), 800, 600);
    // No room at all still leaves a window.
    expectSize(fitClientArea({1024, 768}, {16, 39}, {10, 10}), 1, 1);
}
