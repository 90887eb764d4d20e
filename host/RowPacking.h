// The stages assume rows back to back. A host that pads its rows gets them
// packed in place. The full run leaves its input packed (nothing reads it
// afterwards) and spreads its output out at the end; the preview, which reads
// the same input at every refresh, gives its input back spread out.
#pragma once

#include <cstdint>

// Moves rows of `packedBytes` bytes, `rowBytes` apart, together. False when
// the rows are shorter than the stages need.
bool PackRows(uint8_t* data, int32_t rowBytes, int32_t packedBytes, int32_t rows);

// Moves packed rows back to `rowBytes` apart.
void UnpackRows(uint8_t* data, int32_t rowBytes, int32_t packedBytes, int32_t rows);

// Keeps a delivered input packed while it is in scope and gives it back in
// the host's own layout on every way out, so that a host which hands the same
// buffer out again finds its rows where it left them.
struct ScopedPackedRows {
    uint8_t* data;
    int32_t rowBytes;
    int32_t packedBytes;
    int32_t rows;
    bool packed;

    ScopedPackedRows(uint8_t* data, int32_t rowBytes, int32_t packedBytes, int32_t rows)
        : data(data), rowBytes(rowBytes), packedBytes(packedBytes), rows(rows),
          packed(PackRows(data, rowBytes, packedBytes, rows)) {}
    ~ScopedPackedRows() {
        if (packed) UnpackRows(data, rowBytes, packedBytes, rows);
    }
    ScopedPackedRows(const ScopedPackedRows&) = delete;
    ScopedPackedRows& operator=(const ScopedPackedRows&) = delete;
};
