// ICC profiles that carry the correction; see icc_writer.h. The only file of the product that
// talks to lcms2.
#include "edit/export/icc_writer.h"

#include <lcms2.h>
#include <lcms2_plugin.h>

#include <cmath>
#include <cwchar>

#include "edit/export/export_inverse.h"
#include "edit/export/export_transform.h"
#include "platform/debug_log.h"
#include "platform/format.h"
#include "platform/mem.h"

namespace {

constexpr double kIccVersion = 4.3;
constexpr int32_t kTextSize = 512;  // wide characters of a description
constexpr uint32_t kFlags = cmsFLAGS_NOOPTIMIZE | cmsFLAGS_NOCACHE;
constexpr char kCopyright[] = "No copyright, use freely";

// --- lcms2's memory through Mem_Alloc -----------------------------------------------------------

// Every block lcms2 takes carries its size in front (for realloc), 16 bytes to keep alignment.
constexpr uint32_t kPrefix = 16;
constexpr uint32_t kLargestBlock = 512u << 20;

void* LcmsMalloc(cmsContext, cmsUInt32Number size) {
    if (size > kLargestBlock) return nullptr;
    auto* p = static_cast<uint8_t*>(Mem_Alloc(size + kPrefix));
    if (p == nullptr) return nullptr;
    Mem_Copy(p, &size, sizeof size);
    return p + kPrefix;
}

void LcmsFree(cmsContext, void* ptr) {
    if (ptr != nullptr) Mem_Free(static_cast<uint8_t*>(ptr) - kPrefix);
}

void* LcmsRealloc(cmsContext context, void* ptr, cmsUInt32Number size) {
    void* fresh = LcmsMalloc(context, size);
    if (fresh == nullptr || ptr == nullptr) return fresh;
    cmsUInt32Number old = 0;
    Mem_Copy(&old, static_cast<uint8_t*>(ptr) - kPrefix, sizeof old);
    Mem_Copy(fresh, ptr, old < size ? old : size);
    LcmsFree(context, ptr);
    return fresh;
}

cmsPluginMemHandler gMemoryPlugin = {{cmsPluginMagicNumber, 2000, cmsPluginMemHandlerSig, nullptr},
                                     LcmsMalloc,
                                     LcmsFree,
                                     LcmsRealloc,
                                     nullptr,
                                     nullptr,
                                     nullptr};

// --- one lcms2 context per call, and owners of its objects --------------------------------------

struct Session {
    cmsContext context = nullptr;
    uint8_t diagnostics = 0;
};

void LogLcmsError(cmsContext context, cmsUInt32Number code, const char* text) {
    auto* session = static_cast<Session*>(cmsGetContextUserData(context));
    char line[400];
    Str_FormatN(line, sizeof line, "lcms2 error %d: %s", int(code), text != nullptr ? text : "");
    Ui_Debug_Log(session != nullptr ? session->diagnostics : 0, line);
}

class Context {
   public:
    explicit Context(uint8_t diagnostics) {
        session_.diagnostics = diagnostics;
        session_.context = cmsCreateContext(&gMemoryPlugin, &session_);
        if (session_.context != nullptr) {
            cmsSetLogErrorHandlerTHR(session_.context, LogLcmsError);
        }
    }
    ~Context() {
        if (session_.context != nullptr) cmsDeleteContext(session_.context);
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    cmsContext get() const { return session_.context; }

   private:
    Session session_;
};

template <typename T, void (*Release)(T)>
class Owned {
   public:
    explicit Owned(T p = nullptr) : p_(p) {}
    ~Owned() {
        if (p_ != nullptr) Release(p_);
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    T get() const { return p_; }
    T release() {
        T p = p_;
        p_ = nullptr;
        return p;
    }
    explicit operator bool() const { return p_ != nullptr; }

   private:
    T p_;
};

void CloseProfile(cmsHPROFILE p) {
    cmsCloseProfile(p);
}
void FreeTransform(cmsHTRANSFORM t) {
    cmsDeleteTransform(t);
}
void FreePipeline(cmsPipeline* p) {
    cmsPipelineFree(p);
}
void FreeMlu(cmsMLU* m) {
    cmsMLUfree(m);
}
void FreeCurve(cmsToneCurve* c) {
    cmsFreeToneCurve(c);
}
void FreeSequence(cmsSEQ* s) {
    cmsFreeProfileSequenceDescription(s);
}

using Profile = Owned<cmsHPROFILE, CloseProfile>;
using Transform = Owned<cmsHTRANSFORM, FreeTransform>;
using Pipeline = Owned<cmsPipeline*, FreePipeline>;
using Mlu = Owned<cmsMLU*, FreeMlu>;
using Curve = Owned<cmsToneCurve*, FreeCurve>;
using Sequence = Owned<cmsSEQ*, FreeSequence>;

// --- text ---------------------------------------------------------------------------------------

// Appends a byte string as wide characters: UTF-8 when it is valid UTF-8 (file names on Linux),
// otherwise each byte as a Latin-1 character (the ANSI code page's common case). Characters a
// 16-bit wchar_t cannot hold become "?". Returns the new length; the text stays terminated.
size_t AppendWide(wchar_t* text, size_t capacity, size_t used, const char* bytes) {
    if (bytes == nullptr || used + 1 >= capacity) return used;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    bool utf8 = true;
    for (size_t i = 0; p[i] != 0 && utf8;) {
        int extra = p[i] < 0x80         ? 0
                    : (p[i] >> 5) == 6  ? 1
                    : (p[i] >> 4) == 14 ? 2
                    : (p[i] >> 3) == 30 ? 3
                                        : -1;
        if (extra < 0) utf8 = false;
        for (int k = 1; k <= extra && utf8; ++k) utf8 = (p[i + size_t(k)] >> 6) == 2;
        i += size_t(extra < 0 ? 1 : extra + 1);
    }
    for (size_t i = 0; p[i] != 0 && used + 1 < capacity;) {
        uint32_t c = p[i];
        size_t length = 1;
        if (utf8 && c >= 0x80) {
            length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
            c &= length == 4 ? 0x07u : length == 3 ? 0x0Fu : 0x1Fu;
            for (size_t k = 1; k < length; ++k) c = (c << 6) | (p[i + k] & 0x3Fu);
        }
        if (c < 32 || c == 127) c = ' ';
        if (sizeof(wchar_t) < 4 && c > 0xFFFF) c = '?';
        text[used++] = wchar_t(c);
        i += length;
    }
    text[used] = 0;
    return used;
}

bool WriteText(cmsContext context, cmsHPROFILE profile, cmsTagSignature tag, const wchar_t* text) {
    Mlu mlu(cmsMLUalloc(context, 1));
    return mlu && cmsMLUsetWide(mlu.get(), "en", "US", text) &&
           cmsWriteTag(profile, tag, mlu.get());
}

bool WriteAsciiText(cmsContext context, cmsHPROFILE profile, cmsTagSignature tag,
                    const char* text) {
    wchar_t wide[kTextSize];
    wide[0] = 0;
    AppendWide(wide, kTextSize, 0, text);
    return WriteText(context, profile, tag, wide);
}

// --- tables -------------------------------------------------------------------------------------

// A 3-to-3 pipeline: identity curves, the table (n nodes per axis, input 0 slowest, 16-bit
// values, three per node), identity curves: the shape lcms2 writes as a v4 lutAtoB or lutBtoA.
cmsPipeline* TablePipeline(cmsContext context, int32_t n, const uint16_t* table) {
    Pipeline pipeline(cmsPipelineAlloc(context, 3, 3));
    Curve identity(cmsBuildGamma(context, 1.0));
    if (!pipeline || !identity) return nullptr;
    cmsToneCurve* curves[3] = {identity.get(), identity.get(), identity.get()};
    const cmsUInt32Number points[3] = {cmsUInt32Number(n), cmsUInt32Number(n), cmsUInt32Number(n)};
    cmsStage* before = cmsStageAllocToneCurves(context, 3, curves);
    if (before == nullptr || !cmsPipelineInsertStage(pipeline.get(), cmsAT_END, before)) {
        if (before != nullptr) cmsStageFree(before);
        return nullptr;
    }
    cmsStage* clut = cmsStageAllocCLut16bitGranular(context, points, 3, 3, table);
    if (clut == nullptr || !cmsPipelineInsertStage(pipeline.get(), cmsAT_END, clut)) {
        if (clut != nullptr) cmsStageFree(clut);
        return nullptr;
    }
    cmsStage* after = cmsStageAllocToneCurves(context, 3, curves);
    if (after == nullptr || !cmsPipelineInsertStage(pipeline.get(), cmsAT_END, after)) {
        if (after != nullptr) cmsStageFree(after);
        return nullptr;
    }
    return pipeline.release();
}

bool WriteTable(cmsContext context, cmsHPROFILE profile, cmsTagSignature tag, int32_t n,
                const uint16_t* table) {
    Pipeline pipeline(TablePipeline(context, n, table));
    return pipeline && cmsWriteTag(profile, tag, pipeline.get());
}

// The Lab colour of table node (i0, i1, i2) in the v4 encoding: L = 100 u0, a = 255 u1 - 128,
// b = 255 u2 - 128 with u = node / (n - 1).
cmsCIELab LabNode(int32_t i0, int32_t i1, int32_t i2, int32_t n) {
    const double scale = 1.0 / double(n - 1);
    return cmsCIELab{100.0 * i0 * scale, 255.0 * i1 * scale - 128.0, 255.0 * i2 * scale - 128.0};
}

bool LabFinite(const float* lab) {
    return std::isfinite(lab[0]) && std::isfinite(lab[1]) && std::isfinite(lab[2]);
}

uint16_t UnitToCode(float v) {
    if (!(v > 0)) return 0;
    if (v >= 1) return 65535;
    return uint16_t(v * 65535.0f + 0.5f);
}

// --- profiles -----------------------------------------------------------------------------------

cmsHPROFILE WorkingProfile(cmsContext context, const RefRGB* space) {
    const double sum =
        double(space->xyzWhite[0]) + double(space->xyzWhite[1]) + double(space->xyzWhite[2]);
    if (!(sum > 0)) return nullptr;
    cmsCIExyY white = {space->xyzWhite[0] / sum, space->xyzWhite[1] / sum, 1.0};
    cmsCIExyYTRIPLE primaries = {{space->primaries[0], space->primaries[1], 1.0},
                                 {space->primaries[2], space->primaries[3], 1.0},
                                 {space->primaries[4], space->primaries[5], 1.0}};
    Curve gamma(cmsBuildGamma(context, space->gamma));
    if (!gamma) return nullptr;
    cmsToneCurve* curves[3] = {gamma.get(), gamma.get(), gamma.get()};
    return cmsCreateRGBProfileTHR(context, &white, &primaries, curves);
}

cmsHPROFILE NewProfile(cmsContext context, cmsProfileClassSignature profileClass,
                       cmsColorSpaceSignature space, cmsColorSpaceSignature pcs) {
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(context);
    if (profile == nullptr) return nullptr;
    cmsSetProfileVersion(profile, kIccVersion);
    cmsSetDeviceClass(profile, profileClass);
    cmsSetColorSpace(profile, space);
    cmsSetPCS(profile, pcs);
    cmsSetHeaderRenderingIntent(profile, INTENT_PERCEPTUAL);
    return profile;
}

// Stamps the profile ID, serialises the profile into a Mem_Alloc block and reads it back with
// lcms2: a profile that lcms2 itself cannot open, or that lost its class or first table on the
// way, is not handed out.
int32_t SaveProfile(cmsContext context, cmsHPROFILE profile, cmsTagSignature firstTable,
                    uint8_t** bytes, uint32_t* size) {
    if (!cmsMD5computeID(profile)) return kStatusError;
    cmsUInt32Number needed = 0;
    if (!cmsSaveProfileToMem(profile, nullptr, &needed) || needed == 0) return kStatusError;
    MemBlock<uint8_t> block(needed);
    if (!block) return kStatusNoMemory;
    if (!cmsSaveProfileToMem(profile, block.get(), &needed)) return kStatusError;
    Profile back(cmsOpenProfileFromMemTHR(context, block.get(), needed));
    if (!back || cmsGetDeviceClass(back.get()) != cmsGetDeviceClass(profile) ||
        !cmsIsTag(back.get(), firstTable)) {
        return kStatusError;
    }
    *bytes = block.Release();
    *size = needed;
    return kStatusOk;
}

bool ValidRequest(const IccRequest* r, uint8_t** bytes, uint32_t* size) {
    if (r == nullptr || bytes == nullptr || size == nullptr || r->transform == nullptr) {
        return false;
    }
    *bytes = nullptr;
    *size = 0;
    return 2 <= r->nodes && r->nodes <= kIccMaxNodes && r->transform->inPixelSize == 2 &&
           r->transform->outPixelSize == 2;
}

// The working space as the profile connection sees it: the RGB-to-XYZ matrix adapted to D50
// (read from the colorant tags lcms2 computed for the space) and the gamma. Unlike a transform
// through the working space's profile, the conversions below extend past the gamut (negative and
// above-one values keep their sign through the gamma) instead of clipping.
struct ExtendedSpace {
    double toXyz[9];
    double toRgb[9];
    double gamma;
};

bool MakeExtendedSpace(cmsHPROFILE working, double gamma, ExtendedSpace* space) {
    const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                     cmsSigBlueColorantTag};
    for (int c = 0; c < 3; ++c) {
        auto* xyz = static_cast<cmsCIEXYZ*>(cmsReadTag(working, tags[c]));
        if (xyz == nullptr) return false;
        space->toXyz[0 * 3 + c] = xyz->X;
        space->toXyz[1 * 3 + c] = xyz->Y;
        space->toXyz[2 * 3 + c] = xyz->Z;
    }
    const double* m = space->toXyz;
    const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                       m[2] * (m[3] * m[7] - m[4] * m[6]);
    if (!(std::fabs(det) > 1e-12)) return false;
    double* r = space->toRgb;
    r[0] = (m[4] * m[8] - m[5] * m[7]) / det;
    r[1] = (m[2] * m[7] - m[1] * m[8]) / det;
    r[2] = (m[1] * m[5] - m[2] * m[4]) / det;
    r[3] = (m[5] * m[6] - m[3] * m[8]) / det;
    r[4] = (m[0] * m[8] - m[2] * m[6]) / det;
    r[5] = (m[2] * m[3] - m[0] * m[5]) / det;
    r[6] = (m[3] * m[7] - m[4] * m[6]) / det;
    r[7] = (m[1] * m[6] - m[0] * m[7]) / det;
    r[8] = (m[0] * m[4] - m[1] * m[3]) / det;
    space->gamma = gamma;
    return true;
}

double SignedPower(double v, double e) {
    return v < 0 ? -std::pow(-v, e) : std::pow(v, e);
}

void LabToEncoded(const ExtendedSpace& s, const cmsCIELab& lab, double rgb[3]) {
    cmsCIEXYZ xyz;
    cmsLab2XYZ(cmsD50_XYZ(), &xyz, &lab);
    const double v[3] = {xyz.X, xyz.Y, xyz.Z};
    for (int c = 0; c < 3; ++c) {
        const double linear =
            s.toRgb[c * 3] * v[0] + s.toRgb[c * 3 + 1] * v[1] + s.toRgb[c * 3 + 2] * v[2];
        rgb[c] = SignedPower(linear, 1.0 / s.gamma);
    }
}

cmsCIELab EncodedToLab(const ExtendedSpace& s, const double rgb[3]) {
    double linear[3];
    for (int c = 0; c < 3; ++c) linear[c] = SignedPower(rgb[c], s.gamma);
    cmsCIEXYZ xyz;
    xyz.X = s.toXyz[0] * linear[0] + s.toXyz[1] * linear[1] + s.toXyz[2] * linear[2];
    xyz.Y = s.toXyz[3] * linear[0] + s.toXyz[4] * linear[1] + s.toXyz[5] * linear[2];
    xyz.Z = s.toXyz[6] * linear[0] + s.toXyz[7] * linear[1] + s.toXyz[8] * linear[2];
    cmsCIELab lab;
    cmsXYZ2Lab(cmsD50_XYZ(), &lab, &xyz);
    return lab;
}

// The table of an abstract profile, one plane of nodes (fixed L) at a time: each Lab node becomes
// working-space RGB e (beyond 0..1 outside the gamut), e clipped to the gamut and quantised is
// the transform's input q, and the node's result is e + (q' - q) back in Lab, q' the corrected
// codes. Inside the gamut that is the corrected colour itself; outside it, the colour moves as
// the nearest colour inside does, so the table has no edge where the gamut ends.
int32_t AbstractTable(const ExtendedSpace& space, const Huegrid* transform, int32_t n,
                      uint16_t* table) {
    const uint32_t plane = uint32_t(n) * uint32_t(n);
    MemBlock<double> encoded(plane * 3);
    MemBlock<uint16_t> codes(plane * 6);
    if (!encoded || !codes) return kStatusNoMemory;
    for (int32_t i0 = 0; i0 < n; ++i0) {
        for (uint32_t k = 0; k < plane; ++k) {
            double* e = encoded.get() + k * 3;
            LabToEncoded(space, LabNode(i0, int32_t(k) / n, int32_t(k) % n, n), e);
            for (int c = 0; c < 3; ++c) codes[k * 3 + uint32_t(c)] = UnitToCode(float(e[c]));
        }
        int32_t status =
            ExportApply16(transform, int32_t(plane), codes.get(), codes.get() + plane * 3);
        if (status != kStatusOk) return status;
        for (uint32_t k = 0; k < plane; ++k) {
            double moved[3];
            for (uint32_t c = 0; c < 3; ++c) {
                const int32_t change = int32_t(codes[(plane + k) * 3 + c]) - codes[k * 3 + c];
                moved[c] = encoded[k * 3 + c] + change / 65535.0;
            }
            cmsCIELab out = EncodedToLab(space, moved);
            if (!std::isfinite(out.L) || !std::isfinite(out.a) || !std::isfinite(out.b)) {
                return kStatusError;
            }
            cmsFloat2LabEncoded(table + (size_t(i0) * plane + k) * 3, &out);
        }
    }
    return kStatusOk;
}

// Version 4 perceptual and saturation tables place device black at the perceptual reference
// medium's black, not at L* = 0, and CMMs map that black to the destination's: a table that put
// black at 0 would come out too dark through every perceptual conversion. The tables of these
// intents are computed with black point compensation to black 0 and then moved to that black
// with the same linear scaling in XYZ that black point compensation uses (white D50 fixed).
bool PerceptualIntent(int intent) {
    return intent == INTENT_PERCEPTUAL || intent == INTENT_SATURATION;
}

void ToReferenceBlack(cmsCIELab* lab) {
    const cmsCIEXYZ* white = cmsD50_XYZ();
    const cmsCIEXYZ black = {cmsPERCEPTUAL_BLACK_X, cmsPERCEPTUAL_BLACK_Y, cmsPERCEPTUAL_BLACK_Z};
    cmsCIEXYZ xyz;
    cmsLab2XYZ(white, &xyz, lab);
    xyz.X = xyz.X * (1 - black.X / white->X) + black.X;
    xyz.Y = xyz.Y * (1 - black.Y / white->Y) + black.Y;
    xyz.Z = xyz.Z * (1 - black.Z / white->Z) + black.Z;
    cmsXYZ2Lab(white, lab, &xyz);
}

void FromReferenceBlack(cmsCIELab* lab) {
    const cmsCIEXYZ* white = cmsD50_XYZ();
    const cmsCIEXYZ black = {cmsPERCEPTUAL_BLACK_X, cmsPERCEPTUAL_BLACK_Y, cmsPERCEPTUAL_BLACK_Z};
    cmsCIEXYZ xyz;
    cmsLab2XYZ(white, &xyz, lab);
    xyz.X = (xyz.X - black.X) / (1 - black.X / white->X);
    xyz.Y = (xyz.Y - black.Y) / (1 - black.Y / white->Y);
    xyz.Z = (xyz.Z - black.Z) / (1 - black.Z / white->Z);
    cmsXYZ2Lab(white, lab, &xyz);
}

// The forward table of an edited profile for one intent: device node -> correction -> the
// original's conversion to Lab.
int32_t ForwardTable(cmsHTRANSFORM toLab, const Huegrid* transform, int32_t n, int intent,
                     uint16_t* table) {
    const uint32_t plane = uint32_t(n) * uint32_t(n);
    MemBlock<uint16_t> codes(plane * 3);
    MemBlock<float> rgb(plane * 3), lab(plane * 3);
    if (!codes || !rgb || !lab) return kStatusNoMemory;
    for (int32_t r = 0; r < n; ++r) {
        for (uint32_t k = 0; k < plane; ++k) {
            codes[k * 3] = ExportNodeCode(r, n);
            codes[k * 3 + 1] = ExportNodeCode(int32_t(k) / n, n);
            codes[k * 3 + 2] = ExportNodeCode(int32_t(k) % n, n);
        }
        int32_t status = ExportApply16(transform, int32_t(plane), codes.get(), codes.get());
        if (status != kStatusOk) return status;
        for (uint32_t k = 0; k < plane * 3; ++k) rgb[k] = codes[k] / 65535.0f;
        cmsDoTransform(toLab, rgb.get(), lab.get(), plane);
        for (uint32_t k = 0; k < plane; ++k) {
            // A damaged table or matrix of the original can yield NaN: the profile is refused.
            if (!LabFinite(lab.get() + k * 3)) return kStatusFormat;
            cmsCIELab out = {lab[k * 3], lab[k * 3 + 1], lab[k * 3 + 2]};
            if (PerceptualIntent(intent)) ToReferenceBlack(&out);
            cmsFloat2LabEncoded(table + (size_t(r) * plane + k) * 3, &out);
        }
    }
    return kStatusOk;
}

// The backward table of an edited display profile for one intent: Lab node -> the original's
// conversion into the device -> the correction undone.
int32_t BackwardTable(cmsHTRANSFORM toDevice, const Huegrid* transform, int32_t n, int intent,
                      uint16_t* table) {
    const uint32_t plane = uint32_t(n) * uint32_t(n);
    MemBlock<float> lab(plane * 3), device(plane * 3), undone(plane * 3);
    if (!lab || !device || !undone) return kStatusNoMemory;
    for (int32_t i0 = 0; i0 < n; ++i0) {
        for (uint32_t k = 0; k < plane; ++k) {
            cmsCIELab node = LabNode(i0, int32_t(k) / n, int32_t(k) % n, n);
            if (PerceptualIntent(intent)) FromReferenceBlack(&node);
            lab[k * 3] = float(node.L);
            lab[k * 3 + 1] = float(node.a);
            lab[k * 3 + 2] = float(node.b);
        }
        cmsDoTransform(toDevice, lab.get(), device.get(), plane);
        int32_t status = ExportInvert(transform, int32_t(plane), device.get(), undone.get());
        if (status != kStatusOk) return status;
        for (uint32_t k = 0; k < plane * 3; ++k) {
            table[size_t(i0) * plane * 3 + k] = UnitToCode(undone[k]);
        }
    }
    return kStatusOk;
}

const cmsTagSignature kForwardTags[3] = {cmsSigAToB0Tag, cmsSigAToB1Tag, cmsSigAToB2Tag};
const cmsTagSignature kBackwardTags[3] = {cmsSigBToA0Tag, cmsSigBToA1Tag, cmsSigBToA2Tag};

// The tags that describe the device, taken over from the original.
bool CopyDeviceTags(cmsContext context, cmsHPROFILE source, cmsHPROFILE profile, const char* note) {
    wchar_t text[kTextSize];
    text[0] = 0;
    size_t used = 0;
    // lcms2 counts the buffer in bytes.
    if (cmsGetProfileInfo(source, cmsInfoDescription, "en", "US", text,
                          cmsUInt32Number(sizeof text)) > 0) {
        used = std::wcslen(text);
    }
    if (used > 0) used = AppendWide(text, kTextSize, used, " - ");
    used = AppendWide(text, kTextSize, used, note);
    if (!WriteText(context, profile, cmsSigProfileDescriptionTag, text)) return false;

    auto* copyright = static_cast<cmsMLU*>(cmsReadTag(source, cmsSigCopyrightTag));
    bool ok = copyright != nullptr
                  ? cmsWriteTag(profile, cmsSigCopyrightTag, copyright)
                  : WriteAsciiText(context, profile, cmsSigCopyrightTag, kCopyright);
    if (!ok) return false;

    // lcms2 takes the media white of a version 2 display profile as D50 whatever its tag says;
    // the new profile, version 4, states that white so that absolute colorimetric conversions
    // through it come out as through the original.
    const bool v2Display = cmsGetEncodedICCversion(source) < 0x4000000 &&
                           cmsGetDeviceClass(source) == cmsSigDisplayClass;
    auto* white = static_cast<cmsCIEXYZ*>(cmsReadTag(source, cmsSigMediaWhitePointTag));
    if (!cmsWriteTag(profile, cmsSigMediaWhitePointTag,
                     white != nullptr && !v2Display ? white : cmsD50_XYZ())) {
        return false;
    }
    void* adaptation = cmsReadTag(source, cmsSigChromaticAdaptationTag);
    return adaptation == nullptr || cmsWriteTag(profile, cmsSigChromaticAdaptationTag, adaptation);
}

}  // namespace

int32_t IccBuildAbstract(const IccRequest* request, uint8_t** bytes, uint32_t* size) {
    if (!ValidRequest(request, bytes, size) || request->workingSpace == nullptr ||
        !RefRgbIsValid(request->workingSpace)) {
        return kStatusProblem;
    }
    Context context(request->diagnostics);
    if (context.get() == nullptr) return kStatusNoMemory;
    cmsContext c = context.get();
    const int32_t n = request->nodes;
    Profile working(WorkingProfile(c, request->workingSpace));
    ExtendedSpace space;
    if (!working || !MakeExtendedSpace(working.get(), request->workingSpace->gamma, &space)) {
        return kStatusError;
    }
    MemBlock<uint16_t> table(uint32_t(n) * uint32_t(n) * uint32_t(n) * 3);
    if (!table) return kStatusNoMemory;
    int32_t status = AbstractTable(space, request->transform, n, table.get());
    if (status != kStatusOk) return status;

    Profile profile(NewProfile(c, cmsSigAbstractClass, cmsSigLabData, cmsSigLabData));
    if (!profile) return kStatusError;
    if (!WriteAsciiText(c, profile.get(), cmsSigProfileDescriptionTag, request->description) ||
        !WriteAsciiText(c, profile.get(), cmsSigCopyrightTag, kCopyright) ||
        !cmsWriteTag(profile.get(), cmsSigMediaWhitePointTag, cmsD50_XYZ()) ||
        !WriteTable(c, profile.get(), cmsSigAToB0Tag, n, table.get())) {
        return kStatusError;
    }
    return SaveProfile(c, profile.get(), cmsSigAToB0Tag, bytes, size);
}

int32_t IccBuildDeviceLink(const IccRequest* request, uint8_t** bytes, uint32_t* size) {
    if (!ValidRequest(request, bytes, size)) return kStatusProblem;
    Context context(request->diagnostics);
    if (context.get() == nullptr) return kStatusNoMemory;
    cmsContext c = context.get();
    const int32_t n = request->nodes;
    const uint32_t plane = uint32_t(n) * uint32_t(n);
    MemBlock<uint16_t> table(plane * uint32_t(n) * 3);
    if (!table) return kStatusNoMemory;
    for (int32_t r = 0; r < n; ++r) {
        uint16_t* codes = table.get() + size_t(r) * plane * 3;
        for (uint32_t k = 0; k < plane; ++k) {
            codes[k * 3] = ExportNodeCode(r, n);
            codes[k * 3 + 1] = ExportNodeCode(int32_t(k) / n, n);
            codes[k * 3 + 2] = ExportNodeCode(int32_t(k) % n, n);
        }
        int32_t status = ExportApply16(request->transform, int32_t(plane), codes, codes);
        if (status != kStatusOk) return status;
    }

    Profile profile(NewProfile(c, cmsSigLinkClass, cmsSigRgbData, cmsSigRgbData));
    Sequence sequence(cmsAllocProfileSequenceDescription(c, 2));
    if (!profile || !sequence) return kStatusError;
    // The link stands for working space -> correction -> working space: both ends described.
    for (cmsUInt32Number i = 0; i < 2; ++i) {
        cmsPSEQDESC& entry = sequence.get()->seq[i];
        entry.technology = cmsTechnologySignature(0);
        entry.Description = cmsMLUalloc(c, 1);
        if (entry.Description == nullptr ||
            !cmsMLUsetASCII(entry.Description, "en", "US", "RGB working space")) {
            return kStatusError;
        }
    }
    if (!WriteAsciiText(c, profile.get(), cmsSigProfileDescriptionTag, request->description) ||
        !WriteAsciiText(c, profile.get(), cmsSigCopyrightTag, kCopyright) ||
        !cmsWriteTag(profile.get(), cmsSigProfileSequenceDescTag, sequence.get()) ||
        !WriteTable(c, profile.get(), cmsSigAToB0Tag, n, table.get())) {
        return kStatusError;
    }
    return SaveProfile(c, profile.get(), cmsSigAToB0Tag, bytes, size);
}

int32_t IccBuildEditedProfile(const IccRequest* request, uint8_t** bytes, uint32_t* size) {
    if (!ValidRequest(request, bytes, size) || request->source == nullptr ||
        request->sourceSize == 0) {
        return kStatusProblem;
    }
    Context context(request->diagnostics);
    if (context.get() == nullptr) return kStatusNoMemory;
    cmsContext c = context.get();
    const int32_t n = request->nodes;
    Profile source(cmsOpenProfileFromMemTHR(c, request->source, request->sourceSize));
    if (!source) return kStatusFormat;
    const cmsProfileClassSignature profileClass = cmsGetDeviceClass(source.get());
    if (!(profileClass == cmsSigInputClass || profileClass == cmsSigDisplayClass) ||
        cmsGetColorSpace(source.get()) != cmsSigRgbData) {
        return kStatusUnsupported;
    }
    const cmsColorSpaceSignature pcs = cmsGetPCS(source.get());
    if (pcs != cmsSigXYZData && pcs != cmsSigLabData) return kStatusFormat;
    Profile lab(cmsCreateLab4ProfileTHR(c, nullptr));
    Profile profile(NewProfile(c, profileClass, cmsSigRgbData, cmsSigLabData));
    MemBlock<uint16_t> table(uint32_t(n) * uint32_t(n) * uint32_t(n) * 3);
    if (!lab || !profile) return kStatusError;
    if (!table) return kStatusNoMemory;

    // Tables for the perceptual and the colorimetric intent (they differ in version 4 by the
    // black, above), and for saturation when the original has a table of its own for it (lcms2
    // falls back to the perceptual table otherwise, for the original as for the new profile).
    for (int intent = 0; intent < 3; ++intent) {
        if (intent == INTENT_SATURATION && !cmsIsTag(source.get(), kForwardTags[intent])) continue;
        const uint32_t flags =
            kFlags | (PerceptualIntent(intent) ? cmsFLAGS_BLACKPOINTCOMPENSATION : 0u);
        Transform toLab(cmsCreateTransformTHR(c, source.get(), TYPE_RGB_FLT, lab.get(),
                                              TYPE_Lab_FLT, cmsUInt32Number(intent), flags));
        if (!toLab) return kStatusFormat;
        int32_t status = ForwardTable(toLab.get(), request->transform, n, intent, table.get());
        if (status != kStatusOk) return status;
        if (!WriteTable(c, profile.get(), kForwardTags[intent], n, table.get())) {
            return kStatusError;
        }
    }
    if (profileClass == cmsSigDisplayClass) {
        for (int intent = 0; intent < 3; ++intent) {
            if (intent == INTENT_SATURATION && !cmsIsTag(source.get(), kBackwardTags[intent])) {
                continue;
            }
            const uint32_t flags =
                kFlags | (PerceptualIntent(intent) ? cmsFLAGS_BLACKPOINTCOMPENSATION : 0u);
            Transform toDevice(cmsCreateTransformTHR(c, lab.get(), TYPE_Lab_FLT, source.get(),
                                                     TYPE_RGB_FLT, cmsUInt32Number(intent), flags));
            if (!toDevice) return kStatusFormat;
            int32_t status =
                BackwardTable(toDevice.get(), request->transform, n, intent, table.get());
            if (status != kStatusOk) return status;
            if (!WriteTable(c, profile.get(), kBackwardTags[intent], n, table.get())) {
                return kStatusError;
            }
        }
    }

    cmsSetHeaderManufacturer(profile.get(), cmsGetHeaderManufacturer(source.get()));
    cmsSetHeaderModel(profile.get(), cmsGetHeaderModel(source.get()));
    cmsUInt64Number attributes = 0;
    cmsGetHeaderAttributes(source.get(), &attributes);
    cmsSetHeaderAttributes(profile.get(), attributes);
    cmsSetHeaderFlags(profile.get(), cmsGetHeaderFlags(source.get()));
    cmsSetHeaderRenderingIntent(profile.get(), cmsGetHeaderRenderingIntent(source.get()));
    if (!CopyDeviceTags(c, source.get(), profile.get(), request->description)) {
        return kStatusError;
    }
    return SaveProfile(c, profile.get(), cmsSigAToB0Tag, bytes, size);
}
