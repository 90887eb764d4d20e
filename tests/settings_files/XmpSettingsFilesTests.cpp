// Settings files through real files: the writer's bytes, the reader's line
// scanner, the round trip and the record conversions. Every sample is also
// written to $TM_XMP_CORPUS_DIR when set: the fuzz target's seed corpus.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "../../settings/SettingsTable.h"
#include "ScratchFolder.h"
#include "XmpSettings.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace {

namespace fs = std::filesystem;
using Slots = std::array<int32_t, 15>;
using Cases = std::vector<std::pair<std::string, int32_t>>;
constexpr int32_t kKeep = 7;  // what the caller put in every slot

const Slots kSample = {-3, 70, 46, 5000, 1, 1, -7, 2, 30, 10, 20, 30, -10, 5, -5};
const std::string kSampleText =
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

std::string Path(const std::string& name) {
    static const ScratchFolder scratch;
    return scratch.Path(name);
}

std::string WriteSample(const std::string& name, const std::string& bytes) {
    std::ofstream(Path(name), std::ios::binary) << bytes;
    if (const char* corpus = std::getenv("TM_XMP_CORPUS_DIR")) {
        fs::create_directories(corpus);
        std::ofstream(fs::path(corpus) / name, std::ios::binary) << bytes;
    }
    return Path(name);
}

std::string Written(const Slots& s) {
    EXPECT_EQ(WriteXmpSettings(Path("written.xmp").c_str(), s.data()), 1);
    return ReadBytes(Path("written.xmp"));
}

struct Outcome {
    int result;
    Slots s;
};

Outcome Read(const std::string& name, const std::string& bytes, int32_t keep = kKeep) {
    Outcome o{0, {}};
    o.s.fill(keep);
    o.result = ReadXmpSettings(WriteSample(name, bytes).c_str(), o.s.data());
    return o;
}

std::string Element(const std::string& name, const std::string& value) {
    return "  <kvtm:" + name + ">" + value + "</kvtm:" + name + ">\n";
}

// The writer's layout with other elements between the namespace line and the
// line that closes the description.
std::string Xmp(const std::string& elements) {
    return kSampleText.substr(0, kSampleText.find("  <kvtm:Version>")) + elements +
           kSampleText.substr(kSampleText.find(" </rdf:Description>"));
}

// A successful read of such a file counts the bytes through the closing line.
int ThroughClosingLine(const std::string& text) { return int(text.find(" </rdf:Description>\n") + 20); }

TEST(XmpWriter, WritesTheTwentySixLinesByteForByte) {
    EXPECT_EQ(Written(kSample), kSampleText);
    const char* words[] = {"Very High", "Very High", "High    ", "Medium  ", "Low     ", "Very Low", "Very Low"};
    for (int32_t slot = -1; slot <= 5; ++slot) {  // outside 0..4: the nearer end
        Slots s{};
        s[5] = slot;
        EXPECT_NE(Written(s).find(Element("Smoothing", words[slot + 1])), std::string::npos) << slot;
    }
}

TEST(XmpWriter, ReportsFailedWritesAndLeavesNoPartialFile) {
    EXPECT_EQ(WriteXmpSettings(Path("no/such/folder.xmp").c_str(), kSample.data()), -1);
#ifndef _WIN32
    // A file size limit makes the write fail part way through.
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 100;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const int result = WriteXmpSettings(Path("limited.xmp").c_str(), kSample.data());
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(ReadBytes(Path("limited.xmp")), "");
#endif
}

TEST(XmpRoundTrip, GivesTheArrayBackExceptWhereSixDecimalsLandBelow) {
    const Outcome o = Read("sample.xmp", Written(kSample));
    EXPECT_EQ(o.result, ThroughClosingLine(kSampleText));
    Slots expected = kSample;
    expected[4] = 0;   // 0.000050 is read as a float just below 5e-5
    expected[8] = 29;  // 1.319508 lands just below 2^0.4 after ln in single precision
    EXPECT_EQ(o.s, expected);
    for (int32_t gamma = 0; gamma <= 100; ++gamma) {
        Slots s{};
        s[8] = gamma;
        const int32_t back = Read("gamma.xmp", Written(s)).s[8];
        EXPECT_TRUE(back == gamma || (back == gamma - 1 && gamma != 50 && gamma != 0)) << gamma << " -> " << back;
    }
}

TEST(XmpRoundTrip, CarriesTheRecordThroughTheSettingsArray) {
    TMSettings saved{}, loaded{};
    WriteDefaultSettings(DefaultSet::FirstRun, 0, &saved);
    saved.lightSmoothingCode = -2;  // "Very Low"
    saved.microcontrastCode = -3;
    Slots array;
    SettingsToArray(saved, array.data());
    const std::string text = Written(array);
    EXPECT_NE(text.find(Element("Smoothing", "Very Low") + Element("Microcontrast", "-3")), std::string::npos);
    EXPECT_NE(text.find(Element("Luminosity", "0")), std::string::npos);  // code 10
    ArrayToSettings(Read("record.xmp", text, 0).s.data(), &loaded);      // zeros, as the Load command passes
    EXPECT_EQ(loaded.lightSmoothingCode, -2);
    Slots back;
    SettingsToArray(loaded, back.data());
    EXPECT_EQ(back, array);
}

TEST(XmpReader, ReadsBothWordTablesByPrefix) {
    for (const auto& [word, slot] : Cases{{"Very High", 0}, {"High    ", 1}, {"High", 1}, {"Medium  ", 2},
                                          {"Low     ", 3}, {"Very Low", 4}, {"Lowest", 3}, {"high", kKeep}}) {
        EXPECT_EQ(Read("smoothing " + word, Xmp(Element("Smoothing", word))).s[5], slot) << word;
    }
    for (const auto& [word, level] : Cases{{"High", 0}, {"Medium High", -2}, {"Medium Low", -6}, {"Medium", -2},
                                           {"Low", -9}, {"Very Low", -10}, {"5", kKeep}, {"Very High", kKeep}}) {
        const std::string text = Xmp(Element("Version", "2.4") + Element("Microcontrast", word));
        EXPECT_EQ(Read("microcontrast " + word, text).s[6], level) << word;
    }
}

TEST(XmpReader, ReadsMicrocontrastAsANumberFromVersion25On) {
    const std::string v25 = Element("Version", "2.5");
    const Cases cases = {{Element("Version", "1.5"), -3}, {Element("Version", "2.0"), kKeep},
                         {Element("Version", "2.4"), kKeep}, {v25, -3}, {Element("Version", "3.0"), -3}, {"", kKeep},
                         {Element("Version", "2.x") + v25, -3},
                         // A lone major version leaves the minor one as it was.
                         {v25 + Element("Version", "2"), -3}, {Element("Version", "2.4") + Element("Version", "3"), -3}};
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(Read("version" + std::to_string(i), Xmp(cases[i].first + Element("Microcontrast", "-3"))).s[6],
                  cases[i].second) << cases[i].first;
    EXPECT_EQ(Read("version late", Xmp(Element("Microcontrast", "Low") + v25)).s[6], -9);
}

TEST(XmpReader, AcceptsOnlyMethodsOfTheGradientRelaxerFamily) {
    const std::string relaxer = Element("Method", "Gradient Relaxer"), unknown = Element("Method", "Unknown");
    const Cases cases = {{relaxer, 1}, {Element("Method", "Lattice Balancing"), 1}, {"", 1}, {relaxer + unknown, 1},
                         {Element("Method", "Velvet Flattening"), -5}, {Element("Method", "Curve Flattener"), -5},
                         {unknown, -5}};
    for (size_t i = 0; i < cases.size(); ++i) {
        const int result = Read("method" + std::to_string(i), Xmp(cases[i].first)).result;
        EXPECT_EQ(result > 0 ? 1 : result, cases[i].second) << cases[i].first;
    }
}

TEST(XmpReader, ExaminesWholeLinesAfterTheNamespaceLineUpToTheClosingRdfLine) {
    const std::string text = "<x:xmpmeta>\n"
                             "  <kvtm:Strength>1</kvtm:Strength> xmlns:kvtm='u'>\n"
                             "  <kvtm:Stre\nngth>2</kvtm:Strength>\n"
                             "  <kvtm:Luminosity>\n56\n"  // the window ends one byte after the LF
                             "  <kvtm:ColorSaturation>3</kvtm:ColorSaturation> </rdf:Description>\n"
                             "  <kvtm:Gamma>1.0</kvtm:Gamma>\n"
                             "</x:xmpmeta>\n";
    const Outcome o = Read("placement", text);
    EXPECT_EQ(o.result, int(text.find("  <kvtm:Gamma>")));
    EXPECT_EQ(o.s, (Slots{5, kKeep, 3, kKeep, kKeep, kKeep, kKeep, kKeep, 50, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep}));
}

TEST(XmpReader, LinesLongerThan254BytesEndTheScan) {
    const std::string strength = Element("Strength", "5"), luminosity = Element("Luminosity", "6");
    const std::string element = "<kvtm:ColorSaturation>9</kvtm:ColorSaturation>";
    for (size_t length : {254, 255}) {
        const std::string before = std::string(length, 'x') + "\n";  // phase 1
        const int result1 = Read("long1 " + std::to_string(length), before + Xmp(strength)).result;
        EXPECT_EQ(result1, length == 254 ? int(before.size()) + ThroughClosingLine(Xmp(strength)) : -10);
        const std::string line = std::string(length - element.size(), ' ') + element + "\n";  // phase 2
        const std::string text = Xmp(strength + line + luminosity);
        const Outcome o = Read("long2 " + std::to_string(length), text);
        EXPECT_EQ(o.s[1], 5);
        EXPECT_EQ(o.s[2], length == 254 ? 9 : kKeep);
        EXPECT_EQ(o.s[0], length == 254 ? 6 : kKeep);
        EXPECT_EQ(o.result, length == 254 ? ThroughClosingLine(text) : int(text.find(line) + line.size()));
    }
}

TEST(XmpReader, NeverExaminesTheLastLine) {
    const std::string head = "<x:xmpmeta>\n  xmlns:kvtm='u'>\n" + Element("Luminosity", "1");
    const std::string strength = Element("Strength", "5");
    const Cases cases = {{strength.substr(0, strength.size() - 1), kKeep},  // no final LF
                         {strength, kKeep}, {strength + "X", kKeep}, {strength + "XY", 5}};
    for (size_t i = 0; i < cases.size(); ++i) {
        const Outcome o = Read("last line" + std::to_string(i), head + cases[i].first);
        EXPECT_EQ(o.s[0], 1);
        EXPECT_EQ(o.s[1], cases[i].second) << cases[i].first;
        EXPECT_EQ(o.result, int((head + cases[i].first).size()) - 1);
    }
    EXPECT_EQ(Read("namespace last", "<x:xmpmeta>\n  xmlns:kvtm='u'>\n").result, -10);
    EXPECT_EQ(Read("empty", "").result, -10);
    EXPECT_EQ(Read("no namespace", "<x>\n" + strength + "</x>\n").result, -10);
    Slots s{};
    EXPECT_EQ(ReadXmpSettings(Path("does not exist.xmp").c_str(), s.data()), -1);
}

TEST(XmpReader, ReadsCrLfFilesAsTheirLfForm) {
    std::string crlf;
    for (char c : kSampleText) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const Outcome o = Read("crlf", crlf);
    EXPECT_EQ(o.s, Read("lf", kSampleText).s);
    EXPECT_EQ(o.result, int(crlf.find(" </rdf:Description>\r\n") + 21));
}

TEST(XmpReader, RepeatedAliasedAndUnreadableElements) {
    const Outcome o = Read("elements", Xmp(Element("WhiteClip", "0.1") + Element("WhiteClip", "0.2") +
                                           Element("BlackClip", "none") + Element("BlackClip", "0.2") +
                                           Element("Strength", "x5") + Element("Strength", "6") +
                                           Element("Luminosity", "xx5") + Element("Luminosity", "4") +
                                           Element("NoiseSmoothing", "3") + Element("Microsmoothing", "9") +
                                           Element("Gamma", "none") + Element("Gamma", "1.0") +
                                           Element("ColorSaturation", "99999999999") +
                                           Element("ColorTemperature", "-99999999999")));
    // The last WhiteClip that parses stands; one that does not parse ends the
    // search like any other element; a second attempt starts one byte later.
    EXPECT_EQ(o.s, (Slots{kKeep, 5, INT_MAX, 4000, kKeep, kKeep, kKeep, 3, kKeep, kKeep, kKeep, kKeep, INT_MIN, kKeep,
                          kKeep}));
    const Outcome f = Read("floats", Xmp(Element("WhiteClip", "1e30") + Element("BlackClip", "nan") +
                                         "  <kvtm:Microsmoothing>1<kvtm:NoiseSmoothing>2\n"));
    EXPECT_EQ(f.s, (Slots{kKeep, kKeep, kKeep, INT_MAX, kKeep, kKeep, kKeep, 1, 50, kKeep, kKeep, kKeep, kKeep, kKeep,
                          kKeep}));
}

}  // namespace
