// Portable float maps, written by hand: the image library of the build reads
// PFM but cannot write it.
#pragma once

#include <cstdint>

#include "FileReplacement.h"

// Writes `channels` (1 or 3) interleaved floats per pixel, rows top first in
// `samples`, into a file being replaced; the file stores them little-endian,
// bottom row first. Failures are left in file->failure.
void WritePfm(PendingFile* file, int32_t width, int32_t height, int channels, const float* samples);
