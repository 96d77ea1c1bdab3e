// The candidate settings of the colour balance's tuned thresholds that keenhue_eval --tune
// cross-validates (edit/keenhue.h, KhBalanceTuning; docs/keenhue.md gives the reasons for each
// range).
#pragma once

#include <string>
#include <vector>

#include "edit/keenhue.h"

struct KhTuningCandidate {
    std::string name;  // the values, for the report
    KhBalanceTuning tuning;
};

std::vector<KhTuningCandidate> KhTuningCandidates();
