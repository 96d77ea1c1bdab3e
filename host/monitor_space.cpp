// The host's working space; see monitor_space.h.
#include "host/monitor_space.h"

#include <cmath>

#include "engine/colour_math.h"
#include "engine/working_space.h"
#include "platform/debug_log.h"
#include "platform/ui_state.h"

namespace {

double FromFixed(int32_t v) {
    return double(v) / 65536.0;
}

// Four decimals, half away from zero, from the exact float value.
float RoundFourDecimals(float v) {
    return float(std::round(double(v) * 10000.0) / 10000.0);
}

}  // namespace

int32_t GetWorkingSpace(const PlugInMonitor* monitor, RefRGB* out, UiState* state) {
    if (out == nullptr) return kStatusProblem;
    uint8_t flag = state != nullptr ? state->diagnostics : 0;
    RefRGB ref;
    if (monitor != nullptr && monitor->gamma != 0) {
        Ui_Debug_LogF(flag, "Host provides monitor information...");
        ref.gamma = float(FromFixed(monitor->gamma));
        const int32_t coordinates[6] = {monitor->redX,   monitor->redY,  monitor->greenX,
                                        monitor->greenY, monitor->blueX, monitor->blueY};
        for (int i = 0; i < 6; ++i) ref.primaries[i] = float(FromFixed(coordinates[i]));
        float white[3] = {float(FromFixed(monitor->whiteX)), float(FromFixed(monitor->whiteY)),
                          1.0f};
        HgXyToXyz(white, ref.xyzWhite);
    } else {
        Ui_Debug_LogF(flag, "Using default reference space...");
        int32_t status = HgDefaultReference(&ref);
        if (status != kStatusOk) return status;
    }
    for (float& v : ref.primaries) v = RoundFourDecimals(v);

    float xy[2] = {0, 0};
    HgXyzToXy(ref.xyzWhite, xy);
    Ui_Debug_LogF(flag, "Working Space\ngamma: %f", double(ref.gamma));
    Ui_Debug_LogF(flag, "primaries: %f %f %f %f %f %f", double(ref.primaries[0]),
                  double(ref.primaries[1]), double(ref.primaries[2]), double(ref.primaries[3]),
                  double(ref.primaries[4]), double(ref.primaries[5]));
    Ui_Debug_LogF(flag, "xyzWhite: %f %f %f (xy: %f %f)", double(ref.xyzWhite[0]),
                  double(ref.xyzWhite[1]), double(ref.xyzWhite[2]), double(xy[0]), double(xy[1]));
    *out = ref;
    return kStatusOk;
}
