// The "Sharpen / Remove Noise" dialog: the sharpening strength and the chrominance noise removal
// (radius and threshold for the blue and the red chrominance) of the live parameters.
//
// The sliders edit the live SharpenNoise record directly; "Cancel" (or closing the window) puts
// back the copy taken at opening, "OK" keeps the values. The Sharpen row is hidden while
// sharpening is off and the Remove Noise area while noise removal is off.
//
// The detail view shows a part of the image at full size, magnified by the zoom (100 % to
// 800 %), through the whole transform of the live parameters with the current sharpening and
// noise removal; it starts at the image's centre. Dragging in it pans; clicking or dragging in
// the navigation view (the whole picture scaled to fit, the detail area outlined in red) moves
// the detail there. The host fetches and renders through the procedures of WindowHostProcs; the
// detail is rendered again when a slider is released, after "Restore Defaults" and after a move
// (while the mouse is down it shows without sharpening and noise removal, which are too slow to
// follow it). Without the host's preview the views stay empty and the zoom buttons disabled.
// When the views' memory cannot be had the dialog does not open: one alert, and the status.
//
// The sliders span the ranges of engine/edit_pars.h, and "Restore Defaults" brings back their
// defaults (the on/off boxes stay as they are).
#pragma once

#include <cstdint>

#include "edit/edit_state.h"
#include "edit/window/dialog_env.h"

// The detail view's magnifications.
constexpr int32_t kSharpenZoomMin = 1, kSharpenZoomMax = 8;

// Runs the dialog over env->parent on editState's live parameters. *accepted: true with "OK".
// -3 (or the host's code) when the views could not be made, after its alert.
int32_t SharpenNoiseDialog(const DialogEnv* env, EditState* editState, bool* accepted);
