// Logging and the host result through the call's record; see call_state.h.
#include "host/call_state.h"

#include <cstdarg>

#include "platform/debug_log.h"
#include "platform/status.h"

namespace {

void VLog(const PluginCall* call, uint8_t flag, const char* format, va_list args) {
    char local[kScratchSize];
    char* buffer = call != nullptr && call->gScratch != nullptr ? call->gScratch : local;
    Str_FormatV(buffer, kScratchSize, format, args);
    Ui_Debug_Log(flag, buffer);
}

}  // namespace

void LogF(const PluginCall* call, const char* format, ...) {
    va_list args;
    va_start(args, format);
    VLog(call, Diagnostics(call), format, args);
    va_end(args);
}

void LogForcedF(const PluginCall* call, const char* format, ...) {
    va_list args;
    va_start(args, format);
    VLog(call, 1, format, args);
    va_end(args);
}

void SetResult(const PluginCall* call, OSErr result) {
    if (call != nullptr && call->gResult != nullptr) *call->gResult = result;
}

void MapRunResult(const PluginCall* call, int32_t status) {
    switch (status) {
        case kStatusOk:
            return;
        case kStatusCancelled:
            SetResult(call, userCanceledErr);
            return;
        case kStatusNoMemory:
            SetResult(call, memFullErr);
            return;
        case kStatusUnsupported:
            SetResult(call, errPlugInHostInsufficient);
            return;
        default:
            SetResult(call, filterBadParameters);
            return;
    }
}
