#include "tests/engine/huegrid_reference.h"

#include <algorithm>
#include <cmath>

namespace huegrid_reference {

namespace {

int64_t MaxCode(int size) {
    return size == 2 ? 65535 : 255;
}

int64_t Clamp(int64_t v, int64_t lo, int64_t hi) {
    return std::min(std::max(v, lo), hi);
}

// Nearest integer to num / den, halves away from zero.
int64_t Nearest(double num, double den) {
    return int64_t(std::round(num / den));
}

// An input code's position inside the channel's range, on the 16-bit scale.
int64_t Position(const HuegridLut& t, int channel, int64_t x) {
    const HgInputChannel& in = t.input[channel];
    const int64_t inMax = MaxCode(t.inPixelSize);
    auto to16 = [&](int64_t v) {
        return std::min<int64_t>(65535, Nearest(double(v) * 65535, double(inMax)));
    };
    const int64_t lo = to16(in.lo), hi = to16(in.hi);
    const int64_t u = Nearest(double(x) * 65535, double(inMax));
    return Clamp(lo + Nearest(double(hi - lo) * double(u), 65535), 0, 65535);
}

int64_t OutputCode(const HuegridLut& t, int k, int64_t value, int64_t valueMax) {
    const int64_t lo = t.output[k].lo, hi = t.output[k].hi;
    return Clamp(lo + Nearest(double(hi - lo) * double(value), double(valueMax)), 0,
                 MaxCode(t.outPixelSize));
}

int64_t Sample(const HuegridLut& t, size_t index) {
    return t.sampleSize == 2 ? static_cast<const uint16_t*>(t.grid)[index]
                             : static_cast<const uint8_t*>(t.grid)[index];
}

void ApplyGrid(const HuegridLut& t, const uint32_t in[4], uint32_t out[4]) {
    const int n = t.inChannels;
    int cell[4];
    int64_t frac[4];
    for (int c = 0; c < n; ++c) {
        const HgInputChannel& ch = t.input[c];
        std::vector<int64_t> p(ch.gridPoints);
        for (int i = 0; i < ch.gridPoints; ++i)
            p[i] = t.sampleSize == 2 ? ch.nodes[i] : ch.nodes[i] * 257;
        const int64_t x = Position(t, c, in[c]);
        int k = 0;
        for (int i = 0; i < ch.gridPoints - 1; ++i) {
            if (p[i] <= x) k = i;
        }
        cell[c] = k;
        const int64_t width = p[k + 1] - p[k];
        frac[c] = ((x - p[k]) * 32768 + width / 2) / width;
    }

    // The axes in order of falling fraction; equal fractions keep the lower axis first.
    int axis[4] = {0, 1, 2, 3};
    std::stable_sort(axis, axis + n, [&](int l, int r) { return frac[l] > frac[r]; });

    int64_t weight[5];
    weight[0] = 32768 - frac[axis[0]];
    for (int v = 1; v < n; ++v) weight[v] = frac[axis[v - 1]] - frac[axis[v]];
    weight[n] = frac[axis[n - 1]];

    const int64_t sum_round =
        t.sampleSize == 1 ? (t.outPixelSize == 1 ? 16384 : 127) : (t.outPixelSize == 1 ? 0 : 16384);
    const int shift =
        t.sampleSize == 1 ? (t.outPixelSize == 1 ? 15 : 7) : (t.outPixelSize == 1 ? 23 : 15);
    for (int k = 0; k < t.outChannels; ++k) {
        int64_t sum = 0;
        int node[4] = {cell[0], cell[1], cell[2], n == 4 ? cell[3] : 0};
        for (int v = 0; v <= n; ++v) {
            if (v > 0) node[axis[v - 1]] += 1;
            size_t index = 0;
            for (int c = n - 1; c >= 0; --c)
                index = index * size_t(t.input[c].gridPoints) + size_t(node[c]);
            sum += weight[v] * Sample(t, index * size_t(t.outChannels) + size_t(k));
        }
        const int64_t value = (sum + sum_round) >> shift;
        // The value's full scale: 255, 65535, or 255 x 256 for 8-bit samples on 16-bit output.
        const int64_t top = t.outPixelSize == 1 ? 255 : (t.sampleSize == 1 ? 255 * 256 : 65535);
        if (top == 65535 && t.output[k].lo == 0 && t.output[k].hi == 65535) {
            out[k] = uint32_t(value);
        } else {
            out[k] = uint32_t(OutputCode(t, k, value, top));
        }
    }
}

void ApplyCurves(const HuegridLut& t, const uint32_t in[4], uint32_t out[4]) {
    const int64_t length = t.sampleSize == 2 ? 65536 : 256;
    for (int k = 0; k < t.outChannels; ++k) {
        const int source = t.hasGrid ? 0 : k;
        const int64_t x = Position(t, source, in[source]);
        const int64_t j = t.sampleSize == 2 ? x : Nearest(double(x) * 255, 65535);
        const int64_t v = Sample(t, size_t(k * length + j));
        out[k] = uint32_t(OutputCode(t, k, v, MaxCode(t.sampleSize)));
    }
}

}  // namespace

void ApplyPixel(const HuegridLut& table, const uint32_t in[4], uint32_t out[4]) {
    if (table.hasGrid == 1 && table.inChannels > 1) {
        ApplyGrid(table, in, out);
    } else {
        ApplyCurves(table, in, out);
    }
}

Image ApplyImage(const HuegridLut& table, const Image& in) {
    Image out;
    out.width = in.width;
    out.height = in.height;
    out.channels = table.outChannels;
    out.data.assign(size_t(out.width) * out.height * out.channels, 0);
    for (int y = 0; y < in.height; ++y) {
        for (int x = 0; x < in.width; ++x) {
            uint32_t px[4] = {}, result[4] = {};
            for (int c = 0; c < in.channels; ++c) px[c] = in.at(c, x, y);
            ApplyPixel(table, px, result);
            for (int k = 0; k < out.channels; ++k) out.at(k, x, y) = result[k];
        }
    }
    return out;
}

Image Sharpen(const Image& in, int amount, int channel, int sampleBytes, int64_t lo, int64_t hi) {
    Image out = in;
    const int64_t d = 25 - amount;
    auto sharpened = [&](int c, int x, int y) {
        int64_t s = 0;
        for (int dy = -2; dy <= 2; ++dy) {
            for (int dx = -2; dx <= 2; ++dx) s += in.at(c, x + dx, y + dy);
        }
        // 8-bit: the amount over 25 in Q15. 16-bit: the nearest integer to s * amount / 25,
        // which has no ties (its fraction is a multiple of 1/25, never one half).
        int64_t blur;
        if (sampleBytes == 1) {
            const int64_t w = ((int64_t(amount) << 15) + 12) / 25;
            blur = (s * w + 16384) >> 15;
        } else {
            blur = (2 * s * amount + 25) / 50;
        }
        const int64_t v = in.at(c, x, y);
        return Clamp((25 * v - blur + d / 2) / d, lo, hi);
    };
    for (int y = 2; y + 2 < in.height; ++y) {
        for (int x = 2; x + 2 < in.width; ++x) {
            if (channel < 0) {
                for (int c = 0; c < in.channels; ++c)
                    out.at(c, x, y) = uint32_t(sharpened(c, x, y));
            } else {
                const int64_t change = sharpened(channel, x, y) - int64_t(in.at(channel, x, y));
                for (int c = 0; c < in.channels; ++c) {
                    out.at(c, x, y) = uint32_t(Clamp(int64_t(in.at(c, x, y)) + change, lo, hi));
                }
            }
        }
    }
    return out;
}

}  // namespace huegrid_reference
