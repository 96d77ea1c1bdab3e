// Clicks in the editing window's preview, and the eyedropper and pixel readouts beside it.
//
// A plain click marks what the current tab's tool needs from the image: neutral colours for the
// colour cast (tab 0 with the neutrals method), a black, grey or white point (tab 1), the colour
// of the active hue handle (tab 3). Each such click takes the undo snapshot first, then changes
// the live parameters, re-runs the automatic settings of the tools to the right in Keenhue Mode
// and rebuilds both transforms. Neutral and hue clicks take the region of similar connected
// pixels around the clicked one; with "Show Sampled Region" that region shows in blue until the
// pointer moves away from the click.
//
// The engine samples the picture the host shows (its own pixels, reduced or at 1:1), so a
// click on the zoomed picture marks the image at full size. Sample points and the pointer are
// kept in image coordinates: a point stays on its pixel across a zoom, and while it lies outside
// the 1:1 window its readout column stays empty.
//
// Modifiers: Shift sets a sample point (at most two) or, pressed on one, drags it; Shift+Alt on
// one takes it away; Alt zooms to 1:1 around the pixel or back (window_zoom.cpp). A drag with
// Control, or a plain drag where the tab's tool takes no click (the brightness tab, the colour
// tab with sliders), moves a zoomed picture. Space+drag, the other editors' pan, is not taken:
// Space presses the button that has the focus, as the desktops have it.
#include "edit/window/window_preview_clicks.h"

#include <cstdlib>

#include "edit/keenhue.h"
#include "edit/window/preview_zoom.h"
#include "edit/window/readouts.h"
#include "edit/window/tone_points.h"
#include "edit/window/tool_paint.h"
#include "edit/window/window_record.h"
#include "edit/window/window_refresh.h"
#include "edit/window/window_auto_settings.h"
#include "edit/window/window_transforms.h"
#include "edit/window/window_zoom.h"
#include "edit/window/window_env.h"
#include "engine/huegrid_build.h"
#include "engine/sampling.h"
#include "platform/mem.h"
#include "platform/numeric.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"
#include "platform/ui_state.h"
#include "resources/ids/dlg_editor.h"
#include "resources/ids/strings.h"

namespace {

enum : int32_t {
    kPressNone = 0,  // the press did its work already, or there is nothing to do
    kPressMovePoint = 1,
    kPressPan = 2,
};

// A press within this many pixels of a sample point's mark takes the point.
constexpr int32_t kPointReach = 6;
// The sampled region stays blue until the pointer is this far from the click.
constexpr int32_t kSampledReach = 3;

// Automatic settings after a change on a tab: the tools right of it.
// The tools that come before the black, grey and white points: the brightness a tab 1 click
// compares is the pixel's as those points receive it.
constexpr HgEditMask kBeforePoints = 3;

// The picture pixel under client point (v, h) (a magnified pixel is a square of the drawn
// picture); false outside the picture.
bool PixelAt(EditingWindow* win, int32_t v, int32_t h, PreviewInfo* info, int32_t* px,
             int32_t* py) {
    Ui_Rect area;
    return EditorPictureArea(win, info, &area) == kStatusOk &&
           EditorPicturePixel(info, &area, v, h, px, py);
}

// The picture pixel nearest to (v, h), held inside the picture (a dragged point stays on it).
bool PixelNear(EditingWindow* win, int32_t v, int32_t h, PreviewInfo* info, int32_t* px,
               int32_t* py) {
    Ui_Rect area;
    if (EditorPictureArea(win, info, &area) != kStatusOk) return false;
    EditorPicturePixel(info, &area, v, h, px, py);
    return true;
}

// The picture's selection as the engine's one-bit mask; no bits without a selection.
struct SelectionMask {
    IPMask mask{};
    ~SelectionMask() { Mem_Free(mask.bits); }
    const IPMask* Get() const { return mask.bits != nullptr ? &mask : nullptr; }
};

int32_t MakeSelection(const PreviewInfo& info, SelectionMask* out) {
    const IPImage& sel = info.selection;
    if (sel.channel[0] == nullptr || sel.width != info.width || sel.height != info.height) {
        return kStatusOk;
    }
    IPMask& m = out->mask;
    m.width = info.width;
    m.height = info.height;
    m.rowBytes = (info.width + 7) / 8;
    m.bits = static_cast<uint8_t*>(Mem_Alloc(uint32_t(m.rowBytes) * uint32_t(m.height)));
    if (m.bits == nullptr) return kStatusNoMemory;
    IPMaskClear(&m);
    const bool wide = sel.bytesPerSample == 2;
    for (int32_t y = 0; y < m.height; ++y) {
        for (int32_t x = 0; x < m.width; ++x) {
            const ptrdiff_t at = IPSampleOffset(&sel, x, y);
            // Half selected or more counts, as in the analysis image's mask.
            const uint32_t v = wide ? static_cast<const uint16_t*>(sel.channel[0])[at] >> 8
                                    : static_cast<const uint8_t*>(sel.channel[0])[at];
            if (v > 127) IPMaskSet(&m, x, y);
        }
    }
    return kStatusOk;
}

// The region record for a click, over the window's own bits (kept for showing it).
int32_t PrepareRegion(EditingWindow* win, const PreviewInfo& info, IPRegion* region) {
    IPMask& kept = win->clicks.sampled;
    const int32_t rowBytes = (info.width + 7) / 8;
    if (kept.bits == nullptr || kept.width != info.width || kept.height != info.height) {
        kept.bits = static_cast<uint8_t*>(Mem_Free(kept.bits));
        kept.bits = static_cast<uint8_t*>(Mem_Alloc(uint32_t(rowBytes) * uint32_t(info.height)));
        if (kept.bits == nullptr) return kStatusNoMemory;
        kept.width = info.width;
        kept.height = info.height;
        kept.rowBytes = rowBytes;
    }
    IPMaskClear(&kept);
    *region = IPRegion{kept.width, kept.height, kept.rowBytes, kept.bits, 0, 0, 0, 0};
    return kStatusOk;
}

// What a neutral or hue click samples with: the selection and the region record.
int32_t PrepareSampling(EditingWindow* win, const PreviewInfo& info, SelectionMask* selection,
                        IPRegion* region) {
    const int32_t status = MakeSelection(info, selection);
    return status == kStatusOk ? PrepareRegion(win, info, region) : status;
}

void KeepRegion(EditingWindow* win, const IPRegion& region, int32_t v, int32_t h) {
    IPMask& kept = win->clicks.sampled;
    kept.left = region.minX;
    kept.right = region.maxX;
    kept.top = region.minY;
    kept.bottom = region.maxY;
    win->clicks.showSampled = win->env->prefs->showSampledRegion == 1 && region.maxX >= 0 ? 1 : 0;
    win->clicks.sampledV = int16_t(v);
    win->clicks.sampledH = int16_t(h);
}

// After a change of the live parameters: the automatic settings of the tools to the right in
// Keenhue Mode, then both transforms.
int32_t Settle(EditingWindow* win, Ui_Failure* failure) {
    const int32_t tab = win->es->currentTab;
    int32_t status = EditorKeenhueModeFollows(win, tab, failure);
    Ui_Failure rebuilt;
    const int32_t rebuild = EditorRebuildTransforms(win, &rebuilt);
    if (status == kStatusOk && rebuild != kStatusOk) {
        *failure = rebuilt;
        status = rebuild;
    }
    return status;
}

int32_t MarkNeutral(EditingWindow* win, const PreviewInfo& info, int32_t px, int32_t py, int32_t v,
                    int32_t h, Ui_Failure* failure) {
    SelectionMask selection;
    IPRegion region;
    int32_t status = PrepareSampling(win, info, &selection, &region);
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseEditColor);
    // Outside the selection nothing is marked, and nothing is to be undone.
    if (selection.Get() != nullptr && !IPMaskBit(selection.Get(), px, py)) return kStatusOk;
    // The samples go into a copy: a click that fails leaves the record and the undo snapshot.
    EditState* es = win->es;
    EditPars trial = es->editPars;
    status =
        HgAddNeutralSample(&trial, &info.shown, selection.Get(), es->gridLevel, px, py, &region);
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseEditColor);
    EditorBeginChange(win);
    es->editPars = trial;
    es->balanceConfidence = -1.0f;  // the balance is now the user's
    KeepRegion(win, region, v, h);
    return Settle(win, failure);
}

int32_t SetTonePoint(EditingWindow* win, const PreviewInfo& info, int32_t px, int32_t py,
                     Ui_Failure* failure) {
    EditState* es = win->es;
    // The pixel as the points see it: through the tools before them.
    Huegrid* before = nullptr;
    int32_t status =
        HgBuild(&es->editPars, kBeforePoints, es->gridLevel, info.shown.bytesPerSample, &before);
    float rgb[3] = {0, 0, 0};
    if (status == kStatusOk) status = HgPixelThrough(&info.shown, before, px, py, rgb, nullptr);
    if (before != nullptr) HgFree(before);
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseEditColor);
    TonePoints points;
    TonePointsOf(&es->editPars, &points);
    int32_t point = kTonePointNone;
    float value = 0.0f;
    status = TonePointForClick(&points, TonePixelBrightness(rgb), &point, &value);
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseEditColor);
    if (point == kTonePointNone) return kStatusOk;
    EditorBeginChange(win);
    if (point == kTonePointBlack) points.black = value;
    if (point == kTonePointGray) points.gray = value;
    if (point == kTonePointWhite) points.white = value;
    TonePointsStore(&points, &es->editPars);
    Ui_Item_Invalidate(win->dialog, kEditorHistogram);
    Ui_Item_Invalidate(win->dialog, kEditorPointHandles);
    Ui_Item_Invalidate(win->dialog, kEditorPointValues);
    return Settle(win, failure);
}

int32_t MarkHue(EditingWindow* win, const PreviewInfo& info, int32_t px, int32_t py, int32_t v,
                int32_t h, Ui_Failure* failure) {
    SelectionMask selection;
    IPRegion region;
    int32_t status = PrepareSampling(win, info, &selection, &region);
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseEditColor);
    // Outside the selection there is nothing to mark (the engine would call it too neutral).
    if (selection.Get() != nullptr && !IPMaskBit(selection.Get(), px, py)) return kStatusOk;
    EditState* es = win->es;
    EditPars trial = es->editPars;
    int32_t handle = es->activeHandle;
    status = HgAddHueSample(&trial, &info.shown, selection.Get(), &handle, es->gridLevel, px, py,
                            &region);
    // The only refusal left is a colour without a hue; the record and the snapshot stay as
    // they were.
    if (status == kStatusProblem) {
        return Ui_Failure_DescribeText(failure, status, kStrTooNeutralForHue, kUiFailCaution);
    }
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseEditColor);
    EditorBeginChange(win);
    es->editPars = trial;
    es->activeHandle = handle;
    es->activeColorId = es->editPars.hue[handle].colorId;
    es->activeHandleHasSamples = 1;
    EditorRefreshMemoryButtons(win);
    KeepRegion(win, region, v, h);
    Ui_Item_Invalidate(win->dialog, kEditorHueRing);
    return Settle(win, failure);
}

// The sample point whose mark is under client point (v, h), or -1.
int32_t PointUnder(EditingWindow* win, int32_t v, int32_t h) {
    PreviewInfo info;
    Ui_Rect area;
    if (EditorPictureArea(win, &info, &area) != kStatusOk) return -1;
    for (int32_t i = 0; i < 2; ++i) {
        const PreviewMark& m = win->es->samplePoints[i];
        int32_t px = 0, py = 0;
        if (m.valid == 0 || EditorImageToPicture(&info, m.x, m.y, &px, &py) != kStatusOk) continue;
        const int32_t magnify = Num_Max(info.magnify, 1);
        if (std::abs(area.left + px * magnify + magnify / 2 - h) <= kPointReach &&
            std::abs(area.top + py * magnify + magnify / 2 - v) <= kPointReach) {
            return i;
        }
    }
    return -1;
}

void PlaceMark(PreviewMark* mark, const PreviewInfo& info, int32_t px, int32_t py) {
    mark->valid = 1;
    EditorPictureToImage(&info, px, py, &mark->x, &mark->y);
}

// Whether the current tab's tool takes nothing from a plain click in the preview.
bool ToolTakesNoClick(const EditingWindow* win) {
    const int32_t tab = win->es->currentTab;
    return tab == 2 || (tab == 0 && win->es->balanceMethod != kBalanceNeutrals);
}

void BeginPan(PreviewClicks* c, const Ui_Dlg* d) {
    c->press = kPressPan;
    c->lastV = d->mouseV;
    c->lastH = d->mouseH;
}

int32_t Begin(EditingWindow* win, Ui_Dlg* d, Ui_Failure* failure) {
    PreviewClicks& c = win->clicks;
    c.press = kPressNone;
    if (c.showSampled != 0) {
        c.showSampled = 0;
        EditorRedrawPreview(win);
    }
    PreviewInfo info;
    int32_t px = 0, py = 0;
    if (!PixelAt(win, d->mouseV, d->mouseH, &info, &px, &py)) return 0;
    if (d->ctrl != 0) {
        if (info.zoomed != 0) BeginPan(&c, d);
        return 1;
    }
    if (d->alt != 0) {
        // Shift+Alt on a sample point takes it away; anywhere else Alt zooms.
        const int32_t point = d->shift != 0 ? PointUnder(win, d->mouseV, d->mouseH) : -1;
        if (point >= 0) {
            EditorRemoveSamplePoint(win, point);
        } else {
            EditorZoomTo(win, info.zoomed != 0 ? kPreviewZoomFit : 100, d->mouseV, d->mouseH,
                         failure);
        }
        return 1;
    }
    if (d->shift != 0) {
        int32_t point = PointUnder(win, d->mouseV, d->mouseH);
        if (point < 0) {
            EditSamplePoint* points = win->es->samplePoints;
            point = points[0].valid == 0 ? 0 : points[1].valid == 0 ? 1 : -1;
            if (point < 0) {
                Ui_Failure_DescribeText(failure, kStatusProblem, kStrOnlyTwoSamples,
                                        kUiFailCaution);
                return 1;
            }
            // Placing the point and moving it, until the button comes up, are one step.
            EditorBeginChange(win);
            PlaceMark(&points[point], info, px, py);
            EditorRedrawPreview(win);
        } else {
            EditorBeginChange(win);
        }
        c.press = kPressMovePoint;
        c.movingPoint = point;
        return 1;
    }
    if (ToolTakesNoClick(win)) {
        if (info.zoomed != 0) BeginPan(&c, d);
        return 1;
    }
    switch (win->es->currentTab) {
        case 0:
            if (win->es->balanceMethod == kBalanceNeutrals) {
                MarkNeutral(win, info, px, py, d->mouseV, d->mouseH, failure);
            }
            break;
        case 1:
            SetTonePoint(win, info, px, py, failure);
            break;
        case 3:
            MarkHue(win, info, px, py, d->mouseV, d->mouseH, failure);
            break;
        default:
            break;
    }
    return 1;
}

// The other point keeps its number: a figure does not move to another column under the
// person's eyes.
void TakePointAway(EditingWindow* win, int32_t point) {
    win->es->samplePoints[point] = PreviewMark{};
    EditorRedrawPreview(win);
}

void Drag(EditingWindow* win, Ui_Dlg* d, Ui_Failure* failure) {
    PreviewClicks& c = win->clicks;
    if (c.press == kPressMovePoint) {
        PreviewInfo info;
        int32_t px = 0, py = 0;
        if (!PixelNear(win, d->mouseV, d->mouseH, &info, &px, &py)) return;
        PreviewMark moved{};
        PlaceMark(&moved, info, px, py);
        PreviewMark& m = win->es->samplePoints[c.movingPoint];
        if (moved.x == m.x && moved.y == m.y) return;
        m = moved;
        EditorRedrawPreview(win);
    } else if (c.press == kPressPan) {
        const WindowHostProcs* host = win->env->host;
        PreviewInfo info;
        Ui_Rect area;
        if (host->panZoom == nullptr || EditorPictureArea(win, &info, &area) != kStatusOk) return;
        // The picture follows the pointer: the window moves the other way, by whole picture
        // pixels (a magnified one is several drawn pixels; the rest waits for the next move).
        const int32_t magnify = Num_Max(info.magnify, 1), rate = Num_Max(info.rate, 1);
        const int32_t stepsH = (c.lastH - d->mouseH) / magnify;
        const int32_t stepsV = (c.lastV - d->mouseV) / magnify;
        if (stepsH == 0 && stepsV == 0) return;
        c.lastH = int16_t(c.lastH - stepsH * magnify);
        c.lastV = int16_t(c.lastV - stepsV * magnify);
        host->panZoom(host->context, stepsH * rate, stepsV * rate, failure);
        EditorRedrawPreview(win);
    }
}

}  // namespace

int32_t EditorPreviewPointer(UiWindow* w) {
    EditingWindow* win = EditorOf(w);
    Ui_Dlg* d = nullptr;
    if (win == nullptr || Ui_Dlg_Get(w, &d) != kStatusOk) return 0;
    PreviewClicks& c = win->clicks;
    if (c.showSampled != 0 && (std::abs(d->mouseV - c.sampledV) > kSampledReach ||
                               std::abs(d->mouseH - c.sampledH) > kSampledReach)) {
        c.showSampled = 0;
        Ui_Item_Invalidate(w, kEditorPreviewImage);
    }
    PreviewInfo info;
    int32_t px = 0, py = 0;
    PreviewMark now{};
    if (PixelAt(win, d->mouseV, d->mouseH, &info, &px, &py)) PlaceMark(&now, info, px, py);
    if (now.valid != c.pointer.valid || now.x != c.pointer.x || now.y != c.pointer.y) {
        c.pointer = now;
        Ui_Item_Invalidate(w, kEditorReadouts);
    }
    return 0;
}

namespace {

int32_t DrawEyedropper(UiWindow* w, int16_t item) {
    const EditingWindow* win = EditorOf(w);
    if (win == nullptr) return kStatusError;
    return EyedropperDraw(w, item, win->sampleSize);
}

// One readout column: the eyedropper's average around the mark's pixel, before and after.
void Measure(EditingWindow* win, const PreviewInfo& info, const PreviewMark& mark,
             ReadoutColumn* column) {
    column->valid = 0;
    int32_t px = 0, py = 0;
    if (mark.valid == 0 || EditorImageToPicture(&info, mark.x, mark.y, &px, &py) != kStatusOk) {
        return;
    }
    if (ReadoutAverage(&info.shown, win->transform[kPreviewBefore], px, py, win->sampleSize,
                       column->before) == kStatusOk &&
        ReadoutAverage(&info.shown, win->transform[kPreviewAfter], px, py, win->sampleSize,
                       column->after) == kStatusOk) {
        column->valid = 1;
    }
}

int32_t DrawReadouts(UiWindow* w, int16_t item) {
    EditingWindow* win = EditorOf(w);
    if (win == nullptr) return kStatusError;
    ReadoutColumn columns[kReadoutColumns] = {};
    PreviewInfo info;
    Ui_Rect area;
    if (EditorPictureArea(win, &info, &area) == kStatusOk) {
        Measure(win, info, win->clicks.pointer, &columns[0]);
        Measure(win, info, win->es->samplePoints[0], &columns[1]);
        Measure(win, info, win->es->samplePoints[1], &columns[2]);
    }
    return ReadoutsDraw(w, item, win->readoutMode, columns);
}

}  // namespace

void EditorRegisterPreviewClicks(EditingWindow* win) {
    UiWindow* w = win->dialog;
    Ui_Dlg_SetDrawProc(w, kEditorEyedropper, DrawEyedropper);
    Ui_Dlg_SetDrawProc(w, kEditorReadouts, DrawReadouts);
    win->clicks.movingPoint = -1;
}

int32_t EditorTrackPreview(EditingWindow* win, int16_t phase) {
    if (win == nullptr) return 0;
    Ui_Dlg* d = EditorDialogRecord(win->dialog);
    if (d == nullptr) return 0;
    Ui_Failure failure;
    Ui_Failure_Clear(&failure);
    int32_t result = 1;
    if (phase == kUiTrackBegin) {
        result = Begin(win, d, &failure);
    } else if (phase == kUiTrackDrag) {
        Drag(win, d, &failure);
    } else {
        // A sample point let go outside the preview is taken away, as a marker dragged off a
        // ruler is.
        PreviewClicks& c = win->clicks;
        Ui_Rect r;
        if (c.press == kPressMovePoint) {
            if (Ui_Item_GetRect(win->dialog, kEditorPreviewImage, &r) == kStatusOk &&
                !Ui_Rect_ContainsPoint(&r, d->mouseV, d->mouseH)) {
                TakePointAway(win, c.movingPoint);
            }
            // The step the press began ends here.
            EditorNameUndoSteps(win);
        }
        c.press = kPressNone;
    }
    EditorTell(win, &failure);
    return result;
}

void EditorRemoveSamplePoint(EditingWindow* win, int32_t point) {
    if (!(0 <= point && point <= 1) || win->es->samplePoints[point].valid == 0) return;
    EditorBeginChange(win);
    TakePointAway(win, point);
    EditorNameUndoSteps(win);
}
