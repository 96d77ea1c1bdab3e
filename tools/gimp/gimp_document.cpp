// The drawable as a document; see gimp_document.h.
#include "tools/gimp/gimp_document.h"

#include <algorithm>
#include <cstring>

namespace {

GeglRectangle Gegl(const VRect& r, int32_t dx = 0, int32_t dy = 0) {
    return GeglRectangle{r.left + dx, r.top + dy, r.right - r.left, r.bottom - r.top};
}

void Unref(GeglBuffer** buffer) {
    if (*buffer != nullptr) g_object_unref(*buffer);
    *buffer = nullptr;
}

}  // namespace

GimpDocument::~GimpDocument() {
    Unref(&source_);
    Unref(&shadow_);
    Unref(&selection_);
}

bool GimpDocument::Open(gint32 drawable, const char* encoding, int32_t planes, int32_t depth,
                        const VRect& filterRect, bool mask, std::string* why) {
    width_ = gimp_drawable_width(drawable);
    height_ = gimp_drawable_height(drawable);
    planes_ = planes;
    depth_ = depth;
    filterRect_ = filterRect;
    gimp_drawable_offsets(drawable, &offsetX_, &offsetY_);
    // The drawable's own space: the pixels' numbers stay as they are.
    const Babl* own = gimp_drawable_get_format(drawable);
    format_ = babl_format_with_space(encoding, own);
    source_ = gimp_drawable_get_buffer(drawable);
    shadow_ = gimp_drawable_get_shadow_buffer(drawable);
    if (source_ == nullptr || shadow_ == nullptr || format_ == nullptr) {
        *why = "GIMP did not hand out the layer's pixels";
        return false;
    }
    if (mask) {
        gint32 channel = gimp_image_get_selection(gimp_item_get_image(drawable));
        selection_ = gimp_drawable_get_buffer(channel);
        maskFormat_ = babl_format("Y u8");
        if (selection_ == nullptr) {
            *why = "GIMP did not hand out the selection";
            return false;
        }
    }
    written_.assign(size_t(height_), 0);
    tileHeight_ = std::max<int32_t>(1, int32_t(gimp_tile_height()));
    return true;
}

void GimpDocument::Read(GeglBuffer* buffer, const VRect& rect, int32_t lo, int32_t count,
                        uint8_t* dst, size_t rowBytes) {
    const int32_t bytes = depth_ / 8;
    const size_t width = size_t(rect.right - rect.left);
    const bool whole = lo == 0 && count == planes_;
    const size_t fullRow = width * size_t(planes_) * size_t(bytes);
    uint8_t* target = dst;
    size_t stride = rowBytes;
    if (!whole) {
        scratch_.resize(fullRow * size_t(rect.bottom - rect.top));
        target = scratch_.data();
        stride = fullRow;
    }
    const GeglRectangle r = Gegl(rect);
    gegl_buffer_get(buffer, &r, 1.0, format_, target, gint(stride), GEGL_ABYSS_NONE);
    for (int32_t y = 0; y < rect.bottom - rect.top; ++y) {
        uint8_t* row = target + size_t(y) * stride;
        if (bytes == 2) {
            for (size_t i = 0; i < width * size_t(planes_); ++i) {
                uint16_t v;
                std::memcpy(&v, row + 2 * i, 2);
                v = FileToHost16(v);
                std::memcpy(row + 2 * i, &v, 2);
            }
        }
        if (!whole) {
            uint8_t* out = dst + size_t(y) * rowBytes;
            const size_t in = size_t(planes_) * size_t(bytes), take = size_t(count) * size_t(bytes);
            for (size_t x = 0; x < width; ++x) {
                std::memcpy(out + x * take, row + x * in + size_t(lo) * size_t(bytes), take);
            }
        }
    }
}

bool GimpDocument::ReadSource(const VRect& rect, int32_t lo, int32_t count, uint8_t* dst,
                              size_t rowBytes, std::string*) {
    Read(source_, rect, lo, count, dst, rowBytes);
    return true;
}

bool GimpDocument::ReadResult(const VRect& rect, int32_t lo, int32_t count, uint8_t* dst,
                              size_t rowBytes, bool unwrittenMayStay, std::string*) {
    // Written rows come back from the shadow, so the band's rows must be in it first. Only then:
    // the host asks for every new output strip, usually rows never written, and flushing the
    // band there would hand GIMP each strip's last part-row of tiles, which the next strip's
    // rows then make GEGL fetch back from GIMP.
    if (std::max(rect.top, bandTop_) < std::min(rect.bottom, bandTop_ + bandRows_)) {
        FlushBand(true);
    }
    // Runs of rows that come from the same buffer, read together.
    int32_t y = rect.top;
    while (y < rect.bottom) {
        const bool written = written_[size_t(y)] != 0;
        int32_t end = y + 1;
        while (end < rect.bottom && (written_[size_t(end)] != 0) == written) ++end;
        uint8_t* at = dst + size_t(y - rect.top) * rowBytes;
        // The shadow holds written rows only inside the filter rectangle.
        const VRect run{y, rect.left, end, rect.right};
        if (written) {
            const VRect inside{y, std::max(rect.left, filterRect_.left), end,
                               std::min(rect.right, filterRect_.right)};
            if (inside.left != rect.left || inside.right != rect.right) {
                Read(source_, run, lo, count, at, rowBytes);
            }
            if (inside.left < inside.right) {
                const size_t skip =
                    size_t(inside.left - rect.left) * size_t(count) * size_t(depth_ / 8);
                Read(shadow_, inside, lo, count, at + skip, rowBytes);
            }
        } else if (!unwrittenMayStay) {
            Read(source_, run, lo, count, at, rowBytes);
        }
        y = end;
    }
    return true;
}

void GimpDocument::Store(const VRect& rect, const uint8_t* data, size_t stride) {
    const size_t rowBytes = size_t(rect.right - rect.left) * size_t(planes_) * size_t(depth_ / 8);
    const bool rows = rect.left == filterRect_.left && rect.right == filterRect_.right;
    if (bandRows_ > 0 && (!rows || rect.top != bandTop_ + bandRows_)) FlushBand(true);
    if (!rows) {
        const GeglRectangle r = Gegl(rect);
        gegl_buffer_set(shadow_, &r, 0, format_, data, gint(stride));
        return;
    }
    if (bandRows_ == 0) bandTop_ = rect.top;
    const int32_t count = rect.bottom - rect.top;
    band_.resize(size_t(bandRows_ + count) * rowBytes);
    for (int32_t y = 0; y < count; ++y) {
        std::memcpy(band_.data() + size_t(bandRows_ + y) * rowBytes, data + size_t(y) * stride,
                    rowBytes);
    }
    bandRows_ += count;
    FlushBand(false);
}

void GimpDocument::FlushBand(bool whole) {
    if (bandRows_ == 0) return;
    const int32_t end = bandTop_ + bandRows_;
    const int32_t until = whole ? end : end / tileHeight_ * tileHeight_;
    if (until <= bandTop_) return;
    const size_t rowBytes =
        size_t(filterRect_.right - filterRect_.left) * size_t(planes_) * size_t(depth_ / 8);
    const GeglRectangle r{filterRect_.left, bandTop_, filterRect_.right - filterRect_.left,
                          until - bandTop_};
    gegl_buffer_set(shadow_, &r, 0, format_, band_.data(), gint(rowBytes));
    const size_t done = size_t(until - bandTop_) * rowBytes;
    std::memmove(band_.data(), band_.data() + done, band_.size() - done);
    band_.resize(band_.size() - done);
    bandRows_ = end - until;
    bandTop_ = until;
}

void GimpDocument::InitialiseRow(int32_t y) {
    const GeglRectangle r{filterRect_.left, y, filterRect_.right - filterRect_.left, 1};
    gegl_buffer_copy(source_, &r, GEGL_ABYSS_NONE, shadow_, &r);
}

bool GimpDocument::WriteResult(const VRect& rect, int32_t lo, int32_t count, const uint8_t* src,
                               size_t rowBytes, std::string*) {
    // The strip server writes inside the filter rectangle only.
    const bool whole = rect.left <= filterRect_.left && rect.right >= filterRect_.right &&
                       lo == 0 && count == planes_;
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
        if (!written_[size_t(y)]) {
            if (!whole) InitialiseRow(y);
            written_[size_t(y)] = 1;
        }
    }
    const int32_t bytes = depth_ / 8;
    const size_t width = size_t(rect.right - rect.left);
    const size_t fullRow = width * size_t(planes_) * size_t(bytes);
    const uint8_t* data = src;
    size_t stride = rowBytes;
    if (!(lo == 0 && count == planes_) || bytes == 2) {
        // Whole pixels in GIMP's scale: the planes not written come from what the shadow holds.
        std::vector<uint8_t> rows(fullRow * size_t(rect.bottom - rect.top));
        if (!(lo == 0 && count == planes_)) {
            FlushBand(true);
            const GeglRectangle r = Gegl(rect);
            gegl_buffer_get(shadow_, &r, 1.0, format_, rows.data(), gint(fullRow), GEGL_ABYSS_NONE);
        }
        const size_t in = size_t(count) * size_t(bytes), out = size_t(planes_) * size_t(bytes);
        for (int32_t y = 0; y < rect.bottom - rect.top; ++y) {
            const uint8_t* from = src + size_t(y) * rowBytes;
            uint8_t* to = rows.data() + size_t(y) * fullRow;
            for (size_t x = 0; x < width; ++x) {
                for (int32_t p = 0; p < count; ++p) {
                    uint8_t* sample = to + x * out + size_t(lo + p) * size_t(bytes);
                    const uint8_t* value = from + x * in + size_t(p) * size_t(bytes);
                    if (bytes == 2) {
                        uint16_t v;
                        std::memcpy(&v, value, 2);
                        v = HostToFile16(v);
                        std::memcpy(sample, &v, 2);
                    } else {
                        *sample = *value;
                    }
                }
            }
        }
        Store(rect, rows.data(), fullRow);
        return true;
    }
    Store(rect, data, stride);
    return true;
}

bool GimpDocument::ReadMask(const VRect& rect, uint8_t* dst, size_t rowBytes, std::string*) {
    // The selection covers the image; parts of the layer outside the image are not selected.
    const GeglRectangle r = Gegl(rect, offsetX_, offsetY_);
    gegl_buffer_get(selection_, &r, 1.0, maskFormat_, dst, gint(rowBytes), GEGL_ABYSS_NONE);
    return true;
}

bool GimpDocument::Finish(std::string*) {
    FlushBand(true);
    for (int32_t y = filterRect_.top; y < filterRect_.bottom; ++y) {
        if (!written_[size_t(y)]) InitialiseRow(y);
    }
    gegl_buffer_flush(shadow_);
    return true;
}
