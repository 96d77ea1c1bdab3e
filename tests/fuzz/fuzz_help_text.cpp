// The help text's topics: the file the start phase copies out of the module is read again by
// the help window whenever a topic is asked for, and a file of that name left in the temporary
// folder by something else, or a damaged copy, is read all the same. The first byte picks the
// topic (one of the module's, or one the file does not have), the rest is the file. The window
// runs on the headless binding with no script: it finds the topic, measures it, grows, paints
// once (laying the topic out again, pictures and all) and closes.
//
// Whatever the file holds: the window either shows or gives a failure with a status, the
// start-up guide's preference is left as it was (nobody ticked the box), the file is not changed
// and every block is back once the window has gone.
#include <cstring>

#include "edit/window/help_window.h"
#include "platform/mem.h"
#include "platform/ui/binding.h"
#include "platform/ui/headless/headless.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool installed = false;
    if (!installed) {
        // Before the harness's own set-up: the binding brings an alert presenter of its own,
        // which the harness's counter then replaces.
        Ui_Framework_Install(nullptr);
        fuzz::Setup();
        installed = true;
    }
    UiState* state = fuzz::State();
    fuzz::Bytes in(data, size);
    // The module's topics are 2000..2013; 2014 and 2015 are topics no file of the module has.
    const int32_t topic = kTopicOverview + in.U8() % 16;
    const std::string path = fuzz::WriteFile("help.tmp", in.data(), in.size());

    uint8_t showGuide = 1;
    const HelpContext help{state, path.c_str(), &showGuide, nullptr};
    static const UiScriptEvent kNone{};
    Ui_Headless_SetScript(&kNone, 0);
    Ui_Failure failure;
    int32_t status;
    {
        fuzz::BlockCount blocks("showing a help topic");
        status = RunHelpTopic(&help, topic, &failure);
        // The headless binding keeps the last window that closed until the next one does.
        Ui_Headless_Reset();
    }
    fuzz::Check(status == failure.status, "the failure does not carry the status returned");
    fuzz::Check(showGuide == 1, "the start-up guide's preference changed without a click");
    fuzz::Check(std::memchr(failure.name, 0, sizeof failure.name) != nullptr,
                "the failure's file name is not terminated");
    const std::string after = fuzz::ReadFile(path);
    fuzz::Check(after.size() == in.size() &&
                    (in.size() == 0 || std::memcmp(after.data(), in.data(), in.size()) == 0),
                "showing a topic changed the help file");
    fuzz::TakeAlertCount();
    return 0;
}
