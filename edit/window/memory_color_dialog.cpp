// The memory colour dialog; see memory_color_dialog.h.
#include "edit/window/memory_color_dialog.h"

#include <cmath>

#include "edit/window/dialog_tips.h"
#include "edit/window/help_window.h"
#include "edit/window/memory_info.h"
#include "edit/window/slider.h"
#include "edit/window/swatch.h"
#include "engine/sampling.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/paths.h"
#include "platform/resources.h"
#include "platform/ui/choosers.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"
#include "resources/ids/dlg_memory_color.h"
#include "resources/ids/strings.h"

namespace {

struct MemoryWindow {
    const DialogEnv* env;
    EditState* state;
    MemoryColor work;
};

MemoryWindow* Of(UiWindow* w) {
    return Ui_Dlg_UserData<MemoryWindow>(w);
}

int32_t DrawGradient(UiWindow* w, int16_t item) {
    MemoryWindow* mw = Of(w);
    Ui_Rect r;
    if (mw == nullptr || Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    const int32_t width = Ui_Rect_Width(&r);
    for (int32_t x = 0; x < width; ++x) {
        // Lightness 5 to 95: the ends are black and white whatever the colour.
        float lab[3];
        MemoryColorLabAt(&mw->work, 5.0 + 90.0 * x / (width > 1 ? width - 1 : 1), lab);
        Ui_RGB rgb{128, 128, 128};
        SwatchLabToScreen(lab, &mw->state->editPars.refRGB, &rgb);
        const Ui_Color colour = Ui_ColorFromRGB(rgb.r, rgb.g, rgb.b);
        const Ui_Rect column = Ui_Rect_Make(r.top, r.left + x, r.bottom, r.left + x + 1);
        Ui_Draw_FillRect(w, &column, &colour);
    }
    const Ui_Color frame = Ui_ColorFromRGB(128, 128, 128);
    Ui_Draw_FrameRect(w, &r, &frame);
    return Ui_Draw_End(w);
}

bool Named(const MemoryWindow* mw) {
    return mw->work.name[0] != 0;
}
bool Labelled(const MemoryWindow* mw) {
    return mw->work.label[0] != 0;
}

void ShowState(UiWindow* w, MemoryWindow* mw) {
    const bool defined = mw->work.defined != 0;
    const bool all = defined && Named(mw) && Labelled(mw);
    const bool none = !defined && !Named(mw) && !Labelled(mw);
    Ui_Item_Enable(w, kMemoryColorOk, uint8_t(all || none));
    Ui_Item_Enable(w, kMemoryColorClear, uint8_t(all));
    Ui_Item_Enable(w, kMemoryColorSave, uint8_t(all));
    Ui_Item_Enable(w, kMemoryColorSetFromHandle, mw->state->activeHandleHasSamples);
    UiState* state = mw->env->state;
    char text[256], pattern[256], chroma[32], slope[32];
    if (defined) {
        Str_FormatN(chroma, sizeof chroma, "%d", int(std::lround(mw->work.mcChroma)));
        const int32_t tenths = int32_t(std::lround(mw->work.mcHueSlope * 10.0f));
        const int32_t magnitude = tenths < 0 ? -tenths : tenths;
        Str_FormatN(slope, sizeof slope, "%s%d.%d", tenths < 0 ? "-" : "", int(magnitude / 10),
                    int(magnitude % 10));
        Ui_ResToCString(state, kStrMemoryColorNumbers, pattern);
        Str_FormatPhrase(text, sizeof text, pattern, int32_t(std::lround(mw->work.mcHue)) % 360,
                         chroma, slope);
    } else {
        Ui_ResToCString(state, kStrMemoryColorEmpty, text);
    }
    Ui_Item_SetText(w, kMemoryColorNumbers, text);
    Ui_Item_Invalidate(w, kMemoryColorGradient);
}

void ShowFields(UiWindow* w, MemoryWindow* mw) {
    Ui_Item_SetText(w, kMemoryColorName, mw->work.name);
    Ui_Item_SetText(w, kMemoryColorLabel, mw->work.label);
    ShowState(w, mw);
}

// A field's text as the slot keeps it: cut to size - 1 characters, control characters and DEL
// turned into blanks. The field shows the kept text.
void TakeField(UiWindow* w, int16_t item, char* field, int32_t size) {
    char text[256];
    Ui_Item_GetText(w, item, text, sizeof text);
    MemoryColorCleanText(text, size);
    Str_CopyBounded(field, size_t(size), text);
    Ui_Item_SetText(w, item, field);
}

int32_t SetFromHandle(MemoryWindow* mw, Ui_Failure* failure) {
    EditState* es = mw->state;
    float chroma = 0, hue = 0, slope = 0;
    int32_t status =
        HgMemoryColourFromHandle(&es->editPars, es->activeHandle, &chroma, &hue, &slope);
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseEditColor);
    mw->work.defined = 1;
    mw->work.mcChroma = chroma;
    mw->work.mcHue = hue;
    mw->work.mcHueSlope = slope;
    return kStatusOk;
}

int32_t Load(MemoryWindow* mw, Ui_Failure* failure) {
    UiState* state = mw->env->state;
    char prompt[256], path[kPathSize] = "";
    Ui_ResToCString(state, kStrLoadMemoryColor, prompt);
    int32_t status = Ui_Choose_TextFile(state, prompt, path);
    if (status == kStatusCancelled) return status;
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseChooseFile);
    status = ReadMemoryColorFile(path, &mw->work);
    return status == kStatusOk ? kStatusOk
                               : Ui_Failure_Describe(failure, status, kPhraseReadFile, 0, path);
}

int32_t Save(MemoryWindow* mw, Ui_Failure* failure) {
    UiState* state = mw->env->state;
    char pattern[256], title[512], path[kPathSize];
    Ui_ResToCString(state, kStrSaveAs, pattern);
    Str_FormatPhrase(title, sizeof title, pattern, 0, mw->work.name);
    Str_CopyBounded(path, sizeof path, mw->work.name);
    int32_t status = Ui_Choose_SaveFile(state, title, kUiFileText, path);
    if (status == kStatusCancelled) return status;
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseSaveLocation);
    status = WriteMemoryColorFile(path, &mw->work);
    return status == kStatusOk ? kStatusOk
                               : Ui_Failure_Describe(failure, status, kPhraseWriteFile, 0, path);
}

int32_t Track(UiWindow* w, int16_t item, int16_t phase) {
    return item == kMemoryColorHelp ? HelpButtonTrack(w, item, phase) : 0;
}

int32_t ItemHit(UiWindow* w, int16_t item) {
    MemoryWindow* mw = Of(w);
    if (mw == nullptr) return kStatusError;
    Ui_Failure failure;
    Ui_Failure_Clear(&failure);
    switch (item) {
        case kMemoryColorOk:
        case kMemoryColorCancel:
            Ui_Dlg_Close(w, item);
            return kStatusOk;
        case kMemoryColorName:
            TakeField(w, item, mw->work.name, kMemoryColorNameSize);
            ShowState(w, mw);
            return kStatusOk;
        case kMemoryColorLabel:
            TakeField(w, item, mw->work.label, kMemoryColorLabelSize);
            ShowState(w, mw);
            return kStatusOk;
        case kMemoryColorClear:
            Mem_Fill(&mw->work, 0, sizeof mw->work);
            ShowFields(w, mw);
            return kStatusOk;
        case kMemoryColorSetFromHandle:
            if (SetFromHandle(mw, &failure) == kStatusOk) ShowState(w, mw);
            break;
        case kMemoryColorLoad:
            if (Load(mw, &failure) == kStatusOk) ShowFields(w, mw);
            break;
        case kMemoryColorSave:
            Save(mw, &failure);
            break;
        case kMemoryColorHelp:
            ShowHelpTopic(mw->env->help, kTopicMemoryColor);
            break;
        default:
            break;
    }
    Ui_Failure_Show(mw->env->state, &failure);
    return kStatusOk;
}

int32_t Init(UiWindow* w) {
    MemoryWindow* mw = Of(w);
    if (mw == nullptr) return kStatusProblem;
    Ui_Dlg_SetItemHitProc(w, ItemHit);
    DialogTipsSet(w, kDlgMemoryColor);
    Ui_Dlg_SetTrackProc(w, Track);
    Ui_Dlg_SetDrawProc(w, kMemoryColorHelp, HelpButtonDraw);
    Ui_Dlg_SetDrawProc(w, kMemoryColorGradient, DrawGradient);
    Ui_Item_SetDefault(w, kMemoryColorOk);
    ShowFields(w, mw);
    return kStatusOk;
}

}  // namespace

int32_t MemoryColorDialog(const DialogEnv* env, EditState* editState, MemoryColor* slot,
                          bool* accepted) {
    if (env == nullptr || editState == nullptr || slot == nullptr || accepted == nullptr) {
        return kStatusProblem;
    }
    *accepted = false;
    MemoryWindow mw{env, editState, *slot};
    MemoryColorCleanText(mw.work.name, kMemoryColorNameSize);
    MemoryColorCleanText(mw.work.label, kMemoryColorLabelSize);
    int16_t item = 0;
    int32_t status = Ui_Dlg_Run(env->state, kDlgMemoryColor, env->parent, Init, &mw, &item);
    if (status != kStatusOk) return status;
    if (item == kMemoryColorOk) {
        *slot = mw.work;
        *accepted = true;
    }
    return kStatusOk;
}

int32_t MemoryColorButtonTitle(UiState* state, const MemoryColor* slot, char* title,
                               int32_t capacity) {
    if (slot == nullptr || title == nullptr || capacity < 2) return kStatusProblem;
    if (slot->defined && slot->label[0] != 0) {
        Str_CopyBounded(title, size_t(capacity), slot->label);
        return kStatusOk;
    }
    char undefined[256];
    Str_CopyBounded(title, size_t(capacity),
                    Ui_ResToCString(state, kStrMemoryColorUndefined, undefined));
    return kStatusOk;
}
