#include "EngineTestSupport.h"

std::vector<float> SyntheticScene(int32_t w, int32_t h) {
    std::vector<float> pixels(static_cast<size_t>(w) * h * 3);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const double u = (x + 0.5) / w;
            const double v = (y + 0.5) / h;
            double lum = std::pow(10.0, 4.0 * u - 3.0) * (1.0 + 0.3 * std::sin(25.0 * u) * std::cos(17.0 * v));
            if ((u - 0.3) * (u - 0.3) + (v - 0.4) * (v - 0.4) < 0.004) lum += 50.0;
            if ((u - 0.8) * (u - 0.8) + (v - 0.7) * (v - 0.7) < 0.002) lum += 200.0;
            for (int32_t c = 0; c < 3; ++c) pixels[(static_cast<size_t>(y) * w + x) * 3 + c] = static_cast<float>(lum * (0.8 + 0.2 * c));
        }
    }
    return pixels;
}
