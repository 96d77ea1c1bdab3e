// GIMP 2.10's own automatic white balance (Colors > Auto > White Balance), run for real as a
// peer of the automatic correction: one gimp-console batch that loads each file, applies
// gimp-drawable-levels-stretch to its layer and saves the result as PNG.
//
// GIMP runs with a profile folder of its own (GIMP2_DIRECTORY inside the given folder), so it
// neither reads nor changes the user's GIMP settings; its first start there takes a minute or
// two while it builds its caches, later ones a few seconds.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct GimpJob {
    std::string input;   // any file GIMP reads
    std::string output;  // a .png path
};

// Runs the batch; false with a reason (GIMP's own messages included) when GIMP cannot be started,
// fails, or leaves an output missing. folder holds GIMP's profile and log.
bool GimpWhiteBalance(const std::string& gimp, const std::vector<GimpJob>& jobs,
                      const std::string& folder, std::string* error);
