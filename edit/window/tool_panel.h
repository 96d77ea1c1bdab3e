// The frame of the tool panel and the two view icons above it.
//
// The frame is a user item that lies around (and, in the window's item order, over) the tools of
// every tab, so it draws its outline only and never paints its inside. Its top edge is left out
// under the current tab of the tab bar above it, so that the tab opens into the panel.
//
// The view icons say what the preview and the readouts show: the combined effect of every tool
// (four tool squares, all filled) or the current tool alone (only the current tab's square
// filled). Only the icon of the view in use is shown; a click switches to the other view.
#pragma once

#include <cstdint>

#include "platform/status.h"
#include "platform/ui/ui_types.h"

// Draws the frame item's outline, open under currentTab of the tab bar item. Opens and closes
// drawing itself.
int32_t PanelFrameDraw(UiWindow* dialog, int16_t frameItem, int16_t tabBarItem, int32_t currentTab);

// Draws a view icon: combined 1 for the combined view, 0 for the current-tool view of
// currentTab. item < 0 asks for the pressed look (the draw-proc convention of the framework).
int32_t ViewIconDraw(UiWindow* dialog, int16_t item, uint8_t combined, int32_t currentTab);
