// The seam through which the edit model derives the neutral target; see neutral_target.h.
#include "edit/neutral_target.h"

#include "engine/balance.h"

namespace {

NeutralTargetDeriver gNeutralTargetDeriver = nullptr;

}  // namespace

void SetNeutralTargetDeriver(NeutralTargetDeriver deriver) {
    gNeutralTargetDeriver = deriver;
}

void UseEngineNeutralTarget() {
    gNeutralTargetDeriver = HgNeutralTargetFromColour;
}

int32_t DeriveNeutralTarget(const float rgb[3], const RefRGB* ref, float out[3]) {
    if (rgb == nullptr || ref == nullptr || out == nullptr) return kStatusProblem;
    if (gNeutralTargetDeriver == nullptr) return kStatusUnsupported;
    float target[3];
    int32_t status = gNeutralTargetDeriver(rgb, ref, target);
    if (status != kStatusOk) return status;
    // The target steers the engine; a routine that gives back a non-number fails.
    for (float v : target) {
        if (!(-3.4028235e38f <= v && v <= 3.4028235e38f)) return kStatusProblem;
    }
    for (int i = 0; i < 3; ++i) out[i] = target[i];
    return kStatusOk;
}
