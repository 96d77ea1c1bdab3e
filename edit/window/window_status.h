// The editing window's status area: what the window is busy with, or the zoom of the preview.
#pragma once

#include <cstdint>

struct EditingWindow;
struct UiWindow;

// While the window works on something that takes a moment (Keenhue, a zoom, writing a file): the
// status area says what (a string id), painted at once since the work keeps the window from
// painting, and the wait cursor shows; both go when the object does.
class EditorBusy {
   public:
    EditorBusy(EditingWindow* win, int32_t textId);
    ~EditorBusy();
    EditorBusy(const EditorBusy&) = delete;
    EditorBusy& operator=(const EditorBusy&) = delete;

   private:
    EditingWindow* win_;
    int32_t previous_;
};
// Registers the status area's painting.
void EditorRegisterStatus(UiWindow* dialog);
