#include "tests/edit/edit_test_support.h"

#include <cmath>

#include "edit/keenhue.h"
#include "edit/neutral_target.h"
#include "platform/alert.h"

namespace edit_testing {

namespace {

std::vector<std::string> gAlerts;

int32_t Capture(UiState*, const Ui_AlertRecord* a, int16_t* item) {
    gAlerts.push_back(a->text);
    *item = 1;
    return 0;
}

bool In(float v, float lo, float hi) {
    return lo <= v && v <= hi;
}

bool BinsOk(const SampleBin* bins) {
    for (int k = 0; k < 20; ++k) {
        if (bins[k].count < 0) return false;
        for (float s : bins[k].sum) {
            if (!In(s, 0.0f, 3.4e38f)) return false;
        }
    }
    return true;
}

// Sharpen and noise values as the preferences accept them.
bool SharpenNoiseOk(const SharpenNoise& s) {
    return s.sharpenOn <= 1 && s.noiseOn <= 1 && s.noiseFlag <= 1 && s.sharpenStrength >= 1 &&
           s.sharpenStrength <= 24 && s.sharpenK == -1 && s.noiseK == 4 && s.noiseRadius[0] == 0 &&
           s.noiseThreshold[0] == 0 && s.noiseRadius[1] >= 3 && s.noiseRadius[1] <= 16 &&
           s.noiseRadius[2] >= 3 && s.noiseRadius[2] <= 16 && s.noiseThreshold[1] >= 1 &&
           s.noiseThreshold[1] <= 50 && s.noiseThreshold[2] >= 1 && s.noiseThreshold[2] <= 50;
}

}  // namespace

void EditTest::SetUp() {
    PlatformTest::SetUp();
    gAlerts.clear();
    Ui_Alert_SetPresenter(Capture);
    state_ = OpenState(1);
}

void EditTest::TearDown() {
    Ui_Alert_SetPresenter(nullptr);
    PlatformTest::TearDown();
}

void KeenhueTestBase::SetUp() {
    EditTest::SetUp();
    es_ = std::make_unique<EditState>();
    ASSERT_EQ(EditStateInit(es_.get(), nullptr), 0);
    es_->keenhueMask = kEditMaskAll;
}

void KeenhueTestBase::TearDown() {
    KhSetBalanceTuning(KhBuiltInTuning());
    EditStateFreeAnalysis(es_.get());
    SetNeutralTargetDeriver(nullptr);
    EditTest::TearDown();
}

const std::vector<std::string>& EditTest::Alerts() const {
    return gAlerts;
}
void EditTest::ClearAlerts() {
    gAlerts.clear();
}

std::vector<std::string> EditTest::LogLinesWith(const std::string& text) const {
    std::vector<std::string> out;
    for (const std::string& line : LogLines()) {
        if (line.find(text) != std::string::npos) out.push_back(line);
    }
    return out;
}

void FillPars(EditPars* p, uint32_t seed) {
    std::mt19937 rng(seed);
    // Multiples of 1/64 are exact in every stored form, so comparisons can be exact.
    auto unit = [&rng] { return float(rng() % 65) / 64.0f; };
    auto bins = [&rng, &unit](SampleBin* b, float scale, uint32_t counts) {
        for (int k = 0; k < 20; ++k) {
            for (float& s : b[k].sum) s = unit() * scale;
            b[k].count = int32_t(rng() % counts);
        }
    };
    SetParsDefaults(p);
    p->linear = 1;
    bins(p->balBin, 4.0f, 1000);
    p->neutralTarget[0] = 12.5f;
    p->neutralTarget[1] = 200.25f;
    p->neutralTarget[2] = -0.375f;
    p->blackPoint = unit() * 2.0f - 1.0f;
    p->grayPoint = unit();
    p->whitePoint = unit() * 2.0f;
    for (float* f : {&p->brightness, &p->shadow, &p->highlight, &p->contrast, &p->saturation}) {
        *f = unit();
    }
    for (HueHandle& h : p->hue) {
        h.baseHue = float(rng() % 361);
        h.hueShift = float(int(rng() % 200) - 100) / 4.0f;
        h.brightness = unit();
        h.saturation = unit();
        h.colorId = int32_t(rng() % 12);
        bins(h.hueBin, 8.0f, 5000);
    }
    for (float& t : p->toneColor) t = unit();
    p->refRGB.gamma = 1.75f;
    p->refRGB.xyzWhite[0] = 0.96875f;
    p->refRGB.xyzWhite[1] = 1.0f;
    p->refRGB.xyzWhite[2] = 0.828125f;
    const float primaries[6] = {0.7347f, 0.2653f, 0.1596f, 0.8404f, 0.0366f, 0.0001f};
    for (int i = 0; i < 6; ++i) p->refRGB.primaries[i] = primaries[i];
    SharpenNoise& s = p->sharpenNoise;
    s.sharpenOn = 1;
    s.sharpenStrength = int32_t(1 + rng() % 24);
    s.noiseOn = 1;
    s.noiseFlag = 0;
    s.noiseRadius[1] = int32_t(3 + rng() % 14);
    s.noiseRadius[2] = int32_t(3 + rng() % 14);
    s.noiseRadius[3] = 77;
    s.noiseThreshold[1] = int32_t(1 + rng() % 50);
    s.noiseThreshold[2] = int32_t(1 + rng() % 50);
    s.noiseThreshold[3] = -5;
}

std::unique_ptr<Prefs> NewDefaultPrefs() {
    auto prefs = std::make_unique<Prefs>();
    SetPrefsDefaults(prefs.get());
    return prefs;
}

std::string ParsOutOfRange(const EditPars& p) {
    if (p.linear > 1) return "linear";
    if (!BinsOk(p.balBin)) return "balBin";
    for (float v : p.neutralTarget) {
        if (!std::isfinite(v)) return "neutralTarget";
    }
    if (!In(p.blackPoint, -1, 1) || !In(p.whitePoint, 0, 2)) return "black/white point";
    for (float v : {p.grayPoint, p.brightness, p.shadow, p.highlight, p.contrast, p.saturation,
                    p.toneColor[0], p.toneColor[1], p.toneColor[2]}) {
        if (!In(v, 0, 1)) return "grayPoint .. toneColor";
    }
    for (int i = 0; i < 6; ++i) {
        const HueHandle& h = p.hue[i];
        if (!In(h.baseHue, 0, 360) || !std::isfinite(h.hueShift) || !In(h.brightness, 0, 1) ||
            !In(h.saturation, 0, 1) || h.colorId < 0 || h.colorId > 11 || !BinsOk(h.hueBin)) {
            return "hue[" + std::to_string(i) + "]";
        }
    }
    const RefRGB& r = p.refRGB;
    if (!In(r.gamma, 0.5f, 5.0f)) return "gamma";
    for (float w : r.xyzWhite) {
        if (!In(w, 0.1f, 2.0f)) return "xyzWhite";
    }
    for (int i = 0; i < 6; i += 2) {
        if (!In(r.primaries[i], 0, 1) || !In(r.primaries[i + 1], 0, 1) ||
            r.primaries[i] + r.primaries[i + 1] > 1.000001f) {
            return "primaries";
        }
    }
    return SharpenNoiseOk(p.sharpenNoise) ? "" : "sharpenNoise";
}

std::string PrefsOutOfRange(const Prefs& p) {
    const uint8_t flags[] = {p.liveSliders,         p.keenhueMode,        p.useLargestWindow,
                             p.showSampledRegion,   p.showMethodMenu,     p.showCurveControl,
                             p.altOkCyclesMode,     p.showPixelValues,    p.embedProfile,
                             p.preserveExif,        p.saveInSourceFolder, p.useFileExtensions,
                             p.lowerCaseExtensions, p.showStartUpGuide,   p.previewSharpening,
                             p.previewNoise,        p.startAllSame};
    for (size_t i = 0; i < sizeof flags; ++i) {
        if (flags[i] > 1) return "flag " + std::to_string(i);
    }
    auto out = [](int32_t v, int32_t lo, int32_t hi) { return v < lo || v > hi; };
    if (out(p.gridLevel, 0, 7) || out(p.sampleSize, 0, 2) || out(p.readoutMode, 0, 2) ||
        out(p.okMode, 0, 3) || out(p.startWith, 0, 3) || out(p.workingSpaceChoice, 0, 14) ||
        out(p.missingProfilePolicy, 0, 2) || out(p.standaloneValues[2], 1, 2) ||
        out(p.embeddedProfilePolicy, 0, 3) || out(p.standaloneValues[3], 1, 3) ||
        out(p.outputNaming, 0, 2) || out(p.keenhueMask, 0, 65087) ||
        out(p.memoryColorMask, 0, 65056) || out(p.lastTab, 0, 3) || out(p.lastMethod, 1, 3) ||
        out(p.windowWidth, 0, 32767) || out(p.windowHeight, 0, 32767) || out(p.threads, 0, 64)) {
        return "int entry";
    }
    for (int32_t t : p.startTool) {
        if (out(t, 0, 3)) return "startTool";
    }
    int32_t f = p.outputFormat;
    if (f != 0 && f != 1 && f != 7 && f != 9) return "outputFormat";
    if (!In(p.preferredSaturation, 0, 1) || !In(p.jpegQuality, 0, 1)) return "float";
    // Every text field ends in a terminator.
    for (const char* end :
         {p.outputFolder + 255, p.fileSuffix + 19, p.missingProfilePath + 255,
          p.standalonePaths[0] + 255, p.embeddedProfilePath + 255, p.standalonePaths[1] + 255,
          p.standalonePaths[2] + 255, p.standalonePaths[3] + 255, p.customName + 255,
          p.customFolder + 255, p.filePrefix + 19}) {
        if (*end != 0) return "text";
    }
    for (int i = 0; i < 6; ++i) {
        const MemoryColor& m = p.memoryColors[i];
        std::string slot = "memoryColors[" + std::to_string(i) + "]";
        if (m.defined > 1 || !In(m.mcChroma, 0, 180) || !(0 <= m.mcHue && m.mcHue < 360) ||
            !In(m.mcHueSlope, -1, 1) || m.name[20] != 0 || m.label[1] != 0) {
            return slot;
        }
        for (const char* c = m.name; *c; ++c) {
            if (static_cast<unsigned char>(*c) < 32 || *c == 127) return slot;
        }
        auto label = static_cast<unsigned char>(m.label[0]);
        if (label != 0 && (label < 32 || label == 127)) return slot;
    }
    for (const float* d : {p.colorDefs.neutral, p.colorDefs.grayscale, p.colorDefs.sepia}) {
        if (!In(d[0], 0, 1) || !In(d[1], 0, 1) || !In(d[2], 0, 1)) return "colorDefs";
    }
    if (!SharpenNoiseOk(p.sharpenNoise)) return "sharpenNoise";
    std::string pars = ParsOutOfRange(p.customSettings);
    if (!pars.empty()) return "customSettings." + pars;
    pars = ParsOutOfRange(p.previousSettings);
    return pars.empty() ? "" : "previousSettings." + pars;
}

}  // namespace edit_testing
