// Opens one of the module's dialogs through the Win32 binding and writes what came of it, for
// the window test under Wine (window_dialogs_test.sh), which drives the dialog with real X input
// and photographs it.
//
//   window_dialogs.exe SCENARIO RESULT_FILE
//
// Scenarios: "alert" (a two-button question), "about" (the about box), "open" (the file chooser
// with a prompt), "track" (the help dialog with its two user items drawn, the upper one tracked:
// every press, drag and release is written with the keys held then, and so is every key),
// "nested" (the help dialog asking a question from its first-paint proc), "inside" (the same with
// the help dialog made larger, so that the question lies wholly inside it).
// The result file gets "status S item I" and the scenario's own lines; it is written when the
// dialog has closed, so a test that finds it complete knows the dialog went away.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/alert.h"
#include "platform/paths.h"
#include "platform/resources.h"
#include "platform/ui/about_box.h"
#include "platform/ui/binding.h"
#include "platform/ui/choosers.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "platform/ui/draw.h"
#include "platform/ui/fltk/fltk.h"
#include "platform/ui/rect.h"
#include "platform/ui_state.h"

namespace {

std::string gLog;
int gIdle = 0;

void Note(const std::string& line) {
    gLog += line + "\n";
}

// The help dialog's two user items (2 and 3) serve as a canvas and a readout; its hidden check
// box (6) is shown with a text of the test's.
int32_t DrawCanvas(UiWindow* w, int16_t item) {
    Ui_Rect r;
    Ui_Item_GetRect(w, item, &r);
    Ui_Draw_Begin(w);
    if (item == 3) {
        // Reaching past the item's bottom: the item's paint is cut to the item, so none of this
        // red may show below it.
        Ui_Rect over = r;
        over.bottom = int16_t(over.bottom + 10);
        Ui_Color red = Ui_ColorFromRGB(255, 0, 0);
        Ui_Draw_FillRect(w, &over, &red);
    }
    Ui_Color fill = item == 2 ? Ui_ColorFromRGB(30, 90, 200) : Ui_ColorFromRGB(255, 255, 255);
    Ui_Draw_FillRect(w, &r, &fill);
    Ui_Color ink = item == 2 ? Ui_ColorFromRGB(255, 255, 255) : Ui_ColorFromRGB(0, 0, 0);
    Ui_Draw_SetPen(w, &ink, 1);
    Ui_Draw_TextAt(w, item == 2 ? "Drag here" : "Readout line", r.top + 2, r.left + 4,
                   kUiAlignLeft);
    Ui_Draw_End(w);
    return 0;
}

int32_t Track(UiWindow* w, int16_t item, int16_t phase) {
    Ui_Dlg* d = nullptr;
    Ui_Dlg_Get(w, &d);
    const char* names[] = {"begin", "drag", "end"};
    char line[96];
    std::snprintf(line, sizeof line, "%s item %d at %d,%d shift %d ctrl %d", names[phase], item,
                  d->mouseH, d->mouseV, d->shift, d->ctrl);
    Note(line);
    return 1;
}

int32_t Key(UiWindow*, uint8_t key, uint8_t ctrl) {
    char line[48];
    std::snprintf(line, sizeof line, "key %d ctrl %d", key, ctrl);
    Note(line);
    return 0;
}

int32_t Idle(UiWindow*) {
    ++gIdle;
    return 0;
}

int32_t ItemHit(UiWindow* w, int16_t item) {
    if (item == 1 || item == 2) Ui_Dlg_Close(w, item);
    return 0;
}

// A question asked as soon as the dialog is on the screen, as the editing window shows its
// start-up guide: a dialog opened from a proc of another, over it.
int32_t AskAtFirstPaint(UiWindow* w) {
    Ui_Dlg* d = nullptr;
    Ui_Dlg_Get(w, &d);
    int16_t answer = 0;
    Ui_Alert_Ask(d->state, "Asked over the help dialog?", nullptr, nullptr, 0, &answer);
    Note("nested answer " + std::to_string(answer));
    return 0;
}

int32_t InitNested(UiWindow* w) {
    Ui_Dlg_SetDrawProc(w, 2, DrawCanvas);
    Ui_Dlg_SetDrawProc(w, 3, DrawCanvas);
    Ui_Dlg_SetItemHitProc(w, ItemHit);
    Ui_Dlg_SetFirstPaintProc(w, AskAtFirstPaint);
    return 0;
}

// The help dialog made larger than the question asked over it, so that the question lies wholly
// inside it, as the editing window's own dialogs lie inside the editing window.
int32_t InitInside(UiWindow* w) {
    InitNested(w);
    Ui_Rect client;
    Ui_Dlg_GetClientRect(w, &client);
    Ui_Dlg_SetSize(w, int16_t(Ui_Rect_Width(&client) + 400),
                   int16_t(Ui_Rect_Height(&client) + 450));
    return 0;
}

int32_t InitTrack(UiWindow* w) {
    Ui_Dlg_SetDrawProc(w, 2, DrawCanvas);
    Ui_Dlg_SetDrawProc(w, 3, DrawCanvas);
    Ui_Dlg_SetTrackProc(w, Track);
    Ui_Dlg_SetKeyProc(w, Key);
    Ui_Dlg_SetIdleProc(w, Idle);
    Ui_Dlg_SetItemHitProc(w, ItemHit);
    Ui_Item_Show(w, 6, 1);
    Ui_Item_SetText(w, 6, "Shown by the test");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: window_dialogs SCENARIO RESULT_FILE\n");
        return 2;
    }
    const std::string scenario = argv[1];
    if (Ui_Fltk_Install() != 0) {
        std::fprintf(stderr, "window_dialogs: no desktop to show windows on\n");
        return 3;
    }
    UiState* state = nullptr;
    if (Ui_State_Open(&state, Res_ModuleArchive(), nullptr, 1000, 0) != 0) return 4;
    int32_t status = -99;
    int16_t item = 0;
    if (scenario == "alert") {
        status = Ui_Alert_Ask(state, "Keep the changes to the correction?", "Save changes now",
                              nullptr, 0, &item);
    } else if (scenario == "about") {
        char version[256];
        Ui_ResToCString(state, 1005, version);
        Ui_AboutRecord about{1000, version, 1000, 1019, 3, -1, nullptr};
        status = Ui_About_Run(state, &about, &item);
    } else if (scenario == "open") {
        char path[kPathSize] = "";
        status = Ui_Choose_Open(state, "Open a Test File", "Test file:", nullptr, 6900, path);
        Note(std::string("path ") + path);
    } else if (scenario == "nested") {
        status = Ui_Dlg_Run(state, 1002, nullptr, InitNested, nullptr, &item);
    } else if (scenario == "inside") {
        status = Ui_Dlg_Run(state, 1002, nullptr, InitInside, nullptr, &item);
    } else if (scenario == "track") {
        status = Ui_Dlg_Run(state, 1002, nullptr, InitTrack, nullptr, &item);
        Note("idle " + std::string(gIdle > 0 ? "ticked" : "never"));
    } else {
        std::fprintf(stderr, "window_dialogs: unknown scenario %s\n", scenario.c_str());
    }
    Ui_State_Close(&state);
    FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) return 5;
    std::fprintf(out, "status %d item %d\n%s", int(status), int(item), gLog.c_str());
    std::fclose(out);
    return 0;
}
