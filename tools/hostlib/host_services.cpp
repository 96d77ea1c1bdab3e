// Title property, colour picker, displayPixels and monitor; see host_services.h.
#include "tools/hostlib/host_services.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tools/hostlib/handle_suite.h"

namespace {

ServiceSettings gSettings;
ServiceCounters gCounters;

OSErr GetProperty(OSType signature, OSType key, int32, intptr_t* simple, Handle* complex) {
    if (signature != kPhotoshopSignature || key != propTitle) return kPropertyUndefined;
    ++gCounters.titleRequests;
    if (complex == nullptr) return filterBadParameters;
    if (simple != nullptr) *simple = 0;
    *complex = NewHostHandle(gSettings.title.data(), gSettings.title.size());
    return *complex == nullptr ? memFullErr : noErr;
}

// Splits "a,b,c" into numbers; false when a field is empty or not a number.
bool ParseNumbers(const std::string& text, std::vector<double>* values) {
    values->clear();
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string field =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        char* end = nullptr;
        double v = std::strtod(field.c_str(), &end);
        if (field.empty() || end == nullptr || *end != 0) return false;
        values->push_back(v);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return true;
}

// The picker's prompt, a length-prefixed string; empty when there is none.
std::string PromptText(const unsigned char* prompt) {
    if (prompt == nullptr) return std::string();
    return std::string(reinterpret_cast<const char*>(prompt + 1), prompt[0]);
}

Fixed ToFixed(double v) {
    return Fixed(std::lround(v * 65536.0));
}

const double kSrgb[8] = {0.64, 0.33, 0.30, 0.60, 0.15, 0.06, 0.3127, 0.3290};
const double kAdobeRgb[8] = {0.64, 0.33, 0.21, 0.71, 0.15, 0.06, 0.3127, 0.3290};

}  // namespace

void SetServiceSettings(const ServiceSettings& settings) {
    gSettings = settings;
    gCounters = ServiceCounters();
}

const ServiceCounters& GetServiceCounters() {
    return gCounters;
}

PropertyProcs* HostPropertyProcs() {
    static PropertyProcs procs{1, 1, GetProperty, nullptr};
    return &procs;
}

OSErr HostColorServices(ColorServicesInfo* info) {
    if (info == nullptr || info->infoSize < int32(sizeof(ColorServicesInfo))) {
        return filterBadParameters;
    }
    switch (info->selector) {
        case plugIncolorServicesChooseColor: {
            ++gCounters.pickRequests;
            int rgb[3] = {0, 0, 0};
            if (gSettings.havePick) {
                std::copy(gSettings.pick, gSettings.pick + 3, rgb);
            } else if (gSettings.chooser) {
                // The chooser starts from the filter's colour when it gave one in RGB.
                if (info->sourceSpace == plugIncolorServicesRGBSpace) {
                    for (int c = 0; c < 3; ++c)
                        rgb[c] = std::clamp<int>(info->colorComponents[c], 0, 255);
                }
                if (!gSettings.chooser(PromptText(info->selectorParameter.pickerPrompt), rgb))
                    return userCanceledErr;
            } else {
                return userCanceledErr;
            }
            info->resultSpace = plugIncolorServicesRGBSpace;
            for (int c = 0; c < 3; ++c) info->colorComponents[c] = int16(rgb[c]);
            info->colorComponents[3] = 0;
            info->resultGamutInfoValid = 1;
            info->resultInGamut = 1;
            return noErr;
        }
        case plugIncolorServicesConvertColor:
            if (info->sourceSpace == plugIncolorServicesRGBSpace &&
                info->resultSpace == plugIncolorServicesRGBSpace) {
                return noErr;
            }
            return kColorSpaceUnsupported;
        default:
            return filterBadParameters;
    }
}

OSErr HostDisplayPixels(const PSPixelMap* source, const VRect* srcRect, int32 dstRow, int32 dstCol,
                        void* platformContext) {
    ++gCounters.displayCalls;
    auto* target = static_cast<PSDrawTarget*>(platformContext);
    if (source == nullptr || srcRect == nullptr || target == nullptr || target->rgb == nullptr ||
        source->baseAddr == nullptr || source->version < 1) {
        return filterBadParameters;
    }
    int32 channels = source->imageMode == plugInModeRGBColor    ? 3
                     : source->imageMode == plugInModeGrayScale ? 1
                                                                : 0;
    if (channels == 0 || target->width < 0 || target->height < 0 ||
        int64_t(target->rowBytes) < int64_t(target->width) * 3) {
        return filterBadParameters;
    }
    const VRect& b = source->bounds;
    // Source rows and columns inside both the map's bounds and the target.
    int64_t top = std::max<int64_t>(srcRect->top, b.top);
    int64_t bottom = std::min<int64_t>(srcRect->bottom, b.bottom);
    int64_t left = std::max<int64_t>(srcRect->left, b.left);
    int64_t right = std::min<int64_t>(srcRect->right, b.right);
    int64_t dy = int64_t(dstRow) - target->originV - srcRect->top;  // target y = row + dy
    int64_t dx = int64_t(dstCol) - target->originH - srcRect->left;
    top = std::max(top, -dy);
    bottom = std::min(bottom, target->height - dy);
    left = std::max(left, -dx);
    right = std::min(right, target->width - dx);
    const auto* base = static_cast<const uint8_t*>(source->baseAddr);
    bool masked = false;
    for (const PSPixelMask* m = source->masks; m != nullptr; m = m->next)
        masked = masked || m->maskData != nullptr;
    for (int64_t row = top; row < bottom; ++row) {
        uint8_t* out = target->rgb + (row + dy) * target->rowBytes;
        const uint8_t* in = base + (row - b.top) * source->rowBytes;
        if (!masked && channels == 3 && source->colBytes == 3 && source->planeBytes == 1) {
            // The module's usual map: RGB bytes in a row, as the target holds them.
            if (right > left)
                std::memcpy(out + (left + dx) * 3, in + (left - b.left) * 3,
                            size_t(right - left) * 3);
            continue;
        }
        for (int64_t col = left; col < right; ++col) {
            const uint8_t* p = in + (col - b.left) * source->colBytes;
            uint8_t* q = out + (col + dx) * 3;
            if (!masked) {
                for (int c = 0; c < 3; ++c) q[c] = p[(channels == 3 ? c : 0) * source->planeBytes];
                continue;
            }
            uint32_t alpha = 255;
            for (const PSPixelMask* m = source->masks; m != nullptr && alpha > 0; m = m->next) {
                if (m->maskData == nullptr) continue;
                const auto* mp = static_cast<const uint8_t*>(m->maskData);
                alpha =
                    (alpha * mp[(row - b.top) * m->rowBytes + (col - b.left) * m->colBytes] + 127) /
                    255;
            }
            const int64_t x = col + dx, y = row + dy;
            const uint32_t checker = ((x / 8 + y / 8) % 2 == 0) ? 255 : 204;
            for (int c = 0; c < 3; ++c) {
                const uint32_t v = p[(channels == 3 ? c : 0) * source->planeBytes];
                q[c] = uint8_t((alpha * v + (255 - alpha) * checker + 127) / 255);
            }
        }
    }
    return noErr;
}

PlugInMonitor MonitorOf(double gamma, const double xy[8]) {
    PlugInMonitor m{};
    m.gamma = ToFixed(gamma);
    m.redX = ToFixed(xy[0]);
    m.redY = ToFixed(xy[1]);
    m.greenX = ToFixed(xy[2]);
    m.greenY = ToFixed(xy[3]);
    m.blueX = ToFixed(xy[4]);
    m.blueY = ToFixed(xy[5]);
    m.whiteX = ToFixed(xy[6]);
    m.whiteY = ToFixed(xy[7]);
    return m;
}

PlugInMonitor DefaultMonitor() {
    return MonitorOf(2.2, kSrgb);
}

bool ParseMonitor(const std::string& text, PlugInMonitor* monitor, std::string* error) {
    if (text == "srgb") {
        *monitor = MonitorOf(2.2, kSrgb);
        return true;
    }
    if (text == "adobergb") {
        *monitor = MonitorOf(563.0 / 256.0, kAdobeRgb);
        return true;
    }
    std::vector<double> v;
    if (!ParseNumbers(text, &v) || v.size() != 9) {
        *error = "--monitor takes srgb, adobergb or gamma,rx,ry,gx,gy,bx,by,wx,wy";
        return false;
    }
    if (!(0.1 <= v[0] && v[0] <= 10.0)) {
        *error = "--monitor: gamma must lie between 0.1 and 10";
        return false;
    }
    for (size_t i = 1; i < 9; ++i) {
        if (!(0.0 <= v[i] && v[i] <= 1.0)) {
            *error = "--monitor: chromaticities must lie between 0 and 1";
            return false;
        }
    }
    *monitor = MonitorOf(v[0], v.data() + 1);
    return true;
}

bool ParsePick(const std::string& text, int rgb[3], std::string* error) {
    std::vector<double> v;
    if (!ParseNumbers(text, &v) || v.size() != 3) {
        *error = "--pick takes R,G,B";
        return false;
    }
    for (int c = 0; c < 3; ++c) {
        if (!(0.0 <= v[c] && v[c] <= 255.0) || v[c] != std::floor(v[c])) {
            *error = "--pick: each value must be a whole number 0..255";
            return false;
        }
        rgb[c] = int(v[c]);
    }
    return true;
}
