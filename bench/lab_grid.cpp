// The Lab grid; see lab_grid.h.
#include "bench/lab_grid.h"

#include <cmath>

#include "tools/demo/ciede2000.h"

int LabGridStep(int width, int height, double limit) {
    int step = 1;
    while (double(width / step + (width % step != 0)) *
               double(height / step + (height % step != 0)) >
           limit) {
        ++step;
    }
    return step;
}

LabGrid MeasureLab(const Image& image, double limit) {
    LabGrid grid;
    grid.width = image.width;
    grid.height = image.height;
    grid.step = LabGridStep(image.width, image.height, limit);
    const double max = image.depth == 16 ? 65535.0 : 255.0;
    const int ch = image.channels;
    for (int y = 0; y < image.height; y += grid.step) {
        for (int x = 0; x < image.width; x += grid.step) {
            const double r = image.At(y, x, 0) / max;
            const double g = ch >= 3 ? image.At(y, x, 1) / max : r;
            const double b = ch >= 3 ? image.At(y, x, 2) / max : r;
            grid.colours.push_back(SrgbToLab(r, g, b));
        }
    }
    return grid;
}

double MeanCiede2000(const LabGrid& first, const LabGrid& second) {
    if (first.width != second.width || first.height != second.height ||
        first.colours.size() != second.colours.size() || first.colours.empty()) {
        return -1;
    }
    double sum = 0;
    for (size_t i = 0; i < first.colours.size(); ++i) {
        sum += Ciede2000(first.colours[i], second.colours[i]);
    }
    return sum / double(first.colours.size());
}
