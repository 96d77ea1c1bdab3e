// The records and procedures a filter host hands the module: FilterRecord, AboutRecord, the
// handle, property, colour and descriptor suites, pixel maps for displayPixels, and our draw
// target. Field names are the host SDK's; the module reads and writes only the fields named
// here, and the stand-in host fills every one of them.
#pragma once

#include "hostsdk/plugin_types.h"

// --- Procedures -------------------------------------------------------------------------------

using TestAbortProc = Boolean (*)();
using ProgressProc = void (*)(int32 done, int32 total);
using AdvanceStateProc = OSErr (*)();

// Handle suite.
using NewPIHandleProc = Handle (*)(int32 size);
using DisposePIHandleProc = void (*)(Handle h);
using GetPIHandleSizeProc = int32 (*)(Handle h);
using SetPIHandleSizeProc = OSErr (*)(Handle h, int32 newSize);
using LockPIHandleProc = Ptr (*)(Handle h, Boolean moveHigh);
using UnlockPIHandleProc = void (*)(Handle h);

struct HandleProcs {
    int16 handleProcsVersion;
    int16 numHandleProcs;
    NewPIHandleProc newProc;
    DisposePIHandleProc disposeProc;
    GetPIHandleSizeProc getSizeProc;
    SetPIHandleSizeProc setSizeProc;
    LockPIHandleProc lockProc;
    UnlockPIHandleProc unlockProc;
};

// Property suite: a simple property comes back in simpleProperty, a complex one (text) as a
// handle the caller disposes of.
using GetPropertyProc = OSErr (*)(OSType signature, OSType key, int32 index,
                                  intptr_t* simpleProperty, Handle* complexProperty);
struct PropertyProcs {
    int16 propertyProcsVersion;
    int16 numPropertyProcs;
    GetPropertyProc getPropertyProc;
    void* setPropertyProc;  // not used by the module
};
constexpr OSType kPhotoshopSignature = PIFourCC('8', 'B', 'I', 'M');
constexpr OSType propTitle = PIFourCC('t', 'i', 't', 'l');

// Colour services.
enum : int16 { plugIncolorServicesChooseColor = 0, plugIncolorServicesConvertColor = 1 };
enum : int16 { plugIncolorServicesRGBSpace = 0 };
struct ColorServicesInfo {
    int32 infoSize;
    int16 selector;
    int16 sourceSpace;
    int16 resultSpace;
    Boolean resultGamutInfoValid;
    Boolean resultInGamut;
    void* reservedSourceSpaceInfo;
    void* reservedResultSpaceInfo;
    int16 colorComponents[4];
    void* reserved;
    union {
        const unsigned char* pickerPrompt;  // length-prefixed string
        Point* globalSamplePoint;
        int32 specialColorID;
    } selectorParameter;
};
using ColorServicesProc = OSErr (*)(ColorServicesInfo* info);

// Descriptor suites (scripting). A descriptor is a handle; readers and writers are opaque tokens.
struct PIOpaqueReadDescriptor;
struct PIOpaqueWriteDescriptor;
using PIReadDescriptor = PIOpaqueReadDescriptor*;
using PIWriteDescriptor = PIOpaqueWriteDescriptor*;
using PIDescriptorHandle = Handle;

// The key array is terminated by a zero key.
using OpenReadDescriptorProc = PIReadDescriptor (*)(PIDescriptorHandle descriptor,
                                                    const DescriptorKeyID* keys);
using CloseReadDescriptorProc = OSErr (*)(PIReadDescriptor token);
using GetKeyProc = Boolean (*)(PIReadDescriptor token, DescriptorKeyID* key, DescriptorTypeID* type,
                               int32* flags);
using GetTextProc = OSErr (*)(PIReadDescriptor token, Handle* text);
struct ReadDescriptorProcs {
    int16 readDescriptorProcsVersion;
    int16 numReadDescriptorProcs;
    OpenReadDescriptorProc openReadDescriptorProc;
    CloseReadDescriptorProc closeReadDescriptorProc;
    GetKeyProc getKeyProc;
    GetTextProc getTextProc;
};

using OpenWriteDescriptorProc = PIWriteDescriptor (*)();
using CloseWriteDescriptorProc = OSErr (*)(PIWriteDescriptor token,
                                           PIDescriptorHandle* newDescriptor);
using PutTextProc = OSErr (*)(PIWriteDescriptor token, DescriptorKeyID key, Handle text);
struct WriteDescriptorProcs {
    int16 writeDescriptorProcsVersion;
    int16 numWriteDescriptorProcs;
    OpenWriteDescriptorProc openWriteDescriptorProc;
    CloseWriteDescriptorProc closeWriteDescriptorProc;
    PutTextProc putTextProc;
};

struct PIDescriptorParameters {
    int16 descriptorParametersVersion;
    int16 playInfo;    // plugInDialogDontDisplay / plugInDialogDisplay / plugInDialogSilent
    int16 recordInfo;  // plugInDialogOptional / plugInDialogRequired / plugInDialogNone
    PIDescriptorHandle descriptor;
    WriteDescriptorProcs* writeDescriptorProcs;
    ReadDescriptorProcs* readDescriptorProcs;
};
constexpr DescriptorTypeID typeText = PIFourCC('T', 'E', 'X', 'T');

// --- Pixels for displayPixels -------------------------------------------------------------------

struct PSPixelMask {
    PSPixelMask* next;
    void* maskData;
    int32 rowBytes;
    int32 colBytes;
    int32 maskDescription;
};

struct PSPixelMap {
    int32 version;
    VRect bounds;
    int32 imageMode;
    int32 rowBytes;
    int32 colBytes;
    int32 planeBytes;
    void* baseAddr;
    PSPixelMask* mat;
    PSPixelMask* masks;
    int32 maskPhaseRow;
    int32 maskPhaseCol;
};

// Where displayPixels draws: in place of the host's device context, an RGB buffer (three bytes a
// pixel, rows of rowBytes) whose pixel (0, 0) stands at (originV, originH) of the window. The
// window binding hands one out while a custom item is drawn.
struct PSDrawTarget {
    uint8* rgb;
    int32 width;
    int32 height;
    int32 rowBytes;
    int32 originV;
    int32 originH;
};

using DisplayPixelsProc = OSErr (*)(const PSPixelMap* source, const VRect* srcRect, int32 dstRow,
                                    int32 dstCol, void* platformContext);

// --- The records
// ----------------------------------------------------------------------------------

struct PlatformData {
    void* hwnd;  // the host's window: the parent of the module's dialogs
};

// The host's monitor / working-space description, all 16.16 fixed point; gamma 0 means "none".
struct PlugInMonitor {
    Fixed gamma;
    Fixed redX, redY;
    Fixed greenX, greenY;
    Fixed blueX, blueY;
    Fixed whiteX, whiteY;
    Fixed ambient;
};

struct BigDocumentStruct {
    int32 PluginUsing32BitCoordinates;
    VPoint imageSize32;
    VRect filterRect32;
    VRect inRect32;
    VRect outRect32;
    VRect maskRect32;
    VPoint floatCoord32;
    VPoint wholeSize32;
};

struct SPBasicSuite;  // opaque: the module only passes it on

struct FilterRecord {
    int32 serialNumber;
    TestAbortProc abortProc;
    ProgressProc progressProc;
    Handle parameters;
    Point imageSize;
    int16 planes;
    Rect filterRect;
    RGBColor background;
    RGBColor foreground;
    int32 maxSpace;
    int32 bufferSpace;
    Rect inRect;
    int16 inLoPlane;
    int16 inHiPlane;
    Rect outRect;
    int16 outLoPlane;
    int16 outHiPlane;
    void* inData;
    int32 inRowBytes;
    void* outData;
    int32 outRowBytes;
    Boolean isFloating;
    Boolean haveMask;
    Boolean autoMask;
    Rect maskRect;
    void* maskData;
    int32 maskRowBytes;
    int16 imageMode;
    Fixed imageHRes;
    Fixed imageVRes;
    PlugInMonitor monitor;
    PlatformData* platformData;
    DisplayPixelsProc displayPixels;
    HandleProcs* handleProcs;
    int16 filterCase;
    AdvanceStateProc advanceState;
    Boolean supportsPadding;
    int16 inputPadding;
    int16 outputPadding;
    int16 maskPadding;
    Boolean samplingSupport;
    Fixed inputRate;
    Fixed maskRate;
    ColorServicesProc colorServices;
    PropertyProcs* propertyProcs;
    PIDescriptorParameters* descriptorParameters;
    SPBasicSuite* sSPBasic;
    int32 depth;
    BigDocumentStruct* bigDocumentData;
};

struct AboutRecord {
    void* serialNumber;
    PlatformData* platformData;
    SPBasicSuite* sSPBasic;
    void* plugInRef;
};

// samplingSupport: which inputRate and maskRate values advanceState accepts.
enum : Boolean {
    hostDoesNotSupportSampling = 0,
    hostSupportsIntegralSampling = 1,
    hostSupportsFractionalSampling = 2,
};

// filterCase: what the filter is applied to, in the order of the PiPL's filter case info.
enum : int16 {
    filterCaseFlatImageNoSelection = 1,
    filterCaseFlatImageWithSelection = 2,
    filterCaseFloatingSelection = 3,
    filterCaseEditableTransparencyNoSelection = 4,
    filterCaseEditableTransparencyWithSelection = 5,
    filterCaseProtectedTransparencyNoSelection = 6,
    filterCaseProtectedTransparencyWithSelection = 7,
};

// Padding values for inputPadding, outputPadding and maskPadding besides 0..255.
enum : int16 {
    plugInWantsEdgeReplication = -1,
    plugInDoesNotWantPadding = -2,
    plugInWantsErrorOnBoundsException = -3
};

// The module's one export.
using PluginMainProc = void (*)(int16 selector, void* paramBlock, intptr_t* data, int16* result);
