// The built tonemap program end to end: formats and depths, messages and
// exit statuses of bad inputs, settings, the registry and the example.
#include <sys/mount.h>

#include "../../host/RunParameters.h"
#include "ExitCodes.h"
#include "ToolSettings.h"
#include "ToolTestSupport.h"

namespace {

using OIIO::TypeDesc;

constexpr int W = 130, H = 110;

class CommandTest : public ToolTest {
protected:
    // Every file of the folder besides the test's own inputs and the config folder.
    std::vector<std::string> Leftovers(const std::vector<std::string>& expected) {
        std::vector<std::string> known = expected;
        known.push_back("config");
        return FilesBesides(dir.path, known);
    }
};

// One run per output format, each with every kind of input (a process
// start costs more than tone-mapping these small images).
TEST_F(CommandTest, EveryInputFormatAndDepthToEveryOutputFormat) {
    struct Input {
        const char* name;
        TypeDesc type;
        int channels;
        int alpha;
    };
    const Input inputs[] = {{"half-rgba.exr", TypeDesc::HALF, 4, 3},  {"rgbe.hdr", TypeDesc::FLOAT, 3, -1},
                            {"float.pfm", TypeDesc::FLOAT, 3, -1},    {"float-grey.tif", TypeDesc::FLOAT, 1, -1},
                            {"sixteen.tif", TypeDesc::UINT16, 3, -1}, {"sixteen-rgba.png", TypeDesc::UINT16, 4, 3},
                            {"eight.jpg", TypeDesc::UINT8, 3, -1}};
    std::vector<std::string> args = {"--depth", "16", "--output-dir", dir / "out"};
    for (const Input& in : inputs) {
        WriteTestImage(dir / in.name, W, H, in.channels, in.type, Pattern(W, H, in.channels, 1.0f), in.alpha);
        args.push_back(dir / in.name);
    }
    for (const std::string ext : {"exr", "hdr", "pfm", "tif", "png", "jpg"}) {
        args.push_back("--format=" + ext);
        const ToolResult r = Run(args);
        args.pop_back();
        ASSERT_EQ(r.status, 0) << ext << ": " << r.err;
        std::vector<std::string> written;
        for (const Input& in : inputs) {
            const std::string out = fs::path(in.name).stem().string() + "." + ext;
            const ImageRead image = ReadTestImage(dir / ("out/" + out));
            EXPECT_EQ(image.header.width, W);
            EXPECT_EQ(image.header.height, H);
            const bool keepsAlpha = ext == "exr" || ext == "tif" || ext == "png";
            EXPECT_EQ(image.header.nchannels, in.alpha >= 0 && keepsAlpha ? 4 : 3) << out;
            written.push_back(out);
        }
        EXPECT_EQ(FilesBesides(dir.path / "out", written), std::vector<std::string>{});
        fs::remove_all(dir.path / "out");
    }
}

TEST_F(CommandTest, AlphaPassesThroughUntouched) {
    std::vector<float> rgba = Pattern(W, H, 4, 1.0f);
    const float alphas[] = {0, 1, 32767, 32768, 65534, 65535};
    for (int i = 0; i < 6; ++i) rgba[i * 4 + 3] = alphas[i] / 65535.0f;
    WriteTestImage(dir / "a.png", W, H, 4, TypeDesc::UINT16, rgba, 3);
    const ImageRead in = ReadTestImage(dir / "a.png");
    for (const char* out : {"b.png", "b.tif", "b.exr"}) {
        ASSERT_EQ(Run({dir / "a.png", dir / out}).status, 0);
        const ImageRead back = ReadTestImage(dir / out);
        for (size_t i = 0; i < size_t(W) * H; ++i)
            ASSERT_EQ(std::lround(back.pixels[i * 4 + 3] * 65535), std::lround(in.pixels[i * 4 + 3] * 65535)) << i;
    }
    EXPECT_EQ(in.pixels[3 * 4 + 3], 32768 / 65535.0f);
}

TEST_F(CommandTest, BadInputsAreExplainedWithTheirOwnStatusAndLeaveNoFile) {
    WriteTestImage(dir / "good.exr", W, H, 3, TypeDesc::FLOAT, Pattern(W, H, 3, 4.0f));
    WriteTestImage(dir / "eight.png", W, H, 3, TypeDesc::UINT8, Pattern(W, H, 3, 1.0f));
    WriteTestImage(dir / "tiny.exr", 99, 99, 3, TypeDesc::FLOAT, Pattern(99, 99, 3, 1.0f));
    const std::string good = ReadText(dir / "good.exr");
    std::ofstream(dir / "truncated.exr", std::ios::binary) << good.substr(0, good.size() / 2);
    std::ofstream(dir / "corrupt.exr", std::ios::binary) << std::string(4000, '\x5a');
    fs::create_directories(dir.path / "folder.png");

    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {{dir / "missing.exr", dir / "o.png"}, kExitInputMissing, "Cannot find the input file"},
        {{dir / "truncated.exr", dir / "o.png"}, kExitInputUnreadable, "damaged or incomplete"},
        {{dir / "corrupt.exr", dir / "o.png"}, kExitInputUnreadable, "not an image this tool can read"},
        {{dir / "good.exr", dir / "folder.png"}, kExitOutput, "is a folder"},
        {{dir / "good.exr", dir / "no-such-folder/o.png"}, kExitOutput, "does not exist"},
        {{dir / "good.exr", dir / "corrupt.exr/o.png"}, kExitOutput, "is not a folder"},
        {{dir / "good.exr", dir / "o.gif"}, kExitUsage, "Cannot tell which format"},
        {{dir / "good.exr", dir / "good.exr"}, kExitUsage, "would replace the image being read"},
        {{"--strength", "101", dir / "good.exr", dir / "o.png"}, kExitUsage, "outside the slider's range"},
        {{"--brightness", "3", dir / "good.exr", dir / "o.png"}, kExitUsage, "Unknown option \"--brightness\""},
        {{dir / "eight.png", dir / "o.png"}, kExitUnsupported, "Tone Mapping plug-in requires higher bit-depth"},
        {{dir / "tiny.exr", dir / "o.png"}, kExitUnsupported, "at least 100 x 100"},
        {{"--plugin", dir / "none.so", dir / "good.exr", dir / "o.png"}, kExitPlugin, "Cannot load"},
        {{"--settings", dir / "none.xmp", dir / "good.exr", dir / "o.png"}, kExitSettingsFile, "Cannot find"},
    };
    for (const Case& c : cases) {
        const ToolResult r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[c.args.size() - 2] << ": " << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(Leftovers({"good.exr", "eight.png", "tiny.exr", "truncated.exr", "corrupt.exr", "folder.png"}),
                  std::vector<std::string>{})
            << r.err;
    }
    if (geteuid() != 0) {  // permissions do not stop the superuser
        fs::create_directories(dir.path / "locked");
        fs::permissions(dir.path / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        const ToolResult r = Run({dir / "good.exr", dir / "locked/o.png"});
        EXPECT_EQ(r.status, kExitOutput);
        EXPECT_NE(r.err.find("permission denied"), std::string::npos) << r.err;
        fs::permissions(dir.path / "locked", fs::perms::owner_all);
    }
}

TEST_F(CommandTest, SeveralImagesGoOnAfterAFailureAndReportTheFirst) {
    WriteTestImage(dir / "a.exr", W, H, 3, TypeDesc::FLOAT, Pattern(W, H, 3, 4.0f));
    WriteTestImage(dir / "c.tif", W, H, 3, TypeDesc::UINT16, Pattern(W, H, 3, 1.0f));
    const ToolResult r =
        Run({dir / "a.exr", dir / "b.exr", dir / "c.tif", "--output-dir", dir / "out", "--format", "png"});
    EXPECT_EQ(r.status, kExitInputMissing) << r.err;
    EXPECT_TRUE(fs::exists(dir.path / "out/a.png"));
    EXPECT_TRUE(fs::exists(dir.path / "out/c.png"));
    EXPECT_EQ(FilesBesides(dir.path / "out", {"a.png", "c.png"}), std::vector<std::string>{});
}

TEST_F(CommandTest, SettingsComeFromDefaultsUnlessThePreviousRunIsAskedFor) {
    WriteTestImage(dir / "deep.exr", W, H, 3, TypeDesc::FLOAT, Pattern(W, H, 3, 4.0f));
    WriteTestImage(dir / "sixteen.png", W, H, 3, TypeDesc::UINT16, Pattern(W, H, 3, 1.0f));
    auto settingsOf = [&](std::vector<std::string> args) {
        args.insert(args.begin(), "--print-settings");
        const ToolResult r = Run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    };
    EXPECT_NE(settingsOf({dir / "deep.exr", dir / "o.exr"}).find("--strength 70 "), std::string::npos);
    EXPECT_NE(settingsOf({dir / "sixteen.png", dir / "o.png"}).find("--strength 40 "), std::string::npos);
    const std::string chosen = settingsOf({"--strength", "55", "--gamma", "1.5", "--smoothing", "very-low",
                                           "--white-clip", "0.5", dir / "deep.exr", dir / "o.exr"});
    EXPECT_NE(chosen.find("--strength 55 "), std::string::npos) << chosen;
    EXPECT_NE(chosen.find("--gamma 1.49 "), std::string::npos) << chosen;  // the slider position nearest 1.5

    // The registry now holds that run; only --previous brings it back.
    const std::string registry = ReadText(config() / "tonemap/registry.txt");
    EXPECT_NE(registry.find("srgh long 55\n"), std::string::npos) << registry;
    EXPECT_NE(registry.find("LSmo long -2\n"), std::string::npos) << registry;
    EXPECT_EQ(settingsOf({"--previous", "--microcontrast", "4"}),
              "--luminosity 0 --strength 55 --color-saturation 46 --white-clip 0.500 --black-clip 0.000 "
              "--smoothing very-low --microcontrast 4 --micro-smoothing 2 --gamma 1.49 --highlights-smoothing 0 "
              "--shadows-smoothing 0 --shadows-clipping 0 --color-temperature 0 --saturation-highlights 0 "
              "--saturation-shadows 0\n");
    EXPECT_NE(settingsOf({dir / "deep.exr", dir / "o.exr"}).find("--strength 70 "), std::string::npos);

    // A damaged registry costs only the previous settings.
    std::ofstream(config() / "tonemap/registry.txt") << "[x]\nnonsense\n";
    const ToolResult damaged = RunTonemap({"--previous", "--print-settings"}, config());
    EXPECT_EQ(damaged.status, 0);
    EXPECT_NE(damaged.err.find("damaged"), std::string::npos) << damaged.err;
    EXPECT_NE(damaged.out.find("--strength 70 "), std::string::npos);
}

TEST_F(CommandTest, SettingsFilesRoundTrip) {
    // Values that the file's six decimals carry exactly (others may come back one step lower).
    ToolResult r = Run({"--strength", "33", "--luminosity", "-4", "--smoothing", "low", "--gamma", "2", "--white-clip",
                        "0.5", "--save-settings", dir / "look.xmp"});
    ASSERT_EQ(r.status, 0) << r.err;
    const ToolResult saved = Run({"--settings", dir / "look.xmp", "--print-settings"});
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_NE(saved.out.find("--luminosity -4 --strength 33 "), std::string::npos) << saved.out;
    EXPECT_NE(saved.out.find("--smoothing low "), std::string::npos) << saved.out;
    EXPECT_NE(saved.out.find("--gamma 2.00 "), std::string::npos) << saved.out;
    EXPECT_NE(saved.out.find("--white-clip 0.500 "), std::string::npos) << saved.out;

    // Options beside the file win; "-" writes the file to standard output.
    r = Run({"--settings", dir / "look.xmp", "--strength", "90", "--save-settings", "-"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("<kvtm:Strength>90</kvtm:Strength>"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("<kvtm:Luminosity>-4</kvtm:Luminosity>"), std::string::npos) << r.out;

    std::ofstream(dir / "other.xmp") << "<x:xmpmeta>\nnothing here\n</x:xmpmeta>\n";
    r = Run({"--settings", dir / "other.xmp", "--print-settings"});
    EXPECT_EQ(r.status, kExitSettingsFile);
    EXPECT_NE(r.err.find("does not contain Tone Mapping settings"), std::string::npos) << r.err;
}

TEST_F(CommandTest, MessagesAreOursNameTheRightFileAndComeOnce) {
    WriteTestImage(dir / "eight.png", W, H, 3, TypeDesc::UINT8, Pattern(W, H, 3, 1.0f));
    ToolResult r = Run({dir / "eight.png", dir / "o.png"});
    EXPECT_EQ(r.status, kExitUnsupported);
    EXPECT_NE(r.err.find("--depth 16 opens an 8-bit file"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("menu"), std::string::npos) << "no instructions for a desktop editor: " << r.err;

    // A damaged registry is reported once, though both the tool and the plug-in read it.
    WriteTestImage(dir / "a.exr", W, H, 3, TypeDesc::FLOAT, Pattern(W, H, 3, 4.0f));
    fs::create_directories(config() / "tonemap");
    std::ofstream(config() / "tonemap/registry.txt") << "[x]\nnonsense\n";
    r = RunTonemap({"--previous", dir / "a.exr", dir / "o.png"}, config());
    EXPECT_EQ(r.status, 0) << r.err;
    const size_t first = r.err.find("is damaged");
    ASSERT_NE(first, std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("is damaged", first + 1), std::string::npos) << r.err;

    // A read-only file system, where the machine lets the test mount one.
    fs::create_directories(dir.path / "ro");
    if (mount("tmpfs", (dir / "ro").c_str(), "tmpfs", MS_RDONLY, "size=64k") == 0) {
        r = Run({dir / "a.exr", dir / "ro/o.png"});
        umount((dir / "ro").c_str());
        EXPECT_EQ(r.status, kExitOutput);
        EXPECT_NE(r.err.find("the file system is read-only"), std::string::npos) << r.err;
    }
}

// The output keeps the input's windows and what its metadata says of the
// picture, where the format can carry them.
TEST_F(CommandTest, TheInputsWindowsAndMetadataGoOnToTheOutput) {
    OIIO::ImageSpec header(W, H, 3, TypeDesc::FLOAT);
    header.x = 20;
    header.y = 30;
    header.full_width = 400;
    header.full_height = 300;
    header.attribute("Copyright", "The photographer");
    auto out = OIIO::ImageOutput::create(dir / "window.exr");
    ASSERT_TRUE(out && out->open(dir / "window.exr", header));
    ASSERT_TRUE(out->write_image(TypeDesc::FLOAT, Pattern(W, H, 3, 4.0f).data()));
    ASSERT_TRUE(out->close());
    for (const char* name : {"o.exr", "o.tif", "o.png"}) {
        ASSERT_EQ(Run({dir / "window.exr", dir / name}).status, 0) << name;
        const ImageRead back = ReadTestImage(dir / name);
        EXPECT_EQ(back.header.x, 20) << name;
        EXPECT_EQ(back.header.y, 30) << name;
        EXPECT_EQ(back.header.get_string_attribute("Copyright"), "The photographer") << name;
    }
    const ImageRead exr = ReadTestImage(dir / "o.exr");
    EXPECT_EQ(exr.header.full_width, 400);
    EXPECT_EQ(exr.header.full_height, 300);
}

#if !defined(__SANITIZE_ADDRESS__)
// What a run holds beyond the program and its libraries (a small run's peak):
// the document and the plug-in's three work buffers, hardly more. The host
// filters the document in place, and files are read straight into it and
// written straight from it. (AddressSanitizer keeps freed memory aside.)
TEST_F(CommandTest, PeakMemoryIsTheDocumentAndTheWorkBuffers) {
    const int w = 2400, h = 1600;
    WriteTestImage(dir / "small.exr", W, H, 3, TypeDesc::FLOAT, Pattern(W, H, 3, 40.0f));
    WriteTestImage(dir / "large.exr", w, h, 3, TypeDesc::FLOAT, Pattern(w, h, 3, 40.0f));
    ToolOptions options;
    TMSettings settings{};
    std::vector<std::string> notes;
    ToolError error;
    ASSERT_TRUE(EffectiveSettings(options, 0, "", &settings, &notes, &error)) << error.message;
    const double document = double(w) * h * 3 * sizeof(float);
    const double work = 3.0 * FullRunWorkBufferBytes(w, h, settings);
    for (const char* out : {"o.tif", "o.jpg"}) {
        const ToolResult small = Run({dir / "small.exr", dir / ("small-" + std::string(out))});
        const ToolResult large = Run({dir / "large.exr", dir / out});
        ASSERT_EQ(large.status, 0) << large.err;
        const double held = (large.peakKilobytes - small.peakKilobytes) * 1024.0;
        EXPECT_LT(held, 1.1 * (document + work)) << out << ": " << held / 1e6 << " MB held";
        EXPECT_GT(held, 0.8 * (document + work)) << out;  // the measure measures
    }
}
#endif

TEST_F(CommandTest, HelpVersionAndTheExample) {
    ToolResult r = Run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Examples:"), std::string::npos);
    EXPECT_NE(r.out.find("--micro-smoothing N"), std::string::npos);
    EXPECT_NE(r.out.find("Exit status:"), std::string::npos);
    r = Run({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("tonemap ", 0), 0u);

    r = RunTonemap({"--example", dir / "example"}, config());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("example-tonemapped.png"), std::string::npos);
    const ImageRead scene = ReadTestImage(dir / "example/example-scene.exr");
    float lowest = 1e30f, highest = 0;
    for (float v : scene.pixels) {
        if (v > 0) lowest = std::min(lowest, v);
        highest = std::max(highest, v);
    }
    EXPECT_GT(highest / lowest, 1e5f);  // five decades and more
    EXPECT_EQ(ReadTestImage(dir / "example/example-tonemapped.png").header.width, scene.header.width);
}

}  // namespace
