// Preference entries; see prefs.h.
#include "edit/prefs.h"

#include <cstddef>

#include "edit/pars_vector.h"
#include "platform/file.h"
#include "platform/work_pool.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/prefs_file.h"
#include "resources/ids/strings.h"

namespace {

enum class Kind : uint8_t {
    Bool,     // one byte, 0 or 1
    Int,      // one 32-bit integer in lo..hi
    IntAny,   // one 32-bit integer, any value
    Float,    // one float in flo..fhi
    Text,     // count bytes, the last one forced to 0
    Special,  // handled by tag
};

// What the Preferences dialog does with an entry: it edits a copy of the record and copies the
// entries it shows back on "OK"; "Restore Defaults" sets most of those to their defaults.
enum class Dialog : uint8_t {
    None,    // not in the dialog
    Copied,  // copied back on "OK"; left alone by "Restore Defaults"
    Reset,   // copied back on "OK" and set to its default by "Restore Defaults"
};

// One entry: its tag and stored form, the field it fills, what it may hold, the value that
// replaces a bad one, its default, its part in the Preferences dialog and its name. Everything
// that knows an entry's range or default reads it here. A special entry's range and fallback
// are in its reading code; those with a default here (88) have one plain field.
struct Entry {
    uint16_t tag;
    Kind kind;
    uint32_t count;             // elements stored
    size_t offset, size;        // the field in Prefs; size 0 for entries of several fields
    int32_t lo, hi, fallback;   // Bool, Int
    int32_t byDefault;          // Bool, Int, IntAny and 88
    float flo, fhi, ffallback;  // Float
    float fByDefault;           // Float
    const char* textByDefault;  // Text
    Dialog dialog;
    const char* name;  // in the words of the Preferences dialog where it has them
};

constexpr Entry Bool(uint16_t tag, size_t offset, int32_t fallback, int32_t byDefault,
                     Dialog dialog, const char* name) {
    return {tag, Kind::Bool, 1, offset, 1, 0, 1, fallback, byDefault, 0, 0, 0, 0, "", dialog, name};
}
constexpr Entry Int(uint16_t tag, size_t offset, int32_t lo, int32_t hi, int32_t fallback,
                    int32_t byDefault, Dialog dialog, const char* name) {
    return {tag,       Kind::Int, 1, offset, 4, lo, hi,     fallback,
            byDefault, 0,         0, 0,      0, "", dialog, name};
}
constexpr Entry IntAny(uint16_t tag, size_t offset, const char* name) {
    return {tag, Kind::IntAny, 1, offset, 4, 0, 0, 0, 0, 0, 0, 0, 0, "", Dialog::None, name};
}
constexpr Entry Float(uint16_t tag, size_t offset, float lo, float hi, float fallback,
                      float byDefault, Dialog dialog, const char* name) {
    return {tag, Kind::Float, 1,  offset,   4,         0,  0,      0,
            0,   lo,          hi, fallback, byDefault, "", dialog, name};
}
constexpr Entry Text(uint16_t tag, size_t offset, uint32_t size, const char* byDefault,
                     Dialog dialog, const char* name) {
    return {tag, Kind::Text, size, offset, size, 0, 0, 0, 0, 0, 0, 0, 0, byDefault, dialog, name};
}
// An entry read and written by its own code. With a field (size > 0) the dialog can copy it.
constexpr Entry Special(uint16_t tag, uint32_t count, const char* name, size_t offset = 0,
                        size_t size = 0, Dialog dialog = Dialog::None, int32_t byDefault = 0) {
    return {tag, Kind::Special, count, offset, size, 0, 0, 0, byDefault, 0, 0, 0, 0,
            "",  dialog,        name};
}

#define AT(field) offsetof(Prefs, field)

constexpr Dialog kNone = Dialog::None, kCopied = Dialog::Copied, kReset = Dialog::Reset;

// Every entry the plug-in knows. The keenhue and memory-colour masks are 16-bit masks, so their
// "below the limit" ranges start at 0: a negative value would switch on every bit. The stored
// copies of the edit parameters, the memory colours, the colour definitions and the sharpen and
// noise values take the defaults of their own modules.
constexpr Entry kEntries[] = {
    Bool(50, AT(liveSliders), 1, 1, kReset, "Live Sliders"),
    Int(51, AT(gridLevel), 0, 7, 7, 7, kNone, "grid-size level"),
    Int(52, AT(sampleSize), 0, 2, 0, 2, kNone, "eyedropper sample size"),
    Int(53, AT(readoutMode), 0, 2, 1, 0, kNone, "pixel readout mode"),
    Float(54, AT(preferredSaturation), 0.0f, 1.0f, 0.8f, 0.8f, kCopied, "preferred saturation"),
    Bool(55, AT(keenhueMode), 1, 1, kNone, "Keenhue Mode"),
    IntAny(56, AT(standaloneValues[0]), "standalone value 56"),
    IntAny(57, AT(standaloneValues[1]), "standalone value 57"),
    Bool(58, AT(useLargestWindow), 0, 0, kReset, "Use Largest Possible Window"),
    Bool(59, AT(showSampledRegion), 0, 0, kReset, "Show Sampled Region"),
    Special(60, kMemoryColorOldEntryCount, "memory colours (older form)"),
    Int(61, AT(okMode), 0, 3, 0, 0, kReset, "what OK does"),
    Special(62, kMemoryColorEntryValues, "memory colours"),
    Special(63, kMemoryColorEntryBytes, "memory-colour names"),
    Int(64, AT(startWith), 0, 3, 0, kStartReset, kReset, "Start With"),
    Bool(66, AT(showMethodMenu), 0, 1, kReset, "Show Neutrals/Sliders Pop-up Menu"),
    Bool(67, AT(showCurveControl), 0, 1, kReset, "Show Brightness/Contrast Curve Control"),
    Bool(68, AT(altOkCyclesMode), 1, 1, kNone, "Alt-click on OK cycles the OK mode"),
    Bool(69, AT(showPixelValues), 0, 1, kReset, "Show Pixel Values"),
    Int(70, AT(workingSpaceChoice), 0, 14, 13, 13, kReset, "working-space choice (standalone)"),
    Bool(71, AT(embedProfile), 1, 1, kReset, "embed working space ICC profile (standalone)"),
    Bool(72, AT(preserveExif), 0, 1, kReset, "preserve JPEG EXIF data (standalone)"),
    Bool(73, AT(saveInSourceFolder), 1, 1, kReset, "save into the source folder (standalone)"),
    Text(74, AT(outputFolder), kPrefsTextSize, "", kReset, "output folder (standalone)"),
    Text(75, AT(fileSuffix), kPrefsShortTextSize, "-xT", kReset, "file-name suffix (standalone)"),
    Bool(76, AT(useFileExtensions), 1, 1, kReset, "use file extensions (standalone)"),
    Bool(77, AT(lowerCaseExtensions), 1, 1, kReset, "lower-case extensions (standalone)"),
    Float(78, AT(jpegQuality), 0.0f, 1.0f, 1.0f, 1.0f, kReset, "JPEG quality (standalone)"),
    Int(79, AT(missingProfilePolicy), 0, 2, 1, 1, kReset, "missing-profile policy (standalone)"),
    Text(80, AT(missingProfilePath), kPrefsTextSize, "", kReset,
         "missing-profile profile (standalone)"),
    Int(81, AT(standaloneValues[2]), 1, 2, 1, 1, kNone, "standalone value 81"),
    Text(82, AT(standalonePaths[0]), kPrefsTextSize, "", kNone, "standalone path 82"),
    Int(83, AT(embeddedProfilePolicy), 0, 3, 3, 3, kReset, "embedded-profile policy (standalone)"),
    Text(84, AT(embeddedProfilePath), kPrefsTextSize, "", kReset,
         "embedded-profile profile (standalone)"),
    Int(85, AT(standaloneValues[3]), 1, 3, 3, 3, kNone, "standalone value 85"),
    Text(86, AT(standalonePaths[1]), kPrefsTextSize, "", kNone, "standalone path 86"),
    Special(88, 1, "output file format (standalone)", AT(outputFormat), sizeof(int32_t), kReset, 0),
    Bool(89, AT(showStartUpGuide), 1, 1, kReset, "Show Start Up Guide"),
    Text(90, AT(standalonePaths[2]), kPrefsTextSize, "", kNone, "standalone path 90"),
    Text(91, AT(standalonePaths[3]), kPrefsTextSize, "", kNone, "standalone path 91"),
    Special(93, kParsVectorCountOld, "custom settings (older form)"),
    Text(94, AT(customName), kPrefsTextSize, "", kReset, "custom settings name"),
    Text(95, AT(customFolder), kPrefsTextSize, "", kReset, "custom settings folder"),
    Int(96, AT(outputNaming), 0, 2, 0, 0, kReset, "output file naming (standalone)"),
    Text(97, AT(filePrefix), kPrefsShortTextSize, "xT-", kReset, "file-name prefix (standalone)"),
    Int(98, AT(keenhueMask), 0, kPrefsKeenhueMaskMax, 64564, 64564, kCopied, "Keenhue mask"),
    Int(99, AT(memoryColorMask), 0, 65056, 65056, 65056, kCopied, "memory-colour mask"),
    Special(100, kParsVectorCountOld, "previous settings (older form)"),
    Special(102, 3, "sharpening"),
    Special(103, 9, "noise removal"),
    Special(104, 3, "sepia definition"),
    Special(105, 3, "neutral definition"),
    Bool(106, AT(previewSharpening), 1, 1, kReset, "preview the sharpening"),
    Bool(107, AT(previewNoise), 1, 1, kReset, "preview the noise removal"),
    Special(108, 3, "grayscale definition"),
    Special(109, kParsVectorCount, "custom settings", AT(customSettings), sizeof(EditPars),
            kCopied),
    Special(110, kParsVectorCount, "previous settings"),
    Bool(111, AT(startAllSame), 0, 1, kReset, "Start all tool tabs the same way"),
    Int(112, AT(startTool[0]), 0, 3, 0, kStartReset, kReset, "Start 1 With"),
    Int(113, AT(startTool[1]), 0, 3, 0, kStartReset, kReset, "Start 2 With"),
    Int(114, AT(startTool[2]), 0, 3, 0, kStartReset, kReset, "Start 3 With"),
    Int(115, AT(startTool[3]), 0, 3, 0, kStartReset, kReset, "Start 4 With"),
    Int(201, AT(lastTab), 0, 3, 0, 0, kNone, "last tool tab"),
    Int(202, AT(lastMethod), 1, 3, 1, 1, kNone, "last colour-balance method"),
    Int(203, AT(windowWidth), 0, 32767, 0, 0, kNone, "editing window width"),
    Int(204, AT(windowHeight), 0, 32767, 0, 0, kNone, "editing window height"),
    Int(205, AT(threads), 0, 64, 0, 0, kNone, "threads"),
};

#undef AT

// The order entries are written in. The older 60, 93 and 100 are read only.
// Ours come after every shared entry.
constexpr uint16_t kWriteOrder[] = {
    55,  52,  95,  94,  58,  56,  57,  61,  109, 110, 83, 85,  84,  86,  71,  53,
    64,  111, 112, 113, 114, 115, 78,  72,  77,  99,  63, 62,  79,  81,  80,  82,
    107, 106, 50,  91,  51,  103, 105, 108, 104, 54,  90, 74,  73,  88,  96,  97,
    75,  102, 66,  67,  68,  69,  59,  89,  98,  76,  70, 201, 202, 203, 204, 205,
};

const Entry* Find(uint16_t tag) {
    for (const Entry& e : kEntries) {
        if (e.tag == tag) return &e;
    }
    return nullptr;
}

bool IsFloatEntry(uint16_t tag) {
    switch (tag) {
        case 60:
        case 62:
        case 93:
        case 100:
        case 104:
        case 105:
        case 108:
        case 109:
        case 110:
            return true;
        default:
            return false;
    }
}

// The element type an entry must carry. Floats may come in either stored floating form; the
// container hands both over as floats.
bool TypeFits(const Entry& e, uint16_t type) {
    switch (e.kind) {
        case Kind::Bool:
        case Kind::Text:
            return type == kPrefsTypeBytes;
        case Kind::Int:
        case Kind::IntAny:
            return type == kPrefsTypeInt32;
        case Kind::Float:
            return type == kPrefsTypeFloatBin || type == kPrefsTypeFloatDec;
        case Kind::Special:
            if (e.tag == 63) return type == kPrefsTypeBytes;
            if (IsFloatEntry(e.tag))
                return type == kPrefsTypeFloatBin || type == kPrefsTypeFloatDec;
            return type == kPrefsTypeInt32;
    }
    return false;
}

template <typename T>
T* FieldAt(Prefs* prefs, size_t offset) {
    return reinterpret_cast<T*>(reinterpret_cast<uint8_t*>(prefs) + offset);
}
template <typename T>
const T* FieldAt(const Prefs* prefs, size_t offset) {
    return reinterpret_cast<const T*>(reinterpret_cast<const uint8_t*>(prefs) + offset);
}

// Sets an entry's field to its default; entries without one plain field are left alone.
void SetEntryDefault(Prefs* prefs, const Entry& e) {
    switch (e.kind) {
        case Kind::Bool:
            *FieldAt<uint8_t>(prefs, e.offset) = uint8_t(e.byDefault);
            break;
        case Kind::Int:
        case Kind::IntAny:
            *FieldAt<int32_t>(prefs, e.offset) = e.byDefault;
            break;
        case Kind::Float:
            *FieldAt<float>(prefs, e.offset) = e.fByDefault;
            break;
        case Kind::Text:
            Str_CopyBounded(FieldAt<char>(prefs, e.offset), e.size, e.textByDefault);
            break;
        case Kind::Special:
            // Only a special entry of one integer field has its default here (88).
            if (e.size == sizeof(int32_t)) *FieldAt<int32_t>(prefs, e.offset) = e.byDefault;
            break;
    }
}

EditPars* ParsFor(Prefs* prefs, uint16_t tag) {
    return tag == 93 || tag == 109 ? &prefs->customSettings : &prefs->previousSettings;
}

float* ColorDefFor(ColorDefs* defs, uint16_t tag) {
    return tag == 104 ? defs->sepia : tag == 105 ? defs->neutral : defs->grayscale;
}
const float* ColorDefFor(const ColorDefs* defs, uint16_t tag) {
    return ColorDefFor(const_cast<ColorDefs*>(defs), tag);
}

// Entry 102: on, strength, k. Entry 103: on, flag, radius 0..2, threshold 0..2, k. Each bad number
// takes its default; the flags take any value.
int32_t ReadSharpen(SharpenNoise* s, const int32_t* v) {
    s->sharpenOn = v[0] != 0 ? 1 : 0;
    s->sharpenStrength = v[1];
    s->sharpenK = v[2];
    return RepairSharpenNoise(s, kSharpenPart) ? kStatusUnsupported : kStatusOk;
}

int32_t ReadNoise(SharpenNoise* s, const int32_t* v) {
    s->noiseOn = v[0] != 0 ? 1 : 0;
    s->noiseFlag = v[1] != 0 ? 1 : 0;
    for (int i = 0; i < 3; ++i) {
        s->noiseRadius[i] = v[2 + i];
        s->noiseThreshold[i] = v[5 + i];
    }
    s->noiseK = v[8];
    return RepairSharpenNoise(s, kNoisePart) ? kStatusUnsupported : kStatusOk;
}

int32_t ReadSpecial(Prefs* prefs, UiState* state, uint16_t tag, const void* data) {
    const auto* floats = static_cast<const float*>(data);
    const auto* ints = static_cast<const int32_t*>(data);
    switch (tag) {
        case 60:
            return MemoryColorsFromOldValues(floats, prefs->memoryColors);
        case 62:
            return MemoryColorsFromValues(floats, prefs->memoryColors, state);
        case 63:
            return MemoryColorsFromNames(static_cast<const uint8_t*>(data), prefs->memoryColors);
        case 88: {
            int32_t v = ints[0];
            bool ok = v == 0 || v == 1 || v == 7 || v == 9;
            prefs->outputFormat = ok ? v : 0;
            return ok ? kStatusOk : kStatusUnsupported;
        }
        case 93:
        case 100:
            return ParsFromVector(floats, kParsVectorCountOld, ParsFor(prefs, tag), state);
        case 109:
        case 110:
            return ParsFromVector(floats, kParsVectorCount, ParsFor(prefs, tag), state);
        case 102:
            return ReadSharpen(&prefs->sharpenNoise, ints);
        case 103:
            return ReadNoise(&prefs->sharpenNoise, ints);
        case 104:
        case 105:
        case 108: {
            float rgb[3] = {floats[0], floats[1], floats[2]};
            int32_t status = RepairColorDefTriple(rgb, state);
            float* to = ColorDefFor(&prefs->colorDefs, tag);
            for (int i = 0; i < 3; ++i) to[i] = rgb[i];
            return status;
        }
        default:
            return kStatusProblem;
    }
}

int32_t ReadSimple(Prefs* prefs, const Entry& e, const void* data) {
    switch (e.kind) {
        case Kind::Bool: {
            uint8_t v = *static_cast<const uint8_t*>(data);
            bool ok = v <= 1;
            *FieldAt<uint8_t>(prefs, e.offset) = ok ? v : uint8_t(e.fallback);
            return ok ? kStatusOk : kStatusUnsupported;
        }
        case Kind::Int:
        case Kind::IntAny: {
            int32_t v = *static_cast<const int32_t*>(data);
            bool ok = e.kind == Kind::IntAny || (e.lo <= v && v <= e.hi);
            *FieldAt<int32_t>(prefs, e.offset) = ok ? v : e.fallback;
            return ok ? kStatusOk : kStatusUnsupported;
        }
        case Kind::Float: {
            float v = *static_cast<const float*>(data);
            bool ok = e.flo <= v && v <= e.fhi;
            *FieldAt<float>(prefs, e.offset) = ok ? v : e.ffallback;
            return ok ? kStatusOk : kStatusUnsupported;
        }
        case Kind::Text: {
            char* text = FieldAt<char>(prefs, e.offset);
            Mem_Copy(text, data, e.count);
            text[e.count - 1] = 0;
            return kStatusOk;
        }
        case Kind::Special:
            break;
    }
    return kStatusProblem;
}

void NoteRepair(PrefsReadNotes* notes, uint16_t tag) {
    if (notes == nullptr) return;
    if (notes->repairs < kPrefsNotedRepairs) notes->repairedTag[notes->repairs] = tag;
    ++notes->repairs;
}

// Writes one entry from the record.
int32_t WriteEntry(const Prefs* prefs, UiState* state, FLFile* file, const Entry& e) {
    switch (e.kind) {
        case Kind::Bool:
        case Kind::Text:
            return Ui_Prefs_WriteEntry(state, file, e.tag, kPrefsTypeBytes, e.count,
                                       FieldAt<uint8_t>(prefs, e.offset));
        case Kind::Int:
        case Kind::IntAny:
            return Ui_Prefs_WriteEntry(state, file, e.tag, kPrefsTypeInt32, 1,
                                       FieldAt<int32_t>(prefs, e.offset));
        case Kind::Float:
            return Ui_Prefs_WriteEntry(state, file, e.tag, kPrefsTypeFloatBin, 1,
                                       FieldAt<float>(prefs, e.offset));
        case Kind::Special:
            break;
    }
    switch (e.tag) {
        case 62: {
            float v[kMemoryColorEntryValues];
            MemoryColorsToValues(prefs->memoryColors, v);
            // The stored form keeps 23 bits of a float, rounding half away from zero: a hue just
            // below 360 would come back as 360, which the next reading refuses. It is the same
            // angle as 0.
            for (int i = 0; i < kMemoryColorCount; ++i) {
                float& hue = v[4 * i + 2];
                if (Ui_Prefs_BinToFloat(Ui_Prefs_FloatToBin(hue)) >= 360.0f && hue < 360.0f) {
                    hue = 0.0f;
                }
            }
            return Ui_Prefs_WriteEntry(state, file, 62, kPrefsTypeFloatBin, e.count, v);
        }
        case 63: {
            uint8_t bytes[kMemoryColorEntryBytes];
            MemoryColorsToNames(prefs->memoryColors, bytes);
            return Ui_Prefs_WriteEntry(state, file, 63, kPrefsTypeBytes, e.count, bytes);
        }
        case 88:
            return Ui_Prefs_WriteEntry(state, file, 88, kPrefsTypeInt32, 1, &prefs->outputFormat);
        case 102: {
            const SharpenNoise& s = prefs->sharpenNoise;
            int32_t v[3] = {s.sharpenOn, s.sharpenStrength, s.sharpenK};
            return Ui_Prefs_WriteEntry(state, file, 102, kPrefsTypeInt32, 3, v);
        }
        case 103: {
            const SharpenNoise& s = prefs->sharpenNoise;
            int32_t v[9] = {s.noiseOn,           s.noiseFlag,         s.noiseRadius[0],
                            s.noiseRadius[1],    s.noiseRadius[2],    s.noiseThreshold[0],
                            s.noiseThreshold[1], s.noiseThreshold[2], s.noiseK};
            return Ui_Prefs_WriteEntry(state, file, 103, kPrefsTypeInt32, 9, v);
        }
        case 104:
        case 105:
        case 108:
            return Ui_Prefs_WriteEntry(state, file, e.tag, kPrefsTypeFloatBin, 3,
                                       ColorDefFor(&prefs->colorDefs, e.tag));
        case 109:
        case 110: {
            float v[kParsVectorCount];
            const EditPars* p = e.tag == 109 ? &prefs->customSettings : &prefs->previousSettings;
            int32_t status = ParsToVector(p, v, kParsVectorCount);
            if (status != kStatusOk) return status;
            return Ui_Prefs_WriteEntry(state, file, e.tag, kPrefsTypeFloatBin, e.count, v);
        }
        default:
            return kStatusProblem;
    }
}

}  // namespace

int32_t PrefsThreadCount(const Prefs* prefs) {
    return WorkThreadCount(prefs != nullptr ? prefs->threads : 0);
}

int32_t SetPrefsDefaults(Prefs* prefs) {
    if (prefs == nullptr) return kStatusProblem;
    Mem_Fill(prefs, 0, sizeof *prefs);
    for (const Entry& e : kEntries) SetEntryDefault(prefs, e);
    MemoryColorsSetDefaults(prefs->memoryColors);
    SetSharpenNoiseDefaults(&prefs->sharpenNoise);
    SetColorDefsDefaults(&prefs->colorDefs);
    SetParsDefaults(&prefs->customSettings);
    SetParsDefaults(&prefs->previousSettings);
    SetParsDefaults(&prefs->dialogPars);
    return kStatusOk;
}

void CopyPrefsDialogEntries(const Prefs* from, Prefs* to) {
    if (from == nullptr || to == nullptr || from == to) return;
    for (const Entry& e : kEntries) {
        if (e.dialog == Dialog::None || e.size == 0) continue;
        Mem_Copy(FieldAt<uint8_t>(to, e.offset), FieldAt<uint8_t>(from, e.offset), e.size);
    }
}

void ResetPrefsDialogEntries(Prefs* prefs) {
    if (prefs == nullptr) return;
    for (const Entry& e : kEntries) {
        if (e.dialog == Dialog::Reset) SetEntryDefault(prefs, e);
    }
}

const char* PrefsEntryName(uint16_t tag) {
    const Entry* e = Find(tag);
    return e != nullptr ? e->name : nullptr;
}

int32_t ReadPrefEntryInto(Prefs* prefs, UiState* state, uint16_t tag, uint16_t type, uint32_t count,
                          const void* data, PrefsReadNotes* notes) {
    if (prefs == nullptr) return kStatusProblem;
    const Entry* e = Find(tag);
    if (e == nullptr) return kStatusOk;  // the container's own tags, unused and unknown tags
    int32_t status = kStatusFormat;
    if (count == e->count && TypeFits(*e, type) && data != nullptr) {
        status = e->kind == Kind::Special ? ReadSpecial(prefs, state, tag, data)
                                          : ReadSimple(prefs, *e, data);
    }
    if (status == kStatusUnsupported) {
        NoteRepair(notes, tag);
        return kStatusOk;
    }
    if (status != kStatusOk && notes != nullptr) {
        notes->refusal = status;
        notes->refusedTag = tag;
    }
    return status;
}

int32_t WritePrefEntriesFrom(const Prefs* prefs, UiState* state, FLFile* file) {
    if (prefs == nullptr || file == nullptr) return kStatusProblem;
    for (uint16_t tag : kWriteOrder) {
        const Entry* e = Find(tag);
        int32_t status = e != nullptr ? WriteEntry(prefs, state, file, *e) : kStatusProblem;
        if (status != kStatusOk) return status;
    }
    return kStatusOk;
}

bool PrefsReadNotice(const PrefsReadNotes* notes, int32_t index, Ui_Failure* notice) {
    if (notes == nullptr || index < 0) return false;
    const int32_t repairs =
        notes->repairs < kPrefsNotedRepairs ? notes->repairs : kPrefsNotedRepairs;
    if (index < repairs) {
        Ui_Failure_Describe(notice, kStatusUnsupported, kPhraseReadPrefDefault,
                            notes->repairedTag[index]);
        return true;
    }
    if (index == repairs && notes->refusal != kStatusOk) {
        Ui_Failure_Describe(notice, notes->refusal, kPhraseReadPref, notes->refusedTag);
        return true;
    }
    return false;
}

int32_t ReadPrefEntry(void* target, UiState* state, uint16_t tag, uint16_t type, uint32_t count,
                      const void* data) {
    const auto* t = static_cast<const PrefsEntryTarget*>(target);
    if (t == nullptr || t->prefs == nullptr) return kStatusProblem;
    return ReadPrefEntryInto(t->prefs, state, tag, type, count, data, t->notes);
}

int32_t WritePrefEntries(void* target, UiState* state, FLFile* file) {
    const auto* t = static_cast<const PrefsEntryTarget*>(target);
    if (t == nullptr || t->prefs == nullptr) return kStatusProblem;
    return WritePrefEntriesFrom(t->prefs, state, file);
}

int32_t StartModeFromListPosition(int32_t position, int32_t* mode) {
    static const int32_t kModes[4] = {kStartKeenhue, kStartPrevious, kStartCustom, kStartReset};
    if (mode == nullptr || !(1 <= position && position <= 4)) return kStatusProblem;
    *mode = kModes[position - 1];
    return kStatusOk;
}

int32_t StartModeToListPosition(int32_t mode, int32_t* position) {
    static const int32_t kPositions[4] = {1, 2, 4, 3};
    if (position == nullptr || !(0 <= mode && mode <= 3)) return kStatusProblem;
    *position = kPositions[mode];
    return kStatusOk;
}
