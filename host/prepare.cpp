// The prepare phase: the memory the module will need for the run, the preview size that fits
// 75 % of the host's memory figure, and the number of image rows fetched per strip.
#include "host/plugin.h"
#include "host/rects.h"
#include "platform/ui/dlg.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg_template.h"
#include "platform/ui/rect.h"
#include "resources/ids/dlg1000.h"

namespace {

constexpr uint32_t kVtLibStackNeeds = 0x30000;
constexpr uint32_t kStripLimit = 0x200000;  // 2 MiB of row memory per strip
constexpr uint32_t kFitLimit = 0x7FFFFFFF;

struct PreviewRects {
    Ui_Rect min;
    Ui_Rect max;
    bool measured;
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
    LogF("GetMinMaxPrevInitProc...");
    Ui_Dlg* dlg = nullptr;
    Ui_Rect area;
    if (Ui_Dlg_Get(dialog, &dlg) == kStatusOk &&
        Ui_Item_GetRect(dialog, kEditorPreviewImage, &area) == kStatusOk) {
        auto* rects = static_cast<PreviewRects*>(dlg->userData);
        rects->min = rects->max = Inset(area);
        rects->measured = true;
        if (gPrefs->useLargestWindow == 1) {
            // Without a work area, or when the window cannot take it, the preview keeps its
            // smallest size: the run goes on with a window that fits anywhere.
            const int32_t status = MeasureLargest(dialog, &rects->max);
            if (status != kStatusOk) LogF("GetMinMaxPrevInitProc: largest window: %d", int(status));
        }
    }
    LogF("... GetMinMaxPrevInitProc");
    return kStatusCancelled;  // closes the dialog before it is ever shown
}

// Without a display the dialog cannot be made; its template laid out with the headless dialog
// font gives the same preview areas, the largest one for the work area the headless binding
// reports.
int32_t MeasureFromTemplate(PreviewRects* rects) {
    Ui_DlgTemplate* t = nullptr;
    int32_t status = Ui_Template_Load(gState, kDlgEditor, &t);
    if (status != kStatusOk) return status;
    Ui_BaseUnits base;
    status = Ui_BaseUnitsFromFont(52 * 6, 13, &base);
    if (status == kStatusOk) status = Ui_Template_Layout(t, &base);
    const Ui_DlgItem* item =
        status == kStatusOk ? Ui_Template_Item(t, kEditorPreviewImage) : nullptr;
    if (item != nullptr) {
        rects->min = rects->max = Inset(item->pixels);
        rects->measured = true;
        Ui_Rect work;
        if (gPrefs->useLargestWindow == 1 && Ui_Screen_WorkArea(&work) == kStatusOk) {
            int32_t width = 0, height = 0;
            const Ui_Rect& client = t->client;
            LargestSize(Ui_Rect_Width(&client), Ui_Rect_Height(&client), work, &width, &height);
            if (Ui_Template_LayoutSized(t, &base, width, height, kEditorPreviewImage) ==
                kStatusOk) {
                rects->max = Inset(item->pixels);
            }
        }
    } else if (status == kStatusOk) {
        status = kStatusError;
    }
    Ui_Template_Free(&t);
    return status;
}

int32_t GetMinMaxPrev(Ui_Rect* min, Ui_Rect* max) {
    PreviewRects rects{{0, -1, 0, -1}, {0, -1, 0, -1}, false};
    int16_t item = 0;
    int32_t status = Ui_Dlg_Run(gState, kDlgEditor, nullptr, GetMinMaxPrevInitProc, &rects, &item);
    if (!rects.measured && status == kStatusUnsupported) MeasureFromTemplate(&rects);
    *min = rects.min;
    *max = rects.max;
    LogF("GetMinMaxPrev -> min: %d,%d %d,%d  max: %d,%d %d,%d", min->left, min->top, min->right,
         min->bottom, max->left, max->top, max->right, max->bottom);
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
void StoreWindowBounds(const Ui_Rect& start, const Ui_Rect& prev) {
    Ui_Rect work;
    if (Ui_Screen_WorkArea(&work) != kStatusOk) {
        LogF("DoPrepare: no work area; window bounds not stored");
        return;
    }
    const int32_t lessW = Ui_Rect_Width(&start) - Ui_Rect_Width(&prev);
    const int32_t lessH = Ui_Rect_Height(&start) - Ui_Rect_Height(&prev);
    int16_t* bounds = gData->run.windowBounds;
    bounds[0] = work.top;
    bounds[1] = work.left;
    bounds[2] = int16_t(work.bottom - lessH);
    bounds[3] = int16_t(work.right - lessW);
    LogF("DoPrepare: window bounds %d,%d %d,%d", bounds[1], bounds[0], bounds[3], bounds[2]);
}

}  // namespace

void DoPrepare() {
    LogF("DoPrepare...");
    if (!OpenPhaseBlocks(true)) return;
    FilterRecord* record = Record();
    const uint32_t avail75 = (uint32_t(record->maxSpace) >> 2) * 3;
    LogF("available memory = %d, (75 percent = %ld)", int(record->maxSpace), long(avail75));
    const bool deep = record->depth > 8;
    const uint32_t hgNeeds = deep ? 2752512 : 393216;
    const uint32_t miscNeeds = deep ? 1929424 : 1794592;
    VRect filter = GetFilterRect(record);
    const uint32_t W = uint32_t(filter.right - filter.left);
    const uint32_t H = uint32_t(filter.bottom - filter.top);
    const uint32_t P = uint32_t(record->planes);
    const uint32_t B = deep ? 2 : 1;
    const uint32_t inOutRowNeeds = W + 2 * P * W * B;

    Ui_Rect minRect, maxRect;
    if (GetMinMaxPrev(&minRect, &maxRect) != kStatusOk) {
        // No preview size could be measured: a modest fixed preview keeps the budget sound.
        LogF("GetMinMaxPrev failed; using a 640 x 480 preview");
        minRect = maxRect = Ui_Rect{0, 0, 480, 640};
    }
    const Ui_Rect start = (maxRect.right - maxRect.left) > 0 ? maxRect : minRect;
    Ui_Rect prev = start;
    const int32_t minW = minRect.right - minRect.left, minH = minRect.bottom - minRect.top;
    uint32_t ulBufferSpace = 0, inOutPrevNeeds = 0, zoomNeeds = 0, mask2dNeeds = 0;
    uint8_t reduced = 0;
    for (;;) {
        int32_t prevW = prev.right - prev.left, prevH = prev.bottom - prev.top;
        if (prevW < 1) prevW = 1;
        if (prevH < 1) prevH = 1;
        uint32_t f = CeilDiv(W, uint32_t(prevW));
        uint32_t fh = CeilDiv(H, uint32_t(prevH));
        if (fh > f) f = fh;
        int32_t d = 1;
        reduced = 0;
        if (f != 1) {
            d = int32_t(f >> 1);
            reduced = 1;
        }
        if (d < 1) d = 1;
        const uint32_t w = uint32_t(filter.right / d - filter.left / d);
        const uint32_t h = uint32_t(filter.bottom / d - filter.top / d);
        inOutPrevNeeds = P * h * w * 2 * B + h * w;
        mask2dNeeds = ((uint32_t(prevW) + 7) >> 3) * uint32_t(prevH) * 2;
        zoomNeeds = uint32_t(prevH) * uint32_t(prevW) * 4;
        ulBufferSpace = zoomNeeds + mask2dNeeds + miscNeeds + hgNeeds + kVtLibStackNeeds;
        const uint32_t inOut = inOutRowNeeds > inOutPrevNeeds ? inOutRowNeeds : inOutPrevNeeds;
        if (ulBufferSpace < kFitLimit && uint64_t(inOut) + ulBufferSpace <= avail75) break;
        if (!(prevW > minW) && !(prevH > minH)) {
            LogF("not enough memory: need %ld, have %ld", long(inOut + ulBufferSpace),
                 long(avail75));
            LogF("image: %ld x %ld, depth = %d", long(W), long(H), int(record->depth));
            LogF(
                "hgNeeds = %ld, vtLibStackNeeds = %ld, mask2dNeeds = %ld, miscNeeds = %ld, "
                "zoomNeeds = %ld -> ulBufferSpace = %ld",
                long(hgNeeds), long(kVtLibStackNeeds), long(mask2dNeeds), long(miscNeeds),
                long(zoomNeeds), long(ulBufferSpace));
            LogF("inOutRowNeeds = %ld, inOutPrevNeeds = %ld", long(inOutRowNeeds),
                 long(inOutPrevNeeds));
            SetResult(memFullErr);
            return;
        }
        if (prevW > minW) --prev.right;
        if (prevH > minH) --prev.bottom;
    }
    record->bufferSpace = int32(ulBufferSpace);
    gData->run.previewReduced = reduced;

    // rowSkip is a 16-bit count.
    uint32_t rowSkip = 1;
    const uint64_t room = avail75 > ulBufferSpace ? avail75 - ulBufferSpace : 0;
    while (uint64_t(rowSkip + 1) * inOutRowNeeds < room &&
           uint64_t(rowSkip + 1) * inOutRowNeeds < kStripLimit && rowSkip < H && rowSkip < 32767) {
        ++rowSkip;
    }
    gData->rowSkip = int16_t(rowSkip);
    uint64_t rowsNeeds = uint64_t(rowSkip) * inOutRowNeeds;
    const uint32_t maxInOutNeeds =
        uint32_t(rowsNeeds > inOutPrevNeeds ? rowsNeeds : inOutPrevNeeds);
    const uint32_t mostWeNeed = maxInOutNeeds + ulBufferSpace;
    LogF("image: %d x %d, depth = %d", int(W), int(H), int(record->depth));
    LogF(
        "hgNeeds = %ld, vtLibStackNeeds = %ld, mask2dNeeds = %ld, miscNeeds = %ld, "
        "zoomNeeds = %ld -> ulBufferSpace = %ld",
        long(hgNeeds), long(kVtLibStackNeeds), long(mask2dNeeds), long(miscNeeds), long(zoomNeeds),
        long(ulBufferSpace));
    LogF("inOutRowNeeds = %ld, inOutPrevNeeds = %ld", long(inOutRowNeeds), long(inOutPrevNeeds));
    LogF("rowSkip = %d, maxInOutNeeds = %ld, mostWeNeed = %ld", int(rowSkip), long(maxInOutNeeds),
         long(mostWeNeed));

    const uint32_t maxSpace = uint32_t(record->maxSpace);
    if ((maxSpace >> 1) > mostWeNeed) {
        record->maxSpace = int32(maxSpace >> 1);
    } else {
        const uint32_t m = avail75 > mostWeNeed ? avail75 : mostWeNeed;
        if (m > kFitLimit || m > maxSpace) {
            LogF("Not enough memory?: need %ld, have %ld", long(mostWeNeed), long(maxSpace));
            SetResult(memFullErr);
            return;
        }
        record->maxSpace = int32(m);
    }
    gData->run.previewWidth = prev.right - prev.left;
    gData->run.previewHeight = prev.bottom - prev.top;
    StoreWindowBounds(start, prev);
    LogF("Tell Photoshop: maxSpace = %ld, bufferSpace = %ld", long(record->maxSpace),
         long(record->bufferSpace));
    LogF("...DoPrepare");
}
