// Dialog templates: the layout of every window of the plug-in, kept as text resources.
//
// A template names the dialog's id, its size in dialog units, its title and font, and its items
// in item-number order with their kind, rectangle in dialog units, text and flags (the format is
// described in resources/dialogs/README.md). Templates are parsed when a dialog is run, so a
// window's layout can change without touching code.
//
// A template may also say how each item follows a change of the window's size (its anchor, per
// axis): keep to the left or top side, keep to the right or bottom side, keep its place relative
// to the middle (moving by half the change), or stretch with the window. Items that share an
// anchor move by the same amount, so a group of items named together stays together.
//
// Dialog units follow the Win32 rule: the horizontal base unit is the dialog font's average
// character width, measured over the 52 letters A-Z a-z as (width / 26 + 1) / 2, and the vertical
// base unit is the font's height; x pixels = x units * base x / 4, y pixels = y units * base y / 8,
// each rounded to the nearest pixel, every edge converted on its own.
#pragma once

#include <cstdint>

#include "platform/ui/ui_types.h"

struct UiState;

enum : uint8_t {
    kUiItemButton = 1,  // push button
    kUiItemCheck,       // check box
    kUiItemCombo,       // drop-down list
    kUiItemStatic,      // static text
    kUiItemEdit,        // edit field
    kUiItemUser,        // UiUserItem custom control
    kUiItemIcon,        // icon; its text is the icon's resource id (empty: none yet)
};

enum : uint32_t {
    kUiFlagDefault = 1u << 0,    // the default push button
    kUiFlagHidden = 1u << 1,     // created hidden
    kUiFlagDisabled = 1u << 2,   // created disabled
    kUiFlagAuto = 1u << 3,       // check box that toggles itself when clicked
    kUiFlagCenter = 1u << 4,     // text centred
    kUiFlagRight = 1u << 5,      // text right-aligned
    kUiFlagNoWrap = 1u << 6,     // static text on one line
    kUiFlagMultiline = 1u << 7,  // edit field with several lines
    kUiFlagReadOnly = 1u << 8,   // edit field the user cannot change
    kUiFlagBorder = 1u << 9,     // thin frame around a static text or user item
    kUiFlagTabStop = 1u << 10,   // user item that Tab stops at (its owner says so at run time)
};

constexpr int kUiItemTextSize = 128;
constexpr int kUiTitleSize = 128;
constexpr int kUiFontFaceSize = 64;
constexpr int kUiMaxItems = 1000;
constexpr int kUiMaxUnits = 4000;  // largest coordinate or edge in dialog units

// How an item follows a change of the client area's size, on one axis.
enum : uint8_t {
    kUiAnchorNone = 0,  // not given: the nearer side (see Ui_Template_LayoutSized)
    kUiAnchorStart,     // keeps its distance to the left (top) side
    kUiAnchorEnd,       // keeps its distance to the right (bottom) side: moves by the change
    kUiAnchorCentre,    // keeps its place relative to the middle: moves by half the change
    kUiAnchorStretch,   // keeps both distances: its far edge moves by the change
};

struct Ui_DlgItem {
    int16_t number;  // 1 .. item count, in order
    uint8_t kind;    // kUiItem...
    uint32_t flags;  // kUiFlag...
    Ui_Rect units;   // in dialog units
    Ui_Rect pixels;  // in client pixels, after Ui_Template_Layout
    char text[kUiItemTextSize];
    uint8_t anchorH;  // kUiAnchor..., from an "anchor" line
    uint8_t anchorV;
};

struct Ui_DlgTemplate {
    int32_t id;
    int16_t width, height;  // client size in dialog units
    char title[kUiTitleSize];
    char fontFace[kUiFontFaceSize];
    int16_t fontPoints;
    int32_t itemCount;
    Ui_DlgItem* items;  // itemCount items, part of the same Mem_Alloc block
    Ui_Rect client;     // client rectangle in pixels, after Ui_Template_Layout
};

struct Ui_BaseUnits {
    int32_t x;
    int32_t y;
};

// Parses a template's text. On failure *errorLine (when not null) holds the line at fault and
// the status is -8; -3 when memory is short. The result is one Mem_Alloc block.
int32_t Ui_Template_Parse(const uint8_t* text, uint32_t size, Ui_DlgTemplate** out,
                          int32_t* errorLine);
// Loads and parses template id from the state's resources: -7 when there is none.
int32_t Ui_Template_Load(UiState* state, int32_t id, Ui_DlgTemplate** out);
int32_t Ui_Template_Free(Ui_DlgTemplate** t);
// The item with this number, or null.
const Ui_DlgItem* Ui_Template_Item(const Ui_DlgTemplate* t, int32_t number);

// a * b / c rounded to the nearest integer, halves away from zero; -1 when c is 0.
int32_t Ui_MulDiv(int32_t a, int32_t b, int32_t c);
// Base units from the width of the 52 letters A-Z a-z and the font height, both in pixels.
int32_t Ui_BaseUnitsFromFont(int32_t alphabetWidth, int32_t height, Ui_BaseUnits* out);
int32_t Ui_UnitsToPixels(const Ui_BaseUnits* base, const Ui_Rect* units, Ui_Rect* pixels);
// Fills the pixel rectangles of the items and the client rectangle; -1 for base units outside
// 1 .. 30 (the 16-bit rectangles would overflow).
int32_t Ui_Template_Layout(Ui_DlgTemplate* t, const Ui_BaseUnits* base);
// Lays the template out for a larger client area of width x height pixels: Ui_Template_Layout,
// then every item follows the extra width and height by its anchor. An item without one follows
// the old rule: item grow takes up the extra width and height (its right and bottom edges move
// out) and every other item keeps its distance to the nearer side of the client area, each axis
// on its own: it moves right by the extra width when its right edge is nearer the right side than
// its left edge is to the left side, and down by the extra height likewise; otherwise it stays
// (an item exactly in the middle stays). grow 0: no item grows.
//
// Two items that did not overlap before do not overlap afterwards when the one to the right of
// (below) the other moves at least as far on that axis: a stretching item covers an item to its
// right that keeps to the left side or to the middle, and a middle item one to its right that
// keeps to the left. Templates meant to grow choose their anchors so (resources/dialogs/README.md).
// Items are placed from the template every time, so a move the dialog's owner made before is
// undone (Ui_Template_Follow keeps them).
// -1 for a size smaller than the template's own, for coordinates beyond 16 bits, for an item grow
// that does not exist, and for what Ui_Template_Layout refuses.
int32_t Ui_Template_LayoutSized(Ui_DlgTemplate* t, const Ui_BaseUnits* base, int32_t width,
                                int32_t height, int32_t grow);
// Where an item that is at current for a client area of fromW x fromH goes for toW x toH, by its
// anchors (the nearer-side rule of the template's pixel rectangle when it has none). The moves
// are counted from the template's own client size (t->client after Ui_Template_Layout), so that
// going from one size to another and back returns every item to where it was, and a move its
// owner made stays. Sizes below the template's count as the template's. A stretched edge never
// passes the item's other edge. -1 when the result would leave the 16-bit range.
int32_t Ui_Template_Follow(const Ui_DlgTemplate* t, int32_t item, const Ui_Rect* current,
                           int32_t fromW, int32_t fromH, int32_t toW, int32_t toH, Ui_Rect* out);
