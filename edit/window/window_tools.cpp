// The tools inside the editing window's tabs: their drawing and their drags.
//
// The tool items (colour-cast wedge and sliders, histogram and point handles, the brightness
// tab's sliders and curve, the hue ring and its sliders) are components that draw and hit-test
// from the EditState alone; this file registers their draw procs and routes the track phases of
// a press to them. Every drag works the same way: the press takes the undo snapshot once, each
// move changes the parameter through the component and redraws the tool, and the preview follows
// the parameter (the automatic settings of the tools right of the tab in Keenhue Mode, then the
// after transform built again) on every move with "Live Sliders" on, or once at the release with
// it off. A drag changes only the current tab's tool and the tools right of it, so the before
// transform never needs building again.
//
// The window's alerts cannot be shown while the pointer is captured: a failure during a drag is
// kept and told once, by the item hit that follows the release.
#include "edit/window/window_tools.h"

#include "edit/window/cast_sliders.h"
#include "edit/window/cast_wedge.h"
#include "edit/window/curve_view.h"
#include "edit/window/hue_ring.h"
#include "edit/window/slider.h"
#include "edit/window/tone_points.h"
#include "edit/window/tone_sliders.h"
#include "edit/window/value_entry.h"
#include "edit/window/window_record.h"
#include "edit/window/window_refresh.h"
#include "edit/window/window_auto_settings.h"
#include "edit/window/window_tool_items.h"
#include "edit/window/window_transforms.h"
#include "edit/window/window_env.h"
#include "engine/huegrid_build.h"
#include "engine/measure.h"
#include "platform/mem.h"
#include "platform/numeric.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "resources/ids/dlg_editor.h"
#include "resources/ids/strings.h"

namespace {

// The histogram of tab 1: the picture the preview shows, seen through the tools left of the
// points tool (those the points act on), counted on the state's sampling grid. Left invalid when
// there is no picture or the transform cannot be built; the plot is then empty.
void MeasureHistogram(EditingWindow* win) {
    win->histogramValid = 0;
    const WindowHostProcs* host = win->env->host;
    PreviewInfo info{};
    if (win->acquired == 0 || host == nullptr || host->previewInfo == nullptr ||
        host->previewInfo(host->context, &info) != kStatusOk || info.shown.width <= 0 ||
        info.shown.height <= 0) {
        return;
    }
    Huegrid* through = nullptr;
    if (HgBuild(&win->es->editPars, PreviewBeforeMask(1, 0), win->es->gridLevel,
                info.shown.bytesPerSample, &through) != kStatusOk) {
        return;
    }
    if (HgLumaHistogram(&info.shown, nullptr, win->es->gridLevel, through, win->histogram) ==
        kStatusOk) {
        win->histogramValid = 1;
    }
    HgFree(through);
}

int32_t DrawToolItem(UiWindow* w, int16_t item) {
    EditingWindow* win = EditorOf(w);
    if (win == nullptr) return kStatusError;
    EditState* es = win->es;
    float x = 0.5f;
    TonePoints points;
    TonePointsOf(&es->editPars, &points);
    const int32_t cast = CastSliderOf(item);
    if (cast >= 0) {
        CastSliderPosition(es, cast, &x);
        return IsCastSlider(item) ? CastSliderDraw(w, item, cast, x, 0)
                                  : CastValueBoxDraw(w, item, cast, x);
    }
    if (IsToneSlider(item) || IsToneValue(item)) {
        const int16_t slider = int16_t(IsToneSlider(item) ? item : item - 1);
        ToneSliderGet(&es->editPars, ToneSliderOf(slider), &x);
        return IsToneSlider(item) ? ParamSliderDraw(w, item, x, 0) : ToneValueBoxDraw(w, item, x);
    }
    switch (item) {
        case kEditorCastWedge:
            return CastWedgeDraw(w, item, es);
        case kEditorCastIcon:
            return CastIconDraw(w, item, es);
        case kEditorTemperatureLabel:
            return CastLabelDraw(w, item, kCastTemperature);
        case kEditorTintLabel:
            return CastLabelDraw(w, item, kCastTint);
        case kEditorHistogram:
            // Measured again whenever it is drawn outside a drag: tab 1 entered, a start button,
            // Undo, a new picture. A handle drag changes nothing the histogram is counted from.
            if (win->dragItem == 0) MeasureHistogram(win);
            return TonePointsHistogramDraw(w, item, win->histogramValid ? win->histogram : nullptr,
                                           &points);
        case kEditorPointHandles:
            return TonePointsHandlesDraw(
                w, item, &points,
                win->dragItem == kEditorPointHandles ? win->dragHandle : kTonePointNone);
        case kEditorPointValues:
            return TonePointsValuesDraw(w, item, &points);
        case kEditorCurveArrow:
            return CurveArrowDraw(w, item, win->curveOpen);
        case kEditorCurve:
            return CurveViewDraw(w, item, &es->editPars);
        case kEditorHueRing:
            return HueRingDraw(w, item, es);
        case kEditorHueBefore:
            return HueValueDraw(w, item, es, kHueBefore);
        case kEditorHueAfter:
            return HueValueDraw(w, item, es, kHueAfter);
        case kEditorHueBrightnessValue:
            return HueSliderValueDraw(w, item, es, kHueBrightness);
        case kEditorHueSaturationValue:
            return HueSliderValueDraw(w, item, es, kHueSaturation);
        case kEditorHueBrightnessSlider:
            return HueSliderDraw(w, item, es, kHueBrightness, 0);
        case kEditorHueSaturationSlider:
            return HueSliderDraw(w, item, es, kHueSaturation, 0);
        default:
            return kStatusOk;
    }
}

void Invalidate(UiWindow* w, const int16_t* items, int32_t count) {
    for (int32_t i = 0; i < count; ++i) Ui_Item_Invalidate(w, items[i]);
}

// Redraws what shows the parameter a drag of item changes.
void RedrawTool(EditingWindow* win, int16_t item) {
    UiWindow* w = win->dialog;
    if (IsCastSlider(item)) {
        // Temperature moves two positions; the three sliders are redrawn together as well.
        const int16_t cast[] = {kEditorTemperatureValue,   kEditorTemperatureSlider,
                                kEditorTintValue,          kEditorTintSlider,
                                kEditorCyanRedValue,       kEditorMagentaGreenValue,
                                kEditorYellowBlueValue,    kEditorCyanRedSlider,
                                kEditorMagentaGreenSlider, kEditorYellowBlueSlider};
        Invalidate(w, cast, int32_t(sizeof cast / sizeof cast[0]));
        return;
    }
    if (IsToneSlider(item)) {
        const int16_t tone[] = {item, int16_t(item + 1), kEditorCurve};
        Invalidate(w, tone, win->curveOpen != 0 ? 3 : 2);
        return;
    }
    if (item == kEditorPointHandles) {
        const int16_t tone[] = {kEditorHistogram, kEditorPointHandles, kEditorPointValues};
        Invalidate(w, tone, 3);
        return;
    }
    // The ring and everything that shows the active pair.
    const int16_t hue[] = {kEditorHueRing,
                           kEditorHueBefore,
                           kEditorHueAfter,
                           kEditorHueBrightnessValue,
                           kEditorHueBrightnessSlider,
                           kEditorHueSaturationValue,
                           kEditorHueSaturationSlider,
                           kEditorMemoryColorInfo};
    Invalidate(w, hue, int32_t(sizeof hue / sizeof hue[0]));
}

// The preview follows the live parameters: the automatic settings of the tools right of the
// tab in Keenhue Mode, the after transform built again, the preview and readouts redrawn. A
// failure is kept for the release (the first one of a drag).
void FollowTool(EditingWindow* win) {
    win->dragPending = 0;
    const int32_t tab = win->es->currentTab;
    Ui_Failure failure;
    Ui_Failure_Clear(&failure);
    int32_t status = EditorKeenhueModeFollows(win, tab, &failure);
    if (status == kStatusOk) {
        status =
            RebuildPreview(win, PreviewAfterMask(tab, win->combinedView), kPreviewAfter, &failure);
    }
    Ui_Item_Invalidate(win->dialog, kEditorReadouts);
    if (status != kStatusOk && win->dragFailure.status == kStatusOk) win->dragFailure = failure;
}

// The press or a move of the pointer at p: the parameter changed through the tool's component.
// *changed tells whether a value moved. The drag's failure is kept for its release.
int32_t MoveTool(EditingWindow* win, int16_t item, const Ui_Rect* r, Ui_Point p, uint8_t alt,
                 uint8_t* changed) {
    EditState* es = win->es;
    *changed = 0;
    float x = 0.5f;
    if (IsCastSlider(item)) {
        const int32_t slider = CastSliderOf(item);
        float now = 0.5f;
        CastSliderPosition(es, slider, &now);
        if (CastSliderPositionAt(r, p, &x) != kStatusOk || x == now) return kStatusOk;
        *changed = 1;
        return CastSliderMove(es, slider, x);
    }
    if (IsToneSlider(item)) {
        const int32_t slider = ToneSliderOf(item);
        float now = 0.5f;
        ToneSliderGet(&es->editPars, slider, &now);
        if (ParamSliderValueAt(r, p, &x) != kStatusOk || x == now) return kStatusOk;
        *changed = 1;
        return ToneSliderSet(&es->editPars, slider, x);
    }
    if (item == kEditorHueBrightnessSlider || item == kEditorHueSaturationSlider) {
        const int32_t which = item == kEditorHueBrightnessSlider ? kHueBrightness : kHueSaturation;
        float now = 0.5f;
        HueSliderGet(es, which, &now);
        if (ParamSliderValueAt(r, p, &x) != kStatusOk || x == now) return kStatusOk;
        *changed = 1;
        return HueSliderSet(es, which, x);
    }
    if (item == kEditorPointHandles) {
        TonePoints points;
        TonePointsOf(&es->editPars, &points);
        int32_t status = TonePointsDrag(r, p, win->dragHandle, &points, changed);
        if (status == kStatusOk && *changed != 0) status = TonePointsStore(&points, &es->editPars);
        const uint8_t clipping = TonePointsClipping(win->dragHandle, alt || win->clippingView);
        if (clipping != win->clipping) {
            win->clipping = clipping;
            EditorRedrawPreview(win);
        }
        return status;
    }
    HueRingHitResult hit{win->dragHandle, win->dragKind};
    return HueRingDrag(r, p, &hit, es, changed);
}

// A double-click on a slider puts it back to no change: the tone sliders to a fresh record's
// value, the colour-cast and hue sliders to their middle; the pointer then takes nothing until it
// is let go. Its first click has already moved the slider to the pointer and begun a step, so
// the reset completes that step rather than beginning one: Undo goes back to the value before
// the double-click, not to where the first click put the slider. false for an item that is no
// slider.
bool ResetSlider(EditingWindow* win, int16_t item) {
    EditState* es = win->es;
    const bool tone = IsToneSlider(item);
    const bool hue = item == kEditorHueBrightnessSlider || item == kEditorHueSaturationSlider;
    if (!tone && !hue && !IsCastSlider(item)) return false;
    win->dragHandle = -1;
    int32_t status = kStatusOk;
    if (tone) {
        MemBlock<EditPars> fresh(1);
        float x = 0.5f;
        if (fresh.get() != nullptr && SetParsDefaults(fresh.get()) == kStatusOk) {
            ToneSliderGet(fresh.get(), ToneSliderOf(item), &x);
        }
        status = ToneSliderSet(&es->editPars, ToneSliderOf(item), x);
    } else if (hue) {
        status = HueSliderSet(
            es, item == kEditorHueBrightnessSlider ? kHueBrightness : kHueSaturation, 0.5f);
    } else {
        status = CastSliderMove(es, CastSliderOf(item), 0.5f);
    }
    if (status != kStatusOk) Ui_Failure_Describe(&win->dragFailure, status, kPhraseEditColor);
    RedrawTool(win, item);
    FollowTool(win);
    EditorRedrawPreview(win);
    EditorNameUndoSteps(win);
    return true;
}

// The tool item whose drawing shows what a value box shows: the slider beside it, the point
// handles, or the ring for the hue boxes. 0 for an item that is no value box.
int16_t ToolOfValueBox(int16_t box) {
    if (IsToneValue(box)) return int16_t(box - 1);
    const int32_t cast = CastSliderOf(box);
    if (cast == kCastTemperature) return kEditorTemperatureSlider;
    if (cast == kCastTint) return kEditorTintSlider;
    if (cast >= 0) return int16_t(kEditorCyanRedSlider + cast);
    switch (box) {
        case kEditorPointValues:
            return kEditorPointHandles;
        case kEditorHueBefore:
        case kEditorHueAfter:
        case kEditorHueBrightnessValue:
        case kEditorHueSaturationValue:
            return kEditorHueRing;
        default:
            return 0;
    }
}

// A typed number as the tool takes it: the inverse of what the box shows (tone_sliders.h,
// cast_sliders.h, tone_points.h, hue_ring.h), within the same limits as a drag.
int32_t SetTypedValue(EditState* es, int16_t box, int32_t part, int32_t value) {
    const float offset = ValueScalePosition(kValueScaleOffset, value);
    if (IsToneValue(box)) return ToneSliderSet(&es->editPars, ToneSliderOf(box - 1), offset);
    const int32_t cast = CastSliderOf(box);
    if (cast >= 0) return CastSliderMove(es, cast, offset);
    switch (box) {
        case kEditorPointValues: {
            TonePoints points;
            TonePointsOf(&es->editPars, &points);
            double level = double(value) / 100.0;
            // The grey box shows the fraction g, not the level it puts the grey handle at.
            if (part == kTonePointGray) {
                level = double(points.black) + level * double(points.white - points.black);
            }
            int32_t status = TonePointsMoveTo(part, level, &points, nullptr);
            if (status == kStatusOk) status = TonePointsStore(&points, &es->editPars);
            return status;
        }
        case kEditorHueBefore:
        case kEditorHueAfter:
            return HueRingMoveTo(es, HueActiveHandle(es),
                                 box == kEditorHueBefore ? kHueBefore : kHueAfter, double(value),
                                 nullptr);
        case kEditorHueBrightnessValue:
        case kEditorHueSaturationValue:
            return HueSliderSet(es,
                                box == kEditorHueBrightnessValue ? kHueBrightness : kHueSaturation,
                                ValueScalePosition(kValueScaleHue, value));
        default:
            return kStatusProblem;
    }
}

// The press: which handle the ring or the point handles take (nothing may be taken), then the
// snapshot. A slider jumps to the pointer at once; a handle moves only when it is dragged, so
// that taking it a little off its centre does not shift it.
int32_t PressTool(EditingWindow* win, int16_t item, const Ui_Rect* r, Ui_Point p, uint8_t alt) {
    EditState* es = win->es;
    win->dragHandle = -1;
    win->dragKind = 0;
    if (item == kEditorPointHandles) {
        TonePoints points;
        TonePointsOf(&es->editPars, &points);
        int32_t point = kTonePointNone;
        if (TonePointsHit(r, p, &points, &point) != kStatusOk || point == kTonePointNone) {
            return kStatusOk;
        }
        win->dragHandle = point;
        win->clipping = TonePointsClipping(point, alt || win->clippingView);
        if (win->clipping != kPreviewClipNone) EditorRedrawPreview(win);
    } else if (item == kEditorHueRing) {
        HueRingHitResult hit{-1, kHueBefore};
        if (HueRingHit(r, p, es, &hit) != kStatusOk || hit.handle < 0) return kStatusOk;
        win->dragHandle = hit.handle;
        win->dragKind = int16_t(hit.kind);
        uint8_t changed = 0;
        HueRingActivate(es, hit.handle, &changed);
        if (changed != 0) EditorRefreshMemoryButtons(win);
    } else {
        win->dragHandle = 0;
    }
    EditorBeginChange(win);
    int32_t status = kStatusOk;
    if (item != kEditorPointHandles && item != kEditorHueRing) {
        uint8_t changed = 0;
        status = MoveTool(win, item, r, p, alt, &changed);
        if (changed != 0) win->dragPending = 1;
    }
    // Redrawn even when nothing moved: the handle taken is drawn as such.
    RedrawTool(win, item);
    return status;
}

}  // namespace

void EditorRegisterToolDraws(UiWindow* dialog) {
    // Tab stops at the sliders, which then take the arrow keys (EditorNudgeSlider).
    const Ui_Dlg* d = EditorDialogRecord(dialog);
    for (int16_t item = 1; d != nullptr && item <= d->itemCount; ++item) {
        if (IsDrawnTool(item)) Ui_Dlg_SetDrawProc(dialog, item, DrawToolItem);
        if (ValueBoxOfSlider(item) != 0) Ui_Item_SetTabStop(dialog, item, 1);
    }
}

int32_t EditorTrackTool(EditingWindow* win, int16_t item, int16_t phase) {
    UiWindow* w = win->dialog;
    const Ui_Dlg* d = EditorDialogRecord(w);
    Ui_Rect r;
    if (d == nullptr || Ui_Item_GetRect(w, item, &r) != kStatusOk) return 0;
    const Ui_Point p{d->mouseV, d->mouseH};
    if (phase == kUiTrackBegin) {
        win->dragItem = item;
        win->dragPending = 0;
        Ui_Failure_Clear(&win->dragFailure);
        if (d->clicks == 2 && ResetSlider(win, item)) return 1;
        const int32_t status = PressTool(win, item, &r, p, d->alt);
        if (status != kStatusOk) Ui_Failure_Describe(&win->dragFailure, status, kPhraseEditColor);
        if (win->dragPending != 0 && win->env->prefs->liveSliders != 0) FollowTool(win);
        return 1;
    }
    // A press that took no handle (or a track that lost its item) changes nothing.
    if (win->dragItem != item || win->dragHandle < 0) {
        if (phase == kUiTrackEnd) win->dragItem = 0;
        return 1;
    }
    uint8_t changed = 0;
    const int32_t status = MoveTool(win, item, &r, p, d->alt, &changed);
    if (status != kStatusOk && win->dragFailure.status == kStatusOk) {
        Ui_Failure_Describe(&win->dragFailure, status, kPhraseEditColor);
    }
    if (changed != 0) {
        win->dragPending = 1;
        RedrawTool(win, item);
    }
    // The clipping view needs the transform of the point being dragged, so it follows the drag
    // even without "Live Sliders".
    const bool live = win->env->prefs->liveSliders != 0 || win->clipping != kPreviewClipNone;
    if (phase == kUiTrackDrag) {
        if (win->dragPending != 0 && live) FollowTool(win);
        return 1;
    }
    if (win->dragPending != 0) FollowTool(win);
    win->dragItem = 0;
    win->clipping = kPreviewClipNone;
    EditorNameUndoSteps(win);
    RedrawTool(win, item);
    // Drawn once more off the quick path the drag used (and without the clipping view).
    EditorRedrawPreview(win);
    // A failure is told by the item hit that follows, once the pointer is let go.
    return win->dragFailure.status != kStatusOk ? 0 : 1;
}

int32_t EditorToolValueAt(EditingWindow* win, int16_t box, Ui_Point p, EditorToolValue* value) {
    if (win == nullptr || value == nullptr || ToolOfValueBox(box) == 0) return kStatusError;
    UiWindow* w = win->dialog;
    EditState* es = win->es;
    if (Ui_Item_GetRect(w, box, &value->rect) != kStatusOk) return kStatusError;
    value->part = 0;
    value->lo = kValueScaleOffset.lo;
    value->hi = kValueScaleOffset.hi;
    float x = 0.5f;
    const int32_t cast = CastSliderOf(box);
    if (IsToneValue(box)) {
        ToneSliderGet(&es->editPars, ToneSliderOf(box - 1), &x);
        ParamOffsetText(x, value->text, sizeof value->text);
    } else if (cast >= 0) {
        CastSliderPosition(es, cast, &x);
        CastValueText(cast, x, value->text, sizeof value->text);
    } else if (box == kEditorPointValues) {
        // The box under the pointer, of the three the item shows.
        TonePoints points;
        TonePointsOf(&es->editPars, &points);
        const Ui_Rect item = value->rect;
        value->part = kTonePointNone;
        for (int32_t i = kTonePointBlack; i <= kTonePointWhite; ++i) {
            Ui_Rect r;
            if (TonePointsValueBox(w, &item, i, &r) == kStatusOk && r.left <= p.h &&
                p.h <= r.right && r.top <= p.v && p.v <= r.bottom) {
                value->part = i;
                value->rect = r;
            }
        }
        if (value->part == kTonePointNone) return kStatusError;
        TonePointsValueText(&points, value->part, value->text, sizeof value->text);
        value->lo = 0;
    } else if (box == kEditorHueBefore || box == kEditorHueAfter) {
        // The box is the right part of the item, after "Before"/"After" and the chip.
        HueValueText(es, box == kEditorHueBefore ? kHueBefore : kHueAfter, value->text,
                     sizeof value->text);
        HueValueBoxRect(w, &value->rect, &value->rect);
        value->lo = 0;
        value->hi = 359;
    } else {
        HueSliderGet(es, box == kEditorHueBrightnessValue ? kHueBrightness : kHueSaturation, &x);
        HueSliderText(x, value->text, sizeof value->text);
        value->lo = kValueScaleHue.lo;
        value->hi = kValueScaleHue.hi;
    }
    return kStatusOk;
}

int32_t EditorSetToolValue(EditingWindow* win, int16_t box, int32_t part, int32_t value,
                           Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    const int16_t tool = ToolOfValueBox(box);
    if (win == nullptr || tool == 0) return kStatusProblem;
    EditorBeginChange(win);
    Ui_Failure_Clear(&win->dragFailure);
    const int32_t status = SetTypedValue(win->es, box, part, value);
    if (status != kStatusOk) Ui_Failure_Describe(&win->dragFailure, status, kPhraseEditColor);
    RedrawTool(win, tool);
    FollowTool(win);
    EditorRedrawPreview(win);
    EditorNameUndoSteps(win);
    *failure = win->dragFailure;
    Ui_Failure_Clear(&win->dragFailure);
    return failure->status;
}

bool EditorNudgeSlider(EditingWindow* win, int16_t item, int32_t step, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    const int16_t box = ValueBoxOfSlider(item);
    if (win == nullptr || box == 0) return false;
    // From the number the box shows, as a typed number would be: one history step, the same
    // limits.
    EditorToolValue value;
    int32_t now = 0;
    if (EditorToolValueAt(win, box, Ui_Point{0, 0}, &value) != kStatusOk ||
        ValueEntryParse(value.text, value.lo, value.hi, &now) != kStatusOk) {
        return true;
    }
    const int32_t next = Num_Clamp(now + step, value.lo, value.hi);
    if (next != now) EditorSetToolValue(win, box, value.part, next, failure);
    return true;
}

bool EditorToolClick(EditingWindow* win, int16_t item, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    if (EditorIsDraggedTool(item)) {
        *failure = win->dragFailure;
        Ui_Failure_Clear(&win->dragFailure);
        return true;
    }
    if (item != kEditorCurveArrow) return false;
    win->curveOpen = win->curveOpen != 0 ? 0 : 1;
    Ui_Item_Show(win->dialog, kEditorCurve, win->curveOpen);
    Ui_Item_Invalidate(win->dialog, kEditorCurveArrow);
    return true;
}
