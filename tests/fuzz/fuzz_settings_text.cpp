// The text files a user may be mailed: custom settings (the colour lines alone through the
// engine's reader over a memory file, and the whole file with its sharpen and noise lines from
// disk), colour definitions and memory colours. The first byte picks the reader, the rest is the
// file. Each reader promises that a refused file changes nothing and that what it accepts lies
// in range: an accepted settings record passes the engine's parameter check, so that it can be
// built and saved again.
#include <cstring>
#include <vector>

#include "edit/color_defs.h"
#include "edit/memory_colors.h"
#include "edit/pars_text.h"
#include "edit/settings_text.h"
#include "engine/edit_chain.h"
#include "engine/edit_pars.h"
#include "tests/edit/edit_test_support.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

bool SameBytes(const void* a, const void* b, size_t n) {
    return std::memcmp(a, b, n) == 0;
}

bool In(float v, float lo, float hi) {
    return lo <= v && v <= hi;
}

void CheckAccepted(const EditPars& pars, const char* what) {
    fuzz::Check(HgCheckPars(&pars) == kStatusOk,
                std::string(what) + " accepted with a record that fails the parameter check");
    const std::string bad = edit_testing::ParsOutOfRange(pars);
    fuzz::Check(bad.empty(), std::string(what) + " accepted with " + bad + " out of range");
}

void ColourLines(const uint8_t* text, size_t size) {
    // The memory file is a copy: the reader may not write into it, and the sanitizers catch a
    // read past its end.
    std::vector<uint8_t> copy(text, text + size);
    FLSpec spec;
    FLSpecMemory(&spec, copy.data(), int32_t(copy.size()));
    EditPars pars;
    edit_testing::FillPars(&pars, 3);
    int32_t status;
    {
        fuzz::BlockCount blocks("reading the settings lines");
        status = HgReadSettings(&pars, &spec);
    }
    if (status == kStatusOk) CheckAccepted(pars, "settings lines");
}

void WholeSettingsFile(const uint8_t* text, size_t size) {
    const std::string path = fuzz::WriteFile("settings.txt", text, size);
    EditPars pars, before;
    edit_testing::FillPars(&pars, 7);
    before = pars;
    int32_t status;
    {
        fuzz::BlockCount blocks("reading a settings file");
        status = ReadParsText(path.c_str(), &pars);
    }
    if (status != kStatusOk && status != kStatusUnsupported) {
        fuzz::Check(SameBytes(&pars, &before, sizeof pars),
                    "a refused settings file changed the record (" + std::to_string(status) + ")");
    } else {
        CheckAccepted(pars, "a settings file");
    }
}

void ColourDefinition(const uint8_t* text, size_t size) {
    const std::string path = fuzz::WriteFile("colour.txt", text, size);
    float rgb[3] = {0.25f, 0.5f, 0.75f};
    const float before[3] = {rgb[0], rgb[1], rgb[2]};
    int32_t status;
    {
        fuzz::BlockCount blocks("reading a colour definition");
        status = ReadColorDefFile(path.c_str(), rgb);
    }
    if (status == kStatusOk) {
        fuzz::Check(In(rgb[0], 0, 1) && In(rgb[1], 0, 1) && In(rgb[2], 0, 1),
                    "a colour definition outside 0..1 was accepted");
    } else {
        fuzz::Check(SameBytes(rgb, before, sizeof rgb), "a refused colour definition changed it");
    }
}

void MemoryColourFile(const uint8_t* text, size_t size) {
    const std::string path = fuzz::WriteFile("memory-colour.txt", text, size);
    MemoryColor colour, before;
    MemoryColorSetDefault(1, &colour);
    before = colour;
    int32_t status;
    {
        fuzz::BlockCount blocks("reading a memory colour");
        status = ReadMemoryColorFile(path.c_str(), &colour);
    }
    if (status != kStatusOk) {
        fuzz::Check(SameBytes(&colour, &before, sizeof colour),
                    "a refused memory-colour file changed the slot");
        return;
    }
    const MemoryColor& c = colour;
    fuzz::Check(c.defined == 1 && In(c.mcChroma, 0, 100) && 0 <= c.mcHue && c.mcHue < 360 &&
                    In(c.mcHueSlope, -1, 1),
                "a memory colour out of range was accepted");
    fuzz::Check(c.name[kMemoryColorNameSize - 1] == 0 && c.label[kMemoryColorLabelSize - 1] == 0,
                "a memory colour's name or label is not terminated");
    for (const char* p = c.name; *p != 0; ++p) {
        const auto ch = static_cast<unsigned char>(*p);
        fuzz::Check(ch >= 32 && ch != 127, "a control character in a memory colour's name");
    }
    const auto label = static_cast<unsigned char>(c.label[0]);
    fuzz::Check(label == 0 || (label >= 32 && label != 127),
                "a control character as a memory colour's label");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::State();
    fuzz::Bytes in(data, size);
    const uint8_t reader = in.U8() % 4;
    switch (reader) {
        case 0:
            ColourLines(in.data(), in.size());
            break;
        case 1:
            WholeSettingsFile(in.data(), in.size());
            break;
        case 2:
            ColourDefinition(in.data(), in.size());
            break;
        default:
            MemoryColourFile(in.data(), in.size());
            break;
    }
    fuzz::TakeAlertCount();
    return 0;
}
