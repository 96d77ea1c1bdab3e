// Image files for the demo tools; see demo_image.h.
#include "tools/demo/demo_image.h"

bool ReadDemoImage(const std::string& path, Image* image, std::string* error) {
    if (ReadImageFile(path, image, error)) return true;
    *error = path + ": " + *error;
    return false;
}

bool WriteDemoImage(const std::string& path, const Image& image, std::string* error) {
    ImageFormat format = FormatFromPath(path);
    if (format == ImageFormat::kUnknown) {
        *error = path + ": unknown extension (use .png, .tif, .tiff, .jpg or .jpeg)";
        return false;
    }
    if (WriteImageFile(path, format, image, error)) return true;
    *error = "cannot write " + path + ": " + *error;
    return false;
}

Image DisplayRgb8(const Image& in) {
    Image out;
    out.width = in.width;
    out.height = in.height;
    out.channels = 3;
    out.depth = 8;
    out.xResolution = in.xResolution;
    out.yResolution = in.yResolution;
    const bool grey = in.channels <= 2;
    const bool alpha = in.channels == 2 || in.channels == 4;
    const int shift = in.depth == 16 ? 8 : 0;
    const size_t pixels = size_t(in.width) * size_t(in.height);
    out.samples.resize(pixels * 3);
    for (size_t i = 0; i < pixels; ++i) {
        const uint16_t* p = &in.samples[i * size_t(in.channels)];
        int a = alpha ? p[in.channels - 1] >> shift : 255;
        for (int c = 0; c < 3; ++c) {
            int v = p[grey ? 0 : c] >> shift;
            out.samples[i * 3 + size_t(c)] = uint16_t((v * a + 255 * (255 - a) + 127) / 255);
        }
    }
    return out;
}

std::vector<double> RgbFractions(const Image& in) {
    const size_t pixels = size_t(in.width) * size_t(in.height);
    const double scale = 1.0 / MaxSample(in);
    const bool grey = in.channels <= 2;
    std::vector<double> rgb(pixels * 3);
    for (size_t i = 0; i < pixels; ++i) {
        const uint16_t* p = &in.samples[i * size_t(in.channels)];
        for (int c = 0; c < 3; ++c) rgb[i * 3 + size_t(c)] = p[grey ? 0 : c] * scale;
    }
    return rgb;
}
