// The neutral the grey pixels agree on, and the confidence of the automatic colour balance, on
// synthetic scenes whose answer is known: a grey card beside a coloured cloth under a gain cast
// (found at the cast's colour, trusted whole), a scene of one saturated hue and a scene of one
// muted hue (nothing to balance on: the balance does nothing), and a product on a clipped white
// background (the white is the neutral, not the grey pixels, and stays white), and a white cup
// that a cast clipped (still the neutral, though the light end moved to another surface).
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "edit/edit_state.h"
#include "edit/keenhue.h"
#include "edit/keenhue_grey.h"
#include "edit/neutral_target.h"
#include "engine/edit_chain.h"
#include "tests/edit/edit_test_support.h"

namespace {

// Sets pixels from linear-ish values, each multiplied by its gain, rounded and clipped as a
// camera clips.
struct Scene : edit_testing::Rgb8Image {
    using Rgb8Image::Rgb8Image;
    using Rgb8Image::Set;
    void Set(int32_t x, int32_t y, double r, double g, double b, const double gain[3]) {
        uint8_t* p = At(x, y);
        const double v[3] = {r, g, b};
        for (int c = 0; c < 3; ++c)
            p[c] = uint8_t(std::clamp(std::lround(v[c] * gain[c]), 0L, 255L));
    }
};

const double kNone[3] = {1.0, 1.0, 1.0};
const double kWarm[3] = {1.2, 1.0, 0.75};

// Shading that gives every pixel local contrast: a diagonal ripple around 1.
double Ripple(int32_t x, int32_t y) {
    return 1.0 + 0.35 * std::sin(0.35 * x + 0.2 * y);
}

// A grey card of `grey` in the first cardWidth columns, shaded; beside it a surface of colour
// (r, g, b), whose green and blue vary with the same shading when woven (a cloth: its red does
// not vary, so it makes no grey pixels), or flat (a smooth wall).
Scene CardBeside(int32_t cardWidth, double grey, double r, double g, double b, bool woven,
                 const double gain[3]) {
    Scene s(120, 80);
    for (int32_t y = 0; y < s.height; ++y) {
        for (int32_t x = 0; x < s.width; ++x) {
            const double t = Ripple(x, y);
            const double weave = woven ? t : 1.0;
            if (x < cardWidth) {
                s.Set(x, y, grey * t, grey * t, grey * t, gain);
            } else {
                s.Set(x, y, r, g * weave, b * weave, gain);
            }
        }
    }
    return s;
}

// Left half a grey card, right half a red cloth.
Scene CardAndCloth(const double gain[3]) {
    return CardBeside(60, 130, 190, 60, 50, true, gain);
}

// The whole picture one material lit unevenly: every pixel a grey pixel, at the material's colour.
Scene OneMaterial(double r, double g, double b) {
    Scene s(120, 80);
    for (int32_t y = 0; y < s.height; ++y) {
        for (int32_t x = 0; x < s.width; ++x) {
            const double t = Ripple(x, y);
            s.Set(x, y, r * t, g * t, b * t, kNone);
        }
    }
    return s;
}

class KeenhueGreyTest : public edit_testing::KeenhueTestBase {
   protected:
    KhGreyEstimate Estimate(const Scene& s) {
        KhGreyEstimate e{};
        SampleBin bins[kEditBinCount];
        EXPECT_EQ(KhEstimateGrey(&s.view, nullptr, 7, nullptr, &e, bins), 0);
        return e;
    }
    // The balance of the scene, as the automatic settings set it.
    KhBalanceTrace Balance(const Scene& s) {
        EXPECT_EQ(ResetEditStatePars(es_.get(), kEditBalance), 0);
        KhBalanceTrace trace{};
        EXPECT_EQ(KhColourBalance(es_.get(), &s.view, &trace), 0);
        return trace;
    }
    // A colour of codes through the balance, as codes.
    void Through(const double in[3], double out[3]) {
        const float rgb[3] = {float(in[0] / 255), float(in[1] / 255), float(in[2] / 255)};
        float res[3];
        ASSERT_EQ(HgEvalColour(&es_->editPars, kEditBalance, rgb, res), 0);
        for (int c = 0; c < 3; ++c) out[c] = 255.0 * res[c];
    }
};

double Spread(const double rgb[3]) {
    return std::max({rgb[0], rgb[1], rgb[2]}) - std::min({rgb[0], rgb[1], rgb[2]});
}

TEST_F(KeenhueGreyTest, AGreyCardUnderAGainCastIsFoundAtTheCastsColourAndTrusted) {
    const KhGreyEstimate plain = Estimate(CardAndCloth(kNone));
    const KhGreyEstimate warm = Estimate(CardAndCloth(kWarm));
    // The card is the crowd, at neutral without the cast and at the cast's colour with it.
    EXPECT_NEAR(plain.mode[0], 0.0, 0.02);
    EXPECT_NEAR(plain.mode[1], 0.0, 0.02);
    EXPECT_NEAR(warm.mode[0], std::log(1.2), 0.03);
    EXPECT_NEAR(warm.mode[1], std::log(0.75), 0.03);
    // The evidence and the dominance do not depend on the cast: the same pixels agree.
    EXPECT_GT(plain.share, 0.3f);
    EXPECT_NEAR(warm.share, plain.share, 0.05);
    EXPECT_NEAR(warm.dominance, plain.dominance, 0.05);
    EXPECT_LT(plain.dominance, 0.7f);  // the cloth is half the picture

    const KhBalanceTrace trace = Balance(CardAndCloth(kWarm));
    EXPECT_TRUE(trace.greyTaken);
    EXPECT_FLOAT_EQ(trace.confidence, 1.0f);
    EXPECT_FLOAT_EQ(es_->balanceConfidence, 1.0f);
    const double card[3] = {130 * 1.2, 130, 130 * 0.75};
    double out[3];
    Through(card, out);
    EXPECT_LT(Spread(out), 0.2 * Spread(card));
}

// A cast that moves the card by a fraction of the histogram's bin moves the estimate by as much:
// the crowd's centre is its pixels' mean, not the bin they fall in.
TEST_F(KeenhueGreyTest, TheCrowdsCentreFollowsACastSmallerThanABin) {
    const double slight[3] = {1.015, 1.0, 0.985};
    const KhGreyEstimate plain = Estimate(CardAndCloth(kNone));
    const KhGreyEstimate cast = Estimate(CardAndCloth(slight));
    EXPECT_NEAR(cast.mode[0] - plain.mode[0], std::log(1.015), 0.002);
    EXPECT_NEAR(cast.mode[1] - plain.mode[1], std::log(0.985), 0.002);
    EXPECT_EQ(cast.crowd, plain.crowd);
}

TEST_F(KeenhueGreyTest, ASceneOfOneHueHasNothingToBalanceOn) {
    // A saturated orange petal, shaded: its pixels vary alike in every channel, but no cast makes
    // a grey that orange, so none counts, and the ends are too colourful to be neutrals.
    const Scene petal = OneMaterial(230, 120, 30);
    const KhGreyEstimate e = Estimate(petal);
    EXPECT_GT(e.measured, 500u);
    EXPECT_EQ(e.grey, 0u);
    EXPECT_EQ(e.share, 0.0f);
    KhBalanceTrace trace = Balance(petal);
    EXPECT_FALSE(trace.greyTaken);
    EXPECT_EQ(trace.confidence, 0.0f);
    EXPECT_EQ(es_->balanceConfidence, 0.0f);
    for (const SampleBin& bin : es_->editPars.balBin) EXPECT_EQ(bin.count, 0);

    // A plank of wood: muted enough to be a grey under a warm light, but it is the whole
    // picture, so it is as likely the wood's own colour. Found, and not trusted: the wood
    // keeps its colour.
    const Scene wood = OneMaterial(170, 125, 85);
    const KhGreyEstimate w = Estimate(wood);
    EXPECT_GT(w.share, 0.5f);
    EXPECT_GT(w.dominance, 0.97f);
    trace = Balance(wood);
    EXPECT_TRUE(trace.greyTaken);
    EXPECT_LT(trace.confidence, 0.1f);
    const double plank[3] = {170, 125, 85};
    double out[3];
    Through(plank, out);
    EXPECT_GT(Spread(out), 0.85 * Spread(plank));
}

TEST_F(KeenhueGreyTest, AClippedWhiteBackgroundIsTheNeutralNotTheGreyPixels) {
    // A product shot under a warm light: a white background clipped in red covers two thirds of
    // the picture; on it a shaded grey-green object whose texture makes grey pixels of its own
    // colour. The background, whose unclipped channels tell the cast, is the neutral.
    Scene s(150, 100);
    for (int32_t y = 0; y < s.height; ++y) {
        for (int32_t x = 0; x < s.width; ++x) {
            const bool object = 40 <= x && x < 110 && 25 <= y && y < 75;
            if (object) {
                const double t = Ripple(x, y);
                s.Set(x, y, 100 * t, 135 * t, 110 * t, kWarm);
            } else {
                s.Set(x, y, 240, 238, 236, kWarm);  // red clips: 255, 238, 177
            }
        }
    }
    const KhBalanceTrace trace = Balance(s);
    EXPECT_TRUE(trace.white.taken);
    EXPECT_FALSE(trace.greyTaken);
    EXPECT_FLOAT_EQ(trace.confidence, 1.0f);
    const double white[3] = {255, 238, 177};
    double out[3];
    Through(white, out);
    EXPECT_LT(Spread(out), 0.5 * Spread(white));
}

TEST_F(KeenhueGreyTest, AWhiteThatTheCastClippedStaysTheNeutralOverALesserLightSurface) {
    // A white cup (6 % of the picture) and a smaller beige card on a brown table whose grain
    // varies green and blue only (no grey pixels): the cup is the light end. A magenta cast clips
    // the cup in red and blue; the light end, which takes no clipped pixel, moves to the card. The
    // cup, now a clipped white larger than the whole light tail, is still the neutral.
    const double magenta[3] = {1.12, 0.85, 1.08};
    Scene s(150, 100);
    for (int32_t y = 0; y < s.height; ++y) {
        for (int32_t x = 0; x < s.width; ++x) {
            if (20 <= x && x < 50 && 20 <= y && y < 50) {
                s.Set(x, y, 245, 245, 245, magenta);  // 255, 208, 255
            } else if (90 <= x && x < 110 && 60 <= y && y < 80) {
                s.Set(x, y, 200, 180, 150, magenta);  // 224, 153, 162
            } else {
                const double t = Ripple(x, y);
                s.Set(x, y, 90, 60 * t, 40 * t, magenta);
            }
        }
    }
    // Which end stands is what this checks. The few dozen pixels where the card meets the table
    // happen to vary alike in every channel and make a crowd of about 1 % of the judged pixels:
    // how much such a crowd counts is the evidence's business (the test above), so here the ends
    // stand alone.
    KhSetBalanceTuning({1.0f, KhBuiltInTuning().dominanceLow, 1.0f, 1.0f});
    const KhBalanceTrace trace = Balance(s);
    EXPECT_TRUE(trace.white.taken);
    EXPECT_FALSE(trace.light.taken);
    const double cup[3] = {255, 208, 255};
    double out[3];
    Through(cup, out);
    EXPECT_LT(Spread(out), 0.25 * Spread(cup));
}

TEST_F(KeenhueGreyTest, AWhiteBackdropStaysWhiteWhetherOrNotTheCastClippedIt) {
    // The product of the test above on a white just below full scale: unclipped in the
    // photograph (the light end is the neutral), clipped in red under the warm cast (the clipped
    // white is). The balance sends each to the grey of its own luma, which the clipped copy has
    // lost some of; the white point must take both backdrops to full scale alike.
    auto product = [](const double gain[3]) {
        Scene s(150, 100);
        for (int32_t y = 0; y < s.height; ++y) {
            for (int32_t x = 0; x < s.width; ++x) {
                const bool object = 40 <= x && x < 110 && 25 <= y && y < 75;
                const double t = object ? Ripple(x, y) : 1.0;
                if (object) {
                    s.Set(x, y, 100 * t, 135 * t, 110 * t, gain);
                } else {
                    s.Set(x, y, 250, 249, 248, gain);
                }
            }
        }
        return s;
    };
    es_->keenhueMask = kEditBalance | kEditWhitePoint;
    const int32_t chain = kEditBalance | kEditWhitePoint;
    auto backdrop = [&](const Scene& s, const double gain[3], float out[3]) {
        ASSERT_EQ(ResetEditStatePars(es_.get(), kEditMaskAll), 0);
        ASSERT_EQ(AutoSettings(es_.get(), kEditMaskAll, &s.view), 0);
        float in[3];
        for (int c = 0; c < 3; ++c)
            in[c] = float(std::min(255L, std::lround((250 - c) * gain[c]))) / 255;
        ASSERT_EQ(HgEvalColour(&es_->editPars, chain, in, out), 0);
    };
    float plain[3], cast[3];
    backdrop(product(kNone), kNone, plain);
    backdrop(product(kWarm), kWarm, cast);
    for (int c = 0; c < 3; ++c) {
        EXPECT_GE(plain[c], 253.0f / 255) << c;
        EXPECT_GE(cast[c], 253.0f / 255) << c;
    }

    // Once the balance is the user's (a neutral marked in the preview), the backdrop the
    // automatic balance found no longer moves the white point.
    const Scene s = product(kWarm);
    ASSERT_EQ(AutoSettings(es_.get(), kEditBalance, &s.view), 0);
    const float automatic = es_->balanceConfidence;
    ASSERT_GE(automatic, 0.0f);
    es_->balanceConfidence = -1.0f;
    ASSERT_EQ(KhTonePoints(es_.get(), &s.view, kEditWhitePoint), 0);
    const float marked = es_->editPars.whitePoint;
    es_->balanceConfidence = automatic;
    ASSERT_EQ(KhTonePoints(es_.get(), &s.view, kEditWhitePoint), 0);
    EXPECT_LT(es_->editPars.whitePoint, marked);
}

}  // namespace

// The grey pixels weighed against the ends. A grey card beside a pale yellow wall that is the
// lightest surface: smooth, so it makes no grey pixels, muted enough for the light end to take
// it as a white, and a fifth of the picture, too little to be a backdrop. The two guesses disagree;
// the share of grey pixels that agree decides how much each counts, on a ramp, and a cast, which
// leaves that share as it is, leaves the weight.
TEST_F(KeenhueGreyTest, WeakGreyEvidenceIsWeighedAgainstTheEndsTheSameUnderACast) {
    auto scene = [](const double gain[3]) {
        return CardBeside(96, 110, 235, 228, 185, false, gain);
    };
    const double card[3] = {110, 110, 110};
    const double wall[3] = {235, 228, 185};
    const float share = Estimate(scene(kNone)).share;
    ASSERT_GT(share, 0.1f);
    const float dominance = KhBuiltInTuning().dominanceLow;
    double out[3];

    // Evidence asked for far beyond the share: the wall is the neutral.
    KhSetBalanceTuning({4.0f * share, dominance, 1.0f, 1.0f});
    KhBalanceTrace trace = Balance(scene(kNone));
    EXPECT_TRUE(trace.light.taken);
    EXPECT_FALSE(trace.greyTaken);
    Through(wall, out);
    const double wallAlone = Spread(out);
    Through(card, out);
    const double cardAlone = Spread(out);
    EXPECT_LT(wallAlone, 0.3 * Spread(wall));
    EXPECT_GT(cardAlone, 10.0);

    // Far below it: the card is, and the wall, which disagrees, is dropped.
    KhSetBalanceTuning({0.25f * share, dominance, 1.0f, 1.0f});
    trace = Balance(scene(kNone));
    EXPECT_FLOAT_EQ(trace.crowdWeight, 1.0f);
    EXPECT_TRUE(trace.light.vetoed);
    Through(card, out);
    const double cardCrowd = Spread(out);
    EXPECT_LT(cardCrowd, 2.0);

    // At the share itself the crowd weighs a third (the ramp runs from half of it to twice it):
    // the card comes out between the two, nearer the wall's answer, and under a warm cast the
    // weight is the same.
    KhSetBalanceTuning({share, dominance, 1.0f, 1.0f});
    trace = Balance(scene(kNone));
    EXPECT_NEAR(trace.crowdWeight, 1.0f / 3.0f, 0.01f);
    EXPECT_TRUE(trace.light.taken);
    EXPECT_FLOAT_EQ(trace.confidence, 1.0f);
    Through(card, out);
    EXPECT_GT(Spread(out), cardCrowd + 1.0);
    EXPECT_LT(Spread(out), cardAlone - 1.0);
    const KhBalanceTrace warm = Balance(scene(kWarm));
    EXPECT_NEAR(warm.crowdWeight, trace.crowdWeight, 0.05f);

    // Just inside the ramp the correction is still nearly the ends' alone: the crowd's few
    // samples in the mid-tones must not pin the card where the crowd puts it.
    KhSetBalanceTuning({share / 0.575f, dominance, 1.0f, 1.0f});
    trace = Balance(scene(kNone));
    EXPECT_NEAR(trace.crowdWeight, 0.05f, 0.01f);
    Through(card, out);
    EXPECT_GT(Spread(out), 0.85 * cardAlone);
}
