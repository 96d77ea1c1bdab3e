// The keenhue-sets command of kolmara-prefs; see keenhue_sets.h.
#include "tools/prefstool/keenhue_sets.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "engine/edit_pars.h"
#include "edit/prefs.h"

namespace {

struct GroupWord {
    const char* word;
    int32_t bits;
};

// The boxes in the dialog's order; the first word of a group is the one the tool prints.
constexpr GroupWord kBoxes[] = {
    {"linear", kEditLinear},          {"color-balance", kEditBalance},
    {"black-point", kEditBlackPoint}, {"gray-point", kEditGrayPoint},
    {"white-point", kEditWhitePoint}, {"brightness", kEditBrightness},
    {"saturation", kEditSaturation},  {"hue-handles", kEditMaskAllHues},
};

// Other spellings accepted on the command line (the listing of `show` writes British English).
constexpr GroupWord kAliases[] = {
    {"colour-balance", kEditBalance},
    {"grey-point", kEditGrayPoint},
    {"all", kKeenhueBoxBits},
    {"none", 0},
};

static_assert(kEditLinear + kEditBalance + kEditBlackPoint + kEditGrayPoint + kEditWhitePoint +
                      kEditBrightness + kEditSaturation + kEditMaskAllHues ==
                  kKeenhueBoxBits,
              "the boxes cover every bit but 6-8");
static_assert(kEditShadow + kEditHighlight + kEditContrast == kKeenhueUnnamedBits, "bits 6-8");

bool FindWord(const std::string& word, int32_t* bits) {
    for (const GroupWord& g : kBoxes) {
        if (word == g.word) return (*bits = g.bits), true;
    }
    for (const GroupWord& g : kAliases) {
        if (word == g.word) return (*bits = g.bits), true;
    }
    return false;
}

bool ParseFraction(const std::string& text, float* value) {
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || errno != 0) return false;
    if (!(0.0 <= v && v <= 1.0)) return false;  // NaN and infinities are out of range too
    *value = float(v);
    return true;
}

}  // namespace

bool ParseKeenhueSets(const std::vector<std::string>& operands, KeenhueSets* sets,
                      std::string* error) {
    *sets = KeenhueSets();
    for (size_t i = 0; i < operands.size(); ++i) {
        const std::string& a = operands[i];
        if (a == "--saturation") {
            if (i + 1 >= operands.size() || !ParseFraction(operands[i + 1], &sets->saturation)) {
                *error = "--saturation takes a number from 0 to 1 (0.8 is the default)";
                return false;
            }
            sets->haveSaturation = true;
            ++i;
            continue;
        }
        int32_t bits = 0;
        if (a == "defaults") {
            sets->defaults = true;
        } else if (FindWord(a, &bits)) {
            sets->groups |= bits;
        } else {
            *error = "unknown Keenhue group '" + a +
                     "' (linear, color-balance, black-point, gray-point, white-point, brightness, "
                     "saturation, hue-handles, all, none, defaults)";
            return false;
        }
        sets->haveGroups = true;
    }
    if (!sets->haveGroups && !sets->haveSaturation) {
        *error = "usage: kolmara-prefs keenhue-sets GROUP... [--saturation X]";
        return false;
    }
    return true;
}

std::string ApplyKeenhueSets(const KeenhueSets& sets, Prefs* prefs) {
    std::string note;
    if (sets.haveGroups) {
        int32_t kept =
            sets.defaults ? kKeenhueDefaultMask : prefs->keenhueMask & kKeenhueUnnamedBits;
        int32_t mask = kept | sets.groups;
        if (mask > kKeenhueBoxBits) {
            note = "bits 6-8 of the stored mask (" + std::to_string(kept & kKeenhueUnnamedBits) +
                   ") were cleared: with them the filter would not accept the mask";
            mask &= ~kKeenhueUnnamedBits;
        }
        prefs->keenhueMask = mask;
    }
    if (sets.haveSaturation) prefs->preferredSaturation = sets.saturation;
    return note;
}

std::string KeenhueGroupWords(int32_t mask) {
    std::string out;
    for (const GroupWord& g : kBoxes) {
        if ((mask & g.bits) != g.bits) continue;
        if (!out.empty()) out += ", ";
        out += g.word;
    }
    return out.empty() ? "none" : out;
}
