// The state of one editing run, and the operations that reset and fill its live parameters.
//
// An EditState holds the live EditPars that the editing window edits and the filter applies,
// with the window state that belongs to groups of it: the colour-balance method and slider
// positions, the active hue handle and memory colour, the colour definitions. Resetting a group
// of the live record therefore resets that state too (ResetEditStatePars), and copying a stored
// set into the live record under a tool mask (CopyParsMasked, used by the start modes and the
// "Prev" and "Custom" buttons) goes through that reset first.
//
// The record lives in the data block that the host keeps between calls, so it is plain data;
// it grows with the editing window.
#pragma once

#include <cstdint>

#include "edit/color_defs.h"
#include "edit/edit_snapshot.h"
#include "edit/memory_colors.h"
#include "engine/edit_pars.h"
#include "engine/ip_image.h"
#include "engine/measure.h"
#include "platform/status.h"

struct UiState;

enum : int32_t {
    kBalanceNeutrals = 1,    // neutrals marked in the image
    kBalanceTwoSliders = 2,  // temperature and tint
    kBalanceThreeSliders = 3,
};

struct EditState {
    EditPars editPars;  // the live (working) record
    EditSnapshot undo;  // what "Undo" goes back to (edit_snapshot.h)

    int32_t currentTab;      // 0 colour balance .. 3 hue selective
    int32_t balanceMethod;   // kBalance*
    float balanceSlider[3];  // t_R, t_G, t_B in 0..1, 0.5 after a colour-balance reset
    int32_t activeHandle;    // 0..5
    int32_t activeColorId;   // the memory colour (0..5) or plain handle (6..11) shown active
    uint8_t activeHandleHasSamples;
    uint8_t huePlacementPending;
    uint8_t reserved[2];
    ColorDefs colorDefs;  // neutral, grayscale and sepia definitions
    // The six memory colours, the run's copies of the preferences' slots (the host copies them
    // in when the run starts; the editing window hands changed ones back).
    MemoryColor memoryColors[kMemoryColorCount];
    // What the hue tab's information box names: the memory-colour slot (0..5), "B/W" (6) or
    // "Sepia" (7) under the pointer or being edited; -1 for none (memory_info.h's subjects).
    int32_t pointerSubject;
    // The editing window's sample points #1 and #2 (Shift-click in the preview).
    EditSamplePoint samplePoints[2];
    int32_t bitsPerChannel;  // of the image: 8 or 16 (linear data is offered for 16 only)
    int32_t gridLevel;       // quality index 0..7 of the transforms built for the run

    // What the automatic settings may do, copied from the preferences when a run starts.
    float preferredSaturation;  // 0..1: how saturated the most saturated colours should look
    int32_t keenhueMask;        // the groups the automatic settings set (HgEditMask bits)
    // How much of the colour balance the automatic settings applied, 0..1 (0: they found no
    // neutral they could trust); -1 when the balance is not theirs (reset, marked, copied).
    float balanceConfidence;
    // The level (0..1) the balance gave the white backdrop it took as the neutral; 0 when it took
    // none. The white point keeps that white at full scale (KhTonePoints). Read only while
    // balanceConfidence is not -1: once the balance is not the automatic settings', neither is
    // the backdrop.
    float backdropLevel;
    // The reduced copy of the image that the automatic settings analyse: 8-bit interleaved
    // R, G, B and, when the image has a selection or transparency, that plane fourth. Its pixels
    // block and the mask's bits (null: every pixel takes part) are the state's own Mem_Alloc
    // blocks, taken once per run and released by EditStateFreeAnalysis.
    IPImage analysisImage;
    IPMask analysisMask;
};

// A fresh state: defaults everywhere, the live record in the given working space (null: the
// default reference space) with its tables derived and its groups reset through
// ResetEditStatePars, an 8-bit image, grid level 7, the default preferred
// saturation (0.8) and Keenhue mask (64564), no analysis image. Installs the engine's
// neutral-target derivation. -1 for a null state or an invalid space.
int32_t EditStateInit(EditState* editState, const RefRGB* workingSpace);

// Releases the analysis image and its mask and empties both records. Safe on an empty state.
void EditStateFreeAnalysis(EditState* editState);

// ResetPars on the live record, then for the colour balance (bit 1): slider positions 0.5 and
// neutralTarget derived from the neutral definition through the record's working space (the
// balance curves marked for rebuilding); for any hue bit: handle 0 active, its colorId the
// active memory colour, both hue flags cleared. -1 for a null state; a failing derivation passes
// its status on (the record is then reset but keeps a plain neutral target).
int32_t ResetEditStatePars(EditState* editState, HgEditMask mask);

// Derives neutralTarget from the neutral colour definition through the record's working space
// and marks the balance curves for rebuilding; the balance samples are kept. A failing
// derivation passes its status on and leaves the target as it was.
int32_t EditStateDeriveNeutralTarget(EditState* editState);

// Asked before settings made in another working space are copied: 0 to copy them anyway, -10 to
// leave the live record as it is, or the status of a question that could not be asked. The
// caller, which owns the window the question belongs to, asks it.
using ConfirmSpaceChange = int32_t (*)(UiState* state);

// Copies the groups of mask from a stored set into the live record. When the two were made in
// different working spaces confirm is asked first; anything but 0 from it is returned and
// changes nothing, and without confirm such a set is not copied (-1). Then the groups are reset
// (ResetEditStatePars) and filled: linear only for 16-bit images; the balance bins and target;
// each tone value; for any hue bit all six handles and the toning colour; the sharpen and noise
// settings only when mask is 65535. -1 for a null record. state serves the diagnostics log.
int32_t CopyParsMasked(const EditPars* saved, EditState* live, HgEditMask mask, UiState* state,
                       ConfirmSpaceChange confirm);

// Snapshots of the state (edit_snapshot.h).
// The state's live record and window state into *snapshot. -1 for null.
int32_t EditSnapshotTake(const EditState* editState, EditSnapshot* snapshot);
// Puts the snapshot back into the state: the record, the tab, the method, the slider positions
// and the definitions; on the hue tab, whether the active handle has samples follows the record. -1
// for null.
int32_t EditSnapshotRestore(EditState* editState, const EditSnapshot* snapshot);
