// The debug log and system message boxes; see debug_log.h.
#include "platform/debug_log.h"

#include <cstdarg>
#include <cstdio>

#include "platform/os.h"
#include "platform/path_base.h"

namespace {

void StderrMessageBox(const char* text, const char* caption) {
    std::fprintf(stderr, "[%s] %s\n", caption != nullptr ? caption : "",
                 text != nullptr ? text : "");
}

UiMessageBoxHook gMessageBoxHook = StderrMessageBox;

}  // namespace

void Ui_SetMessageBoxHook(UiMessageBoxHook hook) {
    gMessageBoxHook = hook != nullptr ? hook : StderrMessageBox;
}

void Ui_MessageBox(const char* text, const char* caption) {
    gMessageBoxHook(text, caption);
}

int32_t Ui_Debug_Log(uint8_t flag, const char* text) {
    if (flag != 1) return kStatusOk;
    if (text == nullptr) {
        Ui_MessageBox("Ui_Debug_Log: null msg", " ");
        return kStatusProblem;
    }
    char path[kPathSize];
    int32_t status = Ui__Path_SetToDebugLog(path);
    if (status != kStatusOk) {
        Ui_MessageBox("Ui_Debug_Log: Ui__Path_SetToDebugLog error", " ");
        return status;
    }
    // Opened and closed for every line so that the file is complete at every moment, and the line
    // with its line feed written in one step at the end, so that the lines of processes logging
    // at once (a batch of runs, the editor and a tool) never run into each other.
    if (Os_AppendLine(path, text) != 0) {
        Ui_MessageBox("Ui_Debug_Log: fopen error", " ");
        Ui_MessageBox(path, " ");
        return kStatusFileOpen;
    }
    return kStatusOk;
}

int32_t Ui_Debug_LogF(uint8_t flag, const char* format, ...) {
    if (flag != 1) return kStatusOk;
    char line[512];
    va_list args;
    va_start(args, format);
    Str_FormatV(line, sizeof line, format, args);
    va_end(args);
    return Ui_Debug_Log(flag, line);
}

void Ui_Debug_MemoryReport(const char* text, bool alert) {
    if (alert) {
        Ui_MessageBox(text, " ");
    } else {
        Ui_Debug_Log(1, text);
    }
}

int32_t Ui_Debug_Alert(uint8_t flag, const char* text) {
    if (flag == 1) Ui_MessageBox(text, " ");
    return kStatusOk;
}
