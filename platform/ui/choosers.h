// The standard file and folder choosers.
//
// Every chooser takes a path buffer of kPathSize bytes that holds the initial file (or folder) on
// entry and the choice on return, and gives -10 when the person cancels; a cancel is never shown.
// Filters come from the string table as "description|pattern|" pairs; the chooser starts on the
// last pair of the list. A chooser may have a prompt (the text beside the file name, such as
// "Select Custom Settings") and a folder to start in; the initial file's own folder wins over it.
// Before a save chooser replaces a file it asks through the framework's alert box, like every
// other question of the plug-in; answering Cancel there shows the chooser again.
#pragma once

#include <cstdint>

#include "platform/status.h"

struct UiState;

// File kinds of the save chooser: filter and default extension.
enum : int32_t { kUiFileHuegrid = 0, kUiFileText = 1, kUiFileIccProfile = 2, kUiFileData = 3 };

// A file to read, with the filter list of string filterId (kStrFilterAll, kStrFilterText, ...).
// prompt and folder may be null.
int32_t Ui_Choose_Open(UiState* state, const char* title, const char* prompt, const char* folder,
                       int32_t filterId, char* path);
// A file to write, of one of the kinds below; prompt and folder may be null.
int32_t Ui_Choose_Save(UiState* state, const char* title, const char* prompt, const char* folder,
                       int32_t kind, char* path);

// A file to write of one of typeCount types: the string filterId lists one "description|pattern|"
// pair per type, extIds[i] is type i's default extension. *type gives the type offered first
// (0-based) and gets the one chosen: the filter the person left chosen, unless the name's
// extension belongs to other types only (then the first of those). A name without an extension
// gets its type's one before the chooser asks about replacing a file.
int32_t Ui_Choose_SaveType(UiState* state, const char* title, const char* prompt,
                           const char* folder, int32_t filterId, const int32_t* extIds,
                           int32_t typeCount, int32_t* type, char* path);

// Any file (filter kStrFilterAll).
int32_t Ui_Choose_OpenFile(UiState* state, const char* title, char* path);
// A file to write, of one of the kinds above; overwriting is confirmed by the chooser, and a name
// without an extension gets the kind's one.
int32_t Ui_Choose_SaveFile(UiState* state, const char* title, int32_t kind, char* path);
// A text file to read (filter kStrFilterText).
int32_t Ui_Choose_TextFile(UiState* state, const char* title, char* path);
// A folder; the result ends with a separator. -2 when the chosen folder cannot be read.
int32_t Ui_Choose_Folder(UiState* state, const char* title, char* path);
// An RGB input (scanner) or monitor profile. Starts in the colour folder when path is empty and
// checks the chosen file's ICC header: the header check's status when it is not a profile, -9
// when it is not an RGB input or monitor profile. On any failure path is restored.
int32_t Ui_Choose_RgbProfile(UiState* state, char* path);

// Turns "description|pattern|..." into NUL-separated pairs ending with an empty description;
// *filterIndex gets half the number of separators (the last pair). -1 when it does not fit or
// the pairs are incomplete.
int32_t Ui_Choose_Filters(const char* text, char* out, int32_t capacity, int32_t* filterIndex);
