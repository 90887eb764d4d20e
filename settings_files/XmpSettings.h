// XMP settings files: the fifteen settings as a small XMP packet in the
// private namespace `kvtm`. Both functions work on the settings array, 15
// int32 in settings-file order (SettingSlots.h).
#pragma once

#include <cstdint>
#include <string>

#include "../engine/SettingSlots.h"

// The text of a version 2.5 file, for writers that put it in place themselves.
std::string FormatXmpSettings(const int32_t settings[kSettingCount]);

// Writes a version 2.5 file. Returns 1, or -1 when the file cannot be created
// or written; a file that could not be written completely is left empty.
int WriteXmpSettings(const char* path, const int32_t settings[kSettingCount]);

// What ReadXmpSettings returns besides a positive byte count.
enum XmpReadResult {
    kXmpCannotOpen = -1,   // the file cannot be opened, or a seek fails
    kXmpShortRead = -2,    // the file gave fewer bytes than its size promised
    kXmpOtherMethod = -5,  // a Method element names a method of another family
    kXmpNoSettings = -10,  // no line declares the settings namespace
};

// Reads a settings file into the slots it carries; the others keep what the
// caller put there (Gamma defaults to 50). Returns the number of bytes the
// scan consumed (> 0), or an XmpReadResult.
int ReadXmpSettings(const char* path, int32_t settings[kSettingCount]);
