// Rendering the preview: rows of the picture through the transform the window shows, blended
// with the selection as the filter will blend them, and handed to the host's displayPixels.
//
// PreviewApplyRows has two paths. The direct one applies the shown transform to each row with
// the kernels (HgApply), then the clipping view (white: every channel below 255 becomes 0;
// black: every channel above 0 becomes 255), then the selection blend: for a mask byte m, 0
// keeps the unedited value u, 255 the new value n, anything between ((255 - m) u + m n + 128)
// >> 8, with u the high byte of a 16-bit sample. The filtered path runs the rectangle through
// the filter's own row pipeline (row_pipeline.h: the transform from its stream, sharpening, the
// noise filter in front) into 8-bit rows and blends each finished row the same way; the window
// takes it only when the user looks at the image at full size (zoomed to 100 % or more, or in a
// detail view), since sharpening and noise removal mean nothing on a reduced copy. Both views
// are fetched with a margin around what is shown, which the filtered path reads as the filter
// reads the neighbours of a strip. Both spread their work over the job's threads (the direct
// path by rows, the filtered one in the filter's column bands, row_bands.h), with the same
// picture for any number.
//
// The picture is rendered into the host's output buffer described as an 8-bit RGB image (the
// display buffer: a PSPixelMap over it), the transparency plane, when the image has one, comes
// along as a PSPixelMask over the input buffer's fourth samples, and displayPixels draws it into
// the window (display_target.h), reached through the filter record of the call's record the
// canvas carries. The navigator and the detail view have buffers of their own.
#pragma once

#include <cstdint>

#include "edit/edit_state.h"
#include "edit/prefs.h"
#include "edit/window/host_seams.h"
#include "host/call_state.h"
#include "host/display_target.h"
#include "host/preview.h"

// One rendering job.
struct PreviewRows {
    const IPImage* source;       // 3 channels read, 8-bit or 16-bit on the engine's scale
    const IPImage* selection;    // one byte a pixel over the source's pixels, or null
    VRect rect;                  // source coordinates
    const IPImage* destination;  // 8-bit, 3 channels written; pixel (x, y) of rect to (x, y)
    Huegrid* shown;              // null: the source as it is
    uint8_t clipping;            // kPreviewClip...
    uint8_t filtered;            // through the filter's row pipeline
    uint8_t sharpen, noise;      // the processors of the filtered path
    const SharpenNoise* settings;
    const char* imageName;  // for the failure's text
    VRect around;       // the filtered path: how many source pixels beyond rect it may read on each
                        // side (top, left, bottom, right), so that sharpening and noise removal at
                        // rect's edges see the image's neighbours as the filter does; all 0: rect's
                        // edges stand for the image's
    int32_t sourceTop;  // the filter rectangle's row that the source's row 0 is
    int32_t threads;    // the threads the job may use (WorkThreadCount); 0 or 1: the caller's
                        // alone. The picture is the same for any number
};

// 0, -1 for a bad job; a failure of a row is told as "processing scanline %d from image file
// %s", the row pipeline's own as "creating Huegrid".
int32_t PreviewApplyRows(const PreviewRows* job, Ui_Failure* failure);

// What drawing needs besides the preview: the call (the host's record and the debug log), the
// editing state (its sharpening and noise settings), the preferences (whether they are
// previewed), the image's name and the platform's call state (the busy cursor), and the
// offscreen image lent to the host.
struct PreviewCanvas {
    const PluginCall* call;
    EditState* editState;
    PreviewState* preview;
    const Prefs* prefs;
    const char* imageName;
    UiState* state;
    DisplayTarget* target;
};

// The picture (the preview, or the 1:1 window) through look->shown into the display buffer,
// the sampled region painted blue (0, 0, 255), drawn at the area's top-left.
int32_t DrawPreview(const PreviewCanvas* canvas, const PreviewLook* look, UiWindow* dialog,
                    const Ui_Rect* area, Ui_Failure* failure);

// The navigator: the preview copy scaled to fit boxWidth x boxHeight, through shown at 8 bits
// (its pixel sizes are put back afterwards), the transparency as a fourth channel. Its size
// comes back in *width, *height. -9 when the preview copy is not 8-bit.
int32_t SetUpNavPrevImages(const PreviewCanvas* canvas, int32_t boxWidth, int32_t boxHeight,
                           Huegrid* shown, int32_t* width, int32_t* height, Ui_Failure* failure);
void FreeNavPrevImages(PreviewState* preview);
int32_t DrawNavigator(const PreviewCanvas* canvas, UiWindow* dialog, const Ui_Rect* area,
                      Ui_Failure* failure);

// The detail view's fetched part through look->shown, with the sharpening and the noise
// removal that are on (the filtered path, unless look says busy, a clipping view or not the
// edits); failures are told as "transforming preview". Then drawn: the visible part magnified
// by the zoom into the area.
int32_t RenderDetail(const PreviewCanvas* canvas, const PreviewLook* look, Ui_Failure* failure);
int32_t DrawDetail(const PreviewCanvas* canvas, UiWindow* dialog, const Ui_Rect* area,
                   Ui_Failure* failure);
// The size drawn at the detail's zoom.
void DetailDrawnSize(const PreviewState* preview, int32_t* width, int32_t* height);
