// The module's entry point: fills the call's record with the host's pointers, opens the platform
// layer's call state, runs one phase handler with the record, unlocks the persistent handles,
// closes the call state and reports the memory figures of the call to the debug log.
#include "host/plugin.h"

#include "host/call_state.h"
#include "host/handles.h"
#include "host/phases.h"
#include "platform/alert.h"
#include "platform/debug_log.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/paths.h"
#include "platform/resources.h"
#include "platform/ui/fltk/fltk.h"
#include "platform/ui/system.h"
#include "resources/ids/strings.h"

namespace {

// The record of the call. The host calls PluginMain on one thread, one call at a time, and keeps
// what must outlive a call in its own handles (the two blocks), so one record serves every call:
// PluginMain sets its host fields afresh each time and the handlers clear the block fields when
// they unlock. Only the module instance (set when the module is loaded) and the diagnostics
// switch (decided at the first call) carry over from call to call. A host that called in from
// two threads at once would share it; the contract rules that out.
PluginCall gCall;

bool gDiagnosticsDecided = false;

// The module's process-attach routine: only records that the module is loaded. The resource
// archive in the module's own section stands for the module instance.
__attribute__((constructor)) void AttachModule() {
    gCall.gModuleInstance = Res_ModuleArchive();
}

// Once per load: real windows when a display can be opened, else the headless binding, under
// which nothing waits for a person.
void InstallWindowBinding() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    Ui_Fltk_Install();
}

// Decided once per process: Ctrl and Shift held at the first call switch diagnostics on.
void DecideDiagnostics(PluginCall* call) {
    if (gDiagnosticsDecided) return;
    gDiagnosticsDecided = true;
    uint8_t ctrl = 0, shift = 0;
    Ui_Key_State(&ctrl, nullptr, &shift);
    call->gDiagnostics = (ctrl == 1 && shift == 1) ? 1 : 0;
    if (call->gDiagnostics != 1) return;
    char path[kPathSize];
    if (Ui__Path_SetToDebugLog(path) == kStatusOk) {
        Ui_MessageBox(path, " ");
    } else {
        Ui_MessageBox("Ui_Debug_Log: Ui__Path_SetToDebugLog error", " ");
    }
    Ui_Debug_Log(1, "-------------------------------");
    Ui_Debug_Log(1, "Kolmara");
    Ui_MessageBox("Kolmara Diagnostics enabled", " ");
}

// After the call state is closed (its own block is then freed and not counted as held), so the
// diagnostics flag of the call is passed in: the state that held it is gone.
void ReportMemory(const PluginCall* call, int16 selector, uint8_t diagnostics) {
    auto* record = Record(call);
    if (selector >= filterSelectorParameters && selector <= filterSelectorFinish &&
        record != nullptr && record->bufferSpace >= 1 &&
        ul_maxTotal > uint32_t(record->bufferSpace)) {
        LogForcedF(call, "Over max: ul_maxTotal = %ld, bufferSpace = %ld", long(ul_maxTotal),
                   long(record->bufferSpace));
    }
    char line[64];
    Str_FormatN(line, sizeof line, "ul_maxTotal = %ld", long(ul_maxTotal));
    Ui_Debug_Log(diagnostics, line);
    Str_FormatN(line, sizeof line, "ul_nMallocs = %ld", long(ul_nMallocs));
    if (ul_nMallocs != 0) Ui_Debug_Log(1, line);
    Ui_Debug_Log(diagnostics, line);
}

}  // namespace

void SetModuleDiagnostics(uint8_t on) {
    gCall.gDiagnostics = on;
}

extern "C" __attribute__((visibility("default"))) void PluginMain(int16 selector, void* paramBlock,
                                                                  intptr_t* data, int16* result) {
    PluginCall* call = &gCall;
    call->gFilterRecord = paramBlock;
    call->gDataHandle = data;
    call->gResult = result;
    PlatformData* platform = nullptr;
    if (selector != filterSelectorAbout) {
        auto* record = static_cast<FilterRecord*>(paramBlock);
        call->gSPBasic = record != nullptr ? record->sSPBasic : nullptr;
        if (record != nullptr && record->bigDocumentData != nullptr) {
            record->bigDocumentData->PluginUsing32BitCoordinates = 1;
        }
        platform = record != nullptr ? record->platformData : nullptr;
    } else {
        auto* about = static_cast<AboutRecord*>(paramBlock);
        call->gSPBasic = about != nullptr ? about->sSPBasic : nullptr;
        platform = about != nullptr ? about->platformData : nullptr;
    }
    InstallWindowBinding();
    DecideDiagnostics(call);
    if (call->gModuleInstance == nullptr) {
        Ui_MessageBox("Tintara Kolmara was called without required parameters.", " ");
    }
    void* parentWindow = platform != nullptr ? platform->hwnd : nullptr;
    const int32_t opened =
        Ui_State_Open(&call->gState, static_cast<const ResArchive*>(call->gModuleInstance),
                      parentWindow, kStrAppName, call->gDiagnostics);
    if (opened != kStatusOk) {
        // Without the call state no alert can be made. A lack of memory is the host's to tell
        // (a cancel would let the user believe nothing went wrong).
        SetResult(call, opened == kStatusNoMemory ? memFullErr : userCanceledErr);
        return;
    }
    char company[kPathSize];
    Ui_ResToCString(call->gState, kStrCompany, company);
    if (Str_Compare(company, "?") == 0) {
        ShowErrorAlert(call->gStateRef, kStatusError, nullptr, nullptr);
    } else {
        Str_CopyBounded(call->gState->companyName, sizeof call->gState->companyName, company);
    }

    switch (selector) {
        case filterSelectorAbout:
            DoAbout(call);
            break;
        case filterSelectorParameters:
            DoParameters(call);
            break;
        case filterSelectorPrepare:
            DoPrepare(call);
            break;
        case filterSelectorStart:
            DoStart(call);
            break;
        case filterSelectorContinue:
            DoContinue(call);
            break;
        case filterSelectorFinish:
            DoFinish(call);
            break;
        default:
            break;
    }
    if (selector != filterSelectorAbout) UnlockHandles(call);
    const uint8_t diagnostics = Diagnostics(call);
    Ui_State_Close(&call->gState);
    ReportMemory(call, selector, diagnostics);
}
