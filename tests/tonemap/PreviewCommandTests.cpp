// tonemap --preview: the dialog's picture and histogram as files, the same
// bytes the module's preview export gives our host.
#include <cmath>
#include <numeric>

#include "../../settings/SettingsTable.h"
#include "../BuiltModule.h"
#include "ImageFiles.h"
#include "Options.h"
#include "ToolSettings.h"
#include "ToolTestSupport.h"

namespace {

using OIIO::TypeDesc;

struct Shown {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> planes;
    std::vector<int32_t> histogram;
};

class PreviewCommandTest : public ToolTest {
protected:
    // What the module's preview shows our host for the file and options:
    // the file read as the tool reads it, the settings the options make.
    Shown ModulePreview(const std::string& input, const std::vector<std::string>& args, int32_t size,
                        bool showOriginal) {
        ToolOptions options;
        std::string problem;
        EXPECT_TRUE(ParseCommandLine(args, &options, &problem)) << problem;
        ImageFile image;
        ToolError error;
        EXPECT_TRUE(ReadImageFile(input, false, &image, &error)) << error.message;
        TMSettings settings{};
        std::vector<std::string> notes;
        EXPECT_TRUE(EffectiveSettings(options, image.document.depth == 32 ? 0 : 1, (config() / "none").string(),
                                      &settings, &notes, &error));

        const PluginModule& module = BuiltModule();
        MiniHost host;
        host.document = image.document;
        EXPECT_EQ(CallSelector(host, module, filterSelectorPrepare), noErr);
        int32_t slots[kSettingCount];
        SettingsToArray(settings, slots);
        PreviewExchange exchange{};
        exchange.settings = slots;
        EXPECT_EQ(CallPreview(host, module, previewCommandOpen, &exchange), noErr);
        if (showOriginal) {
            EXPECT_EQ(CallPreview(host, module, previewCommandShowOriginal, &exchange), noErr);
        }
        exchange.size = size;
        EXPECT_EQ(CallPreview(host, module, previewCommandSetSize, &exchange), noErr);
        EXPECT_EQ(CallPreview(host, module, previewCommandCompute, &exchange), noErr);
        EXPECT_EQ(exchange.showingOriginal, showOriginal ? 1 : 0);
        Shown shown{exchange.width, exchange.height, {}, {}};
        if (exchange.picture != nullptr) {
            shown.planes.assign(exchange.picture, exchange.picture + size_t{3} * exchange.width * exchange.height);
            shown.histogram.assign(exchange.histogram, exchange.histogram + 256);
        }
        EXPECT_EQ(CallPreview(host, module, previewCommandClose, &exchange), noErr);
        EXPECT_EQ(OutstandingBuffers(host), 0);
        ReleaseKeptHandles(host);
        return shown;
    }
};

// The PNG's bytes, planes apart again.
Shown ReadPicture(const std::string& path) {
    const ImageRead image = ReadTestImage(path);
    EXPECT_EQ(image.header.nchannels, 3);
    EXPECT_EQ(image.header.format, TypeDesc::UINT8);
    Shown shown{image.header.width, image.header.height, {}, {}};
    const size_t plane = size_t{1} * shown.width * shown.height;
    shown.planes.resize(3 * plane);
    for (size_t k = 0; k < plane; ++k)
        for (size_t c = 0; c < 3; ++c)
            shown.planes[c * plane + k] = static_cast<uint8_t>(std::lround(image.pixels[3 * k + c] * 255.0f));
    return shown;
}

std::vector<int32_t> ReadHistogram(const std::string& path) {
    std::istringstream lines(ReadText(path));
    std::vector<int32_t> counts;
    for (std::string line; std::getline(lines, line);) counts.push_back(std::stoi(line));
    return counts;
}

TEST_F(PreviewCommandTest, WritesThePictureAndHistogramTheDialogShows) {
    const int w = 640, h = 420;
    std::vector<float> hdr(size_t{3} * w * h);
    for (size_t i = 0; i < hdr.size(); ++i)
        hdr[i] = std::pow(10.0f, static_cast<float>((i / 3) % w) / w * 4.0f - 2.0f) * (1.0f + 0.2f * (i % 3));
    WriteTestImage(dir / "scene.exr", w, h, 3, TypeDesc::FLOAT, hdr);
    WriteTestImage(dir / "scene16.png", w, h, 3, TypeDesc::UINT16, Pattern(w, h, 3, 1.0f));

    struct Case {
        std::string input;
        std::vector<std::string> options;
        int32_t size;
        bool original;
        int32_t width, height;
    };
    const Case cases[] = {
        {"scene.exr", {"--preview", "small", "--strength", "85", "--gamma", "1.2"}, 512, false, 512, 336},
        {"scene.exr", {"--preview", "1024", "--show-original"}, 1024, true, 640, 420},
        {"scene16.png", {"--preview", "Medium", "--color-saturation", "20"}, 768, false, 640, 420},
        {"scene16.png", {"--show-original", "--preview=512"}, 512, true, 512, 336},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"--histogram", dir / "counts.txt", dir / c.input, dir / "shown.png"});
        const ToolResult r = Run(args);
        ASSERT_EQ(r.status, 0) << r.err;
        const Shown expected = ModulePreview(dir / c.input, args, c.size, c.original);
        const Shown written = ReadPicture(dir / "shown.png");
        EXPECT_EQ(written.width, c.width) << c.input;
        EXPECT_EQ(written.height, c.height) << c.input;
        EXPECT_EQ(written.planes, expected.planes) << c.input << (c.original ? " original" : "");
        const std::vector<int32_t> counts = ReadHistogram(dir / "counts.txt");
        EXPECT_EQ(counts, expected.histogram);
        EXPECT_EQ(std::accumulate(counts.begin(), counts.end(), 0), c.width * c.height);
    }
    EXPECT_EQ(FilesBesides(dir.path, {"config", "scene.exr", "scene16.png", "shown.png", "counts.txt"}),
              std::vector<std::string>{});
}

TEST_F(PreviewCommandTest, OptionsThatDoNotGoTogetherAreRefused) {
    WriteTestImage(dir / "in.exr", 130, 110, 3, TypeDesc::FLOAT, Pattern(130, 110, 3, 4.0f));
    const std::vector<std::vector<std::string>> refused = {
        {"--show-original", dir / "in.exr", dir / "out.png"},
        {"--histogram", dir / "h.txt", dir / "in.exr", dir / "out.png"},
        {"--preview", "huge", dir / "in.exr", dir / "out.png"},
        {"--preview", "small", dir / "in.exr", dir / "out.jpg"},
        {"--preview", "small", dir / "in.exr", "--output-dir", dir / "out"},
    };
    for (const auto& args : refused) {
        const ToolResult r = Run(args);
        EXPECT_EQ(r.status, 2) << args[0] << " " << args[1];
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_EQ(FilesBesides(dir.path, {"config", "in.exr"}), std::vector<std::string>{});

    const ToolResult help = Run({"--help"});
    EXPECT_NE(help.out.find("--preview SIZE"), std::string::npos);
}

}  // namespace
