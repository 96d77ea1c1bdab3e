// Hue handle positions from the peaks of a hue histogram; see hue_peaks.h.
#include "edit/hue_peaks.h"

#include "engine/measure.h"

namespace {

int32_t Wrap(int32_t degrees) {
    return ((degrees % kKhHueBins) + kKhHueBins) % kKhHueBins;
}

int32_t CircularDistance(int32_t a, int32_t b) {
    int32_t d = Wrap(a - b);
    return d > kKhHueBins / 2 ? kKhHueBins - d : d;
}

// One reading of the histogram. Returns false when a seventh peak turned up (the reading is
// then incomplete and the histogram too rough), true when every peak fitted.
bool ReadPeaks(const int32_t hist[kKhHueBins], KhHuePeak peaks[kKhMaxPeaks], int32_t* count) {
    int32_t curvature[kKhHueBins];
    HgHueCurvature(hist, curvature);
    int32_t minC = curvature[0];
    int32_t maxH = hist[0];
    for (int32_t i = 1; i < kKhHueBins; ++i) {
        if (curvature[i] < minC) minC = curvature[i];
        if (hist[i] > maxH) maxH = hist[i];
    }
    // Integer division truncates toward zero, as the threshold is meant to.
    const int32_t threshold = int32_t((int64_t(minC) - 50) / 100);
    const int64_t floor = (int64_t(maxH) + 50) / 100;

    *count = 0;
    bool runHasPeak = false;
    for (int32_t i = 0; i < kKhHueBins; ++i) {
        const int32_t c = curvature[i];
        if (c > threshold) {
            runHasPeak = false;  // the run of a hill ends here
            continue;
        }
        // A local minimum of the curvature. Integer counts often give a hill's top a few bins
        // of equal curvature; such a plateau is one minimum, taken at its middle bin, where a
        // strict comparison with the next bins would miss the hill altogether.
        const int32_t before = curvature[Wrap(i - 1)];
        if (before == c) continue;  // inside a plateau met at its first bin
        int32_t length = 1;
        while (length < kKhHueBins && curvature[Wrap(i + length)] == c) ++length;
        const int32_t after = curvature[Wrap(i + length)];
        if (!(before > c && after > c)) continue;
        const int32_t bin = Wrap(i + (length - 1) / 2);
        int64_t mass = 0;
        HgHueHillMass(hist, bin, &mass);
        if (mass < floor) continue;
        if (!runHasPeak) {
            if (*count == kKhMaxPeaks) return false;
            peaks[(*count)++] = {bin, c, mass};
            runHasPeak = true;
        } else if (c > peaks[*count - 1].curvature) {
            peaks[*count - 1] = {bin, c, mass};
        }
    }
    return true;
}

// Ascending insertion sort of n positions carrying a flag along (n <= 6).
void SortPositions(int32_t* position, bool* inserted, int32_t n) {
    for (int32_t i = 1; i < n; ++i) {
        for (int32_t j = i; j > 0 && position[j - 1] > position[j]; --j) {
            int32_t p = position[j];
            position[j] = position[j - 1];
            position[j - 1] = p;
            bool f = inserted[j];
            inserted[j] = inserted[j - 1];
            inserted[j - 1] = f;
        }
    }
}

}  // namespace

void KhSmoothHueHistogram(int32_t hist[kKhHueBins]) {
    static const int32_t kWeight[9] = {1, 2, 3, 4, 5, 4, 3, 2, 1};
    // The histogram with four bins from across 0 degrees at either end, so that no index wraps
    // in the sums: a photograph with many small hills is smoothed up to a hundred times.
    int32_t source[kKhHueBins + 8];
    for (int32_t i = 0; i < kKhHueBins + 8; ++i) source[i] = hist[Wrap(i - 4)];
    for (int32_t i = 0; i < kKhHueBins; ++i) {
        int64_t sum = 12;
        for (int32_t k = 0; k < 9; ++k) sum += int64_t(kWeight[k]) * source[i + k];
        hist[i] = int32_t(sum / 25);
    }
}

int32_t KhFindHuePeaks(int32_t hist[kKhHueBins], KhHuePeak peaks[kKhMaxPeaks], int32_t* count) {
    if (hist == nullptr || peaks == nullptr || count == nullptr) return kStatusProblem;
    for (int32_t pass = 0; pass < kKhSmoothPasses; ++pass) KhSmoothHueHistogram(hist);
    // After the last permitted round the six peaks found first are what there is.
    for (int32_t round = 0; round < kKhMaxPeakRounds; ++round) {
        if (ReadPeaks(hist, peaks, count)) break;
        KhSmoothHueHistogram(hist);
    }
    return kStatusOk;
}

void KhMergeHuePeaks(KhHuePeak peaks[kKhMaxPeaks], int32_t* count) {
    const int32_t n = *count;
    for (int32_t i = 1; i < n; ++i) {
        for (int32_t j = i; j > 0; --j) {
            const KhHuePeak& a = peaks[j - 1];
            const KhHuePeak& b = peaks[j];
            bool outOfOrder = a.mass < b.mass || (a.mass == b.mass && a.bin > b.bin);
            if (!outOfOrder) break;
            KhHuePeak t = peaks[j];
            peaks[j] = peaks[j - 1];
            peaks[j - 1] = t;
        }
    }
    // Each peak is compared with every peak kept so far, not only the one before it in mass
    // order: two readings of one hill may lie apart in that order, and across 0 degrees the
    // first and the last of the list are neighbours. Sorted heaviest first, the kept peak is
    // never the lighter of a close pair, so a close peak is simply dropped.
    int32_t kept = 0;
    for (int32_t i = 0; i < n; ++i) {
        bool close = false;
        for (int32_t j = 0; j < kept && !close; ++j) {
            close = CircularDistance(peaks[i].bin, peaks[j].bin) < kKhPeakMergeDegrees;
        }
        if (!close) peaks[kept++] = peaks[i];
    }
    *count = kept;
}

int32_t KhHandlePositions(const KhHuePeak* peaks, int32_t count, int32_t positions[kKhMaxPeaks]) {
    if (positions == nullptr || !(0 <= count && count <= kKhMaxPeaks) ||
        (count > 0 && peaks == nullptr)) {
        return kStatusProblem;
    }
    if (count == 0) {
        for (int32_t i = 0; i < kKhMaxPeaks; ++i) positions[i] = i * (kKhHueBins / kKhMaxPeaks);
        return kStatusOk;
    }
    int32_t n = count;
    bool inserted[kKhMaxPeaks] = {};
    for (int32_t i = 0; i < n; ++i) positions[i] = peaks[i].bin;
    SortPositions(positions, inserted, n);
    while (n < kKhMaxPeaks) {
        int32_t widest = 0, widestGap = -1;
        for (int32_t i = 0; i < n; ++i) {
            int32_t gap = n == 1 ? kKhHueBins : Wrap(positions[(i + 1) % n] - positions[i]);
            if (gap > widestGap) widestGap = gap, widest = i;
        }
        positions[n] = Wrap(positions[widest] + (widestGap + 1) / 2);
        inserted[n] = true;
        ++n;
        SortPositions(positions, inserted, n);
    }
    // Spread every run of inserted handles evenly between the peaks that enclose it. Walking
    // from a peak once round the ring meets every run exactly once.
    int32_t first = 0;
    while (inserted[first]) ++first;
    for (int32_t k = 0; k < kKhMaxPeaks;) {
        const int32_t startIndex = (first + k) % kKhMaxPeaks;
        int32_t run = 0;
        while (run < kKhMaxPeaks - 1 && inserted[(startIndex + 1 + run) % kKhMaxPeaks]) ++run;
        if (run > 0) {
            const int32_t start = positions[startIndex];
            const int32_t endIndex = (startIndex + run + 1) % kKhMaxPeaks;
            int32_t span = Wrap(positions[endIndex] - start);
            if (span == 0) span = kKhHueBins;  // a single peak: the run goes round the ring
            for (int32_t j = 1; j <= run; ++j) {
                // Rounded half up in integers: start + j / (run + 1) x span.
                int32_t offset = (2 * j * span + (run + 1)) / (2 * (run + 1));
                positions[(startIndex + j) % kKhMaxPeaks] = Wrap(start + offset);
            }
        }
        k += run + 1;
    }
    bool unused[kKhMaxPeaks] = {};
    SortPositions(positions, unused, kKhMaxPeaks);
    return kStatusOk;
}
