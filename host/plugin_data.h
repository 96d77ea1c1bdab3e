// The two blocks the host keeps for the module between calls, and the state of a filter run they
// carry.
//
// The host hands back on every call the parameters handle (PluginParams: the preferences path and
// the preferences record) and the data handle (PluginData: the strip height, the show-window flag,
// a message buffer and the state of one filter run). LockHandles (handles.h) locks both for the
// call and points the call's record (call_state.h) at them; everything else lives only for the
// duration of a call.
#pragma once

#include <cstdint>

#include "edit/edit_state.h"
#include "edit/prefs.h"
#include "engine/huegrid.h"
#include "host/call_state.h"
#include "host/preview.h"
#include "host/row_bands.h"
#include "host/scripting.h"
#include "hostsdk/filter_record.h"
#include "platform/paths.h"

// Identifies both persistent blocks as ours: "KLMR".
constexpr uint32_t PluginSignature = 0x4B4C4D52;

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
    uint8_t* channelPointer[4];           // the channels of the current input row
    RowBands* bands;                      // the transform's streams, the processors, the rows
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
