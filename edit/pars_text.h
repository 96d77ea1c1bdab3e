// The whole custom settings file: the colour lines (settings_text.h) and the sharpen/noise part.
//
// After the 154 colour lines the file carries the SharpenNoise record:
//
//   "-----"
//   sharpenOn sharpenStrength sharpenK      "%d %d %d"
//   noiseOn noiseFlag noiseK                "%d %d %d"
//   noiseRadius[0..3]                       "%d %d %d %d"
//   noiseThreshold[0..3]                    "%d %d %d %d"
//
// Reading is all or nothing: the record changes only when the whole file was read. The part is
// read when present (older files and colour parts saved alone end before it). A sharpen or noise
// value outside the range the preferences accept takes its default and the result is -9, as for
// every stored value.
#pragma once

#include <cstdint>

#include "engine/edit_pars.h"

// Writes the file at path (created or replaced) through a temporary file beside it that is
// renamed over it when complete: a failure leaves the file at path as it was. -1 for a null
// argument, a path of more than 255 characters or a record that fails the parameter check; -4
// when no file can be made in the folder; a file-layer status otherwise.
int32_t WriteParsText(const EditPars* editPars, const char* path);

// Reads the file at path into editPars: the colour part (settings_text.h) and, when the file
// carries it, the sharpen and noise part; files of older versions and colour parts saved alone
// have none, and the sharpen and noise values then stay as they were. Returns 0, -9 when a
// sharpen or noise value took its default, -8 for a sharpen or noise part whose lines do not
// hold their numbers, or the failure of the colour part; on failure editPars is unchanged.
int32_t ReadParsText(const char* path, EditPars* editPars);
