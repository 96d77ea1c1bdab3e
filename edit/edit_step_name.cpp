// Names of undo steps; see edit_step_name.h.
#include "edit/edit_step_name.h"

#include <cstring>

#include "resources/ids/strings.h"

namespace {

template <typename T>
bool Differs(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof a) != 0;
}

}  // namespace

int32_t EditStepNameId(const EditSnapshot& before, const EditSnapshot& after) {
    const EditPars& a = before.pars;
    const EditPars& b = after.pars;
    // In the order of the tabs; the engine's derived tables follow these and are not compared.
    const struct {
        bool changed;
        int32_t name;
    } parts[] = {
        {Differs(a.balBin, b.balBin) || Differs(a.neutralTarget, b.neutralTarget) ||
             before.balanceMethod != after.balanceMethod ||
             Differs(before.balanceSlider, after.balanceSlider),
         kStrStepColorBalance},
        {a.blackPoint != b.blackPoint, kStrStepBlackPoint},
        {a.grayPoint != b.grayPoint, kStrStepGrayPoint},
        {a.whitePoint != b.whitePoint, kStrStepWhitePoint},
        {a.brightness != b.brightness, kStrStepBrightness},
        {a.shadow != b.shadow, kStrStepShadows},
        {a.highlight != b.highlight, kStrStepHighlights},
        {a.contrast != b.contrast, kStrStepContrast},
        {a.saturation != b.saturation, kStrStepSaturation},
        {Differs(a.hue, b.hue), kStrStepHue},
        {Differs(a.toneColor, b.toneColor), kStrStepToning},
        {a.sharpenNoise.sharpenOn != b.sharpenNoise.sharpenOn ||
             a.sharpenNoise.sharpenStrength != b.sharpenNoise.sharpenStrength ||
             a.sharpenNoise.sharpenK != b.sharpenNoise.sharpenK,
         kStrStepSharpen},
        {a.sharpenNoise.noiseOn != b.sharpenNoise.noiseOn ||
             Differs(a.sharpenNoise.noiseRadius, b.sharpenNoise.noiseRadius) ||
             Differs(a.sharpenNoise.noiseThreshold, b.sharpenNoise.noiseThreshold) ||
             a.sharpenNoise.noiseFlag != b.sharpenNoise.noiseFlag ||
             a.sharpenNoise.noiseK != b.sharpenNoise.noiseK,
         kStrStepNoise},
        {a.linear != b.linear, kStrStepLinear},
        {Differs(before.colorDefs, after.colorDefs), kStrStepColorDefinition},
        {Differs(before.memoryColors, after.memoryColors), kStrStepMemoryColor},
        {Differs(before.samplePoints, after.samplePoints), kStrStepSamplePoint},
    };
    int32_t name = kStrStepNothing;
    int changed = 0;
    for (const auto& part : parts) {
        if (part.changed) {
            name = part.name;
            ++changed;
        }
    }
    if (changed > 1) return kStrStepSeveralTools;
    // A change of what the record holds beyond the parts above (the reference space of a record
    // copied in with "Prev" or "Custom") is still a change.
    if (changed == 0 && !EditSnapshotSame(before, after)) return kStrStepSeveralTools;
    return name;
}
