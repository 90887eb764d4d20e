// Sample files for the settings file tests. Every sample goes through
// WriteSample, which also copies it into $TM_XMP_CORPUS_DIR when that is set:
// the samples are the seed corpus of the reader's fuzz target.
#pragma once

#include <cstdint>
#include <string>

// A path in this run's scratch folder.
std::string ScratchPath(const std::string& name);
// Writes `bytes` to ScratchPath(name) and returns the path.
std::string WriteSample(const std::string& name, const std::string& bytes);
std::string ReadBytes(const std::string& path);

// A file as the writer lays it out, with `elements` (whole lines) between the
// namespace line and the line that closes the description.
std::string XmpWith(const std::string& elements);
// What a successful read returns for a file laid out like the writer's: the
// bytes up to and including the line that closes the description.
int BytesThroughClosingLine(const std::string& text);
// Reads `bytes` as a settings file into `settings`.
int ReadSample(const std::string& name, const std::string& bytes, int32_t settings[15]);
