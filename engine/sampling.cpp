// Sampling marked colours: region growing, neutral and hue samples, the hue ring's order, and
// memory colours of hue handles.
#include "engine/sampling.h"

#include <cmath>

#include "engine/balance.h"
#include "engine/colour_math.h"
#include "engine/edit_chain.h"
#include "engine/hue_space.h"
#include "engine/huegrid_build.h"
#include "engine/luma.h"
#include "platform/mem.h"

namespace {

constexpr double kStepLimit = 0.003936947327950788;       // (16 / 255)^2
constexpr double kReferenceLimit = 0.007443291041906958;  // (22 / 255)^2
constexpr float kHueChromaLimit = 0.075f;
constexpr int32_t kMaskLinear = 1;
constexpr int32_t kMaskBeforeHue = 1023;
constexpr int32_t kMaskHues = 0xFC00;

float Wrap360(float v) {
    float w = std::fmod(v, 360.0f);
    if (w < 0.0f) w += 360.0f;
    if (w >= 360.0f) w -= 360.0f;  // a tiny negative value rounds up to 360
    return w;
}

// v moved by 360 so that it lies within half a turn of a (the ring's unwrapping rule).
float UnwrapTowards(float v, float a) {
    if (a >= 180.0f) {
        if (v <= a - 180.0f) return v + 360.0f;
    } else if (v >= a + 180.0f) {
        return v - 360.0f;
    }
    return v;
}

// The handle an id names: an index 0..5, or the first handle whose colorId equals it; -1 none.
int32_t FindHandle(const EditPars* editPars, int32_t id) {
    if (0 <= id && id < kEditHueCount) return id;
    if (id < kEditHueCount) return -1;
    for (int32_t i = 0; i < kEditHueCount; ++i) {
        if (editPars->hue[i].colorId == id) return i;
    }
    return -1;
}

// Ordinary least squares y = c0 + c1 x; false for fewer than two points or equal x.
struct LineFit {
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    void Add(double x, double y) {
        n += 1;
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    bool Solve(double* c0, double* c1) const {
        double det = n * sxx - sx * sx;
        if (n < 2 || !(std::fabs(det) > 1e-12 * (1.0 + n * sxx))) return false;
        *c1 = (n * sxy - sx * sy) / det;
        *c0 = (sy - *c1 * sx) / n;
        return true;
    }
};

// The CIE daylight white of 5000 K as XYZ, the white of the matrices in refTables.
int32_t EditWhite(float white[3]) {
    float xyY[3];
    int32_t status = HgWhiteFromTemperature(5000.0f, xyY);
    if (status == kStatusOk) status = HgXyToXyz(xyY, white);
    return status;
}

// Lab (relative to white) of an encoded RGB colour of the record's working space.
int32_t RgbToLab(const EditPars* editPars, const float rgb[3], const float white[3], float lab[3]) {
    double gamma = editPars->refRGB.gamma;
    float lin[3], xyz[3];
    for (int c = 0; c < 3; ++c) {
        double v = rgb[c];
        lin[c] = float(std::copysign(std::pow(std::fabs(v), gamma), v));
    }
    HgMatrix3Apply(editPars->refTables, lin, xyz);
    return HgXyzToLab(xyz, white, lab);
}

// The region's own bits or a temporary block, cleared and with an empty box.
int32_t PrepareRegion(const IPImage* image, IPRegion* given, IPRegion* temp,
                      MemBlock<uint8_t>* tempBits, IPRegion** use) {
    if (given != nullptr) {
        if (given->bits == nullptr || given->width != image->width ||
            given->height != image->height || given->rowBytes != (image->width + 7) / 8)
            return kStatusProblem;
        *use = given;
    } else {
        temp->width = image->width;
        temp->height = image->height;
        temp->rowBytes = (image->width + 7) / 8;
        uint32_t bytes = uint32_t(temp->rowBytes) * uint32_t(temp->height);
        if (!tempBits->Allocate(bytes > 0 ? bytes : 1)) return kStatusNoMemory;
        temp->bits = tempBits->get();
        *use = temp;
    }
    IPRegion* r = *use;
    Mem_Fill(r->bits, 0, size_t(r->rowBytes) * size_t(r->height));
    r->minX = r->width + 1;
    r->maxX = -1;
    r->minY = r->height + 1;
    r->maxY = -1;
    return kStatusOk;
}

bool RegionBit(const IPRegion* r, int32_t x, int32_t y) {
    return (r->bits[int64_t(y) * r->rowBytes + x / 8] >> (x % 8)) & 1;
}

void RegionSet(IPRegion* r, int32_t x, int32_t y) {
    r->bits[int64_t(y) * r->rowBytes + x / 8] |= uint8_t(1u << (x % 8));
    if (x < r->minX) r->minX = x;
    if (x > r->maxX) r->maxX = x;
    if (y < r->minY) r->minY = y;
    if (y > r->maxY) r->maxY = y;
}

bool ImageUsable(const IPImage* image) {
    return IPImageValid(image) && image->channels >= 3 && image->width >= 1 && image->height >= 1 &&
           image->width <= 65535 && image->height <= 65535;
}

bool SelectionFits(const IPMask* selection, const IPImage* image) {
    return selection->bits != nullptr && selection->width == image->width &&
           selection->height == image->height && selection->rowBytes == (image->width + 7) / 8;
}

// The shared part of both sample operations: checks, region, stack and transform, then the seed
// and the growing into bins. *clicked is false when the selection leaves the click out (nothing
// grown). The caller's region is left with the sampled pixels.
int32_t SampleRegion(EditPars* editPars, const IPImage* image, const IPMask* selection,
                     int32_t gridLevel, int32_t x, int32_t y, IPRegion* region, int32_t mask,
                     SampleBin bins[kEditBinCount], bool* clicked) {
    *clicked = false;
    IPRegion temp{};
    MemBlock<uint8_t> tempBits;
    IPRegion* use = nullptr;
    int32_t status = PrepareRegion(image, region, &temp, &tempBits, &use);
    if (status != kStatusOk) return status;
    MemBlock<HgGrowEntry> entries;
    if (!entries.Allocate(kHgGrowStackEntries)) return kStatusNoMemory;
    HgGrowStack stack{entries.get(), 0};

    Huegrid* transform = nullptr;
    status = HgTrimMask(editPars, &mask);
    if (status != kStatusOk) return status;
    if (mask != 0) {
        status = HgBuild(editPars, mask, gridLevel, image->bytesPerSample, &transform);
        if (status != kStatusOk) return status;
    }

    if (selection == nullptr || IPMaskBit(selection, x, y)) {
        *clicked = true;
        float seed[3];
        status = HgPixelThrough(image, transform, x, y, seed, nullptr);
        if (status == kStatusOk) {
            RegionSet(use, x, y);
            HgAddBalanceSample(bins, seed);
            HgGrowPush(&stack, seed, x, y - 1, kHgGrowUp);
            HgGrowPush(&stack, seed, x, y + 1, kHgGrowDown);
            HgGrowPush(&stack, seed, x + 1, y, kHgGrowRight);
            HgGrowPush(&stack, seed, x - 1, y, kHgGrowLeft);
            status = HgGrowRegion(image, bins, transform, use, &stack);
        }
    }
    HgFree(transform);
    return status;
}

int32_t CheckSampleArgs(EditPars* editPars, const IPImage* image, const IPMask* selection,
                        int32_t gridLevel, int32_t x, int32_t y) {
    if (editPars == nullptr || HgCheckPars(editPars) != kStatusOk) return kStatusProblem;
    if (!ImageUsable(image)) return kStatusProblem;
    if (!(0 <= gridLevel && gridLevel <= kHgQualityMax)) return kStatusProblem;
    if (!(0 <= x && x < image->width && 0 <= y && y < image->height)) return kStatusProblem;
    if (selection != nullptr && !SelectionFits(selection, image)) return kStatusProblem;
    return kStatusOk;
}

// The ring's After position of handle i.
float AfterOf(const EditPars* p, int32_t i) {
    return Wrap360(p->hue[i].baseHue + p->hue[i].hueShift);
}

bool AftersCrossed(const EditPars* p) {
    float sum = 0.0f;
    for (int32_t i = 0; i < kEditHueCount; ++i) {
        float gap = AfterOf(p, (i + 1) % kEditHueCount) - AfterOf(p, i);
        if (gap < 0.0f) gap += 360.0f;
        sum += gap;
    }
    return sum >= 361.0f;
}

}  // namespace

void HgGrowPush(HgGrowStack* stack, const float colour[3], int32_t x, int32_t y,
                uint8_t direction) {
    if (stack->count >= kHgGrowStackEntries) return;
    HgGrowEntry& e = stack->entries[stack->count++];
    for (int c = 0; c < 3; ++c) {
        float v = colour[c] < 0.0f ? 0.0f : (colour[c] > 1.0f ? 1.0f : colour[c]);
        e.colour[c] = uint16_t(v * 65535.0f + 0.5f);
    }
    // -1 is stored as 65535, which lies outside every image this module accepts.
    e.x = uint16_t(x);
    e.y = uint16_t(y);
    e.direction = direction;
    e.unused = 0;
}

int32_t HgGrowRegion(const IPImage* image, SampleBin bins[kEditBinCount], const Huegrid* transform,
                     IPRegion* region, HgGrowStack* stack) {
    if (!ImageUsable(image) || bins == nullptr || region == nullptr || region->bits == nullptr ||
        stack == nullptr || stack->entries == nullptr)
        return kStatusProblem;
    if (region->width != image->width || region->height != image->height) return kStatusProblem;
    bool haveReference = false;
    double ref[3] = {0, 0, 0};
    // The neighbours pushed after a pixel reached in each direction, last one taken next.
    static const uint8_t kNext[4][3] = {
        {kHgGrowLeft, kHgGrowRight, kHgGrowUp},    // reached going up
        {kHgGrowRight, kHgGrowLeft, kHgGrowDown},  // down
        {kHgGrowUp, kHgGrowDown, kHgGrowRight},    // right
        {kHgGrowDown, kHgGrowUp, kHgGrowLeft},     // left
    };
    while (stack->count > 0) {
        HgGrowEntry e = stack->entries[--stack->count];
        double c[3];
        for (int k = 0; k < 3; ++k) c[k] = e.colour[k] / 65535.0;
        if (!haveReference) {
            for (int k = 0; k < 3; ++k) ref[k] = c[k];
            haveReference = true;
        }
        int32_t x = e.x, y = e.y;
        if (x >= image->width || y >= image->height || RegionBit(region, x, y)) continue;
        float p[3];
        int32_t status = HgPixelThrough(image, transform, x, y, p, nullptr);
        if (status != kStatusOk) return status;
        double step = 0, dist = 0;
        for (int k = 0; k < 3; ++k) {
            step += (c[k] - p[k]) * (c[k] - p[k]);
            dist += (ref[k] - p[k]) * (ref[k] - p[k]);
        }
        if (!(step <= kStepLimit && dist <= kReferenceLimit)) continue;
        RegionSet(region, x, y);
        HgAddBalanceSample(bins, p);
        if (e.direction > kHgGrowLeft) continue;
        for (uint8_t d : kNext[e.direction]) {
            int32_t nx = x + (d == kHgGrowRight) - (d == kHgGrowLeft);
            int32_t ny = y + (d == kHgGrowDown) - (d == kHgGrowUp);
            HgGrowPush(stack, p, nx, ny, d);
        }
    }
    return kStatusOk;
}

int32_t HgAddNeutralSample(EditPars* editPars, const IPImage* image, const IPMask* selection,
                           int32_t gridLevel, int32_t x, int32_t y, IPRegion* region) {
    int32_t status = CheckSampleArgs(editPars, image, selection, gridLevel, x, y);
    if (status != kStatusOk) return status;
    bool clicked = false;
    status = SampleRegion(editPars, image, selection, gridLevel, x, y, region, kMaskLinear,
                          editPars->balBin, &clicked);
    if (clicked) editPars->balCurveValid = 0;
    return status;
}

int32_t HgAddHueSample(EditPars* editPars, const IPImage* image, const IPMask* selection,
                       int32_t* activeHandle, int32_t gridLevel, int32_t x, int32_t y,
                       IPRegion* region) {
    if (activeHandle == nullptr) return kStatusProblem;
    int32_t status = CheckSampleArgs(editPars, image, selection, gridLevel, x, y);
    if (status != kStatusOk) return status;
    int32_t handle = FindHandle(editPars, *activeHandle);

    MemBlock<SampleBin> bins;
    if (!bins.Allocate(kEditBinCount)) return kStatusNoMemory;
    Mem_Fill(bins.get(), 0, sizeof(SampleBin) * kEditBinCount);
    bool clicked = false;
    status = SampleRegion(editPars, image, selection, gridLevel, x, y, region, kMaskBeforeHue,
                          bins.get(), &clicked);
    if (status != kStatusOk) return status;

    float hue = 0.0f;
    status = HgMeanHue(bins.get(), kHueChromaLimit, &hue);
    if (status != kStatusOk) return status;  // too neutral to give a hue
    if (handle < 0) handle = HgNearestHandle(editPars, hue);
    if (handle < 0) return kStatusProblem;

    // The handles change only when the whole sample succeeds: merging bins, the mean hue (which
    // empties bins that became neutral) and the placing all work on the record, so a copy of the
    // six handles is put back on any failure.
    HueHandle saved[kEditHueCount];
    Mem_Copy(saved, editPars->hue, sizeof saved);
    HueHandle& h = editPars->hue[handle];
    for (int32_t j = 0; j < kEditBinCount; ++j) {
        for (int c = 0; c < 3; ++c) h.hueBin[j].sum[c] += bins[size_t(j)].sum[c];
        h.hueBin[j].count += bins[size_t(j)].count;
    }
    const int32_t colorId = h.colorId;
    status = HgMeanHue(h.hueBin, kHueChromaLimit, &h.baseHue);
    if (status == kStatusOk) status = HgPlaceHandles(editPars, handle);
    if (status != kStatusOk) {
        Mem_Copy(editPars->hue, saved, sizeof saved);
        return status;
    }
    for (int32_t i = 0; i < kEditHueCount; ++i) {
        if (editPars->hue[i].colorId == colorId) {
            *activeHandle = i;
            break;
        }
    }
    return kStatusOk;
}

int32_t HgMeanHue(SampleBin bins[kEditBinCount], float chromaLimit, float* hue) {
    if (bins == nullptr || hue == nullptr) return kStatusProblem;
    bool first = true;
    double h0 = 0, sumNH = 0, sumN = 0;
    for (int32_t j = 0; j < kEditBinCount; ++j) {
        SampleBin& b = bins[j];
        if (b.count <= 0) continue;
        float mean[3], hcl[3];
        for (int c = 0; c < 3; ++c) mean[c] = b.sum[c] / float(b.count);
        if (HgRgbToHue(mean, hcl, kHgHueChroma) != kStatusOk) return kStatusProblem;
        if (!(hcl[1] >= chromaLimit)) {
            b.sum[0] = b.sum[1] = b.sum[2] = 0.0f;
            b.count = 0;
            continue;
        }
        double h = double(hcl[0]) * 360.0;
        if (first) {
            h0 = h;
            first = false;
        }
        h = UnwrapTowards(float(h), float(h0));
        sumNH += b.count * h;
        sumN += b.count;
    }
    if (sumN <= 0) return kStatusProblem;
    *hue = Wrap360(float(sumNH / sumN));
    return kStatusOk;
}

int32_t HgPlaceHandles(EditPars* editPars, int32_t handleIndex) {
    if (editPars == nullptr || !(0 <= handleIndex && handleIndex < kEditHueCount))
        return kStatusProblem;
    HueHandle* hs = editPars->hue;
    for (int32_t i = 0; i < kEditHueCount; ++i) {
        if (!std::isfinite(hs[i].baseHue) || !std::isfinite(hs[i].hueShift)) return kStatusProblem;
    }
    // Bubble sort of whole records; k follows the noted handle through every swap.
    int32_t k = handleIndex;
    for (bool swapped = true; swapped;) {
        swapped = false;
        for (int32_t i = 0; i + 1 < kEditHueCount; ++i) {
            if (hs[i + 1].baseHue < hs[i].baseHue) {
                HueHandle t = hs[i];
                hs[i] = hs[i + 1];
                hs[i + 1] = t;
                if (k == i)
                    k = i + 1;
                else if (k == i + 1)
                    k = i;
                swapped = true;
            }
        }
    }
    // Before positions at least 5 degrees apart, spreading from k both ways.
    for (int32_t j = 0; j < 5; ++j) {
        int32_t a = (k + j) % 6, b = (a + 1) % 6;
        float bu = UnwrapTowards(hs[b].baseHue, hs[a].baseHue);
        if (std::fabs(bu - hs[a].baseHue) < 5.0f) hs[b].baseHue = Wrap360(hs[a].baseHue + 5.0f);
    }
    for (int32_t j = 0; j < 5; ++j) {
        int32_t a = ((k - j) % 6 + 6) % 6, b = (a + 5) % 6;
        float bu = UnwrapTowards(hs[b].baseHue, hs[a].baseHue);
        if (std::fabs(bu - hs[a].baseHue) < 5.0f) hs[b].baseHue = Wrap360(hs[a].baseHue - 5.0f);
    }
    // After positions back in ring order by turning handle k a degree at a time. A crossing
    // between two other handles cannot be undone that way, so the turning stops after one full
    // circle instead of running for ever.
    for (int32_t turn = 0; turn < 360 && AftersCrossed(editPars); ++turn) {
        float base = Wrap360(hs[k].baseHue);
        float after = UnwrapTowards(AfterOf(editPars, k), base);
        hs[k].hueShift = Wrap360(hs[k].hueShift + (base > after ? 1.0f : -1.0f));
    }
    // After positions at least 5 degrees apart, twice round the ring from k.
    for (int32_t j = 0; j < 12; ++j) {
        int32_t a = (k + j) % 6, b = (a + 1) % 6;
        float A = AfterOf(editPars, a), B = AfterOf(editPars, b);
        while (B < A) B += 360.0f;
        if (B - A < 5.0f) hs[b].hueShift = Wrap360(5.0f - (B - A) + hs[b].hueShift);
    }
    return kStatusOk;
}

int32_t HgMemoryColourFromHandle(EditPars* editPars, int32_t handleId, float* mcChroma,
                                 float* mcHue, float* mcHueSlope) {
    if (editPars == nullptr || mcChroma == nullptr || mcHue == nullptr || mcHueSlope == nullptr)
        return kStatusProblem;
    if (HgCheckPars(editPars) != kStatusOk) return kStatusProblem;
    int32_t h = FindHandle(editPars, handleId);
    if (h < 0) return kStatusProblem;
    float white[3];
    int32_t status = EditWhite(white);
    if (status != kStatusOk) return status;

    const HueHandle& handle = editPars->hue[h];
    int32_t used = 0;
    double sxc = 0, sxx = 0, h0 = 0, firstHue = 0;
    LineFit fit;
    for (int32_t j = 1; j <= 18; ++j) {
        const SampleBin& b = handle.hueBin[j];
        if (b.count <= 0) continue;
        float mean[3], edited[3], lab[3], lch[3];
        for (int c = 0; c < 3; ++c) mean[c] = b.sum[c] / float(b.count);
        status = HgEvalColour(editPars, kMaskHues, mean, edited);
        if (status == kStatusOk) status = RgbToLab(editPars, edited, white, lab);
        if (status == kStatusOk) status = HgLabToLch(lab, lch);
        if (status != kStatusOk) return status;
        double L = lch[0], C = lch[1], hue = lch[2];
        double x = 0.04 * L * (1.0 - L / 100.0);
        sxc += x * C;
        sxx += x * x;
        if (used == 0) h0 = firstHue = hue;
        hue = UnwrapTowards(float(hue), float(h0));
        fit.Add(L - 50.0, hue);
        ++used;
    }
    if (used == 0) return kStatusProblem;
    if (std::fabs(sxx) <= 1e-6) return kStatusError;
    double d0 = firstHue, d1 = 0;
    if (used >= 2 && !fit.Solve(&d0, &d1)) {
        // Samples all of one lightness give no slope: their mean hue, flat.
        d0 = fit.sy / fit.n;
        d1 = 0;
    }
    *mcChroma = float(sxc / sxx);
    *mcHue = Wrap360(float(d0));
    *mcHueSlope = float(d1);
    return kStatusOk;
}

int32_t HgApplyMemoryColour(EditPars* editPars, int32_t handleId, float mcChroma, float mcHue,
                            float mcHueSlope) {
    if (editPars == nullptr || HgCheckPars(editPars) != kStatusOk) return kStatusProblem;
    if (!std::isfinite(mcChroma) || !std::isfinite(mcHue) || !std::isfinite(mcHueSlope))
        return kStatusProblem;
    int32_t h = FindHandle(editPars, handleId);
    if (h < 0) return kStatusProblem;
    float white[3];
    int32_t status = EditWhite(white);
    if (status != kStatusOk) return status;

    // 1. The model of the samples: lightness and chroma as curves of luma, hue as a line.
    struct Used {
        float Y;
        int32_t count;
    } used[18];
    int32_t nUsed = 0;
    double S3 = 0, S4 = 0, SL = 0, SC = 0, firstHue = 0, lastHue = 0;
    LineFit hueFit;
    const HueHandle& handle = editPars->hue[h];
    for (int32_t j = 1; j <= 18; ++j) {
        const SampleBin& b = handle.hueBin[j];
        if (b.count <= 0) continue;
        float mean[3], hcl[3];
        for (int c = 0; c < 3; ++c) mean[c] = b.sum[c] / float(b.count);
        if (HgRgbToHue(mean, hcl, kHgHueChroma) != kStatusOk) return kStatusProblem;
        double Y = HgLuma<double>(mean[0], mean[1], mean[2]);
        S3 += Y * Y * Y;
        S4 += Y * Y * Y * Y;
        SL += Y * Y * hcl[2];
        SC += Y * Y * hcl[1];
        double hue = hcl[0];
        if (nUsed == 0) firstHue = hue;
        hue = UnwrapTowards(float(hue * 360.0), float(firstHue * 360.0)) / 360.0;
        hueFit.Add(Y, hue);
        lastHue = hcl[0];
        used[nUsed++] = {float(Y), b.count};
    }
    if (nUsed == 0) return kStatusProblem;
    // Every used bin at luma 0 or 1 fits no curve; the handle stays as it is.
    double denom = S4 - S3;
    if (!(std::fabs(denom) > 1e-12)) return kStatusOk;
    double a = (SL - S3) / denom, bC = SC / denom;
    double c0 = 0, c1 = 0;
    if (!hueFit.Solve(&c0, &c1)) {
        c0 = lastHue;
        c1 = 0;
    }

    // The work runs on a copy, so a failing step leaves the record as it was.
    MemBlock<EditPars> copy;
    if (!copy.Allocate(1)) return kStatusNoMemory;
    Mem_Copy(copy.get(), editPars, sizeof(EditPars));
    EditPars* p = copy.get();
    HueHandle& work = p->hue[h];

    double sumBase = 0, sumShift = 0, sumBright = 0, sumSat = 0, sumN = 0, base0 = 0;
    for (int32_t u = 0; u < nUsed; ++u) {
        // 2. The model colour t at this bin's luma.
        double Y = used[u].Y;
        double Hm = c1 * Y + c0;
        while (Hm < 0) Hm += 1;
        while (Hm >= 1) Hm -= 1;
        double Lm = Y + a * Y * (Y - 1);
        Lm = Lm < 0 ? 0 : (Lm > 1 ? 1 : Lm);
        double g = Lm <= 0.5 ? 2 * Lm : 2 * (1 - Lm);
        double Cm = bC * Y * (Y - 1);
        Cm = Cm < 0 ? 0 : (Cm > g ? g : Cm);
        float model[3] = {float(Hm), float(Cm), float(Lm)}, t[3];
        if (HgHueToRgb(model, t, kHgHueChroma) != kStatusOk) return kStatusProblem;

        // 3.1-3.3: t in the luma space, and the memory colour m at t's lightness.
        float tLuma[3], labT[3];
        if (HgRgbToHue(t, tLuma, kHgHueLuma) != kStatusOk) return kStatusProblem;
        status = RgbToLab(p, t, white, labT);
        if (status != kStatusOk) return status;
        double Ls = labT[0];
        float lch[3] = {float(Ls), float(mcChroma * 0.04 * Ls * (1.0 - Ls / 100.0)),
                        Wrap360(float(mcHue + (Ls - 50.0) * mcHueSlope))};
        float lab[3], xyz[3], lin[3], m[3];
        if (HgLchToLab(lch, lab) != kStatusOk || HgLabToXyz(lab, white, xyz) != kStatusOk)
            return kStatusProblem;
        HgMatrix3Apply(p->refTables + 9, xyz, lin);
        for (int c = 0; c < 3; ++c) {
            double v = std::copysign(std::pow(std::fabs(double(lin[c])), 1.0 / p->refRGB.gamma),
                                     double(lin[c]));
            // A memory colour outside the working space is taken at its nearest edge.
            m[c] = float(v < 0 ? 0 : (v > 1 ? 1 : v));
        }
        float mLuma[3], mChroma[3];
        if (HgRgbToHue(m, mLuma, kHgHueLuma) != kStatusOk ||
            HgRgbToHue(m, mChroma, kHgHueChroma) != kStatusOk)
            return kStatusProblem;

        // 3.4: the handle moves t's hue onto m's.
        work.baseHue = Wrap360(360.0f * tLuma[0]);
        float shift = 360.0f * (mLuma[0] - tLuma[0]);
        while (shift <= -180.0f) shift += 360.0f;
        while (shift > 180.0f) shift -= 360.0f;
        work.hueShift = shift;
        work.brightness = 0.5f;
        work.saturation = 0.5f;

        // 3.5-3.6: brightness, then saturation, by bisection on the edited t.
        for (int pass = 0; pass < 2; ++pass) {
            float lo = 0.0f, hi = 1.0f;
            float& setting = pass == 0 ? work.brightness : work.saturation;
            float goal = pass == 0 ? mLuma[2] : mChroma[1];
            while (hi - lo > 0.001f) {
                setting = 0.5f * (lo + hi);
                float out[3], q[3];
                status = HgEvalColour(p, kMaskHues, t, out);
                if (status != kStatusOk) return status;
                if (HgRgbToHue(out, q, pass == 0 ? kHgHueLuma : kHgHueChroma) != kStatusOk)
                    return kStatusProblem;
                float measured = pass == 0 ? q[2] : q[1];
                if (measured <= goal)
                    lo = setting;
                else
                    hi = setting;
            }
            setting = 0.5f * (lo + hi);
        }

        double n = used[u].count;
        double base = work.baseHue;
        if (u == 0)
            base0 = base;
        else
            base = UnwrapTowards(float(base), float(base0));
        sumBase += n * base;
        sumShift += n * work.hueShift;
        sumBright += n * work.brightness;
        sumSat += n * work.saturation;
        sumN += n;
    }

    // 4. Half of the fitted change.
    auto halfway = [](double v) { return v <= 0.5 ? 0.5 - (0.5 - v) / 2 : 0.5 + (v - 0.5) / 2; };
    HueHandle& target = editPars->hue[h];
    target.baseHue = Wrap360(float(sumBase / sumN));
    target.hueShift = Wrap360(float(0.5 * sumShift / sumN));
    target.brightness = float(halfway(sumBright / sumN));
    target.saturation = float(halfway(sumSat / sumN));
    return HgPlaceHandles(editPars, h);
}
