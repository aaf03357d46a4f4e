// The readers behind readColourDescription(), one per file format. Each
// reads the file through `in` and fills `description` only with what it
// found whole and consistent.
#pragma once

#include "decoders/colour_description_types.h"
#include "util/byte_reader.h"

void readJpegColours(ByteReader& in, ColourDescription& description);
void readPngColours(ByteReader& in, ColourDescription& description);
void readPhotoshopColours(ByteReader& in, ColourDescription& description);
void readBmpColours(ByteReader& in, ColourDescription& description);
void readJpeg2000Colours(ByteReader& in, ColourDescription& description);
void readOpenExrColours(ByteReader& in, ColourDescription& description);

// Takes `profile` as the description when it is a plausible ICC profile: at
// least a header and tag count long, and no longer than its header says.
void takeEmbeddedProfile(std::string profile, ColourDescription& description);
