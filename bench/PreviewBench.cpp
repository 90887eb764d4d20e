// Times the dialog's preview refresh as the module computes it: our host
// loads the built module, prepares a 12-megapixel 32-bit RGB document and
// opens the preview through the module's preview export, then times one
// ComputePreview per iteration at each size:
//   ToneMapped      a change of a setting: get_preview, tm1, tm2, affich_preview
//   OriginalBuild   "Show Original" the first time at a size: the source picture
//   OriginalCached  "Show Original" again at that size: from the cache
// The host hands the module its own image (no copy), as for any request that
// only reads.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "../host/Settings.h"
#include "MiniHost.h"

namespace {

// Five decades of luminance, ripples and two bright sources.
HostDocument MakeScene(int32_t width, int32_t height) {
    HostDocument doc = MakeDocument(width, height, 3, 32);
    for (int32_t y = 0; y < height; ++y) {
        const double v = (y + 0.5) / height;
        for (int32_t x = 0; x < width; ++x) {
            const double u = (x + 0.5) / width;
            double lum = std::pow(10.0, 5.0 * u - 3.0) * (1.0 + 0.4 * std::sin(40.0 * u) * std::cos(31.0 * v));
            if ((u - 0.7) * (u - 0.7) + (v - 0.6) * (v - 0.6) < 0.001) lum += 5000.0;
            float* p = FloatSamples(doc) + (static_cast<size_t>(y) * width + x) * 3;
            p[0] = static_cast<float>(lum * 1.1);
            p[1] = static_cast<float>(lum);
            p[2] = static_cast<float>(lum * 0.8);
        }
    }
    return doc;
}

const PluginModule& Module() {
    static PluginModule module = [] {
        PluginModule m;
        std::string error;
        if (!LoadPluginModule(DefaultModulePath(), &m, &error) || m.previewMain == nullptr) std::abort();
        return m;
    }();
    return module;
}

// One host with the document prepared and the preview open, for all runs.
struct Session {
    MiniHost host;
    PreviewExchange exchange{};

    Session() {
        host.document = MakeScene(4000, 3000);
        if (CallSelector(host, Module(), filterSelectorPrepare) != noErr) std::abort();
        Command(previewCommandOpen);
    }
    ~Session() {
        Command(previewCommandClose);
        ReleaseKeptHandles(host);
    }
    int16_t Command(int16_t command) { return CallPreview(host, Module(), command, &exchange); }
    TMSettings* Settings() { return reinterpret_cast<TMSettings*>(PeekHandle(host, host.parameters)); }
    void SetSize(int32_t size) {
        exchange.size = size;
        Command(previewCommandSetSize);
    }
};

Session& TheSession() {
    static Session session;
    return session;
}

int32_t SizeIndex(int32_t size) { return size == 512 ? 0 : size == 768 ? 1 : 2; }

enum class Branch { ToneMapped, OriginalBuild, OriginalCached };

void RunPreview(benchmark::State& state, Branch branch) {
    Session& s = TheSession();
    const auto size = static_cast<int32_t>(state.range(0));
    s.SetSize(size);
    TMSettings* settings = s.Settings();
    settings->showPreview = branch == Branch::ToneMapped ? 1 : 0;
    if (branch == Branch::OriginalCached && s.Command(previewCommandCompute) != noErr) state.SkipWithError("failed");
    for (auto _ : state) {
        if (branch == Branch::OriginalBuild) settings->cacheInvalid[SizeIndex(size)] = 1;
        settings->recomputeLevel = 2;
        if (s.Command(previewCommandCompute) != noErr) state.SkipWithError("the preview failed");
    }
    state.SetLabel(std::to_string(s.exchange.width) + "x" + std::to_string(s.exchange.height));
}

void BM_PreviewToneMapped(benchmark::State& state) { RunPreview(state, Branch::ToneMapped); }
void BM_PreviewOriginalBuild(benchmark::State& state) { RunPreview(state, Branch::OriginalBuild); }
void BM_PreviewOriginalCached(benchmark::State& state) { RunPreview(state, Branch::OriginalCached); }

void Sizes(benchmark::internal::Benchmark* b) {
    b->ArgName("size")->Arg(512)->Arg(768)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();
}

}  // namespace

BENCHMARK(BM_PreviewToneMapped)->Apply(Sizes);
BENCHMARK(BM_PreviewOriginalBuild)->Apply(Sizes);
BENCHMARK(BM_PreviewOriginalCached)->Apply(Sizes);

BENCHMARK_MAIN();
