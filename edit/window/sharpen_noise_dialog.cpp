// The sharpen and noise dialog; see sharpen_noise_dialog.h.
#include "edit/window/sharpen_noise_dialog.h"

#include "edit/window/dialog_tips.h"
#include "edit/window/help_window.h"
#include "edit/window/slider.h"
#include "edit/window/value_entry.h"
#include "engine/huegrid_build.h"
#include "platform/debug_log.h"
#include "platform/format.h"
#include "platform/numeric.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"
#include "platform/ui_state.h"
#include "resources/ids/dlg_sharpen_noise.h"
#include "resources/ids/strings.h"

namespace {

// One slider row: its items, the field it edits and its range.
struct Row {
    int16_t slider, value;
    const SharpenNoiseRange* range;
    int32_t* (*field)(SharpenNoise* s);
};
const Row kRows[] = {
    {kSharpenNoiseStrengthSlider, kSharpenNoiseStrengthValue, &kSharpenStrengthRange,
     [](SharpenNoise* s) { return &s->sharpenStrength; }},
    {kSharpenNoiseBlueRadiusSlider, kSharpenNoiseBlueRadiusValue, &kNoiseRadiusRange[1],
     [](SharpenNoise* s) { return &s->noiseRadius[1]; }},
    {kSharpenNoiseBlueThresholdSlider, kSharpenNoiseBlueThresholdValue, &kNoiseThresholdRange[1],
     [](SharpenNoise* s) { return &s->noiseThreshold[1]; }},
    {kSharpenNoiseRedRadiusSlider, kSharpenNoiseRedRadiusValue, &kNoiseRadiusRange[2],
     [](SharpenNoise* s) { return &s->noiseRadius[2]; }},
    {kSharpenNoiseRedThresholdSlider, kSharpenNoiseRedThresholdValue, &kNoiseThresholdRange[2],
     [](SharpenNoise* s) { return &s->noiseThreshold[2]; }},
};

struct SharpenWindow {
    const DialogEnv* env;
    EditState* state;
    SharpenNoise saved;  // what "Cancel" puts back

    // The views. Without the host's preview (a host that offers none, or no preview taken) they
    // stay empty and the zoom buttons disabled.
    const WindowHostProcs* host;  // null: no views
    Huegrid* shown;               // the live parameters' whole transform
    uint8_t detailOpen, navigatorUp, rendered, renderedBusy;
    int32_t imageWidth, imageHeight;  // the filtered area at full size
    int32_t navWidth, navHeight;
    int32_t zoom;
    int32_t centreX, centreY;  // image point at the detail's centre
    PreviewDetailInfo detail;
    // A pan in progress: where the mouse and the centre were when it began.
    int16_t pressV, pressH;
    int32_t pressX, pressY;
    // Why the dialog could not open (its views' memory), shown when Ui_Dlg_Run is back.
    int32_t openStatus;
    Ui_Failure openFailure;
    ValueEntry entry;  // a number being typed into a value box
};

SharpenWindow* Of(UiWindow* w) {
    return Ui_Dlg_UserData<SharpenWindow>(w);
}

const Row* RowOf(int16_t item) {
    for (const Row& row : kRows) {
        if (row.slider == item || row.value == item) return &row;
    }
    return nullptr;
}

int32_t DrawRow(UiWindow* w, int16_t item) {
    SharpenWindow* sw = Of(w);
    const Row* row = RowOf(item);
    Ui_Rect r;
    if (sw == nullptr || row == nullptr || Ui_Item_GetRect(w, row->slider, &r) != kStatusOk) {
        return kStatusError;
    }
    const int32_t value =
        Num_Clamp(*row->field(&sw->state->editPars.sharpenNoise), row->range->lo, row->range->hi);
    if (item == row->value) {
        char text[16];
        ValueText(value, kValueTwoDigit, text, sizeof text);
        return ValueBoxDraw(w, item, text);
    }
    const SliderFill fill = SliderFillPlain();
    return SliderDraw(w, item, SliderRangeX(&r, value, row->range->lo, row->range->hi), 0, &fill,
                      0);
}

// A paint that failed, in the debug log.
void LogPaint(const SharpenWindow* sw, const char* view, int32_t status) {
    char line[80];
    Str_FormatN(line, sizeof line, "sharpen/noise %s view not drawn (%d)", view, int(status));
    Ui_Debug_Log(sw->env->state != nullptr ? sw->env->state->diagnostics : 0, line);
}

bool HasPreview(const WindowHostProcs* h) {
    return h != nullptr && h->previewInfo != nullptr && h->openDetail != nullptr &&
           h->fetchDetail != nullptr && h->renderDetail != nullptr && h->drawDetail != nullptr &&
           h->closeDetail != nullptr && h->setUpNavigator != nullptr &&
           h->drawNavigator != nullptr && h->freeNavigator != nullptr;
}

// An item's area inside its one-pixel frame.
Ui_Rect Inside(UiWindow* w, int16_t item) {
    Ui_Rect r{0, 0, 0, 0};
    if (Ui_Item_GetRect(w, item, &r) != kStatusOk) return r;
    return Ui_Rect_Make(r.top + 1, r.left + 1, r.bottom - 1, r.right - 1);
}

// A width x height area centred in r.
Ui_Rect Centred(const Ui_Rect& r, int32_t width, int32_t height) {
    const int32_t top = r.top + (Ui_Rect_Height(&r) - height) / 2;
    const int32_t left = r.left + (Ui_Rect_Width(&r) - width) / 2;
    return Ui_Rect_Make(top, left, top + height, left + width);
}

// The views' background, where the picture does not cover them.
int32_t FillView(UiWindow* w, int16_t item) {
    Ui_Rect r;
    if (Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    int32_t status = Ui_Draw_Begin(w);
    if (status != kStatusOk) return status;
    const Ui_Color fill = Ui_ColorFromRGB(96, 96, 96), frame = Ui_ColorFromRGB(128, 128, 128);
    Ui_Draw_FillRect(w, &r, &fill);
    Ui_Draw_FrameRect(w, &r, &frame);
    return Ui_Draw_End(w);
}

// Where the navigator lies in its view.
Ui_Rect NavigatorArea(UiWindow* w, const SharpenWindow* sw) {
    return Centred(Inside(w, kSharpenNoiseNavigationView), sw->navWidth, sw->navHeight);
}

// The detail view: the rendered part, magnified, centred in the item. Paints run often; a
// failing paint leaves the view empty and is logged, never shown as an alert.
int32_t DrawDetailView(UiWindow* w, int16_t item) {
    SharpenWindow* sw = Of(w);
    int32_t status = FillView(w, item);
    if (sw == nullptr || sw->host == nullptr || !sw->rendered || status != kStatusOk) return status;
    const Ui_Rect area = Centred(Inside(w, item), sw->detail.width, sw->detail.height);
    Ui_Failure failure;
    status = sw->host->drawDetail(sw->host->context, w, &area, &failure);
    if (status != kStatusOk) LogPaint(sw, "detail", status);
    return status;
}

// The navigation view: the whole picture with the detail area outlined.
int32_t DrawNavigationView(UiWindow* w, int16_t item) {
    SharpenWindow* sw = Of(w);
    int32_t status = FillView(w, item);
    if (sw == nullptr || sw->host == nullptr || !sw->navigatorUp || status != kStatusOk)
        return status;
    const Ui_Rect area = NavigatorArea(w, sw);
    Ui_Failure failure;
    status = sw->host->drawNavigator(sw->host->context, w, &area, &failure);
    if (status != kStatusOk) {
        LogPaint(sw, "navigation", status);
        return status;
    }
    if (!sw->rendered || sw->imageWidth < 1 || sw->imageHeight < 1) return kStatusOk;
    // The outline at least two pixels across, so that a small detail area stays visible.
    const PreviewDetailInfo& d = sw->detail;
    const int64_t nw = sw->navWidth, nh = sw->navHeight;
    int32_t left = area.left + int32_t(d.left * nw / sw->imageWidth);
    int32_t top = area.top + int32_t(d.top * nh / sw->imageHeight);
    int32_t right = area.left + int32_t((d.right * nw + sw->imageWidth - 1) / sw->imageWidth);
    int32_t bottom = area.top + int32_t((d.bottom * nh + sw->imageHeight - 1) / sw->imageHeight);
    if (right - left < 2) right = left + 2;
    if (bottom - top < 2) bottom = top + 2;
    const Ui_Rect outline = Ui_Rect_Make(top, left, bottom, right);
    status = Ui_Draw_Begin(w);
    if (status != kStatusOk) return status;
    const Ui_Color red = Ui_ColorFromRGB(255, 0, 0);
    Ui_Draw_FrameRect(w, &outline, &red);
    return Ui_Draw_End(w);
}

void ShowZoom(UiWindow* w, const SharpenWindow* sw) {
    char text[16];
    Str_FormatN(text, sizeof text, "%2d%c", int(sw->zoom * 100), '%');
    Ui_Item_SetText(w, kSharpenNoiseZoomText, text);
    const bool views = sw->detailOpen != 0;
    Ui_Item_Enable(w, kSharpenNoiseZoomOut, views && sw->zoom > kSharpenZoomMin);
    Ui_Item_Enable(w, kSharpenNoiseZoomIn, views && sw->zoom < kSharpenZoomMax);
}

// The detail part through the transform again (the settings changed, or a pan ended). busy:
// the quick look while the mouse is down.
int32_t Render(SharpenWindow* sw, bool busy, Ui_Failure* failure) {
    const PreviewLook look{sw->shown, 1, 0, uint8_t(busy ? 1 : 0), 0, nullptr};
    sw->rendered = 0;
    const int32_t status = sw->host->renderDetail(sw->host->context, &look, failure);
    if (status != kStatusOk) return status;
    sw->rendered = 1;
    sw->renderedBusy = busy ? 1 : 0;
    return kStatusOk;
}

// The detail area at the centre and zoom: asked of the host when it is not at hand, rendered
// when new pixels came or the settings changed (again).
int32_t Fetch(SharpenWindow* sw, bool busy, bool again, Ui_Failure* failure) {
    PreviewDetailInfo info;
    int32_t status = sw->host->fetchDetail(sw->host->context, sw->centreX, sw->centreY, sw->zoom,
                                           &info, failure);
    if (status != kStatusOk) {
        sw->rendered = 0;
        return status;
    }
    sw->detail = info;
    if (again || info.fetched || !sw->rendered || (sw->renderedBusy && !busy))
        return Render(sw, busy, failure);
    return kStatusOk;
}

void RedrawViews(UiWindow* w) {
    DrawDetailView(w, kSharpenNoiseDetailView);
    DrawNavigationView(w, kSharpenNoiseNavigationView);
}

// After a change of the detail (its place, its zoom or the settings): shown once when it
// failed, then the views drawn again.
void Changed(UiWindow* w, SharpenWindow* sw, int32_t status, const Ui_Failure& failure) {
    if (status != kStatusOk) Ui_Failure_Show(sw->env->state, &failure);
    RedrawViews(w);
}

void Rerender(UiWindow* w, SharpenWindow* sw) {
    if (sw->host == nullptr || !sw->detailOpen) return;
    Ui_Failure failure;
    Ui_Failure_Clear(&failure);
    Changed(w, sw, Fetch(sw, false, true, &failure), failure);
}

// Pans the detail view (drag inside it) or moves it to where the navigator was clicked.
int32_t TrackView(UiWindow* w, SharpenWindow* sw, Ui_Dlg* d, int16_t item, int16_t phase) {
    if (sw->host == nullptr || !sw->detailOpen) return phase == kUiTrackEnd ? 1 : 0;
    if (phase == kUiTrackBegin) {
        sw->pressV = d->mouseV;
        sw->pressH = d->mouseH;
        sw->pressX = sw->centreX;
        sw->pressY = sw->centreY;
    }
    if (item == kSharpenNoiseDetailView) {
        // The image follows the mouse: the centre moves the other way, in image pixels.
        sw->centreX = sw->pressX - (d->mouseH - sw->pressH) / sw->zoom;
        sw->centreY = sw->pressY - (d->mouseV - sw->pressV) / sw->zoom;
    } else {
        const Ui_Rect area = NavigatorArea(w, sw);
        if (sw->navWidth < 1 || sw->navHeight < 1) return 1;
        sw->centreX = int32_t(int64_t(d->mouseH - area.left) * sw->imageWidth / sw->navWidth);
        sw->centreY = int32_t(int64_t(d->mouseV - area.top) * sw->imageHeight / sw->navHeight);
    }
    sw->centreX = Num_Clamp(sw->centreX, 0, sw->imageWidth - 1);
    sw->centreY = Num_Clamp(sw->centreY, 0, sw->imageHeight - 1);
    Ui_Failure failure;
    Ui_Failure_Clear(&failure);
    const int32_t status = Fetch(sw, phase != kUiTrackEnd, false, &failure);
    // A failure is told once, when the mouse comes up, not at every move.
    if (phase == kUiTrackEnd || status == kStatusOk) {
        Changed(w, sw, phase == kUiTrackEnd ? status : kStatusOk, failure);
    }
    return 1;
}

// Takes what the views need: the transform, the detail's memory ("allocated %d x %d" in the
// debug log) and the navigator. A failure here keeps the dialog from opening.
int32_t OpenViews(UiWindow* w, SharpenWindow* sw) {
    const WindowHostProcs* h = sw->env->host;
    PreviewInfo info;
    if (!HasPreview(h) || h->previewInfo(h->context, &info) != kStatusOk) return kStatusOk;
    EditState* es = sw->state;
    Ui_Failure* failure = &sw->openFailure;
    const int32_t depth = es->bitsPerChannel == 16 ? 2 : 1;
    int32_t status = HgBuild(&es->editPars, kEditMaskAll, es->gridLevel, depth, &sw->shown);
    if (status != kStatusOk) {
        sw->shown = nullptr;
        return Ui_Failure_Describe(failure, status, kPhraseCreateHuegrid);
    }
    sw->host = h;
    sw->imageWidth = info.imageWidth;
    sw->imageHeight = info.imageHeight;
    const Ui_Rect detail = Inside(w, kSharpenNoiseDetailView);
    status = h->openDetail(h->context, Ui_Rect_Width(&detail), Ui_Rect_Height(&detail), failure);
    if (status != kStatusOk) return status;
    sw->detailOpen = 1;
    const Ui_Rect nav = Inside(w, kSharpenNoiseNavigationView);
    status = h->setUpNavigator(h->context, Ui_Rect_Width(&nav), Ui_Rect_Height(&nav), sw->shown,
                               &sw->navWidth, &sw->navHeight, failure);
    if (status != kStatusOk) return status;
    sw->navigatorUp = 1;
    return kStatusOk;
}

void CloseViews(SharpenWindow* sw) {
    const WindowHostProcs* h = sw->host;
    if (h != nullptr && sw->navigatorUp) h->freeNavigator(h->context);
    if (h != nullptr && sw->detailOpen) h->closeDetail(h->context);
    HgFree(sw->shown);
    sw->shown = nullptr;
    sw->navigatorUp = sw->detailOpen = sw->rendered = 0;
}

void RedrawRows(UiWindow* w) {
    for (const Row& row : kRows) {
        DrawRow(w, row.slider);
        DrawRow(w, row.value);
    }
}

// A number typed into a row's value box, as its slider at that value.
int32_t ApplyTyped(UiWindow* w, int16_t box, int32_t, int32_t value) {
    SharpenWindow* sw = Of(w);
    const Row* row = RowOf(box);
    if (sw == nullptr || row == nullptr) return kStatusError;
    *row->field(&sw->state->editPars.sharpenNoise) = value;
    DrawRow(w, row->slider);
    DrawRow(w, row->value);
    Rerender(w, sw);
    return kStatusOk;
}

// An arrow key on a row's slider with the focus: its value a step on, as a typed number.
int32_t Key(UiWindow* w, uint8_t key, uint8_t ctrl) {
    SharpenWindow* sw = Of(w);
    const int16_t focus = Ui_Item_Focused(w);
    const Row* row = RowOf(focus);
    const int32_t step = SliderKeyStep(w, key);
    if (sw == nullptr || ctrl != 0 || step == 0 || row == nullptr || row->slider != focus) return 0;
    const SharpenNoiseRange& range = *row->range;
    const int32_t now =
        Num_Clamp(*row->field(&sw->state->editPars.sharpenNoise), range.lo, range.hi);
    const int32_t next = Num_Clamp(now + step, range.lo, range.hi);
    if (next != now) ApplyTyped(w, row->value, 0, next);
    return 1;
}

int32_t Track(UiWindow* w, int16_t item, int16_t phase) {
    SharpenWindow* sw = Of(w);
    Ui_Dlg* d = nullptr;
    if (sw == nullptr || Ui_Dlg_Get(w, &d) != kStatusOk) return 0;
    if (phase == kUiTrackBegin) ValueEntryFinish(w, &sw->entry, true);
    if (item == kSharpenNoiseHelp) return HelpButtonTrack(w, item, phase);
    if (item == kSharpenNoiseDetailView || item == kSharpenNoiseNavigationView)
        return TrackView(w, sw, d, item, phase);
    const Row* row = RowOf(item);
    if (row == nullptr || row->slider != item) return phase == kUiTrackEnd ? 1 : 0;
    Ui_Rect r;
    int32_t value = 0;
    if (Ui_Item_GetRect(w, item, &r) == kStatusOk &&
        SliderRangeValue(&r, d->mouseH, row->range->lo, row->range->hi, &value) == kStatusOk) {
        *row->field(&sw->state->editPars.sharpenNoise) = value;
        DrawRow(w, row->slider);
        DrawRow(w, row->value);
    }
    // The detail view follows on release: the noise filter is too slow for every move.
    if (phase == kUiTrackEnd) Rerender(w, sw);
    return 1;
}

int32_t ItemHit(UiWindow* w, int16_t item) {
    SharpenWindow* sw = Of(w);
    if (sw == nullptr) return kStatusError;
    SharpenNoise& s = sw->state->editPars.sharpenNoise;
    if (ValueEntryItemHit(w, &sw->entry, item, nullptr)) return kStatusOk;
    const Row* typed = RowOf(item);
    if (typed != nullptr && typed->value == item) {
        char text[16];
        Ui_Rect r;
        const SharpenNoiseRange& range = *typed->range;
        ValueText(Num_Clamp(*typed->field(&s), range.lo, range.hi), kValuePlain, text, sizeof text);
        if (Ui_Item_GetRect(w, item, &r) == kStatusOk) {
            ValueEntryOpen(w, &sw->entry, item, 0, &r, text, range.lo, range.hi);
        }
        return kStatusOk;
    }
    switch (item) {
        case kSharpenNoiseOk:
            Ui_Dlg_Close(w, item);
            return kStatusOk;
        case kSharpenNoiseCancel:
            s = sw->saved;
            Ui_Dlg_Close(w, item);
            return kStatusOk;
        case kSharpenNoiseRestoreDefaults:
            for (const Row& row : kRows) *row.field(&s) = row.range->byDefault;
            RedrawRows(w);
            Rerender(w, sw);
            return kStatusOk;
        case kSharpenNoiseZoomOut:
        case kSharpenNoiseZoomIn: {
            const int32_t zoom = Num_Clamp(sw->zoom + (item == kSharpenNoiseZoomIn ? 1 : -1),
                                           kSharpenZoomMin, kSharpenZoomMax);
            if (sw->host == nullptr || !sw->detailOpen || zoom == sw->zoom) return kStatusOk;
            sw->zoom = zoom;
            ShowZoom(w, sw);
            Ui_Failure failure;
            Ui_Failure_Clear(&failure);
            Changed(w, sw, Fetch(sw, false, false, &failure), failure);
            return kStatusOk;
        }
        case kSharpenNoiseHelp:
            ShowHelpTopic(sw->env->help, kTopicSharpenNoise);
            return kStatusOk;
        default:
            return kStatusOk;
    }
}

int32_t Init(UiWindow* w) {
    SharpenWindow* sw = Of(w);
    if (sw == nullptr) return kStatusProblem;
    Ui_Dlg_SetItemHitProc(w, ItemHit);
    DialogTipsSet(w, kDlgSharpenNoise);
    Ui_Dlg_SetTrackProc(w, Track);
    Ui_Dlg_SetDrawProc(w, kSharpenNoiseHelp, HelpButtonDraw);
    Ui_Dlg_SetDrawProc(w, kSharpenNoiseDetailView, DrawDetailView);
    Ui_Dlg_SetDrawProc(w, kSharpenNoiseNavigationView, DrawNavigationView);
    Ui_Dlg_SetKeyProc(w, Key);
    for (const Row& row : kRows) {
        Ui_Dlg_SetDrawProc(w, row.slider, DrawRow);
        Ui_Dlg_SetDrawProc(w, row.value, DrawRow);
        Ui_Item_SetTabStop(w, row.slider, 1);
    }
    Ui_Item_SetDefault(w, kSharpenNoiseOk);
    const SharpenNoise& s = sw->state->editPars.sharpenNoise;
    for (int16_t item = kSharpenNoiseSharpenTitle; item <= kSharpenNoiseSharpenFrame; ++item) {
        Ui_Item_Show(w, item, s.sharpenOn);
    }
    for (int16_t item = kSharpenNoiseNoiseTitle; item <= kSharpenNoiseNoiseNote; ++item) {
        Ui_Item_Show(w, item, s.noiseOn);
    }
    sw->openStatus = OpenViews(w, sw);
    if (sw->openStatus != kStatusOk) return sw->openStatus;
    if (sw->detailOpen) {
        // The middle of the image at 100 %.
        sw->centreX = sw->imageWidth / 2;
        sw->centreY = sw->imageHeight / 2;
        Ui_Failure failure;
        Ui_Failure_Clear(&failure);
        if (Fetch(sw, false, false, &failure) != kStatusOk)
            Ui_Failure_Show(sw->env->state, &failure);
    }
    ShowZoom(w, sw);
    return kStatusOk;
}

}  // namespace

int32_t SharpenNoiseDialog(const DialogEnv* env, EditState* editState, bool* accepted) {
    if (env == nullptr || editState == nullptr || accepted == nullptr) return kStatusProblem;
    *accepted = false;
    SharpenWindow sw{};
    sw.env = env;
    sw.state = editState;
    sw.saved = editState->editPars.sharpenNoise;
    sw.zoom = kSharpenZoomMin;
    Ui_Failure_Clear(&sw.openFailure);
    sw.entry.field = kSharpenNoiseValueEntry;
    sw.entry.apply = ApplyTyped;
    int16_t item = 0;
    int32_t status = Ui_Dlg_Run(env->state, kDlgSharpenNoise, env->parent, Init, &sw, &item);
    CloseViews(&sw);
    if (status == kStatusOk && sw.openStatus != kStatusOk) {
        // The views could not be made: the dialog did not open, and says why once.
        Ui_Failure_Show(env->state, &sw.openFailure);
        status = sw.openStatus;
    }
    *accepted = status == kStatusOk && item == kSharpenNoiseOk;
    // Closed any other way than "OK" (the close box too): the values go back.
    if (!*accepted) editState->editPars.sharpenNoise = sw.saved;
    return status;
}
