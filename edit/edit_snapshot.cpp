// Snapshots of the edit model; see edit_snapshot.h.
#include "edit/edit_snapshot.h"

#include <cstring>

#include "edit/edit_state.h"
#include "platform/status.h"

int32_t EditSnapshotTake(const EditState* s, EditSnapshot* snapshot) {
    if (s == nullptr || snapshot == nullptr) return kStatusProblem;
    snapshot->pars = s->editPars;
    snapshot->tab = s->currentTab;
    snapshot->balanceMethod = s->balanceMethod;
    for (int i = 0; i < 3; ++i) snapshot->balanceSlider[i] = s->balanceSlider[i];
    snapshot->colorDefs = s->colorDefs;
    for (int i = 0; i < kMemoryColorCount; ++i) snapshot->memoryColors[i] = s->memoryColors[i];
    for (int i = 0; i < 2; ++i) snapshot->samplePoints[i] = s->samplePoints[i];
    return kStatusOk;
}

int32_t EditSnapshotRestore(EditState* s, const EditSnapshot* snapshot) {
    if (s == nullptr || snapshot == nullptr) return kStatusProblem;
    s->editPars = snapshot->pars;
    s->currentTab = snapshot->tab;
    s->balanceMethod = snapshot->balanceMethod;
    for (int i = 0; i < 3; ++i) s->balanceSlider[i] = snapshot->balanceSlider[i];
    s->colorDefs = snapshot->colorDefs;
    for (int i = 0; i < kMemoryColorCount; ++i) s->memoryColors[i] = snapshot->memoryColors[i];
    for (int i = 0; i < 2; ++i) s->samplePoints[i] = snapshot->samplePoints[i];
    // Worked out again only when the snapshot's tab is the hue tab, the one tab whose buttons
    // (the memory colours) act on it.
    if (s->currentTab == 3) {
        s->activeHandleHasSamples = 0;
        for (const SampleBin& bin : s->editPars.hue[s->activeHandle].hueBin) {
            if (bin.count > 0) s->activeHandleHasSamples = 1;
        }
    }
    return kStatusOk;
}

bool EditSnapshotSame(const EditSnapshot& a, const EditSnapshot& b) {
    return std::memcmp(&a.pars, &b.pars, sizeof a.pars) == 0 &&
           a.balanceMethod == b.balanceMethod && a.balanceSlider[0] == b.balanceSlider[0] &&
           a.balanceSlider[1] == b.balanceSlider[1] && a.balanceSlider[2] == b.balanceSlider[2] &&
           std::memcmp(&a.colorDefs, &b.colorDefs, sizeof a.colorDefs) == 0 &&
           std::memcmp(a.memoryColors, b.memoryColors, sizeof a.memoryColors) == 0 &&
           std::memcmp(a.samplePoints, b.samplePoints, sizeof a.samplePoints) == 0;
}
