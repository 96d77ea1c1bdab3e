// Shared fixture for the dialog framework's tests: the headless binding with a script, a call
// state over the module's resources plus the test dialog below, a trace of proc calls, and the
// check that every run gives back all the memory it took.
//
// Test dialog 9000 (6 x 13 base units, so x units * 1.5 and y units * 1.625 give pixels):
//   1 button "OK" (default)   2 button "Cancel"   3 check "Check"   4 user item
//   5 edit "abc"              6 combo              7 static "Label"  8 check "Auto" (auto)
//   9 user item
// Test dialog 9001, 9 points (7 x 15 base units), 240 x 160 units = 420 x 300 pixels, with
// anchors: 1 "OK" and 2 "Cancel" (right, bottom), 3 user item with a border (stretches both
// ways), 4 check "Box", 5 user item with a border, 7 edit and 8 static "Text" (right, centred),
// 6 static "Status" (left, bottom).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/resources.h"
#include "platform/ui/binding.h"
#include "platform/ui/dlg.h"
#include "platform/ui/headless/headless.h"
#include "tests/platform/test_support.h"

namespace ui_testing {

constexpr int32_t kTestDialog = 9000;
constexpr int32_t kResizableDialog = 9001;

// The module's resources with the test dialog added (built once, kept for the process).
const ResArchive* TestArchive();

// Script events.
UiScriptEvent Click(int16_t item);
UiScriptEvent Select(int16_t item, int32_t entry);
UiScriptEvent Notify(int16_t item, int32_t code);
// The person types so that the edit field holds text (kept by pointer: a literal).
UiScriptEvent Type(int16_t item, const char* text);
UiScriptEvent Key(int32_t key, int16_t item = 0, uint8_t ctrl = 0, uint8_t alt = 0);
UiScriptEvent Press(int16_t item, int16_t v, int16_t h);
// The second press of a double-click at (v, h) (the first is a Press and Release there).
UiScriptEvent DoublePress(int16_t item, int16_t v, int16_t h);
UiScriptEvent Drag(int16_t v, int16_t h);
UiScriptEvent Release(int16_t v, int16_t h);
UiScriptEvent Move(int16_t v, int16_t h);
UiScriptEvent Idle(int32_t ticks);
UiScriptEvent Choose(const char* path);
// The right button on an item (0: the dialog) at (v, h), at its centre when both are -1.
UiScriptEvent Context(int16_t item, int16_t v = -1, int16_t h = -1);
// The answer to the pop-up menu that opens: the 1-based entry, 0 to dismiss it.
UiScriptEvent MenuChoice(int32_t entry);
// The wheel turns steps notches (positive towards the person) over item (0: none) at (v, h).
UiScriptEvent Wheel(int16_t item, int16_t v, int16_t h, int32_t steps);
// The person drags the window's frame to a client area width x height.
UiScriptEvent Resize(int16_t width, int16_t height);
UiScriptEvent KeyDown(int32_t key);
UiScriptEvent KeyUp(int32_t key);
// The event with these modifier keys held.
UiScriptEvent Holding(UiScriptEvent e, uint8_t ctrl, uint8_t alt, uint8_t shift);
// Runs fn with the open dialog when the script reaches it.
UiScriptEvent Call(std::function<void(UiWindow*)> fn);
// The event, for the dialog with the given id only.
UiScriptEvent For(int32_t dialogId, UiScriptEvent e);

// The trace the recording procs write to, one entry a call.
extern std::vector<std::string> gTrace;
std::string Joined(const std::vector<std::string>& parts);
// "top,left,bottom,right".
std::string RectText(const Ui_Rect& r);

class UiTest : public testing_support::PlatformTest {
   protected:
    void SetUp() override;
    void TearDown() override;

    // Hands the script to the headless binding; an empty script is still a script (a dialog
    // closes at once, a chooser is cancelled), not the unattended mode.
    void SetScript(std::vector<UiScriptEvent> script);
    // Runs a dialog with the script; returns Ui_Dlg_Run's status and stores the item.
    int32_t Run(int32_t dialogId, UiInitProc init, void* userData,
                std::vector<UiScriptEvent> script, int16_t* item);
    // The dialog that closed last, as the headless binding kept it.
    const UiHeadlessWindow* Closed() const { return Ui_Headless_LastClosed(); }
    // The log lines that contain text.
    std::vector<std::string> LogWith(const std::string& text) const;

    UiState* state_ = nullptr;
    std::vector<UiScriptEvent> script_;

   private:
    uint32_t blocksAtStart_ = 0;
};

// The record of an open dialog (fails the test when there is none).
Ui_Dlg* Record(UiWindow* dialog);

// A draw proc that outlines its item in kOutline and writes the item's number in its corner, so
// that a screenshot shows where every item lies.
constexpr Ui_RGB kOutline{70, 110, 170};
int32_t OutlineItem(UiWindow* dialog, int16_t item);

// An archive of the module's resources with extra entries added or replaced.
struct ExtraResource {
    uint32_t type;
    uint32_t id;
    std::string data;
};
std::vector<uint8_t> ArchiveWith(const std::vector<ExtraResource>& extra);

// A BMP file: 24-bit when palette is empty, else 8-bit with indices in pixels; rows top first.
std::string MakeBmp(int width, int height, const std::vector<uint32_t>& pixels,
                    const std::vector<uint32_t>& palette, bool topDown = false);

}  // namespace ui_testing
