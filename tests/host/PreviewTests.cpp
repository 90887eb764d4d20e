// The preview run through our host and the module's preview export: its
// geometry, the tone-mapped picture against the engine stages called
// directly, "Show Original" and its cache, the way back to the tone-mapped
// picture, and failures.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "../../engine/BitPatterns.h"
#include "../../engine/ToneMapEngine.h"
#include "HostTestSupport.h"
#include "RunParameters.h"
#include "SourcePicture.h"

namespace {

struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> planes;
    std::vector<int32_t> histogram;

    int64_t Counted() const {
        int64_t n = 0;
        for (int32_t c : histogram) n += c;
        return n;
    }
};

void PrintTo(const Picture& p, std::ostream* os) {
    *os << p.width << " x " << p.height << " picture, " << p.Counted() << " pixels counted";
}

bool operator==(const Picture& a, const Picture& b) {
    return a.width == b.width && a.height == b.height && a.planes == b.planes && a.histogram == b.histogram;
}

// The dialog's part, played by the test: open, sizes, computations, close.
struct PreviewSession {
    MiniHost& host;
    const PluginModule& module;
    PreviewExchange exchange{};

    int16_t Command(int16_t command) { return CallPreview(host, module, command, &exchange); }
    int16_t Open() { return Command(previewCommandOpen); }
    int16_t Close() { return Command(previewCommandClose); }
    int16_t SetSize(int32_t size) {
        exchange.size = size;
        return Command(previewCommandSetSize);
    }
    int16_t Compute() { return Command(previewCommandCompute); }

    // The picture and histogram of the last computation.
    Picture Shown() const {
        Picture p{exchange.width, exchange.height, {}, {}};
        if (exchange.picture == nullptr || exchange.histogram == nullptr) return p;
        p.planes.assign(exchange.picture, exchange.picture + size_t{3} * p.width * p.height);
        p.histogram.assign(exchange.histogram, exchange.histogram + 256);
        return p;
    }
    Picture ComputeAndShow() {
        EXPECT_EQ(Compute(), noErr);
        return Shown();
    }
};

// The preview's stages in the driver's order on the document's pixels.
Picture PreviewDirectly(const HostDocument& doc, const TMSettings& s, int32_t width, int32_t height) {
    const int depthCode = doc.depth == 32 ? 0 : 1;
    const int32_t nb = std::min<int>(doc.planes, 3);
    PyramidPlan plan{};
    PlanPyramids(width, height, s.lightSmoothingCode, 4, &plan);
    const size_t values = static_cast<size_t>(WorkBufferValues(plan));
    std::vector<float> work0(values), work1(values), work2(values);
    std::vector<float> table(65537);
    if (depthCode == 1) BuildLinearisationTable(0, 65536, table.data());
    const auto* f = reinterpret_cast<const float*>(doc.samples.data());
    const auto* c = reinterpret_cast<const uint16_t*>(doc.samples.data());
    ImageStats stats{};
    get_preview(0, depthCode, 0, 0, doc.width, doc.height, width, height, width, height, nb, &stats, f, table.data(),
                c, work0.data());
    tm1(depthCode, width, height, LuminositySteps(s.luminosityCode), s.microcontrastCode,
        MicroSmoothingFactor(s.microSmoothing), &plan, &stats, work0.data(), work1.data(), work2.data());
    tm2(width, height, width, height, plan.entry[7], plan.entry[8], plan.entry[5], plan.entry[11], work1.data(),
        work2.data(), work0.data());
    int32_t settings[kSettingCount];
    FillOutputSettings(s, settings);
    Picture p{width, height, std::vector<uint8_t>(size_t{3} * width * height), std::vector<int32_t>(256)};
    affich_preview(0, depthCode, 0, 0, doc.width, doc.height, width, height, nb, settings, 1.0, &stats, f,
                   table.data(), c, work0.data(), p.histogram.data(), p.planes.data());
    return p;
}

// A display byte straight from the formulas: code >> 7, or 255 x s^(1/2.2).
uint8_t LevelDirectly(const HostDocument& doc, size_t i) {
    if (doc.depth == 16) return static_cast<uint8_t>(std::min(Code16Samples(doc)[i] >> 7, 255));
    const float s = FloatSamples(doc)[i];
    if (!(s > 0)) return 0;
    return static_cast<uint8_t>(std::min(255.0, 255.0 * std::pow(static_cast<double>(s), 1.0 / 2.2)));
}

Picture SourcePictureDirectly(const HostDocument& doc, int32_t width, int32_t height) {
    Picture p{width, height, std::vector<uint8_t>(size_t{3} * width * height), std::vector<int32_t>(256)};
    const size_t plane = size_t{1} * width * height;
    for (int32_t y = 0; y < height; ++y) {
        const int32_t row = std::min(static_cast<int32_t>(y * (static_cast<float>(doc.height) / height)), doc.height - 1);
        for (int32_t x = 0; x < width; ++x) {
            const int32_t column =
                std::min(static_cast<int32_t>(x * (static_cast<float>(doc.width) / width)), doc.width - 1);
            const size_t i = (static_cast<size_t>(row) * doc.width + column) * doc.planes;
            const size_t k = static_cast<size_t>(y) * width + x;
            uint8_t rgb[3];
            for (int ch = 0; ch < 3; ++ch) p.planes[ch * plane + k] = rgb[ch] = LevelDirectly(doc, i + ch);
            ++p.histogram[(54 * rgb[0] + 183 * rgb[1] + 19 * rgb[2]) >> 8];
        }
    }
    return p;
}

// A host with the document prepared, as when the dialog is about to open.
void Prepare(MiniHost& host, const PluginModule& module) {
    ASSERT_EQ(CallSelector(host, module, filterSelectorPrepare), noErr);
}

class PreviewTest : public HostTest {};

class PreviewModulesTest : public HostTest, public ::testing::WithParamInterface<bool> {
protected:
    PluginModule Module() { return GetParam() ? BuiltModule() : InProcessModule(); }
};

TEST_F(PreviewTest, SizesKeepTheSelectionsAspect) {
    struct Case {
        int32_t width, height, size, previewWidth, previewHeight;
    };
    const Case cases[] = {{4000, 3000, 512, 512, 384}, {4000, 3000, 768, 768, 576}, {4000, 3000, 1024, 1024, 768},
                          {3000, 4000, 512, 384, 512}, {300, 200, 512, 300, 200},   {300, 200, 768, 300, 200},
                          {300, 200, 1024, 300, 200},  {200, 300, 1024, 200, 300},  {1000, 999, 512, 512, 511}};
    for (const Case& c : cases) {
        // The geometry reads only the selection: a small document with a
        // large selection rectangle stands in for a large image.
        MiniHost host;
        host.document = MakeDocument(std::min(c.width, 300), std::min(c.height, 300), 3, 16);
        host.document.filterRect = VRect{0, 0, c.height, c.width};
        Prepare(host, BuiltModule());
        PreviewSession session{host, BuiltModule()};
        ASSERT_EQ(session.Open(), noErr);
        ASSERT_EQ(session.SetSize(c.size), noErr);
        EXPECT_EQ(session.exchange.width, c.previewWidth) << c.width << " x " << c.height << " at " << c.size;
        EXPECT_EQ(session.exchange.height, c.previewHeight) << c.width << " x " << c.height << " at " << c.size;
        EXPECT_EQ(host.record.inputRate, 0x10000);
        EXPECT_EQ(host.record.maskRate, 0x10000);
        EXPECT_EQ(host.record.inputPadding, 255);
        EXPECT_EQ(host.record.maskPadding, 255);

        // A selection without area is refused and changes nothing.
        host.document.filterRect = VRect{0, 0, 0, c.width};
        EXPECT_EQ(session.SetSize(512), filterBadParameters);
        EXPECT_EQ(session.exchange.width, c.previewWidth);
        EXPECT_EQ(session.exchange.height, c.previewHeight);
        EXPECT_EQ(session.Close(), noErr);
        ExpectNothingOutstanding(host);
    }
}

TEST_P(PreviewModulesTest, ToneMappedPreviewIsTheStagesCalledDirectlyWithExponentOne) {
    for (int16_t depth : {int16_t(32), int16_t(16)}) {
        MiniHost host;
        host.document = Scene(700, 460, 3, depth);
        Prepare(host, Module());
        // The dialog opens on settings given as "Load..." gives them.
        TMSettings given = *SettingsOf(host);
        given.strength = 55;
        given.colorSaturation = 70;
        given.luminosityCode = 14;
        given.microSmoothing = 12;
        given.highlightsSmoothing = 20;
        given.colorTemperature = -2;
        int32_t slots[kSettingCount];
        SettingsToArray(given, slots);
        PreviewSession session{host, Module()};
        session.exchange.settings = slots;
        ASSERT_EQ(session.Open(), noErr);
        session.exchange.settings = nullptr;
        const TMSettings* s = SettingsOf(host);
        EXPECT_EQ(s->strength, 55);
        EXPECT_EQ(s->colorTemperature, -2);
        const Picture small = session.ComputeAndShow();
        EXPECT_EQ(small, PreviewDirectly(host.document, *s, 512, 336)) << "depth " << depth;
        EXPECT_EQ(small.Counted(), 512 * 336);
        EXPECT_GT(*std::max_element(small.planes.begin(), small.planes.end()), 200);

        ASSERT_EQ(session.SetSize(1024), noErr);
        EXPECT_EQ(session.ComputeAndShow(), PreviewDirectly(host.document, *s, 700, 460)) << "depth " << depth;
        // Whatever the larger run left in the work buffers plays no part.
        ASSERT_EQ(session.SetSize(512), noErr);
        EXPECT_EQ(session.ComputeAndShow(), small) << "depth " << depth;
        EXPECT_EQ(host.bufferAllocations, 6);
        EXPECT_TRUE(host.progress.empty());
        ASSERT_EQ(session.Close(), noErr);
        ExpectNothingOutstanding(host);
    }
}

TEST_F(PreviewTest, ShowOriginalBuildsEachSizeOnceAndCountsEveryPixel) {
    for (int16_t depth : {int16_t(32), int16_t(16)}) {
        MiniHost host;
        host.document = Scene(1300, 900, 3, depth);
        Prepare(host, BuiltModule());
        PreviewSession session{host, BuiltModule()};
        ASSERT_EQ(session.Open(), noErr);
        SettingsOf(host)->showPreview = 0;

        const Picture small = session.ComputeAndShow();
        EXPECT_EQ(small, SourcePictureDirectly(host.document, 512, 354)) << "depth " << depth;
        EXPECT_EQ(small.Counted(), 512 * 354);
        ASSERT_EQ(session.SetSize(1024), noErr);
        const Picture large = session.ComputeAndShow();
        EXPECT_EQ(large, SourcePictureDirectly(host.document, 1024, 708)) << "depth " << depth;
        EXPECT_EQ(large.Counted(), 1024 * 708);
        const uint8_t* invalid = SettingsOf(host)->cacheInvalid;
        EXPECT_EQ(invalid[0], 0);  // Small
        EXPECT_EQ(invalid[1], 1);  // Medium
        EXPECT_EQ(invalid[2], 0);  // Large

        // From the cache: a blacked-out document does not show. Back at
        // Small the histogram is Small's own, not the one built last.
        std::fill(host.document.samples.begin(), host.document.samples.end(), 0);
        ASSERT_EQ(session.SetSize(512), noErr);
        EXPECT_EQ(session.ComputeAndShow(), small);
        ASSERT_EQ(session.SetSize(1024), noErr);
        EXPECT_EQ(session.ComputeAndShow(), large);
        ASSERT_EQ(session.SetSize(768), noErr);
        const Picture medium = session.ComputeAndShow();
        EXPECT_EQ(medium.histogram[0], 768 * 531);
        EXPECT_EQ(invalid[1], 0);
        ASSERT_EQ(session.Close(), noErr);
        ExpectNothingOutstanding(host);
    }
}

TEST_F(PreviewTest, ShowOriginalShowsDeepSamplesAsTheHostShowsThem) {
    for (int16_t depth : {int16_t(16), int16_t(32)}) {
        MiniHost host;
        host.document = MakeDocument(120, 100, 3, depth);
        // Columns 0..5 of every row hold one value each in all three planes.
        const float linear[] = {1.5f, -0.2f, 0.5f, std::numeric_limits<float>::quiet_NaN(),
                                std::numeric_limits<float>::infinity(), 0.0001f};
        const uint16_t codes[] = {32768, 0, 16384, 255, 32767, 128};
        for (int32_t y = 0; y < 100; ++y)
            for (int32_t x = 0; x < 120; ++x)
                for (int ch = 0; ch < 3; ++ch) {
                    const size_t i = (static_cast<size_t>(y) * 120 + x) * 3 + ch;
                    if (depth == 32) FloatSamples(host.document)[i] = x < 6 ? linear[x] : 0.25f;
                    if (depth == 16) Code16Samples(host.document)[i] = x < 6 ? codes[x] : 8192;
                }
        Prepare(host, BuiltModule());
        SettingsOf(host)->showPreview = 0;
        PreviewSession session{host, BuiltModule()};
        ASSERT_EQ(session.Open(), noErr);
        const Picture p = session.ComputeAndShow();
        ASSERT_EQ(p.width, 120);
        const std::vector<uint8_t> row(p.planes.begin() + 120 * 50, p.planes.begin() + 120 * 50 + 6);
        // 255 x 0.5^(1/2.2) = 186.1; 255 x 0.0001^(1/2.2) = 3.9.
        const std::vector<uint8_t> expected =
            depth == 16 ? std::vector<uint8_t>{255, 0, 128, 1, 255, 1} : std::vector<uint8_t>{255, 0, 186, 0, 255, 3};
        EXPECT_EQ(row, expected) << "depth " << depth;
        EXPECT_EQ(p.planes[120 * 100 + 120 * 50 + 2], row[2]);  // green plane
        EXPECT_EQ(p.Counted(), 120 * 100);
        ASSERT_EQ(session.Close(), noErr);
    }
}

// The level of a linear sample through the module's step table equals the
// power itself, on and around every step.
TEST_F(PreviewTest, LinearLevelsEqualTheDoublePrecisionPower) {
    const auto direct = [](float s) {
        if (!(s > 0)) return 0;
        return static_cast<int>(std::min(255.0, 255.0 * std::pow(static_cast<double>(s), 1.0 / 2.2)));
    };
    for (uint32_t bits = 0; bits < 0x3F800400u; bits += 251) {
        const float s = FloatOf(bits);
        ASSERT_EQ(DisplayLevelOfLinear(s), direct(s)) << s;
    }
    for (int v = 1; v < 256; ++v) {
        const float step = static_cast<float>(std::pow(v / 255.0, 2.2));
        const uint32_t bits = BitsOf(step);
        for (uint32_t b = bits - 64; b <= bits + 64; ++b) ASSERT_EQ(DisplayLevelOfLinear(FloatOf(b)), direct(FloatOf(b)));
    }
    EXPECT_EQ(DisplayLevelOfLinear(-0.0f), 0);
    EXPECT_EQ(DisplayLevelOfLinear(std::numeric_limits<float>::denorm_min()), 0);
    EXPECT_EQ(DisplayLevelOfLinear(1.0f), 255);
    EXPECT_EQ(DisplayLevelOfLinear(3e38f), 255);
}

TEST_F(PreviewTest, ToggleBackRestoresWithoutAStageAndTheNextChangeRerunsThemAll) {
    MiniHost host;
    host.document = Scene(600, 400, 3, 32);
    Prepare(host, BuiltModule());
    TMSettings* s = SettingsOf(host);
    PreviewSession session{host, BuiltModule()};
    ASSERT_EQ(session.Open(), noErr);
    const Picture toneMapped = session.ComputeAndShow();
    ASSERT_EQ(session.Command(previewCommandShowOriginal), noErr);
    EXPECT_EQ(session.exchange.showingOriginal, 1);
    const Picture source = session.ComputeAndShow();
    EXPECT_EQ(source, SourcePictureDirectly(host.document, 512, 341));
    EXPECT_EQ(s->recomputeLevel, 2);

    // Settings that would give another picture, had any stage run.
    s->strength = 100;
    s->gammaCode = 20;
    ASSERT_EQ(session.Command(previewCommandShowOriginal), noErr);
    EXPECT_EQ(session.exchange.showingOriginal, 0);
    EXPECT_EQ(s->restorePreview, 1);
    EXPECT_EQ(session.ComputeAndShow(), toneMapped);
    EXPECT_EQ(s->restorePreview, 0);
    EXPECT_EQ(s->fullRecompute, 1);

    // The next change runs all four stages, even at recompute level 0.
    s->recomputeLevel = 0;
    EXPECT_EQ(session.ComputeAndShow(), PreviewDirectly(host.document, *s, 512, 341));
    EXPECT_EQ(s->fullRecompute, 0);
    EXPECT_EQ(s->recomputeLevel, 2);
    ASSERT_EQ(session.Close(), noErr);
    ExpectNothingOutstanding(host);
}

// The Gamma slider stays live under "Show Original": a second source picture
// must not take the tone-mapped picture's place for the way back.
TEST_F(PreviewTest, ToggleBackAfterAChangeUnderShowOriginalShowsTheNewToneMapping) {
    MiniHost host;
    host.document = Scene(600, 400, 3, 16);
    Prepare(host, BuiltModule());
    TMSettings* s = SettingsOf(host);
    PreviewSession session{host, BuiltModule()};
    ASSERT_EQ(session.Open(), noErr);
    const Picture first = session.ComputeAndShow();
    s->showPreview = 0;
    const Picture source = session.ComputeAndShow();
    s->gammaCode = 30;
    s->recomputeLevel = 2;
    EXPECT_EQ(session.ComputeAndShow(), source);
    s->showPreview = 1;
    s->restorePreview = 1;
    const Picture back = session.ComputeAndShow();
    EXPECT_EQ(back, PreviewDirectly(host.document, *s, 512, 341));
    EXPECT_NE(back.planes, first.planes);
    EXPECT_NE(back.planes, source.planes);
    ASSERT_EQ(session.Close(), noErr);
}

TEST_F(PreviewTest, ANewImageNeverShowsThePreviousImagesPictures) {
    MiniHost host;
    host.document = Scene(500, 400, 3, 32);
    Prepare(host, BuiltModule());
    {
        PreviewSession session{host, BuiltModule()};
        ASSERT_EQ(session.Open(), noErr);
        session.ComputeAndShow();
        SettingsOf(host)->showPreview = 0;  // the dialog closes showing the source
        session.ComputeAndShow();
        ASSERT_EQ(session.Close(), noErr);
    }
    // Another image in the same host: the globals and settings are kept.
    HostDocument other = Scene(500, 400, 3, 32);
    for (size_t i = 0; i < other.samples.size() / 4; ++i) FloatSamples(other)[i] *= (i % 7 == 0) ? 3.0f : 0.5f;
    host.document = other;
    Prepare(host, BuiltModule());
    PreviewSession session{host, BuiltModule()};
    ASSERT_EQ(session.Open(), noErr);
    EXPECT_EQ(session.ComputeAndShow(), SourcePictureDirectly(other, 500, 400));
    // Switching to the tone-mapped view in the new dialog computes it: no
    // picture of this dialog was saved to go back to.
    TMSettings* s = SettingsOf(host);
    s->showPreview = 1;
    s->restorePreview = 1;
    EXPECT_EQ(session.ComputeAndShow(), PreviewDirectly(other, *s, 500, 400));
    ASSERT_EQ(session.Close(), noErr);
    ExpectNothingOutstanding(host);
}

TEST_F(PreviewTest, BlackImageAndPaddedRows) {
    MiniHost host;
    host.document = MakeDocument(300, 200, 3, 32);
    Prepare(host, BuiltModule());
    SettingsOf(host)->showPreview = 0;
    PreviewSession session{host, BuiltModule()};
    ASSERT_EQ(session.Open(), noErr);
    EXPECT_EQ(session.ComputeAndShow().histogram[0], 300 * 200);
    // Nothing to tone-map in a black image: its luminance is flat.
    SettingsOf(host)->showPreview = 1;
    EXPECT_EQ(session.Compute(), filterBadParameters);
    ASSERT_EQ(session.Close(), noErr);
    ExpectNothingOutstanding(host);

    for (int16_t depth : {int16_t(32), int16_t(16)}) {
        Picture pictures[2][2];
        for (int padded = 0; padded < 2; ++padded) {
            MiniHost h;
            h.document = Scene(333, 222, 3, depth);
            h.rowPaddingBytes = padded ? 10 : 0;
            Prepare(h, BuiltModule());
            PreviewSession p{h, BuiltModule()};
            ASSERT_EQ(p.Open(), noErr);
            pictures[padded][0] = p.ComputeAndShow();
            SettingsOf(h)->showPreview = 0;
            pictures[padded][1] = p.ComputeAndShow();
            ASSERT_EQ(p.Close(), noErr);
        }
        EXPECT_EQ(pictures[0][0], pictures[1][0]) << "depth " << depth;
        EXPECT_EQ(pictures[0][1], pictures[1][1]) << "depth " << depth;
    }
}

TEST_P(PreviewModulesTest, EveryFailedAllocationOrLockIsOutOfMemoryWithNothingLeft) {
    // The six buffers in the dialog's order: display, cache, histograms,
    // work buffers 0, 1, 2. The tone-mapped preview needs no cache.
    for (int n = 1; n <= 6; ++n) {
        for (bool lock : {false, true}) {
            for (int showPreview : {1, 0}) {
                MiniHost host;
                host.document = Scene(200, 150, 3, 32);
                Prepare(host, Module());
                (lock ? host.faults.failBufferLock : host.faults.failBufferAllocation) = n;
                SettingsOf(host)->showPreview = static_cast<uint8_t>(showPreview);
                PreviewSession session{host, Module()};
                ASSERT_EQ(session.Open(), noErr);
                const int16_t expected = (n == 2 && showPreview == 1) ? noErr : memFullErr;
                EXPECT_EQ(session.Compute(), expected) << "buffer " << n << (lock ? " lock" : " allocation");
                EXPECT_EQ(session.Close(), noErr);
                ExpectNothingOutstanding(host);
            }
        }
    }
}

TEST_F(PreviewTest, CallsOutOfOrderAndOddRequestsAreRefused) {
    MiniHost host;
    host.document = Scene(300, 200, 3, 16);
    Prepare(host, BuiltModule());
    PreviewSession session{host, BuiltModule()};
    EXPECT_EQ(session.Compute(), memFullErr);  // not opened: no buffers
    ASSERT_EQ(session.Open(), noErr);
    ASSERT_EQ(session.Open(), noErr);  // opened twice: the first buffers are given back
    EXPECT_EQ(OutstandingBuffers(host), 6);
    EXPECT_EQ(session.Command(9), filterBadParameters);
    // 600 keeps Small's cache slot, which cannot hold a 600-pixel side.
    MiniHost wide;
    wide.document = Scene(900, 300, 3, 16);
    Prepare(wide, BuiltModule());
    PreviewSession odd{wide, BuiltModule()};
    ASSERT_EQ(odd.Open(), noErr);
    ASSERT_EQ(odd.SetSize(600), noErr);
    EXPECT_EQ(odd.Compute(), filterBadParameters);
    EXPECT_EQ(odd.Close(), noErr);
    ExpectNothingOutstanding(wide);
    EXPECT_EQ(session.Close(), noErr);
    ExpectNothingOutstanding(host);

    PluginModule withoutPreview = BuiltModule();
    withoutPreview.previewMain = nullptr;
    PreviewSession none{host, withoutPreview};
    EXPECT_EQ(none.Open(), filterBadParameters);

    // An 8-bit image is refused at prepare; its samples are never read.
    MiniHost eight;
    eight.document = MakeDocument(300, 200, 3, 8);
    EXPECT_EQ(CallSelector(eight, BuiltModule(), filterSelectorPrepare), filterBadParameters);
    PreviewSession refused{eight, BuiltModule()};
    ASSERT_EQ(refused.Open(), noErr);
    EXPECT_EQ(refused.Compute(), filterBadParameters);
    EXPECT_EQ(refused.Close(), noErr);
    ExpectNothingOutstanding(eight);
}

INSTANTIATE_TEST_SUITE_P(InProcessAndBuilt, PreviewModulesTest, ::testing::Bool());

}  // namespace
