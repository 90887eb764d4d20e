// Shared set-up of the host tests: the module's entry point in-process and the
// built module loaded through our host.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "../../minihost/MiniHost.h"
#include "../BuiltModule.h"
#include "Settings.h"
#include "StandInDialogs.h"

extern "C" void PluginMain(int16_t selector, void* pluginParamBlock, intptr_t* data, int16_t* result);
extern "C" void SetMessageBoxHandler(MessageBoxHandler handler);
extern "C" void PreviewMain(int16_t command, void* pluginParamBlock, intptr_t* data, int16_t* result,
                            PreviewExchange* exchange);
extern "C" int16_t SetPanoramaFlag(void* parameters, int32_t size, int32_t is360);
extern "C" int32_t GetRunDetail(const void* globals, int32_t size);

inline PluginModule InProcessModule() {
    PluginModule module;
    module.main = PluginMain;
    module.setMessageBoxHandler = SetMessageBoxHandler;
    module.previewMain = PreviewMain;
    module.setPanoramaFlag = SetPanoramaFlag;
    module.getRunDetail = GetRunDetail;
    return module;
}

// A small deterministic HDR scene: a dim room with a bright window, fine
// texture, saturated patches and a few black pixels.
inline void FillScene(HostDocument& doc) {
    for (int32_t y = 0; y < doc.height; ++y) {
        for (int32_t x = 0; x < doc.width; ++x) {
            const bool window = x > doc.width / 2 && x < doc.width * 3 / 4 && y > doc.height / 5 && y < doc.height / 2;
            const double base = window ? 40.0 : 0.01 + 0.2 * x / doc.width + 0.1 * y / doc.height;
            const double texture = 1.0 + 0.3 * std::sin(x * 0.9) * std::cos(y * 1.3);
            const double rgb[3] = {base * texture * (1.0 + 0.5 * (x % 17 == 0)), base * texture,
                                   base * texture * (y % 13 == 0 ? 2.0 : 0.8)};
            const bool black = (x * 7 + y * 3) % 251 == 0;
            for (int c = 0; c < doc.planes; ++c) {
                const size_t i = (static_cast<size_t>(y) * doc.width + x) * doc.planes + c;
                const double v = black ? 0.0 : rgb[std::min(c, 2)];
                if (doc.depth == 32)
                    FloatSamples(doc)[i] = static_cast<float>(v);
                else
                    Code16Samples(doc)[i] = static_cast<uint16_t>(std::min(32768.0, std::pow(v / 50.0, 1 / 2.2) * 32768));
            }
        }
    }
}

inline HostDocument Scene(int32_t width, int32_t height, int16_t planes, int16_t depth) {
    HostDocument doc = MakeDocument(width, height, planes, depth);
    FillScene(doc);
    return doc;
}

inline TMSettings* SettingsOf(MiniHost& host) {
    return reinterpret_cast<TMSettings*>(PeekHandle(host, host.parameters));
}

inline TMGlobals* GlobalsOf(MiniHost& host) {
    return reinterpret_cast<TMGlobals*>(PeekHandle(host, reinterpret_cast<Handle>(host.data)));
}

// Every buffer the module took is freed and nothing is left locked.
inline void ExpectNothingOutstanding(const MiniHost& host) {
    EXPECT_EQ(OutstandingBuffers(host), 0);
    EXPECT_EQ(OutstandingBufferLocks(host), 0);
    EXPECT_EQ(OutstandingHandleLocks(host), 0);
}

// Resets the stand-in dialogs before and after every test.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override { gStandIn = StandInDialogs{}; }
    void TearDown() override { gStandIn = StandInDialogs{}; }
};
