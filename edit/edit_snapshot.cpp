// Comparing snapshots of the edit model; see edit_snapshot.h.
#include "edit/edit_snapshot.h"

#include <cstring>

bool EditSnapshotSame(const EditSnapshot& a, const EditSnapshot& b) {
    return std::memcmp(&a.pars, &b.pars, sizeof a.pars) == 0 &&
           a.balanceMethod == b.balanceMethod && a.balanceSlider[0] == b.balanceSlider[0] &&
           a.balanceSlider[1] == b.balanceSlider[1] && a.balanceSlider[2] == b.balanceSlider[2] &&
           std::memcmp(&a.colorDefs, &b.colorDefs, sizeof a.colorDefs) == 0 &&
           std::memcmp(a.memoryColors, b.memoryColors, sizeof a.memoryColors) == 0 &&
           std::memcmp(a.samplePoints, b.samplePoints, sizeof a.samplePoints) == 0;
}
