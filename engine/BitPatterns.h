// The bit patterns of floating-point values and back.
#pragma once

#include <cstdint>
#include <cstring>

inline uint32_t BitsOf(float x) {
    uint32_t u;
    std::memcpy(&u, &x, sizeof u);
    return u;
}
inline uint64_t BitsOf(double x) {
    uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    return u;
}
inline float FloatOf(uint32_t u) {
    float x;
    std::memcpy(&x, &u, sizeof x);
    return x;
}
inline double DoubleOf(uint64_t u) {
    double x;
    std::memcpy(&x, &u, sizeof x);
    return x;
}
