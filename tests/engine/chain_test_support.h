// Shared helpers for the colour-chain tests: edit parameters at their neutral values written
// from the documented defaults (the engine tests do not link the edit model), a record with every
// stage active, small measuring helpers, and images and masks over vectors the test owns.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/edit_pars.h"
#include "engine/huegrid.h"
#include "engine/measure.h"

namespace chain_testing {

// Every field at its neutral value, curves as identity ramps, the default working space with its
// tables derived, balCurveValid 1.
void NeutralPars(EditPars* p);

// A strong but realistic edit with every stage active: black, grey and white point, brightness,
// shadows, highlights, contrast, more saturation, two shifted hue handles, toning and a tinted
// balance from two marked neutrals. linear is off (it is for 16-bit linear data only).
void StrongPars(EditPars* p);

double Luma(const float rgb[3]);

// An interleaved RGB image of 8- or 16-bit samples.
template <typename T>
struct TestImage {
    std::vector<T> data;
    IPImage image{};
    TestImage(int w, int h) : data(size_t(w) * h * 3, 0) {
        image = {kIPKindColour, 3, int32_t(sizeof(T)), w, h, 72.0f, 3, 3 * w, {}, nullptr};
        for (int c = 0; c < 3; ++c) image.channel[c] = data.data() + c;
    }
    void Set(int x, int y, int r, int g, int b) {
        T* p = &data[(size_t(y) * image.width + x) * 3];
        p[0] = T(r), p[1] = T(g), p[2] = T(b);
    }
    void Fill(int r, int g, int b) {
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) Set(x, y, r, g, b);
    }
};

// An empty mask (its box inverted).
struct TestMask {
    std::vector<uint8_t> bits;
    IPMask mask{};
    TestMask(int w, int h) : bits(size_t((w + 7) / 8) * h, 0) {
        mask = {w, h, (w + 7) / 8, bits.data(), w + 1, -1, h + 1, -1};
    }
};

}  // namespace chain_testing
