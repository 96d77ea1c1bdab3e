// Shared inputs of the Huegrid benchmarks: the test image and the transforms applied to it.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/edit_pars.h"
#include "engine/huegrid.h"

namespace bench {

// An interleaved RGB image: a smooth pattern of colour gradients with a little noise (fixed
// seed), so that neighbouring pixels are alike but rarely equal, as in photographs.
std::vector<uint8_t> MakeImage8(int width, int height);
std::vector<uint16_t> MakeImage16(int width, int height);

// The colour correction sampled by the grids: a contrast curve, more saturation and a slight
// warm cast; r, g, b and out in 0..1.
void Correct(double r, double g, double b, double out[3]);

// A kind-2 RGB grid of n x n x n uniform nodes holding Correct, 8- or 16-bit samples, pixel
// sizes equal to the sample size. Node i sits at i * max / (n - 1), rounded.
HuegridLut* MakeGrid(int n, int sampleSize);
// Three 8-bit curves (one per channel) in curve mode, 8-bit pixels.
HuegridLut* MakeCurves();

// Edit parameters that change nothing (reference space, curves derived).
void NeutralPars(EditPars* p);
// A strong but realistic edit with every stage active: a tinted balance from two marked
// neutrals, black, grey and white point, brightness, shadows, highlights, contrast, more
// saturation, two shifted hue handles and a warm toning; linear data only when asked (it is meant
// for 16-bit linear-light data). Its derived curves are out of date, as after a slider move.
EditPars StrongPars(bool linear);
// Marks every derived curve out of date, as a slider move does.
void Stale(EditPars* p);

}  // namespace bench
