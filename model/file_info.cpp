#include "model/file_info.h"

#include <cstdio>
#include <utility>

#include "model/decoded_pixels.h"
#include "model/handdir.h"
#include "model/picture_texture.h"
#include "platform/services.h"
#include "util/text.h"

FileInfo::FileInfo(std::string path) : path(std::move(path)), loaded(false) {}

FileInfo::~FileInfo() {}

// The edit command is a program name, one blank, and the one argument the
// program gets. It is started directly, never through a command processor,
// so no character of the path is interpreted. A command without a blank (a
// directory's, which is empty) runs nothing.
void FileInfo::runEditCommand() {
    std::string command = editCommand();
    std::string::size_type blank = command.find(' ');
    if (blank != std::string::npos) {
        std::string program = command.substr(0, blank);
        std::string argument = command.substr(blank + 1);
        runProgramAndWait(program.c_str(), argument.c_str());
    }
}

std::string FileInfo::infoText() { return "filename:\t" + path + "\npath:\t" + dirnameOf(path); }

void FileInfo::testReadable() {
    if (!fileOpensForReading(path.c_str()) && !isReadableDir(path)) {
        throw std::string("can not open file " + path + " for read");
    }
}

void FileInfo::open() {
    testReadable();
    if (!loaded) loaded = load();
}

bool FileInfo::load() { return true; }

void FileInfo::unload() {}

FileInfoImg::FileInfoImg(std::string path) : FileInfo(std::move(path)) {
    if (!fileOpensForReading(this->path.c_str())) throw std::string("can not read file");
}

std::string FileInfoImg::editCommand() { return "mspaint " + path; }

// A failed decode is loaded with the size 0 x 0; its ratio shows as 0.00.
std::string FileInfoImg::infoText() {
    std::string text = FileInfo::infoText();
    if (!loaded) return text;
    double ratio = height == 0 ? 0.0 : double(width) / double(height);
    char formatted[64];
    std::snprintf(formatted, sizeof formatted, "%.2f", ratio);
    return text + "\nwidth:\t" + intToString(int(width)) + "px" + "\nheight:\t" + intToString(int(height)) + "px" +
           "\nradio:\t" + formatted;
}

// Takes the file's pixels from the decode helper (model/decoded_pixels.h)
// and has the renderer make their texture (model/picture_texture.h). Any
// failure (the helper's checks, a crash, a hang, a refusal) leaves no
// texture and the size 0 x 0, so nothing of an earlier image is shown. The
// helper shrinks a large picture to the side it is drawn at, and one still
// wider or taller than the context allows is shrunk for the texture; width
// and height stay the file's. While the helper still
// works on the file nothing changes and the entry stays not loaded.
bool FileInfoImg::load() {
    // Taken before the old texture goes: unload() would forget ready pixels.
    DecodedImage image;
    DecodedPixels pixels = takeDecoded(path, &image);
    if (pixels == DecodedPixels::pending) return false;
    releaseTexture();
    width = 0;
    height = 0;
    texelWidth = 0;
    texelHeight = 0;
    if (pixels == DecodedPixels::failed) return true;
    uint32_t pictureWidth = image.pictureWidth, pictureHeight = image.pictureHeight;
    uint32_t shrunkWidth = image.width, shrunkHeight = image.height;
    texture = makePictureTexture(image, &textureGeneration);
    if (texture == 0) return true;
    width = pictureWidth;
    height = pictureHeight;
    texelWidth = shrunkWidth;
    texelHeight = shrunkHeight;
    return true;
}

// Reload and edit come through here first: pixels decoded ahead are
// forgotten, so the file is decoded again from disk.
void FileInfoImg::unload() {
    releaseTexture();
    forgetDecoded(path);
}

void FileInfoImg::releaseTexture() {
    releasePictureTexture(texture, textureGeneration);
    texture = 0;
    textureGeneration = 0;
}

FileInfoDir::FileInfoDir(std::string path) : FileInfo(std::move(path)) {}

std::string FileInfoDir::editCommand() { return std::string(); }

void unloadIfLoaded(FileInfo* entry) {
    if (!entry->loaded) return;
    entry->unload();
    entry->loaded = false;
}

void reload(FileInfo* entry) {
    unloadIfLoaded(entry);
    entry->FileInfo::open();
}
