// Neutral balance and toning curves.
//
// Two stages of the edit chain are per-channel curves derived from samples rather than set by a
// slider. The colour balance makes the colours the user marked as neutral neutral (or, with a
// tinted neutral target, the tint of the neutral definition); the toning tints the neutral axis
// towards toneColor. Both are built alike:
//
//   1. (source, target) points in 20 luma bins (bin k = trunc(20 Y), Y = 0.299 R + 0.587 G +
//      0.114 B), the empty bins marked;
//   2. the ends anchored (black to black, white to white) and the empty bins filled by linear
//      interpolation between their filled neighbours;
//   3. per channel a weighted least-squares polynomial, degree 5 down to 2, the middle bins
//      weighing ten times as much as the end bins, tabulated at 256 points, held within the band
//      0.01 t .. 0.99 + 0.01 t, and accepted at the highest degree that gives a strictly
//      increasing curve.
//
// The band keeps every curve from crushing a channel to black or white; the monotonicity keeps
// it from inverting tones. The builds are caches of the parameters: HgEvalColour calls them
// before it reads a curve, and they do nothing while the curves are up to date.
#pragma once

#include <cstdint>

#include "engine/edit_pars.h"
#include "platform/status.h"

// Working points of one build; an empty bin has -1 in every field.
struct HgBinPoints {
    float source[3][kEditBinCount];
    float target[3][kEditBinCount];
    int32_t count[kEditBinCount];
};

// The luma bin of a colour, 0..19.
int32_t HgLumaBin(const float rgb[3]);

// Adds one sample (components 0..1) to a set of 20 bins. -1 for a null argument, a component
// outside 0..1 (a bin holds sums of colours) or a full bin.
int32_t HgAddBalanceSample(SampleBin bins[kEditBinCount], const float rgb[3]);

// Rebuilds balCurve from balBin and neutralTarget unless balCurveValid is 1, then sets it to 1.
// -1 when a tinted target cannot be converted in the record's working space; the curves are
// then not marked as up to date.
int32_t HgBuildBalance(EditPars* editPars);

// Rebuilds toneCurve when toneColor differs from toneCurveFor by 1e-8 or more in a component,
// then copies toneColor into toneCurveFor. -1 for a tone colour that is not finite.
int32_t HgBuildToning(EditPars* editPars);

// The neutral target (strength 0..100, hue in degrees, hue change 0) whose tinted balance gives
// a colour (0..1 in the working space ref) its own chroma at its own lightness. -1 for a null
// argument, a colour that is not finite or an invalid space.
int32_t HgNeutralTargetFromColour(const float rgb[3], const RefRGB* ref, float out[3]);

// Steps 2 and 3 above, open to the callers that build their own points: anchors bins 0 and 19
// when empty and fills every run of empty bins between two filled ones.
void HgCompleteBinPoints(HgBinPoints* points);
// Fits and tabulates one channel of completed points into curve. When no degree fits, curve
// keeps what it held; when no degree gives a strictly increasing curve, the last one tabulated
// (the lowest degree that could be fitted) stays.
// Returns the degree accepted (2..5), or 0 when the last tabulated curve was not accepted or
// nothing could be fitted; -1 for a null argument or a bad channel.
int32_t HgFitBinCurve(const HgBinPoints* points, int32_t channel, float curve[kEditCurveSize]);
