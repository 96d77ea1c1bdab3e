// The working space an editor passes in `monitor`, taken from an RGB colour profile: the gamma of
// its tone curves and the chromaticities of its primaries and white, as an editor's colour
// settings describe a working space.
//
// Only matrix/TRC RGB profiles have such a description. The colorants of a profile are stored
// adapted to the profile connection white (D50); the chromatic-adaptation tag (or, in older
// profiles without one, a Bradford adaptation from the media white point) takes them back to the
// space's own white. A tone curve that is not a pure power (sRGB's, for example) is described by
// the gamma of the power curve nearest to it, which must stay within 0.03 of it everywhere; the
// three curves must agree on it within 0.05.
#pragma once

#include <cstddef>
#include <string>

#include "hostsdk/filter_record.h"

// False with a reason (nothing written) when the bytes are no usable matrix/TRC RGB profile.
bool MonitorFromProfile(const void* icc, size_t size, PlugInMonitor* monitor, std::string* why);
