#include "PfmFile.h"

#include <cstring>
#include <string>
#include <vector>

void WritePfm(PendingFile* file, int32_t width, int32_t height, int channels, const float* samples) {
    // A negative scale says little-endian.
    const std::string head = std::string(channels == 1 ? "Pf" : "PF") + "\n" + std::to_string(width) + " " +
                             std::to_string(height) + "\n-1.0\n";
    int64_t offset = 0;
    WritePendingAt(file, head.data(), head.size(), offset);
    offset += static_cast<int64_t>(head.size());
    const size_t rowSamples = static_cast<size_t>(width) * channels;
    std::vector<uint8_t> row(rowSamples * 4);
    for (int32_t y = height - 1; file->failure == 0 && y >= 0; --y) {
        const float* source = samples + static_cast<size_t>(y) * rowSamples;
        for (size_t i = 0; i < rowSamples; ++i) {
            uint32_t bits = 0;
            std::memcpy(&bits, &source[i], 4);
            for (int b = 0; b < 4; ++b) row[i * 4 + b] = static_cast<uint8_t>(bits >> (8 * b));
        }
        WritePendingAt(file, row.data(), row.size(), offset);
        offset += static_cast<int64_t>(row.size());
    }
}
