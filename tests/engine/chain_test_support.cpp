#include "tests/engine/chain_test_support.h"

#include <cstring>

#include "engine/balance.h"
#include "engine/working_space.h"

namespace chain_testing {

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
    EXPECT_EQ(HgSetReference(p, nullptr), 0);
}

void StrongPars(EditPars* p) {
    NeutralPars(p);
    p->blackPoint = 0.04f;
    p->grayPoint = 0.46f;
    p->whitePoint = 0.95f;
    p->brightness = 0.56f;
    p->shadow = 0.62f;
    p->highlight = 0.4f;
    p->contrast = 0.6f;
    p->saturation = 0.64f;
    p->hue[1].hueShift = 12.0f;  // yellows towards green
    p->hue[1].saturation = 0.62f;
    p->hue[4].hueShift = -15.0f;  // blues towards cyan
    p->hue[4].brightness = 0.42f;
    p->toneColor[0] = 0.53f;
    p->toneColor[1] = 0.5f;
    p->toneColor[2] = 0.46f;
    const float dark[3] = {0.22f, 0.2f, 0.17f}, light[3] = {0.82f, 0.8f, 0.84f};
    EXPECT_EQ(HgAddBalanceSample(p->balBin, dark), 0);
    EXPECT_EQ(HgAddBalanceSample(p->balBin, light), 0);
    p->neutralTarget[0] = 8.0f;
    p->neutralTarget[1] = 70.0f;
    p->balCurveValid = 0;
}

double Luma(const float rgb[3]) {
    return 0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2];
}

}  // namespace chain_testing
