// Streaming the host image through the transform; see filter_image.h.
#include "host/filter_image.h"

#include "engine/huegrid_build.h"
#include "host/direct_strip.h"
#include "host/host_services.h"
#include "host/plugin_data.h"
#include "host/rects.h"
#include "platform/alert.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/numeric.h"
#include "edit/prefs.h"
#include "platform/prefs_file.h"
#include "platform/resources.h"
#include "resources/ids/strings.h"

namespace {

constexpr int16 kPaddingWhite = 255;
constexpr Fixed kRateOne = 0x10000;

// Rows above the row being read that each strip must carry: the processors deliver their output
// this many rows late (sharpening by two, noise removal by its radius), and those rows are
// written into whichever strip is current when they come out.
int32_t Overlap(const SharpenNoise& s) {
    int32_t sharpen = s.sharpenOn ? 4 : 0;
    int32_t noise = 0;
    if (s.noiseOn) {
        int32_t r = s.noiseRadius[1] > s.noiseRadius[2] ? s.noiseRadius[1] : s.noiseRadius[2];
        noise = 2 * r;
    }
    return sharpen > noise ? sharpen : noise;
}

// The rows of a strip. A strip starts overlap rows above the row that needs it, so only a strip
// of at least 2 x overlap + 1 rows brings overlap + 1 new ones; a shorter one would bring as few
// as one, and every row would be fetched up to overlap + 1 times. The prepare phase's figure is
// kept when it is enough (it was chosen before the settings were known); else the taller strip,
// when its input, output and mask rows fit the memory the host agreed to (maxSpace, which covers
// them and bufferSpace). 0 when even that does not fit.
int32_t StripHeight(const PluginCall* call, PluginData* data) {
    const FilterRecord* record = Record(call);
    const FilterState& f = data->run.filter;
    const int32_t overlap = Overlap(data->editState.editPars.sharpenNoise);
    int32_t wanted = 2 * overlap + 1;
    if (wanted > f.height) wanted = f.height > 0 ? f.height : 1;
    if (data->rowSkip >= wanted) return data->rowSkip;
    const uint64_t bytes = record->depth == 16 ? 2 : 1;
    const uint64_t width = f.width > 0 ? uint64_t(f.width) : 0;
    const uint64_t rowNeeds = width + 2 * uint64_t(record->planes) * width * bytes;
    const uint64_t bufferSpace = record->bufferSpace > 0 ? uint64_t(record->bufferSpace) : 0;
    if (uint64_t(wanted) * rowNeeds + bufferSpace > uint64_t(uint32_t(record->maxSpace))) return 0;
    return wanted;
}

}  // namespace

void FreeFilterRun(FilterState* f) {
    RowBandsEnd(f->bands);
    Mem_Free(f->bands);
    f->bands = nullptr;
    HgFree(f->transform);
    f->transform = nullptr;
}

void EndHostImage(const PluginCall* call) {
    FilterRecord* record = Record(call);
    VRect empty{0, 0, 0, 0};
    SetInRect(record, empty);
    SetOutRect(record, empty);
    SetMaskRect(record, empty);
}

int32_t BeginHostImage(const PluginCall* call, PluginData* data, Ui_Failure* failure) {
    FilterRecord* record = Record(call);
    FilterState& f = data->run.filter;
    record->inLoPlane = record->outLoPlane = 0;
    record->inHiPlane = record->outHiPlane = int16(record->planes - 1);
    record->inputPadding = record->outputPadding = kPaddingWhite;
    record->inputRate = kRateOne;
    if (record->haveMask) {
        record->maskPadding = record->outputPadding;
        record->maskRate = kRateOne;
    }
    SetOutRect(record, VRect{0, 0, 0, 0});
    int32_t status = ResetHostRects(call, failure);
    if (status != kStatusOk) return status;
    f.filterRect = GetFilterRect(record);
    f.inRect =
        VRect{f.filterRect.top - 1, f.filterRect.left, f.filterRect.top - 1, f.filterRect.right};
    f.outRect = f.inRect;
    SetInRect(record, f.inRect);
    SetOutRect(record, f.outRect);
    if (record->haveMask) {
        f.maskRect = f.inRect;
        SetMaskRect(record, f.maskRect);
    }
    f.width = f.filterRect.right - f.filterRect.left;
    f.height = f.filterRect.bottom - f.filterRect.top;
    f.bytesIn = f.bytesOut = record->depth == 16 ? 2 : 1;
    f.inColumnStep = f.outColumnStep = record->planes;
    LogF(call, "%d x %d, %d", f.width, f.height, f.bytesIn);
    return kStatusOk;
}

namespace {

// The host's 16-bit samples (0..32768) in the engine's scale (0..65535, 32768 and above to 65534
// as ever).
void ScaleHostSamples(uint16_t* v, ptrdiff_t count) {
    ptrdiff_t i = 0;
    for (; i + 16 <= count; i += 16) {
        for (int k = 0; k < 16; ++k) v[i + k] = uint16_t((v[i + k] > 32767 ? 32767 : v[i + k]) * 2);
    }
    for (; i < count; ++i) v[i] = uint16_t((v[i] > 32767 ? 32767 : v[i]) * 2);
}

}  // namespace

int32_t GetHostRow(const PluginCall* call, PluginData* data, int32_t y, Ui_Failure* failure) {
    FilterRecord* record = Record(call);
    FilterState& f = data->run.filter;
    const int32_t overlap = Overlap(data->editState.editPars.sharpenNoise);
    LogF(call, "Get %d", y);
    const int32_t Y = y + f.filterRect.top;
    if (Y > f.inRect.bottom - 1) {
        if (record->abortProc != nullptr && record->abortProc()) {
            SetResult(call, userCanceledErr);
            return Ui_Failure_Describe(failure, kStatusCancelled, 0);
        }
        // A strip starts overlap rows above the row that needs it, but never above the filter
        // rectangle: rows outside it are not the module's to write.
        int32_t top = Y - overlap;
        if (top < f.filterRect.top) top = f.filterRect.top;
        // FilterImage refuses a run whose strips do not fit; whoever else asks for rows still
        // gets a strip that holds the row it needs.
        int32_t rows = StripHeight(call, data);
        if (rows <= overlap) rows = overlap + 1;
        int32_t bottom = top + rows;
        if (bottom > f.filterRect.bottom) bottom = f.filterRect.bottom;
        if (bottom < 0) bottom = 0;
        f.inRect = VRect{top, f.filterRect.left, bottom, f.filterRect.right};
        f.outRect = f.inRect;
        SetInRect(record, f.inRect);
        SetOutRect(record, f.outRect);
        if (record->haveMask) {
            f.maskRect = f.inRect;
            SetMaskRect(record, f.maskRect);
        }
        LogF(call, "Read strip of %d scanlines (%d), in %d to %d, out %d to %d", bottom - top,
             overlap, f.inRect.top, f.inRect.bottom, f.outRect.top, f.outRect.bottom);
        int32_t status = AdvanceHostState(call, failure);
        if (status != kStatusOk) return status;
        if (f.bytesIn == 2) {
            // The host's 16-bit scale is 0..32768; the engine's is 0..65535. Only the colour
            // planes are rescaled: further planes go back to the host exactly as they came.
            for (int32_t r = 0; r < bottom - top; ++r) {
                auto* row = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(record->inData) +
                                                        ptrdiff_t(r) * record->inRowBytes);
                const ptrdiff_t step = f.inColumnStep;
                const int32_t width = f.width;
                if (step == 3) {
                    // RGB alone: every sample of the row. This runs on the thread that serves
                    // the strips while the others wait, so it goes sixteen samples at a time,
                    // a fixed count the compiler turns into vector instructions.
                    ScaleHostSamples(row, ptrdiff_t(width) * 3);
                    continue;
                }
                for (int32_t x = 0; x < width; ++x) {
                    for (int32_t c = 0; c < 3; ++c) {
                        uint16_t& v = row[ptrdiff_t(x) * step + c];
                        v = uint16_t((v > 32767 ? 32767 : v) * 2);
                    }
                }
            }
        }
    }
    LogF(call, "y = %d;  yin = %d, yout = %d", y, y - f.inRect.top, y - f.outRect.top);
    uint8_t* inRow =
        static_cast<uint8_t*>(record->inData) + ptrdiff_t(Y - f.inRect.top) * record->inRowBytes;
    if (record->progressProc != nullptr) record->progressProc(y, f.height);
    for (int c = 0; c < 3; ++c) f.channelPointer[c] = inRow + c * f.bytesIn;
    f.channelPointer[3] = nullptr;
    return kStatusOk;
}

namespace {

// Columns x .. x + count - 1 of a finished planar row (from column skip of the planes) into the
// host's output row, blended with the selection over the unedited input, which lies in the same
// strip; planes past the colour ones go back as they came.
template <typename T>
void BlendColumns(const T* p0, const T* p1, const T* p2, const T* in, const uint8_t* mask,
                  int32_t count, ptrdiff_t step, int32_t planes, int32_t shift, T* dest) {
    for (int32_t x = 0; x < count; ++x) {
        const ptrdiff_t at = ptrdiff_t(x) * step;
        const uint32_t m = mask != nullptr ? mask[x] : 255;
        dest[at + 0] =
            T(SelectionBlend(m, uint32_t(in[at + 0]) >> shift, uint32_t(p0[x]) >> shift));
        dest[at + 1] =
            T(SelectionBlend(m, uint32_t(in[at + 1]) >> shift, uint32_t(p1[x]) >> shift));
        dest[at + 2] =
            T(SelectionBlend(m, uint32_t(in[at + 2]) >> shift, uint32_t(p2[x]) >> shift));
        for (int32_t p = 3; p < planes; ++p) dest[at + p] = in[at + p];
    }
}

// BlendColumns without a selection: every pixel takes its new value. The step is fixed: the
// blend's loop, with its mask test and run-time step, cost two and a half times as much on a
// 24 MP image. GCC 12 at -O2 (the packages' build) still keeps this loop scalar; runs that only
// apply the transform skip it altogether (direct_strip.h).
template <typename T, int32_t Step>
void InterleaveColumns(const T* p0, const T* p1, const T* p2, const T* in, int32_t count,
                       int32_t shift, T* dest) {
    for (int32_t x = 0; x < count; ++x) {
        const ptrdiff_t at = ptrdiff_t(x) * Step;
        dest[at + 0] = T(uint32_t(p0[x]) >> shift);
        dest[at + 1] = T(uint32_t(p1[x]) >> shift);
        dest[at + 2] = T(uint32_t(p2[x]) >> shift);
        if (Step == 4) dest[at + 3] = in[at + 3];
    }
}

template <typename T>
void PutColumns(const T* p0, const T* p1, const T* p2, const T* in, const uint8_t* mask,
                int32_t count, ptrdiff_t step, int32_t planes, int32_t shift, T* dest) {
    if (mask == nullptr && step == planes && planes == 3) {
        InterleaveColumns<T, 3>(p0, p1, p2, in, count, shift, dest);
    } else if (mask == nullptr && step == planes && planes == 4) {
        InterleaveColumns<T, 4>(p0, p1, p2, in, count, shift, dest);
    } else {
        BlendColumns(p0, p1, p2, in, mask, count, step, planes, shift, dest);
    }
}

}  // namespace

int32_t PutHostRow(const PluginCall* call, const PluginData* data, int32_t yOut, int32_t x,
                   int32_t count, const void* const planes[3]) {
    const FilterRecord* record = Record(call);
    const FilterState& f = data->run.filter;
    const int32_t Y = yOut + f.filterRect.top;
    if (Y < f.outRect.top || Y >= f.outRect.bottom) return kStatusError;
    const ptrdiff_t step = f.outColumnStep;
    const ptrdiff_t column = ptrdiff_t(x) * step * f.bytesOut;
    uint8_t* dest = static_cast<uint8_t*>(record->outData) +
                    ptrdiff_t(Y - f.outRect.top) * record->outRowBytes + column;
    const uint8_t* in = static_cast<const uint8_t*>(record->inData) +
                        ptrdiff_t(Y - f.inRect.top) * record->inRowBytes + column;
    const uint8_t* mask = nullptr;
    if (record->haveMask == 1 && record->maskData != nullptr) {
        mask = static_cast<const uint8_t*>(record->maskData) +
               ptrdiff_t(Y - f.maskRect.top) * record->maskRowBytes + x;
    }
    if (f.bytesOut == 2) {
        // The engine's 16-bit codes back to the host's 0..32768.
        PutColumns(static_cast<const uint16_t*>(planes[0]), static_cast<const uint16_t*>(planes[1]),
                   static_cast<const uint16_t*>(planes[2]), reinterpret_cast<const uint16_t*>(in),
                   mask, count, step, record->planes, 1, reinterpret_cast<uint16_t*>(dest));
    } else {
        PutColumns(static_cast<const uint8_t*>(planes[0]), static_cast<const uint8_t*>(planes[1]),
                   static_cast<const uint8_t*>(planes[2]), in, mask, count, step, record->planes, 0,
                   dest);
    }
    return kStatusOk;
}

int32_t WriteFilteredRow(const BandRow* out, void* context) {
    const auto* sink = static_cast<const FilterSink*>(context);
    const uint32_t width = out->row->width;
    const void* planes[3];
    for (uint32_t c = 0; c < 3; ++c) {
        const size_t at = c * width + uint32_t(out->skip);
        planes[c] = sink->data->run.filter.bytesOut == 2
                        ? static_cast<const void*>(out->row->data16 + at)
                        : static_cast<const void*>(out->row->data8 + at);
    }
    return PutHostRow(sink->call, sink->data, out->y, out->x, out->count, planes);
}

namespace {

// The run's transform: built from the live record with every stage, at the pixel sizes of the
// image, on the call's threads.
int32_t BuildTransform(PluginData* data, int32_t threads, Ui_Failure* failure) {
    FilterState& f = data->run.filter;
    EditState* es = &data->editState;
    int32_t status =
        HgBuildOn(&es->editPars, kEditMaskAll, es->gridLevel, f.bytesIn, threads, &f.transform);
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseCreateHuegrid);
    // The tables for the image's sample sizes are built here: a transform without them would
    // filter nothing right.
    status = HgSetDepth(f.transform, kHgSideInput, f.bytesIn);
    if (status == kStatusOk) status = HgSetDepth(f.transform, kHgSideOutput, f.bytesOut);
    return Ui_Failure_Describe(failure, status, kPhraseCreateHuegrid);
}

// The row pipeline over the transform, with sharpening and noise removal when they are on, cut
// into column bands for the call's threads; finished rows go to the host.
int32_t BeginPipeline(FilterSink* sink, Ui_Failure* failure) {
    PluginData* data = sink->data;
    FilterState& f = data->run.filter;
    const SharpenNoise& sn = data->editState.editPars.sharpenNoise;
    RowPipelineSetup setup{};
    setup.transform = f.transform;
    setup.width = f.width;
    setup.rows = f.height;
    setup.bytesIn = f.bytesIn;
    setup.bytesOut = f.bytesOut;
    setup.settings = &sn;
    setup.sharpen = sn.sharpenOn;
    setup.noise = sn.noiseOn;
    f.bands = static_cast<RowBands*>(Mem_Alloc(sizeof(RowBands)));
    if (f.bands == nullptr) {
        return Ui_Failure_Describe(failure, kStatusNoMemory, kPhraseCreateHuegrid);
    }
    const int32_t threads = PrefsThreadCount(sink->call->gPrefs);
    const int32_t status = RowBandsBegin(f.bands, &setup, threads, WriteFilteredRow, sink, failure);
    if (status == kStatusOk) {
        LogF(sink->call, "%d threads, %d bands", int(threads), int(RowBandsCount(f.bands)));
    }
    return status;
}

// Whether the rows y .. y + rows - 1 of the current strip can go straight from the host's input
// to its output (host/direct_strip.h): the pipelines only apply the transform, the pixels are
// RGB alone on both sides, and no selection is to be blended. Fills *strip when they can.
bool TakeDirect(const FilterRecord* record, const FilterState& f, int32_t y, int32_t rows,
                DirectStrip* strip) {
    const HuegridLut* table = RowBandsTransformOnly(f.bands);
    if (table == nullptr || f.inColumnStep != 3 || f.outColumnStep != 3 || f.bytesIn != f.bytesOut)
        return false;
    if (record->haveMask == 1 && record->maskData != nullptr) return false;
    const int32_t Y = y + f.filterRect.top;
    if (Y < f.outRect.top || Y + rows > f.outRect.bottom) return false;
    strip->table = table;
    strip->in = f.channelPointer[0];
    strip->inRowBytes = record->inRowBytes;
    strip->out =
        static_cast<uint8_t*>(record->outData) + ptrdiff_t(Y - f.outRect.top) * record->outRowBytes;
    strip->outRowBytes = record->outRowBytes;
    strip->width = f.width;
    strip->rows = rows;
    strip->bytes = f.bytesIn;
    return true;
}

// Every row of the filter rectangle through the processors, a strip's rows at a time; finished
// rows reach the host through WriteFilteredRow, or straight from its input to its output when
// the transform is all there is to do.
int32_t StreamRows(const PluginCall* call, PluginData* data, Ui_Failure* failure) {
    const FilterRecord* record = Record(call);
    FilterState& f = data->run.filter;
    for (int32_t y = 0; y < f.height;) {
        // Fetches the strip that holds row y when it is not the current one; the rows from y to
        // the strip's bottom are then all in memory.
        int32_t status = GetHostRow(call, data, y, failure);
        if (status != kStatusOk) return status;
        const int32_t rows = Num_Min(f.inRect.bottom - (y + f.filterRect.top), f.height - y);
        int32_t failedRow = 0;
        DirectStrip direct;
        if (TakeDirect(record, f, y, rows, &direct)) {
            status = RunDirectStrip(f.bands, &direct, &failedRow);
        } else {
            status = RowBandsRun(f.bands, f.channelPointer[0], record->inRowBytes, f.inColumnStep,
                                 rows, &failedRow);
        }
        if (status != kStatusOk) {
            return Ui_Failure_Describe(failure, status, kPhraseProcessScanline, y + failedRow,
                                       data->run.imageName);
        }
        // The host hears of every row, as it did when rows ran one by one (GetHostRow told the
        // first).
        if (record->progressProc != nullptr) {
            for (int32_t r = 1; r < rows; ++r) record->progressProc(y + r, f.height);
        }
        y += rows;
    }
    return kStatusOk;
}

}  // namespace

int32_t FilterImage(const PluginCall* call, PluginData* data, Ui_Failure* failure) {
    LogF(call, "FilterImage...");
    Ui_Failure_Clear(failure);
    FilterState& f = data->run.filter;
    Mem_Fill(&f, 0, sizeof f);
    FilterSink sink{call, data};
    int32_t status = BeginHostImage(call, data, failure);
    if (status == kStatusOk && f.width > 0 && f.height > 0) {
        const int32_t rows = StripHeight(call, data);
        const int32_t overlap = Overlap(data->editState.editPars.sharpenNoise);
        if (rows == 0) {
            // Strips that bring a row or two each would fetch the image many times over.
            LogF(call, "Strips of %d rows do not fit maxSpace %ld", 2 * overlap + 1,
                 long(Record(call)->maxSpace));
            status = Ui_Failure_Describe(failure, kStatusNoMemory, kPhraseAdvanceState);
        } else if (rows != data->rowSkip) {
            LogF(call,
                 "rowSkip %d is too few for the overlap of %d rows; strips of %d rows instead",
                 int(data->rowSkip), int(overlap), int(rows));
        }
    }
    if (status == kStatusOk && f.width > 0 && f.height > 0) {
        status = BuildTransform(data, PrefsThreadCount(call->gPrefs), failure);
        if (status == kStatusOk) status = BeginPipeline(&sink, failure);
        if (status == kStatusOk) status = StreamRows(call, data, failure);
    }
    FreeFilterRun(&f);
    EndHostImage(call);
    if (status != kStatusOk) {
        MapRunResult(call, status);
        return status;
    }
    LogF(call, "... FilterImage done");
    return kStatusOk;
}
