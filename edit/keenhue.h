// Keenhue: the automatic settings.
//
// AutoSettings looks at the reduced analysis image and sets the groups of the live record that
// a tool starting automatically (or a "Keenhue" button) asks for, as a starting point the user
// can refine. Each step judges the image as the tools to its left already correct it: it builds
// a temporary Huegrid from the groups before its own and measures through it. The steps, in
// order, each only when its groups are asked for and allowed by the state's Keenhue mask:
//
//   linear data (16-bit images)  median luma of the image read as a gamma
//   colour balance               at each end of the image (the darkest by the largest channel
//                                and the lightest by the geometric mean of the channels, 0.4%
//                                of the pixels that end can take unclipped), the surface that
//                                holds most of the end becomes a neutral sample (its
//                                interior, without the edge it shares), when the end
//                                and that surface are close to neutral relative to their
//                                lightness (and, at the dark end, the surface holds a fifth of
//                                the end); the surface of clipped white (one or two
//                                channels at full scale) stands for the light end, as one
//                                sample, when that holds no neutral, or when it covers a tenth
//                                of the image
//   black, grey and white point  the 0.2% tails of the luma histogram, softened by a smoothstep
//   brightness                   the weighted brightness brought into 0.4..0.6 by bisection
//   saturation                   the 99.8th percentile of the saturation brought to the
//                                preferred saturation
//   hue handles                  handles on the peaks of the hue histogram (hue_peaks.h)
//
// A failing step stops the ones after it; the groups set so far stay set.
#pragma once

#include <cstdint>

#include "edit/edit_state.h"
#include "edit/keenhue_grey.h"
#include "edit/keenhue_tuning.h"
#include "engine/ip_image.h"
#include "engine/measure.h"
#include "platform/status.h"

struct WorkPool;

// The fixed fractions and limits of the steps.
constexpr double kKhLinearGammaLimit = 1.3;     // a median read as a gamma at or below: linear
constexpr double kKhBalanceTail = 0.004;        // dark and light ends searched for neutrals
constexpr float kKhBalanceChromaLimit = 0.35f;  // an end more colourful than this is no neutral,
                                                // relative to its largest component
constexpr double kKhWhiteBackground = 0.1;      // a clipped white this share of the image is a
                                                // background, preferred to the light end
constexpr double kKhWhiteBackdrop = 0.25;       // ... and this share, preferred to grey pixels
constexpr float kKhAgreement = 0.08f;           // log chromaticity: two neutrals this close agree
constexpr double kKhDarkSurface = 0.2;          // the share of the dark end's set its surface
                                                // must hold: less is scattered specks
constexpr double kKhPointTail = 0.002;          // clipped at each end by the tone points
constexpr float kKhBrightnessLow = 0.4f;        // the brightness target range
constexpr float kKhBrightnessHigh = 0.6f;
constexpr float kKhBrightnessTolerance = 0.005f;  // bisection stops at this interval
constexpr double kKhSaturationTail = 0.002;
constexpr float kKhSaturationLow = 0.5f;  // the saturation setting's final range
constexpr float kKhSaturationHigh = 0.7f;

// Sets the groups of mask & editState->keenhueMask of the live record from image, restricted to
// the pixels editState->analysisMask marks (no bits: all). The caller resets those groups first
// (ResetEditStatePars). A failure's status is returned for the caller to show ("calculating auto
// settings", kPhraseAutoSettings): -1 for a missing image or state, a grid level above 7 or a
// record that fails its check, -3 without memory, or a failing build's status. threads: how many
// the measurements may use (WorkThreadCount), for a pool made for this call and joined before it
// returns; the settings are the same for any number.
int32_t AutoSettings(EditState* editState, int32_t mask, const IPImage* image, int32_t threads = 1);

// The steps one by one, for AutoSettings and the editing window; each works on the live record
// of editState with the analysis mask, and returns as AutoSettings without showing anything.
int32_t KhLinear(EditState* editState, const IPImage* image);
// What the colour balance found at one end of the image, for diagnostics and tests.
struct KhBalanceEnd {
    uint64_t admitted;  // visited pixels the end can take (no channel clipped at this end)
    int32_t threshold;  // largest channel (dark) or geometric mean's distance to full scale (light)
    uint64_t count;     // pixels within the threshold: the end's set
    float average[3];   // their mean colour, 0..1
    float chroma;       // of that mean: largest minus smallest component
    float relativeChroma;     // the chroma beyond two codes, relative to the largest component
    int32_t sampledPixels;    // the sample taken from the region grown from the set that holds
                              // most of it: its interior, or of a white its clipped-white pixels
    float sampledAverage[3];  // their mean colour
    bool taken;               // that region became a neutral sample
    float logChroma[2];       // of the sample, when taken: ln R - ln G, ln B - ln G
    bool vetoed;              // taken at first, then dropped as disagreeing with the others
};
struct KhBalanceTrace {
    KhBalanceEnd dark, light;
    KhBalanceEnd white;   // the clipped white (threshold 255, admitted: every visited pixel)
    KhGreyEstimate grey;  // what the grey pixels agree on
    bool greyTaken;       // their crowd took part in the samples
    float crowdWeight;    // its share of the balance, 0..1; the rest is the ends' standing alone
    bool backdrop;        // the neutral is a white backdrop (the light end or the clipped white)
    float confidence;     // how much of the balance was applied, 0..1
};
// trace, when given, receives what each end found. The steps that take a pool (work_pool.h;
// null: the calling thread alone) count their histograms on its threads, with the same result.
int32_t KhColourBalance(EditState* editState, const IPImage* image, KhBalanceTrace* trace = nullptr,
                        WorkPool* pool = nullptr);
int32_t KhTonePoints(EditState* editState, const IPImage* image, int32_t mask);
int32_t KhBrightness(EditState* editState, const IPImage* image);
int32_t KhSaturation(EditState* editState, const IPImage* image, WorkPool* pool = nullptr);
// Resets the toning colour and, unless the hue tab is showing or a handle has been edited,
// only marks the placement pending (it would change nothing visible); otherwise places the
// handles (KhPlaceHueHandles).
int32_t KhHueHandles(EditState* editState, const IPImage* image, WorkPool* pool = nullptr);
// Puts the six handles on the hue peaks of the image seen through every group before the hue
// tool, neutral, handle 0 active; clears the pending flag.
int32_t KhPlaceHueHandles(EditState* editState, const IPImage* image, WorkPool* pool = nullptr);

// Histogram helpers shared by the steps and their tests.
// The index of the first bin at which the running count from bin 0 reaches target (0 for a
// target of 0); 255 (n - 1) when it is never reached.
int32_t KhBinReaching(const uint32_t* hist, int32_t n, uint64_t target);
// How many bins, taken from bin 0 upwards (fromTop: from bin n - 1 downwards), it takes until
// their count reaches target; 0 for a target of 0, n when it is never reached.
int32_t KhBinsTaken(const uint32_t* hist, int32_t n, uint64_t target, bool fromTop);
// round(total x fraction), half away from zero.
uint64_t KhTailCount(uint64_t total, double fraction);
