// The bias and gain responses; see tone_response.h.
#include "engine/tone_response.h"

float HgBias(float t, float b) {
    double tt = t, bb = b;
    if (!(bb >= 1e-6)) return tt == 1.0 ? 1.0f : 0.0f;
    if (bb > 0.999999) return tt == 0.0 ? 0.0f : 1.0f;
    return float(tt / ((1.0 / bb - 2.0) * (1.0 - tt) + 1.0));
}

float HgGain(float t, float c) {
    float g = 1.0f - c;
    if (t < 0.5f) return HgBias(2.0f * t, g) / 2.0f;
    return 1.0f - HgBias(2.0f - 2.0f * t, g) / 2.0f;
}
