// Real HDR photographs (scanline, tiled and mip-mapped EXR, half and float,
// Radiance RGBE) through the whole tool: every one comes out as a usable
// picture, and the 360-degree panoramas join at their seam when wrapped.
#include <cmath>
#include <cstdlib>

#include "ToolTestSupport.h"

namespace {

fs::path ImagesFolder() {
    const char* dir = std::getenv("TM_IMAGES_DIR");
    return dir != nullptr ? fs::path(dir) : fs::path("../shared/images");
}

// Mean absolute difference between the first and the last column, relative
// to the mean difference between neighbouring columns.
double SeamRatio(const ImageRead& image) {
    const int w = image.header.width, h = image.header.height, n = image.header.nchannels;
    auto at = [&](int x, int y) { return double(image.pixels[(size_t(y) * w + x) * n + 1]); };
    double seam = 0, neighbours = 0;
    for (int y = 0; y < h; ++y) {
        seam += std::fabs(at(0, y) - at(w - 1, y));
        for (int x = 1; x < w; ++x) neighbours += std::fabs(at(x, y) - at(x - 1, y));
    }
    return (seam / h) / (neighbours / (double(h) * (w - 1)));
}

class PhotographTest : public ::testing::Test {
protected:
    TempFolder dir;
    void SetUp() override {
        if (!fs::is_directory(ImagesFolder())) GTEST_SKIP() << "no photographs at " << ImagesFolder();
    }
    ToolResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), "--quiet");
        return RunTonemap(args, dir.path / "config");
    }
};

TEST_F(PhotographTest, EveryPhotographBecomesAUsablePicture) {
    std::vector<std::string> args = {"--output-dir", dir / "out", "--format", "png"};
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(ImagesFolder())) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".exr" && ext != ".hdr") continue;
        args.push_back(entry.path().string());
        names.push_back(entry.path().stem().string());
    }
    ASSERT_FALSE(names.empty());
    const ToolResult r = Run(args);
    ASSERT_EQ(r.status, 0) << r.err;

    for (const std::string& name : names) {
        const ImageRead out = ReadTestImage(dir / ("out/" + name + ".png"));
        double sum = 0, lowest = 1, highest = 0;
        for (float v : out.pixels) {
            ASSERT_TRUE(v >= 0.0f && v <= 1.0f) << name;
            sum += v;
            lowest = std::fmin(lowest, v);
            highest = std::fmax(highest, v);
        }
        const double mean = sum / double(out.pixels.size());
        EXPECT_GT(mean, 0.05) << name;  // neither black
        EXPECT_LT(mean, 0.85) << name;  // nor washed out
        EXPECT_GT(highest - lowest, 0.5) << name;
    }
}

TEST_F(PhotographTest, WrappedPanoramasJoinAtTheirSeam) {
    const fs::path panorama = ImagesFolder() / "ph_st_fagans_interior_1k.hdr";
    if (!fs::exists(panorama)) GTEST_SKIP() << "no panorama";
    ASSERT_EQ(Run({panorama.string(), dir / "flat.png"}).status, 0);
    ASSERT_EQ(Run({"--360", panorama.string(), dir / "wrapped.png"}).status, 0);
    const double flat = SeamRatio(ReadTestImage(dir / "flat.png"));
    const double wrapped = SeamRatio(ReadTestImage(dir / "wrapped.png"));
    EXPECT_LT(wrapped, 0.5 * flat) << "seam without wrapping " << flat << ", with " << wrapped;
}

}  // namespace
