// The document filterhost serves: an image file's pixels in the host's scale, the filter's result
// beside them, and the selection read from a grey image.
//
// The source rows are the file's own, in the file's scale (an uncompressed TIFF is mapped, not
// read: like any mapped file it must not be cut short by someone else while filterhost runs);
// 16-bit samples are converted to the host's 0..32768 when they are served and back when the
// filter's output is stored, so pixels the filter never writes (outside the selection's bounds)
// leave exactly as they came. The result is not a copy made up front: a row of the result exists
// only once the filter has written to it (copied from the source first unless the write covers the
// whole row), and until then reading the result reads the source. An uncompressed 24-megapixel file
// therefore costs one read, the rows the filter writes, and one write. When the output is an
// uncompressed TIFF the result's rows are not held at all: they go straight into the output file
// (result_file.h) and are read back from it. The 8-bit rows of a mapped file are not even copied
// into the filter's input buffer: the filter reads them in place, from a copy-on-write view of
// the file (LendSource).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/filterhost/image_file.h"
#include "tools/filterhost/result_file.h"
#include "tools/hostlib/host_document.h"

class FileDocument : public HostDocument {
   public:
    // Takes the rows of an image read with ReadImageRows.
    FileDocument(const Image& header, ImageRows rows);

    // A selection: width * height bytes, 0..255.
    void SetMask(std::vector<uint8_t> mask) { mask_ = std::move(mask); }

    int32_t Width() const override { return width_; }
    int32_t Height() const override { return height_; }
    int32_t Planes() const override { return planes_; }
    int32_t Depth() const override { return depth_; }
    bool HasMask() const override { return !mask_.empty(); }

    bool ReadSource(const VRect& rect, int32_t lo, int32_t count, uint8_t* dst, size_t rowBytes,
                    std::string* why) override;
    bool ReadResult(const VRect& rect, int32_t lo, int32_t count, uint8_t* dst, size_t rowBytes,
                    bool unwrittenMayStay, std::string* why) override;
    bool WriteResult(const VRect& rect, int32_t lo, int32_t count, const uint8_t* src,
                     size_t rowBytes, std::string* why) override;
    bool ReadMask(const VRect& rect, uint8_t* dst, size_t rowBytes, std::string* why) override;
    // 8-bit rows of a mapped file that lie back to back in it, from its copy-on-write view.
    uint8_t* LendSource(const VRect& rect, size_t* rowBytes) override;

    // From now on the result's rows go to `file` (before the filter writes any).
    void WriteResultTo(std::unique_ptr<ResultFile> file);
    bool WritesResultFile() const { return file_ != nullptr; }
    // With a result file: writes the rows the filter left alone from the source and renames the
    // file over the output (ResultFile::Finish).
    bool FinishResultFile(std::string* error, bool* interrupted);

    // The result's rows (file scale), in order, for WriteImageRows; without a result file only.
    RowSource ResultRows();
    // How many rows the filter has written to.
    int64_t RowsWritten() const;

   private:
    // Row y of the result; with a result file it is read into fileRow_. Null with *why when
    // it cannot be read.
    const uint8_t* ResultRow(int32_t y, std::string* why);
    // Row y of the result to change, made on the first write; whole: the caller overwrites all
    // of it. With a result file, a copy in fileRow_ that StoreRow then writes.
    uint8_t* WritableRow(int32_t y, bool whole, std::string* why);
    bool StoreRow(int32_t y, const uint8_t* row, std::string* why);
    // Puts the samples of planes lo .. lo + count - 1 of file row `from` (from rect.left on) into
    // row in the host's scale.
    void PutHostRow(const uint8_t* from, uint8_t* row, const VRect& rect, int32_t lo,
                    int32_t count) const;

    int32_t width_, height_, planes_, depth_;
    size_t rowBytes_;
    ImageRows source_;
    LargeBytes result_;  // height * rowBytes, rows valid where written_
    std::vector<uint8_t> written_;
    std::vector<uint8_t> mask_;
    std::vector<uint8_t> line_;  // converted samples on their way into the result
    std::unique_ptr<ResultFile> file_;
    // Rows lent before (1), whose pages in the copy-on-write view the filter may have written.
    // A loan that takes such a row again first has the view forget its copies; strips that do
    // not overlap, the usual case, never pay for that.
    std::vector<uint8_t> lentBefore_;
    // A result row on its way to or from file_: a read (ReadResult) and a change (WriteResult)
    // never overlap, so one row serves both.
    std::vector<uint8_t> fileRow_;
};
