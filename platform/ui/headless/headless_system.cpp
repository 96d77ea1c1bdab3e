// The headless binding's system services: cursors (counted, not shown), beeps (counted), file
// choosers (answered by the script, cancelled without one) and web pages (remembered). What they
// saw is read by tests through the Ui_Headless_ functions. See headless_internal.h for the other
// parts of the binding.
#include <cstdio>

#include "platform/ui/draw.h"
#include "platform/mem.h"
#include "platform/paths.h"
#include "platform/ui/headless/headless_internal.h"

namespace kolmara_headless {

namespace {

char gLastUrl[kPathSize] = "";
UiHeadlessChooser gLastChooser{};
UiHeadlessMenu gLastMenu{};
int32_t gMenuCalls = 0;
int32_t gBeeps = 0, gCursorLoads = 0, gChooserCalls = 0;
uint32_t gCursorKind = 0;

struct HeadlessCursor {
    int16_t hotV, hotH;
};

int32_t CursorLoad(const Ui_Offscreen*, int16_t hotV, int16_t hotH, void** cursor) {
    auto* c = static_cast<HeadlessCursor*>(Mem_Alloc(sizeof(HeadlessCursor)));
    if (c == nullptr) return kStatusNoMemory;
    c->hotV = hotV;
    c->hotH = hotH;
    ++gCursorLoads;
    *cursor = c;
    return kStatusOk;
}

void CursorFree(void* cursor) {
    Mem_Free(cursor);
}

int32_t CursorShow(UiState*, uint32_t kind, void*) {
    gCursorKind = kind;
    return kStatusOk;
}

void Beep() {
    ++gBeeps;
}

void RememberChooser(const Ui_ChooserRequest* request, const char* offered) {
    UiHeadlessChooser& c = gLastChooser;
    c = UiHeadlessChooser{};
    Str_CopyBounded(c.offered, sizeof c.offered, offered);
    c.kind = request->kind;
    c.filterIndex = request->filterIndex;
    c.confirmOverwrite = request->confirmOverwrite;
    Str_CopyBounded(c.title, sizeof c.title, request->title != nullptr ? request->title : "");
    Str_CopyBounded(c.folder, sizeof c.folder, request->folder != nullptr ? request->folder : "");
    Str_CopyBounded(c.defaultExt, sizeof c.defaultExt,
                    request->defaultExt != nullptr ? request->defaultExt : "");
    Str_CopyBounded(c.prompt, sizeof c.prompt, request->prompt != nullptr ? request->prompt : "");
    if (request->filters == nullptr) return;
    Str_CopyBounded(c.firstFilter, sizeof c.firstFilter, request->filters);
    // Walk the NUL-separated pairs to the pattern of the chosen one.
    const char* p = request->filters;
    for (int32_t pair = 1; *p != 0; ++pair) {
        const char* pattern = p + Str_Length(p) + 1;
        if (pair == request->filterIndex) {
            Str_CopyBounded(c.lastPattern, sizeof c.lastPattern, pattern);
            break;
        }
        p = pattern + Str_Length(pattern) + 1;
    }
}

int32_t Choose(UiState*, const Ui_ChooserRequest* request, char* path) {
    ++gChooserCalls;
    RememberChooser(request, path);
    if (!Scripted()) {
        std::fprintf(stderr, "No display to choose a file on: cancelled.\n");
        return kStatusCancelled;
    }
    const UiScriptEvent* answer = TakeChooserAnswer();
    if (answer == nullptr || answer->text == nullptr) return kStatusCancelled;
    const UiScriptEvent& e = *answer;
    Str_CopyBounded(path, kPathSize, e.text);
    if (request->chosenFilter != nullptr) {
        *request->chosenFilter = e.value > 0 ? e.value : request->filterIndex;
    }
    if (request->kind == kUiChooseSave && request->defaultExt != nullptr) {
        Ui_Path_AddDefaultExtension(path, kPathSize, request->defaultExt);
    }
    return kStatusOk;
}

int32_t OpenUrl(const char* url, int32_t* code) {
    *code = 0;
    if (!Scripted()) return kStatusError;  // there is no desktop to open it on
    Str_CopyBounded(gLastUrl, sizeof gLastUrl, url);
    return kStatusOk;
}

// The menu is recorded for the tests and answered by the script's next event when that is a menu
// answer; else (or without a script) it is dismissed, as by a click elsewhere.
int32_t PopupMenu(UiWindow*, int16_t v, int16_t h, const Ui_MenuItem* items, int32_t count,
                  int32_t* chosen) {
    *chosen = -1;
    ++gMenuCalls;
    gLastMenu = UiHeadlessMenu{};
    gLastMenu.count = count < 12 ? count : 12;
    gLastMenu.v = v;
    gLastMenu.h = h;
    for (int32_t i = 0; i < gLastMenu.count; ++i) {
        Str_CopyBounded(gLastMenu.text[i], sizeof gLastMenu.text[i], items[i].text);
        gLastMenu.mark[i] = items[i].mark;
        gLastMenu.enabled[i] = items[i].enabled;
    }
    const UiScriptEvent* answer = Scripted() ? TakeMenuAnswer() : nullptr;
    if (answer == nullptr || answer->value == 0) return kStatusCancelled;
    if (!(1 <= answer->value && answer->value <= count) || !items[answer->value - 1].enabled) {
        Refuse("menu entry that cannot be chosen");
        return kStatusCancelled;
    }
    *chosen = answer->value - 1;
    return kStatusOk;
}

}  // namespace

void FillSystemOps(UiBinding* b) {
    b->cursorLoad = CursorLoad;
    b->cursorFree = CursorFree;
    b->cursorShow = CursorShow;
    b->beep = Beep;
    b->choose = Choose;
    b->openUrl = OpenUrl;
    b->popupMenu = PopupMenu;
}

void ResetSystem() {
    gLastUrl[0] = 0;
    gBeeps = 0;
    gCursorLoads = 0;
    gCursorKind = 0;
    gChooserCalls = 0;
    gLastChooser = UiHeadlessChooser{};
    gLastMenu = UiHeadlessMenu{};
    gMenuCalls = 0;
}

}  // namespace kolmara_headless

const char* Ui_Headless_LastUrl() {
    return kolmara_headless::gLastUrl;
}
int32_t Ui_Headless_Beeps() {
    return kolmara_headless::gBeeps;
}
int32_t Ui_Headless_CursorLoads() {
    return kolmara_headless::gCursorLoads;
}
uint32_t Ui_Headless_CursorKind() {
    return kolmara_headless::gCursorKind;
}
int32_t Ui_Headless_ChooserCalls() {
    return kolmara_headless::gChooserCalls;
}
const UiHeadlessChooser* Ui_Headless_LastChooser() {
    return &kolmara_headless::gLastChooser;
}
const UiHeadlessMenu* Ui_Headless_LastMenu() {
    return &kolmara_headless::gLastMenu;
}
int32_t Ui_Headless_MenuCalls() {
    return kolmara_headless::gMenuCalls;
}
