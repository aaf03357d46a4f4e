// The byte builders of test files: numbers as file headers store them.
#pragma once

#include <cstdint>
#include <string>

inline std::string le16(uint32_t v) { return {char(v & 0xFF), char((v >> 8) & 0xFF)}; }
inline std::string le32(uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); }
inline std::string be16(uint32_t v) { return {char((v >> 8) & 0xFF), char(v & 0xFF)}; }
inline std::string be32(uint32_t v) { return be16(v >> 16) + be16(v & 0xFFFF); }
