// The "Sharpen / Remove Noise" dialog: the sharpening strength and the chrominance noise removal
// (radius and threshold for the blue and the red chrominance) of the live parameters.
//
// The sliders edit the live SharpenNoise record directly; "Cancel" (or closing the window) puts
// back the copy taken at opening, "OK" keeps the values. The Sharpen row is hidden while
// sharpening is off and the Remove Noise area while noise removal is off.
//
// Not built yet: the detail view (the image at a zoom level through the full transform with the
// current sharpening and noise removal), the navigation view and the zoom buttons. The host's
// procedures for them are in WindowHostProcs (openDetail, fetchDetail, renderDetail, drawDetail,
// setUpNavigator, drawNavigator); the dialog is not wired to them yet. Until then the two views
// are drawn empty and the zoom buttons are disabled.
#pragma once

#include <cstdint>

#include "edit/edit_state.h"
#include "edit/window/dialog_env.h"

// The slider ranges and the values "Restore Defaults" brings back.
constexpr int32_t kSharpenStrengthMin = 1, kSharpenStrengthMax = 24, kSharpenStrengthDefault = 6;
constexpr int32_t kNoiseRadiusMin = 3, kNoiseRadiusMax = 16;
constexpr int32_t kNoiseThresholdMin = 1, kNoiseThresholdMax = 50;
constexpr int32_t kNoiseRadiusDefault[3] = {0, 8, 4};  // [1] blue, [2] red
constexpr int32_t kNoiseThresholdDefault = 16;

// Runs the dialog over env->parent on editState's live parameters. *accepted: true with "OK".
int32_t SharpenNoiseDialog(const DialogEnv* env, EditState* editState, bool* accepted);
