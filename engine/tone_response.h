// The two response curves the colour chain and the hue space shape values with: bias, which
// bends 0..1 towards either end, and gain, an S-curve about the middle made of two bias halves.
// They live on their own so that the hue space and the chain, which both use them, need not
// depend on each other.
#pragma once

// bias(t, b) = t / ((1/b - 2)(1 - t) + 1): the brightness response, bias(t, 0.5) = t; b is held
// within 0..1.
float HgBias(float t, float b);
// gain(t, c): an S-curve about 0.5 built from two bias halves; gain(t, 0.5) = t.
float HgGain(float t, float c);
