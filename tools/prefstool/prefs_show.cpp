// The readable listing of a preferences record; see prefs_show.h.
#include "tools/prefstool/prefs_show.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/mem.h"
#include "platform/prefs_file.h"

namespace {

// Entries by the names the entry table gives them; the container's own tags by number.
std::string LabelOf(uint16_t tag) {
    const char* name = PrefsEntryName(tag);
    return name != nullptr ? name : "entry " + std::to_string(tag);
}

std::string Num(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

std::string Triple(const float* v) {
    return Num(v[0]) + " " + Num(v[1]) + " " + Num(v[2]);
}

std::string Choice(int32_t v, std::initializer_list<const char*> names) {
    std::string out = std::to_string(v);
    if (0 <= v && size_t(v) < names.size()) out += std::string(" (") + names.begin()[v] + ")";
    return out;
}

// The group names of an HgEditMask, in bit order.
std::string MaskText(int32_t mask) {
    static const char* const kGroups[10] = {
        "linear",     "colour balance", "black point", "grey point", "white point",
        "brightness", "shadows",        "highlights",  "contrast",   "saturation"};
    std::vector<std::string> parts;
    for (int bit = 0; bit < 10; ++bit) {
        if (mask & (1 << bit)) parts.push_back(kGroups[bit]);
    }
    int hues = 0;
    for (int i = 0; i < kEditHueCount; ++i) hues += (mask >> (10 + i)) & 1;
    if (hues == kEditHueCount) {
        parts.push_back("all hue handles");
    } else {
        for (int i = 0; i < kEditHueCount; ++i) {
            if (mask & (1 << (10 + i))) parts.push_back("hue handle " + std::to_string(i + 1));
        }
    }
    std::string out = std::to_string(mask) + " (";
    for (size_t i = 0; i < parts.size(); ++i) out += (i ? ", " : "") + parts[i];
    return out + (parts.empty() ? "nothing)" : ")");
}

std::string Quoted(const char* text, size_t capacity) {
    std::string s(text, strnlen(text, capacity));
    return "\"" + s + "\"";
}

int32_t SampleCount(const SampleBin* bins) {
    int64_t n = 0;
    for (int k = 0; k < kEditBinCount; ++k) n += bins[k].count;
    return int32_t(std::min<int64_t>(n, INT32_MAX));
}

// The value part of a simple entry, from the entry as the module stores it.
std::string SimpleValue(uint16_t tag, uint16_t type, uint32_t count, const void* data,
                        const Prefs& p) {
    switch (tag) {
        case 53:
            return Choice(p.readoutMode, {"RGB", "HSB", "CMYK"});
        case 61:
            return Choice(p.okMode, {"edit the image", "edit an ICC profile",
                                     "create an ICC profile", "create a Huegrid"});
        case 64:
            return std::to_string(p.startWith) + " (" + StartModeWord(p.startWith) + ")";
        case 112:
        case 113:
        case 114:
        case 115: {
            int32_t m = p.startTool[tag - 112];
            return std::to_string(m) + " (" + StartModeWord(m) + ")";
        }
        case 79:
            return Choice(p.missingProfilePolicy, {"ask", "assign", "convert"});
        case 83:
            return Choice(p.embeddedProfilePolicy, {"ask", "assign", "convert", "use"});
        case 96:
            return Choice(p.outputNaming, {"suffix", "prefix", "same name"});
        case 98:
            return MaskText(p.keenhueMask);
        case 99:
            return MaskText(p.memoryColorMask);
        case 102: {
            const SharpenNoise& s = p.sharpenNoise;
            return std::string(s.sharpenOn ? "on" : "off") + ", strength " +
                   std::to_string(s.sharpenStrength);
        }
        case 103: {
            const SharpenNoise& s = p.sharpenNoise;
            return std::string(s.noiseOn ? "on" : "off") + ", flag " + std::to_string(s.noiseFlag) +
                   ", radius " + std::to_string(s.noiseRadius[1]) + "/" +
                   std::to_string(s.noiseRadius[2]) + ", threshold " +
                   std::to_string(s.noiseThreshold[1]) + "/" + std::to_string(s.noiseThreshold[2]) +
                   " (blue/red)";
        }
        case 104:
            return Triple(p.colorDefs.sepia);
        case 105:
            return Triple(p.colorDefs.neutral);
        case 108:
            return Triple(p.colorDefs.grayscale);
        case 94:
            return p.customName[0] == 0 ? std::string("(none loaded)")
                                        : Quoted(p.customName, sizeof p.customName);
        default:
            break;
    }
    if (type == kPrefsTypeBytes && count == 1) {
        uint8_t v = *static_cast<const uint8_t*>(data);
        return v == 1 ? "on" : v == 0 ? "off" : std::to_string(v);
    }
    if (type == kPrefsTypeBytes) return Quoted(static_cast<const char*>(data), count);
    std::string out;
    for (uint32_t i = 0; i < count; ++i) {
        if (i) out += " ";
        if (type == kPrefsTypeInt32) {
            out += std::to_string(static_cast<const int32_t*>(data)[i]);
        } else if (type == kPrefsTypeInt16) {
            out += std::to_string(static_cast<const int16_t*>(data)[i]);
        } else {
            out += Num(static_cast<const float*>(data)[i]);
        }
    }
    return out;
}

void ShowMemoryColors(const Prefs& p, std::ostream& out) {
    for (int i = 0; i < kMemoryColorCount; ++i) {
        const MemoryColor& m = p.memoryColors[i];
        out << "      " << (i + 1) << ": ";
        if (!m.defined) {
            out << "(undefined)\n";
            continue;
        }
        out << Quoted(m.name, sizeof m.name) << " / " << Quoted(m.label, sizeof m.label)
            << ", chroma " << Num(m.mcChroma) << ", hue " << Num(m.mcHue) << ", hue slope "
            << Num(m.mcHueSlope) << "\n";
    }
}

}  // namespace

const char* StartModeWord(int32_t mode) {
    switch (mode) {
        case kStartKeenhue:
            return "keenhue";
        case kStartPrevious:
            return "previous";
        case kStartReset:
            return "reset";
        case kStartCustom:
            return "custom";
        default:
            return "?";
    }
}

int32_t StartModeFromWord(const std::string& word) {
    for (int32_t mode : {kStartKeenhue, kStartPrevious, kStartReset, kStartCustom}) {
        if (word == StartModeWord(mode)) return mode;
    }
    return -1;
}

void ShowEditPars(const EditPars& p, const std::string& indent, std::ostream& out) {
    out << indent << "linear: " << (p.linear ? "on" : "off") << "\n";
    out << indent << "colour balance: " << SampleCount(p.balBin) << " neutral samples, target "
        << Triple(p.neutralTarget) << "\n";
    out << indent << "black / grey / white point: " << Num(p.blackPoint) << " " << Num(p.grayPoint)
        << " " << Num(p.whitePoint) << "\n";
    out << indent << "brightness " << Num(p.brightness) << ", shadows " << Num(p.shadow)
        << ", highlights " << Num(p.highlight) << ", contrast " << Num(p.contrast)
        << ", saturation " << Num(p.saturation) << "\n";
    for (int i = 0; i < kEditHueCount; ++i) {
        const HueHandle& h = p.hue[i];
        out << indent << "hue handle " << (i + 1) << ": base " << Num(h.baseHue) << ", shift "
            << Num(h.hueShift) << ", brightness " << Num(h.brightness) << ", saturation "
            << Num(h.saturation) << ", " << SampleCount(h.hueBin) << " samples, colour "
            << h.colorId << "\n";
    }
    out << indent << "toning colour: " << Triple(p.toneColor) << "\n";
    const RefRGB& r = p.refRGB;
    out << indent << "working space: gamma " << Num(r.gamma) << ", white " << Triple(r.xyzWhite)
        << ", primaries " << Num(r.primaries[0]) << " " << Num(r.primaries[1]) << "  "
        << Num(r.primaries[2]) << " " << Num(r.primaries[3]) << "  " << Num(r.primaries[4]) << " "
        << Num(r.primaries[5]) << "\n";
    const SharpenNoise& s = p.sharpenNoise;
    out << indent << "sharpening " << (s.sharpenOn ? "on" : "off") << ", strength "
        << s.sharpenStrength << "; noise removal " << (s.noiseOn ? "on" : "off") << ", radius "
        << s.noiseRadius[1] << "/" << s.noiseRadius[2] << ", threshold " << s.noiseThreshold[1]
        << "/" << s.noiseThreshold[2] << "\n";
}

int32_t ShowPrefs(const Prefs& prefs, UiState* state, std::ostream& out) {
    // The whole file is a few tens of kilobytes; a memory file never grows, so this is generous.
    std::vector<uint8_t> buffer(1 << 18);
    FLSpec spec;
    FLSpecMemory(&spec, buffer.data(), int32_t(buffer.size()));
    FLFile file;
    int32_t status = FLOpen(&file, &spec, kFLWrite);
    if (status != kStatusOk) return status;
    status = WritePrefEntriesFrom(&prefs, state, &file);
    int32_t end = 0;
    if (status == kStatusOk) status = FLTell(&file, &end);
    FLClose(&file);
    if (status != kStatusOk) return status;

    struct Line {
        uint16_t tag;
        std::string text;
    };
    std::vector<Line> lines;
    FLSpecMemory(&spec, buffer.data(), end);
    status = FLOpen(&file, &spec, kFLRead);
    if (status != kStatusOk) return status;
    for (int32_t at = 0; status == kStatusOk && at < end;) {
        uint16_t tag = 0, type = 0;
        uint32_t count = 0;
        void* data = nullptr;
        status = Ui___Prefs_ReadEntry(&file, &tag, &type, &count, &data);
        if (status == kStatusOk) {
            std::string text = std::to_string(tag) + " " + LabelOf(tag) + ":";
            if (tag == 109 || tag == 110 || tag == 62) {
                text += "\n";
            } else if (tag == 63) {
                text += " shown with 62\n";
            } else {
                text += " " + SimpleValue(tag, type, count, data, prefs) + "\n";
            }
            lines.push_back({tag, text});
            status = FLTell(&file, &at);
        }
        Mem_Free(data);
    }
    FLClose(&file);
    if (status != kStatusOk) return status;

    std::stable_sort(lines.begin(), lines.end(),
                     [](const Line& a, const Line& b) { return a.tag < b.tag; });
    for (const Line& line : lines) {
        out << line.text;
        if (line.tag == 62) ShowMemoryColors(prefs, out);
        if (line.tag == 109) ShowEditPars(prefs.customSettings, "      ", out);
        if (line.tag == 110) ShowEditPars(prefs.previousSettings, "      ", out);
    }
    return kStatusOk;
}
