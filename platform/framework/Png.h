#pragma once
#include <cstdint>
#include <string>

namespace fw {

// Writes 32-bit pixels (0xAARRGGBB in memory order B, G, R, A, top row first)
// as an opaque RGB PNG. Returns false and leaves no partial file on failure.
bool WritePng(const std::string& path, int width, int height, const std::uint32_t* pixels);

} // namespace fw
