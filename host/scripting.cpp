// Scripting parameters; see scripting.h.
#include "host/scripting.h"

#include "edit/pars_vector.h"
#include "edit/prefs.h"
#include "platform/debug_log.h"
#include "platform/mem.h"
#include "platform/ui_state.h"

namespace {

constexpr int32_t kWordsPerCopy = kParsVectorCount;        // 629
constexpr int32_t kWordsPerOldCopy = kParsVectorCountOld;  // 609
constexpr int32_t kScalarWord = 2 * kWordsPerCopy;         // 1258
constexpr int32_t kTextWord = kScalarWord + 10;            // 1268
constexpr int32_t kNameBytes = 256;

uint8_t Diagnostics(UiState* state) {
    return state != nullptr ? state->diagnostics : 0;
}

float WordAsFloat(uint32_t w) {
    float f;
    Mem_Copy(&f, &w, 4);
    return f;
}

uint32_t FloatAsWord(float f) {
    uint32_t w;
    Mem_Copy(&w, &f, 4);
    return w;
}

// A start mode is taken only when it lies in 0..3; the fraction is dropped.
void TakeStartMode(float v, int32_t* target) {
    if (0.0f <= v && v <= 3.0f) *target = int32_t(v);
}

// Copies the recorded name up to its terminator; the last byte of the entry is always zero.
void TakeName(const uint8_t* text, int32_t available, char name[kNameBytes]) {
    int32_t n = 0;
    while (n < available && n < kNameBytes - 1 && text[n] != 0) {
        name[n] = char(text[n]);
        ++n;
    }
    Mem_Fill(name + n, 0, size_t(kNameBytes - n));
}

// Applies a decoded vector of one of the accepted lengths to the run's settings.
void ApplyVector(const uint32_t* words, int32_t length, ScriptSettings* settings, UiState* state) {
    const int32_t perCopy = length == kScriptVectorBytes609 ? kWordsPerOldCopy : kWordsPerCopy;
    ParsFromVector(reinterpret_cast<const float*>(words), perCopy, &settings->previousSettings,
                   state);
    ParsFromVector(reinterpret_cast<const float*>(words + perCopy), perCopy,
                   &settings->customSettings, state);
    const uint32_t* s = words + 2 * perCopy;
    TakeStartMode(WordAsFloat(s[0]), &settings->startWith);
    // The masks are bit sets of the edit groups; a negative value would set every bit, so the
    // range has a lower bound of zero as well. The Keenhue mask takes every value the preferences
    // take: a recorded run with any of the groups set replays with the same groups.
    float keenhueMask = WordAsFloat(s[1]);
    if (0.0f <= keenhueMask && keenhueMask <= float(kPrefsKeenhueMaskMax))
        settings->keenhueMask = int32_t(keenhueMask);
    float memoryMask = WordAsFloat(s[2]);
    if (0.0f <= memoryMask && memoryMask <= 65056.0f)
        settings->memoryColorMask = int32_t(memoryMask);
    float saturation = WordAsFloat(s[3]);
    if (0.0f <= saturation && saturation <= 1.0f) settings->preferredSaturation = saturation;
    float level = WordAsFloat(s[4]);
    if (0.0f <= level && level <= 7.0f) settings->gridLevel = int32_t(level);
    int32_t scalars = 5;
    if (length != kScriptVectorBytes609) {
        float allSame = WordAsFloat(s[5]);
        if (-1.0f < allSame && allSame < 2.0f) settings->startAllSame = uint8_t(int32_t(allSame));
        for (int i = 0; i < 4; ++i) TakeStartMode(WordAsFloat(s[6 + i]), &settings->startTool[i]);
        scalars = 10;
    }
    const auto* text = reinterpret_cast<const uint8_t*>(s + scalars);
    int32_t textBytes = length - 4 * (2 * perCopy + scalars);
    TakeName(text, textBytes, settings->customName);
}

// Reads the text item the reader is positioned on; returns the error to note (0 or -8).
int32_t ReadDataItem(FilterRecord* record, PIReadDescriptor reader, ScriptSettings* settings,
                     UiState* state) {
    HandleProcs* hp = record->handleProcs;
    Handle text = nullptr;
    record->descriptorParameters->readDescriptorProcs->getTextProc(reader, &text);
    if (text == nullptr) return kStatusFormat;
    int32_t size = hp->getSizeProc(text);
    const auto* bytes = reinterpret_cast<const uint8_t*>(hp->lockProc(text, 1));
    if (bytes == nullptr || size < kScriptGroupBytes) {
        if (bytes != nullptr) hp->unlockProc(text);
        hp->disposeProc(text);
        return kStatusOk;
    }
    uint32_t length = ScriptUnpackWord(bytes);
    if (length != uint32_t(kScriptVectorBytes609) && length != uint32_t(kScriptVectorBytes629) &&
        length != uint32_t(kScriptVectorBytes)) {
        hp->unlockProc(text);
        hp->disposeProc(text);
        return kStatusOk;
    }
    // Zeroed first: an item shorter than the length it declares leaves the rest zero, which the
    // validation of the settings then resets, instead of whatever the memory held.
    MemBlock<uint32_t> words{length / 4};
    if (words) {
        Mem_Fill(words.get(), 0, length);
        int32_t offset = kScriptGroupBytes;
        uint32_t produced = 0;
        while (offset + kScriptGroupBytes <= size && produced < length) {
            words[produced / 4] = ScriptUnpackWord(bytes + offset);
            offset += kScriptGroupBytes;
            produced += 4;
        }
    }
    hp->unlockProc(text);
    if (words) ApplyVector(words.get(), int32_t(length), settings, state);
    hp->disposeProc(text);
    return kStatusOk;
}

}  // namespace

void ScriptPackWord(uint32_t v, uint8_t group[kScriptGroupBytes]) {
    group[0] = uint8_t(v & 0x7F);
    group[1] = uint8_t((v >> 7) & 0x7F);
    group[2] = uint8_t((v >> 14) & 0x7F);
    group[3] = uint8_t((v >> 21) & 0x7F);
    group[4] = uint8_t(v >> 28);
}

uint32_t ScriptUnpackWord(const uint8_t group[kScriptGroupBytes]) {
    return uint32_t(group[0] & 0x7F) | (uint32_t(group[1] & 0x7F) << 7) |
           (uint32_t(group[2] & 0x7F) << 14) | (uint32_t(group[3] & 0x7F) << 21) |
           (uint32_t(group[4]) << 28);
}

void ScriptSettingsFromPrefs(const Prefs* prefs, ScriptSettings* settings) {
    if (prefs == nullptr || settings == nullptr) return;
    settings->previousSettings = prefs->previousSettings;
    settings->customSettings = prefs->customSettings;
    settings->startWith = prefs->startWith;
    settings->keenhueMask = prefs->keenhueMask;
    settings->memoryColorMask = prefs->memoryColorMask;
    settings->preferredSaturation = prefs->preferredSaturation;
    settings->gridLevel = prefs->gridLevel;
    settings->startAllSame = prefs->startAllSame;
    for (int i = 0; i < 4; ++i) settings->startTool[i] = prefs->startTool[i];
    Mem_Copy(settings->customName, prefs->customName, sizeof settings->customName);
}

int32_t ReadScriptParameters(FilterRecord* record, ScriptSettings* settings, uint8_t* showDialog,
                             UiState* state) {
    if (record == nullptr || settings == nullptr || showDialog == nullptr) return kStatusProblem;
    Ui_Debug_Log(Diagnostics(state), "ReadScriptParameters...");
    PIDescriptorParameters* dp = record->descriptorParameters;
    if (dp == nullptr || dp->readDescriptorProcs == nullptr || dp->descriptor == nullptr) {
        return kStatusOk;
    }
    ReadDescriptorProcs* rp = dp->readDescriptorProcs;
    HandleProcs* hp = record->handleProcs;
    int32_t result = kStatusOk;
    const DescriptorKeyID keys[] = {kScriptKeyData, 0};
    PIReadDescriptor reader = rp->openReadDescriptorProc != nullptr
                                  ? rp->openReadDescriptorProc(dp->descriptor, keys)
                                  : nullptr;
    if (reader != nullptr) {
        bool canRead = hp != nullptr && hp->getSizeProc != nullptr && hp->lockProc != nullptr &&
                       hp->unlockProc != nullptr && hp->disposeProc != nullptr &&
                       rp->getKeyProc != nullptr && rp->getTextProc != nullptr;
        int32_t noted = kStatusOk;
        DescriptorKeyID key = 0;
        DescriptorTypeID type = 0;
        int32 flags = 0;
        while (noted == kStatusOk && rp->getKeyProc != nullptr &&
               rp->getKeyProc(reader, &key, &type, &flags)) {
            // Only a text item is asked for as text: a host answers getTextProc on any other
            // type with an error (an action may carry the key with another filter's data).
            if (key == kScriptKeyData && type == typeText && canRead)
                noted = ReadDataItem(record, reader, settings, state);
        }
        OSErr closed =
            rp->closeReadDescriptorProc != nullptr ? rp->closeReadDescriptorProc(reader) : 0;
        result = closed != 0 ? kStatusOk : noted;
    }
    if (hp != nullptr && hp->disposeProc != nullptr) hp->disposeProc(dp->descriptor);
    dp->descriptor = nullptr;
    *showDialog = dp->playInfo == plugInDialogDisplay ? 1 : 0;
    Ui_Debug_Log(Diagnostics(state), "...ReadScriptParameters");
    return result;
}

int32_t WriteScriptParameters(FilterRecord* record, const ScriptSettings* settings,
                              UiState* state) {
    if (record == nullptr || settings == nullptr) return kStatusProblem;
    Ui_Debug_Log(Diagnostics(state), "WriteScriptParameters...");
    PIDescriptorParameters* dp = record->descriptorParameters;
    if (dp == nullptr || dp->writeDescriptorProcs == nullptr) return kStatusOk;
    WriteDescriptorProcs* wp = dp->writeDescriptorProcs;
    PIWriteDescriptor writer =
        wp->openWriteDescriptorProc != nullptr ? wp->openWriteDescriptorProc() : nullptr;
    if (writer == nullptr) {
        Ui_Debug_Log(Diagnostics(state), "...WriteScriptParameters");
        return kStatusOk;
    }
    HandleProcs* hp = record->handleProcs;
    int32_t result = kStatusOk;
    if (hp != nullptr && hp->newProc != nullptr && hp->lockProc != nullptr &&
        hp->unlockProc != nullptr && hp->disposeProc != nullptr) {
        MemBlock<uint32_t> words{kScriptVectorBytes / 4};
        if (!words) {
            result = kStatusNoMemory;
        } else {
            Mem_Fill(words.get(), 0, kScriptVectorBytes);
            auto* floats = reinterpret_cast<float*>(words.get());
            result = ParsToVector(&settings->previousSettings, floats, kWordsPerCopy);
            if (result == kStatusOk) {
                result =
                    ParsToVector(&settings->customSettings, floats + kWordsPerCopy, kWordsPerCopy);
            }
            if (result == kStatusOk) {
                uint32_t* s = words.get() + kScalarWord;
                s[0] = FloatAsWord(float(settings->startWith));
                s[1] = FloatAsWord(float(settings->keenhueMask));
                s[2] = FloatAsWord(float(settings->memoryColorMask));
                s[3] = FloatAsWord(settings->preferredSaturation);
                s[4] = FloatAsWord(float(settings->gridLevel));
                s[5] = FloatAsWord(float(settings->startAllSame));
                for (int i = 0; i < 4; ++i) s[6 + i] = FloatAsWord(float(settings->startTool[i]));
                auto* name = reinterpret_cast<char*>(words.get() + kTextWord);
                Str_CopyBounded(name, kNameBytes, settings->customName);
                name[kNameBytes - 1] = 0;

                Handle text = hp->newProc(kScriptTextBytes);
                if (text != nullptr) {
                    auto* out = reinterpret_cast<uint8_t*>(hp->lockProc(text, 1));
                    if (out != nullptr) {
                        ScriptPackWord(uint32_t(kScriptVectorBytes), out);
                        for (int32_t i = 0; i < kScriptVectorBytes / 4; ++i) {
                            ScriptPackWord(words[size_t(i)], out + kScriptGroupBytes * (i + 1));
                        }
                        if (wp->putTextProc != nullptr)
                            wp->putTextProc(writer, kScriptKeyData, text);
                        hp->unlockProc(text);
                    }
                    hp->disposeProc(text);
                }
            }
        }
    }
    if (dp->descriptor != nullptr && hp != nullptr && hp->disposeProc != nullptr) {
        hp->disposeProc(dp->descriptor);
    }
    PIDescriptorHandle fresh = nullptr;
    if (wp->closeWriteDescriptorProc != nullptr) wp->closeWriteDescriptorProc(writer, &fresh);
    dp->recordInfo = plugInDialogOptional;
    dp->descriptor = fresh;
    if (fresh == nullptr && result == kStatusOk) result = kStatusNoMemory;
    Ui_Debug_Log(Diagnostics(state), "...WriteScriptParameters");
    return result;
}
