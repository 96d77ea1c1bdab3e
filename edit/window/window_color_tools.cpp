// The colour tools of the editing window: "B/W", "Sepia", "Toning" with its swatch, the six
// memory-colour buttons and the information box of the hue tab, and the colour-cast tab's
// "Preferences..." for the neutral definition.
//
// The four colour definitions are edited in the "Define Color" dialog and the memory colours in
// the "Memory Color" dialog; the window hands the run's EditState to them and rebuilds its preview
// when they report a complete change. The definitions and memory colours belong to the person,
// not to the image: whatever the dialogs leave in the EditState is copied into the preferences
// record at once, so that the preferences file the window writes on closing (OK or Cancel) keeps
// them.
//
// A toning colour whose three components are equal is a grey: toning towards it changes nothing
// (the tone curves stay straight), so such a colour is stored as the plain neutral 0.5, 0.5, 0.5
// and the "Toning" box shows off. The box and the parameters therefore always agree.
#include "edit/window/window_color_tools.h"

#include <cmath>
#include <cstring>

#include "edit/edit_snapshot.h"
#include "edit/window/define_color_dialog.h"
#include "edit/window/memory_color_dialog.h"
#include "edit/window/memory_info.h"
#include "edit/window/swatch.h"
#include "edit/window/window_record.h"
#include "edit/window/window_refresh.h"
#include "edit/window/window_auto_settings.h"
#include "edit/window/window_transforms.h"
#include "edit/window/window_env.h"
#include "engine/sampling.h"
#include "platform/mem.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "platform/ui/rect.h"
#include "resources/ids/dlg_editor.h"
#include "resources/ids/strings.h"

namespace {

// The bits of the memory-colour mask besides the hue handles' (the After position).
constexpr int32_t kMaskBrightness = 32, kMaskSaturation = 512;

// What the definition dialog's hooks need: the window and which definition is being edited.
struct DefinitionEdit {
    EditingWindow* win;
    int32_t kind;
};

// A dialog that edits the live parameters as the person works in it begins its change before
// it opens (it changes the parameters at once), keeping the undo state before that aside: a
// dialog that comes to nothing (Cancel puts everything back) is no step, and Undo then stays as
// it was, still taking back the step before, instead of being enabled to take back nothing.
void BeginDialogChange(EditingWindow* win, EditSnapshot* earlier) {
    *earlier = win->es->undo;
    EditSnapshotTake(win->es, &win->es->undo);
}

void SettleDialogChange(EditingWindow* win, const EditSnapshot& earlier) {
    EditState* es = win->es;
    EditSnapshot now;
    EditSnapshotTake(es, &now);
    if (EditSnapshotSame(now, es->undo)) {
        es->undo = earlier;
        return;
    }
    EditorRecordStep(win);
}

// The definitions and memory colours of the run into the preferences record.
void StoreDefinitions(EditingWindow* win) {
    Prefs* prefs = win->env->prefs;
    prefs->colorDefs = win->es->colorDefs;
    for (int i = 0; i < kMemoryColorCount; ++i) prefs->memoryColors[i] = win->es->memoryColors[i];
}

bool IsGrey(const float rgb[3]) {
    return std::fabs(rgb[0] - rgb[1]) < 1e-6f && std::fabs(rgb[1] - rgb[2]) < 1e-6f;
}

// A grey toning colour becomes the plain neutral (see the file's comment).
void NormaliseToneColor(EditPars* p) {
    if (!IsGrey(p->toneColor)) return;
    for (float& c : p->toneColor) c = 0.5f;
}

// The items of the hue tab that show the handles' values.
void InvalidateHueItems(UiWindow* w) {
    for (int16_t item = kEditorHueRing; item <= kEditorHueSaturationSlider; ++item) {
        Ui_Item_Invalidate(w, item);
    }
}

// After a change of the live parameters: the boxes and the hue tab's items follow, both
// transforms are rebuilt. The change's own failure (status) comes first.
int32_t Rebuild(EditingWindow* win, int32_t status, Ui_Failure* failure) {
    EditorRefreshBoxes(win);
    Ui_Item_Invalidate(win->dialog, kEditorToningSwatch);
    Ui_Item_Invalidate(win->dialog, kEditorCastWedge);
    InvalidateHueItems(win->dialog);
    Ui_Failure rebuilt;
    Ui_Failure_Clear(&rebuilt);
    const int32_t rebuild = EditorRebuildTransforms(win, &rebuilt);
    if (status != kStatusOk) return status;
    if (rebuild != kStatusOk && failure != nullptr) *failure = rebuilt;
    return rebuild;
}

// The definition dialog reports a complete change. The grayscale and sepia definitions are not
// part of the live parameters (a click on "B/W" or "Sepia" copies them in), so only the
// information box shows them; the neutral and the toning colour act on the preview, and in
// Keenhue Mode the tools right of the colour balance follow a changed neutral.
int32_t DefinitionChanged(void* context, uint8_t neutralChanged, Ui_Failure* failure) {
    const DefinitionEdit* edit = static_cast<const DefinitionEdit*>(context);
    EditingWindow* win = edit->win;
    Ui_Item_Invalidate(win->dialog, kEditorMemoryColorInfo);
    if (edit->kind == kColorDefGrayscale || edit->kind == kColorDefSepia) return kStatusOk;
    int32_t status = kStatusOk;
    if (neutralChanged != 0 && win->keenhueMode != 0) {
        status = EditorAutoSettings(win, kEditMaskFromTool2, failure);
    }
    return Rebuild(win, status, failure);
}

// Runs the definition dialog for kind; the definitions it leaves are stored.
int32_t EditDefinition(EditingWindow* win, int32_t kind, bool* accepted) {
    DefinitionEdit edit{win, kind};
    const ParsChangedHooks hooks{&edit, DefinitionChanged};
    const int32_t subject = win->es->pointerSubject;
    if (kind == kColorDefGrayscale) win->es->pointerSubject = kMemoryInfoGrayscale;
    if (kind == kColorDefSepia) win->es->pointerSubject = kMemoryInfoSepia;
    const int32_t status = DefineColorDialog(&win->dialogEnv, win->es, kind, &hooks, accepted);
    win->es->pointerSubject = subject;
    StoreDefinitions(win);
    Ui_Item_Invalidate(win->dialog, kEditorMemoryColorInfo);
    return status;
}

// Colour-cast tab, "Preferences...": the neutral definition. The dialog sets it at once and the
// preview follows on every complete change; "Cancel" there puts everything back.
int32_t NeutralPreferences(EditingWindow* win) {
    EditSnapshot earlier;
    BeginDialogChange(win, &earlier);
    bool accepted = false;
    const int32_t status = EditDefinition(win, kColorDefNeutral, &accepted);
    SettleDialogChange(win, earlier);
    return status;
}

// "B/W" and "Sepia": Alt-click edits the definition; a plain click tones the image with it and
// takes the colour out of all six hue handles.
int32_t ToneWith(EditingWindow* win, int32_t kind, Ui_Failure* failure) {
    if (EditorAltClick(win)) {
        EditSnapshot earlier;
        BeginDialogChange(win, &earlier);
        bool accepted = false;
        const int32_t status = EditDefinition(win, kind, &accepted);
        SettleDialogChange(win, earlier);
        return status;
    }
    EditState* es = win->es;
    float rgb[3];
    int32_t status = GetColorDef(&es->colorDefs, &es->editPars, kind, rgb);
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseEditColor);
    EditorBeginChange(win);
    for (int c = 0; c < 3; ++c) es->editPars.toneColor[c] = rgb[c];
    NormaliseToneColor(&es->editPars);
    for (HueHandle& h : es->editPars.hue) h.saturation = 0.0f;
    return Rebuild(win, kStatusOk, failure);
}

// The toning colour in its dialog; afterwards a grey is the plain neutral and the box follows.
int32_t EditToneColor(EditingWindow* win, Ui_Failure* failure) {
    EditSnapshot earlier;
    BeginDialogChange(win, &earlier);
    bool accepted = false;
    const int32_t status = EditDefinition(win, kColorDefToning, &accepted);
    NormaliseToneColor(&win->es->editPars);
    SettleDialogChange(win, earlier);
    if (status != kStatusOk) Ui_Failure_Describe(failure, status, kPhraseEditColor);
    return Rebuild(win, status, failure);
}

// "Toning": checking it opens the toning colour; unchecking takes the toning away.
int32_t ToningBox(EditingWindow* win, Ui_Failure* failure) {
    const float* tone = win->es->editPars.toneColor;
    bool on = false;
    for (int c = 0; c < 3; ++c) on = on || !(-1e-8f < tone[c] - 0.5f && tone[c] - 0.5f < 1e-8f);
    if (!on) return EditToneColor(win, failure);
    EditorBeginChange(win);
    for (float& c : win->es->editPars.toneColor) c = 0.5f;
    return Rebuild(win, kStatusOk, failure);
}

// Gives handle `handle` the colorId of memory colour slot; a handle that carried that id before
// takes the handle's old one, so that every id still names one handle.
void MarkHandle(EditPars* p, int32_t handle, int32_t slot) {
    const int32_t old = p->hue[handle].colorId;
    for (HueHandle& h : p->hue) {
        if (h.colorId == slot) h.colorId = old;
    }
    p->hue[handle].colorId = slot;
}

// The preferences' "Memory Colors Set" choose what a memory colour changes in the handle: its
// After position (the hue shift), its brightness, its saturation. What is not chosen goes back
// to the handle's value before (the Before position always follows the samples), and the ring
// is put in order again.
int32_t KeepUnsetParts(EditingWindow* win, const HueHandle& before) {
    const int32_t mask = win->env->prefs->memoryColorMask;
    EditState* es = win->es;
    HueHandle& h = es->editPars.hue[es->activeHandle];
    if ((mask & kEditMaskAllHues) == kEditMaskAllHues && (mask & kMaskBrightness) != 0 &&
        (mask & kMaskSaturation) != 0) {
        return kStatusOk;
    }
    if ((mask & kEditMaskAllHues) != kEditMaskAllHues) h.hueShift = before.hueShift;
    if ((mask & kMaskBrightness) == 0) h.brightness = before.brightness;
    if ((mask & kMaskSaturation) == 0) h.saturation = before.saturation;
    const int32_t colorId = h.colorId;
    const int32_t status = HgPlaceHandles(&es->editPars, es->activeHandle);
    for (int32_t i = 0; i < kEditHueCount; ++i) {
        if (es->editPars.hue[i].colorId == colorId) es->activeHandle = i;
    }
    return status;
}

int32_t EditMemoryColor(EditingWindow* win, int32_t slot) {
    EditState* es = win->es;
    EditSnapshot earlier;
    BeginDialogChange(win, &earlier);
    const int32_t subject = es->pointerSubject;
    es->pointerSubject = slot;
    bool accepted = false;
    const int32_t status =
        MemoryColorDialog(&win->dialogEnv, es, &es->memoryColors[slot], &accepted);
    es->pointerSubject = subject;
    if (accepted) {
        char title[256];
        MemoryColorButtonTitle(win->env->state, &es->memoryColors[slot], title, sizeof title);
        Ui_Item_SetText(win->dialog, int16_t(kEditorMemoryColor1 + slot), title);
        StoreDefinitions(win);
    }
    SettleDialogChange(win, earlier);
    Ui_Item_Invalidate(win->dialog, kEditorMemoryColorInfo);
    return status;
}

// A memory-colour button. Alt-click, or a click on an empty slot (there is nothing to apply
// yet), edits the slot; a plain click moves the active handle's samples towards the colour.
int32_t MemoryColorButton(EditingWindow* win, int32_t slot, Ui_Failure* failure) {
    EditState* es = win->es;
    const MemoryColor& mc = es->memoryColors[slot];
    if (EditorAltClick(win) || mc.defined == 0) {
        const int32_t status = EditMemoryColor(win, slot);
        return Ui_Failure_Describe(failure, status, kPhraseEditColor);
    }
    if (es->activeHandleHasSamples == 0) return kStatusOk;
    EditorBeginChange(win);
    EditPars* p = &es->editPars;
    const HueHandle before = p->hue[es->activeHandle];
    MarkHandle(p, es->activeHandle, slot);
    int32_t status = HgApplyMemoryColour(p, es->activeHandle, mc.mcChroma, mc.mcHue, mc.mcHueSlope);
    if (status != kStatusOk) {
        // Nothing of a failed application stays, the handle's new id included.
        *p = es->undo.pars;
        Ui_Failure_Describe(failure, status, kPhraseEditColor);
        return Rebuild(win, status, failure);
    }
    // The ring may have been put back into order: the active handle is the one marked.
    for (int32_t i = 0; i < kEditHueCount; ++i) {
        if (p->hue[i].colorId == slot) es->activeHandle = i;
    }
    es->activeColorId = slot;
    status = KeepUnsetParts(win, before);
    if (status != kStatusOk) {
        *p = es->undo.pars;
        Ui_Failure_Describe(failure, status, kPhraseEditColor);
    }
    return Rebuild(win, status, failure);
}

// The information box names what is under the pointer; the subject changes only over the
// buttons of the hue tab.
int32_t SubjectAt(EditingWindow* win, int32_t v, int32_t h) {
    if (win->es->currentTab != 3) return kMemoryInfoNothing;
    for (int16_t item = kEditorMemoryColor1; item <= kEditorSepia; ++item) {
        Ui_Rect r;
        if (Ui_Item_GetRect(win->dialog, item, &r) == kStatusOk &&
            Ui_Rect_ContainsPoint(&r, v, h)) {
            return item - kEditorMemoryColor1;  // 0..5 the slots, 6 "B/W", 7 "Sepia"
        }
    }
    return kMemoryInfoNothing;
}

int32_t DrawMemoryInfo(UiWindow* w, int16_t item) {
    const EditingWindow* win = EditorOf(w);
    if (win == nullptr) return kStatusError;
    return MemoryInfoDraw(w, item, win->es, win->es->memoryColors, win->es->pointerSubject);
}

int32_t DrawToningSwatch(UiWindow* w, int16_t item) {
    const EditingWindow* win = EditorOf(w);
    Ui_Rect r;
    if (win == nullptr || Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    const EditPars& p = win->es->editPars;
    return SwatchDraw(w, &r, p.toneColor, &p.refRGB);
}

}  // namespace

int32_t EditorColorToolsPointer(UiWindow* w) {
    EditingWindow* win = EditorOf(w);
    Ui_Dlg* d = nullptr;
    if (win == nullptr || Ui_Dlg_Get(w, &d) != kStatusOk) return 0;
    const int32_t subject = SubjectAt(win, d->mouseV, d->mouseH);
    if (subject != win->es->pointerSubject) {
        win->es->pointerSubject = subject;
        Ui_Item_Invalidate(w, kEditorMemoryColorInfo);
    }
    return 0;
}

void EditorColorToolsInit(EditingWindow* win) {
    UiWindow* w = win->dialog;
    win->es->pointerSubject = kMemoryInfoNothing;
    Ui_Dlg_SetDrawProc(w, kEditorToningSwatch, DrawToningSwatch);
    Ui_Dlg_SetDrawProc(w, kEditorMemoryColorInfo, DrawMemoryInfo);
    EditorRefreshMemoryButtons(win);
}

void EditorDefinitionsRestored(EditingWindow* win) {
    StoreDefinitions(win);
    for (int32_t i = 0; i < kMemoryColorCount; ++i) {
        char title[256];
        if (MemoryColorButtonTitle(win->env->state, &win->es->memoryColors[i], title,
                                   sizeof title) == kStatusOk) {
            Ui_Item_SetText(win->dialog, int16_t(kEditorMemoryColor1 + i), title);
        }
    }
    Ui_Item_Invalidate(win->dialog, kEditorMemoryColorInfo);
    Ui_Item_Invalidate(win->dialog, kEditorToningSwatch);
    EditorRefreshMemoryButtons(win);
}

bool EditorColorToolCommand(EditingWindow* win, int16_t item, Ui_Failure* failure) {
    switch (item) {
        case kEditorNeutralPrefs:
            NeutralPreferences(win);
            return true;
        case kEditorBlackWhite:
            ToneWith(win, kColorDefGrayscale, failure);
            return true;
        case kEditorSepia:
            ToneWith(win, kColorDefSepia, failure);
            return true;
        case kEditorToning:
            ToningBox(win, failure);
            return true;
        case kEditorToningSwatch:
            EditToneColor(win, failure);
            return true;
        default:
            break;
    }
    if (kEditorMemoryColor1 <= item && item <= kEditorMemoryColor6) {
        MemoryColorButton(win, item - kEditorMemoryColor1, failure);
        return true;
    }
    return false;
}
