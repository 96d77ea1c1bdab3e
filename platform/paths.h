// Where the plug-in's files go: the preferences folder, the debug-log path, the current,
// temporary and colour-profile folders, unused temporary file names, path splitting, and file
// addresses for the browser.
//
// Locations on Linux: the preferences folder is "Lumetra/" (the company name of the call state)
// inside $XDG_CONFIG_HOME, else $HOME/.config; the fallback in place of the Windows directory is
// $HOME; the temporary folder is $TMPDIR, else /tmp; the colour folder /usr/share/color/icc.
// Folder paths end with a separator. Path helpers accept "/", "\" and ":" as separators.
#pragma once

#include <cstdint>

#include "platform/path_base.h"
#include "platform/status.h"

struct UiState;

// The preferences folder of the call state's company name (platform/path_base.h has the one of
// any name, and the debug log's path); what fails on the way goes to the state's log.
int32_t Ui_Path_SetToPrefFolder(UiState* state, char* buffer, int32_t capacity);
int32_t Ui_Path_SetToCurrentFolder(char* buffer);  // 256 bytes
int32_t Ui_Path_SetToTempFolder(char* buffer);     // 256 bytes
int32_t Ui_Path_SetToColorFolder(UiState* state, char* buffer, int32_t capacity);
// The folder of the file this code was loaded from (the module, or a program linking the platform
// library), absolute and ending with a separator: files installed beside the module (the user
// guide) are found from it. 256 bytes; -2 when the system cannot say or the path does not fit.
int32_t Ui_Path_SetToModuleFolder(char* buffer);
// A name "Lumetra%06d.tmp" in folder that was free, taken by making an empty file of that name
// in one step, so that two processes looking for a name at once never get the same one; the
// caller writes the file (or deletes it). out may be folder itself.
int32_t Ui_Path_SetToTempFile(UiState* state, const char* folder, char* out, int32_t capacity);
// The path part of a file URL for an absolute path: separators as "/", a drive letter after a
// "/" ("C:\a b\" gives "/C:/a%20b/"), and every byte but letters, digits, "-._~/:" as "%XX",
// so that "file://" followed by it is an address a browser opens. -1 for null arguments, -9 for
// a path that is not absolute, -2 when the result does not fit.
int32_t Ui_Path_ToUrlPath(const char* path, char* out, int32_t capacity);

// The file name part: after the last separator, else the whole path.
const char* Ui_Path_FileName(const char* path);
// Copies the path into buffer (a shared static buffer when null) cut right after its folder part.
char* Ui_Path_Folder(const char* path, char* buffer);
// Cuts the file name at its last "." (a dot in a folder name is left alone); -1 for null.
int32_t Ui_Path_StripExtension(char* path);
