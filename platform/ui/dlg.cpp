// Running and ending dialogs, the registry of open dialogs and the proc setters; see dlg.h.
#include "platform/ui/dlg.h"

#include "platform/debug_log.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/resources.h"
#include "platform/ui/binding.h"
#include "platform/ui/dlg_internal.h"
#include "platform/ui/rect.h"
#include "platform/ui_state.h"
#include "resources/ids/strings.h"

namespace {

// The item records of a dialog, cleared (no list entry chosen); -3 without memory.
int32_t AllocateItemStates(Ui_Dlg_Info* info, int32_t count) {
    const uint32_t n = uint32_t(count > 0 ? count : 1);
    info->itemStates = static_cast<Ui_ItemState*>(Mem_Alloc(n * sizeof(Ui_ItemState)));
    if (info->itemStates == nullptr) return kStatusNoMemory;
    Mem_Fill(info->itemStates, 0, n * sizeof(Ui_ItemState));
    for (uint32_t i = 0; i < n; ++i) info->itemStates[i].listChoice = -1;
    return kStatusOk;
}

void FreeItemStates(Ui_Dlg_Info* info, int32_t count) {
    if (info->itemStates == nullptr) return;
    for (int32_t i = 0; i < count; ++i) Mem_Free(info->itemStates[i].text);
    info->itemStates = static_cast<Ui_ItemState*>(Mem_Free(info->itemStates));
}

// The per-item lists: draw procs, tracking slots, links, and what each item holds.
int32_t AllocateItemLists(Ui_Dlg_Info* info, int32_t count) {
    uint32_t n = uint32_t(count > 0 ? count : 1);
    info->drawProcs = static_cast<UiDrawProc*>(Mem_Alloc(n * sizeof(UiDrawProc)));
    info->trackSlots = static_cast<Ui_TrackSlot*>(Mem_Alloc(n * sizeof(Ui_TrackSlot)));
    info->links = static_cast<Ui_ItemLink*>(Mem_Alloc(n * sizeof(Ui_ItemLink)));
    // Each list is cleared as soon as it exists: when another one is missing, closing the
    // dialog frees what the links hold, which must not be left over from earlier blocks.
    if (info->drawProcs != nullptr) Mem_Fill(info->drawProcs, 0, n * sizeof(UiDrawProc));
    if (info->links != nullptr) Mem_Fill(info->links, 0, n * sizeof(Ui_ItemLink));
    if (info->trackSlots != nullptr) {
        for (uint32_t i = 0; i < n; ++i) info->trackSlots[i] = Ui_TrackSlot{-1, nullptr};
    }
    if (info->drawProcs == nullptr || info->trackSlots == nullptr || info->links == nullptr) {
        return kStatusNoMemory;
    }
    return AllocateItemStates(info, count);
}

// A brush whose guard words were overwritten is reported the way a failed delete was.
void DeleteBrush(UiState* state, Ui_Brush** brush) {
    if (*brush == nullptr) return;
    if (Mem_CheckBlock(*brush) != kStatusOk) {
        char text[256];
        Ui_Debug_Log(state->diagnostics, Ui_ResToCString(state, kStrDeleteError, text));
    }
    *brush = static_cast<Ui_Brush*>(Mem_Free(*brush));
}

void FreeDialog(UiWindow* w) {
    auto* d = static_cast<Ui_Dlg*>(w->userData);
    if (d != nullptr) {
        Ui_Dlg_Info* info = d->info;
        if (info != nullptr) {
            if (info->links != nullptr) {
                for (int32_t i = 0; i < d->itemCount; ++i) {
                    info->links[i].ids = static_cast<int32_t*>(Mem_Free(info->links[i].ids));
                }
            }
            info->drawProcs = static_cast<UiDrawProc*>(Mem_Free(info->drawProcs));
            info->trackSlots = static_cast<Ui_TrackSlot*>(Mem_Free(info->trackSlots));
            info->links = static_cast<Ui_ItemLink*>(Mem_Free(info->links));
            FreeItemStates(info, d->itemCount);
            DeleteBrush(d->state, &info->solidBrush);
            DeleteBrush(d->state, &info->hollowBrush);
            Mem_Free(info);
        }
        d->tag = 0;  // a stale pointer to the record no longer passes as a dialog
        Mem_Free(d);
        w->userData = nullptr;
    }
    Ui_Template_Free(&w->layout);
    Mem_Fill(w, 0, sizeof *w);
    Mem_Free(w);
}

int32_t RegistryAdd(UiState* state, UiWindow* w) {
    for (void*& slot : state->dialogs) {
        if (slot == nullptr) {
            slot = w;
            return kStatusOk;
        }
    }
    return kStatusError;
}

void RegistryRemove(UiState* state, UiWindow* w) {
    for (void*& slot : state->dialogs) {
        if (slot == w) slot = nullptr;
    }
}

int32_t CountUserItems(const Ui_DlgTemplate* t) {
    int32_t n = 0;
    for (int32_t i = 0; i < t->itemCount; ++i) n += t->items[i].kind == kUiItemUser;
    return n;
}

template <typename Proc>
int32_t SetProc(UiWindow* dialog, Proc Ui_Dlg_Info::*field, Proc proc) {
    Ui_Dlg_Info* info = nullptr;
    int32_t status = Ui_Dlg_Info_Get(dialog, &info);
    if (status != kStatusOk) return status;
    info->*field = proc;
    return kStatusOk;
}

}  // namespace

Ui_Dlg* Ui_Dlg_Record(UiWindow* w) {
    if (w == nullptr) return nullptr;
    auto* d = static_cast<Ui_Dlg*>(w->userData);
    if (d == nullptr || d->tag != kUiDlgTag) return nullptr;
    return d;
}

bool Ui_Dlg_IsOpen(UiState* state, const void* window) {
    if (state == nullptr || window == nullptr) return false;
    for (void* slot : state->dialogs) {
        if (slot == window) return true;
    }
    return false;
}

int32_t Ui_Dlg_Get(UiWindow* dialog, Ui_Dlg** dlg) {
    if (dlg != nullptr) *dlg = nullptr;
    if (dialog == nullptr || dlg == nullptr) return kStatusProblem;
    *dlg = Ui_Dlg_Record(dialog);
    return *dlg != nullptr ? kStatusOk : kStatusError;
}

int32_t Ui_Dlg_Info_Get(UiWindow* dialog, Ui_Dlg_Info** info) {
    if (info != nullptr) *info = nullptr;
    if (dialog == nullptr || info == nullptr) return kStatusProblem;
    Ui_Dlg* d = Ui_Dlg_Record(dialog);
    if (d == nullptr || d->info == nullptr) return kStatusError;
    *info = d->info;
    return kStatusOk;
}

int32_t Ui_Dlg_SetIdleProc(UiWindow* dialog, UiIdleProc proc) {
    Ui_Dlg_Info* info = nullptr;
    int32_t status = Ui_Dlg_Info_Get(dialog, &info);
    if (status != kStatusOk) return status;
    // The timer belongs to the idle proc: it runs while one is set and the dialog is up. During
    // creation the timer is started once the init proc has returned.
    if (dialog->created && !dialog->ended) {
        if (proc != nullptr && info->idleProc == nullptr) {
            Ui_Binding()->setTimer(dialog, kUiIdleTimer, kUiIdleMillis);
        } else if (proc == nullptr && info->idleProc != nullptr) {
            Ui_Binding()->killTimer(dialog, kUiIdleTimer);
        }
    }
    info->idleProc = proc;
    return kStatusOk;
}

int32_t Ui_Dlg_SetItemHitProc(UiWindow* dialog, UiItemHitProc proc) {
    return SetProc(dialog, &Ui_Dlg_Info::itemHitProc, proc);
}
int32_t Ui_Dlg_SetModifierProc(UiWindow* dialog, UiModifierProc proc) {
    return SetProc(dialog, &Ui_Dlg_Info::modifierProc, proc);
}
int32_t Ui_Dlg_SetPreCursorProc(UiWindow* dialog, UiPreCursorProc proc) {
    return SetProc(dialog, &Ui_Dlg_Info::preCursorProc, proc);
}
int32_t Ui_Dlg_SetKeyProc(UiWindow* dialog, UiKeyProc proc) {
    return SetProc(dialog, &Ui_Dlg_Info::keyProc, proc);
}
int32_t Ui_Dlg_SetFirstPaintProc(UiWindow* dialog, UiFirstPaintProc proc) {
    return SetProc(dialog, &Ui_Dlg_Info::firstPaintProc, proc);
}
int32_t Ui_Dlg_SetTrackProc(UiWindow* dialog, UiTrackProc proc) {
    return SetProc(dialog, &Ui_Dlg_Info::trackProc, proc);
}
int32_t Ui_Dlg_SetResizeProc(UiWindow* dialog, UiResizeProc proc) {
    return SetProc(dialog, &Ui_Dlg_Info::resizeProc, proc);
}
int32_t Ui_Dlg_SetContextProc(UiWindow* dialog, UiContextProc proc) {
    return SetProc(dialog, &Ui_Dlg_Info::contextProc, proc);
}
int32_t Ui_Dlg_SetWheelProc(UiWindow* dialog, UiWheelProc proc) {
    return SetProc(dialog, &Ui_Dlg_Info::wheelProc, proc);
}

int32_t Ui_Dlg_SetDrawProc(UiWindow* dialog, int16_t item, UiDrawProc proc) {
    Ui_Dlg_Info* info = nullptr;
    int32_t status = Ui_Dlg_Info_Get(dialog, &info);
    if (status != kStatusOk) return status;
    Ui_Dlg* d = Ui_Dlg_Record(dialog);
    if (!(1 <= item && item <= d->itemCount) || info->drawProcs == nullptr) return kStatusProblem;
    info->drawProcs[item - 1] = proc;
    return kStatusOk;
}

int32_t Ui_Dlg_Create(UiWindow* w, Ui_Dlg* d) {
    const UiBinding* b = Ui_Binding();
    Ui_Dlg_Info* info = d->info;
    // Focus to the default button, else to the first control that takes the keyboard.
    int16_t focus = 0;
    for (int32_t i = 0; i < w->layout->itemCount && focus == 0; ++i) {
        if (w->layout->items[i].flags & kUiFlagDefault) focus = int16_t(i + 1);
    }
    for (int32_t i = 0; i < w->layout->itemCount && focus == 0; ++i) {
        const Ui_DlgItem& it = w->layout->items[i];
        bool takesKeys = it.kind == kUiItemButton || it.kind == kUiItemCheck ||
                         it.kind == kUiItemCombo || it.kind == kUiItemEdit;
        if (takesKeys && !(it.flags & (kUiFlagHidden | kUiFlagDisabled))) focus = int16_t(i + 1);
    }
    if (focus != 0) b->itemSetFocus(w, focus);

    int32_t status = RegistryAdd(d->state, w);
    if (status == kStatusOk) {
        d->itemCount = w->layout->itemCount;
        status = AllocateItemLists(info, d->itemCount);
    }
    if (status != kStatusOk) {
        Ui_Debug_Log(d->state->diagnostics, "Ui_Dlg: dialog creation failed");
        d->itemHit = 2;
        Ui_Dlg_End(w);
        return kStatusOk;
    }
    Ui_Rect outer{0, 0, 0, 0}, client{0, 0, 0, 0};
    b->getWindowRect(w, &outer);
    b->getClientRect(w, &client);
    d->bounds = outer;
    d->clientRect = client;
    d->clientRectForResize = client;
    d->state->parentWindow = w;  // nested dialogs and message boxes belong to this one now

    if (info->initProc != nullptr) {
        int32_t result = info->initProc(w);
        if (result != 0 && !d->done) {
            char line[80];
            Str_FormatN(line, sizeof line, "Ui_Dlg: init of dialog %d failed (%d)", d->dialogId,
                        result);
            Ui_Debug_Log(d->state->diagnostics, line);
            d->itemHit = 2;
            d->done = 1;
        }
        if (d->done) {
            Ui_Dlg_End(w);
            return kStatusOk;
        }
    }
    w->created = 1;
    if (info->idleProc != nullptr) b->setTimer(w, kUiIdleTimer, kUiIdleMillis);
    return kStatusOk;
}

int32_t Ui_Dlg_Run(UiState* state, int32_t dialogId, void* parent, UiInitProc init, void* userData,
                   int16_t* item) {
    return Ui_Dlg_RunTyped(state, dialogId, parent, init, userData, nullptr, item);
}

int32_t Ui_Dlg_RunTyped(UiState* state, int32_t dialogId, void* parent, UiInitProc init,
                        void* userData, const void* userType, int16_t* item) {
    if (state == nullptr || item == nullptr) return kStatusProblem;
    const UiBinding* b = Ui_Binding();
    char line[96];
    if (!b->interactive()) {
        Str_FormatN(line, sizeof line, "Ui_Dlg_Run: no display to show dialog %d", dialogId);
        Ui_Debug_Log(state->diagnostics, line);
        return kStatusUnsupported;
    }
    Ui_DlgTemplate* layout = nullptr;
    int32_t status = Ui_Template_Load(state, dialogId, &layout);
    if (status == kStatusNoMemory) return status;
    if (status == kStatusOk && CountUserItems(layout) > 0 && !Ui_Framework_ClassRegistered()) {
        Ui_Debug_Log(state->diagnostics, "Ui_Dlg_Run: the UiUserItem class is not registered");
        status = kStatusError;
    }
    if (status != kStatusOk) {
        Str_FormatN(line, sizeof line, "Ui_Dlg_Run: dialog %d cannot be made (%d)", dialogId,
                    status);
        Ui_Debug_Log(state->diagnostics, line);
        Ui_Template_Free(&layout);
        return kStatusError;
    }

    auto* w = static_cast<UiWindow*>(Mem_Alloc(sizeof(UiWindow)));
    auto* d = static_cast<Ui_Dlg*>(Mem_Alloc(sizeof(Ui_Dlg)));
    auto* info = static_cast<Ui_Dlg_Info*>(Mem_Alloc(sizeof(Ui_Dlg_Info)));
    if (w == nullptr || d == nullptr || info == nullptr) {
        Mem_Free(w);
        Mem_Free(d);
        Mem_Free(info);
        Ui_Template_Free(&layout);
        return kStatusNoMemory;
    }
    Mem_Fill(w, 0, sizeof *w);
    Mem_Fill(d, 0, sizeof *d);
    Mem_Fill(info, 0, sizeof *info);
    w->layout = layout;
    w->state = state;
    w->dialogId = dialogId;
    d->tag = kUiDlgTag;
    d->dialogId = dialogId;
    d->userData = userData;
    d->state = state;
    d->info = info;
    info->initProc = init;
    info->userType = userType;
    info->parentWindow = parent != nullptr ? parent : state->parentWindow;
    info->background =
        Ui_ColorFromRGB(kUiDefaultBackground.r, kUiDefaultBackground.g, kUiDefaultBackground.b);
    info->draw.font = kUiFontDialog;
    w->userData = d;

    int32_t alphabetWidth = 0, height = 0;
    status = b->fontMetrics(nullptr, layout->fontFace, layout->fontPoints, kUiFontDialog,
                            &alphabetWidth, &height);
    if (status == kStatusOk) status = Ui_BaseUnitsFromFont(alphabetWidth, height, &w->base);
    if (status == kStatusOk) status = Ui_Template_Layout(layout, &w->base);
    void* parentNative = nullptr;
    if (Ui_Dlg_IsOpen(state, info->parentWindow)) {
        parentNative = static_cast<UiWindow*>(info->parentWindow)->native;
    }
    if (status == kStatusOk) status = b->createWindow(w, parentNative);
    if (status != kStatusOk) {
        Str_FormatN(line, sizeof line, "Ui_Dlg_Run: window of dialog %d failed (%d)", dialogId,
                    status);
        Ui_Debug_Log(state->diagnostics, line);
        if (w->native != nullptr) b->destroyWindow(w);  // what a binding built before failing
        FreeDialog(w);
        return kStatusError;
    }
    for (int32_t i = 0; i < layout->itemCount; ++i) {
        if (layout->items[i].flags & kUiFlagDefault) w->defaultItem = int16_t(i + 1);
    }
    w->layoutWidth = int16_t(Ui_Rect_Width(&layout->client));
    w->layoutHeight = int16_t(Ui_Rect_Height(&layout->client));

    // Placed before the creation message, so that the bounds recorded at opening are where the
    // window is; an init proc that resizes the window places it itself.
    Ui_Dlg_Centre(w);
    Ui_Msg msg{};
    msg.kind = kUiMsgFontSet;
    msg.font = kUiFontDialog;
    Ui_Dlg_Proc(w, &msg, nullptr);
    msg.kind = kUiMsgCreate;
    Ui_Dlg_Proc(w, &msg, nullptr);
    if (!w->ended) b->runModal(w);
    // A binding whose loop stopped without an end (its window was destroyed) counts as cancel.
    if (!w->ended) {
        d->itemHit = 2;
        Ui_Dlg_End(w);
    }
    int16_t result = w->result;
    b->destroyWindow(w);
    FreeDialog(w);
    if (result < 1) return kStatusError;
    *item = result;
    return kStatusOk;
}

void* Ui_Dlg_UserDataOf(UiWindow* dialog, const void* userType) {
    Ui_Dlg* d = Ui_Dlg_Record(dialog);
    if (d == nullptr || userType == nullptr || d->info->userType != userType) return nullptr;
    return d->userData;
}

int32_t Ui_Dlg_Close(UiWindow* dialog, int16_t item) {
    if (dialog == nullptr) return kStatusProblem;
    Ui_Dlg* d = Ui_Dlg_Record(dialog);
    if (d == nullptr) return kStatusError;
    if (!(1 <= item && item <= d->itemCount)) return kStatusProblem;
    d->itemHit = item;
    d->done = 1;
    return kStatusOk;
}

int32_t Ui_Dlg_End(UiWindow* dialog) {
    if (dialog == nullptr) return kStatusProblem;
    Ui_Dlg* d = Ui_Dlg_Record(dialog);
    if (d == nullptr) return kStatusError;
    if (dialog->ended) return kStatusOk;
    const UiBinding* b = Ui_Binding();
    if (d->info->idleProc != nullptr) b->killTimer(dialog, kUiIdleTimer);
    if (d->state->parentWindow == dialog) d->state->parentWindow = d->info->parentWindow;
    RegistryRemove(d->state, dialog);
    d->done = 1;
    dialog->result = d->itemHit;
    dialog->ended = 1;
    return kStatusOk;
}

int32_t Ui_Dlg_Bounds_Get(UiWindow* dialog, Ui_Rect* bounds) {
    if (dialog == nullptr || bounds == nullptr) return kStatusProblem;
    Ui_Dlg* d = Ui_Dlg_Record(dialog);
    if (d == nullptr) return kStatusError;
    int32_t status = Ui_Binding()->getWindowRect(dialog, bounds);
    if (status != kStatusOk) return kStatusError;
    char line[80];
    Str_FormatN(line, sizeof line, "Ui_Dlg_Bounds_Get: %d,%d %d,%d", bounds->left, bounds->top,
                bounds->right, bounds->bottom);
    Ui_Debug_Log(d->state->diagnostics, line);
    return kStatusOk;
}

int32_t Ui_Dlg_Centre(UiWindow* dialog) {
    if (dialog == nullptr) return kStatusProblem;
    Ui_Dlg* d = Ui_Dlg_Record(dialog);
    if (d == nullptr) return kStatusError;
    const UiBinding* b = Ui_Binding();
    Ui_Rect outer, screen, parentRect, placed;
    if (b->getWindowRect(dialog, &outer) != kStatusOk || b->getScreenRect(&screen) != kStatusOk) {
        return kStatusError;
    }
    const Ui_Rect* parent = nullptr;
    // Only a dialog of ours has a rectangle the framework knows; a host window counts as none.
    if (Ui_Dlg_IsOpen(d->state, d->info->parentWindow) &&
        b->getWindowRect(static_cast<UiWindow*>(d->info->parentWindow), &parentRect) == kStatusOk) {
        parent = &parentRect;
    }
    int32_t status = Ui_Rect_CentreOver(&outer, parent, &screen, &placed);
    if (status != kStatusOk) return status;
    return b->setWindowRect(dialog, &placed) == kStatusOk ? kStatusOk : kStatusError;
}

int32_t Ui_Dlg_Relayout(UiWindow* dialog, const Ui_Rect* outer, int16_t grow) {
    if (dialog == nullptr || outer == nullptr) return kStatusProblem;
    if (Ui_Dlg_Record(dialog) == nullptr || dialog->layout == nullptr) return kStatusError;
    const UiBinding* b = Ui_Binding();
    Ui_Rect was, client;
    if (b->getWindowRect(dialog, &was) != kStatusOk ||
        b->getClientRect(dialog, &client) != kStatusOk) {
        return kStatusError;
    }
    const int32_t width = Ui_Rect_Width(outer) - (Ui_Rect_Width(&was) - Ui_Rect_Width(&client));
    const int32_t height = Ui_Rect_Height(outer) - (Ui_Rect_Height(&was) - Ui_Rect_Height(&client));
    Ui_DlgTemplate* layout = dialog->layout;
    int32_t status = Ui_Template_LayoutSized(layout, &dialog->base, width, height, grow);
    if (status != kStatusOk) return status;
    // The window first: a toolkit that rearranges children when their window changes size is
    // then overruled by the moves.
    status = b->setWindowRect(dialog, outer) == kStatusOk ? kStatusOk : kStatusError;
    for (int32_t i = 0; status == kStatusOk && i < layout->itemCount; ++i) {
        if (b->itemMove(dialog, int16_t(i + 1), &layout->items[i].pixels) != kStatusOk) {
            status = kStatusError;
        }
    }
    if (status == kStatusOk) {
        dialog->layoutWidth = int16_t(width);
        dialog->layoutHeight = int16_t(height);
    }
    // The dialog's layout stays the template's own: later size changes count from it.
    Ui_Template_Layout(layout, &dialog->base);
    return status;
}

int32_t Ui_Dlg_SizeChanged(UiWindow* w, uint8_t person) {
    Ui_Dlg* d = Ui_Dlg_Record(w);
    if (d == nullptr || w->layout == nullptr || w->ended) return kStatusError;
    const UiBinding* b = Ui_Binding();
    Ui_Dlg_Info* info = d->info;
    Ui_Rect outer, client;
    if (b->getWindowRect(w, &outer) != kStatusOk || b->getClientRect(w, &client) != kStatusOk) {
        return kStatusError;
    }
    const int32_t frameW = Ui_Rect_Width(&outer) - Ui_Rect_Width(&client);
    const int32_t frameH = Ui_Rect_Height(&outer) - Ui_Rect_Height(&client);
    int32_t width = Ui_Rect_Width(&client), height = Ui_Rect_Height(&client);
    int32_t minW = Ui_Rect_Width(&w->layout->client), minH = Ui_Rect_Height(&w->layout->client);
    if (person && info->resizable) {
        if (info->minWidth > minW) minW = info->minWidth;
        if (info->minHeight > minH) minH = info->minHeight;
        int32_t maxW = info->maxWidth, maxH = info->maxHeight;
        Ui_Rect work;
        if ((maxW <= 0 || maxH <= 0) && Ui_Screen_WorkArea(&work) == kStatusOk) {
            if (maxW <= 0) maxW = Ui_Rect_Width(&work) - frameW;
            if (maxH <= 0) maxH = Ui_Rect_Height(&work) - frameH;
        }
        if (maxW > 0 && width > maxW) width = maxW;
        if (maxH > 0 && height > maxH) height = maxH;
    } else if (person) {
        // A window the person may not resize keeps its size, whatever the window system did.
        minW = w->layoutWidth;
        minH = w->layoutHeight;
        width = minW;
        height = minH;
    }
    if (width < minW) width = minW;
    if (height < minH) height = minH;
    if (!(width <= 32767 - frameW && height <= 32767 - frameH)) return kStatusProblem;
    // A window that grew past the work area's right or bottom edge is pulled back onto it.
    int32_t left = outer.left, top = outer.top;
    Ui_Rect area;
    if (person && Ui_Screen_WorkArea(&area) == kStatusOk) {
        if (left + width + frameW > area.right) left = area.right - width - frameW;
        if (top + height + frameH > area.bottom) top = area.bottom - height - frameH;
        if (left < area.left) left = area.left;
        if (top < area.top) top = area.top;
    }
    if (width != Ui_Rect_Width(&client) || height != Ui_Rect_Height(&client) ||
        left != outer.left || top != outer.top) {
        if (!(left + width + frameW <= 32767 && top + height + frameH <= 32767)) {
            return kStatusProblem;
        }
        const Ui_Rect fixed = Ui_Rect_Make(top, left, top + height + frameH, left + width + frameW);
        if (b->setWindowRect(w, &fixed) != kStatusOk) return kStatusError;
    }
    if (width == w->layoutWidth && height == w->layoutHeight) return kStatusOk;
    int32_t status = kStatusOk;
    for (int16_t i = 1; i <= w->layout->itemCount; ++i) {
        Ui_Rect now, placed;
        if (b->itemGetRect(w, i, &now) != kStatusOk ||
            Ui_Template_Follow(w->layout, i, &now, w->layoutWidth, w->layoutHeight, width, height,
                               &placed) != kStatusOk ||
            b->itemMove(w, i, &placed) != kStatusOk) {
            status = kStatusError;
        }
    }
    w->layoutWidth = int16_t(width);
    w->layoutHeight = int16_t(height);
    b->invalidate(w, nullptr);
    if (info->resizeProc != nullptr) {
        int32_t result = info->resizeProc(w, int16_t(width), int16_t(height));
        if (result != 0) {
            char line[80];
            Str_FormatN(line, sizeof line, "Ui_Dlg: resize proc of dialog %d failed (%d)",
                        d->dialogId, result);
            Ui_Debug_Log(d->state->diagnostics, line);
        }
        if (d->done && !w->ended) Ui_Dlg_End(w);
    }
    return status;
}

namespace {

// Tells the window system the sizes a person may drag the frame to: the info's limits, the
// largest being the work area's less the frame when the owner gave none. The framework checks
// the limits again at every change, since the work area may change meanwhile.
int32_t ApplySizeRange(UiWindow* dialog, const Ui_Dlg_Info* info) {
    const UiBinding* b = Ui_Binding();
    int32_t maxW = info->maxWidth > 0 ? info->maxWidth : 32767;
    int32_t maxH = info->maxHeight > 0 ? info->maxHeight : 32767;
    Ui_Rect area, outer, client;
    if ((info->maxWidth <= 0 || info->maxHeight <= 0) && Ui_Screen_WorkArea(&area) == kStatusOk &&
        b->getWindowRect(dialog, &outer) == kStatusOk &&
        b->getClientRect(dialog, &client) == kStatusOk) {
        if (info->maxWidth <= 0) {
            maxW = Ui_Rect_Width(&area) - (Ui_Rect_Width(&outer) - Ui_Rect_Width(&client));
        }
        if (info->maxHeight <= 0) {
            maxH = Ui_Rect_Height(&area) - (Ui_Rect_Height(&outer) - Ui_Rect_Height(&client));
        }
    }
    if (maxW < info->minWidth) maxW = info->minWidth;
    if (maxH < info->minHeight) maxH = info->minHeight;
    return b->setSizeRange(dialog, info->minWidth, info->minHeight, int16_t(maxW), int16_t(maxH)) ==
                   kStatusOk
               ? kStatusOk
               : kStatusError;
}

}  // namespace

int32_t Ui_Dlg_SetResizable(UiWindow* dialog, int16_t minWidth, int16_t minHeight) {
    Ui_Dlg_Info* info = nullptr;
    int32_t status = Ui_Dlg_Info_Get(dialog, &info);
    if (status != kStatusOk) return status;
    if (dialog->layout == nullptr || minWidth < 0 || minHeight < 0) return kStatusProblem;
    int32_t minW = Ui_Rect_Width(&dialog->layout->client);
    int32_t minH = Ui_Rect_Height(&dialog->layout->client);
    if (minWidth > minW) minW = minWidth;
    if (minHeight > minH) minH = minHeight;
    info->resizable = 1;
    info->minWidth = int16_t(minW);
    info->minHeight = int16_t(minH);
    info->maxWidth = 0;
    info->maxHeight = 0;
    return ApplySizeRange(dialog, info);
}

int32_t Ui_Dlg_SetMaxSize(UiWindow* dialog, int16_t maxWidth, int16_t maxHeight) {
    Ui_Dlg_Info* info = nullptr;
    int32_t status = Ui_Dlg_Info_Get(dialog, &info);
    if (status != kStatusOk) return status;
    if (!info->resizable || maxWidth < 0 || maxHeight < 0) return kStatusProblem;
    info->maxWidth = maxWidth > 0 && maxWidth < info->minWidth ? info->minWidth : maxWidth;
    info->maxHeight = maxHeight > 0 && maxHeight < info->minHeight ? info->minHeight : maxHeight;
    status = ApplySizeRange(dialog, info);
    // A window already larger than the new limits is made smaller at once, as if the person had
    // dragged its frame there (its items follow and the resize proc hears of it).
    Ui_Rect client;
    if (status == kStatusOk && Ui_Binding()->getClientRect(dialog, &client) == kStatusOk &&
        ((info->maxWidth > 0 && Ui_Rect_Width(&client) > info->maxWidth) ||
         (info->maxHeight > 0 && Ui_Rect_Height(&client) > info->maxHeight))) {
        status = Ui_Dlg_SizeChanged(dialog, 1);
    }
    return status;
}

int32_t Ui_Dlg_Place(UiWindow* dialog, const Ui_Rect* outer) {
    if (dialog == nullptr || outer == nullptr) return kStatusProblem;
    if (Ui_Dlg_Record(dialog) == nullptr || dialog->layout == nullptr) return kStatusError;
    if (Ui_Rect_IsEmpty(outer)) return kStatusProblem;
    if (Ui_Binding()->setWindowRect(dialog, outer) != kStatusOk) return kStatusError;
    return Ui_Dlg_SizeChanged(dialog, 0);
}

int32_t Ui_Dlg_Resize(UiWindow* dialog, int16_t width, int16_t height) {
    if (dialog == nullptr) return kStatusProblem;
    if (Ui_Dlg_Record(dialog) == nullptr) return kStatusError;
    if (width < 1 || height < 1) return kStatusProblem;
    const UiBinding* b = Ui_Binding();
    Ui_Rect outer, client;
    if (b->getWindowRect(dialog, &outer) != kStatusOk ||
        b->getClientRect(dialog, &client) != kStatusOk) {
        return kStatusError;
    }
    const int32_t right = outer.left + width + (Ui_Rect_Width(&outer) - Ui_Rect_Width(&client));
    const int32_t bottom = outer.top + height + (Ui_Rect_Height(&outer) - Ui_Rect_Height(&client));
    if (right > 32767 || bottom > 32767) return kStatusProblem;
    const Ui_Rect placed = Ui_Rect_Make(outer.top, outer.left, bottom, right);
    return Ui_Dlg_Place(dialog, &placed);
}

int32_t Ui_Dlg_CentreOnScreen(UiWindow* dialog) {
    if (dialog == nullptr) return kStatusProblem;
    if (Ui_Dlg_Record(dialog) == nullptr) return kStatusError;
    const UiBinding* b = Ui_Binding();
    Ui_Rect outer, screen, placed;
    if (b->getWindowRect(dialog, &outer) != kStatusOk) return kStatusError;
    if (Ui_Screen_WorkArea(&screen) != kStatusOk && b->getScreenRect(&screen) != kStatusOk) {
        return kStatusError;
    }
    // The work area is both what the window is centred in and what it must stay on.
    int32_t status = Ui_Rect_CentreOver(&outer, &screen, &screen, &placed);
    if (status != kStatusOk) return status;
    return b->setWindowRect(dialog, &placed) == kStatusOk ? kStatusOk : kStatusError;
}

int32_t Ui_Dlg_UnitsToPixels(UiWindow* dialog, int32_t unitsH, int32_t unitsV, int32_t* pixelsH,
                             int32_t* pixelsV) {
    if (dialog == nullptr) return kStatusProblem;
    if (Ui_Dlg_Record(dialog) == nullptr) return kStatusError;
    if (!(-kUiMaxUnits * 8 <= unitsH && unitsH <= kUiMaxUnits * 8 && -kUiMaxUnits * 8 <= unitsV &&
          unitsV <= kUiMaxUnits * 8)) {
        return kStatusProblem;
    }
    if (pixelsH != nullptr) *pixelsH = Ui_MulDiv(unitsH, dialog->base.x, 4);
    if (pixelsV != nullptr) *pixelsV = Ui_MulDiv(unitsV, dialog->base.y, 8);
    return kStatusOk;
}

int32_t Ui_Dlg_ScalePixels(UiWindow* dialog, int32_t pixelsH, int32_t pixelsV, int32_t* scaledH,
                           int32_t* scaledV) {
    if (dialog == nullptr) return kStatusProblem;
    if (Ui_Dlg_Record(dialog) == nullptr) return kStatusError;
    if (!(-100000 <= pixelsH && pixelsH <= 100000 && -100000 <= pixelsV && pixelsV <= 100000)) {
        return kStatusProblem;
    }
    if (scaledH != nullptr) *scaledH = Ui_MulDiv(pixelsH, dialog->base.x, 6);
    if (scaledV != nullptr) *scaledV = Ui_MulDiv(pixelsV, dialog->base.y, 13);
    return kStatusOk;
}

int32_t Ui_Screen_WorkArea(Ui_Rect* area) {
    if (area == nullptr) return kStatusProblem;
    Ui_Rect r;
    if (Ui_Binding()->getWorkArea(&r) != kStatusOk || Ui_Rect_IsEmpty(&r)) return kStatusError;
    *area = r;
    return kStatusOk;
}

int32_t Ui_Dlg_SetTitle(UiWindow* dialog, const char* text) {
    if (dialog == nullptr || text == nullptr) return kStatusProblem;
    if (Ui_Dlg_Record(dialog) == nullptr) return kStatusError;
    return Ui_Binding()->setWindowText(dialog, text) == kStatusOk ? kStatusOk : kStatusError;
}

int32_t Ui_Dlg_GetSize(UiWindow* dialog, int16_t* width, int16_t* height) {
    if (dialog == nullptr || width == nullptr || height == nullptr) return kStatusProblem;
    if (Ui_Dlg_Record(dialog) == nullptr) return kStatusError;
    Ui_Rect r;
    if (Ui_Binding()->getWindowRect(dialog, &r) != kStatusOk) return kStatusError;
    *width = int16_t(Ui_Rect_Width(&r));
    *height = int16_t(Ui_Rect_Height(&r));
    return kStatusOk;
}

int32_t Ui_Dlg_SetSize(UiWindow* dialog, int16_t width, int16_t height) {
    if (dialog == nullptr) return kStatusProblem;
    if (Ui_Dlg_Record(dialog) == nullptr) return kStatusError;
    if (width < 1 || height < 1) return kStatusProblem;
    Ui_Rect r;
    const UiBinding* b = Ui_Binding();
    if (b->getWindowRect(dialog, &r) != kStatusOk) return kStatusError;
    if (r.left + int32_t(width) > 32767 || r.top + int32_t(height) > 32767) return kStatusProblem;
    r.right = int16_t(r.left + width);
    r.bottom = int16_t(r.top + height);
    return b->setWindowRect(dialog, &r) == kStatusOk ? kStatusOk : kStatusError;
}

int32_t Ui_Dlg_GetClientRect(UiWindow* dialog, Ui_Rect* rect) {
    if (dialog == nullptr || rect == nullptr) return kStatusProblem;
    if (Ui_Dlg_Record(dialog) == nullptr) return kStatusError;
    return Ui_Binding()->getClientRect(dialog, rect) == kStatusOk ? kStatusOk : kStatusError;
}

int32_t Ui_Dlg_Id(UiWindow* dialog) {
    Ui_Dlg* d = Ui_Dlg_Record(dialog);
    return d != nullptr ? d->dialogId : kStatusProblem;
}
