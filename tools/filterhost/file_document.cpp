// The document of an image file; see file_document.h.
#include "tools/filterhost/file_document.h"

#include <cstring>
#include <new>

#include "tools/hostlib/host_os.h"

namespace {

// Converts 16-bit samples in place, file scale to the host's or back. The conversion is a
// template argument so that it is inlined into the loop, not called through a pointer.
template <uint16_t (*convert)(uint16_t)>
void Convert(uint8_t* samples, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        uint16_t v;
        std::memcpy(&v, samples + 2 * i, 2);
        v = convert(v);
        std::memcpy(samples + 2 * i, &v, 2);
    }
}

// Converts count 16-bit samples from src into dst: one pass instead of a copy and a conversion
// in place, for rows of every plane (a 16-bit run serves its strips on one thread while the
// filter's threads wait, so each pass over them counts).
template <uint16_t (*convert)(uint16_t)>
void ConvertCopy(const uint8_t* src, uint8_t* dst, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        uint16_t v;
        std::memcpy(&v, src + 2 * i, 2);
        v = convert(v);
        std::memcpy(dst + 2 * i, &v, 2);
    }
}

// Copies samples of planes lo .. lo + count - 1 from rows of `planes` interleaved samples.
void CopyPlanes(const uint8_t* src, uint8_t* dst, int64_t pixels, int32_t planes, int32_t lo,
                int32_t count, int32_t bytes) {
    if (lo == 0 && count == planes) {
        std::memcpy(dst, src, size_t(pixels) * size_t(planes) * size_t(bytes));
        return;
    }
    const size_t in = size_t(planes) * size_t(bytes), out = size_t(count) * size_t(bytes);
    const size_t skip = size_t(lo) * size_t(bytes);
    for (int64_t x = 0; x < pixels; ++x)
        std::memcpy(dst + size_t(x) * out, src + size_t(x) * in + skip, out);
}

// The reverse: puts count planes from src into rows of `planes` samples at plane lo.
void PutPlanes(const uint8_t* src, uint8_t* dst, int64_t pixels, int32_t planes, int32_t lo,
               int32_t count, int32_t bytes) {
    if (lo == 0 && count == planes) {
        std::memcpy(dst, src, size_t(pixels) * size_t(planes) * size_t(bytes));
        return;
    }
    const size_t in = size_t(count) * size_t(bytes), out = size_t(planes) * size_t(bytes);
    const size_t skip = size_t(lo) * size_t(bytes);
    for (int64_t x = 0; x < pixels; ++x)
        std::memcpy(dst + size_t(x) * out + skip, src + size_t(x) * in, in);
}

}  // namespace

FileDocument::FileDocument(const Image& header, ImageRows rows)
    : width_(header.width),
      height_(header.height),
      planes_(header.channels),
      depth_(header.depth),
      rowBytes_(rows.rowBytes),
      source_(std::move(rows)),
      written_(size_t(header.height), 0) {}

void FileDocument::WriteResultTo(std::unique_ptr<ResultFile> file) {
    file_ = std::move(file);
    fileRow_.resize(rowBytes_);
}

const uint8_t* FileDocument::ResultRow(int32_t y, std::string* why) {
    if (!written_[size_t(y)]) return source_.SourceRow(y);
    if (!file_) return result_.get() + size_t(y) * rowBytes_;
    return file_->Read(y, fileRow_.data(), why) ? fileRow_.data() : nullptr;
}

uint8_t* FileDocument::WritableRow(int32_t y, bool whole, std::string* why) {
    if (file_) {
        uint8_t* row = fileRow_.data();
        if (written_[size_t(y)]) {
            if (!whole && !file_->Read(y, row, why)) return nullptr;
        } else if (!whole) {
            std::memcpy(row, source_.SourceRow(y), rowBytes_);
        }
        return row;
    }
    if (!result_) {
        // Pages of the result are touched only where rows are written.
        result_ = AllocateLarge(size_t(height_) * rowBytes_);
        if (!result_) {
            *why = "not enough memory for the result";
            return nullptr;
        }
    }
    uint8_t* row = result_.get() + size_t(y) * rowBytes_;
    if (!written_[size_t(y)]) {
        if (!whole) std::memcpy(row, source_.SourceRow(y), rowBytes_);
        written_[size_t(y)] = 1;
    }
    return row;
}

bool FileDocument::StoreRow(int32_t y, const uint8_t* row, std::string* why) {
    if (!file_) return true;
    if (!file_->Write(y, 1, row, why)) return false;
    written_[size_t(y)] = 1;
    return true;
}

bool FileDocument::ReadSource(const VRect& rect, int32_t lo, int32_t count, uint8_t* dst,
                              size_t rowBytes, std::string*) {
    const int32_t bytes = depth_ / 8;
    const size_t offset = size_t(rect.left) * size_t(planes_) * size_t(bytes);
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
        uint8_t* row = dst + size_t(y - rect.top) * rowBytes;
        PutHostRow(source_.SourceRow(y) + offset, row, rect, lo, count);
    }
    return true;
}

void FileDocument::PutHostRow(const uint8_t* from, uint8_t* row, const VRect& rect, int32_t lo,
                              int32_t count) const {
    const int32_t bytes = depth_ / 8;
    const size_t samples = size_t(rect.right - rect.left) * size_t(count);
    if (bytes == 2 && lo == 0 && count == planes_) {
        ConvertCopy<FileToHost16>(from, row, samples);
        return;
    }
    CopyPlanes(from, row, int64_t(rect.right) - rect.left, planes_, lo, count, bytes);
    if (bytes == 2) Convert<FileToHost16>(row, samples);
}

bool FileDocument::ReadResult(const VRect& rect, int32_t lo, int32_t count, uint8_t* dst,
                              size_t rowBytes, bool unwrittenMayStay, std::string* why) {
    const int32_t bytes = depth_ / 8;
    const size_t offset = size_t(rect.left) * size_t(planes_) * size_t(bytes);
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
        if (unwrittenMayStay && !written_[size_t(y)]) continue;
        uint8_t* row = dst + size_t(y - rect.top) * rowBytes;
        const uint8_t* from = ResultRow(y, why);
        if (from == nullptr) return false;
        PutHostRow(from + offset, row, rect, lo, count);
    }
    return true;
}

bool FileDocument::WriteResult(const VRect& rect, int32_t lo, int32_t count, const uint8_t* src,
                               size_t rowBytes, std::string* why) {
    const int32_t bytes = depth_ / 8;
    const size_t offset = size_t(rect.left) * size_t(planes_) * size_t(bytes);
    const bool whole = rect.left == 0 && rect.right == width_ && lo == 0 && count == planes_;
    if (file_ && whole && bytes == 1 && rowBytes == rowBytes_) {
        // The filter's rows are the file's: one write for them all.
        if (!file_->Write(rect.top, rect.bottom - rect.top, src, why)) return false;
        for (int32_t y = rect.top; y < rect.bottom; ++y) written_[size_t(y)] = 1;
        return true;
    }
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
        uint8_t* row = WritableRow(y, whole, why);
        if (row == nullptr) return false;
        const uint8_t* from = src + size_t(y - rect.top) * rowBytes;
        const size_t samples = size_t(rect.right - rect.left) * size_t(count);
        if (bytes == 2 && lo == 0 && count == planes_) {
            ConvertCopy<HostToFile16>(from, row + offset, samples);
            if (!StoreRow(y, row, why)) return false;
            continue;
        }
        if (bytes == 2) {
            line_.assign(from, from + samples * 2);
            Convert<HostToFile16>(line_.data(), samples);
            from = line_.data();
        }
        PutPlanes(from, row + offset, int64_t(rect.right) - rect.left, planes_, lo, count, bytes);
        if (!StoreRow(y, row, why)) return false;
    }
    return true;
}

bool FileDocument::ReadMask(const VRect& rect, uint8_t* dst, size_t rowBytes, std::string*) {
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
        std::memcpy(dst + size_t(y - rect.top) * rowBytes,
                    mask_.data() + size_t(y) * size_t(width_) + size_t(rect.left),
                    size_t(rect.right - rect.left));
    }
    return true;
}

uint8_t* FileDocument::LendSource(const VRect& rect, size_t* rowBytes) {
    auto* copy = static_cast<uint8_t*>(source_.mapping.copy);
    if (copy == nullptr || depth_ != 8) return nullptr;
    // Strips are placed where the file says; the rows must follow each other without a gap.
    for (int32_t y = rect.top + 1; y < rect.bottom; ++y) {
        if (source_.SourceRow(y) != source_.SourceRow(y - 1) + rowBytes_) return nullptr;
    }
    const auto* base = static_cast<const uint8_t*>(source_.mapping.base);
    auto inCopy = [&](int32_t y) { return copy + (source_.SourceRow(y) - base); };
    if (lentBefore_.empty()) lentBefore_.assign(size_t(height_), 0);
    for (int32_t y = rect.top; y < rect.bottom;) {
        if (!lentBefore_[size_t(y)]) {
            lentBefore_[size_t(y)] = 1;
            ++y;
            continue;
        }
        int32_t end = y;
        while (end < rect.bottom && lentBefore_[size_t(end)]) ++end;
        HostOs_ForgetCopies(inCopy(y), size_t(end - y) * rowBytes_);
        y = end;
    }
    *rowBytes = rowBytes_;
    return inCopy(rect.top) + size_t(rect.left) * size_t(planes_);
}

RowSource FileDocument::ResultRows() {
    return [this](int32_t y) {
        std::string unused;  // rows held in memory cannot fail to be read
        return ResultRow(y, &unused);
    };
}

bool FileDocument::FinishResultFile(std::string* error, bool* interrupted) {
    for (int32_t y = 0; y < height_; ++y) {
        if (!written_[size_t(y)] && !file_->Write(y, 1, source_.SourceRow(y), error)) {
            file_.reset();  // removes the temporary file
            return false;
        }
    }
    const bool ok = file_->Finish(error, interrupted);
    file_.reset();
    return ok;
}

int64_t FileDocument::RowsWritten() const {
    int64_t n = 0;
    for (uint8_t w : written_) n += w;
    return n;
}
