// Draws an entry of the list (model/file_info.h) into the current GL frame:
// an image as its texture fitted into the square from -1 to 1, a folder as
// a blue marker. An image without a texture draws nothing.
#pragma once

class FileInfo;

void drawEntry(const FileInfo& entry);
