// `kolmara-prefs keenhue-sets`: which edit groups the automatic settings (Keenhue) set, and the
// saturation they aim for; entries 98 and 54 of the preferences.
//
// The groups are named by the words of the Keenhue preferences dialog's check boxes, and the
// command acts as ticking exactly those boxes: every group named is set, every other group with a
// box is cleared. Bits 6 to 8 of the mask (shadows, highlights, contrast) have no box; they keep
// their stored value, as in the dialog, with one exception: the module's reader accepts the mask
// only up to 65087 and puts a larger value back to its default, so when the kept bits together
// with the groups asked for would pass that limit, the kept bits are dropped (and a note says so)
// rather than storing a mask that the next reading would silently replace.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Prefs;

constexpr int32_t kKeenhueBoxBits = 65087;      // the eight check boxes; also the largest mask kept
constexpr int32_t kKeenhueUnnamedBits = 448;    // bits 6-8, without a box
constexpr int32_t kKeenhueDefaultMask = 64564;  // the dialog's "Restore Defaults"

struct KeenhueSets {
    bool haveGroups = false;      // group words were given
    int32_t groups = 0;           // union of the named groups' bits
    bool defaults = false;        // "defaults": start from 64564, the unnamed bits cleared
    bool haveSaturation = false;  // --saturation was given
    float saturation = 0.0f;      // 0..1
};

// Parses the operands of keenhue-sets (group words and --saturation X, in any order). On a bad
// operand returns false with a one-line reason.
bool ParseKeenhueSets(const std::vector<std::string>& operands, KeenhueSets* sets,
                      std::string* error);

// Puts the choice into the record. Returns a note for the user when the unnamed bits had to be
// dropped, else an empty string.
std::string ApplyKeenhueSets(const KeenhueSets& sets, Prefs* prefs);

// The command's words for the boxes ticked in mask, comma-separated ("none" for no box).
std::string KeenhueGroupWords(int32_t mask);
