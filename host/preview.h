// Taking the preview from the host, and giving the host's buffers back to it after a zoom or a
// detail view.
//
// The whole image never comes into the module. The host is asked for the filter rectangle at an
// integer sampling rate r (half the reduction the preview box needs), the tent resampler reduces
// what it delivers once more inside the host's own input buffer, and from then on that buffer
// holds the preview; the host's output buffer is the display buffer the renderer writes into.
// An 8-bit interleaved copy of the preview is the editing state's analysis image (with the
// selection, or without one the transparency, as a fourth channel, and the mask of the pixels
// that take part), which the automatic settings and the window's sampling read; the
// transparency plane is also kept on its own at preview size. A run without the window takes the
// same copy through GetAnalysisImage and gives the host's buffers back at once.
//
// A zoom (edit/window/preview_zoom.h) asks the host for a window of the image at the level's
// rate, of at most the preview box's size and the image's (above 100 %: a part that magnified
// fills it); the display buffer is the window's picture magnified, cut to that size. From 100 %
// up the window comes with a margin of kDetailMargin around it, inside the filter rectangle, for
// the sharpening and noise neighbourhoods at its edges; hostInput and hostMask are then views of
// the window inside what was fetched. The box is what the prepare phase's budget was agreed for,
// and the fit preview asked the host for more (the margin of a box-sized window stays within
// that). The preview is put back afterwards, from the module's copy for 8-bit images (into
// buffers of its shape, asked for first) and by asking the host again for 16-bit ones. A detail
// view (the sharpen and noise dialog) asks for a part of the image at full size, copies it into
// memory of its own and puts the preview (or the zoom window) back the same way.
//
// Samples in the host's 16-bit buffers are rescaled in place to the engine's scale (clamped to
// 32767, doubled), the fourth plane too: its high byte is then the 8-bit value, which the
// display's transparency mask reads.
//
// The routines reach the host through the call's record (call_state.h) they are given: its filter
// record for the requests, its result cell for a refusal, its message buffer for the debug log.
#pragma once

#include <cstdint>

#include "edit/edit_state.h"
#include "engine/ip_image.h"
#include "host/call_state.h"
#include "hostsdk/filter_record.h"
#include "platform/alert.h"
#include "platform/status.h"

// What the host's buffers hold.
enum : uint8_t {
    kPreviewHoldsNothing = 0,
    kPreviewHoldsPreview = 1,  // the reduced preview (or, not reduced, the image)
    kPreviewHoldsZoom = 2,     // the zoom window
    kPreviewHoldsOther = 3,    // something else (a detail view's part), or what is not known
};

// The margin a detail view and a zoom window from 100 % up keep on every side for sharpening and
// noise removal: twice the largest noise radius.
constexpr int32_t kDetailMargin = 32;

// A part of the image at full size for the detail view, in memory of the module's own.
struct PreviewDetail {
    int32_t viewWidth, viewHeight;          // the largest part shown
    int32_t capacityWidth, capacityHeight;  // the view and its margins
    int32_t channels;                       // 3, or 4 with a transparency plane
    int32_t bytes;                          // of the fetched samples: 1 or 2
    void* source;        // the fetched part, interleaved, 16-bit samples on the engine's scale
    uint8_t* selection;  // its selection, or null without one
    uint8_t* rendered;   // the part through the transform: 8-bit, channels a pixel
    uint8_t* magnified;  // what is drawn: the visible part magnified, 8-bit, channels a pixel
    VRect fetched;       // image coordinates of the part the buffers hold
    VRect visible;       // image coordinates of the part shown
    int32_t zoom;
    uint8_t open;
    uint8_t haveFetched;
    uint8_t haveRendered;
    uint8_t reserved;
};

struct PreviewState {
    uint8_t acquired;       // a preview was taken and its copy made
    uint8_t display;        // taken for the window: the output buffer is the display buffer
    uint8_t reduced;        // the image was reduced to fit the box (the factor was above 1)
    uint8_t haveSelection;  // the host has a selection mask
    uint8_t holds;          // kPreviewHolds...
    uint8_t zoomed;         // a zoom window is shown
    uint8_t reserved[2];
    int32_t boxWidth, boxHeight;      // the box asked for
    int32_t rate;                     // the host's sampling rate r
    int32_t planes, bytes;            // of the host image
    int32_t width, height;            // of the preview
    int32_t zoomLevel;                // the zoom window's level in percent (preview_zoom.h), else 0
    int32_t zoomRate, zoomMagnify;    // its image pixels per picture pixel, drawn per picture pixel
    int32_t drawnWidth, drawnHeight;  // the display buffer's size while zoomed: the window's
                                      // picture magnified, cut to the box's size
    VRect filter;                     // the filter rectangle
    VRect request;                    // what the host was asked for: the filter rectangle / r
    VRect inRegion;                   // the preview's rectangle as recorded for the input and mask
    VRect outRegion;       // the display buffer's rectangle (inside the filter rectangle)
    VRect lent;            // every rectangle lent as a display buffer, bounded: what the
                           // host may have taken back into the image
    VRect zoomRect;        // the zoom window, in the host's coordinates at full size
    VRect zoomAround;      // pixels fetched beyond it on each side (top, left, bottom, right):
                           // from 100 % up, what sharpening and noise removal read at its edges
    int32_t zoomX, zoomY;  // its centre (host coordinates)
    IPImage hostInput;     // the host's input buffer: the preview or the zoom window
    IPImage hostMask;      // the host's mask buffer, or all zero without a selection
    IPImage fourth;        // the transparency plane at preview size (window only)
    // The navigator of the sharpen and noise dialog: the preview scaled down, through a
    // transform, 8-bit, with the transparency as a fourth channel when the image has one.
    uint8_t* navigator;
    int32_t navigatorWidth, navigatorHeight, navigatorChannels;
    PreviewDetail detail;
};

// Acquires the preview for a box of boxWidth x boxHeight pixels (a box below 2 x 2 counts as
// 640 x 480). forWindow: the output buffer is taken too (the display buffer), the transparency
// plane kept, and a zoom that was shown is shown again (around the same centre); without it only
// the analysis image is wanted. Fills editState's analysis image and mask. 0; -2 when the host
// refuses (failure: "advancing state"; the host result is set) or the selection is empty (failure:
// the stop text "The selected area is empty."); -10 for a cancel (nothing to show); a resampler
// failure ("IPScaleImageDown2"); -3 without memory or -1 for a missing state or record ("reading
// image file"). Whatever was made is freed on failure; a preview acquired before is then acquired
// again as it was (its box, its zoom), or, when that fails too, the state is left empty.
int32_t AcquirePreview(const PluginCall* call, EditState* editState, PreviewState* preview,
                       int32_t boxWidth, int32_t boxHeight, uint8_t forWindow, Ui_Failure* failure);

// The analysis image of a run without the window: AcquirePreview without the display, then the
// host's buffers are given back (nothing asked for, rates 1). The same codes.
int32_t GetAnalysisImage(const PluginCall* call, EditState* editState, int32_t previewWidth,
                         int32_t previewHeight, Ui_Failure* failure);

// Shows a window of the image at a zoom level (25, 50, 100, 200 or 400): image point (x, y),
// counted from the filter rectangle's corner, lands at (anchorH, anchorV) of the drawn picture
// (a negative anchor: its middle), the window kept inside the image. A level that shows no more
// than the preview does shows the preview. A refusal (-2, "advancing state") puts the preview
// back; -1 for a level not in the list.
int32_t ZoomPreview(const PluginCall* call, EditState* editState, PreviewState* preview,
                    int32_t level, int32_t x, int32_t y, int32_t anchorH, int32_t anchorV,
                    Ui_Failure* failure);

// Puts the reduced preview back into the host's buffers after a zoom or a detail view and
// clears the zoom. Nothing to do when they hold it already.
int32_t RestorePreview(const PluginCall* call, EditState* editState, PreviewState* preview,
                       Ui_Failure* failure);

// Puts the picture the window expects (the zoom window while it is shown, else the preview) back
// into the host's buffers when they hold something else, as after a detail view that could not
// put it back itself (a 16-bit preview is asked for and reduced again, which takes memory).
// 0 when they hold it already; the codes of ZoomPreview and RestorePreview.
int32_t ReturnPicture(const PluginCall* call, EditState* editState, PreviewState* preview,
                      Ui_Failure* failure);

// The detail view: memory for a part of at most width x height pixels and its margins ("allocated
// %d x %d" in the debug log; -3 without it), the part around an image point at a zoom (asked of
// the host only when the part with its margin is not already at hand; "GetPrevImage..."), and
// its release.
int32_t OpenDetail(const PluginCall* call, PreviewState* preview, int32_t width, int32_t height,
                   Ui_Failure* failure);
int32_t GetPrevImage(const PluginCall* call, EditState* editState, PreviewState* preview, int32_t x,
                     int32_t y, int32_t zoom, uint8_t* fetched, Ui_Failure* failure);
void CloseDetail(PreviewState* preview);

// Writes the image's own pixels over everything the host was lent as a display buffer, a strip at a
// time, so that a run that ends without filtering leaves the image as it was: the host takes
// back what its output buffers hold. 0, or the codes of a refused request ("advancing state").
int32_t PutBackImage(const PluginCall* call, PreviewState* preview, Ui_Failure* failure);

// Frees the navigator, the detail view and the transparency plane, gives the host's buffers
// back and empties the state. The analysis image stays (it belongs to the editing state).
void ReleasePreview(const PluginCall* call, EditState* editState, PreviewState* preview);

// The host's sample scale 0..32768 to the engine's 0..65534 (clamped to 32767, doubled), for
// every plane of a rectangle of interleaved 16-bit samples.
void RescaleHost16(void* data, int32_t rowBytes, int32_t width, int32_t height, int32_t planes);
