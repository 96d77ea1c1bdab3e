// The about box; see about_box.h.
#include "platform/ui/about_box.h"

#include "platform/format.h"
#include "platform/resources.h"
#include "platform/ui/controls.h"
#include "platform/ui/draw.h"
#include "platform/ui/system.h"
#include "resources/ids/dlg_about.h"
#include "resources/ids/strings.h"

namespace {

// The legal notice: the strings from kStrLegal1 on.
constexpr int32_t kLegalLines = 4;
constexpr int32_t kTopMargin = 8;

struct About {
    const Ui_AboutRecord* record;
    UiState* state;
    uint32_t openedAt;  // tick count at opening
};

About* AboutOf(UiWindow* w) {
    return Ui_Dlg_UserData<About>(w);
}

int32_t DrawUpper(UiWindow* w, int16_t item) {
    About* about = AboutOf(w);
    Ui_Rect r;
    if (about == nullptr || Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    int32_t status = Ui_Draw_Bitmap(w, about->record->bitmapId, &r, kUiAlignCenter);
    Ui_Draw_End(w);
    return status;
}

int32_t DrawLower(UiWindow* w, int16_t item) {
    About* about = AboutOf(w);
    Ui_Rect r;
    if (about == nullptr || Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    const Ui_AboutRecord* a = about->record;
    int32_t notices = a->noticeLines > 0 ? a->noticeLines : 0;
    int32_t lineHeight = (notices == 1 || notices == 2) ? 16 : 14;
    int16_t middle = int16_t(r.left + (r.right - r.left) / 2);
    auto line = [&](int32_t n, const char* text) {
        int32_t v = r.top + kTopMargin + (n - 1) * lineHeight;
        if (text[0] != 0 && v < r.bottom)
            Ui_Draw_TextAt(w, text, int16_t(v), middle, kUiAlignCenter);
    };
    char text[300], format[256];
    Ui_ResToCString(about->state, kStrVersionLine, format);
    Str_FormatPhrase(text, sizeof text, format, 0, a->version);
    line(1, text);
    if (notices == 0) {
        if (a->extraDraw != nullptr) a->extraDraw(w, item);
    } else {
        for (int32_t i = 0; i < kLegalLines; ++i) {
            line(4 + i, Ui_ResToCString(about->state, kStrLegal1 + i, format));
        }
        for (int32_t i = 0; i < notices; ++i) {
            line(9 + i, Ui_ResToCString(about->state, a->noticeId + i, format));
        }
    }
    Ui_Draw_End(w);
    return kStatusOk;
}

int32_t ItemHit(UiWindow* w, int16_t item) {
    if (kAboutOk <= item && item <= kAboutLower) return Ui_Dlg_Close(w, item);
    return kStatusOk;
}

int32_t Idle(UiWindow* w) {
    About* about = AboutOf(w);
    if (about == nullptr) return 0;
    uint32_t seconds = (Ui_TickCount() - about->openedAt) / 1000;
    if (seconds > uint32_t(about->record->autoCloseSeconds)) {
        Ui_Dlg_Close(w, kAboutOk);
        return 1;
    }
    return 0;
}

int32_t Init(UiWindow* w) {
    About* about = AboutOf(w);
    if (about == nullptr) return kStatusProblem;
    char name[256], pattern[256], title[300];
    Ui_ResToCString(about->state, about->record->appNameId, name);
    Ui_ResToCString(about->state, kStrAboutTitle, pattern);
    Str_FormatPhrase(title, sizeof title, pattern, 0, name);
    Ui_Dlg_SetTitle(w, title);
    Ui_Item_SetDefault(w, kAboutOk);
    Ui_Color white = Ui_ColorFromRGB(255, 255, 255);
    Ui_Draw_SetBackColor(w, &white);
    Ui_Dlg_SetDrawProc(w, kAboutUpper, DrawUpper);
    Ui_Dlg_SetDrawProc(w, kAboutLower, DrawLower);
    Ui_Dlg_SetItemHitProc(w, ItemHit);
    about->openedAt = Ui_TickCount();
    if (about->record->autoCloseSeconds >= 0) Ui_Dlg_SetIdleProc(w, Idle);
    return kStatusOk;
}

}  // namespace

int32_t Ui_About_Run(UiState* state, const Ui_AboutRecord* about, int16_t* item) {
    if (state == nullptr || about == nullptr || item == nullptr) return kStatusProblem;
    About context{about, state, 0};
    return Ui_Dlg_Run(state, kDlgAbout, nullptr, Init, &context, item);
}
