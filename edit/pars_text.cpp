// The whole custom settings file; see pars_text.h.
#include "edit/pars_text.h"

#include "edit/export/export_file.h"
#include "edit/settings_text.h"
#include "edit/text_lines.h"
#include "platform/format.h"
#include "platform/mem.h"

namespace {

int32_t SpecFor(const char* path, FLSpec* spec) {
    if (path == nullptr || Str_Length(path) >= size_t(kFLPathSize)) return kStatusProblem;
    FLSpecDisk(spec, path);
    return kStatusOk;
}

int32_t AppendSharpenNoise(const SharpenNoise& s, const FLSpec* spec) {
    char text[256];
    Str_FormatN(text, sizeof text, "-----\n%d %d %d\n%d %d %d\n%d %d %d %d\n%d %d %d %d\n",
                int(s.sharpenOn != 0), int(s.sharpenStrength), int(s.sharpenK), int(s.noiseOn != 0),
                int(s.noiseFlag != 0), int(s.noiseK), int(s.noiseRadius[0]), int(s.noiseRadius[1]),
                int(s.noiseRadius[2]), int(s.noiseRadius[3]), int(s.noiseThreshold[0]),
                int(s.noiseThreshold[1]), int(s.noiseThreshold[2]), int(s.noiseThreshold[3]));
    FLFile file;
    int32_t status = FLOpen(&file, spec, kFLReadWrite);
    if (status != kStatusOk) return status;
    status = FLSeek(&file, 0, 2);
    int32_t n = int32_t(Str_Length(text));
    if (status == kStatusOk) status = FLWrite(&file, text, &n);
    int32_t closed = FLClose(&file);
    return status != kStatusOk ? status : closed;
}

// Reads the sharpen/noise part when the file carries one: the first line that begins with
// "-----" and the four lines after it. Files of older versions, and colour parts saved alone,
// have none; then *s stays as it is.
int32_t ReadSharpenNoise(const FLSpec* spec, SharpenNoise* s) {
    FLFile file;
    int32_t status = FLOpen(&file, spec, kFLRead);
    if (status != kStatusOk) return status;
    char line[kSettingsLineBuffer];
    bool atEnd = false, cut = false, present = false;
    while (status == kStatusOk && !present) {
        status = TextReadLine(&file, line, sizeof line, &atEnd, &cut);
        if (status != kStatusOk || atEnd) break;
        present = Str_CompareN(line, "-----", 5) == 0;
    }
    if (status != kStatusOk || !present) {
        FLClose(&file);
        return status;
    }
    static const char* const kKinds[4] = {"ddd", "ddd", "dddd", "dddd"};
    int32_t values[4][4] = {};
    for (int i = 0; i < 4 && status == kStatusOk; ++i) {
        status = TextReadLine(&file, line, sizeof line, &atEnd, &cut);
        if (status == kStatusOk &&
            (atEnd || cut || !ParseSettingsLine(line, kKinds[i], nullptr, values[i]))) {
            status = kStatusFormat;
        }
    }
    FLClose(&file);
    if (status != kStatusOk) return status;
    s->sharpenOn = values[0][0] != 0 ? 1 : 0;
    s->sharpenStrength = values[0][1];
    s->sharpenK = values[0][2];
    s->noiseOn = values[1][0] != 0 ? 1 : 0;
    s->noiseFlag = values[1][1] != 0 ? 1 : 0;
    s->noiseK = values[1][2];
    for (int i = 0; i < 4; ++i) {
        s->noiseRadius[i] = values[2][i];
        s->noiseThreshold[i] = values[3][i];
    }
    return RepairSharpenNoise(s) ? kStatusUnsupported : kStatusOk;
}

}  // namespace

int32_t WriteParsText(const EditPars* p, const char* path) {
    FLSpec spec;
    if (p == nullptr) return kStatusProblem;
    int32_t status = SpecFor(path, &spec);
    if (status != kStatusOk) return status;
    // Written whole beside the file and renamed over it (export_file.h): a failure leaves the
    // user's file as it was, and a program reading it meanwhile (a batch run loading custom
    // settings) never finds it half-written.
    ExportTarget target;
    status = ExportTargetBegin(&target, nullptr, path);
    if (status != kStatusOk) return status;
    FLSpec temp;
    FLSpecDisk(&temp, target.temp);
    status = HgWriteSettings(p, &temp);
    if (status == kStatusOk) status = AppendSharpenNoise(p->sharpenNoise, &temp);
    return ExportTargetFinish(&target, status);
}

int32_t ReadParsText(const char* path, EditPars* p) {
    FLSpec spec;
    if (p == nullptr) return kStatusProblem;
    int32_t status = SpecFor(path, &spec);
    if (status != kStatusOk) return status;
    // A whole record is read into a copy; the caller's changes only when everything was read.
    MemBlock<EditPars> copy(1);
    if (!copy) return kStatusNoMemory;
    *copy.get() = *p;
    status = HgReadSettings(copy.get(), &spec);
    if (status != kStatusOk) return status;
    status = ReadSharpenNoise(&spec, &copy.get()->sharpenNoise);
    if (status != kStatusOk && status != kStatusUnsupported) return status;
    *p = *copy.get();
    return status;
}
