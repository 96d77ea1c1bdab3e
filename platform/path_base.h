// The part of the paths that needs no call state: the preferences folder of a company name, the
// debug log's path, and separators.
//
// Kept apart from platform/paths.h, which takes the company name from the call state and logs
// what goes wrong, so that the debug log (platform/debug_log.h) finds its file without the
// modules that log through it.
//
// Locations on Linux: the preferences folder is "<company>/" inside $XDG_CONFIG_HOME, else
// $HOME/.config, made when missing; when that fails, the fallback in place of the Windows
// directory is $HOME. Folder paths end with a separator.
#pragma once

#include <cstdint>

#include "platform/status.h"

constexpr int kPathSize = 256;  // 255 characters and the terminator

// Told each problem on the way, a line of text for the caller's log.
using UiPathNoteProc = void (*)(void* context, const char* text);

// The preferences folder of the company (the default "Lumetra" when null or empty), made when
// missing. note (may be null) hears of each step that failed. -1 for a null buffer or a
// capacity below 1, -2 when neither the folder nor the fallback can be had.
int32_t Ui_Path_PrefFolderOf(const char* company, char* buffer, int32_t capacity,
                             UiPathNoteProc note, void* context);
// "LumetraDebug.txt" in the preferences folder of the default company; 256 bytes.
int32_t Ui__Path_SetToDebugLog(char* buffer);

// "/" and "\" separate folders.
bool Ui_Path_IsSeparator(char c);
// Appends the system's separator when the path does not end with one and there is room; false
// when there is not.
bool Ui_Path_EndWithSeparator(char* buffer, int32_t capacity);
