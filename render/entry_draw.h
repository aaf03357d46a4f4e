// Draws an entry of the list (model/file_info.h) into the current GL frame
// of a client of that size: an image as its texture fitted into the square
// from -1 to 1 (texel for pixel where it was decoded for that size), a
// folder as a blue marker. An image without a texture draws nothing.
#pragma once

class FileInfo;

void drawEntry(const FileInfo& entry, int clientWidth, int clientHeight);
