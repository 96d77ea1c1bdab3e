#include "tests/host/strip_host.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "host/plugin.h"
#include "platform/alert.h"

namespace strip_host {

namespace {

constexpr int32_t kSlack = 6;  // bytes after each row: even, so 16-bit rows stay aligned
constexpr uint8_t kSlackMark = 0xA5;

StripHost* gCurrent = nullptr;

bool Empty(const VRect& r) {
    return r.bottom <= r.top || r.right <= r.left;
}
VRect Widen(const Rect& r) {
    return VRect{r.top, r.left, r.bottom, r.right};
}

int32_t CaptureAlert(UiState*, const Ui_AlertRecord* alert, int16_t* item) {
    if (gCurrent != nullptr) {
        std::string text = alert->text != nullptr ? alert->text : "";
        if (alert->detail != nullptr) text += std::string(" | ") + alert->detail;
        if (alert->buttonCount == 2) {
            auto label = [](const char* l) { return std::string(l != nullptr ? l : "-"); };
            text += " [" + label(alert->firstLabel) + "|" + label(alert->secondLabel) + "]";
        }
        gCurrent->alerts.push_back(text);
    }
    *item = gCurrent != nullptr ? gCurrent->alertAnswer : 1;
    return gCurrent != nullptr ? gCurrent->alertStatus : 0;
}

}  // namespace

void PrimeModule() {
    static bool primed = false;
    if (primed) return;
    primed = true;
    testing_support::SetEnvironment("DISPLAY", nullptr);
    FilterRecord none{};
    intptr_t slot = 0;
    int16 result = 0;
    PluginMain(99, &none, &slot, &result);
}

Image RandomImage(int32_t w, int32_t h, int32_t planes, int32_t depth, uint32_t seed) {
    Image image(w, h, planes, depth);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int32_t> code(0, image.MaxCode());
    for (uint16_t& s : image.samples) s = uint16_t(code(random));
    for (int32_t p = 0; p < planes; ++p) {
        image.At(0, 0, p) = 0;
        image.At(w - 1, h - 1, p) = uint16_t(image.MaxCode());
    }
    return image;
}

StripHost::StripHost(const Image& image) : record(host.record), source(image), dest(image) {
    PrimeModule();
    dispose_ = host.handleProcs.disposeProc;
    record.advanceState = AdvanceState;
    record.abortProc = Abort;
    record.progressProc = Progress;
    record.displayPixels = Display;
    record.samplingSupport = hostSupportsIntegralSampling;
    record.supportsPadding = 1;
    record.planes = int16(image.planes);
    record.depth = image.depth;
    record.imageMode = image.depth == 16 ? plugInModeRGB48 : plugInModeRGBColor;
    record.imageSize = Point{int16(image.height), int16(image.width)};
    record.maxSpace = 64 << 20;
    // Left over from an earlier preview: the filter must set what it needs itself.
    record.inputRate = record.maskRate = 2 << 16;
    record.inLoPlane = record.inHiPlane = record.outLoPlane = record.outHiPlane = 0;
    host.bigDocument.imageSize32 = VPoint{image.height, image.width};
    SetFilterRect(VRect{0, 0, image.height, image.width});
}

StripHost::~StripHost() {
    // Blocks the module gave back already are gone.
    for (Handle h : seen_) {
        if (test_host::TestHost::IsLive(h)) dispose_(h);
    }
    if (gCurrent == this) gCurrent = nullptr;
}

void StripHost::SetFilterRect(const VRect& r) {
    record.filterRect = Rect{int16(r.top), int16(r.left), int16(r.bottom), int16(r.right)};
    host.bigDocument.filterRect32 = r;
}

void StripHost::PlayWithoutDialog() {
    // An item of no interest to the module stands for whatever else an action may carry.
    host.SetDescriptor({{PIFourCC('n', 'o', 't', 'e'), "replayed"}});
    host.descriptorParameters.playInfo = plugInDialogDontDisplay;
}

int16 StripHost::Call(int16 selector) {
    gCurrent = this;
    Ui_Alert_SetPresenter(CaptureAlert);
    int16 status = 0;
    ++calls;
    PluginMain(selector, &record, &dataSlot, &status);
    for (Handle h : {record.parameters, DataHandle()}) {
        if (h == nullptr) continue;
        if (std::find(seen_.begin(), seen_.end(), h) == seen_.end()) seen_.push_back(h);
        if (h->locks > 0) violations.push_back("a block was left locked after a call");
    }
    return status;
}

void StripHost::Bind() {
    gCurrent = this;
    call.gFilterRecord = &record;
    call.gResult = &result;
    Ui_Alert_SetPresenter(CaptureAlert);
}

int16 StripHost::Start() {
    int16 status = Call(filterSelectorStart);
    WriteBack();
    for (int guard = 0; status == noErr && guard < 100000; ++guard) {
        bool wanted =
            !Empty(InRect()) || !Empty(OutRect()) || (record.haveMask && !Empty(MaskRect()));
        if (!wanted) break;
        OSErr delivered = Deliver();
        if (delivered != noErr) return delivered;
        status = Call(filterSelectorContinue);
        WriteBack();
    }
    // Between strips rows may hold anything (the module assembles each row in the strip's last
    // row); a finished run keeps to the host's scale.
    if (status == noErr && std::any_of(dest.samples.begin(), dest.samples.end(),
                                       [&](uint16_t v) { return v > dest.MaxCode(); })) {
        violations.push_back("output sample above the host's scale");
    }
    inBuffer_.clear();
    outBuffer_.clear();
    maskBuffer_.clear();
    record.inData = record.outData = record.maskData = nullptr;
    return status;
}

int16 StripHost::Run(bool withParameters) {
    int16 status = noErr;
    if (withParameters) status = Call(filterSelectorParameters);
    if (status == noErr) status = Call(filterSelectorPrepare);
    if (status == noErr) status = Start();
    if (status == noErr) status = Call(filterSelectorFinish);
    return status;
}

bool StripHost::Uses32() const {
    return record.bigDocumentData != nullptr &&
           record.bigDocumentData->PluginUsing32BitCoordinates != 0;
}
VRect StripHost::InRect() const {
    return Uses32() ? host.bigDocument.inRect32 : Widen(record.inRect);
}
VRect StripHost::OutRect() const {
    return Uses32() ? host.bigDocument.outRect32 : Widen(record.outRect);
}
VRect StripHost::MaskRect() const {
    return Uses32() ? host.bigDocument.maskRect32 : Widen(record.maskRect);
}

OSErr StripHost::AdvanceState() {
    return gCurrent != nullptr ? gCurrent->Advance() : OSErr(-1);
}

Boolean StripHost::Abort() {
    if (gCurrent == nullptr) return 0;
    ++gCurrent->abortCalls;
    return gCurrent->abortFrom != 0 && gCurrent->abortCalls >= gCurrent->abortFrom ? 1 : 0;
}

void StripHost::Progress(int32 done, int32 total) {
    if (gCurrent == nullptr) return;
    ++gCurrent->progressCalls;
    if (!(0 <= done && done < total)) gCurrent->violations.push_back("progress outside 0..total");
    gCurrent->lastProgressDone = done;
    gCurrent->lastProgressTotal = total;
}

OSErr StripHost::Display(const PSPixelMap* map, const VRect* src, int32 row, int32 col,
                         void* context) {
    if (gCurrent == nullptr) return noErr;
    ++gCurrent->displayCalls;
    if (map == nullptr || src == nullptr || map->baseAddr == nullptr) return filterBadParameters;
    Displayed& d = gCurrent->displayed;
    d = Displayed{};
    d.width = src->right - src->left;
    d.height = src->bottom - src->top;
    d.row = row;
    d.col = col;
    const int32_t channels = map->imageMode == plugInModeRGBColor ? 3 : 1;
    const auto* base = static_cast<const uint8_t*>(map->baseAddr);
    const PSPixelMask* mask = map->masks;
    auto* target = static_cast<PSDrawTarget*>(context);
    for (int32_t y = src->top; y < src->bottom; ++y) {
        for (int32_t x = src->left; x < src->right; ++x) {
            const uint8_t* p = base + ptrdiff_t(y - map->bounds.top) * map->rowBytes +
                               ptrdiff_t(x - map->bounds.left) * map->colBytes;
            uint8_t rgb[3];
            for (int32_t c = 0; c < 3; ++c) rgb[c] = p[(channels == 3 ? c : 0) * map->planeBytes];
            d.rgb.insert(d.rgb.end(), rgb, rgb + 3);
            if (mask != nullptr && mask->maskData != nullptr) {
                d.alpha.push_back(static_cast<const uint8_t*>(
                    mask->maskData)[ptrdiff_t(y - map->bounds.top) * mask->rowBytes +
                                    ptrdiff_t(x - map->bounds.left) * mask->colBytes]);
            }
            if (target == nullptr || target->rgb == nullptr) continue;
            const int32_t ty = row - target->originV + (y - src->top);
            const int32_t tx = col - target->originH + (x - src->left);
            if (0 <= ty && ty < target->height && 0 <= tx && tx < target->width)
                std::memcpy(target->rgb + ptrdiff_t(ty) * target->rowBytes + 3 * tx, rgb, 3);
        }
    }
    return noErr;
}

OSErr StripHost::Advance() {
    const int32_t number = int32_t(requests.size()) + 1;
    if (failAdvanceAt != 0 && number >= failAdvanceAt &&
        (failAdvanceCount == 0 || number < failAdvanceAt + failAdvanceCount)) {
        requests.push_back(Request{InRect(), OutRect(), MaskRect(), Uses32()});
        return failAdvanceWith;
    }
    WriteBack();
    return Deliver();
}

// Writes the output buffer handed out last into the destination, and checks that the module
// kept to the rows and the sample scale it was given.
void StripHost::WriteBack() {
    const VRect& r = out_.rect;
    const int32_t bytes = dest.depth == 16 ? 2 : 1;
    const int32_t n = out_.hi - out_.lo + 1;
    if (!Empty(r) && !outBuffer_.empty()) {
        for (int32_t y = r.top; y < r.bottom; ++y) {
            const uint8_t* row = outBuffer_.data() + size_t(y - r.top) * size_t(out_.rowBytes);
            for (int32_t x = r.left; x < r.right; ++x) {
                for (int32_t p = out_.lo; p <= out_.hi; ++p) {
                    const uint8_t* at =
                        row +
                        (size_t(x - r.left) * size_t(n) + size_t(p - out_.lo)) * size_t(bytes);
                    uint16_t v = *at;
                    if (bytes == 2) std::memcpy(&v, at, 2);
                    dest.At(x, y, p) = v;
                }
            }
            const uint8_t* slack = row + size_t(r.right - r.left) * size_t(n) * size_t(bytes);
            for (int32_t i = 0; i < kSlack; ++i) {
                if (slack[i] != kSlackMark) violations.push_back("written past an output row");
            }
        }
    }
    out_ = Delivered{};
}

void StripHost::FillPlanes(std::vector<uint8_t>& buffer, const Image& from, const VRect& r,
                           int32_t lo, int32_t hi, int32_t rowBytes, int16 padding, int32_t rate) {
    const int32_t bytes = from.depth == 16 ? 2 : 1;
    const int32_t n = hi - lo + 1;
    std::vector<uint8_t> fresh(size_t(r.bottom - r.top) * size_t(rowBytes), kSlackMark);
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint8_t* row = fresh.data() + size_t(y - r.top) * size_t(rowBytes);
        for (int32_t x = r.left; x < r.right; ++x) {
            // At a sampling rate r, pixel (x, y) of the rectangle is the image's (r x, r y).
            const int32_t sx = x * rate, sy = y * rate;
            const bool inside = 0 <= sx && sx < from.width && 0 <= sy && sy < from.height;
            for (int32_t p = lo; p <= hi; ++p) {
                uint16_t v = 0;
                if (inside) {
                    v = from.At(sx, sy, p);
                } else if (padding == plugInWantsEdgeReplication) {
                    v = from.At(std::clamp(sx, 0, from.width - 1),
                                std::clamp(sy, 0, from.height - 1), p);
                } else if (0 <= padding && padding <= 255) {
                    v = uint16_t(bytes == 2 ? (padding * 32768 + 127) / 255 : padding);
                }
                uint8_t* at =
                    row + (size_t(x - r.left) * size_t(n) + size_t(p - lo)) * size_t(bytes);
                if (bytes == 2) std::memcpy(at, &v, 2);
                if (bytes == 1) *at = uint8_t(v);
            }
        }
    }
    // A new block every time: a module that keeps using an old strip's pointers reads freed
    // memory, which the sanitizers report.
    buffer.swap(fresh);
}

OSErr StripHost::Deliver() {
    const VRect in = InRect(), out = OutRect(), maskRect = MaskRect();
    requests.push_back(Request{in, out, maskRect, Uses32()});
    const int32_t bytes = source.depth == 16 ? 2 : 1;
    const int32_t planes = source.planes;
    if (!(0 <= record.inLoPlane && record.inLoPlane <= record.inHiPlane &&
          record.inHiPlane < planes) ||
        !(0 <= record.outLoPlane && record.outLoPlane <= record.outHiPlane &&
          record.outHiPlane < planes)) {
        violations.push_back("plane range outside the image's planes");
        return filterBadParameters;
    }
    // Whole rates only; the filtering itself (an output rectangle) must read at full size.
    const int32_t inRate = (record.inputRate & 0xFFFF) == 0 ? record.inputRate >> 16 : 0;
    const int32_t maskRate = (record.maskRate & 0xFFFF) == 0 ? record.maskRate >> 16 : 0;
    if (inRate < 1 || (record.haveMask && maskRate < 1)) {
        violations.push_back("a sampling rate that is not a whole number");
        return filterBadParameters;
    }
    // The preview asks for its display buffer beside a sampled input; filtering asks for the
    // same rectangle in and out, which must then be read at full size.
    const bool filtering = !Empty(out) && out.top == in.top && out.left == in.left &&
                           out.bottom == in.bottom && out.right == in.right;
    if (filtering && (inRate != 1 || (record.haveMask && maskRate != 1))) {
        violations.push_back("a sampling rate other than 1 while filtering");
    }
    const int32_t sampledHeight = (source.height + inRate - 1) / inRate;
    const int32_t sampledWidth = (source.width + inRate - 1) / inRate;
    const bool outside =
        in.top < 0 || in.left < 0 || in.bottom > sampledHeight || in.right > sampledWidth;
    if (!Empty(in) && outside && record.inputPadding == plugInWantsErrorOnBoundsException) {
        return filterBadParameters;
    }

    record.inData = record.outData = record.maskData = nullptr;
    record.inRowBytes = record.outRowBytes = record.maskRowBytes = 0;
    if (!Empty(in)) {
        const int32_t n = record.inHiPlane - record.inLoPlane + 1;
        const int32_t rowBytes = (in.right - in.left) * n * bytes + kSlack;
        FillPlanes(inBuffer_, source, in, record.inLoPlane, record.inHiPlane, rowBytes,
                   record.inputPadding, inRate);
        record.inData = inBuffer_.data();
        record.inRowBytes = rowBytes;
    }

    if (!Empty(out)) {
        if (out.top < 0 || out.left < 0 || out.bottom > dest.height || out.right > dest.width) {
            violations.push_back("output rectangle outside the image");
            return filterBadParameters;
        }
        // What the host writes back from an output buffer lands in the document: a filter that
        // asks for one outside its filter rectangle would change pixels it must leave alone.
        const VRect f = Uses32() ? host.bigDocument.filterRect32 : Widen(record.filterRect);
        if (out.top < f.top || out.left < f.left || out.bottom > f.bottom || out.right > f.right)
            violations.push_back("output rectangle outside the filter rectangle");
        const int32_t n = record.outHiPlane - record.outLoPlane + 1;
        const int32_t rowBytes = (out.right - out.left) * n * bytes + kSlack;
        FillPlanes(outBuffer_, dest, out, record.outLoPlane, record.outHiPlane, rowBytes, 0, 1);
        record.outData = outBuffer_.data();
        record.outRowBytes = rowBytes;
        out_ = Delivered{out, record.outLoPlane, record.outHiPlane, rowBytes};
    }

    if (record.haveMask && !Empty(maskRect)) {
        const int32_t rowBytes = (maskRect.right - maskRect.left) + kSlack;
        FillPlanes(maskBuffer_, mask, maskRect, 0, 0, rowBytes, record.maskPadding, maskRate);
        record.maskData = maskBuffer_.data();
        record.maskRowBytes = rowBytes;
    }
    const int64_t served = int64_t(inBuffer_.size()) * !Empty(in) +
                           int64_t(outBuffer_.size()) * !Empty(out) +
                           int64_t(maskBuffer_.size()) * (record.haveMask && !Empty(maskRect));
    largestRequest = std::max(largestRequest, served);
    return noErr;
}

void ModuleTest::SetUp() {
    PlatformTest::SetUp();
    PrimeModule();
    std::filesystem::create_directories(PrefFolder());
}

void ModuleTest::TearDown() {
    SetModuleDiagnostics(0);
    PlatformTest::TearDown();
}

bool ModuleTest::LogHas(const std::string& text) const {
    for (const std::string& line : LogLines()) {
        if (line.find(text) != std::string::npos) return true;
    }
    return false;
}

Preview ModuleTest::Measured() const {
    Preview p;
    for (const std::string& line : LogLines()) {
        int l0, t0, r0, b0, l1, t1, r1, b1;
        if (std::sscanf(line.c_str(), "GetMinMaxPrev -> min: %d,%d %d,%d  max: %d,%d %d,%d", &l0,
                        &t0, &r0, &b0, &l1, &t1, &r1, &b1) == 8) {
            p = Preview{r0 - l0, b0 - t0, r1 - l1, b1 - t1, r1, b1};
        }
    }
    return p;
}

}  // namespace strip_host
