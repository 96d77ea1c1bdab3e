// Preference entries; see prefs.h.
#include "edit/prefs.h"

#include <cstddef>

#include "edit/pars_vector.h"
#include "platform/file.h"
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

struct Entry {
    uint16_t tag;
    Kind kind;
    uint32_t count;
    size_t offset;
    int32_t lo, hi, fallback;   // Bool, Int
    float flo, fhi, ffallback;  // Float
};

constexpr Entry Bool(uint16_t tag, size_t offset, int32_t fallback) {
    return {tag, Kind::Bool, 1, offset, 0, 1, fallback, 0, 0, 0};
}
constexpr Entry Int(uint16_t tag, size_t offset, int32_t lo, int32_t hi, int32_t fallback) {
    return {tag, Kind::Int, 1, offset, lo, hi, fallback, 0, 0, 0};
}
constexpr Entry IntAny(uint16_t tag, size_t offset) {
    return {tag, Kind::IntAny, 1, offset, 0, 0, 0, 0, 0, 0};
}
constexpr Entry Float(uint16_t tag, size_t offset, float lo, float hi, float fallback) {
    return {tag, Kind::Float, 1, offset, 0, 0, 0, lo, hi, fallback};
}
constexpr Entry Text(uint16_t tag, size_t offset, uint32_t size) {
    return {tag, Kind::Text, size, offset, 0, 0, 0, 0, 0, 0};
}
constexpr Entry Special(uint16_t tag, uint32_t count) {
    return {tag, Kind::Special, count, 0, 0, 0, 0, 0, 0, 0};
}

#define AT(field) offsetof(Prefs, field)

// Every entry the plug-in knows. The keenhue and memory-colour masks are 16-bit masks, so their
// "below the limit" ranges start at 0: a negative value would switch on every bit.
constexpr Entry kEntries[] = {
    Bool(50, AT(liveSliders), 1),
    Int(51, AT(gridLevel), 0, 7, 7),
    Int(52, AT(sampleSize), 0, 2, 0),
    Int(53, AT(readoutMode), 0, 2, 1),
    Float(54, AT(preferredSaturation), 0.0f, 1.0f, 0.8f),
    Bool(55, AT(keenhueMode), 1),
    IntAny(56, AT(appValue56)),
    IntAny(57, AT(appValue57)),
    Bool(58, AT(useLargestWindow), 0),
    Bool(59, AT(showSampledRegion), 0),
    Special(60, kMemoryColorOldEntryCount),
    Int(61, AT(okMode), 0, 3, 0),
    Special(62, kMemoryColorEntryValues),
    Special(63, kMemoryColorEntryBytes),
    Int(64, AT(startWith), 0, 3, 0),
    Bool(66, AT(showMethodMenu), 0),
    Bool(67, AT(showCurveControl), 0),
    Bool(68, AT(altOkCyclesMode), 1),
    Bool(69, AT(showPixelValues), 0),
    Int(70, AT(workingSpaceChoice), 0, 14, 13),
    Bool(71, AT(embedProfile), 1),
    Bool(72, AT(preserveExif), 0),
    Bool(73, AT(saveInSourceFolder), 1),
    Text(74, AT(outputFolder), kPrefsTextSize),
    Text(75, AT(fileSuffix), kPrefsShortTextSize),
    Bool(76, AT(useFileExtensions), 1),
    Bool(77, AT(lowerCaseExtensions), 1),
    Float(78, AT(jpegQuality), 0.0f, 1.0f, 1.0f),
    Int(79, AT(missingProfilePolicy), 0, 2, 1),
    Text(80, AT(missingProfilePath), kPrefsTextSize),
    Int(81, AT(appValue81), 1, 2, 1),
    Text(82, AT(appPath82), kPrefsTextSize),
    Int(83, AT(embeddedProfilePolicy), 0, 3, 3),
    Text(84, AT(embeddedProfilePath), kPrefsTextSize),
    Int(85, AT(appValue85), 1, 3, 3),
    Text(86, AT(appPath86), kPrefsTextSize),
    Special(88, 1),
    Bool(89, AT(showStartUpGuide), 1),
    Text(90, AT(appPath90), kPrefsTextSize),
    Text(91, AT(appPath91), kPrefsTextSize),
    Special(93, kParsVectorCountOld),
    Text(94, AT(customName), kPrefsTextSize),
    Text(95, AT(customFolder), kPrefsTextSize),
    Int(96, AT(outputNaming), 0, 2, 0),
    Text(97, AT(filePrefix), kPrefsShortTextSize),
    Int(98, AT(keenhueMask), 0, kPrefsKeenhueMaskMax, 64564),
    Int(99, AT(memoryColorMask), 0, 65056, 65056),
    Special(100, kParsVectorCountOld),
    Special(102, 3),
    Special(103, 9),
    Special(104, 3),
    Special(105, 3),
    Bool(106, AT(previewSharpening), 1),
    Bool(107, AT(previewNoise), 1),
    Special(108, 3),
    Special(109, kParsVectorCount),
    Special(110, kParsVectorCount),
    Bool(111, AT(startAllSame), 0),
    Int(112, AT(startTool[0]), 0, 3, 0),
    Int(113, AT(startTool[1]), 0, 3, 0),
    Int(114, AT(startTool[2]), 0, 3, 0),
    Int(115, AT(startTool[3]), 0, 3, 0),
};

#undef AT

// The order entries are written in. The older 60, 93 and 100 are read only.
constexpr uint16_t kWriteOrder[] = {
    55,  52,  95, 94, 58, 56, 57, 61, 109, 110, 83, 85, 84,  86,  71, 53, 64, 111, 112, 113,
    114, 115, 78, 72, 77, 99, 63, 62, 79,  81,  80, 82, 107, 106, 50, 91, 51, 103, 105, 108,
    104, 54,  90, 74, 73, 88, 96, 97, 75,  102, 66, 67, 68,  69,  59, 89, 98, 76,  70,
};

Prefs** gPrefsRef = nullptr;
PrefsReadNotes* gNotes = nullptr;

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

int32_t SetPrefsDefaults(Prefs* prefs) {
    if (prefs == nullptr) return kStatusProblem;
    Mem_Fill(prefs, 0, sizeof *prefs);
    Prefs& p = *prefs;
    p.liveSliders = 1;
    p.gridLevel = 7;
    p.sampleSize = 2;
    p.readoutMode = 0;
    p.preferredSaturation = 0.8f;
    p.keenhueMode = 1;
    p.okMode = 0;
    MemoryColorsSetDefaults(p.memoryColors);
    p.startWith = kStartReset;
    p.showMethodMenu = 1;
    p.showCurveControl = 1;
    p.altOkCyclesMode = 1;
    p.showPixelValues = 1;
    p.workingSpaceChoice = 13;
    p.embedProfile = 1;
    p.preserveExif = 1;
    p.saveInSourceFolder = 1;
    Str_CopyBounded(p.fileSuffix, sizeof p.fileSuffix, "-xT");
    p.useFileExtensions = 1;
    p.lowerCaseExtensions = 1;
    p.jpegQuality = 1.0f;
    p.missingProfilePolicy = 1;
    p.appValue81 = 1;
    p.embeddedProfilePolicy = 3;
    p.appValue85 = 3;
    p.outputFormat = 0;
    p.showStartUpGuide = 1;
    p.outputNaming = 0;
    Str_CopyBounded(p.filePrefix, sizeof p.filePrefix, "xT-");
    p.keenhueMask = 64564;
    p.memoryColorMask = 65056;
    SetSharpenNoiseDefaults(&p.sharpenNoise);
    SetColorDefsDefaults(&p.colorDefs);
    p.previewSharpening = 1;
    p.previewNoise = 1;
    p.startAllSame = 1;
    for (int32_t& mode : p.startTool) mode = kStartReset;
    SetParsDefaults(&p.customSettings);
    SetParsDefaults(&p.previousSettings);
    SetParsDefaults(&p.dialogPars);
    return kStatusOk;
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

void SetPrefsRecordRef(Prefs** ref) {
    gPrefsRef = ref;
}

bool PrefsReadNotice(const PrefsReadNotes* notes, int32_t index, Ui_Failure* notice) {
    if (notes == nullptr || index < 0) return false;
    const int32_t repairs =
        notes->repairs < kPrefsNotedRepairs ? notes->repairs : kPrefsNotedRepairs;
    if (index < repairs) {
        Ui_Fail(notice, kStatusUnsupported, kPhraseReadPrefDefault, notes->repairedTag[index]);
        return true;
    }
    if (index == repairs && notes->refusal != kStatusOk) {
        Ui_Fail(notice, notes->refusal, kPhraseReadPref, notes->refusedTag);
        return true;
    }
    return false;
}

void SetPrefsReadNotes(PrefsReadNotes* notes) {
    gNotes = notes;
}

int32_t ReadPrefEntry(UiState* state, uint16_t tag, uint16_t type, uint32_t count,
                      const void* data) {
    if (gPrefsRef == nullptr) return kStatusProblem;
    return ReadPrefEntryInto(*gPrefsRef, state, tag, type, count, data, gNotes);
}

int32_t WritePrefEntries(UiState* state, FLFile* file) {
    if (gPrefsRef == nullptr) return kStatusProblem;
    return WritePrefEntriesFrom(*gPrefsRef, state, file);
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
