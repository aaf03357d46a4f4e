// DCX is a table of up to 1023 page offsets in front of plain PCX pages. The
// first page is cut out by the table and handed to DevIL's PCX reader as a
// block in memory; DevIL's own DCX reader is never called.
#include <cstdio>
#include <vector>

#include "decoders/devil_limits.h"
#include "decoders/formats.h"
#include "util/little_endian.h"
#include "decoders/devil.h"

namespace {

const uint32_t dcxMagic = 0x3ADE68B1;

bool readLittle32(FILE* file, uint32_t* value) {
    unsigned char bytes[4];
    if (std::fread(bytes, 1, 4, file) != 4) return false;
    *value = littleEndian32(bytes);
    return true;
}

// The bytes of the first page: from its offset to the second page's, or to
// the end of the file when there is only one.
bool readFirstPage(FILE* file, std::vector<unsigned char>* page) {
    uint32_t magic = 0, first = 0, second = 0;
    if (!readLittle32(file, &magic) || magic != dcxMagic) return false;
    if (!readLittle32(file, &first) || !readLittle32(file, &second)) return false;
    if (std::fseek(file, 0, SEEK_END) != 0) return false;
    long fileSize = std::ftell(file);
    // A page lies behind the two table entries read, within the file.
    if (fileSize < 0 || first < 12 || long(first) >= fileSize) return false;
    long end = second > first && long(second) <= fileSize ? long(second) : fileSize;
    if (uint64_t(end - long(first)) > devilMaxAllocation) return false;
    page->resize(size_t(end - long(first)));
    return std::fseek(file, long(first), SEEK_SET) == 0 && std::fread(page->data(), 1, page->size(), file) == page->size();
}

}  // namespace

bool decodeDcx(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::vector<unsigned char> page;
    bool read = readFirstPage(file, &page);
    std::fclose(file);
    if (!read) return false;
    drainDevilErrors();
    ILboolean ok = ilLoadL(IL_PCX, page.data(), ILuint(page.size()));
    return !drainDevilErrors() && ok == IL_TRUE;
}
