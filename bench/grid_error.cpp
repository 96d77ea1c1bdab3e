#include "bench/grid_error.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "engine/edit_chain.h"
#include "engine/huegrid_build.h"
#include "engine/huegrid_kernels.h"

namespace bench {

GridErrors MeasureGridError(const EditPars& pars, int32_t quality, int32_t depth,
                            int32_t placement) {
    EditPars p = pars;
    Huegrid* grid = nullptr;
    if (HgBuildPlaced(&p, 0xFFFF, quality, depth, placement, &grid) != 0) return {-1, -1};
    const int32_t max = depth == 2 ? 65535 : 255;
    constexpr int kColours = 100000;
    std::mt19937 rng(20240607);
    std::uniform_int_distribution<int32_t> code(0, max);
    std::vector<uint16_t> in(3 * kColours), out(3 * kColours);
    for (uint16_t& v : in) v = uint16_t(code(rng));
    if (depth == 2) {
        const void* ip[4] = {in.data(), in.data() + 1, in.data() + 2, nullptr};
        void* op[4] = {out.data(), out.data() + 1, out.data() + 2, nullptr};
        HgApply(grid, kColours, ip, 3, op, 3);
    } else {
        std::vector<uint8_t> in8(in.begin(), in.end()), out8(in8.size());
        const void* ip[4] = {in8.data(), in8.data() + 1, in8.data() + 2, nullptr};
        void* op[4] = {out8.data(), out8.data() + 1, out8.data() + 2, nullptr};
        HgApply(grid, kColours, ip, 3, op, 3);
        std::copy(out8.begin(), out8.end(), out.begin());
    }
    std::vector<double> errors(kColours);
    for (int i = 0; i < kColours; ++i) {
        float rgb[3], v[3];
        for (int c = 0; c < 3; ++c) rgb[c] = float(in[3 * i + c]) / max;
        HgEvalColour(&p, 0xFFFF, rgb, v);
        double e = 0;
        for (int c = 0; c < 3; ++c)
            e = std::max(e, std::fabs(double(out[3 * i + c]) / max - v[c]) * 255.0);
        errors[i] = e;
    }
    HgFree(grid);
    std::sort(errors.begin(), errors.end());
    return {errors.back(), errors[size_t(kColours) * 99 / 100]};
}

}  // namespace bench
