#include "bench/photo_host.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <vector>

#include "bench/bench_data.h"
#include "tools/filterhost/image_file.h"
#include "tools/hostlib/host_services.h"

namespace bench {
namespace {

PhotoHost* gHost = nullptr;

OSErr Advance() {
    const double start = ProcessMs();
    const OSErr answer = gHost->server.Advance(&gHost->record);
    gHost->hostMs += ProcessMs() - start;
    return answer;
}

// The scene as an uncompressed TIFF (filterhost maps such a file) in a folder of its own.
std::string WriteScene(int32_t width, int32_t height, std::string* folder, std::string* error) {
    char name[] = "/tmp/kolmara_bench.XXXXXX";
    if (mkdtemp(name) == nullptr) {
        *error = "no temporary folder";
        return std::string();
    }
    *folder = name;
    const std::string path = *folder + "/scene.tif";
    const std::vector<uint8_t> pixels = MakeImage8(width, height);
    Image header;
    header.width = width;
    header.height = height;
    header.channels = 3;
    header.depth = 8;
    header.tiffCompression = 1;
    const RowSource rows = [&](int32_t y) { return pixels.data() + size_t(y) * width * 3; };
    if (!WriteImageRows(path, ImageFormat::kTiff, header, rows, error)) return std::string();
    return path;
}

}  // namespace

PhotoHost::PhotoHost(const Image& header, ImageRows rows)
    : document(header, std::move(rows)),
      server(&document, VRect{0, 0, header.height, header.width}, false) {
    // As filterhost describes the image: RGB at 8 or 16 bits, a fourth plane as transparency.
    record.planes = int16(header.channels);
    record.depth = int16(header.depth);
    record.imageMode = header.depth == 16 ? plugInModeRGB48 : plugInModeRGBColor;
    record.inHiPlane = record.outHiPlane = int16(header.channels - 1);
    record.filterCase = header.channels == 4 ? filterCaseEditableTransparencyNoSelection
                                             : filterCaseFlatImageNoSelection;
    record.filterRect = Rect{0, 0, int16(header.height), int16(header.width)};
    record.advanceState = Advance;
    record.displayPixels = HostDisplayPixels;
    record.samplingSupport = hostSupportsIntegralSampling;
    record.supportsPadding = 1;
    record.inputRate = record.maskRate = 0x10000;
}

std::unique_ptr<PhotoHost> MakePhotoHost(int32_t width, int32_t height, std::string* error) {
    std::string folder;
    const std::string path = WriteScene(width, height, &folder, error);
    std::unique_ptr<PhotoHost> host;
    if (!path.empty()) host = OpenPhotoHost(path, error);
    if (!path.empty()) std::remove(path.c_str());
    if (!folder.empty()) rmdir(folder.c_str());
    return host;
}

std::unique_ptr<PhotoHost> OpenPhotoHost(const std::string& path, std::string* error) {
    Image header;
    ImageRows rows;
    if (!ReadImageRows(path, &header, &rows, error)) return nullptr;
    if (header.channels < 3) {
        *error = path + ": not an RGB image";
        return nullptr;
    }
    auto host = std::make_unique<PhotoHost>(header, std::move(rows));
    gHost = host.get();
    host->call.gFilterRecord = &host->record;
    host->call.gResult = &host->result;
    return host;
}

double ProcessMs() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

}  // namespace bench
