// The image record shared by the preview, the image analysis and the host services.
//
// An IPImage describes pixels that live somewhere else: the host's input strip or mask, the
// host's output buffer, or a block of our own. Samples are 8-bit or 16-bit; each channel has its
// own pointer to its first sample, and a pixel step and a row step (both counted in samples, not
// bytes) lead from there to any pixel, so interleaved and planar layouts are described alike.
// Sample (x, y) of channel c is at channel[c] + y * rowStep + x * pixelStep.
//
// A view does not own its pixels and leaves `pixels` null. An image that holds a block of its
// own (a copy of the preview, say) keeps it in `pixels`; its owner frees it with Mem_Free.
#pragma once

#include <cstddef>
#include <cstdint>

enum : int32_t {
    kIPKindColour = 1,  // a colour image
    kIPKindMask = 5,    // a single-channel mask
};

struct IPImage {
    int32_t kind;            // kIPKindColour or kIPKindMask
    int32_t channels;        // 1 to 4
    int32_t bytesPerSample;  // 1 or 2
    int32_t width;           // pixels
    int32_t height;          // pixels
    float resolution;        // pixels per inch
    int32_t pixelStep;       // samples from one pixel to the next in a row
    int32_t rowStep;         // samples from one row to the next
    void* channel[4];        // first sample of each channel; null where there is no channel
    void* pixels;            // the block the image owns, or null for a view
};

// The offset, in samples, of pixel (x, y) from a channel pointer.
inline ptrdiff_t IPSampleOffset(const IPImage* image, int32_t x, int32_t y) {
    return ptrdiff_t(y) * image->rowStep + ptrdiff_t(x) * image->pixelStep;
}

// 1 when the record can be read: 1 to 4 channels each with a pointer, 1 or 2 bytes per sample,
// non-negative sizes and positive steps.
inline int32_t IPImageValid(const IPImage* image) {
    if (image == nullptr) return 0;
    if (!(1 <= image->channels && image->channels <= 4)) return 0;
    if (image->bytesPerSample != 1 && image->bytesPerSample != 2) return 0;
    if (image->width < 0 || image->height < 0 || image->pixelStep < 1 || image->rowStep < 1)
        return 0;
    for (int32_t c = 0; c < image->channels; ++c) {
        if (image->channel[c] == nullptr) return 0;
    }
    return 1;
}

// A view of interleaved 8-bit RGB pixels, red first, 3 * width samples a row, at 72 pixels per
// inch: the layout of a picture a test or a tool holds in one block.
inline IPImage IPRgb8View(uint8_t* rgb, int32_t width, int32_t height) {
    IPImage view{};
    view.kind = kIPKindColour;
    view.channels = 3;
    view.bytesPerSample = 1;
    view.width = width;
    view.height = height;
    view.resolution = 72.0f;
    view.pixelStep = 3;
    view.rowStep = 3 * width;
    for (int c = 0; c < 3; ++c) view.channel[c] = rgb + c;
    return view;
}
