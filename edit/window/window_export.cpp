// What OK does in its three file-writing modes: the correction leaves the editor as a file and the
// image stays as it is.
//
// "Create Huegrid..." saves the filter's own transform (a Huegrid file) or a .cube 3-D LUT;
// "Create Profile..." an abstract Lab profile or an RGB device link in the working space; "Edit
// Profile..." first asks for an RGB input or display profile and saves a copy of it whose
// forward tables apply the correction. The file type, and for the LUT its 33 or 65 nodes per
// side, are chosen in the save chooser itself: each is one entry of its type list, so nothing
// has to be set beforehand and the choice is made where the file is named.
//
// The writers (edit/export/export.h) take the live parameters as the filter would apply them:
// the working space they were made in, the run's grid-size level and the image's depth. A file
// is written whole or not at all; the one alert for a failure is shown by the window's item
// handler. A cancelled chooser returns to the window.
#include "edit/window/window_export.h"

#include "edit/export/export.h"
#include "edit/window/window_record.h"
#include "edit/window/window_status.h"
#include "edit/window/window_env.h"
#include "platform/paths.h"
#include "platform/resources.h"
#include "platform/ui/choosers.h"
#include "resources/ids/strings.h"

namespace {

// The save chooser's types per mode: list, default extensions, title.
constexpr int32_t kHuegridTypeExt[3] = {kStrExtHuegrid, kStrExtCube, kStrExtCube};
constexpr int32_t kProfileTypeExt[2] = {kStrExtProfile, kStrExtProfile};

// The entries of the Huegrid list: the Huegrid file, the LUT with 33 nodes, with 65.
enum : int32_t { kTypeHuegrid = 0, kTypeCube33 = 1, kTypeCube65 = 2 };

// The folder of the document when its name carries one, where the suggested file goes; else
// empty (the chooser's own start).
void DocumentFolder(const char* document, char* folder) {
    folder[0] = 0;
    if (document == nullptr || Ui_Path_FileName(document) == document) return;
    Ui_Path_Folder(document, folder);
}

// Asks where to save, starting on the suggested name; *type in and out as Ui_Choose_SaveType.
int32_t ChooseTarget(EditingWindow* win, int32_t mode, const char* source, int32_t* type,
                     char* path, Ui_Failure* failure) {
    UiState* state = win->env->state;
    char title[256], folder[kPathSize];
    const int32_t titleId = mode == kOkCreateHuegrid   ? kStrCreateHuegridTitle
                            : mode == kOkCreateProfile ? kStrCreateProfileTitle
                                                       : kStrEditProfileTitle;
    Ui_ResToCString(state, titleId, title);
    DocumentFolder(win->env->documentName, folder);
    int32_t status = ExportSuggestName(mode, win->env->documentName, source, path);
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseSaveLocation);
    const char* start = folder[0] != 0 ? folder : nullptr;
    if (mode == kOkCreateHuegrid) {
        status = Ui_Choose_SaveType(state, title, nullptr, start, kStrFilterHuegridTypes,
                                    kHuegridTypeExt, 3, type, path);
    } else if (mode == kOkCreateProfile) {
        status = Ui_Choose_SaveType(state, title, nullptr, start, kStrFilterProfileTypes,
                                    kProfileTypeExt, 2, type, path);
    } else {
        status = Ui_Choose_Save(state, title, nullptr, start, kUiFileIccProfile, path);
    }
    if (status == kStatusCancelled) return status;
    return Ui_Failure_Describe(failure, status, kPhraseSaveLocation);
}

}  // namespace

int32_t EditorExport(EditingWindow* win, int32_t mode, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    if (win == nullptr) return kStatusProblem;
    if (!(kOkEditProfile <= mode && mode <= kOkCreateHuegrid)) return kStatusOk;
    UiState* state = win->env->state;
    char source[kPathSize];
    source[0] = 0;
    if (mode == kOkEditProfile) {
        // The profile is checked when it is chosen (an RGB input or display profile), before
        // the person is asked where the new one goes; its tables are read by the writer.
        int32_t status = Ui_Choose_RgbProfile(state, source);
        if (status == kStatusCancelled) return status;
        if (status != kStatusOk) {
            Ui_Failure_Describe(failure, status, kPhraseChooseProfile);
            if (failure != nullptr) failure->hintId = kHintFileType;
            return status;
        }
    }
    int32_t type = 0;
    char path[kPathSize];
    int32_t status = ChooseTarget(win, mode, source, &type, path, failure);
    if (status != kStatusOk) return status;

    EditorBusy busy(win, kStrWritingFile);
    const EditState* es = win->es;
    ExportSettings settings{};
    settings.editPars = &es->editPars;
    settings.workingSpace = &es->editPars.refRGB;
    settings.gridLevel = es->gridLevel;
    settings.bitsPerChannel = es->bitsPerChannel == 16 ? 16 : 8;
    settings.lutNodes = mode == kOkCreateHuegrid && type == kTypeCube65 ? 65 : 33;
    settings.documentName = win->env->documentName;
    settings.state = state;
    if (mode == kOkCreateHuegrid) {
        const int32_t fileType = type == kTypeHuegrid ? kExportHuegridStream : kExportCubeLut;
        return ExportCreateHuegrid(&settings, fileType, path, failure);
    }
    if (mode == kOkCreateProfile) {
        const int32_t fileType = type == 0 ? kExportAbstractProfile : kExportDeviceLink;
        return ExportCreateProfile(&settings, fileType, path, failure);
    }
    return ExportEditProfile(&settings, source, path, failure);
}
