// The PiPL: the property list through which a host finds and describes the module before any
// call. Keys and their vendor are the host SDK's. In the module file the list is the resource of
// type "PIPL" (kResTypePiPL in platform/resources.h), id 16000, stored in the host's own binary
// layout: little-endian, as on the x86 hosts the SDK targets.
//
//   int32 version (0); int32 count;
//   count properties: OSType vendorID; OSType propertyKey; int32 propertyID;
//                     int32 propertyLength; propertyLength bytes, padded with zeros to 4.
//
// OSType values are stored as 32-bit numbers (so their characters appear reversed in the file).
#pragma once

#include "hostsdk/plugin_types.h"

constexpr OSType PIAdobeVendorID = PIFourCC('8', 'B', 'I', 'M');
constexpr OSType PIKindProperty = PIFourCC('k', 'i', 'n', 'd');
constexpr OSType PINameProperty = PIFourCC('n', 'a', 'm', 'e');
constexpr OSType PICategoryProperty = PIFourCC('c', 'a', 't', 'g');
constexpr OSType PIVersionProperty = PIFourCC('v', 'e', 'r', 's');
constexpr OSType PIWin64X86CodeProperty = PIFourCC('8', '6', '6', '4');
constexpr OSType PIWin32X86CodeProperty = PIFourCC('w', 'x', '8', '6');
constexpr OSType PIHasTerminologyProperty = PIFourCC('h', 's', 't', 'm');
constexpr OSType PIImageModesProperty = PIFourCC('m', 'o', 'd', 'e');
constexpr OSType PIEnableInfoProperty = PIFourCC('e', 'n', 'b', 'l');
constexpr OSType PIFilterMaxSize = PIFourCC('m', 's', '3', '2');
constexpr OSType PIFilterLayerSupportProperty = PIFourCC('f', 'l', 'l', 'y');
constexpr OSType PIFilterCaseInfoProperty = PIFourCC('f', 'i', 'c', 'i');

constexpr OSType PIFilterKind = PIFourCC('8', 'B', 'F', 'M');
constexpr int32 PIPLResourceId = 16000;
constexpr int32 PITerminologyResourceId = 16000;

// 'mode' flag bits in the first byte of the property's data.
enum : uint8 {
    PIFlagBitmap = 0x80,
    PIFlagGrayScale = 0x40,
    PIFlagIndexedColor = 0x20,
    PIFlagRGBColor = 0x10,
    PIFlagCMYKColor = 0x08,
};
