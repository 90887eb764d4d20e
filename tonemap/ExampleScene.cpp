#include "ExampleScene.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

// A room lit through a window by the afternoon sun. Radiance, linear, with
// 1.0 about a white wall in good indoor light: the sun's disc reaches 50000,
// the sky a few hundred, the sunlit floor about a hundred, the room between
// 0.01 and 1, the shadow under the sofa a thousandth. Every value follows
// from the pixel position through fixed formulas and an integer hash, so the
// scene is the same on every run.
namespace {

struct Rgb {
    float r, g, b;
};

Rgb operator*(Rgb a, float k) { return {a.r * k, a.g * k, a.b * k}; }
Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }

// A reproducible pseudo-random value in [0, 1) for a lattice point.
float Hash(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return static_cast<float>(h & 0xFFFFFF) / 16777216.0f;
}

// Smoothly interpolated lattice noise of the given cell size, in [0, 1).
float ValueNoise(float x, float y, float cell, uint32_t seed) {
    const float fx = x / cell, fy = y / cell;
    const int32_t ix = static_cast<int32_t>(std::floor(fx)), iy = static_cast<int32_t>(std::floor(fy));
    float tx = fx - ix, ty = fy - iy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    const float top = Hash(ix, iy, seed) * (1 - tx) + Hash(ix + 1, iy, seed) * tx;
    const float bottom = Hash(ix, iy + 1, seed) * (1 - tx) + Hash(ix + 1, iy + 1, seed) * tx;
    return top * (1 - ty) + bottom * ty;
}

bool Inside(float x, float y, float left, float top, float right, float bottom) {
    return x >= left && x < right && y >= top && y < bottom;
}

// Scene geometry in units of the image height (u across, v down, v = 1 at the bottom).
struct Layout {
    float aspect;  // width / height
    float floorLine = 0.72f;
    float windowLeft, windowRight, windowTop = 0.10f, windowBottom = 0.56f;
    float sunU, sunV = 0.20f;
};

Layout MakeLayout(float aspect) {
    Layout l;
    l.aspect = aspect;
    l.windowLeft = 0.56f * aspect;
    l.windowRight = 0.86f * aspect;
    l.sunU = 0.64f * aspect;
    return l;
}

bool OnMullion(const Layout& l, float u, float v) {
    const float width = 0.012f;
    const float midU = (l.windowLeft + l.windowRight) / 2, midV = (l.windowTop + l.windowBottom) / 2;
    return std::fabs(u - midU) < width || std::fabs(v - midV) < width || u < l.windowLeft + width ||
           u > l.windowRight - width || v < l.windowTop + width || v > l.windowBottom - width;
}

Rgb Outside(const Layout& l, float u, float v) {
    if (OnMullion(l, u, v)) return Rgb{0.06f, 0.05f, 0.04f};  // the frame against the light
    const float du = u - l.sunU, dv = v - l.sunV;
    const float r = std::sqrt(du * du + dv * dv);
    const float height = (v - l.windowTop) / (l.windowBottom - l.windowTop);
    Rgb view;
    const float hill = 0.38f + 0.08f * std::sin(u * 9.0f) + 0.04f * std::sin(u * 23.0f + 1.0f);
    if (height > hill) {  // sunlit hills with trees
        const float leaves = 0.6f + 0.4f * ValueNoise(u * 900, v * 900, 5, 11);
        view = Rgb{0.12f, 0.30f, 0.06f} * (180.0f * leaves);
    } else {  // the sky, deeper blue towards the top
        view = Rgb{0.35f + 0.4f * height, 0.55f + 0.3f * height, 1.0f} * (300.0f + 300.0f * height);
    }
    const float glow = 6000.0f * std::exp(-r / 0.025f) + 600.0f * std::exp(-r / 0.08f);
    view = view + Rgb{1.0f, 0.95f, 0.85f} * glow;
    if (r < 0.018f) view = Rgb{1.0f, 0.97f, 0.9f} * 50000.0f;
    return view;
}

// Light reaching a point of the room: the window's soft light, falling off
// with distance, and a dim bounce everywhere.
float RoomLight(const Layout& l, float u, float v) {
    const float du = u - (l.windowLeft + l.windowRight) / 2, dv = v - (l.windowTop + l.windowBottom) / 2;
    const float d2 = (du * du + dv * dv) / 0.09f;
    const float corners = 0.55f + 0.45f * std::sin(3.14159265f * std::clamp(u / l.aspect, 0.0f, 1.0f));
    return (0.015f + 0.9f / (1.0f + d2)) * corners;
}

// Where the sun, through the window, falls on the floor: the window's shape
// sheared towards the lower left, with the mullions' shadows.
bool InSunPatch(const Layout& l, float u, float v) {
    if (v < l.floorLine + 0.02f) return false;
    const float depth = (v - l.floorLine) / (1 - l.floorLine);  // 0 at the wall, 1 at the bottom
    const float su = u + 0.55f * depth * l.aspect * 0.35f;
    const float sv = l.windowTop + (l.windowBottom - l.windowTop) * (1 - depth);
    return Inside(su, sv, l.windowLeft, l.windowTop, l.windowRight, l.windowBottom) && !OnMullion(l, su, sv);
}

Rgb Wall(const Layout& l, float u, float v) {
    const float stripes = 0.92f + 0.08f * (std::fmod(u * 40.0f, 1.0f) < 0.5f ? 1.0f : 0.0f);
    const float grain = 0.9f + 0.1f * ValueNoise(u * 2000, v * 2000, 2, 3);
    Rgb paint{0.78f, 0.68f, 0.52f};
    // A painting of saturated squares on the left wall.
    if (Inside(u, v, 0.14f * l.aspect, 0.18f, 0.36f * l.aspect, 0.42f)) {
        const int cell = static_cast<int>(u * 18) + 3 * static_cast<int>(v * 18);
        static const Rgb colours[4] = {
            {0.8f, 0.02f, 0.5f}, {0.02f, 0.6f, 0.7f}, {0.9f, 0.7f, 0.02f}, {0.1f, 0.1f, 0.75f}};
        paint = colours[cell % 4];
    }
    return paint * (stripes * grain * RoomLight(l, u, v));
}

Rgb Floor(const Layout& l, float u, float v) {
    const float plank = (v - l.floorLine) * 40.0f;
    const int row = static_cast<int>(plank);
    const float along = u * 14.0f + Hash(row, 0, 7) * 5.0f;
    const bool seam = plank - row < 0.06f || along - std::floor(along) < 0.01f;
    const float grain = 0.75f + 0.25f * std::sin(u * 300.0f + 6.0f * ValueNoise(u * 400, v * 1600, 8, row));
    Rgb wood = Rgb{0.46f, 0.28f, 0.14f} * (grain * (seam ? 0.3f : 1.0f) * (0.85f + 0.3f * Hash(row, 1, 7)));
    float light = RoomLight(l, u, v) * 0.7f;
    if (InSunPatch(l, u, v)) light += 300.0f;
    // The sofa's shadow on the floor.
    if (Inside(u, v, 0.06f * l.aspect, l.floorLine, 0.40f * l.aspect, l.floorLine + 0.08f)) light *= 0.02f;
    return wood * light;
}

// A red sofa on the left, a blue vase and a green plant by the window.
bool Furniture(const Layout& l, float u, float v, Rgb* colour) {
    const float light = RoomLight(l, u, v);
    if (Inside(u, v, 0.08f * l.aspect, 0.52f, 0.38f * l.aspect, l.floorLine + 0.05f)) {
        const float weave = 0.85f + 0.15f * ((static_cast<int>(u * 700) + static_cast<int>(v * 700)) % 2);
        const float fold = 0.8f + 0.2f * std::cos(u * 40.0f);
        *colour = Rgb{0.72f, 0.04f, 0.03f} * (light * weave * fold);
        if (v > l.floorLine) *colour = *colour * 0.05f;  // the dark space under it
        return true;
    }
    const float vaseU = 0.50f * l.aspect, du = u - vaseU, dv = v - 0.62f;
    if (std::fabs(du) < 0.035f * (1.2f - 0.6f * std::fabs(dv) / 0.09f) && std::fabs(dv) < 0.09f) {
        const float shade = 0.5f + 0.5f * std::cos(du / 0.035f * 1.4f);
        const float sun = du > 0.01f ? 40.0f : 0.0f;  // the side turned to the window catches the sun
        *colour = Rgb{0.04f, 0.14f, 0.85f} * (light * shade + sun * shade);
        return true;
    }
    const float pu = 0.93f * l.aspect, pv = 0.50f;
    const float leafU = (u - pu) / 0.09f, leafV = (v - pv) / 0.16f;
    if (leafU * leafU + leafV * leafV < 1.0f && ValueNoise(u * 600, v * 600, 6, 21) > 0.35f) {
        *colour = Rgb{0.08f, 0.55f, 0.06f} * (light * (0.6f + 0.4f * ValueNoise(u * 600, v * 600, 3, 22)));
        return true;
    }
    return false;
}

Rgb ScenePixel(const Layout& l, float u, float v) {
    Rgb colour{};
    if (Furniture(l, u, v, &colour)) return colour;
    if (Inside(u, v, l.windowLeft, l.windowTop, l.windowRight, l.windowBottom)) return Outside(l, u, v);
    if (v >= l.floorLine) return Floor(l, u, v);
    return Wall(l, u, v);
}

}  // namespace

HostDocument MakeExampleScene(int32_t width, int32_t height) {
    HostDocument doc = MakeDocument(width, height, 3, 32);
    const Layout layout = MakeLayout(static_cast<float>(width) / height);
    float* samples = FloatSamples(doc);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const Rgb c = ScenePixel(layout, (x + 0.5f) / height, (y + 0.5f) / height);
            float* p = samples + (static_cast<size_t>(y) * width + x) * 3;
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
        }
    }
    return doc;
}
