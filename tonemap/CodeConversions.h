// Sample values between files and the host's documents. A 16-bit document
// holds codes 0..32768 (32768 = white), a 16-bit file values 0..65535; a
// 32-bit document holds the linear values of float files. Display values
// are the linear result raised to 1/2.2, the inverse of the plug-in's output
// exponent for 32-bit documents.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

inline uint16_t FileValueToCode(uint16_t v) { return static_cast<uint16_t>((uint32_t(v) * 32768u + 32767u) / 65535u); }

inline uint16_t CodeToFileValue(uint16_t code) {
    const uint32_t c = std::min<uint32_t>(code, 32768u);
    return static_cast<uint16_t>((c * 65535u + 16384u) / 32768u);
}

inline uint8_t CodeTo8Bit(uint16_t code) {
    const uint32_t c = std::min<uint32_t>(code, 32768u);
    return static_cast<uint8_t>((c * 255u + 16384u) / 32768u);
}

// An 8-bit file value as the 16-bit file value it stands for (255 -> 65535).
inline uint16_t EightBitToFileValue(uint8_t v) { return static_cast<uint16_t>(v * 257u); }

// A linear value as an integer display value 0..scale (255 or 65535),
// rounded; values outside 0..1 and NaN are limited to the range.
inline uint32_t LinearToDisplay(float linear, uint32_t scale) {
    if (!(linear > 0.0f)) return 0;
    if (linear >= 1.0f) return scale;
    return static_cast<uint32_t>(std::floor(std::pow(double(linear), 1.0 / 2.2) * scale + 0.5));
}

// A 16-bit document code, a display value, as the linear value of float files.
inline float CodeToLinear(uint16_t code) {
    return static_cast<float>(std::pow(std::min<uint32_t>(code, 32768u) / 32768.0, 2.2));
}
