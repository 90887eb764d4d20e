// How much memory a run will take, known from the header alone, and how much
// the machine can give: checked before any pixel memory is taken, so that an
// image too large for the machine (or a header that claims one) is refused
// at once, with numbers, and the batch goes on.
#pragma once

#include <cstdint>
#include <string>

#include "../settings/SettingsRecord.h"
#include "ImageFiles.h"

struct RunMemory {
    uint64_t peakBytes = 0;       // the most the run holds at any moment
    int64_t workBufferBytes = 0;  // each of the plug-in's three work buffers; -1: a plan the plug-in refuses
};

// The run's peak: the document and alpha throughout, and at its largest
// moment either the strip being read, the plug-in's work buffers (it filters
// the document in place), or the output's encoded samples.
RunMemory EstimateRunMemory(const ImageSource& source, const TMSettings& settings);

// Memory the process can still take: the smallest of what the system has
// available (with free swap) and what the process's limits leave; 0 when
// nothing can be known.
uint64_t AvailableMemory();

// "850 MB", "14.9 GB".
std::string ByteCountText(uint64_t bytes);
