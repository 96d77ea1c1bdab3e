// Taking the preview from the host and putting it back; see preview.h.
#include "host/preview.h"

#include "engine/ip_resample.h"
#include "edit/window/preview_zoom.h"
#include "engine/measure.h"
#include "host/host_services.h"
#include "host/call_state.h"
#include "host/rects.h"
#include "edit/prefs.h"
#include "platform/mem.h"
#include "platform/numeric.h"
#include "resources/ids/strings.h"

namespace {

constexpr Fixed kRateOne = 0x10000;
constexpr int16 kPaddingWhite = 255;
constexpr int32_t kFallbackWidth = 640;
constexpr int32_t kFallbackHeight = 480;
constexpr int32_t kHalf = 128;  // a selection or opacity above this takes part
constexpr VRect kEmpty{0, 0, 0, 0};

int32_t CeilDiv(int32_t a, int32_t b) {
    return int32_t((int64_t(a) + b - 1) / b);
}
int32_t Width(const VRect& r) {
    return r.right - r.left;
}
int32_t Height(const VRect& r) {
    return r.bottom - r.top;
}
VRect Sized(int32_t top, int32_t left, int32_t width, int32_t height) {
    return VRect{top, left, top + height, left + width};
}

// Sample (x, y) of a channel as 8 bits: 16-bit samples are on the engine's scale here.
uint8_t Byte(const IPImage& image, int32_t channel, int32_t x, int32_t y) {
    const ptrdiff_t at = IPSampleOffset(&image, x, y);
    if (image.bytesPerSample == 1) return static_cast<const uint8_t*>(image.channel[channel])[at];
    return uint8_t(static_cast<const uint16_t*>(image.channel[channel])[at] >> 8);
}

// A failure that names no step of its own is told as reading the image (with a blank for the
// name, which the host does not give).
int32_t FailReading(Ui_Failure* failure, int32_t status) {
    return Ui_Failure_Describe(failure, status, kPhraseReadImage, 0, " ");
}

// The host answered without the pixels asked for.
int32_t FailAnswer(const PluginCall* call, Ui_Failure* failure) {
    SetResult(call, errPlugInHostInsufficient);
    return Ui_Failure_Describe(failure, kStatusError, kPhraseAdvanceState);
}

// Asks for nothing more, so that the host can release its buffers, and puts the rates back to 1
// for whoever asks next.
void ReleaseHostBuffers(FilterRecord* record) {
    SetInRect(record, kEmpty);
    SetMaskRect(record, kEmpty);
    SetOutRect(record, kEmpty);
    record->inputRate = kRateOne;
    record->maskRate = kRateOne;
    // Nothing is requested, so there is nothing an answer could change here.
    (void)record->advanceState();
}

// Empties every rectangle and lets the host release what it served, before a new request.
int32_t EmptyHost(const PluginCall* call, Ui_Failure* failure) {
    SetOutRect(Record(call), kEmpty);
    return ResetHostRects(call, failure);
}

// Remembers that the host lent out as a display buffer.
void Lend(PreviewState* pv, const VRect& out) {
    if (out.right <= out.left || out.bottom <= out.top) return;
    VRect& l = pv->lent;
    if (l.right <= l.left || l.bottom <= l.top) {
        l = out;
        return;
    }
    l.top = l.top < out.top ? l.top : out.top;
    l.left = l.left < out.left ? l.left : out.left;
    l.bottom = l.bottom > out.bottom ? l.bottom : out.bottom;
    l.right = l.right > out.right ? l.right : out.right;
}

// Asks for in (and the mask over the same rectangle) at an integer rate and for out at full
// size, every plane, padded white.
int32_t Request(const PluginCall* call, const VRect& in, int32_t rate, const VRect& out,
                Ui_Failure* failure) {
    FilterRecord* record = Record(call);
    record->inLoPlane = record->outLoPlane = 0;
    record->inHiPlane = record->outHiPlane = int16(record->planes - 1);
    record->inputRate = Fixed(rate) << 16;
    record->inputPadding = record->outputPadding = kPaddingWhite;
    SetInRect(record, in);
    if (record->haveMask == 1) {
        record->maskRate = record->inputRate;
        record->maskPadding = record->inputPadding;
        SetMaskRect(record, in);
    }
    SetOutRect(record, out);
    return AdvanceHostState(call, failure);
}

// The host's input (and selection) as views, checked against the size asked for; with
// outWidth above 0 also its output buffer, whose rows must hold outWidth RGB pixels.
int32_t DescribeAnswer(const PluginCall* call, const PreviewState* pv, int32_t width,
                       int32_t height, int32_t outWidth, IPImage* input, IPImage* selection,
                       Ui_Failure* failure) {
    FilterRecord* record = Record(call);
    DescribeHostInput(record, input);
    Mem_Fill(selection, 0, sizeof *selection);
    if (pv->haveSelection) DescribeHostMask(record, selection);
    const bool selectionOk =
        !pv->haveSelection || (IPImageValid(selection) && selection->width == input->width &&
                               selection->height == input->height);
    const bool outOk = outWidth < 1 || (record->outData != nullptr &&
                                        int64_t(record->outRowBytes) >= 3 * int64_t(outWidth));
    if (!IPImageValid(input) || input->width != width || input->height != height || !selectionOk ||
        !outOk) {
        return FailAnswer(call, failure);
    }
    return kStatusOk;
}

// One side of the box a preview is reduced into: the box, or the filter rectangle when that is
// smaller. The resampler takes a box of at least 2 and never makes an image larger than it was,
// so a single column stays a single column.
int32_t ReduceBox(int32_t filterSide, int32_t boxSide) {
    return Num_Max(2, Num_Min(filterSide, boxSide));
}

// Reduces an image in the host's buffer in place into the box on `threads` threads; the view
// takes the new size.
int32_t ReduceInPlace(IPImage* view, int32_t boxWidth, int32_t boxHeight, int32_t threads) {
    IPImage destination = *view;
    destination.width = boxWidth;
    destination.height = boxHeight;
    int32_t width = 0, height = 0;
    int32_t status = IPScaleImageDownOn(view, kIPScaleTent, &destination, &width, &height, threads);
    if (status != kStatusOk) return status;
    view->width = width;
    view->height = height;
    return kStatusOk;
}

// The preview's geometry for a box: the rate, what to ask the host for, and the size the
// resampler will give (the display buffer is asked for at that size).
void PlanGeometry(PreviewState* pv, int32_t boxWidth, int32_t boxHeight) {
    const int32_t w = Width(pv->filter), h = Height(pv->filter);
    pv->boxWidth = boxWidth;
    pv->boxHeight = boxHeight;
    // The host reduces by an integer rate, half of what the box needs, so that the tent filter
    // has at least two source pixels to average for each output pixel.
    const int32_t f = Num_Max(CeilDiv(h, boxHeight), CeilDiv(w, boxWidth));
    pv->reduced = f > 1 ? 1 : 0;
    pv->rate = pv->reduced ? Num_Max(f / 2, 1) : 1;
    // A selection thinner than the rate would come back with no column (or no row) at all.
    pv->rate = Num_Max(1, Num_Min(pv->rate, Num_Min(w, h)));
    const VRect& r = pv->filter;
    const int32_t rate = pv->rate;
    pv->request = VRect{r.top / rate, r.left / rate, r.bottom / rate, r.right / rate};
    pv->width = Width(pv->request);
    pv->height = Height(pv->request);
    if (pv->reduced) {
        IPScaleOutputSize(pv->width, pv->height, ReduceBox(w, boxWidth), ReduceBox(h, boxHeight),
                          &pv->width, &pv->height);
    }
}

// Asks the host for the filter rectangle at the rate, reduces it in place, records the reduced
// region in the host record (without a further request) and rescales 16-bit samples. The
// display buffer lies at the filter rectangle's corner: anything the host writes back from it
// lands inside the area the filter writes anyway.
int32_t FetchPreview(const PluginCall* call, PreviewState* pv, Ui_Failure* failure) {
    FilterRecord* record = Record(call);
    pv->holds = kPreviewHoldsOther;
    int32_t status = EmptyHost(call, failure);
    if (status != kStatusOk) return status;
    pv->outRegion =
        pv->display ? Sized(pv->filter.top, pv->filter.left, pv->width, pv->height) : kEmpty;
    Lend(pv, pv->outRegion);
    status = Request(call, pv->request, pv->rate, pv->outRegion, failure);
    if (status != kStatusOk) return status;
    // A host with a mask flag that serves no mask has no selection.
    if (record->maskData == nullptr) pv->haveSelection = 0;
    IPImage input, selection;
    status = DescribeAnswer(call, pv, Width(pv->request), Height(pv->request),
                            pv->display ? pv->width : 0, &input, &selection, failure);
    if (status != kStatusOk) return status;
    if (pv->reduced) {
        const int32_t boxWidth = ReduceBox(Width(pv->filter), pv->boxWidth);
        const int32_t boxHeight = ReduceBox(Height(pv->filter), pv->boxHeight);
        const int32_t threads = PrefsThreadCount(call->gPrefs);
        status = ReduceInPlace(&input, boxWidth, boxHeight, threads);
        if (status == kStatusOk && pv->haveSelection)
            status = ReduceInPlace(&selection, boxWidth, boxHeight, threads);
        if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseScaleDown);
        if (input.width != pv->width || input.height != pv->height)
            return FailAnswer(call, failure);
    }
    pv->inRegion = Sized(pv->request.top, pv->request.left, pv->width, pv->height);
    SetInRect(record, pv->inRegion);
    if (pv->haveSelection) SetMaskRect(record, pv->inRegion);
    SetOutRect(record, pv->outRegion);
    if (pv->bytes == 2)
        RescaleHost16(record->inData, record->inRowBytes, pv->width, pv->height, pv->planes);
    DescribeHostInput(record, &pv->hostInput);
    Mem_Fill(&pv->hostMask, 0, sizeof pv->hostMask);
    if (pv->haveSelection) DescribeHostMask(record, &pv->hostMask);
    pv->holds = kPreviewHoldsPreview;
    return kStatusOk;
}

// Copies the preview into the editing state's own 8-bit interleaved image and builds the mask
// of the pixels that take part. *anySet tells whether any does (true without a mask).
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

// The transparency plane at preview size, for putting an 8-bit preview back.
int32_t CopyFourth(PreviewState* pv) {
    const IPImage& input = pv->hostInput;
    auto* plane = static_cast<uint8_t*>(Mem_Alloc(uint32_t(pv->width) * uint32_t(pv->height)));
    if (plane == nullptr) return kStatusNoMemory;
    IPImage& f = pv->fourth;
    f = IPImage{kIPKindMask, 1, 1, pv->width, pv->height, 72.0f, 1, pv->width, {plane}, plane};
    for (int32_t y = 0; y < pv->height; ++y) {
        for (int32_t x = 0; x < pv->width; ++x)
            plane[ptrdiff_t(y) * pv->width + x] = Byte(input, 3, x, y);
    }
    return kStatusOk;
}

// The part of a view from (x, y) on, width x height pixels.
IPImage SubView(const IPImage& view, int32_t x, int32_t y, int32_t width, int32_t height) {
    IPImage part = view;
    const ptrdiff_t offset = IPSampleOffset(&view, x, y) * view.bytesPerSample;
    for (void*& c : part.channel) {
        if (c != nullptr) c = static_cast<uint8_t*>(c) + offset;
    }
    part.width = width;
    part.height = height;
    part.pixels = nullptr;
    return part;
}

void ClearZoom(PreviewState* pv) {
    pv->zoomed = 0;
    pv->zoomAround = VRect{0, 0, 0, 0};
    pv->zoomLevel = 0;
    pv->zoomRate = pv->zoomMagnify = 1;
    pv->drawnWidth = pv->drawnHeight = 0;
}

void FreeImages(EditState* es, PreviewState* pv) {
    EditStateFreeAnalysis(es);
    Mem_Free(pv->fourth.pixels);
    Mem_Fill(&pv->fourth, 0, sizeof pv->fourth);
    pv->acquired = 0;
}

// One acquisition (steps of preview.h); on failure everything it made is freed.
int32_t AcquireOnce(const PluginCall* call, EditState* es, PreviewState* pv, int32_t boxWidth,
                    int32_t boxHeight, uint8_t forWindow, Ui_Failure* failure) {
    FilterRecord* record = Record(call);
    pv->filter = GetFilterRect(record);
    if (Width(pv->filter) < 1 || Height(pv->filter) < 1)
        return FailReading(failure, kStatusProblem);
    pv->display = forWindow;
    pv->planes = record->planes;
    pv->bytes = record->depth == 16 ? 2 : 1;
    pv->haveSelection = record->haveMask == 1 ? 1 : 0;
    ClearZoom(pv);
    PlanGeometry(pv, boxWidth, boxHeight);
    int32_t status = FetchPreview(call, pv, failure);
    const IPImage* selection = pv->haveSelection ? &pv->hostMask : nullptr;
    bool anySet = true;
    if (status == kStatusOk) {
        status = CopyAnalysis(es, pv->hostInput, selection, pv->hostInput.channels >= 4, &anySet);
        if (status != kStatusOk) FailReading(failure, status);
    }
    if (status == kStatusOk && forWindow && pv->hostInput.channels >= 4) {
        status = CopyFourth(pv);
        if (status != kStatusOk) FailReading(failure, status);
    }
    if (status == kStatusOk && !anySet)
        status = Ui_Failure_DescribeText(failure, kStatusError, kStrEmptySelection, kUiFailStop);
    if (status != kStatusOk) {
        FreeImages(es, pv);
        return status;
    }
    pv->acquired = 1;
    return kStatusOk;
}

// Puts the preview back into the host's buffers: from the module's copy for a reduced 8-bit
// preview (into buffers of the preview's shape, asked for first), else by asking the host again.
int32_t PutPreviewBack(const PluginCall* call, EditState* es, PreviewState* pv,
                       Ui_Failure* failure) {
    FilterRecord* record = Record(call);
    ClearZoom(pv);
    if (pv->bytes == 2 || !pv->reduced) return FetchPreview(call, pv, failure);
    // Buffers of the preview's shape first: no zoom window (with its margin) has that shape.
    pv->holds = kPreviewHoldsOther;
    int32_t status = EmptyHost(call, failure);
    Lend(pv, pv->outRegion);
    if (status == kStatusOk) status = Request(call, pv->inRegion, 1, pv->outRegion, failure);
    IPImage input, selection;
    if (status == kStatusOk) {
        status = DescribeAnswer(call, pv, pv->width, pv->height, pv->display ? pv->width : 0,
                                &input, &selection, failure);
    }
    if (status != kStatusOk) return status;
    SetInRect(record, pv->inRegion);
    if (pv->haveSelection) SetMaskRect(record, pv->inRegion);
    SetOutRect(record, pv->outRegion);
    DescribeHostInput(record, &pv->hostInput);
    Mem_Fill(&pv->hostMask, 0, sizeof pv->hostMask);
    if (pv->haveSelection) DescribeHostMask(record, &pv->hostMask);
    const IPImage& copy = es->analysisImage;
    auto* in = static_cast<uint8_t*>(record->inData);
    auto* mask = static_cast<uint8_t*>(record->maskData);
    const int32_t planes = pv->planes;
    for (int32_t y = 0; y < pv->height; ++y) {
        const uint8_t* from =
            static_cast<const uint8_t*>(copy.pixels) + ptrdiff_t(y) * copy.rowStep;
        uint8_t* to = in + ptrdiff_t(y) * record->inRowBytes;
        for (int32_t x = 0; x < pv->width; ++x) {
            for (int32_t c = 0; c < 3; ++c)
                to[ptrdiff_t(x) * planes + c] = from[x * copy.pixelStep + c];
        }
        if (pv->fourth.pixels != nullptr) {
            const uint8_t* plane =
                static_cast<const uint8_t*>(pv->fourth.pixels) + ptrdiff_t(y) * pv->width;
            for (int32_t x = 0; x < pv->width; ++x) to[ptrdiff_t(x) * planes + 3] = plane[x];
        }
        if (pv->haveSelection && mask != nullptr && copy.channels == 4) {
            uint8_t* m = mask + ptrdiff_t(y) * record->maskRowBytes;
            for (int32_t x = 0; x < pv->width; ++x) m[x] = from[x * copy.pixelStep + 3];
        }
    }
    pv->holds = kPreviewHoldsPreview;
    return kStatusOk;
}

// Shows the host's buffers the picture the window expects again after they held something else:
// the zoom window when it is shown, else the preview.
int32_t PutPictureBack(const PluginCall* call, EditState* es, PreviewState* pv,
                       Ui_Failure* failure) {
    if (pv->zoomed) {
        // The same window again: its corner as the anchor of the corner.
        return ZoomPreview(call, es, pv, pv->zoomLevel, pv->zoomRect.left - pv->filter.left,
                           pv->zoomRect.top - pv->filter.top, 0, 0, failure);
    }
    return PutPreviewBack(call, es, pv, failure);
}

}  // namespace

void RescaleHost16(void* data, int32_t rowBytes, int32_t width, int32_t height, int32_t planes) {
    if (data == nullptr) return;
    const int32_t samples = width * planes;
    for (int32_t y = 0; y < height; ++y) {
        auto* row =
            reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(data) + ptrdiff_t(y) * rowBytes);
        for (int32_t i = 0; i < samples; ++i) {
            const uint16_t v = row[i];
            row[i] = uint16_t((v > 32767 ? 32767 : v) * 2);
        }
    }
}

int32_t AcquirePreview(const PluginCall* call, EditState* es, PreviewState* pv, int32_t boxWidth,
                       int32_t boxHeight, uint8_t forWindow, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    if (es == nullptr || pv == nullptr || Record(call) == nullptr)
        return FailReading(failure, kStatusProblem);
    if (boxWidth < 2 || boxHeight < 2) {
        boxWidth = kFallbackWidth;
        boxHeight = kFallbackHeight;
    }
    // What to show again if this fails: the preview acquired before, with its zoom.
    const bool had = pv->acquired != 0 && forWindow;
    const int32_t oldWidth = pv->boxWidth, oldHeight = pv->boxHeight;
    const int32_t zoomedAt = pv->zoomed != 0 ? pv->zoomLevel : 0;
    const int32_t zoomX = pv->zoomX - pv->filter.left, zoomY = pv->zoomY - pv->filter.top;
    // The old copy goes first, so that two never take memory at once.
    FreeImages(es, pv);
    int32_t status = AcquireOnce(call, es, pv, boxWidth, boxHeight, forWindow, failure);
    if (status != kStatusOk && had && status != kStatusCancelled) {
        Ui_Failure again;
        if (AcquireOnce(call, es, pv, oldWidth, oldHeight, 1, &again) == kStatusOk) {
            if (zoomedAt != 0) ZoomPreview(call, es, pv, zoomedAt, zoomX, zoomY, -1, -1, &again);
        } else {
            ReleasePreview(call, es, pv);
        }
        return status;
    }
    if (status != kStatusOk) {
        if (forWindow) {
            ReleasePreview(call, es, pv);
        } else {
            ReleaseHostBuffers(Record(call));
            pv->holds = kPreviewHoldsNothing;
        }
        return status;
    }
    if (forWindow && zoomedAt != 0)
        return ZoomPreview(call, es, pv, zoomedAt, zoomX, zoomY, -1, -1, failure);
    return kStatusOk;
}

int32_t GetAnalysisImage(const PluginCall* call, EditState* es, int32_t previewWidth,
                         int32_t previewHeight, Ui_Failure* failure) {
    if (es == nullptr || Record(call) == nullptr) return FailReading(failure, kStatusProblem);
    EditStateFreeAnalysis(es);
    PreviewState pv;
    Mem_Fill(&pv, 0, sizeof pv);
    const int32_t status = AcquirePreview(call, es, &pv, previewWidth, previewHeight, 0, failure);
    if (status == kStatusOk) ReleaseHostBuffers(Record(call));
    return status;
}

int32_t ZoomPreview(const PluginCall* call, EditState* es, PreviewState* pv, int32_t level,
                    int32_t x, int32_t y, int32_t anchorH, int32_t anchorV, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    if (es == nullptr || pv == nullptr || !pv->acquired || !pv->display)
        return Ui_Failure_Describe(failure, kStatusError, kPhraseAdvanceState);
    bool known = false;
    for (const int32_t l : kPreviewZoomLevels) known = known || l == level;
    if (!known) return Ui_Failure_Describe(failure, kStatusProblem, kPhraseAdvanceState);
    const VRect& f = pv->filter;
    const int32_t w = Width(f), h = Height(f);
    if (!PreviewZoomShowsMore(level, w, h, pv->width, pv->height))
        return RestorePreview(call, es, pv, failure);
    const int32_t rate = PreviewZoomRate(level), magnify = PreviewZoomMagnify(level);
    // In the host's coordinates at the rate, where the filter rectangle runs from its corner
    // divided by the rate, as the preview's own request does.
    const VRect scaled{f.top / rate, f.left / rate, f.bottom / rate, f.right / rate};
    // The window fills the preview box, as far as the image reaches; the display buffer, which
    // lies inside the filter rectangle, is never larger than the image.
    const int32_t boxWidth = Num_Min(Num_Max(pv->boxWidth, pv->width), w);
    const int32_t boxHeight = Num_Min(Num_Max(pv->boxHeight, pv->height), h);
    const int32_t pictureWidth = Num_Min(CeilDiv(boxWidth, magnify), Width(scaled));
    const int32_t pictureHeight = Num_Min(CeilDiv(boxHeight, magnify), Height(scaled));
    const int32_t drawnWidth = Num_Min(pictureWidth * magnify, boxWidth);
    const int32_t drawnHeight = Num_Min(pictureHeight * magnify, boxHeight);
    // The point lands under its anchor (drawn pixels from the picture's corner), or in the
    // middle; the window then stays inside the image.
    const int32_t X = f.left + Num_Clamp(x, 0, w - 1), Y = f.top + Num_Clamp(y, 0, h - 1);
    const int32_t offsetH = anchorH < 0 ? pictureWidth / 2 : anchorH / magnify;
    const int32_t offsetV = anchorV < 0 ? pictureHeight / 2 : anchorV / magnify;
    const int32_t left = Num_Clamp(X / rate - offsetH, scaled.left, scaled.right - pictureWidth);
    const int32_t top = Num_Clamp(Y / rate - offsetV, scaled.top, scaled.bottom - pictureHeight);
    // At full size the window comes with a margin, cut at the filter rectangle, whose edges the
    // filter itself treats as the image's.
    const VRect window = Sized(top, left, pictureWidth, pictureHeight);
    const int32_t margin = rate == 1 ? kDetailMargin : 0;
    const VRect in{Num_Max(top - margin, scaled.top), Num_Max(left - margin, scaled.left),
                   Num_Min(window.bottom + margin, scaled.bottom),
                   Num_Min(window.right + margin, scaled.right)};
    const VRect around{window.top - in.top, window.left - in.left, in.bottom - window.bottom,
                       in.right - window.right};
    // The display buffer, lying over the window where it fits and always inside the filter
    // rectangle: the host takes it back into the image, and PutBackImage repairs that.
    const VRect out =
        Sized(Num_Clamp(top * rate, f.top, f.bottom - drawnHeight),
              Num_Clamp(left * rate, f.left, f.right - drawnWidth), drawnWidth, drawnHeight);

    pv->holds = kPreviewHoldsOther;
    int32_t status = EmptyHost(call, failure);
    Lend(pv, out);
    if (status == kStatusOk) status = Request(call, in, rate, out, failure);
    IPImage input, selection;
    if (status == kStatusOk)
        status = DescribeAnswer(call, pv, Width(in), Height(in), drawnWidth, &input, &selection,
                                failure);
    if (status != kStatusOk) {
        if (status != kStatusCancelled) {
            Ui_Failure ignored;
            PutPreviewBack(call, es, pv, &ignored);
        }
        return status;
    }
    FilterRecord* record = Record(call);
    if (pv->bytes == 2)
        RescaleHost16(record->inData, record->inRowBytes, Width(in), Height(in), pv->planes);
    pv->hostInput = SubView(input, around.left, around.top, pictureWidth, pictureHeight);
    pv->hostMask = pv->haveSelection
                       ? SubView(selection, around.left, around.top, pictureWidth, pictureHeight)
                       : selection;
    pv->zoomAround = around;
    pv->zoomed = 1;
    pv->zoomLevel = level;
    pv->zoomRate = rate;
    pv->zoomMagnify = magnify;
    pv->drawnWidth = drawnWidth;
    pv->drawnHeight = drawnHeight;
    pv->zoomRect = Sized(top * rate, left * rate, pictureWidth * rate, pictureHeight * rate);
    pv->zoomX = (left + pictureWidth / 2) * rate;
    pv->zoomY = (top + pictureHeight / 2) * rate;
    pv->holds = kPreviewHoldsZoom;
    return kStatusOk;
}

int32_t RestorePreview(const PluginCall* call, EditState* es, PreviewState* pv,
                       Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    if (es == nullptr || pv == nullptr) return kStatusProblem;
    if (!pv->acquired) return kStatusOk;
    if (pv->holds == kPreviewHoldsPreview) {
        ClearZoom(pv);
        return kStatusOk;
    }
    return PutPreviewBack(call, es, pv, failure);
}

int32_t ReturnPicture(const PluginCall* call, EditState* es, PreviewState* pv,
                      Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    if (es == nullptr || pv == nullptr || !pv->acquired || !pv->display)
        return Ui_Failure_Describe(failure, kStatusError, kPhraseDisplayPreview);
    if (pv->holds == kPreviewHoldsPreview || pv->holds == kPreviewHoldsZoom) return kStatusOk;
    return PutPictureBack(call, es, pv, failure);
}

int32_t OpenDetail(const PluginCall* call, PreviewState* pv, int32_t width, int32_t height,
                   Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    if (pv == nullptr || !pv->acquired || width < 1 || height < 1)
        return Ui_Failure_Describe(failure, kStatusProblem, kPhraseGetPreview);
    CloseDetail(pv);
    PreviewDetail& d = pv->detail;
    d.viewWidth = Num_Min(width, Width(pv->filter));
    d.viewHeight = Num_Min(height, Height(pv->filter));
    d.capacityWidth = d.viewWidth + 2 * kDetailMargin;
    d.capacityHeight = d.viewHeight + 2 * kDetailMargin;
    d.channels = pv->planes >= 4 ? 4 : 3;
    d.bytes = pv->bytes;
    LogF(call, "allocated %d x %d", int(d.capacityWidth), int(d.capacityHeight));
    const uint64_t pixels = uint64_t(d.capacityWidth) * uint64_t(d.capacityHeight);
    const uint64_t sourceBytes = pixels * uint64_t(d.channels) * uint64_t(d.bytes);
    if (sourceBytes > 0x7FFFFFFFu)
        return Ui_Failure_Describe(failure, kStatusNoMemory, kPhraseGetPreview);
    d.source = Mem_Alloc(uint32_t(sourceBytes));
    d.selection = pv->haveSelection ? static_cast<uint8_t*>(Mem_Alloc(uint32_t(pixels))) : nullptr;
    d.rendered = static_cast<uint8_t*>(Mem_Alloc(uint32_t(pixels * uint64_t(d.channels))));
    d.magnified = static_cast<uint8_t*>(
        Mem_Alloc(uint32_t(d.viewWidth) * uint32_t(d.viewHeight) * uint32_t(d.channels)));
    if (d.source == nullptr || (pv->haveSelection && d.selection == nullptr) ||
        d.rendered == nullptr || d.magnified == nullptr) {
        CloseDetail(pv);
        return Ui_Failure_Describe(failure, kStatusNoMemory, kPhraseGetPreview);
    }
    d.open = 1;
    return kStatusOk;
}

void CloseDetail(PreviewState* pv) {
    if (pv == nullptr) return;
    PreviewDetail& d = pv->detail;
    Mem_Free(d.source);
    Mem_Free(d.selection);
    Mem_Free(d.rendered);
    Mem_Free(d.magnified);
    Mem_Fill(&d, 0, sizeof d);
}

int32_t GetPrevImage(const PluginCall* call, EditState* es, PreviewState* pv, int32_t x, int32_t y,
                     int32_t zoom, uint8_t* fetched, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    if (fetched != nullptr) *fetched = 0;
    if (es == nullptr || pv == nullptr || !pv->detail.open || zoom < 1)
        return Ui_Failure_Describe(failure, kStatusProblem, kPhraseGetPreview);
    LogF(call, "GetPrevImage...");
    PreviewDetail& d = pv->detail;
    const VRect& f = pv->filter;
    // The visible part: what fills the view at this zoom, centred on the point, inside the
    // image; the part fetched carries a margin for the sharpening and noise neighbourhoods,
    // cut at the filter rectangle, whose edges the filter itself treats as the image's edges.
    const int32_t vw = Num_Min(CeilDiv(d.viewWidth, zoom), Width(f));
    const int32_t vh = Num_Min(CeilDiv(d.viewHeight, zoom), Height(f));
    const int32_t X = f.left + Num_Clamp(x, 0, Width(f) - 1),
                  Y = f.top + Num_Clamp(y, 0, Height(f) - 1);
    const VRect visible = Sized(Num_Clamp(Y - vh / 2, f.top, f.bottom - vh),
                                Num_Clamp(X - vw / 2, f.left, f.right - vw), vw, vh);
    const SharpenNoise& sn = es->editPars.sharpenNoise;
    const int32_t margin =
        Num_Min(2 * Num_Max(Num_Max(sn.noiseRadius[1], sn.noiseRadius[2]), 2), kDetailMargin);
    const VRect want{Num_Max(visible.top - margin, f.top), Num_Max(visible.left - margin, f.left),
                     Num_Min(visible.bottom + margin, f.bottom),
                     Num_Min(visible.right + margin, f.right)};
    d.visible = visible;
    d.zoom = zoom;
    const bool atHand = d.haveFetched && d.fetched.top <= want.top && d.fetched.left <= want.left &&
                        want.bottom <= d.fetched.bottom && want.right <= d.fetched.right;
    if (atHand) {
        LogF(call, "...GetPrevImage");
        return kStatusOk;
    }

    d.haveFetched = 0;
    d.haveRendered = 0;
    pv->holds = kPreviewHoldsOther;
    int32_t status = EmptyHost(call, failure);
    if (status == kStatusOk) status = Request(call, want, 1, kEmpty, failure);
    IPImage input, selection;
    if (status == kStatusOk) {
        status =
            DescribeAnswer(call, pv, Width(want), Height(want), 0, &input, &selection, failure);
    }
    if (status == kStatusOk) {
        const int32_t w = Width(want), h = Height(want), channels = d.channels;
        for (int32_t row = 0; row < h; ++row) {
            for (int32_t c = 0; c < channels; ++c) {
                const ptrdiff_t first = IPSampleOffset(&input, 0, row);
                const ptrdiff_t out = ptrdiff_t(row) * w * channels + c;
                if (d.bytes == 2) {
                    const auto* from = static_cast<const uint16_t*>(input.channel[c]) + first;
                    auto* to = static_cast<uint16_t*>(d.source) + out;
                    for (int32_t i = 0; i < w; ++i) {
                        const uint16_t v = from[ptrdiff_t(i) * input.pixelStep];
                        to[ptrdiff_t(i) * channels] = uint16_t((v > 32767 ? 32767 : v) * 2);
                    }
                } else {
                    const auto* from = static_cast<const uint8_t*>(input.channel[c]) + first;
                    auto* to = static_cast<uint8_t*>(d.source) + out;
                    for (int32_t i = 0; i < w; ++i)
                        to[ptrdiff_t(i) * channels] = from[ptrdiff_t(i) * input.pixelStep];
                }
            }
            if (d.selection != nullptr) {
                const auto* from = static_cast<const uint8_t*>(selection.channel[0]) +
                                   ptrdiff_t(row) * selection.rowStep;
                Mem_Copy(d.selection + ptrdiff_t(row) * w, from, size_t(w));
            }
        }
        d.fetched = want;
        d.haveFetched = 1;
        if (fetched != nullptr) *fetched = 1;
    }
    if (status == kStatusCancelled) return status;
    if (status != kStatusOk) Ui_Failure_Describe(failure, status, kPhraseGetPreview);
    // The window's picture goes back whatever happened; its own failure is told only when the
    // fetch itself went well.
    Ui_Failure back;
    const int32_t restored = PutPictureBack(call, es, pv, &back);
    if (status == kStatusOk && restored != kStatusOk) {
        if (failure != nullptr) *failure = back;
        status = restored;
    }
    LogF(call, "...GetPrevImage");
    return status;
}

int32_t PutBackImage(const PluginCall* call, PreviewState* pv, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    if (pv == nullptr) return kStatusProblem;
    const VRect lent = pv->lent;
    if (lent.right <= lent.left || lent.bottom <= lent.top) return kStatusOk;
    pv->holds = kPreviewHoldsOther;
    // Strips keep the host's buffers small however far apart the lent rectangles lay.
    constexpr int32_t kStripRows = 64;
    for (int32_t top = lent.top; top < lent.bottom; top += kStripRows) {
        const int32_t rows = lent.bottom - top < kStripRows ? lent.bottom - top : kStripRows;
        const VRect strip = Sized(top, lent.left, Width(lent), rows);
        int32_t status = EmptyHost(call, failure);
        if (status == kStatusOk) status = Request(call, strip, 1, strip, failure);
        if (status != kStatusOk) return status;
        FilterRecord* record = Record(call);
        if (record->inData == nullptr || record->outData == nullptr)
            return FailAnswer(call, failure);
        const size_t bytes = size_t(Width(lent)) * size_t(pv->planes) * size_t(pv->bytes);
        for (int32_t y = 0; y < rows; ++y) {
            Mem_Copy(
                static_cast<uint8_t*>(record->outData) + ptrdiff_t(y) * record->outRowBytes,
                static_cast<const uint8_t*>(record->inData) + ptrdiff_t(y) * record->inRowBytes,
                bytes);
        }
    }
    pv->lent = kEmpty;
    return kStatusOk;
}

void ReleasePreview(const PluginCall* call, EditState* es, PreviewState* pv) {
    if (pv == nullptr) return;
    CloseDetail(pv);
    Mem_Free(pv->navigator);
    Mem_Free(pv->fourth.pixels);
    FilterRecord* record = Record(call);
    if (pv->holds != kPreviewHoldsNothing && record != nullptr && record->advanceState != nullptr)
        ReleaseHostBuffers(record);
    (void)es;
    Mem_Fill(pv, 0, sizeof *pv);
}
