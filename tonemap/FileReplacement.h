// Writing a file so that nothing is ever half-written or lost: the contents
// go to a hidden temporary file beside the target, are flushed to the disk,
// and are renamed over the target only when complete and only when the target
// is missing or a regular file. Until then the temporary file is registered
// (PendingFiles.h), so that a signal cannot leave it behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct PendingFile {
    std::string target;
    std::string temporary;
    int fd = -1;
    int failure = 0;  // the first errno of a write, or 0
};

// An errno value of our own for "exists and is not a regular file".
constexpr int kNotARegularFile = -1;

// Whether `path` may be replaced: it does not exist, or it (or what its link
// names) is a regular file. Otherwise the errno-style reason: kNotARegularFile,
// or EISDIR for a folder.
int ReplaceableProblem(const std::string& path);

// The temporary name for `target`: hidden, unique by chance, and never longer
// than the target's own name unless that is shorter than 5 bytes.
std::string TemporaryNameFor(const std::string& target, uint64_t randomBits);

// Creates the temporary file (mode 0666 less the umask). False with errno.
bool BeginReplacement(const std::string& target, PendingFile* file);

// Writes at an offset; after a failure every later write is skipped, so that
// the failure reported is the first.
void WritePendingAt(PendingFile* file, const void* bytes, size_t size, int64_t offset);

// Flushes the file to the disk, closes it and renames it over the target.
// False with the reason in file->failure; the temporary file is then gone.
bool CommitReplacement(PendingFile* file);

// Closes and removes the temporary file; harmless when there is none.
void AbandonReplacement(PendingFile* file);

// Replaces `target` with `text` as above; false with the errno-style reason
// in *failure.
bool ReplaceWithText(const std::string& target, const std::string& text, int* failure);

// A failure in words, for "Cannot write X: <words>.".
std::string FileFailureText(int failure);
