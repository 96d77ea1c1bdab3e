// Typed values: the value boxes beside sliders take a number typed into them.
//
// A value box is a user item that only draws its text. A dialog whose boxes take typing has one
// hidden edit field; a click on a box puts the field over it with the box's text selected, and
// the box is hidden meanwhile (window systems stack earlier items above later ones, so the field
// would otherwise lie under the box). Return, or leaving the field (the focus going elsewhere, a
// click on any other item, a key of the dialog's own), applies the number as one change; Escape
// closes it with nothing changed. A text that is not a whole number, lies outside the box's
// range or is longer than a number can be is refused: the window beeps and nothing changes;
// after Return the field stays open with its text selected for another try.
//
// The owner keeps a ValueEntry in its record, opens it from its item-hit proc, routes every item
// hit through ValueEntryItemHit first, and calls ValueEntryFinish before a press of its own (a
// slider drag) or a key it takes. What a number means is the owner's: it gets the box, the part
// of the box (for an item that shows several values) and the number.
#pragma once

#include <cstdint>

#include "platform/status.h"
#include "platform/ui/ui_types.h"

// Applies a number the person typed into part of box; a status other than 0 is the owner's to
// tell (the entry is closed either way).
using ValueEntryApply = int32_t (*)(UiWindow* dialog, int16_t box, int32_t part, int32_t value);

struct ValueEntry {
    int16_t field;  // the dialog's edit field
    int16_t box;    // the value box being typed into; 0 while the entry is closed
    int32_t part;
    int32_t lo, hi;  // the numbers the box takes
    ValueEntryApply apply;
};

// The most characters a typed number may have: a sign and more digits than any box shows.
constexpr int32_t kValueEntryMaxLength = 6;

// Reads a typed number: optional blanks, an optional sign, decimal digits, optional blanks.
// -2 for an empty or overlong text, anything else, or a number outside lo..hi; *value is then
// left alone.
int32_t ValueEntryParse(const char* text, int32_t lo, int32_t hi, int32_t* value);

// Opens the entry over r (the box, or the part of it that shows the value) with text selected.
// An entry already open on another box is finished first. -2 when the field cannot be shown.
int32_t ValueEntryOpen(UiWindow* dialog, ValueEntry* entry, int16_t box, int32_t part,
                       const Ui_Rect* r, const char* text, int32_t lo, int32_t hi);

// Closes the entry: the number applied when it is one (beeping when it is refused), or nothing
// changed when apply is false. Returns the apply's status (0 when nothing was applied).
int32_t ValueEntryFinish(UiWindow* dialog, ValueEntry* entry, bool apply);

// Whether the item hit was the entry's: the field's own notifications, Return (applies; a refused
// text keeps the field open) and Escape (closes it unchanged) while it is open. Any other item
// hit finishes the entry first and is the owner's (false). *status gets the apply's status.
bool ValueEntryItemHit(UiWindow* dialog, ValueEntry* entry, int16_t item, int32_t* status);
