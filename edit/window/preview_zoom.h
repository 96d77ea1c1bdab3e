// The preview's zoom levels.
//
// The preview shows the image reduced to fit its box ("fit", level 0), or a window of the image
// at one of the levels below. Under 100 % the host samples the window at an integer rate (every
// second or fourth pixel, its own sampling, not filtered: a level is a close look at a part,
// the fit view stays the smooth one); at 100 % the window holds the image's own pixels; above,
// the window at full size is magnified, each pixel drawn as a square of 2 x 2 or 4 x 4, so that
// sharpening and noise removal can be judged pixel by pixel. A zoomed picture fills the preview
// box, as far as the image reaches; the host is never asked for more than that.
//
// A level is offered only when it shows the image larger than fit does; the steps of the wheel
// and of Ctrl+plus / Ctrl+minus go from fit through the offered levels and back.
#pragma once

#include <cstdint>

constexpr int32_t kPreviewZoomFit = 0;
constexpr int32_t kPreviewZoomLevelCount = 5;
constexpr int32_t kPreviewZoomLevels[kPreviewZoomLevelCount] = {25, 50, 100, 200, 400};

// Image pixels per picture pixel at a level (4, 2, or 1 from 100 % up).
int32_t PreviewZoomRate(int32_t level);
// Drawn pixels per picture pixel at a level (1 up to 100 %, then 2 and 4).
int32_t PreviewZoomMagnify(int32_t level);
// Whether level (one of the list) shows an image of imageWidth x imageHeight larger than its
// fit preview of fitWidth x fitHeight does.
bool PreviewZoomShowsMore(int32_t level, int32_t imageWidth, int32_t imageHeight, int32_t fitWidth,
                          int32_t fitHeight);
// The level one step in (direction > 0) or out (< 0) from current among the offered ones, fit
// below them all; current itself when there is no step that way.
int32_t PreviewZoomStep(int32_t current, int32_t direction, int32_t imageWidth, int32_t imageHeight,
                        int32_t fitWidth, int32_t fitHeight);
