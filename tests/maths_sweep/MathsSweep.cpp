// Compares the engine's maths functions with the C library's over every
// argument that each of the engine's uses can pass: all 2^32 single-precision
// values for the single-argument uses and for each fixed exponent, the
// reachable integer settings for the set-up formulas, and a large random
// sample (edge values mixed in) where two arguments vary. Both the scalar
// functions and the array forms the pixel loops use are checked.
//
// maths_sweep [case ...]   (no case: all of them; scripts/maths-sweep.sh)
// TM_MATHS_PATH=avx2 or =portable checks those paths instead of the widest
// one the processor has.
// Prints one line per case and exits 1 when any result differs.
#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "EngineMaths.h"
#include "../../engine/BitPatterns.h"
#include "../../engine/SettingUnits.h"

namespace {

constexpr int kBlock = 4096;

// Exponents the compiler cannot see.
volatile float g_one = 1.0f;
volatile float g_zero = 0.0f;
constexpr double kLn2 = 0.693147180559945309417232121458;

// Differences found by all threads of one case.
struct Tally {
    std::atomic<uint64_t> checked{0};
    std::atomic<uint64_t> differ{0};
    std::mutex mutex;
    int reported = 0;

    void Report(const char* what, const std::string& argument, uint64_t ours, uint64_t library) {
        differ.fetch_add(1);
        std::lock_guard<std::mutex> lock(mutex);
        if (reported++ < 8) {
            std::printf("  %s(%s): engine %016llx, C library %016llx\n", what, argument.c_str(),
                        static_cast<unsigned long long>(ours), static_cast<unsigned long long>(library));
        }
    }
};

std::string Hex(uint64_t bits) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(bits));
    return text;
}

// Runs block(begin, end) over [0, count) in blocks on every processor.
void Parallel(uint64_t count, const std::function<void(uint64_t, uint64_t)>& block) {
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    std::atomic<uint64_t> next{0};
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t) {
        pool.emplace_back([&] {
            for (uint64_t b = next.fetch_add(kBlock); b < count; b = next.fetch_add(kBlock)) {
                block(b, std::min<uint64_t>(count, b + kBlock));
            }
        });
    }
    for (auto& t : pool) t.join();
}

// A function of one float or double against its C library form (and its
// array form, where there is one) over the arguments arg(i), i in [0, count).
template <class T>
using NotDeduced = typename std::enable_if<true, T>::type;
template <class T, class Arg>
void Sweep(Tally& tally, const char* what, uint64_t count, const Arg& arg, T (*ours)(T),
           NotDeduced<T (*)(T)> library, NotDeduced<void (*)(const T*, T*, int64_t)> array) {
    Parallel(count, [&](uint64_t begin, uint64_t end) {
        T in[kBlock] = {};
        T out[kBlock];
        const int n = static_cast<int>(end - begin);
        for (int i = 0; i < n; ++i) in[i] = arg(begin + i);
        if (array) array(in, out, n);
        for (int i = 0; i < n; ++i) {
            const auto expected = BitsOf(library(in[i]));
            if (BitsOf(ours(in[i])) != expected) tally.Report(what, Hex(BitsOf(in[i])), BitsOf(ours(in[i])), expected);
            if (array && BitsOf(out[i]) != expected) tally.Report("array", Hex(BitsOf(in[i])), BitsOf(out[i]), expected);
        }
        tally.checked.fetch_add(n);
    });
}

// powf with the exponent y over the bases arg(i); the scalar form is
// checked on every `scalarStride`-th base (the array form on all).
void SweepPowfExponent(Tally& tally, float y, uint64_t count, const std::function<float(uint64_t)>& arg,
                       int scalarStride) {
    Parallel(count, [&](uint64_t begin, uint64_t end) {
        float in[kBlock] = {};
        float out[kBlock];
        const int n = static_cast<int>(end - begin);
        for (int i = 0; i < n; ++i) in[i] = arg(begin + i);
        PowfArrayFixedExponent(in, y, out, n);
        for (int i = 0; i < n; ++i) {
            const uint32_t expected = BitsOf(powf(in[i], y));
            const auto a = [&] { return Hex(BitsOf(in[i])) + ", " + Hex(BitsOf(y)); };  // only when reported
            if (BitsOf(out[i]) != expected) tally.Report("powf array", a(), BitsOf(out[i]), expected);
            if (i % scalarStride == 0 && BitsOf(Powf(in[i], y)) != expected) {
                tally.Report("powf", a(), BitsOf(Powf(in[i], y)), expected);
            }
        }
        tally.checked.fetch_add(n);
    });
}

void SweepPowExponent(Tally& tally, double y, uint64_t count, const std::function<double(uint64_t)>& arg) {
    Parallel(count, [&](uint64_t begin, uint64_t end) {
        double in[kBlock] = {};
        double out[kBlock];
        const int n = static_cast<int>(end - begin);
        for (int i = 0; i < n; ++i) in[i] = arg(begin + i);
        PowArrayFixedExponent(in, y, out, n);
        for (int i = 0; i < n; ++i) {
            const uint64_t expected = BitsOf(pow(in[i], y));
            const auto a = [&] { return Hex(BitsOf(in[i])) + ", " + Hex(BitsOf(y)); };
            if (BitsOf(out[i]) != expected) tally.Report("pow array", a(), BitsOf(out[i]), expected);
            if (BitsOf(Pow(in[i], y)) != expected) tally.Report("pow", a(), BitsOf(Pow(in[i], y)), expected);
        }
        tally.checked.fetch_add(n);
    });
}

// The i-th value of a random sequence (splitmix64's mixing): any thread can
// form its own, where seeding a generator per value would cost more than the
// comparison.
uint64_t Mixed(uint64_t i) {
    i += 0x9e3779b97f4a7c15ull;
    i = (i ^ (i >> 30)) * 0xbf58476d1ce4e5b9ull;
    i = (i ^ (i >> 27)) * 0x94d049bb133111ebull;
    return i ^ (i >> 31);
}

float AllFloats(uint64_t i) { return FloatOf(static_cast<uint32_t>(i)); }
float NonNegativeFloats(uint64_t i) { return FloatOf(static_cast<uint32_t>(i)); }  // i < 2^31

// Random bits, with one value in 16 taken from the edges.
float RandomFloat(std::mt19937_64& g) {
    static const float kEdges[] = {0.0f, -0.0f, 1.0f, -1.0f, INFINITY, -INFINITY, NAN, -NAN,
                                   FloatOf(0x7fa00000u), FloatOf(0x00000001u), FloatOf(0x007fffffu),
                                   FloatOf(0x00800000u), FLT_MAX, 0.5f, 2.0f, -2.0f, 3.0f, -3.0f};
    const uint64_t r = g();
    if ((r & 15) == 0) return kEdges[(r >> 4) % (sizeof kEdges / sizeof kEdges[0])];
    return FloatOf(static_cast<uint32_t>(r >> 32));
}

double RandomDouble(std::mt19937_64& g) {
    static const double kEdges[] = {0.0, -0.0, 1.0, -1.0, INFINITY, -INFINITY, NAN, -NAN,
                                    DoubleOf(0x7ff4000000000000ull), DoubleOf(1), DoubleOf(0x000fffffffffffffull),
                                    DBL_MIN, DBL_MAX, 0.5, 2.0, -2.0, 3.0, -3.0};
    const uint64_t r = g();
    if ((r & 15) == 0) return kEdges[(r >> 4) % (sizeof kEdges / sizeof kEdges[0])];
    return DoubleOf(g());
}

// The gamma exponent of a Gamma setting, as the output set-up forms it.
float GammaExponent(int32_t code) {
    float g = static_cast<float>(GammaExponentOfCode(code));
    if (g > 2.0 || g < 0.35) g = 1.0f;
    return g;
}

constexpr uint64_t kAll = uint64_t{1} << 32;
constexpr uint64_t kNonNegative = uint64_t{1} << 31;
constexpr uint64_t kRandomPairs = uint64_t{1} << 32;

struct Case {
    const char* name;
    std::function<void(Tally&)> run;
};

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        {"expf", [](Tally& t) { Sweep(t, "expf", kAll, AllFloats, Expf, ::expf, ExpfArray); }},
        {"logf", [](Tally& t) { Sweep(t, "logf", kAll, AllFloats, Logf, ::logf, LogfArray); }},
        {"log-of-float",
         [](Tally& t) {
             Sweep(t, "log", kAll, [](uint64_t i) { return static_cast<double>(AllFloats(i)); }, Log, ::log,
                         LogArray);
         }},
        {"log-of-scaled-float",
         [](Tally& t) {
             Sweep(t, "log", kAll, [](uint64_t i) { return static_cast<double>(AllFloats(i)) * 32768.0; }, Log,
                         ::log, LogArray);
         }},
        {"log-one-plus",
         [](Tally& t) {
             Sweep(t, "log", kAll, [](uint64_t i) { return 1.0 + AllFloats(i); }, Log, ::log, LogArray);
         }},
        {"log-two-plus-eight",
         [](Tally& t) {
             Sweep(t, "log", kAll, [](uint64_t i) { return 2.0 + 8.0 * AllFloats(i); }, Log, ::log, LogArray);
         }},
        {"log-plan-side",
         [](Tally& t) {
             Sweep(t, "log", kNonNegative, [](uint64_t i) { return static_cast<int32_t>(i) / 32.0; }, Log,
                         ::log, nullptr);
         }},
        {"exp-gamma",
         [](Tally& t) {
             Sweep(t, "exp", kAll,
                         [](uint64_t i) { return (50.0 - static_cast<int32_t>(static_cast<uint32_t>(i))) * kLn2 / 50; },
                         Exp, ::exp, nullptr);
         }},
        {"powf-0.23", [](Tally& t) { SweepPowfExponent(t, 0.23f, kAll, AllFloats, 1); }},
        {"powf-2.2", [](Tally& t) { SweepPowfExponent(t, 2.2f, kAll, AllFloats, 1); }},
        {"powf-1", [](Tally& t) { SweepPowfExponent(t, 1.0f, kAll, AllFloats, 1); }},
        {"powf-skipped",
         [](Tally& t) {
             // The replacements of Powf(x, 1) and Powf(x, 0) in the pixel loops,
             // against the library called with an exponent the compiler cannot
             // fold (it would turn powf(x, 1) into x, signalling NaNs and all).
             Sweep(t, "powf(x, 1)", kAll, AllFloats, PowfWithExponentOne,
                        [](float x) { return ::powf(x, g_one); }, nullptr);
             Sweep(t, "powf(x, 0)", kAll, AllFloats, PowfWithExponentZero,
                        [](float x) { return ::powf(x, g_zero); }, nullptr);
         }},
        {"pow-attenuation",
         [](Tally& t) {
             for (int32_t s = 1; s <= 13; ++s) {
                 const double beta = 1.0 - (static_cast<float>(s) + 0.5f) / 100.0;
                 SweepPowExponent(t, beta - 1, kNonNegative, [](uint64_t i) { return double{NonNegativeFloats(i)}; });
                 SweepPowExponent(t, beta - 1, kNonNegative, [s](uint64_t i) {
                     return DoubleOf(Mixed(uint64_t(s) << 40 | i) >> 1);  // positive doubles, all exponents
                 });
             }
         }},
        {"powf-random",
         [](Tally& t) {
             Parallel(kRandomPairs, [&](uint64_t begin, uint64_t end) {
                 std::mt19937_64 g(begin);
                 float x[kBlock] = {}, y[kBlock] = {}, out[kBlock];
                 const int n = static_cast<int>(end - begin);
                 for (int i = 0; i < n; ++i) {
                     x[i] = RandomFloat(g);
                     // Half of the exponents in 0..1, as the saturation exponents are.
                     y[i] = (i & 1) ? std::ldexp(static_cast<float>(g() >> 40), -24) : RandomFloat(g);
                 }
                 PowfArray(x, y, out, n);
                 for (int i = 0; i < n; ++i) {
                     const uint32_t expected = BitsOf(powf(x[i], y[i]));
                     const auto a = [&] { return Hex(BitsOf(x[i])) + ", " + Hex(BitsOf(y[i])); };
                     if (BitsOf(out[i]) != expected) t.Report("powf array", a(), BitsOf(out[i]), expected);
                     if (BitsOf(Powf(x[i], y[i])) != expected) t.Report("powf", a(), BitsOf(Powf(x[i], y[i])), expected);
                 }
                 t.checked.fetch_add(n);
             });
         }},
        {"pow-random",
         [](Tally& t) {
             Parallel(kRandomPairs, [&](uint64_t begin, uint64_t end) {
                 std::mt19937_64 g(begin + 1);
                 for (uint64_t i = begin; i < end; ++i) {
                     const double x = RandomDouble(g);
                     const double y = RandomDouble(g);
                     const uint64_t expected = BitsOf(pow(x, y));
                     if (BitsOf(Pow(x, y)) != expected) {
                         t.Report("pow", Hex(BitsOf(x)) + ", " + Hex(BitsOf(y)), BitsOf(Pow(x, y)), expected);
                     }
                 }
                 t.checked.fetch_add(end - begin);
             });
         }},
        {"powf-gamma",
         [](Tally& t) {
             for (int32_t code = 0; code <= kMaxGammaCode; ++code) {
                 SweepPowfExponent(t, GammaExponent(code), kNonNegative, NonNegativeFloats, 16);
             }
         }},
        {"powf-gamma-beyond-slider",
         [](Tally& t) {
             // Actions and settings files can give codes past the slider's end;
             // from 126 on the exponent is below 0.35 and becomes 1.
             for (int32_t code = kMaxGammaCode + 1; GammaExponent(code) != 1.0f; ++code) {
                 SweepPowfExponent(t, GammaExponent(code), kNonNegative, NonNegativeFloats, 16);
             }
         }},
        {"powf-saturation",
         [](Tally& t) {
             for (int32_t code = 0; code <= 100; ++code) {
                 SweepPowfExponent(t, static_cast<float>(code / 100.0), kNonNegative, NonNegativeFloats, 16);
             }
         }},
    };
    return cases;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> wanted(argv + 1, argv + argc);
    if (const char* path = std::getenv("TM_MATHS_PATH")) {
        SetMathsUsesAvx512(false);
        if (std::string(path) == "portable") SetMathsUsesFusedInstructions(false);
    }
    bool failed = false;
    std::printf("fused multiply-add and AVX2 paths: %s, AVX-512: %s\n", MathsUsesFusedInstructions() ? "yes" : "no",
                MathsUsesAvx512() ? "yes" : "no");
    for (const Case& c : Cases()) {
        if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), c.name) == wanted.end()) continue;
        Tally tally;
        c.run(tally);
        std::printf("%-22s %14llu arguments, %llu differ\n", c.name,
                    static_cast<unsigned long long>(tally.checked.load()),
                    static_cast<unsigned long long>(tally.differ.load()));
        std::fflush(stdout);
        failed = failed || tally.differ.load() != 0;
    }
    return failed ? 1 : 0;
}
