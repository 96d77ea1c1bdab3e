// The module linked into the evaluation; see linked_keenhue.h.
#include "bench/linked_keenhue.h"

#include "tools/hostlib/host_session.h"
#include "tools/hostlib/memory_document.h"

// The module's entry point, linked into this program (host/plugin_main.cpp).
extern "C" void PluginMain(int16 selector, void* paramBlock, intptr_t* data, int16* result);

namespace {

HostPixels ToHost(const Image& image) {
    HostPixels pixels;
    pixels.width = image.width;
    pixels.height = image.height;
    pixels.planes = image.channels;
    pixels.depth = image.depth;
    pixels.samples = image.samples;
    if (image.depth == 16) {
        for (uint16_t& v : pixels.samples) v = FileToHost16(v);
    }
    return pixels;
}

}  // namespace

bool LinkedCorrect(const Image& input, Image* output, std::string* error) {
    if (input.channels < 3) {
        *error = "not an RGB image";
        return false;
    }
    const HostPixels source = ToHost(input);
    HostPixels result = source;
    MemoryDocument document(&source, &result, nullptr);
    SessionSettings settings;
    settings.plugin = "KolmaraPro (linked)";
    settings.linkedEntry = PluginMain;
    settings.title = "photo";
    settings.resolution[0] = input.xResolution;
    settings.resolution[1] = input.yResolution;
    HostSession session(&document, settings, SessionHooks());
    SessionOutcome outcome = session.Load();
    if (outcome.Ok()) outcome = session.Run();
    if (!outcome.Ok()) {
        *error = outcome.message;
        return false;
    }
    *output = input;
    output->samples = result.samples;
    if (input.depth == 16) {
        for (uint16_t& v : output->samples) v = HostToFile16(v);
    }
    return true;
}
