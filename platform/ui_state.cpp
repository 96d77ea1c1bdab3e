// The per-call state of the platform layer; see ui_state.h.
#include "platform/ui_state.h"

#include "platform/debug_log.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/prefs_file.h"
#include "platform/resources.h"
#include "resources/ids/strings.h"

namespace {

UiStateHook gOnOpen = nullptr;
UiStateHook gOnClose = nullptr;

}  // namespace

void Ui_State_SetHooks(UiStateHook onOpen, UiStateHook onClose) {
    gOnOpen = onOpen;
    gOnClose = onClose;
}

int32_t Ui_State_Open(UiState** state, const ResArchive* resSrc, void* parentWindow,
                      int32_t appNameId, uint8_t diagnostics) {
    if (state == nullptr) return kStatusProblem;
    *state = nullptr;
    // From here on the allocator's damage reports reach the debug log.
    Mem_SetReportSink(Ui_Debug_MemoryReport);
    char line[80];
    Str_FormatN(line, sizeof line, "Ui_State_Open, resSrc = %ld",
                long(reinterpret_cast<uintptr_t>(resSrc)));
    Ui_Debug_Log(diagnostics, line);
    Ui_Debug_Log(diagnostics, "Ui_State_Open : Diagnostics enabled");
    auto* s = static_cast<UiState*>(Mem_Alloc(sizeof(UiState)));
    if (s == nullptr) return kStatusNoMemory;
    Mem_Fill(s, 0, sizeof *s);
    s->diagnostics = diagnostics;
    s->resSrc = resSrc;
    s->parentWindow = parentWindow;
    s->code = 0x20202020;  // four blanks
    s->flagA = 1;
    s->flagB = 1;
    char text[256];
    Str_CopyBounded(s->appName, sizeof s->appName, Ui_ResToCString(s, appNameId, text));
    Str_CopyBounded(s->companyName, sizeof s->companyName,
                    Ui_ResToCString(s, kStrCompanyFolder, text));
    if (gOnOpen != nullptr) {
        int32_t status = gOnOpen(s);
        if (status != kStatusOk) {
            Mem_Free(s);
            return status;
        }
    }
    *state = s;
    return kStatusOk;
}

int32_t Ui_State_Close(UiState** state) {
    if (state == nullptr) return kStatusProblem;
    if (*state == nullptr) return kStatusOk;
    Ui_Debug_Log((*state)->diagnostics, "Ui_State_Close");
    if (gOnClose != nullptr) gOnClose(*state);
    Ui_Prefs_Forget(*state);
    *state = static_cast<UiState*>(Mem_Free(*state));
    return kStatusOk;
}
