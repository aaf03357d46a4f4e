// Helpers for the tests of the viewer window and the scene: the message-box
// lines a piece of code wrote to standard error, the dialog answer for one
// test, whatever the window layer still holds after a failure was injected,
// and images whose four quadrants have different colours.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "support/test_images.h"

namespace render_test {

// The line MessageBoxA writes for one box.
std::string boxLine(const std::string& caption, const std::string& text);

// The message-box lines among everything written to standard error.
std::vector<std::string> boxLines(const std::string& capturedStderr);

// Runs `action` with standard error captured; returns the message-box lines.
template <typename Action>
std::vector<std::string> boxLinesOf(Action action);

// Sets OLVISTRA_DIALOG_ANSWER for the lifetime of the object.
class DialogAnswer {
public:
    explicit DialogAnswer(const char* answer);
    ~DialogAnswer();
    DialogAnswer(const DialogAnswer&) = delete;
    DialogAnswer& operator=(const DialogAnswer&) = delete;

private:
    bool had = false;
    std::string previous;
};

// The windows and rendering contexts of the layer when it was made;
// release() destroys whatever was made since, and the viewer's class.
class LayerSnapshot {
public:
    LayerSnapshot();
    std::set<HWND> newWindows() const;
    std::set<HGLRC> newContexts() const;
    bool classRegistered(const char* name) const;
    void release() const;

private:
    std::set<HWND> windows;
    std::set<HGLRC> contexts;
};

// Quadrant colours: top-left, top-right, bottom-left, bottom-right.
struct Quadrants {
    Rgb topLeft, topRight, bottomLeft, bottomRight;
};

// An uncompressed 24-bit BMP, rows stored bottom row first; colourAt is
// asked for each pixel, y counted from the top.
void writeBmp(const std::string& path, uint32_t width, uint32_t height,
              const std::function<Rgb(uint32_t x, uint32_t y)>& colourAt);
// The same with four quadrants.
void writeQuadrantBmp(const std::string& path, uint32_t width, uint32_t height, const Quadrants& colours);
// An uncompressed 24-bit TGA whose origin is the top-left corner (rows
// stored top row first) or, with topOrigin false, the bottom-left one.
void writeQuadrantTga(const std::string& path, uint32_t width, uint32_t height, const Quadrants& colours,
                      bool topOrigin);

}  // namespace render_test

#include <gtest/gtest.h>

template <typename Action>
std::vector<std::string> render_test::boxLinesOf(Action action) {
    ::testing::internal::CaptureStderr();
    action();
    return boxLines(::testing::internal::GetCapturedStderr());
}
