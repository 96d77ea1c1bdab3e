// The candidates of the cross-validation; see keenhue_tuning.h.
#include "bench/keenhue_tuning.h"

#include <cstdio>

// Each threshold over a range around where it can matter, the others at their built-in values,
// and the tone share over the range that matters most (it decides most of the harm): the grey
// evidence from "any crowd at all" (0.005) to "a crowd of a fiftieth of the picture"; the
// dominance from which the balance does less from 0.9 to never (1.0); the tone share from a
// quarter of the step to the whole step (less scores better still, down to setting no tones at
// all, which the correction is there to do: docs/keenhue.md), the white point's share from half
// to the whole step. Ten candidates keep the evaluation's hundreds of runs within half an hour on
// one core.
std::vector<KhTuningCandidate> KhTuningCandidates() {
    const KhBalanceTuning grid[] = {
        {0.005f, 0.95f, 0.25f, 1.0f}, {0.02f, 0.95f, 0.25f, 1.0f}, {0.02f, 0.9f, 0.25f, 1.0f},
        {0.02f, 1.0f, 0.25f, 1.0f},   {0.02f, 0.95f, 0.25f, 0.5f}, {0.02f, 0.95f, 0.375f, 1.0f},
        {0.02f, 0.95f, 0.5f, 1.0f},   {0.02f, 0.95f, 0.5f, 0.5f},  {0.02f, 0.95f, 0.75f, 0.75f},
        {0.02f, 0.95f, 1.0f, 1.0f},
    };
    std::vector<KhTuningCandidate> out;
    for (const KhBalanceTuning& t : grid) {
        char name[96];
        std::snprintf(name, sizeof name, "evidence %.3f dominance %.2f tone %.2f white %.2f",
                      double(t.greyEvidence), double(t.dominanceLow), double(t.toneStrength),
                      double(t.whiteStrength));
        out.push_back({name, t});
    }
    return out;
}
