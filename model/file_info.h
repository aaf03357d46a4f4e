// One entry of the listed directory: an image file or a sub-directory.
// render/entry_draw.h draws them.
//
// Failures are raised as text (a std::string): "can not read file" when an
// image entry is made for a file that does not open for reading, and
// "can not open file " + path + " for read" when open() finds the entry gone.
#pragma once

#include <cstdint>
#include <string>

class FileInfo {
public:
    std::string path;  // the listed directory followed by the entry's name
    bool loaded;       // set by open() once load() is done; cleared by unloadIfLoaded()

    explicit FileInfo(std::string path);
    virtual ~FileInfo();

    // Runs the edit command and waits for it to end; no reload.
    void runEditCommand();
    // The command line that edits the entry.
    virtual std::string editCommand() = 0;
    // The multi-line description shown in the info box.
    virtual std::string infoText();
    // Tests that the entry is still readable, then loads it if not loaded.
    // Never waits: an image whose pixels are not in yet stays not loaded
    // (see load()).
    virtual void open();
    // The test open() makes first: raises its error when the file no longer
    // opens for reading and is no readable folder either. Loads nothing.
    void testReadable();
    // Loads the entry's content; called only by open(). False when the
    // content is not in yet (an image's decode runs): the entry stays not
    // loaded, and is opened again once the decode helper has answered.
    virtual bool load();
    // Called before the entry is marked as not loaded; never touches `loaded`.
    virtual void unload();
};

class FileInfoImg : public FileInfo {
public:
    uint32_t texture = 0;  // made by load() (model/picture_texture.h); 0 after a failed decode
    uint32_t width = 0;    // pixels; 0 after a failed decode
    uint32_t height = 0;
    // The size the helper shrank the picture to for the texture: the side
    // it was drawn at when it was decoded (model/decoded_pixels.h).
    uint32_t texelWidth = 0;
    uint32_t texelHeight = 0;

    explicit FileInfoImg(std::string path);

    std::string editCommand() override;
    std::string infoText() override;
    bool load() override;
    void unload() override;

private:
    void releaseTexture();

    // The generation of the GL context the texture was made in; the texture
    // is deleted only while that context is still current.
    uint64_t textureGeneration = 0;
};

class FileInfoDir : public FileInfo {
public:
    explicit FileInfoDir(std::string path);

    std::string editCommand() override;
};

// Unloads the entry if it is loaded and marks it not loaded.
void unloadIfLoaded(FileInfo* entry);

// Unloads the entry if it is loaded, then opens it again.
void reload(FileInfo* entry);
