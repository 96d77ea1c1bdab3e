// The module's process-wide globals and the two blocks the host keeps between calls.
//
// The host calls PluginMain on one thread, one call at a time, and hands back on every call the
// parameters handle (PluginParams: the preferences path and the preferences record) and the
// data handle (PluginData: the strip height, the show-window flag, a message buffer and the
// state of one filter run). Everything else lives only for the duration of a call. The globals
// below are set at the start of each call and are what every host-side routine reads.
#pragma once

#include <cstdint>

#include "edit/edit_state.h"
#include "edit/prefs.h"
#include "engine/huegrid.h"
#include "engine/huegrid_applier.h"
#include "engine/ip_image.h"
#include "engine/noise_filter.h"
#include "host/preview.h"
#include "host/row_pipeline.h"
#include "host/scripting.h"
#include "hostsdk/filter_record.h"
#include "platform/alert.h"
#include "platform/format.h"
#include "platform/paths.h"
#include "platform/ui_state.h"

// Identifies both persistent blocks as ours: "KLMR".
constexpr uint32_t PluginSignature = 0x4B4C4D52;
constexpr int kScratchSize = 257;

struct PluginParams {
    uint32_t signature;
    char prefsPath[kPathSize];
    char tempPath[kPathSize];
    Prefs prefs;
};

// The state of streaming the host image through the transform (one filter run).
struct FilterState {
    Huegrid* transform;
    int32_t bytesIn, bytesOut;            // bytes per sample: 2 for 16-bit images, else 1
    int32_t width, height;                // of the filter rectangle
    int32_t inColumnStep, outColumnStep;  // planes
    int32_t outRow;                       // output rows written so far
    uint8_t* outChannel[4];               // the channels of the scratch output row
    uint8_t* channelPointer[4];           // the channels of the current input row
    RowPipeline pipeline;                 // the transform's stream, the processors, the row
    VRect filterRect, inRect, maskRect, outRect;
};

// What the host side of a run keeps besides the edit state: copies of the preferences that
// steer the run, the preview size and window bounds from the prepare phase, the filter and the
// preview.
struct RunState {
    uint8_t hostHasColourServices;
    uint8_t previewReduced;
    uint8_t useKeenhue;      // some tool starts with the automatic settings
    uint8_t keenhueApplied;  // the automatic settings were applied to the live record
    uint8_t liveSliders;
    uint8_t showSampledRegion;
    uint8_t useLargestWindow;
    uint8_t startAllSame;
    uint8_t scriptReady;  // script holds this run's settings (the start phase set them)
    int32_t readoutMode;
    int32_t sampleSize;
    int32_t sampleSign;
    int32_t gridLevel;
    float preferredSaturation;
    int32_t startWith;
    int32_t startTool[4];
    int32_t okMode;  // 0 edit images
    int32_t previewWidth, previewHeight;
    int16_t windowBounds[4];  // top, left, bottom, right
    char title[kPathSize];
    char imageName[kPathSize];
    // The settings the run started from (the preferences, or a replayed action's) and, once it
    // applied its correction, what the finish phase records.
    ScriptSettings script;
    FilterState filter;
    // The preview the editing window shows: what the host's buffers hold and the images made
    // from them.
    PreviewState preview;
};

struct PluginData {
    uint32_t signature;
    int16_t rowSkip;     // image rows fetched from the host per strip
    uint8_t showDialog;  // 1: the start phase shows the editing window
    char scratch[kScratchSize];
    EditState editState;
    RunState run;
};

extern void* gFilterRecord;  // FilterRecord, or AboutRecord for the about selector
extern intptr_t* gDataHandle;
extern int16* gResult;
extern SPBasicSuite* gSPBasic;
extern const void* gModuleInstance;
extern uint8_t gDiagnostics;
extern UiState* gState;
extern UiState** gStateRef;
extern PluginParams* gParams;
extern PluginData* gData;
extern Prefs* gPrefs;
extern char* gScratch;
extern char* gPrefsPath;
extern char* gTempPath;

inline FilterRecord* Record() {
    return static_cast<FilterRecord*>(gFilterRecord);
}
inline uint8_t Diagnostics() {
    return gState != nullptr ? gState->diagnostics : 0;
}

// Formats into the message buffer (cut to fit) and writes it to the debug log with the
// diagnostics flag; without the buffer a local one stands in. The formatter is the plug-in's own
// (platform/format.h); its conversions are a subset of printf's, so the compiler checks the
// arguments as printf's.
UI_FORMAT_CHECK(1, 2) void LogF(const char* format, ...);
// The same with the flag forced on: for the lines that are written whatever diagnostics say.
UI_FORMAT_CHECK(1, 2) void LogForcedF(const char* format, ...);

// Handle routines and validation.
void CreateParametersHandle();
void CreateDataHandle();
void LockHandles();
void UnlockHandles();
// Unlocks both blocks, gives them back to the host (disposeProc) and clears their fields, so
// that DoParameters makes fresh ones.
void DiscardHandles();
int32_t ValidateParameters();
int32_t ValidateData();

// The phase handlers.
void DoAbout();
void DoParameters();
void DoPrepare();
// What the prepare phase asks the host to keep for the module besides the image rows
// (bufferSpace) for a preview of width x height pixels at a depth of 8 or 16 bits.
uint32_t PrepareBufferSpace(int32_t previewWidth, int32_t previewHeight, int32_t depth);
void DoStart();
void DoContinue();
void DoFinish();

int32_t InitParameters();
int32_t InitData();
void FreeKolmaraParsStuff(PluginData* data);

// The preamble of a phase: locks the two blocks and rebuilds them (DoParameters) when they fail
// validation; with createWhenMissing also when the host has none yet. false when the phase
// cannot go on (the host result says why).
bool OpenPhaseBlocks(bool createWhenMissing);
// Ends a phase after a failure: shows it (once; nothing for a cancel or status 0) and sets the
// host result.
void FailPhase(const Ui_Failure& failure, OSErr result);

// The preferences file at the parameters block's path, through the entries' callbacks. Reading
// shows a notice for every repaired entry; a failure is described in failure ("reading
// preference N" for a refused entry, else "reading Preferences file %s") for the caller to show.
int32_t ReadPreferences(Ui_Failure* failure);
// A failure is described as "updating Preferences file %s".
int32_t WritePreferences(Ui_Failure* failure);
// The working-space question of the start modes: "Use Anyway" (0) or "Cancel" (-10).
int32_t AskUseOtherSpace(UiState* state);

// The host result of an internal status of a run: -10 -> -128, -3 -> -108, -9 -> -30900,
// other non-zero -> -30100; 0 leaves the result.
void MapRunResult(int32_t status);
void SetResult(OSErr result);
