// The tool panel's frame and the view icons; see tool_panel.h.
#include "edit/window/tool_panel.h"

#include "edit/window/tab_bar.h"
#include "edit/window/tool_paint.h"
#include "platform/ui/controls.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"

int32_t PanelFrameDraw(UiWindow* w, int16_t frameItem, int16_t tabBarItem, int32_t currentTab) {
    Ui_Rect r, bar, tab;
    if (Ui_Item_GetRect(w, frameItem, &r) != kStatusOk) return kStatusError;
    const bool open = Ui_Item_GetRect(w, tabBarItem, &bar) == kStatusOk &&
                      TabBarTabRect(&bar, currentTab, &tab) == kStatusOk;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    const Ui_Color frame = LookColor(kLookFrame);
    const Ui_Color light = LookColor(kLookWell);
    Ui_Draw_FrameRect(w, &r, &frame);
    // A light line inside the top and left edges lifts the panel a little off the window.
    Ui_Draw_SetPen(w, &light, 1);
    Ui_Draw_MoveTo(w, int16_t(r.bottom - 2), int16_t(r.left + 1));
    Ui_Draw_LineTo(w, int16_t(r.top + 1), int16_t(r.left + 1));
    Ui_Draw_LineTo(w, int16_t(r.top + 1), int16_t(r.right - 2));
    if (open && tab.left + 1 < tab.right - 2) {
        // The tab's sides stand at its left column and two columns in from its right (tab_bar.cpp);
        // between them the panel and the tab are one surface.
        const Ui_Rect gap = Ui_Rect_Make(r.top, tab.left + 1, r.top + 2, tab.right - 2);
        Ui_Draw_FillRect(w, &gap, nullptr);
        Ui_Draw_SetPen(w, &light, 1);
        Ui_Draw_MoveTo(w, int16_t(r.top), int16_t(tab.left + 1));
        Ui_Draw_LineTo(w, int16_t(r.top + 1), int16_t(tab.left + 1));
    }
    return Ui_Draw_End(w);
}

int32_t ViewIconDraw(UiWindow* w, int16_t item, uint8_t combined, int32_t currentTab) {
    const bool pressed = item < 0;
    Ui_Rect r;
    if (Ui_Item_GetRect(w, pressed ? int16_t(-item) : item, &r) != kStatusOk) return kStatusError;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    const Ui_RGB back = LookBackground(w);
    const Ui_Color ground = LookColor(pressed ? LookMix(back, kLookInk, 0.15) : back);
    Ui_Draw_FillRect(w, &r, &ground);
    const int32_t width = Ui_Rect_Width(&r), height = Ui_Rect_Height(&r);
    int32_t side = (width < height ? width : height) - 4;
    if (side < 6) side = 6;
    const int32_t gap = side >= 14 ? 2 : 1;
    const int32_t cell = (side - gap) / 2;
    side = 2 * cell + gap;
    const int32_t left = r.left + (width - side) / 2, top = r.top + (height - side) / 2;
    const Ui_Color fill = LookColor(kLookAccent);
    const Ui_Color frame = LookColor(kLookFrame);
    const Ui_Color well = LookColor(kLookWell);
    for (int32_t i = 0; i < kTabCount; ++i) {
        // The squares in the tabs' order: top left, top right, bottom left, bottom right.
        const int32_t x = left + (i % 2) * (cell + gap), y = top + (i / 2) * (cell + gap);
        const Ui_Rect square = Ui_Rect_Make(y, x, y + cell, x + cell);
        const bool on = combined || i == currentTab;
        Ui_Draw_FillRect(w, &square, on ? &fill : &well);
        Ui_Draw_FrameRect(w, &square, on ? &fill : &frame);
    }
    return Ui_Draw_End(w);
}
