// The editing window's boxes and texts that follow the live parameters and the preferences: the
// check boxes of the tool panel, the text under the colour-cast patch, OK's title and the
// memory-colour buttons. Whatever changes what they show calls these.
#pragma once

struct EditingWindow;

// "Linear", "Toning", "Sharpen", "Remove Noise" and "Setup..." from the live parameters, and the
// colour-cast text.
void EditorRefreshBoxes(EditingWindow* win);
// The text under the colour-cast patch: what the automatic colour balance did while its result
// stands (the editing state's balanceConfidence), else what the colour tab asks for.
void EditorRefreshCastText(EditingWindow* win);
// Retitles OK for the preferences' mode of OK.
void EditorTitleOk(EditingWindow* win);
// Enables the memory-colour buttons while the active hue handle has samples, disables them
// otherwise. Whatever changes the active handle or its samples calls it.
void EditorRefreshMemoryButtons(EditingWindow* win);
