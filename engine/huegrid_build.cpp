// Building a Huegrid from the edit parameters; see huegrid_build.h.
#include "engine/huegrid_build.h"

#include <cmath>

#include "engine/balance.h"
#include "engine/edit_chain.h"
#include "platform/work_pool.h"

namespace {

constexpr int32_t kGridSizes[kHgQualityMax + 1] = {7, 9, 11, 15, 17, 23, 27, 33};
constexpr int32_t kSaturationAndHues = kEditSaturation | kEditMaskAllHues;
constexpr double kRefineError = 0.005;
constexpr int kGreySamples = 256;
constexpr int kInverseSamples = 33;

uint16_t ToCode(double v, int32_t max) {
    if (!(v > 0)) return 0;
    if (v >= 1) return uint16_t(max);
    return uint16_t(v * max + 0.5);
}

// Makes n codes strictly increasing from 0 to max: going left to right a code that does not
// exceed its left neighbour is raised to one above it, but never so far that the nodes to its
// right would run out of codes. The input is sorted, so a single duplicate moves by one.
void MakeStrictlyIncreasing(uint16_t* codes, int32_t n, int32_t max) {
    codes[0] = 0;
    codes[n - 1] = uint16_t(max);
    for (int32_t i = 1; i < n - 1; ++i) {
        int32_t v = codes[i];
        if (v <= codes[i - 1]) v = codes[i - 1] + 1;
        int32_t room = max - (n - 1 - i);
        if (v > room) v = room;
        codes[i] = uint16_t(v);
    }
}

// A sorted list of nodes on 0..1 with the chain's value at each.
struct NodeList {
    double x[256];
    double y[256];
    int32_t count = 0;

    // Inserted after any node at the same x (a stable sort of the appended node).
    void Insert(double nx, double ny) {
        int32_t at = count;
        while (at > 0 && x[at - 1] > nx) {
            x[at] = x[at - 1];
            y[at] = y[at - 1];
            --at;
        }
        x[at] = nx;
        y[at] = ny;
        ++count;
    }
};

// The sample i (0..255) where linear interpolation through the nodes misses the curve most,
// the first on ties, and the miss.
int32_t WorstSample(const NodeList& nodes, const float* curve, double* worst) {
    int32_t at = 0, segment = 0;
    *worst = -1;
    for (int32_t i = 0; i < kGreySamples; ++i) {
        double x = i / 255.0;
        while (segment < nodes.count - 2 && x > nodes.x[segment + 1]) ++segment;
        double x0 = nodes.x[segment], x1 = nodes.x[segment + 1];
        double y0 = nodes.y[segment], y1 = nodes.y[segment + 1];
        double line = x1 > x0 ? y0 + (y1 - y0) * (x - x0) / (x1 - x0) : y0;
        double error = std::fabs(line - curve[i]);
        if (error > *worst) {
            *worst = error;
            at = i;
        }
    }
    return at;
}

// The widest gap between neighbours that lies within lo..hi and can take a node of its own
// code (at least two codes wide); -1 when there is none.
int32_t WidestGap(const NodeList& nodes, double lo, double hi, int32_t max) {
    int32_t best = -1;
    double bestWidth = 0;
    for (int32_t k = 0; k + 1 < nodes.count; ++k) {
        if (nodes.x[k] < lo || nodes.x[k + 1] > hi) continue;
        double width = nodes.x[k + 1] - nodes.x[k];
        if (width * max < 2.0) continue;
        if (width > bestWidth) {
            bestWidth = width;
            best = k;
        }
    }
    return best;
}

void PlaceAdaptive(const float* curve, int32_t n, int32_t max, uint16_t* codes) {
    NodeList nodes;
    nodes.Insert(0.0, curve[0]);
    nodes.Insert(1.0, curve[kGreySamples - 1]);

    // Flat runs at the ends: one node where each run ends, none inside it.
    double flatLo = 0.0, flatHi = 1.0;
    int32_t run = 0;
    while (run + 1 < kGreySamples && curve[0] == 0.0f && curve[run + 1] == 0.0f) ++run;
    if (run >= 1 && run < kGreySamples - 1) {
        flatLo = run / 255.0;
        nodes.Insert(flatLo, 0.0);
    }
    run = kGreySamples - 1;
    while (run - 1 > 0 && curve[kGreySamples - 1] == 1.0f && curve[run - 1] == 1.0f) --run;
    if (run <= kGreySamples - 2 && run >= 1 && run / 255.0 > flatLo) {
        flatHi = run / 255.0;
        nodes.Insert(flatHi, 1.0);
    }

    while (nodes.count < n) {
        double worst;
        int32_t i = WorstSample(nodes, curve, &worst);
        if (!(worst > kRefineError)) break;
        nodes.Insert(i / 255.0, curve[i]);
    }
    // The rest halve the widest gaps, outside the flat runs while there is room there.
    while (nodes.count < n) {
        int32_t k = WidestGap(nodes, flatLo, flatHi, max);
        if (k < 0) k = WidestGap(nodes, 0.0, 1.0, max);
        if (k < 0) {
            // No gap can take a code of its own; the codes are spread below.
            k = 0;
            for (int32_t j = 1; j + 1 < nodes.count; ++j) {
                if (nodes.x[j + 1] - nodes.x[j] > nodes.x[k + 1] - nodes.x[k]) k = j;
            }
        }
        nodes.Insert((nodes.x[k] + nodes.x[k + 1]) / 2.0, 0.0);
    }
    for (int32_t i = 0; i < n; ++i) codes[i] = ToCode(nodes.x[i], max);
}

// Nodes at which the grey response (made non-decreasing) reaches evenly spaced outputs.
void PlaceGreyInverse(const float* samples, int32_t n, int32_t max, uint16_t* codes) {
    double y[kInverseSamples];
    for (int j = 0; j < kInverseSamples; ++j) {
        y[j] = samples[j];
        if (j > 0 && y[j] < y[j - 1]) y[j] = y[j - 1];
    }
    double y0 = y[0], y1 = y[kInverseSamples - 1];
    for (int32_t k = 0; k < n; ++k) {
        double x = double(k) / (n - 1);
        if (y1 - y0 > 1e-6 && k > 0 && k < n - 1) {
            double target = y0 + (y1 - y0) * k / (n - 1);
            int j = 1;
            while (j < kInverseSamples - 1 && y[j] < target) ++j;
            double span = y[j] - y[j - 1];
            double f = span > 0 ? (target - y[j - 1]) / span : 0.0;
            x = (j - 1 + f) / (kInverseSamples - 1);
        }
        codes[k] = ToCode(x, max);
    }
}

int32_t BuildCurves(EditPars* p, int32_t mask, HuegridLut** out) {
    HuegridLut* lut = nullptr;
    int32_t status = HgCreateLut(&lut, 3, 3, kHgSpaceRgb, kHgSpaceRgb, 0, 2, 1);
    for (int32_t c = 0; c < 3 && status == kStatusOk; ++c) {
        status = HgSetNodes(lut, c, HgCurveLength(1), nullptr);
    }
    for (int32_t i = 0; i < 256 && status == kStatusOk; ++i) {
        float grey[3] = {float(i / 255.0), float(i / 255.0), float(i / 255.0)}, v[3];
        status = HgEvalColour(p, mask, grey, v);
        uint8_t entry[3];
        for (int c = 0; c < 3; ++c) entry[c] = uint8_t(ToCode(v[c], 255));
        if (status == kStatusOk) status = HgSetEntry(lut, uint32_t(i), entry);
    }
    if (status != kStatusOk) {
        HgFreeLut(lut);
        return status;
    }
    *out = lut;
    return kStatusOk;
}

// The nodes of one blue index, evaluated by one task of the pool.
struct GridSlices {
    EditPars* p;  // only read while the tasks run (see BuildGrid)
    int32_t mask;
    int32_t n;
    int32_t depth;
    const float (*channel)[256];
    HuegridLut* lut;
    int32_t status[256];  // per slice
};

void BuildSlice(int32_t b, void* context) {
    GridSlices* s = static_cast<GridSlices*>(context);
    const int32_t n = s->n, max = HgMaxCode(s->depth);
    // Red fastest, then green, then blue, as the grid stores its nodes.
    uint32_t index = uint32_t(b) * uint32_t(n) * uint32_t(n);
    int32_t status = kStatusOk;
    for (int32_t g = 0; g < n && status == kStatusOk; ++g) {
        for (int32_t r = 0; r < n && status == kStatusOk; ++r) {
            float v[3] = {s->channel[0][r], s->channel[1][g], s->channel[2][b]};
            status = HgEvalMixingStages(s->p, s->mask, v);
            if (status != kStatusOk) break;
            uint16_t wide[3];
            uint8_t narrow[3];
            for (int c = 0; c < 3; ++c) {
                wide[c] = ToCode(v[c], max);
                narrow[c] = uint8_t(wide[c]);
            }
            status = HgSetEntry(
                s->lut, index++,
                s->depth == 2 ? static_cast<const void*>(wide) : static_cast<const void*>(narrow));
        }
    }
    s->status[b] = status;
}

int32_t BuildGrid(EditPars* p, int32_t mask, int32_t n, int32_t depth, int32_t placement,
                  int32_t threads, HuegridLut** out) {
    uint16_t nodes[3][256];
    int32_t status = HgPlaceNodes(p, mask, n, depth, placement, nodes);
    if (status != kStatusOk) return status;
    HuegridLut* lut = nullptr;
    status = HgCreateLut(&lut, 3, 3, kHgSpaceRgb, kHgSpaceRgb, 1, 2, depth);
    for (int32_t c = 0; c < 3 && status == kStatusOk; ++c) {
        if (depth == 2) {
            status = HgSetNodes(lut, c, n, nodes[c]);
        } else {
            uint8_t small[256];
            for (int32_t i = 0; i < n; ++i) small[i] = uint8_t(nodes[c][i]);
            status = HgSetNodes(lut, c, n, small);
        }
    }
    // The stages before saturation act on each channel alone, so they are evaluated once per
    // node position of each axis; only the mixing stages run per node. The result is the same,
    // bit for bit, as HgEvalColour on the node's colour.
    const int32_t max = HgMaxCode(depth);
    float channel[3][256];
    for (int32_t i = 0; i < n && status == kStatusOk; ++i) {
        float v[3];
        for (int32_t c = 0; c < 3; ++c) v[c] = float(double(nodes[c][i]) / max);
        status = HgEvalChannelStages(p, mask, v);
        for (int32_t c = 0; c < 3; ++c) channel[c][i] = v[c];
    }
    // The slices run in parallel, so nothing they share may change while they run. The toning
    // curve is made at the first evaluation that needs it and only read after: it is made here
    // (the adaptive placement has usually made it already, the uniform one has not). The grid is
    // made at the first entry stored, so the first entry is stored here; its slice writes it
    // again. A node's value depends neither on the thread nor on the order.
    if (status == kStatusOk && (mask & kEditMaskAllHues) != 0) status = HgBuildToning(p);
    if (status == kStatusOk) {
        const uint16_t zeros[3] = {0, 0, 0};
        status = HgSetEntry(lut, 0, zeros);
    }
    if (status == kStatusOk) {
        GridSlices slices{p, mask, n, depth, channel, lut, {}};
        // One thread needs no pool: the slices run here, in order.
        WorkPool* pool = threads > 1 ? WorkPoolCreate(threads) : nullptr;
        WorkPoolRun(pool, n, BuildSlice, &slices);
        WorkPoolFree(pool);
        for (int32_t b = 0; b < n && status == kStatusOk; ++b) status = slices.status[b];
    }
    if (status != kStatusOk) {
        HgFreeLut(lut);
        return status;
    }
    *out = lut;
    return kStatusOk;
}

}  // namespace

int32_t HgGridSize(int32_t quality) {
    if (!(0 <= quality && quality <= kHgQualityMax)) return kStatusProblem;
    return kGridSizes[quality];
}

int32_t HgPlaceNodes(EditPars* p, int32_t mask, int32_t n, int32_t depth, int32_t mode,
                     uint16_t nodes[3][256]) {
    if (p == nullptr || nodes == nullptr || !(2 <= n && n <= 256) || !(depth == 1 || depth == 2) ||
        !(kHgPlaceUniform <= mode && mode <= kHgPlaceAdaptive)) {
        return kStatusProblem;
    }
    const int32_t max = HgMaxCode(depth);
    if (mode == kHgPlaceUniform) {
        for (int32_t c = 0; c < 3; ++c) {
            for (int32_t i = 0; i < n; ++i) nodes[c][i] = ToCode(double(i) / (n - 1), max);
            MakeStrictlyIncreasing(nodes[c], n, max);
        }
        return kStatusOk;
    }
    const int samples = mode == kHgPlaceAdaptive ? kGreySamples : kInverseSamples;
    float curve[3][kGreySamples];
    for (int i = 0; i < samples; ++i) {
        float t = float(double(i) / (samples - 1)), grey[3] = {t, t, t}, v[3];
        int32_t status = HgEvalColour(p, mask, grey, v);
        if (status != kStatusOk) return status;
        for (int c = 0; c < 3; ++c) curve[c][i] = v[c];
    }
    for (int32_t c = 0; c < 3; ++c) {
        if (mode == kHgPlaceAdaptive) {
            PlaceAdaptive(curve[c], n, max, nodes[c]);
        } else {
            PlaceGreyInverse(curve[c], n, max, nodes[c]);
        }
        MakeStrictlyIncreasing(nodes[c], n, max);
    }
    return kStatusOk;
}

namespace {

int32_t BuildPlacedOn(EditPars* p, int32_t mask, int32_t quality, int32_t depth, int32_t placement,
                      int32_t threads, Huegrid** out) {
    if (p == nullptr || out == nullptr || !(0 <= quality && quality <= kHgQualityMax) ||
        !(depth == 1 || depth == 2)) {
        return kStatusProblem;
    }
    int32_t status = HgCheckPars(p);
    if (status != kStatusOk) return status;
    HgTrimMask(p, &mask);

    HuegridLut* lut = nullptr;
    if (depth == 1 && (mask & kSaturationAndHues) == 0) {
        status = BuildCurves(p, mask, &lut);
    } else {
        status = BuildGrid(p, mask, kGridSizes[quality], depth, placement, threads, &lut);
    }
    if (status == kStatusOk) status = HgSetPixelSize(lut, kHgSideInput, depth);
    if (status == kStatusOk) status = HgSetPixelSize(lut, kHgSideOutput, depth);
    Huegrid* handle = nullptr;
    if (status == kStatusOk) status = HgCreate(lut, &handle);
    if (status != kStatusOk) {
        HgFreeLut(lut);
        return status;
    }
    *out = handle;
    return kStatusOk;
}

}  // namespace

int32_t HgBuildPlaced(EditPars* p, int32_t mask, int32_t quality, int32_t depth, int32_t placement,
                      Huegrid** out) {
    return BuildPlacedOn(p, mask, quality, depth, placement, 1, out);
}

int32_t HgBuild(EditPars* p, int32_t mask, int32_t quality, int32_t depth, Huegrid** out) {
    return BuildPlacedOn(p, mask, quality, depth, kHgPlaceAdaptive, 1, out);
}

int32_t HgBuildOn(EditPars* p, int32_t mask, int32_t quality, int32_t depth, int32_t threads,
                  Huegrid** out) {
    return BuildPlacedOn(p, mask, quality, depth, kHgPlaceAdaptive, threads, out);
}
