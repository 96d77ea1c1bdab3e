// The filter phases about, parameters, continue and finish, and what every phase shares: the
// preamble that locks (and if need be rebuilds) the persistent blocks, reading and writing the
// preferences with their notices, and ending a phase on a failure. The start phase is in
// start_phase.cpp, the prepare phase and its memory budget in prepare.cpp.
#include "host/plugin.h"
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

void FailPhase(const Ui_Failure& failure, OSErr result) {
    Ui_Failure_Show(gState, &failure);
    SetResult(result);
}

bool OpenPhaseBlocks(bool createWhenMissing) {
    FilterRecord* record = Record();
    if (createWhenMissing &&
        (record->parameters == nullptr || gDataHandle == nullptr || *gDataHandle == 0)) {
        DoParameters();
        return *gResult == noErr;
    }
    LockHandles();
    if (*gResult != noErr) return false;
    if (ValidateParameters() == kStatusOk && ValidateData() == kStatusOk) return true;
    DiscardHandles();
    DoParameters();
    return *gResult == noErr;
}

namespace {

// Whether the preferences file is there (a file, a folder, a link).
bool PreferencesFileExists() {
    FLSpec spec;
    FLSpecDisk(&spec, gPrefsPath);
    return FLExists(&spec);
}

// A damaged file (cut short, unreadable part-way, an entry not in the format) would otherwise end
// every run until the user found and deleted it. What was read before the damage stays in the
// record, the rest keeps the values it had; the file is kept beside a fresh one as it was, the
// user is told where, and the fresh file makes the next run silent. 0 when replaced; otherwise
// the failure to tell in place of the reading's (kept when the file could not be moved).
int32_t ReplaceDamagedPreferences(int32_t readStatus, Ui_Failure* failure) {
    char aside[kPathSize];
    int32_t status = Ui_Prefs_SetAside(gState, gPrefsPath, aside, kPathSize);
    if (status != kStatusOk) {
        LogF("Damaged preferences file not moved: error %d", int(status));
        return Ui_Failure_Describe(failure, readStatus, kPhraseReadPrefs, 0, gPrefsPath);
    }
    // The damaged copy is safe now; a fresh file that cannot be written is a failure to update.
    status = WritePreferences(failure);
    if (status != kStatusOk) return status;
    Ui_Failure told;
    Ui_Failure_DescribeText(&told, readStatus, kStrPrefsDamaged, kUiFailCaution);
    Str_CopyBounded(told.name, sizeof told.name, aside);
    told.name[sizeof told.name - 1] = 0;
    Ui_Failure_Show(gState, &told);
    return kStatusOk;
}

}  // namespace

int32_t ReadPreferences(Ui_Failure* failure) {
    PrefsReadNotes notes;
    Mem_Fill(&notes, 0, sizeof notes);
    SetPrefsReadNotes(&notes);
    int32_t status =
        Ui_Prefs_ReadAll(gState, gPrefsPath, &gPrefsFileInfo, ReadPrefEntry, WritePrefEntries);
    SetPrefsReadNotes(nullptr);
    // A damaged file is told once, as a whole; the entries repaired before the damage are part
    // of that story and not told one by one.
    if (Ui_Prefs_IsDamage(status)) return ReplaceDamagedPreferences(status, failure);
    // No file, and the fresh one could not be written: the record holds the defaults, which is
    // all a new file would have held, so the run goes on with them. The write at the end of the
    // start phase meets the same failure and tells it, once.
    if (status != kStatusOk && !PreferencesFileExists()) {
        LogF("Preferences not written (error %d); the defaults are used", int(status));
        return Ui_Failure_Describe(failure, kStatusOk, 0);
    }
    // Each repaired entry is a notice of its own, since the reading went on after it. A refused
    // entry ended the reading: it is the failure, and says more than the file's name would.
    Ui_Failure notice;
    for (int32_t i = 0; PrefsReadNotice(&notes, i, &notice); ++i) {
        if (notice.status == kStatusUnsupported) Ui_Failure_Show(gState, &notice);
    }
    if (status == kStatusOk) return Ui_Failure_Describe(failure, kStatusOk, 0);
    if (notes.refusal == status)
        return Ui_Failure_Describe(failure, status, kPhraseReadPref, notes.refusedTag);
    return Ui_Failure_Describe(failure, status, kPhraseReadPrefs, 0, gPrefsPath);
}

int32_t WritePreferences(Ui_Failure* failure) {
    int32_t status = Ui_Prefs_WriteAll(gState, gPrefsPath, &gPrefsFileInfo, WritePrefEntries);
    return Ui_Failure_Describe(failure, status, status != kStatusOk ? kPhraseUpdatePrefs : 0, 0,
                               gPrefsPath);
}

void DoAbout() {
    gStateRef = &gState;
    Ui_Alert_SetStateRef(gStateRef);
    char version[kPathSize];
    Ui_ResToCString(gState, kStrVersion, version);
    Ui_AboutRecord about{kStrAppName, version, kResAboutPicture, kStrAboutNotice1, 3, -1, nullptr};
    int16_t item = 0;
    Ui_About_Run(gState, &about, &item);
    gStateRef = nullptr;
    Ui_Alert_SetStateRef(nullptr);
}

int32_t InitParameters() {
    FilterRecord* record = Record();
    if (record->depth == 0) record->depth = 8;
    gParams->signature = PluginSignature;
    char name[kPathSize];
    Ui_ResToCString(gState, kStrPrefsFileName, name);
    Ui_Prefs_SetToPath(gState, name, gPrefsPath);
    if (Ui_Path_SetToTempFolder(gTempPath) != kStatusOk) Ui_Path_Folder(gPrefsPath, gTempPath);
    SetPrefsDefaults(gPrefs);
    Ui_Failure failure;
    int32_t status = ReadPreferences(&failure);
    if (status != kStatusOk) {
        LogF("InitParameters: Ui_Prefs_ReadAll error %d, %s", int(status), gPrefsPath);
        FailPhase(failure, filterBadParameters);
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
    RowPipelineEnd(&f.pipeline);
    LogF("FreeImages...");
    ReleasePreview(&data->editState, &data->run.preview);
    EditStateFreeAnalysis(&data->editState);
    LogF("...FreeImages");
    LogF("...FreeKolmaraParsStuff");
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
    if (gData != nullptr && gData->run.okMode != 0) {
        // OK wrote a file and left the image as it was. A recorded action always replays as a
        // filter of the image, so none is recorded for such a run.
        LogF("DoFinish: OK mode %d, no action recorded", int(gData->run.okMode));
        return;
    }
    if (gData != nullptr && gData->run.scriptReady == 1) {
        WriteScriptParameters(Record(), &gData->run.script, gState);
    } else {
        // A run whose start phase never set its settings (a host that skipped it) records the
        // user's own.
        MemBlock<ScriptSettings> own{1};
        if (own) {
            ScriptSettingsFromPrefs(gPrefs, own.get());
            WriteScriptParameters(Record(), own.get(), gState);
        }
    }
    LogF("...DoFinish");
}
