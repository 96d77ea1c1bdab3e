// Colour definitions; see color_defs.h.
#include "edit/color_defs.h"

#include <cmath>

#include "edit/neutral_target.h"
#include "edit/text_lines.h"
#include "platform/debug_log.h"
#include "platform/format.h"
#include "platform/ui_state.h"

namespace {

bool ComponentsValid(const float rgb[3]) {
    for (int i = 0; i < 3; ++i) {
        if (!(0.0f <= rgb[i] && rgb[i] <= 1.0f)) return false;
    }
    return true;
}

// The stored triple of kinds 0..2; the toning colour is not stored here.
template <typename Defs>
auto Slot(Defs* defs, int32_t kind) -> decltype(&defs->neutral[0]) {
    if (!(0 <= kind && kind < kColorDefKinds)) return nullptr;
    switch (ColorDefKind(kind)) {
        case kColorDefNeutral:
            return defs->neutral;
        case kColorDefGrayscale:
            return defs->grayscale;
        case kColorDefSepia:
            return defs->sepia;
        case kColorDefToning:
            return nullptr;
    }
    return nullptr;
}

}  // namespace

int32_t ColorDefDefault(int32_t kind, float rgb[3]) {
    if (rgb == nullptr || !(0 <= kind && kind < kColorDefKinds)) return kStatusProblem;
    if (kind == kColorDefSepia) {
        rgb[0] = 0.625f;
        rgb[1] = 0.5f;
        rgb[2] = 0.4f;
    } else {
        rgb[0] = rgb[1] = rgb[2] = 0.5f;
    }
    return kStatusOk;
}

int32_t SetColorDefsDefaults(ColorDefs* defs) {
    if (defs == nullptr) return kStatusProblem;
    for (int32_t kind = kColorDefNeutral; kind <= kColorDefSepia; ++kind) {
        ColorDefDefault(kind, Slot(defs, kind));
    }
    return kStatusOk;
}

int32_t GetColorDef(const ColorDefs* defs, const EditPars* p, int32_t kind, float rgb[3]) {
    if (defs == nullptr || p == nullptr || rgb == nullptr) return kStatusProblem;
    if (!(0 <= kind && kind < kColorDefKinds)) return kStatusProblem;
    const float* from = kind == kColorDefToning ? p->toneColor : Slot(defs, kind);
    for (int i = 0; i < 3; ++i) rgb[i] = from[i];
    return kStatusOk;
}

int32_t SetColorDef(ColorDefs* defs, EditPars* p, int32_t kind, const float rgb[3]) {
    if (defs == nullptr || p == nullptr || rgb == nullptr) return kStatusProblem;
    if (!(0 <= kind && kind < kColorDefKinds) || !ComponentsValid(rgb)) return kStatusProblem;
    if (kind == kColorDefNeutral) {
        float target[3];
        int32_t status = DeriveNeutralTarget(rgb, &p->refRGB, target);
        if (status != kStatusOk) return status;
        for (int i = 0; i < 3; ++i) p->neutralTarget[i] = target[i];
        p->balCurveValid = 0;
    }
    float* to = kind == kColorDefToning ? p->toneColor : Slot(defs, kind);
    for (int i = 0; i < 3; ++i) to[i] = rgb[i];
    return kStatusOk;
}

int32_t ColorDefToSlider(float component) {
    if (!(component >= 0.0f)) component = 0.0f;
    if (component > 1.0f) component = 1.0f;
    return int32_t(std::round(200.0 * double(component))) - 100;
}

float ColorDefFromSlider(int32_t value) {
    return float(double(value + 100) / 200.0);
}

void ColorDefSliderText(int32_t value, char* text, int32_t capacity) {
    if (text == nullptr || capacity < 1) return;
    Str_FormatN(text, size_t(capacity), value < 1 ? "%d" : "+%d", int(value));
}

int32_t RepairColorDefTriple(float rgb[3], UiState* state) {
    if (rgb == nullptr) return kStatusProblem;
    if (ComponentsValid(rgb)) return kStatusOk;
    char line[160];
    Str_FormatN(line, sizeof line, "RGB value in the preferences file is invalid: %f %f %f",
                double(rgb[0]), double(rgb[1]), double(rgb[2]));
    Ui_Debug_Log(state != nullptr ? state->diagnostics : 0, line);
    rgb[0] = rgb[1] = rgb[2] = 0.5f;
    return kStatusUnsupported;
}

int32_t ReadColorDefFile(const char* path, float rgb[3]) {
    if (rgb == nullptr) return kStatusProblem;
    FLFile file;
    int32_t status = TextOpenRead(path, &file);
    if (status != kStatusOk) return status;
    char line[256];
    bool atEnd = false;
    status = TextReadLine(&file, line, sizeof line, &atEnd);
    FLClose(&file);
    if (status != kStatusOk) return status;
    int32_t v[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        if (!TextFieldIsInteger(TextFieldAt(line, i))) return kStatusFormat;
    }
    if (TextFieldAt(line, 3) != nullptr) return kStatusFormat;
    if (Ui_ScanString(line, "%d %d %d", &v[0], &v[1], &v[2]) != 3) return kStatusFormat;
    for (int32_t value : v) {
        if (!(-100 <= value && value <= 100)) return kStatusFormat;
    }
    for (int i = 0; i < 3; ++i) rgb[i] = ColorDefFromSlider(v[i]);
    return kStatusOk;
}

int32_t WriteColorDefFile(const char* path, const float rgb[3]) {
    if (rgb == nullptr || !ComponentsValid(rgb)) return kStatusProblem;
    char text[64];
    Str_FormatN(text, sizeof text, "%d %d %d\n", int(ColorDefToSlider(rgb[0])),
                int(ColorDefToSlider(rgb[1])), int(ColorDefToSlider(rgb[2])));
    return TextWriteFile(path, text);
}
