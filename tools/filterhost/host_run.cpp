// One run of the stand-in host; see host_run.h.
#include "tools/filterhost/host_run.h"

#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "tools/filterhost/descriptors.h"
#include "tools/filterhost/handle_suite.h"
#include "tools/filterhost/host_services.h"
#include "tools/filterhost/image_file.h"
#include "tools/filterhost/pipl_check.h"
#include "tools/filterhost/progress_bar.h"
#include "tools/filterhost/strip_server.h"

namespace {

volatile sig_atomic_t gInterrupted = 0;

void OnInterrupt(int) {
    gInterrupted = 1;
}

const char* SelectorName(int16 selector) {
    switch (selector) {
        case filterSelectorAbout:
            return "About";
        case filterSelectorParameters:
            return "Parameters";
        case filterSelectorPrepare:
            return "Prepare";
        case filterSelectorStart:
            return "Start";
        case filterSelectorContinue:
            return "Continue";
        case filterSelectorFinish:
            return "Finish";
        default:
            return "?";
    }
}

std::string ResultText(OSErr r) {
    switch (r) {
        case userCanceledErr:
            return "cancelled (userCanceledErr, -128)";
        case memFullErr:
            return "not enough memory (memFullErr, -108)";
        case filterBadParameters:
            return "bad parameters (filterBadParameters, -30100)";
        case filterBadMode:
            return "the image mode is not supported (filterBadMode, -30101)";
        case errPlugInHostInsufficient:
            return "the host lacks a feature it needs (errPlugInHostInsufficient, -30900)";
        default:
            return "error " + std::to_string(r);
    }
}

std::string FileName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Folder(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string RectText(const VRect& r) {
    return "(" + std::to_string(r.top) + "," + std::to_string(r.left) + "," +
           std::to_string(r.bottom) + "," + std::to_string(r.right) + ")";
}

int16 Clamp16(int64_t v) {
    return int16(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX));
}

class Session;
Session* gSession = nullptr;
std::vector<std::string>* gWarnings = nullptr;

void CollectWarning(const std::string& text) {
    if (gWarnings != nullptr) gWarnings->push_back(text);
}

class Session {
   public:
    explicit Session(const HostOptions& options)
        : o_(options),
          bar_(options.progress == 1 || (options.progress == -1 && isatty(STDERR_FILENO))) {
        gSession = this;
        gWarnings = &warnings_;
        SetHostWarningSink(CollectWarning);
    }

    ~Session() {
        server_.reset();
        DisposeHostHandle(descriptor_.descriptor);
        DisposeHostHandle(record_.parameters);
        DisposeHostHandle(reinterpret_cast<Handle>(data_));
        DisposeAllHandles();
        CloseAllDescriptorTokens();
        if (handlerInstalled_) sigaction(SIGINT, &oldAction_, nullptr);
        SetHostWarningSink(nullptr);
        gWarnings = nullptr;
        gSession = nullptr;
    }

    int Run() {
        if (o_.about) return RunAbout();
        int status = Load();
        if (status != kExitOk) return status;
        status = Execute();
        ReportLeftovers();
        if (status != kExitOk) {
            if (o_.verbose) FlushWarnings();
            return status;
        }
        if (gInterrupted) return Fail("interrupted" + NotWritten(), kExitCancelled);
        return Deliver();
    }

   private:
    // --- Messages ------------------------------------------------------------------------------

    int Fail(const std::string& message, int status = kExitFailed) {
        bar_.Finish();
        if (o_.verbose) FlushWarnings();
        std::cerr << "filterhost: " << message << "\n";
        return status;
    }

    void Note(const std::string& text) {
        if (!o_.verbose) return;
        bar_.Finish();
        std::cerr << "filterhost: " << text << "\n";
    }

    void FlushWarnings() {
        for (const std::string& w : warnings_) std::cerr << "filterhost: warning: " << w << "\n";
        warnings_.clear();
    }

    std::string NotWritten() const { return "; " + o_.output + " not written"; }

    // --- Before the module runs ----------------------------------------------------------------

    int Load() {
        std::string error;
        ImageFormat format = FormatFromPath(o_.output);
        if (format == ImageFormat::kUnknown) {
            return Fail("cannot write " + o_.output + ": " + CannotWriteReason(format, Image()),
                        kExitUsage);
        }
        Image input;
        if (!ReadImageFile(o_.input, &input, &error)) {
            return Fail("cannot read " + o_.input + ": " + error);
        }
        std::string reason = CannotWriteReason(format, input);
        if (!reason.empty()) return Fail("cannot write " + o_.output + ": " + reason);
        if (access(Folder(o_.output).c_str(), W_OK) != 0) {
            return Fail("cannot write " + o_.output + ": " + std::strerror(errno));
        }
        outFormat_ = format;
        resolution_[0] = input.xResolution;
        resolution_[1] = input.yResolution;
        associatedAlpha_ = input.associatedAlpha;
        Note("image " + o_.input + ": " + std::to_string(input.width) + " x " +
             std::to_string(input.height) + ", " + std::to_string(input.channels) + " channels, " +
             std::to_string(input.depth) + " bits");

        source_.width = input.width;
        source_.height = input.height;
        source_.planes = input.channels;
        source_.depth = input.depth;
        source_.samples = std::move(input.samples);
        if (source_.depth == 16) {
            for (uint16_t& v : source_.samples) v = FileToHost16(v);
        }
        destination_ = source_;
        filterRect_ = VRect{0, 0, source_.height, source_.width};
        if (!o_.mask.empty()) {
            int status = LoadMask();
            if (status != kExitOk) return status;
        }
        if (!o_.play.empty()) {
            if (!ReadActionFile(o_.play, &playItems_, &error)) {
                return Fail("cannot read action file " + o_.play + ": " + error);
            }
            Note("action " + o_.play + ": " + std::to_string(playItems_.size()) + " items");
        }

        bool alpha = source_.planes == 2 || source_.planes == 4;
        bool colour = source_.planes >= 3;
        facts_.mode = colour ? (source_.depth == 16 ? plugInModeRGB48 : plugInModeRGBColor)
                             : (source_.depth == 16 ? plugInModeGray16 : plugInModeGrayScale);
        facts_.depth = source_.depth;
        facts_.width = source_.width;
        facts_.height = source_.height;
        facts_.filterCase = int16(
            (alpha ? filterCaseEditableTransparencyNoSelection : filterCaseFlatImageNoSelection) +
            (mask_.empty() ? 0 : 1));
        return LoadModule();
    }

    int LoadMask() {
        Image mask;
        std::string error;
        if (!ReadImageFile(o_.mask, &mask, &error)) {
            return Fail("cannot read mask " + o_.mask + ": " + error);
        }
        if (mask.channels != 1) {
            return Fail("mask " + o_.mask + " must be a grey image without transparency");
        }
        if (mask.width != source_.width || mask.height != source_.height) {
            return Fail("mask " + o_.mask + " is " + std::to_string(mask.width) + " x " +
                        std::to_string(mask.height) + ", the image " +
                        std::to_string(source_.width) + " x " + std::to_string(source_.height));
        }
        mask_.resize(mask.samples.size());
        // The filter rectangle is the bounding box of the selected pixels, as in an editor.
        VRect box{mask.height, mask.width, 0, 0};
        for (int32_t y = 0; y < mask.height; ++y) {
            for (int32_t x = 0; x < mask.width; ++x) {
                uint32_t v = mask.At(y, x, 0);
                if (mask.depth == 16) v = (v * 255 + 32767) / 65535;
                mask_[size_t(y) * size_t(mask.width) + size_t(x)] = uint8_t(v);
                if (v != 0) {
                    box.top = std::min(box.top, y);
                    box.left = std::min(box.left, x);
                    box.bottom = std::max(box.bottom, y + 1);
                    box.right = std::max(box.right, x + 1);
                }
            }
        }
        if (IsEmpty(box)) return Fail("mask " + o_.mask + " selects no pixels");
        filterRect_ = box;
        Note("selection bounds " + RectText(box));
        return kExitOk;
    }

    int LoadModule() {
        std::string entryName = "PluginMain";
        struct stat st;
        if (stat(o_.plugin.c_str(), &st) != 0) {
            return Fail("cannot load the module " + o_.plugin + ": " + std::strerror(errno));
        }
        if (!o_.ignorePipl) {
            ModuleInfo info;
            std::string error;
            if (!ReadModuleInfo(o_.plugin, &info, &error)) {
                return Fail(o_.plugin + " is not a usable filter module: " + error);
            }
            Note("module " + o_.plugin + ": \"" + info.name + "\" in \"" + info.category +
                 "\", entry " + info.entryPoint +
                 (info.hasEnable ? ", enabled when " + info.enable : std::string()));
            if (!o_.about) {
                std::string why = WhyNotAvailable(info, facts_);
                if (!why.empty()) {
                    return Fail("\"" + info.name + "\" cannot run on " + FileName(o_.input) + ": " +
                                why);
                }
            }
            entryName = info.entryPoint;
        } else {
            Note("module " + o_.plugin + ": PiPL not read (--ignore-pipl)");
        }
        void* module = dlopen(o_.plugin.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            const char* why = dlerror();
            return Fail("cannot load the module " + o_.plugin + ": " +
                        (why ? why : "unknown error"));
        }
        // The module stays loaded until the process ends: a toolkit inside it may have
        // registered exit handlers, which must not outlive its code.
        entry_ = reinterpret_cast<PluginMainProc>(dlsym(module, entryName.c_str()));
        if (entry_ == nullptr) {
            return Fail("the module " + o_.plugin + " does not export its entry point " +
                        entryName);
        }
        return kExitOk;
    }

    void SetUpRecord() {
        FilterRecord& r = record_;
        r = FilterRecord{};
        big_ = BigDocumentStruct{};
        big_.imageSize32 = VPoint{source_.height, source_.width};
        big_.wholeSize32 = big_.imageSize32;
        r.bigDocumentData = &big_;
        r.abortProc = AbortProc;
        r.progressProc = ProgressProc;
        r.imageSize = Point{Clamp16(source_.height), Clamp16(source_.width)};
        r.planes = int16(source_.planes);
        WriteRect(&r, RectField::kFilter, filterRect_);
        r.background = RGBColor{0xFFFF, 0xFFFF, 0xFFFF};
        r.foreground = RGBColor{0, 0, 0};
        r.maxSpace = int32(o_.maxSpace);
        r.inHiPlane = r.outHiPlane = int16(source_.planes - 1);
        r.haveMask = mask_.empty() ? 0 : 1;
        r.imageMode = facts_.mode;
        r.imageHRes = Fixed(std::lround(resolution_[0] * 65536.0));
        r.imageVRes = Fixed(std::lround(resolution_[1] * 65536.0));
        if (o_.haveMonitor) r.monitor = o_.monitor;
        platform_.hwnd = nullptr;
        r.platformData = &platform_;
        r.displayPixels = HostDisplayPixels;
        r.handleProcs = HostHandleProcs();
        r.filterCase = facts_.filterCase;
        r.advanceState = AdvanceProc;
        r.supportsPadding = 1;
        r.inputPadding = r.outputPadding = r.maskPadding = 255;
        r.samplingSupport = hostSupportsIntegralSampling;
        r.inputRate = r.maskRate = 0x10000;
        r.colorServices = HostColorServices;
        r.propertyProcs = HostPropertyProcs();
        r.descriptorParameters = &descriptor_;
        r.depth = source_.depth;

        descriptor_ = PIDescriptorParameters{};
        descriptor_.descriptorParametersVersion = 1;
        descriptor_.playInfo = o_.dialog ? plugInDialogDisplay : plugInDialogDontDisplay;
        descriptor_.recordInfo = plugInDialogOptional;
        descriptor_.readDescriptorProcs = HostReadDescriptorProcs();
        descriptor_.writeDescriptorProcs = HostWriteDescriptorProcs();
        if (!o_.play.empty() || !o_.dialog) {
            std::string bytes = EncodeDescriptor(playItems_);
            descriptor_.descriptor = NewHostHandle(bytes.data(), bytes.size());
        }

        ServiceSettings services;
        services.title = FileName(o_.input);
        services.havePick = o_.havePick;
        std::copy(o_.pick, o_.pick + 3, services.pick);
        SetServiceSettings(services);
        server_ = std::make_unique<StripServer>(&source_, &destination_, &mask_, filterRect_);
    }

    // --- Host procedures -------------------------------------------------------------------------

    static Boolean AbortProc() { return gInterrupted != 0; }

    static void ProgressProc(int32 done, int32 total) {
        if (gSession != nullptr) gSession->bar_.Update(done, total);
    }

    static OSErr AdvanceProc() {
        if (gSession == nullptr) return filterBadParameters;
        return gSession->Advance();
    }

    OSErr Advance() {
        if (gInterrupted) return userCanceledErr;
        ++advances_;
        const BigDocumentStruct* big = record_.bigDocumentData;
        bool wide = big != nullptr && big->PluginUsing32BitCoordinates != 0;
        if (!wide && (source_.width > INT16_MAX || source_.height > INT16_MAX)) {
            lastRefusal_ =
                "the image is larger than 16-bit rectangles can address and the filter "
                "does not use 32-bit coordinates";
            return filterBadParameters;
        }
        OSErr e = server_->Advance(&record_);
        if (o_.verbose) {
            Note("advanceState in " + RectText(ReadRect(record_, RectField::kIn)) + " planes " +
                 std::to_string(record_.inLoPlane) + "-" + std::to_string(record_.inHiPlane) +
                 " rate " + std::to_string(record_.inputRate / 65536.0).substr(0, 4) + ", out " +
                 RectText(ReadRect(record_, RectField::kOut)) +
                 (mask_.empty() ? std::string()
                                : ", mask " + RectText(ReadRect(record_, RectField::kMask))) +
                 " -> " + std::to_string(e) +
                 (e != noErr ? " (" + server_->LastError() + ")" : std::string()));
        }
        if (e != noErr) {
            lastRefusal_ = server_->LastError();
        } else if (preparedMaxSpace_ > 0 && !budgetWarned_ &&
                   server_->BufferBytes() + record_.bufferSpace > preparedMaxSpace_) {
            budgetWarned_ = true;
            warnings_.push_back("the filter's buffers (" + std::to_string(server_->BufferBytes()) +
                                " bytes) and bufferSpace (" + std::to_string(record_.bufferSpace) +
                                ") exceed the maxSpace it agreed at Prepare (" +
                                std::to_string(preparedMaxSpace_) + ")");
        }
        return e;
    }

    // --- Driving the selectors
    // ---------------------------------------------------------------------

    OSErr Call(int16 selector) {
        int16 result = 0;
        void* block = selector == filterSelectorAbout ? static_cast<void*>(&about_)
                                                      : static_cast<void*>(&record_);
        entry_(selector, block, &data_, &result);
        bar_.Finish();
        Note(std::string(SelectorName(selector)) + " -> " + std::to_string(result));
        return result;
    }

    int Stopped(int16 selector, OSErr result) {
        if (gInterrupted) return Fail("interrupted" + NotWritten(), kExitCancelled);
        if (result == userCanceledErr) {
            return Fail(
                std::string("cancelled by the filter in ") + SelectorName(selector) + NotWritten(),
                kExitCancelled);
        }
        std::string text = std::string("the filter failed in ") + SelectorName(selector) + ": " +
                           ResultText(result);
        if (!lastRefusal_.empty()) text += " after the host refused a request: " + lastRefusal_;
        return Fail(text + NotWritten());
    }

    bool AnyRequest() const {
        return !IsEmpty(ReadRect(record_, RectField::kIn)) ||
               !IsEmpty(ReadRect(record_, RectField::kOut)) ||
               (!mask_.empty() && !IsEmpty(ReadRect(record_, RectField::kMask)));
    }

    int Execute() {
        SetUpRecord();
        WatchDebugLog();
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;  // a second Ctrl-C ends the process at once
        gInterrupted = 0;
        handlerInstalled_ = sigaction(SIGINT, &action, &oldAction_) == 0;

        OSErr r;
        if (o_.play.empty()) {
            if ((r = Call(filterSelectorParameters)) != noErr || gInterrupted) {
                return Stopped(filterSelectorParameters, r);
            }
        }
        if ((r = Call(filterSelectorPrepare)) != noErr || gInterrupted) {
            return Stopped(filterSelectorPrepare, r);
        }
        preparedMaxSpace_ = record_.maxSpace;
        Note("after Prepare: maxSpace " + std::to_string(record_.maxSpace) + ", bufferSpace " +
             std::to_string(record_.bufferSpace));
        if (record_.maxSpace > o_.maxSpace) {
            warnings_.push_back("the filter raised maxSpace above what the host offered");
        }
        r = Call(filterSelectorStart);
        server_->WriteBack();
        if (r != noErr || gInterrupted) return Stopped(filterSelectorStart, r);
        // Continue while the filter leaves rectangles to serve; a filter that never stops
        // asking is cut off after one request per image row.
        for (int64_t n = 0; AnyRequest(); ++n) {
            if (gInterrupted) return Stopped(filterSelectorContinue, userCanceledErr);
            if (n > int64_t(source_.height) + 16) {
                return Fail("the filter kept asking for data after " + std::to_string(n) +
                            " Continue calls" + NotWritten());
            }
            OSErr e = Advance();
            if (e != noErr) {
                return Fail("the host could not serve the filter's request: " + lastRefusal_ +
                            NotWritten());
            }
            r = Call(filterSelectorContinue);
            server_->WriteBack();
            if (r != noErr || gInterrupted) return Stopped(filterSelectorContinue, r);
        }
        server_->Release(&record_);
        if ((r = Call(filterSelectorFinish)) != noErr || gInterrupted) {
            return Stopped(filterSelectorFinish, r);
        }
        Note(std::to_string(advances_) + " advanceState calls; title asked " +
             std::to_string(GetServiceCounters().titleRequests) + ", picker " +
             std::to_string(GetServiceCounters().pickRequests) + ", displayPixels " +
             std::to_string(GetServiceCounters().displayCalls) + " times");
        return kExitOk;
    }

    int RunAbout() {
        int status = LoadModule();
        if (status != kExitOk) return status;
        platform_.hwnd = nullptr;
        about_ = AboutRecord{nullptr, &platform_, nullptr, nullptr};
        WatchDebugLog();
        OSErr r = Call(filterSelectorAbout);
        ReportLeftovers();
        if (r != noErr) return Fail("the filter failed in About: " + ResultText(r));
        FlushWarnings();
        return kExitOk;
    }

    // --- After the module ran
    // ----------------------------------------------------------------------

    // The module writes its memory reports to its debug log even without diagnostics; a line
    // there means it used more memory than it told the host, or leaked.
    void WatchDebugLog() {
        char path[kPathSize];
        if (Ui__Path_SetToDebugLog(path) != 0) return;
        debugLog_ = path;
        struct stat st;
        debugLogStart_ = stat(path, &st) == 0 ? int64_t(st.st_size) : 0;
        Note("module debug log: " + debugLog_);
    }

    void ReportLeftovers() {
        if (!debugLog_.empty()) {
            std::ifstream log(debugLog_, std::ios::binary);
            log.seekg(debugLogStart_);
            std::string line;
            while (log && std::getline(log, line)) {
                if (line.rfind("Over max:", 0) == 0 ||
                    (line.rfind("ul_nMallocs = ", 0) == 0 && line != "ul_nMallocs = 0")) {
                    warnings_.push_back("the module's debug log says \"" + line + "\"");
                }
            }
        }
        Handle keep[3] = {descriptor_.descriptor, record_.parameters,
                          reinterpret_cast<Handle>(data_)};
        size_t kept = 0;
        for (Handle h : keep) kept += IsLiveHandle(h) ? 1 : 0;
        if (LiveHandleCount() > kept) {
            warnings_.push_back("the filter left " + std::to_string(LiveHandleCount() - kept) +
                                " handles undisposed");
        }
        if (OpenDescriptorTokens() != 0) {
            warnings_.push_back("the filter left " + std::to_string(OpenDescriptorTokens()) +
                                " descriptor readers or writers open");
        }
    }

    int Deliver() {
        std::string error;
        if (!o_.record.empty()) {
            std::string bytes;
            std::vector<DescriptorItem> items;
            if (descriptor_.descriptor == nullptr) {
                return Fail("the filter recorded no settings for " + o_.record + NotWritten());
            }
            if (!HandleContents(descriptor_.descriptor, &bytes, "the recorded descriptor") ||
                !DecodeDescriptor(bytes, &items, &error)) {
                return Fail("the filter's recorded descriptor is unreadable" + NotWritten());
            }
            if (!WriteActionFile(o_.record, items, &error)) {
                return Fail("cannot write action file " + o_.record + ": " + error + NotWritten());
            }
            Note("recorded " + std::to_string(items.size()) + " items to " + o_.record);
        }
        Image out;
        out.width = destination_.width;
        out.height = destination_.height;
        out.channels = destination_.planes;
        out.depth = destination_.depth;
        out.xResolution = resolution_[0];
        out.yResolution = resolution_[1];
        out.associatedAlpha = associatedAlpha_;
        out.samples = std::move(destination_.samples);
        if (out.depth == 16) {
            for (uint16_t& v : out.samples) v = HostToFile16(v);
        }
        if (!WriteImageFile(o_.output, outFormat_, out, &error)) {
            return Fail("cannot write " + o_.output + ": " + error);
        }
        Note("wrote " + o_.output);
        FlushWarnings();
        return kExitOk;
    }

    const HostOptions& o_;
    ProgressBar bar_;
    std::vector<std::string> warnings_;
    HostPixels source_, destination_;
    std::vector<uint8_t> mask_;
    VRect filterRect_{0, 0, 0, 0};
    ImageFacts facts_;
    ImageFormat outFormat_ = ImageFormat::kUnknown;
    double resolution_[2] = {72.0, 72.0};
    bool associatedAlpha_ = false;
    std::vector<DescriptorItem> playItems_;

    PluginMainProc entry_ = nullptr;
    FilterRecord record_{};
    AboutRecord about_{};
    BigDocumentStruct big_{};
    PlatformData platform_{};
    PIDescriptorParameters descriptor_{};
    intptr_t data_ = 0;
    std::unique_ptr<StripServer> server_;

    int64_t advances_ = 0;
    int64_t preparedMaxSpace_ = 0;
    bool budgetWarned_ = false;
    std::string lastRefusal_;
    std::string debugLog_;
    int64_t debugLogStart_ = 0;
    bool handlerInstalled_ = false;
    struct sigaction oldAction_ {};
};

}  // namespace

int RunFilterHost(const HostOptions& options) {
    Session session(options);
    return session.Run();
}
