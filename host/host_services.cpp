// Host services; see host_services.h.
#include "host/host_services.h"

#include "host/rects.h"
#include "platform/debug_log.h"
#include "platform/mem.h"
#include "platform/numeric.h"
#include "platform/ui_state.h"
#include "resources/ids/strings.h"

namespace {

const unsigned char kPickPrompt[] = "\x0dPick a color.";

uint8_t Diagnostics(UiState* state) {
    return state != nullptr ? state->diagnostics : 0;
}

}  // namespace

int32_t HostCSPickColor(FilterRecord* record, UiState* state, float rgb[3]) {
    if (record == nullptr || rgb == nullptr) return kStatusProblem;
    if (record->colorServices == nullptr) return kStatusUnsupported;
    int16 components[4];
    for (int c = 0; c < 3; ++c) components[c] = int16(int32_t(rgb[c] * 255.0f + 0.5f));
    components[3] = 0;

    ColorServicesInfo info;
    Mem_Fill(&info, 0, sizeof info);
    info.infoSize = int32(sizeof info);
    info.selector = plugIncolorServicesChooseColor;
    info.sourceSpace = plugIncolorServicesRGBSpace;
    info.resultSpace = plugIncolorServicesRGBSpace;
    for (int c = 0; c < 4; ++c) info.colorComponents[c] = components[c];
    info.selectorParameter.pickerPrompt = kPickPrompt;
    Ui_Debug_Log(Diagnostics(state), "HostCSPickColor...");
    const OSErr chosen = record->colorServices(&info);
    if (chosen != noErr) {
        // A person closing the picker without a colour is not an error.
        Ui_Debug_Log(Diagnostics(state), chosen == userCanceledErr ? "...cancelled" : "...error");
        return chosen == userCanceledErr ? kStatusCancelled : kStatusError;
    }
    Ui_Debug_Log(Diagnostics(state), "...OK");
    if (info.resultSpace != plugIncolorServicesRGBSpace) {
        ColorServicesInfo convert;
        Mem_Fill(&convert, 0, sizeof convert);
        convert.infoSize = int32(sizeof convert);
        convert.selector = plugIncolorServicesConvertColor;
        convert.sourceSpace = info.resultSpace;
        convert.resultSpace = plugIncolorServicesRGBSpace;
        for (int c = 0; c < 4; ++c) convert.colorComponents[c] = info.colorComponents[c];
        Ui_Debug_Log(Diagnostics(state), "HostCSPickColor...");
        if (record->colorServices(&convert) != 0) {
            Ui_Debug_Log(Diagnostics(state), "...error");
            return kStatusError;
        }
        for (int c = 0; c < 4; ++c) info.colorComponents[c] = convert.colorComponents[c];
    }
    Ui_Debug_Log(Diagnostics(state), "...OK");
    // The host's answer is whatever its 16-bit fields hold; the engine takes 0..1 only.
    for (int c = 0; c < 3; ++c) {
        int32_t v = info.colorComponents[c];
        rgb[c] = float(Num_Clamp(v, 0, 255)) / 255.0f;
    }
    return kStatusOk;
}

int32_t GetDocumentTitle(FilterRecord* record, char* buffer, int32_t size) {
    if (record == nullptr || buffer == nullptr || size < 1) return kStatusProblem;
    PropertyProcs* pp = record->propertyProcs;
    HandleProcs* hp = record->handleProcs;
    if (pp == nullptr || pp->getPropertyProc == nullptr || hp == nullptr ||
        hp->getSizeProc == nullptr || hp->lockProc == nullptr) {
        return kStatusUnsupported;
    }
    intptr_t simple = 0;
    Handle title = nullptr;
    if (pp->getPropertyProc(kPhotoshopSignature, propTitle, 0, &simple, &title) != 0) {
        return kStatusError;
    }
    if (title == nullptr) return kStatusNoMemory;
    int32_t length = hp->getSizeProc(title);
    const char* text = hp->lockProc(title, 0);
    int32_t n = 0;
    if (text != nullptr && length > 0) {
        n = length < size - 1 ? length : size - 1;
        Mem_Copy(buffer, text, size_t(n));
    }
    buffer[n] = 0;
    if (hp->unlockProc != nullptr) hp->unlockProc(title);
    if (hp->disposeProc != nullptr) hp->disposeProc(title);
    return kStatusOk;
}

int32_t GetFilterSize(const FilterRecord* record, int32_t* width, int32_t* height) {
    if (record == nullptr || width == nullptr || height == nullptr) return kStatusProblem;
    VRect r = GetFilterRect(record);
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    return kStatusOk;
}

int32_t DescribeHostInput(const FilterRecord* record, IPImage* image) {
    if (record == nullptr || image == nullptr) return kStatusProblem;
    Mem_Fill(image, 0, sizeof *image);
    VRect r = GetInRect(record);
    image->kind = kIPKindColour;
    image->channels = record->planes < 4 ? 3 : 4;
    image->bytesPerSample = record->depth == 16 ? 2 : 1;
    image->width = r.right - r.left;
    image->height = r.bottom - r.top;
    image->resolution = 72.0f;
    // Every plane is asked for, so the samples of a pixel are planes apart, not channels: an
    // image with a plane beyond the transparency would otherwise be read askew.
    image->pixelStep = record->planes > image->channels ? record->planes : image->channels;
    image->rowStep = record->inRowBytes / image->bytesPerSample;
    auto* base = static_cast<uint8_t*>(record->inData);
    for (int c = 0; c < image->channels && base != nullptr; ++c) {
        image->channel[c] = base + c * image->bytesPerSample;
    }
    return kStatusOk;
}

int32_t DescribeHostMask(const FilterRecord* record, IPImage* image) {
    if (record == nullptr || image == nullptr) return kStatusProblem;
    Mem_Fill(image, 0, sizeof *image);
    VRect r = GetMaskRect(record);
    image->kind = kIPKindMask;
    image->channels = 1;
    image->bytesPerSample = 1;
    image->width = r.right - r.left;
    image->height = r.bottom - r.top;
    image->resolution = 72.0f;
    image->pixelStep = 1;
    image->rowStep = record->maskRowBytes;
    image->channel[0] = record->maskData;
    return kStatusOk;
}

int32_t AdvanceHostState(const PluginCall* call, Ui_Failure* failure) {
    OSErr answer = Record(call)->advanceState();
    if (answer == noErr) return kStatusOk;
    SetResult(call, answer);
    if (answer == userCanceledErr) return Ui_Failure_Describe(failure, kStatusCancelled, 0);
    return Ui_Failure_Describe(failure, kStatusError, kPhraseAdvanceState);
}

int32_t ResetHostRects(const PluginCall* call, Ui_Failure* failure) {
    FilterRecord* record = Record(call);
    VRect empty{0, 0, 0, 0};
    SetInRect(record, empty);
    SetMaskRect(record, empty);
    return AdvanceHostState(call, failure);
}
