// Colour measurements over images; see image_metrics.h.
#include "tools/demo/image_metrics.h"

#include "tools/demo/ciede2000.h"
#include "tools/demo/demo_image.h"
#include "tools/demo/srgb_lab.h"

namespace {

// The pixels to visit: the list given, or all of them; false when one lies outside.
bool Visit(const Image& image, const std::vector<size_t>& pixels, std::vector<size_t>* visit,
           std::string* error) {
    const size_t count = size_t(image.width) * size_t(image.height);
    if (count == 0) {
        *error = "the image has no pixels";
        return false;
    }
    if (pixels.empty()) {
        visit->resize(count);
        for (size_t i = 0; i < count; ++i) (*visit)[i] = i;
        return true;
    }
    for (size_t p : pixels) {
        if (p >= count) {
            *error = "a pixel to measure lies outside the image";
            return false;
        }
    }
    *visit = pixels;
    return true;
}

Lab LabAt(const std::vector<double>& rgb, size_t pixel) {
    return SrgbToLab(rgb[pixel * 3], rgb[pixel * 3 + 1], rgb[pixel * 3 + 2]);
}

}  // namespace

bool MeanChroma(const Image& image, const std::vector<size_t>& pixels, double* mean,
                std::string* error) {
    std::vector<size_t> visit;
    if (!Visit(image, pixels, &visit, error)) return false;
    const std::vector<double> rgb = RgbFractions(image);
    double sum = 0;
    for (size_t p : visit) sum += ChromaAb(LabAt(rgb, p));
    *mean = sum / double(visit.size());
    return true;
}

bool MeanCiede2000(const Image& first, const Image& second, const std::vector<size_t>& pixels,
                   double* mean, std::string* error) {
    if (first.width != second.width || first.height != second.height) {
        *error = "the images differ in size";
        return false;
    }
    std::vector<size_t> visit;
    if (!Visit(first, pixels, &visit, error)) return false;
    const std::vector<double> a = RgbFractions(first);
    const std::vector<double> b = RgbFractions(second);
    double sum = 0;
    for (size_t p : visit) sum += Ciede2000(LabAt(a, p), LabAt(b, p));
    *mean = sum / double(visit.size());
    return true;
}
