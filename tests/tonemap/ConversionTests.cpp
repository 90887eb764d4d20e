// Sample conversions between files and documents, and the settings options
// in the dialog's units.
#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <sstream>

#include <cmath>
#include <cstring>
#include <random>

#include "CodeConversions.h"
#include "DisplayEncoding.h"
#include "ExitCodes.h"
#include "Options.h"
#include "SettingOptions.h"
#include "ToolSettings.h"

namespace {

TEST(CodeConversions, SixteenBitFileValuesBecomeCodesAndBack) {
    // (v x 32768 + 32767) / 65535 in integers; the product overflows 31 bits at the top.
    const std::pair<uint16_t, uint16_t> in[] = {{0, 0},         {1, 1},         {32767, 16384},
                                                {32768, 16384}, {65534, 32767}, {65535, 32768}};
    for (auto [value, code] : in) EXPECT_EQ(FileValueToCode(value), code) << value;
    // (c x 65535 + 16384) / 32768; codes above white are limited to it.
    const std::pair<uint16_t, uint16_t> out[] = {{0, 0},         {1, 2},         {16384, 32768},
                                                 {32767, 65533}, {32768, 65535}, {40000, 65535}};
    for (auto [code, value] : out) EXPECT_EQ(CodeToFileValue(code), value) << code;
    // Every code survives a trip through a 16-bit file.
    for (uint32_t c = 0; c <= 32768; ++c) ASSERT_EQ(FileValueToCode(CodeToFileValue(uint16_t(c))), c);
    EXPECT_EQ(CodeTo8Bit(32768), 255);
    EXPECT_EQ(CodeTo8Bit(64), 0);
    EXPECT_EQ(CodeTo8Bit(65), 1);
    EXPECT_EQ(FileValueToCode(EightBitToFileValue(255)), 32768);
}

TEST(CodeConversions, DisplayValuesRaiseTheLinearResultToOneOver2Point2) {
    EXPECT_EQ(LinearToDisplay(0.0f, 65535), 0u);
    EXPECT_EQ(LinearToDisplay(1.0f, 65535), 65535u);
    EXPECT_EQ(LinearToDisplay(7.5f, 255), 255u);
    EXPECT_EQ(LinearToDisplay(-0.5f, 255), 0u);
    EXPECT_EQ(LinearToDisplay(NAN, 255), 0u);
    EXPECT_EQ(LinearToDisplay(0.5f, 255), 186u);      // 0.5^(1/2.2) = 0.7297 -> 186.08
    EXPECT_EQ(LinearToDisplay(0.5f, 65535), 47824u);  // 47823.6
    EXPECT_FLOAT_EQ(CodeToLinear(32768), 1.0f);
    EXPECT_NEAR(CodeToLinear(23912), 0.5f, 1e-5f);
}

// The tables give LinearToDisplay's value for every float (checked once for
// all of (0, 1] at both scales); here around every threshold, where a wrong
// table would first show, at the ends and on a sample of the rest.
TEST(CodeConversions, DisplayTablesGiveThePowersValueForEveryFloat) {
    std::mt19937 random(12);
    for (uint32_t scale : {255u, 65535u}) {
        const DisplayTable& table = DisplayTableOf(scale);
        ASSERT_EQ(table.scale, scale);
        for (uint32_t k = 1; k <= scale; ++k) {
            float v = table.threshold[k];
            for (int step = 0; step < 24; ++step) v = std::nextafter(v, 0.0f);
            for (int step = 0; step < 48; ++step, v = std::nextafter(v, 2.0f))
                ASSERT_EQ(TableDisplayValue(table, v), LinearToDisplay(v, scale)) << scale << " " << v;
        }
        for (float v : {0.0f, -0.0f, -1.0f, 1e-45f, 1e-38f, 1.0f, std::nextafter(1.0f, 0.0f), 1.5f, INFINITY,
                        -INFINITY, NAN, -NAN})
            EXPECT_EQ(TableDisplayValue(table, v), LinearToDisplay(v, scale)) << scale << " " << v;
        std::uniform_int_distribution<uint32_t> bits(0, 0x3F800000u);
        for (int i = 0; i < 1000000; ++i) {
            const uint32_t b = bits(random);
            float v = 0;
            std::memcpy(&v, &b, sizeof v);
            ASSERT_EQ(TableDisplayValue(table, v), LinearToDisplay(v, scale)) << scale << " " << v;
        }
    }
}

int32_t Parse(const char* option, const std::string& text) {
    int32_t slot = -999;
    std::string problem;
    EXPECT_TRUE(ParseSettingValue(*SettingForOption(option), text, &slot, &problem)) << problem;
    return slot;
}

std::string Refusal(const char* option, const std::string& text) {
    int32_t slot = 0;
    std::string problem;
    EXPECT_FALSE(ParseSettingValue(*SettingForOption(option), text, &slot, &problem)) << option << " " << text;
    return problem;
}

TEST(SettingOptions, TakeTheUnitsOfTheDialogsLabels) {
    EXPECT_EQ(Parse("strength", "0"), 0);
    EXPECT_EQ(Parse("strength", "+100"), 100);
    EXPECT_EQ(Parse("luminosity", "-10"), -10);
    EXPECT_EQ(Parse("white-clip", "0.25"), 5000);
    EXPECT_EQ(Parse("white-clip", "10"), 200000);
    EXPECT_EQ(Parse("black-clip", "0.00005"), 1);
    EXPECT_EQ(Parse("gamma", "1"), 50);
    EXPECT_EQ(Parse("gamma", "2.00"), 0);
    EXPECT_EQ(Parse("gamma", "0.5"), 100);
    EXPECT_EQ(Parse("gamma", "1.20"), 37);
    EXPECT_EQ(Parse("smoothing", "Very High"), 0);
    EXPECT_EQ(Parse("smoothing", "very-low"), 4);
    EXPECT_EQ(Parse("micro-smoothing", "30"), 30);

    EXPECT_EQ(Refusal("strength", "101"), "--strength: 101 is outside the slider's range, 0 to 100.");
    EXPECT_EQ(Refusal("strength", "7.5"), "--strength: \"7.5\" is not a whole number.");
    EXPECT_NE(Refusal("luminosity", "-11").find("-10 to 10"), std::string::npos);
    EXPECT_NE(Refusal("white-clip", "10.01").find("0.000 to 10.000 percent"), std::string::npos);
    EXPECT_NE(Refusal("gamma", "0.4").find("0.50 to 2.00"), std::string::npos);
    Refusal("gamma", "nan");
    Refusal("gamma", "inf");
    Refusal("white-clip", "1e3");
    EXPECT_NE(Refusal("smoothing", "extreme").find("very-low, low, medium, high or very-high"), std::string::npos);
}

TEST(SettingOptions, PrintedValuesReadBackToTheSameSlot) {
    for (const SettingInfo& info : kSettingTable) {
        int32_t lo = 0, hi = 0;
        SettingSlotRange(info, &lo, &hi);
        for (int32_t slot = lo; slot <= hi; ++slot) {
            int32_t back = -1;
            std::string problem;
            ASSERT_TRUE(ParseSettingValue(info, SettingValueText(info, slot), &back, &problem)) << problem;
            ASSERT_EQ(back, slot) << info.option << " " << SettingValueText(info, slot);
        }
    }
}

bool Parses(std::vector<std::string> args, ToolOptions* options, std::string* problem) {
    return ParseCommandLine(args, options, problem);
}

TEST(CommandLine, TellsWhatIsWrongWithACombination) {
    ToolOptions o;
    std::string problem;
    EXPECT_TRUE(Parses({"--luminosity", "-3", "in.exr", "out.png"}, &o, &problem)) << problem;
    EXPECT_TRUE(o.given[0]);
    EXPECT_EQ(o.value[0], -3);
    EXPECT_EQ(o.output, "out.png");
    EXPECT_TRUE(Parses({"a.exr", "b.exr", "--output-dir=out", "--format", ".jpg", "-q"}, &o, &problem));
    EXPECT_EQ(o.inputs.size(), 2u);
    EXPECT_EQ(o.format, "jpg");
    EXPECT_TRUE(Parses({"--strength", "20", "--save-settings", "-"}, &o, &problem));
    EXPECT_TRUE(Parses({"--", "--strange-name.exr", "out.png"}, &o, &problem));
    EXPECT_EQ(o.inputs[0], "--strange-name.exr");

    const std::vector<std::vector<std::string>> wrong = {{"in.exr"},
                                                         {"a.exr", "b.exr", "c.exr"},
                                                         {"--settings", "s.xmp", "--previous", "a", "b"},
                                                         {"--strength"},
                                                         {"--format", "png", "a.exr", "b"},
                                                         {"--depth", "8", "a", "b"},
                                                         {"--quiet=yes", "a"},
                                                         {"-x", "a", "b"},
                                                         {"--example", "dir", "a.exr"}};
    for (const auto& args : wrong) EXPECT_FALSE(Parses(args, &o, &problem)) << args[0];
}

// What the parser says to an option with a stand-in for its value.
std::string ProblemWith(std::vector<std::string> option) {
    const std::map<std::string, std::string> standIns = {{"N", "0"}, {"LEVEL", "high"}, {"EXT", "png"}};
    if (option.size() == 2 && standIns.count(option[1])) option[1] = standIns.at(option[1]);
    option.insert(option.end(), {"--output-dir", "out", "in.exr"});
    ToolOptions o;
    std::string problem;
    ParseCommandLine(option, &o, &problem);
    return problem;
}

// Every option --help lists is one the parser knows, with the value the help
// gives it; every setting and every exit status is explained there.
TEST(CommandLine, HelpListsEveryOptionAndOnlyOptionsThatParse) {
    const std::string help = HelpText();
    std::istringstream lines(help);
    int listed = 0;
    for (std::string line; std::getline(lines, line);) {
        // An option's line: its names in the first 32 columns, then the explanation.
        if (line.rfind("  -", 0) != 0 || line.size() <= 32 || line.compare(30, 2, "  ") != 0) continue;
        std::istringstream names(line.substr(0, 32));
        std::vector<std::string> words{std::istream_iterator<std::string>(names), {}};
        if (words[0].back() == ',') {  // "-q, --quiet": each name alone
            EXPECT_EQ(ProblemWith({words[0].substr(0, words[0].size() - 1)}).find("Unknown"), std::string::npos);
            words.erase(words.begin());
        }
        EXPECT_EQ(ProblemWith(words).find("Unknown"), std::string::npos) << line;
        ++listed;
    }
    EXPECT_EQ(listed, kSettingCount + 16);  // the settings and the sixteen other options
    for (const SettingInfo& info : kSettingTable)
        EXPECT_NE(help.find("  --" + std::string(info.option) + " "), std::string::npos) << info.option;
    for (int code = kExitOk; code <= kLastExitCode; ++code)
        EXPECT_NE(help.find("  " + std::to_string(code) + (code < 10 ? "  " : " ") + ExitCodeMeaning(ExitCode(code))),
                  std::string::npos)
            << code;
    EXPECT_NE(help.find("smaller than 100 x 100, no contrast\n"), std::string::npos);
    EXPECT_NE(help.find("  --strength N                  0 to 100; default 70, 40 for 16-bit images\n"),
              std::string::npos);
    EXPECT_NE(help.find("the slider's 101 positions (1.5 becomes 1.49)"), std::string::npos);
}

TEST(CommandLine, ShortOptionsAndValuesTheOptionsCheck) {
    ToolOptions o;
    std::string problem;
    ASSERT_TRUE(ParseCommandLine({"-q", "-h"}, &o, &problem)) << problem;
    EXPECT_TRUE(o.quiet);
    EXPECT_TRUE(o.help);
    EXPECT_FALSE(ParseCommandLine({"-h=1"}, &o, &problem));
    EXPECT_FALSE(ParseCommandLine({"--settings="}, &o, &problem));
    EXPECT_EQ(problem, "--settings needs a value.");
    EXPECT_FALSE(ParseCommandLine({"--format", "gif", "--output-dir", "d", "a"}, &o, &problem));
    EXPECT_NE(problem.find("\"gif\" is not a format"), std::string::npos) << problem;
    ASSERT_TRUE(ParseCommandLine({"--depth=16", "--360", "--example", "d"}, &o, &problem)) << problem;
    EXPECT_TRUE(o.promoteEightBit);
    EXPECT_TRUE(o.is360);
    EXPECT_EQ(o.exampleDir, "d");

    // An option is never taken for the value of the one before it; a
    // negative number is a value, and so is anything after "=".
    EXPECT_FALSE(ParseCommandLine({"--smoothing", "--print-settings"}, &o, &problem));
    EXPECT_NE(problem.find("--smoothing needs a value before the option \"--print-settings\""), std::string::npos)
        << problem;
    EXPECT_FALSE(ParseCommandLine({"--save-settings", "-q"}, &o, &problem));
    ASSERT_TRUE(ParseCommandLine({"--luminosity", "-4", "--save-settings=--odd.xmp"}, &o, &problem)) << problem;
    EXPECT_EQ(o.saveSettingsFile, "--odd.xmp");
    // Settings files end in .xmp, whatever the case, or are standard output.
    EXPECT_FALSE(ParseCommandLine({"--save-settings", "photo.exr"}, &o, &problem));
    EXPECT_NE(problem.find("settings files end in .xmp"), std::string::npos) << problem;
    EXPECT_TRUE(ParseCommandLine({"--save-settings", "LOOK.XMP"}, &o, &problem)) << problem;
    EXPECT_TRUE(ParseCommandLine({"--save-settings", "-"}, &o, &problem)) << problem;
    // The preview's histogram is text, for the same reason.
    EXPECT_FALSE(ParseCommandLine({"--preview", "small", "--histogram", "a.exr", "b.exr", "o.png"}, &o, &problem));
    EXPECT_NE(problem.find("end it in .txt"), std::string::npos) << problem;
}

TEST(SettingOptions, NumbersMayBeWrittenWithAnExponent) {
    EXPECT_EQ(Parse("white-clip", "1e-1"), 2000);
    EXPECT_EQ(Parse("gamma", "2e0"), 0);
    EXPECT_NE(Refusal("white-clip", "1e2").find("outside the slider's range"), std::string::npos);
    EXPECT_NE(Refusal("white-clip", "nan").find("outside the slider's range"), std::string::npos);
    EXPECT_NE(Refusal("gamma", "inf").find("outside the slider's range"), std::string::npos);
}

TEST(ToolSettings, DefaultsAreTheDefaultButtonsForTheDocumentsDepth) {
    ToolOptions o;
    std::string problem;
    ASSERT_TRUE(Parses({"--gamma", "2", "--360", "a.exr", "b.exr"}, &o, &problem));
    TMSettings s{};
    std::vector<std::string> notes;
    ToolError error;
    ASSERT_TRUE(EffectiveSettings(o, 1, "", &s, &notes, &error));
    EXPECT_EQ(s.strength, 40);
    EXPECT_EQ(s.microSmoothing, 2);
    EXPECT_EQ(s.gammaCode, 0);
    EXPECT_EQ(s.is360, 1);
    ASSERT_TRUE(EffectiveSettings(o, 0, "", &s, &notes, &error));
    EXPECT_EQ(s.strength, 70);
    EXPECT_TRUE(notes.empty());

    // The action carries all fifteen keys, in order, as the plug-in records them.
    const DescriptorList action = SettingsAsAction(s);
    ASSERT_EQ(action.size(), 15u);
    EXPECT_EQ(action[0].key, FourCC("srgh"));
    EXPECT_EQ(action[8].key, FourCC("Gamm"));
    EXPECT_EQ(action[8].number, 2.0);
    EXPECT_EQ(action[6].number, 0.25);
}

}  // namespace
