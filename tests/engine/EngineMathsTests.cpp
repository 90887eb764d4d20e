// The engine's maths functions: the same bits as the C library of the Linux
// build (glibc, whose FMA variants they follow) on a sample of every use's
// arguments with the edge values, the same bits on every path (fused
// multiply-add and AVX2 or portable, scalar or array), and the powers that
// the pixel loops skip. The full sweep over all arguments is
// scripts/maths-sweep.sh.
#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "BitPatterns.h"
#include "EngineMaths.h"
#include "EngineTestSupport.h"
#include "SoftwareFma.h"

namespace {

constexpr double kLn2 = 0.693147180559945309417232121458;

// Every 65521st float, both signs, with the edge values: zeros, the
// smallest and largest subnormals and normals, 1 and its neighbours,
// infinities, quiet and signalling NaNs of both signs.
std::vector<float> SampleFloats() {
    std::vector<float> v;
    for (uint64_t u = 0; u < (uint64_t{1} << 32); u += 65521) v.push_back(FloatOf(static_cast<uint32_t>(u)));
    const uint32_t edges[] = {0x00000000u, 0x80000000u, 0x00000001u, 0x007fffffu, 0x00800000u, 0x3f7fffffu,
                              0x3f800000u, 0x3f800001u, 0x7f7fffffu, 0x7f800000u, 0xff800000u, 0x7fc00000u,
                              0xffc00000u, 0x7fa00001u, 0xffa00001u, 0x42b17217u, 0x42b17218u, 0xc2cff1b4u,
                              0xc2ce8ecfu, 0xbf800000u, 0x80000001u, 0xc0000000u};
    for (uint32_t e : edges) v.push_back(FloatOf(e));
    return v;
}

// The exponents the engine passes to powf: the global curve's, the output
// encodings', gamma and saturation settings.
std::vector<float> FixedExponents() {
    std::vector<float> y = {0.23f, 2.2f, 1.0f, 0.0f};
    for (int32_t code : {0, 13, 37, 49, 51, 64, 88, 100}) y.push_back(static_cast<float>(Exp((50.0 - code) * kLn2 / 50)));
    for (int32_t code : {1, 23, 46, 77, 99}) y.push_back(static_cast<float>(code / 100.0));
    return y;
}

// Every argument of every use, computed through `path`'s functions; the
// results' bits in order.
struct Results {
    std::vector<uint64_t> bits;
    void Add(float x) { bits.push_back(BitsOf(x)); }
    void Add(double x) { bits.push_back(BitsOf(x)); }
    uint64_t Checksum() const {
        uint64_t h = 14695981039346656037ull;  // FNV-1a over the 64-bit words
        for (uint64_t b : bits) h = (h ^ b) * 1099511628211ull;
        return h;
    }
};

struct Functions {
    float (*expf)(float);
    float (*logf)(float);
    float (*powf)(float, float);
    double (*exp)(double);
    double (*log)(double);
    double (*pow)(double, double);
};

Results Evaluate(const Functions& fn) {
    const std::vector<float> xs = SampleFloats();
    Results r;
    for (float x : xs) {
        r.Add(fn.expf(x));
        r.Add(fn.logf(x));
        r.Add(fn.log(x));
        r.Add(fn.log(x * 32768.0));
        r.Add(fn.log(1.0 + x));
        r.Add(fn.log(2.0 + 8.0 * x));
    }
    for (float y : FixedExponents()) {
        for (size_t i = 0; i < xs.size(); i += 7) r.Add(fn.powf(xs[i], y));
    }
    for (int32_t s = 1; s <= 13; ++s) {
        const double exponent = (1.0 - (static_cast<float>(s) + 0.5f) / 100.0) - 1;
        for (size_t i = 0; i < xs.size(); i += 7) r.Add(fn.pow(xs[i], exponent));
    }
    for (int32_t code = -200; code <= 300; ++code) r.Add(fn.exp((50.0 - code) * kLn2 / 50));
    for (int32_t m = -10; m <= 10; ++m) r.Add(fn.pow(2.0, m < 3 ? m / 2.5 : 0.8 + (m - 2) / 8.0));
    std::mt19937_64 random(11);
    for (int i = 0; i < 200000; ++i) {
        const float x = xs[random() % xs.size()];
        const float y = i % 2 ? std::ldexp(static_cast<float>(random() >> 40), -24) : xs[random() % xs.size()];
        r.Add(fn.powf(x, y));
        const double a = DoubleOf(random());
        const double b = i % 3 ? DoubleOf(random()) : static_cast<double>(y);
        r.Add(fn.pow(a, b));
        r.Add(fn.log(a));
        r.Add(fn.exp(b));
    }
    return r;
}

const Functions kEngine = {Expf, Logf, Powf, Exp, Log, Pow};

// Recorded on Linux from the C library's functions (glibc 2.36, x86-64).
constexpr uint64_t kLibraryChecksum = 0x7b26825b6fbb89abull;

TEST(EngineMaths, SameBitsAsTheCLibraryOnASampleOfEveryUse) {
    const Results engine = Evaluate(kEngine);
    EXPECT_EQ(engine.Checksum(), kLibraryChecksum) << std::hex << "0x" << engine.Checksum();
#ifdef __GLIBC__
    const Results library = Evaluate({::expf, ::logf, ::powf, ::exp, ::log, ::pow});
    ASSERT_EQ(engine.bits.size(), library.bits.size());
    size_t differing = 0;
    for (size_t i = 0; i < engine.bits.size(); ++i) differing += engine.bits[i] != library.bits[i];
    EXPECT_EQ(differing, 0u);
#endif
}

TEST(EngineMaths, PortableAndArrayPathsGiveTheSameBits) {
    const bool fused = MathsUsesFusedInstructions();
    const Results reference = Evaluate(kEngine);
    SetMathsUsesFusedInstructions(false);
    const Results portable = Evaluate(kEngine);
    SetMathsUsesFusedInstructions(fused);
    EXPECT_TRUE(portable.bits == reference.bits);

    // The array forms, on both paths, element by element.
    const std::vector<float> xs = SampleFloats();
    std::vector<double> xd(xs.begin(), xs.end());
    std::vector<float> ys(xs.size());
    std::mt19937 random(3);
    for (float& y : ys) y = random() % 3 ? std::ldexp(static_cast<float>(random() >> 8), -24) : xs[random() % xs.size()];
    const bool avx512 = MathsUsesAvx512();
    // AVX-512, AVX2 and the portable loops.
    for (int path = 0; path < 3; ++path) {
        const bool useFused = path < 2;
        SetMathsUsesFusedInstructions(useFused && fused);
        SetMathsUsesAvx512(path == 0 && avx512);
        std::vector<float> out(xs.size());
        std::vector<double> outD(xs.size());
        size_t differing = 0;
        ExpfArray(xs.data(), out.data(), static_cast<int64_t>(xs.size()));
        for (size_t i = 0; i < xs.size(); ++i) differing += BitsOf(out[i]) != BitsOf(Expf(xs[i]));
        LogfArray(xs.data(), out.data(), static_cast<int64_t>(xs.size()));
        for (size_t i = 0; i < xs.size(); ++i) differing += BitsOf(out[i]) != BitsOf(Logf(xs[i]));
        PowfArray(xs.data(), ys.data(), out.data(), static_cast<int64_t>(xs.size()));
        for (size_t i = 0; i < xs.size(); ++i) differing += BitsOf(out[i]) != BitsOf(Powf(xs[i], ys[i]));
        for (float y : FixedExponents()) {
            PowfArrayFixedExponent(xs.data(), y, out.data(), static_cast<int64_t>(xs.size()));
            for (size_t i = 0; i < xs.size(); ++i) differing += BitsOf(out[i]) != BitsOf(Powf(xs[i], y));
        }
        LogArray(xd.data(), outD.data(), static_cast<int64_t>(xd.size()));
        for (size_t i = 0; i < xd.size(); ++i) differing += BitsOf(outD[i]) != BitsOf(Log(xd[i]));
        for (double y : {-0.135, -0.075, -0.015, 0.5, 3.0, 1e30}) {
            PowArrayFixedExponent(xd.data(), y, outD.data(), static_cast<int64_t>(xd.size()));
            for (size_t i = 0; i < xd.size(); ++i) differing += BitsOf(outD[i]) != BitsOf(Pow(xd[i], y));
        }
        EXPECT_EQ(differing, 0u) << "path " << path;
    }
    SetMathsUsesFusedInstructions(fused);
    SetMathsUsesAvx512(avx512);
}

__attribute__((target("fma"))) double HardwareFma(double a, double b, double c) { return __builtin_fma(a, b, c); }

// Random operands of every magnitude, and sums whose exact result is
// near a tie, near zero, subnormal or beyond the largest double.
TEST(EngineMaths, SoftwareFusedMultiplyAddIsCorrectlyRounded) {
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("fma")) GTEST_SKIP() << "no fused multiply-add instruction to compare with";
    std::mt19937_64 random(5);
    const auto any = [&] {
        const uint64_t r = random();
        if ((r & 7) == 0) return DoubleOf((r & 0x800fffffffffffffull) | ((r >> 20) & 0x00f0000000000000ull));  // tiny
        return DoubleOf(r);
    };
    size_t differing = 0;
    for (int i = 0; i < 1000000; ++i) {
        const double a = any();
        const double b = (i & 3) == 0 ? 1.0 + std::ldexp(static_cast<double>(random() >> 40), -52) : any();
        double c = any();
        if ((i & 3) == 1) c = -(a * b);        // cancellation down to the rounding error
        if ((i & 3) == 2) c = std::ldexp(a * b, -54);  // a tie or near one
        const double expected = HardwareFma(a, b, c);
        const double actual = SoftwareFma(a, b, c);
        if (BitsOf(actual) != BitsOf(expected) && !(std::isnan(actual) && std::isnan(expected))) ++differing;
    }
    EXPECT_EQ(differing, 0u);
}

// The pixel loops skip powf with the exponent 1 or 0; the sweep proves the
// replacements over all floats, here a sample.
TEST(EngineMaths, PowersOfOneAndZeroNeedNoCall) {
    for (float x : SampleFloats()) {
        EXPECT_EQ(BitsOf(Powf(x, 1.0f)), BitsOf(PowfWithExponentOne(x))) << std::hex << BitsOf(x);
        EXPECT_EQ(BitsOf(Powf(x, 0.0f)), BitsOf(PowfWithExponentZero(x))) << std::hex << BitsOf(x);
        if (!std::isnan(x)) {
            EXPECT_EQ(BitsOf(PowfWithExponentOne(x)), BitsOf(x));
        }
    }
    // NaNs: quiet and positive with the exponent 1, signalling ones quiet with 0.
    EXPECT_EQ(BitsOf(Powf(FloatOf(0xffc00000u), 1.0f)), 0x7fc00000u);
    EXPECT_EQ(BitsOf(Powf(FloatOf(0xffa00001u), 1.0f)), 0x7fe00001u);
    EXPECT_EQ(BitsOf(Powf(FloatOf(0xffa00001u), 0.0f)), 0xffe00001u);
    EXPECT_EQ(BitsOf(Powf(FloatOf(0xffc00000u), 0.0f)), BitsOf(1.0f));
}

}  // namespace
