#include "PfmFile.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

bool WritePfm(const std::string& path, int32_t width, int32_t height, int channels, const float* samples,
              std::string* problem) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) {
        *problem = "cannot create the file";
        return false;
    }
    // A negative scale says little-endian.
    bool ok = std::fprintf(file.get(), "%s\n%d %d\n-1.0\n", channels == 1 ? "Pf" : "PF", width, height) > 0;
    const size_t rowSamples = static_cast<size_t>(width) * channels;
    std::vector<uint8_t> row(rowSamples * 4);
    for (int32_t y = height - 1; ok && y >= 0; --y) {
        const float* source = samples + static_cast<size_t>(y) * rowSamples;
        for (size_t i = 0; i < rowSamples; ++i) {
            uint32_t bits = 0;
            std::memcpy(&bits, &source[i], 4);
            for (int b = 0; b < 4; ++b) row[i * 4 + b] = static_cast<uint8_t>(bits >> (8 * b));
        }
        ok = std::fwrite(row.data(), 1, row.size(), file.get()) == row.size();
    }
    ok = std::fflush(file.get()) == 0 && ok;
    if (!ok) *problem = "cannot write the file (disk full?)";
    return ok;
}
