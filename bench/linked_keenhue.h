// The module's correction run inside this process: the host session that filterhost drives
// (tools/hostlib/host_session.h), with the module linked in instead of loaded from its file, over
// an image held in memory. The result is the same as filterhost's without its window
// (keenhue_eval checks that it is, byte for byte); what it saves is a process, two file
// conversions and the loading of the module per image, which lets the evaluation run the
// correction hundreds of times, and reach into the automatic settings' thresholds
// (KhSetBalanceTuning) to cross-validate them.
//
// The module reads its preferences from the preferences folder of this process's environment
// (XDG_CONFIG_HOME), as filterhost's module would.
#pragma once

#include <string>

#include "tools/filterhost/image_file.h"

// The filter's output for an RGB image of 8 or 16 bits (alpha passed to the host as
// transparency). False, with the session's message in *error, when the run does not succeed.
bool LinkedCorrect(const Image& input, Image* output, std::string* error);
