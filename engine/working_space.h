// The RGB working space of the edits.
//
// Every edit is made in the host's RGB working space, which the host layer reads from the host's
// monitor description when the host offers one (host/monitor_space.h) and otherwise takes as the
// default reference space (gamma 2.2, the usual broadcast primaries, the CIE daylight white of
// 6500 K). The space travels in each EditPars as its refRGB, so a stored set of edits remembers
// the space it was made in; RefRgbMatch tells whether two sets were made in the same one.
//
// HgSetReference adopts a space for a record and derives the two tables the engine reads from
// it: refTables (the RGB-to-XYZ matrix of the space adapted to the daylight white of 5000 K, and
// its inverse) and gammaTable (the gamma encoding that turns linear-light data into the space).
#pragma once

#include <cstdint>

#include "engine/edit_pars.h"
#include "platform/status.h"

struct UiState;

// The default reference space.
int32_t HgDefaultReference(RefRGB* out);

// Whether the record is a usable space: gamma 0.5..5, each white component 0.1..2, each primary
// x >= 0, y >= 0, x + y <= 1.000001. NaN is never usable.
bool HgRefRgbValid(const RefRGB* ref);

// Validates ref (null: the default space), copies it into editPars and recomputes refTables and
// gammaTable. -1 for a null record, an invalid space or primaries that give no matrix; the record
// is then unchanged.
int32_t HgSetReference(EditPars* editPars, const RefRGB* ref);

// Recomputes gammaTable from refRGB's gamma alone: entry i = (i / 255)^(1 / gamma). -1 when the
// gamma is outside 0.5..5.
int32_t HgUpdateGammaTable(EditPars* editPars);

// Whether a and b describe the same space as far as any image could show: the chromaticities of
// the white and of the primaries each within 0.0005, the gammas within 0.05 (less than one L*
// apart anywhere) and the white luminances within 0.1 %. So the default space (white from the
// daylight locus at 6500 K), a host's sRGB (white x 0.3127, y 0.3290) and sRGB read from a
// profile (the nearest power curve, gamma 2.233) are one space, while spaces with other
// primaries, another white or another gamma are not. The first difference is logged when state
// has diagnostics on. False when either is null or holds a value that is not a number.
bool RefRgbMatch(const RefRGB* a, const RefRGB* b, UiState* state);
