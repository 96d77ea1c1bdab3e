// The filter's result written into the output file while the filter runs, for an output that is
// an uncompressed TIFF (the input was one). Its rows lie at fixed offsets (plain_tiff.h), so each
// row goes to the file the moment the filter hands it over, and the result is never held in
// memory: a 24-megapixel run otherwise spends much of its time having the system clear the pages
// of a result buffer it then copies out again.
//
// The file is the temporary file of a WholeFile write: renamed over the output by Finish, removed
// when the run fails or the ResultFile is dropped. Rows may be written in any order and more than
// once (a later write replaces an earlier one) and read back; a row never written must be written
// (with the source's row) before Finish, which the document does.
//
// Rows are in file scale and this machine's byte order, which must be little-endian like the
// file (every system this is built for is). Only the POSIX build has it; on Windows, where the
// console's interrupt handler cannot remove a file that is open, Create answers null and the
// result stays in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tools/filterhost/image_file.h"

class ResultFile {
   public:
    // The result file for writing `header`'s image to path as `format`. Null with *error empty
    // when such an output is not written this way; null with *error set when the file cannot be
    // made.
    static std::unique_ptr<ResultFile> Create(const std::string& path, ImageFormat format,
                                              const Image& header, std::string* error);
    virtual ~ResultFile() = default;

    // Rows y .. y + count - 1, back to back in data (each the image's row bytes). False with
    // *error when the file cannot be written.
    virtual bool Write(int32_t y, int32_t count, const uint8_t* data, std::string* error) = 0;
    // Row y as last written.
    virtual bool Read(int32_t y, uint8_t* row, std::string* error) = 0;
    // Closes the file and renames it over the output (WholeFile::Finish).
    virtual bool Finish(std::string* error, bool* interrupted) = 0;
};
