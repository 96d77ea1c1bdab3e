// The headless binding's windows: creating and destroying them (keeping a copy of the last one
// closed for tests to read), their places and sizes on a screen of 1280 x 1024 pixels, and what is
// invalid in them and its painting. See headless_internal.h for the other parts of the binding.
#include <cstdlib>

#include "platform/debug_log.h"
#include "platform/mem.h"
#include "platform/ui/dlg.h"
#include "platform/ui/headless/canvas.h"
#include "platform/ui/headless/headless_internal.h"
#include "platform/ui/rect.h"
#include "platform/ui_state.h"

namespace kolmara_headless {

namespace {

constexpr int32_t kScreenWidth = 1280, kScreenHeight = 1024;
constexpr int32_t kTaskBarHeight = 40;

// The screen less a task bar along its bottom edge; tests may replace it or take it away.
Ui_Rect DefaultWorkArea() {
    return Ui_Rect_Make(0, 0, kScreenHeight - kTaskBarHeight, kScreenWidth);
}
Ui_Rect gWorkArea = DefaultWorkArea();
bool gWorkAreaKnown = true;

UiHeadlessWindow* gLastClosed = nullptr;

// A window's pixels stand for what the window system keeps for a real window: it is not the
// module's memory, and counting it would make every windowed run look over the budget the prepare
// phase tells the host. So the canvas comes from the C heap, not from Mem_Alloc.
uint8_t* CanvasAlloc(uint32_t bytes) {
    return static_cast<uint8_t*>(std::calloc(bytes > 0 ? bytes : 1, 1));
}

void FreeWindow(UiHeadlessWindow* hw) {
    if (hw == nullptr) return;
    for (int32_t i = 0; i < hw->itemCount; ++i) Mem_Free(hw->items[i].list);
    Mem_Free(hw->items);
    Mem_Free(hw->texts);
    std::free(hw->rgb);
    Mem_Free(hw);
}

// The copy of a closed window that tests read. It stands in for what a toolkit keeps of its own
// windows, so it is made with the C allocator and not counted as the module's memory: a dialog's
// blocks all go back when it closes, and a host call that ran one holds nothing afterwards.
void FreeClosed(UiHeadlessWindow* kept) {
    if (kept == nullptr) return;
    for (int32_t i = 0; i < kept->itemCount; ++i) std::free(kept->items[i].list);
    std::free(kept->items);
    std::free(kept->texts);
    std::free(kept->rgb);
    std::free(kept);
}

void* CopyOut(const void* from, size_t bytes) {
    void* to = std::calloc(bytes > 0 ? bytes : 1, 1);
    if (to != nullptr && from != nullptr) Mem_Copy(to, from, bytes);
    return to;
}

// A deep copy of hw, or null when memory is short (the last closed window then reads as none).
UiHeadlessWindow* KeepClosed(const UiHeadlessWindow* hw) {
    auto* kept = static_cast<UiHeadlessWindow*>(std::calloc(1, sizeof(UiHeadlessWindow)));
    if (kept == nullptr) return nullptr;
    *kept = *hw;
    kept->itemCount = 0;
    kept->rgb = static_cast<uint8_t*>(CopyOut(hw->rgb, size_t(hw->width) * size_t(hw->height) * 3));
    kept->texts = static_cast<UiHeadlessText*>(
        CopyOut(hw->texts, size_t(hw->textCapacity) * sizeof(UiHeadlessText)));
    kept->items = static_cast<UiHeadlessItem*>(
        std::calloc(size_t(hw->itemCount > 0 ? hw->itemCount : 1), sizeof(UiHeadlessItem)));
    bool ok = kept->rgb != nullptr && kept->texts != nullptr && kept->items != nullptr;
    for (int32_t i = 0; ok && i < hw->itemCount; ++i) {
        kept->items[i] = hw->items[i];
        kept->items[i].list = nullptr;
        kept->itemCount = i + 1;
        if (hw->items[i].list != nullptr) {
            kept->items[i].list = static_cast<char(*)[kUiHeadlessText]>(
                CopyOut(hw->items[i].list, size_t(hw->items[i].listCapacity) * kUiHeadlessText));
            ok = kept->items[i].list != nullptr;
        }
    }
    if (!ok) {
        FreeClosed(kept);
        return nullptr;
    }
    return kept;
}

int32_t RegisterClass(UiState*) {
    return kStatusOk;
}

int32_t UnregisterClass(UiState*) {
    return kStatusOk;
}

int32_t CreateWindow(UiWindow* w, void*) {
    const Ui_DlgTemplate* t = w->layout;
    auto* hw = static_cast<UiHeadlessWindow*>(Mem_Alloc(sizeof(UiHeadlessWindow)));
    if (hw == nullptr) return kStatusNoMemory;
    Mem_Fill(hw, 0, sizeof *hw);
    hw->dialogId = t->id;
    Str_CopyBounded(hw->title, sizeof hw->title, t->title);
    hw->width = Ui_Rect_Width(&t->client);
    hw->height = Ui_Rect_Height(&t->client);
    hw->outer = Ui_Rect_Make(0, 0, hw->height, hw->width);
    hw->itemCount = t->itemCount;
    hw->focus = -1;
    hw->textCapacity = 16;
    uint32_t pixels = uint32_t(hw->width) * uint32_t(hw->height) * 3;
    hw->rgb = CanvasAlloc(pixels);
    hw->items = static_cast<UiHeadlessItem*>(
        Mem_Alloc(uint32_t(t->itemCount > 0 ? t->itemCount : 1) * sizeof(UiHeadlessItem)));
    hw->texts = static_cast<UiHeadlessText*>(
        Mem_Alloc(uint32_t(hw->textCapacity) * sizeof(UiHeadlessText)));
    if (hw->rgb == nullptr || hw->items == nullptr || hw->texts == nullptr) {
        hw->itemCount = 0;
        FreeWindow(hw);
        return kStatusNoMemory;
    }
    for (int32_t i = 0; i < t->itemCount; ++i) {
        const Ui_DlgItem& src = t->items[i];
        UiHeadlessItem& it = hw->items[i];
        Mem_Fill(&it, 0, sizeof it);
        it.kind = src.kind;
        it.flags = src.flags;
        it.rect = src.pixels;
        if (src.kind != kUiItemCombo) Str_CopyBounded(it.text, sizeof it.text, src.text);
        it.enabled = !(src.flags & kUiFlagDisabled);
        it.visible = !(src.flags & kUiFlagHidden);
        it.listSelection = -1;
        if (src.flags & kUiFlagDefault) hw->defaultItem = int16_t(i + 1);
    }
    hw->minWidth = hw->maxWidth = int16_t(hw->width);
    hw->minHeight = hw->maxHeight = int16_t(hw->height);
    w->native = hw;
    Invalidate(hw, nullptr, 1);
    return kStatusOk;
}

void DestroyWindow(UiWindow* w) {
    UiHeadlessWindow* hw = Hw(w);
    if (hw == nullptr) return;
    FreeClosed(gLastClosed);
    gLastClosed = KeepClosed(hw);
    FreeWindow(hw);
    w->native = nullptr;
}

int32_t GetWindowRect(UiWindow* w, Ui_Rect* r) {
    UiHeadlessWindow* hw = Hw(w);
    if (hw == nullptr) return kStatusError;
    *r = hw->outer;
    return kStatusOk;
}

}  // namespace

UiHeadlessWindow* Hw(UiWindow* w) {
    return w != nullptr ? static_cast<UiHeadlessWindow*>(w->native) : nullptr;
}

UiHeadlessItem* ItemOf(UiWindow* w, int16_t item) {
    UiHeadlessWindow* hw = Hw(w);
    if (hw == nullptr || !(1 <= item && item <= hw->itemCount)) return nullptr;
    return &hw->items[item - 1];
}

void Invalidate(UiHeadlessWindow* hw, const Ui_Rect* r, uint8_t erase) {
    Ui_Rect all = Ui_Rect_Make(0, 0, hw->height, hw->width);
    Ui_Rect add = all;
    if (r != nullptr) Ui_Rect_Intersect(r, &all, &add);
    if (Ui_Rect_IsEmpty(&add)) return;
    if (!hw->invalid) {
        hw->invalidRect = add;
    } else {
        Ui_Rect& u = hw->invalidRect;
        if (add.top < u.top) u.top = add.top;
        if (add.left < u.left) u.left = add.left;
        if (add.bottom > u.bottom) u.bottom = add.bottom;
        if (add.right > u.right) u.right = add.right;
    }
    hw->invalid = 1;
    hw->erase |= erase;
}

// A paint of the invalid area: the dialog paints (with the background erased only for the first
// paint of the whole window), its children ask for their colours, and the user items in the area
// paint themselves, each cut to its own rectangle.
void Paint(UiWindow* w) {
    UiHeadlessWindow* hw = Hw(w);
    Ui_Rect area = hw->invalidRect;
    hw->invalid = 0;
    if (hw->paints == 0 || hw->erase) {
        Ui_RGB bg = kUiDefaultBackground;
        uint8_t custom = 0;
        Ui_Dlg_Colors(w, &bg, &custom);
        Canvas_FillRect(hw, &area, bg, 0);
        hw->erase = 0;
    }
    ++hw->paints;
    Ui_Msg m{};
    m.kind = kUiMsgPaint;
    Ui_Dlg_Proc(w, &m, nullptr);
    if (w->ended) return;
    m.kind = kUiMsgCtlColorStatic;
    Ui_Dlg_Proc(w, &m, nullptr);
    for (int16_t i = 1; i <= hw->itemCount && !w->ended; ++i) {
        const UiHeadlessItem& it = hw->items[i - 1];
        Ui_Rect cut;
        Ui_Rect_Intersect(&it.rect, &area, &cut);
        if (!it.visible || Ui_Rect_IsEmpty(&cut)) continue;
        bool framed =
            (it.flags & kUiFlagBorder) && (it.kind == kUiItemUser || it.kind == kUiItemStatic);
        if (!framed && it.kind != kUiItemUser) continue;
        hw->paintClipOn = 1;
        hw->paintClip = cut;
        // The frame first: a user item's draw proc owns everything inside it, its edge included.
        if (framed) Canvas_Frame(hw, &it.rect, kUiBorderRGB);
        if (it.kind == kUiItemUser) {
            m.kind = kUiMsgPaint;
            Ui_UserItem_Proc(w, i, &m, nullptr);
        }
        hw->paintClipOn = 0;
    }
}

int32_t SetWindowRect(UiWindow* w, const Ui_Rect* r) {
    UiHeadlessWindow* hw = Hw(w);
    if (hw == nullptr) return kStatusError;
    int32_t width = Ui_Rect_Width(r), height = Ui_Rect_Height(r);
    if (width != hw->width || height != hw->height) {
        // A new size gets a new canvas that keeps what fits of the old one.
        uint32_t bytes = uint32_t(width) * uint32_t(height) * 3;
        uint8_t* rgb = CanvasAlloc(bytes);
        if (rgb == nullptr) return kStatusNoMemory;
        for (int32_t v = 0; v < height && v < hw->height; ++v) {
            int32_t n = width < hw->width ? width : hw->width;
            Mem_Copy(rgb + size_t(v) * size_t(width) * 3,
                     hw->rgb + size_t(v) * size_t(hw->width) * 3, size_t(n) * 3);
        }
        std::free(hw->rgb);
        hw->rgb = rgb;
        hw->width = width;
        hw->height = height;
        Invalidate(hw, nullptr, 1);
    }
    hw->outer = *r;
    return kStatusOk;
}

namespace {

int32_t GetClientRect(UiWindow* w, Ui_Rect* r) {
    UiHeadlessWindow* hw = Hw(w);
    if (hw == nullptr) return kStatusError;
    *r = Ui_Rect_Make(0, 0, hw->height, hw->width);
    return kStatusOk;
}

int32_t GetScreenRect(Ui_Rect* r) {
    *r = Ui_Rect_Make(0, 0, kScreenHeight, kScreenWidth);
    return kStatusOk;
}

int32_t GetWorkArea(Ui_Rect* r) {
    if (!gWorkAreaKnown) return kStatusError;
    *r = gWorkArea;
    return kStatusOk;
}

int32_t SetWindowText(UiWindow* w, const char* text) {
    UiHeadlessWindow* hw = Hw(w);
    if (hw == nullptr) return kStatusError;
    Str_CopyBounded(hw->title, sizeof hw->title, text);
    return kStatusOk;
}

uint8_t IsForeground(UiWindow* w) {
    // The innermost open dialog is the one in front: the only one taking events.
    UiHeadlessWindow* hw = Hw(w);
    if (hw == nullptr || w->state == nullptr) return 0;
    return w->state->parentWindow == w;
}

int32_t InvalidateOp(UiWindow* w, const Ui_Rect* r) {
    if (Hw(w) == nullptr) return kStatusError;
    Invalidate(Hw(w), r, 0);
    return kStatusOk;
}

int32_t ColorsChanged(UiWindow* w) {
    if (Hw(w) == nullptr) return kStatusError;
    Invalidate(Hw(w), nullptr, 1);
    return kStatusOk;
}

int32_t SetSizeRange(UiWindow* w, int16_t minWidth, int16_t minHeight, int16_t maxWidth,
                     int16_t maxHeight) {
    UiHeadlessWindow* hw = Hw(w);
    if (hw == nullptr) return kStatusError;
    hw->minWidth = minWidth;
    hw->minHeight = minHeight;
    hw->maxWidth = maxWidth;
    hw->maxHeight = maxHeight;
    return kStatusOk;
}

}  // namespace

void FillWindowOps(UiBinding* b) {
    b->registerClass = RegisterClass;
    b->unregisterClass = UnregisterClass;
    b->createWindow = CreateWindow;
    b->destroyWindow = DestroyWindow;
    b->getWindowRect = GetWindowRect;
    b->setWindowRect = SetWindowRect;
    b->getClientRect = GetClientRect;
    b->getScreenRect = GetScreenRect;
    b->getWorkArea = GetWorkArea;
    b->setWindowText = SetWindowText;
    b->isForeground = IsForeground;
    b->invalidate = InvalidateOp;
    b->colorsChanged = ColorsChanged;
    b->setSizeRange = SetSizeRange;
}

void ResetWindows() {
    gWorkArea = DefaultWorkArea();
    gWorkAreaKnown = true;
    FreeClosed(gLastClosed);
    gLastClosed = nullptr;
}

}  // namespace kolmara_headless

const UiHeadlessWindow* Ui_Headless_Window(UiWindow* dialog) {
    // A binding made from this one keeps its windows: the Windows module without a desktop
    // installs a copy with the system's key state, beep and web pages.
    if (dialog == nullptr || Ui_Binding()->createWindow != Ui_Headless_Binding()->createWindow) {
        return nullptr;
    }
    return kolmara_headless::Hw(dialog);
}

const UiHeadlessWindow* Ui_Headless_LastClosed() {
    return kolmara_headless::gLastClosed;
}

Ui_RGB Ui_Headless_Pixel(const UiHeadlessWindow* hw, int32_t v, int32_t h) {
    if (hw == nullptr || !(0 <= v && v < hw->height && 0 <= h && h < hw->width)) {
        return Ui_RGB{0, 0, 0};
    }
    const uint8_t* p = hw->rgb + (size_t(v) * size_t(hw->width) + size_t(h)) * 3;
    return Ui_RGB{p[0], p[1], p[2]};
}

void Ui_Headless_SetWorkArea(const Ui_Rect* area) {
    kolmara_headless::gWorkAreaKnown = area != nullptr;
    if (area != nullptr) kolmara_headless::gWorkArea = *area;
}
