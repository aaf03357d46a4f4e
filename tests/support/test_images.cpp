#include "support/test_images.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "platform/win32.h"
#include <IL/il.h>

// Little-endian fields of the file formats written here.
void put16(std::string& out, uint32_t v) {
    out += char(v & 0xff);
    out += char((v >> 8) & 0xff);
}

void put32(std::string& out, uint32_t v) {
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

namespace {

void saveWithDevil(const std::string& path, ILenum type, uint32_t width, uint32_t height, Rgb colour) {
    // Images may be written before any test context has started DevIL.
    static const bool devilStarted = (ilInit(), true);
    (void)devilStarted;
    std::vector<ILubyte> pixels(size_t(width) * height * 3);
    for (size_t i = 0; i < pixels.size(); i += 3) {
        pixels[i] = colour.r;
        pixels[i + 1] = colour.g;
        pixels[i + 2] = colour.b;
    }
    ILuint image = 0;
    ilGenImages(1, &image);
    ILuint previous = ILuint(ilGetInteger(IL_CUR_IMAGE));
    ilBindImage(image);
    ilEnable(IL_FILE_OVERWRITE);
    bool ok = ilTexImage(width, height, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, pixels.data()) && ilSave(type, path.c_str());
    while (ilGetError() != IL_NO_ERROR) {
    }
    ilBindImage(previous);
    ilDeleteImages(1, &image);
    if (!ok) throw std::runtime_error("DevIL could not write " + path);
}

// One colour, so every pixel is index 0: pairs of 3-bit codes, each pair
// after a clear code, keep the LZW table from ever growing past 3 bits.
std::string gif(uint32_t width, uint32_t height, Rgb colour) {
    std::string out = "GIF89a";
    put16(out, width);
    put16(out, height);
    out += char(0xF0);  // global table of 2 colours
    out += '\0';
    out += '\0';
    out += {char(colour.r), char(colour.g), char(colour.b), 0, 0, 0};
    out += char(0x2C);
    put32(out, 0);
    put16(out, width);
    put16(out, height);
    out += '\0';
    out += char(2);  // minimum code size
    std::string data;
    uint32_t bits = 0, held = 0;
    auto code = [&](uint32_t c) {
        bits |= c << held;
        held += 3;
        while (held >= 8) {
            data += char(bits & 0xff);
            bits >>= 8;
            held -= 8;
        }
    };
    uint64_t pixels = uint64_t(width) * height;
    for (uint64_t i = 0; i < pixels; i += 2) {
        code(4);
        code(0);
        if (i + 1 < pixels) code(0);
    }
    code(5);
    if (held) data += char(bits & 0xff);
    for (size_t at = 0; at < data.size(); at += 255) {
        std::string block = data.substr(at, 255);
        out += char(block.size());
        out += block;
    }
    out += '\0';
    out += ';';
    return out;
}

// Dr. Halo: a 6-byte header, then per line its byte count and RLE runs.
// Its palette lives in a separate file, so the colour is index 1.
std::string cut(uint32_t width, uint32_t height) {
    std::string out;
    put16(out, width);
    put16(out, height);
    put16(out, 0);
    for (uint32_t y = 0; y < height; ++y) {
        std::string line;
        for (uint32_t left = width; left > 0;) {
            uint32_t run = left > 127 ? 127 : left;
            line += char(0x80 | run);
            line += char(1);
            left -= run;
        }
        line += '\0';
        put16(out, uint32_t(line.size()));
        out += line;
    }
    return out;
}

// A DCX holds up to 1023 PCX pages behind a table of their offsets.
std::string dcx(const std::string& pcx) {
    std::string out;
    put32(out, 0x3ADE68B1);
    put32(out, 4 + 1024 * 4);
    out.append(1023 * 4, '\0');
    return out + pcx;
}

void element(std::string& out, uint16_t group, uint16_t tag, const char* vr, const std::string& value) {
    put16(out, group);
    put16(out, tag);
    out += vr;
    put16(out, uint32_t(value.size()));
    out += value;
}

std::string us(uint32_t v) {
    std::string s;
    put16(s, v);
    return s;
}

// DICOM, explicit VR little endian, 8-bit monochrome of the colour's red.
std::string dicom(uint32_t width, uint32_t height, Rgb colour) {
    std::string out(128, '\0');
    out += "DICM";
    element(out, 0x0002, 0x0010, "UI", std::string("1.2.840.10008.1.2.1") + '\0');
    element(out, 0x0028, 0x0002, "US", us(1));
    element(out, 0x0028, 0x0004, "CS", "MONOCHROME2 ");
    element(out, 0x0028, 0x0010, "US", us(height));
    element(out, 0x0028, 0x0011, "US", us(width));
    element(out, 0x0028, 0x0100, "US", us(8));
    element(out, 0x0028, 0x0101, "US", us(8));
    element(out, 0x0028, 0x0102, "US", us(7));
    element(out, 0x0028, 0x0103, "US", us(0));
    std::string pixels(size_t(width) * height, char(colour.r));
    if (pixels.size() % 2) pixels += '\0';
    put16(out, 0x7FE0);
    put16(out, 0x0010);
    out += "OB";
    put16(out, 0);
    put32(out, uint32_t(pixels.size()));
    return out + pixels;
}

const std::map<std::string, ILenum>& devilFormats() {
    static const std::map<std::string, ILenum> formats = {
        {"bmp", IL_BMP}, {"png", IL_PNG}, {"tga", IL_TGA}, {"jpg", IL_JPG},
        {"psd", IL_PSD}, {"dds", IL_DDS}, {"raw", IL_RAW}, {"pcx", IL_PCX}};
    return formats;
}

}  // namespace

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
    if (!file) throw std::runtime_error("can not write " + path);
}

std::string readBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void writeTestImage(const std::string& path, const std::string& format, uint32_t width, uint32_t height,
                    Rgb colour) {
    auto devil = devilFormats().find(format);
    if (devil != devilFormats().end()) {
        saveWithDevil(path, devil->second, width, height, colour);
    } else if (format == "gif") {
        writeBytes(path, gif(width, height, colour));
    } else if (format == "cut") {
        writeBytes(path, cut(width, height));
    } else if (format == "dcx") {
        std::string pcx = path + ".pcx";
        saveWithDevil(pcx, IL_PCX, width, height, colour);
        writeBytes(path, dcx(readBytes(pcx)));
        std::remove(pcx.c_str());
    } else if (format == "dcm") {
        writeBytes(path, dicom(width, height, colour));
    } else if (format == "jp2") {
        writeBytes(path, std::string("\0\0\0\x0cjP  \r\n\x87\n\0\0\0\x14" "ftypjp2 \0\0\0\0jp2 ", 32));
    } else if (format == "psp") {
        writeBytes(path, std::string("Paint Shop Pro Image File\n\x1a\0\0\0\0\0\x05\0\0\0", 36));
    } else if (format == "exr") {
        writeBytes(path, std::string("\x76\x2f\x31\x01\x02\0\0\0", 8));
    } else {
        throw std::runtime_error("no writer for " + format);
    }
}

void writeSolidJpeg(const std::string& path, uint32_t width, uint32_t height, const std::vector<int>& samples,
                    J_COLOR_SPACE stored, bool adobeMarker, const std::vector<std::pair<int, std::string>>& segments) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw std::runtime_error("cannot write " + path);
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = width;
    info.image_height = height;
    info.input_components = int(samples.size());
    info.in_color_space = samples.size() == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, stored);
    jpeg_set_quality(&info, 100, TRUE);
    info.write_Adobe_marker = adobeMarker ? TRUE : FALSE;
    jpeg_start_compress(&info, TRUE);
    for (const auto& segment : segments)
        jpeg_write_marker(&info, segment.first, reinterpret_cast<const JOCTET*>(segment.second.data()),
                          unsigned(segment.second.size()));
    std::vector<JSAMPLE> row(width * samples.size());
    for (size_t i = 0; i < row.size(); ++i) row[i] = JSAMPLE(samples[i % samples.size()]);
    JSAMPROW rows[1] = {row.data()};
    while (info.next_scanline < info.image_height) jpeg_write_scanlines(&info, rows, 1);
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}
