// File and folder choosers; see choosers.h.
#include "platform/ui/choosers.h"

#include <dirent.h>

#include "platform/alert.h"
#include "platform/file.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/os.h"
#include "platform/paths.h"
#include "platform/resources.h"
#include "platform/ui/binding.h"
#include "platform/ui_state.h"
#include "resources/ids/strings.h"

namespace {

struct SaveKind {
    int32_t filterId;
    int32_t extensionId;
};
constexpr SaveKind kSaveKinds[] = {
    {kStrFilterHuegrid, kStrExtHuegrid},
    {kStrFilterText, kStrExtText},
    {kStrFilterProfile, kStrExtProfile},
    {kStrFilterData, kStrExtData},
};

// Whether the person lets a save replace the file that is there: 0 when there is none or the
// answer is Replace, -10 when it is Cancel.
int32_t AllowReplace(UiState* state, const char* path) {
    if (Os_PathKind(path) == kOsNothing) return kStatusOk;
    char pattern[256], text[kPathSize + 256], replace[256];
    Ui_ResToCString(state, kStrReplaceFileQuestion, pattern);
    Str_FormatPhrase(text, sizeof text, pattern, 0, Ui_Path_FileName(path), nullptr);
    Ui_ResToCString(state, kStrReplace, replace);
    int16_t answer = 0;
    if (Ui_Alert_Ask(state, text, replace, nullptr, 1, &answer) != kStatusOk) return kStatusError;
    return answer == 1 ? kStatusOk : kStatusCancelled;
}

// The types of a typed save chooser and the one chosen; null for the plain choosers.
struct SaveTypes {
    UiState* state;
    const int32_t* extIds;
    int32_t count;
    int32_t* type;
};

// Whether the extension of path's file name is the string extId (case-insensitive).
bool HasExtension(UiState* state, const char* path, int32_t extId) {
    char ext[256];
    Ui_ResToCString(state, extId, ext);
    const char* name = Ui_Path_FileName(path);
    const char* dot = Str_FindLastChar(name, '.');
    if (dot == nullptr) return false;
    const char* a = dot + 1;
    const char* b = ext;
    for (; *a != 0 && *b != 0; ++a, ++b) {
        const char ca = *a >= 'A' && *a <= 'Z' ? char(*a - 'A' + 'a') : *a;
        const char cb = *b >= 'A' && *b <= 'Z' ? char(*b - 'A' + 'a') : *b;
        if (ca != cb) return false;
    }
    return *a == 0 && *b == 0;
}

// The type a typed save chooser's answer stands for, and its extension added when it has none.
int32_t SettleType(const SaveTypes* types, int32_t filter, char* path) {
    int32_t type = 1 <= filter && filter <= types->count ? filter - 1 : *types->type;
    if (!HasExtension(types->state, path, types->extIds[type])) {
        for (int32_t i = 0; i < types->count; ++i) {
            if (HasExtension(types->state, path, types->extIds[i])) {
                type = i;
                break;
            }
        }
    }
    char ext[256];
    Ui_ResToCString(types->state, types->extIds[type], ext);
    if (Ui_Path_AddDefaultExtension(path, kPathSize, ext) != kStatusOk) return kStatusError;
    *types->type = type;
    return kStatusOk;
}

int32_t Choose(UiState* state, int32_t kind, const char* title, const char* prompt,
               int32_t filterId, const char* folder, const char* ext, char* path,
               const SaveTypes* types = nullptr) {
    char filterText[256], filters[260];
    int32_t index = 0;
    Ui_ResToCString(state, filterId, filterText);
    int32_t status = Ui_Choose_Filters(filterText, filters, sizeof filters, &index);
    if (status != kStatusOk) return status;
    if (types != nullptr) {
        // One pair per type, and the chooser starts on the type asked for.
        if (index != types->count) return kStatusProblem;
        index = *types->type + 1;
    }
    int32_t chosenFilter = 0;
    Ui_ChooserRequest request{};
    request.chosenFilter = types != nullptr ? &chosenFilter : nullptr;
    request.kind = kind;
    request.title = title;
    request.filters = filters;
    request.filterIndex = index;
    request.folder = folder != nullptr && folder[0] != 0 ? folder : nullptr;
    request.defaultExt = ext;
    request.confirmOverwrite = kind == kUiChooseSave;
    request.prompt = prompt;
    char chosen[kPathSize];
    Str_CopyBounded(chosen, sizeof chosen, path);
    for (;;) {
        status = Ui_Binding()->choose(state, &request, chosen);
        if (status != kStatusOk) {
            return status == kStatusCancelled ? kStatusCancelled : kStatusError;
        }
        if (chosen[0] == 0) return kStatusCancelled;
        if (types != nullptr && SettleType(types, chosenFilter, chosen) != kStatusOk) {
            return kStatusError;
        }
        if (kind != kUiChooseSave) break;
        status = AllowReplace(state, chosen);
        if (status == kStatusOk) break;
        if (status != kStatusCancelled) return status;
        // Not this file: the chooser again, on the name that was refused.
    }
    Str_CopyBounded(path, kPathSize, chosen);
    return kStatusOk;
}

}  // namespace

int32_t Ui_Choose_Filters(const char* text, char* out, int32_t capacity, int32_t* filterIndex) {
    if (text == nullptr || out == nullptr || filterIndex == nullptr || capacity < 2) {
        return kStatusProblem;
    }
    int32_t n = 0, separators = 0;
    for (const char* p = text; *p != 0; ++p) {
        if (n + 2 >= capacity) return kStatusProblem;
        if (*p == '|') {
            out[n++] = 0;
            ++separators;
        } else {
            out[n++] = *p;
        }
    }
    // Every pair is closed by its second separator; the list ends with an empty description.
    if (separators == 0 || separators % 2 != 0 || text[Str_Length(text) - 1] != '|') {
        return kStatusProblem;
    }
    out[n] = 0;
    *filterIndex = separators / 2;
    return kStatusOk;
}

int32_t Ui_Choose_Open(UiState* state, const char* title, const char* prompt, const char* folder,
                       int32_t filterId, char* path) {
    if (state == nullptr || path == nullptr) return kStatusProblem;
    return Choose(state, kUiChooseOpen, title, prompt, filterId, folder, nullptr, path);
}

int32_t Ui_Choose_Save(UiState* state, const char* title, const char* prompt, const char* folder,
                       int32_t kind, char* path) {
    if (state == nullptr || path == nullptr) return kStatusProblem;
    if (!(kUiFileHuegrid <= kind && kind <= kUiFileData)) return kStatusProblem;
    char ext[256];
    Ui_ResToCString(state, kSaveKinds[kind].extensionId, ext);
    // The name offered carries the kind's extension, as the chooser's filter shows it (a name
    // offered as "photoPars" under "Text (*.txt)" looks like another kind of file); one too long
    // for it is offered as it is. The caller's path changes only with an answer.
    char offered[kPathSize];
    Str_CopyBounded(offered, sizeof offered, path);
    if (Ui_Path_FileName(offered)[0] != 0) Ui_Path_AddDefaultExtension(offered, kPathSize, ext);
    const int32_t status = Choose(state, kUiChooseSave, title, prompt, kSaveKinds[kind].filterId,
                                  folder, ext, offered);
    if (status == kStatusOk) Str_CopyBounded(path, kPathSize, offered);
    return status;
}

int32_t Ui_Choose_SaveType(UiState* state, const char* title, const char* prompt,
                           const char* folder, int32_t filterId, const int32_t* extIds,
                           int32_t typeCount, int32_t* type, char* path) {
    if (state == nullptr || path == nullptr || extIds == nullptr || type == nullptr ||
        !(1 <= typeCount && typeCount <= 8) || !(0 <= *type && *type < typeCount)) {
        return kStatusProblem;
    }
    const SaveTypes types{state, extIds, typeCount, type};
    return Choose(state, kUiChooseSave, title, prompt, filterId, folder, nullptr, path, &types);
}

int32_t Ui_Choose_OpenFile(UiState* state, const char* title, char* path) {
    return Ui_Choose_Open(state, title, nullptr, nullptr, kStrFilterAll, path);
}

int32_t Ui_Choose_TextFile(UiState* state, const char* title, char* path) {
    return Ui_Choose_Open(state, title, nullptr, nullptr, kStrFilterText, path);
}

int32_t Ui_Choose_SaveFile(UiState* state, const char* title, int32_t kind, char* path) {
    return Ui_Choose_Save(state, title, nullptr, nullptr, kind, path);
}

int32_t Ui_Choose_Folder(UiState* state, const char* title, char* path) {
    if (state == nullptr || path == nullptr) return kStatusProblem;
    char chosen[kPathSize];
    Str_CopyBounded(chosen, sizeof chosen, path);
    Ui_ChooserRequest request{};
    request.kind = kUiChooseFolder;
    request.title = title;
    request.folder = path[0] != 0 ? path : nullptr;
    int32_t status = Ui_Binding()->choose(state, &request, chosen);
    if (status != kStatusOk) return status == kStatusCancelled ? kStatusCancelled : kStatusError;
    if (chosen[0] == 0) return kStatusCancelled;
    // A folder ends with the system's separator, as every folder the paths layer forms does;
    // '/' after a Windows folder would give a path of two conventions.
    size_t n = Str_Length(chosen);
    if (chosen[n - 1] != '/' && chosen[n - 1] != kOsSeparator) {
        if (n + 1 >= sizeof chosen) return kStatusError;
        chosen[n] = kOsSeparator;
        chosen[n + 1] = 0;
    }
    DIR* dir = opendir(chosen);
    if (dir == nullptr) return kStatusError;
    closedir(dir);
    Str_CopyBounded(path, kPathSize, chosen);
    return kStatusOk;
}

int32_t Ui_Choose_RgbProfile(UiState* state, char* path) {
    if (state == nullptr || path == nullptr) return kStatusProblem;
    char saved[kPathSize], folder[kPathSize];
    Str_CopyBounded(saved, sizeof saved, path);
    const char* start = nullptr;
    if (path[0] == 0 && Ui_Path_SetToColorFolder(state, folder, sizeof folder) == kStatusOk) {
        start = folder;
    }
    char title[256];
    Ui_ResToCString(state, kStrChooseRgbProfile, title);
    int32_t status =
        Choose(state, kUiChooseOpen, title, nullptr, kStrFilterAll, start, nullptr, path);
    if (status == kStatusOk) {
        FLSpec spec;
        FLSpecDisk(&spec, path);
        FLFile file;
        status = FLOpen(&file, &spec, kFLRead);
        if (status == kStatusOk) {
            FLIccHeader* header = nullptr;
            status = FLCheckIccHeader(&file, &header);
            FLClose(&file);
            if (status == kStatusOk) {
                bool input = header->deviceClass == ResFourCC('s', 'c', 'n', 'r');
                bool display = header->deviceClass == ResFourCC('m', 'n', 't', 'r');
                bool rgb = header->colorSpace == ResFourCC('R', 'G', 'B', ' ');
                if (!((input || display) && rgb)) status = kStatusUnsupported;
            }
            Mem_Free(header);
        }
    }
    if (status != kStatusOk) Str_CopyBounded(path, kPathSize, saved);
    return status;
}

int32_t Ui_Path_AddDefaultExtension(char* path, int32_t capacity, const char* ext) {
    if (path == nullptr || ext == nullptr || capacity < 1) return kStatusProblem;
    if (ext[0] == 0 || path[0] == 0) return kStatusOk;
    const char* name = Ui_Path_FileName(path);
    if (Str_FindChar(name, '.') != nullptr) return kStatusOk;
    size_t n = Str_Length(path), e = Str_Length(ext);
    if (n + 1 + e + 1 > size_t(capacity)) return kStatusProblem;
    path[n] = '.';
    Str_Copy(path + n + 1, ext);
    return kStatusOk;
}
