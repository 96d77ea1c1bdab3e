// The two persistent blocks: creating, locking, unlocking and validating them.
#include "host/handles.h"
#include "host/plugin_data.h"
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

void CreateParametersHandle(PluginCall* call) {
    FilterRecord* record = Record(call);
    if (!HandleSuiteUsable(record->handleProcs)) {
        SetResult(call, errPlugInHostInsufficient);
        return;
    }
    record->parameters = record->handleProcs->newProc(int32(sizeof(PluginParams)));
    if (record->parameters == nullptr) SetResult(call, memFullErr);
}

void CreateDataHandle(PluginCall* call) {
    FilterRecord* record = Record(call);
    if (!HandleSuiteUsable(record->handleProcs)) {
        SetResult(call, errPlugInHostInsufficient);
        return;
    }
    // A host that gives no slot for the block cannot keep it between calls.
    if (call->gDataHandle == nullptr) {
        LogF(call, "CreateDataHandle: no data slot");
        SetResult(call, filterBadParameters);
        return;
    }
    Handle h = record->handleProcs->newProc(int32(sizeof(PluginData)));
    if (h == nullptr) {
        SetResult(call, memFullErr);
        return;
    }
    *call->gDataHandle = reinterpret_cast<intptr_t>(h);
}

void LockHandles(PluginCall* call) {
    FilterRecord* record = Record(call);
    HandleProcs* hp = record->handleProcs;
    if (!HandleSuiteUsable(hp)) {
        LogF(call, hp == nullptr ? "LockHandles: handleProcs NULL"
                                 : "LockHandles: handleProcs incomplete");
        SetResult(call, errPlugInHostInsufficient);
        return;
    }
    Handle dataHandle =
        call->gDataHandle != nullptr ? reinterpret_cast<Handle>(*call->gDataHandle) : nullptr;
    if (record->parameters != nullptr && dataHandle != nullptr) {
        auto* params = reinterpret_cast<PluginParams*>(hp->lockProc(record->parameters, 1));
        auto* data = reinterpret_cast<PluginData*>(hp->lockProc(dataHandle, 1));
        if (params == nullptr || data == nullptr) {
            LogF(call, "LockHandles: lockProc failure");
            SetResult(call, memFullErr);
            return;
        }
        call->gParams = params;
        call->gData = data;
        call->gPrefs = &params->prefs;
        call->gPrefsPath = params->prefsPath;
        call->gTempPath = params->tempPath;
        call->gScratch = data->scratch;
        call->gStateRef = &call->gState;
        return;
    }
    if (record->parameters != nullptr) {
        LogF(call, "LockHandles: gDataHandle NULL");
    } else {
        LogF(call, "LockHandles: parameters NULL");
        if (dataHandle == nullptr) LogF(call, "LockHandles: gDataHandle NULL");
    }
    SetResult(call, filterBadParameters);
}

void UnlockHandles(PluginCall* call) {
    FilterRecord* record = Record(call);
    HandleProcs* hp = record != nullptr ? record->handleProcs : nullptr;
    if (hp != nullptr && hp->unlockProc != nullptr) {
        if (call->gDataHandle != nullptr && *call->gDataHandle != 0) {
            hp->unlockProc(reinterpret_cast<Handle>(*call->gDataHandle));
        }
        if (record->parameters != nullptr) hp->unlockProc(record->parameters);
    }
    call->gParams = nullptr;
    call->gData = nullptr;
    call->gPrefs = nullptr;
    call->gPrefsPath = nullptr;
    call->gTempPath = nullptr;
    call->gScratch = nullptr;
    call->gStateRef = nullptr;
}

void DiscardHandles(PluginCall* call) {
    UnlockHandles(call);
    FilterRecord* record = Record(call);
    HandleProcs* hp = record->handleProcs;
    Handle data =
        call->gDataHandle != nullptr ? reinterpret_cast<Handle>(*call->gDataHandle) : nullptr;
    // The host no longer knows of a block once its field is cleared: it is given back here.
    if (hp != nullptr && hp->disposeProc != nullptr) {
        if (record->parameters != nullptr) hp->disposeProc(record->parameters);
        if (data != nullptr) hp->disposeProc(data);
    }
    record->parameters = nullptr;
    if (call->gDataHandle != nullptr) *call->gDataHandle = 0;
}

int32_t ValidateParameters(const PluginCall* call) {
    if (call->gParams == nullptr || call->gParams->signature != PluginSignature)
        return kStatusProblem;
    const Prefs& p = call->gParams->prefs;
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

int32_t ValidateData(const PluginCall* call) {
    if (call->gData == nullptr || call->gData->signature != PluginSignature) return kStatusProblem;
    const RunState& r = call->gData->run;
    if (!IsFlag(r.liveSliders) || !IsFlag(r.useLargestWindow) || !IsFlag(r.showSampledRegion) ||
        !(0 <= r.readoutMode && r.readoutMode <= 2) || !(0 <= r.gridLevel && r.gridLevel <= 7)) {
        return kStatusProblem;
    }
    return kStatusOk;
}
