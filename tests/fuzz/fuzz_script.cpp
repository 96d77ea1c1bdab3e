// Recorded actions: the settings the host hands back when an action is replayed, read by the
// module through the stand-in host's real descriptor and handle suites. The first byte says what
// the rest is: an action file as filterhost --play reads it (whose items then become the
// descriptor), the bytes of a descriptor handle, or the text of the module's own item alone.
//
// Afterwards every setting the action carries must lie in its preference's range, the module must
// have disposed of the descriptor and of every handle the host gave it, closed its reader, and
// used the suites as their contract says (the stand-in host reports any misuse as a warning).
#include <memory>
#include <vector>

#include "edit/prefs.h"
#include "host/scripting.h"
#include "tests/edit/edit_test_support.h"
#include "tests/fuzz/fuzz_support.h"
#include "tools/hostlib/descriptors.h"
#include "tools/hostlib/handle_suite.h"

namespace {

std::string gMisuse;

// The host's own complaint about a damaged descriptor is the expected answer to damaged bytes;
// anything else it warns about is the module using a suite against its contract.
void NoteWarning(const std::string& text) {
    if (text.rfind("openReadDescriptorProc: the descriptor is damaged", 0) == 0) return;
    if (gMisuse.empty()) gMisuse = text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    UiState* state = fuzz::State();
    SetHostWarningSink(NoteWarning);
    gMisuse.clear();
    fuzz::Bytes in(data, size);
    const uint8_t form = in.U8();
    const std::string rest(reinterpret_cast<const char*>(in.data()), in.size());

    std::string descriptor;
    switch (form % 3) {
        case 0: {
            std::vector<DescriptorItem> items;
            std::string error;
            const std::string path = fuzz::WriteFile("action.kact", in.data(), in.size());
            if (!ReadActionFile(path, &items, &error)) return 0;
            descriptor = EncodeDescriptor(items);
            break;
        }
        case 1:
            descriptor = rest;
            break;
        default:
            descriptor = EncodeDescriptor({DescriptorItem{kScriptKeyData, typeText, rest}});
            break;
    }

    FilterRecord record{};
    PIDescriptorParameters parameters{};
    record.handleProcs = HostHandleProcs();
    record.descriptorParameters = &parameters;
    parameters.readDescriptorProcs = HostReadDescriptorProcs();
    parameters.writeDescriptorProcs = HostWriteDescriptorProcs();
    parameters.playInfo = (form & 4) ? plugInDialogDisplay : plugInDialogDontDisplay;
    parameters.descriptor = NewHostHandle(descriptor.data(), descriptor.size());
    fuzz::Check(parameters.descriptor != nullptr, "the host could not make the descriptor");

    auto prefs = edit_testing::NewDefaultPrefs();
    auto settings = std::make_unique<ScriptSettings>();
    ScriptSettingsFromPrefs(prefs.get(), settings.get());
    uint8_t showDialog = 2;
    {
        fuzz::BlockCount blocks("reading the recorded settings");
        ReadScriptParameters(&record, settings.get(), &showDialog, state);
    }
    // The run's settings checked by the preferences' own ranges.
    prefs->previousSettings = settings->previousSettings;
    prefs->customSettings = settings->customSettings;
    prefs->startWith = settings->startWith;
    prefs->keenhueMask = settings->keenhueMask;
    prefs->memoryColorMask = settings->memoryColorMask;
    prefs->preferredSaturation = settings->preferredSaturation;
    prefs->gridLevel = settings->gridLevel;
    prefs->startAllSame = settings->startAllSame;
    for (int i = 0; i < 4; ++i) prefs->startTool[i] = settings->startTool[i];
    const std::string bad = edit_testing::PrefsOutOfRange(*prefs);
    fuzz::Check(bad.empty(), "a preference out of range after a replay: " + bad);
    fuzz::Check(showDialog == ((form & 4) ? 1 : 0), "the dialog choice does not follow playInfo");
    fuzz::Check(parameters.descriptor == nullptr, "the descriptor was not handed back");
    const size_t tokens = OpenDescriptorTokens(), handles = LiveHandleCount();
    CloseAllDescriptorTokens();
    DisposeAllHandles();
    fuzz::Check(tokens == 0, "a descriptor reader was left open");
    fuzz::Check(handles == 0, std::to_string(handles) + " host handles were not disposed of");
    fuzz::Check(gMisuse.empty(), "the module misused a host suite: " + gMisuse);
    fuzz::TakeAlertCount();
    return 0;
}
