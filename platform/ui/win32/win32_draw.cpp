// The Win32 binding's drawing part: GDI fonts and the drawing primitives of the dialog framework.
//
// Every primitive draws on the device context that drawBegin took (the dialog window's, or a
// memory context for tests) and leaves it as it found it: pens and brushes are made for one call,
// selected, drawn with and deleted again, and the raster mode is set for each call. SaveDC at
// drawBegin and RestoreDC at drawEnd put back whatever a primitive could still have changed (the
// clip, the font, the text colour).
//
// The pixels follow the framework's conventions, which are not all GDI's: rectangles exclude
// their right and bottom edges (as GDI's do); lines include their end point (GDI leaves it out,
// so it is added); a wide line is an upright square of the pen's width swept along the line;
// filled ellipses, pies and polygons cover the pixels whose centres lie inside them, and frames
// and arcs run inside the box they are given. XOR inverts every covered pixel exactly once
// (R2_XORPEN for shapes, PATINVERT for rectangles and single pixels): shapes are filled with no
// pen and framed with no brush, because where a pen overlapped a brush a pixel would be
// inverted twice and stay as it was. The headless canvas draws by the same rules; what GDI
// rasterises differently is an edge pixel here and there.
//
// Fonts. Dialogs are laid out with the framework's nominal metrics (as on the other bindings), so
// that a template has one size in pixels everywhere; the GDI font drawn is the dialog's face at
// the size the template names, made smaller until it fits those metrics. The small font is the
// face at 6 points, scaled to the display's vertical resolution, and fitted the same way.
//
// Resolution. Coordinates come in the framework's 96-dpi pixels and are drawn at the window's
// resolution (W32DrawState::dpi): edges are converted one by one (W32_ToDevice), fonts are made
// at the monitor's size and fitted to the nominal metrics scaled alike, and measured sizes come
// back in framework pixels, rounded up so that a text never gets less room than it needs. A
// one-pixel line is as wide as one framework pixel is on the monitor. At 96 dpi every primitive
// draws exactly as without the conversion.
#include <windows.h>

#include <cmath>

#include "platform/mem.h"
#include "platform/numeric.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"
#include "platform/ui/win32/win32_internal.h"

namespace {

constexpr int32_t kFontCount = kUiFontLargeBold + 1;
constexpr int32_t kMaxPoints = 72;
constexpr const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// The fonts made so far, by resolution, dialog size in points and framework font. The face is the
// one the first fontMetrics call named; the framework's templates all name one face. A few
// resolutions at most are in use at once (one per monitor a dialog is on).
struct FontEntry {
    int32_t dpi, points, font;
    HFONT handle;  // null when it could not be made: not tried again
};
constexpr int32_t kMaxFonts = 64;
struct FontCache {
    char face[LF_FACESIZE];
    int32_t points;  // the dialog size the first fontMetrics call named, 0 before it
    int32_t count;
    FontEntry entries[kMaxFonts];
};
FontCache gFonts;

bool KnownFont(int32_t font) {
    return kUiFontDialog <= font && font <= kUiFontLargeBold;
}

int32_t DialogPoints(UiWindow* w) {
    int32_t points = w != nullptr && w->layout != nullptr ? w->layout->fontPoints : 0;
    if (points == 0) points = gFonts.points;
    return 1 <= points && points <= kMaxPoints ? points : 8;
}

int32_t Dpi(const W32DrawState* s) {
    return s != nullptr && s->dpi > 0 ? s->dpi : kW32BaseDpi;
}

// The resolution a dialog is drawn at: its window's, 96 without one.
int32_t DialogDpi(UiWindow* w) {
    return w != nullptr ? Dpi(W32_DrawStateOf(w)) : kW32BaseDpi;
}

// The face's font at a character height of `pixels`, plain or bold.
HFONT MakeFont(int32_t pixels, bool bold) {
    LOGFONTA lf;
    Mem_Fill(&lf, 0, sizeof lf);
    lf.lfHeight = -pixels;
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
    Str_CopyBounded(lf.lfFaceName, sizeof lf.lfFaceName,
                    gFonts.face[0] != 0 ? gFonts.face : "MS Shell Dlg");
    return CreateFontIndirectA(&lf);
}

// The width of the 52 letters and the line height of a font, measured on dc.
void Measure(HDC dc, HFONT font, int32_t* alphabetWidth, int32_t* height) {
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{0, 0};
    GetTextExtentPoint32A(dc, kAlphabet, 52, &size);
    TEXTMETRICA tm;
    Mem_Fill(&tm, 0, sizeof tm);
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    *alphabetWidth = size.cx;
    *height = tm.tmHeight;
}

// Makes the font of a dialog size: the named size in points at the display's resolution, one
// pixel smaller at a time until the face fits the nominal metrics at that resolution. A face that
// fits at no size (a bitmap face has few) is taken at the smallest size tried, so that text still
// draws.
HFONT FitFont(int32_t points, int32_t font, int32_t dpi) {
    int32_t avg = 0, nominalHeight = 0;
    if (Ui_Font_Nominal(points, font, &avg, &nominalHeight) != kStatusOk) return nullptr;
    avg = W32_ToDevice(avg, dpi);
    nominalHeight = W32_ToDevice(nominalHeight, dpi);
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) return nullptr;
    int32_t size = points;
    if (font == kUiFontSmall) size = 6;
    if (font == kUiFontLarge || font == kUiFontLargeBold) size = MulDiv(points, 4, 3);
    const bool bold = font == kUiFontBold || font == kUiFontLargeBold;
    HFONT chosen = nullptr;
    for (int32_t pixels = MulDiv(size, dpi, 72); pixels >= 4 && chosen == nullptr; --pixels) {
        HFONT made = MakeFont(pixels, bold);
        if (made == nullptr) break;
        int32_t alphabetWidth = 0, height = 0;
        Measure(dc, made, &alphabetWidth, &height);
        if (Ui_Font_Fits(alphabetWidth, height, avg, nominalHeight) || pixels == 4) {
            chosen = made;
        } else {
            DeleteObject(made);
        }
    }
    DeleteDC(dc);
    return chosen;
}

HFONT FontAt(int32_t points, int32_t font, int32_t dpi) {
    if (!KnownFont(font)) font = kUiFontDialog;
    if (!(1 <= points && points <= kMaxPoints)) points = 8;
    for (int32_t i = 0; i < gFonts.count; ++i) {
        const FontEntry& e = gFonts.entries[i];
        if (e.dpi == dpi && e.points == points && e.font == font) return e.handle;
    }
    // Five fonts in the two template sizes per monitor: the cache does not fill up. If it did,
    // the font would still be made for this call, but never deleted (controls may hold it).
    HFONT made = FitFont(points, font, dpi);
    if (gFonts.count < kMaxFonts)
        gFonts.entries[gFonts.count++] = FontEntry{dpi, points, font, made};
    return made;
}

int32_t FontMetrics(UiWindow*, const char* face, int32_t points, int32_t font,
                    int32_t* alphabetWidth, int32_t* height) {
    if (alphabetWidth == nullptr || height == nullptr) return kStatusProblem;
    if (gFonts.points == 0) {
        if (face != nullptr && face[0] != 0) Str_CopyBounded(gFonts.face, sizeof gFonts.face, face);
        gFonts.points = 1 <= points && points <= kMaxPoints ? points : 8;
    }
    int32_t avg = 0;
    if (Ui_Font_Nominal(points, font, &avg, height) != kStatusOk) return kStatusProblem;
    *alphabetWidth = 52 * avg;
    return kStatusOk;
}

// DrawText's format for the framework's: one line, or word-wrapped; never '&' as a prefix.
UINT TextFormat(uint32_t format) {
    UINT f = DT_TOP | DT_NOPREFIX;
    if ((format & kUiAlignMask) == kUiAlignCenter) f |= DT_CENTER;
    if ((format & kUiAlignMask) == kUiAlignRight) f |= DT_RIGHT;
    // Wrapped as an edit field wraps: a word longer than the line breaks inside rather than run
    // past the rectangle's edge, as on the other bindings.
    f |= (format & kUiTextWrap) ? DT_WORDBREAK | DT_EDITCONTROL : DT_SINGLELINE;
    return f;
}

// The size DrawText gives a text in a font: the width of one line, or the height of the text
// wrapped to `width`, in framework pixels. Measured on a context of the screen's kind, drawing or
// not, in the dialog's font at its resolution.
int32_t MeasureOn(HDC given, UiWindow* w, int32_t font, const char* text, int32_t width,
                  uint32_t format, int32_t* outWidth, int32_t* outHeight) {
    if (text == nullptr) return kStatusProblem;
    const int32_t dpi = DialogDpi(w);
    HFONT f = FontAt(DialogPoints(w), font, dpi);
    if (f == nullptr) return kStatusError;
    HDC dc = given != nullptr ? given : CreateCompatibleDC(nullptr);
    if (dc == nullptr) return kStatusError;
    HGDIOBJ old = SelectObject(dc, f);
    RECT rc{0, 0, W32_ToDevice(width, dpi), 0};
    const int32_t n = int32_t(Str_Length(text));
    int result = DrawTextA(dc, text, n, &rc, TextFormat(format) | DT_CALCRECT);
    TEXTMETRICA tm;
    Mem_Fill(&tm, 0, sizeof tm);
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    if (given == nullptr) DeleteDC(dc);
    if (result == 0 && n > 0) return kStatusError;
    if (outWidth != nullptr) *outWidth = W32_FromDeviceUp(rc.right - rc.left, dpi);
    // An empty text still takes a line, as it does on the other bindings.
    const int32_t height = rc.bottom - rc.top > tm.tmHeight ? rc.bottom - rc.top : tm.tmHeight;
    *outHeight = W32_FromDeviceUp(height, dpi);
    return kStatusOk;
}

int32_t MeasureText(UiWindow* w, int32_t font, const char* text, int32_t* width, int32_t* height) {
    if (width == nullptr || height == nullptr) return kStatusProblem;
    return MeasureOn(nullptr, w, font, text, 0, kUiAlignLeft, width, height);
}

int32_t MeasureWrapped(UiWindow* w, int32_t font, const char* text, int32_t width,
                       int32_t* height) {
    if (height == nullptr) return kStatusProblem;
    if (width < 1) width = 1;
    return MeasureOn(nullptr, w, font, text, width, kUiTextWrap, nullptr, height);
}

// Selects the clip of the drawing: the caller's rectangle (null: none) within the paint clip.
// The window system's own clip of the window still applies below it.
int32_t SelectClip(HDC dc, const W32DrawState* s, const Ui_Rect* clip) {
    Ui_Rect cut{0, 0, 0, 0};
    if (clip != nullptr && s->paintClipOn) {
        Ui_Rect_Intersect(clip, &s->paintClip, &cut);
    } else if (clip != nullptr) {
        cut = *clip;
    } else if (s->paintClipOn) {
        cut = s->paintClip;
    } else {
        return SelectClipRgn(dc, nullptr) != ERROR ? kStatusOk : kStatusError;
    }
    // Disjoint rectangles leave an empty clip: nothing is drawn.
    const RECT d = W32_ToDeviceRect(cut, Dpi(s));
    HRGN region = CreateRectRgn(d.left, d.top, d.right, d.bottom);
    if (region == nullptr) return kStatusError;
    const int result = SelectClipRgn(dc, region);
    DeleteObject(region);
    return result != ERROR ? kStatusOk : kStatusError;
}

int32_t DrawBegin(UiWindow* w) {
    W32DrawState* s = W32_DrawStateOf(w);
    if (s == nullptr || s->drawing) return kStatusError;
    HDC dc = s->memoryDc;
    if (dc == nullptr) {
        if (s->hwnd == nullptr) return kStatusError;
        dc = GetDC(s->hwnd);
        if (dc == nullptr) return kStatusError;
    }
    const int saved = SaveDC(dc);
    if (saved == 0) {
        if (s->memoryDc == nullptr) ReleaseDC(s->hwnd, dc);
        return kStatusError;
    }
    // Text draws over what is there; shapes start in the normal raster mode.
    SetBkMode(dc, TRANSPARENT);
    SetROP2(dc, R2_COPYPEN);
    if (SelectClip(dc, s, nullptr) != kStatusOk) {
        RestoreDC(dc, saved);
        if (s->memoryDc == nullptr) ReleaseDC(s->hwnd, dc);
        return kStatusError;
    }
    s->dc = dc;
    s->saved = saved;
    s->drawing = 1;
    return kStatusOk;
}

int32_t DrawEnd(UiWindow* w) {
    W32DrawState* s = W32_DrawStateOf(w);
    if (s == nullptr || !s->drawing) return kStatusError;
    RestoreDC(s->dc, s->saved);
    if (s->memoryDc == nullptr) ReleaseDC(s->hwnd, s->dc);
    s->dc = nullptr;
    s->saved = 0;
    s->drawing = 0;
    return kStatusOk;
}

// The device context of a window whose drawing is open, else null; and its resolution.
HDC Drawing(UiWindow* w, int32_t* dpi) {
    W32DrawState* s = W32_DrawStateOf(w);
    *dpi = Dpi(s);
    return s != nullptr && s->drawing ? s->dc : nullptr;
}

COLORREF ToColorRef(Ui_RGB c) {
    return RGB(c.r, c.g, c.b);
}

int32_t DrawClip(UiWindow* w, const Ui_Rect* clip) {
    W32DrawState* s = W32_DrawStateOf(w);
    if (s == nullptr || !s->drawing) return kStatusError;
    return SelectClip(s->dc, s, clip);
}

// A rectangle of the monitor's pixels in a colour, or inverted with it in XOR mode.
int32_t FillDevice(HDC dc, const RECT& r, Ui_RGB color, uint8_t xorMode) {
    if (r.right <= r.left || r.bottom <= r.top) return kStatusOk;
    HBRUSH brush = CreateSolidBrush(ToColorRef(color));
    if (brush == nullptr) return kStatusError;
    HGDIOBJ old = SelectObject(dc, brush);
    const BOOL ok = PatBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top,
                           xorMode ? PATINVERT : PATCOPY);
    SelectObject(dc, old);
    DeleteObject(brush);
    return ok ? kStatusOk : kStatusError;
}

// One pixel of the monitor in a colour, inverted with it in XOR mode (PatBlt, because SetPixel
// knows no raster mode).
void PutPixel(HDC dc, int32_t v, int32_t h, Ui_RGB color, uint8_t xorMode) {
    FillDevice(dc, RECT{h, v, h + 1, v + 1}, color, xorMode);
}

int32_t GdiFillRect(UiWindow* w, const Ui_Rect* r, Ui_RGB color, uint8_t xorMode) {
    int32_t dpi = 0;
    HDC dc = Drawing(w, &dpi);
    if (dc == nullptr) return kStatusError;
    if (Ui_Rect_IsEmpty(r)) return kStatusOk;
    return FillDevice(dc, W32_ToDeviceRect(*r, dpi), color, xorMode);
}

int64_t Cross(POINT o, POINT a, POINT b) {
    return int64_t(a.x - o.x) * (b.y - o.y) - int64_t(a.y - o.y) * (b.x - o.x);
}

// A wide line. The framework's is a square of the pen's width moved along the line, upright
// whatever the slope (a point covers `width` pixels from (width - 1) / 2 before it), so it is
// filled as the outline of what that square sweeps: the convex hull of the squares at the two
// ends. A GDI pen would turn its ends with the line and centre an even width differently.
int32_t WideLine(HDC dc, Ui_Point a, Ui_Point b, Ui_RGB color, int32_t width) {
    const int32_t before = (width - 1) / 2, after = width - before;
    POINT corners[8];
    int32_t n = 0;
    const Ui_Point ends[2] = {a, b};
    for (const Ui_Point& p : ends) {
        corners[n++] = POINT{p.h - before, p.v - before};
        corners[n++] = POINT{p.h + after, p.v - before};
        corners[n++] = POINT{p.h + after, p.v + after};
        corners[n++] = POINT{p.h - before, p.v + after};
    }
    // Monotone chain over the eight corners, sorted by x, then y.
    for (int32_t i = 1; i < n; ++i) {
        for (int32_t j = i; j > 0; --j) {
            const POINT& p = corners[j - 1];
            const POINT& q = corners[j];
            if (p.x < q.x || (p.x == q.x && p.y <= q.y)) break;
            const POINT t = corners[j];
            corners[j] = corners[j - 1];
            corners[j - 1] = t;
        }
    }
    POINT hull[16];
    int32_t k = 0;
    for (int32_t i = 0; i < n; ++i) {
        while (k >= 2 && Cross(hull[k - 2], hull[k - 1], corners[i]) <= 0) --k;
        hull[k++] = corners[i];
    }
    for (int32_t i = n - 2, lower = k + 1; i >= 0; --i) {
        while (k >= lower && Cross(hull[k - 2], hull[k - 1], corners[i]) <= 0) --k;
        hull[k++] = corners[i];
    }
    HBRUSH brush = CreateSolidBrush(ToColorRef(color));
    if (brush == nullptr) return kStatusError;
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    // Without a pen the fill covers the pixels inside the hull's edges, its last point being
    // the first again.
    const BOOL ok = Polygon(dc, hull, k - 1);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(brush);
    return ok ? kStatusOk : kStatusError;
}

// A solid line at a resolution other than 96 dpi: the framework's square pen of `width` pixels,
// as wide on the monitor as those pixels are. A level or upright line covers exactly the
// monitor's pixels of the framework pixels it covers; a slanted one is the square swept along it.
int32_t ScaledLine(HDC dc, Ui_Point a, Ui_Point b, Ui_RGB color, int32_t width, uint8_t xorMode,
                   int32_t dpi) {
    const int32_t before = (width - 1) / 2;
    if (a.v == b.v || a.h == b.h) {
        const Ui_Rect covered =
            Ui_Rect_Make(Num_Min(a.v, b.v) - before, Num_Min(a.h, b.h) - before,
                         Num_Max(a.v, b.v) - before + width, Num_Max(a.h, b.h) - before + width);
        return FillDevice(dc, W32_ToDeviceRect(covered, dpi), color, xorMode);
    }
    const int32_t side = Num_Max(W32_ToDevice(width, dpi), 1);
    const int32_t centre = (side - 1) / 2;  // where WideLine's square starts, before its point
    auto onMonitor = [&](Ui_Point p) {
        return Ui_Point{int16_t(W32_ToDevice(p.v - before, dpi) + centre),
                        int16_t(W32_ToDevice(p.h - before, dpi) + centre)};
    };
    // WideLine fills with no pen: under XOR every pixel is inverted once.
    SetROP2(dc, xorMode ? R2_XORPEN : R2_COPYPEN);
    const int32_t status = WideLine(dc, onMonitor(a), onMonitor(b), color, side);
    SetROP2(dc, R2_COPYPEN);
    return status;
}

int32_t GdiLine(UiWindow* w, Ui_Point a, Ui_Point b, Ui_RGB color, int16_t width, uint8_t dotted,
                uint8_t xorMode) {
    int32_t dpi = 0;
    HDC dc = Drawing(w, &dpi);
    if (dc == nullptr) return kStatusError;
    // An XOR pen stays thin so that no pixel is inverted twice, and dots are one pixel.
    if (width < 1 || xorMode || dotted) width = 1;
    if (dpi != kW32BaseDpi && !dotted) return ScaledLine(dc, a, b, color, width, xorMode, dpi);
    if (width > 1) return WideLine(dc, a, b, color, width);
    // Thin and dotted lines: one pixel of the monitor wide, between the points' pixels there.
    a = Ui_Point{int16_t(W32_ToDevice(a.v, dpi)), int16_t(W32_ToDevice(a.h, dpi))};
    b = Ui_Point{int16_t(W32_ToDevice(b.v, dpi)), int16_t(W32_ToDevice(b.h, dpi))};
    if (a.v == b.v && a.h == b.h) {
        PutPixel(dc, a.v, a.h, color, xorMode);
        return kStatusOk;
    }
    LOGBRUSH lb{BS_SOLID, ToColorRef(color), 0};
    // Dotted: every other pixel, starting with the first, as focus frames are drawn.
    HPEN pen = dotted ? ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &lb, 0, nullptr)
                      : CreatePen(PS_SOLID, 1, ToColorRef(color));
    if (pen == nullptr) return kStatusError;
    HGDIOBJ oldPen = SelectObject(dc, pen);
    SetROP2(dc, xorMode ? R2_XORPEN : R2_COPYPEN);
    const BOOL ok = MoveToEx(dc, a.h, a.v, nullptr) && LineTo(dc, b.h, b.v);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    SetROP2(dc, R2_COPYPEN);
    // GDI leaves out the last pixel of a line; the framework's lines include it. A dotted line
    // has it when it falls on a dot: one pixel per step of the longer axis.
    const int32_t dv = b.v > a.v ? b.v - a.v : a.v - b.v;
    const int32_t dh = b.h > a.h ? b.h - a.h : a.h - b.h;
    const int32_t steps = dv > dh ? dv : dh;
    if (ok && (!dotted || steps % 2 == 0)) PutPixel(dc, b.v, b.h, color, xorMode);
    return ok ? kStatusOk : kStatusError;
}

// The end of a pie's radial at `degrees` (0 at three o'clock, counter-clockwise on the screen):
// far outside the box, so that the direction is exact to a fraction of a pixel.
POINT Radial(const Ui_Rect* r, double degrees) {
    const double radians = degrees * 3.14159265358979323846 / 180.0;
    const double cx = (r->left + r->right) / 2.0, cy = (r->top + r->bottom) / 2.0;
    const double reach = 4.0 * (Ui_Rect_Width(r) + Ui_Rect_Height(r)) + 64.0;
    return POINT{LONG(std::lround(cx + reach * std::cos(radians))),
                 LONG(std::lround(cy - reach * std::sin(radians)))};
}

// A pie segment or a whole ellipse, filled. Without a pen, so that under XOR no pixel is
// inverted twice; GDI then leaves out the box's last column and row, hence the one added.
int32_t FillRound(HDC dc, const Ui_Rect* r, int32_t start, int32_t sweep, Ui_RGB color) {
    HBRUSH brush = CreateSolidBrush(ToColorRef(color));
    if (brush == nullptr) return kStatusError;
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    SetArcDirection(dc, AD_COUNTERCLOCKWISE);
    BOOL ok = FALSE;
    if (sweep >= 360) {
        ok = Ellipse(dc, r->left, r->top, r->right + 1, r->bottom + 1);
    } else {
        const POINT from = Radial(r, start), to = Radial(r, start + sweep);
        ok = Pie(dc, r->left, r->top, r->right + 1, r->bottom + 1, from.x, from.y, to.x, to.y);
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(brush);
    return ok ? kStatusOk : kStatusError;
}

// The outline of the ellipse inside r, or a part of it, in a pen `width` pixels wide that runs
// inside r.
int32_t FrameRound(HDC dc, const Ui_Rect* r, int32_t start, int32_t sweep, Ui_RGB color,
                   int32_t width) {
    LOGBRUSH lb{BS_SOLID, ToColorRef(color), 0};
    const bool whole = sweep >= 360;
    HPEN pen = nullptr;
    if (width <= 1) {
        pen = CreatePen(PS_SOLID, 1, ToColorRef(color));
    } else {
        // A whole ellipse keeps a wide pen inside its box by itself; an arc is drawn on the box
        // inset by half the width, its ends cut square across the pen.
        const DWORD style = whole ? PS_INSIDEFRAME : PS_SOLID | PS_ENDCAP_FLAT;
        pen = ExtCreatePen(PS_GEOMETRIC | style | PS_JOIN_ROUND, DWORD(width), &lb, 0, nullptr);
    }
    if (pen == nullptr) return kStatusError;
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    SetArcDirection(dc, AD_COUNTERCLOCKWISE);
    BOOL ok = FALSE;
    if (whole) {
        ok = Ellipse(dc, r->left, r->top, r->right, r->bottom);
    } else {
        const int32_t half = width > 1 ? width / 2 : 0;
        Ui_Rect box =
            Ui_Rect_Make(r->top + half, r->left + half, r->bottom - half, r->right - half);
        const POINT from = Radial(r, start), to = Radial(r, start + sweep);
        ok = Arc(dc, box.left, box.top, box.right, box.bottom, from.x, from.y, to.x, to.y);
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    return ok ? kStatusOk : kStatusError;
}

int32_t GdiArc(UiWindow* w, const Ui_Rect* r, int32_t start, int32_t sweep, Ui_RGB color,
               int16_t width, uint8_t xorMode) {
    int32_t dpi = 0;
    HDC dc = Drawing(w, &dpi);
    if (dc == nullptr) return kStatusError;
    if (Ui_Rect_IsEmpty(r) || sweep <= 0) return kStatusOk;
    const RECT d = W32_ToDeviceRect(*r, dpi);
    const Ui_Rect box = Ui_Rect_Make(d.top, d.left, d.bottom, d.right);
    SetROP2(dc, xorMode ? R2_XORPEN : R2_COPYPEN);
    const int32_t status = width <= 0 ? FillRound(dc, &box, start, sweep, color)
                                      : FrameRound(dc, &box, start, sweep, color,
                                                   Num_Max(W32_ToDevice(width, dpi), 1));
    SetROP2(dc, R2_COPYPEN);
    return status;
}

int32_t GdiEllipse(UiWindow* w, const Ui_Rect* r, Ui_RGB color, int16_t width, uint8_t xorMode) {
    return GdiArc(w, r, 0, 360, color, width, xorMode);
}

int32_t GdiPolygon(UiWindow* w, const Ui_Point* points, int32_t count, Ui_RGB color,
                   uint8_t xorMode) {
    int32_t dpi = 0;
    HDC dc = Drawing(w, &dpi);
    if (dc == nullptr) return kStatusError;
    if (points == nullptr || count < 3) return kStatusProblem;
    // Most polygons are a few points (arrows, handles); longer ones take a block.
    POINT local[64];
    MemBlock<POINT> block;
    POINT* pts = local;
    if (count > 64) {
        if (!block.Allocate(uint32_t(count))) return kStatusNoMemory;
        pts = block.get();
    }
    for (int32_t i = 0; i < count; ++i) {
        pts[i] = POINT{W32_ToDevice(points[i].h, dpi), W32_ToDevice(points[i].v, dpi)};
    }
    HBRUSH brush = CreateSolidBrush(ToColorRef(color));
    if (brush == nullptr) return kStatusError;
    // No pen: the fill alone covers the pixels whose centres are inside (even-odd), which is the
    // framework's rule for polygons and for the regions that hit-test them.
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    SetPolyFillMode(dc, ALTERNATE);
    SetROP2(dc, xorMode ? R2_XORPEN : R2_COPYPEN);
    const BOOL ok = Polygon(dc, pts, count);
    SetROP2(dc, R2_COPYPEN);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(brush);
    return ok ? kStatusOk : kStatusError;
}

int32_t GdiText(UiWindow* w, const char* text, const Ui_Rect* r, uint32_t format, Ui_RGB color,
                int32_t font, int32_t* height) {
    int32_t dpi = 0;
    HDC dc = Drawing(w, &dpi);
    if (dc == nullptr) return kStatusError;
    if (text == nullptr || r == nullptr || height == nullptr) return kStatusProblem;
    int32_t measured = 0;
    const int32_t status =
        MeasureOn(dc, w, font, text, Ui_Rect_Width(r), format, nullptr, &measured);
    if (status != kStatusOk) return status;
    *height = measured;
    HGDIOBJ old = SelectObject(dc, FontAt(DialogPoints(w), font, dpi));
    SetTextColor(dc, ToColorRef(color));
    SetBkMode(dc, TRANSPARENT);
    RECT rc = W32_ToDeviceRect(*r, dpi);
    // Cut to the rectangle: a text never draws over its neighbours.
    DrawTextA(dc, text, int(Str_Length(text)), &rc, TextFormat(format));
    SelectObject(dc, old);
    return kStatusOk;
}

// Copies the image through a bitmap of the window's kind. The steps are numbered as the
// framework logs them: 1 the context, 2 the bitmap, 3 copying the bits, 4 selecting.
int32_t GdiImage(UiWindow* w, const Ui_Offscreen* image, int16_t top, int16_t left,
                 const Ui_Rect* clip) {
    int32_t dpi = 0;
    HDC dc = Drawing(w, &dpi);
    if (dc == nullptr || image == nullptr || image->pixels == nullptr) return 1;
    if (!(1 <= image->width && 1 <= image->height) ||
        image->rowBytes != ((3 * image->width + 3) & ~3)) {
        return 3;
    }
    // Rectangles are 16-bit: an image reaching past the coordinate range is cut there.
    const int32_t bottom = top + image->height, right = left + image->width;
    Ui_Rect placed =
        Ui_Rect_Make(top, left, bottom < 32767 ? bottom : 32767, right < 32767 ? right : 32767);
    Ui_Rect target = placed;
    if (clip != nullptr) Ui_Rect_Intersect(&placed, clip, &target);
    if (Ui_Rect_IsEmpty(&target)) return kStatusOk;

    HDC memory = CreateCompatibleDC(dc);
    if (memory == nullptr) return 1;
    int32_t step = kStatusOk;
    HBITMAP bitmap = CreateCompatibleBitmap(dc, image->width, image->height);
    if (bitmap == nullptr) step = 2;
    if (step == kStatusOk) {
        const BITMAPINFO info = W32_TopDownBitmapInfo(image->width, image->height, 24);
        const int lines =
            SetDIBits(dc, bitmap, 0, UINT(image->height), image->pixels, &info, DIB_RGB_COLORS);
        if (lines != image->height) step = 3;
    }
    HGDIOBJ old = nullptr;
    if (step == kStatusOk) {
        old = SelectObject(memory, bitmap);
        if (old == nullptr || old == HGDI_ERROR) step = 4;
    }
    if (step == kStatusOk) {
        // At another resolution the image is stretched over the monitor's pixels of its place,
        // with the system's smoothing rather than repeated pixels.
        const RECT d = W32_ToDeviceRect(target, dpi);
        BOOL ok = FALSE;
        if (dpi == kW32BaseDpi) {
            ok =
                BitBlt(dc, target.left, target.top, Ui_Rect_Width(&target), Ui_Rect_Height(&target),
                       memory, target.left - left, target.top - top, SRCCOPY);
        } else {
            SetStretchBltMode(dc, HALFTONE);
            SetBrushOrgEx(dc, 0, 0, nullptr);
            ok = StretchBlt(dc, d.left, d.top, d.right - d.left, d.bottom - d.top, memory,
                            target.left - left, target.top - top, Ui_Rect_Width(&target),
                            Ui_Rect_Height(&target), SRCCOPY);
        }
        SelectObject(memory, old);
        if (!ok) step = 3;
    }
    if (bitmap != nullptr) DeleteObject(bitmap);
    DeleteDC(memory);
    return step;
}

}  // namespace

BITMAPINFO W32_TopDownBitmapInfo(int32_t width, int32_t height, int32_t bitsPerPixel) {
    BITMAPINFO info;
    Mem_Fill(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // negative: the top row comes first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = WORD(bitsPerPixel);
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

void W32_Draw_Fill(UiBinding* binding) {
    if (binding == nullptr) return;
    binding->fontMetrics = FontMetrics;
    binding->measureText = MeasureText;
    binding->measureWrapped = MeasureWrapped;
    binding->drawBegin = DrawBegin;
    binding->drawEnd = DrawEnd;
    binding->drawClip = DrawClip;
    binding->fillRect = GdiFillRect;
    binding->line = GdiLine;
    binding->ellipse = GdiEllipse;
    binding->polygon = GdiPolygon;
    binding->text = GdiText;
    binding->image = GdiImage;
    binding->arc = GdiArc;
}

HFONT W32_FontOf(UiWindow* dialog, int32_t font) {
    return FontAt(DialogPoints(dialog), font, DialogDpi(dialog));
}

void W32_Draw_FreeFonts() {
    for (int32_t i = 0; i < gFonts.count; ++i) {
        if (gFonts.entries[i].handle != nullptr) DeleteObject(gFonts.entries[i].handle);
    }
    Mem_Fill(&gFonts, 0, sizeof gFonts);
}
