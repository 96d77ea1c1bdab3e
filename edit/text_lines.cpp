// Small text files of the edit model; see text_lines.h.
#include "edit/text_lines.h"

#include "edit/export/export_file.h"
#include "platform/mem.h"

namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

int32_t SpecFor(const char* path, FLSpec* spec) {
    if (path == nullptr || Str_Length(path) >= size_t(kFLPathSize)) return kStatusProblem;
    FLSpecDisk(spec, path);
    return kStatusOk;
}

}  // namespace

int32_t TextOpenRead(const char* path, FLFile* file) {
    FLSpec spec;
    if (file == nullptr) return kStatusProblem;
    int32_t status = SpecFor(path, &spec);
    if (status == kStatusOk) status = FLOpen(file, &spec, kFLRead);
    return status;
}

int32_t TextReadLine(FLFile* file, char* buffer, int32_t capacity, bool* atEnd, bool* cut) {
    if (file == nullptr || buffer == nullptr || atEnd == nullptr || capacity < 3) {
        return kStatusProblem;
    }
    buffer[0] = 0;
    if (cut != nullptr) *cut = false;
    // The file layer reports a read at the end as a failed read; the end is found first so that
    // a real read error stays one.
    int32_t here = 0, end = 0;
    int32_t status = FLTell(file, &here);
    if (status == kStatusOk) status = FLSeek(file, 0, 2);
    if (status == kStatusOk) status = FLTell(file, &end);
    if (status == kStatusOk) status = FLSeek(file, here, 0);
    if (status != kStatusOk) return status;
    *atEnd = here >= end;
    if (*atEnd) return kStatusOk;

    int32_t n = capacity;
    status = FLReadLine(file, buffer, &n);
    if (status != kStatusOk) return status;
    if (n > 0 && buffer[n - 1] == '\n') {
        buffer[n - 1] = 0;
        return kStatusOk;
    }
    // A piece without its line end: the line is longer than the buffer, or it ends the file.
    // Skip the rest of it so that the next call starts on the next line.
    char rest[256];
    for (;;) {
        if (FLTell(file, &here) != kStatusOk || here >= end) return kStatusOk;
        if (cut != nullptr) *cut = true;
        int32_t m = sizeof rest;
        status = FLReadLine(file, rest, &m);
        if (status != kStatusOk || rest[m - 1] == '\n') return status;
    }
}

int32_t TextWriteFile(const char* path, const char* text) {
    FLSpec spec;
    if (text == nullptr) return kStatusProblem;
    int32_t status = SpecFor(path, &spec);
    if (status != kStatusOk) return status;
    // Written whole beside the file and renamed over it (export_file.h): a failure leaves the
    // user's file as it was, and a reader meanwhile finds the old file or the new one.
    ExportTarget target;
    status = ExportTargetBegin(&target, nullptr, path);
    if (status == kStatusOk) status = ExportTargetOpen(&target);
    if (status == kStatusOk) status = ExportTargetWrite(&target, text, uint32_t(Str_Length(text)));
    return ExportTargetFinish(&target, status);
}

const char* TextFieldAt(const char* line, int n) {
    if (line == nullptr || n < 0) return nullptr;
    const char* p = line;
    for (int i = 0;; ++i) {
        while (*p == ' ' || *p == '\t') ++p;
        if (*p == 0 || *p == '\n' || *p == '\r') return nullptr;
        if (i == n) return p;
        while (*p != 0 && !IsSeparator(*p)) ++p;
    }
}

bool TextFieldIsInteger(const char* f) {
    if (f == nullptr) return false;
    const bool negative = *f == '-';
    if (negative) ++f;
    // Every signed 32-bit value, which is what the plug-in writes with "%d"; beyond that the
    // scanner's 32-bit value would wrap and turn a huge number into a small, plausible one.
    const int64_t limit = negative ? 2147483648LL : 2147483647LL;
    int64_t value = 0;
    int digits = 0;
    while ('0' <= *f && *f <= '9') {
        value = value * 10 + (*f - '0');
        if (value > limit) return false;
        ++f;
        ++digits;
    }
    return digits >= 1 && (*f == 0 || IsSeparator(*f));
}

bool TextFieldIsNumber(const char* f) {
    if (f == nullptr) return false;
    if (*f == '-') ++f;
    bool digit = false, point = false;
    for (; *f != 0 && !IsSeparator(*f); ++f) {
        if ('0' <= *f && *f <= '9') {
            digit = true;
        } else if (*f == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digit;
}
