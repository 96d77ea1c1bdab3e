// Resources read at run time: a resource archive in memory, a module file on disk whose archive
// section a host reads without loading it (with the PiPL the stand-in host takes from it), a
// dialog template's text, and a PiPL's bytes. The first byte picks the form, the rest is the
// input. From an archive every string, template and help text its directory names is loaded as
// the module loads them.
//
// The help text is only copied out to a file here; the help window's reading of that file has a
// harness of its own (fuzz_help_text.cpp).
#include <cstring>
#include <vector>

#include "platform/file.h"
#include "platform/mem.h"
#include "platform/resources.h"
#include "platform/ui/dlg_template.h"
#include "platform/ui_state.h"
#include "tests/fuzz/fuzz_support.h"
#include "tools/hostlib/pipl_check.h"

namespace {

constexpr uint32_t kMaxEntriesWalked = 64;

uint32_t BE32(const uint8_t* p) {
    uint32_t v;
    FL_GetU32(p, &v);
    return v;
}

void UseTemplate(Ui_DlgTemplate* t) {
    fuzz::Check(0 <= t->itemCount && t->itemCount <= kUiMaxItems,
                "a template with " + std::to_string(t->itemCount) + " items");
    for (int32_t i = 1; i <= t->itemCount; ++i) {
        const Ui_DlgItem* item = Ui_Template_Item(t, i);
        fuzz::Check(item != nullptr && std::memchr(item->text, 0, sizeof item->text) != nullptr,
                    "a template item whose text is not terminated");
    }
    Ui_BaseUnits base;
    if (Ui_BaseUnitsFromFont(52 * 6, 13, &base) == kStatusOk &&
        Ui_Template_Layout(t, &base) == kStatusOk) {
        Ui_Template_LayoutSized(t, &base, t->client.right + 40, t->client.bottom + 30,
                                t->itemCount > 0 ? 1 : 0);
    }
}

// Everything the directory names, loaded the way the module loads each type.
void UseArchive(const ResArchive& archive) {
    UiState* state = nullptr;
    if (Ui_State_Open(&state, &archive, nullptr, 1000, 0) != kStatusOk) return;
    fuzz::Check(std::memchr(state->appName, 0, sizeof state->appName) != nullptr,
                "the application name is not terminated");
    const uint32_t n = archive.count < kMaxEntriesWalked ? archive.count : kMaxEntriesWalked;
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t* entry = archive.bytes + 12 + 16 * i;
        const uint32_t type = BE32(entry), id = BE32(entry + 4);
        if (type == kResTypeString) {
            char text[256];
            std::memset(text, 0x5A, sizeof text);
            Ui_ResToCString(state, int32_t(id), text);
            fuzz::Check(std::memchr(text, 0, sizeof text) != nullptr,
                        "a string of the table is not terminated within 256 bytes");
        } else if (type == kResTypeDialog) {
            Ui_DlgTemplate* t = nullptr;
            if (Ui_Template_Load(state, int32_t(id), &t) == kStatusOk) UseTemplate(t);
            Ui_Template_Free(&t);
        } else if (type == kResTypeHelp) {
            std::vector<uint8_t> out(4096);
            FLSpec spec;
            FLSpecMemory(&spec, out.data(), int32_t(out.size()));
            Ui_ResToFile(state, kResTypeHelp, int32_t(id), &spec);
        }
    }
    Ui_State_Close(&state);
}

void Archive(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    ResArchive archive;
    if (Res_Open(&archive, bytes.data(), uint32_t(bytes.size())) == kStatusOk) UseArchive(archive);
}

void ModuleFile(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteFile("module.so", data, size);
    uint8_t* bytes = nullptr;
    uint32_t length = 0;
    if (Res_ReadFromElfFile(path.c_str(), &bytes, &length) == kStatusOk) {
        ResArchive archive;
        fuzz::Check(Res_Open(&archive, bytes, length) == kStatusOk,
                    "the archive read from a module file is not a valid archive");
        UseArchive(archive);
    } else {
        fuzz::Check(bytes == nullptr, "a refused module file returned an archive");
    }
    Mem_Free(bytes);
    ModuleInfo info;
    std::string error;
    if (ReadModuleInfo(path, &info, &error)) {
        for (int16 mode :
             {int16(plugInModeRGBColor), int16(plugInModeRGB48), int16(plugInModeGrayScale)}) {
            ImageFacts facts;
            facts.mode = mode;
            facts.depth = mode == plugInModeRGB48 ? 16 : 8;
            facts.width = facts.height = 640;
            WhyNotAvailable(info, facts);
        }
    }
}

void TemplateText(const uint8_t* data, size_t size) {
    std::vector<uint8_t> text(data, data + size);
    Ui_DlgTemplate* t = nullptr;
    int32_t line = 0;
    if (Ui_Template_Parse(text.data(), uint32_t(text.size()), &t, &line) == kStatusOk) {
        UseTemplate(t);
    } else {
        fuzz::Check(t == nullptr, "a refused template was returned");
    }
    Ui_Template_Free(&t);
}

void Pipl(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    std::vector<PiplProperty> properties;
    std::string error;
    ModuleInfo info;
    if (!ParsePiPL(bytes.data(), bytes.size(), &properties, &error) ||
        !DescribeModule(properties, &info, &error)) {
        return;
    }
    for (int16 mode : {int16(plugInModeRGBColor), int16(plugInModeRGB48), int16(plugInModeLabColor),
                       int16(plugInModeGrayScale)}) {
        for (int16 filterCase = 1; filterCase <= kFilterCaseCount; filterCase += 3) {
            ImageFacts facts;
            facts.mode = mode;
            facts.depth = mode == plugInModeRGB48 ? 16 : 8;
            facts.width = 30000;
            facts.height = 20;
            facts.filterCase = filterCase;
            WhyNotAvailable(info, facts);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    fuzz::Bytes in(data, size);
    const uint8_t form = in.U8() % 4;
    {
        fuzz::BlockCount blocks("reading resources");
        switch (form) {
            case 0:
                Archive(in.data(), in.size());
                break;
            case 1:
                ModuleFile(in.data(), in.size());
                break;
            case 2:
                TemplateText(in.data(), in.size());
                break;
            default:
                Pipl(in.data(), in.size());
                break;
        }
    }
    fuzz::TakeAlertCount();
    return 0;
}
