// Drawing operations, offscreen images and bitmaps; see draw.h.
#include "platform/ui/draw.h"

#include "platform/debug_log.h"
#include "platform/file.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/resources.h"
#include "platform/ui/binding.h"
#include "platform/ui/dlg.h"
#include "platform/ui/dlg_internal.h"
#include "platform/ui/rect.h"
#include "platform/ui_state.h"

namespace {

const Ui_Color kBlack{0, 0, 0};
const Ui_Color kLightGrey = Ui_ColorFromRGB(192, 192, 192);

// The info of a dialog whose drawing is open; null otherwise.
Ui_Dlg_Info* Drawing(UiWindow* w) {
    Ui_Dlg* d = Ui_Dlg_Record(w);
    if (d == nullptr || !d->info->draw.open) return nullptr;
    return d->info;
}

uint8_t Diagnostics(UiWindow* w) {
    Ui_Dlg* d = Ui_Dlg_Record(w);
    return d != nullptr ? d->state->diagnostics : 0;
}

void LogDraw(UiWindow* w, const char* text) {
    Ui_Debug_Log(Diagnostics(w), text);
}

int32_t Result(int32_t status) {
    return status == kStatusOk ? kStatusOk : kStatusError;
}

Ui_RGB FillColor(const Ui_Dlg_Info* info, const Ui_Color* color) {
    return Ui_ColorToRGB(color != nullptr ? *color : info->background);
}

int32_t NewBrush(Ui_Brush** brush, const Ui_Color& color, uint8_t hollow) {
    if (*brush == nullptr) *brush = static_cast<Ui_Brush*>(Mem_Alloc(sizeof(Ui_Brush)));
    if (*brush == nullptr) return kStatusNoMemory;
    (*brush)->color = color;
    (*brush)->hollow = hollow;
    return kStatusOk;
}

// Places a picture of width x height in r: left, centred or right, vertically centred.
void Place(const Ui_Rect* r, int32_t width, int32_t height, uint32_t align, int16_t* top,
           int16_t* left) {
    int32_t freeW = Ui_Rect_Width(r) - width, freeH = Ui_Rect_Height(r) - height;
    int32_t h = r->left;
    if ((align & kUiAlignMask) == kUiAlignCenter) h += freeW / 2;
    if ((align & kUiAlignMask) == kUiAlignRight) h += freeW;
    *left = int16_t(h);
    *top = int16_t(r->top + freeH / 2);
}

uint32_t Le16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The three standard icons, drawn from shapes so that they need no resource. box is 32 x 32.
void DrawStandardIcon(UiWindow* w, uint32_t icon, int16_t top, int16_t left) {
    auto at = [&](int v, int h) { return Ui_Point{int16_t(top + v), int16_t(left + h)}; };
    auto rect = [&](int t, int l, int b, int r) {
        return Ui_Rect_Make(top + t, left + l, top + b, left + r);
    };
    const Ui_Color white = Ui_ColorFromRGB(255, 255, 255);
    if (icon == kUiIconStop) {
        Ui_Rect disc = rect(0, 0, 32, 32);
        Ui_Color red = Ui_ColorFromRGB(200, 30, 30);
        Ui_Draw_FillEllipse(w, &disc, &red);
        // Two crossing bars as polygons, so that their thickness does not depend on the pen.
        Ui_Point a[4] = {at(8, 10), at(10, 8), at(24, 22), at(22, 24)};
        Ui_Point b[4] = {at(22, 8), at(24, 10), at(10, 24), at(8, 22)};
        Ui_Draw_FillPolygon(w, a, 4, &white);
        Ui_Draw_FillPolygon(w, b, 4, &white);
    } else if (icon == kUiIconCaution) {
        Ui_Color yellow = Ui_ColorFromRGB(250, 200, 30);
        Ui_Point tri[3] = {at(1, 16), at(30, 31), at(30, 1)};
        Ui_Draw_FillPolygon(w, tri, 3, &yellow);
        Ui_Rect bar = rect(9, 14, 21, 18), dot = rect(24, 14, 27, 18);
        Ui_Draw_FillRect(w, &bar, &kBlack);
        Ui_Draw_FillRect(w, &dot, &kBlack);
    } else {
        Ui_Rect disc = rect(0, 0, 32, 32);
        Ui_Color blue = Ui_ColorFromRGB(30, 90, 200);
        Ui_Draw_FillEllipse(w, &disc, &blue);
        Ui_Rect dot = rect(6, 14, 10, 18), stem = rect(12, 14, 26, 18);
        Ui_Draw_FillRect(w, &dot, &white);
        Ui_Draw_FillRect(w, &stem, &white);
    }
}

bool KnownFont(int32_t font) {
    return kUiFontDialog <= font && font <= kUiFontLargeBold;
}

// A part of an ellipse: sweep is normalised so that a binding sees a start in 0 .. 359 and a
// sweep in 0 .. 360, counter-clockwise.
int32_t Arc(UiWindow* w, const Ui_Rect* r, int32_t start, int32_t sweep, Ui_RGB color,
            int16_t width) {
    Ui_Dlg_Info* info = Drawing(w);
    if (info == nullptr) return kStatusError;
    if (Ui_Rect_IsEmpty(r)) return kStatusProblem;
    if (!(-36000 <= start && start <= 36000 && -36000 <= sweep && sweep <= 36000)) {
        return kStatusProblem;
    }
    if (sweep < 0) {
        start += sweep;
        sweep = -sweep;
    }
    if (sweep > 360) sweep = 360;
    start %= 360;
    if (start < 0) start += 360;
    if (sweep == 0) return kStatusOk;
    return Result(Ui_Binding()->arc(w, r, start, sweep, color, width, info->draw.xorMode));
}

}  // namespace

int32_t Ui_Font_Nominal(int32_t points, int32_t font, int32_t* averageWidth, int32_t* height) {
    if (averageWidth == nullptr || height == nullptr || !KnownFont(font)) return kStatusProblem;
    if (!(1 <= points && points <= 72)) points = 8;
    if (font == kUiFontSmall) {
        *averageWidth = 4;
        *height = 8;
        return kStatusOk;
    }
    const bool large = font == kUiFontLarge || font == kUiFontLargeBold;
    const bool bold = font == kUiFontBold || font == kUiFontLargeBold;
    const int32_t size = large ? Ui_MulDiv(points, 4, 3) : points;
    *averageWidth = bold ? Ui_MulDiv(size, 27, 32) : Ui_MulDiv(size, 6, 8);
    *height = Ui_MulDiv(size, 13, 8);
    if (*averageWidth < 1) *averageWidth = 1;
    if (*height < 1) *height = 1;
    return kStatusOk;
}

uint8_t Ui_Font_Fits(int32_t alphabetWidth, int32_t height, int32_t averageWidth,
                     int32_t nominalHeight) {
    if (alphabetWidth <= 0 || height <= 0) return 0;
    return (alphabetWidth / 26 + 1) / 2 <= averageWidth && height <= nominalHeight;
}

int32_t Ui_Draw_Begin(UiWindow* w) {
    if (w == nullptr) return kStatusProblem;
    Ui_Dlg* d = Ui_Dlg_Record(w);
    if (d == nullptr || d->info->draw.open) return kStatusError;
    if (Ui_Binding()->drawBegin(w) != kStatusOk) return kStatusError;
    Ui_DrawContext& c = d->info->draw;
    c.open = 1;
    c.xorMode = 0;
    c.clipOn = 0;
    c.penWidth = 1;
    c.penColor = kBlack;
    c.font = kUiFontDialog;
    c.current = Ui_Point{0, 0};
    return kStatusOk;
}

int32_t Ui_Draw_End(UiWindow* w) {
    if (w == nullptr) return kStatusProblem;
    Ui_Dlg_Info* info = Drawing(w);
    if (info == nullptr) return kStatusError;
    if (info->draw.clipOn) Ui_Binding()->drawClip(w, nullptr);
    info->draw.xorMode = 0;
    info->draw.penWidth = 1;
    info->draw.penColor = kBlack;
    info->draw.open = 0;
    return Result(Ui_Binding()->drawEnd(w));
}

int32_t Ui_Draw_SetBackColor(UiWindow* w, const Ui_Color* color) {
    if (w == nullptr || color == nullptr) return kStatusProblem;
    Ui_Dlg* d = Ui_Dlg_Record(w);
    if (d == nullptr) return kStatusError;
    Ui_Dlg_Info* info = d->info;
    int32_t status = NewBrush(&info->solidBrush, *color, 0);
    if (status == kStatusOk) status = NewBrush(&info->hollowBrush, *color, 1);
    if (status != kStatusOk) return status;
    info->background = *color;
    info->customColors = 1;
    return Result(Ui_Binding()->colorsChanged(w));
}

int32_t Ui_Draw_GetBackColor(UiWindow* w, Ui_Color* color) {
    if (w == nullptr || color == nullptr) return kStatusProblem;
    Ui_Dlg* d = Ui_Dlg_Record(w);
    if (d == nullptr) return kStatusError;
    *color = d->info->background;
    return kStatusOk;
}

int32_t Ui_Draw_SetFont(UiWindow* w, int32_t font) {
    if (w == nullptr) return kStatusProblem;
    Ui_Dlg_Info* info = Drawing(w);
    if (info == nullptr) return kStatusError;
    if (!KnownFont(font)) return kStatusProblem;
    info->draw.font = font;
    return kStatusOk;
}

int32_t Ui_Draw_SetClip(UiWindow* w, const Ui_Rect* clip) {
    if (w == nullptr) return kStatusProblem;
    Ui_Dlg_Info* info = Drawing(w);
    if (info == nullptr) return kStatusError;
    info->draw.clipOn = clip != nullptr;
    if (clip != nullptr) info->draw.clip = *clip;
    return Result(Ui_Binding()->drawClip(w, clip));
}

int32_t Ui_Draw_MoveTo(UiWindow* w, int16_t v, int16_t h) {
    if (w == nullptr) return kStatusProblem;
    Ui_Dlg_Info* info = Drawing(w);
    if (info == nullptr) return kStatusError;
    info->draw.current = Ui_Point{v, h};
    return kStatusOk;
}

int32_t Ui_Draw_LineTo(UiWindow* w, int16_t v, int16_t h) {
    if (w == nullptr) return kStatusProblem;
    Ui_Dlg_Info* info = Drawing(w);
    if (info == nullptr) return kStatusError;
    const Ui_DrawContext& c = info->draw;
    Ui_Point to{v, h};
    int32_t status = Ui_Binding()->line(w, c.current, to, Ui_ColorToRGB(c.penColor), c.penWidth,
                                        c.xorMode, c.xorMode);
    info->draw.current = to;
    return Result(status);
}

int32_t Ui_Draw_SetPen(UiWindow* w, const Ui_Color* color, int16_t width) {
    if (w == nullptr || color == nullptr) return kStatusProblem;
    Ui_Dlg_Info* info = Drawing(w);
    if (info == nullptr) return kStatusError;
    if (!(1 <= width && width <= 32)) return kStatusProblem;
    info->draw.penColor = *color;
    info->draw.penWidth = width;
    return kStatusOk;
}

int32_t Ui_Draw_SetXorMode(UiWindow* w, uint8_t on) {
    if (w == nullptr) return kStatusProblem;
    Ui_Dlg_Info* info = Drawing(w);
    if (info == nullptr) return kStatusError;
    info->draw.xorMode = on != 0;
    return kStatusOk;
}

int32_t Ui_Draw_FillRect(UiWindow* w, const Ui_Rect* r, const Ui_Color* color) {
    if (w == nullptr || r == nullptr) return kStatusProblem;
    Ui_Dlg_Info* info = Drawing(w);
    if (info == nullptr) return kStatusError;
    if (Ui_Rect_IsEmpty(r)) return kStatusOk;
    return Result(Ui_Binding()->fillRect(w, r, FillColor(info, color), info->draw.xorMode));
}

int32_t Ui_Draw_FrameRect(UiWindow* w, const Ui_Rect* r, const Ui_Color* color) {
    if (w == nullptr || r == nullptr) return kStatusProblem;
    Ui_Dlg_Info* info = Drawing(w);
    if (info == nullptr) return kStatusError;
    if (Ui_Rect_IsEmpty(r)) return kStatusOk;
    // Four one-pixel strips inside the rectangle, none drawn twice (XOR must not cancel out).
    const UiBinding* b = Ui_Binding();
    Ui_RGB rgb = FillColor(info, color);
    uint8_t x = info->draw.xorMode;
    Ui_Rect top = Ui_Rect_Make(r->top, r->left, r->top + 1, r->right);
    Ui_Rect bottom = Ui_Rect_Make(r->bottom - 1, r->left, r->bottom, r->right);
    Ui_Rect left = Ui_Rect_Make(r->top + 1, r->left, r->bottom - 1, r->left + 1);
    Ui_Rect right = Ui_Rect_Make(r->top + 1, r->right - 1, r->bottom - 1, r->right);
    int32_t status = b->fillRect(w, &top, rgb, x);
    if (Ui_Rect_Height(r) > 1 && status == kStatusOk) status = b->fillRect(w, &bottom, rgb, x);
    if (!Ui_Rect_IsEmpty(&left) && status == kStatusOk) status = b->fillRect(w, &left, rgb, x);
    if (Ui_Rect_Width(r) > 1 && !Ui_Rect_IsEmpty(&right) && status == kStatusOk) {
        status = b->fillRect(w, &right, rgb, x);
    }
    return Result(status);
}

int32_t Ui_Draw_FillEllipse(UiWindow* w, const Ui_Rect* r, const Ui_Color* color) {
    if (w == nullptr || r == nullptr) return kStatusProblem;
    Ui_Dlg_Info* info = Drawing(w);
    if (info == nullptr) return kStatusError;
    if (Ui_Rect_IsEmpty(r)) {
        LogDraw(w, "DrawError1");
        return kStatusError;
    }
    if (Ui_Binding()->ellipse(w, r, FillColor(info, color), 0, info->draw.xorMode) != kStatusOk) {
        LogDraw(w, "DrawError2");
        return kStatusError;
    }
    return kStatusOk;
}

int32_t Ui_Draw_FrameEllipse(UiWindow* w, const Ui_Rect* r, const Ui_Color* color) {
    if (w == nullptr || r == nullptr) return kStatusProblem;
    Ui_Dlg_Info* info = Drawing(w);
    if (info == nullptr) return kStatusError;
    if (Ui_Rect_IsEmpty(r)) {
        LogDraw(w, "DrawError3");
        return kStatusError;
    }
    Ui_RGB rgb = color != nullptr ? Ui_ColorToRGB(*color) : Ui_ColorToRGB(info->draw.penColor);
    if (Ui_Binding()->ellipse(w, r, rgb, info->draw.penWidth, info->draw.xorMode) != kStatusOk) {
        LogDraw(w, "DrawError4");
        return kStatusError;
    }
    return kStatusOk;
}

int32_t Ui_Draw_FillPolygon(UiWindow* w, const Ui_Point* points, int32_t count,
                            const Ui_Color* color) {
    if (w == nullptr || points == nullptr) return kStatusProblem;
    Ui_Dlg_Info* info = Drawing(w);
    if (info == nullptr) return kStatusError;
    if (!(3 <= count && count <= 16384)) return kStatusProblem;
    return Result(
        Ui_Binding()->polygon(w, points, count, FillColor(info, color), info->draw.xorMode));
}

int32_t Ui_Draw_FillPie(UiWindow* w, const Ui_Rect* r, int32_t start, int32_t sweep,
                        const Ui_Color* color) {
    if (w == nullptr || r == nullptr) return kStatusProblem;
    Ui_Dlg_Info* info = Drawing(w);
    if (info == nullptr) return kStatusError;
    return Arc(w, r, start, sweep, FillColor(info, color), 0);
}

int32_t Ui_Draw_FrameArc(UiWindow* w, const Ui_Rect* r, int32_t start, int32_t sweep,
                         const Ui_Color* color) {
    if (w == nullptr || r == nullptr) return kStatusProblem;
    Ui_Dlg_Info* info = Drawing(w);
    if (info == nullptr) return kStatusError;
    Ui_RGB rgb = color != nullptr ? Ui_ColorToRGB(*color) : Ui_ColorToRGB(info->draw.penColor);
    return Arc(w, r, start, sweep, rgb, info->draw.penWidth);
}

int32_t Ui_Draw_DottedFrame(UiWindow* w, const Ui_Point* points, int32_t count) {
    if (w == nullptr || points == nullptr) return kStatusProblem;
    Ui_Dlg_Info* info = Drawing(w);
    if (info == nullptr) return kStatusError;
    if (!(2 <= count && count <= 16384)) return kStatusProblem;
    Ui_RGB rgb = Ui_ColorToRGB(info->draw.penColor);
    int32_t status = kStatusOk;
    for (int32_t i = 0; i < count && status == kStatusOk; ++i) {
        status = Ui_Binding()->line(w, points[i], points[(i + 1) % count], rgb, 1, 1,
                                    info->draw.xorMode);
    }
    return Result(status);
}

int32_t Ui_Draw_FocusRect(UiWindow* w, const Ui_Rect* r) {
    if (w == nullptr || r == nullptr) return kStatusProblem;
    Ui_Dlg_Info* info = Drawing(w);
    if (info == nullptr) return kStatusError;
    if (Ui_Rect_IsEmpty(r)) return kStatusOk;
    const UiBinding* b = Ui_Binding();
    Ui_RGB grey = Ui_ColorToRGB(kLightGrey);
    int16_t t = r->top, l = r->left, bo = int16_t(r->bottom - 1), ri = int16_t(r->right - 1);
    // Each side leaves out the corner where the next one starts, so XOR covers every pixel once.
    int32_t status = b->line(w, Ui_Point{t, l}, Ui_Point{t, int16_t(ri - 1)}, grey, 1, 1, 1);
    if (status == kStatusOk && bo > t && ri > l) {
        status = b->line(w, Ui_Point{t, ri}, Ui_Point{int16_t(bo - 1), ri}, grey, 1, 1, 1);
        if (status == kStatusOk) {
            status = b->line(w, Ui_Point{bo, ri}, Ui_Point{bo, int16_t(l + 1)}, grey, 1, 1, 1);
        }
        if (status == kStatusOk) {
            status = b->line(w, Ui_Point{bo, l}, Ui_Point{int16_t(t + 1), l}, grey, 1, 1, 1);
        }
    }
    return Result(status);
}

int32_t Ui_Draw_TextInRect(UiWindow* w, const char* text, const Ui_Rect* r, uint32_t format,
                           int16_t* height) {
    if (height != nullptr) *height = 0;
    if (w == nullptr || text == nullptr || r == nullptr) return kStatusProblem;
    Ui_Dlg_Info* info = Drawing(w);
    if (info == nullptr) return kStatusError;
    int32_t measured = 0;
    int32_t status = Ui_Binding()->text(w, text, r, format, Ui_ColorToRGB(info->draw.penColor),
                                        info->draw.font, &measured);
    if (height != nullptr) *height = int16_t(measured);
    return Result(status);
}

int32_t Ui_Draw_MeasureText(UiWindow* w, int32_t font, const char* text, int16_t* width,
                            int16_t* height) {
    if (w == nullptr || text == nullptr || width == nullptr || height == nullptr) {
        return kStatusProblem;
    }
    int32_t wi = 0, he = 0;
    if (Ui_Binding()->measureText(w, font, text, &wi, &he) != kStatusOk) return kStatusError;
    *width = int16_t(wi > 32767 ? 32767 : wi);
    *height = int16_t(he);
    return kStatusOk;
}

int32_t Ui_Draw_MeasureWrapped(UiWindow* w, int32_t font, const char* text, int16_t width,
                               int16_t* height) {
    if (height != nullptr) *height = 0;
    if (w == nullptr || text == nullptr || height == nullptr) return kStatusProblem;
    if (Ui_Dlg_Record(w) == nullptr) return kStatusError;
    if (!KnownFont(font) || width < 1) return kStatusProblem;
    int32_t he = 0;
    if (Ui_Binding()->measureWrapped(w, font, text, width, &he) != kStatusOk) return kStatusError;
    *height = int16_t(he > 32767 ? 32767 : he);
    return kStatusOk;
}

int32_t Ui_Draw_TextAt(UiWindow* w, const char* text, int16_t v, int16_t h, uint32_t align) {
    if (w == nullptr || text == nullptr) return kStatusProblem;
    Ui_Dlg_Info* info = Drawing(w);
    if (info == nullptr) return kStatusError;
    int16_t width = 0, height = 0;
    if (Ui_Draw_MeasureText(w, info->draw.font, text, &width, &height) != kStatusOk) {
        return kStatusError;
    }
    int32_t left = h;
    if ((align & kUiAlignMask) == kUiAlignCenter) left = h - width / 2;
    if ((align & kUiAlignMask) == kUiAlignRight) left = h - width;
    int32_t right = left + width, bottom = v + height;
    if (left < -32768 || right > 32767 || bottom > 32767) return kStatusProblem;
    Ui_Rect r = Ui_Rect_Make(v, left, bottom, right);
    return Ui_Draw_TextInRect(w, text, &r, kUiAlignLeft, nullptr);
}

int32_t Ui_Offscreen_Create(const Ui_Rect* r, Ui_Offscreen** image) {
    if (image == nullptr) return kStatusProblem;
    *image = nullptr;
    if (r == nullptr || Ui_Rect_IsEmpty(r)) return kStatusProblem;
    int32_t width = Ui_Rect_Width(r), height = Ui_Rect_Height(r);
    int32_t rowBytes = (3 * width + 3) & ~3;
    uint64_t bytes = uint64_t(rowBytes) * uint64_t(height);
    if (bytes > 0x7FFFFFFFull) return kStatusProblem;
    auto* im = static_cast<Ui_Offscreen*>(Mem_Alloc(sizeof(Ui_Offscreen)));
    if (im == nullptr) return kStatusNoMemory;
    im->pixels = static_cast<uint8_t*>(Mem_Alloc(uint32_t(bytes)));
    if (im->pixels == nullptr) {
        Mem_Free(im);
        return kStatusNoMemory;
    }
    Mem_Fill(im->pixels, 0, size_t(bytes));
    im->width = width;
    im->height = height;
    im->rowBytes = rowBytes;
    im->blue = im->pixels;
    im->green = im->pixels + 1;
    im->red = im->pixels + 2;
    *image = im;
    return kStatusOk;
}

int32_t Ui_Offscreen_Free(Ui_Offscreen** image) {
    if (image == nullptr) return kStatusProblem;
    if (*image != nullptr) {
        Mem_Free((*image)->pixels);
        *image = static_cast<Ui_Offscreen*>(Mem_Free(*image));
    }
    return kStatusOk;
}

int32_t Ui_Draw_Offscreen(UiWindow* w, const Ui_Offscreen* image, const Ui_Rect* r) {
    if (w == nullptr || image == nullptr || r == nullptr) return kStatusProblem;
    Ui_Dlg_Info* info = Drawing(w);
    if (info == nullptr) {
        // Without open drawing there is no context to copy through.
        Ui_Debug_Log(Diagnostics(w), "Error -2 creating compatible context");
        return kStatusError;
    }
    if (image->pixels == nullptr) return kStatusProblem;
    int32_t step = Ui_Binding()->image(w, image, r->top, r->left, r);
    if (step == kStatusOk) return kStatusOk;
    char line[64];
    switch (step) {
        case 1:
            Str_FormatN(line, sizeof line, "Error %d creating compatible context", -2);
            break;
        case 2:
            Str_FormatN(line, sizeof line, "Error %d creating compatible bitmap", -2);
            break;
        case 3:
            Str_FormatN(line, sizeof line, "SetDIBits error %d", -2);
            break;
        default:
            Str_Copy(line, "Error selecting bitmap");
            break;
    }
    Ui_Debug_Log(Diagnostics(w), line);
    return kStatusError;
}

int32_t Ui_Bitmap_Decode(const uint8_t* data, uint32_t size, Ui_Offscreen** image) {
    if (image == nullptr) return kStatusProblem;
    *image = nullptr;
    if (data == nullptr) return kStatusProblem;
    // File header (14 bytes) and an info header of at least 40 bytes.
    if (size < 54 || data[0] != 'B' || data[1] != 'M') return kStatusFormat;
    uint32_t pixelOffset = Le32(data + 10), headerSize = Le32(data + 14);
    int32_t width = int32_t(Le32(data + 18)), height = int32_t(Le32(data + 22));
    uint32_t planes = Le16(data + 26), bits = Le16(data + 28), compression = Le32(data + 30);
    uint32_t colors = Le32(data + 46);
    if (headerSize < 40 || headerSize > size - 14 || planes != 1 || compression != 0) {
        return kStatusFormat;
    }
    if (bits != 8 && bits != 24) return kStatusFormat;
    bool bottomUp = height > 0;
    if (height < 0) height = -height;
    if (!(1 <= width && width <= 8192 && 1 <= height && height <= 8192)) return kStatusFormat;
    const uint8_t* palette = data + 14 + headerSize;
    if (bits == 8) {
        if (colors == 0) colors = 256;
        if (colors > 256 || 14 + headerSize + 4 * colors > size) return kStatusFormat;
    }
    uint32_t srcRow = ((uint32_t(width) * bits + 31) / 32) * 4;
    if (pixelOffset > size || uint64_t(srcRow) * uint32_t(height) > size - pixelOffset) {
        return kStatusFormat;
    }
    Ui_Rect r = Ui_Rect_Make(0, 0, height, width);
    Ui_Offscreen* im = nullptr;
    int32_t status = Ui_Offscreen_Create(&r, &im);
    if (status != kStatusOk) return status;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* src =
            data + pixelOffset + size_t(srcRow) * size_t(bottomUp ? height - 1 - y : y);
        uint8_t* dst = im->pixels + size_t(im->rowBytes) * size_t(y);
        for (int32_t x = 0; x < width; ++x) {
            if (bits == 24) {
                Mem_Copy(dst + 3 * x, src + 3 * x, 3);
            } else {
                uint32_t index = src[x];
                // An index past the palette reads as black rather than past the data.
                if (index < colors) Mem_Copy(dst + 3 * x, palette + 4 * index, 3);
            }
        }
    }
    *image = im;
    return kStatusOk;
}

int32_t Ui_Bitmap_Load(UiState* state, uint32_t type, int32_t id, Ui_Offscreen** image) {
    if (image == nullptr) return kStatusProblem;
    *image = nullptr;
    if (state == nullptr || state->resSrc == nullptr || id < 0) return kStatusProblem;
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    int32_t status = Res_Find(state->resSrc, type, uint32_t(id), &data, &size);
    if (status != kStatusOk) return status;
    return Ui_Bitmap_Decode(data, size, image);
}

int32_t Ui_Draw_Bitmap(UiWindow* w, int32_t bitmapId, const Ui_Rect* r, uint32_t align) {
    if (w == nullptr || r == nullptr) return kStatusProblem;
    if (Drawing(w) == nullptr) return kStatusError;
    Ui_Offscreen* im = nullptr;
    int32_t status = Ui_Bitmap_Load(w->state, kResTypeBitmap, bitmapId, &im);
    if (status != kStatusOk) return status;
    int16_t top = 0, left = 0;
    Place(r, im->width, im->height, align, &top, &left);
    status = Ui_Binding()->image(w, im, top, left, r) == kStatusOk ? kStatusOk : kStatusError;
    Ui_Offscreen_Free(&im);
    return status;
}

int32_t Ui_Draw_Icon(UiWindow* w, uint32_t icon, const Ui_Rect* r, uint32_t align) {
    if (w == nullptr || r == nullptr) return kStatusProblem;
    if (Drawing(w) == nullptr) return kStatusError;
    int16_t top = 0, left = 0;
    if (icon <= kUiIconNote) {
        Place(r, 32, 32, align, &top, &left);
        DrawStandardIcon(w, icon, top, left);
        return kStatusOk;
    }
    if (icon > 0x7FFFFFFF) return kStatusProblem;
    Ui_Offscreen* im = nullptr;
    int32_t status = Ui_Bitmap_Load(w->state, kResTypeIcon, int32_t(icon), &im);
    if (status != kStatusOk) return status;
    Place(r, im->width, im->height, align, &top, &left);
    status = Ui_Binding()->image(w, im, top, left, r) == kStatusOk ? kStatusOk : kStatusError;
    Ui_Offscreen_Free(&im);
    return status;
}
