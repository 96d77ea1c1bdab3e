// ICC profiles that carry the correction, written with Little CMS (lcms2).
//
// Three kinds, all ICC version 4.3 with a profile ID:
//
// - an abstract profile (class "abst", Lab to Lab): a colour-managed application places it between
//   two profiles to apply the correction to any colour. Its AToB0 table is sampled at uniform Lab
//   nodes: each node goes into the working space, through the correction and back to Lab. A Lab
//   colour outside the working space's gamut gets the change that the correction makes to the
//   nearest colour inside it (the clipped colour), so an identity correction is an identity
//   profile everywhere, not a gamut clip;
// - an RGB device link (class "link", RGB to RGB in the working space): the correction itself,
//   sampled at uniform nodes of the working space's codes;
// - an edited device profile: a new profile made from an RGB input or display profile whose
//   forward tables (AToB, to Lab) apply the correction to the device's codes first and then the
//   original profile's conversion: a perceptual and a colorimetric table (version 4 places the
//   perceptual black at the reference medium's black, not at L* = 0), and a saturation table
//   when the original has one of its own. A display profile also gets backward tables (BToA)
//   that undo the original's conversion and then the correction (export_inverse.h), so that
//   both directions agree. The connection space is Lab whatever the original's: colours beyond
//   the Lab encoding (a* or b* past -128 or 127, which only imaginary primaries reach) are
//   clipped to it. Header fields that
//   describe the device (class, manufacturer, model, attributes, flags, rendering intent), the
//   copyright, the chromatic adaptation and the media white come from the original; the
//   description is the original's with a note appended. The original bytes are only read.
//
// All lcms2 use of the product is in this file: lcms2 allocates through Mem_Alloc (a context of
// its own per call, so the byte accounting and the leak report stay true), writes into memory
// only (the caller writes the bytes with export_file.h), and its error messages go to the debug
// log, never to the terminal.
#pragma once

#include <cstdint>

#include "engine/huegrid.h"
#include "engine/ref_rgb.h"
#include "platform/status.h"

// Nodes per axis of the profiles' tables: the default, and the largest lcms2 accepts.
constexpr int32_t kIccDefaultNodes = 33;
constexpr int32_t kIccMaxNodes = 255;

struct IccRequest {
    const Huegrid* transform;    // the correction, built at depth 2
    const RefRGB* workingSpace;  // the space the correction works in (abstract profile)
    int32_t nodes;               // table nodes per axis, 2 .. kIccMaxNodes
    // Abstract profile and device link: the description. Edited profile: a note appended to the
    // original's description.
    const char* description;
    const uint8_t* source;  // edited profile: the original profile's bytes
    uint32_t sourceSize;
    uint8_t diagnostics;  // 1: lcms2's error messages go to the debug log
};

// Each builds the profile into *bytes (a Mem_Alloc block the caller frees) and *size.
// -1 for a bad request, -3 without memory, -2 when lcms2 cannot build or read back the profile.
int32_t IccBuildAbstract(const IccRequest* request, uint8_t** bytes, uint32_t* size);
int32_t IccBuildDeviceLink(const IccRequest* request, uint8_t** bytes, uint32_t* size);
// Also: -8 when the source is not a profile lcms2 can read or convert from (damaged, truncated,
// tables missing), -9 when it is a profile but not an RGB input or display profile.
int32_t IccBuildEditedProfile(const IccRequest* request, uint8_t** bytes, uint32_t* size);
