// The small services of the stand-in host: the document-title property, the colour picker,
// displayPixels into the module's draw target, and the monitor (working-space) description.
//
// The picker answers with the colour given on the command line (--pick), in RGB, when there is
// one; else it asks the front end's chooser (a window where a person picks the colour, starting
// from the colour the filter passed and titled with its prompt), and cancels when there is none
// or the person cancels. Conversions are offered between RGB and RGB only. displayPixels copies an
// RGB or grey pixel map into the PSDrawTarget the module passes as its platform context, clipped to
// the target, and composites pixels under a transparency mask over a grey checkerboard (8-pixel
// squares of 255 and 204), as an editor shows transparency.
#pragma once

#include <functional>
#include <string>

#include "hostsdk/filter_record.h"

// A person's colour chooser: shows the prompt and starts from rgb (0..255 each); true with the
// chosen colour in rgb, false when the person cancels (rgb is left as it was then).
using ColorChooser = std::function<bool(const std::string& prompt, int rgb[3])>;

struct ServiceSettings {
    std::string title;      // the 'titl' property: the document's file name
    bool havePick = false;  // the picker's answer, 0..255 each
    int pick[3] = {0, 0, 0};
    ColorChooser chooser;  // asked when there is no answer given; null: none
};

struct ServiceCounters {
    int titleRequests = 0;
    int pickRequests = 0;
    int displayCalls = 0;
};

void SetServiceSettings(const ServiceSettings& settings);
const ServiceCounters& GetServiceCounters();

PropertyProcs* HostPropertyProcs();
OSErr HostColorServices(ColorServicesInfo* info);
OSErr HostDisplayPixels(const PSPixelMap* source, const VRect* srcRect, int32 dstRow, int32 dstCol,
                        void* platformContext);

// The answer of getPropertyProc for a property this host does not have.
constexpr OSErr kPropertyUndefined = -30901;
// The answer of colorServices for a conversion it does not offer.
constexpr OSErr kColorSpaceUnsupported = -30902;

// The record of a gamma and the chromaticities rx, ry, gx, gy, bx, by, wx, wy.
PlugInMonitor MonitorOf(double gamma, const double xy[8]);
// A working space as an editor would describe it: gamma 2.2, sRGB primaries, D65 white.
PlugInMonitor DefaultMonitor();
// "srgb", "adobergb", or nine numbers "gamma,rx,ry,gx,gy,bx,by,wx,wy".
bool ParseMonitor(const std::string& text, PlugInMonitor* monitor, std::string* error);
// "R,G,B" with each value 0..255.
bool ParsePick(const std::string& text, int rgb[3], std::string* error);
