// Taking the analysis image from the host; see analysis_image.h.
#include "host/analysis_image.h"

#include "engine/ip_resample.h"
#include "host/filter_image.h"
#include "host/host_services.h"
#include "host/plugin.h"
#include "host/rects.h"
#include "platform/alert.h"
#include "platform/mem.h"
#include "resources/ids/strings.h"

namespace {

constexpr Fixed kRateOne = 0x10000;
constexpr int16 kPaddingWhite = 255;
constexpr int32_t kFallbackWidth = 640;
constexpr int32_t kFallbackHeight = 480;
constexpr int32_t kHalf = 128;  // a selection or opacity above this takes part

int32_t CeilDiv(int32_t a, int32_t b) {
    return int32_t((int64_t(a) + b - 1) / b);
}

int32_t Min(int32_t a, int32_t b) {
    return a < b ? a : b;
}

// Sample (x, y) of a channel as 8 bits. 16-bit samples are in the host's scale 0..32768; on the
// full 16-bit scale (clamped to 32767, doubled) their high byte is the value shifted by 7.
uint8_t Byte(const IPImage& image, int32_t channel, int32_t x, int32_t y) {
    ptrdiff_t at = IPSampleOffset(&image, x, y);
    if (image.bytesPerSample == 1) return static_cast<const uint8_t*>(image.channel[channel])[at];
    uint16_t v = static_cast<const uint16_t*>(image.channel[channel])[at];
    return uint8_t((v > 32767 ? 32767 : v) >> 7);
}

// Asks for nothing more, so that the host can release the buffers of the acquisition, and puts
// the rates back to 1 for whoever asks next.
void ReleaseHostBuffers(FilterRecord* record) {
    VRect empty{0, 0, 0, 0};
    SetInRect(record, empty);
    SetMaskRect(record, empty);
    SetOutRect(record, empty);
    record->inputRate = kRateOne;
    record->maskRate = kRateOne;
    // Nothing is requested, so there is nothing an answer could change here.
    (void)record->advanceState();
}

// Reduces an image in the host's buffer in place into the box; the view takes the new size.
int32_t ReduceInPlace(IPImage* view, int32_t boxWidth, int32_t boxHeight) {
    IPImage destination = *view;
    destination.width = boxWidth;
    destination.height = boxHeight;
    int32_t width = 0, height = 0;
    int32_t status =
        IPScaleImageDown2(nullptr, view, kIPScaleTent, &destination, &width, &height, 0);
    if (status != kStatusOk) return status;
    view->width = width;
    view->height = height;
    return kStatusOk;
}

// Copies the host's pixels into the state's own 8-bit interleaved image and builds the mask of
// the pixels that take part. *anySet tells whether any does (true without a mask).
int32_t CopyAnalysis(EditState* es, const IPImage& input, const IPImage* selection,
                     bool transparency, bool* anySet) {
    const int32_t w = input.width, h = input.height;
    const bool fourth = selection != nullptr || transparency;
    const int32_t channels = fourth ? 4 : 3;
    auto* pixels = static_cast<uint8_t*>(Mem_Alloc(uint32_t(w) * uint32_t(h) * uint32_t(channels)));
    if (pixels == nullptr) return kStatusNoMemory;
    IPImage& image = es->analysisImage;
    image.kind = kIPKindColour;
    image.channels = channels;
    image.bytesPerSample = 1;
    image.width = w;
    image.height = h;
    image.resolution = 72.0f;
    image.pixelStep = channels;
    image.rowStep = channels * w;
    for (int32_t c = 0; c < channels; ++c) image.channel[c] = pixels + c;
    image.pixels = pixels;

    IPMask& mask = es->analysisMask;
    *anySet = true;
    if (fourth) {
        const int32_t rowBytes = (w + 7) / 8;
        auto* bits = static_cast<uint8_t*>(Mem_Alloc(uint32_t(rowBytes) * uint32_t(h)));
        if (bits == nullptr) return kStatusNoMemory;  // the caller frees the image
        mask = IPMask{w, h, rowBytes, bits, 0, 0, 0, 0};
        IPMaskClear(&mask);
    }
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* out = pixels + ptrdiff_t(y) * image.rowStep;
        for (int32_t x = 0; x < w; ++x, out += channels) {
            for (int32_t c = 0; c < 3; ++c) out[c] = Byte(input, c, x, y);
            if (!fourth) continue;
            const uint8_t selected = selection != nullptr ? Byte(*selection, 0, x, y) : 255;
            const uint8_t opaque = transparency ? Byte(input, 3, x, y) : 255;
            out[3] = selection != nullptr ? selected : opaque;
            if (selected > kHalf && opaque > kHalf) IPMaskSet(&mask, x, y);
        }
    }
    if (fourth) *anySet = mask.right >= 0;
    return kStatusOk;
}

// A failure that names no step of its own is told as reading the image (with a blank for the
// name, which the host does not give).
int32_t FailReading(Ui_Failure* failure, int32_t status) {
    return Ui_Fail(failure, status, kPhraseReadImage, 0, " ");
}

}  // namespace

int32_t GetAnalysisImage(EditState* es, int32_t previewWidth, int32_t previewHeight,
                         Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    FilterRecord* record = Record();
    if (es == nullptr || record == nullptr) return FailReading(failure, kStatusProblem);
    EditStateFreeAnalysis(es);
    if (previewWidth < 2 || previewHeight < 2) {
        previewWidth = kFallbackWidth;
        previewHeight = kFallbackHeight;
    }
    const VRect filter = GetFilterRect(record);
    const int32_t filterWidth = filter.right - filter.left;
    const int32_t filterHeight = filter.bottom - filter.top;
    if (filterWidth < 1 || filterHeight < 1) return FailReading(failure, kStatusProblem);

    // The host reduces by an integer rate, half of what the box needs, so that the tent filter
    // has at least two source pixels to average for each output pixel.
    const int32_t fy = CeilDiv(filterHeight, previewHeight);
    const int32_t fx = CeilDiv(filterWidth, previewWidth);
    const int32_t f = fy > fx ? fy : fx;
    const bool reduced = f > 1;
    const int32_t rate = reduced ? f / 2 : 1;
    VRect request = filter;
    if (reduced) {
        request =
            VRect{filter.top / rate, filter.left / rate, filter.bottom / rate, filter.right / rate};
    }

    int32_t status = ResetHostRects(failure);
    if (status != kStatusOk) return status;
    const bool haveMask = record->haveMask == 1;
    record->inLoPlane = 0;
    record->inHiPlane = int16(record->planes - 1);
    record->inputRate = Fixed(rate) << 16;
    record->inputPadding = kPaddingWhite;
    SetInRect(record, request);
    if (haveMask) {
        record->maskRate = record->inputRate;
        record->maskPadding = record->inputPadding;
        SetMaskRect(record, request);
    }
    SetOutRect(record, VRect{0, 0, 0, 0});
    status = AdvanceHostState(failure);
    if (status != kStatusOk) {
        ReleaseHostBuffers(record);
        return status;
    }

    IPImage input;
    DescribeHostInput(record, &input);
    IPImage selection;
    const bool haveSelection = haveMask && record->maskData != nullptr;
    if (haveSelection) DescribeHostMask(record, &selection);
    if (!IPImageValid(&input) || input.width < 1 || input.height < 1 ||
        (haveSelection && (selection.width != input.width || selection.height != input.height))) {
        // The host answered without the pixels asked for.
        SetResult(errPlugInHostInsufficient);
        ReleaseHostBuffers(record);
        return Ui_Fail(failure, kStatusError, kPhraseAdvanceState);
    }
    if (reduced) {
        const int32_t boxWidth = Min(filterWidth, previewWidth);
        const int32_t boxHeight = Min(filterHeight, previewHeight);
        status = ReduceInPlace(&input, boxWidth, boxHeight);
        if (status == kStatusOk && haveSelection)
            status = ReduceInPlace(&selection, boxWidth, boxHeight);
        if (status != kStatusOk) {
            ReleaseHostBuffers(record);
            return Ui_Fail(failure, status, kPhraseScaleDown);
        }
    }

    bool anySet = true;
    status =
        CopyAnalysis(es, input, haveSelection ? &selection : nullptr, input.channels >= 4, &anySet);
    ReleaseHostBuffers(record);
    if (status != kStatusOk) {
        EditStateFreeAnalysis(es);
        return FailReading(failure, status);
    }
    if (!anySet) {
        EditStateFreeAnalysis(es);
        return Ui_Fail_Text(failure, kStatusError, kStrEmptySelection, kUiFailStop);
    }
    return kStatusOk;
}
