// Memory colours; see memory_colors.h.
#include "edit/memory_colors.h"

#include <cmath>

#include "edit/text_lines.h"
#include "platform/debug_log.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/numeric.h"
#include "platform/ui_state.h"

namespace {

struct Preset {
    float chroma, hue, slope;
    const char* name;
    const char* label;
};
constexpr Preset kPresets[3] = {
    {32.0f, 45.0f, 0.0f, "Skin", "S"},
    {40.0f, 120.0f, -0.5f, "Foliage", "F"},
    {40.0f, 258.0f, -0.7f, "Blue Sky", "B"},
};

bool InRange(float v, float lo, float hi) {
    return lo <= v && v <= hi;
}

bool ChromaHueValid(float chroma, float hue) {
    return InRange(chroma, 0.0f, 180.0f) && 0.0f <= hue && hue < 360.0f;
}

// Emptied slot: undefined, no numbers, no name, no label.
void Clear(MemoryColor* c) {
    Mem_Fill(c, 0, sizeof *c);
}

int32_t RoundHalfAway(float v) {
    return int32_t(std::round(double(v)));
}

// "%4.1f" of the slope (one decimal, four places wide), which the plug-in's formatter does not
// offer: it writes no precision and nothing at all for a width before "f".
void FormatSlope(float slope, char* out, size_t cap) {
    int32_t tenths = RoundHalfAway(slope * 10.0f);
    int32_t magnitude = tenths < 0 ? -tenths : tenths;
    char digits[16];
    Str_FormatN(digits, sizeof digits, "%s%d.%d", tenths < 0 ? "-" : "", int(magnitude / 10),
                int(magnitude % 10));
    size_t n = Str_Length(digits);
    size_t pad = n < 4 ? 4 - n : 0;
    Str_FormatN(out, cap, "%s%s", pad == 1 ? " " : pad == 2 ? "  " : "", digits);
}

}  // namespace

int32_t MemoryColorSetDefault(int32_t slot, MemoryColor* c) {
    if (c == nullptr || !(0 <= slot && slot < kMemoryColorCount)) return kStatusProblem;
    Clear(c);
    if (slot < 3) {
        const Preset& p = kPresets[slot];
        c->defined = 1;
        c->mcChroma = p.chroma;
        c->mcHue = p.hue;
        c->mcHueSlope = p.slope;
        Str_CopyBounded(c->name, sizeof c->name, p.name);
        Str_CopyBounded(c->label, sizeof c->label, p.label);
    }
    return kStatusOk;
}

int32_t MemoryColorsSetDefaults(MemoryColor colors[kMemoryColorCount]) {
    if (colors == nullptr) return kStatusProblem;
    for (int i = 0; i < kMemoryColorCount; ++i) MemoryColorSetDefault(i, &colors[i]);
    return kStatusOk;
}

void MemoryColorCleanText(char* text, int32_t size) {
    if (text == nullptr || size < 1) return;
    text[size - 1] = 0;
    for (char* p = text; *p != 0; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c < 32 || c == 127) *p = ' ';
    }
}

int32_t MemoryColorsFromValues(const float* v, MemoryColor colors[kMemoryColorCount],
                               UiState* state) {
    if (v == nullptr || colors == nullptr) return kStatusProblem;
    int32_t result = kStatusOk;
    for (int i = 0; i < kMemoryColorCount; ++i) {
        MemoryColor& c = colors[i];
        const float* in = v + 4 * i;
        c.defined = in[0] > 0.5f ? 1 : 0;
        c.mcChroma = in[1];
        c.mcHue = in[2];
        c.mcHueSlope = in[3];
        bool valid = ChromaHueValid(c.mcChroma, c.mcHue) && InRange(c.mcHueSlope, -1.0f, 1.0f);
        if (valid) continue;
        if (!c.defined) {
            // Numbers of an empty slot are never used; they only have to be harmless.
            c.mcChroma = c.mcHue = c.mcHueSlope = 0.0f;
            continue;
        }
        // Only the first bad slot is reported, but every bad slot is repaired: a slot left as it
        // came would carry a non-number into the hue tool.
        if (result == kStatusOk) {
            char line[160];
            Str_FormatN(line, sizeof line,
                        "Memory color %d in the preferences file is invalid: %d %f %f %f", i,
                        int(c.defined), double(c.mcChroma), double(c.mcHue), double(c.mcHueSlope));
            Ui_Debug_Log(state != nullptr ? state->diagnostics : 0, line);
        }
        MemoryColorSetDefault(i, &c);
        result = kStatusUnsupported;
    }
    return result;
}

int32_t MemoryColorsToValues(const MemoryColor colors[kMemoryColorCount], float* v) {
    if (v == nullptr || colors == nullptr) return kStatusProblem;
    for (int i = 0; i < kMemoryColorCount; ++i) {
        const MemoryColor& c = colors[i];
        float* out = v + 4 * i;
        out[0] = c.defined ? 1.0f : 0.0f;
        out[1] = c.mcChroma;
        out[2] = c.mcHue;
        out[3] = c.mcHueSlope;
    }
    return kStatusOk;
}

int32_t MemoryColorsFromNames(const uint8_t* bytes, MemoryColor colors[kMemoryColorCount]) {
    if (bytes == nullptr || colors == nullptr) return kStatusProblem;
    for (int i = 0; i < kMemoryColorCount; ++i) {
        MemoryColor& c = colors[i];
        const uint8_t* in = bytes + 23 * i;
        Mem_Copy(c.name, in, kMemoryColorNameSize);
        Mem_Copy(c.label, in + kMemoryColorNameSize, kMemoryColorLabelSize);
        MemoryColorCleanText(c.name, kMemoryColorNameSize);
        MemoryColorCleanText(c.label, kMemoryColorLabelSize);
    }
    return kStatusOk;
}

int32_t MemoryColorsToNames(const MemoryColor colors[kMemoryColorCount], uint8_t* bytes) {
    if (bytes == nullptr || colors == nullptr) return kStatusProblem;
    for (int i = 0; i < kMemoryColorCount; ++i) {
        uint8_t* out = bytes + 23 * i;
        Mem_Copy(out, colors[i].name, kMemoryColorNameSize);
        Mem_Copy(out + kMemoryColorNameSize, colors[i].label, kMemoryColorLabelSize);
    }
    return kStatusOk;
}

int32_t MemoryColorsFromOldValues(const float* v, MemoryColor colors[kMemoryColorCount]) {
    if (v == nullptr || colors == nullptr) return kStatusProblem;
    for (int i = 0; i < 3; ++i) {
        MemoryColor& c = colors[i];
        const float* in = v + 3 * i;
        if (ChromaHueValid(in[0], in[1]) && -1.0f <= in[2] && in[2] < 1.0f) {
            c.defined = 1;
            c.mcChroma = in[0];
            c.mcHue = in[1];
            c.mcHueSlope = in[2];
        } else {
            MemoryColorSetDefault(i, &c);
        }
    }
    return kStatusOk;
}

int32_t ReadMemoryColorFile(const char* path, MemoryColor* color) {
    if (color == nullptr) return kStatusProblem;
    FLFile file;
    int32_t status = TextOpenRead(path, &file);
    if (status != kStatusOk) return status;
    char first[1024], second[64];
    bool atEnd = false, secondAtEnd = false;
    status = TextReadLine(&file, first, sizeof first, &atEnd);
    if (status == kStatusOk) status = TextReadLine(&file, second, sizeof second, &secondAtEnd);
    FLClose(&file);
    if (status != kStatusOk) return status;

    const char* nameField = TextFieldAt(first, 4);
    int32_t defined = 0;
    float hue = 0, chroma = 0, slope = 0;
    if (nameField == nullptr || !TextFieldIsInteger(TextFieldAt(first, 0)) ||
        !TextFieldIsNumber(TextFieldAt(first, 1)) || !TextFieldIsNumber(TextFieldAt(first, 2)) ||
        !TextFieldIsNumber(TextFieldAt(first, 3)) ||
        Ui_ScanString(first, "%d %f %f %f", &defined, &hue, &chroma, &slope) != 4 || defined != 1) {
        return kStatusFormat;
    }
    MemoryColor c;
    Clear(&c);
    c.defined = 1;
    // A hue of 360 is the angle 0; stored as 360 it would fail the stricter check of the
    // preferences file at the next start.
    c.mcHue = Num_Clamp(hue, 0.0f, 360.0f);
    if (c.mcHue >= 360.0f) c.mcHue = 0.0f;
    c.mcChroma = Num_Clamp(chroma, 0.0f, 100.0f);
    c.mcHueSlope = Num_Clamp(slope, -1.0f, 1.0f);
    Str_CopyBounded(c.name, sizeof c.name, nameField);
    MemoryColorCleanText(c.name, kMemoryColorNameSize);
    c.label[0] = second[0];
    MemoryColorCleanText(c.label, kMemoryColorLabelSize);
    *color = c;
    return kStatusOk;
}

int32_t WriteMemoryColorFile(const char* path, const MemoryColor* color) {
    if (color == nullptr) return kStatusProblem;
    const MemoryColor& c = *color;
    if (c.defined != 1 || c.name[0] == 0 || c.label[0] == 0) return kStatusProblem;
    if (!InRange(c.mcChroma, 0.0f, 180.0f) || !InRange(c.mcHue, 0.0f, 360.0f) ||
        !InRange(c.mcHueSlope, -1.0f, 1.0f)) {
        return kStatusProblem;
    }
    char name[kMemoryColorNameSize];
    Str_CopyBounded(name, sizeof name, c.name);
    MemoryColorCleanText(name, sizeof name);
    char label = c.label[0];
    if (static_cast<unsigned char>(label) < 32 || label == 127) label = ' ';
    char slope[16];
    FormatSlope(c.mcHueSlope, slope, sizeof slope);
    char text[128];
    Str_FormatN(text, sizeof text, "%d %3d %3d %s %s\n%c\n", 1, int(RoundHalfAway(c.mcHue)),
                int(RoundHalfAway(c.mcChroma)), slope, name, int(label));
    return TextWriteFile(path, text);
}
