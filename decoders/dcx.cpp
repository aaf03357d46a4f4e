// DCX is a table of up to 1023 page offsets in front of plain PCX pages. The
// first page is cut out by the table and handed to DevIL's PCX reader as a
// block in memory; DevIL's own DCX reader is never called.

#include "decoders/devil_limits.h"
#include "decoders/formats.h"
#include "decoders/picture_files.h"
#include "util/little_endian.h"
#include "decoders/devil.h"

namespace {

const uint32_t dcxMagic = 0x3ADE68B1;

// Where the first page lies: from its offset to the second page's, or to
// the end of the file when there is only one. False when it is not there.
bool findFirstPage(std::string_view file, size_t* start, size_t* end) {
    if (file.size() < 12) return false;
    const unsigned char* table = reinterpret_cast<const unsigned char*>(file.data());
    uint32_t first = littleEndian32(table + 4), second = littleEndian32(table + 8);
    if (littleEndian32(table) != dcxMagic) return false;
    // A page lies behind the two table entries read, within the file.
    if (first < 12 || first >= file.size()) return false;
    *start = first;
    *end = second > first && second <= file.size() ? second : file.size();
    return *end - *start <= devilMaxAllocation;
}

}  // namespace

bool decodeDcx(const std::string& path) {
    std::shared_ptr<const std::string_view> file = pictureFileBytes(path);
    size_t start = 0, end = 0;
    if (!file || !findFirstPage(*file, &start, &end)) return false;
    drainDevilErrors();
    ILboolean ok = ilLoadL(IL_PCX, file->data() + start, ILuint(end - start));
    return !drainDevilErrors() && ok == IL_TRUE;
}
