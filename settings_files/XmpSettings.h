// XMP settings files: the fifteen settings as a small XMP packet in the
// private namespace `kvtm`. Both functions work on a settings array of 15
// int32 in settings-file order (see host/SettingsTable.h for the slots).
#pragma once

#include <cstdint>

// Writes a version 2.5 file. Returns 1, or -1 when the file cannot be created
// or written; a file that could not be written completely is left empty.
int WriteXmpSettings(const char* path, const int32_t settings[15]);

// Reads a settings file into the slots it carries; the others keep what the
// caller put there (Gamma defaults to 50). Returns the number of bytes the
// scan consumed (> 0), -1 (cannot open or seek), -2 (short read), -5 (a method
// of another family) or -10 (no settings namespace declaration).
int ReadXmpSettings(const char* path, int32_t settings[15]);
