// Times get_image, tm1, tm2, affich_image and the chain get_image -> tm1 ->
// tm2 on synthetic 32-bit RGB scenes of 1, 4 and 12 megapixels. Reports
// milliseconds per run and megapixels per second (counter MP/s). The preview
// stages get_preview, tm1 + tm2 and affich_preview are timed on the 12
// megapixel scene at the preview's three sizes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "ToneMapEngine.h"

namespace {

// A deterministic HDR scene: five decades of luminance across the width,
// ripples, a dark band and two bright sources.
std::vector<float> SyntheticScene(int32_t w, int32_t h) {
    std::vector<float> pixels(static_cast<size_t>(w) * h * 3);
    for (int32_t y = 0; y < h; ++y) {
        const double v = (y + 0.5) / h;
        for (int32_t x = 0; x < w; ++x) {
            const double u = (x + 0.5) / w;
            double lum = std::pow(10.0, 5.0 * u - 3.0) * (1.0 + 0.4 * std::sin(40.0 * u) * std::cos(31.0 * v));
            if (v > 0.45 && v < 0.5) lum *= 0.01;
            if ((u - 0.3) * (u - 0.3) + (v - 0.3) * (v - 0.3) < 0.002) lum += 500.0;
            if ((u - 0.7) * (u - 0.7) + (v - 0.6) * (v - 0.6) < 0.001) lum += 5000.0;
            float* p = &pixels[(static_cast<size_t>(y) * w + x) * 3];
            p[0] = static_cast<float>(lum * 1.1);
            p[1] = static_cast<float>(lum);
            p[2] = static_cast<float>(lum * 0.8);
        }
    }
    return pixels;
}

// One scene with its plan, work buffers and the inputs of tm1 and tm2, kept
// for all benchmarks of its size.
struct Fixture {
    int32_t w, h;
    PyramidPlan plan{};
    std::vector<float> pixels;
    std::vector<float> b0, b1, b2;
    std::vector<float> logLuminance;  // get_image's output
    std::vector<float> divergence;    // tm1's output
    std::vector<float> adapted;       // tm2's output
    std::vector<float> output;        // affich_image's output
    ImageStats stats{};               // after get_image
    ImageStats landmarks{};           // after tm1

    Fixture(int32_t width, int32_t height) : w(width), h(height), pixels(SyntheticScene(width, height)) {
        PlanPyramids(w, h, 0, 4, &plan);
        const size_t values = static_cast<size_t>(WorkBufferValues(plan));
        b0.assign(values, 0.0f);
        b1.assign(values, 0.0f);
        b2.assign(values, 0.0f);
        GetImage();
        logLuminance = b0;
        landmarks = stats;
        Attenuate(&landmarks);
        divergence = b0;
        Solve();
        adapted = b0;
        output.assign(pixels.size(), 0.0f);
    }
    double Megapixels() const { return w * static_cast<double>(h) / 1e6; }
    void GetImage() {
        stats = ImageStats{};
        get_image(0, w, h, w, h, 3, 0, &stats, pixels.data(), nullptr, nullptr, b0.data());
    }
    void Attenuate(ImageStats* s) {
        tm1(0, w, h, 7, 0, 0.0f, &plan, s, b0.data(), b1.data(), b2.data());
    }
    void Solve() {
        const int32_t* e = plan.entry;
        tm2(e[kPlanRowLength], e[kPlanRowCount], e[kPlanRowLength], e[kPlanRowCount], e[kPlanSolverCoarsestWidth],
            e[kPlanSolverCoarsestHeight], e[kPlanSolverSize], e[kPlanSolverLevels], b1.data(), b2.data(), b0.data());
    }
    // The full run's first-use settings of a 32-bit image.
    void Output() {
        const int32_t settings[15] = {0, 70, 46, 5000, 0, 0, 0, 0, 50, 0, 0, 0, 0, 0, 0};
        affich_image(0, w, h, 3, 0, settings, 2.2, &landmarks, pixels.data(), nullptr, nullptr, b0.data(),
                     output.data(), nullptr);
    }
};

Fixture& FixtureOf(int64_t megapixels) {
    static std::map<int64_t, std::unique_ptr<Fixture>> fixtures;
    auto& f = fixtures[megapixels];
    if (!f) {
        // 4:3 frames: 1152 x 864, 2304 x 1728, 4000 x 3000.
        const int32_t w = megapixels == 1 ? 1152 : (megapixels == 4 ? 2304 : 4000);
        f = std::make_unique<Fixture>(w, w * 3 / 4);
    }
    return *f;
}

void Report(benchmark::State& state, const Fixture& f) {
    state.counters["MP/s"] = benchmark::Counter(f.Megapixels(), benchmark::Counter::kIsIterationInvariantRate);
    state.SetLabel(std::to_string(f.w) + "x" + std::to_string(f.h));
}

// Restores a buffer outside the timed region.
void Restore(benchmark::State& state, std::vector<float>* buffer, const std::vector<float>& saved) {
    state.PauseTiming();
    std::memcpy(buffer->data(), saved.data(), saved.size() * sizeof(float));
    state.ResumeTiming();
}

void BM_GetImage(benchmark::State& state) {
    Fixture& f = FixtureOf(state.range(0));
    for (auto _ : state) {
        f.GetImage();
        benchmark::DoNotOptimize(f.b0.data());
    }
    Report(state, f);
}

void BM_Tm1(benchmark::State& state) {
    Fixture& f = FixtureOf(state.range(0));
    for (auto _ : state) {
        Restore(state, &f.b0, f.logLuminance);
        ImageStats s = f.stats;
        f.Attenuate(&s);
        benchmark::DoNotOptimize(f.b0.data());
    }
    Report(state, f);
}

void BM_Tm2(benchmark::State& state) {
    Fixture& f = FixtureOf(state.range(0));
    for (auto _ : state) {
        Restore(state, &f.b0, f.divergence);
        f.Solve();
        benchmark::DoNotOptimize(f.b0.data());
    }
    Report(state, f);
}

void BM_Output(benchmark::State& state) {
    Fixture& f = FixtureOf(state.range(0));
    for (auto _ : state) {
        Restore(state, &f.b0, f.adapted);
        f.Output();
        benchmark::DoNotOptimize(f.output.data());
    }
    Report(state, f);
}

void BM_Chain(benchmark::State& state) {
    Fixture& f = FixtureOf(state.range(0));
    for (auto _ : state) {
        f.GetImage();
        ImageStats s = f.stats;
        f.Attenuate(&s);
        f.Solve();
        benchmark::DoNotOptimize(f.b0.data());
    }
    Report(state, f);
}

// The 12-megapixel scene's preview at one size: its plan, work buffers and
// adapted luminance, kept for all preview benchmarks of that size.
struct PreviewFixture {
    const Fixture& source;
    int32_t w, h;
    PyramidPlan plan{};
    std::vector<float> b0, b1, b2;
    std::vector<float> adapted;  // tm2's output
    ImageStats stats{};          // after tm1
    std::vector<uint8_t> picture;
    std::vector<int32_t> histogram;

    PreviewFixture(const Fixture& scene, int32_t size)
        : source(scene), w(size), h(static_cast<int32_t>(size * (static_cast<float>(scene.h) / scene.w))) {
        PlanPyramids(w, h, 0, 4, &plan);
        const size_t values = static_cast<size_t>(WorkBufferValues(plan));
        b0.assign(values, 0.0f);
        b1.assign(values, 0.0f);
        b2.assign(values, 0.0f);
        Adapt();
        adapted = b0;
        picture.assign(static_cast<size_t>(3) * w * h, 0);
        histogram.assign(256, 0);
    }
    void GetPreview() {
        stats = ImageStats{};
        get_preview(0, 0, 0, 0, source.w, source.h, w, h, w, h, 3, &stats, source.pixels.data(), nullptr, nullptr,
                    b0.data());
    }
    void Adapt() {
        GetPreview();
        tm1(0, w, h, 7, 0, 0.0f, &plan, &stats, b0.data(), b1.data(), b2.data());
        const int32_t* e = plan.entry;
        tm2(w, h, e[3], e[4], e[7], e[8], e[5], e[11], b1.data(), b2.data(), b0.data());
    }
    void Output() {
        const int32_t settings[15] = {0, 70, 46, 5000, 0, 0, 0, 0, 50, 0, 0, 0, 0, 0, 0};
        affich_preview(0, 0, 0, 0, source.w, source.h, w, h, 3, settings, 1.0, &stats, source.pixels.data(),
                       nullptr, nullptr, b0.data(), histogram.data(), picture.data());
    }
};

PreviewFixture& PreviewFixtureOf(int64_t size) {
    static std::map<int64_t, std::unique_ptr<PreviewFixture>> fixtures;
    auto& f = fixtures[size];
    if (!f) f = std::make_unique<PreviewFixture>(FixtureOf(12), static_cast<int32_t>(size));
    return *f;
}

void ReportPreview(benchmark::State& state, const PreviewFixture& f) {
    state.SetLabel(std::to_string(f.w) + "x" + std::to_string(f.h));
}

void BM_GetPreview(benchmark::State& state) {
    PreviewFixture& f = PreviewFixtureOf(state.range(0));
    for (auto _ : state) {
        f.GetPreview();
        benchmark::DoNotOptimize(f.b0.data());
    }
    ReportPreview(state, f);
}

// get_preview, tm1 and tm2 together, as every preview refresh runs them.
void BM_PreviewAdapt(benchmark::State& state) {
    PreviewFixture& f = PreviewFixtureOf(state.range(0));
    for (auto _ : state) {
        f.Adapt();
        benchmark::DoNotOptimize(f.b0.data());
    }
    ReportPreview(state, f);
}

void BM_PreviewOutput(benchmark::State& state) {
    PreviewFixture& f = PreviewFixtureOf(state.range(0));
    for (auto _ : state) {
        Restore(state, &f.b0, f.adapted);
        f.Output();
        benchmark::DoNotOptimize(f.picture.data());
    }
    ReportPreview(state, f);
}

void PreviewSizes(benchmark::internal::Benchmark* b) {
    b->Arg(512)->Arg(768)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Arg(1)->Arg(4)->Arg(12)->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_GetImage)->Apply(Sizes);
BENCHMARK(BM_Tm1)->Apply(Sizes);
BENCHMARK(BM_Tm2)->Apply(Sizes);
BENCHMARK(BM_Output)->Apply(Sizes);
BENCHMARK(BM_Chain)->Apply(Sizes);
BENCHMARK(BM_GetPreview)->Apply(PreviewSizes);
BENCHMARK(BM_PreviewAdapt)->Apply(PreviewSizes);
BENCHMARK(BM_PreviewOutput)->Apply(PreviewSizes);

}  // namespace

// TM_ENGINE_THREADS=n runs the stages on n threads (default: all processors).
int main(int argc, char** argv) {
    if (const char* threads = std::getenv("TM_ENGINE_THREADS")) SetEngineThreads(std::atoi(threads));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    {
        // As in the full run: worker threads kept between the stages.
        const EngineThreadScope threads;
        benchmark::RunSpecifiedBenchmarks();
    }
    benchmark::Shutdown();
    return 0;
}
