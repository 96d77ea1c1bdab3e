// What the editing window and its dialogs ask of the host.
//
// The window and its dialogs belong to the edit model, which must not call the host layer (the
// layers point downwards: host -> edit -> engine -> platform). Whatever they need from the host
// (its colour picker, the document title, and the preview images it delivers and displays)
// reaches them through this record of procedures, filled in by the host layer before it runs the
// window and handed down with the editing state. Tests fill it with stand-ins.
//
// Every procedure gets the context pointer of the record first, returns a status (0 or a
// negative code) and shows nothing: the window handler that called it shows the one alert.
// Procedures that can fail for several reasons fill a Ui_Failure (which may be null) with what
// that alert says. A procedure that is null is a service the host does not offer; callers answer
// -9 for it.
//
// The preview. The host's own buffers hold the picture: the image reduced to the preview box,
// or, after zoomPreview, a window of the image at a zoom level (preview_zoom.h). The window
// asks for the picture once it knows the size of its preview item (acquirePreview, again after
// every resize), draws it through the transform it shows (drawPreview, after every rebuild of a
// transform and on every paint), and zooms and back (zoomPreview, panZoom, restorePreview).
// previewInfo says what is shown and where it lies in the image, for mapping clicks and for the
// engine's sampling, which reads the picture's own pixels. Image coordinates count from the
// top-left corner of the filtered area (the selection's bounds), at full size.
//
// The sharpen and noise dialog has a navigator (the whole preview, small, through a transform)
// and a detail view (a part of the image at full size, magnified, through the transform with the
// sharpening and the noise removal the filter will apply). The detail view's memory is taken by
// openDetail when the dialog opens and given back by closeDetail; fetchDetail asks the host for
// the part to show (only when the part is not already at hand) and renderDetail runs it through
// the filter's own row pipeline. Fetching and drawing never disturb the main preview: the host's
// buffers hold the picture again when a procedure returns.
//
// Drawing goes into the dialog's window through the host's displayPixels, into an offscreen image
// that is then copied into the given area; it works with the window's drawing open or closed
// (it opens and closes it itself when closed). Drawing sets the pixel sizes of the transform it
// draws through to what the picture and the display need (input: the picture's sample size,
// output: 8 bits) and leaves them so.
#pragma once

#include <cstdint>

#include "engine/huegrid.h"
#include "engine/ip_image.h"
#include "engine/measure.h"
#include "platform/alert.h"
#include "platform/status.h"
#include "platform/ui/ui_types.h"

// The clipping views of the black and white point handles.
enum : uint8_t {
    kPreviewClipNone = 0,
    kPreviewClipBlack = 1,  // every channel above 0 shows as 255
    kPreviewClipWhite = 2,  // every channel below 255 shows as 0
};

// How the window wants the picture drawn.
struct PreviewLook {
    Huegrid* shown;      // the transform drawn through (the window's before or after
                         // transform); null: the image as it is
    uint8_t showsEdits;  // shown is the transform of the edits: sharpening and noise removal are
                         // previewed (zoomed to 100 % or more, when the preferences ask)
    uint8_t clipping;    // kPreviewClip...
    uint8_t busy;        // 1 while the user drags a control: the quick path, never the filter's
    uint8_t reserved;
    const IPMask* sampled;  // pixels painted pure blue (the region a click sampled), in the
                            // picture's coordinates and of its size; null: none
};

// What the picture is.
struct PreviewInfo {
    int32_t width, height;            // the picture's pixels (those of shown)
    int32_t imageWidth, imageHeight;  // the filtered area at full size
    uint8_t reduced;                  // the preview is a reduced copy: zooming to 1:1 shows more
    uint8_t zoomed;                   // a zoom window is shown
    uint8_t reserved[2];
    int32_t left, top;  // image coordinates of the picture's top-left pixel (0, 0 unless zoomed;
                        // a little outside the image at a rate whose steps its corner is not
                        // on); unzoomed, picture pixel x stands for image x * imageWidth / width
    int32_t zoom;       // the zoom level in percent, 0 for fit (preview_zoom.h)
    int32_t rate;       // zoomed: image pixels per picture pixel (1 unzoomed)
    int32_t magnify;    // drawn pixels per picture pixel (1 up to 100 %)
    int32_t drawnWidth, drawnHeight;  // what drawPreview draws: the picture magnified, cut to
                                      // the preview box (and the image's size)
    int32_t fitWidth, fitHeight;      // the fit preview's size
    IPImage shown;      // the picture's pixels as the host holds them (8 bits, or 16 bits on the
                        // scale 0..65534), valid until the next preview procedure is called
    IPImage selection;  // its selection mask (one byte a pixel), or all zero without a selection
};

// Where the detail view lies.
struct PreviewDetailInfo {
    int32_t width, height;             // what drawDetail draws at this zoom, in pixels
    int32_t left, top, right, bottom;  // the visible part, in image coordinates
    uint8_t fetched;                   // 1: new pixels came from the host (render them again)
    uint8_t reserved[3];
};

struct WindowHostProcs {
    void* context;  // the host layer's own record, passed back to every procedure

    // Offers rgb (0..1 each) to the host's colour picker and replaces it with the colour chosen.
    // -10 when the user cancels the picker (rgb unchanged).
    int32_t (*pickColor)(void* context, float rgb[3]);
    // The document's title, cut to size - 1 characters.
    int32_t (*documentTitle)(void* context, char* buffer, int32_t size);

    // The picture for a preview box of width x height pixels: the image reduced to fit it (at
    // most the image's own size), and the editing state's analysis image refilled from it. A 1:1
    // view that was shown is shown again. -2 when the host refuses ("advancing state") or the
    // selection is empty (its own text), -3 without memory, or the resampler's code
    // ("IPScaleImageDown2"); a preview acquired before is then put back as it was.
    int32_t (*acquirePreview)(void* context, int32_t width, int32_t height, Ui_Failure* failure);
    // What is shown now. -2 before a preview was acquired.
    int32_t (*previewInfo)(void* context, PreviewInfo* info);
    // Shows a window of the image at a zoom level (one of preview_zoom.h's): image point (x, y)
    // lands at drawn pixel (anchorH, anchorV) of the picture (a negative anchor: its middle),
    // the window kept inside the image. A level that shows no more than fit shows the fit
    // preview. On a refusal (-2) the fit preview is shown again.
    int32_t (*zoomPreview)(void* context, int32_t level, int32_t x, int32_t y, int32_t anchorH,
                           int32_t anchorV, Ui_Failure* failure);
    // Moves the zoom window by dx, dy image pixels (kept inside the image); nothing unless
    // zoomed.
    int32_t (*panZoom)(void* context, int32_t dx, int32_t dy, Ui_Failure* failure);
    // Back from a zoom to the fit preview.
    int32_t (*restorePreview)(void* context, Ui_Failure* failure);
    // Draws the picture with its top-left corner at the area's, cut to the area. -2 before a
    // preview was acquired or when the host refuses to display it ("displaying the preview"); a
    // failure of the filter's pipeline is told as "processing scanline %d from image file %s".
    int32_t (*drawPreview)(void* context, UiWindow* dialog, const Ui_Rect* area,
                           const PreviewLook* look, Ui_Failure* failure);

    // The navigator: the preview scaled to fit width x height (keeping its shape) through
    // shown; its size comes back in *navWidth and *navHeight. -9 when the preview is not 8-bit.
    int32_t (*setUpNavigator)(void* context, int32_t width, int32_t height, Huegrid* shown,
                              int32_t* navWidth, int32_t* navHeight, Ui_Failure* failure);
    int32_t (*drawNavigator)(void* context, UiWindow* dialog, const Ui_Rect* area,
                             Ui_Failure* failure);
    void (*freeNavigator)(void* context);

    // The detail view of at most width x height pixels (memory for it and a margin of 32 pixels
    // on every side). -3 without memory: the dialog does not open.
    int32_t (*openDetail)(void* context, int32_t width, int32_t height, Ui_Failure* failure);
    // Shows the image around (x, y) (image coordinates) magnified zoom times (1 or more); the
    // part is kept inside the image. -2 when the host refuses ("getting preview").
    int32_t (*fetchDetail)(void* context, int32_t x, int32_t y, int32_t zoom,
                           PreviewDetailInfo* info, Ui_Failure* failure);
    // Runs the fetched part through shown with the editing state's sharpening and noise removal
    // when they are on (not while busy); failures are told as "transforming preview".
    int32_t (*renderDetail)(void* context, const PreviewLook* look, Ui_Failure* failure);
    int32_t (*drawDetail)(void* context, UiWindow* dialog, const Ui_Rect* area,
                          Ui_Failure* failure);
    void (*closeDetail)(void* context);
};
