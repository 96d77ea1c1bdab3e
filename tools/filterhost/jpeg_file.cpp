// JPEG through libjpeg: greyscale and colour (YCbCr or RGB) files are read as 8-bit grey or RGB;
// CMYK and YCCK files are refused. A file that ends early is an error: libjpeg would only warn
// and fill the missing rows with grey, which would pass for a picture. Written files are baseline
// JPEG at quality 95 with the resolution in dots per inch.
//
// libjpeg's error exit is redirected to a longjmp; as with PNG, the functions that call libjpeg
// keep only plain values in their own frame and the caller owns every buffer.
#include <cstdio>
// jpeglib.h relies on size_t and FILE being declared first.
#include <jpeglib.h>
// After jpeglib.h, which it relies on.
#include <jerror.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>

#include "platform/os.h"
#include "tools/filterhost/image_file.h"

namespace {

struct JpegError {
    jpeg_error_mgr manager;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = "";
    bool cutShort = false;
};

void OnError(j_common_ptr info) {
    auto* e = reinterpret_cast<JpegError*>(info->err);
    (*info->err->format_message)(info, e->message);
    longjmp(e->jump, 1);
}

void OnMessage(j_common_ptr info, int level) {
    if (level == -1 && info->err->msg_code == JWRN_JPEG_EOF) {
        reinterpret_cast<JpegError*>(info->err)->cutShort = true;
    }
}

bool ReadHeader(jpeg_decompress_struct* info, JpegError* e, FILE* file, Image* image) {
    if (setjmp(e->jump)) return false;
    jpeg_stdio_src(info, file);
    jpeg_read_header(info, TRUE);
    if (info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK) {
        std::snprintf(e->message, sizeof e->message, "CMYK JPEG files are not supported");
        return false;
    }
    info->out_color_space = info->jpeg_color_space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(info);
    image->width = int32_t(info->output_width);
    image->height = int32_t(info->output_height);
    image->channels = info->output_components;
    image->depth = 8;
    if (info->X_density > 0 && info->Y_density > 0 &&
        (info->density_unit == 1 || info->density_unit == 2)) {
        double toInch = info->density_unit == 2 ? 2.54 : 1.0;
        image->xResolution = info->X_density * toInch;
        image->yResolution = info->Y_density * toInch;
    }
    return true;
}

bool ReadRows(jpeg_decompress_struct* info, JpegError* e, uint8_t* bytes, size_t rowBytes) {
    if (setjmp(e->jump)) return false;
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = bytes + size_t(info->output_scanline) * rowBytes;
        jpeg_read_scanlines(info, &row, 1);
    }
    jpeg_finish_decompress(info);
    return true;
}

bool WriteAll(jpeg_compress_struct* info, JpegError* e, FILE* file, const Image& image,
              const uint8_t* bytes) {
    if (setjmp(e->jump)) return false;
    jpeg_stdio_dest(info, file);
    info->image_width = JDIMENSION(image.width);
    info->image_height = JDIMENSION(image.height);
    info->input_components = image.channels;
    info->in_color_space = image.channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(info);
    jpeg_set_quality(info, 95, TRUE);
    info->density_unit = 1;
    info->X_density = UINT16(image.xResolution + 0.5);
    info->Y_density = UINT16(image.yResolution + 0.5);
    jpeg_start_compress(info, TRUE);
    size_t rowBytes = size_t(image.width) * size_t(image.channels);
    while (info->next_scanline < info->image_height) {
        JSAMPROW row = const_cast<uint8_t*>(bytes) + size_t(info->next_scanline) * rowBytes;
        jpeg_write_scanlines(info, &row, 1);
    }
    jpeg_finish_compress(info);
    return true;
}

}  // namespace

bool ReadJpeg(const std::string& path, Image* image, std::string* error) {
    FILE* file = Os_OpenFile(path.c_str(), "rb");
    if (file == nullptr) {
        *error = std::strerror(errno);
        return false;
    }
    jpeg_decompress_struct info;
    JpegError e;
    info.err = jpeg_std_error(&e.manager);
    e.manager.error_exit = OnError;
    e.manager.emit_message = OnMessage;
    jpeg_create_decompress(&info);
    std::vector<uint8_t> bytes;
    bool ok = ReadHeader(&info, &e, file, image) && AllocateImage(image, error);
    if (ok) {
        size_t rowBytes = size_t(image->width) * size_t(image->channels);
        bytes.resize(rowBytes * size_t(image->height));
        ok = ReadRows(&info, &e, bytes.data(), rowBytes);
        if (ok && e.cutShort) {
            std::snprintf(e.message, sizeof e.message, "the JPEG file ends early");
            ok = false;
        }
    }
    if (ok) {
        for (size_t i = 0; i < bytes.size(); ++i) image->samples[i] = bytes[i];
    } else if (e.message[0] != 0) {
        *error = e.message;
    }
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return ok;
}

bool WriteJpeg(const std::string& path, const Image& image, std::string* error) {
    std::vector<uint8_t> bytes(image.samples.size());
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(image.samples[i]);
    FILE* file = Os_OpenFile(path.c_str(), "wb");
    if (file == nullptr) {
        *error = std::strerror(errno);
        return false;
    }
    jpeg_compress_struct info;
    JpegError e;
    info.err = jpeg_std_error(&e.manager);
    e.manager.error_exit = OnError;
    e.manager.emit_message = OnMessage;
    jpeg_create_compress(&info);
    bool ok = WriteAll(&info, &e, file, image, bytes.data());
    jpeg_destroy_compress(&info);
    if (std::fclose(file) != 0 && ok) {
        std::snprintf(e.message, sizeof e.message, "%s", std::strerror(errno));
        ok = false;
    }
    if (!ok) *error = e.message[0] != 0 ? e.message : "cannot write the JPEG file";
    return ok;
}
