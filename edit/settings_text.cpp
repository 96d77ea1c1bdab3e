// The custom settings text file; see settings_text.h.
#include "edit/settings_text.h"

#include <cstdarg>

#include "edit/text_lines.h"
#include "engine/edit_chain.h"
#include "engine/working_space.h"
#include "platform/format.h"
#include "platform/mem.h"

namespace {

// Formats one line and writes it; the status of the first failure stays in *status and every
// later line is skipped.
class LineWriter {
   public:
    explicit LineWriter(FLFile* file) : file_(file) {}
    UI_FORMAT_CHECK(2, 3) void operator()(const char* format, ...) {
        if (status_ != kStatusOk) return;
        char line[kSettingsLineSize];
        va_list args;
        va_start(args, format);
        size_t n = Str_FormatV(line, sizeof line, format, args);
        va_end(args);
        int32_t count = int32_t(n);
        status_ = FLWrite(file_, line, &count);
    }
    void Bin(const SampleBin& b) {
        (*this)("%f %f %f %d\n", double(b.sum[0]), double(b.sum[1]), double(b.sum[2]),
                int(b.count));
    }
    int32_t status() const { return status_; }

   private:
    FLFile* file_;
    int32_t status_ = kStatusOk;
};

// Reads the lines of one file in order; a missing line is a format error.
class LineReader {
   public:
    explicit LineReader(FLFile* file) : file_(file) {}
    // The next line, or null with *status set: -8 at the end of the file, and for a line longer
    // than a settings line may be (read in part, it would be another value).
    const char* Next(int32_t* status) {
        bool atEnd = false, cut = false;
        *status = TextReadLine(file_, line_, sizeof line_, &atEnd, &cut);
        if (*status == kStatusOk && (atEnd || cut)) *status = kStatusFormat;
        return *status == kStatusOk ? line_ : nullptr;
    }
    // The next line parsed by kinds (see ParseSettingsLine); -8 when it does not fit.
    int32_t Read(const char* kinds, float* floats, int32_t* ints) {
        int32_t status;
        const char* line = Next(&status);
        if (line == nullptr) return status;
        return ParseSettingsLine(line, kinds, floats, ints) ? kStatusOk : kStatusFormat;
    }
    int32_t Bin(SampleBin* b) {
        float f[3];
        int32_t count;
        int32_t status = Read("fffd", f, &count);
        if (status != kStatusOk) return status;
        for (int c = 0; c < 3; ++c) b->sum[c] = f[c];
        b->count = count;
        return kStatusOk;
    }

   private:
    FLFile* file_;
    char line_[kSettingsLineBuffer];
};

int32_t ReadBody(LineReader& in, EditPars* p) {
    int32_t status;
    const char* first = in.Next(&status);
    if (first == nullptr) return status;
    bool version5 = Str_CompareN(first, "v5", 2) == 0;
    int32_t linear = 0;
    if (version5) {
        status = in.Read("d", nullptr, &linear);
    } else {
        status = ParseSettingsLine(first, "d", nullptr, &linear) ? kStatusOk : kStatusFormat;
    }
    if (status != kStatusOk) return status;
    p->linear = linear != 0 ? 1 : 0;

    for (int k = 0; k < kEditBinCount && status == kStatusOk; ++k) status = in.Bin(&p->balBin[k]);
    float f[6];
    if (status == kStatusOk) status = in.Read("fff", f, nullptr);
    if (status != kStatusOk) return status;
    p->blackPoint = f[0];
    p->grayPoint = f[1];
    p->whitePoint = f[2];
    status = in.Read("fffff", f, nullptr);
    if (status != kStatusOk) return status;
    p->brightness = f[0];
    p->shadow = f[1];
    p->highlight = f[2];
    p->contrast = f[3];
    p->saturation = f[4];

    for (HueHandle& h : p->hue) {
        int32_t colorId;
        status = in.Read("ffffd", f, &colorId);
        if (status != kStatusOk) return status;
        h.baseHue = f[0];
        h.hueShift = f[1];
        h.brightness = f[2];
        h.saturation = f[3];
        h.colorId = colorId;
        for (int k = 0; k < kEditBinCount && status == kStatusOk; ++k)
            status = in.Bin(&h.hueBin[k]);
        if (status != kStatusOk) return status;
    }

    status = in.Read("ffff", f, nullptr);
    if (status != kStatusOk) return status;
    p->refRGB.gamma = f[0];
    for (int c = 0; c < 3; ++c) p->refRGB.xyzWhite[c] = f[1 + c];
    status = in.Read("ffffff", f, nullptr);
    if (status != kStatusOk) return status;
    for (int i = 0; i < 6; ++i) p->refRGB.primaries[i] = f[i];
    if (!version5) return kStatusOk;

    status = in.Read("fff", f, nullptr);
    if (status != kStatusOk) return status;
    for (int c = 0; c < 3; ++c) p->neutralTarget[c] = f[c];
    status = in.Read("fff", f, nullptr);
    if (status != kStatusOk) return status;
    for (int c = 0; c < 3; ++c) p->toneColor[c] = f[c];
    return kStatusOk;
}

// The engine's parameter check and the rules of every stored form: a file that the preferences
// would not keep is neither read nor written.
int32_t Storable(const EditPars* p) {
    int32_t status = HgCheckPars(p);
    if (status != kStatusOk) return status;
    bool ok = EditToneColorValid(p->toneColor);
    for (const HueHandle& h : p->hue) ok = ok && EditColorIdValid(h.colorId);
    return ok ? kStatusOk : kStatusProblem;
}

}  // namespace

bool ParseSettingsLine(const char* line, const char* kinds, float* floats, int32_t* ints) {
    if (line == nullptr || kinds == nullptr) return false;
    int n = 0, nf = 0, ni = 0;
    for (; kinds[n] != 0; ++n) {
        const char* field = TextFieldAt(line, n);
        if (kinds[n] == 'd') {
            if (!TextFieldIsInteger(field) || ints == nullptr) return false;
            Ui_ScanString(field, "%d", &ints[ni++]);
        } else {
            if (!TextFieldIsNumber(field) || floats == nullptr) return false;
            Ui_ScanString(field, "%f", &floats[nf++]);
        }
    }
    return TextFieldAt(line, n) == nullptr;
}

int32_t HgWriteSettings(const EditPars* p, const FLSpec* stream) {
    if (p == nullptr || stream == nullptr) return kStatusProblem;
    int32_t status = Storable(p);
    if (status != kStatusOk) return status;
    FLFile file;
    status = FLOpen(&file, stream, kFLWrite);
    if (status != kStatusOk) return status;

    LineWriter out(&file);
    out("v5\n");
    out("%d\n", int(p->linear != 0));
    for (const SampleBin& b : p->balBin) out.Bin(b);
    out("%f %f %f\n", double(p->blackPoint), double(p->grayPoint), double(p->whitePoint));
    out("%f %f %f %f %f\n", double(p->brightness), double(p->shadow), double(p->highlight),
        double(p->contrast), double(p->saturation));
    for (const HueHandle& h : p->hue) {
        out("%f %f %f %f %d\n", double(h.baseHue), double(h.hueShift), double(h.brightness),
            double(h.saturation), int(h.colorId));
        for (const SampleBin& b : h.hueBin) out.Bin(b);
    }
    const RefRGB& r = p->refRGB;
    out("%f %f %f %f\n", double(r.gamma), double(r.xyzWhite[0]), double(r.xyzWhite[1]),
        double(r.xyzWhite[2]));
    out("%f %f %f %f %f %f\n", double(r.primaries[0]), double(r.primaries[1]),
        double(r.primaries[2]), double(r.primaries[3]), double(r.primaries[4]),
        double(r.primaries[5]));
    out("%f %f %f\n", double(p->neutralTarget[0]), double(p->neutralTarget[1]),
        double(p->neutralTarget[2]));
    out("%f %f %f\n", double(p->toneColor[0]), double(p->toneColor[1]), double(p->toneColor[2]));

    int32_t closed = FLClose(&file);
    status = out.status();
    return status != kStatusOk ? status : closed;
}

int32_t HgReadSettings(EditPars* p, const FLSpec* stream) {
    if (p == nullptr || stream == nullptr) return kStatusProblem;
    ResetPars(p, kEditMaskAll);
    FLFile file;
    int32_t status = FLOpen(&file, stream, kFLRead);
    if (status != kStatusOk) return status;
    LineReader in(&file);
    status = ReadBody(in, p);
    FLClose(&file);
    // The bins came from the file; the Reset curves no longer describe them.
    p->balCurveValid = 0;
    if (status == kStatusOk) status = Storable(p);
    if (status != kStatusOk) return status;
    // The tables the engine reads belong to the space just read, not to the one the record held.
    const RefRGB space = p->refRGB;
    return HgSetReference(p, &space);
}
