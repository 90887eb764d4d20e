#include <algorithm>

#include "PyramidLevels.h"

namespace {

int32_t HalfUp(int32_t n) { return (n >> 1) + (n & 1); }

// ((W-1)(H-1)) div ((w-1)(h-1)) as a float: about 4^k at level k, the
// squared grid spacing of the level relative to level 0.
float LevelScale(int32_t width, int32_t height, int32_t w, int32_t h) {
    const int64_t fine = static_cast<int64_t>(width - 1) * (height - 1);
    const int64_t coarse = static_cast<int64_t>(w - 1) * (h - 1);
    return coarse > 0 ? static_cast<float>(fine / coarse) : 1.0f;
}

}  // namespace

bool PlanSolverLevels(int32_t width, int32_t height, int32_t coarsestWidth, int32_t coarsestHeight,
                      int32_t levels, SolverLevels* out) {
    if (width < 2 || height < 2) return false;

    int32_t wc = coarsestWidth;
    int32_t hc = coarsestHeight;
    int32_t l = levels;
    bool replanned = false;
    if (l < 1) {
        // With no level below the grid the V-cycle would only zero u.
        l = 1;
        replanned = true;
    }
    // 2^L must not exceed a side, or the resampled level 1 would be empty.
    const int32_t shortSide = std::min(width, height);
    while (l > 1 && (l > 30 || (int32_t{1} << l) > shortSide)) {
        --l;
        replanned = true;
    }
    if (replanned) {
        int32_t unusedSize = 0;
        PlanLevels(width, height, l, 9, &unusedSize, &wc, &hc);
    }

    SolverLevels& s = *out;
    s.levelCount = l;
    const int32_t p = int32_t{1} << l;
    s.resampleWidth = width % p != 0;
    s.resampleHeight = height % p != 0;
    s.resampled = s.resampleWidth || s.resampleHeight;
    int32_t firstWidth = 0;  // level 1 when resampled
    int32_t firstHeight = 0;
    s.rx = s.ry = s.bx = s.by = 0.0f;
    if (s.resampled) {
        const int32_t wp = p * (width / p);
        const int32_t hp = p * (height / p);
        wc = wp;
        hc = hp;
        for (int32_t i = 0; i < l; ++i) {
            if (wc >= 4 && hc >= 4) {
                wc /= 2;
                hc /= 2;
            }
        }
        firstWidth = wp / 2;
        firstHeight = hp / 2;
        s.rx = static_cast<float>(width) / static_cast<float>(firstWidth);
        s.ry = static_cast<float>(height) / static_cast<float>(firstHeight);
        s.bx = static_cast<float>(1.0 / s.rx);
        s.by = static_cast<float>(1.0 / s.ry);
    }

    int32_t k = 0;
    s.width[0] = width;
    s.height[0] = height;
    s.offset[0] = 0;
    int64_t values = static_cast<int64_t>(width) * height;
    while (s.width[k] > wc && k < l) {
        const int32_t w = s.width[k];
        const int32_t h = s.height[k];
        const bool resample = k == 0 && s.resampled;
        // The 2 x 2 mean and copy need even sides; divisibility by 2^L gives them.
        if (!resample && ((w & 1) || (h & 1))) return false;
        s.width[k + 1] = resample ? firstWidth : HalfUp(w);
        s.height[k + 1] = resample ? firstHeight : HalfUp(h);
        const int64_t next = static_cast<int64_t>(s.width[k + 1]) * s.height[k + 1];
        if (values + next > INT32_MAX) return false;
        s.offset[k + 1] = static_cast<int32_t>(values);
        values += next;
        ++k;
    }
    s.count = k + 1;
    for (int32_t i = 0; i < s.count; ++i) s.scale[i] = LevelScale(width, height, s.width[i], s.height[i]);
    s.values = values;
    return true;
}
