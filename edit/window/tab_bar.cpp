// The tab bar; see tab_bar.h.
#include "edit/window/tab_bar.h"

#include <cmath>

#include "edit/window/tool_paint.h"
#include "platform/ui/controls.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"
#include "resources/ids/strings.h"

namespace {

// The bar's width at the template's size with the classic dialog font (6 x 13 base units).
constexpr int32_t kTemplateWidth = 297;
constexpr int32_t kMargin = 7;     // left of the first tab
constexpr int32_t kTabWidth = 59;  // so that the tabs end at 66, 125, 184 and 243
constexpr int32_t kLowered = 3;    // how much lower the tabs that are not current start

constexpr int32_t kLabels[kTabCount] = {kStrTabColor, kStrTabLevels, kStrTabTone, kStrTabHue};

// A template offset scaled to a bar of the given width, rounded to the nearest pixel.
int32_t Scaled(int32_t offset, int32_t width) {
    return int32_t(std::lround(double(offset) * width / kTemplateWidth));
}

void Line(UiWindow* w, int32_t v0, int32_t h0, int32_t v1, int32_t h1) {
    Ui_Draw_MoveTo(w, int16_t(v0), int16_t(h0));
    Ui_Draw_LineTo(w, int16_t(v1), int16_t(h1));
}

}  // namespace

int32_t TabBarHit(const Ui_Rect* bar, Ui_Point p, int32_t* tab) {
    if (bar == nullptr || tab == nullptr || Ui_Rect_IsEmpty(bar)) return kStatusProblem;
    const int32_t width = Ui_Rect_Width(bar), x = p.h - bar->left;
    *tab = kTabCount - 1;
    for (int32_t i = 0; i < kTabCount - 1; ++i) {
        if (x < Scaled(kMargin + kTabWidth * (i + 1), width)) {
            *tab = i;
            break;
        }
    }
    return kStatusOk;
}

int32_t TabBarTabRect(const Ui_Rect* bar, int32_t tab, Ui_Rect* out) {
    if (bar == nullptr || out == nullptr || !(0 <= tab && tab < kTabCount)) return kStatusProblem;
    const int32_t width = Ui_Rect_Width(bar);
    *out = Ui_Rect_Make(bar->top, bar->left + Scaled(kMargin + kTabWidth * tab, width), bar->bottom,
                        bar->left + Scaled(kMargin + kTabWidth * (tab + 1), width));
    return kStatusOk;
}

int32_t TabBarDraw(UiWindow* w, int16_t item, int32_t currentTab) {
    Ui_Rect bar;
    if (Ui_Item_GetRect(w, item, &bar) != kStatusOk) return kStatusError;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    const Ui_RGB back = LookBackground(w);
    Ui_Draw_FillRect(w, &bar, nullptr);
    const Ui_Color frame = LookColor(kLookFrame);
    const Ui_Color quietFrame = LookColor(kLookLightFrame);
    const Ui_Color quietFace = LookColor(LookMix(back, kLookInk, 0.07));
    const Ui_Color highlight = LookColor(kLookWell);
    const Ui_Color accent = LookColor(kLookAccent);
    for (int32_t tab = 0; tab < kTabCount; ++tab) {
        Ui_Rect r;
        TabBarTabRect(&bar, tab, &r);
        const bool current = tab == currentTab;
        // One pixel of background between neighbours keeps their outlines apart.
        const int32_t left = r.left, right = r.right - 2;
        const int32_t top = current ? r.top : r.top + kLowered;
        const int32_t bottom = r.bottom;  // the panel's frame runs along below the bar
        const Ui_Rect face = Ui_Rect_Make(top + 1, left + 1, bottom, right);
        if (!current) Ui_Draw_FillRect(w, &face, &quietFace);
        Ui_Draw_SetPen(w, current ? &frame : &quietFrame, 1);
        // Sides and a top with its corners cut, the shape of a card's tab.
        Line(w, bottom - 1, left, top + 2, left);
        Line(w, top + 2, left, top, left + 2);
        Line(w, top, left + 2, top, right - 2);
        Line(w, top, right - 2, top + 2, right);
        Line(w, top + 2, right, bottom - 1, right);
        if (current) {
            // A light inner edge and a stripe of the accent colour along the top.
            Ui_Draw_SetPen(w, &highlight, 1);
            Line(w, bottom - 1, left + 1, top + 3, left + 1);
            const Ui_Rect stripe = Ui_Rect_Make(top + 1, left + 2, top + 3, right - 1);
            Ui_Draw_FillRect(w, &stripe, &accent);
        }
        char label[256];
        LookString(w, kLabels[tab], label);
        int16_t textWidth = 0, textHeight = 0;
        Ui_Draw_MeasureText(w, kUiFontDialog, label, &textWidth, &textHeight);
        const Ui_Color ink = LookColor(current ? kLookInk : kLookDimInk);
        Ui_Draw_SetPen(w, &ink, 1);
        const int32_t textTop = top + 1 + (bottom - top - 1 - textHeight) / 2;
        Ui_Draw_TextAt(w, label, int16_t(textTop), int16_t((left + right + 1) / 2), kUiAlignCenter);
    }
    return Ui_Draw_End(w);
}
