// The preview's zoom levels; see preview_zoom.h.
#include "edit/window/preview_zoom.h"

int32_t PreviewZoomRate(int32_t level) {
    return level > 0 && level < 100 ? 100 / level : 1;
}

int32_t PreviewZoomMagnify(int32_t level) {
    return level > 100 ? level / 100 : 1;
}

bool PreviewZoomShowsMore(int32_t level, int32_t imageWidth, int32_t imageHeight, int32_t fitWidth,
                          int32_t fitHeight) {
    if (level <= 0 || fitWidth < 1 || fitHeight < 1) return false;
    return int64_t(imageWidth) * level > int64_t(fitWidth) * 100 ||
           int64_t(imageHeight) * level > int64_t(fitHeight) * 100;
}

int32_t PreviewZoomStep(int32_t current, int32_t direction, int32_t imageWidth, int32_t imageHeight,
                        int32_t fitWidth, int32_t fitHeight) {
    int32_t below = kPreviewZoomFit, above = current;
    bool foundAbove = false;
    for (const int32_t level : kPreviewZoomLevels) {
        if (!PreviewZoomShowsMore(level, imageWidth, imageHeight, fitWidth, fitHeight)) continue;
        if (level < current) below = level;
        if (level > current && !foundAbove) {
            above = level;
            foundAbove = true;
        }
    }
    if (direction > 0) return above;
    if (direction < 0) return current == kPreviewZoomFit ? current : below;
    return current;
}
