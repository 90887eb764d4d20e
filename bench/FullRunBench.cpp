// Times the whole full-image run as the start selector runs it: our host
// loads the built module and applies the filter to 32-bit and 16-bit RGB
// documents of 1, 4 and 12 megapixels, handing the module a copy of the
// image as a separate input, as Photoshop does (in_place:0), or the document
// itself as input and output, as the command-line tool's host does
// (in_place:1). The module's progress reports split the time into its
// stages: get_image (0-5), tm1 (5-30), tm2 (30-70) and the output operator
// (70 to the end); the copy comes before them.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>

#include "MiniHost.h"

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point gMarks[4];
Clock::time_point gRunStart;

void MarkProgress(int32_t done, int32_t) {
    const int index = done == 0 ? 0 : done == 5 ? 1 : done == 30 ? 2 : 3;
    gMarks[index] = Clock::now();
}

double Milliseconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Five decades of luminance, ripples and two bright sources.
void FillDocument(HostDocument& doc) {
    for (int32_t y = 0; y < doc.height; ++y) {
        const double v = (y + 0.5) / doc.height;
        for (int32_t x = 0; x < doc.width; ++x) {
            const double u = (x + 0.5) / doc.width;
            double lum = std::pow(10.0, 5.0 * u - 3.0) * (1.0 + 0.4 * std::sin(40.0 * u) * std::cos(31.0 * v));
            if ((u - 0.7) * (u - 0.7) + (v - 0.6) * (v - 0.6) < 0.001) lum += 5000.0;
            const double rgb[3] = {lum * 1.1, lum, lum * 0.8};
            for (int c = 0; c < 3; ++c) {
                const size_t i = (static_cast<size_t>(y) * doc.width + x) * 3 + c;
                if (doc.depth == 32)
                    FloatSamples(doc)[i] = static_cast<float>(rgb[c]);
                else
                    Code16Samples(doc)[i] =
                        static_cast<uint16_t>(std::fmin(32768.0, std::pow(rgb[c] / 100.0, 1 / 2.2) * 32768.0));
            }
        }
    }
}

const PluginModule& Module() {
    static PluginModule module = [] {
        PluginModule m;
        std::string error;
        if (!LoadPluginModule(DefaultModulePath(), &m, &error)) std::abort();
        return m;
    }();
    return module;
}

void BM_FullRun(benchmark::State& state) {
    const int32_t width = static_cast<int32_t>(state.range(0));
    const int32_t height = static_cast<int32_t>(state.range(1));
    const int16_t depth = static_cast<int16_t>(state.range(2));
    const bool inPlace = state.range(3) != 0;
    HostDocument source = MakeDocument(width, height, 3, depth);
    FillDocument(source);

    double stageTotals[4] = {};
    for (auto _ : state) {
        state.PauseTiming();
        MiniHost host;
        host.document = source;
        host.progressObserver = MarkProgress;
        host.inPlace = inPlace;
        state.ResumeTiming();
        gRunStart = Clock::now();
        if (RunFilter(host, Module(), true) != noErr) state.SkipWithError("the run failed");
        const Clock::time_point end = Clock::now();
        stageTotals[0] += Milliseconds(gMarks[0], gMarks[1]);
        stageTotals[1] += Milliseconds(gMarks[1], gMarks[2]);
        stageTotals[2] += Milliseconds(gMarks[2], gMarks[3]);
        stageTotals[3] += Milliseconds(gMarks[3], end);
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["get_image_ms"] = stageTotals[0] / runs;
    state.counters["tm1_ms"] = stageTotals[1] / runs;
    state.counters["tm2_ms"] = stageTotals[2] / runs;
    state.counters["output_ms"] = stageTotals[3] / runs;
    state.counters["MP/s"] = benchmark::Counter(static_cast<double>(width) * height * 1e-6 * runs,
                                                benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_FullRun)
    ->ArgNames({"w", "h", "bits", "in_place"})
    ->Args({1152, 864, 32, 0})
    ->Args({2304, 1728, 32, 0})
    ->Args({4000, 3000, 32, 0})
    ->Args({4000, 3000, 32, 1})
    ->Args({1152, 864, 16, 0})
    ->Args({2304, 1728, 16, 0})
    ->Args({4000, 3000, 16, 0})
    ->Args({4000, 3000, 16, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
