// Finding tags in a line's window and reading the value that follows one.
// Nothing here looks beyond the window's bytes.
#pragma once

#include <cstdint>

#include "XmpFormat.h"
#include "XmpLineScanner.h"

// Offset of the first occurrence of `tag` at or after `from` that ends before
// the window's last byte; -1 when there is none.
int FindInWindow(const XmpWindow& window, const char* tag, int from);

// "%d" from `offset` on; when it fails, once more from one byte later.
bool ReadIntAt(const XmpWindow& window, int offset, int32_t* value);
// "%f" from `offset` on, with the same second attempt.
bool ReadFloatAt(const XmpWindow& window, int offset, float* value);

// "%d.%d" from `offset` on, as sscanf reads it: the major version is stored as
// soon as it parses, the minor one only after a '.'. Returns the numbers read.
int ReadVersionAt(const XmpWindow& window, int offset, int32_t* major, int32_t* minor);

// The first of `words` whose bytes stand at `offset`, or nullptr.
const XmpWord* MatchWordAt(const XmpWindow& window, int offset, const XmpWord* words, int wordCount);
