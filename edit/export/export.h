// The correction leaves the editor: the files that "OK" writes in its three other modes, and the
// command-line export.
//
// One entry point per mode of OK:
//
//   mode 3 "Create Huegrid..."  ExportCreateHuegrid: the Huegrid stream of the final transform,
//                               or a .cube 3-D LUT (cube_writer.h);
//   mode 2 "Create Profile..."  ExportCreateProfile: an abstract Lab profile or an RGB device
//                               link in the working space (icc_writer.h);
//   mode 1 "Edit Profile..."    ExportEditProfile: a new profile from an RGB input or display
//                               profile whose forward tables apply the correction first.
//
// Each takes the correction as the filter would apply it (the edit parameters, the working space,
// the grid-size level, the document's depth), writes one file completely or not at all
// (export_file.h) and never changes anything else: not the record, not the source profile. On
// failure it returns the status and describes the failure in a Ui_Failure (platform/alert.h) for
// the one alert: the phrase (kPhraseWriteFile "writing file %s", kPhraseReadFile "reading file
// %s", kPhraseCreateHuegrid "creating Huegrid", kPhraseChooseProfile "choosing an ICC profile"),
// the file it names and, where the status's own hint would mislead, a hint. Nothing is shown
// here; the caller shows it with Ui_Failure_Show.
#pragma once

#include <cstdint>

#include "engine/edit_pars.h"
#include "engine/ref_rgb.h"
#include "platform/alert.h"
#include "platform/paths.h"
#include "platform/status.h"

struct UiState;

// File types of "Create Huegrid..." and of "Create Profile...".
enum : int32_t { kExportHuegridStream = 0, kExportCubeLut = 1 };
enum : int32_t { kExportAbstractProfile = 0, kExportDeviceLink = 1 };

// The modes of OK (preference entry 61) that write files.
enum : int32_t { kOkEditImage = 0, kOkEditProfile = 1, kOkCreateProfile = 2, kOkCreateHuegrid = 3 };

struct ExportSettings {
    const EditPars* editPars;    // the correction (only read)
    const RefRGB* workingSpace;  // the space it was made in; null: editPars->refRGB
    int32_t gridLevel;           // 0..7, the run's grid-size level
    int32_t bitsPerChannel;      // 8 or 16: the depth the Huegrid file is built for
    // Nodes per axis of the .cube LUT and of the profiles' tables: 33 (default) or 65; any value
    // 2..255 is accepted.
    int32_t lutNodes;
    const char* documentName;  // the image's name, for titles and descriptions; may be null
    UiState* state;  // product name, string table, debug log; may be null (no product name then)
};

// Mode 3: fileType kExportHuegridStream or kExportCubeLut, to path.
int32_t ExportCreateHuegrid(const ExportSettings* settings, int32_t fileType, const char* path,
                            Ui_Failure* failure);
// Mode 2: fileType kExportAbstractProfile or kExportDeviceLink, to path.
int32_t ExportCreateProfile(const ExportSettings* settings, int32_t fileType, const char* path,
                            Ui_Failure* failure);
// Mode 1: the profile at sourceProfile, edited, to path. -8 (with "reading file %s" and the
// source) for a file that is not a readable profile: hint kHintFileType (the wrong type of file)
// when it lacks the profile signature, kHintFileDamaged when it has it; -9 (with "choosing an
// ICC profile", hint kHintFileType) for a profile that is not an RGB input or display profile;
// -1 when path names the source itself (under any name). Nothing is written in these cases.
int32_t ExportEditProfile(const ExportSettings* settings, const char* sourceProfile,
                          const char* path, Ui_Failure* failure);

// The file name the save chooser suggests: the document name without its extension plus
// "Huegrid" (mode 3) or "Profile" (mode 2); for mode 1 the source profile's name without its
// extension, a blank and the document name without its extension. out holds kPathSize bytes.
// -1 for a null out or another mode.
int32_t ExportSuggestName(int32_t okMode, const char* documentName, const char* sourceProfile,
                          char* out);
