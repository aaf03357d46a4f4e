// The entries of one directory, in the reader's order, with the index of the
// shown entry. Entries are opened and loaded on first use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/array.h"
#include "model/file_info.h"
#include "model/texture_budget.h"
#include "platform/services.h"

class FileList {
public:
    std::string dir;         // ends in a separator; prefix of every entry's path
    Array<FileInfo*> items;  // items.count is the number of entries
    TextureBudget textures;  // unloads least recently shown images beyond its budget

    // Lists the directory. Raises the reader's errors; then no list is made.
    explicit FileList(std::string dir);
    // A list of the one image file `imagePath` in `dir`, shown while the
    // whole directory is read elsewhere; the directory is not read. Raises
    // "can not read file" when the file does not open.
    FileList(std::string dir, const std::string& imagePath);
    virtual ~FileList();
    FileList(const FileList&) = delete;
    FileList& operator=(const FileList&) = delete;

    // Deletes the entries and lists `dir` again; the shown index is kept.
    void refresh();

    // The entry at index, opened, or null when index >= count. It is loaded
    // unless its pixels are not in yet (FileInfo::load); loading it may
    // unload other image entries (see TextureBudget). An entry loaded ahead
    // whose file changed since is loaded afresh.
    FileInfo* get(uint32_t index);

    // Opens and loads the entry at index before it is shown, so that showing
    // it only draws; the shown entry stays the most recent for the budget.
    // False, with the entry not loaded, when opening it raises (its own get
    // raises the error again) or its pixels were not in after all.
    bool loadAhead(uint32_t index);

    // Makes the entry that fullPath names current; current stays when no
    // entry has it. See find().
    void select(const std::string& fullPath);

    // The index of the entry that fullPath names, as the system compares
    // names: byte for byte on Linux; on Windows blind to letter case, with
    // short (8.3) names expanded. False when no entry has it.
    bool find(const std::string& fullPath, uint32_t* index);

    // Marks every loaded entry as not loaded (after calling its unload).
    void unloadAll();

    // The index of the shown entry; changed only by moveTo and select.
    uint32_t current() const { return shown; }

    // Makes the entry at index the shown one (past the end, none is).
    void moveTo(uint32_t index) { shown = index; }

    // The current entry, via get(), or null.
    FileInfo* currentEntry();

private:
    uint32_t shown = 0;  // index of the shown entry
    struct LoadedAhead {
        uint32_t index;
        FileStamp stamp;  // of the file when it was loaded
    };
    std::vector<LoadedAhead> loadedAhead;  // loaded ahead, not shown since
};
