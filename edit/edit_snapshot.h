// One state of the edit model that an undo step goes back to, and whether two are the same. Taking
// one from the run's EditState and putting it back are the state's operations (edit_state.h).
//
// A snapshot is the whole live record and the window state that belongs to it: the tab shown,
// the colour-balance method and its slider positions, the two sample points, and the colour
// definitions and memory colours, which the window edits and the record's colour targets are
// derived from (a neutral target without the definition it came from would disagree with the dialog
// that shows it). It is plain data of a fixed size, so a history may keep as many as it likes by
// copying them; restoring one gives the record back byte for byte. What is derived from the record
// (whether the active hue handle has samples) is worked out again on restoring rather than kept.
// The editing window decides when a change begins and takes the snapshot then; what it shows after
// a restore it works out from the state.
#pragma once

#include <cstdint>

#include "edit/color_defs.h"
#include "edit/memory_colors.h"
#include "engine/edit_pars.h"

// A sample point of the editing window: a pixel of the image (image coordinates) whose values
// the window keeps on display. It belongs to no correction, but placing, moving and removing one
// are steps the person takes back and forth like any other.
struct EditSamplePoint {
    uint8_t valid;
    uint8_t reserved[3];
    int32_t x, y;
};

struct EditSnapshot {
    EditPars pars;
    int32_t tab;
    int32_t balanceMethod;
    float balanceSlider[3];
    ColorDefs colorDefs;
    MemoryColor memoryColors[kMemoryColorCount];
    EditSamplePoint samplePoints[2];
};

// Whether two snapshots hold the same correction and sample points: the record and the
// definitions byte for byte, the method and its slider positions, the points. The tab shown does
// not count: a step that would only switch tabs takes nothing back.
bool EditSnapshotSame(const EditSnapshot& a, const EditSnapshot& b);
