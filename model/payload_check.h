// Whether a file can hold the pixels its header claims.
//
// DevIL fills what a short file could not give it and may still report
// success: a truncated RLE Targa or Photoshop file, or a DDS whose header
// names a smaller data block than its size needs, comes back as a whole
// picture of partly invented pixels. For formats whose header fixes the size
// of the pixel data, or whose compression lets the data be walked without
// decoding it, the file is measured against that before DevIL reads it.
//
// Checked: DDS (block-compressed and plain, and its size field), BMP
// without compression, Targa (plain, and RLE by walking its packets),
// Photoshop (plain, and RLE by its row-length table), DevIL raw, DICOM with
// uncompressed data, and PCX (by walking its packets; a PCX reaches DevIL
// under another picture's name, or inside a DCX). Other formats (JPEG and PNG among them, which
// show a partial picture as other viewers do) are not judged here.
#pragma once

#include <cstdint>
#include <string>

// The formats judged here.
enum class PayloadFormat { other, dds, bmp, tga, psd, raw, dicom, pcx };

// False only when the file is certainly too short for the picture its
// header describes to the decoder of `format`, or when that header is
// inconsistent in a way that makes the decoder read past its own buffer.
// True for every format and file it cannot judge.
bool payloadFits(PayloadFormat format, const std::string& path);

// payloadFits for the file as DevIL's decoder of `devilType` (an ILenum)
// reads it; IL_TYPE_UNKNOWN stands for the type DevIL chooses itself, by the
// file name's extension or else by the content.
bool devilPayloadFits(unsigned devilType, const std::string& path);

// The same judgement over a file's bytes.
bool payloadFitsBytes(PayloadFormat format, std::string_view bytes);
