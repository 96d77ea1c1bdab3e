// The automatic settings as the editing window runs them: for the groups a button or Keenhue
// Mode asks for, restricted to the preferences' Keenhue mask, on the run's analysis image.
#pragma once

#include <cstdint>

#include "engine/edit_pars.h"

struct EditingWindow;
struct Ui_Failure;

// The automatic settings for the groups of mask (restricted to the preferences' Keenhue mask).
// failure: "calculating auto settings".
int32_t EditorAutoSettings(EditingWindow* win, HgEditMask mask, Ui_Failure* failure);
// After a change on tab's tool: in Keenhue Mode the automatic settings of the tools right of it,
// as EditorAutoSettings; otherwise nothing (0, failure untouched).
int32_t EditorKeenhueModeFollows(EditingWindow* win, int32_t tab, Ui_Failure* failure);
