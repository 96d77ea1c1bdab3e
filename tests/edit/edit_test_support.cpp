#include "tests/edit/edit_test_support.h"

#include <cmath>

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

std::string BinsOutOfRange(const SampleBin* bins, const std::string& name) {
    for (int k = 0; k < 20; ++k) {
        const SampleBin& b = bins[k];
        if (b.count < 0) return name;
        for (float s : b.sum) {
            if (!In(s, 0.0f, 3.4e38f)) return name;
        }
    }
    return "";
}

}  // namespace

void EditTest::SetUp() {
    PlatformTest::SetUp();
    gAlerts.clear();
    Ui_Alert_SetPresenter(Capture);
    state_ = OpenState(1);
    Ui_Alert_SetStateRef(&state_);
}

void EditTest::TearDown() {
    Ui_Alert_SetStateRef(nullptr);
    Ui_Alert_SetPresenter(nullptr);
    PlatformTest::TearDown();
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
    SetParsDefaults(p);
    p->linear = 1;
    for (int k = 0; k < 20; ++k) {
        for (float& s : p->balBin[k].sum) s = unit() * 4.0f;
        p->balBin[k].count = int32_t(rng() % 1000);
    }
    p->neutralTarget[0] = 12.5f;
    p->neutralTarget[1] = 200.25f;
    p->neutralTarget[2] = -0.375f;
    p->blackPoint = unit() * 2.0f - 1.0f;
    p->grayPoint = unit();
    p->whitePoint = unit() * 2.0f;
    p->brightness = unit();
    p->shadow = unit();
    p->highlight = unit();
    p->contrast = unit();
    p->saturation = unit();
    for (int i = 0; i < 6; ++i) {
        HueHandle& h = p->hue[i];
        h.baseHue = float(rng() % 361);
        h.hueShift = float(int(rng() % 200) - 100) / 4.0f;
        h.brightness = unit();
        h.saturation = unit();
        h.colorId = int32_t(rng() % 12);
        for (int k = 0; k < 20; ++k) {
            for (float& s : h.hueBin[k].sum) s = unit() * 8.0f;
            h.hueBin[k].count = int32_t(rng() % 5000);
        }
    }
    p->toneColor[0] = unit();
    p->toneColor[1] = unit();
    p->toneColor[2] = unit();
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
    std::string bins = BinsOutOfRange(p.balBin, "balBin");
    if (!bins.empty()) return bins;
    for (float v : p.neutralTarget) {
        if (!std::isfinite(v)) return "neutralTarget";
    }
    if (!In(p.blackPoint, -1, 1)) return "blackPoint";
    if (!In(p.grayPoint, 0, 1)) return "grayPoint";
    if (!In(p.whitePoint, 0, 2)) return "whitePoint";
    for (float v : {p.brightness, p.shadow, p.highlight, p.contrast, p.saturation}) {
        if (!In(v, 0, 1)) return "brightness .. saturation";
    }
    for (int i = 0; i < 6; ++i) {
        const HueHandle& h = p.hue[i];
        if (!In(h.baseHue, 0, 360) || !std::isfinite(h.hueShift) || !In(h.brightness, 0, 1) ||
            !In(h.saturation, 0, 1) || h.colorId < 0 || h.colorId > 11) {
            return "hue[" + std::to_string(i) + "]";
        }
        bins = BinsOutOfRange(h.hueBin, "hueBin");
        if (!bins.empty()) return bins;
    }
    for (float v : p.toneColor) {
        if (!In(v, 0, 1)) return "toneColor";
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
    const SharpenNoise& s = p.sharpenNoise;
    if (s.sharpenOn > 1 || s.noiseOn > 1 || s.noiseFlag > 1) return "sharpen/noise flags";
    if (s.sharpenStrength < 1 || s.sharpenStrength > 24 || s.sharpenK != -1 || s.noiseK != 4) {
        return "sharpen";
    }
    if (s.noiseRadius[0] != 0 || s.noiseThreshold[0] != 0) return "noise[0]";
    for (int i = 1; i <= 2; ++i) {
        if (s.noiseRadius[i] < 3 || s.noiseRadius[i] > 16) return "noiseRadius";
        if (s.noiseThreshold[i] < 1 || s.noiseThreshold[i] > 50) return "noiseThreshold";
    }
    return "";
}

std::string PrefsOutOfRange(const Prefs& p) {
    struct Flag {
        const char* name;
        uint8_t v;
    } flags[] = {{"liveSliders", p.liveSliders},
                 {"keenhueMode", p.keenhueMode},
                 {"useLargestWindow", p.useLargestWindow},
                 {"showSampledRegion", p.showSampledRegion},
                 {"showMethodMenu", p.showMethodMenu},
                 {"showCurveControl", p.showCurveControl},
                 {"altOkCyclesMode", p.altOkCyclesMode},
                 {"showPixelValues", p.showPixelValues},
                 {"embedProfile", p.embedProfile},
                 {"preserveExif", p.preserveExif},
                 {"saveInSourceFolder", p.saveInSourceFolder},
                 {"useFileExtensions", p.useFileExtensions},
                 {"lowerCaseExtensions", p.lowerCaseExtensions},
                 {"showStartUpGuide", p.showStartUpGuide},
                 {"previewSharpening", p.previewSharpening},
                 {"previewNoise", p.previewNoise},
                 {"startAllSame", p.startAllSame}};
    for (const Flag& f : flags) {
        if (f.v > 1) return f.name;
    }
    struct Int {
        const char* name;
        int32_t v, lo, hi;
    } ints[] = {{"gridLevel", p.gridLevel, 0, 7},
                {"sampleSize", p.sampleSize, 0, 2},
                {"readoutMode", p.readoutMode, 0, 2},
                {"okMode", p.okMode, 0, 3},
                {"startWith", p.startWith, 0, 3},
                {"workingSpaceChoice", p.workingSpaceChoice, 0, 14},
                {"missingProfilePolicy", p.missingProfilePolicy, 0, 2},
                {"appValue81", p.appValue81, 1, 2},
                {"embeddedProfilePolicy", p.embeddedProfilePolicy, 0, 3},
                {"appValue85", p.appValue85, 1, 3},
                {"outputNaming", p.outputNaming, 0, 2},
                {"keenhueMask", p.keenhueMask, 0, 65087},
                {"memoryColorMask", p.memoryColorMask, 0, 65056},
                {"startTool[0]", p.startTool[0], 0, 3},
                {"startTool[1]", p.startTool[1], 0, 3},
                {"startTool[2]", p.startTool[2], 0, 3},
                {"startTool[3]", p.startTool[3], 0, 3}};
    for (const Int& i : ints) {
        if (i.v < i.lo || i.v > i.hi) return i.name;
    }
    int32_t f = p.outputFormat;
    if (f != 0 && f != 1 && f != 7 && f != 9) return "outputFormat";
    if (!In(p.preferredSaturation, 0, 1)) return "preferredSaturation";
    if (!In(p.jpegQuality, 0, 1)) return "jpegQuality";
    struct Text {
        const char* name;
        const char* v;
        size_t size;
    } texts[] = {{"outputFolder", p.outputFolder, 256},
                 {"fileSuffix", p.fileSuffix, 20},
                 {"missingProfilePath", p.missingProfilePath, 256},
                 {"appPath82", p.appPath82, 256},
                 {"embeddedProfilePath", p.embeddedProfilePath, 256},
                 {"appPath86", p.appPath86, 256},
                 {"appPath90", p.appPath90, 256},
                 {"appPath91", p.appPath91, 256},
                 {"customName", p.customName, 256},
                 {"customFolder", p.customFolder, 256},
                 {"filePrefix", p.filePrefix, 20}};
    for (const Text& t : texts) {
        if (t.v[t.size - 1] != 0) return t.name;
    }
    for (int i = 0; i < 6; ++i) {
        const MemoryColor& m = p.memoryColors[i];
        std::string slot = "memoryColors[" + std::to_string(i) + "]";
        if (m.defined > 1 || !In(m.mcChroma, 0, 180) || !(0 <= m.mcHue && m.mcHue < 360) ||
            !In(m.mcHueSlope, -1, 1)) {
            return slot;
        }
        if (m.name[20] != 0 || m.label[1] != 0) return slot + " text";
        for (const char* c = m.name; *c; ++c) {
            if (static_cast<unsigned char>(*c) < 32 || *c == 127) return slot + " name";
        }
        if (m.label[0] != 0 && (static_cast<unsigned char>(m.label[0]) < 32 || m.label[0] == 127)) {
            return slot + " label";
        }
    }
    const float* defs[3] = {p.colorDefs.neutral, p.colorDefs.grayscale, p.colorDefs.sepia};
    for (const float* d : defs) {
        for (int c = 0; c < 3; ++c) {
            if (!In(d[c], 0, 1)) return "colorDefs";
        }
    }
    const SharpenNoise& s = p.sharpenNoise;
    if (s.sharpenOn > 1 || s.noiseOn > 1 || s.noiseFlag > 1 || s.sharpenStrength < 1 ||
        s.sharpenStrength > 24 || s.sharpenK != -1 || s.noiseK != 4 || s.noiseRadius[0] != 0 ||
        s.noiseThreshold[0] != 0 || s.noiseRadius[1] < 3 || s.noiseRadius[1] > 16 ||
        s.noiseRadius[2] < 3 || s.noiseRadius[2] > 16 || s.noiseThreshold[1] < 1 ||
        s.noiseThreshold[1] > 50 || s.noiseThreshold[2] < 1 || s.noiseThreshold[2] > 50) {
        return "sharpenNoise";
    }
    std::string pars = ParsOutOfRange(p.customSettings);
    if (!pars.empty()) return "customSettings." + pars;
    pars = ParsOutOfRange(p.previousSettings);
    if (!pars.empty()) return "previousSettings." + pars;
    return "";
}

}  // namespace edit_testing
