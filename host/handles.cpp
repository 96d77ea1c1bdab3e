// The two persistent blocks: creating, locking, unlocking and validating them.
#include "host/plugin.h"
#include "platform/alert.h"

namespace {

bool IsFlag(uint8_t v) {
    return v == 0 || v == 1;
}

// The procedures the module needs of the suite: new, lock and unlock for the two blocks, dispose
// for the handles the host gives it (the recorded descriptor, the title), which become the
// module's to dispose of. A host whose suite lacks one of them is refused before anything is
// called through it; without dispose every replayed descriptor would be lost.
bool HandleSuiteUsable(const HandleProcs* hp) {
    return hp != nullptr && hp->newProc != nullptr && hp->lockProc != nullptr &&
           hp->unlockProc != nullptr && hp->disposeProc != nullptr;
}

}  // namespace

void CreateParametersHandle() {
    FilterRecord* record = Record();
    if (!HandleSuiteUsable(record->handleProcs)) {
        SetResult(errPlugInHostInsufficient);
        return;
    }
    record->parameters = record->handleProcs->newProc(int32(sizeof(PluginParams)));
    if (record->parameters == nullptr) SetResult(memFullErr);
}

void CreateDataHandle() {
    FilterRecord* record = Record();
    if (!HandleSuiteUsable(record->handleProcs)) {
        SetResult(errPlugInHostInsufficient);
        return;
    }
    // A host that gives no slot for the block cannot keep it between calls.
    if (gDataHandle == nullptr) {
        LogF("CreateDataHandle: no data slot");
        SetResult(filterBadParameters);
        return;
    }
    Handle h = record->handleProcs->newProc(int32(sizeof(PluginData)));
    if (h == nullptr) {
        SetResult(memFullErr);
        return;
    }
    *gDataHandle = reinterpret_cast<intptr_t>(h);
}

void LockHandles() {
    FilterRecord* record = Record();
    HandleProcs* hp = record->handleProcs;
    if (!HandleSuiteUsable(hp)) {
        LogF(hp == nullptr ? "LockHandles: handleProcs NULL"
                           : "LockHandles: handleProcs incomplete");
        SetResult(errPlugInHostInsufficient);
        return;
    }
    Handle dataHandle = gDataHandle != nullptr ? reinterpret_cast<Handle>(*gDataHandle) : nullptr;
    if (record->parameters != nullptr && dataHandle != nullptr) {
        auto* params = reinterpret_cast<PluginParams*>(hp->lockProc(record->parameters, 1));
        auto* data = reinterpret_cast<PluginData*>(hp->lockProc(dataHandle, 1));
        if (params == nullptr || data == nullptr) {
            LogF("LockHandles: lockProc failure");
            SetResult(memFullErr);
            return;
        }
        gParams = params;
        gData = data;
        gPrefs = &params->prefs;
        gPrefsPath = params->prefsPath;
        gTempPath = params->tempPath;
        gScratch = data->scratch;
        gStateRef = &gState;
        Ui_Alert_SetStateRef(gStateRef);
        SetPrefsRecordRef(&gPrefs);
        return;
    }
    if (record->parameters != nullptr) {
        LogF("LockHandles: gDataHandle NULL");
    } else {
        LogF("LockHandles: parameters NULL");
        if (dataHandle == nullptr) LogF("LockHandles: gDataHandle NULL");
    }
    SetResult(filterBadParameters);
}

void UnlockHandles() {
    FilterRecord* record = Record();
    HandleProcs* hp = record != nullptr ? record->handleProcs : nullptr;
    if (hp != nullptr && hp->unlockProc != nullptr) {
        if (gDataHandle != nullptr && *gDataHandle != 0) {
            hp->unlockProc(reinterpret_cast<Handle>(*gDataHandle));
        }
        if (record->parameters != nullptr) hp->unlockProc(record->parameters);
    }
    gParams = nullptr;
    gData = nullptr;
    gPrefs = nullptr;
    gPrefsPath = nullptr;
    gTempPath = nullptr;
    gScratch = nullptr;
    gStateRef = nullptr;
    Ui_Alert_SetStateRef(nullptr);
    SetPrefsRecordRef(nullptr);
}

void DiscardHandles() {
    UnlockHandles();
    FilterRecord* record = Record();
    HandleProcs* hp = record->handleProcs;
    Handle data = gDataHandle != nullptr ? reinterpret_cast<Handle>(*gDataHandle) : nullptr;
    // The host no longer knows of a block once its field is cleared: it is given back here.
    if (hp != nullptr && hp->disposeProc != nullptr) {
        if (record->parameters != nullptr) hp->disposeProc(record->parameters);
        if (data != nullptr) hp->disposeProc(data);
    }
    record->parameters = nullptr;
    if (gDataHandle != nullptr) *gDataHandle = 0;
}

int32_t ValidateParameters() {
    if (gParams == nullptr || gParams->signature != PluginSignature) return kStatusProblem;
    const Prefs& p = gParams->prefs;
    if (!IsFlag(p.keenhueMode) || !IsFlag(p.liveSliders) || !IsFlag(p.useLargestWindow) ||
        !IsFlag(p.showSampledRegion) || !(0 <= p.readoutMode && p.readoutMode <= 2) ||
        !(0 <= p.gridLevel && p.gridLevel <= 7)) {
        return kStatusProblem;
    }
    for (const MemoryColor& m : p.memoryColors) {
        if (!IsFlag(m.defined)) return kStatusProblem;
    }
    return kStatusOk;
}

int32_t ValidateData() {
    if (gData == nullptr || gData->signature != PluginSignature) return kStatusProblem;
    const RunState& r = gData->run;
    if (!IsFlag(r.liveSliders) || !IsFlag(r.useLargestWindow) || !IsFlag(r.showSampledRegion) ||
        !(0 <= r.readoutMode && r.readoutMode <= 2) || !(0 <= r.gridLevel && r.gridLevel <= 7)) {
        return kStatusProblem;
    }
    return kStatusOk;
}
