#include "decoders/picture_files.h"

#include <cstdio>

#include "decoders/devil.h"
#include "platform/decode_wire.h"

// Exported by DevIL for readers of its own, though not in its public header.
extern "C" ILAPI void ILAPIENTRY ilSetError(ILenum error);

namespace {

const std::vector<HandedFile>* handed = nullptr;

// A file's bytes read into memory, and the view of them handed out.
struct ReadBytes {
    std::string bytes;
    std::string_view view;
};

std::shared_ptr<const std::string_view> readFromDisk(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return nullptr;
    auto read = std::make_shared<ReadBytes>();
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0 && read->bytes.size() <= decodeMaxHandedFileBytes)
        read->bytes.append(chunk, got);
    bool whole = !std::ferror(file) && read->bytes.size() <= decodeMaxHandedFileBytes;
    std::fclose(file);
    if (!whole) return nullptr;
    read->view = read->bytes;
    return std::shared_ptr<const std::string_view>(read, &read->view);
}

// DevIL's open file: the bytes and where the next read starts.
struct DevilFile {
    std::shared_ptr<const std::string_view> bytes;
    size_t at = 0;
};

ILHANDLE ILAPIENTRY devilOpen(ILconst_string name) {
    std::shared_ptr<const std::string_view> bytes = pictureFileBytes(name);
    return bytes ? new DevilFile{bytes, 0} : nullptr;
}

void ILAPIENTRY devilClose(ILHANDLE handle) { delete static_cast<DevilFile*>(handle); }

ILboolean ILAPIENTRY devilEof(ILHANDLE handle) {
    const DevilFile* file = static_cast<const DevilFile*>(handle);
    return file->at >= file->bytes->size() ? IL_TRUE : IL_FALSE;
}

ILint ILAPIENTRY devilGetc(ILHANDLE handle) {
    DevilFile* file = static_cast<DevilFile*>(handle);
    if (file->at >= file->bytes->size()) {
        ilSetError(IL_FILE_READ_ERROR);  // as DevIL's own reader reports it
        return IL_EOF;
    }
    return (unsigned char)(*file->bytes)[file->at++];
}

// Like fread: whole items only, their count returned.
ILint ILAPIENTRY devilRead(void* buffer, ILuint size, ILuint count, ILHANDLE handle) {
    DevilFile* file = static_cast<DevilFile*>(handle);
    if (size == 0 || file->at >= file->bytes->size()) return 0;
    size_t items = (file->bytes->size() - file->at) / size;
    if (items > count) items = count;
    file->bytes->copy(static_cast<char*>(buffer), items * size, file->at);
    file->at += items * size;
    return ILint(items);
}

// Like fseek: any place from the start on, also beyond the end.
ILint ILAPIENTRY devilSeek(ILHANDLE handle, ILint offset, ILint mode) {
    DevilFile* file = static_cast<DevilFile*>(handle);
    long long from = mode == IL_SEEK_CUR ? (long long)file->at : mode == IL_SEEK_END ? (long long)file->bytes->size() : 0;
    if (mode != IL_SEEK_SET && mode != IL_SEEK_CUR && mode != IL_SEEK_END) return -1;
    if (from + offset < 0) return -1;
    file->at = size_t(from + offset);
    return 0;
}

ILint ILAPIENTRY devilTell(ILHANDLE handle) { return ILint(static_cast<const DevilFile*>(handle)->at); }

}  // namespace

HandedPictureFiles::HandedPictureFiles(const std::vector<HandedFile>& files) { handed = &files; }

HandedPictureFiles::~HandedPictureFiles() { handed = nullptr; }

std::shared_ptr<const std::string_view> pictureFileBytes(const std::string& path) {
    if (!handed) return readFromDisk(path);
    for (const HandedFile& file : *handed) {
        // Not owned: the handed files outlive every reader of them.
        if (file.name == path) return std::shared_ptr<const std::string_view>(std::shared_ptr<const std::string_view>(), &file.bytes);
    }
    return nullptr;
}

void useHandedFilesInDevil() {
    ilSetRead(devilOpen, devilClose, devilEof, devilGetc, devilRead, devilSeek, devilTell);
}
