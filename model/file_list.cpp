#include "model/file_list.h"

#include <new>
#include <utility>

#include "model/file_info_factory.h"
#include "model/handdir.h"
#include "util/path_rules.h"
#include "util/trace.h"

namespace {

// Unloads and deletes every entry; count becomes 0, capacity stays.
void deleteEntries(Array<FileInfo*>& items) {
    for (uint32_t i = 0; i < items.count; ++i) {
        FileInfo* entry = items[i];
        unloadIfLoaded(entry);
        delete entry;
    }
    items.count = 0;
}

}  // namespace

FileList::FileList(std::string dir) : dir(std::move(dir)) {
    try {
        refresh();
    } catch (...) {
        deleteEntries(items);
        throw;
    }
}

FileList::FileList(std::string dir, const std::string& imagePath) : dir(std::move(dir)) {
    FileInfo* entry = new FileInfoImg(imagePath);
    try {
        items[0] = entry;
    } catch (...) {
        delete entry;
        throw;
    }
    items.count = 1;
}

// The program never destroys its list; a destroyed list deletes its entries
// so that nothing outlives it.
FileList::~FileList() { deleteEntries(items); }

// An image name whose file no longer opens is skipped, so one unreadable
// file does not leave the rest of the directory unviewable. The reader's
// own errors still leave refresh.
void FileList::refresh() {
    deleteEntries(items);
    textures.clear();
    loadedAhead.clear();
    Handdir reader(dir);
    while (reader.cursor < reader.names.count) {
        std::string fullPath = dir + reader.readdir();
        FileInfo* entry = nullptr;
        try {
            entry = FileInfoFactory::instance()->create(fullPath);
        } catch (const std::string& error) {
            if (error != "can not read file") throw;
        }
        if (!entry) continue;
        uint32_t n = items.count;
        try {
            items[n] = entry;
        } catch (...) {
            delete entry;
            throw;
        }
        items.count = n + 1;
    }
}

FileInfo* FileList::get(uint32_t index) {
    if (index >= items.count) return nullptr;
    FileInfo* entry = items[index];
    for (size_t i = 0; i < loadedAhead.size(); ++i) {
        if (loadedAhead[i].index != index) continue;
        FileStamp now;
        bool changed = !fileStampOf(entry->path.c_str(), &now) || !(now == loadedAhead[i].stamp);
        loadedAhead.erase(loadedAhead.begin() + long(i));
        if (changed) unloadIfLoaded(entry);
        trace::entryLoading(entry->path);  // its line shows what was left to do
        break;
    }
    if (!entry->loaded) {
        trace::entryLoading(entry->path);
        {
            trace::Timer timer(trace::Step::load);
            entry->FileInfo::open();
        }
        textures.fit(items, index);
    }
    textures.shown(index);
    return entry;
}

bool FileList::loadAhead(uint32_t index) {
    if (index >= items.count || items[index]->loaded) return true;
    FileInfo* entry = items[index];
    FileStamp stamp;
    if (!fileStampOf(entry->path.c_str(), &stamp)) return false;
    try {
        entry->FileInfo::open();
    } catch (const std::string&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!entry->loaded) return false;  // its pixels were not in after all
    loadedAhead.push_back({index, stamp});
    textures.shown(index);
    textures.shown(shown);
    textures.fit(items, shown);
    return true;
}

void FileList::select(const std::string& fullPath) {
    uint32_t index = 0;
    if (find(fullPath, &index)) shown = index;
}

bool FileList::find(const std::string& fullPath, uint32_t* index) {
    const PathStyle style = platformUsesPosixPaths ? PathStyle::posix : PathStyle::windows;
    // Only the name is taken long: the entries' paths keep the directory as
    // the list was given it, short names and all.
    std::string longPath = longPathName(fullPath);
    std::string wanted = fullPath.substr(0, fullPath.find_last_of("\\/") + 1) +
                         longPath.substr(longPath.find_last_of("\\/") + 1);
    for (uint32_t i = 0; i < items.count; ++i) {
        if (samePathSpelling(style, items[i]->path, wanted)) {
            *index = i;
            return true;
        }
    }
    return false;
}

void FileList::unloadAll() {
    for (uint32_t i = 0; i < items.count; ++i) unloadIfLoaded(items[i]);
}

FileInfo* FileList::currentEntry() { return get(shown); }
