// The .cube 3-D LUT writer; see cube_writer.h.
#include "edit/export/cube_writer.h"

#include "edit/export/export_transform.h"
#include "platform/format.h"
#include "platform/mem.h"

namespace {

constexpr uint32_t kChunkBytes = 1u << 16;
constexpr int32_t kLineBytes = 3 * 9;  // "d.dddddd" three times, two blanks and the LF

// One row of nodes (n pixels, red varying) is evaluated per call of the transform.
int32_t WriteRows(const Huegrid* transform, int32_t n, ExportTarget* target) {
    MemBlock<uint16_t> in(uint32_t(n) * 3), out(uint32_t(n) * 3);
    MemBlock<char> chunk(kChunkBytes);
    if (!in || !out || !chunk) return kStatusNoMemory;
    uint32_t used = 0;
    for (int32_t b = 0; b < n; ++b) {
        for (int32_t g = 0; g < n; ++g) {
            for (int32_t r = 0; r < n; ++r) {
                in[size_t(r) * 3] = ExportNodeCode(r, n);
                in[size_t(r) * 3 + 1] = ExportNodeCode(g, n);
                in[size_t(r) * 3 + 2] = ExportNodeCode(b, n);
            }
            int32_t status = ExportApply16(transform, n, in.get(), out.get());
            if (status != kStatusOk) return status;
            for (int32_t r = 0; r < n; ++r) {
                if (used + kLineBytes > kChunkBytes) {
                    status = ExportTargetWrite(target, chunk.get(), used);
                    if (status != kStatusOk) return status;
                    used = 0;
                }
                char* line = chunk.get() + used;
                for (int c = 0; c < 3; ++c) {
                    CubeFormatCode(out[size_t(r) * 3 + size_t(c)], line + c * 9);
                    line[c * 9 + 8] = c < 2 ? ' ' : '\n';
                }
                used += kLineBytes;
            }
        }
    }
    return used > 0 ? ExportTargetWrite(target, chunk.get(), used) : kStatusOk;
}

}  // namespace

int32_t CubeFormatCode(uint16_t code, char out[8]) {
    // round(code * 10^6 / 65535), exact in integers: 0 .. 1000000.
    uint32_t micro = uint32_t((uint64_t(code) * 2000000u + 65535u) / 131070u);
    out[0] = char('0' + micro / 1000000u);
    out[1] = '.';
    uint32_t fraction = micro % 1000000u;
    for (int i = 7; i >= 2; --i) {
        out[i] = char('0' + fraction % 10u);
        fraction /= 10u;
    }
    return 8;
}

int32_t CubeWrite(const Huegrid* transform, int32_t n, const char* title, ExportTarget* target) {
    if (transform == nullptr || target == nullptr || !(2 <= n && n <= 256)) return kStatusProblem;
    if (transform->inPixelSize != 2 || transform->outPixelSize != 2) return kStatusProblem;
    char header[600];
    size_t used = Str_FormatN(header, sizeof header, "# %s\n",
                              "3-D LUT of a colour correction, input and output 0..1");
    if (title != nullptr && title[0] != 0) {
        char clean[kPathSize];
        Str_CopyBounded(clean, sizeof clean, title);
        for (char* p = clean; *p; ++p) {
            if (*p == '"' || static_cast<unsigned char>(*p) < 32 || *p == 127) *p = ' ';
        }
        used += Str_FormatN(header + used, sizeof header - used, "TITLE \"%s\"\n", clean);
    }
    used += Str_FormatN(header + used, sizeof header - used,
                        "LUT_3D_SIZE %d\nDOMAIN_MIN 0.0 0.0 0.0\nDOMAIN_MAX 1.0 1.0 1.0\n", n);
    int32_t status = ExportTargetWrite(target, header, uint32_t(used));
    if (status != kStatusOk) return status;
    return WriteRows(transform, n, target);
}
