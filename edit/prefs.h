// The preferences record and its entries in the preferences file.
//
// Prefs is the in-memory image of the preferences file: every field is one tagged entry (50 to
// 115, and our own from 201) or one of the stored copies of the edit parameters. The container
// (platform/prefs_file.h) reads and writes the entries; this file says what each entry holds, its
// valid range and the value that replaces a bad one, its default, and the order in which entries
// are written.
//
// Reading is forgiving and safe: an unknown tag is skipped, an entry of the wrong type or count is
// refused (-8, which ends the reading), and an out-of-range value takes its fallback and reading
// goes on. Both are noted (PrefsReadNotes) for the layer that read the file, which tells the user
// "reading preference N, using default value" for each repair and "reading preference N" for the
// refusal; nothing here shows anything. Nothing read from a file, however damaged, leaves a field
// outside its range.
//
// Entries marked "standalone" serve a standalone application that shares the file; the plug-in
// only keeps and validates them.
#pragma once

#include <cstdint>

#include "edit/color_defs.h"
#include "engine/edit_pars.h"
#include "edit/memory_colors.h"
#include "platform/alert.h"
#include "platform/status.h"

struct UiState;
struct FLFile;

constexpr int kPrefsTextSize = 256;      // paths and folders
constexpr int kPrefsShortTextSize = 20;  // file-name prefix and suffix
// The largest Keenhue mask (entry 98) the preferences keep; recorded actions take the same range.
constexpr int32_t kPrefsKeenhueMaskMax = 65087;

// How a tool's parameters start when the editing window opens.
enum : int32_t {
    kStartKeenhue = 0,   // automatic settings
    kStartPrevious = 1,  // the previous settings
    kStartReset = 2,
    kStartCustom = 3,  // the custom settings
};

struct Prefs {
    uint8_t liveSliders;        // 50: the preview follows slider moves
    uint8_t keenhueMode;        // 55: "Keenhue Mode" box
    uint8_t useLargestWindow;   // 58
    uint8_t showSampledRegion;  // 59
    int32_t gridLevel;          // 51: grid-size level 0..7 for transform builds
    int32_t sampleSize;         // 52: eyedropper averages (2n + 1)^2 pixels, n 0..2
    int32_t readoutMode;        // 53: 0 RGB, 1 HSB, 2 CMYK
    float preferredSaturation;  // 54: target of the automatic saturation
    int32_t okMode;             // 61: 0 edit image, 1 edit profile, 2 create profile, 3 Huegrid
    MemoryColor memoryColors[kMemoryColorCount];  // 62 values, 63 names (older files: 60)
    int32_t startWith;                     // 64: all tools, or tool 1 when tools start separately
    uint8_t showMethodMenu;                // 66: "Show Neutrals/Sliders Pop-up Menu"
    uint8_t showCurveControl;              // 67: "Show Brightness/Contrast Curve Control"
    uint8_t altOkCyclesMode;               // 68
    uint8_t showPixelValues;               // 69
    int32_t workingSpaceChoice;            // 70: standalone, 0..14
    uint8_t embedProfile;                  // 71: standalone
    uint8_t preserveExif;                  // 72: standalone
    uint8_t saveInSourceFolder;            // 73: standalone
    uint8_t useFileExtensions;             // 76: standalone
    char outputFolder[kPrefsTextSize];     // 74: standalone
    char fileSuffix[kPrefsShortTextSize];  // 75: standalone
    uint8_t lowerCaseExtensions;           // 77: standalone
    uint8_t showStartUpGuide;              // 89
    uint8_t previewSharpening;             // 106
    uint8_t previewNoise;                  // 107
    float jpegQuality;                     // 78: standalone, 0..1
    int32_t missingProfilePolicy;          // 79: standalone, 0 ask, 1 assign, 2 convert
    char missingProfilePath[kPrefsTextSize];   // 80
    int32_t embeddedProfilePolicy;             // 83: standalone, 0 ask, 1 assign, 2 convert, 3 use
    char embeddedProfilePath[kPrefsTextSize];  // 84
    int32_t outputFormat;                      // 88: standalone, 0 as source, 1 TIFF, 7 BMP, 9 JPEG
    char customName[kPrefsTextSize];       // 94: name of the loaded custom settings, empty for none
    char customFolder[kPrefsTextSize];     // 95: folder of the custom settings files
    int32_t outputNaming;                  // 96: standalone, 0 suffix, 1 prefix, 2 same name
    char filePrefix[kPrefsShortTextSize];  // 97: standalone
    int32_t keenhueMask;        // 98: groups the automatic settings set (HgEditMask bits)
    int32_t memoryColorMask;    // 99: what a memory colour sets in a handle
    SharpenNoise sharpenNoise;  // 102, 103: the last sharpen and noise settings
    ColorDefs colorDefs;        // 105 neutral, 108 grayscale, 104 sepia
    uint8_t startAllSame;       // 111: "Start all tool tabs the same way"
    int32_t startTool[4];       // 112..115: per-tool start modes
    // Where the editing window was left, to open there again (entries of our own, 201..204,
    // clear of the shared ones): the tab 0..3, the colour-balance method 1..3 and the window's
    // outer size in pixels (0: the template's).
    int32_t lastTab;
    int32_t lastMethod;
    int32_t windowWidth, windowHeight;
    // 205: the threads a filter run uses, 1..64; 0 (the default) one per processor, at most 64.
    // The environment's KOLMARA_THREADS overrides it (platform/work_pool.h).
    int32_t threads;
    EditPars customSettings;    // 109 (older files: 93)
    EditPars previousSettings;  // 110 (older files: 100)
    EditPars dialogPars;        // carried by the preferences dialog; never stored
    // Values and paths of the standalone application whose meaning the plug-in does not know;
    // it keeps them as they are (values 56, 57, 81 (1..2), 85 (1..3); paths 82, 86, 90, 91).
    int32_t standaloneValues[4];
    char standalonePaths[4][kPrefsTextSize];
};

// What a reading met besides the values: the entries repaired to their fallback (the user is told
// of each) and the entry that was refused (which ended the reading).
constexpr int kPrefsNotedRepairs = 64;
struct PrefsReadNotes {
    int32_t repairs;                           // entries repaired, however many
    uint16_t repairedTag[kPrefsNotedRepairs];  // the first kPrefsNotedRepairs of them, in order
    int32_t refusal;                           // 0, or the status that refused an entry
    uint16_t refusedTag;
};

// The notices of a reading one by one, as failures for the caller to show: each repair ("reading
// preference N, using default value", -9), then the refusal ("reading preference N"). false
// past the last one.
bool PrefsReadNotice(const PrefsReadNotes* notes, int32_t index, Ui_Failure* notice);

// Every field at its default; the stored copies of the edit parameters reset with every group,
// the default sharpen and noise values and the default working space. -1 for null.
int32_t SetPrefsDefaults(Prefs* prefs);

// The threads a call of the module uses under these preferences (null: none stored), with the
// environment's override (WorkThreadCount).
int32_t PrefsThreadCount(const Prefs* prefs);

// The Preferences dialog edits a copy of the record. "OK" copies back every entry it shows: the
// start modes, the custom settings with their name and folder, the Keenhue and memory-colour
// masks, the preferred saturation, the preview and display options, the OK mode, the window size
// option, the start-up guide and the standalone application's options (dialogPars, which is no
// entry, is the dialog's own business). "Restore Defaults" sets all of those to their defaults
// except the custom settings themselves, the masks and the preferred saturation. Both read the
// entry table, where each entry says which of the two it takes part in.
void CopyPrefsDialogEntries(const Prefs* from, Prefs* to);
void ResetPrefsDialogEntries(Prefs* prefs);

// The name of an entry, in the words of the Preferences dialog where it has them; null for a tag
// the plug-in does not know.
const char* PrefsEntryName(uint16_t tag);

// The reading callback's work on an explicit record: takes one entry (data in memory form, as
// the container hands it). 0 for an entry taken or skipped, also after a repair, which is noted
// in notes (may be null); otherwise the failure (-8 wrong type or count, -1 null), noted as the
// refusal.
int32_t ReadPrefEntryInto(Prefs* prefs, UiState* state, uint16_t tag, uint16_t type, uint32_t count,
                          const void* data, PrefsReadNotes* notes);
// Writes every entry in the fixed order; the first failing write ends it and is returned.
int32_t WritePrefEntriesFrom(const Prefs* prefs, UiState* state, FLFile* file);

// What the container's callbacks below act on, passed as their context: the record, and where
// the reading callback notes what it met (null: nothing is noted). Without a record they fail
// with -1.
struct PrefsEntryTarget {
    Prefs* prefs;
    PrefsReadNotes* notes;
};
int32_t ReadPrefEntry(void* target, UiState* state, uint16_t tag, uint16_t type, uint32_t count,
                      const void* data);
int32_t WritePrefEntries(void* target, UiState* state, FLFile* file);

// The start-mode pop-up lists Keenhue, Previous, Custom, Reset: positions 1..4 stand for the modes
// 0, 1, 3, 2. -1 for anything outside those.
int32_t StartModeFromListPosition(int32_t position, int32_t* mode);
int32_t StartModeToListPosition(int32_t mode, int32_t* position);
