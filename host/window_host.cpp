// The host's procedures for the editing window and its dialogs; see window_host.h.
#include "host/window_host.h"

#include "host/host_services.h"
#include "host/plugin_data.h"
#include "host/preview.h"
#include "host/preview_render.h"
#include "platform/mem.h"
#include "platform/numeric.h"
#include "resources/ids/strings.h"

namespace {

WindowHost* HostOf(void* context) {
    return static_cast<WindowHost*>(context);
}

PreviewCanvas CanvasOf(WindowHost* host) {
    PluginData* data = host->data;
    return PreviewCanvas{host->call,          &data->editState, &data->run.preview, host->prefs,
                         data->run.imageName, host->state,      &host->target};
}

int32_t PickColor(void* context, float rgb[3]) {
    return HostCSPickColor(Record(HostOf(context)->call), HostOf(context)->state, rgb);
}

int32_t DocumentTitle(void* context, char* buffer, int32_t size) {
    return GetDocumentTitle(Record(HostOf(context)->call), buffer, size);
}

int32_t Acquire(void* context, int32_t width, int32_t height, Ui_Failure* failure) {
    WindowHost* host = HostOf(context);
    PluginData* data = host->data;
    return AcquirePreview(host->call, &data->editState, &data->run.preview, width, height, 1,
                          failure);
}

int32_t Info(void* context, PreviewInfo* info) {
    if (info == nullptr) return kStatusProblem;
    Mem_Fill(info, 0, sizeof *info);
    const PreviewState& pv = HostOf(context)->data->run.preview;
    if (!pv.acquired) return kStatusError;
    info->width = pv.width;
    info->height = pv.height;
    info->imageWidth = pv.filter.right - pv.filter.left;
    info->imageHeight = pv.filter.bottom - pv.filter.top;
    info->reduced = pv.reduced;
    info->zoomed = pv.zoomed;
    info->rate = info->magnify = 1;
    info->drawnWidth = info->fitWidth = pv.width;
    info->drawnHeight = info->fitHeight = pv.height;
    if (pv.zoomed) {
        info->width = pv.hostInput.width;
        info->height = pv.hostInput.height;
        info->left = pv.zoomRect.left - pv.filter.left;
        info->top = pv.zoomRect.top - pv.filter.top;
        info->zoom = pv.zoomLevel;
        info->rate = pv.zoomRate;
        info->magnify = pv.zoomMagnify;
        info->drawnWidth = pv.drawnWidth;
        info->drawnHeight = pv.drawnHeight;
    }
    info->shown = pv.hostInput;
    if (pv.haveSelection) info->selection = pv.hostMask;
    return kStatusOk;
}

int32_t Zoom(void* context, int32_t level, int32_t x, int32_t y, int32_t anchorH, int32_t anchorV,
             Ui_Failure* failure) {
    WindowHost* host = HostOf(context);
    PluginData* data = host->data;
    return ZoomPreview(host->call, &data->editState, &data->run.preview, level, x, y, anchorH,
                       anchorV, failure);
}

int32_t Pan(void* context, int32_t dx, int32_t dy, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    WindowHost* host = HostOf(context);
    PluginData* data = host->data;
    const PreviewState& pv = data->run.preview;
    if (!pv.zoomed) return kStatusOk;
    // The window's corner moves; clamping keeps the window inside the image.
    const int64_t x = int64_t(pv.zoomRect.left - pv.filter.left) + dx;
    const int64_t y = int64_t(pv.zoomRect.top - pv.filter.top) + dy;
    return ZoomPreview(host->call, &data->editState, &data->run.preview, pv.zoomLevel,
                       int32_t(Num_Clamp(x, 0, INT32_MAX)), int32_t(Num_Clamp(y, 0, INT32_MAX)), 0,
                       0, failure);
}

int32_t Restore(void* context, Ui_Failure* failure) {
    WindowHost* host = HostOf(context);
    PluginData* data = host->data;
    return RestorePreview(host->call, &data->editState, &data->run.preview, failure);
}

int32_t Draw(void* context, UiWindow* dialog, const Ui_Rect* area, const PreviewLook* look,
             Ui_Failure* failure) {
    const PreviewCanvas canvas = CanvasOf(HostOf(context));
    return DrawPreview(&canvas, look, dialog, area, failure);
}

int32_t SetUpNavigator(void* context, int32_t width, int32_t height, Huegrid* shown,
                       int32_t* navWidth, int32_t* navHeight, Ui_Failure* failure) {
    const PreviewCanvas canvas = CanvasOf(HostOf(context));
    return SetUpNavPrevImages(&canvas, width, height, shown, navWidth, navHeight, failure);
}

int32_t DrawNav(void* context, UiWindow* dialog, const Ui_Rect* area, Ui_Failure* failure) {
    const PreviewCanvas canvas = CanvasOf(HostOf(context));
    return DrawNavigator(&canvas, dialog, area, failure);
}

void FreeNavigator(void* context) {
    FreeNavPrevImages(&HostOf(context)->data->run.preview);
}

int32_t Open(void* context, int32_t width, int32_t height, Ui_Failure* failure) {
    return OpenDetail(HostOf(context)->call, &HostOf(context)->data->run.preview, width, height,
                      failure);
}

int32_t Fetch(void* context, int32_t x, int32_t y, int32_t zoom, PreviewDetailInfo* info,
              Ui_Failure* failure) {
    WindowHost* host = HostOf(context);
    PluginData* data = host->data;
    PreviewState& pv = data->run.preview;
    uint8_t fetched = 0;
    const int32_t status =
        GetPrevImage(host->call, &data->editState, &pv, x, y, zoom, &fetched, failure);
    if (info != nullptr) {
        Mem_Fill(info, 0, sizeof *info);
        if (pv.detail.open && pv.detail.zoom >= 1) {
            DetailDrawnSize(&pv, &info->width, &info->height);
            info->left = pv.detail.visible.left - pv.filter.left;
            info->top = pv.detail.visible.top - pv.filter.top;
            info->right = pv.detail.visible.right - pv.filter.left;
            info->bottom = pv.detail.visible.bottom - pv.filter.top;
        }
        info->fetched = fetched;
    }
    return status;
}

int32_t Render(void* context, const PreviewLook* look, Ui_Failure* failure) {
    const PreviewCanvas canvas = CanvasOf(HostOf(context));
    return RenderDetail(&canvas, look, failure);
}

int32_t DrawDetailProc(void* context, UiWindow* dialog, const Ui_Rect* area, Ui_Failure* failure) {
    const PreviewCanvas canvas = CanvasOf(HostOf(context));
    return DrawDetail(&canvas, dialog, area, failure);
}

void Close(void* context) {
    CloseDetail(&HostOf(context)->data->run.preview);
}

}  // namespace

void FillWindowHostProcs(WindowHost* host, const PluginCall* call, PluginData* data,
                         const Prefs* prefs, UiState* state, WindowHostProcs* procs) {
    if (host == nullptr || procs == nullptr) return;
    Mem_Fill(host, 0, sizeof *host);
    host->call = call;
    host->data = data;
    host->prefs = prefs;
    host->state = state;
    Mem_Fill(procs, 0, sizeof *procs);
    procs->context = host;
    // Without the host's colour services there is nothing to pick with: the dialogs disable
    // their "Color Picker..." rather than answer it with a cancel.
    const FilterRecord* record = Record(call);
    procs->pickColor = record != nullptr && record->colorServices != nullptr ? PickColor : nullptr;
    procs->documentTitle = DocumentTitle;
    procs->acquirePreview = Acquire;
    procs->previewInfo = Info;
    procs->zoomPreview = Zoom;
    procs->panZoom = Pan;
    procs->restorePreview = Restore;
    procs->drawPreview = Draw;
    procs->setUpNavigator = SetUpNavigator;
    procs->drawNavigator = DrawNav;
    procs->freeNavigator = FreeNavigator;
    procs->openDetail = Open;
    procs->fetchDetail = Fetch;
    procs->renderDetail = Render;
    procs->drawDetail = DrawDetailProc;
    procs->closeDetail = Close;
}

void ReleaseWindowHost(WindowHost* host) {
    if (host == nullptr) return;
    DisplayTargetFree(&host->target);
    if (host->data != nullptr)
        ReleasePreview(host->call, &host->data->editState, &host->data->run.preview);
}
