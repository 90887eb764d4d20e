// The reader's line scanner: phases, windows, word tables, versions, methods.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "XmpSettings.h"
#include "XmpTestFiles.h"

namespace {

constexpr int32_t kKeep = 7;  // what the caller put in every slot

struct Outcome {
    int result;
    std::array<int32_t, 15> s;
};

Outcome Read(const std::string& name, const std::string& bytes) {
    Outcome o;
    o.s.fill(kKeep);
    o.result = ReadSample(name, bytes, o.s.data());
    return o;
}

std::string Element(const std::string& name, const std::string& value) {
    return "  <kvtm:" + name + ">" + value + "</kvtm:" + name + ">\n";
}

const std::string kNamespaceLine = "  xmlns:kvtm='http://ns.corvanta.com/tone_mapping_settings'>\n";

TEST(XmpReader, ReadsBothWordTablesByPrefix) {
    const struct {
        const char* text;
        int32_t slot;
    } smoothing[] = {{"Very High", 0}, {"High    ", 1}, {"High", 1},  {"Medium  ", 2},   {"Low     ", 3},
                     {"Very Low", 4},  {"Lowest", 3},   {"Very", kKeep}, {"high", kKeep}, {" High", kKeep}};
    for (const auto& c : smoothing) {
        const Outcome o = Read(std::string("smoothing ") + c.text, XmpWith(Element("Smoothing", c.text)));
        EXPECT_GT(o.result, 0);
        EXPECT_EQ(o.s[5], c.slot) << c.text;
    }
    const struct {
        const char* text;
        int32_t level;
    } microcontrast[] = {{"High", 0},  {"Medium High", -2}, {"Medium Low", -6}, {"Medium", -2},
                         {"Low", -9},  {"Very Low", -10},   {"5", kKeep},       {"Very High", kKeep}};
    for (const auto& c : microcontrast) {
        const Outcome o = Read(std::string("microcontrast ") + c.text,
                               XmpWith(Element("Version", "2.4") + Element("Microcontrast", c.text)));
        EXPECT_EQ(o.s[6], c.level) << c.text;
    }
}

TEST(XmpReader, VersionsUpTo24ReadMicrocontrastAsAWord) {
    const struct {
        std::string versions;
        int32_t level;
    } cases[] = {
        {Element("Version", "1.5"), -3},
        {Element("Version", "2.0"), kKeep},
        {Element("Version", "2.4"), kKeep},
        {Element("Version", "2.5"), -3},
        {Element("Version", "3.0"), -3},
        {"", kKeep},
        {Element("Version", "3"), -3},
        {Element("Version", "2.x") + Element("Version", "2.5"), -3},
        // A lone major version leaves the minor one as it was.
        {Element("Version", "2.5") + Element("Version", "2"), -3},
        {Element("Version", "2.4") + Element("Version", "3"), -3},
    };
    int n = 0;
    for (const auto& c : cases) {
        const Outcome o = Read("version" + std::to_string(n++), XmpWith(c.versions + Element("Microcontrast", "-3")));
        EXPECT_EQ(o.s[6], c.level) << c.versions;
    }
    // A version seen after the element does not count.
    EXPECT_EQ(Read("version late", XmpWith(Element("Microcontrast", "Low") + Element("Version", "2.5"))).s[6], -9);
}

TEST(XmpReader, AcceptsOnlyMethodsOfTheGradientRelaxerFamily) {
    const struct {
        std::string methods;
        bool accepted;
    } cases[] = {
        {Element("Method", "Gradient Relaxer"), true},
        {Element("Method", "Lattice Balancing"), true},
        {Element("Method", "Velvet Flattening"), false},
        {Element("Method", "Curve Flattener"), false},
        {Element("Method", "Unknown Method"), false},
        {"", true},
        {Element("Method", "Gradient Relaxer") + Element("Method", "Unknown Method"), true},
    };
    int n = 0;
    for (const auto& c : cases) {
        const Outcome o = Read("method" + std::to_string(n++), XmpWith(c.methods + Element("Strength", "5")));
        if (c.accepted) {
            EXPECT_GT(o.result, 0) << c.methods;
        } else {
            EXPECT_EQ(o.result, -5) << c.methods;
        }
    }
}

TEST(XmpReader, ReadsWholeLinesBetweenTheNamespaceLineAndTheClosingRdfLine) {
    const std::string text = "<x:xmpmeta xmlns:x='adobe:ns:meta/'>\n"
                             "  <kvtm:Strength>1</kvtm:Strength> xmlns:kvtm='u'>\n"
                             "  <kvtm:Stre\nngth>2</kvtm:Strength>\n"
                             "  <kvtm:Luminosity>\n56\n"
                             "  <kvtm:ColorSaturation>3</kvtm:ColorSaturation> </rdf:Description>\n"
                             "  <kvtm:Gamma>1.0</kvtm:Gamma>\n"
                             "</x:xmpmeta>\n";
    const Outcome o = Read("placement", text);
    EXPECT_EQ(o.result, int(text.find("  <kvtm:Gamma>")));
    EXPECT_EQ(o.s[1], kKeep);  // on the namespace line, then split over two lines
    EXPECT_EQ(o.s[0], 5);      // the window ends one byte after the LF
    EXPECT_EQ(o.s[2], 3);
    EXPECT_EQ(o.s[8], 50);     // after the closing line: absent
}

TEST(XmpReader, LinesLongerThan254BytesEndTheScan) {
    // Phase 1: the namespace line must come before any line that is too long.
    for (int extra : {0, 1}) {
        const std::string line = std::string(254 + extra, 'x') + "\n";
        const Outcome o = Read("long phase 1 " + std::to_string(extra), line + XmpWith(Element("Strength", "5")));
        EXPECT_EQ(o.result, extra ? -10 : int(line.size()) + BytesThroughClosingLine(XmpWith(Element("Strength", "5"))));
    }
    // Phase 2: what was read before the long line stands.
    for (int extra : {0, 1}) {
        const std::string element = "<kvtm:ColorSaturation>9</kvtm:ColorSaturation>";
        const std::string line = std::string(254 + extra - element.size(), ' ') + element + "\n";
        const std::string text = XmpWith(Element("Strength", "5") + line + Element("Luminosity", "6"));
        const Outcome o = Read("long phase 2 " + std::to_string(extra), text);
        EXPECT_EQ(o.s[1], 5);
        EXPECT_EQ(o.s[2], extra ? kKeep : 9);
        EXPECT_EQ(o.s[0], extra ? kKeep : 6);
        EXPECT_EQ(o.result, extra ? int(text.find(line) + line.size()) : BytesThroughClosingLine(text));
    }
}

TEST(XmpReader, NeverExaminesTheLastLine) {
    const std::string head = "<x:xmpmeta>\n" + kNamespaceLine + Element("Luminosity", "1");
    const struct {
        std::string tail;
        int32_t strength;
    } cases[] = {
        {"  <kvtm:Strength>5</kvtm:Strength>", kKeep},  // no final LF
        {Element("Strength", "5"), kKeep},
        {Element("Strength", "5") + "X", kKeep},  // its LF is the second-last byte
        {Element("Strength", "5") + "XY", 5},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string text = head + c.tail;
        const Outcome o = Read("last line " + std::to_string(n++), text);
        EXPECT_EQ(o.s[0], 1);
        EXPECT_EQ(o.s[1], c.strength) << c.tail;
        EXPECT_EQ(o.result, int(text.size()) - 1);
    }
    EXPECT_EQ(Read("namespace last", "<x:xmpmeta>\n" + kNamespaceLine).result, -10);
    EXPECT_EQ(Read("empty", "").result, -10);
    EXPECT_EQ(Read("no namespace", "<x:xmpmeta>\n" + Element("Strength", "5") + "</x:xmpmeta>\n").result, -10);
    int32_t settings[15] = {};
    EXPECT_EQ(ReadXmpSettings(ScratchPath("does not exist.xmp").c_str(), settings), -1);
}

TEST(XmpReader, ReadsCrLfFilesAsTheirLfForm) {
    const std::string lf = XmpWith(Element("Version", "2.5") + Element("Strength", "70") + Element("WhiteClip", "0.25") +
                                   Element("Smoothing", "Low     ") + Element("Microcontrast", "-4"));
    std::string crlf;
    for (char c : lf) crlf += (c == '\n') ? std::string("\r\n") : std::string(1, c);
    const Outcome a = Read("lf", lf);
    const Outcome b = Read("crlf", crlf);
    EXPECT_EQ(a.s, b.s);
    EXPECT_EQ(b.s[3], 5000);
    EXPECT_EQ(b.s[5], 3);
    EXPECT_EQ(b.s[6], -4);
    EXPECT_EQ(b.result, int(crlf.find(" </rdf:Description>\r\n") + 21));
}

TEST(XmpReader, RepeatedAliasedAndUnreadableElements) {
    const Outcome o = Read("elements", XmpWith(Element("WhiteClip", "0.1") + Element("WhiteClip", "0.2") +
                                               Element("BlackClip", "none") + Element("BlackClip", "0.2") +
                                               Element("Strength", "x5") + Element("Strength", "6") +
                                               Element("Luminosity", "xx5") + Element("Luminosity", "4") +
                                               "  <kvtm:NoiseSmoothing>3</kvtm:NoiseSmoothing>\n" +
                                               Element("Microsmoothing", "9") + Element("Gamma", "none") +
                                               Element("Gamma", "1.0") + Element("ColorSaturation", "99999999999") +
                                               Element("ColorTemperature", "-99999999999")));
    EXPECT_GT(o.result, 0);
    EXPECT_EQ(o.s[3], 4000);   // the last WhiteClip that parses stands
    EXPECT_EQ(o.s[4], kKeep);  // one that does not parse ends the search
    EXPECT_EQ(o.s[1], 5);      // second attempt one byte later
    EXPECT_EQ(o.s[0], kKeep);  // counted as found although unreadable
    EXPECT_EQ(o.s[7], 3);
    EXPECT_EQ(o.s[8], kKeep);
    EXPECT_EQ(o.s[2], INT32_MAX);
    EXPECT_EQ(o.s[12], INT32_MIN);
    for (int slot : {5, 6, 9, 10, 11, 13, 14}) EXPECT_EQ(o.s[slot], kKeep) << slot;

    const Outcome floats = Read("floats", XmpWith(Element("WhiteClip", "1e30") + Element("BlackClip", "nan") +
                                                  "  <kvtm:Microsmoothing>1<kvtm:NoiseSmoothing>2\n"));
    EXPECT_EQ(floats.s[3], INT32_MAX);
    EXPECT_EQ(floats.s[4], kKeep);
    EXPECT_EQ(floats.s[7], 1);
    EXPECT_EQ(floats.s[8], 50);
}

}  // namespace
