#include "DisplayEncoding.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>

#include "CodeConversions.h"

namespace {

// The bits of 1.0f: every value below it has a smaller bit pattern.
constexpr uint32_t kOneBits = 0x3F800000u;

float Below(float v) { return std::nextafter(v, 0.0f); }
float Above(float v) { return std::nextafter(v, 1.0f); }

// The least float in (0, 1) whose display value is `k` or more, from the
// inverse of the curve and a few steps of one unit in the last place.
float Threshold(uint32_t k, uint32_t scale) {
    float v = static_cast<float>(std::pow((k - 0.5) / scale, 2.2));
    if (LinearToDisplay(v, scale) >= k) {
        while (v > 0.0f && LinearToDisplay(Below(v), scale) >= k) v = Below(v);
    } else {
        do v = Above(v);
        while (LinearToDisplay(v, scale) < k);
    }
    return v;
}

DisplayTable MakeDisplayTable(uint32_t scale) {
    DisplayTable table;
    table.scale = scale;
    // Enough leading bits that a few thresholds at most share an index.
    table.shift = scale <= 255 ? 16 : 11;
    table.threshold.assign(scale + 1, std::numeric_limits<float>::infinity());
    table.threshold[0] = 0.0f;
    for (uint32_t k = 1; k <= scale; ++k) table.threshold[k] = Threshold(k, scale);

    const uint32_t indices = kOneBits >> table.shift;
    table.firstValue.resize(indices + 1);
    uint32_t value = 0;
    for (uint32_t index = 0; index <= indices; ++index) {
        const uint32_t bits = index << table.shift;
        float least = 0.0f;
        std::memcpy(&least, &bits, sizeof least);
        while (value < scale && table.threshold[value + 1] <= least) ++value;
        table.firstValue[index] = static_cast<uint16_t>(value);
    }
    // The steps from an index's first value reach every value its floats can
    // have: up to the first value of the next index, whose threshold lies
    // beyond them all.
    uint32_t widest = 0;
    for (uint32_t index = 0; index < indices; ++index)
        widest = std::max<uint32_t>(widest, table.firstValue[index + 1] - table.firstValue[index]);
    table.firstStep = 1;
    while (table.firstStep * 2 <= widest) table.firstStep *= 2;
    table.threshold.resize(scale + 2 * table.firstStep, std::numeric_limits<float>::infinity());
    return table;
}

}  // namespace

const DisplayTable& DisplayTableOf(uint32_t scale) {
    static std::mutex building;
    static DisplayTable eight, sixteen;
    std::lock_guard<std::mutex> lock(building);
    DisplayTable& table = scale <= 255 ? eight : sixteen;
    if (table.scale == 0) table = MakeDisplayTable(scale <= 255 ? 255 : 65535);
    return table;
}
