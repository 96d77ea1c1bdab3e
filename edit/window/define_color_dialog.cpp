// The colour definition dialog; see define_color_dialog.h.
#include "edit/window/define_color_dialog.h"

#include "edit/color_defs.h"
#include "edit/window/dialog_tips.h"
#include "edit/window/help_window.h"
#include "edit/window/slider.h"
#include "edit/window/swatch.h"
#include "edit/window/value_entry.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/numeric.h"
#include "platform/paths.h"
#include "platform/resources.h"
#include "platform/ui/choosers.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "resources/ids/dlg_define_color.h"
#include "resources/ids/strings.h"

namespace {

constexpr int16_t kSliders[3] = {kDefineColorRedSlider, kDefineColorGreenSlider,
                                 kDefineColorBlueSlider};
constexpr int16_t kValues[3] = {kDefineColorRedValue, kDefineColorGreenValue,
                                kDefineColorBlueValue};

struct DefineWindow {
    const DialogEnv* env;
    EditState* state;
    int32_t kind;
    const ParsChangedHooks* hooks;
    const EditPars* savedPars;  // the snapshot "Cancel" restores
    ColorDefs savedDefs;
    float rgb[3];
    uint8_t edited;    // a change was made since the dialog opened
    ValueEntry entry;  // a number being typed into a value box
};

DefineWindow* Of(UiWindow* w) {
    return Ui_Dlg_UserData<DefineWindow>(w);
}

int32_t ChannelOf(const int16_t (&items)[3], int16_t item) {
    for (int32_t c = 0; c < 3; ++c) {
        if (items[c] == item) return c;
    }
    return -1;
}

int32_t DrawSlider(UiWindow* w, int16_t item) {
    DefineWindow* dw = Of(w);
    const int32_t c = ChannelOf(kSliders, item);
    Ui_Rect r;
    if (dw == nullptr || c < 0 || Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    const SliderFill fill = SliderFillForChannel(c);
    return SliderDraw(w, item, SliderCentredX(&r, ColorDefToSlider(dw->rgb[c])), 1, &fill, 0);
}

int32_t DrawValue(UiWindow* w, int16_t item) {
    DefineWindow* dw = Of(w);
    const int32_t c = ChannelOf(kValues, item);
    if (dw == nullptr || c < 0) return kStatusError;
    char text[16];
    ValueText(ColorDefToSlider(dw->rgb[c]), kValueSigned, text, sizeof text);
    return ValueBoxDraw(w, item, text);
}

int32_t DrawSwatch(UiWindow* w, int16_t item) {
    DefineWindow* dw = Of(w);
    Ui_Rect r;
    if (dw == nullptr || Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    return SwatchDraw(w, &r, dw->rgb, &dw->state->editPars.refRGB);
}

void Redraw(UiWindow* w) {
    for (int32_t c = 0; c < 3; ++c) {
        DrawSlider(w, kSliders[c]);
        DrawValue(w, kValues[c]);
    }
    DrawSwatch(w, kDefineColorSwatch);
}

// Sets the definition to rgb (each held to 0..1); the shown colour follows only on success.
int32_t SetColour(DefineWindow* dw, const float rgb[3], Ui_Failure* failure) {
    float held[3];
    for (int c = 0; c < 3; ++c) {
        held[c] = rgb[c] >= 0.0f ? (rgb[c] <= 1.0f ? rgb[c] : 1.0f) : 0.0f;
    }
    int32_t status = SetColorDef(&dw->state->colorDefs, &dw->state->editPars, dw->kind, held);
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseEditColor);
    for (int c = 0; c < 3; ++c) dw->rgb[c] = held[c];
    dw->edited = 1;
    return kStatusOk;
}

// A change is complete: the owner rebuilds what depends on the parameters. restored: everything
// is back as it was at opening, so nothing has to follow the neutral; letting the automatic
// settings run then would replace tone or hue settings the person had made by hand before.
int32_t TellChanged(DefineWindow* dw, Ui_Failure* failure, bool restored = false) {
    const ParsChangedHooks* hooks = dw->hooks;
    if (hooks == nullptr || hooks->parsChanged == nullptr) return kStatusOk;
    const uint8_t neutral = !restored && dw->kind == kColorDefNeutral ? 1 : 0;
    return hooks->parsChanged(hooks->context, neutral, failure);
}

int32_t SetAndTell(UiWindow* w, DefineWindow* dw, const float rgb[3], Ui_Failure* failure) {
    int32_t status = SetColour(dw, rgb, failure);
    Redraw(w);
    return status == kStatusOk ? TellChanged(dw, failure) : status;
}

// A number typed into a channel's value box, as the slider at that value.
int32_t ApplyTyped(UiWindow* w, int16_t box, int32_t, int32_t value) {
    DefineWindow* dw = Of(w);
    const int32_t c = ChannelOf(kValues, box);
    if (dw == nullptr || c < 0) return kStatusError;
    Ui_Failure failure;
    Ui_Failure_Clear(&failure);
    float rgb[3] = {dw->rgb[0], dw->rgb[1], dw->rgb[2]};
    rgb[c] = ColorDefFromSlider(value);
    const int32_t status = SetAndTell(w, dw, rgb, &failure);
    Ui_Failure_Show(dw->env->state, &failure);
    return status;
}

// An arrow key on a channel's slider with the focus: its value a step on, as a typed number.
int32_t Key(UiWindow* w, uint8_t key, uint8_t ctrl) {
    DefineWindow* dw = Of(w);
    const int32_t c = ChannelOf(kSliders, Ui_Item_Focused(w));
    const int32_t step = SliderKeyStep(w, key);
    if (dw == nullptr || ctrl != 0 || step == 0 || c < 0) return 0;
    const int32_t now = ColorDefToSlider(dw->rgb[c]);
    const int32_t next = Num_Clamp(now + step, kValueScaleOffset.lo, kValueScaleOffset.hi);
    if (next != now) ApplyTyped(w, kValues[c], 0, next);
    return 1;
}

int32_t PickColour(UiWindow* w, DefineWindow* dw, Ui_Failure* failure) {
    const WindowHostProcs* host = dw->env->host;
    float rgb[3] = {dw->rgb[0], dw->rgb[1], dw->rgb[2]};
    int32_t status = host != nullptr && host->pickColor != nullptr
                         ? host->pickColor(host->context, rgb)
                         : kStatusUnsupported;
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseEditColor);
    return SetAndTell(w, dw, rgb, failure);
}

int32_t LoadColour(UiWindow* w, DefineWindow* dw, Ui_Failure* failure) {
    UiState* state = dw->env->state;
    char prompt[256], path[kPathSize] = "";
    Ui_ResToCString(state, kStrLoadNeutral + dw->kind, prompt);
    int32_t status = Ui_Choose_TextFile(state, prompt, path);
    if (status == kStatusCancelled) return status;
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseChooseFile);
    float rgb[3];
    status = ReadColorDefFile(path, rgb);
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseReadFile, 0, path);
    return SetAndTell(w, dw, rgb, failure);
}

int32_t SaveColour(DefineWindow* dw, Ui_Failure* failure) {
    UiState* state = dw->env->state;
    char pattern[256], word[256], title[512], path[kPathSize];
    Ui_ResToCString(state, kStrSaveAs, pattern);
    Ui_ResToCString(state, kStrSaveAsColor, word);
    Str_FormatPhrase(title, sizeof title, pattern, 0, word);
    Ui_ResToCString(state, kStrSaveNeutralName + dw->kind, path);
    int32_t status = Ui_Choose_SaveFile(state, title, kUiFileText, path);
    if (status == kStatusCancelled) return status;
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseSaveLocation);
    status = WriteColorDefFile(path, dw->rgb);
    return status == kStatusOk ? kStatusOk
                               : Ui_Failure_Describe(failure, status, kPhraseWriteFile, 0, path);
}

// "Cancel": the parameters and the three stored definitions as they were at opening, and the
// owner told when anything had changed.
int32_t Restore(DefineWindow* dw, Ui_Failure* failure) {
    if (!dw->edited) return kStatusOk;
    dw->state->editPars = *dw->savedPars;
    dw->state->editPars.balCurveValid = 0;
    dw->state->colorDefs = dw->savedDefs;
    dw->edited = 0;
    return TellChanged(dw, failure, true);
}

int32_t Track(UiWindow* w, int16_t item, int16_t phase) {
    DefineWindow* dw = Of(w);
    Ui_Dlg* d = nullptr;
    if (dw == nullptr || Ui_Dlg_Get(w, &d) != kStatusOk) return 0;
    if (phase == kUiTrackBegin) ValueEntryFinish(w, &dw->entry, true);
    if (item == kDefineColorHelp) return HelpButtonTrack(w, item, phase);
    const int32_t c = ChannelOf(kSliders, item);
    if (c < 0) return 0;
    Ui_Rect r;
    int32_t value = 0;
    if (Ui_Item_GetRect(w, item, &r) != kStatusOk ||
        SliderCentredValue(&r, d->mouseH, &value) != kStatusOk) {
        return phase == kUiTrackEnd ? 1 : 0;
    }
    Ui_Failure failure;
    Ui_Failure_Clear(&failure);
    float rgb[3] = {dw->rgb[0], dw->rgb[1], dw->rgb[2]};
    rgb[c] = ColorDefFromSlider(value);
    int32_t status = SetColour(dw, rgb, &failure);
    DrawSlider(w, item);
    DrawValue(w, kValues[c]);
    DrawSwatch(w, kDefineColorSwatch);
    if (phase == kUiTrackEnd && status == kStatusOk) TellChanged(dw, &failure);
    // A failure is shown once, at the release: while dragging every move would repeat it.
    if (phase == kUiTrackEnd) Ui_Failure_Show(dw->env->state, &failure);
    return 1;
}

int32_t ItemHit(UiWindow* w, int16_t item) {
    DefineWindow* dw = Of(w);
    if (dw == nullptr) return kStatusError;
    Ui_Failure failure;
    Ui_Failure_Clear(&failure);
    if (ValueEntryItemHit(w, &dw->entry, item, nullptr)) return kStatusOk;
    const int32_t channel = ChannelOf(kValues, item);
    if (channel >= 0) {
        char text[16];
        Ui_Rect r;
        ValueText(ColorDefToSlider(dw->rgb[channel]), kValueSigned, text, sizeof text);
        if (Ui_Item_GetRect(w, item, &r) == kStatusOk) {
            ValueEntryOpen(w, &dw->entry, item, 0, &r, text, kValueScaleOffset.lo,
                           kValueScaleOffset.hi);
        }
        return kStatusOk;
    }
    switch (item) {
        case kDefineColorOk:
            Ui_Dlg_Close(w, item);
            return kStatusOk;
        case kDefineColorCancel:
            Restore(dw, &failure);
            Ui_Dlg_Close(w, item);
            break;
        case kDefineColorRestoreDefault: {
            float rgb[3];
            ColorDefDefault(dw->kind, rgb);
            SetAndTell(w, dw, rgb, &failure);
            break;
        }
        case kDefineColorColorPicker:
            PickColour(w, dw, &failure);
            break;
        case kDefineColorLoad:
            LoadColour(w, dw, &failure);
            break;
        case kDefineColorSave:
            SaveColour(dw, &failure);
            break;
        case kDefineColorHelp:
            ShowHelpTopic(dw->env->help, kTopicNeutralDef + dw->kind);
            break;
        default:
            break;
    }
    Ui_Failure_Show(dw->env->state, &failure);
    return kStatusOk;
}

int32_t Init(UiWindow* w) {
    DefineWindow* dw = Of(w);
    if (dw == nullptr) return kStatusProblem;
    char title[256];
    Ui_Dlg_SetTitle(w, Ui_ResToCString(dw->env->state, kStrDefineNeutralTitle + dw->kind, title));
    Ui_Dlg_SetItemHitProc(w, ItemHit);
    DialogTipsSet(w, kDlgDefineColor);
    Ui_Dlg_SetTrackProc(w, Track);
    Ui_Dlg_SetKeyProc(w, Key);
    Ui_Dlg_SetDrawProc(w, kDefineColorHelp, HelpButtonDraw);
    Ui_Dlg_SetDrawProc(w, kDefineColorSwatch, DrawSwatch);
    for (int32_t c = 0; c < 3; ++c) {
        Ui_Dlg_SetDrawProc(w, kSliders[c], DrawSlider);
        Ui_Dlg_SetDrawProc(w, kValues[c], DrawValue);
        Ui_Item_SetTabStop(w, kSliders[c], 1);
    }
    Ui_Item_SetDefault(w, kDefineColorOk);
    if (dw->env->host == nullptr || dw->env->host->pickColor == nullptr) {
        Ui_Item_Enable(w, kDefineColorColorPicker, 0);
    }
    return kStatusOk;
}

}  // namespace

int32_t DefineColorDialog(const DialogEnv* env, EditState* editState, int32_t kind,
                          const ParsChangedHooks* hooks, bool* accepted) {
    if (env == nullptr || editState == nullptr || accepted == nullptr ||
        !(kColorDefNeutral <= kind && kind <= kColorDefToning)) {
        return kStatusProblem;
    }
    *accepted = false;
    MemBlock<EditPars> saved(1);
    if (saved.get() == nullptr) return kStatusNoMemory;
    *saved.get() = editState->editPars;
    DefineWindow dw{env,       editState, kind, hooks, saved.get(), editState->colorDefs,
                    {0, 0, 0}, 0,         {}};
    dw.entry.field = kDefineColorValueEntry;
    dw.entry.apply = ApplyTyped;
    GetColorDef(&editState->colorDefs, &editState->editPars, kind, dw.rgb);
    int16_t item = 0;
    int32_t status = Ui_Dlg_Run(env->state, kDlgDefineColor, env->parent, Init, &dw, &item);
    *accepted = status == kStatusOk && item == kDefineColorOk;
    if (!*accepted) {
        // Closed without "OK" in a way that did not pass through "Cancel" (the window's close
        // box, a dialog that could not be run): nothing it did may stay.
        Ui_Failure failure;
        Ui_Failure_Clear(&failure);
        Restore(&dw, &failure);
        Ui_Failure_Show(env->state, &failure);
    }
    return status;
}
