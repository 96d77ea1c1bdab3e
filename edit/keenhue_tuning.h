// The thresholds of the automatic colour balance that were chosen by cross-validation on
// photographs (docs/keenhue.md says how, and why each range of candidates is what it is). The
// automatic settings read the current values; only the evaluation (bench/keenhue_eval --tune)
// sets others, to measure what another choice would do. Everything else in the balance is fixed
// by reasoning, not by the photographs.
#pragma once

struct KhBalanceTuning {
    // The share of the judged pixels agreeing on a grey (edit/keenhue_grey.h) at which the grey
    // pixels' guess at the neutral weighs a third against the ends of the image: none from half
    // of it, all from twice it.
    float greyEvidence;
    // The grey pixels' dominance (edit/keenhue_grey.h) from which the balance does less, down to
    // nothing when the whole picture is the crowd's colour.
    float dominanceLow;
    // The share of their departure from the unchanged settings that the tone steps (black and
    // grey point, brightness) apply.
    float toneStrength;
    // The same share for the white point alone. A gain cast that darkens a grey (the magenta and
    // cool casts lower its luma by about 4 %) leaves the whole correction darker; the white point
    // is the tone step that gives most of that back, and it harms a photograph without a cast
    // least, since few of its pixels lie near the top.
    float whiteStrength;
    bool operator==(const KhBalanceTuning&) const = default;
};

// The values the product uses.
KhBalanceTuning KhBuiltInTuning();
// The values in force: the built-in ones unless the evaluation set others.
KhBalanceTuning KhCurrentTuning();
void KhSetBalanceTuning(const KhBalanceTuning& tuning);
