// Where the automatic settings put the six hue handles: on the peaks of the image's hue
// histogram, the rest spread evenly between them.
//
// The 360-bin histogram (one bin per degree, circular) is smoothed, then its peaks are read from
// the curvature: a hill is a run of bins curving down more than a threshold, its peak the bin of
// the run where the curvature has a local minimum (a plateau of equal values counting as one,
// at its middle), and a hill holding less than 1% of the highest
// bin is noise. More than six hills means the histogram is still too rough: it is smoothed once
// more and read again. Peaks closer than 10 degrees count as one. Missing handles fill the widest
// gaps and are then spread evenly between the peaks around them, so the handles a user sees sit on
// the image's main colours and cover the ring in between.
//
// All arithmetic is integer, so the placement is the same on every machine.
#pragma once

#include <cstdint>

#include "platform/status.h"

constexpr int32_t kKhHueBins = 360;
constexpr int32_t kKhMaxPeaks = 6;
constexpr int32_t kKhSmoothPasses = 5;  // passes before the first reading
constexpr int32_t kKhMaxPeakRounds = 100;
constexpr int32_t kKhPeakMergeDegrees = 10;

struct KhHuePeak {
    int32_t bin;        // degrees 0..359
    int32_t curvature;  // the second difference at the peak
    int64_t mass;       // the count of its hill
};

// One circular smoothing pass: h[i] := (1 2 3 4 5 4 3 2 1 weighted sum around i + 12) / 25.
void KhSmoothHueHistogram(int32_t hist[kKhHueBins]);

// The peaks of hist, which is smoothed in place (kKhSmoothPasses times first, and once more for
// every reading that finds more than kKhMaxPeaks), in the order the walk met them. -1 for a
// null argument.
int32_t KhFindHuePeaks(int32_t hist[kKhHueBins], KhHuePeak peaks[kKhMaxPeaks], int32_t* count);

// Sorts the peaks by mass (largest first, then by hue) and drops every peak less than
// kKhPeakMergeDegrees (circular distance) from any peak kept before it in that order, so of two
// close peaks the heavier stays.
void KhMergeHuePeaks(KhHuePeak peaks[kKhMaxPeaks], int32_t* count);

// The six handle positions (degrees 0..359, ascending) for the merged peaks: the peaks
// themselves, the remaining handles first put into the middle of the widest gaps and then spread
// evenly between the peaks around them. No peak: 0, 60, ... 300. -1 for a null argument or a
// count outside 0..6.
int32_t KhHandlePositions(const KhHuePeak* peaks, int32_t count, int32_t positions[kKhMaxPeaks]);
