// The filter phases about, parameters, continue and finish, and what every phase shares: the
// preamble that locks (and if need be rebuilds) the persistent blocks, reading and writing the
// preferences with their notices, and ending a phase on a failure. The start phase is in
// start_phase.cpp, the prepare phase and its memory budget in prepare.cpp.
#include "host/filter_image.h"
#include "host/handles.h"
#include "host/phases.h"
#include "host/plugin_data.h"
#include "host/rects.h"
#include "host/scripting.h"
#include "platform/file.h"
#include "platform/mem.h"
#include "platform/prefs_file.h"
#include "platform/resources.h"
#include "platform/ui/about_box.h"
#include "resources/ids/resources.h"
#include "resources/ids/strings.h"

namespace {

// The value handed to the platform's file-information step for the preferences file.
int32_t gPrefsFileInfo = 131;

}  // namespace

void FailPhase(const PluginCall* call, const Ui_Failure& failure, OSErr result) {
    Ui_Failure_Show(call->gState, &failure);
    SetResult(call, result);
}

bool OpenPhaseBlocks(PluginCall* call, bool createWhenMissing) {
    FilterRecord* record = Record(call);
    if (createWhenMissing && (record->parameters == nullptr || call->gDataHandle == nullptr ||
                              *call->gDataHandle == 0)) {
        DoParameters(call);
        return *call->gResult == noErr;
    }
    LockHandles(call);
    if (*call->gResult != noErr) return false;
    if (ValidateParameters(call) == kStatusOk && ValidateData(call) == kStatusOk) return true;
    DiscardHandles(call);
    DoParameters(call);
    return *call->gResult == noErr;
}

namespace {

// Whether the preferences file is there (a file, a folder, a link).
bool PreferencesFileExists(const PluginCall* call) {
    FLSpec spec;
    FLSpecDisk(&spec, call->gPrefsPath);
    return FLExists(&spec);
}

// A damaged file (cut short, unreadable part-way, an entry not in the format) would otherwise end
// every run until the user found and deleted it. What was read before the damage stays in the
// record, the rest keeps the values it had; the file is kept beside a fresh one as it was, the
// user is told where, and the fresh file makes the next run silent. 0 when replaced; otherwise
// the failure to tell in place of the reading's (kept when the file could not be moved).
int32_t ReplaceDamagedPreferences(const PluginCall* call, int32_t readStatus, Ui_Failure* failure) {
    char aside[kPathSize];
    int32_t status = Ui_Prefs_SetAside(call->gState, call->gPrefsPath, aside, kPathSize);
    if (status != kStatusOk) {
        LogF(call, "Damaged preferences file not moved: error %d", int(status));
        return Ui_Failure_Describe(failure, readStatus, kPhraseReadPrefs, 0, call->gPrefsPath);
    }
    // The damaged copy is safe now; a fresh file that cannot be written is a failure to update.
    status = WritePreferences(call, failure);
    if (status != kStatusOk) return status;
    Ui_Failure told;
    Ui_Failure_DescribeText(&told, readStatus, kStrPrefsDamaged, kUiFailCaution);
    Str_CopyBounded(told.name, sizeof told.name, aside);
    told.name[sizeof told.name - 1] = 0;
    Ui_Failure_Show(call->gState, &told);
    return kStatusOk;
}

}  // namespace

int32_t ReadPreferences(const PluginCall* call, Ui_Failure* failure) {
    PrefsReadNotes notes;
    Mem_Fill(&notes, 0, sizeof notes);
    PrefsEntryTarget target{call->gPrefs, &notes};
    int32_t status = Ui_Prefs_ReadAll(call->gState, call->gPrefsPath, &gPrefsFileInfo,
                                      ReadPrefEntry, WritePrefEntries, &target);
    // A damaged file is told once, as a whole; the entries repaired before the damage are part
    // of that story and not told one by one.
    if (Ui_Prefs_IsDamage(status)) return ReplaceDamagedPreferences(call, status, failure);
    // No file, and the fresh one could not be written: the record holds the defaults, which is
    // all a new file would have held, so the run goes on with them. The write at the end of the
    // start phase meets the same failure and tells it, once.
    if (status != kStatusOk && !PreferencesFileExists(call)) {
        LogF(call, "Preferences not written (error %d); the defaults are used", int(status));
        return Ui_Failure_Describe(failure, kStatusOk, 0);
    }
    // Each repaired entry is a notice of its own, since the reading went on after it. A refused
    // entry ended the reading: it is the failure, and says more than the file's name would.
    Ui_Failure notice;
    for (int32_t i = 0; PrefsReadNotice(&notes, i, &notice); ++i) {
        if (notice.status == kStatusUnsupported) Ui_Failure_Show(call->gState, &notice);
    }
    if (status == kStatusOk) return Ui_Failure_Describe(failure, kStatusOk, 0);
    if (notes.refusal == status)
        return Ui_Failure_Describe(failure, status, kPhraseReadPref, notes.refusedTag);
    return Ui_Failure_Describe(failure, status, kPhraseReadPrefs, 0, call->gPrefsPath);
}

int32_t WritePreferences(const PluginCall* call, Ui_Failure* failure) {
    PrefsEntryTarget target{call->gPrefs, nullptr};
    int32_t status = Ui_Prefs_WriteAll(call->gState, call->gPrefsPath, &gPrefsFileInfo,
                                       WritePrefEntries, &target);
    return Ui_Failure_Describe(failure, status, status != kStatusOk ? kPhraseUpdatePrefs : 0, 0,
                               call->gPrefsPath);
}

void DoAbout(PluginCall* call) {
    call->gStateRef = &call->gState;
    char version[kPathSize];
    Ui_ResToCString(call->gState, kStrVersion, version);
    Ui_AboutRecord about{kStrAppName, version, kResAboutPicture, kStrAboutNotice1, 3, -1, nullptr};
    int16_t item = 0;
    Ui_About_Run(call->gState, &about, &item);
    call->gStateRef = nullptr;
}

int32_t InitParameters(PluginCall* call) {
    FilterRecord* record = Record(call);
    if (record->depth == 0) record->depth = 8;
    call->gParams->signature = PluginSignature;
    char name[kPathSize];
    Ui_ResToCString(call->gState, kStrPrefsFileName, name);
    Ui_Prefs_SetToPath(call->gState, name, call->gPrefsPath);
    if (Ui_Path_SetToTempFolder(call->gTempPath) != kStatusOk)
        Ui_Path_Folder(call->gPrefsPath, call->gTempPath);
    SetPrefsDefaults(call->gPrefs);
    Ui_Failure failure;
    int32_t status = ReadPreferences(call, &failure);
    if (status != kStatusOk) {
        LogF(call, "InitParameters: Ui_Prefs_ReadAll error %d, %s", int(status), call->gPrefsPath);
        FailPhase(call, failure, filterBadParameters);
    }
    return status;
}

int32_t InitData(PluginCall* call) {
    call->gData->signature = PluginSignature;
    call->gData->rowSkip = 1;
    call->gData->showDialog = 1;
    Mem_Fill(&call->gData->run, 0, sizeof call->gData->run);
    call->gData->run.hostHasColourServices = Record(call)->colorServices != nullptr ? 1 : 0;
    call->gData->run.gridLevel = call->gPrefs->gridLevel;
    call->gData->run.liveSliders = call->gPrefs->liveSliders;
    call->gData->run.showSampledRegion = call->gPrefs->showSampledRegion;
    call->gData->run.useLargestWindow = call->gPrefs->useLargestWindow;
    call->gData->run.readoutMode = call->gPrefs->readoutMode;
    return EditStateInit(&call->gData->editState, nullptr);
}

void DoParameters(PluginCall* call) {
    LogF(call, "DoParameters...");
    FilterRecord* record = Record(call);
    if (record->parameters == nullptr) CreateParametersHandle(call);
    if (*call->gResult == noErr && (call->gDataHandle == nullptr || *call->gDataHandle == 0))
        CreateDataHandle(call);
    if (*call->gResult == noErr) LockHandles(call);
    if (*call->gResult == noErr && InitParameters(call) == kStatusOk && *call->gResult == noErr)
        InitData(call);
    LogF(call, "...DoParameters");
}

void FreeKolmaraParsStuff(const PluginCall* call, PluginData* data) {
    LogF(call, "FreeKolmaraParsStuff...");
    FreeFilterRun(&data->run.filter);
    LogF(call, "FreeImages...");
    ReleasePreview(call, &data->editState, &data->run.preview);
    EditStateFreeAnalysis(&data->editState);
    LogF(call, "...FreeImages");
    LogF(call, "...FreeKolmaraParsStuff");
}

void DoContinue(PluginCall* call) {
    FilterRecord* record = Record(call);
    VRect empty{0, 0, 0, 0};
    SetInRect(record, empty);
    SetOutRect(record, empty);
    SetMaskRect(record, empty);
}

void DoFinish(PluginCall* call) {
    LogF(call, "DoFinish...");
    LockHandles(call);
    if (*call->gResult != noErr) return;
    if (call->gData != nullptr && call->gData->run.okMode != 0) {
        // OK wrote a file and left the image as it was. A recorded action always replays as a
        // filter of the image, so none is recorded for such a run.
        LogF(call, "DoFinish: OK mode %d, no action recorded", int(call->gData->run.okMode));
        return;
    }
    if (call->gData != nullptr && call->gData->run.scriptReady == 1) {
        WriteScriptParameters(Record(call), &call->gData->run.script, call->gState);
    } else {
        // A run whose start phase never set its settings (a host that skipped it) records the
        // user's own.
        MemBlock<ScriptSettings> own{1};
        if (own) {
            ScriptSettingsFromPrefs(call->gPrefs, own.get());
            WriteScriptParameters(Record(call), own.get(), call->gState);
        }
    }
    LogF(call, "...DoFinish");
}
