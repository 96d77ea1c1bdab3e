// The automatic settings as the editing window runs them; see window_auto_settings.h.
#include "edit/window/window_auto_settings.h"

#include "edit/keenhue.h"
#include "edit/prefs.h"
#include "edit/window/window_env.h"
#include "edit/window/window_record.h"
#include "platform/alert.h"
#include "resources/ids/strings.h"

namespace {

// The groups of the tools right of each tab: what Keenhue Mode sets again after a change there.
constexpr HgEditMask kRightOfTab[4] = {kEditMaskFromTool2, kEditMaskFromTool3, kEditMaskFromTool4,
                                       0};

}  // namespace

int32_t EditorAutoSettings(EditingWindow* win, HgEditMask mask, Ui_Failure* failure) {
    EditState* es = win->es;
    const HgEditMask m = HgEditMask(mask & es->keenhueMask);
    int32_t status = ResetEditStatePars(es, m);
    if (status == kStatusOk) {
        status = AutoSettings(es, m, &es->analysisImage, PrefsThreadCount(win->env->prefs));
    }
    return Ui_Failure_Describe(failure, status, kPhraseAutoSettings);
}

int32_t EditorKeenhueModeFollows(EditingWindow* win, int32_t tab, Ui_Failure* failure) {
    if (win->keenhueMode == 0 || !(0 <= tab && tab <= 3) || kRightOfTab[tab] == 0) {
        return kStatusOk;
    }
    return EditorAutoSettings(win, kRightOfTab[tab], failure);
}
