// Portable float maps, written by hand: the image library of the build reads
// PFM but cannot write it.
#pragma once

#include <cstdint>
#include <string>

// Writes `channels` (1 or 3) interleaved floats per pixel, rows top first in
// `samples`; the file stores them little-endian, bottom row first.
bool WritePfm(const std::string& path, int32_t width, int32_t height, int channels, const float* samples,
              std::string* problem);
