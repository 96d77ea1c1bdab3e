// The candidates of the cross-validation; see keenhue_tuning.h.
#include "bench/keenhue_tuning.h"

#include <cstdio>

// Each threshold over a range around where it can matter, the others at their built-in values,
// and the tone share over the range that matters most (it decides most of the harm): the grey
// evidence (the middle of the crowd's ramp, which runs from half of it to twice it) from 0.005,
// where a crowd of a hundredth of the judged pixels is trusted whole, to 0.04, where it takes a
// twelfth; the dominance from which the balance does less from 0.9 to never (1.0); the tone
// share from a quarter of the step to the whole step (less scores better still, down to setting
// no tones at all, which the correction is there to do: docs/keenhue.md), the white point's share
// from half to the whole step. Thirteen candidates keep the evaluation's hundreds of runs within
// half an hour on one core.
std::vector<KhTuningCandidate> KhTuningCandidates() {
    const KhBalanceTuning grid[] = {
        {0.005f, 0.95f, 0.25f, 1.0f},  {0.0075f, 0.95f, 0.25f, 1.0f}, {0.01f, 0.95f, 0.25f, 1.0f},
        {0.015f, 0.95f, 0.25f, 1.0f},  {0.02f, 0.95f, 0.25f, 1.0f},   {0.04f, 0.95f, 0.25f, 1.0f},
        {0.005f, 0.9f, 0.25f, 1.0f},   {0.005f, 1.0f, 0.25f, 1.0f},   {0.005f, 0.95f, 0.25f, 0.5f},
        {0.005f, 0.95f, 0.375f, 1.0f}, {0.005f, 0.95f, 0.5f, 1.0f},   {0.005f, 0.95f, 0.5f, 0.5f},
        {0.005f, 0.95f, 1.0f, 1.0f},
    };
    std::vector<KhTuningCandidate> out;
    for (const KhBalanceTuning& t : grid) {
        char name[96];
        std::snprintf(name, sizeof name, "evidence %.4f dominance %.2f tone %.2f white %.2f",
                      double(t.greyEvidence), double(t.dominanceLow), double(t.toneStrength),
                      double(t.whiteStrength));
        out.push_back({name, t});
    }
    return out;
}
