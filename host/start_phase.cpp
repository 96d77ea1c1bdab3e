// The start phase: checks the host and the image, reads the settings of the run, sets up the live
// record, lets the window (or, without it, the automatic settings) decide the correction, and
// filters the image.
//
// DoStart reads as its steps. Each step returns a status and describes a failure in a
// PhaseFailure (what to show, the host result); only DoStart shows it (FailPhase), so every
// failure reaches the user once and the steps never guess what another has shown.
#include "edit/keenhue.h"
#include "edit/prefs.h"
#include "edit/window/editing_window.h"
#include "engine/working_space.h"
#include "host/filter_image.h"
#include "host/host_services.h"
#include "host/monitor_space.h"
#include "host/phases.h"
#include "host/plugin_data.h"
#include "host/preview.h"
#include "host/rects.h"
#include "host/scripting.h"
#include "host/window_host.h"
#include "platform/file.h"
#include "platform/mem.h"
#include "platform/resources.h"
#include "resources/ids/resources.h"
#include "resources/ids/strings.h"

namespace {

// Why a step ended the phase: what the user is told (failure.status 0: nothing; the host says
// it) and the host result.
struct PhaseFailure {
    Ui_Failure failure;
    OSErr result;
};

// Fills why with a failure shown as the error alert with phrase (formatted with number and name).
int32_t Fail(PhaseFailure* why, OSErr result, int32_t status, int32_t phraseId,
             const char* name = nullptr) {
    why->result = result;
    return Ui_Failure_Describe(&why->failure, status, phraseId, 0, name);
}

// A refusal the host gets as its result alone.
int32_t Refuse(PhaseFailure* why, OSErr result) {
    why->result = result;
    Ui_Failure_Clear(&why->failure);
    return kStatusError;
}

// A refusal told with a text of its own in a stop or caution box.
int32_t RefuseWithText(PhaseFailure* why, OSErr result, int32_t textId, UiFailForm form) {
    why->result = result;
    Ui_Failure_DescribeText(&why->failure, kStatusError, textId, form);
    return kStatusError;
}

// The groups each tool owns, tools 1 to 4.
constexpr HgEditMask kToolMask[4] = {kEditMaskTool1Linear, kEditMaskTool2, kEditMaskTool3,
                                     kEditMaskTool4};

// The image mode is looked at before the planes: a grey image has a single plane, and the right
// answer for it is that the mode is not supported, not that channels are missing.
int32_t CheckHostAndImage(const PluginCall* call, FilterRecord* record, PhaseFailure* why) {
    if (record->imageMode != plugInModeRGBColor && record->imageMode != plugInModeRGB48) {
        LogF(call, "gFilterRecord->imageMode = %d", int(record->imageMode));
        return Refuse(why, filterBadMode);
    }
    if (record->planes < 3) {
        return RefuseWithText(why, userCanceledErr, kStrNeedThreeChannels, kUiFailStop);
    }
    if (record->advanceState == nullptr || record->displayPixels == nullptr) {
        LogF(call, "advanceState or displayPixels not available");
        return RefuseWithText(why, errPlugInHostInsufficient, kStrHostLacksServices,
                              kUiFailCaution);
    }
    if (record->samplingSupport == 0) {
        LogF(call, "hostDoesNotSupportSampling");
        return Refuse(why, errPlugInHostInsufficient);
    }
    if (record->depth == 0) record->depth = 8;
    if (record->depth != 8 && record->depth != 16) {
        LogF(call, "gFilterRecord->depth = %d", int(record->depth));
        return Refuse(why, filterBadParameters);
    }
    // The strips are read and written at the depth's sample size: a depth that is not the mode's
    // own (16 for an 8-bit RGB image) would have the module run off the host's buffers.
    if (record->depth != (record->imageMode == plugInModeRGB48 ? 16 : 8)) {
        LogF(call, "gFilterRecord->depth = %d in mode %d", int(record->depth),
             int(record->imageMode));
        return Refuse(why, filterBadParameters);
    }
    return kStatusOk;
}

// The copies of the preferences that steer a run (entries 50-53, 58, 59), the run's settings
// (entries 51, 54, 64, 98, 111-115: the preferences' own, or a replayed action's), and the colour
// definitions and memory colours the run edits (62, 63, 104, 105, 108).
void CopyPrefsIntoRun(const Prefs& p, PluginData* data) {
    RunState& r = data->run;
    const ScriptSettings& s = r.script;
    r.readoutMode = p.readoutMode;
    r.sampleSize = p.sampleSize;
    r.sampleSign = p.sampleSize < 2 ? 1 : -1;
    r.gridLevel = s.gridLevel;
    data->editState.gridLevel = s.gridLevel;
    r.preferredSaturation = s.preferredSaturation;
    data->editState.preferredSaturation = s.preferredSaturation;
    data->editState.keenhueMask = s.keenhueMask;
    // The user's colour definitions and memory colours; the window hands changed ones back.
    data->editState.colorDefs = p.colorDefs;
    for (int i = 0; i < kMemoryColorCount; ++i) data->editState.memoryColors[i] = p.memoryColors[i];
    r.startWith = s.startWith;
    r.startAllSame = s.startAllSame;
    for (int i = 0; i < 4; ++i) r.startTool[i] = s.startTool[i];
    r.liveSliders = p.liveSliders;
    r.showSampledRegion = p.showSampledRegion;
    r.useLargestWindow = p.useLargestWindow;
}

// The image's name for what the run may have to tell about it (a row that could not be
// processed): the host's document title, else a blank, as the analysis's failure names it.
void NameTheImage(FilterRecord* record, PluginData* data) {
    if (GetDocumentTitle(record, data->run.imageName, kPathSize) != kStatusOk)
        Str_CopyBounded(data->run.imageName, kPathSize, " ");
}

// The preferences and the recorded action's parameters; then nothing of an earlier run is left.
// The action's settings steer this run only: the preferences keep the user's own.
int32_t ReadRunSettings(const PluginCall* call, FilterRecord* record, PluginData* data,
                        PhaseFailure* why) {
    int32_t status = ReadPreferences(call, &why->failure);
    if (status != kStatusOk) {
        LogF(call, "Error reading file %s", call->gPrefsPath);
        why->result = filterBadParameters;
        return status;
    }
    ScriptSettingsFromPrefs(call->gPrefs, &data->run.script);
    data->run.scriptReady = 1;
    // Parameters that cannot be read leave the preferences' settings in force: told, not fatal.
    status = ReadScriptParameters(record, &data->run.script, &data->showDialog, call->gState);
    if (status != kStatusOk) {
        Ui_Failure script;
        Ui_Failure_Describe(&script, status, kPhraseReadScript);
        Ui_Failure_Show(call->gState, &script);
    }
    FreeKolmaraParsStuff(call, data);
    return kStatusOk;
}

// The live record in the host's working space, reset in every group.
int32_t SetUpLiveRecord(const PluginCall* call, FilterRecord* record, PluginData* data,
                        PhaseFailure* why) {
    EditState* es = &data->editState;
    RefRGB workingSpace;
    GetWorkingSpace(&record->monitor, &workingSpace, call->gState);
    int32_t status = HgSetReference(&es->editPars, &workingSpace);
    if (status != kStatusOk) {
        LogF(call, "Bad working space");
        Fail(why, filterBadParameters, status, kPhraseVerifyWorkingSpace);
        why->failure.hintId = kHintWorkingSpace;
        return status;
    }
    CopyPrefsIntoRun(*call->gPrefs, data);
    es->bitsPerChannel = int32_t(record->depth);
    status = ResetEditStatePars(es, kEditMaskAll);
    if (status != kStatusOk) {
        LogF(call, "ResetPars error %d", int(status));
        return Fail(why, filterBadParameters, status, kPhraseInitPars);
    }
    es->editPars.sharpenNoise = call->gPrefs->sharpenNoise;
    es->editPars.sharpenNoise.sharpenOn = 0;
    return kStatusOk;
}

// Copies stored settings into the live record under a tool mask, asking first when they were
// made in another working space.
int32_t CopyStored(const PluginCall* call, const EditPars* saved, EditState* es, HgEditMask mask) {
    return CopyParsMasked(saved, es, mask, call->gState, AskUseOtherSpace);
}

// Applies each tool's start mode to the live record. -10 when the user declines to use settings
// made in another working space; any other failure leaves the record part-copied and is the
// caller's to end the run with.
int32_t ApplyStartModes(const PluginCall* call, PluginData* data) {
    RunState& r = data->run;
    EditState* es = &data->editState;
    const ScriptSettings& stored = r.script;
    if (r.startAllSame == 1) {
        r.useKeenhue = r.startWith == kStartKeenhue ? 1 : 0;
        if (r.startWith == kStartPrevious) {
            const RefRGB& ref = stored.previousSettings.refRGB;
            LogF(call, "Previous Pars\ngamma: %f", double(ref.gamma));
            LogF(call, "primaries: %f %f %f %f %f %f", double(ref.primaries[0]),
                 double(ref.primaries[1]), double(ref.primaries[2]), double(ref.primaries[3]),
                 double(ref.primaries[4]), double(ref.primaries[5]));
            LogF(call, "xyzWhite: %f %f %f", double(ref.xyzWhite[0]), double(ref.xyzWhite[1]),
                 double(ref.xyzWhite[2]));
            return CopyStored(call, &stored.previousSettings, es, kEditMaskAll);
        }
        if (r.startWith == kStartCustom)
            return CopyStored(call, &stored.customSettings, es, kEditMaskAll);
        return kStatusOk;
    }
    r.useKeenhue = 1;
    for (int i = 0; i < 4; ++i) {
        if (r.startTool[i] != kStartKeenhue) r.useKeenhue = 0;
    }
    for (int i = 0; i < 4; ++i) {
        int32_t status = kStatusOk;
        if (r.startTool[i] == kStartPrevious) {
            status = CopyStored(call, &stored.previousSettings, es, kToolMask[i]);
        } else if (r.startTool[i] == kStartCustom) {
            status = CopyStored(call, &stored.customSettings, es, kToolMask[i]);
        }
        if (status != kStatusOk) return status;
    }
    return kStatusOk;
}

// Whether any tool starts with the automatic settings.
bool KeenhueWanted(const RunState& r) {
    if (r.startAllSame == 1) return r.startWith == kStartKeenhue;
    for (int i = 0; i < 4; ++i) {
        if (r.startTool[i] == kStartKeenhue) return true;
    }
    return false;
}

// The groups the automatic settings set at the start: every group when all tools start the same
// way, else the groups of each tool that starts with them.
HgEditMask KeenhueStartMask(const RunState& r) {
    if (r.startAllSame == 1) return kEditMaskAll;
    int32_t mask = 0;
    for (int i = 0; i < 4; ++i) {
        if (r.startTool[i] == kStartKeenhue) mask |= kToolMask[i];
    }
    return HgEditMask(mask);
}

// Whether the filter rectangle holds no pixel: nothing to analyse, nothing to filter.
bool FilterRectEmpty(const PluginCall* call) {
    const VRect r = GetFilterRect(Record(call));
    return !(r.top < r.bottom && r.left < r.right);
}

// The automatic settings without the window: analyse a reduced copy of the image and set the
// groups of the tools that start with them.
int32_t RunKeenhue(const PluginCall* call, PluginData* data, Ui_Failure* failure) {
    EditState* es = &data->editState;
    int32_t status =
        GetAnalysisImage(call, es, data->run.previewWidth, data->run.previewHeight, failure);
    if (status != kStatusOk) return status;
    status = AutoSettings(es, KeenhueStartMask(data->run), &es->analysisImage,
                          PrefsThreadCount(call->gPrefs));
    return Ui_Failure_Describe(failure, status, kPhraseAutoSettings);
}

// Writes the preferences for the editing window (OK, Cancel and "Preferences...").
int32_t WritePrefsForWindow(void* context, Ui_Failure* failure) {
    return WritePreferences(static_cast<const PluginCall*>(context), failure);
}

// The window path: the help text in a temporary file for the window's "?" items, the document's
// title, the editing window over the host's preview, and the help file removed again. Whether
// the person confirmed comes back in *confirmed; without a display the run says so and changes
// nothing.
int32_t RunWindowPath(PluginCall* call, PluginData* data, PhaseFailure* why, bool* confirmed) {
    *confirmed = false;
    char helpPath[kPathSize];
    int32_t status = Ui_Path_SetToTempFile(call->gState, call->gTempPath, helpPath, kPathSize);
    if (status != kStatusOk) {
        // No name was made (helpPath holds nothing sound): the folder tried is what to tell.
        LogF(call, "Ui_Path_SetToTempFile error %d, %s", int(status), call->gTempPath);
        return Fail(why, filterBadParameters, status, kPhraseCreateFile, call->gTempPath);
    }
    FLSpec spec;
    FLSpecDisk(&spec, helpPath);
    status = Ui_ResToFile(call->gState, kResTypeHelp, kResHelp, &spec);
    if (status != kStatusOk) {
        // A file cut short by a full disk is of no use to anyone: it goes again.
        FLDelete(&spec);
        LogF(call, "Ui_ResToFile error %d, %s", int(status), helpPath);
        FLDelete(&spec);
        return Fail(why, filterBadParameters, status, kPhraseCreateFile, helpPath);
    }
    if (GetDocumentTitle(Record(call), data->run.title, kPathSize) != kStatusOk) {
        Ui_ResToCString(call->gState, kStrAppName, data->run.title);
    }
    WindowHost host;
    WindowHostProcs procs;
    FillWindowHostProcs(&host, call, data, call->gPrefs, call->gState, &procs);
    const HelpContext help{call->gState, helpPath, &call->gPrefs->showStartUpGuide, nullptr};
    EditingWindowEnv env{};
    env.state = call->gState;
    env.prefs = call->gPrefs;
    env.host = &procs;
    env.help = &help;
    env.documentName = data->run.title;
    env.keenhueStart = KeenhueWanted(data->run) ? KeenhueStartMask(data->run) : HgEditMask(0);
    const int16_t* bounds = data->run.windowBounds;
    env.largestBounds = Ui_Rect_Make(bounds[0], bounds[1], bounds[2], bounds[3]);
    env.writePrefs = WritePrefsForWindow;
    env.context = call;
    env.confirmSpace = AskUseOtherSpace;
    // The window opens on the tab and colour-balance method it was left with (the method while
    // the preferences offer its menu).
    data->editState.currentTab = call->gPrefs->lastTab;
    if (call->gPrefs->showMethodMenu != 0) data->editState.balanceMethod = call->gPrefs->lastMethod;
    LogF(call, "RunEditingWindow...");
    status = RunEditingWindow(&env, &data->editState, confirmed);
    LogF(call, "...RunEditingWindow %d, %d", int(status), *confirmed ? 1 : 0);
    // The preview drew into the host's output buffers, which the host takes back into the image.
    // Filtering overwrites them; OK in a file-writing mode leaves the image as it was, so its
    // own pixels go back over them first.
    Ui_Failure putBack;
    Ui_Failure_Clear(&putBack);
    if (status == kStatusOk && *confirmed && call->gPrefs->okMode != 0 &&
        PutBackImage(call, &data->run.preview, &putBack) != kStatusOk) {
        *confirmed = false;
    }
    ReleaseWindowHost(&host);
    FLDelete(&spec);
    data->showDialog = 0;
    data->run.okMode = call->gPrefs->okMode;
    if (status == kStatusUnsupported) {
        return RefuseWithText(why, userCanceledErr, kStrNoDisplay, kUiFailStop);
    }
    if (status != kStatusOk) return Fail(why, filterBadParameters, status, kPhraseLaunch);
    if (putBack.status != kStatusOk) {
        why->failure = putBack;
        why->result = putBack.status == kStatusCancelled ? userCanceledErr : filterBadParameters;
        return putBack.status;
    }
    return kStatusOk;
}

// Without the window: the automatic settings when a tool starts with them, else the settings the
// start modes left. Whether the run goes on; a failure of the automatic settings is shown and
// ends the run as a cancel.
bool DecideWithoutWindow(const PluginCall* call, PluginData* data) {
    data->run.okMode = 0;
    if (!KeenhueWanted(data->run)) {
        LogF(call, "Will build HG from fixed parameters (previous, custom, or null)...");
        return true;
    }
    LogF(call, "Find Keenhue edit pars...");
    Ui_Failure failure;
    int32_t status = RunKeenhue(call, data, &failure);
    if (status != kStatusOk) {
        Ui_Failure_Show(call->gState, &failure);
        LogF(call, "Keenhue error %d", int(status));
        return false;
    }
    data->run.keenhueApplied = 1;
    return true;
}

// Writes the preferences; a failure is shown once in a run (*told), however often they are
// written after it, and the run goes on without them: the image is what the user asked for.
void WritePreferencesOrTell(const PluginCall* call, bool* told) {
    Ui_Failure failure;
    if (WritePreferences(call, &failure) != kStatusOk && !*told) {
        Ui_Failure_Show(call->gState, &failure);
        *told = true;
    }
}

// A correction decided in the window is recorded as the correction it is: the user's settings as
// the window left them, with every tool starting from the previous settings, which the run sets
// to what it applied. The start modes the window opened with would start the tools afresh on a
// replay and lose everything done in the window.
void RecordWindowCorrection(const PluginCall* call, ScriptSettings* script) {
    ScriptSettingsFromPrefs(call->gPrefs, script);
    script->startAllSame = 1;
    script->startWith = kStartPrevious;
}

// The applied settings become the previous settings, of the preferences and of what the run
// records.
void TakeAsPrevious(const PluginCall* call, PluginData* data) {
    call->gPrefs->previousSettings = data->editState.editPars;
    data->run.script.previousSettings = data->editState.editPars;
}

// The applied settings become the previous settings, and the preferences are written.
void RecordAppliedSettings(const PluginCall* call, PluginData* data, bool* prefsTold) {
    TakeAsPrevious(call, data);
    call->gPrefs->sharpenNoise = data->editState.editPars.sharpenNoise;
    WritePreferencesOrTell(call, prefsTold);
}

}  // namespace

int32_t AskUseOtherSpace(UiState* state) {
    char text[256], useAnyway[256], cancel[256];
    Ui_ResToCString(state, kStrSpaceChanged, text);
    Ui_ResToCString(state, kStrUseAnyway, useAnyway);
    Ui_ResToCString(state, kStrCancel, cancel);
    int16_t item = 0;
    int32_t status = Ui_Alert_Ask(state, text, useAnyway, cancel, 1, &item);
    if (status != kStatusOk) return status;
    return item == 1 ? kStatusOk : kStatusCancelled;
}

void DoStart(PluginCall* call) {
    LogF(call, "DoStart...");
    if (!OpenPhaseBlocks(call, false)) return;
    FilterRecord* record = Record(call);
    PluginData* data = call->gData;
    PhaseFailure why{};
    if (CheckHostAndImage(call, record, &why) != kStatusOk ||
        ReadRunSettings(call, record, data, &why) != kStatusOk ||
        SetUpLiveRecord(call, record, data, &why) != kStatusOk) {
        FailPhase(call, why.failure, why.result);
        return;
    }
    NameTheImage(record, data);
    int32_t status = ApplyStartModes(call, data);
    if (status == kStatusCancelled) {
        SetResult(call, userCanceledErr);
        return;
    }
    if (status != kStatusOk) {
        // The live record holds some tools' stored settings and not others': never filtered.
        LogF(call, "ApplyStartModes error %d", int(status));
        Fail(&why, filterBadParameters, status, kPhraseInitPars);
        FailPhase(call, why.failure, why.result);
        return;
    }
    if (data->showDialog == 0 && KeenhueWanted(data->run) && FilterRectEmpty(call)) {
        // No pixel to analyse and none to change: the run is done, as an empty rectangle is
        // elsewhere, and the stored settings stay as they were.
        LogF(call, "Empty filter rectangle: nothing to analyse");
        FreeKolmaraParsStuff(call, data);
        LogF(call, "...DoStart");
        return;
    }

    bool confirmed = false;
    if (data->showDialog == 1) {
        if (RunWindowPath(call, data, &why, &confirmed) != kStatusOk) {
            FailPhase(call, why.failure, why.result);
            return;
        }
        if (confirmed) RecordWindowCorrection(call, &data->run.script);
    } else {
        confirmed = DecideWithoutWindow(call, data);
    }
    if (confirmed) {
        call->gPrefs->okMode = data->run.okMode;
        TakeAsPrevious(call, data);
    }
    LogF(call, "Update preferences...");
    bool prefsTold = false;
    WritePreferencesOrTell(call, &prefsTold);
    LogF(call, "... preferences done");
    if (confirmed && data->run.okMode == 0) {
        LogF(call, "filter image...");
        Ui_Failure failure;
        if (FilterImage(call, data, &failure) == kStatusOk) {
            RecordAppliedSettings(call, data, &prefsTold);
        } else {
            Ui_Failure_Show(call->gState, &failure);
        }
        LogF(call, "... filter image");
    } else if (confirmed) {
        // OK in a file-writing mode: the window wrote its file. The run ends with the normal
        // result and the image as it was.
        LogF(call, "OK mode %d: image left unchanged", int(data->run.okMode));
    } else if (*call->gResult == noErr) {
        // A host error set on the way (a refused request) is kept: it says more than a cancel.
        SetResult(call, userCanceledErr);
    }
    FreeKolmaraParsStuff(call, data);
    LogF(call, "...DoStart");
}
