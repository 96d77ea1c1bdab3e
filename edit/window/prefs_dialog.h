// The "Preferences" dialog: how the tools start, what the preview shows, what the editing window
// offers, the custom settings, and (through "Keenhue Prefs...") what the automatic settings do.
//
// It works on a copy of the preferences record that the host layer owns and copies the fields it
// edits back only on "OK"; "Cancel" leaves the record, and so the preferences file written from
// it, exactly as it was (a custom settings file loaded meanwhile included). Writing the file and
// re-reading what changed is the editing window's business afterwards. The standalone
// application's items of the template stay hidden; "Use Largest Possible Window" is shown but
// disabled, since only the window's own resizing decides its size in the plug-in.
#pragma once

#include <cstdint>

#include "edit/prefs.h"
#include "edit/window/dialog_env.h"

// Runs the dialog over env->parent on prefs. *accepted: true when it ended with "OK" (prefs
// then holds the dialog's values). 0, -3 when the working copy cannot be made, or the
// framework's status when the dialog could not be run; prefs is unchanged unless accepted.
int32_t PreferencesDialog(const DialogEnv* env, Prefs* prefs, bool* accepted);
