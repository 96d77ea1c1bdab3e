// Rows of an image file in the caller's layout; see ras_row_reader.h.
#include "imagelib/ras_row_reader.h"

namespace {

// Converts between largest values by (v * to + from / 2) / from, with v clamped to from.
inline uint32_t Rescale(uint32_t v, uint32_t from, uint32_t to) {
    if (from == to) return v;
    if (v > from) v = from;
    return uint32_t((uint64_t(v) * to + from / 2) / from);
}

}  // namespace

int32_t RasRowReaderOpen(RasRowReader* reader, const FLSpec* spec) {
    if (reader == nullptr || spec == nullptr || reader->image.state != nullptr)
        return kStatusProblem;
    RasFreeSl(&reader->sl);
    reader->image = RasImage();
    int32_t status = RasQuery(spec, &reader->image);
    if (status == kStatusOk) status = RasOpen(spec, "r", &reader->image);
    if (status == kStatusOk) status = RasMakeSl(&reader->sl, &reader->image);
    if (status != kStatusOk && reader->image.state != nullptr) RasClose(&reader->image);
    return status;
}

int32_t RasRowReaderRead(RasRowReader* reader, uint32_t y, uint32_t bytesPerSample,
                         uint32_t pixelStep, void* const channels[kRasMaxChannels]) {
    if (reader == nullptr || channels == nullptr || reader->image.state == nullptr)
        return kStatusProblem;
    if ((bytesPerSample != 1 && bytesPerSample != 2) || pixelStep == 0) return kStatusProblem;
    const RasImage& image = reader->image;
    for (uint32_t c = 0; c < image.channels; ++c) {
        if (channels[c] == nullptr) return kStatusProblem;
    }
    int32_t status = RasReadSl(&reader->image, y, &reader->sl);
    if (status != kStatusOk) return status;

    uint32_t from = image.maxValue;
    uint32_t to = bytesPerSample == 2 ? 65535 : 255;
    bool sixteen = from >= 256;
    for (uint32_t c = 0; c < image.channels; ++c) {
        const uint8_t* in8 = reader->sl.planes8[c];
        const uint16_t* in16 = reader->sl.planes16[c];
        if (bytesPerSample == 1) {
            uint8_t* out = static_cast<uint8_t*>(channels[c]);
            for (uint32_t x = 0; x < image.width; ++x, out += pixelStep) {
                *out = uint8_t(Rescale(sixteen ? in16[x] : in8[x], from, to));
            }
        } else {
            uint16_t* out = static_cast<uint16_t*>(channels[c]);
            for (uint32_t x = 0; x < image.width; ++x, out += pixelStep) {
                *out = uint16_t(Rescale(sixteen ? in16[x] : in8[x], from, to));
            }
        }
    }
    return kStatusOk;
}

int32_t RasRowReaderClose(RasRowReader* reader) {
    if (reader == nullptr || reader->image.state == nullptr) return kStatusProblem;
    RasFreeSl(&reader->sl);
    return RasClose(&reader->image);
}
