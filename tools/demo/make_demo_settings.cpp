// make_demo_settings: writes the custom settings that the demo applies to its sample photograph
// (examples/demo-settings.txt), through the module's own settings-file writer.
//
//   make_demo_settings OUT.txt
//
// The correction is a gentle one for a soft, slightly flat picture: a little brighter, more
// contrast, a little more saturation, and a faint warm cast made by marking a slightly cool grey
// as neutral. The settings carry the working space filterhost gives the filter by default, so
// the filter applies them without warning that the working space has changed.
#include <cstdio>
#include <memory>

#include "engine/edit_pars.h"
#include "edit/pars_text.h"
#include "engine/balance.h"
#include "engine/edit_chain.h"
#include "engine/working_space.h"
#include "host/monitor_space.h"
#include "tools/hostlib/host_services.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_demo_settings OUT.txt\n");
        return 2;
    }
    auto pars = std::make_unique<EditPars>();
    SetParsDefaults(pars.get());
    PlugInMonitor monitor = DefaultMonitor();
    RefRGB space;
    if (GetWorkingSpace(&monitor, &space, nullptr) != kStatusOk ||
        HgSetReference(pars.get(), &space) != kStatusOk) {
        std::fprintf(stderr, "make_demo_settings: the default working space is not usable\n");
        return 1;
    }
    pars->brightness = 0.54f;
    pars->contrast = 0.58f;
    pars->saturation = 0.53f;
    const float coolGrey[3] = {0.485f, 0.49f, 0.505f};
    if (HgAddBalanceColour(pars.get(), coolGrey) != kStatusOk) {
        std::fprintf(stderr, "make_demo_settings: cannot add the balance sample\n");
        return 1;
    }
    int32_t status = WriteParsText(pars.get(), argv[1]);
    if (status != kStatusOk) {
        std::fprintf(stderr, "make_demo_settings: cannot write %s (status %d)\n", argv[1],
                     int(status));
        return 1;
    }
    return 0;
}
