// The module's entry point: stores the host's pointers, opens the platform layer's call state,
// runs one phase handler, unlocks the persistent handles, closes the call state and reports the
// memory figures of the call to the debug log.
#include <cstdarg>

#include "host/plugin.h"
#include "platform/alert.h"
#include "platform/debug_log.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/resources.h"
#include "platform/ui/fltk/fltk.h"
#include "platform/ui/system.h"
#include "resources/ids/strings.h"

void* gFilterRecord = nullptr;
intptr_t* gDataHandle = nullptr;
int16* gResult = nullptr;
SPBasicSuite* gSPBasic = nullptr;
const void* gModuleInstance = nullptr;
uint8_t gDiagnostics = 0;
UiState* gState = nullptr;
UiState** gStateRef = nullptr;
PluginParams* gParams = nullptr;
PluginData* gData = nullptr;
Prefs* gPrefs = nullptr;
char* gScratch = nullptr;
char* gPrefsPath = nullptr;
char* gTempPath = nullptr;

namespace {

bool gDiagnosticsDecided = false;

// The module's process-attach routine: only records that the module is loaded. The resource
// archive in the module's own section stands for the module instance.
__attribute__((constructor)) void AttachModule() {
    gModuleInstance = Res_ModuleArchive();
}

// Once per load: real windows when a display can be opened, else the headless binding, under
// which nothing waits for a person.
void InstallWindowBinding() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    Ui_Fltk_Install();
}

void VLog(uint8_t flag, const char* format, va_list args) {
    char local[kScratchSize];
    char* buffer = gScratch != nullptr ? gScratch : local;
    Str_FormatV(buffer, kScratchSize, format, args);
    Ui_Debug_Log(flag, buffer);
}

// Decided once per process: Ctrl and Shift held at the first call switch diagnostics on.
void DecideDiagnostics() {
    if (gDiagnosticsDecided) return;
    gDiagnosticsDecided = true;
    uint8_t ctrl = 0, shift = 0;
    Ui_Key_State(&ctrl, nullptr, &shift);
    gDiagnostics = (ctrl == 1 && shift == 1) ? 1 : 0;
    if (gDiagnostics != 1) return;
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
void ReportMemory(int16 selector, uint8_t diagnostics) {
    auto* record = Record();
    if (selector >= filterSelectorParameters && selector <= filterSelectorFinish &&
        record != nullptr && record->bufferSpace >= 1 &&
        ul_maxTotal > uint32_t(record->bufferSpace)) {
        LogForcedF("Over max: ul_maxTotal = %ld, bufferSpace = %ld", long(ul_maxTotal),
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

void LogF(const char* format, ...) {
    va_list args;
    va_start(args, format);
    VLog(Diagnostics(), format, args);
    va_end(args);
}

void LogForcedF(const char* format, ...) {
    va_list args;
    va_start(args, format);
    VLog(1, format, args);
    va_end(args);
}

void SetResult(OSErr result) {
    if (gResult != nullptr) *gResult = result;
}

void MapRunResult(int32_t status) {
    switch (status) {
        case kStatusOk:
            return;
        case kStatusCancelled:
            SetResult(userCanceledErr);
            return;
        case kStatusNoMemory:
            SetResult(memFullErr);
            return;
        case kStatusUnsupported:
            SetResult(errPlugInHostInsufficient);
            return;
        default:
            SetResult(filterBadParameters);
            return;
    }
}

extern "C" __attribute__((visibility("default"))) void PluginMain(int16 selector, void* paramBlock,
                                                                  intptr_t* data, int16* result) {
    gFilterRecord = paramBlock;
    gDataHandle = data;
    gResult = result;
    PlatformData* platform = nullptr;
    if (selector != filterSelectorAbout) {
        auto* record = static_cast<FilterRecord*>(paramBlock);
        gSPBasic = record != nullptr ? record->sSPBasic : nullptr;
        if (record != nullptr && record->bigDocumentData != nullptr) {
            record->bigDocumentData->PluginUsing32BitCoordinates = 1;
        }
        platform = record != nullptr ? record->platformData : nullptr;
    } else {
        auto* about = static_cast<AboutRecord*>(paramBlock);
        gSPBasic = about != nullptr ? about->sSPBasic : nullptr;
        platform = about != nullptr ? about->platformData : nullptr;
    }
    InstallWindowBinding();
    DecideDiagnostics();
    if (gModuleInstance == nullptr) {
        Ui_MessageBox("Tintara Kolmara was called without required parameters.", " ");
    }
    void* parentWindow = platform != nullptr ? platform->hwnd : nullptr;
    const int32_t opened = Ui_State_Open(&gState, static_cast<const ResArchive*>(gModuleInstance),
                                         parentWindow, kStrAppName, gDiagnostics);
    if (opened != kStatusOk) {
        // Without the call state no alert can be made. A lack of memory is the host's to tell
        // (a cancel would let the user believe nothing went wrong).
        SetResult(opened == kStatusNoMemory ? memFullErr : userCanceledErr);
        return;
    }
    char company[kPathSize];
    Ui_ResToCString(gState, kStrCompany, company);
    if (Str_Compare(company, "?") == 0) {
        ShowErrorAlert(kStatusError, nullptr, nullptr);
    } else {
        Str_CopyBounded(gState->companyName, sizeof gState->companyName, company);
    }

    switch (selector) {
        case filterSelectorAbout:
            DoAbout();
            break;
        case filterSelectorParameters:
            DoParameters();
            break;
        case filterSelectorPrepare:
            DoPrepare();
            break;
        case filterSelectorStart:
            DoStart();
            break;
        case filterSelectorContinue:
            DoContinue();
            break;
        case filterSelectorFinish:
            DoFinish();
            break;
        default:
            break;
    }
    if (selector != filterSelectorAbout) UnlockHandles();
    const uint8_t diagnostics = Diagnostics();
    Ui_State_Close(&gState);
    ReportMemory(selector, diagnostics);
}
