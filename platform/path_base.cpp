// The preferences folder and the debug log's path; see path_base.h.
#include "platform/path_base.h"

#include <cstdio>
#include <cstring>

#include "platform/format.h"
#include "platform/mem.h"
#include "platform/os.h"

namespace {

constexpr char kDefaultCompany[] = "Lumetra";
constexpr char kDebugLogName[] = "LumetraDebug.txt";

void Note(UiPathNoteProc note, void* context, const char* text) {
    if (note != nullptr) note(context, text);
}

}  // namespace

bool Ui_Path_IsSeparator(char c) {
    return c == '/' || c == '\\';
}

bool Ui_Path_EndWithSeparator(char* buffer, int32_t capacity) {
    size_t n = std::strlen(buffer);
    if (n > 0 && Ui_Path_IsSeparator(buffer[n - 1])) return true;
    if (int32_t(n + 2) > capacity) return false;
    buffer[n] = kOsSeparator;
    buffer[n + 1] = 0;
    return true;
}

int32_t Ui_Path_PrefFolderOf(const char* company, char* buffer, int32_t capacity,
                             UiPathNoteProc note, void* context) {
    if (buffer == nullptr || capacity < 1) return kStatusProblem;
    char line[2 * kPathSize];
    char appData[1024];
    bool ok = false;
    int32_t code = Os_AppDataFolder(appData, sizeof appData);
    if (code != 0) {
        Str_FormatN(line, sizeof line, "Ui_Path_SetToPrefFolder: Error %d getting appdata folder",
                    code);
        Note(note, context, line);
    } else {
        const char* name = company != nullptr && company[0] != 0 ? company : kDefaultCompany;
        if (int64_t(std::strlen(appData)) + int64_t(std::strlen(name)) + 3 > capacity) {
            Str_FormatN(line, sizeof line, "Application Data path too long (%s)", appData);
            Note(note, context, line);
        } else {
            char separator[2] = {kOsSeparator, 0};
            std::snprintf(buffer, size_t(capacity), "%s%s%s", appData,
                          Ui_Path_IsSeparator(appData[std::strlen(appData) - 1]) ? "" : separator,
                          name);
            int error = Os_MakeFolder(buffer);
            if (error != 0) {
                Str_FormatN(line, sizeof line, "Error %d creating folder %s", error, buffer);
                Note(note, context, line);
            } else {
                ok = true;
            }
        }
    }
    if (!ok) {
        // The Windows directory (on Linux the user's home folder) is the last resort.
        size_t n = Os_WindowsFolder(buffer, size_t(capacity));
        if (n == 0 || n >= size_t(capacity)) {
            buffer[0] = 0;
            Str_FormatN(line, sizeof line,
                        "Ui_Path_SetToPrefFolder: GetWindowsDirectory returned %d", int(n));
            Note(note, context, line);
            return kStatusError;
        }
    }
    return Ui_Path_EndWithSeparator(buffer, capacity) ? kStatusOk : kStatusError;
}

int32_t Ui__Path_SetToDebugLog(char* buffer) {
    if (buffer == nullptr) return kStatusProblem;
    int32_t status = Ui_Path_PrefFolderOf(nullptr, buffer, kPathSize, nullptr, nullptr);
    if (status != kStatusOk) return status;
    if (std::strlen(buffer) + sizeof kDebugLogName > size_t(kPathSize)) return kStatusError;
    Str_Append(buffer, kDebugLogName);
    return kStatusOk;
}
