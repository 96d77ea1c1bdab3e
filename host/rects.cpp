// Rectangle accessors; see rects.h.
#include "host/rects.h"

namespace {

bool Uses32Bit(const FilterRecord* record) {
    return record->bigDocumentData != nullptr &&
           record->bigDocumentData->PluginUsing32BitCoordinates != 0;
}

VRect Widen(const Rect& r) {
    return VRect{r.top, r.left, r.bottom, r.right};
}

// The 16-bit fields keep the low 16 bits of each value, as the host's own narrowing does.
Rect Narrow(const VRect& r) {
    return Rect{int16(r.top), int16(r.left), int16(r.bottom), int16(r.right)};
}

}  // namespace

VRect GetFilterRect(const FilterRecord* record) {
    return Uses32Bit(record) ? record->bigDocumentData->filterRect32 : Widen(record->filterRect);
}

VRect GetInRect(const FilterRecord* record) {
    return Uses32Bit(record) ? record->bigDocumentData->inRect32 : Widen(record->inRect);
}

VRect GetOutRect(const FilterRecord* record) {
    return Uses32Bit(record) ? record->bigDocumentData->outRect32 : Widen(record->outRect);
}

VRect GetMaskRect(const FilterRecord* record) {
    return Uses32Bit(record) ? record->bigDocumentData->maskRect32 : Widen(record->maskRect);
}

void SetInRect(FilterRecord* record, const VRect& rect) {
    if (Uses32Bit(record)) {
        record->bigDocumentData->inRect32 = rect;
    } else {
        record->inRect = Narrow(rect);
    }
}

void SetOutRect(FilterRecord* record, const VRect& rect) {
    if (Uses32Bit(record)) {
        record->bigDocumentData->outRect32 = rect;
    } else {
        record->outRect = Narrow(rect);
    }
}

void SetMaskRect(FilterRecord* record, const VRect& rect) {
    if (Uses32Bit(record)) {
        record->bigDocumentData->maskRect32 = rect;
    } else {
        record->maskRect = Narrow(rect);
    }
}
