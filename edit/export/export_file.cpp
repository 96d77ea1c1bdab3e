// Writing an exported file completely or not at all; see export_file.h.
#include "edit/export/export_file.h"

#include <cstdio>

#include "platform/mem.h"
#include "platform/os.h"

int32_t ExportTargetBegin(ExportTarget* target, UiState* state, const char* path) {
    if (target == nullptr) return kStatusProblem;
    Mem_Fill(target->path, 0, sizeof target->path);
    Mem_Fill(target->temp, 0, sizeof target->temp);
    target->file = FLFile{};
    target->isOpen = 0;
    if (path == nullptr || path[0] == 0 || Str_Length(path) >= size_t(kPathSize)) {
        return kStatusProblem;
    }
    Str_CopyBounded(target->path, sizeof target->path, path);
    char folder[kPathSize];
    Ui_Path_Folder(path, folder);
    // Taking a name makes the file: a folder where that fails is one where the target could not
    // be created either, and is told so.
    int32_t status = Ui_Path_SetToTempFile(state, folder, target->temp, kPathSize);
    if (status != kStatusOk) target->temp[0] = 0;
    return status == kStatusError ? kStatusFileOpen : status;
}

int32_t ExportTargetOpen(ExportTarget* target) {
    if (target == nullptr || target->temp[0] == 0 || target->isOpen) return kStatusProblem;
    FLSpec spec;
    FLSpecDisk(&spec, target->temp);
    int32_t status = FLOpen(&target->file, &spec, kFLWrite);
    if (status == kStatusOk) target->isOpen = 1;
    return status;
}

int32_t ExportTargetWrite(ExportTarget* target, const void* bytes, uint32_t count) {
    if (target == nullptr || bytes == nullptr || !target->isOpen) return kStatusProblem;
    const auto* p = static_cast<const uint8_t*>(bytes);
    // The file layer counts in signed 32 bits; large blocks go in pieces.
    constexpr uint32_t kPiece = 1u << 30;
    while (count > 0) {
        int32_t n = int32_t(count < kPiece ? count : kPiece);
        const int32_t wanted = n;
        int32_t status = FLWrite(&target->file, p, &n);
        if (status != kStatusOk) return status;
        if (n != wanted) return kStatusFileWrite;
        p += n;
        count -= uint32_t(n);
    }
    return kStatusOk;
}

int32_t ExportTargetFinish(ExportTarget* target, int32_t status) {
    if (target == nullptr) return kStatusProblem;
    if (target->isOpen) {
        int32_t closed = FLClose(&target->file);
        target->isOpen = 0;
        if (status == kStatusOk) status = closed;
    }
    if (target->temp[0] == 0) return status != kStatusOk ? status : kStatusProblem;
    // Replacing in one step through the platform: on Windows the C library's rename refuses an
    // existing target, so an earlier export could never be replaced there. A rename that fails
    // is a full disk only when the system says so (the alert's hint then asks for room); a target
    // in use or a refused permission is a failure of its own.
    if (status == kStatusOk) {
        int error = Os_ReplaceFile(target->temp, target->path);
        if (error != 0) status = Os_ErrorIsDiskFull(error) ? kStatusFileWrite : kStatusError;
    }
    if (status != kStatusOk) {
        FLSpec spec;
        FLSpecDisk(&spec, target->temp);
        FLDelete(&spec);
    }
    target->temp[0] = 0;
    return status;
}

int32_t ExportWriteBlock(UiState* state, const char* path, const void* bytes, uint32_t count) {
    if (bytes == nullptr) return kStatusProblem;
    ExportTarget target;
    int32_t status = ExportTargetBegin(&target, state, path);
    if (status != kStatusOk) return status;
    status = ExportTargetOpen(&target);
    if (status == kStatusOk) status = ExportTargetWrite(&target, bytes, count);
    return ExportTargetFinish(&target, status);
}

bool ExportSameFile(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return false;
    return Os_SameFile(a, b);
}
