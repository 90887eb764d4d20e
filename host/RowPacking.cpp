#include "RowPacking.h"

#include <cstddef>
#include <cstring>

bool PackRows(uint8_t* data, int32_t rowBytes, int32_t packedBytes, int32_t rows) {
    if (rowBytes < packedBytes) return false;
    if (rowBytes > packedBytes)
        for (int32_t y = 1; y < rows; ++y)
            std::memmove(data + static_cast<size_t>(y) * packedBytes, data + static_cast<size_t>(y) * rowBytes,
                         packedBytes);
    return true;
}

void UnpackRows(uint8_t* data, int32_t rowBytes, int32_t packedBytes, int32_t rows) {
    if (rowBytes > packedBytes)
        for (int32_t y = rows - 1; y > 0; --y)
            std::memmove(data + static_cast<size_t>(y) * rowBytes, data + static_cast<size_t>(y) * packedBytes,
                         packedBytes);
}
