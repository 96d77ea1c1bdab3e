// The correction as the export writers see it; see export_transform.h.
#include "edit/export/export_transform.h"

#include "engine/huegrid_build.h"
#include "engine/huegrid_kernels.h"
#include "engine/working_space.h"
#include "platform/mem.h"

int32_t ExportBuildTransform(const EditPars* editPars, const RefRGB* workingSpace,
                             int32_t gridLevel, int32_t depth, Huegrid** out) {
    if (editPars == nullptr || out == nullptr) return kStatusProblem;
    if (!(0 <= gridLevel && gridLevel <= kHgQualityMax) || !(depth == 1 || depth == 2)) {
        return kStatusProblem;
    }
    // The build writes its curve caches into the record; the caller's record stays as it was.
    MemBlock<EditPars> copy(1);
    if (!copy) return kStatusNoMemory;
    Mem_Copy(copy.get(), editPars, sizeof(EditPars));
    RefRGB space = workingSpace != nullptr ? *workingSpace : editPars->refRGB;
    int32_t status = HgSetReference(copy.get(), &space);
    if (status != kStatusOk) return status;
    return HgBuild(copy.get(), kEditMaskAll, gridLevel, depth, out);
}

int32_t ExportApply16(const Huegrid* transform, int32_t count, const uint16_t* in, uint16_t* out) {
    if (transform == nullptr || in == nullptr || out == nullptr || count < 0) {
        return kStatusProblem;
    }
    if (transform->inPixelSize != 2 || transform->outPixelSize != 2 || transform->inChannels != 3 ||
        transform->outChannels != 3) {
        return kStatusProblem;
    }
    const void* inPtrs[4] = {in, in + 1, in + 2, nullptr};
    void* outPtrs[4] = {out, out + 1, out + 2, nullptr};
    return HgApply(transform, count, inPtrs, 3, outPtrs, 3);
}

uint16_t ExportNodeCode(int32_t i, int32_t n) {
    if (n < 2 || i <= 0) return 0;
    if (i >= n - 1) return 65535;
    return uint16_t((int64_t(i) * 65535 * 2 + (n - 1)) / (2 * int64_t(n - 1)));
}
