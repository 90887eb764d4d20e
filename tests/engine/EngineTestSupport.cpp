#include "EngineTestSupport.h"

std::vector<float> SyntheticScene(int32_t w, int32_t h, int32_t nb) {
    std::vector<float> pixels(static_cast<size_t>(w) * h * nb);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const double u = (x + 0.5) / w;
            const double v = (y + 0.5) / h;
            // Four decades from left to right, with ripples and two light sources.
            double lum = std::pow(10.0, 4.0 * u - 3.0) * (1.0 + 0.3 * std::sin(25.0 * u) * std::cos(17.0 * v));
            const double d1 = (u - 0.3) * (u - 0.3) + (v - 0.4) * (v - 0.4);
            const double d2 = (u - 0.8) * (u - 0.8) + (v - 0.7) * (v - 0.7);
            if (d1 < 0.004) lum += 50.0;
            if (d2 < 0.002) lum += 200.0;
            float* p = &pixels[(static_cast<size_t>(y) * w + x) * nb];
            for (int32_t c = 0; c < nb; ++c) p[c] = static_cast<float>(lum * (0.8 + 0.2 * c));
        }
    }
    return pixels;
}
