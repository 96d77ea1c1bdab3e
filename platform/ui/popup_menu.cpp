// Pop-up menus; see popup_menu.h.
#include "platform/ui/popup_menu.h"

#include "platform/resources.h"
#include "platform/status.h"
#include "platform/ui/binding.h"

int32_t Ui_Menu_PopUp(UiWindow* w, int16_t v, int16_t h, const Ui_MenuEntry* entries, int32_t count,
                      int32_t* chosen) {
    if (chosen == nullptr) return kStatusProblem;
    *chosen = -1;
    if (w == nullptr || entries == nullptr || !(1 <= count && count <= kUiMenuMaxEntries)) {
        return kStatusProblem;
    }
    const UiBinding* b = Ui_Binding();
    if (b->popupMenu == nullptr) return kStatusError;
    char texts[kUiMenuMaxEntries][256];
    Ui_MenuItem items[kUiMenuMaxEntries];
    for (int32_t i = 0; i < count; ++i) {
        Ui_ResToCString(w->state, entries[i].textId, texts[i]);
        items[i] = Ui_MenuItem{texts[i], entries[i].mark, entries[i].enabled};
    }
    int32_t answer = -1;
    const int32_t status = b->popupMenu(w, v, h, items, count, &answer);
    if (status != kStatusOk) return status == kStatusCancelled ? kStatusOk : kStatusError;
    if (0 <= answer && answer < count && entries[answer].enabled) *chosen = answer;
    return kStatusOk;
}
