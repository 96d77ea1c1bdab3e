// The scanline image framework; see ras_image.h.
#include "imagelib/ras_image.h"

#include "imagelib/jpeg_reader.h"
#include "imagelib/ras_embed.h"
#include "imagelib/tiff_reader.h"
#include "platform/mem.h"

namespace {

struct RasModule {
    int32_t (*open)(const FLSpec*, RasImage*);
    int32_t (*read)(RasImage*, uint32_t, RasSl*);
    int32_t (*close)(RasImage*);
    // Identification without opening for reading; when absent the open is tried and closed.
    int32_t (*query)(const FLSpec*, RasImage*);
};

// Indexed by format number. Formats without operations are not implemented: they keep their
// numbers, answer -9, and identification passes over them.
const RasModule kModules[] = {
    {nullptr, nullptr, nullptr, nullptr},            // 0: none
    {TiffOpen, TiffReadSl, TiffClose, nullptr},      // 1: TIFF 8-bit
    {nullptr, nullptr, nullptr, nullptr},            // 2: Targa
    {nullptr, nullptr, nullptr, nullptr},            // 3: Scitex CT
    {nullptr, nullptr, nullptr, nullptr},            // 4: EPS
    {nullptr, nullptr, nullptr, nullptr},            // 5: DCS
    {nullptr, nullptr, nullptr, nullptr},            // 6: PhotoCD
    {nullptr, nullptr, nullptr, nullptr},            // 7: BMP
    {nullptr, nullptr, nullptr, nullptr},            // 8: Cineon
    {JpegOpen, JpegReadSl, JpegClose, JpegQuery},    // 9: JPEG
    {Tiff16Open, Tiff16ReadSl, TiffClose, nullptr},  // 10: TIFF 16-bit
    {nullptr, nullptr, nullptr, nullptr},            // 11: reserved
};

// The order in which identification tries the readers.
const uint32_t kQueryOrder[] = {
    kRasFormatPhotoCD, kRasFormatReserved, kRasFormatTiff,   kRasFormatTiff16,
    kRasFormatEps,     kRasFormatDcs,      kRasFormatTarga,  kRasFormatBmp,
    kRasFormatJpeg,    kRasFormatScitexCT, kRasFormatCineon,
};

constexpr uint32_t kStateSize = sizeof(TiffState) > sizeof(JpegState) ? uint32_t(sizeof(TiffState))
                                                                      : uint32_t(sizeof(JpegState));

uint32_t MaxValueOf(uint32_t format) {
    return format == kRasFormatTiff16 ? 65535 : format == kRasFormatCineon ? 1023 : 255;
}

// The status an operation on a format number gets before any dispatch: -1 for numbers outside
// the table, -9 for the reserved number and the formats not implemented, 0 otherwise.
int32_t FormatStatus(uint32_t format) {
    if (!(kRasFormatTiff <= format && format <= kRasFormatReserved)) return kStatusProblem;
    return kModules[format].open == nullptr ? kStatusUnsupported : kStatusOk;
}

void* TakeState() {
    void* state = Mem_Alloc(kStateSize);
    if (state != nullptr) Mem_Fill(state, 0, kStateSize);
    return state;
}

bool ValidChannels(uint32_t channels) {
    return channels == 1 || channels == 3 || channels == 4;
}

}  // namespace

int32_t RasSetUpImage(RasImage* image, uint32_t format, uint32_t width, uint32_t height,
                      uint32_t channels, uint32_t colorSpace, float resolution) {
    if (image == nullptr || image->state != nullptr) return kStatusProblem;
    if (!(kRasFormatTiff <= format && format <= kRasFormatTiff16)) return kStatusProblem;
    if (!ValidChannels(channels)) return kStatusProblem;
    if (colorSpace != kRasSpaceRGB && colorSpace != kRasSpaceCMYK && colorSpace != kRasSpaceGrey &&
        colorSpace != kRasSpaceLab && colorSpace != kRasSpacePhotoYCC) {
        return kStatusProblem;
    }
    image->width = width;
    image->height = height;
    image->channels = channels;
    image->colorSpace = colorSpace;
    image->format = format;
    image->reserved = 0;
    image->maxValue = MaxValueOf(format);
    image->resolution = (0.0f < resolution && resolution < 1e30f) ? resolution : -1.0f;
    image->state = nullptr;
    return kStatusOk;
}

int32_t RasQuery(const FLSpec* spec, RasImage* image) {
    if (spec == nullptr || image == nullptr || image->state != nullptr) return kStatusProblem;
    void* state = TakeState();
    if (state == nullptr) return kStatusNoMemory;
    RasEmbedEmptyReadSlots();
    int32_t status = kStatusUnsupported;
    for (uint32_t format : kQueryOrder) {
        const RasModule& m = kModules[format];
        if (m.open == nullptr) continue;
        Mem_Fill(state, 0, kStateSize);
        RasImage probe;
        probe.state = state;
        if (m.query != nullptr) {
            status = m.query(spec, &probe);
        } else {
            status = m.open(spec, &probe);
            if (status == kStatusOk) m.close(&probe);
        }
        if (status == kStatusOk) {
            *image = probe;
            image->format = format;
            image->reserved = 0;
            image->maxValue = MaxValueOf(format);
            image->state = nullptr;
            break;
        }
    }
    Mem_Free(state);
    return status;
}

int32_t RasOpen(const FLSpec* spec, const char* mode, RasImage* image) {
    if (spec == nullptr || mode == nullptr || image == nullptr) return kStatusProblem;
    bool reading = Str_Compare(mode, "r") == 0;
    bool writing = Str_Compare(mode, "w") == 0;
    if (!reading && !writing) return kStatusProblem;
    if (image->state != nullptr) return kStatusProblem;
    int32_t status = FormatStatus(image->format);
    if (status != kStatusOk) return status;
    // No format of this library has a writer.
    if (writing) return kStatusUnsupported;
    void* state = TakeState();
    if (state == nullptr) return kStatusNoMemory;
    RasEmbedEmptyReadSlots();
    uint32_t format = image->format;
    image->state = state;
    status = kModules[format].open(spec, image);
    if (status != kStatusOk) {
        image->state = Mem_Free(state);
        return status;
    }
    image->format = format;
    image->reserved = 0;
    image->maxValue = MaxValueOf(format);
    return kStatusOk;
}

int32_t RasMakeSl(RasSl* sl, const RasImage* image) {
    if (sl == nullptr || image == nullptr) return kStatusProblem;
    if (!ValidChannels(image->channels)) return kStatusProblem;
    RasFreeSl(sl);
    sl->width = image->width;
    sl->channels = image->channels;
    if (image->width == 0) return kStatusOk;
    bool sixteen = image->maxValue >= 256;
    uint64_t bytes = uint64_t(image->width) * (sixteen ? 2 : 1);
    for (uint32_t c = 0; c < image->channels; ++c) {
        void* plane = bytes <= 0xFFFFFFFFu - kMemOverhead ? Mem_Alloc(uint32_t(bytes)) : nullptr;
        if (plane == nullptr) {
            RasFreeSl(sl);
            return kStatusNoMemory;
        }
        if (sixteen) {
            sl->planes16[c] = static_cast<uint16_t*>(plane);
        } else {
            sl->planes8[c] = static_cast<uint8_t*>(plane);
        }
    }
    return kStatusOk;
}

int32_t RasReadSl(RasImage* image, uint32_t y, RasSl* sl) {
    if (image == nullptr || sl == nullptr) return kStatusProblem;
    int32_t status = FormatStatus(image->format);
    if (status != kStatusOk) return status;
    if (image->state == nullptr) return kStatusProblem;
    if (sl->width == 0 || sl->channels == 0) {
        status = RasMakeSl(sl, image);
        if (status != kStatusOk) return status;
    }
    if (y >= image->height || sl->width != image->width || sl->channels != image->channels) {
        return kStatusProblem;
    }
    bool sixteen = image->maxValue >= 256;
    for (uint32_t c = 0; c < sl->channels; ++c) {
        if (sixteen ? sl->planes16[c] == nullptr : sl->planes8[c] == nullptr) return kStatusProblem;
    }
    return kModules[image->format].read(image, y, sl);
}

int32_t RasFreeSl(RasSl* sl) {
    if (sl == nullptr) return kStatusProblem;
    for (uint32_t c = 0; c < kRasMaxChannels; ++c) {
        sl->planes8[c] = static_cast<uint8_t*>(Mem_Free(sl->planes8[c]));
        sl->planes16[c] = static_cast<uint16_t*>(Mem_Free(sl->planes16[c]));
    }
    sl->width = 0;
    sl->channels = 0;
    return kStatusOk;
}

int32_t RasClose(RasImage* image) {
    if (image == nullptr) return kStatusProblem;
    int32_t status = FormatStatus(image->format);
    if (status != kStatusOk) return status;
    if (image->state == nullptr) return kStatusProblem;
    status = kModules[image->format].close(image);
    image->state = Mem_Free(image->state);
    return status;
}
