#include "bench/bench_data.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/balance.h"
#include "engine/working_space.h"

namespace bench {

namespace {

// xorshift32: a fixed sequence on every platform.
struct Noise {
    uint32_t state = 2463534242u;
    int Next(int amplitude) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return int(state % uint32_t(2 * amplitude + 1)) - amplitude;
    }
};

template <typename T>
std::vector<T> MakeImage(int width, int height, int maxCode, int noise) {
    std::vector<T> image(size_t(width) * size_t(height) * 3);
    Noise rng;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width, v = double(y) / height;
            const double rgb[3] = {0.5 + 0.45 * std::sin(6.0 * u + 2.0 * v),
                                   0.5 + 0.45 * std::cos(4.0 * v - 3.0 * u),
                                   0.5 + 0.45 * std::sin(5.0 * (u + v) + 1.0)};
            T* px = image.data() + (size_t(y) * size_t(width) + size_t(x)) * 3;
            for (int c = 0; c < 3; ++c) {
                px[c] =
                    T(std::clamp(int(std::lround(rgb[c] * maxCode)) + rng.Next(noise), 0, maxCode));
            }
        }
    }
    return image;
}

}  // namespace

std::vector<uint8_t> MakeImage8(int width, int height) {
    return MakeImage<uint8_t>(width, height, 255, 3);
}
std::vector<uint16_t> MakeImage16(int width, int height) {
    return MakeImage<uint16_t>(width, height, 65535, 768);
}

void Correct(double r, double g, double b, double out[3]) {
    const double in[3] = {r, g, b};
    const double luma = 0.3 * r + 0.59 * g + 0.11 * b;
    const double cast[3] = {1.03, 1.0, 0.95};
    for (int c = 0; c < 3; ++c) {
        double v = luma + 1.3 * (in[c] - luma);  // saturation
        v = v * cast[c];                         // warm cast
        v = std::clamp(v, 0.0, 1.0);
        v = v * v * (3.0 - 2.0 * v) * 0.6 + v * 0.4;  // contrast
        out[c] = std::clamp(v, 0.0, 1.0);
    }
}

HuegridLut* MakeGrid(int n, int sampleSize) {
    HuegridLut* t = nullptr;
    if (HgCreateLut(&t, 3, 3, kHgSpaceRgb, kHgSpaceRgb, 1, 2, sampleSize) != 0) return nullptr;
    const int maxCode = sampleSize == 2 ? 65535 : 255;
    std::vector<uint16_t> nodes16(static_cast<size_t>(n));
    std::vector<uint8_t> nodes8(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        nodes16[size_t(i)] = uint16_t((i * maxCode + (n - 1) / 2) / (n - 1));
        nodes8[size_t(i)] = uint8_t(nodes16[size_t(i)]);
    }
    int status = 0;
    for (int c = 0; c < 3 && status == 0; ++c) {
        status = sampleSize == 2 ? HgSetNodes(t, c, n, nodes16.data())
                                 : HgSetNodes(t, c, n, nodes8.data());
    }
    uint32_t index = 0;
    for (int b = 0; b < n; ++b) {
        for (int g = 0; g < n; ++g) {
            for (int r = 0; r < n && status == 0; ++r) {
                double out[3];
                Correct(double(nodes16[size_t(r)]) / maxCode, double(nodes16[size_t(g)]) / maxCode,
                        double(nodes16[size_t(b)]) / maxCode, out);
                uint16_t v16[3];
                uint8_t v8[3];
                for (int k = 0; k < 3; ++k) {
                    v16[k] = uint16_t(std::lround(out[k] * maxCode));
                    v8[k] = uint8_t(v16[k]);
                }
                status = sampleSize == 2 ? HgSetEntry(t, index++, v16) : HgSetEntry(t, index++, v8);
            }
        }
    }
    if (status == 0) status = HgSetPixelSize(t, kHgSideInput, sampleSize);
    if (status == 0) status = HgSetPixelSize(t, kHgSideOutput, sampleSize);
    if (status != 0) {
        HgFreeLut(t);
        return nullptr;
    }
    return t;
}

HuegridLut* MakeCurves() {
    HuegridLut* t = nullptr;
    if (HgCreateLut(&t, 3, 3, kHgSpaceRgb, kHgSpaceRgb, 0, 2, 1) != 0) return nullptr;
    int status = 0;
    for (int c = 0; c < 3 && status == 0; ++c) status = HgSetNodes(t, c, 256, nullptr);
    for (uint32_t i = 0; i < 256 && status == 0; ++i) {
        const double x = i / 255.0;
        const uint8_t v[3] = {uint8_t(std::lround(255 * std::pow(x, 0.8))),
                              uint8_t(std::lround(255 * x * x)),
                              uint8_t(std::lround(255 * std::sqrt(x)))};
        status = HgSetEntry(t, i, v);
    }
    if (status == 0) status = HgSetPixelSize(t, kHgSideInput, 1);
    if (status == 0) status = HgSetPixelSize(t, kHgSideOutput, 1);
    if (status != 0) {
        HgFreeLut(t);
        return nullptr;
    }
    return t;
}

void NeutralPars(EditPars* p) {
    std::memset(p, 0, sizeof *p);
    p->grayPoint = 0.5f;
    p->whitePoint = 1.0f;
    p->brightness = p->shadow = p->highlight = p->contrast = p->saturation = 0.5f;
    for (int i = 0; i < kEditHueCount; ++i) {
        p->hue[i].baseHue = 60.0f * i;
        p->hue[i].brightness = p->hue[i].saturation = 0.5f;
        p->hue[i].colorId = 6 + i;
    }
    for (int c = 0; c < 3; ++c) p->toneColor[c] = p->toneCurveFor[c] = 0.5f;
    p->shadowCurveFor = p->highlightCurveFor = 0.5f;
    for (int i = 0; i < kEditCurveSize; ++i) {
        float t = float(i / 255.0);
        for (int c = 0; c < 3; ++c) p->balCurve[c][i] = p->toneCurve[c][i] = t;
        p->shadowCurve[i] = p->highlightCurve[i] = t;
    }
    p->balCurveValid = 1;
    HgSetReference(p, nullptr);
}

// Every stage active; linear only when asked (it is meant for 16-bit linear-light data).
EditPars StrongPars(bool linear) {
    EditPars p;
    NeutralPars(&p);
    p.linear = linear ? 1 : 0;
    p.blackPoint = 0.04f;
    p.grayPoint = 0.46f;
    p.whitePoint = 0.95f;
    p.brightness = 0.56f;
    p.shadow = 0.62f;
    p.highlight = 0.4f;
    p.contrast = 0.6f;
    p.saturation = 0.64f;
    p.hue[1].hueShift = 12.0f;
    p.hue[1].saturation = 0.62f;
    p.hue[4].hueShift = -15.0f;
    p.hue[4].brightness = 0.42f;
    p.toneColor[0] = 0.53f;
    p.toneColor[2] = 0.46f;
    const float dark[3] = {0.22f, 0.2f, 0.17f}, light[3] = {0.82f, 0.8f, 0.84f};
    HgAddBalanceSample(p.balBin, dark);
    HgAddBalanceSample(p.balBin, light);
    p.neutralTarget[0] = 8.0f;
    p.neutralTarget[1] = 70.0f;
    p.balCurveValid = 0;
    return p;
}

// Marks every derived curve out of date, as a slider move does.
void Stale(EditPars* p) {
    p->balCurveValid = 0;
    p->shadowCurveFor = p->highlightCurveFor = -1.0f;
    for (float& f : p->toneCurveFor) f = -1.0f;
}

}  // namespace bench
