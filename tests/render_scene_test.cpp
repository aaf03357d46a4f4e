// Frames drawn into the real viewer window and read back from its back
// buffer: the fitted image quad, its orientation, the directory marker, a
// narrow client, the frames that show nothing, and a zone plate shrunk
// without aliasing.
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/window_proc.h"
#include "model/decode_ahead.h"
#include "model/file_info.h"
#include "model/file_list.h"
#include "platform/testing.h"
#include "render/gl.h"
#include "render/gl_window.h"
#include "render/scene.h"
#include "support/gl_test_context.h"
#include "support/render_support.h"
#include "support/temp_dir.h"
#include "support/test_images.h"
#include "support/decode_waits.h"

using namespace render_test;

namespace {

const int clientWidth = 1024;
const int clientHeight = 768;
// One scene unit in pixels at a client height of 768: the visible
// half-height at distance 2.5 under a 45-degree field of view.
const double unit = (clientHeight / 2.0) / (2.5 * std::tan(22.5 * M_PI / 180.0));
const double tolerancePx = 2.0;

struct Box {
    bool any = false;
    int minX = 0, maxX = 0, minY = 0, maxY = 0;
    double width() const { return maxX - minX + 1; }
    double height() const { return maxY - minY + 1; }
    double centreX() const { return (minX + maxX + 1) / 2.0; }
    double centreY() const { return (minY + maxY + 1) / 2.0; }
};

// The back buffer; (0, 0) is the bottom-left pixel.
struct Frame {
    int width = clientWidth, height = clientHeight;
    std::vector<uint8_t> rgb;

    std::array<int, 3> at(int x, int y) const {
        size_t i = (size_t(y) * width + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
    // At a point of the plane z = 0, in scene units from the centre.
    std::array<int, 3> atScene(double sx, double sy) const {
        return at(int(std::floor(width / 2.0 + sx * unit)), int(std::floor(height / 2.0 + sy * unit)));
    }
    bool lit(int x, int y) const {
        auto c = at(x, y);
        return c[0] > 24 || c[1] > 24 || c[2] > 24;
    }
    Box extent() const {
        Box box;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                if (!lit(x, y)) continue;
                if (!box.any) {
                    box = {true, x, x, y, y};
                    continue;
                }
                box.minX = std::min(box.minX, x);
                box.maxX = std::max(box.maxX, x);
                box.minY = std::min(box.minY, y);
                box.maxY = std::max(box.maxY, y);
            }
        return box;
    }
};

Frame readFrame() {
    Frame frame;
    frame.rgb.assign(size_t(frame.width) * frame.height * 3, 0);
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, frame.width, frame.height, GL_RGB, GL_UNSIGNED_BYTE, frame.rgb.data());
    return frame;
}

std::array<int, 3> rgbOf(Rgb c) { return {c.r, c.g, c.b}; }

::testing::AssertionResult near(const std::array<int, 3>& seen, const std::array<int, 3>& wanted, int slack = 8) {
    for (int i = 0; i < 3; ++i)
        if (std::abs(seen[i] - wanted[i]) > slack)
            return ::testing::AssertionFailure() << "saw (" << seen[0] << ", " << seen[1] << ", " << seen[2]
                                                 << "), wanted (" << wanted[0] << ", " << wanted[1] << ", "
                                                 << wanted[2] << ")";
    return ::testing::AssertionSuccess();
}

const Rgb amber{200, 120, 40};
const Quadrants quadrants{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};

}  // namespace

class RenderScene : public ::testing::Test {
protected:
    void SetUp() override {
        if (!GLTestContext::displayAvailable()) GTEST_SKIP() << "no X display";
        platformClearCallFailures();
        bool opened = false;
        std::vector<std::string> lines = boxLinesOf([&] { opened = openViewerWindow("Olvistra - scene", false, viewerWindowProc); });
        ASSERT_TRUE(opened) << ::testing::PrintToString(lines);
    }

    void TearDown() override {
        // Entries delete their textures while their context is still current.
        delete list;
        list = nullptr;
        if (hRC || hDC || hWnd) closeViewerWindow();
        before.release();
    }

    // Lists the temporary directory (or a sub-directory) as the list drawn.
    void listDirectory(const std::string& path) {
        delete list;
        list = new FileList(path);
    }

    // Makes the entry of this path current, draws a frame and reads it back.
    Frame show(const std::string& path) {
        list->select(path);
        EXPECT_EQ(list->items[list->current()]->path, path) << "not listed";
        return drawFrame();
    }

    // The pixels are let in first, as the main loop draws once they are.
    Frame drawFrame() {
        try {
            if (list) getDecoded(*list, list->current());
        } catch (const std::string&) {
        }
        renderScene(list);
        return readFrame();
    }

    FileInfoImg* imageEntry(const std::string& path) {
        for (uint32_t i = 0; i < list->items.count; ++i)
            if (list->items[i]->path == path) return dynamic_cast<FileInfoImg*>(list->items[i]);
        return nullptr;
    }

    DialogAnswer answer{"yes"};
    LayerSnapshot before;
    TempDir dir;
    FileList* list = nullptr;
};

TEST_F(RenderScene, LongerSideSpansTheSquareAndTheShorterIsCentred) {
    struct Case {
        const char* name;
        uint32_t width, height;
        double expectW, expectH;
    };
    const Case cases[] = {
        {"square.bmp", 64, 64, 2 * unit, 2 * unit},
        {"wide.bmp", 128, 64, 2 * unit, unit},
        {"tall.bmp", 64, 128, unit, 2 * unit},
        // One pixel taller than wide takes the tall branch.
        {"almost.bmp", 100, 101, 2 * unit / 1.01, 2 * unit},
    };
    for (const Case& c : cases) writeTestImage(dir.path() + c.name, "bmp", c.width, c.height, amber);
    listDirectory(dir.path());

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Frame frame = show(dir.path() + c.name);
        Box box = frame.extent();
        ASSERT_TRUE(box.any) << "nothing drawn";
        EXPECT_NEAR(box.width(), c.expectW, tolerancePx);
        EXPECT_NEAR(box.height(), c.expectH, tolerancePx);
        EXPECT_NEAR(box.centreX(), clientWidth / 2.0, 1.0);
        EXPECT_NEAR(box.centreY(), clientHeight / 2.0, 1.0);
        EXPECT_TRUE(near(frame.at(clientWidth / 2, clientHeight / 2), rgbOf(amber))) << "not in its own colours";
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "texturing stays on after the image";
    }
}

TEST_F(RenderScene, ImageTopRowIsAtTheTopAndLeftColumnAtTheLeft) {
    writeQuadrantBmp(dir.path() + "bottom_up.bmp", 64, 64, quadrants);
    writeQuadrantTga(dir.path() + "top_origin.tga", 64, 64, quadrants, true);
    writeQuadrantTga(dir.path() + "bottom_origin.tga", 64, 64, quadrants, false);
    listDirectory(dir.path());

    for (const char* name : {"bottom_up.bmp", "top_origin.tga", "bottom_origin.tga"}) {
        SCOPED_TRACE(name);
        Frame frame = show(dir.path() + name);
        EXPECT_TRUE(near(frame.atScene(-0.5, 0.5), rgbOf(quadrants.topLeft))) << "top left";
        EXPECT_TRUE(near(frame.atScene(0.5, 0.5), rgbOf(quadrants.topRight))) << "top right";
        EXPECT_TRUE(near(frame.atScene(-0.5, -0.5), rgbOf(quadrants.bottomLeft))) << "bottom left";
        EXPECT_TRUE(near(frame.atScene(0.5, -0.5), rgbOf(quadrants.bottomRight))) << "bottom right";
    }
}

// Linear filtering at the quad's edges must not reach round to the opposite
// edge of the picture: every outermost pixel has its own quadrant's colour.
TEST_F(RenderScene, EdgePixelsKeepTheirOwnColourNotTheOppositeEdges) {
    writeQuadrantBmp(dir.path() + "quarters.bmp", 64, 64, quadrants);
    listDirectory(dir.path());
    Frame frame = show(dir.path() + "quarters.bmp");
    Box box = frame.extent();
    ASSERT_TRUE(box.any) << "nothing drawn";
    int lowX = box.minX + int(box.width() / 4), highX = box.maxX - int(box.width() / 4);
    int lowY = box.minY + int(box.height() / 4), highY = box.maxY - int(box.height() / 4);
    EXPECT_TRUE(near(frame.at(box.minX, highY), rgbOf(quadrants.topLeft))) << "left edge, top half";
    EXPECT_TRUE(near(frame.at(box.minX, lowY), rgbOf(quadrants.bottomLeft))) << "left edge, bottom half";
    EXPECT_TRUE(near(frame.at(box.maxX, highY), rgbOf(quadrants.topRight))) << "right edge, top half";
    EXPECT_TRUE(near(frame.at(box.maxX, lowY), rgbOf(quadrants.bottomRight))) << "right edge, bottom half";
    EXPECT_TRUE(near(frame.at(lowX, box.maxY), rgbOf(quadrants.topLeft))) << "top edge, left half";
    EXPECT_TRUE(near(frame.at(highX, box.maxY), rgbOf(quadrants.topRight))) << "top edge, right half";
    EXPECT_TRUE(near(frame.at(lowX, box.minY), rgbOf(quadrants.bottomLeft))) << "bottom edge, left half";
    EXPECT_TRUE(near(frame.at(highX, box.minY), rgbOf(quadrants.bottomRight))) << "bottom edge, right half";
}

TEST_F(RenderScene, DirectoryMarkerIsBlueWithItsTopRightCornerPulledIn) {
    dir.makeDir("pictures");  // names under 5 bytes are not listed
    writeTestImage(dir.path() + "after.bmp", "bmp", 32, 32, amber);
    listDirectory(dir.path());
    uint32_t marker = list->items.count;
    for (uint32_t i = 0; i < list->items.count; ++i)
        if (dynamic_cast<FileInfoDir*>(list->items[i])) marker = i;
    ASSERT_LT(marker, list->items.count) << "the sub-directory is not listed";
    list->moveTo(marker);

    Frame frame = drawFrame();
    const std::array<int, 3> blue{0, 0, 255}, black{0, 0, 0};
    Box box = frame.extent();
    ASSERT_TRUE(box.any);
    EXPECT_NEAR(box.width(), 2 * unit, tolerancePx);
    EXPECT_NEAR(box.minX, clientWidth / 2.0 - unit, tolerancePx);
    EXPECT_NEAR(box.minY, clientHeight / 2.0 - unit, tolerancePx);
    // The pulled-in corner at (0.5, 0.5), and the two edges that meet there.
    EXPECT_TRUE(near(frame.atScene(0.47, 0.47), blue, 0)) << "just inside the corner";
    EXPECT_TRUE(near(frame.atScene(0.53, 0.53), black, 0)) << "just outside the corner";
    EXPECT_TRUE(near(frame.atScene(0.9, 0.9), black, 0)) << "where the full square's corner would be";
    EXPECT_TRUE(near(frame.atScene(-0.25, 0.7), blue, 0));
    EXPECT_TRUE(near(frame.atScene(-0.25, 0.8), black, 0));
    EXPECT_TRUE(near(frame.atScene(0.6, 0.0), blue, 0));
    EXPECT_TRUE(near(frame.atScene(0.75, 0.0), black, 0));
    // The other three corners stay where the square has them.
    EXPECT_TRUE(near(frame.atScene(-0.97, 0.96), blue, 0));
    EXPECT_TRUE(near(frame.atScene(-0.97, -0.97), blue, 0));
    EXPECT_TRUE(near(frame.atScene(0.95, -0.97), blue, 0));

    GLfloat colour[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(std::vector<GLfloat>(colour, colour + 3), (std::vector<GLfloat>{1.0f, 1.0f, 1.0f}))
        << "the colour is not white again";
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

    // The next image is not tinted by the marker's colour.
    Frame image = show(dir.path() + "after.bmp");
    EXPECT_TRUE(near(image.at(clientWidth / 2, clientHeight / 2), rgbOf(amber)));
}

// The fit follows the client height only: a narrow client cuts a wide
// image off at its left and right edges.
TEST_F(RenderScene, NarrowClientCropsAtTheSidesAndKeepsTheHeight) {
    writeTestImage(dir.path() + "wide.bmp", "bmp", 128, 64, amber);
    writeTestImage(dir.path() + "square.bmp", "bmp", 64, 64, amber);
    listDirectory(dir.path());
    setupProjection(400, clientHeight);

    for (auto [name, expectH] : {std::pair<const char*, double>{"wide.bmp", unit}, {"square.bmp", 2 * unit}}) {
        SCOPED_TRACE(name);
        Box box = show(dir.path() + name).extent();
        ASSERT_TRUE(box.any);
        EXPECT_EQ(box.minX, 0) << "not cut off at the left";
        EXPECT_EQ(box.maxX, 399) << "not cut off at the right";
        EXPECT_NEAR(box.height(), expectH, tolerancePx);
        EXPECT_NEAR(box.centreY(), clientHeight / 2.0, 1.0);
    }
}

// A minimised window reports 0 x 0; the size change on restoring it sets
// the real projection again.
TEST_F(RenderScene, ZeroSizedClientThenRestoredDrawsAsBefore) {
    writeTestImage(dir.path() + "square.bmp", "bmp", 64, 64, amber);
    listDirectory(dir.path());
    setupProjection(0, 0);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, 0, 1}));
    show(dir.path() + "square.bmp");

    setupProjection(clientWidth, clientHeight);
    Box box = show(dir.path() + "square.bmp").extent();
    ASSERT_TRUE(box.any);
    EXPECT_NEAR(box.width(), 2 * unit, tolerancePx);
    EXPECT_NEAR(box.height(), 2 * unit, tolerancePx);
}

TEST_F(RenderScene, NoCurrentEntryClearsToBlack) {
    writeTestImage(dir.path() + "square.bmp", "bmp", 64, 64, amber);
    dir.makeDir("empty");
    listDirectory(dir.path());
    ASSERT_TRUE(show(dir.path() + "square.bmp").extent().any);

    list->moveTo(list->items.count);
    EXPECT_FALSE(drawFrame().extent().any) << "current index past the end";

    listDirectory(dir.path() + "empty/");
    ASSERT_EQ(list->items.count, 0u);
    EXPECT_FALSE(drawFrame().extent().any) << "empty list";
}

TEST_F(RenderScene, FailedDecodeDrawsNothing) {
    writeTestImage(dir.path() + "good.bmp", "bmp", 64, 64, amber);
    dir.writeFile("x.png", "this is not a picture at all, only some text");
    listDirectory(dir.path());
    ASSERT_TRUE(show(dir.path() + "good.bmp").extent().any);

    EXPECT_FALSE(show(dir.path() + "x.png").extent().any) << "a failed decode drew something";
    FileInfoImg* broken = imageEntry(dir.path() + "x.png");
    ASSERT_NE(broken, nullptr);
    EXPECT_TRUE(broken->loaded);
    EXPECT_EQ(broken->width, 0u);
    EXPECT_EQ(broken->texture, 0u);
}

namespace {

// A grey zone plate, 127.5 + 127.5 cos(pi r^2 / side): its rings are r / side
// cycles a pixel apart at radius r, reaching the picture's own limit (half a
// cycle a pixel) on the inscribed circle.
void writeZonePlate(const std::string& path, uint32_t side) {
    writeBmp(path, side, side, [side](uint32_t x, uint32_t y) {
        double dx = x + 0.5 - side / 2.0, dy = y + 0.5 - side / 2.0;
        auto grey = uint8_t(std::lround(127.5 + 127.5 * std::cos(M_PI * (dx * dx + dy * dy) / side)));
        return Rgb{grey, grey, grey};
    });
}

// The spread (standard deviation) of the grey drawn where the plate's rings
// are finer than the screen can show: the plate fills the square of a
// viewport viewWidth x viewHeight, whose Nyquist limit its rings pass at a
// radius of half the square's side in picture pixels. A careful resize
// (ImageMagick's Lanczos) spreads 11 levels right at that radius, 4 at 1.25
// times it and 0.9 from 1.5 times it on; the transition band of any good
// filter lies below that, so the count starts there.
double spreadBeyondNyquist(const Frame& frame, int viewWidth, int viewHeight, uint32_t plateSide) {
    double square = viewHeight / (2.5 * std::tan(22.5 * M_PI / 180.0));
    double scale = square / plateSide;  // screen pixels a picture pixel
    double from = 1.5 * square / 2.0 + 2.0 / scale, to = plateSide / 2.0 - 2.0 / scale;
    double sum = 0, squares = 0, count = 0;
    for (int y = 0; y < viewHeight; ++y)
        for (int x = 0; x < viewWidth; ++x) {
            double r = std::hypot(x + 0.5 - viewWidth / 2.0, y + 0.5 - viewHeight / 2.0) / scale;
            if (r < from || r > to) continue;
            double grey = frame.at(x, y)[1];
            sum += grey;
            squares += grey * grey;
            count += 1;
        }
    double mean = sum / count;
    return std::sqrt(squares / count - mean * mean);
}

}  // namespace

// A picture larger than its square is decoded for the size it is drawn at,
// again after a size change and after the full-screen switch; each time the
// rings the screen cannot show come out as flat grey, not as moire.
TEST_F(RenderScene, ZonePlateIsFlatBeyondTheScreensLimitAtEverySize) {
    const uint32_t plateSide = 2400;
    writeZonePlate(dir.path() + "zone.bmp", plateSide);
    listDirectory(dir.path());
    auto check = [&](int viewWidth, int viewHeight) {
        SCOPED_TRACE(std::to_string(viewWidth) + "x" + std::to_string(viewHeight));
        Frame frame = show(dir.path() + "zone.bmp");
        FileInfoImg* zone = imageEntry(dir.path() + "zone.bmp");
        ASSERT_NE(zone, nullptr);
        EXPECT_EQ(zone->texelWidth, pictureSquareSide(viewHeight)) << "not decoded for the size drawn";
        EXPECT_LE(spreadBeyondNyquist(frame, viewWidth, viewHeight, plateSide), 3.0);
    };
    fitPicturesTo(list, shownPictureSquareSide());
    check(clientWidth, clientHeight);

    // The window made smaller: the picture shown is decoded again and stays
    // on screen until the new pixels are in.
    setupProjection(800, 600);
    fitPicturesTo(list, shownPictureSquareSide());
    carryOutReload(list);
    check(800, 600);

    // The full-screen switch, as the main loop makes it.
    closeViewerWindow();
    list->unloadAll();
    ASSERT_TRUE(openViewerWindow("Olvistra", true, viewerWindowProc));
    fitPicturesTo(list, shownPictureSquareSide());
    check(clientWidth, clientHeight);
    setDecodeSide(0);
}
