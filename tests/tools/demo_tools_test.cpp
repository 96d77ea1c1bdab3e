// The demo and evaluation helpers: colour casts are made in linear light, keep what they must
// keep and refuse what they cannot do; the test chart is what its header says it is; apply_cast
// and make_chart write what the library makes and fail cleanly.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>

#include "tests/tools/host_test_support.h"
#include "tools/demo/colour_cast.h"
#include "tools/demo/image_metrics.h"
#include "tools/demo/srgb_lab.h"
#include "tools/demo/test_chart.h"

namespace {

Image Rgb(int channels, int depth, const std::vector<uint16_t>& samples) {
    Image image;
    image.channels = channels;
    image.depth = depth;
    image.width = int32_t(samples.size() / size_t(channels));
    image.height = 1;
    image.samples = samples;
    return image;
}

double Linear(const Image& image, size_t sample) {
    return SrgbToLinear(image.samples[sample] / double(image.depth == 16 ? 65535 : 255));
}

TEST(ColourCast, GainsMultiplyLinearLightAndTheFlatCastLiftsEncodedLevels) {
    // Greys at several levels, 16 bits so that rounding does not hide a wrong curve.
    Image greys = Rgb(3, 16, {});
    for (uint16_t v : {3000, 13107, 32768, 45000}) greys.samples.insert(greys.samples.end(), 3, v);
    greys.width = 4;
    Image warm = greys;
    std::string error;
    ASSERT_TRUE(ApplyColourCast(FindNamedCast("warm")->cast, &warm, &error)) << error;
    for (size_t p = 0; p < 4; ++p) {
        double g = Linear(warm, p * 3 + 1);
        EXPECT_NEAR(g, Linear(greys, p * 3 + 1), 2e-5);
        EXPECT_NEAR(Linear(warm, p * 3) / g, 1.25, 2e-3) << p;
        EXPECT_NEAR(Linear(warm, p * 3 + 2) / g, 0.70, 2e-3) << p;
    }

    // Gains of 1 with the full range give back every value of either depth.
    ColourCast identity;
    Image all8 = Rgb(3, 8, {});
    for (int v = 0; v <= 255; ++v) all8.samples.insert(all8.samples.end(), 3, uint16_t(v));
    all8.width = 256;
    Image all16 = Rgb(3, 16, {});
    for (int v = 0; v <= 65535; v += 7) all16.samples.insert(all16.samples.end(), 3, uint16_t(v));
    all16.width = int32_t(all16.samples.size() / 3);
    for (const Image* image : {&all8, &all16}) {
        Image copy = *image;
        ASSERT_TRUE(ApplyColourCast(identity, &copy, &error));
        EXPECT_EQ(copy.samples, image->samples) << image->depth;
    }

    // The flat cast maps black to LO and white to HI of full scale, straight in between.
    ColourCast flat;
    flat.levelsLo = 0.06;
    flat.levelsHi = 0.92;
    Image lifted = all8;
    ASSERT_TRUE(ApplyColourCast(flat, &lifted, &error));
    EXPECT_EQ(lifted.samples[0], 15);         // 0.06 * 255 = 15.3
    EXPECT_EQ(lifted.samples[255 * 3], 235);  // 0.92 * 255 = 234.6
    EXPECT_EQ(lifted.samples[128 * 3], 125);  // (0.06 + 0.86 * 128 / 255) * 255 = 125.4
}

TEST(ColourCast, ClipsAtFullScaleKeepsAlphaAndRefusesWhatItCannotDo) {
    Image rgba = Rgb(4, 8, {255, 255, 255, 7, 40, 40, 40, 200});
    std::string error;
    ASSERT_TRUE(ApplyColourCast({{1.25, 1.0, 0.0}, 0, 1}, &rgba, &error));
    EXPECT_EQ(rgba.samples, (std::vector<uint16_t>{255, 255, 0, 7, 45, 40, 0, 200}));

    Image grey = Rgb(1, 8, {10, 20});
    Image before = grey;
    EXPECT_FALSE(ApplyColourCast(ColourCast(), &grey, &error));
    EXPECT_EQ(grey.samples, before.samples);
    Image rgb = Rgb(3, 8, {10, 20, 30});
    for (ColourCast bad : {ColourCast{{NAN, 1, 1}, 0, 1}, ColourCast{{1, -0.5, 1}, 0, 1},
                           ColourCast{{1, 1, 17}, 0, 1}, ColourCast{{1, 1, 1}, 0.5, 0.5},
                           ColourCast{{1, 1, 1}, -0.1, 1}, ColourCast{{1, 1, 1}, 0, NAN}}) {
        EXPECT_FALSE(ApplyColourCast(bad, &rgb, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(rgb.samples, (std::vector<uint16_t>{10, 20, 30}));
    }
}

TEST(TestChart, GreyPatchesAreWhereTheHeaderSaysAndTheExtremesAreNeutral) {
    const Image chart = MakeTestChart();
    ASSERT_EQ(ChartProblem(chart), "");
    for (int i = 0; i < kChartGreyCount; ++i) {
        const ChartRect r = ChartGreyPatch(i);
        if (i > 0) {
            EXPECT_GT(kChartGreyLevels[i], kChartGreyLevels[i - 1]);
        }
        for (int y = r.y0; y < r.y1; ++y) {
            for (int x = r.x0; x < r.x1; ++x) {
                for (int c = 0; c < 3; ++c) {
                    ASSERT_EQ(chart.At(y, x, c), kChartGreyLevels[i]) << i << " " << x << "," << y;
                }
            }
        }
        // A frame of background around every patch: the patches do not touch anything else.
        EXPECT_EQ(chart.At(r.y0 - 1, r.x0, 1), kChartBackground);
        EXPECT_EQ(chart.At(r.y1, r.x1 - 1, 1), kChartBackground);
        EXPECT_EQ(chart.At(r.y0, r.x1, 1), kChartBackground);
    }
    const std::vector<size_t> greys = ChartGreyPixels();
    EXPECT_EQ(greys.size(), size_t(kChartGreyCount * (88 - 20) * (100 - 20)));
    double chroma = -1;
    std::string error;
    ASSERT_TRUE(MeanChroma(chart, greys, &chroma, &error));
    EXPECT_LT(chroma, 1e-3);
    ASSERT_TRUE(MeanChroma(chart, {}, &chroma, &error));
    EXPECT_GT(chroma, 10);  // the hue strip and memory colours are there

    // The darkest 1% by the largest channel and the lightest 1% by the smallest channel, the ends
    // a search for black and white looks at, are all neutral.
    const size_t pixels = size_t(kChartWidth) * kChartHeight;
    std::vector<int> largest(pixels), smallest(pixels);
    for (size_t i = 0; i < pixels; ++i) {
        const uint16_t* p = &chart.samples[i * 3];
        largest[i] = std::max({p[0], p[1], p[2]});
        smallest[i] = std::min({p[0], p[1], p[2]});
    }
    std::vector<int> sorted = largest;
    std::nth_element(sorted.begin(), sorted.begin() + pixels / 100, sorted.end());
    const int darkLimit = sorted[pixels / 100];
    sorted = smallest;
    std::nth_element(sorted.begin(), sorted.end() - pixels / 100, sorted.end());
    const int lightLimit = sorted[pixels - pixels / 100];
    for (size_t i = 0; i < pixels; ++i) {
        if (largest[i] <= darkLimit || smallest[i] >= lightLimit) {
            ASSERT_EQ(largest[i], smallest[i])
                << "pixel " << i % kChartWidth << "," << i / kChartWidth;
        }
    }
}

class DemoTools : public fhtest::TempDirTest {
   protected:
    int Exec(const std::string& tool, const std::string& args) {
        std::string command = "'" + tool + "' " + args + " >/dev/null 2>'" + Path("err.txt") + "'";
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_F(DemoTools, MakeChartAndApplyCastWriteWhatTheLibraryMakes) {
    ASSERT_EQ(Exec(MAKE_CHART_PATH, "'" + Path("chart.png") + "'"), 0);
    const Image chart = fhtest::LoadImage(Path("chart.png"));
    EXPECT_EQ(chart.samples, MakeTestChart().samples);

    Image expected = chart;
    std::string error;
    ASSERT_TRUE(ApplyColourCast(FindNamedCast("cool-flat")->cast, &expected, &error));
    ASSERT_EQ(Exec(APPLY_CAST_PATH,
                   "--cast cool-flat '" + Path("chart.png") + "' '" + Path("named.png") + "'"),
              0);
    EXPECT_EQ(fhtest::LoadImage(Path("named.png")).samples, expected.samples);
    ASSERT_EQ(Exec(APPLY_CAST_PATH, "--gains 0.8,1,1.15 --levels 0.06,0.92 '" + Path("chart.png") +
                                        "' '" + Path("custom.tif") + "'"),
              0);
    EXPECT_EQ(fhtest::LoadImage(Path("custom.tif")).samples, expected.samples);

    // 16-bit input stays 16-bit.
    Image wide = fhtest::MakeImage(5, 4, 4, 16, 3);
    fhtest::SaveImage(Path("wide.png"), wide);
    ASSERT_EQ(
        Exec(APPLY_CAST_PATH, "--cast warm '" + Path("wide.png") + "' '" + Path("w.png") + "'"), 0);
    Image castWide = fhtest::LoadImage(Path("w.png"));
    EXPECT_EQ(castWide.depth, 16);
    ASSERT_TRUE(ApplyColourCast(FindNamedCast("warm")->cast, &wide, &error));
    EXPECT_EQ(castWide.samples, wide.samples);
}

TEST_F(DemoTools, ApplyCastRefusesBadArgumentsAndWritesNothingOnFailure) {
    fhtest::SaveImage(Path("in.png"), fhtest::MakeImage(4, 3, 3, 8, 1));
    fhtest::SaveImage(Path("grey.png"), fhtest::MakeImage(4, 3, 1, 8, 2));
    const std::string in = " '" + Path("in.png") + "' '" + Path("out.png") + "'";
    for (const std::string& args :
         {std::string(""), "--gains 1,2" + in, "--gains 1,2,3,4" + in, "--gains 1,,1" + in,
          "--gains 1,1,nan" + in, "--levels 0.9,0.1 --gains 1,1,1" + in,
          "--cast warm --gains 1,1,1" + in, "--cast sepia" + in, in,
          "--cast warm '" + Path("in.png") + "'", "--frobnicate" + in}) {
        EXPECT_EQ(Exec(APPLY_CAST_PATH, args), 2) << args;
        EXPECT_FALSE(fhtest::Exists(Path("out.png"))) << args;
    }
    EXPECT_EQ(Exec(APPLY_CAST_PATH,
                   "--cast warm '" + Path("missing.png") + "' '" + Path("out.png") + "'"),
              1);
    EXPECT_EQ(
        Exec(APPLY_CAST_PATH, "--cast warm '" + Path("grey.png") + "' '" + Path("out.png") + "'"),
        1);
    EXPECT_EQ(
        Exec(APPLY_CAST_PATH, "--cast warm '" + Path("in.png") + "' '" + Path("out.gif") + "'"), 1);
    EXPECT_EQ(fhtest::FolderEntries(dir_).size(), 3u) << "only in.png, grey.png and err.txt";
}

}  // namespace
