// An in-process host for the benchmarks that run the module's own code against the host
// library's strip server: a photo-like 8-bit scene written as an uncompressed TIFF and mapped
// back as filterhost maps it, or a photograph read as filterhost reads it, served at the sampling
// rates the module asks for, with a filter record and the record of a call pointing at it. One
// host at a time: the record's advanceState reaches the host through a global of the benchmark's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/call_state.h"
#include "tools/filterhost/file_document.h"
#include "tools/hostlib/strip_server.h"

namespace bench {

struct PhotoHost {
    PhotoHost(const Image& header, ImageRows rows);

    FileDocument document;
    StripServer server;
    FilterRecord record{};
    int16 result = 0;
    PluginCall call;    // what the module's routines are called with: record and result
    double hostMs = 0;  // processor time spent serving advanceState
};

// Writes the width x height scene to a temporary file, reads it back and removes the file; the
// host is bound (its call's gFilterRecord and gResult and the record's advanceState point at it).
// Null, with a message in error, when the file cannot be written or read.
std::unique_ptr<PhotoHost> MakePhotoHost(int32_t width, int32_t height, std::string* error);
// The same over an image file filterhost reads (TIFF, PNG, JPEG, PAM; RGB or RGBA, 8 or 16 bits),
// served at its own depth and planes.
std::unique_ptr<PhotoHost> OpenPhotoHost(const std::string& path, std::string* error);

// Processor time of this (single-threaded) process in milliseconds: the machine is shared, and
// other people's work inflates wall-clock times but not this.
double ProcessMs();

}  // namespace bench
