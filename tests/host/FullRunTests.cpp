// The full-image run through our host: what reaches the document, progress,
// cancellation, allocation failures, and equality with the engine stages
// called directly on the same pixels.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "../../engine/ToneMapEngine.h"
#include "HostTestSupport.h"
#include "RunParameters.h"

namespace {

// The settings array of the output stage, slot by slot as written down for
// the output operators, independent of the module's own mapping: Luminosity,
// Light Smoothing, Microcontrast and Micro-smoothing act on earlier stages and
// reach it as 0.
std::vector<int32_t> OutputSlots(const TMSettings& s) {
    return {0, s.strength, s.colorSaturation, s.whitePoint, s.blackPoint, 0, 0, 0, s.gammaCode,
            s.highlightsSmoothing, s.shadowsSmoothing, s.shadowsClipping, s.colorTemperature,
            s.saturationHighlights, s.saturationShadows};
}

// The stages in the run's order on a packed copy of the document's pixels.
std::vector<uint8_t> ToneMapDirectly(const HostDocument& doc, const TMSettings& s) {
    const int depthCode = doc.depth == 32 ? 0 : 1;
    const int32_t w = doc.width, h = doc.height, nb = std::min<int>(doc.planes, 3);
    const int32_t pad = s.is360 ? w / 4 : 0;
    PyramidPlan plan{};
    PlanPyramids(w + 2 * pad, h, s.lightSmoothingCode, 4, &plan);
    const int32_t* e = plan.entry;
    const size_t values = static_cast<size_t>(WorkBufferValues(plan));
    std::vector<float> work0(values), work1(values), work2(values);
    std::vector<float> table(65537);
    if (depthCode == 1) BuildLinearisationTable(0, 65536, table.data());
    std::vector<uint8_t> out(doc.samples.size());
    ImageStats stats{};
    const auto* f = reinterpret_cast<const float*>(doc.samples.data());
    const auto* c = reinterpret_cast<const uint16_t*>(doc.samples.data());
    get_image(depthCode, w, h, e[kPlanRowLength], e[kPlanRowCount], nb, pad, &stats, f, table.data(), c,
              work0.data());
    tm1(depthCode, e[kPlanRowLength], h, LuminositySteps(s.luminosityCode), s.microcontrastCode,
        MicroSmoothingFactor(s.microSmoothing), &plan, &stats, work0.data(), work1.data(), work2.data());
    tm2(e[kPlanRowLength], h, e[kPlanRowLength], e[kPlanRowCount], e[kPlanSolverCoarsestWidth],
        e[kPlanSolverCoarsestHeight], e[kPlanSolverSize], e[kPlanSolverLevels], work1.data(), work2.data(),
        work0.data());
    affich_image(depthCode, w, h, nb, pad, OutputSlots(s).data(), depthCode == 0 ? 2.2 : 1.0, &stats, f,
                 table.data(), c, work0.data(), reinterpret_cast<float*>(out.data()),
                 reinterpret_cast<uint16_t*>(out.data()));
    return out;
}

// A fresh host's first run uses the first-run defaults of a 32-bit image at any depth.
TMSettings FirstRunDefaults() {
    TMGlobals globals{};
    TMSettings s{};
    InitSettings(&s, &globals);
    return s;
}

// The full run alone: the start plays a step without settings and with its
// dialog off, as an action does, so that the Windows module's dialog and its
// preview buffers stay out of what these tests count.
void WithoutDialog(MiniHost& host) {
    host.playAction = true;
    host.actionToPlay.clear();
    host.playInfo = plugInDialogDontDisplay;
}

class FullRunTest : public HostTest, public ::testing::WithParamInterface<bool> {
protected:
    PluginModule Module() { return GetParam() ? BuiltModule() : InProcessModule(); }
};

TEST_P(FullRunTest, ToneMapsDeepRgbDocumentsLikeTheStagesCalledDirectly) {
    for (int16_t depth : {int16_t(32), int16_t(16)}) {
        MiniHost host;
        host.document = Scene(180, 130, 3, depth);
        WithoutDialog(host);
        const std::vector<uint8_t> expected = ToneMapDirectly(host.document, FirstRunDefaults());

        ASSERT_EQ(RunFilter(host, Module(), true), noErr) << "depth " << depth;
        EXPECT_EQ(host.document.samples, expected) << "depth " << depth;
        EXPECT_EQ(host.progress, (std::vector<std::pair<int32_t, int32_t>>{{0, 100}, {5, 100}, {30, 100}, {70, 100}}));
        EXPECT_EQ(host.abortChecks, 5);
        EXPECT_EQ(host.bufferAllocations, 3);
        ExpectNothingOutstanding(host);

        const size_t n = host.document.samples.size() / (depth / 8);
        for (size_t i = 0; i < n; ++i) {
            if (depth == 32) {
                const float v = FloatSamples(host.document)[i];
                ASSERT_TRUE(v >= 0.0f && v <= 1.0f) << i;
            } else {
                ASSERT_LE(Code16Samples(host.document)[i], 32768) << i;
            }
        }
    }
}

TEST_P(FullRunTest, ReadsOneAndTwoPlaneDocuments) {
    for (int16_t planes : {int16_t(1), int16_t(2)}) {
        MiniHost host;
        host.document = Scene(140, 120, planes, 32);
        const std::vector<uint8_t> expected = ToneMapDirectly(host.document, FirstRunDefaults());
        ASSERT_EQ(RunFilter(host, Module(), true), noErr) << planes;
        EXPECT_EQ(host.document.samples, expected) << planes;
    }
}

TEST_P(FullRunTest, ProcessesExactlyASelectionAwayFromTheOrigin) {
    MiniHost host;
    host.document = Scene(260, 220, 3, 32);
    const HostDocument before = host.document;
    host.document.filterRect = VRect{30, 50, 180, 200};  // top, left, bottom, right

    HostDocument crop = MakeDocument(150, 150, 3, 32);
    for (int32_t y = 0; y < 150; ++y)
        std::memcpy(&FloatSamples(crop)[y * 150 * 3], &FloatSamples(before)[((30 + y) * 260 + 50) * 3],
                    150 * 3 * sizeof(float));
    const std::vector<uint8_t> croppedResult = ToneMapDirectly(crop, FirstRunDefaults());

    ASSERT_EQ(RunFilter(host, Module(), true), noErr);
    for (int32_t y = 0; y < 220; ++y) {
        for (int32_t x = 0; x < 260; ++x) {
            const size_t i = (static_cast<size_t>(y) * 260 + x) * 3;
            const bool inside = y >= 30 && y < 180 && x >= 50 && x < 200;
            const float* expected = inside
                ? reinterpret_cast<const float*>(croppedResult.data()) + ((y - 30) * 150 + (x - 50)) * 3
                : FloatSamples(before) + i;
            ASSERT_EQ(std::memcmp(FloatSamples(host.document) + i, expected, 3 * sizeof(float)), 0)
                << x << "," << y;
        }
    }
}

TEST_P(FullRunTest, WrapsPanoramasWithAQuarterOnEachSide) {
    MiniHost host;
    host.document = Scene(400, 120, 3, 32);
    TMSettings settings = FirstRunDefaults();
    settings.is360 = 1;
    const std::vector<uint8_t> expected = ToneMapDirectly(host.document, settings);

    // The flag has no scripting key: our host sets it through the module's export.
    EXPECT_EQ(SetModulePanoramaFlag(host, Module(), true), filterBadParameters);  // no settings yet
    ASSERT_EQ(CallSelector(host, Module(), filterSelectorParameters), noErr);
    ASSERT_EQ(CallSelector(host, Module(), filterSelectorPrepare), noErr);
    uint8_t* parameters = PeekHandle(host, host.parameters);
    EXPECT_EQ(Module().setPanoramaFlag(parameters, int32_t(sizeof(TMSettings)) - 1, 1), filterBadParameters);
    EXPECT_EQ(SettingsOf(host)->is360, 0);
    ASSERT_EQ(SetModulePanoramaFlag(host, Module(), true), noErr);
    EXPECT_EQ(SettingsOf(host)->is360, 1);
    ASSERT_EQ(CallSelector(host, Module(), filterSelectorStart), noErr);
    EXPECT_EQ(GlobalsOf(host)->workingWidth, 600);
    EXPECT_EQ(host.document.width, 400);
    EXPECT_EQ(host.document.samples, expected);
    ExpectNothingOutstanding(host);
}

// Applies the filter with the settings record changed by `adjust` after prepare.
template <typename Adjust>
void RunWithSettings(MiniHost& host, const PluginModule& module, Adjust adjust) {
    ASSERT_EQ(CallSelector(host, module, filterSelectorParameters), noErr);
    ASSERT_EQ(CallSelector(host, module, filterSelectorPrepare), noErr);
    adjust(SettingsOf(host));
    ASSERT_EQ(CallSelector(host, module, filterSelectorStart), noErr);
}

TEST_P(FullRunTest, SettingsShapeWhatReachesTheDocument) {
    for (int16_t depth : {int16_t(32), int16_t(16)}) {
        const HostDocument source = Scene(180, 130, 3, depth);
        auto sample = [depth](const HostDocument& d, size_t i) {
            return depth == 32 ? double(FloatSamples(d)[i]) : double(Code16Samples(d)[i]);
        };
        const size_t pixels = 180 * 130;

        // No saturation: grey pixels; black 32-bit pixels stay black (a 16-bit
        // code 0 is not black: it maps to the small value of code 1).
        MiniHost grey;
        grey.document = source;
        RunWithSettings(grey, Module(), [](TMSettings* s) { s->colorSaturation = 0; });
        for (size_t p = 0; p < pixels; ++p) {
            ASSERT_EQ(sample(grey.document, 3 * p), sample(grey.document, 3 * p + 1)) << p;
            ASSERT_EQ(sample(grey.document, 3 * p), sample(grey.document, 3 * p + 2)) << p;
            if (depth == 32 && sample(source, 3 * p) == 0 && sample(source, 3 * p + 1) == 0 &&
                sample(source, 3 * p + 2) == 0) {
                ASSERT_EQ(sample(grey.document, 3 * p), 0) << p;
            }
        }

        // White Point 0 with the local result alone: hardly any pixel reaches full white.
        MiniHost white;
        white.document = source;
        RunWithSettings(white, Module(), [](TMSettings* s) {
            s->colorSaturation = 0;
            s->strength = 100;
            s->whitePoint = 0;
        });
        const double full = depth == 32 ? 1.0 : 32768.0;
        size_t atWhite = 0;
        for (size_t p = 0; p < pixels; ++p) atWhite += sample(white.document, 3 * p) == full;
        EXPECT_LE(atWhite, 2u) << "depth " << depth;
    }

    // Full saturation keeps a 16-bit pixel's channel ratios (output exponent 1).
    MiniHost ratios;
    ratios.document = Scene(180, 130, 3, 16);
    std::vector<float> table(65537);
    BuildLinearisationTable(0, 65536, table.data());
    const HostDocument source = ratios.document;
    RunWithSettings(ratios, Module(), [](TMSettings* s) { s->colorSaturation = 100; });
    int compared = 0;
    for (size_t p = 0; p < 180 * 130; ++p) {
        const uint16_t* in = Code16Samples(source) + 3 * p;
        const uint16_t* out = Code16Samples(ratios.document) + 3 * p;
        if (out[1] < 1000 || out[0] >= 32768 || out[1] >= 32768 || out[2] >= 32768) continue;
        EXPECT_NEAR(double(out[0]) / out[1], double(table[in[0]]) / table[in[1]], 2e-3 * out[0] / out[1]) << p;
        ++compared;
    }
    EXPECT_GT(compared, 1000);
}

// Every setting that reaches the output stage, each with a value of its own,
// lands in the slot that the output operators read.
TEST_P(FullRunTest, EveryOutputSettingReachesItsOwnSlot) {
    auto adjust = [](TMSettings* s) {
        s->strength = 55;
        s->colorSaturation = 63;
        s->whitePoint = 7000;
        s->blackPoint = 300;
        s->gammaCode = 43;
        s->highlightsSmoothing = 20;
        s->shadowsSmoothing = 35;
        s->shadowsClipping = 10;
        s->colorTemperature = -3;
        s->saturationHighlights = 4;
        s->saturationShadows = -2;
    };
    for (int16_t depth : {int16_t(32), int16_t(16)}) {
        MiniHost host;
        host.document = Scene(180, 130, 3, depth);
        TMSettings settings = FirstRunDefaults();
        adjust(&settings);
        const std::vector<uint8_t> expected = ToneMapDirectly(host.document, settings);
        RunWithSettings(host, Module(), adjust);
        EXPECT_EQ(host.document.samples, expected) << "depth " << depth;
    }
}

TEST_P(FullRunTest, PacksAndUnpacksPaddedHostRows) {
    MiniHost padded, plain;
    padded.document = plain.document = Scene(150, 110, 3, 16);
    padded.rowPaddingBytes = 6;
    ASSERT_EQ(RunFilter(padded, Module(), true), noErr);
    ASSERT_EQ(RunFilter(plain, Module(), true), noErr);
    EXPECT_EQ(padded.document.samples, plain.document.samples);
}

// The tool's host hands the module its document as input and output at once:
// the output pass must read every pixel before it writes it, whatever the
// settings, the depth and the panorama's wrap columns.
TEST_P(FullRunTest, FiltersInPlaceAsWithSeparateBuffers) {
    auto adjust = [](TMSettings* s) {
        s->colorSaturation = 63;
        s->highlightsSmoothing = 20;
        s->shadowsClipping = 10;
        s->colorTemperature = -3;
        s->saturationHighlights = 4;
        s->saturationShadows = -2;
        s->is360 = 1;
    };
    for (int16_t depth : {int16_t(32), int16_t(16)}) {
        for (bool adjusted : {false, true}) {
            MiniHost separate, inPlace;
            separate.document = inPlace.document = Scene(170, 120, 3, depth);
            inPlace.inPlace = true;
            RunWithSettings(separate, Module(), [&](TMSettings* s) { if (adjusted) adjust(s); });
            RunWithSettings(inPlace, Module(), [&](TMSettings* s) { if (adjusted) adjust(s); });
            EXPECT_EQ(inPlace.document.samples, separate.document.samples) << depth << " " << adjusted;
            ExpectNothingOutstanding(inPlace);
        }
    }
}

TEST_P(FullRunTest, CancelsAtEveryCheckPointWithNothingLeft) {
    for (int check = 1; check <= 5; ++check) {
        MiniHost host;
        host.document = Scene(120, 110, 3, 32);
        host.faults.cancelAtCheck = check;
        EXPECT_EQ(RunFilter(host, Module(), true), userCanceledErr) << "check " << check;
        EXPECT_EQ(host.selectors.back(), filterSelectorStart);  // no finish after a cancelled start
        ExpectNothingOutstanding(host);
    }
}

TEST_P(FullRunTest, ReportsEveryFailedAllocationAsOutOfMemory) {
    for (int n = 1; n <= 3; ++n) {
        for (bool lock : {false, true}) {
            MiniHost host;
            host.document = Scene(120, 110, 3, 16);
            WithoutDialog(host);
            (lock ? host.faults.failBufferLock : host.faults.failBufferAllocation) = n;
            EXPECT_EQ(RunFilter(host, Module(), true), memFullErr) << (lock ? "lock " : "allocation ") << n;
            ExpectNothingOutstanding(host);
        }
    }
    MiniHost budget;
    budget.document = Scene(120, 110, 3, 32);
    WithoutDialog(budget);
    budget.bufferBudget = 100000;
    EXPECT_EQ(RunFilter(budget, Module(), true), memFullErr);
    ExpectNothingOutstanding(budget);
}

TEST_P(FullRunTest, RefusesImagesUnderAHundredPixelsBeforeAnyBuffer) {
    for (auto size : {std::pair<int32_t, int32_t>{99, 150}, {150, 99}}) {
        MiniHost host;
        host.document = Scene(size.first, size.second, 3, 32);
        WithoutDialog(host);
        const std::vector<uint8_t> before = host.document.samples;
        EXPECT_EQ(RunFilter(host, Module(), true), filterBadParameters);
        EXPECT_EQ(host.advanceStateCalls, 1);
        EXPECT_EQ(host.bufferAllocations, 0);
        EXPECT_EQ(host.document.samples, before);
    }
}

// The result code cannot tell a picture without contrast from unusable
// parameters; our host asks the module why, through its own export.
TEST_P(FullRunTest, SaysWhyARunFailedWhereTheResultCodeCannot) {
    MiniHost fine;
    fine.document = Scene(160, 120, 3, 32);
    EXPECT_EQ(RunFilter(fine, Module(), true), noErr);
    EXPECT_EQ(ModuleRunDetail(fine, Module()), kRunDetailNone);

    MiniHost flat;
    flat.document = MakeDocument(160, 120, 3, 32);
    std::fill(FloatSamples(flat.document), FloatSamples(flat.document) + 160 * 120 * 3, 0.5f);
    EXPECT_EQ(RunFilter(flat, Module(), true), filterBadParameters);
    EXPECT_EQ(ModuleRunDetail(flat, Module()), kRunDetailNoContrast);
    ExpectNothingOutstanding(flat);

    // A run after a failed one starts without the old detail.
    fine.document = Scene(160, 120, 3, 32);
    flat.document = std::move(fine.document);
    EXPECT_EQ(RunFilter(flat, Module(), false), noErr);
    EXPECT_EQ(ModuleRunDetail(flat, Module()), kRunDetailNone);

    // Another block than the module's globals is refused.
    const int32_t bytes[4] = {};
    EXPECT_EQ(Module().getRunDetail(bytes, sizeof bytes), kRunDetailNotOurs);
    ReleaseKeptHandles(fine);
    ReleaseKeptHandles(flat);
}

INSTANTIATE_TEST_SUITE_P(InProcessAndLoaded, FullRunTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "LoadedModule" : "InProcess";
                         });

TEST(RunParameters, OutputSettingsTakeTheirSlots) {
    TMSettings s{};
    for (const SettingInfo& info : kSettingTable) s.*info.field = 101 + info.slot;  // a value of its own each
    int32_t array[kSettingCount];
    FillOutputSettings(s, array);
    EXPECT_EQ(std::vector<int32_t>(array, array + kSettingCount), OutputSlots(s));
}

TEST(RunParameters, LuminosityStepsAndMicroSmoothingFactor) {
    const int32_t steps[21] = {1, 1, 2, 2, 3, 4, 4, 5, 5, 6, 7, 7, 8, 8, 9, 10, 10, 11, 11, 12, 13};
    for (int code = 0; code <= 20; ++code) EXPECT_EQ(LuminositySteps(code), steps[code]) << code;
    EXPECT_EQ(MicroSmoothingFactor(0), 0.0f);
    EXPECT_EQ(MicroSmoothingFactor(11), static_cast<float>(11 / 15.0));
    EXPECT_EQ(MicroSmoothingFactor(12), static_cast<float>(0.7333 + 0.1));
    EXPECT_EQ(MicroSmoothingFactor(30), static_cast<float>(0.7333 + 19 / 10.0));
    EXPECT_EQ(HostCodeOfStage(0), noErr);
    EXPECT_EQ(HostCodeOfStage(65534), noErr);
    EXPECT_EQ(HostCodeOfStage(-4), memFullErr);
    EXPECT_EQ(HostCodeOfStage(-2), filterBadParameters);
}

}  // namespace
