// The row pipeline cut into column bands on several threads against the single pipeline: the
// same bytes for every thread count, with sharpening and noise removal (every neighbourhood, the
// largest radius), 8- and 16-bit, images narrower than a band, rows handed over in uneven
// batches as the host's strips come; the transform alone applied straight to the interleaved
// rows, the same bytes again; a failing sink reported once with its row; and memory failures at
// every request leave nothing held.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/huegrid_build.h"
#include "host/direct_strip.h"
#include "host/row_bands.h"
#include "host/row_pipeline.h"
#include "platform/mem.h"
#include "tests/platform/mem_failure.h"

namespace {

struct Scene {
    int32_t width, rows, bytes;
    std::vector<uint8_t> pixels;  // interleaved RGB samples of bytes each, rows of width * 3
};

// Smooth gradients, hard edges and noise: every processor has something to change.
Scene MakeScene(int32_t width, int32_t rows, int32_t bytes, uint32_t seed) {
    Scene s{width, rows, bytes, std::vector<uint8_t>(size_t(width) * rows * 3 * bytes)};
    std::mt19937 random(seed);
    const int32_t top = bytes == 2 ? 65535 : 255;
    for (int32_t y = 0; y < rows; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            for (int32_t c = 0; c < 3; ++c) {
                int32_t v = (x * 7 + y * 3 * (c + 1)) % 256;
                if ((x / 9 + y / 5) % 3 == 0) v = 255 - v;
                v = v * top / 255 + int32_t(random() % 41) * (top / 255) - 20 * (top / 255);
                v = v < 0 ? 0 : (v > top ? top : v);
                const size_t at = (size_t(y) * width + x) * 3 + c;
                if (bytes == 2) {
                    reinterpret_cast<uint16_t*>(s.pixels.data())[at] = uint16_t(v);
                } else {
                    s.pixels[at] = uint8_t(v);
                }
            }
        }
    }
    return s;
}

struct Output {
    int32_t width, bytes;
    std::vector<uint8_t> planes;   // per row: three planes of width samples
    std::vector<int32_t> written;  // per row: columns written
};

void Put(Output* out, const HgPixelBuffer* row, int32_t skip, int32_t x, int32_t count, int32_t y) {
    const size_t rowBytes = size_t(out->width) * 3 * out->bytes;
    if ((y + 1) * rowBytes > out->planes.size()) {
        out->planes.resize((y + 1) * rowBytes);
        out->written.resize(size_t(y) + 1);
    }
    for (int32_t c = 0; c < 3; ++c) {
        const uint8_t* from =
            (out->bytes == 2 ? reinterpret_cast<const uint8_t*>(row->data16) : row->data8) +
            (size_t(c) * row->width + skip) * out->bytes;
        uint8_t* to = out->planes.data() + y * rowBytes + (size_t(c) * out->width + x) * out->bytes;
        std::copy(from, from + size_t(count) * out->bytes, to);
    }
    out->written[size_t(y)] += count;
}

int32_t WholeSink(const HgPixelBuffer* row, void* context) {
    auto* out = static_cast<Output*>(context);
    Put(out, row, 0, 0, int32_t(row->width), int32_t(out->written.size()));
    return 0;
}

// Bands of one run write disjoint columns of the rows, from several threads: rows are sized
// before the run (see Banded), so the sink only writes into place.
int32_t BandSinkInto(const BandRow* band, void* context) {
    auto* out = static_cast<Output*>(context);
    const size_t rowBytes = size_t(out->width) * 3 * out->bytes;
    for (int32_t c = 0; c < 3; ++c) {
        const uint8_t* from = (out->bytes == 2 ? reinterpret_cast<const uint8_t*>(band->row->data16)
                                               : band->row->data8) +
                              (size_t(c) * band->row->width + band->skip) * out->bytes;
        uint8_t* to = out->planes.data() + band->y * rowBytes +
                      (size_t(c) * out->width + band->x) * out->bytes;
        std::copy(from, from + size_t(band->count) * out->bytes, to);
    }
    return 0;
}

class RowBandsTest : public ::testing::Test {
   protected:
    void SetUp() override {
        EditPars pars;
        ASSERT_EQ(SetParsDefaults(&pars), 0);
        pars.brightness = 0.6f;
        pars.contrast = 0.58f;
        pars.saturation = 0.6f;
        for (int32_t bytes = 1; bytes <= 2; ++bytes) {
            ASSERT_EQ(HgBuild(&pars, kEditMaskAll, 2, bytes, &transform_[bytes - 1]), 0);
            ASSERT_EQ(HgSetDepth(transform_[bytes - 1], kHgSideInput, bytes), 0);
            ASSERT_EQ(HgSetDepth(transform_[bytes - 1], kHgSideOutput, bytes), 0);
        }
    }
    void TearDown() override {
        for (Huegrid* t : transform_) HgFree(t);
    }

    RowPipelineSetup Setup(const Scene& s, const SharpenNoise& sn) const {
        RowPipelineSetup setup{};
        setup.transform = transform_[s.bytes - 1];
        setup.width = s.width;
        setup.rows = s.rows;
        setup.bytesIn = setup.bytesOut = s.bytes;
        setup.settings = &sn;
        setup.sharpen = sn.sharpenOn;
        setup.noise = sn.noiseOn;
        return setup;
    }

    Output Whole(const Scene& s, const SharpenNoise& sn) const {
        Output out{s.width, s.bytes, {}, {}};
        RowPipelineSetup setup = Setup(s, sn);
        setup.sink = WholeSink;
        setup.sinkContext = &out;
        RowPipeline p;
        Ui_Failure failure;
        EXPECT_EQ(RowPipelineBegin(&p, &setup, &failure), 0);
        const size_t rowBytes = size_t(s.width) * 3 * s.bytes;
        for (int32_t y = 0; y < s.rows; ++y) {
            RowPipelineSplit(&p, s.pixels.data() + y * rowBytes, 3);
            EXPECT_EQ(RowPipelineRun(&p), 0);
        }
        RowPipelineEnd(&p);
        return out;
    }

    // The rows in batches of batch rows (the last one shorter), as strips come from a host.
    Output Banded(const Scene& s, const SharpenNoise& sn, int32_t threads, int32_t batch,
                  int32_t* bands) const {
        Output out{s.width, s.bytes, std::vector<uint8_t>(s.pixels.size()), {}};
        const RowPipelineSetup setup = Setup(s, sn);
        RowBands* b = static_cast<RowBands*>(Mem_Alloc(sizeof(RowBands)));
        Ui_Failure failure;
        EXPECT_EQ(RowBandsBegin(b, &setup, threads, BandSinkInto, &out, &failure), 0);
        *bands = RowBandsCount(b);
        const ptrdiff_t rowBytes = ptrdiff_t(s.width) * 3 * s.bytes;
        for (int32_t y = 0; y < s.rows; y += batch) {
            const int32_t rows = std::min(batch, s.rows - y);
            int32_t failed = -1;
            EXPECT_EQ(RowBandsRun(b, s.pixels.data() + y * rowBytes, rowBytes, 3, rows, &failed),
                      0);
        }
        RowBandsEnd(b);
        Mem_Free(b);
        return out;
    }

    Huegrid* transform_[2] = {nullptr, nullptr};
};

SharpenNoise Settings(bool sharpen, bool noise, int32_t mode, int32_t radius) {
    SharpenNoise sn{};
    SetSharpenNoiseDefaults(&sn);
    sn.sharpenOn = sharpen;
    sn.sharpenStrength = 14;
    sn.noiseOn = noise;
    sn.noiseFlag = mode % 2;  // luma and chroma, or the channels as they are
    sn.noiseK = mode;
    sn.noiseRadius[1] = radius;
    sn.noiseRadius[2] = radius > 3 ? radius - 2 : radius;
    sn.noiseThreshold[1] = 40;
    sn.noiseThreshold[2] = 30;
    return sn;
}

TEST_F(RowBandsTest, AnyNumberOfThreadsGivesTheSinglePipelinesBytes) {
    struct Case {
        int32_t width, rows, bytes;
        bool sharpen, noise;
        int32_t mode, radius;
    };
    const Case cases[] = {
        {300, 40, 1, false, false, 0, 3}, {300, 40, 1, true, false, 0, 3},
        {300, 40, 1, false, true, 4, 5},  {300, 40, 1, true, true, 4, 16},
        {257, 23, 2, true, true, 4, 7},   {257, 23, 2, true, false, 0, 3},
        {200, 30, 1, true, true, 0, 3},   {200, 30, 1, true, true, 1, 6},
        {200, 30, 1, true, true, 2, 4},   {200, 30, 1, true, true, 3, 9},
        {200, 30, 1, true, true, 5, 5},   {40, 12, 1, true, true, 4, 3},
        {1, 9, 2, true, true, 4, 3},      {700, 4, 1, true, true, 4, 3},  // too short to sharpen
    };
    for (const Case& c : cases) {
        const Scene scene = MakeScene(c.width, c.rows, c.bytes, uint32_t(c.width * 31 + c.mode));
        const SharpenNoise sn = Settings(c.sharpen, c.noise, c.mode, c.radius);
        const Output whole = Whole(scene, sn);
        ASSERT_EQ(int32_t(whole.written.size()), c.rows);
        for (int32_t threads : {1, 2, 3, 8, 64}) {
            for (int32_t batch : {1, 7, 1000}) {
                int32_t bands = 0;
                const Output banded = Banded(scene, sn, threads, batch, &bands);
                EXPECT_EQ(bands, std::max(1, std::min(threads, c.width / kBandMinColumns)));
                EXPECT_TRUE(banded.planes == whole.planes)
                    << c.width << " x " << c.rows << ", " << c.bytes << " bytes, sharpen "
                    << c.sharpen << ", noise " << c.noise << " mode " << c.mode << " radius "
                    << c.radius << ": " << threads << " threads, batches of " << batch;
            }
        }
    }
}

TEST_F(RowBandsTest, TheTransformAloneStraightThroughGivesTheSinglePipelinesBytes) {
    // Without sharpening and noise removal the rows can skip the pipelines: the table applied
    // to the interleaved rows themselves, the rows of each batch spread over the threads. 16-bit
    // output goes back at half scale, as the host takes it.
    const SharpenNoise plain = Settings(false, false, 0, 3);
    for (const auto& [width, rows, bytes] : {std::array<int32_t, 3>{300, 40, 1}, {257, 23, 2}}) {
        const Scene scene = MakeScene(width, rows, bytes, uint32_t(width * 17));
        const Output whole = Whole(scene, plain);
        std::vector<uint8_t> expected(scene.pixels.size());
        for (int32_t y = 0; y < rows; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                for (int32_t c = 0; c < 3; ++c) {
                    const size_t from = (size_t(y) * 3 + c) * width + x;
                    const size_t to = (size_t(y) * width + x) * 3 + c;
                    if (bytes == 2) {
                        reinterpret_cast<uint16_t*>(expected.data())[to] = uint16_t(
                            reinterpret_cast<const uint16_t*>(whole.planes.data())[from] >> 1);
                    } else {
                        expected[to] = whole.planes[from];
                    }
                }
            }
        }
        const ptrdiff_t rowBytes = ptrdiff_t(width) * 3 * bytes;
        for (int32_t threads : {1, 2, 3, 8, 64}) {
            const RowPipelineSetup setup = Setup(scene, plain);
            RowBands* b = static_cast<RowBands*>(Mem_Alloc(sizeof(RowBands)));
            Ui_Failure failure;
            Output unused{width, bytes, {}, {}};
            ASSERT_EQ(RowBandsBegin(b, &setup, threads, BandSinkInto, &unused, &failure), 0);
            ASSERT_NE(RowBandsTransformOnly(b), nullptr);
            for (int32_t batch : {1, 7, 1000}) {
                std::vector<uint8_t> out(scene.pixels.size());
                for (int32_t y = 0; y < rows; y += batch) {
                    DirectStrip strip{RowBandsTransformOnly(b),
                                      scene.pixels.data() + y * rowBytes,
                                      rowBytes,
                                      out.data() + y * rowBytes,
                                      rowBytes,
                                      width,
                                      std::min(batch, rows - y),
                                      bytes};
                    int32_t failed = -1;
                    ASSERT_EQ(RunDirectStrip(b, &strip, &failed), 0);
                }
                EXPECT_TRUE(out == expected)
                    << width << " x " << rows << ", " << bytes << " bytes: " << threads
                    << " threads, batches of " << batch;
            }
            RowBandsEnd(b);
            Mem_Free(b);
        }
    }
    // Sharpening or noise removal keep the pipelines.
    for (const SharpenNoise& sn : {Settings(true, false, 0, 3), Settings(false, true, 4, 3)}) {
        const Scene scene = MakeScene(300, 40, 1, 3);
        const RowPipelineSetup setup = Setup(scene, sn);
        RowBands* b = static_cast<RowBands*>(Mem_Alloc(sizeof(RowBands)));
        Ui_Failure failure;
        Output unused{300, 1, {}, {}};
        ASSERT_EQ(RowBandsBegin(b, &setup, 2, BandSinkInto, &unused, &failure), 0);
        EXPECT_EQ(RowBandsTransformOnly(b), nullptr);
        RowBandsEnd(b);
        Mem_Free(b);
    }
}

// A sink that fails on one row of one column range: the run stops and says which row, once.
struct Failing {
    int32_t failColumn, failRow;
    std::atomic<int32_t> calls{0};
};
int32_t FailingSink(const BandRow* band, void* context) {
    auto* f = static_cast<Failing*>(context);
    f->calls.fetch_add(1);
    const bool mine = band->x <= f->failColumn && f->failColumn < band->x + band->count;
    return mine && band->y == f->failRow ? kStatusError : 0;
}

TEST_F(RowBandsTest, AFailingBandStopsTheRunWithItsRowAndTheOthersFinishTheBatch) {
    const Scene scene = MakeScene(400, 30, 1, 5);
    const SharpenNoise sn = Settings(true, false, 0, 3);
    const RowPipelineSetup setup = Setup(scene, sn);
    RowBands* b = static_cast<RowBands*>(Mem_Alloc(sizeof(RowBands)));
    Failing failing{350, 12};
    Ui_Failure failure;
    ASSERT_EQ(RowBandsBegin(b, &setup, 4, FailingSink, &failing, &failure), 0);
    ASSERT_EQ(RowBandsCount(b), 4);
    const ptrdiff_t rowBytes = 400 * 3;
    int32_t failed = -1;
    EXPECT_EQ(RowBandsRun(b, scene.pixels.data(), rowBytes, 3, 10, &failed), 0);
    // Rows 10.. of the batch: sharpening lags two rows, so row 12 goes out as row 14 comes in.
    EXPECT_EQ(RowBandsRun(b, scene.pixels.data() + 10 * rowBytes, rowBytes, 3, 10, &failed),
              kStatusError);
    EXPECT_EQ(failed, 4);
    // The failure stays: the next batch is refused with it and the failed band does no more.
    const int32_t before = failing.calls.load();
    EXPECT_EQ(RowBandsRun(b, scene.pixels.data() + 20 * rowBytes, rowBytes, 3, 10, &failed),
              kStatusError);
    // The other three bands go on: ten rows each, and the two held back for the image's end.
    EXPECT_EQ(failing.calls.load() - before, 3 * 12);
    RowBandsEnd(b);
    Mem_Free(b);
}

TEST_F(RowBandsTest, ASetUpWithoutSettingsIsRefusedBeforeItsMarginsAreRead) {
    const Scene scene = MakeScene(300, 4, 1, 9);
    const SharpenNoise sn = Settings(true, true, 4, 5);
    RowPipelineSetup setup = Setup(scene, sn);
    setup.settings = nullptr;
    RowBands* b = static_cast<RowBands*>(Mem_Alloc(sizeof(RowBands)));
    Output out{300, 1, std::vector<uint8_t>(scene.pixels.size()), {}};
    Ui_Failure failure;
    EXPECT_EQ(RowBandsBegin(b, &setup, 3, BandSinkInto, &out, &failure), kStatusProblem);
    EXPECT_EQ(RowBandsCount(b), 0);
    RowBandsEnd(b);
    Mem_Free(b);
}

TEST_F(RowBandsTest, EveryMemoryFailureIsToldOnceAndLeavesNothingHeld) {
    const Scene scene = MakeScene(300, 20, 1, 9);
    const SharpenNoise sn = Settings(true, true, 4, 5);
    const RowPipelineSetup setup = Setup(scene, sn);
    RowBands* b = static_cast<RowBands*>(Mem_Alloc(sizeof(RowBands)));
    int32_t failures = 0;
    for (int32_t n = 1; n < 200; ++n) {
        Output out{300, 1, std::vector<uint8_t>(scene.pixels.size()), {}};
        Ui_Failure failure;
        testing_support::FailAllocationAfter(n);
        const int32_t status = RowBandsBegin(b, &setup, 3, BandSinkInto, &out, &failure);
        const bool failed = testing_support::AllocationFailed();
        testing_support::FailAllocationAfter(0);
        if (!failed) {
            EXPECT_EQ(status, 0);
            RowBandsEnd(b);
            break;
        }
        ++failures;
        if (status == 0) {
            // Only the pool's record was refused: the bands run on the caller, as they should.
            EXPECT_EQ(b->pool, nullptr);
            EXPECT_EQ(RowBandsCount(b), 3);
            int32_t row = -1;
            EXPECT_EQ(RowBandsRun(b, scene.pixels.data(), 300 * 3, 3, 20, &row), 0);
            EXPECT_TRUE(out.planes == Whole(scene, sn).planes);
            RowBandsEnd(b);
            continue;
        }
        EXPECT_EQ(status, kStatusNoMemory) << "request " << n;
        EXPECT_EQ(RowBandsCount(b), 0);
        EXPECT_EQ(b->pool, nullptr);
        RowBandsEnd(b);  // safe after a failure
    }
    EXPECT_GT(failures, 6);  // three pipelines of several blocks each, and the pool
    Mem_Free(b);
}

}  // namespace
