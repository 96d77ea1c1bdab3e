// The debug log and diagnostics notices.
//
// The log is the text file "LumetraDebug.txt" in the preferences folder. Each line is written by
// opening the file for appending, writing the text and a line feed in one write and closing, so
// the file is complete at every moment, survives a crash of the host, and lines that several
// processes write at once never mix. Lines are written only when
// the flag passed is 1: callers pass their UiState's diagnostics flag, or 1 to force a line
// (memory-guard and leak reports).
#pragma once

#include <cstdint>

#include "platform/format.h"
#include "platform/status.h"

int32_t Ui_Debug_Log(uint8_t flag, const char* text);
// The same with the text formatted by the plug-in's formatter (platform/format.h) into a line of
// at most 511 characters; nothing is formatted unless flag is 1, so a diagnostics line costs a
// test when diagnostics are off. The host's own log calls format into its scratch buffer instead.
UI_FORMAT_CHECK(2, 3) int32_t Ui_Debug_LogF(uint8_t flag, const char* format, ...);
// The allocator's damage reports (Mem_SetReportSink): every line to the log, forced, and the
// summary in a message box as well.
void Ui_Debug_MemoryReport(const char* text, bool alert);
// A system message box with the text (no owner, caption " "), only when flag is 1.
int32_t Ui_Debug_Alert(uint8_t flag, const char* text);

// System message boxes. The headless binding writes them to stderr; a window-system binding or a
// test installs its own presenter. The hook gets the text and the caption.
using UiMessageBoxHook = void (*)(const char* text, const char* caption);
void Ui_SetMessageBoxHook(UiMessageBoxHook hook);
void Ui_MessageBox(const char* text, const char* caption);
