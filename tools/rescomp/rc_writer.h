// Writes the module's resources as a Windows resource script for windres: the same entries as
// the archive, in the forms Windows and the host look for (see rc_writer.cpp).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

using ResKey = std::pair<uint32_t, uint32_t>;  // four-character type, id

// Writes script at rcPath, and the bytes of every binary entry into files beside it (named
// after rcPath) that the script includes. false with a message on stderr when a file cannot be
// written or a dialog template cannot be read.
bool WriteRcScript(const std::map<ResKey, std::string>& entries, const std::string& rcPath);
