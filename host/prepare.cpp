// The prepare phase: the memory the module will need for the run, the preview size that fits
// 75 % of the host's memory figure, and the number of image rows fetched per strip.
#include "host/phases.h"
#include "host/plugin_data.h"
#include "host/rects.h"
#include "platform/ui/dlg.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg_template.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"
#include "resources/ids/dlg_editor.h"

namespace {

constexpr uint32_t kVtLibStackNeeds = 0x30000;
constexpr uint32_t kStripLimit = 0x200000;  // 2 MiB of row memory per strip
constexpr uint32_t kFitLimit = 0x7FFFFFFF;

struct PreviewRects {
    Ui_Rect min;
    Ui_Rect max;
    bool measured;
    const PluginCall* call;  // for the debug log and the preferences
};

Ui_Rect Inset(const Ui_Rect& r) {
    return Ui_Rect{int16_t(r.top + 1), int16_t(r.left + 1), int16_t(r.bottom - 1),
                   int16_t(r.right - 1)};
}

// The size the window takes with "Use Largest Possible Window": the work area's, but never less
// than the window's own in either direction. A work area smaller than the laid-out window would
// otherwise give a "largest" preview below the smallest one, and the budget loop, which only
// shrinks towards the smallest, could not work from it.
void LargestSize(int32_t width, int32_t height, const Ui_Rect& work, int32_t* largestWidth,
                 int32_t* largestHeight) {
    const int32_t workWidth = Ui_Rect_Width(&work), workHeight = Ui_Rect_Height(&work);
    *largestWidth = workWidth > width ? workWidth : width;
    *largestHeight = workHeight > height ? workHeight : height;
}

// Resizes the open dialog to the work area (at its top-left corner) with the preview taking up
// the change, and reads the preview area again.
int32_t MeasureLargest(UiWindow* dialog, Ui_Rect* max) {
    Ui_Rect work, outer, area;
    int32_t status = Ui_Screen_WorkArea(&work);
    if (status == kStatusOk) status = Ui_Dlg_Bounds_Get(dialog, &outer);
    if (status != kStatusOk) return status;
    int32_t width = 0, height = 0;
    LargestSize(Ui_Rect_Width(&outer), Ui_Rect_Height(&outer), work, &width, &height);
    if (!(work.left + width <= 32767 && work.top + height <= 32767)) return kStatusProblem;
    const Ui_Rect target = Ui_Rect_Make(work.top, work.left, work.top + height, work.left + width);
    status = Ui_Dlg_Relayout(dialog, &target, kEditorPreviewImage);
    if (status == kStatusOk) status = Ui_Item_GetRect(dialog, kEditorPreviewImage, &area);
    if (status == kStatusOk) *max = Inset(area);
    return status;
}

int32_t GetMinMaxPrevInitProc(UiWindow* dialog) {
    PreviewRects* rects = Ui_Dlg_UserData<PreviewRects>(dialog);
    const PluginCall* call = rects != nullptr ? rects->call : nullptr;
    LogF(call, "GetMinMaxPrevInitProc...");
    Ui_Rect area;
    if (rects != nullptr && Ui_Item_GetRect(dialog, kEditorPreviewImage, &area) == kStatusOk) {
        rects->min = rects->max = Inset(area);
        rects->measured = true;
        if (call->gPrefs->useLargestWindow == 1) {
            // Without a work area, or when the window cannot take it, the preview keeps its
            // smallest size: the run goes on with a window that fits anywhere.
            const int32_t status = MeasureLargest(dialog, &rects->max);
            if (status != kStatusOk)
                LogF(call, "GetMinMaxPrevInitProc: largest window: %d", int(status));
        }
    }
    LogF(call, "... GetMinMaxPrevInitProc");
    return kStatusCancelled;  // closes the dialog before it is ever shown
}

// Without a display the dialog cannot be made; its template laid out with the headless dialog
// font gives the same preview areas, the largest one for the work area the headless binding
// reports.
int32_t MeasureFromTemplate(const PluginCall* call, PreviewRects* rects) {
    Ui_DlgTemplate* t = nullptr;
    int32_t status = Ui_Template_Load(call->gState, kDlgEditor, &t);
    if (status != kStatusOk) return status;
    // The metrics every binding lays dialogs out with, for the template's own font size.
    Ui_BaseUnits base;
    int32_t average = 0, height = 0;
    status = Ui_Font_Nominal(t->fontPoints, kUiFontDialog, &average, &height);
    if (status == kStatusOk) status = Ui_BaseUnitsFromFont(52 * average, height, &base);
    if (status == kStatusOk) status = Ui_Template_Layout(t, &base);
    const Ui_DlgItem* item =
        status == kStatusOk ? Ui_Template_Item(t, kEditorPreviewImage) : nullptr;
    if (item != nullptr) {
        rects->min = rects->max = Inset(item->pixels);
        rects->measured = true;
        Ui_Rect work;
        if (call->gPrefs->useLargestWindow == 1 && Ui_Screen_WorkArea(&work) == kStatusOk) {
            int32_t largestWidth = 0, largestHeight = 0;
            const Ui_Rect& client = t->client;
            LargestSize(Ui_Rect_Width(&client), Ui_Rect_Height(&client), work, &largestWidth,
                        &largestHeight);
            if (Ui_Template_LayoutSized(t, &base, largestWidth, largestHeight,
                                        kEditorPreviewImage) == kStatusOk) {
                rects->max = Inset(item->pixels);
            }
        }
    } else if (status == kStatusOk) {
        status = kStatusError;
    }
    Ui_Template_Free(&t);
    return status;
}

int32_t GetMinMaxPrev(const PluginCall* call, Ui_Rect* min, Ui_Rect* max) {
    PreviewRects rects{{0, -1, 0, -1}, {0, -1, 0, -1}, false, call};
    int16_t item = 0;
    int32_t status =
        Ui_Dlg_Run(call->gState, kDlgEditor, nullptr, GetMinMaxPrevInitProc, &rects, &item);
    if (!rects.measured && status == kStatusUnsupported) MeasureFromTemplate(call, &rects);
    *min = rects.min;
    *max = rects.max;
    LogF(call, "GetMinMaxPrev -> min: %d,%d %d,%d  max: %d,%d %d,%d", min->left, min->top,
         min->right, min->bottom, max->left, max->top, max->right, max->bottom);
    return rects.measured ? kStatusOk : kStatusError;
}

uint32_t CeilDiv(uint32_t a, uint32_t b) {
    return (a + b - 1) / b;
}

// The window bounds the editing window may take: the work area, less what the budget took off
// the preview. The reduction is counted from the rectangle the budget started from (the largest
// one whenever it is usable), so it is never negative; and the preview only shrinks from the size
// that window gave it, so the bounds stay inside the work area and never become empty. Without a
// work area the bounds are left as they are.
void StoreWindowBounds(const PluginCall* call, const Ui_Rect& start, const Ui_Rect& prev) {
    Ui_Rect work;
    if (Ui_Screen_WorkArea(&work) != kStatusOk) {
        LogF(call, "DoPrepare: no work area; window bounds not stored");
        return;
    }
    const int32_t lessW = Ui_Rect_Width(&start) - Ui_Rect_Width(&prev);
    const int32_t lessH = Ui_Rect_Height(&start) - Ui_Rect_Height(&prev);
    int16_t* bounds = call->gData->run.windowBounds;
    bounds[0] = work.top;
    bounds[1] = work.left;
    bounds[2] = int16_t(work.bottom - lessH);
    bounds[3] = int16_t(work.right - lessW);
    LogF(call, "DoPrepare: window bounds %d,%d %d,%d", bounds[1], bounds[0], bounds[3], bounds[2]);
}

// The figures of the memory budget, in bytes: what the run needs besides the image rows
// (bufferSpace), what a row and the preview images need, and what was chosen from them.
struct Budget {
    uint32_t avail75;  // three quarters of the host's maxSpace
    uint32_t hgNeeds, miscNeeds;
    uint32_t width, height, planes, bytes;  // of the filter rectangle and its samples
    uint32_t inOutRowNeeds;                 // one row of input, output and mask
    uint32_t inOutPrevNeeds, mask2dNeeds, zoomNeeds;
    uint32_t bufferSpace;
    uint8_t reduced;  // the preview is a reduced copy
    uint32_t stripHeight;
    uint32_t maxInOutNeeds, mostWeNeed;
};

void LogBudget(const PluginCall* call, const Budget& b, int32_t depth) {
    LogF(call, "image: %d x %d, depth = %d", int(b.width), int(b.height), int(depth));
    LogF(call,
         "hgNeeds = %ld, vtLibStackNeeds = %ld, mask2dNeeds = %ld, miscNeeds = %ld, "
         "zoomNeeds = %ld -> ulBufferSpace = %ld",
         long(b.hgNeeds), long(kVtLibStackNeeds), long(b.mask2dNeeds), long(b.miscNeeds),
         long(b.zoomNeeds), long(b.bufferSpace));
    LogF(call, "inOutRowNeeds = %ld, inOutPrevNeeds = %ld", long(b.inOutRowNeeds),
         long(b.inOutPrevNeeds));
}

uint32_t Mask2dNeeds(int32_t prevW, int32_t prevH) {
    return ((uint32_t(prevW) + 7) >> 3) * uint32_t(prevH) * 2;
}
uint32_t ZoomNeeds(int32_t prevW, int32_t prevH) {
    return uint32_t(prevH) * uint32_t(prevW) * 4;
}
uint32_t HgNeeds(bool deep) {
    return deep ? 2752512 : 393216;
}
uint32_t MiscNeeds(bool deep) {
    return deep ? 1929424 : 1794592;
}

// Shrinks the preview from start, one pixel a side at a time and never below min, until the run
// fits 75 % of the host's memory. false when even the smallest preview does not fit.
bool FitPreview(const PluginCall* call, Budget& b, const VRect& filter, const Ui_Rect& min,
                Ui_Rect* prev) {
    const int32_t minW = Ui_Rect_Width(&min), minH = Ui_Rect_Height(&min);
    for (;;) {
        int32_t prevW = Ui_Rect_Width(prev), prevH = Ui_Rect_Height(prev);
        if (prevW < 1) prevW = 1;
        if (prevH < 1) prevH = 1;
        uint32_t f = CeilDiv(b.width, uint32_t(prevW));
        uint32_t fh = CeilDiv(b.height, uint32_t(prevH));
        if (fh > f) f = fh;
        int32_t d = 1;
        b.reduced = 0;
        if (f != 1) {
            d = int32_t(f >> 1);
            b.reduced = 1;
        }
        if (d < 1) d = 1;
        const uint32_t w = uint32_t(filter.right / d - filter.left / d);
        const uint32_t h = uint32_t(filter.bottom / d - filter.top / d);
        b.inOutPrevNeeds = b.planes * h * w * 2 * b.bytes + h * w;
        b.mask2dNeeds = Mask2dNeeds(prevW, prevH);
        b.zoomNeeds = ZoomNeeds(prevW, prevH);
        b.bufferSpace = b.zoomNeeds + b.mask2dNeeds + b.miscNeeds + b.hgNeeds + kVtLibStackNeeds;
        const uint32_t inOut =
            b.inOutRowNeeds > b.inOutPrevNeeds ? b.inOutRowNeeds : b.inOutPrevNeeds;
        if (b.bufferSpace < kFitLimit && uint64_t(inOut) + b.bufferSpace <= b.avail75) return true;
        if (!(prevW > minW) && !(prevH > minH)) {
            LogF(call, "not enough memory: need %ld, have %ld", long(inOut + b.bufferSpace),
                 long(b.avail75));
            return false;
        }
        if (prevW > minW) --prev->right;
        if (prevH > minH) --prev->bottom;
    }
}

// The rows fetched per strip: as many as the memory left over holds, below 2 MiB a strip, no
// more than the image has, and a 16-bit count.
void ChooseStripHeight(Budget& b) {
    uint32_t rows = 1;
    const uint64_t room = b.avail75 > b.bufferSpace ? b.avail75 - b.bufferSpace : 0;
    while (uint64_t(rows + 1) * b.inOutRowNeeds < room &&
           uint64_t(rows + 1) * b.inOutRowNeeds < kStripLimit && rows < b.height && rows < 32767) {
        ++rows;
    }
    b.stripHeight = rows;
    const uint64_t rowsNeeds = uint64_t(rows) * b.inOutRowNeeds;
    b.maxInOutNeeds = uint32_t(rowsNeeds > b.inOutPrevNeeds ? rowsNeeds : b.inOutPrevNeeds);
    b.mostWeNeed = b.maxInOutNeeds + b.bufferSpace;
}

// The new maxSpace for the host: half of what it offered when that is more than the run needs,
// else the larger of 75 % and the need. false when the need is more than the host has.
bool ChooseMaxSpace(const PluginCall* call, FilterRecord* record, const Budget& b) {
    const uint32_t maxSpace = uint32_t(record->maxSpace);
    if ((maxSpace >> 1) > b.mostWeNeed) {
        record->maxSpace = int32(maxSpace >> 1);
        return true;
    }
    const uint32_t m = b.avail75 > b.mostWeNeed ? b.avail75 : b.mostWeNeed;
    if (m > kFitLimit || m > maxSpace) {
        LogF(call, "Not enough memory?: need %ld, have %ld", long(b.mostWeNeed), long(maxSpace));
        return false;
    }
    record->maxSpace = int32(m);
    return true;
}

}  // namespace

uint32_t PrepareBufferSpace(int32_t previewWidth, int32_t previewHeight, int32_t depth) {
    const bool deep = depth > 8;
    return ZoomNeeds(previewWidth, previewHeight) + Mask2dNeeds(previewWidth, previewHeight) +
           MiscNeeds(deep) + HgNeeds(deep) + kVtLibStackNeeds;
}

void DoPrepare(PluginCall* call) {
    LogF(call, "DoPrepare...");
    if (!OpenPhaseBlocks(call, true)) return;
    FilterRecord* record = Record(call);
    const VRect filter = GetFilterRect(record);
    const bool deep = record->depth > 8;
    Budget b{};
    b.avail75 = (uint32_t(record->maxSpace) >> 2) * 3;
    LogF(call, "available memory = %d, (75 percent = %ld)", int(record->maxSpace), long(b.avail75));
    b.hgNeeds = HgNeeds(deep);
    b.miscNeeds = MiscNeeds(deep);
    b.width = uint32_t(filter.right - filter.left);
    b.height = uint32_t(filter.bottom - filter.top);
    b.planes = uint32_t(record->planes);
    b.bytes = deep ? 2 : 1;
    b.inOutRowNeeds = b.width + 2 * b.planes * b.width * b.bytes;

    Ui_Rect minRect, maxRect;
    if (GetMinMaxPrev(call, &minRect, &maxRect) != kStatusOk) {
        // No preview size could be measured: a modest fixed preview keeps the budget sound.
        LogF(call, "GetMinMaxPrev failed; using a 640 x 480 preview");
        minRect = maxRect = Ui_Rect{0, 0, 480, 640};
    }
    const Ui_Rect start = Ui_Rect_Width(&maxRect) > 0 ? maxRect : minRect;
    Ui_Rect prev = start;
    if (!FitPreview(call, b, filter, minRect, &prev)) {
        LogBudget(call, b, record->depth);
        SetResult(call, memFullErr);
        return;
    }
    record->bufferSpace = int32(b.bufferSpace);
    call->gData->run.previewReduced = b.reduced;
    ChooseStripHeight(b);
    call->gData->rowSkip = int16_t(b.stripHeight);
    LogBudget(call, b, record->depth);
    LogF(call, "rowSkip = %d, maxInOutNeeds = %ld, mostWeNeed = %ld", int(b.stripHeight),
         long(b.maxInOutNeeds), long(b.mostWeNeed));
    if (!ChooseMaxSpace(call, record, b)) {
        SetResult(call, memFullErr);
        return;
    }
    call->gData->run.previewWidth = Ui_Rect_Width(&prev);
    call->gData->run.previewHeight = Ui_Rect_Height(&prev);
    StoreWindowBounds(call, start, prev);
    LogF(call, "Tell Photoshop: maxSpace = %ld, bufferSpace = %ld", long(record->maxSpace),
         long(record->bufferSpace));
    LogF(call, "...DoPrepare");
}
