// The custom settings text file: the colour part of the edit parameters as lines of numbers.
//
// "Save Custom..." writes the parameters of every colour tool as text, one group per line,
// numbers with six decimals, lines ended by a line feed:
//
//   "v5"                                    version mark (older files start with linear)
//   linear                                  "%d"
//   20 x balBin                             "%f %f %f %d"  (sums R, G, B, count)
//   blackPoint grayPoint whitePoint         "%f %f %f"
//   brightness shadow highlight contrast saturation
//   6 x (baseHue hueShift brightness saturation colorId, then its 20 hueBin lines)
//   refRGB gamma and white                  "%f %f %f %f"
//   refRGB primaries                        "%f %f %f %f %f %f"
//   neutralTarget                           "%f %f %f"  (version 5 only)
//   toneColor                               "%f %f %f"  (version 5 only)
//
// 154 lines in all. The derived tables are never written; the engine rebuilds them when the
// record is next used. The sharpen and noise part that follows is pars_text.h's.
//
// These two live beside the edit model rather than in the engine because reading starts from the
// Reset record, which the edit model owns.
#pragma once

#include <cstdint>

#include "engine/edit_pars.h"
#include "platform/file.h"

constexpr int32_t kSettingsLineSize = 1024;  // longest line read, without its end
// A buffer that holds such a line with its end and terminator, so that a line of exactly
// kSettingsLineSize characters is read whole and a longer one is seen to be longer.
constexpr int32_t kSettingsLineBuffer = kSettingsLineSize + 3;

// Writes the lines into the file named by stream (created or replaced). -1, before anything is
// written, for a null argument or a record that fails the engine's parameter check or the rules
// of every stored form (EditColorIdValid, EditToneColorValid): it could not be read back. The
// file layer's status when opening or a write fails (the file is closed, not removed).
int32_t HgWriteSettings(const EditPars* editPars, const FLSpec* stream);

// Reads a settings file into editPars: the record is Reset first (every group), the lines are
// read in order, the balance curves are marked for rebuilding, the record is checked as
// HgWriteSettings checks it, and the tables of the working space read (refTables, gammaTable)
// are derived. -8 for a line without exactly the numbers of its format, a line longer than
// kSettingsLineSize or a missing line (a version-5 file must carry its last two lines); the
// fields read so far then stay in the record. -1 when the values fail the check; a file-layer
// status when the file cannot be opened or read.
int32_t HgReadSettings(EditPars* editPars, const FLSpec* stream);

// Reads one line of blank-separated numbers: kinds names each field in order, 'f' a number,
// 'd' a signed 32-bit integer, and the line must hold exactly that many fields. Returns
// whether it does; floats and ints receive the fields of their kind in order.
bool ParseSettingsLine(const char* line, const char* kinds, float* floats, int32_t* ints);
