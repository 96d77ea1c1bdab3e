// Rendering and drawing the preview; see preview_render.h.
#include "host/preview_render.h"

#include "edit/prefs.h"
#include "engine/huegrid_kernels.h"
#include "engine/ip_resample.h"
#include "host/call_state.h"
#include "host/rects.h"
#include "host/row_bands.h"
#include "platform/mem.h"
#include "platform/numeric.h"
#include "platform/ui/cursor.h"
#include "platform/work_pool.h"
#include "resources/ids/strings.h"

namespace {

// The fewest rows a thread of the direct path is given: below that, starting it costs more
// than it saves.
constexpr int32_t kPreviewRowsPerThread = 16;

int32_t Width(const VRect& r) {
    return r.right - r.left;
}
int32_t Height(const VRect& r) {
    return r.bottom - r.top;
}

// The byte of a 16-bit sample that holds its high eight bits, in this machine's order.
int32_t HighByteOffset() {
    const uint16_t probe = 1;
    return *reinterpret_cast<const uint8_t*>(&probe) == 1 ? 1 : 0;
}

// An interleaved image view over a block: channels samples a pixel, rows of width pixels.
IPImage Interleaved(void* base, int32_t channels, int32_t bytes, int32_t width, int32_t height,
                    int32_t rowPixels) {
    IPImage image{kIPKindColour,        channels, bytes,  width, height, 72.0f, channels,
                  channels * rowPixels, {},       nullptr};
    for (int32_t c = 0; c < channels; ++c)
        image.channel[c] = static_cast<uint8_t*>(base) + c * bytes;
    return image;
}

// A map over 8-bit interleaved pixels (RGB first), with the fourth byte of each pixel as its
// transparency when the pixels have four channels.
void MapOver(PSPixelMap* map, PSPixelMask* mask, uint8_t* pixels, const VRect& bounds,
             int32_t channels) {
    Mem_Fill(map, 0, sizeof *map);
    map->version = 1;
    map->bounds = bounds;
    map->imageMode = plugInModeRGBColor;
    map->rowBytes = channels * Width(bounds);
    map->colBytes = channels;
    map->planeBytes = 1;
    map->baseAddr = pixels;
    if (channels >= 4) {
        *mask = PSPixelMask{nullptr, pixels + 3, map->rowBytes, channels, 0};
        map->masks = mask;
    }
}

// Whether the row pointers of an image step through interleaved pixels (channel c c samples
// after channel 0), as the row pipeline's split reads them.
bool InterleavedChannels(const IPImage* image) {
    for (int32_t c = 1; c < 3; ++c) {
        if (static_cast<const uint8_t*>(image->channel[c]) !=
            static_cast<const uint8_t*>(image->channel[0]) + c * image->bytesPerSample)
            return false;
    }
    return true;
}

bool Inside(const VRect& r, const IPImage* image) {
    return 0 <= r.left && r.left <= r.right && r.right <= image->width && 0 <= r.top &&
           r.top <= r.bottom && r.bottom <= image->height;
}

// Clipping view and selection blend of columns x .. x + width - 1 (from the rectangle's left) of
// one finished row, whose new values are already in out (pointing at column x).
void FinishColumns(const PreviewRows* job, int32_t y, int32_t x0, int32_t width,
                   uint8_t* const out[3]) {
    const ptrdiff_t outStep = job->destination->pixelStep;
    if (job->clipping == kPreviewClipWhite || job->clipping == kPreviewClipBlack) {
        const bool white = job->clipping == kPreviewClipWhite;
        for (int32_t c = 0; c < 3; ++c) {
            uint8_t* p = out[c];
            for (int32_t x = 0; x < width; ++x) {
                uint8_t& v = p[ptrdiff_t(x) * outStep];
                if (white && v < 255) v = 0;
                if (!white && v > 0) v = 255;
            }
        }
    }
    if (job->selection == nullptr) return;
    const IPImage* src = job->source;
    const uint8_t* m = static_cast<const uint8_t*>(job->selection->channel[0]) +
                       IPSampleOffset(job->selection, job->rect.left + x0, y);
    const ptrdiff_t mStep = job->selection->pixelStep, inStep = src->pixelStep;
    const ptrdiff_t first = IPSampleOffset(src, job->rect.left + x0, y);
    for (int32_t c = 0; c < 3; ++c) {
        uint8_t* p = out[c];
        if (src->bytesPerSample == 2) {
            const uint16_t* u = static_cast<const uint16_t*>(src->channel[c]) + first;
            for (int32_t x = 0; x < width; ++x) {
                const uint32_t mask = m[x * mStep];
                if (mask == 255) continue;
                uint8_t& n = p[ptrdiff_t(x) * outStep];
                const uint32_t unedited = uint32_t(u[x * inStep] >> 8);
                n = uint8_t(SelectionBlend(mask, unedited, n));
            }
        } else {
            const uint8_t* u = static_cast<const uint8_t*>(src->channel[c]) + first;
            for (int32_t x = 0; x < width; ++x) {
                const uint32_t mask = m[x * mStep];
                if (mask == 255) continue;
                uint8_t& n = p[ptrdiff_t(x) * outStep];
                const uint32_t unedited = u[x * inStep];
                n = uint8_t(SelectionBlend(mask, unedited, n));
            }
        }
    }
}

// The destination's row y from the rectangle's column x0.
void DestinationRow(const PreviewRows* job, int32_t y, int32_t x0, uint8_t* out[3]) {
    const ptrdiff_t at = IPSampleOffset(job->destination, job->rect.left + x0, y);
    for (int32_t c = 0; c < 3; ++c)
        out[c] = static_cast<uint8_t*>(job->destination->channel[c]) + at;
}

int32_t FailRow(const PreviewRows* job, int32_t status, int32_t y, Ui_Failure* failure) {
    return Ui_Failure_Describe(failure, status, kPhraseProcessScanline, y,
                               job->imageName != nullptr ? job->imageName : " ");
}

// Rows top .. bottom - 1 of the rectangle through the kernels, each blended and clipped as
// shown; the first failing row in *failedRow.
int32_t DirectRows(const PreviewRows* job, int32_t top, int32_t bottom, int32_t* failedRow) {
    const IPImage* src = job->source;
    const int32_t bytes = src->bytesPerSample, width = Width(job->rect);
    const Huegrid* shown = job->shown;
    for (int32_t y = top; y < bottom; ++y) {
        uint8_t* out[3];
        DestinationRow(job, y, 0, out);
        const ptrdiff_t first = IPSampleOffset(src, job->rect.left, y);
        const void* in[4] = {nullptr, nullptr, nullptr, nullptr};
        for (int32_t c = 0; c < 3; ++c)
            in[c] = static_cast<const uint8_t*>(src->channel[c]) + first * bytes;
        if (shown != nullptr) {
            void* const outs[4] = {out[0], out[1], out[2], nullptr};
            const int32_t status =
                HgApply(shown, width, in, src->pixelStep, outs, job->destination->pixelStep);
            if (status != kStatusOk) {
                *failedRow = y;
                return status;
            }
        } else {
            const ptrdiff_t inStep = src->pixelStep, outStep = job->destination->pixelStep;
            for (int32_t c = 0; c < 3; ++c) {
                for (int32_t x = 0; x < width; ++x) {
                    out[c][x * outStep] =
                        bytes == 2 ? uint8_t(static_cast<const uint16_t*>(in[c])[x * inStep] >> 8)
                                   : static_cast<const uint8_t*>(in[c])[x * inStep];
                }
            }
        }
        FinishColumns(job, y, 0, width, out);
    }
    return kStatusOk;
}

// The rows cut into one run of rows per thread; each part writes only its own rows.
struct DirectParts {
    const PreviewRows* job;
    int32_t parts;
    int32_t status[kWorkMaxThreads];
    int32_t failedRow[kWorkMaxThreads];
};

void DirectPart(int32_t part, void* context) {
    auto* d = static_cast<DirectParts*>(context);
    const VRect& r = d->job->rect;
    const int32_t top = r.top + int32_t(int64_t(Height(r)) * part / d->parts);
    const int32_t bottom = r.top + int32_t(int64_t(Height(r)) * (part + 1) / d->parts);
    d->status[part] = DirectRows(d->job, top, bottom, &d->failedRow[part]);
}

// The direct path: the kernels on each row, the rows spread over the job's threads (rows do
// not depend on each other here, so any split gives the same picture).
int32_t Direct(const PreviewRows* job, Ui_Failure* failure) {
    const int32_t bytes = job->source->bytesPerSample;
    Huegrid* shown = job->shown;
    if (shown != nullptr) {
        // The tables for the sizes are built here, before any thread reads them.
        int32_t status = kStatusOk;
        if (shown->inPixelSize != bytes) status = HgSetDepth(shown, kHgSideInput, bytes);
        if (status == kStatusOk && shown->outPixelSize != 1)
            status = HgSetDepth(shown, kHgSideOutput, 1);
        if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseCreateHuegrid);
    }
    DirectParts d;
    d.job = job;
    d.parts = Num_Clamp(Num_Min(job->threads, Height(job->rect) / kPreviewRowsPerThread), 1,
                        kWorkMaxThreads);
    WorkPool* pool = d.parts > 1 ? WorkPoolCreate(d.parts) : nullptr;
    WorkPoolRun(pool, d.parts, DirectPart, &d);
    WorkPoolFree(pool);
    for (int32_t k = 0; k < d.parts; ++k) {
        if (d.status[k] != kStatusOk)
            return FailRow(job, d.status[k], d.failedRow[k] - job->rect.top, failure);
    }
    return kStatusOk;
}

// The rectangle with what the filtered path may read around it.
VRect WithAround(const PreviewRows* job) {
    const VRect& r = job->rect;
    const VRect& a = job->around;
    return VRect{r.top - a.top, r.left - a.left, r.bottom + a.bottom, r.right + a.right};
}

// A band's finished planar 8-bit row into its destination columns, blended; the rows and
// columns read around the rectangle are dropped. Bands write disjoint columns.
int32_t WriteRendered(const BandRow* band, void* context) {
    const auto* job = static_cast<const PreviewRows*>(context);
    const VRect outer = WithAround(job);
    const int32_t y = outer.top + band->y;
    if (y < job->rect.top) return kStatusOk;
    if (y >= job->rect.bottom) return y < outer.bottom ? kStatusOk : kStatusProblem;
    // The band's columns as the rectangle's, cut to the rectangle.
    const int32_t from = Num_Max(outer.left + band->x, job->rect.left);
    const int32_t to = Num_Min(outer.left + band->x + band->count, job->rect.right);
    if (from >= to) return kStatusOk;
    const int32_t x0 = from - job->rect.left;
    uint8_t* out[3];
    DestinationRow(job, y, x0, out);
    const ptrdiff_t step = job->destination->pixelStep;
    const uint32_t width = band->row->width;
    const uint32_t skip = uint32_t(band->skip + (from - (outer.left + band->x)));
    for (int32_t c = 0; c < 3; ++c) {
        const uint8_t* plane = band->row->data8 + size_t(c) * width + skip;
        for (int32_t x = 0; x < to - from; ++x) out[c][ptrdiff_t(x) * step] = plane[x];
    }
    FinishColumns(job, y, x0, to - from, out);
    return kStatusOk;
}

// The filtered path: the filter's row pipeline over the rectangle and what lies around it, in
// column bands on the job's threads as the filter runs it.
int32_t Filtered(const PreviewRows* job, Ui_Failure* failure) {
    const IPImage* src = job->source;
    const VRect outer = WithAround(job);
    RowPipelineSetup setup{};
    setup.transform = job->shown;
    setup.width = Width(outer);
    setup.rows = Height(outer);
    setup.firstRow = job->sourceTop + outer.top;
    setup.bytesIn = src->bytesPerSample;
    setup.bytesOut = 1;
    setup.settings = job->settings;
    setup.sharpen = job->sharpen;
    setup.noise = job->noise;
    auto* bands = static_cast<RowBands*>(Mem_Alloc(sizeof(RowBands)));
    if (bands == nullptr)
        return Ui_Failure_Describe(failure, kStatusNoMemory, kPhraseCreateHuegrid);
    int32_t status = RowBandsBegin(bands, &setup, Num_Max(job->threads, 1), WriteRendered,
                                   const_cast<PreviewRows*>(job), failure);
    if (status == kStatusOk) {
        const ptrdiff_t first = IPSampleOffset(src, outer.left, outer.top) * src->bytesPerSample;
        int32_t failedRow = 0;
        status = RowBandsRun(bands, static_cast<const uint8_t*>(src->channel[0]) + first,
                             ptrdiff_t(src->rowStep) * src->bytesPerSample, src->pixelStep,
                             Height(outer), &failedRow);
        if (status != kStatusOk)
            FailRow(job, status, Num_Max(outer.top + failedRow - job->rect.top, 0), failure);
    }
    // Every band hands on every row, or the picture has a hole.
    for (int32_t k = 0; status == kStatusOk && k < RowBandsCount(bands); ++k) {
        if (bands->band[k].outRow != Height(outer))
            status = FailRow(job, kStatusError, bands->band[k].outRow, failure);
    }
    RowBandsEnd(bands);
    Mem_Free(bands);
    return status;
}

// Paints the pixels of the sampled region pure blue, where the region and the picture overlap.
void PaintSampled(const IPMask* sampled, const IPImage& picture) {
    if (sampled == nullptr || sampled->bits == nullptr) return;
    const int32_t width = Num_Min(sampled->width, picture.width);
    const int32_t height = Num_Min(sampled->height, picture.height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            if (!IPMaskBit(sampled, x, y)) continue;
            const ptrdiff_t at = IPSampleOffset(&picture, x, y);
            static_cast<uint8_t*>(picture.channel[0])[at] = 0;
            static_cast<uint8_t*>(picture.channel[1])[at] = 0;
            static_cast<uint8_t*>(picture.channel[2])[at] = 255;
        }
    }
}

// Magnifies the picture at the corner of a buffer in place: pixel (x, y) of the drawn width x
// height becomes the picture's pixel (x / magnify, y / magnify). Going backwards through the
// rows and columns, every pixel is read before it is overwritten, since each reads a pixel at or
// before its own place.
void MagnifyInPlace(uint8_t* pixels, ptrdiff_t rowBytes, int32_t channels, int32_t width,
                    int32_t height, int32_t magnify) {
    for (int32_t y = height - 1; y >= 0; --y) {
        uint8_t* to = pixels + ptrdiff_t(y) * rowBytes;
        const uint8_t* from = pixels + ptrdiff_t(y / magnify) * rowBytes;
        for (int32_t x = width - 1; x >= 0; --x) {
            const ptrdiff_t source = ptrdiff_t(x / magnify) * channels;
            for (int32_t c = channels - 1; c >= 0; --c)
                to[ptrdiff_t(x) * channels + c] = from[source + c];
        }
    }
}

// Renders the whole of source into destination through look: through the filter's pipeline when
// allowed and sharpening or noise removal is wanted (with the busy cursor meanwhile), else
// directly.
int32_t RenderWhole(const PreviewCanvas* canvas, const PreviewLook* look, const IPImage* source,
                    const IPImage* selection, const IPImage* destination, bool allowed,
                    bool sharpen, bool noise, const VRect& around, int32_t sourceTop,
                    Ui_Failure* failure) {
    const bool filtered = allowed && look->showsEdits && look->clipping == kPreviewClipNone &&
                          !look->busy && (sharpen || noise);
    const PreviewRows job{source,
                          selection,
                          VRect{0, 0, source->height, source->width},
                          destination,
                          look->shown,
                          look->clipping,
                          uint8_t(filtered),
                          uint8_t(filtered && sharpen),
                          uint8_t(filtered && noise),
                          &canvas->editState->editPars.sharpenNoise,
                          canvas->imageName,
                          around,
                          sourceTop,
                          PrefsThreadCount(canvas->prefs)};
    if (filtered && canvas->state != nullptr) Ui_Cursor_Set(canvas->state, kUiCursorWait);
    const int32_t status = PreviewApplyRows(&job, failure);
    if (filtered && canvas->state != nullptr) Ui_Cursor_Set(canvas->state, kUiCursorArrow);
    return status;
}

}  // namespace

int32_t PreviewApplyRows(const PreviewRows* job, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    if (job == nullptr || !IPImageValid(job->source) || job->source->channels < 3 ||
        !IPImageValid(job->destination) || job->destination->channels < 3 ||
        job->destination->bytesPerSample != 1 || !Inside(job->rect, job->source) ||
        job->around.top < 0 || job->around.left < 0 || job->around.bottom < 0 ||
        job->around.right < 0 || !Inside(job->rect, job->destination) ||
        (job->selection != nullptr &&
         (!IPImageValid(job->selection) || !Inside(job->rect, job->selection))) ||
        (job->filtered && (job->settings == nullptr || !InterleavedChannels(job->source))) ||
        (job->shown != nullptr && (job->shown->inChannels != 3 || job->shown->outChannels != 3))) {
        return Ui_Failure_Describe(failure, kStatusProblem, kPhraseProcessScanline, 0, " ");
    }
    if (Width(job->rect) == 0 || Height(job->rect) == 0) return kStatusOk;
    return job->filtered ? Filtered(job, failure) : Direct(job, failure);
}

int32_t DrawPreview(const PreviewCanvas* canvas, const PreviewLook* look, UiWindow* dialog,
                    const Ui_Rect* area, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    if (canvas == nullptr || canvas->preview == nullptr || canvas->editState == nullptr ||
        look == nullptr)
        return Ui_Failure_Describe(failure, kStatusProblem, kPhraseDisplayPreview);
    PreviewState* pv = canvas->preview;
    FilterRecord* record = Record(canvas->call);
    if (!pv->acquired || !pv->display || record == nullptr)
        return Ui_Failure_Describe(failure, kStatusError, kPhraseDisplayPreview);
    // A detail view that could not give the host's buffers back leaves them holding its part:
    // the picture is asked for again here, so that the window shows it at the next paint.
    if (pv->holds != kPreviewHoldsPreview && pv->holds != kPreviewHoldsZoom) {
        const int32_t status = ReturnPicture(canvas->call, canvas->editState, pv, failure);
        if (status != kStatusOk) return status;
    }
    // The display buffer holds the picture, magnified when zoomed above 100 %.
    const VRect bounds = GetOutRect(record);
    const int32_t w = Width(bounds), h = Height(bounds);
    const bool zoomed = pv->holds == kPreviewHoldsZoom;
    const int32_t magnify = zoomed ? pv->zoomMagnify : 1;
    const int32_t pictureWidth = pv->hostInput.width, pictureHeight = pv->hostInput.height;
    const int32_t drawnWidth = zoomed ? pv->drawnWidth : pv->width;
    const int32_t drawnHeight = zoomed ? pv->drawnHeight : pv->height;
    if (w != drawnWidth || h != drawnHeight || record->outData == nullptr ||
        pictureWidth * magnify < w || pictureHeight * magnify < h ||
        (pictureWidth - 1) * magnify >= w || (pictureHeight - 1) * magnify >= h)
        return Ui_Failure_Describe(failure, kStatusError, kPhraseDisplayPreview);

    // The display buffer: the host's output buffer as 8-bit RGB, 3 x width bytes at the start of
    // each of the host's rows (a row holds at least as much: the host made it for planes x bytes
    // a sample). The rows keep the host's own step: what lies past a row's width is the host's,
    // and may be its image beside the filter rectangle. The picture is rendered into its corner.
    auto* display = static_cast<uint8_t*>(record->outData);
    IPImage destination = Interleaved(display, 3, 1, pictureWidth, pictureHeight, pictureWidth);
    destination.rowStep = record->outRowBytes;
    const SharpenNoise& sn = canvas->editState->editPars.sharpenNoise;
    const Prefs* prefs = canvas->prefs;
    const bool sharpen = prefs != nullptr && prefs->previewSharpening == 1 && sn.sharpenOn &&
                         sn.sharpenStrength >= 1;
    const bool noise =
        look->sampled == nullptr && prefs != nullptr && prefs->previewNoise == 1 && sn.noiseOn;
    // Sharpening and noise removal mean something only on the image's own pixels: from 100 %.
    const bool fullSize = zoomed && pv->zoomRate == 1;
    const int32_t status = RenderWhole(
        canvas, look, &pv->hostInput, pv->haveSelection ? &pv->hostMask : nullptr, &destination,
        fullSize, sharpen, noise, fullSize ? pv->zoomAround : VRect{0, 0, 0, 0},
        fullSize ? pv->zoomRect.top - pv->filter.top : 0, failure);
    if (status != kStatusOk) return status;
    PaintSampled(look->sampled, destination);
    if (magnify > 1) MagnifyInPlace(display, record->outRowBytes, 3, w, h, magnify);

    PSPixelMap map;
    PSPixelMask unused;
    MapOver(&map, &unused, display, bounds, 3);
    map.rowBytes = record->outRowBytes;
    PSPixelMask transparency;
    uint8_t* magnifiedMask = nullptr;
    if (pv->hostInput.channels >= 4) {
        // The input buffer's fourth samples; of a 16-bit sample (rescaled to 0..65534) its high
        // byte. Magnified, they are copied out at the drawn size.
        const int32_t bytes = pv->bytes;
        const int32_t offset = 3 * bytes + (bytes == 2 ? HighByteOffset() : 0);
        // From the picture's first pixel: a zoom window lies inside its margin.
        uint8_t* fourth = static_cast<uint8_t*>(pv->hostInput.channel[0]) + offset;
        const int32_t step = pv->planes * bytes;
        transparency = PSPixelMask{nullptr, fourth, record->inRowBytes, step, 0};
        if (magnify > 1) {
            magnifiedMask = static_cast<uint8_t*>(Mem_Alloc(uint32_t(w) * uint32_t(h)));
            if (magnifiedMask == nullptr)
                return Ui_Failure_Describe(failure, kStatusNoMemory, kPhraseDisplayPreview);
            for (int32_t y = 0; y < h; ++y) {
                const uint8_t* from = fourth + ptrdiff_t(y / magnify) * record->inRowBytes;
                for (int32_t x = 0; x < w; ++x)
                    magnifiedMask[ptrdiff_t(y) * w + x] = from[ptrdiff_t(x / magnify) * step];
            }
            transparency = PSPixelMask{nullptr, magnifiedMask, w, 1, 0};
        }
        map.masks = &transparency;
    }
    const int32_t shown =
        DisplayInArea(canvas->target, record, dialog, area, &map, &bounds, failure);
    Mem_Free(magnifiedMask);
    return shown;
}

void FreeNavPrevImages(PreviewState* pv) {
    if (pv == nullptr) return;
    pv->navigator = static_cast<uint8_t*>(Mem_Free(pv->navigator));
    pv->navigatorWidth = pv->navigatorHeight = pv->navigatorChannels = 0;
}

int32_t SetUpNavPrevImages(const PreviewCanvas* canvas, int32_t boxWidth, int32_t boxHeight,
                           Huegrid* shown, int32_t* width, int32_t* height, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    if (canvas == nullptr || canvas->preview == nullptr || canvas->editState == nullptr ||
        width == nullptr || height == nullptr || boxWidth < 2 || boxHeight < 2)
        return Ui_Failure_Describe(failure, kStatusProblem, kPhraseScaleDown);
    LogF(canvas->call, "SetUpNavPrevImages...");
    PreviewState* pv = canvas->preview;
    FreeNavPrevImages(pv);
    const IPImage& copy = canvas->editState->analysisImage;
    if (!pv->acquired || copy.pixels == nullptr)
        return Ui_Failure_Describe(failure, kStatusError, kPhraseScaleDown);
    if (copy.bytesPerSample != 1)
        return Ui_Failure_Describe(failure, kStatusUnsupported, kPhraseScaleDown);
    int32_t w = 0, h = 0;
    int32_t status = IPScaleOutputSize(copy.width, copy.height, boxWidth, boxHeight, &w, &h);
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseScaleDown);
    const int32_t channels = pv->fourth.pixels != nullptr ? 4 : 3;
    auto* pixels = static_cast<uint8_t*>(Mem_Alloc(uint32_t(w) * uint32_t(h) * uint32_t(channels)));
    if (pixels == nullptr) return Ui_Failure_Describe(failure, kStatusNoMemory, kPhraseScaleDown);

    // Scaled straight into the navigator's buffer: the colours, then the transparency.
    IPImage colours = copy;
    colours.channels = 3;
    colours.channel[3] = nullptr;
    IPImage target = Interleaved(pixels, channels, 1, w, h, w);
    target.channels = 3;
    target.channel[3] = nullptr;
    int32_t ow = 0, oh = 0;
    status = IPScaleImageDown2(nullptr, &colours, kIPScaleTent, &target, &ow, &oh, 0);
    if (status == kStatusOk && channels == 4) {
        IPImage alpha{kIPKindMask,  1,      1, w, h, 72.0f, channels, channels * w,
                      {pixels + 3}, nullptr};
        status = IPScaleImageDown2(nullptr, &pv->fourth, kIPScaleTent, &alpha, &ow, &oh, 0);
    }
    if (status != kStatusOk) {
        Mem_Free(pixels);
        return Ui_Failure_Describe(failure, status, kPhraseScaleDown);
    }
    if (ow != w || oh != h) {
        Mem_Free(pixels);
        return Ui_Failure_Describe(failure, kStatusError, kPhraseScaleDown);
    }
    if (shown != nullptr) {
        // Through the transform at 8 bits in place, its pixel sizes put back afterwards.
        const int32_t inSize = shown->inPixelSize, outSize = shown->outPixelSize;
        status = HgSetDepth(shown, kHgSideInput, 1);
        if (status == kStatusOk) status = HgSetDepth(shown, kHgSideOutput, 1);
        for (int32_t y = 0; status == kStatusOk && y < h; ++y) {
            uint8_t* row = pixels + ptrdiff_t(y) * channels * w;
            const void* const in[4] = {row, row + 1, row + 2, nullptr};
            void* const out[4] = {row, row + 1, row + 2, nullptr};
            status = HgApply(shown, w, in, channels, out, channels);
        }
        const int32_t back = HgSetDepth(shown, kHgSideInput, inSize);
        const int32_t backOut = HgSetDepth(shown, kHgSideOutput, outSize);
        if (status == kStatusOk) status = back != kStatusOk ? back : backOut;
        if (status != kStatusOk) {
            Mem_Free(pixels);
            return Ui_Failure_Describe(failure, status, kPhraseCreateHuegrid);
        }
    }
    pv->navigator = pixels;
    pv->navigatorWidth = w;
    pv->navigatorHeight = h;
    pv->navigatorChannels = channels;
    *width = w;
    *height = h;
    LogF(canvas->call, "...SetUpNavPrevImages");
    return kStatusOk;
}

int32_t DrawNavigator(const PreviewCanvas* canvas, UiWindow* dialog, const Ui_Rect* area,
                      Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    if (canvas == nullptr || canvas->preview == nullptr || canvas->preview->navigator == nullptr)
        return Ui_Failure_Describe(failure, kStatusProblem, kPhraseDisplayPreview);
    const PreviewState* pv = canvas->preview;
    const VRect bounds{0, 0, pv->navigatorHeight, pv->navigatorWidth};
    PSPixelMap map;
    PSPixelMask mask;
    MapOver(&map, &mask, pv->navigator, bounds, pv->navigatorChannels);
    return DisplayInArea(canvas->target, Record(canvas->call), dialog, area, &map, &bounds,
                         failure);
}

int32_t RenderDetail(const PreviewCanvas* canvas, const PreviewLook* look, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    if (canvas == nullptr || canvas->preview == nullptr || canvas->editState == nullptr ||
        look == nullptr || !canvas->preview->detail.haveFetched)
        return Ui_Failure_Describe(failure, kStatusProblem, kPhraseTransformPreview);
    PreviewDetail& d = canvas->preview->detail;
    const int32_t w = Width(d.fetched), h = Height(d.fetched);
    const IPImage source = Interleaved(d.source, d.channels, d.bytes, w, h, w);
    const IPImage rendered = Interleaved(d.rendered, d.channels, 1, w, h, w);
    const IPImage selection{kIPKindMask, 1, 1, w, h, 72.0f, 1, w, {d.selection}, nullptr};
    // The dialog is where sharpening and noise removal are set up: they show whenever they are
    // on, whatever the window's preview preferences say.
    const SharpenNoise& sn = canvas->editState->editPars.sharpenNoise;
    const bool sharpen = sn.sharpenOn && sn.sharpenStrength >= 1;
    const bool noise = sn.noiseOn != 0;
    d.haveRendered = 0;
    const int32_t status = RenderWhole(
        canvas, look, &source, d.selection != nullptr ? &selection : nullptr, &rendered, true,
        sharpen, noise, VRect{0, 0, 0, 0}, d.fetched.top - canvas->preview->filter.top, failure);
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseTransformPreview);
    if (d.channels == 4) {
        // The transparency comes along unchanged, as 8 bits.
        for (int64_t i = 0; i < int64_t(w) * h; ++i) {
            d.rendered[i * 4 + 3] =
                d.bytes == 2 ? uint8_t(static_cast<const uint16_t*>(d.source)[i * 4 + 3] >> 8)
                             : static_cast<const uint8_t*>(d.source)[i * 4 + 3];
        }
    }
    d.haveRendered = 1;
    return kStatusOk;
}

void DetailDrawnSize(const PreviewState* pv, int32_t* width, int32_t* height) {
    const PreviewDetail& d = pv->detail;
    const int64_t zoom = d.zoom > 0 ? d.zoom : 1;
    const int64_t w = int64_t(Width(d.visible)) * zoom, h = int64_t(Height(d.visible)) * zoom;
    *width = w < d.viewWidth ? int32_t(w) : d.viewWidth;
    *height = h < d.viewHeight ? int32_t(h) : d.viewHeight;
}

int32_t DrawDetail(const PreviewCanvas* canvas, UiWindow* dialog, const Ui_Rect* area,
                   Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    if (canvas == nullptr || canvas->preview == nullptr || !canvas->preview->detail.haveRendered)
        return Ui_Failure_Describe(failure, kStatusProblem, kPhraseDisplayPreview);
    PreviewDetail& d = canvas->preview->detail;
    int32_t w = 0, h = 0;
    DetailDrawnSize(canvas->preview, &w, &h);
    const int32_t fetchedWidth = Width(d.fetched);
    const ptrdiff_t corner = (ptrdiff_t(d.visible.top - d.fetched.top) * fetchedWidth +
                              (d.visible.left - d.fetched.left)) *
                             d.channels;
    const IPImage visible = Interleaved(d.rendered + corner, d.channels, 1, Width(d.visible),
                                        Height(d.visible), fetchedWidth);
    const IPImage magnified = Interleaved(d.magnified, d.channels, 1, w, h, w);
    int32_t status = IPZoomImage(&visible, 0.5, 0.5, d.zoom, &magnified);
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseDisplayPreview);
    const VRect bounds{0, 0, h, w};
    PSPixelMap map;
    PSPixelMask mask;
    MapOver(&map, &mask, d.magnified, bounds, d.channels);
    return DisplayInArea(canvas->target, Record(canvas->call), dialog, area, &map, &bounds,
                         failure);
}
