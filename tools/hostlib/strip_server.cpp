// The host's side of advanceState; see strip_server.h for what is served and how.
#include "tools/hostlib/strip_server.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace {

struct Padding {
    enum Kind { kValue, kReplicate, kZero, kError } kind = kValue;
    uint16_t value = 0;  // in the host's scale of the buffer
};

bool ParsePadding(int16_t code, uint32_t maxValue, Padding* padding) {
    if (0 <= code && code <= 255) {
        padding->kind = Padding::kValue;
        padding->value = uint16_t((uint32_t(code) * maxValue + 127) / 255);
        return true;
    }
    switch (code) {
        case plugInWantsEdgeReplication:
            padding->kind = Padding::kReplicate;
            return true;
        case plugInDoesNotWantPadding:
            padding->kind = Padding::kZero;
            return true;
        case plugInWantsErrorOnBoundsException:
            padding->kind = Padding::kError;
            return true;
        default:
            return false;
    }
}

std::string Describe(const VRect& r) {
    return "(" + std::to_string(r.top) + ", " + std::to_string(r.left) + ", " +
           std::to_string(r.bottom) + ", " + std::to_string(r.right) + ")";
}

int64_t Height(const VRect& r) {
    return int64_t(r.bottom) - r.top;
}
int64_t Width(const VRect& r) {
    return int64_t(r.right) - r.left;
}

VRect Intersect(const VRect& a, const VRect& b) {
    return VRect{std::max(a.top, b.top), std::max(a.left, b.left), std::min(a.bottom, b.bottom),
                 std::min(a.right, b.right)};
}

// Reads an in-image rectangle of full-resolution samples into a buffer.
using GridReader =
    std::function<bool(const VRect& rect, uint8_t* dst, size_t rowBytes, std::string* why)>;

// The samples a request reads from: the document's source, its result, or its mask.
struct Grid {
    int32_t width, height;  // full resolution
    int32_t channels;       // samples per pixel in the served buffer
    int32_t bytes;          // 1 or 2
    GridReader read;
};

// Fills `rect`, which lies inside the image sampled at `rate`, into dst. Rate 1 reads straight
// into dst; higher rates read the source rows of one sampled row at a time and average blocks.
bool ReadSampled(const Grid& grid, const VRect& rect, int32_t rate, uint8_t* dst, size_t rowBytes,
                 std::vector<uint8_t>* scratch, std::string* why) {
    if (IsEmpty(rect)) return true;
    if (rate == 1) return grid.read(rect, dst, rowBytes, why);
    const int64_t x0 = int64_t(rect.left) * rate;
    const int64_t x1 = std::min<int64_t>(int64_t(rect.right) * rate, grid.width);
    const size_t pixelBytes = size_t(grid.channels) * size_t(grid.bytes);
    const size_t scratchRow = size_t(x1 - x0) * pixelBytes;
    for (int64_t sy = rect.top; sy < rect.bottom; ++sy) {
        const int64_t y0 = sy * rate, y1 = std::min<int64_t>(y0 + rate, grid.height);
        scratch->resize(scratchRow * size_t(y1 - y0));
        if (!grid.read(VRect{int32_t(y0), int32_t(x0), int32_t(y1), int32_t(x1)}, scratch->data(),
                       scratchRow, why)) {
            return false;
        }
        uint8_t* out = dst + size_t(sy - rect.top) * rowBytes;
        for (int64_t sx = rect.left; sx < rect.right; ++sx) {
            const int64_t bx0 = sx * rate - x0, bx1 = std::min<int64_t>(bx0 + rate, x1 - x0);
            uint64_t sums[4] = {0, 0, 0, 0};  // a block holds up to 32767^2 samples of 32768
            for (int64_t y = 0; y < y1 - y0; ++y) {
                const uint8_t* row = scratch->data() + size_t(y) * scratchRow;
                for (int64_t x = bx0; x < bx1; ++x) {
                    for (int32_t c = 0; c < grid.channels; ++c) {
                        size_t at = size_t(x) * size_t(grid.channels) + size_t(c);
                        uint16_t v = row[at];
                        if (grid.bytes == 2) std::memcpy(&v, row + 2 * at, 2);
                        sums[c] += v;
                    }
                }
            }
            const uint64_t n = uint64_t((y1 - y0) * (bx1 - bx0));
            for (int32_t c = 0; c < grid.channels; ++c) {
                const uint16_t v = uint16_t((sums[c] + n / 2) / n);
                size_t at = size_t(sx - rect.left) * size_t(grid.channels) + size_t(c);
                if (grid.bytes == 2) {
                    std::memcpy(out + 2 * at, &v, 2);
                } else {
                    out[at] = uint8_t(v);
                }
            }
        }
    }
    return true;
}

// Writes `pixels` pixels of the padding value.
void FillValue(uint8_t* dst, int64_t pixels, const Grid& grid, uint16_t value) {
    const int64_t samples = pixels * grid.channels;
    if (grid.bytes == 1) {
        std::memset(dst, value, size_t(samples));
        return;
    }
    for (int64_t i = 0; i < samples; ++i) std::memcpy(dst + 2 * i, &value, 2);
}

// Fills a buffer of the rectangle `rect` (in sampled coordinates at `rate`), padding whatever
// lies outside the image.
bool FillSampled(const Grid& grid, const VRect& rect, int32_t rate, const Padding& padding,
                 uint8_t* dst, int32_t rowBytes, std::vector<uint8_t>* scratch, std::string* why) {
    const VRect image{0, 0, int32_t((int64_t(grid.height) + rate - 1) / rate),
                      int32_t((int64_t(grid.width) + rate - 1) / rate)};
    const VRect inner = Intersect(rect, image);
    const bool whole = !IsEmpty(inner) && inner.top == rect.top && inner.left == rect.left &&
                       inner.bottom == rect.bottom && inner.right == rect.right;
    const size_t pixelBytes = size_t(grid.channels) * size_t(grid.bytes);
    if (whole) return ReadSampled(grid, rect, rate, dst, size_t(rowBytes), scratch, why);
    if (padding.kind == Padding::kError) {
        // The first pixel outside, in reading order.
        int64_t y = rect.top, x = rect.left;
        for (; y < rect.bottom; ++y) {
            if (y < 0 || y >= image.bottom || rect.left < 0) break;
            if (rect.right > image.right) {
                x = image.right;
                break;
            }
        }
        *why = "pixel (" + std::to_string(y) + ", " + std::to_string(x) +
               ") lies outside the image and the filter asked for no padding";
        return false;
    }
    if (padding.kind == Padding::kReplicate) {
        // Every pixel is the one at the clamped position: read the clamped rectangle once, then
        // spread it.
        auto clampY = [&](int64_t y) { return std::clamp<int64_t>(y, 0, image.bottom - 1); };
        auto clampX = [&](int64_t x) { return std::clamp<int64_t>(x, 0, image.right - 1); };
        const VRect held{int32_t(clampY(rect.top)), int32_t(clampX(rect.left)),
                         int32_t(clampY(rect.bottom - 1) + 1), int32_t(clampX(rect.right - 1) + 1)};
        const size_t heldRow = size_t(Width(held)) * pixelBytes;
        std::vector<uint8_t> block(heldRow * size_t(Height(held)));
        if (!ReadSampled(grid, held, rate, block.data(), heldRow, scratch, why)) return false;
        for (int64_t y = rect.top; y < rect.bottom; ++y) {
            const uint8_t* src = block.data() + size_t(clampY(y) - held.top) * heldRow;
            uint8_t* row = dst + size_t(y - rect.top) * size_t(rowBytes);
            for (int64_t x = rect.left; x < rect.right; ++x) {
                std::memcpy(row + size_t(x - rect.left) * pixelBytes,
                            src + size_t(clampX(x) - held.left) * pixelBytes, pixelBytes);
            }
        }
        return true;
    }
    const uint16_t value = padding.kind == Padding::kValue ? padding.value : 0;
    if (!IsEmpty(inner)) {
        uint8_t* at = dst + size_t(inner.top - rect.top) * size_t(rowBytes) +
                      size_t(inner.left - rect.left) * pixelBytes;
        if (!ReadSampled(grid, inner, rate, at, size_t(rowBytes), scratch, why)) return false;
    }
    for (int64_t y = rect.top; y < rect.bottom; ++y) {
        uint8_t* row = dst + size_t(y - rect.top) * size_t(rowBytes);
        if (IsEmpty(inner) || y < inner.top || y >= inner.bottom) {
            FillValue(row, Width(rect), grid, value);
            continue;
        }
        FillValue(row, int64_t(inner.left) - rect.left, grid, value);
        FillValue(row + size_t(inner.right - rect.left) * pixelBytes,
                  int64_t(rect.right) - inner.right, grid, value);
    }
    return true;
}

// Checks a rate in 16.16 and returns it as an integer, or 0 when it is not a whole number >= 1.
int32_t IntegerRate(Fixed rate) {
    if (rate < 0x10000 || (rate & 0xFFFF) != 0) return 0;
    return rate >> 16;
}

// Sizes one buffer for a request; false when the planes or the size are not acceptable.
bool SizeBuffer(const VRect& rect, int32_t lo, int32_t hi, int32_t planes, int32_t bytes,
                const char* what, int64_t* size, int32_t* rowBytes, std::string* why) {
    *size = 0;
    *rowBytes = 0;
    if (IsEmpty(rect)) return true;
    if (!(0 <= lo && lo <= hi && hi < planes)) {
        *why = std::string(what) + " planes " + std::to_string(lo) + " to " + std::to_string(hi) +
               " requested of an image with " + std::to_string(planes);
        return false;
    }
    int64_t row = Width(rect) * (int64_t(hi) - lo + 1) * bytes;
    if (row > INT32_MAX || Height(rect) > StripServer::kMaxBufferBytes ||
        row * Height(rect) > StripServer::kMaxBufferBytes) {
        *size = StripServer::kMaxBufferBytes + 1;
        return true;
    }
    *rowBytes = int32_t(row);
    *size = row * Height(rect);
    return true;
}

}  // namespace

bool IsEmpty(const VRect& r) {
    return r.bottom <= r.top || r.right <= r.left;
}

VRect ReadRect(const FilterRecord& record, RectField field) {
    const BigDocumentStruct* big = record.bigDocumentData;
    if (big != nullptr && big->PluginUsing32BitCoordinates != 0) {
        switch (field) {
            case RectField::kFilter:
                return big->filterRect32;
            case RectField::kIn:
                return big->inRect32;
            case RectField::kOut:
                return big->outRect32;
            case RectField::kMask:
                return big->maskRect32;
        }
    }
    Rect r{};
    switch (field) {
        case RectField::kFilter:
            r = record.filterRect;
            break;
        case RectField::kIn:
            r = record.inRect;
            break;
        case RectField::kOut:
            r = record.outRect;
            break;
        case RectField::kMask:
            r = record.maskRect;
            break;
    }
    return VRect{r.top, r.left, r.bottom, r.right};
}

void WriteRect(FilterRecord* record, RectField field, VRect v) {
    auto narrow = [](int32_t x) { return int16_t(std::clamp<int32_t>(x, INT16_MIN, INT16_MAX)); };
    Rect r{narrow(v.top), narrow(v.left), narrow(v.bottom), narrow(v.right)};
    BigDocumentStruct* big = record->bigDocumentData;
    switch (field) {
        case RectField::kFilter:
            record->filterRect = r;
            if (big != nullptr) big->filterRect32 = v;
            break;
        case RectField::kIn:
            record->inRect = r;
            if (big != nullptr) big->inRect32 = v;
            break;
        case RectField::kOut:
            record->outRect = r;
            if (big != nullptr) big->outRect32 = v;
            break;
        case RectField::kMask:
            record->maskRect = r;
            if (big != nullptr) big->maskRect32 = v;
            break;
    }
}

bool StripServer::Buffer::Reserve(int64_t need) {
    size = need;
    if (need <= capacity) return true;
    // Not zero-filled: every byte served is written first.
    data.reset(new (std::nothrow) uint8_t[size_t(need)]);
    capacity = data ? need : 0;
    if (!data) size = 0;
    return data != nullptr;
}

StripServer::StripServer(HostDocument* document, VRect filterRect, bool copySource)
    : document_(document), filterRect_(filterRect), copySource_(copySource) {}

StripServer::StripServer(const HostPixels* source, HostPixels* destination,
                         const std::vector<uint8_t>* mask, VRect filterRect)
    : owned_(std::make_unique<MemoryDocument>(source, destination, mask)),
      document_(owned_.get()),
      filterRect_(filterRect),
      copySource_(true) {}

bool StripServer::WriteBack() {
    Buffer& b = out_;
    if (b.size == 0) return true;
    const VRect r = Intersect(b.rect, filterRect_);
    if (IsEmpty(r)) return true;
    uint8_t* at = b.data.get() + size_t(r.top - b.rect.top) * size_t(b.rowBytes) +
                  size_t(r.left - b.rect.left) * size_t(b.planes) * size_t(b.bytes);
    if (b.bytes == 2) {
        // The host scale ends at 32768; a filter that writes beyond it gets it clamped. This
        // pass runs on the one thread that serves the strips while the filter's threads wait,
        // so it is written for the compiler to clamp eight samples at once with x86-64's
        // baseline instructions (which have no unsigned 16-bit minimum): every sample from
        // 32768 up has its top bit set, and keeping only that bit makes it 32768. A compare
        // and a branch per sample took a tenth of that thread's time in a 16-bit run.
        const size_t samples = size_t(Width(r)) * size_t(b.planes);
        for (int64_t y = 0; y < Height(r); ++y) {
            uint8_t* row = at + size_t(y) * size_t(b.rowBytes);
            for (size_t i = 0; i < samples; ++i) {
                uint16_t v;
                std::memcpy(&v, row + 2 * i, 2);
                const uint16_t top = uint16_t(int16_t(v) >> 15);  // all ones from 32768 up
                v = uint16_t(v & ~(top & 0x7FFF));
                std::memcpy(row + 2 * i, &v, 2);
            }
        }
    }
    std::string why;
    if (!document_->WriteResult(r, b.loPlane, b.planes, at, size_t(b.rowBytes), &why)) {
        lastError_ = "the document refused the output: " + why;
        return false;
    }
    return true;
}

bool StripServer::LendInput(const FilterRecord& record, VRect rect, int32_t rate, int64_t size) {
    const int32_t planes = document_->Planes();
    if (rate != 1 || IsEmpty(rect) || record.inLoPlane != 0 || record.inHiPlane != planes - 1 ||
        rect.top < 0 || rect.left < 0 || rect.bottom > document_->Height() ||
        rect.right > document_->Width()) {
        return false;
    }
    size_t rowBytes = 0;
    uint8_t* lent = document_->LendSource(rect, &rowBytes);
    if (lent == nullptr || rowBytes > size_t(INT32_MAX)) return false;
    in_.lent = lent;
    in_.size = size;
    in_.rowBytes = int32_t(rowBytes);
    return true;
}

void StripServer::Release(FilterRecord* record) {
    for (Buffer* b : {&in_, &out_, &mask_}) *b = Buffer();
    scratch_.clear();
    scratch_.shrink_to_fit();
    if (record != nullptr) {
        record->inData = record->outData = record->maskData = nullptr;
        record->inRowBytes = record->outRowBytes = record->maskRowBytes = 0;
    }
}

OSErr StripServer::Refuse(FilterRecord* record, OSErr code, std::string why) {
    Release(record);
    lastError_ = std::move(why);
    return code;
}

bool StripServer::FillInput(const FilterRecord& record, int32_t rate, std::string* why) {
    if (in_.size == 0 || in_.lent != nullptr) return true;
    Padding padding;
    if (!ParsePadding(record.inputPadding, document_->Depth() == 16 ? 32768 : 255, &padding)) {
        *why = "input padding " + std::to_string(record.inputPadding) + " is not a padding value";
        return false;
    }
    const int32_t lo = in_.loPlane, count = in_.planes;
    Grid grid{document_->Width(), document_->Height(), count, in_.bytes,
              [&](const VRect& r, uint8_t* dst, size_t rowBytes, std::string* w) {
                  return document_->ReadSource(r, lo, count, dst, rowBytes, w);
              }};
    return FillSampled(grid, in_.rect, rate, padding, in_.data.get(), in_.rowBytes, &scratch_, why);
}

bool StripServer::FillOutput(const FilterRecord& record, std::string* why) {
    if (out_.size == 0) return true;
    Padding padding;
    if (!ParsePadding(record.outputPadding, document_->Depth() == 16 ? 32768 : 255, &padding)) {
        *why = "output padding " + std::to_string(record.outputPadding) + " is not a padding value";
        return false;
    }
    const int32_t lo = out_.loPlane, count = out_.planes;
    const bool mayStay = !copySource_;
    Grid grid{document_->Width(), document_->Height(), count, out_.bytes,
              [&](const VRect& r, uint8_t* dst, size_t rowBytes, std::string* w) {
                  return document_->ReadResult(r, lo, count, dst, rowBytes, mayStay, w);
              }};
    return FillSampled(grid, out_.rect, 1, padding, out_.data.get(), out_.rowBytes, &scratch_, why);
}

bool StripServer::FillMask(const FilterRecord& record, int32_t rate, std::string* why) {
    if (mask_.size == 0) return true;
    Padding padding;
    if (!ParsePadding(record.maskPadding, 255, &padding)) {
        *why = "mask padding " + std::to_string(record.maskPadding) + " is not a padding value";
        return false;
    }
    Grid grid{document_->Width(), document_->Height(), 1, 1,
              [&](const VRect& r, uint8_t* dst, size_t rowBytes, std::string* w) {
                  return document_->ReadMask(r, dst, rowBytes, w);
              }};
    return FillSampled(grid, mask_.rect, rate, padding, mask_.data.get(), mask_.rowBytes, &scratch_,
                       why);
}

OSErr StripServer::Advance(FilterRecord* record) {
    if (!WriteBack()) return Refuse(record, filterBadParameters, lastError_);
    in_.lent = nullptr;
    lastError_.clear();
    const VRect inRect = ReadRect(*record, RectField::kIn);
    const VRect outRect = ReadRect(*record, RectField::kOut);
    const bool haveMask = document_->HasMask();
    const VRect maskRect = haveMask ? ReadRect(*record, RectField::kMask) : VRect{0, 0, 0, 0};
    const int32_t bytes = document_->Depth() == 16 ? 2 : 1;
    const int32_t planes = document_->Planes();

    int32_t inRate = 1, maskRate = 1;
    if (!IsEmpty(inRect) && (inRate = IntegerRate(record->inputRate)) == 0) {
        return Refuse(record, filterBadParameters,
                      "input rate " + std::to_string(record->inputRate / 65536.0) +
                          " is not a whole number of at least 1 (this host samples integrally)");
    }
    if (!IsEmpty(maskRect) && (maskRate = IntegerRate(record->maskRate)) == 0) {
        return Refuse(record, filterBadParameters,
                      "mask rate " + std::to_string(record->maskRate / 65536.0) +
                          " is not a whole number of at least 1 (this host samples integrally)");
    }
    int64_t inSize, outSize, maskSize;
    int32_t inRow, outRow, maskRow;
    std::string why;
    if (!SizeBuffer(inRect, record->inLoPlane, record->inHiPlane, planes, bytes, "input", &inSize,
                    &inRow, &why) ||
        !SizeBuffer(outRect, record->outLoPlane, record->outHiPlane, planes, bytes, "output",
                    &outSize, &outRow, &why) ||
        !SizeBuffer(maskRect, 0, 0, 1, 1, "mask", &maskSize, &maskRow, &why)) {
        return Refuse(record, filterBadParameters, why);
    }
    if (inSize + outSize + maskSize > kMaxBufferBytes) {
        return Refuse(record, memFullErr,
                      "the requested buffers need " + std::to_string(inSize + outSize + maskSize) +
                          " bytes: in " + Describe(inRect) + ", out " + Describe(outRect) +
                          ", mask " + Describe(maskRect));
    }
    const bool lent = LendInput(*record, inRect, inRate, inSize);
    if ((!lent && !in_.Reserve(inSize)) || !out_.Reserve(outSize) || !mask_.Reserve(maskSize)) {
        return Refuse(
            record, memFullErr,
            "no memory for buffers of " + std::to_string(inSize + outSize + maskSize) + " bytes");
    }
    in_.rect = inRect;
    in_.loPlane = record->inLoPlane;
    in_.planes = IsEmpty(inRect) ? 0 : record->inHiPlane - record->inLoPlane + 1;
    in_.bytes = bytes;
    if (!lent) in_.rowBytes = inRow;
    out_.rect = outRect;
    out_.loPlane = record->outLoPlane;
    out_.planes = IsEmpty(outRect) ? 0 : record->outHiPlane - record->outLoPlane + 1;
    out_.bytes = bytes;
    out_.rowBytes = outRow;
    mask_.rect = maskRect;
    mask_.loPlane = 0;
    mask_.planes = IsEmpty(maskRect) ? 0 : 1;
    mask_.bytes = 1;
    mask_.rowBytes = maskRow;
    if (!FillInput(*record, inRate, &why) || !FillOutput(*record, &why) ||
        !FillMask(*record, maskRate, &why)) {
        return Refuse(record, filterBadParameters, why);
    }
    record->inData = in_.Ptr();
    record->inRowBytes = in_.rowBytes;
    record->outData = out_.Ptr();
    record->outRowBytes = out_.rowBytes;
    record->maskData = mask_.Ptr();
    record->maskRowBytes = mask_.rowBytes;
    return noErr;
}
