// The reduced copy of the host image that the automatic settings analyse.
//
// The whole image never comes into the module: the host is asked for the filter rectangle at an
// integer sampling rate (half the reduction needed for the preview box), the result is reduced
// once more with the tent filter in the host's own input buffer, and only then copied into the
// edit state as 8-bit interleaved R, G, B, with the selection (or, without one, the
// transparency) as a fourth channel. The pixels that take part are marked in the analysis mask:
// selected above half and, with transparency, more than half opaque. The host's buffers are
// released again before returning.
#pragma once

#include <cstdint>

#include "edit/edit_state.h"
#include "platform/alert.h"
#include "platform/status.h"

// Fills editState's analysis image and mask (freeing what they held) for a preview box of
// previewWidth x previewHeight pixels; a box without a sound size counts as 640 x 480.
// 0; -2 when the host refuses the image (failure: "advancing state"; the host result is set) or
// the selection is empty (failure: the stop text "The selected area is empty."); -10 when the
// host reports a cancel (nothing to show); a resampler failure ("IPScaleImageDown2"); -3 without
// memory or -1 for a missing state or record ("reading image file"). On failure the analysis
// image stays empty.
int32_t GetAnalysisImage(EditState* editState, int32_t previewWidth, int32_t previewHeight,
                         Ui_Failure* failure);
