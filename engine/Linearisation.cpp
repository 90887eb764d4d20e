#include <cmath>

#include "EngineMaths.h"
#include "ToneMapEngine.h"

int32_t BuildLinearisationTable(int32_t curveSelector, int32_t levels, float* table) {
    const int32_t n = levels < 1 ? 256 : levels;
    const float inv = static_cast<float>(1.0 / n);
    const float exponent = curveSelector <= 0 ? 2.2f : 1.0f;
    const float scale = static_cast<float>(n);
    int32_t i = 1;
    for (; i < n; ++i) table[i] = scale * Powf(static_cast<float>(i) * inv, exponent);
    // Code 0 maps to the small positive value of code 1, never to 0. A
    // one-entry table has no code 1: it gets the value code 1 would have.
    table[0] = n > 1 ? table[1] : scale * Powf(inv, exponent);
    return i;
}
