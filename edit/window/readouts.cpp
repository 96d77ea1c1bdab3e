// The eyedropper and the pixel readouts; see readouts.h.
#include "edit/window/readouts.h"

#include <cmath>

#include "edit/window/tool_paint.h"
#include "engine/measure.h"
#include "platform/format.h"
#include "platform/numeric.h"
#include "platform/ui/controls.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"
#include "resources/ids/strings.h"

namespace {

constexpr int32_t kLargestSize = 2;

int32_t Percent(double v) {
    return int32_t(std::lround(100.0 * Num_Clamp01(v)));
}

}  // namespace

int32_t EyedropperStep(int32_t* size, int32_t* direction) {
    if (size == nullptr || direction == nullptr) return kStatusProblem;
    int32_t n = *size < 0 ? 0 : *size > kLargestSize ? kLargestSize : *size;
    int32_t d = *direction == -1 ? -1 : 1;
    if (!(0 <= n + d && n + d <= kLargestSize)) d = -d;
    *size = n + d;
    *direction = d;
    return kStatusOk;
}

int32_t ReadoutNextMode(int32_t mode, uint8_t cmykOffered) {
    if (cmykOffered) {
        if (mode == kReadoutRgb) return kReadoutCmyk;
        if (mode == kReadoutCmyk) return kReadoutHsb;
        return kReadoutRgb;
    }
    return mode == kReadoutRgb ? kReadoutHsb : kReadoutRgb;
}

int32_t ReadoutAverage(const IPImage* image, const Huegrid* transform, int32_t x, int32_t y,
                       int32_t size, float rgb[3]) {
    if (rgb == nullptr || !IPImageValid(image) || image->channels < 3 ||
        !(0 <= size && size <= kLargestSize) ||
        !(0 <= x && x < image->width && 0 <= y && y < image->height)) {
        return kStatusProblem;
    }
    const bool wide = image->bytesPerSample == 2;
    uint64_t sum[3] = {0, 0, 0};
    int64_t count = 0;
    for (int32_t j = y - size; j <= y + size; ++j) {
        for (int32_t i = x - size; i <= x + size; ++i) {
            if (!(0 <= i && i < image->width && 0 <= j && j < image->height)) continue;
            const ptrdiff_t at = IPSampleOffset(image, i, j);
            for (int c = 0; c < 3; ++c) {
                sum[c] += wide ? static_cast<const uint16_t*>(image->channel[c])[at]
                               : static_cast<const uint8_t*>(image->channel[c])[at];
            }
            ++count;
        }
    }
    // The average as one pixel of the image's depth, read through the transform as the
    // preview reads its pixels.
    uint8_t codes8[3];
    uint16_t codes16[3];
    for (int c = 0; c < 3; ++c) {
        const uint64_t mean = (sum[c] + uint64_t(count) / 2) / uint64_t(count);
        codes8[c] = uint8_t(mean);
        codes16[c] = uint16_t(mean);
    }
    IPImage one{};
    one.kind = kIPKindColour;
    one.channels = 3;
    one.bytesPerSample = image->bytesPerSample;
    one.width = 1;
    one.height = 1;
    one.pixelStep = 3;
    one.rowStep = 3;
    for (int c = 0; c < 3; ++c) {
        one.channel[c] = wide ? static_cast<void*>(&codes16[c]) : static_cast<void*>(&codes8[c]);
    }
    uint16_t codes[3];
    const int32_t status = HgPixelThrough(&one, transform, 0, 0, rgb, codes);
    if (status != kStatusOk) return status;
    // The preview shows 8-bit codes, and a 16-bit value as its high byte (the transform's 8-bit
    // output and the unedited picture alike). A 16-bit reading is taken to that code too, so that
    // the two columns compare what is shown: rounding 16-bit values otherwise reads an untouched
    // image one code apart wherever the low byte is 128 or more.
    const int32_t outSize = transform != nullptr ? transform->lut->outPixelSize : (wide ? 2 : 1);
    if (outSize == 2) {
        for (int c = 0; c < 3; ++c) rgb[c] = float(codes[c] >> 8) / 255.0f;
    }
    return kStatusOk;
}

int32_t ReadoutFigures(int32_t mode, const float rgb[3], int32_t figures[4], int32_t* count) {
    if (rgb == nullptr || figures == nullptr || count == nullptr) return kStatusProblem;
    const double r = double(Num_Clamp01(rgb[0])), g = double(Num_Clamp01(rgb[1])),
                 b = double(Num_Clamp01(rgb[2]));
    const double most = r > g ? (r > b ? r : b) : (g > b ? g : b);
    const double least = r < g ? (r < b ? r : b) : (g < b ? g : b);
    figures[3] = 0;
    if (mode == kReadoutHsb) {
        const double chroma = most - least;
        double hue = 0.0;
        if (chroma > 0.0) {
            if (most == r) {
                hue = 60.0 * std::fmod((g - b) / chroma + 6.0, 6.0);
            } else if (most == g) {
                hue = 60.0 * ((b - r) / chroma + 2.0);
            } else {
                hue = 60.0 * ((r - g) / chroma + 4.0);
            }
        }
        figures[0] = int32_t(std::lround(hue)) % 360;
        figures[1] = most > 0.0 ? Percent(chroma / most) : 0;
        figures[2] = Percent(most);
        *count = 3;
    } else if (mode == kReadoutCmyk) {
        const double k = 1.0 - most;
        const double rest = 1.0 - k;
        figures[0] = rest > 0.0 ? Percent((1.0 - r - k) / rest) : 0;
        figures[1] = rest > 0.0 ? Percent((1.0 - g - k) / rest) : 0;
        figures[2] = rest > 0.0 ? Percent((1.0 - b - k) / rest) : 0;
        figures[3] = Percent(k);
        *count = 4;
    } else {
        figures[0] = int32_t(std::lround(255.0 * r));
        figures[1] = int32_t(std::lround(255.0 * g));
        figures[2] = int32_t(std::lround(255.0 * b));
        *count = 3;
    }
    return kStatusOk;
}

int32_t EyedropperDraw(UiWindow* w, int16_t item, int32_t size) {
    const bool pressed = item < 0;
    Ui_Rect r;
    if (Ui_Item_GetRect(w, pressed ? int16_t(-item) : item, &r) != kStatusOk) return kStatusError;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    Ui_Draw_FillRect(w, &r, nullptr);
    const int32_t side =
        Ui_Rect_Width(&r) < Ui_Rect_Height(&r) ? Ui_Rect_Width(&r) : Ui_Rect_Height(&r);
    // Five cells a side with a one-pixel gap; whatever is left over is margin.
    int32_t cell = (side - 6) / 5;
    if (cell < 1) cell = 1;
    const int32_t grid = 5 * cell + 6;
    const int32_t left = r.left + (Ui_Rect_Width(&r) - grid) / 2;
    const int32_t top = r.top + (Ui_Rect_Height(&r) - grid) / 2;
    const int32_t n = size < 0 ? 0 : size > kLargestSize ? kLargestSize : size;
    const Ui_Color frame = LookColor(pressed ? kLookAccent : kLookFrame);
    const Ui_Color gap = LookColor(kLookLightFrame);
    const Ui_Color on = LookColor(kLookAccent), off = LookColor(kLookWell);
    const Ui_Rect whole = Ui_Rect_Make(top, left, top + grid, left + grid);
    Ui_Draw_FillRect(w, &whole, &gap);
    for (int32_t j = 0; j < 5; ++j) {
        for (int32_t i = 0; i < 5; ++i) {
            const bool used = std::abs(i - 2) <= n && std::abs(j - 2) <= n;
            const int32_t x = left + 1 + i * (cell + 1), y = top + 1 + j * (cell + 1);
            const Ui_Rect c = Ui_Rect_Make(y, x, y + cell, x + cell);
            Ui_Draw_FillRect(w, &c, used ? &on : &off);
        }
    }
    Ui_Draw_FrameRect(w, &whole, &frame);
    return Ui_Draw_End(w);
}

int32_t ReadoutsDraw(UiWindow* w, int16_t item, int32_t mode,
                     const ReadoutColumn columns[kReadoutColumns]) {
    Ui_Rect r;
    if (columns == nullptr || Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    const Ui_Color well = LookColor(kLookWell), frame = LookColor(kLookFrame);
    Ui_Draw_FillRect(w, &r, &well);
    Ui_Draw_FrameRect(w, &r, &frame);
    static constexpr int32_t kRgbLabels[4] = {kStrReadoutR, kStrReadoutG, kStrReadoutB, 0};
    static constexpr int32_t kHsbLabels[4] = {kStrReadoutH, kStrReadoutS, kStrReadoutBrightness, 0};
    static constexpr int32_t kCmykLabels[4] = {kStrReadoutC, kStrReadoutM, kStrReadoutY,
                                               kStrReadoutK};
    const int32_t* labels = mode == kReadoutHsb    ? kHsbLabels
                            : mode == kReadoutCmyk ? kCmykLabels
                                                   : kRgbLabels;
    const int32_t rows = mode == kReadoutCmyk ? 4 : 3;
    static constexpr int32_t kHeads[kReadoutColumns] = {kStrReadoutPointer, kStrReadoutSample1,
                                                        kStrReadoutSample2};
    // A narrow label column, then three equal columns; the heading row and one row a channel
    // share the height.
    int16_t labelWidth = 0, lineHeight = 0;
    Ui_Draw_MeasureText(w, kUiFontDialog, "M:", &labelWidth, &lineHeight);
    const int32_t labelColumn = labelWidth + 8;
    const int32_t inner = Ui_Rect_Width(&r) - 2 - labelColumn;
    int32_t rowHeight = (Ui_Rect_Height(&r) - 2) / (rows + 1);
    if (rowHeight > lineHeight + 2) rowHeight = lineHeight + 2;
    const int32_t top = r.top + 1 + (Ui_Rect_Height(&r) - 2 - rowHeight * (rows + 1)) / 2;
    const Ui_Color rule = LookColor(kLookLightFrame);
    const Ui_Rect line =
        Ui_Rect_Make(top + rowHeight, r.left + 3, top + rowHeight + 1, r.right - 3);
    Ui_Draw_FillRect(w, &line, &rule);
    for (int32_t row = 0; row < rows; ++row) {
        char label[256];
        LookString(w, labels[row], label);
        const int32_t y = top + (row + 1) * rowHeight;
        const Ui_Rect cell = Ui_Rect_Make(y, r.left + 1, y + rowHeight, r.left + 1 + labelColumn);
        LookTextLine(w, label, &cell, kUiAlignLeft, 4, kLookDimInk);
    }
    for (int32_t c = 0; c < kReadoutColumns; ++c) {
        const int32_t left = r.left + 1 + labelColumn + inner * c / kReadoutColumns;
        const int32_t right = r.left + 1 + labelColumn + inner * (c + 1) / kReadoutColumns;
        char head[256];
        LookString(w, kHeads[c], head);
        const Ui_Rect headCell = Ui_Rect_Make(top, left, top + rowHeight, right);
        LookTextLine(w, head, &headCell, kUiAlignCenter, 0, kLookDimInk);
        if (!columns[c].valid) continue;
        int32_t before[4], after[4], count = 0;
        ReadoutFigures(mode, columns[c].before, before, &count);
        ReadoutFigures(mode, columns[c].after, after, &count);
        for (int32_t row = 0; row < count && row < rows; ++row) {
            char text[32];
            Str_FormatN(text, sizeof text, "%d/%d", int(before[row]), int(after[row]));
            const int32_t y = top + (row + 1) * rowHeight;
            const Ui_Rect cell = Ui_Rect_Make(y, left, y + rowHeight, right);
            LookTextLine(w, text, &cell, kUiAlignCenter, 0, kLookInk);
        }
    }
    return Ui_Draw_End(w);
}
