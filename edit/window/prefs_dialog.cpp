// The preferences dialog; see prefs_dialog.h.
#include "edit/window/prefs_dialog.h"

#include "edit/pars_text.h"
#include "edit/settings_text.h"
#include "edit/window/dialog_tips.h"
#include "edit/window/help_window.h"
#include "edit/window/keenhue_prefs_dialog.h"
#include "edit/window/slider.h"
#include "platform/mem.h"
#include "platform/paths.h"
#include "platform/resources.h"
#include "platform/ui/choosers.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "resources/ids/dlg_preferences.h"
#include "resources/ids/strings.h"

namespace {

constexpr int16_t kToolLists[4] = {kPreferencesStart1With, kPreferencesStart2With,
                                   kPreferencesStart3With, kPreferencesStart4With};
constexpr int16_t kStartLists[5] = {kPreferencesStartWith, kPreferencesStart1With,
                                    kPreferencesStart2With, kPreferencesStart3With,
                                    kPreferencesStart4With};

struct FlagBox {
    int16_t item;
    uint8_t Prefs::*field;
};
constexpr FlagBox kFlags[] = {
    {kPreferencesLiveSliders, &Prefs::liveSliders},
    {kPreferencesSharpening, &Prefs::previewSharpening},
    {kPreferencesNoiseRemoval, &Prefs::previewNoise},
    {kPreferencesShowSampledRegion, &Prefs::showSampledRegion},
    {kPreferencesShowPixelValues, &Prefs::showPixelValues},
    {kPreferencesShowCurveControl, &Prefs::showCurveControl},
    {kPreferencesShowMethodMenu, &Prefs::showMethodMenu},
    {kPreferencesShowStartUpGuide, &Prefs::showStartUpGuide},
    {kPreferencesUseLargestWindow, &Prefs::useLargestWindow},
};

struct PrefsWindow {
    const DialogEnv* env;
    Prefs* work;      // the dialog's copy (Mem_Alloc)
    EditPars* probe;  // room to read a custom settings file into before it is accepted
};

PrefsWindow* Of(UiWindow* w) {
    return Ui_Dlg_UserData<PrefsWindow>(w);
}

// The start mode a list edits: "Start With" the one for all tools, the tool lists their own.
int32_t* ModeOf(Prefs* p, int16_t item) {
    if (item == kPreferencesStartWith) return &p->startWith;
    for (int i = 0; i < 4; ++i) {
        if (kToolLists[i] == item) return &p->startTool[i];
    }
    return nullptr;
}

void ShowStartLists(UiWindow* w, Prefs* p) {
    const uint8_t same = p->startAllSame == 1;
    Ui_Item_Enable(w, kPreferencesStartWith, same);
    for (int16_t item : kToolLists) Ui_Item_Enable(w, item, uint8_t(!same));
}

void ShowCustomName(UiWindow* w, PrefsWindow* pw) {
    char none[256];
    const char* name = pw->work->customName;
    if (name[0] == 0) name = Ui_ResToCString(pw->env->state, kStrNoCustomSettings, none);
    Ui_Item_SetText(w, kPreferencesCustomName, name);
}

void ShowAll(UiWindow* w, PrefsWindow* pw) {
    Prefs* p = pw->work;
    Ui_List_SetSelection(w, kPreferencesOkMode, p->okMode + 1);
    for (int16_t item : kStartLists) {
        int32_t position = 4;
        StartModeToListPosition(*ModeOf(p, item), &position);
        Ui_List_SetSelection(w, item, position);
    }
    Ui_Item_SetCheck(w, kPreferencesStartAllSame, p->startAllSame);
    ShowStartLists(w, p);
    for (const FlagBox& box : kFlags) Ui_Item_SetCheck(w, box.item, p->*box.field);
    ShowCustomName(w, pw);
}

// A start list changed: custom settings can only be chosen once some are loaded; otherwise the
// message is shown and the list goes back to the mode it had.
int32_t StartListChanged(UiWindow* w, PrefsWindow* pw, int16_t item) {
    int32_t* mode = ModeOf(pw->work, item);
    int32_t position = 0, chosen = 0;
    if (mode == nullptr || Ui_List_GetSelection(w, item, &position) != kStatusOk ||
        StartModeFromListPosition(position, &chosen) != kStatusOk) {
        return kStatusError;
    }
    if (chosen == kStartCustom && pw->work->customName[0] == 0) {
        char text[256];
        Ui_Alert_Note(pw->env->state, Ui_ResToCString(pw->env->state, kStrNeedCustomSettings, text),
                      nullptr, 1);
        int32_t previous = 4;
        StartModeToListPosition(*mode, &previous);
        return Ui_List_SetSelection(w, item, previous);
    }
    *mode = chosen;
    return kStatusOk;
}

// "Load Custom Settings...": the chosen file becomes the dialog's custom settings, its folder the
// folder offered next time and its name the one shown. A file without the sharpen and noise part
// gives the colour settings and keeps the sharpen and noise settings the custom set had.
int32_t LoadCustom(PrefsWindow* pw, Ui_Failure* failure) {
    UiState* state = pw->env->state;
    Prefs* p = pw->work;
    char prompt[256], path[kPathSize];
    Ui_ResToCString(state, kStrSelectCustomSettings, prompt);
    Str_CopyBounded(path, sizeof path, p->customFolder);
    int32_t status = Ui_Choose_TextFile(state, prompt, path);
    if (status == kStatusCancelled) return status;
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseChooseFile);
    Ui_Path_Folder(path, p->customFolder);
    *pw->probe = p->customSettings;
    status = ReadParsText(path, pw->probe);
    if (status == kStatusFormat) {
        *pw->probe = p->customSettings;
        FLSpec spec;
        FLSpecDisk(&spec, path);
        status = HgReadSettings(pw->probe, &spec);
        pw->probe->sharpenNoise = p->customSettings.sharpenNoise;
    }
    // A sharpen or noise value replaced by its default still leaves usable settings.
    if (status != kStatusOk && status != kStatusUnsupported) {
        return Ui_Failure_Describe(failure, status, kPhraseReadFile, 0, path);
    }
    p->customSettings = *pw->probe;
    Str_CopyBounded(p->customName, sizeof p->customName, Ui_Path_FileName(path));
    return kStatusOk;
}

int32_t Track(UiWindow* w, int16_t item, int16_t phase) {
    return item == kPreferencesHelp ? HelpButtonTrack(w, item, phase) : 0;
}

int32_t ItemHit(UiWindow* w, int16_t item) {
    PrefsWindow* pw = Of(w);
    if (pw == nullptr) return kStatusError;
    Prefs* p = pw->work;
    for (const FlagBox& box : kFlags) {
        if (box.item != item) continue;
        int32_t state = 0;
        Ui_Item_ToggleCheck(w, item, &state);
        p->*box.field = uint8_t(state == 1);
        return kStatusOk;
    }
    if (ModeOf(p, item) != nullptr) return StartListChanged(w, pw, item);
    switch (item) {
        case kPreferencesOk:
        case kPreferencesCancel:
            Ui_Dlg_Close(w, item);
            return kStatusOk;
        case kPreferencesOkMode: {
            int32_t position = 0;
            if (Ui_List_GetSelection(w, item, &position) == kStatusOk && 1 <= position &&
                position <= 4) {
                p->okMode = position - 1;
            }
            return kStatusOk;
        }
        case kPreferencesStartAllSame: {
            int32_t state = 0;
            Ui_Item_ToggleCheck(w, item, &state);
            p->startAllSame = uint8_t(state == 1);
            ShowStartLists(w, p);
            return kStatusOk;
        }
        case kPreferencesLoadCustom: {
            Ui_Failure failure;
            Ui_Failure_Clear(&failure);
            if (LoadCustom(pw, &failure) == kStatusOk) ShowCustomName(w, pw);
            Ui_Failure_Show(pw->env->state, &failure);
            return kStatusOk;
        }
        case kPreferencesKeenhuePrefs: {
            DialogEnv nested = *pw->env;
            nested.parent = w;
            bool accepted = false;
            return KeenhuePrefsDialog(&nested, &p->keenhueMask, &p->preferredSaturation,
                                      &p->memoryColorMask, &accepted);
        }
        case kPreferencesRestoreDefaults:
            ResetPrefsDialogEntries(p);
            ShowAll(w, pw);
            return kStatusOk;
        case kPreferencesHelp:
            ShowHelpTopic(pw->env->help, kTopicPreferences);
            return kStatusOk;
        default:
            return kStatusOk;
    }
}

int32_t Init(UiWindow* w) {
    PrefsWindow* pw = Of(w);
    if (pw == nullptr) return kStatusProblem;
    Ui_Dlg_SetItemHitProc(w, ItemHit);
    DialogTipsSet(w, kDlgPreferences);
    Ui_Dlg_SetTrackProc(w, Track);
    Ui_Dlg_SetDrawProc(w, kPreferencesHelp, HelpButtonDraw);
    Ui_Item_SetDefault(w, kPreferencesOk);
    int32_t status =
        Ui_List_Fill(w, kPreferencesOkMode, kStrOkModeEditImages, kStrOkModeCreateHuegrids);
    for (int16_t item : kStartLists) {
        if (status == kStatusOk) status = Ui_List_Fill(w, item, kStrStartKeenhue, kStrStartReset);
    }
    if (status != kStatusOk) return status;
    // The standalone application's items: hidden here whatever the template says.
    for (int16_t item = kPreferencesWorkingSpaceLabel; item <= kPreferencesLowerCase; ++item) {
        Ui_Item_Show(w, item, 0);
    }
    Ui_Item_Enable(w, kPreferencesUseLargestWindow, 0);
    ShowAll(w, pw);
    return kStatusOk;
}

}  // namespace

int32_t PreferencesDialog(const DialogEnv* env, Prefs* prefs, bool* accepted) {
    if (env == nullptr || prefs == nullptr || accepted == nullptr) return kStatusProblem;
    *accepted = false;
    MemBlock<Prefs> work(1);
    MemBlock<EditPars> probe(1);
    if (work.get() == nullptr || probe.get() == nullptr) return kStatusNoMemory;
    *work.get() = *prefs;
    PrefsWindow pw{env, work.get(), probe.get()};
    int16_t item = 0;
    int32_t status = Ui_Dlg_Run(env->state, kDlgPreferences, env->parent, Init, &pw, &item);
    if (status != kStatusOk) return status;
    if (item == kPreferencesOk) {
        CopyPrefsDialogEntries(work.get(), prefs);
        prefs->dialogPars = work.get()->dialogPars;
        *accepted = true;
    }
    return kStatusOk;
}
