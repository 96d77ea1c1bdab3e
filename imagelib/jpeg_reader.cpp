// The JPEG module; see jpeg_reader.h.
//
// Every call into libjpeg runs inside Guarded(), which sets the jump target that our error
// routine returns to. The steps it runs keep only plain locals: a jump skips destructors, so
// nothing there may own a resource. After a jump the decompressor is only fit for
// jpeg_abort_decompress or jpeg_destroy_decompress, which the next read or the close call.
#include "imagelib/jpeg_reader.h"

#include <jerror.h>

#include <new>

#include "imagelib/ras_embed.h"
#include "platform/mem.h"

namespace {

int32_t StatusForMessage(int code) {
    switch (code) {
        case JERR_INPUT_EOF:
        case JERR_FILE_READ:
            return kStatusFileRead;
        case JERR_OUT_OF_MEMORY:
        case JERR_NO_BACKING_STORE:  // more working memory than the limit allows
            return kStatusNoMemory;
        case JERR_BAD_PRECISION:
        case JERR_ARITH_NOTIMPL:
        case JERR_NOT_COMPILED:
        case JERR_NOTIMPL:
        case JERR_CCIR601_NOTIMPL:
        case JERR_CONVERSION_NOTIMPL:
            return kStatusUnsupported;
        default:
            return kStatusFormat;
    }
}

void ErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    err->status = StatusForMessage(err->pub.msg_code);
    longjmp(err->jump, 1);
}

// The library shows nothing itself: libjpeg's messages are dropped.
void OutputMessage(j_common_ptr) {}

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<JpegSource*>(cinfo->src);
    int32_t n = int32_t(sizeof src->buffer);
    if (FLRead(src->file, src->buffer, &n, 0) != kStatusOk || n <= 0) {
        // libjpeg's own sources would feed an end marker and decode the rest as grey; a file
        // that ends early is a short read here.
        ERREXIT(cinfo, JERR_INPUT_EOF);
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = size_t(n);
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* src = cinfo->src;
    while (size_t(count) > src->bytes_in_buffer) {
        count -= long(src->bytes_in_buffer);
        FillInputBuffer(cinfo);
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= size_t(count);
}

void TermSource(j_decompress_ptr) {}

using Step = int32_t (*)(JpegState*, uint32_t);

int32_t Guarded(JpegState* st, Step step, uint32_t arg) {
    st->err.status = kStatusOk;
    if (setjmp(st->err.jump) != 0) return st->err.status;
    return step(st, arg);
}

// libjpeg's working memory without a JPEGMEM setting: see jpeg_reader.h.
constexpr long kMemoryFloor = 64L << 20;
constexpr long kMemoryPerFileByte = 1024;

int32_t StepCreate(JpegState* st, uint32_t) {
    jpeg_create_decompress(&st->cinfo);
    st->created = 1;
    st->cinfo.src = &st->source.pub;
    // The memory manager has taken JPEGMEM when it is set; otherwise the limit follows the file.
    if (st->cinfo.mem->max_memory_to_use == 0) {
        const long justified = long(st->fileBytes) * kMemoryPerFileByte;
        st->cinfo.mem->max_memory_to_use = justified > kMemoryFloor ? justified : kMemoryFloor;
    }
    return kStatusOk;
}

// Keeps APP2 markers (where an ICC profile travels) when keep is 1; stops keeping them when 0.
int32_t StepKeepProfileMarkers(JpegState* st, uint32_t keep) {
    jpeg_save_markers(&st->cinfo, JPEG_APP0 + 2, keep == 1 ? 0xFFFF : 0);
    return kStatusOk;
}

// Reads the header from the top of the file; with decode = 1 also starts decompression. Any
// decoding under way is abandoned first.
int32_t StepBegin(JpegState* st, uint32_t decode) {
    jpeg_decompress_struct* c = &st->cinfo;
    jpeg_abort_decompress(c);
    st->decoding = 0;
    if (FLSeek(&st->file, 0, 0) != kStatusOk) return kStatusFileSeek;
    st->source.pub.next_input_byte = nullptr;
    st->source.pub.bytes_in_buffer = 0;
    jpeg_read_header(c, TRUE);
    // libjpeg's colour spaces: grey and CMYK are kept, everything else is read as RGB.
    const J_COLOR_SPACE in = c->jpeg_color_space;
    if (in == JCS_GRAYSCALE) {
        c->out_color_space = JCS_GRAYSCALE;
    } else if (in == JCS_CMYK || in == JCS_YCCK) {
        c->out_color_space = JCS_CMYK;
    } else {
        c->out_color_space = JCS_RGB;
    }
    st->invertCmyk = c->out_color_space == JCS_CMYK && c->saw_Adobe_marker ? 1 : 0;
    if (decode == 1) {
        jpeg_start_decompress(c);
        st->decoding = 1;
    }
    return kStatusOk;
}

// Decodes up to and including line y into the row buffer.
int32_t StepReadLine(JpegState* st, uint32_t y) {
    JSAMPROW rows[1] = {st->row};
    while (st->cinfo.output_scanline <= y) {
        if (jpeg_read_scanlines(&st->cinfo, rows, 1) != 1) return kStatusFileRead;
    }
    return kStatusOk;
}

bool IsProfileMarker(const jpeg_saved_marker_ptr m) {
    static const char kId[12] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};
    if (m->marker != JPEG_APP0 + 2 || m->data_length < 14) return false;
    for (int i = 0; i < 12; ++i) {
        if (m->data[i] != uint8_t(kId[i])) return false;
    }
    return true;
}

uint32_t GetBE32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// Puts the ICC profile together from the saved APP2 markers ("ICC_PROFILE", NUL, sequence
// number from 1, marker count, then the piece) and hands it to the store. A profile with
// missing, repeated or inconsistent pieces, or whose own length field claims more than the
// pieces hold, is left out; the image is still read.
void CollectProfile(JpegState* st) {
    const jpeg_saved_marker_ptr first = st->cinfo.marker_list;
    uint32_t pieces = 0;
    uint32_t total = 0;
    uint32_t seen[256] = {};
    for (jpeg_saved_marker_ptr m = first; m != nullptr; m = m->next) {
        if (!IsProfileMarker(m)) continue;
        uint32_t seq = m->data[12];
        uint32_t count = m->data[13];
        if (pieces == 0) pieces = count;
        if (count == 0 || count != pieces || seq == 0 || seq > count || seen[seq] != 0) return;
        seen[seq] = 1;
        total += m->data_length - 14;
    }
    if (pieces == 0) return;
    for (uint32_t i = 1; i <= pieces; ++i) {
        if (seen[i] == 0) return;
    }
    if (total < 4) return;
    MemBlock<uint8_t> profile;
    if (!profile.Allocate(total)) return;
    uint32_t at = 0;
    for (uint32_t i = 1; i <= pieces; ++i) {
        for (jpeg_saved_marker_ptr m = first; m != nullptr; m = m->next) {
            if (!IsProfileMarker(m) || m->data[12] != i) continue;
            Mem_Copy(profile.get() + at, m->data + 14, m->data_length - 14);
            at += m->data_length - 14;
        }
    }
    uint32_t declared = GetBE32(profile.get());
    if (!(4 <= declared && declared <= total)) return;
    RasEmbedTake(kRasSlotReadProfile, profile.Release(), declared, 0);
}

void FillDescriptor(const JpegState* st, RasImage* image) {
    const jpeg_decompress_struct* c = &st->cinfo;
    image->width = c->image_width;
    image->height = c->image_height;
    if (c->out_color_space == JCS_GRAYSCALE) {
        image->channels = 1;
        image->colorSpace = kRasSpaceGrey;
    } else if (c->out_color_space == JCS_CMYK) {
        image->channels = 4;
        image->colorSpace = kRasSpaceCMYK;
    } else {
        image->channels = 3;
        image->colorSpace = kRasSpaceRGB;
    }
    image->format = kRasFormatJpeg;
    image->maxValue = 255;
    float r = -1.0f;
    if (c->saw_JFIF_marker && c->density_unit == 1) r = float(c->X_density);
    if (c->saw_JFIF_marker && c->density_unit == 2) r = float(c->X_density) * 2.54f;
    image->resolution = r > 0.0f ? r : -1.0f;
}

void Release(JpegState* st) {
    if (st->created) jpeg_destroy_decompress(&st->cinfo);
    st->created = 0;
    st->decoding = 0;
    st->row = static_cast<uint8_t*>(Mem_Free(st->row));
}

// Opens the file and reads its header; with decode = 1 decoding is started as well.
int32_t Start(const FLSpec* spec, RasImage* image, uint32_t decode) {
    if (spec == nullptr || image == nullptr || image->state == nullptr) return kStatusProblem;
    auto* st = static_cast<JpegState*>(image->state);
    // libjpeg's records are plain C structures, cleared as libjpeg expects them.
    Mem_Fill(st, 0, sizeof *st);
    new (&st->file) FLFile();
    if (FLOpen(&st->file, spec, kFLRead) != kStatusOk) return kStatusFileOpen;
    if (FLSeek(&st->file, 0, 2) != kStatusOk || FLTell(&st->file, &st->fileBytes) != kStatusOk ||
        FLSeek(&st->file, 0, 0) != kStatusOk) {
        FLClose(&st->file);
        return kStatusFileSeek;
    }
    st->cinfo.err = jpeg_std_error(&st->err.pub);
    st->err.pub.error_exit = ErrorExit;
    st->err.pub.output_message = OutputMessage;
    st->source.file = &st->file;
    st->source.pub.init_source = InitSource;
    st->source.pub.fill_input_buffer = FillInputBuffer;
    st->source.pub.skip_input_data = SkipInputData;
    st->source.pub.resync_to_restart = jpeg_resync_to_restart;
    st->source.pub.term_source = TermSource;
    int32_t status = Guarded(st, StepCreate, 0);
    if (status == kStatusOk && decode == 1) status = Guarded(st, StepKeepProfileMarkers, 1);
    if (status == kStatusOk) status = Guarded(st, StepBegin, decode);
    if (status == kStatusOk) {
        FillDescriptor(st, image);
        if (decode == 1) {
            uint64_t bytes =
                uint64_t(st->cinfo.output_width) * uint32_t(st->cinfo.output_components);
            st->rowBytes = uint32_t(bytes);
            st->row = static_cast<uint8_t*>(Mem_Alloc(st->rowBytes));
            if (st->row == nullptr) status = kStatusNoMemory;
        }
    }
    if (status == kStatusOk && decode == 1) {
        CollectProfile(st);
        // A restart need not keep the markers again.
        status = Guarded(st, StepKeepProfileMarkers, 0);
    }
    if (status != kStatusOk || decode == 0) {
        Release(st);
        FLClose(&st->file);
    }
    return status;
}

}  // namespace

int32_t JpegQuery(const FLSpec* spec, RasImage* image) {
    return Start(spec, image, 0);
}

int32_t JpegOpen(const FLSpec* spec, RasImage* image) {
    return Start(spec, image, 1);
}

int32_t JpegReadSl(RasImage* image, uint32_t y, RasSl* sl) {
    if (image == nullptr || sl == nullptr || image->state == nullptr) return kStatusProblem;
    auto* st = static_cast<JpegState*>(image->state);
    if (!st->created || st->row == nullptr) return kStatusProblem;
    // The decoder's own sizes count, whatever has become of the descriptor since the open.
    const jpeg_decompress_struct* c = &st->cinfo;
    if (y >= c->output_height || sl->width != c->output_width ||
        sl->channels != uint32_t(c->output_components)) {
        return kStatusProblem;
    }
    for (uint32_t ch = 0; ch < sl->channels; ++ch) {
        if (sl->planes8[ch] == nullptr) return kStatusProblem;
    }
    int32_t status = kStatusOk;
    // The last line decoded is still in the row buffer; a line above it means starting again.
    bool inBuffer = st->decoding && y + 1 == c->output_scanline;
    if (!inBuffer && (!st->decoding || y < c->output_scanline)) status = Guarded(st, StepBegin, 1);
    if (!inBuffer && status == kStatusOk) status = Guarded(st, StepReadLine, y);
    if (status != kStatusOk) {
        st->decoding = 0;
        return status;
    }
    uint32_t n = sl->channels;
    uint8_t flip = st->invertCmyk ? 0xFF : 0;
    for (uint32_t ch = 0; ch < n; ++ch) {
        const uint8_t* p = st->row + ch;
        uint8_t* out = sl->planes8[ch];
        for (uint32_t x = 0; x < sl->width; ++x, p += n) out[x] = *p ^ flip;
    }
    return kStatusOk;
}

int32_t JpegClose(RasImage* image) {
    if (image == nullptr || image->state == nullptr) return kStatusProblem;
    auto* st = static_cast<JpegState*>(image->state);
    Release(st);
    return FLClose(&st->file);
}
