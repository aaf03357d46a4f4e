// The files beside a picture that its format reads too: a Dr. Halo .cut
// file's colours are in a .pal file of the same base name. The viewer hands
// them to its decode helper with the picture, which opens no file itself.
#pragma once

#include <string>
#include <vector>

// The names such files may have, in the order a decoder tries them (for a
// .cut: name.pal, name.Pal, ... name.PAL); none for other pictures.
std::vector<std::string> pictureCompanionNames(const std::string& path);
