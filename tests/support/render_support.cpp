#include "support/render_support.h"
#include "support/test_images.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

#include "platform/linux/layer_state.h"

namespace render_test {

namespace {

const char* const answerVariable = "OLVISTRA_DIALOG_ANSWER";

// The colour of pixel (x, y), y counted from the top row.
Rgb colourAt(const Quadrants& q, uint32_t width, uint32_t height, uint32_t x, uint32_t y) {
    bool left = x < width / 2;
    bool top = y < height / 2;
    if (top) return left ? q.topLeft : q.topRight;
    return left ? q.bottomLeft : q.bottomRight;
}

void putBgrRow(std::string& out, const Quadrants& q, uint32_t width, uint32_t height, uint32_t y) {
    for (uint32_t x = 0; x < width; ++x) {
        Rgb c = colourAt(q, width, height, x, y);
        out += char(c.b);
        out += char(c.g);
        out += char(c.r);
    }
}

}  // namespace

std::string boxLine(const std::string& caption, const std::string& text) {
    return "olvistra: message box \"" + caption + "\": " + text;
}

std::vector<std::string> boxLines(const std::string& capturedStderr) {
    std::vector<std::string> lines;
    std::istringstream in(capturedStderr);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("olvistra: message box ", 0) == 0) lines.push_back(line);
    return lines;
}

DialogAnswer::DialogAnswer(const char* answer) {
    if (const char* value = std::getenv(answerVariable)) {
        had = true;
        previous = value;
    }
    setenv(answerVariable, answer, 1);
}

DialogAnswer::~DialogAnswer() {
    if (had)
        setenv(answerVariable, previous.c_str(), 1);
    else
        unsetenv(answerVariable);
}

LayerSnapshot::LayerSnapshot() {
    for (auto& window : olvlinux::layer().windows) windows.insert(window.first);
    for (auto& context : olvlinux::layer().contexts) contexts.insert(context.first);
}

std::set<HWND> LayerSnapshot::newWindows() const {
    std::set<HWND> made;
    for (auto& window : olvlinux::layer().windows)
        if (!windows.count(window.first)) made.insert(window.first);
    return made;
}

std::set<HGLRC> LayerSnapshot::newContexts() const {
    std::set<HGLRC> made;
    for (auto& context : olvlinux::layer().contexts)
        if (!contexts.count(context.first)) made.insert(context.first);
    return made;
}

bool LayerSnapshot::classRegistered(const char* name) const {
    std::string key(name);
    for (char& c : key) c = char(std::tolower(static_cast<unsigned char>(c)));
    return olvlinux::layer().classes.count(key) != 0;
}

void LayerSnapshot::release() const {
    for (HGLRC context : newContexts()) {
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(context);
    }
    for (HWND window : newWindows()) DestroyWindow(window);
    if (classRegistered("OpenGL")) UnregisterClassA("OpenGL", GetModuleHandleA(nullptr));
    ChangeDisplaySettingsA(nullptr, 0);
}

void writeBmp(const std::string& path, uint32_t width, uint32_t height,
              const std::function<Rgb(uint32_t x, uint32_t y)>& colourAt) {
    uint32_t rowBytes = (width * 3 + 3) / 4 * 4;
    uint32_t dataBytes = rowBytes * height;
    std::string out = "BM";
    put32(out, 54 + dataBytes);
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, width);
    put32(out, height);  // positive: bottom row first
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);
    put32(out, dataBytes);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    out.reserve(out.size() + dataBytes);
    for (uint32_t stored = 0; stored < height; ++stored) {
        for (uint32_t x = 0; x < width; ++x) {
            Rgb c = colourAt(x, height - 1 - stored);
            out += char(c.b);
            out += char(c.g);
            out += char(c.r);
        }
        out.append(rowBytes - width * 3, '\0');
    }
    writeBytes(path, out);
}

void writeQuadrantBmp(const std::string& path, uint32_t width, uint32_t height, const Quadrants& colours) {
    writeBmp(path, width, height, [&](uint32_t x, uint32_t y) { return colourAt(colours, width, height, x, y); });
}

void writeQuadrantTga(const std::string& path, uint32_t width, uint32_t height, const Quadrants& colours,
                      bool topOrigin) {
    std::string out;
    out += '\0';     // no image id
    out += '\0';     // no colour map
    out += char(2);  // uncompressed true colour
    out.append(5, '\0');
    put16(out, 0);
    put16(out, 0);
    put16(out, width);
    put16(out, height);
    out += char(24);
    out += char(topOrigin ? 0x20 : 0x00);
    for (uint32_t stored = 0; stored < height; ++stored)
        putBgrRow(out, colours, width, height, topOrigin ? stored : height - 1 - stored);
    writeBytes(path, out);
}

}  // namespace render_test
