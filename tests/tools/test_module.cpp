// A small filter module for filterhost's tests. It speaks the host protocol as the real module
// does (handles kept between calls, strips pulled with advanceState in Start, output rows written
// late into whichever strip is current, the selection mask blended in on write, the settings
// recorded as a text item at Finish) and checks that every 16-bit sample lies in 0..32768 and
// that rows shared by two strips come back exactly as written. A failed check ends the run with
// filterBadParameters and one line on stderr starting "test module:".
//
// FHTEST holds "key=value,..." settings:
//   op=identity|invert   what is done to the colour channels (a replayed descriptor supplies it
//                        when FHTEST does not)
//   rows=N, delay=N      rows per strip (default 4); output rows lag input rows by N, so strips
//                        start 2N rows early
//   preview=R            with the window: fetch the filter rectangle at rate R and write it, the
//                        mask, the title, the picker's answer and a displayPixels result to dump
//   dump=PATH            where the dump goes
//   wait_abort=PATH      after the first strip create PATH and poll abortProc (up to 20 s)
//   cancel_after=N       cancel after N strips
//   rect16=1             use the 16-bit rectangle fields
//   leak=1               take a handle in Start and never dispose of it
//   scribble=1           overwrite each input strip before asking for the next (a filter may
//                        use its input as scratch; the host must serve the source again)
// FHTEST_LOG holds lines separated by "|" that Start appends to the debug log in the preferences
// folder, as the real module reports its memory there.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "hostsdk/filter_record.h"

struct ResArchive;
const ResArchive* Res_ModuleArchive();

namespace {

constexpr uint32 kSignature = PIFourCC('T', 'F', 'L', 'T');
constexpr DescriptorKeyID kKeyData = PIFourCC('D', 't', ' ', ' ');

struct Params {
    uint32 signature;
    char op[16];
};
struct Data {
    uint32 signature;
    uint8 showDialog;
};

struct Settings {
    std::string op;
    int rows = 4, delay = 0, preview = 0, cancelAfter = -1;
    bool rect16 = false, leak = false, scribble = false;
    std::string dump, waitAbort;
};

Settings ReadSettings() {
    Settings s;
    const char* env = std::getenv("FHTEST");
    std::string text = env != nullptr ? env : "";
    size_t start = 0;
    while (start < text.size()) {
        size_t comma = text.find(',', start);
        std::string field = text.substr(start, comma == std::string::npos ? comma : comma - start);
        size_t eq = field.find('=');
        std::string key = field.substr(0, eq),
                    value = eq == std::string::npos ? "" : field.substr(eq + 1);
        const int number = std::atoi(value.c_str());
        if (key == "op") s.op = value;
        if (key == "rows") s.rows = number;
        if (key == "delay") s.delay = number;
        if (key == "preview") s.preview = number;
        if (key == "cancel_after") s.cancelAfter = number;
        if (key == "rect16") s.rect16 = value == "1";
        if (key == "leak") s.leak = value == "1";
        if (key == "scribble") s.scribble = value == "1";
        if (key == "dump") s.dump = value;
        if (key == "wait_abort") s.waitAbort = value;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return s;
}

class Filter {
   public:
    Filter(FilterRecord* record, intptr_t* data, int16* result)
        : r_(record), data_(data), result_(result), s_(ReadSettings()) {
        if (r_->bigDocumentData != nullptr) {
            r_->bigDocumentData->PluginUsing32BitCoordinates = s_.rect16 ? 0 : 1;
        }
    }

    void Parameters() {
        if (r_->parameters == nullptr) r_->parameters = r_->handleProcs->newProc(sizeof(Params));
        if (*data_ == 0)
            *data_ = reinterpret_cast<intptr_t>(r_->handleProcs->newProc(sizeof(Data)));
        if (r_->parameters == nullptr || *data_ == 0) return Fail(memFullErr, "newProc failed");
        auto* p = Lock<Params>(r_->parameters);
        auto* d = Lock<Data>(DataHandle());
        p->signature = d->signature = kSignature;
        std::snprintf(p->op, sizeof p->op, "identity");
        d->showDialog = 1;
        Unlock();
    }

    void Prepare() {
        if (r_->parameters == nullptr || *data_ == 0) Parameters();
        r_->bufferSpace = 4096;
    }

    void Start() {
        if (!(r_->imageMode == plugInModeRGBColor || r_->imageMode == plugInModeRGB48)) {
            *result_ = filterBadMode;
            return;
        }
        if (r_->planes < 3) return Fail(userCanceledErr, "fewer than three planes");
        auto* p = Lock<Params>(r_->parameters);
        auto* d = Lock<Data>(DataHandle());
        if (p == nullptr || d == nullptr || p->signature != kSignature ||
            d->signature != kSignature) {
            Unlock();
            return Fail(filterBadParameters, "the host did not keep the handles");
        }
        ReadDescriptor(p, d);
        if (!s_.op.empty()) std::snprintf(p->op, sizeof p->op, "%s", s_.op.c_str());
        op_ = p->op;
        bool window = d->showDialog != 0;
        Unlock();
        if (s_.leak) r_->handleProcs->newProc(16);
        AppendToDebugLog();
        if (window && s_.preview > 0 && !Preview()) return;
        FilterImage();
    }

    void Finish() {
        PIDescriptorParameters* dp = r_->descriptorParameters;
        if (dp == nullptr || dp->writeDescriptorProcs == nullptr) return;
        auto* p = Lock<Params>(r_->parameters);
        std::string text = std::string("op=") + (p != nullptr ? p->op : "?");
        Unlock();
        PIWriteDescriptor writer = dp->writeDescriptorProcs->openWriteDescriptorProc();
        Handle h = r_->handleProcs->newProc(int32(text.size()));
        std::memcpy(r_->handleProcs->lockProc(h, 0), text.data(), text.size());
        r_->handleProcs->unlockProc(h);
        dp->writeDescriptorProcs->putTextProc(writer, kKeyData, h);
        r_->handleProcs->disposeProc(h);
        if (dp->descriptor != nullptr) r_->handleProcs->disposeProc(dp->descriptor);
        dp->descriptor = nullptr;
        dp->writeDescriptorProcs->closeWriteDescriptorProc(writer, &dp->descriptor);
        dp->recordInfo = plugInDialogOptional;
    }

    void Continue() { AskForNothing(); }

   private:
    enum class RectField { kFilter, kIn, kOut, kMask };

    void Fail(int16 code, const std::string& why) {
        std::fprintf(stderr, "test module: %s\n", why.c_str());
        *result_ = code;
    }

    Handle DataHandle() const { return reinterpret_cast<Handle>(*data_); }

    template <typename T>
    T* Lock(Handle h) {
        if (h == nullptr) return nullptr;
        locked_.push_back(h);
        return reinterpret_cast<T*>(r_->handleProcs->lockProc(h, 1));
    }
    void Unlock() {
        for (Handle h : locked_) r_->handleProcs->unlockProc(h);
        locked_.clear();
    }

    VRect GetRect(RectField f) const {
        if (!s_.rect16 && r_->bigDocumentData != nullptr) {
            const BigDocumentStruct* b = r_->bigDocumentData;
            const VRect* v[] = {&b->filterRect32, &b->inRect32, &b->outRect32, &b->maskRect32};
            return *v[int(f)];
        }
        const Rect* x[] = {&r_->filterRect, &r_->inRect, &r_->outRect, &r_->maskRect};
        return VRect{x[int(f)]->top, x[int(f)]->left, x[int(f)]->bottom, x[int(f)]->right};
    }
    void SetRect(RectField f, VRect v) {
        if (!s_.rect16 && r_->bigDocumentData != nullptr) {
            BigDocumentStruct* b = r_->bigDocumentData;
            VRect* to[] = {nullptr, &b->inRect32, &b->outRect32, &b->maskRect32};
            *to[int(f)] = v;
            return;
        }
        Rect* to[] = {nullptr, &r_->inRect, &r_->outRect, &r_->maskRect};
        *to[int(f)] = Rect{int16(v.top), int16(v.left), int16(v.bottom), int16(v.right)};
    }
    void AskForNothing() {
        for (RectField f : {RectField::kIn, RectField::kOut, RectField::kMask}) {
            SetRect(f, VRect{0, 0, 0, 0});
        }
    }

    bool Advance() {
        OSErr e = r_->advanceState();
        if (e == noErr) return true;
        *result_ = e == userCanceledErr ? userCanceledErr : filterBadParameters;
        return false;
    }

    void ReadDescriptor(Params* p, Data* d) {
        PIDescriptorParameters* dp = r_->descriptorParameters;
        if (dp == nullptr || dp->readDescriptorProcs == nullptr || dp->descriptor == nullptr)
            return;
        DescriptorKeyID keys[] = {kKeyData, 0};
        PIReadDescriptor reader =
            dp->readDescriptorProcs->openReadDescriptorProc(dp->descriptor, keys);
        if (reader != nullptr) {
            DescriptorKeyID key;
            DescriptorTypeID type;
            int32 flags;
            while (dp->readDescriptorProcs->getKeyProc(reader, &key, &type, &flags)) {
                Handle text = nullptr;
                if (key != kKeyData || dp->readDescriptorProcs->getTextProc(reader, &text) != noErr)
                    continue;
                int32 n = r_->handleProcs->getSizeProc(text);
                std::string value(r_->handleProcs->lockProc(text, 0), size_t(n));
                r_->handleProcs->unlockProc(text);
                r_->handleProcs->disposeProc(text);
                if (value.rfind("op=", 0) == 0)
                    std::snprintf(p->op, sizeof p->op, "%s", value.c_str() + 3);
            }
            dp->readDescriptorProcs->closeReadDescriptorProc(reader);
        }
        r_->handleProcs->disposeProc(dp->descriptor);
        dp->descriptor = nullptr;
        d->showDialog = dp->playInfo == plugInDialogDisplay ? 1 : 0;
    }

    int32 Bytes() const { return r_->depth == 16 ? 2 : 1; }
    uint32 Sample(const void* base, int32 rowBytes, int64_t row, int64_t index) const {
        const auto* p = static_cast<const uint8*>(base) + row * rowBytes;
        if (Bytes() == 1) return p[index];
        uint16 v;
        std::memcpy(&v, p + 2 * index, 2);
        return v;
    }
    void Put(void* base, int32 rowBytes, int64_t row, int64_t index, uint32 v) const {
        auto* p = static_cast<uint8*>(base) + row * rowBytes;
        if (Bytes() == 1) {
            p[index] = uint8(v);
        } else {
            uint16 w = uint16(v);
            std::memcpy(p + 2 * index, &w, 2);
        }
    }

    // The window's preview: the filter rectangle at rate R, the mask with it, and the services.
    bool Preview() {
        const int32 rate = s_.preview;
        const VRect f = GetRect(RectField::kFilter);
        auto up = [rate](int32 v) { return v >= 0 ? (v + rate - 1) / rate : v / rate; };
        VRect reduced{f.top / rate, f.left / rate, up(f.bottom), up(f.right)};
        r_->inLoPlane = r_->outLoPlane = 0;
        r_->inHiPlane = r_->outHiPlane = int16(r_->planes - 1);
        r_->inputRate = r_->maskRate = rate << 16;
        r_->inputPadding = r_->outputPadding = r_->maskPadding = 255;
        SetRect(RectField::kIn, reduced);
        SetRect(RectField::kOut, reduced);
        if (r_->haveMask) SetRect(RectField::kMask, reduced);
        if (!Advance()) return false;
        std::ofstream dump(s_.dump);
        int64_t h = int64_t(reduced.bottom) - reduced.top,
                w = int64_t(reduced.right) - reduced.left;
        dump << "preview " << h << " " << w << " " << r_->planes << " " << Bytes() << "\n";
        for (int64_t y = 0; y < h; ++y) {
            for (int64_t i = 0; i < w * r_->planes; ++i)
                dump << Sample(r_->inData, r_->inRowBytes, y, i) << " ";
        }
        dump << "\n";
        if (r_->haveMask && r_->maskData != nullptr) {
            dump << "mask " << h << " " << w << "\n";
            for (int64_t y = 0; y < h; ++y) {
                for (int64_t x = 0; x < w; ++x) {
                    dump << unsigned(
                                static_cast<const uint8*>(r_->maskData)[y * r_->maskRowBytes + x])
                         << " ";
                }
            }
            dump << "\n";
        }
        // Scribble over the output buffer, as the real module uses it for display; the host must
        // not let this reach pixels outside the filter rectangle.
        for (int64_t y = 0; y < h; ++y)
            std::memset(static_cast<uint8*>(r_->outData) + y * r_->outRowBytes, 0x5A,
                        size_t(r_->outRowBytes));

        Handle title = nullptr;
        intptr_t simple = 0;
        OSErr e = r_->propertyProcs->getPropertyProc(
            PIFourCC('8', 'B', 'I', 'M'), PIFourCC('t', 'i', 't', 'l'), 0, &simple, &title);
        std::string text;
        if (e == noErr && title != nullptr) {
            text.assign(r_->handleProcs->lockProc(title, 0),
                        size_t(r_->handleProcs->getSizeProc(title)));
            r_->handleProcs->unlockProc(title);
            r_->handleProcs->disposeProc(title);
        }
        dump << "title " << e << " " << text << "\n";

        static const unsigned char prompt[] = "\015Pick a color.";
        ColorServicesInfo info{};
        info.infoSize = sizeof info;
        info.selector = plugIncolorServicesChooseColor;
        info.sourceSpace = plugIncolorServicesRGBSpace;
        info.colorComponents[0] = 10;
        info.selectorParameter.pickerPrompt = prompt;
        if (r_->colorServices == nullptr) {
            dump << "pick -1\n";  // the host has no colour picker
        } else {
            e = r_->colorServices(&info);
            dump << "pick " << e << " " << info.resultSpace << " " << info.colorComponents[0] << " "
                 << info.colorComponents[1] << " " << info.colorComponents[2] << "\n";
        }

        // Two pixels, one through a half-transparent mask, drawn into a 4 x 2 target at (1, 2).
        uint8 pixels[6] = {200, 100, 50, 10, 20, 30};
        uint8 alpha[2] = {255, 0};
        PSPixelMask mask{nullptr, alpha, 2, 1, 1};
        PSPixelMap map{};
        map.version = 1;
        map.bounds = VRect{5, 7, 6, 9};
        map.imageMode = plugInModeRGBColor;
        map.rowBytes = 6;
        map.colBytes = 3;
        map.planeBytes = 1;
        map.baseAddr = pixels;
        map.masks = &mask;
        uint8 target[4 * 2 * 3];
        std::memset(target, 1, sizeof target);
        PSDrawTarget t{target, 4, 2, 12, 10, 20};
        VRect src{5, 7, 6, 9};
        e = r_->displayPixels(&map, &src, 11, 21, &t);
        dump << "display " << e;
        for (uint8 v : target) dump << " " << unsigned(v);
        dump << "\n";

        AskForNothing();
        return Advance();
    }

    void FilterImage() {
        const VRect f = GetRect(RectField::kFilter);
        const int32 width = f.right - f.left, height = f.bottom - f.top, planes = r_->planes;
        const int32 overlap = 2 * s_.delay;
        const uint32 max = r_->depth == 16 ? 32768 : 255;
        if (s_.rows <= overlap || s_.rows < 1)
            return Fail(filterBadParameters, "rows must exceed the overlap");
        r_->inLoPlane = r_->outLoPlane = 0;
        r_->inHiPlane = r_->outHiPlane = int16(planes - 1);
        r_->inputRate = r_->maskRate = 0x10000;
        r_->inputPadding = r_->outputPadding = r_->maskPadding = 255;
        VRect in{f.top - 1, f.left, f.top - 1, f.right};
        std::map<int32, std::vector<uint8>> written;  // what was written to each row
        std::deque<std::pair<int32, std::vector<uint32>>> pending;
        int strips = 0;
        auto writeRow = [&](int32 Y, const std::vector<uint32>& n) {
            int64_t io = Y - in.top;
            for (int32 x = 0; x < width; ++x) {
                uint32 m = 255;
                if (r_->haveMask && r_->maskData != nullptr)
                    m = static_cast<const uint8*>(r_->maskData)[io * r_->maskRowBytes + x];
                for (int32 c = 0; c < planes; ++c) {
                    uint32 i = Sample(r_->inData, r_->inRowBytes, io, x * planes + c);
                    uint32 v = n[size_t(x * planes + c)];
                    // The selection's weight m of 255, rounded to the nearest code, as the
                    // module blends (a shift by 8 would weigh it by 256 and darken every blend).
                    if (c < 3) v = m == 0 ? i : m == 255 ? v : ((255 - m) * i + m * v + 127) / 255;
                    Put(r_->outData, r_->outRowBytes, io, x * planes + c, v);
                }
            }
            const uint8* row = static_cast<const uint8*>(r_->outData) + io * r_->outRowBytes;
            written[Y].assign(row, row + r_->outRowBytes);
        };
        for (int32 y = 0; y < height; ++y) {
            const int32 Y = y + f.top;
            if (Y > in.bottom - 1) {
                if (r_->abortProc()) return void(*result_ = userCanceledErr);
                if (s_.cancelAfter >= 0 && strips >= s_.cancelAfter)
                    return void(*result_ = userCanceledErr);
                ++strips;
                if (s_.scribble && r_->inData != nullptr) {
                    const size_t bytes = size_t(width) * size_t(planes) * (max == 255 ? 1 : 2);
                    for (int32 row = 0; row < in.bottom - in.top; ++row) {
                        std::memset(static_cast<uint8*>(r_->inData) + row * r_->inRowBytes, 0xA5,
                                    bytes);
                    }
                }
                int32 top = std::max(Y - overlap, f.top);
                in = VRect{top, f.left, std::min(top + s_.rows, f.bottom), f.right};
                SetRect(RectField::kIn, in);
                SetRect(RectField::kOut, in);
                if (r_->haveMask) SetRect(RectField::kMask, in);
                if (!Advance()) return;
                for (int32 row = in.top; row < in.bottom; ++row) {
                    auto w = written.find(row);
                    if (w == written.end()) continue;
                    const uint8* now =
                        static_cast<const uint8*>(r_->outData) + (row - in.top) * r_->outRowBytes;
                    if (std::memcmp(now, w->second.data(), w->second.size()) != 0) {
                        return Fail(filterBadParameters,
                                    "row " + std::to_string(row) + " did not come back as written");
                    }
                }
                if (max == 32768) {
                    for (int64_t k = 0; k < int64_t(in.bottom - in.top); ++k) {
                        for (int64_t i = 0; i < int64_t(width) * planes; ++i) {
                            if (Sample(r_->inData, r_->inRowBytes, k, i) > 32768)
                                return Fail(filterBadParameters, "16-bit sample above 32768");
                        }
                    }
                }
                if (!s_.waitAbort.empty() && strips == 1 && !WaitForAbort()) return;
            }
            std::vector<uint32> n(size_t(width) * planes);
            for (int32 x = 0; x < width; ++x) {
                for (int32 c = 0; c < planes; ++c) {
                    uint32 v = Sample(r_->inData, r_->inRowBytes, Y - in.top, x * planes + c);
                    n[size_t(x * planes + c)] = (c < 3 && op_ == "invert") ? max - v : v;
                }
            }
            pending.emplace_back(Y, std::move(n));
            if (int32(pending.size()) > s_.delay) {
                writeRow(pending.front().first, pending.front().second);
                pending.pop_front();
            }
            r_->progressProc(y + 1, height);
        }
        for (const auto& [Y, n] : pending) writeRow(Y, n);
        AskForNothing();
    }

    void AppendToDebugLog() {
        const char* lines = std::getenv("FHTEST_LOG");
        const char* config = std::getenv("XDG_CONFIG_HOME");
        if (lines == nullptr || config == nullptr) return;
        std::ofstream log(std::string(config) + "/Lumetra/LumetraDebug.txt", std::ios::app);
        for (const char* p = lines; *p != 0; ++p) log << (*p == '|' ? '\n' : *p);
        log << "\n";
    }

    bool WaitForAbort() {
        std::ofstream(s_.waitAbort) << "ready\n";
        for (int i = 0; i < 4000; ++i) {
            if (r_->abortProc()) {
                *result_ = userCanceledErr;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        Fail(filterBadParameters, "no abort arrived");
        return false;
    }

    FilterRecord* r_;
    intptr_t* data_;
    int16* result_;
    Settings s_;
    std::string op_;
    std::vector<Handle> locked_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) void PluginMain(int16 selector, void* block,
                                                                  intptr_t* data, int16* result) {
    // Keeps the resource archive, and with it the PiPL, in this library.
    if (Res_ModuleArchive() == nullptr) std::fprintf(stderr, "test module: no resources\n");
    if (selector == filterSelectorAbout) {
        Settings s = ReadSettings();
        if (!s.dump.empty()) std::ofstream(s.dump) << "about\n";
        return;
    }
    Filter filter(static_cast<FilterRecord*>(block), data, result);
    if (selector == filterSelectorParameters) filter.Parameters();
    if (selector == filterSelectorPrepare) filter.Prepare();
    if (selector == filterSelectorStart) filter.Start();
    if (selector == filterSelectorContinue) filter.Continue();
    if (selector == filterSelectorFinish) filter.Finish();
}
