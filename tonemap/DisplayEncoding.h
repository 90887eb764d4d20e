// Linear results as integer display values (LinearToDisplay in
// CodeConversions.h) at the cost of a table look-up instead of a power, with
// the same value for every float. LinearToDisplay never decreases as its
// argument grows, so each display value k has a least float that reaches it,
// its threshold; a value's display value is the number of thresholds at or
// below it, found in the short run of thresholds that the value's leading
// bits leave open.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

struct DisplayTable {
    uint32_t scale = 0;              // 255 or 65535
    int shift = 0;                   // a float's bits shifted right by this index `firstValue`
    uint32_t firstStep = 0;          // a power of two above the most thresholds an index leaves open
    std::vector<float> threshold;    // [k]: the least float whose display value is k or more; [0] = 0,
                                     // infinity beyond the scale
    std::vector<uint16_t> firstValue;  // the display value of the least float of each index
};

// The table of a scale, built on first use (a few milliseconds) and kept.
const DisplayTable& DisplayTableOf(uint32_t scale);

// LinearToDisplay(linear, table.scale), exactly: from the display value of
// the least float that shares the value's index, steps of halving size over
// the thresholds, the same steps for every value.
inline uint32_t TableDisplayValue(const DisplayTable& table, float linear) {
    if (!(linear > 0.0f)) return 0;
    if (linear >= 1.0f) return table.scale;
    uint32_t bits = 0;
    std::memcpy(&bits, &linear, sizeof bits);
    uint32_t value = table.firstValue[bits >> table.shift];
    for (uint32_t step = table.firstStep; step > 0; step >>= 1)
        value += table.threshold[value + step] <= linear ? step : 0;
    return value;
}
