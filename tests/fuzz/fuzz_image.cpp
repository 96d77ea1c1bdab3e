// Image files through the scanline framework: identified, opened and read line by line as the
// module reads them, either through the framework's own calls or through the row reader the
// resampler uses (with a depth and pixel step of the fuzzer's choosing). The first byte holds the
// choices, the rest is the file, in memory or on disk.
//
// A harness limit, not a reader's: lines are read until about 4 million samples have been
// delivered, so that a small file declaring a huge image that decodes fine (a JPEG's decoder
// fills damaged data with grey and goes on) costs the fuzzer a fraction of a second, not
// minutes. (At 16 million, such a file took about a second of processor time under the
// sanitizers, which on a busy shared machine passed the fuzzer's 10-second timeout.) The line above
// the last one is read once more at the end, which makes the JPEG reader start again from the
// top.
#include <vector>

#include "imagelib/ras_embed.h"
#include "imagelib/ras_image.h"
#include "imagelib/ras_row_reader.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr uint64_t kSampleBudget = uint64_t(1) << 22;

uint32_t LinesWithinBudget(const RasImage& image) {
    const uint64_t perLine = uint64_t(image.width) * (image.channels != 0 ? image.channels : 1);
    const uint64_t lines = perLine != 0 ? kSampleBudget / perLine : image.height;
    return uint32_t(lines < image.height ? lines : image.height);
}

void CheckDescriptor(const RasImage& image) {
    fuzz::Check(image.channels == 1 || image.channels == 3 || image.channels == 4,
                "an open image with " + std::to_string(image.channels) + " channels");
    fuzz::Check(image.width > 0 && image.height > 0, "an open image without pixels");
}

void ThroughFramework(const FLSpec& spec) {
    RasImage image;
    if (RasQuery(&spec, &image) != kStatusOk) return;
    fuzz::Check(image.state == nullptr, "identification left the descriptor open");
    if (RasOpen(&spec, "r", &image) != kStatusOk) {
        fuzz::Check(image.state == nullptr, "a refused open left the descriptor open");
        return;
    }
    CheckDescriptor(image);
    RasSl sl;
    const uint32_t lines = LinesWithinBudget(image);
    int32_t status = kStatusOk;
    for (uint32_t y = 0; y < lines && status == kStatusOk; ++y) status = RasReadSl(&image, y, &sl);
    if (status == kStatusOk && lines >= 2) RasReadSl(&image, lines - 2, &sl);
    RasFreeSl(&sl);
    RasClose(&image);
    fuzz::Check(image.state == nullptr, "closing left the descriptor open");
}

void ThroughRowReader(const FLSpec& spec, uint32_t bytesPerSample, uint32_t pixelStep) {
    RasRowReader reader{};
    if (RasRowReaderOpen(&reader, &spec) != kStatusOk) {
        fuzz::Check(reader.image.state == nullptr, "a refused open left the reader open");
        return;
    }
    CheckDescriptor(reader.image);
    const RasImage& image = reader.image;
    const uint32_t step = pixelStep < image.channels ? image.channels : pixelStep;
    std::vector<uint8_t> row(size_t(image.width) * step * bytesPerSample);
    void* channels[kRasMaxChannels] = {};
    for (uint32_t c = 0; c < image.channels; ++c) channels[c] = row.data() + c * bytesPerSample;
    const uint32_t lines = LinesWithinBudget(image);
    int32_t status = kStatusOk;
    for (uint32_t y = 0; y < lines && status == kStatusOk; ++y)
        status = RasRowReaderRead(&reader, y, bytesPerSample, step, channels);
    if (status == kStatusOk && lines >= 2)
        RasRowReaderRead(&reader, lines - 2, bytesPerSample, step, channels);
    RasRowReaderClose(&reader);
    fuzz::Check(reader.image.state == nullptr, "closing left the reader open");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    fuzz::Bytes in(data, size);
    const uint8_t choice = in.U8();
    std::vector<uint8_t> file(in.data(), in.data() + in.size());
    FLSpec spec;
    if (choice & 1) {
        FLSpecDisk(&spec, fuzz::WriteFile("image", file.data(), file.size()).c_str());
    } else {
        FLSpecMemory(&spec, file.data(), int32_t(file.size()));
    }
    {
        fuzz::BlockCount blocks("reading an image");
        if (choice & 2) {
            ThroughRowReader(spec, (choice & 4) ? 2 : 1, uint32_t(choice >> 4));
        } else {
            ThroughFramework(spec);
        }
        // The store keeps what the last file carried until the next one is read.
        RasEmbedEmptyAll();
    }
    return 0;
}
