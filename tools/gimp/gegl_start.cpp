// GEGL for plug-ins that only move pixels; see gegl_start.h.
#include "tools/gimp/gegl_start.h"

#include <gegl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

void StartPixelOnlyGegl() {
    setenv("BABL_INHIBIT_CACHE", "1", 1);
    setenv("GEGL_USE_OPENCL", "no", 1);
    // GEGL looks for operations in GEGL_PATH: a folder of our own, empty, removed again.
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp");
    folder += "/kolmara-gimp-XXXXXX";
    const bool empty = mkdtemp(folder.data()) != nullptr;
    if (empty) setenv("GEGL_PATH", folder.c_str(), 1);
    gegl_init(nullptr, nullptr);
    if (empty) {
        rmdir(folder.c_str());
        unsetenv("GEGL_PATH");
    }
}
