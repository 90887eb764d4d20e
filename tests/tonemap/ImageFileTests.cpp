// Image files into documents and documents into files, format by format,
// called in-process so that the values can be checked exactly.
#include "CodeConversions.h"
#include "ImageFiles.h"
#include "ToolTestSupport.h"

namespace {

using OIIO::TypeDesc;

constexpr int W = 120, H = 100;

TEST(ReadImageFile, FloatFilesBecomeThirtyTwoBitDocumentsOfTheirValues) {
    TempFolder dir;
    const std::vector<float> rgb = Pattern(W, H, 3, 40.0f);
    for (const char* name : {"f.exr", "f.pfm", "f.tif"}) {
        WriteTestImage(dir / name, W, H, 3, TypeDesc::FLOAT, rgb);
        ImageFile image;
        ToolError error;
        ASSERT_TRUE(ReadImageFile(dir / name, false, &image, &error)) << error.message;
        EXPECT_EQ(image.document.depth, 32) << name;
        EXPECT_EQ(image.fileBits, 32);
        EXPECT_TRUE(image.alpha.empty());
        EXPECT_TRUE(std::equal(rgb.begin(), rgb.end(), FloatSamples(image.document))) << name;
    }
    // Half floats and RGBE are read as 32-bit documents too.
    WriteTestImage(dir / "h.exr", W, H, 3, TypeDesc::HALF, rgb);
    WriteTestImage(dir / "r.hdr", W, H, 3, TypeDesc::FLOAT, rgb);
    for (const char* name : {"h.exr", "r.hdr"}) {
        ImageFile image;
        ToolError error;
        ASSERT_TRUE(ReadImageFile(dir / name, false, &image, &error)) << error.message;
        EXPECT_EQ(image.document.depth, 32);
        EXPECT_NEAR(FloatSamples(image.document)[500], rgb[500], rgb[500] * 0.01f) << name;
    }
}

TEST(ReadImageFile, SixteenBitFilesBecomeCodesAndAlphaIsKeptAside) {
    TempFolder dir;
    // Grey and alpha: the grey value goes to all three planes.
    const float values[] = {0, 1, 32767, 32768, 65534, 65535};
    std::vector<float> ga(W * H * 2, 0.0f);
    for (int i = 0; i < 6; ++i) {
        ga[i * 2] = values[i] / 65535.0f;
        ga[i * 2 + 1] = values[5 - i] / 65535.0f;
    }
    for (const char* name : {"g.png", "g.tif"}) {
        WriteTestImage(dir / name, W, H, 2, TypeDesc::UINT16, ga, 1);
        ImageFile image;
        ToolError error;
        ASSERT_TRUE(ReadImageFile(dir / name, false, &image, &error)) << error.message;
        EXPECT_EQ(image.document.depth, 16);
        EXPECT_TRUE(image.grey);
        ASSERT_EQ(image.alpha.size(), size_t(W * H));
        const uint16_t* codes = Code16Samples(image.document);
        const uint16_t expected[] = {0, 1, 16384, 16384, 32767, 32768};
        for (int i = 0; i < 6; ++i) {
            for (int c = 0; c < 3; ++c) EXPECT_EQ(codes[i * 3 + c], expected[i]) << name << " " << i;
            EXPECT_EQ(image.alpha[i], values[5 - i] / 65535.0f);
        }
    }
}

// RGB files of the document's own samples go straight into it, strip by
// strip: each strip lands in its own rows, 16-bit values become codes there.
// Rows of float samples come as the file holds them, the library's
// conversion skipped: the same values as the library's converting read, in
// every scanline format, Radiance's shared exponents included.
TEST(ReadImageFile, TallFilesLandRowForRowInTheDocument) {
    TempFolder dir;
    const int w = 100, h = 700;  // several strips, the last one short
    const std::vector<float> rgb = Pattern(w, h, 3, 1.0f);
    WriteTestImage(dir / "scanlines.exr", w, h, 3, TypeDesc::FLOAT, rgb);
    WriteTestImage(dir / "scanlines.tif", w, h, 3, TypeDesc::FLOAT, rgb);
    OIIO::ImageSpec tiled(w, h, 3, TypeDesc::FLOAT);
    tiled.tile_width = tiled.tile_height = 64;
    auto out = OIIO::ImageOutput::create(dir / "tiles.exr");
    ASSERT_TRUE(out && out->open(dir / "tiles.exr", tiled) && out->write_image(TypeDesc::FLOAT, rgb.data()));
    out->close();
    for (const char* name : {"scanlines.exr", "scanlines.tif", "tiles.exr"}) {
        ImageFile image;
        ToolError error;
        ASSERT_TRUE(ReadImageFile(dir / name, false, &image, &error)) << error.message;
        EXPECT_TRUE(std::equal(rgb.begin(), rgb.end(), FloatSamples(image.document))) << name;
    }
    WriteTestImage(dir / "radiance.hdr", w, h, 3, TypeDesc::FLOAT, Pattern(w, h, 3, 300.0f));
    const ImageRead radiance = ReadTestImage(dir / "radiance.hdr");
    ImageFile fromRadiance;
    ToolError radianceError;
    ASSERT_TRUE(ReadImageFile(dir / "radiance.hdr", false, &fromRadiance, &radianceError)) << radianceError.message;
    ASSERT_EQ(radiance.pixels.size(), rgb.size());
    EXPECT_TRUE(std::equal(radiance.pixels.begin(), radiance.pixels.end(), FloatSamples(fromRadiance.document)));

    WriteTestImage(dir / "sixteen.tif", w, h, 3, TypeDesc::UINT16, rgb);
    const ImageRead file = ReadTestImage(dir / "sixteen.tif");
    ImageFile image;
    ToolError error;
    ASSERT_TRUE(ReadImageFile(dir / "sixteen.tif", false, &image, &error)) << error.message;
    ASSERT_EQ(image.document.depth, 16);
    for (size_t i = 0; i < file.pixels.size(); ++i)
        ASSERT_EQ(Code16Samples(image.document)[i], FileValueToCode(uint16_t(std::lround(file.pixels[i] * 65535))))
            << i;
}

TEST(ReadImageFile, EightBitFilesAreLeftToThePluginUnlessPromoted) {
    TempFolder dir;
    WriteTestImage(dir / "e.png", W, H, 3, TypeDesc::UINT8, Pattern(W, H, 3, 1.0f));
    ImageFile image;
    ToolError error;
    ASSERT_TRUE(ReadImageFile(dir / "e.png", false, &image, &error));
    EXPECT_EQ(image.document.depth, 8);
    ASSERT_TRUE(ReadImageFile(dir / "e.png", true, &image, &error));
    EXPECT_EQ(image.document.depth, 16);
    EXPECT_EQ(image.fileBits, 8);
    const std::vector<float> pattern = Pattern(W, H, 3, 1.0f);
    const auto eight = static_cast<uint8_t>(std::lround(pattern[7] * 255));
    EXPECT_EQ(Code16Samples(image.document)[7], FileValueToCode(EightBitToFileValue(eight)));
}

TEST(ReadImageFile, RefusesWhatThePluginCannotUse) {
    TempFolder dir;
    WriteTestImage(dir / "five.exr", W, H, 5, TypeDesc::FLOAT, Pattern(W, H, 5, 1.0f));
    WriteTestImage(dir / "small.exr", 99, 300, 3, TypeDesc::FLOAT, Pattern(99, 300, 3, 1.0f));
    WriteTestImage(dir / "int.tif", W, H, 3, TypeDesc::UINT32, Pattern(W, H, 3, 1.0f));
    for (const char* name : {"five.exr", "small.exr", "int.tif"}) {
        ImageFile image;
        ToolError error;
        EXPECT_FALSE(ReadImageFile(dir / name, false, &image, &error)) << name;
        EXPECT_EQ(error.code, kExitUnsupported) << name << ": " << error.message;
    }
}

// A document of each depth written to each kind of file, read back.
TEST(WriteImageFile, WritesWhatTheExtensionAndTheDepthCallFor) {
    TempFolder dir;
    // Every pixel alike, so that JPEG's compression keeps the colour.
    ImageFile deep;
    deep.document = MakeDocument(W, H, 3, 32);
    for (int i = 0; i < W * H; ++i) {
        FloatSamples(deep.document)[i * 3] = 0.5f;
        FloatSamples(deep.document)[i * 3 + 1] = 3.0f;
    }
    deep.alpha.assign(W * H, 0.25f);
    ImageFile sixteen;
    sixteen.document = MakeDocument(W, H, 3, 16);
    for (int i = 0; i < W * H; ++i) {
        Code16Samples(sixteen.document)[i * 3] = 16384;
        Code16Samples(sixteen.document)[i * 3 + 1] = 32768;
    }

    struct Case {
        const ImageFile* image;
        const char* name;
        TypeDesc::BASETYPE type;
        int channels;
        float first, second;
    };
    const float half = static_cast<float>(std::pow(0.5, 2.2));
    const Case cases[] = {
        {&deep, "d.exr", TypeDesc::FLOAT, 4, 0.5f, 3.0f},
        {&deep, "d.tif", TypeDesc::FLOAT, 4, 0.5f, 3.0f},
        {&deep, "d.pfm", TypeDesc::FLOAT, 3, 0.5f, 3.0f},
        {&deep, "d.png", TypeDesc::UINT16, 4, 47824 / 65535.0f, 1.0f},
        {&deep, "d.jpg", TypeDesc::UINT8, 3, 186 / 255.0f, 1.0f},
        {&sixteen, "s.exr", TypeDesc::FLOAT, 3, half, 1.0f},
        {&sixteen, "s.tif", TypeDesc::UINT16, 3, CodeToFileValue(16384) / 65535.0f, 1.0f},
        {&sixteen, "s.png", TypeDesc::UINT16, 3, CodeToFileValue(16384) / 65535.0f, 1.0f},
    };
    for (const Case& c : cases) {
        std::vector<std::string> notes;
        ToolError error;
        ASSERT_TRUE(WriteImageFile(dir / c.name, *c.image, &notes, &error)) << error.message;
        const ImageRead r = ReadTestImage(dir / c.name);
        EXPECT_EQ(r.header.format.basetype, c.type) << c.name;
        EXPECT_EQ(r.header.nchannels, c.channels) << c.name;
        const float tolerance = c.type == TypeDesc::UINT8 ? 0.02f : 1e-6f;  // JPEG is lossy
        EXPECT_NEAR(r.pixels[0], c.first, tolerance) << c.name;
        EXPECT_NEAR(r.pixels[1], c.second, tolerance) << c.name;
        if (c.channels == 4) {
            EXPECT_NEAR(r.pixels[3], 0.25f, 1e-4f) << c.name;
        }
        // Floating-point TIFFs are stored as they are; 16-bit ones deflated.
        if (r.format == "tiff") {
            EXPECT_EQ(r.header.get_string_attribute("compression"), c.type == TypeDesc::FLOAT ? "none" : "zip")
                << c.name;
        }
        EXPECT_EQ(notes.size(), c.image == &deep && c.channels == 3 ? 1u : 0u) << c.name;
    }
    EXPECT_EQ(FilesBesides(dir.path, {"d.exr", "d.tif", "d.pfm", "d.png", "d.jpg", "s.exr", "s.tif", "s.png"}),
              std::vector<std::string>{});
}

}  // namespace
