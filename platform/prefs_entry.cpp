// Element sizes of preferences entries; see prefs_entry.h.
#include "platform/prefs_entry.h"

uint32_t Ui_Prefs_ElementSize(uint16_t type) {
    switch (type) {
        case kPrefsTypeBytes:
            return 1;
        case kPrefsTypeInt16:
            return 2;
        case kPrefsTypeInt32:
        case kPrefsTypeFloatBin:
        case kPrefsTypeFloatDec:
            return 4;
        default:
            return 0;
    }
}
