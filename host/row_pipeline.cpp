// The transform, sharpening and noise-removal pipeline over rows; see row_pipeline.h.
#include "host/row_pipeline.h"

#include "platform/file.h"
#include "platform/mem.h"
#include "resources/ids/strings.h"

namespace {

// Hands a row from the noise filter on to the applier.
int32_t NoiseToApplier(const HgPixelBuffer* row, void* context) {
    return HgApplierRun(static_cast<HuegridApplier*>(context), row);
}

// The stream holds the transform the applier reads; without a transform it stays empty, which
// the applier takes as "no transform".
int32_t WriteTransform(const Huegrid* transform, void* stream, FLSpec* spec) {
    if (transform == nullptr) {
        Mem_Fill(spec, 0, sizeof *spec);
        return kStatusOk;
    }
    FLSpecMemory(spec, stream, kFilterStreamBytes);
    return HgWriteStream(transform->lut, spec);
}

int32_t CreateApplier(RowPipeline* p, const RowPipelineSetup* s, const FLSpec& spec) {
    HgApplyOptions options;
    Mem_Fill(&options, 0, sizeof options);
    options.stream = spec;
    options.inLo = options.outLo = 0;
    options.inHi = s->bytesIn == 2 ? 65535 : 255;
    options.outHi = s->bytesOut == 2 ? 65535 : 255;
    // The unsharp mask needs more than four rows; a shorter image goes through unsharpened.
    options.sharpenAmount = (s->sharpen && s->rows > 4) ? s->settings->sharpenStrength : 0;
    options.sharpenChannel = s->settings->sharpenK;
    options.sharpenOrder = 2;
    options.width = uint32_t(s->width);
    options.rows = uint32_t(s->rows);
    options.inPixelSize = s->bytesIn;
    options.outPixelSize = s->bytesOut;
    options.callback = s->sink;
    options.callbackPlanar = 1;
    options.callbackOrder = kHgOrderIdentity3;
    options.callbackContext = s->sinkContext;
    if (s->shareTransform != nullptr) options.shareTable = s->shareTransform->applier;
    return HgApplierCreate(&options, &p->applier);
}

int32_t CreateNoiseFilter(RowPipeline* p, const RowPipelineSetup* s) {
    const SharpenNoise& sn = *s->settings;
    NoiseFilterOptions noise;
    Mem_Fill(&noise, 0, sizeof noise);
    noise.width = s->width;
    noise.rows = s->rows;
    noise.space = 1;
    noise.lumaChroma = sn.noiseFlag;
    noise.channels = 3;
    for (int c = 0; c < 3; ++c) {
        noise.radius[c] = sn.noiseRadius[c];
        noise.threshold[c] = sn.noiseThreshold[c];
    }
    noise.mode = sn.noiseK;
    noise.planar = 1;
    noise.order = int32_t(kHgOrderIdentity3);
    noise.pixelSize = s->bytesIn;
    noise.callback = NoiseToApplier;
    noise.callbackContext = p->applier;
    noise.firstRow = s->firstRow;
    return NoiseFilterCreate(&p->noise, &noise);
}

// The first three channels of an interleaved row into three planes of width samples.
template <typename T>
void Split(const T* src, ptrdiff_t step, int32_t width, T* p0) {
    T *p1 = p0 + width, *p2 = p1 + width;
    for (int32_t x = 0; x < width; ++x) {
        const T* px = src + ptrdiff_t(x) * step;
        p0[x] = px[0];
        p1[x] = px[1];
        p2[x] = px[2];
    }
}

}  // namespace

int32_t RowPipelineBegin(RowPipeline* p, const RowPipelineSetup* s, Ui_Failure* failure) {
    if (p == nullptr) return Ui_Failure_Describe(failure, kStatusProblem, kPhraseCreateHuegrid);
    Mem_Fill(p, 0, sizeof *p);
    if (s == nullptr || s->settings == nullptr || s->sink == nullptr || s->width < 1 ||
        s->rows < 1 || (s->bytesIn != 1 && s->bytesIn != 2) ||
        (s->bytesOut != 1 && s->bytesOut != 2)) {
        return Ui_Failure_Describe(failure, kStatusProblem, kPhraseCreateHuegrid);
    }
    p->width = s->width;
    p->bytesIn = s->bytesIn;
    // The planar row and the stream are the transform's memory: a lack of it is told as the
    // transform's failure.
    const uint64_t rowBytes = uint64_t(s->width) * 3 * uint64_t(s->bytesIn);
    p->planes = rowBytes <= 0xFFFF0000u ? Mem_Alloc(uint32_t(rowBytes)) : nullptr;
    const bool shared = s->shareTransform != nullptr;
    if (!shared) p->stream = Mem_Alloc(kFilterStreamBytes);
    int32_t status =
        p->planes != nullptr && (shared || p->stream != nullptr) ? kStatusOk : kStatusNoMemory;
    FLSpec spec;
    Mem_Fill(&spec, 0, sizeof spec);
    if (status == kStatusOk && !shared) status = WriteTransform(s->transform, p->stream, &spec);
    if (status == kStatusOk) status = CreateApplier(p, s, spec);
    if (status == kStatusOk && s->noise) status = CreateNoiseFilter(p, s);
    if (status != kStatusOk) {
        RowPipelineEnd(p);
        return Ui_Failure_Describe(failure, status, kPhraseCreateHuegrid);
    }
    p->row.width = uint32_t(s->width);
    p->row.channels = 3;
    p->row.space = 1;
    p->row.planar = 1;
    p->row.order = kHgOrderIdentity3;
    if (s->bytesIn == 2) {
        p->row.data16 = static_cast<uint16_t*>(p->planes);
    } else {
        p->row.data8 = static_cast<uint8_t*>(p->planes);
    }
    return kStatusOk;
}

void RowPipelineSplit(RowPipeline* p, const void* first, ptrdiff_t step) {
    if (p->bytesIn == 2) {
        Split(static_cast<const uint16_t*>(first), step, p->width, p->row.data16);
    } else {
        Split(static_cast<const uint8_t*>(first), step, p->width, p->row.data8);
    }
}

int32_t RowPipelineRun(RowPipeline* p) {
    if (p == nullptr || p->applier == nullptr) return kStatusProblem;
    return p->noise != nullptr ? NoiseFilterRun(p->noise, &p->row)
                               : HgApplierRun(p->applier, &p->row);
}

const HuegridLut* RowPipelineTransformOnly(const RowPipeline* p) {
    return p != nullptr && p->noise == nullptr ? HgApplierTransformOnly(p->applier) : nullptr;
}

void RowPipelineEnd(RowPipeline* p) {
    if (p == nullptr) return;
    NoiseFilterFree(p->noise);
    HgApplierFree(p->applier);
    Mem_Free(p->planes);
    Mem_Free(p->stream);
    Mem_Fill(p, 0, sizeof *p);
}
