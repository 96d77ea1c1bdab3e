// The headless binding's fonts, measuring and drawing: every font at the framework's nominal
// metrics with every character the average width, the drawing operations over the window's
// canvas (canvas.cpp does the pixels) and the record of every text drawn, which tests read.
// See headless_internal.h for the other parts of the binding.
#include "platform/ui/draw.h"
#include "platform/mem.h"
#include "platform/ui/headless/canvas.h"
#include "platform/ui/headless/headless_internal.h"
#include "platform/ui/rect.h"

namespace kolmara_headless {

namespace {

void FontSize(int32_t points, int32_t font, int32_t* avg, int32_t* height) {
    if (Ui_Font_Nominal(points, font, avg, height) != kStatusOk) {
        Ui_Font_Nominal(points, kUiFontDialog, avg, height);
    }
}

int32_t FontMetrics(UiWindow*, const char*, int32_t points, int32_t font, int32_t* alphabetWidth,
                    int32_t* height) {
    int32_t avg = 0;
    FontSize(points, font, &avg, height);
    *alphabetWidth = 52 * avg;
    return kStatusOk;
}

int32_t DialogPoints(UiWindow* w) {
    return w != nullptr && w->layout != nullptr ? w->layout->fontPoints : 8;
}

int32_t MeasureText(UiWindow* w, int32_t font, const char* text, int32_t* width, int32_t* height) {
    int32_t avg = 0;
    FontSize(DialogPoints(w), font, &avg, height);
    *width = int32_t(Str_Length(text)) * avg;
    return kStatusOk;
}

int32_t DrawBegin(UiWindow* w) {
    UiHeadlessWindow* hw = Hw(w);
    // As a real window: nothing can be drawn before it is on the screen (measure instead).
    if (hw == nullptr || hw->drawing || !hw->shown) return kStatusError;
    hw->drawing = 1;
    hw->clipOn = 0;
    return kStatusOk;
}

int32_t DrawEnd(UiWindow* w) {
    UiHeadlessWindow* hw = Hw(w);
    if (hw == nullptr || !hw->drawing) return kStatusError;
    hw->drawing = 0;
    hw->clipOn = 0;
    return kStatusOk;
}

int32_t DrawClip(UiWindow* w, const Ui_Rect* clip) {
    UiHeadlessWindow* hw = Hw(w);
    if (hw == nullptr || !hw->drawing) return kStatusError;
    hw->clipOn = clip != nullptr;
    if (clip != nullptr) hw->clip = *clip;
    return kStatusOk;
}

UiHeadlessWindow* Drawing(UiWindow* w) {
    UiHeadlessWindow* hw = Hw(w);
    return hw != nullptr && hw->drawing ? hw : nullptr;
}

int32_t FillRect(UiWindow* w, const Ui_Rect* r, Ui_RGB color, uint8_t xorMode) {
    UiHeadlessWindow* hw = Drawing(w);
    if (hw == nullptr) return kStatusError;
    Canvas_FillRect(hw, r, color, xorMode);
    return kStatusOk;
}

int32_t Line(UiWindow* w, Ui_Point a, Ui_Point b, Ui_RGB color, int16_t width, uint8_t dotted,
             uint8_t xorMode) {
    UiHeadlessWindow* hw = Drawing(w);
    if (hw == nullptr) return kStatusError;
    Canvas_Line(hw, a, b, color, width, dotted, xorMode);
    return kStatusOk;
}

int32_t Ellipse(UiWindow* w, const Ui_Rect* r, Ui_RGB color, int16_t width, uint8_t xorMode) {
    UiHeadlessWindow* hw = Drawing(w);
    if (hw == nullptr) return kStatusError;
    Canvas_Ellipse(hw, r, color, width, xorMode);
    return kStatusOk;
}

int32_t Polygon(UiWindow* w, const Ui_Point* points, int32_t count, Ui_RGB color, uint8_t xorMode) {
    UiHeadlessWindow* hw = Drawing(w);
    if (hw == nullptr) return kStatusError;
    Canvas_Polygon(hw, points, count, color, xorMode);
    return kStatusOk;
}

// Lines a text takes when wrapped at word boundaries to width pixels, every character avg wide.
int32_t WrappedLines(const char* text, int32_t width, int32_t avg) {
    int32_t perLine = width / avg > 0 ? width / avg : 1;
    int32_t lines = 1, used = 0;
    const char* p = text;
    while (*p != 0) {
        if (*p == '\n') {
            ++lines;
            used = 0;
            ++p;
            continue;
        }
        const char* word = p;
        while (*p != 0 && *p != ' ' && *p != '\n') ++p;
        int32_t n = int32_t(p - word);
        if (used > 0 && used + 1 + n > perLine) {
            ++lines;
            used = 0;
        }
        used += (used > 0 ? 1 : 0) + n;
        while (used > perLine) {  // a word longer than the line breaks inside
            ++lines;
            used -= perLine;
        }
        while (*p == ' ') ++p;
    }
    return lines;
}

int32_t Text(UiWindow* w, const char* text, const Ui_Rect* r, uint32_t format, Ui_RGB color,
             int32_t font, int32_t* height) {
    UiHeadlessWindow* hw = Drawing(w);
    if (hw == nullptr) return kStatusError;
    int32_t avg = 0, lineHeight = 0;
    FontSize(DialogPoints(w), font, &avg, &lineHeight);
    int32_t lines = (format & kUiTextWrap) ? WrappedLines(text, Ui_Rect_Width(r), avg) : 1;
    *height = lines * lineHeight;
    if (hw->textCount == hw->textCapacity) {
        int32_t capacity = hw->textCapacity * 2;
        auto* texts =
            static_cast<UiHeadlessText*>(Mem_Alloc(uint32_t(capacity) * sizeof(UiHeadlessText)));
        if (texts == nullptr) return kStatusNoMemory;
        Mem_Copy(texts, hw->texts, size_t(hw->textCount) * sizeof(UiHeadlessText));
        Mem_Free(hw->texts);
        hw->texts = texts;
        hw->textCapacity = capacity;
    }
    UiHeadlessText& t = hw->texts[hw->textCount++];
    Str_CopyBounded(t.text, sizeof t.text, text);
    t.rect = *r;
    t.format = format;
    t.color = color;
    t.font = font;
    return kStatusOk;
}

int32_t Image(UiWindow* w, const Ui_Offscreen* image, int16_t top, int16_t left,
              const Ui_Rect* clip) {
    UiHeadlessWindow* hw = Drawing(w);
    if (hw == nullptr) return 1;
    Canvas_Image(hw, image, top, left, clip);
    return kStatusOk;
}

int32_t MeasureWrapped(UiWindow* w, int32_t font, const char* text, int32_t width,
                       int32_t* height) {
    int32_t avg = 0, lineHeight = 0;
    FontSize(DialogPoints(w), font, &avg, &lineHeight);
    *height = WrappedLines(text, width, avg) * lineHeight;
    return kStatusOk;
}

int32_t Arc(UiWindow* w, const Ui_Rect* r, int32_t start, int32_t sweep, Ui_RGB color,
            int16_t width, uint8_t xorMode) {
    UiHeadlessWindow* hw = Drawing(w);
    if (hw == nullptr) return kStatusError;
    Canvas_Arc(hw, r, start, sweep, color, width, xorMode);
    return kStatusOk;
}

}  // namespace

void FillDrawOps(UiBinding* b) {
    b->fontMetrics = FontMetrics;
    b->measureText = MeasureText;
    b->measureWrapped = MeasureWrapped;
    b->drawBegin = DrawBegin;
    b->drawEnd = DrawEnd;
    b->drawClip = DrawClip;
    b->fillRect = FillRect;
    b->line = Line;
    b->ellipse = Ellipse;
    b->polygon = Polygon;
    b->text = Text;
    b->image = Image;
    b->arc = Arc;
}

}  // namespace kolmara_headless
