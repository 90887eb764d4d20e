// Hostile but realistic inputs through the built tonemap: damaged and
// truncated files, headers that claim more than the file or the machine
// holds, settings files out of range, pictures without contrast, extreme
// pixels. Each gets its own status and a message that names the file, and a
// batch goes on after each.
#include <cfloat>
#include <cmath>

#include "ExitCodes.h"
#include "ExtremePixels.h"
#include "ImageFiles.h"
#include "ToolTestSupport.h"

namespace {

using OIIO::TypeDesc;

constexpr int W = 130, H = 110;

class HostileInputTest : public ToolTest {
protected:
    void Truncate(const std::string& from, const std::string& to, double share) {
        const std::string bytes = ReadText(dir / from);
        std::ofstream(dir / to, std::ios::binary) << bytes.substr(0, static_cast<size_t>(bytes.size() * share));
    }
    void Raw(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
};

// An OpenEXR file whose header claims `side` x `side` pixels: a small image
// with its data and display windows widened.
std::string ExrClaiming(const std::string& small, int side) {
    std::string bytes = ReadText(small);
    for (const std::string name : {"dataWindow", "displayWindow"}) {
        const std::string key = name + std::string("\0box2i\0", 7);
        const size_t at = bytes.find(key);
        if (at == std::string::npos) return std::string();
        const int32_t box[4] = {0, 0, side - 1, side - 1};
        bytes.replace(at + key.size() + 4, sizeof box, reinterpret_cast<const char*>(box), sizeof box);
    }
    return bytes;
}

TEST_F(HostileInputTest, FilesTheLibraryFindsFaultWithAreDamaged) {
    const std::vector<float> pixels = Pattern(600, 400, 3, 5.0f);
    WriteTestImage(dir / "f.tif", 600, 400, 3, TypeDesc::FLOAT, pixels);
    WriteTestImage(dir / "s.tif", 600, 400, 3, TypeDesc::UINT16, Pattern(600, 400, 3, 1.0f));
    WriteTestImage(dir / "e.jpg", 600, 400, 3, TypeDesc::UINT8, Pattern(600, 400, 3, 1.0f));
    WriteTestImage(dir / "p.png", 600, 400, 3, TypeDesc::UINT16, Pattern(600, 400, 3, 1.0f));
    Truncate("f.tif", "float-cut.tif", 0.6);
    Truncate("s.tif", "sixteen-cut.tif", 0.6);
    Truncate("e.jpg", "cut.jpg", 0.6);
    Truncate("p.png", "cut.png", 0.6);
    for (const char* name : {"float-cut.tif", "sixteen-cut.tif", "cut.jpg", "cut.png"}) {
        const ToolResult r = Run({"--depth", "16", dir / name, dir / "o.png"});
        EXPECT_EQ(r.status, kExitInputUnreadable) << name << ": " << r.err;
        EXPECT_EQ(r.err.rfind("tonemap: \"" + dir / name + "\" is damaged or incomplete", 0), 0u)
            << "our own message comes first: " << r.err;
        EXPECT_FALSE(fs::exists(dir.path / "o.png"));
    }
}

TEST_F(HostileInputTest, HeadersClaimingMoreThanTheFileHoldsFailAtOnceAndTheBatchGoesOn) {
    WriteTestImage(dir / "good.exr", W, H, 3, TypeDesc::FLOAT, Pattern(W, H, 3, 4.0f));
    WriteTestImage(dir / "small.exr", 512, 512, 3, TypeDesc::HALF, Pattern(512, 512, 3, 4.0f));
    const std::string noise(100000, '\x3f');
    Raw("huge.pfm", "PF\n2000000000 2000000000\n-1.0\n" + noise);
    Raw("huge.hdr", "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 2000000000 +X 2000000000\n" + noise);
    Raw("negative.pfm", "PF\n-200 300\n-1.0\n" + noise);
    const std::string claim = ExrClaiming(dir / "small.exr", 20000);
    ASSERT_FALSE(claim.empty());
    Raw("claim.exr", claim);
    for (const char* name : {"huge.pfm", "huge.hdr", "negative.pfm", "claim.exr"}) {
        const ToolResult r = Run({dir / name, dir / "good.exr", "--output-dir", dir / "out", "--format", "png"});
        EXPECT_EQ(r.status, kExitInputUnreadable) << name << ": " << r.err;
        EXPECT_NE(r.err.find("\"" + dir / name + "\" is damaged"), std::string::npos) << r.err;
        EXPECT_LT(r.peakKilobytes, 1024 * 1024) << name << ": no memory for what the header claims";
        EXPECT_TRUE(fs::exists(dir.path / "out/good.png")) << name;
        fs::remove_all(dir.path / "out");
    }
    // A claim the file can hold is believed, as far as the format allows.
    OIIO::ImageSpec pfm(5, 4, 3, TypeDesc::FLOAT);
    EXPECT_EQ(FewestBytesForClaim(pfm, "pnm"), 5u * 4 * 3 * 4);
    OIIO::ImageSpec hdr(300, 2, 3, TypeDesc::FLOAT);
    EXPECT_EQ(FewestBytesForClaim(hdr, "hdr"), 2u * (4 + 8 * 3));
    EXPECT_EQ(FewestBytesForClaim(hdr, "png"), 0u);
}

#if !defined(__SANITIZE_ADDRESS__)
// Under an address space limit the machine cannot give what a large (and
// valid) image needs: refused before reading, with the numbers, and the batch
// goes on. (AddressSanitizer cannot run under such a limit.)
TEST_F(HostileInputTest, ImagesLargerThanTheMemoryLeftAreRefusedWithTheirNeed) {
    const int side = 6000;
    OIIO::ImageSpec header(side, side, 3, TypeDesc::HALF);
    header.attribute("compression", "zip");
    auto out = OIIO::ImageOutput::create(dir / "large.exr");
    ASSERT_TRUE(out && out->open(dir / "large.exr", header));
    const std::vector<float> rows = Pattern(side, 100, 3, 3.0f);
    for (int y = 0; y < side; y += 100)
        ASSERT_TRUE(out->write_scanlines(y, y + 100, 0, TypeDesc::FLOAT, rows.data()));
    ASSERT_TRUE(out->close());
    WriteTestImage(dir / "good.exr", W, H, 3, TypeDesc::FLOAT, Pattern(W, H, 3, 4.0f));

    ChildSetup setup;
    setup.addressSpaceLimit = rlim_t(1) << 30;
    const ToolResult r = Run({dir / "large.exr", dir / "good.exr", "--output-dir", dir / "out", "--format", "png"}, setup);
    EXPECT_EQ(r.status, kExitOutOfMemory) << r.err;
    EXPECT_NE(r.err.find("Not enough memory for \"" + dir / "large.exr" + "\": its 6000 x 6000 pixels need about"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(fs::exists(dir.path / "out/good.png"));
}
#endif

TEST_F(HostileInputTest, SettingsFilesOutsideTheDialogsRangesAreRefusedByName) {
    ASSERT_EQ(Run({"--save-settings", dir / "base.xmp"}).status, 0);
    const std::string base = ReadText(dir / "base.xmp");
    struct Case {
        const char* from;
        const char* to;
        const char* says;
    };
    const Case cases[] = {
        {">46</kvtm:ColorSaturation>", ">-5</kvtm:ColorSaturation>", "ColorSaturation to -5, outside the dialog's range of 0 to 100"},
        {">0</kvtm:Luminosity>", ">2147483647</kvtm:Luminosity>", "Luminosity to 2147483647, outside the dialog's range of -10 to 10"},
        {">2</kvtm:Microsmoothing>", ">-1000</kvtm:Microsmoothing>", "Microsmoothing to -1000"},
        {">0.250000</kvtm:WhiteClip>", ">12.5</kvtm:WhiteClip>", "WhiteClip to 12.500, outside the dialog's range of 0.000 to 10.000 percent"},
    };
    WriteTestImage(dir / "a.exr", W, H, 3, TypeDesc::FLOAT, Pattern(W, H, 3, 4.0f));
    for (const Case& c : cases) {
        std::string text = base;
        const size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.from;
        text.replace(at, std::strlen(c.from), c.to);
        Raw("bad.xmp", text);
        ToolResult r = Run({"--settings", dir / "bad.xmp", "--print-settings"});
        EXPECT_EQ(r.status, kExitSettingsFile) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << "no option is printed that the command line would refuse";
        r = Run({"--settings", dir / "bad.xmp", dir / "a.exr", dir / "o.png"});
        EXPECT_EQ(r.status, kExitSettingsFile) << r.err;
        EXPECT_FALSE(fs::exists(dir.path / "o.png"));
    }
}

TEST_F(HostileInputTest, PicturesWithoutContrastSaySo) {
    auto image = [&](const std::string& name, auto value) {
        std::vector<float> v(size_t(W) * H * 3);
        for (size_t i = 0; i < v.size(); ++i) v[i] = value(i / 3);
        WriteTestImage(dir / name, W, H, 3, TypeDesc::FLOAT, v);
    };
    image("constant.pfm", [](size_t) { return 0.5f; });
    image("black.pfm", [](size_t) { return 0.0f; });
    image("nan.pfm", [](size_t) { return NAN; });
    image("point.pfm", [](size_t p) { return p == 5000 ? 100.0f : 0.0f; });
    for (const char* name : {"constant.pfm", "black.pfm", "nan.pfm", "point.pfm"}) {
        const ToolResult r = Run({dir / name, dir / "o.png"});
        EXPECT_EQ(r.status, kExitUnsupported) << name << ": " << r.err;
        EXPECT_NE(r.err.find("\"" + dir / name + "\" has no contrast to compress"), std::string::npos) << r.err;
    }
}

TEST_F(HostileInputTest, ExtremePixelsAreWarnedAboutWithTheirCount) {
    // A smooth picture: on fine noise, tiny values beside ordinary ones
    // overflow the plug-in's arithmetic altogether (below).
    std::vector<float> photo(size_t(W) * H * 3);
    for (size_t i = 0; i < photo.size(); ++i) photo[i] = 0.01f + float((i / 3) % W + (i / 3) / W) / 40.0f;
    std::vector<float> bright = photo, largest = photo, dim = photo;
    for (int c = 0; c < 3; ++c) {
        bright[300 + c] = 1e20f;
        largest[300 + c] = FLT_MAX;
    }
    for (size_t p = 0; p < size_t(W) * H; ++p)
        for (int c = 0; c < 3 && p % W % 4 == 0; ++c) dim[p * 3 + c] = 1e-30f;  // every fourth column
    WriteTestImage(dir / "photo.pfm", W, H, 3, TypeDesc::FLOAT, photo);
    WriteTestImage(dir / "bright.pfm", W, H, 3, TypeDesc::FLOAT, bright);
    WriteTestImage(dir / "largest.pfm", W, H, 3, TypeDesc::FLOAT, largest);
    WriteTestImage(dir / "dim.pfm", W, H, 3, TypeDesc::FLOAT, dim);
    auto warnings = [&](const char* name) {
        const ToolResult r = RunTonemap({dir / name, dir / "o.png"}, config());
        EXPECT_EQ(r.status, 0) << r.err;
        return r.err;
    };
    EXPECT_EQ(warnings("photo.pfm").find("warning"), std::string::npos);
    EXPECT_NE(warnings("bright.pfm").find("has 1 pixel brighter than 1e+10 (up to 1e+20)"), std::string::npos);
    EXPECT_NE(warnings("largest.pfm").find("has 1 pixel brighter than 1e+10 (up to 3.4e+38)"), std::string::npos);
    EXPECT_NE(warnings("dim.pfm").find("has " + std::to_string((W + 3) / 4 * H) + " pixels darker than 1e-20"),
              std::string::npos);

    std::vector<float> noise = Pattern(W, H, 3, 8.0f);
    for (size_t p = 0; p < size_t(W) * H; p += 4)
        for (int c = 0; c < 3; ++c) noise[p * 3 + c] = 1e-30f;
    WriteTestImage(dir / "noise.pfm", W, H, 3, TypeDesc::FLOAT, noise);
    const ToolResult r = Run({dir / "noise.pfm", dir / "o.png"});
    EXPECT_EQ(r.status, kExitUnsupported) << r.err;
    EXPECT_NE(r.err.find("the plug-in's arithmetic overflowed"), std::string::npos) << r.err;
}

// A large document is counted in parts on several threads: every part's
// pixels count once, the brightest and the dimmest come from whichever part
// holds them, and a part without extremes changes nothing.
TEST(ExtremePixelCounts, PartsOfALargeDocumentAddUp) {
    const int32_t w = 1000, h = 1100;  // several parts of the count
    HostDocument document = MakeDocument(w, h, 3, 32);
    float* samples = FloatSamples(document);
    std::fill(samples, samples + size_t(w) * h * 3, 0.5f);
    auto set = [&](size_t pixel, float value) {
        for (int c = 0; c < 3; ++c) samples[pixel * 3 + c] = value;
    };
    set(10, 1e12f);
    set(size_t(w) * h - 1, 1e30f);      // the brightest, in the last part
    set(size_t(w) * h / 2, 1e15f);
    set(20, 1e-25f);                    // the dimmest, in the first part
    set(size_t(w) * h - 5, 1e-22f);
    set(size_t(w) * h / 2 + 7, 1e-21f);
    set(size_t(w) * h / 3, NAN);        // neither
    const ExtremePixelCounts counts = CountExtremePixels(document);
    EXPECT_EQ(counts.bright, 3u);
    EXPECT_EQ(counts.dim, 3u);
    EXPECT_FLOAT_EQ(float(counts.brightest), 1e30f);
    EXPECT_FLOAT_EQ(float(counts.dimmest), 1e-25f);

    std::fill(samples, samples + size_t(w) * h * 3, 0.5f);
    set(size_t(w) * h - 1, 1e-21f);  // the only extreme, in the last part
    const ExtremePixelCounts one = CountExtremePixels(document);
    EXPECT_EQ(one.bright, 0u);
    EXPECT_EQ(one.dim, 1u);
    EXPECT_FLOAT_EQ(float(one.dimmest), 1e-21f);
}

}  // namespace
