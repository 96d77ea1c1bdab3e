// The host's rectangles. Every rectangle exchanged with the host goes through these accessors:
// they read and write the 32-bit fields of bigDocumentData when the host offers them and the
// module has said it uses them, and the 16-bit fields otherwise.
#pragma once

#include "hostsdk/filter_record.h"

VRect GetFilterRect(const FilterRecord* record);
VRect GetInRect(const FilterRecord* record);
VRect GetOutRect(const FilterRecord* record);
VRect GetMaskRect(const FilterRecord* record);
void SetInRect(FilterRecord* record, const VRect& rect);
void SetOutRect(FilterRecord* record, const VRect& rect);
void SetMaskRect(FilterRecord* record, const VRect& rect);
