// The correction run backwards, for the table of a profile that converts into the device.
//
// A display profile is also used as a destination: a colour-managed application turns colours
// into the device's codes through its BToA table. When the forward table of an edited profile
// applies the correction before the device's own conversion, the backward table must undo the
// correction after undoing the device, or the two directions disagree. The correction has no
// closed-form inverse, so each colour is solved for: Newton steps on the transform itself,
// evaluated with 16-bit codes, with a Jacobian from small differences.
//
// Limits: where the correction is not one-to-one (black or white points that clip, saturation
// taken to zero) there is no exact inverse; the result is the input found whose correction comes
// closest to the target (largest channel difference), within 0..1.
#pragma once

#include <cstdint>

#include "engine/huegrid.h"
#include "platform/status.h"

// For each of count colours target[3i..3i+2] (values 0..1, clamped) finds result[3i..3i+2] in
// 0..1 with correction(result) as close to target as the steps reach. transform is built at
// depth 2. -1 for a bad argument, -3 without memory.
int32_t ExportInvert(const Huegrid* transform, int32_t count, const float* target, float* result);
