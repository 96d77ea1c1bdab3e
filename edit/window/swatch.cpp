// Colour swatches; see swatch.h.
#include "edit/window/swatch.h"

#include <cmath>

#include "engine/colour_math.h"
#include "platform/numeric.h"
#include "platform/ui/draw.h"

namespace {

// sRGB: the primaries of ITU-R BT.709 and the white of D65 (XYZ, Y = 1).
constexpr float kSrgbPrimaries[6] = {0.64f, 0.33f, 0.30f, 0.60f, 0.15f, 0.06f};
constexpr float kD65[3] = {0.95047f, 1.0f, 1.08883f};

uint8_t SrgbEncode(double linear) {
    const double v = Num_Clamp01(linear);
    const double e = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
    return uint8_t(std::lround(255.0 * Num_Clamp01(e)));
}

int32_t XyzToScreen(const float xyz[3], const RefRGB* space, Ui_RGB* screen) {
    float adapted[3], m[9], linear[3];
    int32_t status = HgAdaptWhite(xyz, space->xyzWhite, kD65, kHgAdaptBradford, adapted);
    if (status == kStatusOk) status = HgXyzToRgbMatrix(kSrgbPrimaries, kD65, m);
    if (status != kStatusOk) return status;
    HgMatrix3Apply(m, adapted, linear);
    *screen = Ui_RGB{SrgbEncode(linear[0]), SrgbEncode(linear[1]), SrgbEncode(linear[2])};
    return kStatusOk;
}

}  // namespace

int32_t SwatchToScreen(const float rgb[3], const RefRGB* space, Ui_RGB* screen) {
    if (rgb == nullptr || screen == nullptr || !RefRgbIsValid(space)) return kStatusProblem;
    float m[9], linear[3], xyz[3];
    int32_t status = HgRgbToXyzMatrix(space->primaries, space->xyzWhite, m);
    if (status != kStatusOk) return status;
    for (int c = 0; c < 3; ++c) {
        linear[c] = float(std::pow(Num_Clamp01(double(rgb[c])), double(space->gamma)));
    }
    HgMatrix3Apply(m, linear, xyz);
    return XyzToScreen(xyz, space, screen);
}

int32_t SwatchLabToScreen(const float lab[3], const RefRGB* space, Ui_RGB* screen) {
    if (lab == nullptr || screen == nullptr || !RefRgbIsValid(space)) return kStatusProblem;
    float xyz[3], m[9], linear[3];
    int32_t status = HgLabToXyz(lab, space->xyzWhite, xyz);
    if (status == kStatusOk) status = HgXyzToRgbMatrix(space->primaries, space->xyzWhite, m);
    if (status != kStatusOk) return status;
    HgMatrix3Apply(m, xyz, linear);
    float rgb[3];
    for (int c = 0; c < 3; ++c) rgb[c] = float(Num_Clamp01(double(linear[c])));
    float back[9], clipped[3];
    status = HgRgbToXyzMatrix(space->primaries, space->xyzWhite, back);
    if (status != kStatusOk) return status;
    HgMatrix3Apply(back, rgb, clipped);
    return XyzToScreen(clipped, space, screen);
}

int32_t SwatchDraw(UiWindow* w, const Ui_Rect* r, const float rgb[3], const RefRGB* space) {
    if (r == nullptr) return kStatusProblem;
    Ui_RGB screen;
    int32_t status = SwatchToScreen(rgb, space, &screen);
    if (status != kStatusOk) return status;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    const Ui_Color fill = Ui_ColorFromRGB(screen.r, screen.g, screen.b);
    const Ui_Color frame = Ui_ColorFromRGB(128, 128, 128);
    Ui_Draw_FillRect(w, r, &fill);
    Ui_Draw_FrameRect(w, r, &frame);
    return Ui_Draw_End(w);
}
