// The host's side of advanceState; see strip_server.h for what is served and how.
#include "tools/filterhost/strip_server.h"

#include <algorithm>

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

// A grid of samples the requests read from: the source image or the mask.
struct Grid {
    int32_t width, height, planes;
    const uint16_t* wide;   // host pixels, or
    const uint8_t* narrow;  // mask bytes
    uint32_t Get(int64_t y, int64_t x, int32_t p) const {
        size_t i = size_t((y * width + x) * planes + p);
        return wide != nullptr ? wide[i] : narrow[i];
    }
};

// Fills a buffer of the rectangle `rect` (in sampled coordinates at `rate`) with planes
// lo .. lo + count - 1 of the grid, each sample `bytes` wide, rows rowBytes apart.
bool FillSampled(const Grid& grid, const VRect& rect, int32_t rate, int32_t lo, int32_t count,
                 int32_t bytes, const Padding& padding, uint8_t* dst, int32_t rowBytes,
                 std::string* why) {
    const int64_t sampledH = (int64_t(grid.height) + rate - 1) / rate;
    const int64_t sampledW = (int64_t(grid.width) + rate - 1) / rate;
    uint64_t sums[4];  // a block holds up to 32767^2 samples of up to 32768
    for (int64_t y = rect.top; y < rect.bottom; ++y) {
        uint8_t* row = dst + (y - rect.top) * rowBytes;
        for (int64_t x = rect.left; x < rect.right; ++x) {
            int64_t by = y, bx = x;
            bool outside = y < 0 || y >= sampledH || x < 0 || x >= sampledW;
            if (outside) {
                if (padding.kind == Padding::kError) {
                    *why = "pixel (" + std::to_string(y) + ", " + std::to_string(x) +
                           ") lies outside the image and the filter asked for no padding";
                    return false;
                }
                if (padding.kind == Padding::kReplicate) {
                    by = std::clamp<int64_t>(y, 0, sampledH - 1);
                    bx = std::clamp<int64_t>(x, 0, sampledW - 1);
                    outside = false;
                }
            }
            for (int32_t p = 0; p < count; ++p) {
                uint32_t v;
                if (outside) {
                    v = padding.kind == Padding::kValue ? padding.value : 0;
                } else if (rate == 1) {
                    v = grid.Get(by, bx, lo + p);
                } else {
                    if (p == 0) {
                        int64_t y0 = by * rate, y1 = std::min<int64_t>(y0 + rate, grid.height);
                        int64_t x0 = bx * rate, x1 = std::min<int64_t>(x0 + rate, grid.width);
                        std::fill(sums, sums + 4, uint64_t(0));
                        for (int64_t sy = y0; sy < y1; ++sy) {
                            for (int64_t sx = x0; sx < x1; ++sx) {
                                for (int32_t q = 0; q < count; ++q)
                                    sums[q] += grid.Get(sy, sx, lo + q);
                            }
                        }
                        uint64_t n = uint64_t((y1 - y0) * (x1 - x0));
                        for (int32_t q = 0; q < count; ++q) sums[q] = (sums[q] + n / 2) / n;
                    }
                    v = uint32_t(sums[p]);
                }
                size_t at = size_t((x - rect.left) * count + p) * size_t(bytes);
                if (bytes == 2) {
                    uint16_t w = uint16_t(v);
                    std::copy_n(reinterpret_cast<const uint8_t*>(&w), 2, row + at);
                } else {
                    row[at] = uint8_t(v);
                }
            }
        }
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

uint16_t FileToHost16(uint16_t v) {
    return uint16_t((uint32_t(v) * 32768u + 32767u) / 65535u);
}

uint16_t HostToFile16(uint16_t v) {
    uint32_t h = std::min<uint32_t>(v, 32768u);
    return uint16_t((h * 65535u + 16384u) / 32768u);
}

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

StripServer::StripServer(const HostPixels* source, HostPixels* destination,
                         const std::vector<uint8_t>* mask, VRect filterRect)
    : source_(source), destination_(destination), mask_src_(mask), filterRect_(filterRect) {}

void StripServer::WriteBack() {
    if (out_.empty()) return;
    const Layout& l = outLayout_;
    const uint32_t max = destination_->depth == 16 ? 32768u : 255u;
    int64_t top = std::max<int64_t>(l.rect.top, filterRect_.top);
    int64_t bottom = std::min<int64_t>(l.rect.bottom, filterRect_.bottom);
    int64_t left = std::max<int64_t>(l.rect.left, filterRect_.left);
    int64_t right = std::min<int64_t>(l.rect.right, filterRect_.right);
    for (int64_t y = top; y < bottom; ++y) {
        const uint8_t* row = out_.data() + (y - l.rect.top) * l.rowBytes;
        for (int64_t x = left; x < right; ++x) {
            for (int32_t p = 0; p < l.planes; ++p) {
                size_t at = size_t((x - l.rect.left) * l.planes + p) * size_t(l.bytes);
                uint32_t v = row[at];
                if (l.bytes == 2) {
                    uint16_t w;
                    std::copy_n(row + at, 2, reinterpret_cast<uint8_t*>(&w));
                    v = w;
                }
                destination_->At(y, x, l.loPlane + p) = uint16_t(std::min(v, max));
            }
        }
    }
}

void StripServer::Release(FilterRecord* record) {
    in_.clear();
    out_.clear();
    mask_.clear();
    in_.shrink_to_fit();
    out_.shrink_to_fit();
    mask_.shrink_to_fit();
    inLayout_ = outLayout_ = maskLayout_ = Layout();
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
    if (in_.empty()) return true;
    Padding padding;
    if (!ParsePadding(record.inputPadding, source_->depth == 16 ? 32768 : 255, &padding)) {
        *why = "input padding " + std::to_string(record.inputPadding) + " is not a padding value";
        return false;
    }
    Grid grid{source_->width, source_->height, source_->planes, source_->samples.data(), nullptr};
    return FillSampled(grid, inLayout_.rect, rate, inLayout_.loPlane, inLayout_.planes,
                       inLayout_.bytes, padding, in_.data(), inLayout_.rowBytes, why);
}

bool StripServer::FillOutput(const FilterRecord& record, std::string* why) {
    if (out_.empty()) return true;
    Padding padding;
    if (!ParsePadding(record.outputPadding, destination_->depth == 16 ? 32768 : 255, &padding)) {
        *why = "output padding " + std::to_string(record.outputPadding) + " is not a padding value";
        return false;
    }
    Grid grid{destination_->width, destination_->height, destination_->planes,
              destination_->samples.data(), nullptr};
    return FillSampled(grid, outLayout_.rect, 1, outLayout_.loPlane, outLayout_.planes,
                       outLayout_.bytes, padding, out_.data(), outLayout_.rowBytes, why);
}

bool StripServer::FillMask(const FilterRecord& record, int32_t rate, std::string* why) {
    if (mask_.empty()) return true;
    Padding padding;
    if (!ParsePadding(record.maskPadding, 255, &padding)) {
        *why = "mask padding " + std::to_string(record.maskPadding) + " is not a padding value";
        return false;
    }
    Grid grid{source_->width, source_->height, 1, nullptr, mask_src_->data()};
    return FillSampled(grid, maskLayout_.rect, rate, 0, 1, 1, padding, mask_.data(),
                       maskLayout_.rowBytes, why);
}

OSErr StripServer::Advance(FilterRecord* record) {
    WriteBack();
    lastError_.clear();
    const VRect inRect = ReadRect(*record, RectField::kIn);
    const VRect outRect = ReadRect(*record, RectField::kOut);
    const bool haveMask = mask_src_ != nullptr && !mask_src_->empty();
    const VRect maskRect = haveMask ? ReadRect(*record, RectField::kMask) : VRect{0, 0, 0, 0};
    const int32_t bytes = source_->depth == 16 ? 2 : 1;

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
    Layout in, out, mask;
    std::string why;
    if (!SizeBuffer(inRect, record->inLoPlane, record->inHiPlane, source_->planes, bytes, "input",
                    &inSize, &in.rowBytes, &why) ||
        !SizeBuffer(outRect, record->outLoPlane, record->outHiPlane, source_->planes, bytes,
                    "output", &outSize, &out.rowBytes, &why) ||
        !SizeBuffer(maskRect, 0, 0, 1, 1, "mask", &maskSize, &mask.rowBytes, &why)) {
        return Refuse(record, filterBadParameters, why);
    }
    if (inSize + outSize + maskSize > kMaxBufferBytes) {
        return Refuse(record, memFullErr,
                      "the requested buffers need " + std::to_string(inSize + outSize + maskSize) +
                          " bytes: in " + Describe(inRect) + ", out " + Describe(outRect) +
                          ", mask " + Describe(maskRect));
    }
    in.rect = inRect;
    in.loPlane = record->inLoPlane;
    in.planes = IsEmpty(inRect) ? 0 : record->inHiPlane - record->inLoPlane + 1;
    in.bytes = bytes;
    out.rect = outRect;
    out.loPlane = record->outLoPlane;
    out.planes = IsEmpty(outRect) ? 0 : record->outHiPlane - record->outLoPlane + 1;
    out.bytes = bytes;
    mask.rect = maskRect;
    mask.planes = IsEmpty(maskRect) ? 0 : 1;
    Release(nullptr);
    in_.assign(size_t(inSize), 0);
    out_.assign(size_t(outSize), 0);
    mask_.assign(size_t(maskSize), 0);
    inLayout_ = in;
    outLayout_ = out;
    maskLayout_ = mask;
    if (!FillInput(*record, inRate, &why) || !FillOutput(*record, &why) ||
        !FillMask(*record, maskRate, &why)) {
        return Refuse(record, filterBadParameters, why);
    }
    record->inData = in_.empty() ? nullptr : in_.data();
    record->inRowBytes = in.rowBytes;
    record->outData = out_.empty() ? nullptr : out_.data();
    record->outRowBytes = out.rowBytes;
    record->maskData = mask_.empty() ? nullptr : mask_.data();
    record->maskRowBytes = mask.rowBytes;
    return noErr;
}
