// The correction run backwards; see export_inverse.h.
//
// Each colour starts from the better of two guesses, the target itself (a correction is usually
// near the identity) and the node of a uniform 33-node grid whose corrected colour lies nearest
// the target (found through buckets of corrected colours), which matters for strong corrections
// and in the regions a correction clips, where the transform is flat and steps find no slope. Then,
// step by step, a few candidate moves are tried together and the one that brings the corrected
// colour nearest is taken: the Newton step at full, half and quarter length, two damped
// (Levenberg-Marquardt) steps, and the plain residual, which still leads somewhere where the
// Jacobian is singular (a clipping correction is flat in some direction). A colour stops when no
// move helps or it is within a quarter of a code. The transform is piecewise linear, so within a
// cell the Newton step lands on the answer; the other moves get it across the transform's kinks.
#include "edit/export/export_inverse.h"

#include <cmath>
#include <cstdint>

#include "edit/export/export_transform.h"
#include "platform/mem.h"
#include "platform/numeric.h"

namespace {

constexpr int32_t kBatch = 4096;          // colours solved together
constexpr int32_t kMaxSteps = 16;         // moves per colour
constexpr int32_t kMoves = 6;             // candidate moves tried per step
constexpr double kStep = 64.0 / 65535.0;  // difference step of the Jacobian
constexpr double kGoodEnough = 0.25 / 65535.0;
constexpr int32_t kCoarse = 33;   // nodes per axis of the grid of first guesses
constexpr int32_t kBuckets = 32;  // buckets per axis that file the guesses by corrected colour

uint16_t ToCode(double v) {
    return uint16_t(Num_Clamp01(v) * 65535.0 + 0.5);
}

// Solves J d = r (J row by row) by Cramer's rule; false when J is (nearly) singular.
bool Solve3(const double j[9], const double r[3], double d[3]) {
    double det = j[0] * (j[4] * j[8] - j[5] * j[7]) - j[1] * (j[3] * j[8] - j[5] * j[6]) +
                 j[2] * (j[3] * j[7] - j[4] * j[6]);
    if (!(std::fabs(det) > 1e-9)) return false;
    for (int c = 0; c < 3; ++c) {
        double m[9];
        for (int k = 0; k < 9; ++k) m[k] = j[k];
        for (int row = 0; row < 3; ++row) m[row * 3 + c] = r[row];
        d[c] = (m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                m[2] * (m[3] * m[7] - m[4] * m[6])) /
               det;
    }
    return true;
}

// Squared distance of a corrected colour (codes) from the target (0..1).
double Miss(const uint16_t* f, const double* y) {
    double sum = 0;
    for (int c = 0; c < 3; ++c) {
        const double r = y[c] - f[c] / 65535.0;
        sum += r * r;
    }
    return sum;
}

struct Work {
    MemBlock<double> x, y, d, miss;  // d: kMoves candidate moves of three values per colour
    MemBlock<uint8_t> done;
    MemBlock<int32_t> active;    // the colours still being solved, in order
    MemBlock<uint16_t> in, out;  // up to six pixels per active colour
    // The grid of first guesses: inputs, their corrected colours, and the guesses filed by
    // corrected colour into kBuckets^3 buckets (first[bucket] and next[guess] chain them; -1
    // ends a chain).
    MemBlock<uint16_t> coarseIn, coarseOut;
    MemBlock<int32_t> first, next;

    bool Allocate() {
        const uint32_t coarse = kCoarse * kCoarse * kCoarse;
        return x.Allocate(kBatch * 3) && y.Allocate(kBatch * 3) &&
               d.Allocate(kBatch * 3 * kMoves) && miss.Allocate(kBatch) && done.Allocate(kBatch) &&
               active.Allocate(kBatch) && in.Allocate(kBatch * 18) && out.Allocate(kBatch * 18) &&
               coarseIn.Allocate(coarse * 3) && coarseOut.Allocate(coarse * 3) &&
               first.Allocate(kBuckets * kBuckets * kBuckets) && next.Allocate(coarse);
    }
};

int32_t BucketOf(int32_t code) {
    return code * kBuckets / 65536;
}

int32_t Coarse(const Huegrid* transform, Work& w) {
    int32_t k = 0;
    for (int32_t b = 0; b < kCoarse; ++b) {
        for (int32_t g = 0; g < kCoarse; ++g) {
            for (int32_t r = 0; r < kCoarse; ++r, ++k) {
                w.coarseIn[size_t(k) * 3] = ExportNodeCode(r, kCoarse);
                w.coarseIn[size_t(k) * 3 + 1] = ExportNodeCode(g, kCoarse);
                w.coarseIn[size_t(k) * 3 + 2] = ExportNodeCode(b, kCoarse);
            }
        }
    }
    int32_t status = ExportApply16(transform, k, w.coarseIn.get(), w.coarseOut.get());
    if (status != kStatusOk) return status;
    for (int32_t bucket = 0; bucket < kBuckets * kBuckets * kBuckets; ++bucket) {
        w.first[size_t(bucket)] = -1;
    }
    for (int32_t i = 0; i < k; ++i) {
        const uint16_t* f = w.coarseOut.get() + size_t(i) * 3;
        const int32_t bucket =
            (BucketOf(f[2]) * kBuckets + BucketOf(f[1])) * kBuckets + BucketOf(f[0]);
        w.next[size_t(i)] = w.first[size_t(bucket)];
        w.first[size_t(bucket)] = i;
    }
    return kStatusOk;
}

// The guess whose corrected colour lies nearest the target (squared distance in codes): the
// buckets are searched in growing shells around the target's until no nearer one can follow.
int32_t NearestCoarse(const Work& w, const double* y) {
    int32_t target[3], home[3];
    for (int c = 0; c < 3; ++c) {
        target[c] = int32_t(ToCode(y[c]));
        home[c] = BucketOf(target[c]);
    }
    constexpr int32_t kWidth = 65536 / kBuckets;
    int32_t nearest = 0;
    int64_t best = INT64_MAX;
    for (int32_t shell = 0; shell < kBuckets; ++shell) {
        // Everything outside this shell lies at least shell * kWidth codes away on some axis.
        const int64_t reach = int64_t(shell > 0 ? shell - 1 : 0) * kWidth;
        if (best != INT64_MAX && reach * reach > best) break;
        for (int32_t bz = home[2] - shell; bz <= home[2] + shell; ++bz) {
            for (int32_t by = home[1] - shell; by <= home[1] + shell; ++by) {
                for (int32_t bx = home[0] - shell; bx <= home[0] + shell; ++bx) {
                    const bool onShell = bz == home[2] - shell || bz == home[2] + shell ||
                                         by == home[1] - shell || by == home[1] + shell ||
                                         bx == home[0] - shell || bx == home[0] + shell;
                    if (!onShell || bx < 0 || by < 0 || bz < 0 || bx >= kBuckets ||
                        by >= kBuckets || bz >= kBuckets) {
                        continue;
                    }
                    const int32_t bucket = (bz * kBuckets + by) * kBuckets + bx;
                    for (int32_t i = w.first[size_t(bucket)]; i >= 0; i = w.next[size_t(i)]) {
                        const uint16_t* f = w.coarseOut.get() + size_t(i) * 3;
                        int64_t m = 0;
                        for (int c = 0; c < 3; ++c) {
                            const int64_t r = int64_t(target[c]) - f[c];
                            m += r * r;
                        }
                        if (m < best) {
                            best = m;
                            nearest = i;
                        }
                    }
                }
            }
        }
    }
    return nearest;
}

// First guesses: the target, or the guess whose correction is nearest, whichever misses less.
int32_t Start(const Huegrid* transform, Work& w, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        for (int c = 0; c < 3; ++c)
            w.in[size_t(i) * 3 + size_t(c)] = ToCode(w.y[size_t(i) * 3 + size_t(c)]);
        w.done[size_t(i)] = 0;
    }
    int32_t status = ExportApply16(transform, n, w.in.get(), w.out.get());
    if (status != kStatusOk) return status;
    for (int32_t i = 0; i < n; ++i) {
        const double* y = w.y.get() + size_t(i) * 3;
        const double first = Miss(w.out.get() + size_t(i) * 3, y);
        const uint16_t* pick = w.in.get() + size_t(i) * 3;
        w.miss[size_t(i)] = first;
        const int32_t k = NearestCoarse(w, y);
        const double second = Miss(w.coarseOut.get() + size_t(k) * 3, y);
        if (second < first) {
            pick = w.coarseIn.get() + size_t(k) * 3;
            w.miss[size_t(i)] = second;
        }
        for (int c = 0; c < 3; ++c) w.x[size_t(i) * 3 + size_t(c)] = pick[c] / 65535.0;
    }
    return kStatusOk;
}

// One Newton direction per colour from the Jacobian at x.
int32_t Directions(const Huegrid* transform, Work& w, int32_t n) {
    for (int32_t j = 0; j < n; ++j) {
        const int32_t i = w.active[size_t(j)];
        uint16_t* p = w.in.get() + size_t(j) * 12;
        for (int c = 0; c < 3; ++c) {
            const double v = w.x[size_t(i) * 3 + size_t(c)];
            p[c] = ToCode(v);
            for (int axis = 0; axis < 3; ++axis) {
                double moved = v;
                if (axis == c) moved = v + kStep <= 1 ? v + kStep : v - kStep;
                p[3 + axis * 3 + c] = ToCode(moved);
            }
        }
    }
    int32_t status = ExportApply16(transform, n * 4, w.in.get(), w.out.get());
    if (status != kStatusOk) return status;
    for (int32_t j = 0; j < n; ++j) {
        const int32_t i = w.active[size_t(j)];
        const uint16_t* q = w.in.get() + size_t(j) * 12;
        const uint16_t* f = w.out.get() + size_t(j) * 12;
        const double* y = w.y.get() + size_t(i) * 3;
        double r[3], jacobian[9], largest = 0;
        for (int c = 0; c < 3; ++c) {
            r[c] = y[c] - f[c] / 65535.0;
            largest = std::fmax(largest, std::fabs(r[c]));
        }
        if (largest <= kGoodEnough) w.done[size_t(i)] = 1;
        for (int axis = 0; axis < 3; ++axis) {
            const double h = (int32_t(q[3 + axis * 3 + axis]) - int32_t(q[axis])) / 65535.0;
            for (int c = 0; c < 3; ++c) {
                const double df = (int32_t(f[3 + axis * 3 + c]) - int32_t(f[c])) / 65535.0;
                jacobian[c * 3 + axis] = h != 0 ? df / h : 0;
            }
        }
        double* d = w.d.get() + size_t(i) * 3 * kMoves;
        // Newton at three lengths (the residual where J is singular).
        double newton[3];
        if (!Solve3(jacobian, r, newton)) {
            for (int c = 0; c < 3; ++c) newton[c] = r[c];
        }
        // Damped steps: (J'J + lambda I) d = J'r, lambda relative to J'J's mean diagonal.
        double jtj[9], jtr[3], scale = 0;
        for (int a = 0; a < 3; ++a) {
            jtr[a] = 0;
            for (int c = 0; c < 3; ++c) jtr[a] += jacobian[c * 3 + a] * r[c];
            for (int b = 0; b < 3; ++b) {
                jtj[a * 3 + b] = 0;
                for (int c = 0; c < 3; ++c)
                    jtj[a * 3 + b] += jacobian[c * 3 + a] * jacobian[c * 3 + b];
            }
            scale += jtj[a * 4] / 3;
        }
        const double lambdas[2] = {0.01, 1.0};
        double damped[2][3];
        for (int k = 0; k < 2; ++k) {
            double m[9];
            for (int e = 0; e < 9; ++e) m[e] = jtj[e];
            for (int a = 0; a < 3; ++a) m[a * 4] += lambdas[k] * (scale > 0 ? scale : 1);
            if (!Solve3(m, jtr, damped[k])) {
                for (int c = 0; c < 3; ++c) damped[k][c] = r[c];
            }
        }
        for (int c = 0; c < 3; ++c) {
            d[c] = newton[c];
            d[3 + c] = newton[c] / 2;
            d[6 + c] = newton[c] / 4;
            d[9 + c] = damped[0][c];
            d[12 + c] = damped[1][c];
            d[15 + c] = r[c];
        }
    }
    return kStatusOk;
}

// Tries the candidate moves and keeps the one that misses least, if it misses less than where
// the colour is; a colour that no move brings nearer is done.
int32_t Steps(const Huegrid* transform, Work& w, int32_t n) {
    for (int32_t j = 0; j < n; ++j) {
        const int32_t i = w.active[size_t(j)];
        for (int t = 0; t < kMoves; ++t) {
            for (int c = 0; c < 3; ++c) {
                w.in[size_t(j) * 18 + size_t(t) * 3 + size_t(c)] =
                    ToCode(w.x[size_t(i) * 3 + size_t(c)] +
                           w.d[(size_t(i) * kMoves + size_t(t)) * 3 + size_t(c)]);
            }
        }
    }
    int32_t status = ExportApply16(transform, n * kMoves, w.in.get(), w.out.get());
    if (status != kStatusOk) return status;
    for (int32_t j = 0; j < n; ++j) {
        const int32_t i = w.active[size_t(j)];
        if (w.done[size_t(i)]) continue;
        int32_t best = -1;
        double bestMiss = w.miss[size_t(i)];
        for (int t = 0; t < kMoves; ++t) {
            const double m =
                Miss(w.out.get() + size_t(j) * 18 + size_t(t) * 3, w.y.get() + size_t(i) * 3);
            if (m < bestMiss) {
                bestMiss = m;
                best = t;
            }
        }
        if (best < 0) {
            w.done[size_t(i)] = 1;
            continue;
        }
        w.miss[size_t(i)] = bestMiss;
        for (int c = 0; c < 3; ++c) {
            w.x[size_t(i) * 3 + size_t(c)] =
                w.in[size_t(j) * 18 + size_t(best) * 3 + size_t(c)] / 65535.0;
        }
    }
    return kStatusOk;
}

// Keeps the colours not yet done at the front of the active list; returns how many there are.
int32_t Compact(Work& w, int32_t n) {
    int32_t kept = 0;
    for (int32_t j = 0; j < n; ++j) {
        const int32_t i = w.active[size_t(j)];
        if (!w.done[size_t(i)]) w.active[size_t(kept++)] = i;
    }
    return kept;
}

}  // namespace

int32_t ExportInvert(const Huegrid* transform, int32_t count, const float* target, float* result) {
    if (transform == nullptr || target == nullptr || result == nullptr || count < 0) {
        return kStatusProblem;
    }
    Work w;
    if (!w.Allocate()) return kStatusNoMemory;
    int32_t status = Coarse(transform, w);
    for (int32_t start = 0; start < count && status == kStatusOk; start += kBatch) {
        const int32_t n = count - start < kBatch ? count - start : kBatch;
        for (int32_t i = 0; i < n * 3; ++i) {
            w.y[size_t(i)] = Num_Clamp01(target[size_t(start) * 3 + size_t(i)]);
        }
        status = Start(transform, w, n);
        for (int32_t i = 0; i < n; ++i) w.active[size_t(i)] = i;
        int32_t active = n;
        for (int32_t step = 0; step < kMaxSteps && active > 0 && status == kStatusOk; ++step) {
            status = Directions(transform, w, active);
            if (status == kStatusOk) status = Steps(transform, w, active);
            active = Compact(w, active);
        }
        for (int32_t i = 0; i < n * 3 && status == kStatusOk; ++i) {
            result[size_t(start) * 3 + size_t(i)] = float(w.x[size_t(i)]);
        }
    }
    return status;
}
