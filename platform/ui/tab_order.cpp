// Reading order for Tab; see tab_order.h.
#include "platform/ui/tab_order.h"

#include <algorithm>

#include "platform/ui/binding.h"
#include "platform/ui/dlg_template.h"

namespace {

// More items than any dialog has; the rest would simply not be reached by Tab.
constexpr int32_t kMaxEntries = 256;

struct Entry {
    int16_t item;
    Ui_Rect r;
    bool stop;  // Tab may stop here (or the focus is here)
};

bool ByTop(const Entry& a, const Entry& b) {
    if (a.r.top != b.r.top) return a.r.top < b.r.top;
    if (a.r.left != b.r.left) return a.r.left < b.r.left;
    return a.item < b.item;
}

bool ByLeft(const Entry& a, const Entry& b) {
    if (a.r.left != b.r.left) return a.r.left < b.r.left;
    if (a.r.top != b.r.top) return a.r.top < b.r.top;
    return a.item < b.item;
}

// Sorts the entries with less and finds the widest empty band between them along that axis:
// returns the index the part after the band starts at (0: no band) and its width in *gap.
int32_t WidestBand(Entry* e, int32_t n, bool rows, int32_t* gap) {
    std::sort(e, e + n, rows ? ByTop : ByLeft);
    int32_t split = 0;
    *gap = 0;
    int32_t reach = rows ? e[0].r.bottom : e[0].r.right;  // the far edge of everything so far
    for (int32_t i = 1; i < n; ++i) {
        const int32_t start = rows ? e[i].r.top : e[i].r.left;
        if (start - reach > *gap) {
            *gap = start - reach;
            split = i;
        }
        reach = std::max(reach, int32_t(rows ? e[i].r.bottom : e[i].r.right));
    }
    return split;
}

// Orders e[0..n) in place: the block cuts of tab_order.h, each part ordered the same way.
void OrderBlock(Entry* e, int32_t n, int32_t rowGap) {
    if (n < 2) return;
    int32_t gap = 0;
    int32_t split = WidestBand(e, n, true, &gap);
    if (split == 0 || gap < rowGap) {
        int32_t columnGap = 0;
        const int32_t columnSplit = WidestBand(e, n, false, &columnGap);
        if (columnSplit != 0) {
            split = columnSplit;
        } else {
            split = WidestBand(e, n, true, &gap);
            // Overlapping in both directions: top to bottom, then left to right.
            if (split == 0) return;
        }
    }
    OrderBlock(e, split, rowGap);
    OrderBlock(e + split, n - split, rowGap);
}

// Every item shown takes part in the cuts; the order keeps the stops, and the item with the focus
// even when it is of no kind Tab stops at (a user item), so that Tab goes on from where it is.
int32_t Collect(UiWindow* w, UiTabShownProc shown, int16_t current, Entry* e) {
    if (w == nullptr || w->layout == nullptr || shown == nullptr) return 0;
    const UiBinding* b = Ui_Binding();
    int32_t n = 0;
    for (int32_t i = 0; i < w->layout->itemCount && n < kMaxEntries; ++i) {
        const int16_t item = int16_t(i + 1);
        const UiTabShown state = shown(w, item);
        if (state == kUiTabHidden && item != current) continue;
        Ui_Rect r = w->layout->items[i].pixels;
        if (b != nullptr && b->itemGetRect != nullptr) b->itemGetRect(w, item, &r);
        const Ui_DlgItem& it = w->layout->items[i];
        const bool stop = state == kUiTabEnabled &&
                          (Ui_Tab_TakesFocus(it.kind) ||
                           (it.kind == kUiItemUser && (it.flags & kUiFlagTabStop) != 0));
        e[n++] = Entry{item, r, stop || item == current};
    }
    // Rows cut at kUiTabRowGapUnits dialog units; a dialog unit is an eighth of the font height.
    OrderBlock(e, n, std::max(1, kUiTabRowGapUnits * w->base.y / 8));
    // Only what Tab may reach stays, in that order.
    int32_t kept = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (e[i].stop) e[kept++] = e[i];
    }
    return kept;
}

}  // namespace

bool Ui_Tab_TakesFocus(uint8_t kind) {
    return kind == kUiItemButton || kind == kUiItemCheck || kind == kUiItemCombo ||
           kind == kUiItemEdit;
}

int32_t Ui_Tab_Order(UiWindow* w, UiTabShownProc shown, int16_t* order, int32_t capacity) {
    Entry e[kMaxEntries];
    const int32_t n = Collect(w, shown, 0, e);
    for (int32_t i = 0; i < n && i < capacity; ++i) order[i] = e[i].item;
    return n;
}

int16_t Ui_Tab_Next(UiWindow* w, UiTabShownProc shown, int16_t current, bool backwards) {
    Entry e[kMaxEntries];
    const int32_t n = Collect(w, shown, current, e);
    int32_t at = -1;
    for (int32_t i = 0; i < n; ++i) {
        if (e[i].item == current) at = i;
    }
    const int32_t step = backwards ? -1 : 1;
    if (at < 0) at = backwards ? n : -1;
    for (int32_t k = 1; k <= n; ++k) {
        const Entry& next = e[((at + step * k) % n + n) % n];
        if (next.item == current) continue;  // itself, or a user item that has the focus
        return next.item;
    }
    return 0;
}
