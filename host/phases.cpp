// The filter phases: about, parameters, start, continue and finish (the prepare phase and its
// memory budget are in prepare.cpp, the streaming of the image in filter_image.cpp).
#include "edit/keenhue.h"
#include "edit/pars_vector.h"
#include "engine/huegrid_build.h"
#include "engine/working_space.h"
#include "host/analysis_image.h"
#include "host/filter_image.h"
#include "host/host_services.h"
#include "host/plugin.h"
#include "host/rects.h"
#include "host/scripting.h"
#include "platform/alert.h"
#include "platform/debug_log.h"
#include "platform/file.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/prefs_file.h"
#include "platform/resources.h"
#include "platform/ui/about_box.h"

namespace {

constexpr int32_t kStringAppName = 1000;
constexpr int32_t kStringPrefsFile = 1003;
constexpr int32_t kStringVersion = 1005;
constexpr int32_t kStringNotice = 1019;
constexpr int32_t kStringNeedRgb = 1043;
constexpr int32_t kHintWorkingSpace = 2004;
constexpr int32_t kPhraseCreateFile = 3002;
constexpr int32_t kPhraseReadPrefs = 3010;
constexpr int32_t kPhraseUpdatePrefs = 3011;
constexpr int32_t kPhraseReadImage = 3012;
constexpr int32_t kPhraseWorkingSpace = 3028;
constexpr int32_t kPhraseScript = 3032;
constexpr int32_t kPhraseInitPars = 3037;

// The groups each tool owns, tools 1 to 4.
constexpr HgEditMask kToolMask[4] = {kEditMaskTool1Linear, kEditMaskTool2, kEditMaskTool3,
                                     kEditMaskTool4};

// The copies of the preferences that steer a run (entries 50-54, 58, 59, 64, 111-115).
void CopyPrefsIntoRun(const Prefs& p, PluginData* data) {
    RunState& r = data->run;
    r.readoutMode = p.readoutMode;
    r.sampleSize = p.sampleSize;
    r.sampleSign = p.sampleSize < 2 ? 1 : -1;
    r.gridLevel = p.gridLevel;
    data->editState.gridLevel = p.gridLevel;
    r.preferredSaturation = p.preferredSaturation;
    data->editState.preferredSaturation = p.preferredSaturation;
    data->editState.keenhueMask = p.keenhueMask;
    r.startWith = p.startWith;
    r.startAllSame = p.startAllSame;
    for (int i = 0; i < 4; ++i) r.startTool[i] = p.startTool[i];
    r.liveSliders = p.liveSliders;
    r.showSampledRegion = p.showSampledRegion;
    r.useLargestWindow = p.useLargestWindow;
}

// Applies each tool's start mode to the live record. -10 when the user declines to use settings
// made in another working space.
int32_t ApplyStartModes(PluginData* data) {
    RunState& r = data->run;
    EditState* es = &data->editState;
    if (r.startAllSame == 1) {
        r.useKeenhue = r.startWith == kStartKeenhue ? 1 : 0;
        if (r.startWith == kStartPrevious) {
            const RefRGB& ref = gPrefs->previousSettings.refRGB;
            LogF("Previous Pars\ngamma: %f", double(ref.gamma));
            LogF("primaries: %f %f %f %f %f %f", double(ref.primaries[0]), double(ref.primaries[1]),
                 double(ref.primaries[2]), double(ref.primaries[3]), double(ref.primaries[4]),
                 double(ref.primaries[5]));
            LogF("xyzWhite: %f %f %f", double(ref.xyzWhite[0]), double(ref.xyzWhite[1]),
                 double(ref.xyzWhite[2]));
            return CopyParsMasked(&gPrefs->previousSettings, es, kEditMaskAll, gState);
        }
        if (r.startWith == kStartCustom) {
            return CopyParsMasked(&gPrefs->customSettings, es, kEditMaskAll, gState);
        }
        return kStatusOk;
    }
    r.useKeenhue = 1;
    for (int i = 0; i < 4; ++i) {
        if (r.startTool[i] != kStartKeenhue) r.useKeenhue = 0;
    }
    for (int i = 0; i < 4; ++i) {
        int32_t status = kStatusOk;
        if (r.startTool[i] == kStartPrevious) {
            status = CopyParsMasked(&gPrefs->previousSettings, es, kToolMask[i], gState);
        } else if (r.startTool[i] == kStartCustom) {
            status = CopyParsMasked(&gPrefs->customSettings, es, kToolMask[i], gState);
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

// The automatic settings without the window: analyse a reduced copy of the image and set the
// groups of the tools that start with them. *shown tells whether a failure has been shown.
int32_t RunKeenhue(PluginData* data, bool* shown) {
    EditState* es = &data->editState;
    *shown = false;
    int32_t status = GetAnalysisImage(es, data->run.previewWidth, data->run.previewHeight);
    DescribeHostInput(Record(), &data->run.hostInput);
    DescribeHostMask(Record(), &data->run.hostMask);
    if (status != kStatusOk) {
        // The host's refusals, the resampler and an empty selection have been shown already.
        *shown = status != kStatusNoMemory && status != kStatusProblem;
        return status;
    }
    status = AutoSettings(es, KeenhueStartMask(data->run), &es->analysisImage, gState);
    *shown = true;
    return status;
}

// The window path. The editing window is not part of the module yet: the window answers Cancel,
// as a person closing it would, after the help text has been written and removed again.
int32_t RunWindowPath(PluginData* data, uint8_t* confirmed) {
    *confirmed = 0;
    char helpPath[kPathSize];
    int32_t status = Ui_Path_SetToTempFile(gState, gTempPath, helpPath, kPathSize);
    if (status != kStatusOk) {
        AlertWithPhrase(status, kPhraseCreateFile, helpPath, nullptr);
        LogF("Ui_Path_SetToTempFile error %d, %s", status, helpPath);
        SetResult(filterBadParameters);
        return status;
    }
    FLSpec spec;
    FLSpecDisk(&spec, helpPath);
    status = Ui_ResToFile(gState, kResTypeHelp, 1000, &spec);
    if (status != kStatusOk) {
        AlertWithPhrase(status, kPhraseCreateFile, helpPath, nullptr);
        LogF("Ui_ResToFile error %d, %s", status, helpPath);
        SetResult(filterBadParameters);
        return status;
    }
    if (GetDocumentTitle(Record(), data->run.title, kPathSize) != kStatusOk) {
        Ui_ResToCString(gState, kStringAppName, data->run.title);
    }
    LogF("The editing window is not available in this build; the run is cancelled.");
    FLDelete(&spec);
    data->showDialog = 0;
    return kStatusOk;
}

}  // namespace

void AlertWithPhrase(int32_t status, int32_t phraseId, const char* text, const char* hint) {
    char pattern[kPathSize];
    char phrase[kScratchSize];
    Ui_ResToCString(gState, phraseId, pattern);
    Ui_FormatStringN(phrase, sizeof phrase, pattern, text != nullptr ? text : "");
    ShowErrorAlert(status, phrase, hint);
}

// The value handed to the platform's file-information step for the preferences file.
static int32_t gPrefsFileInfo = 131;

int32_t ReadPreferences() {
    return Ui_Prefs_ReadAll(gState, gPrefsPath, &gPrefsFileInfo, ReadPrefEntry, WritePrefEntries);
}

int32_t WritePreferences() {
    return Ui_Prefs_WriteAll(gState, gPrefsPath, &gPrefsFileInfo, WritePrefEntries);
}

void DoAbout() {
    gStateRef = &gState;
    Ui_Alert_SetStateRef(gStateRef);
    char version[kPathSize];
    Ui_ResToCString(gState, kStringVersion, version);
    Ui_AboutRecord about{kStringAppName, version, 1000, kStringNotice, 3, -1, nullptr};
    int16_t item = 0;
    Ui_About_Run(gState, &about, &item);
    gStateRef = nullptr;
    Ui_Alert_SetStateRef(nullptr);
}

int32_t InitParameters() {
    FilterRecord* record = Record();
    if (record->depth == 0) record->depth = 8;
    gParams->signature = PluginSignature;
    if (Ui_Path_SetToPrefFolder(gState, gPrefsPath, kPathSize) != kStatusOk &&
        Ui_Path_SetToCurrentFolder(gPrefsPath) != kStatusOk) {
        gPrefsPath[0] = 0;
    }
    if (Ui_Path_SetToTempFolder(gTempPath) != kStatusOk)
        Str_CopyBounded(gTempPath, kPathSize, gPrefsPath);
    char name[kPathSize];
    Ui_ResToCString(gState, kStringPrefsFile, name);
    size_t used = Str_Length(gPrefsPath);
    Str_CopyBounded(gPrefsPath + used, kPathSize - used, name);
    SetPrefsDefaults(gPrefs);
    int32_t status = ReadPreferences();
    if (status != kStatusOk) {
        AlertWithPhrase(status, kPhraseReadPrefs, gPrefsPath, nullptr);
        LogF("InitParameters: Ui_Prefs_ReadAll error %d, %s", status, gPrefsPath);
        SetResult(filterBadParameters);
    }
    return status;
}

int32_t InitData() {
    gData->signature = PluginSignature;
    gData->rowSkip = 1;
    gData->showDialog = 1;
    Mem_Fill(&gData->run, 0, sizeof gData->run);
    gData->run.hostHasColourServices = Record()->colorServices != nullptr ? 1 : 0;
    gData->run.gridLevel = gPrefs->gridLevel;
    gData->run.liveSliders = gPrefs->liveSliders;
    gData->run.showSampledRegion = gPrefs->showSampledRegion;
    gData->run.useLargestWindow = gPrefs->useLargestWindow;
    gData->run.readoutMode = gPrefs->readoutMode;
    return EditStateInit(&gData->editState, nullptr);
}

void DoParameters() {
    LogF("DoParameters...");
    FilterRecord* record = Record();
    if (record->parameters == nullptr) CreateParametersHandle();
    if (*gResult == noErr && (gDataHandle == nullptr || *gDataHandle == 0)) CreateDataHandle();
    if (*gResult == noErr) LockHandles();
    if (*gResult == noErr && InitParameters() == kStatusOk && *gResult == noErr) InitData();
    LogF("...DoParameters");
}

void FreeKolmaraParsStuff(PluginData* data) {
    LogF("FreeKolmaraParsStuff...");
    FilterState& f = data->run.filter;
    HgFree(f.transform);
    f.transform = nullptr;
    HgApplierFree(f.applier);
    f.applier = nullptr;
    NoiseFilterFree(f.noise);
    f.noise = nullptr;
    LogF("FreeImages...");
    EditStateFreeAnalysis(&data->editState);
    LogF("...FreeImages");
    LogF("...FreeKolmaraParsStuff");
}

void DoStart() {
    LogF("DoStart...");
    FilterRecord* record = Record();
    LockHandles();
    if (*gResult != noErr) return;
    if (ValidateParameters() != kStatusOk || ValidateData() != kStatusOk) {
        UnlockHandles();
        record->parameters = nullptr;
        *gDataHandle = 0;
        DoParameters();
        if (*gResult != noErr) return;
    }
    // The image mode is looked at before the planes: a grey image has a single plane, and the
    // right answer for it is that the mode is not supported, not that channels are missing.
    if (record->imageMode != plugInModeRGBColor && record->imageMode != plugInModeRGB48) {
        LogF("gFilterRecord->imageMode = %d", int(record->imageMode));
        SetResult(filterBadMode);
        return;
    }
    if (record->planes < 3) {
        char text[kPathSize];
        Ui_Alert_Stop(gState, Ui_ResToCString(gState, kStringNeedRgb, text), nullptr, 0);
        SetResult(userCanceledErr);
        return;
    }
    if (record->advanceState == nullptr || record->displayPixels == nullptr) {
        Ui_Alert_Caution(gState, "This host does not offer the services Tintara Kolmara Pro needs.",
                         nullptr, 1);
        LogF("advanceState or displayPixels not available");
        SetResult(errPlugInHostInsufficient);
        return;
    }
    if (record->samplingSupport == 0) {
        LogF("hostDoesNotSupportSampling");
        SetResult(errPlugInHostInsufficient);
        return;
    }
    if (record->depth == 0) record->depth = 8;
    if (record->depth != 8 && record->depth != 16) {
        LogF("gFilterRecord->depth = %d", int(record->depth));
        SetResult(filterBadParameters);
        return;
    }
    int32_t status = ReadPreferences();
    if (status != kStatusOk) {
        AlertWithPhrase(status, kPhraseReadPrefs, gPrefsPath, nullptr);
        LogF("Error reading file %s", gPrefsPath);
        SetResult(filterBadParameters);
        return;
    }
    PluginData* data = gData;
    EditState* es = &data->editState;
    status = ReadScriptParameters(record, gPrefs, &data->showDialog, gState);
    if (status != kStatusOk) AlertWithPhrase(status, kPhraseScript, nullptr, nullptr);
    FreeKolmaraParsStuff(data);

    RefRGB workingSpace;
    GetWorkingSpace(&record->monitor, &workingSpace, gState);
    status = HgSetReference(&es->editPars, &workingSpace);
    if (status != kStatusOk) {
        char hint[kPathSize];
        char phrase[kPathSize];
        ShowErrorAlert(status, Ui_ResToCString(gState, kPhraseWorkingSpace, phrase),
                       Ui_ResToCString(gState, kHintWorkingSpace, hint));
        LogF("Bad working space");
        SetResult(filterBadParameters);
        return;
    }
    CopyPrefsIntoRun(*gPrefs, data);
    es->bitsPerChannel = int32_t(record->depth);
    status = ResetEditStatePars(es, kEditMaskAll);
    if (status != kStatusOk) {
        char phrase[kPathSize];
        ShowErrorAlert(status, Ui_ResToCString(gState, kPhraseInitPars, phrase), nullptr);
        LogF("ResetPars error %d", status);
        SetResult(filterBadParameters);
        return;
    }
    es->editPars.sharpenNoise = gPrefs->sharpenNoise;
    es->editPars.sharpenNoise.sharpenOn = 0;

    status = ApplyStartModes(data);
    if (status == kStatusCancelled) {
        SetResult(userCanceledErr);
        return;
    }

    uint8_t confirmed = 0;
    if (data->showDialog == 1) {
        if (RunWindowPath(data, &confirmed) != kStatusOk) return;
    } else {
        data->run.okMode = 0;
        if (KeenhueWanted(data->run)) {
            LogF("Find Keenhue edit pars...");
            bool shown = false;
            status = RunKeenhue(data, &shown);
            if (status == kStatusOk) {
                data->run.keenhueApplied = 1;
                confirmed = 1;
            } else {
                // One alert per failure: the steps below have said what went wrong already,
                // except for a lack of memory or a missing argument.
                if (!shown && status != kStatusCancelled) {
                    AlertWithPhrase(status, kPhraseReadImage, " ", nullptr);
                }
                LogF("Keenhue error %d", status);
                confirmed = 0;
            }
        } else {
            LogF("Will build HG from fixed parameters (previous, custom, or null)...");
            confirmed = 1;
        }
    }
    if (confirmed == 1 && data->showDialog == 0) {
        gPrefs->okMode = data->run.okMode;
        gPrefs->previousSettings = es->editPars;
    }
    LogF("Update preferences...");
    status = WritePreferences();
    if (status != kStatusOk) AlertWithPhrase(status, kPhraseUpdatePrefs, gPrefsPath, nullptr);
    LogF("... preferences done");
    if (confirmed == 1 && data->run.okMode == 0) {
        LogF("filter image...");
        FilterImage(data);
        LogF("... filter image");
    } else if (*gResult == noErr) {
        // A host error set on the way (a refused request) is kept: it says more than a cancel.
        SetResult(userCanceledErr);
    }
    FreeKolmaraParsStuff(data);
    LogF("...DoStart");
}

void DoContinue() {
    FilterRecord* record = Record();
    VRect empty{0, 0, 0, 0};
    SetInRect(record, empty);
    SetOutRect(record, empty);
    SetMaskRect(record, empty);
}

void DoFinish() {
    LogF("DoFinish...");
    LockHandles();
    if (*gResult != noErr) return;
    WriteScriptParameters(Record(), gPrefs, gState);
    LogF("...DoFinish");
}
