// The entry points of the three exporting modes of OK; see export.h.
#include "edit/export/export.h"

#include "edit/export/cube_writer.h"
#include "edit/export/export_file.h"
#include "edit/export/export_transform.h"
#include "edit/export/icc_writer.h"
#include "engine/huegrid.h"
#include "platform/debug_log.h"
#include "platform/file.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/resources.h"
#include "platform/ui_state.h"
#include "resources/ids/strings.h"

namespace {

// A profile larger than this is not a device profile anyone chose by mistake but not a profile.
constexpr int32_t kLargestSourceProfile = 64 << 20;

uint8_t Diagnostics(const ExportSettings* s) {
    return s->state != nullptr ? s->state->diagnostics : 0;
}

void Log(const ExportSettings* s, const char* text) {
    Ui_Debug_Log(Diagnostics(s), text);
}

int32_t Fail(Ui_Failure* failure, int32_t status, int32_t phraseId, const char* subject,
             int32_t hintId = 0) {
    Ui_Failure_Describe(failure, status, phraseId, 0, subject);
    if (failure != nullptr) failure->hintId = hintId;
    return status;
}

bool Prepare(const ExportSettings* s, const char* path, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    return s != nullptr && s->editPars != nullptr && path != nullptr && path[0] != 0;
}

// "document - product", or whichever of the two there is.
void Description(const ExportSettings* s, char* out, size_t capacity) {
    char document[kPathSize];
    Str_CopyBounded(document, sizeof document,
                    s->documentName != nullptr ? Ui_Path_FileName(s->documentName) : "");
    Ui_Path_StripExtension(document);
    const char* product = s->state != nullptr ? s->state->appName : "";
    if (document[0] != 0 && product[0] != 0) {
        Str_FormatN(out, capacity, "%s - %s", document, product);
    } else {
        Str_CopyBounded(out, capacity, document[0] != 0 ? document : product);
    }
}

bool ValidNodes(int32_t n) {
    return 2 <= n && n <= kIccMaxNodes;
}

// The correction at depth 2 for the writers that sample it.
int32_t BuildSampled(const ExportSettings* s, Huegrid** transform, Ui_Failure* failure) {
    int32_t status = ExportBuildTransform(s->editPars, s->workingSpace, s->gridLevel, 2, transform);
    if (status != kStatusOk) return Fail(failure, status, kPhraseCreateHuegrid, nullptr);
    return kStatusOk;
}

// Reads a whole source file into a Mem_Alloc block.
int32_t ReadSource(const char* path, uint8_t** bytes, uint32_t* size, Ui_Failure* failure) {
    if (Str_Length(path) >= size_t(kPathSize))
        return Fail(failure, kStatusProblem, kPhraseOpenFile, path);
    FLSpec spec;
    FLSpecDisk(&spec, path);
    FLFile file;
    int32_t status = FLOpen(&file, &spec, kFLRead);
    if (status != kStatusOk) return Fail(failure, status, kPhraseOpenFile, path);
    int32_t length = 0;
    status = FLSeek(&file, 0, 2);
    if (status == kStatusOk) status = FLTell(&file, &length);
    if (status == kStatusOk) status = FLSeek(&file, 0, 0);
    // The header alone is 128 bytes; anything shorter, or absurdly large, is no profile.
    if (status == kStatusOk && !(128 <= length && length <= kLargestSourceProfile)) {
        status = kStatusFormat;
    }
    MemBlock<uint8_t> block;
    if (status == kStatusOk && !block.Allocate(uint32_t(length))) status = kStatusNoMemory;
    int32_t count = length;
    if (status == kStatusOk) status = FLRead(&file, block.get(), &count, 1);
    FLClose(&file);
    if (status != kStatusOk) {
        return Fail(failure, status, kPhraseReadFile, path,
                    status == kStatusFormat ? kHintFileType : 0);
    }
    *bytes = block.Release();
    *size = uint32_t(length);
    return kStatusOk;
}

}  // namespace

int32_t ExportCreateHuegrid(const ExportSettings* settings, int32_t fileType, const char* path,
                            Ui_Failure* failure) {
    if (!Prepare(settings, path, failure))
        return Fail(failure, kStatusProblem, kPhraseWriteFile, path);
    Log(settings, "ExportCreateHuegrid...");
    int32_t status = kStatusOk;
    Huegrid* transform = nullptr;
    if (fileType == kExportHuegridStream) {
        // Exactly the filter's transform: the document's depth, both pixel sizes at it.
        const int32_t depth = settings->bitsPerChannel == 16 ? 2 : 1;
        if (settings->bitsPerChannel != 8 && settings->bitsPerChannel != 16) {
            status = Fail(failure, kStatusProblem, kPhraseCreateHuegrid, nullptr);
        } else {
            status = ExportBuildTransform(settings->editPars, settings->workingSpace,
                                          settings->gridLevel, depth, &transform);
            if (status != kStatusOk) status = Fail(failure, status, kPhraseCreateHuegrid, nullptr);
        }
        if (status == kStatusOk) {
            ExportTarget target;
            status = ExportTargetBegin(&target, settings->state, path);
            if (status == kStatusOk) {
                FLSpec spec;
                FLSpecDisk(&spec, target.temp);
                status = HgWriteStream(transform->lut, &spec);
            }
            status = ExportTargetFinish(&target, status);
            if (status != kStatusOk) status = Fail(failure, status, kPhraseWriteFile, path);
        }
    } else if (fileType == kExportCubeLut) {
        if (!ValidNodes(settings->lutNodes)) {
            status = Fail(failure, kStatusProblem, kPhraseWriteFile, path);
        } else {
            status = BuildSampled(settings, &transform, failure);
        }
        if (status == kStatusOk) {
            char title[kPathSize];
            Description(settings, title, sizeof title);
            ExportTarget target;
            status = ExportTargetBegin(&target, settings->state, path);
            if (status == kStatusOk) status = ExportTargetOpen(&target);
            if (status == kStatusOk)
                status = CubeWrite(transform, settings->lutNodes, title, &target);
            status = ExportTargetFinish(&target, status);
            if (status != kStatusOk) status = Fail(failure, status, kPhraseWriteFile, path);
        }
    } else {
        status = Fail(failure, kStatusProblem, kPhraseWriteFile, path);
    }
    HgFree(transform);
    Log(settings, "...ExportCreateHuegrid");
    return status;
}

int32_t ExportCreateProfile(const ExportSettings* settings, int32_t fileType, const char* path,
                            Ui_Failure* failure) {
    if (!Prepare(settings, path, failure))
        return Fail(failure, kStatusProblem, kPhraseWriteFile, path);
    if (!(fileType == kExportAbstractProfile || fileType == kExportDeviceLink) ||
        !ValidNodes(settings->lutNodes)) {
        return Fail(failure, kStatusProblem, kPhraseWriteFile, path);
    }
    Log(settings, "ExportCreateProfile...");
    Huegrid* transform = nullptr;
    int32_t status = BuildSampled(settings, &transform, failure);
    if (status == kStatusOk) {
        char description[kPathSize];
        Description(settings, description, sizeof description);
        IccRequest request{};
        request.transform = transform;
        request.workingSpace = settings->workingSpace != nullptr ? settings->workingSpace
                                                                 : &settings->editPars->refRGB;
        request.nodes = settings->lutNodes;
        request.description = description;
        request.diagnostics = Diagnostics(settings);
        uint8_t* bytes = nullptr;
        uint32_t size = 0;
        status = fileType == kExportAbstractProfile ? IccBuildAbstract(&request, &bytes, &size)
                                                    : IccBuildDeviceLink(&request, &bytes, &size);
        if (status == kStatusOk) status = ExportWriteBlock(settings->state, path, bytes, size);
        Mem_Free(bytes);
        if (status != kStatusOk) status = Fail(failure, status, kPhraseWriteFile, path);
    }
    HgFree(transform);
    Log(settings, "...ExportCreateProfile");
    return status;
}

int32_t ExportEditProfile(const ExportSettings* settings, const char* sourceProfile,
                          const char* path, Ui_Failure* failure) {
    if (!Prepare(settings, path, failure) || sourceProfile == nullptr || sourceProfile[0] == 0) {
        return Fail(failure, kStatusProblem, kPhraseWriteFile, path);
    }
    if (!ValidNodes(settings->lutNodes))
        return Fail(failure, kStatusProblem, kPhraseWriteFile, path);
    // The original is never changed, not even by choosing its own name to save under.
    if (ExportSameFile(sourceProfile, path)) {
        return Fail(failure, kStatusProblem, kPhraseWriteFile, path);
    }
    Log(settings, "ExportEditProfile...");
    uint8_t* source = nullptr;
    uint32_t sourceSize = 0;
    Huegrid* transform = nullptr;
    int32_t status = ReadSource(sourceProfile, &source, &sourceSize, failure);
    if (status == kStatusOk) status = BuildSampled(settings, &transform, failure);
    if (status == kStatusOk) {
        char note[kPathSize];
        Description(settings, note, sizeof note);
        IccRequest request{};
        request.transform = transform;
        request.nodes = settings->lutNodes;
        request.description = note;
        request.source = source;
        request.sourceSize = sourceSize;
        request.diagnostics = Diagnostics(settings);
        uint8_t* bytes = nullptr;
        uint32_t size = 0;
        status = IccBuildEditedProfile(&request, &bytes, &size);
        if (status == kStatusFormat) {
            // A file without the profile signature was never a profile: the wrong file was
            // chosen. One with it is a damaged profile.
            const bool signed_ = sourceSize >= 40 && source[36] == 'a' && source[37] == 'c' &&
                                 source[38] == 's' && source[39] == 'p';
            Fail(failure, status, kPhraseReadFile, sourceProfile,
                 signed_ ? kHintFileDamaged : kHintFileType);
        } else if (status == kStatusUnsupported) {
            Fail(failure, status, kPhraseChooseProfile, sourceProfile, kHintFileType);
        } else {
            if (status == kStatusOk) status = ExportWriteBlock(settings->state, path, bytes, size);
            if (status != kStatusOk) Fail(failure, status, kPhraseWriteFile, path);
        }
        Mem_Free(bytes);
    }
    Mem_Free(source);
    HgFree(transform);
    Log(settings, "...ExportEditProfile");
    return status;
}

int32_t ExportSuggestName(int32_t okMode, const char* documentName, const char* sourceProfile,
                          char* out) {
    if (out == nullptr) return kStatusProblem;
    out[0] = 0;
    char document[kPathSize];
    Str_CopyBounded(document, sizeof document,
                    documentName != nullptr ? Ui_Path_FileName(documentName) : "");
    Ui_Path_StripExtension(document);
    if (okMode == kOkCreateHuegrid || okMode == kOkCreateProfile) {
        Str_FormatN(out, kPathSize, "%s%s", document,
                    okMode == kOkCreateHuegrid ? "Huegrid" : "Profile");
        return kStatusOk;
    }
    if (okMode != kOkEditProfile) return kStatusProblem;
    char source[kPathSize];
    Str_CopyBounded(source, sizeof source,
                    sourceProfile != nullptr ? Ui_Path_FileName(sourceProfile) : "");
    Ui_Path_StripExtension(source);
    if (source[0] != 0 && document[0] != 0) {
        Str_FormatN(out, kPathSize, "%s %s", source, document);
    } else {
        Str_FormatN(out, kPathSize, "%s%s", source, document[0] != 0 ? document : "");
    }
    return kStatusOk;
}
