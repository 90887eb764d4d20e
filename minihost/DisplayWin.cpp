#include <windows.h>

#include <vector>

#include "HostCallbacks.h"

OSErr DrawPixelMap(const PSPixelMap& map, const VRect& source, int32_t row, int32_t column, void* context) {
    const bool gray = map.imageMode == plugInModeGrayScale;
    if (!gray && map.imageMode != plugInModeRGBColor) return paramErr;
    const int32_t width = source.right - source.left;
    const int32_t height = source.bottom - source.top;
    if (width <= 0 || height <= 0) return noErr;

    // The planes become one 32-bit pixel each, rows top first.
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    const auto* base = static_cast<const uint8_t*>(map.baseAddr);
    const int32_t green = gray ? 0 : map.planeBytes;
    const int32_t blue = gray ? 0 : 2 * map.planeBytes;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* line = base + static_cast<ptrdiff_t>(source.top + y - map.bounds.top) * map.rowBytes;
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* sample = line + static_cast<ptrdiff_t>(source.left + x - map.bounds.left) * map.colBytes;
            pixels[static_cast<size_t>(y) * width + x] =
                (uint32_t{sample[0]} << 16) | (uint32_t{sample[green]} << 8) | sample[blue];
        }
    }

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const int drawn = SetDIBitsToDevice(static_cast<HDC>(context), column, row, width, height, 0, 0, 0, height,
                                        pixels.data(), &info, DIB_RGB_COLORS);
    return drawn > 0 ? noErr : paramErr;
}
