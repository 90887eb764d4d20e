// The writer's bytes, the round trip through files and the record conversions.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>

#include "Settings.h"
#include "XmpSettings.h"
#include "XmpTestFiles.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace {

const int32_t kSample[15] = {-3, 70, 46, 5000, 1, 1, -7, 2, 30, 10, 20, 30, -10, 5, -5};

const char kSampleText[] =
    "<x:xmpmeta xmlns:x='adobe:ns:meta/'>\n"
    "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>\n"
    "\n"
    " <rdf:Description rdf:about=''\n"
    "  xmlns:kvtm='http://ns.corvanta.com/tone_mapping_settings'>\n"
    "  <kvtm:Version>2.5</kvtm:Version>\n"
    "  <kvtm:Method>Gradient Relaxer</kvtm:Method>\n"
    "  <kvtm:Luminosity>-3</kvtm:Luminosity>\n"
    "  <kvtm:Strength>70</kvtm:Strength>\n"
    "  <kvtm:ColorSaturation>46</kvtm:ColorSaturation>\n"
    "  <kvtm:WhiteClip>0.250000</kvtm:WhiteClip>\n"
    "  <kvtm:BlackClip>0.000050</kvtm:BlackClip>\n"
    "  <kvtm:Smoothing>High    </kvtm:Smoothing>\n"
    "  <kvtm:Microcontrast>-7</kvtm:Microcontrast>\n"
    "  <kvtm:Microsmoothing>2</kvtm:Microsmoothing>\n"
    "  <kvtm:Gamma>1.319508</kvtm:Gamma>\n"
    "  <kvtm:HighlightsSmoothing>10</kvtm:HighlightsSmoothing>\n"
    "  <kvtm:ShadowsSmoothing>20</kvtm:ShadowsSmoothing>\n"
    "  <kvtm:ShadowsClipping>30</kvtm:ShadowsClipping>\n"
    "  <kvtm:ColorTemperature>-10</kvtm:ColorTemperature>\n"
    "  <kvtm:SaturationHighlights>5</kvtm:SaturationHighlights>\n"
    "  <kvtm:SaturationShadows>-5</kvtm:SaturationShadows>\n"
    " </rdf:Description>\n"
    "\n"
    "</rdf:RDF>\n"
    "</x:xmpmeta>\n";

std::string Written(const int32_t settings[15]) {
    const std::string path = ScratchPath("written.xmp");
    EXPECT_EQ(WriteXmpSettings(path.c_str(), settings), 1);
    return ReadBytes(path);
}

int32_t GammaBack(int32_t gamma) {
    int32_t settings[15] = {};
    settings[8] = gamma;
    EXPECT_GT(ReadSample("gamma.xmp", Written(settings), settings), 0);
    return settings[8];
}

TEST(XmpWriter, WritesTheTwentySixLinesByteForByte) {
    EXPECT_EQ(Written(kSample), kSampleText);
    WriteSample("sample.xmp", kSampleText);
}

TEST(XmpWriter, WritesPaddedSmoothingWordsAndTheNearerEndOutsideTheRange) {
    const char* words[] = {"Very High", "Very High", "High    ", "Medium  ", "Low     ", "Very Low", "Very Low"};
    int32_t settings[15] = {};
    for (int32_t slot = -1; slot <= 5; ++slot) {
        settings[5] = slot;
        const std::string line = std::string("\n  <kvtm:Smoothing>") + words[slot + 1] + "</kvtm:Smoothing>\n";
        EXPECT_NE(Written(settings).find(line), std::string::npos) << slot;
    }
    for (int32_t extreme : {INT_MIN, INT_MAX}) {
        std::fill(settings, settings + 15, extreme);
        const std::string text = Written(settings);
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 26);
    }
}

TEST(XmpWriter, ReportsFailedWritesAndLeavesNoPartialFile) {
    EXPECT_EQ(WriteXmpSettings(ScratchPath("no/such/folder.xmp").c_str(), kSample), -1);
#ifndef _WIN32
    // A file size limit makes the write fail part way through.
    const std::string path = ScratchPath("limited.xmp");
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 100;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const int result = WriteXmpSettings(path.c_str(), kSample);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(ReadBytes(path), "");
#endif
}

TEST(XmpRoundTrip, GivesTheArrayBackExceptWhereSixDecimalsLandBelow) {
    int32_t back[15] = {};
    EXPECT_EQ(ReadSample("roundtrip.xmp", Written(kSample), back), BytesThroughClosingLine(kSampleText));
    int32_t expected[15];
    std::copy(kSample, kSample + 15, expected);
    expected[4] = 0;   // 0.000050 is read as a float just below 5e-5
    expected[8] = 29;  // 1.319508 lands just below 2^0.4 after ln in single precision
    EXPECT_TRUE(std::equal(back, back + 15, expected));

    for (int32_t gamma = 0; gamma <= 100; ++gamma) {
        const int32_t got = GammaBack(gamma);
        EXPECT_TRUE(got == gamma || got == gamma - 1) << gamma << " came back as " << got;
    }
    EXPECT_EQ(GammaBack(50), 50);
    EXPECT_EQ(GammaBack(0), 0);
}

TEST(XmpRoundTrip, CarriesTheRecordThroughTheSettingsArray) {
    TMGlobals globals{};
    TMSettings saved{};
    InitSettings(&saved, &globals);
    saved.lightSmoothingCode = -2;  // "Very Low"
    saved.microcontrastCode = -3;
    int32_t array[15];
    SettingsToArray(saved, array);
    const std::string text = Written(array);
    EXPECT_NE(text.find("<kvtm:Smoothing>Very Low</kvtm:Smoothing>\n"), std::string::npos);
    EXPECT_NE(text.find("<kvtm:Luminosity>0</kvtm:Luminosity>\n"), std::string::npos);  // code 10

    int32_t loaded[15] = {};  // as the Load command passes it
    ASSERT_GT(ReadSample("record.xmp", text, loaded), 0);
    TMSettings back{};
    ArrayToSettings(loaded, &back);
    EXPECT_EQ(back.lightSmoothingCode, -2);
    EXPECT_EQ(back.luminosityCode, 10);
    EXPECT_EQ(back.microcontrastCode, -3);
    EXPECT_EQ(back.whitePoint, 5000);
    EXPECT_EQ(back.gammaCode, 50);
    EXPECT_EQ(back.strength, saved.strength);
}

}  // namespace
