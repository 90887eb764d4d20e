// The try-out program's command line, its image files and the action it makes
// of a settings file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "ScratchFolder.h"
#include "../../settings/SettingsTable.h"
#include "../../settings_files/XmpSettings.h"
#include "TryOutFiles.h"
#include "TryOutOptions.h"

namespace {

namespace fs = std::filesystem;

bool Parse(std::vector<const char*> arguments, TryOutOptions* options, std::string* problem) {
    arguments.insert(arguments.begin(), "tonemap-dialog");
    return ParseTryOutOptions(static_cast<int>(arguments.size()), arguments.data(), options, problem);
}

TEST(TryOutOptions, TwoFilesAndTheTwoOptions) {
    TryOutOptions o;
    std::string problem;
    ASSERT_TRUE(Parse({"in.pfm", "out.pfm"}, &o, &problem));
    EXPECT_EQ(o.input, "in.pfm");
    EXPECT_EQ(o.output, "out.pfm");
    EXPECT_FALSE(o.noDialog);
    EXPECT_TRUE(o.settingsFile.empty());
    ASSERT_TRUE(Parse({"--settings", "look.xmp", "in.pfm", "--no-dialog", "out.pfm"}, &o, &problem));
    EXPECT_EQ(o.settingsFile, "look.xmp");
    EXPECT_TRUE(o.noDialog);
    EXPECT_EQ(o.output, "out.pfm");
    ASSERT_TRUE(Parse({"--help"}, &o, &problem));
    EXPECT_TRUE(o.help);

    for (const auto& wrong : std::vector<std::vector<const char*>>{
             {"in.pfm"}, {"a", "b", "c"}, {"in.pfm", "out.pfm", "--settings"}, {"--dialog", "in.pfm", "out.pfm"}}) {
        problem.clear();
        EXPECT_FALSE(Parse(wrong, &o, &problem)) << wrong[0];
        EXPECT_FALSE(problem.empty());
    }
}

TEST(TryOutFiles, FloatMapsRoundTripInEitherByteOrder) {
    ScratchFolder folder;
    HostDocument doc = MakeDocument(3, 2, 3, 32);
    for (size_t i = 0; i < 18; ++i) FloatSamples(doc)[i] = 0.5f * static_cast<float>(i) - 1.0f;
    std::string problem;
    ASSERT_TRUE(WriteImageFile(folder.Path("a.PFM"), doc, &problem)) << problem;
    HostDocument back;
    ASSERT_TRUE(ReadImageFile(folder.Path("a.PFM"), &back, &problem)) << problem;
    EXPECT_EQ(back.depth, 32);
    EXPECT_EQ(back.width, 3);
    EXPECT_EQ(back.height, 2);
    EXPECT_EQ(back.samples, doc.samples);

    // Big-endian, with the bottom row first: (1, 2, 3) at the bottom left.
    std::string bytes = "PF\n1 2\n1.0\n";
    for (float v : {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f}) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        for (int b = 3; b >= 0; --b) bytes.push_back(static_cast<char>(bits >> (8 * b)));
    }
    folder.Write("big.pfm", bytes);
    ASSERT_TRUE(ReadImageFile(folder.Path("big.pfm"), &back, &problem)) << problem;
    EXPECT_EQ(FloatSamples(back)[0], 4.0f);  // the top row
    EXPECT_EQ(FloatSamples(back)[3], 1.0f);
}

TEST(TryOutFiles, SixteenBitPixelMapsBecomeTheHostsCodes) {
    ScratchFolder folder;
    std::string bytes = "P6\n# a comment\n2 1\n65535\n";
    for (int v : {0, 65535, 32768, 1, 2, 3}) {
        bytes.push_back(static_cast<char>(v >> 8));
        bytes.push_back(static_cast<char>(v & 0xFF));
    }
    folder.Write("in.ppm", bytes);
    HostDocument doc;
    std::string problem;
    ASSERT_TRUE(ReadImageFile(folder.Path("in.ppm"), &doc, &problem)) << problem;
    EXPECT_EQ(doc.depth, 16);
    EXPECT_EQ(doc.imageMode, plugInModeRGB48);
    EXPECT_EQ(Code16Samples(doc)[0], 0);
    EXPECT_EQ(Code16Samples(doc)[1], 32768);
    EXPECT_EQ(Code16Samples(doc)[2], 16384);
    EXPECT_EQ(Code16Samples(doc)[3], 1);

    // Written back as 16-bit samples, and as floats of the codes.
    ASSERT_TRUE(WriteImageFile(folder.Path("out.ppm"), doc, &problem)) << problem;
    HostDocument again;
    ASSERT_TRUE(ReadImageFile(folder.Path("out.ppm"), &again, &problem)) << problem;
    EXPECT_EQ(again.samples, doc.samples);
    ASSERT_TRUE(WriteImageFile(folder.Path("out.pfm"), doc, &problem)) << problem;
    ASSERT_TRUE(ReadImageFile(folder.Path("out.pfm"), &again, &problem)) << problem;
    EXPECT_EQ(FloatSamples(again)[1], 1.0f);
    EXPECT_EQ(FloatSamples(again)[2], 0.5f);
}

TEST(TryOutFiles, RefusesWhatItCannotReadBeforeAllocating) {
    ScratchFolder folder;
    folder.Write("eight.ppm", "P6\n1 1\n255\nabc");
    folder.Write("short.pfm", "PF\n2 2\n-1.0\n" + std::string(40, '\0'));
    folder.Write("huge.pfm", "PF\n65536 65536\n-1.0\n" + std::string(12, '\0'));
    folder.Write("gray.pfm", "Pf\n1 1\n-1.0\n" + std::string(4, '\0'));
    folder.Write("zero.pfm", "PF\n0 5\n-1.0\n");
    folder.Write("text.pfm", "hello");
    for (const char* name : {"eight.ppm", "short.pfm", "huge.pfm", "gray.pfm", "zero.pfm", "text.pfm", "none.pfm"}) {
        HostDocument doc;
        std::string problem;
        EXPECT_FALSE(ReadImageFile(folder.Path(name), &doc, &problem)) << name;
        EXPECT_NE(problem.find(name), std::string::npos) << problem;
        EXPECT_TRUE(doc.samples.empty()) << name;
    }
    std::string problem;
    EXPECT_FALSE(WriteImageFile(folder.Path("out.png"), MakeDocument(1, 1, 3, 32), &problem));
    EXPECT_FALSE(WriteImageFile(folder.Path("out.pfm"), MakeDocument(1, 1, 1, 32), &problem));
}

TEST(TryOutFiles, ASettingsFileBecomesAnActionOfAllFifteenKeys) {
    ScratchFolder folder;
    int32_t slots[kSettingCount] = {};
    slots[kSlotStrength] = 85;
    slots[kSlotLuminosity] = -3;
    slots[kSlotWhiteClip] = 10000;
    slots[kSlotGamma] = 50;
    slots[kSlotSmoothing] = 0;  // "Very High": the code 2
    ASSERT_EQ(WriteXmpSettings(folder.Path("look.xmp").c_str(), slots), 1);
    DescriptorList action;
    std::string problem;
    ASSERT_TRUE(ReadSettingsAction(folder.Path("look.xmp"), &action, &problem)) << problem;
    ASSERT_EQ(action.size(), 15u);
    EXPECT_EQ(action[0].key, FourCC("srgh"));
    EXPECT_EQ(FindItem(action, FourCC("srgh"))->integer, 85);
    EXPECT_EQ(FindItem(action, FourCC("Lumi"))->integer, -3);
    EXPECT_EQ(FindItem(action, FourCC("LSmo"))->integer, 2);
    EXPECT_EQ(FindItem(action, FourCC("WCli"))->type, typeFloat);
    EXPECT_DOUBLE_EQ(FindItem(action, FourCC("WCli"))->number, 0.5);
    EXPECT_DOUBLE_EQ(FindItem(action, FourCC("Gamm"))->number, 1.0);

    folder.Write("other.xmp", "<x:xmpmeta>nothing of ours</x:xmpmeta>\n");
    EXPECT_FALSE(ReadSettingsAction(folder.Path("other.xmp"), &action, &problem));
    EXPECT_NE(problem.find("does not contain Tone Mapping settings"), std::string::npos) << problem;
    EXPECT_FALSE(ReadSettingsAction(folder.Path("missing.xmp"), &action, &problem));
}

}  // namespace
