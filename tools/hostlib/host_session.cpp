// One filter run over a document; see host_session.h.
#include "tools/hostlib/host_session.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/os.h"
#include "platform/paths.h"
#include "tools/hostlib/handle_suite.h"
#include "tools/hostlib/host_os.h"
#include "tools/hostlib/host_services.h"
#include "tools/hostlib/pipl_check.h"
#include "tools/hostlib/strip_server.h"

namespace {

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

std::string RectText(const VRect& r) {
    return "(" + std::to_string(r.top) + "," + std::to_string(r.left) + "," +
           std::to_string(r.bottom) + "," + std::to_string(r.right) + ")";
}

int16 Clamp16(int64_t v) {
    return int16(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX));
}

SessionOutcome Failed(std::string message, SessionResult result = SessionResult::kFailed) {
    return SessionOutcome{result, std::move(message)};
}

}  // namespace

struct HostSession::State {
    HostDocument* doc;
    SessionSettings o;
    SessionHooks hooks;
    std::vector<std::string> warnings;

    ImageFacts facts;
    VRect filterRect{0, 0, 0, 0};
    bool copySource = true;
    PluginMainProc entry = nullptr;
    FilterRecord record{};
    AboutRecord about{};
    BigDocumentStruct big{};
    PlatformData platform{};
    PIDescriptorParameters descriptor{};
    intptr_t data = 0;
    std::unique_ptr<StripServer> server;

    int64_t advances = 0;
    int64_t preparedMaxSpace = 0;
    bool budgetWarned = false;
    std::string lastRefusal;
    std::string debugLog;
    int64_t debugLogStart = 0;

    static State* active;

    bool Aborted() const { return hooks.aborted && hooks.aborted(); }
    void Note(const std::string& text) const {
        if (hooks.note) hooks.note(text);
    }

    // --- Before the module runs ------------------------------------------------------------

    void Describe() {
        const int32_t planes = doc->Planes();
        const bool alpha = planes == 2 || planes == 4;
        const bool colour = planes >= 3;
        const bool deep = doc->Depth() == 16;
        facts.mode = colour ? (deep ? plugInModeRGB48 : plugInModeRGBColor)
                            : (deep ? plugInModeGray16 : plugInModeGrayScale);
        facts.depth = doc->Depth();
        facts.width = doc->Width();
        facts.height = doc->Height();
        facts.filterCase = int16(
            (alpha ? filterCaseEditableTransparencyNoSelection : filterCaseFlatImageNoSelection) +
            (doc->HasMask() ? 1 : 0));
        filterRect =
            IsEmpty(o.filterRect) ? VRect{0, 0, doc->Height(), doc->Width()} : o.filterRect;
    }

    SessionOutcome LoadModule(bool check) {
        if (o.linkedEntry != nullptr) {
            Note("module linked into this process");
            entry = o.linkedEntry;
            return SessionOutcome{};
        }
        std::string entryName = "PluginMain";
        if (Os_PathKind(o.plugin.c_str()) == kOsNothing) {
            return Failed("cannot load the module " + o.plugin + ": No such file or directory");
        }
        if (!o.ignorePipl) {
            ModuleInfo info;
            std::string error;
            if (!ReadModuleInfo(o.plugin, &info, &error)) {
                return Failed(o.plugin + " is not a usable filter module: " + error);
            }
            Note("module " + o.plugin + ": \"" + info.name + "\" in \"" + info.category +
                 "\", entry " + info.entryPoint +
                 (info.hasEnable ? ", enabled when " + info.enable : std::string()));
            Note("PiPL: " + ModuleInfoText(info));
            if (check) {
                std::string why = WhyNotAvailable(info, facts);
                if (!why.empty()) {
                    return Failed("\"" + info.name + "\" cannot run on " + o.title + ": " + why);
                }
                // Flag 1 of the case info: the filter writes every output pixel itself, so the
                // host need not hand it a copy of the source in its output buffers.
                if (info.hasCaseInfo) {
                    copySource = (info.caseInfo[facts.filterCase - 1][2] & 1) == 0;
                }
            }
            entryName = info.entryPoint;
        } else {
            Note("module " + o.plugin + ": PiPL not read (--ignore-pipl)");
        }
        // The module stays loaded until the process ends: a toolkit inside it may have
        // registered exit handlers, which must not outlive its code.
        bool loaded = false;
        std::string why;
        entry =
            reinterpret_cast<PluginMainProc>(HostOs_LoadEntry(o.plugin, entryName, &loaded, &why));
        if (!loaded) return Failed("cannot load the module " + o.plugin + ": " + why);
        if (entry == nullptr) {
            return Failed("the module " + o.plugin + " does not export its entry point " +
                          entryName);
        }
        return SessionOutcome{};
    }

    void SetUpRecord() {
        FilterRecord& r = record;
        r = FilterRecord{};
        big = BigDocumentStruct{};
        big.imageSize32 = VPoint{doc->Height(), doc->Width()};
        big.wholeSize32 = big.imageSize32;
        r.bigDocumentData = &big;
        r.abortProc = AbortProc;
        r.progressProc = ProgressProc;
        r.imageSize = Point{Clamp16(doc->Height()), Clamp16(doc->Width())};
        r.planes = int16(doc->Planes());
        WriteRect(&r, RectField::kFilter, filterRect);
        r.background = RGBColor{0xFFFF, 0xFFFF, 0xFFFF};
        r.foreground = RGBColor{0, 0, 0};
        r.maxSpace = int32(o.maxSpace);
        r.inHiPlane = r.outHiPlane = int16(doc->Planes() - 1);
        r.haveMask = doc->HasMask() ? 1 : 0;
        r.imageMode = facts.mode;
        r.imageHRes = Fixed(std::lround(o.resolution[0] * 65536.0));
        r.imageVRes = Fixed(std::lround(o.resolution[1] * 65536.0));
        if (o.haveMonitor) r.monitor = o.monitor;
        platform.hwnd = reinterpret_cast<void*>(o.parentWindow);
        r.platformData = &platform;
        r.displayPixels = HostDisplayPixels;
        r.handleProcs = HostHandleProcs();
        r.filterCase = facts.filterCase;
        r.advanceState = AdvanceProc;
        r.supportsPadding = 1;
        r.inputPadding = r.outputPadding = r.maskPadding = 255;
        r.samplingSupport = hostSupportsIntegralSampling;
        r.inputRate = r.maskRate = 0x10000;
        // A picker that could only cancel is no picker: without an answer to give or a chooser
        // to ask the host offers none, and the filter disables its "Color Picker..." button.
        r.colorServices = o.havePick || hooks.chooseColor ? HostColorServices : nullptr;
        r.propertyProcs = HostPropertyProcs();
        r.descriptorParameters = &descriptor;
        r.depth = doc->Depth();

        descriptor = PIDescriptorParameters{};
        descriptor.descriptorParametersVersion = 1;
        descriptor.playInfo = o.dialog ? plugInDialogDisplay : plugInDialogDontDisplay;
        descriptor.recordInfo = plugInDialogOptional;
        descriptor.readDescriptorProcs = HostReadDescriptorProcs();
        descriptor.writeDescriptorProcs = HostWriteDescriptorProcs();
        if (o.replay || !o.dialog) {
            std::string bytes = EncodeDescriptor(o.playItems);
            descriptor.descriptor = NewHostHandle(bytes.data(), bytes.size());
        }

        ServiceSettings services;
        services.title = o.title;
        services.havePick = o.havePick;
        std::copy(o.pick, o.pick + 3, services.pick);
        services.chooser = hooks.chooseColor;
        SetServiceSettings(services);
        server = std::make_unique<StripServer>(doc, filterRect, copySource);
    }

    // --- Host procedures -------------------------------------------------------------------

    static Boolean AbortProc() { return active != nullptr && active->Aborted(); }

    static void ProgressProc(int32 done, int32 total) {
        if (active != nullptr && active->hooks.progress) active->hooks.progress(done, total);
    }

    static OSErr AdvanceProc() {
        if (active == nullptr) return filterBadParameters;
        return active->Advance();
    }

    OSErr Advance() {
        if (Aborted()) return userCanceledErr;
        ++advances;
        bool wide = big.PluginUsing32BitCoordinates != 0;
        if (!wide && (doc->Width() > INT16_MAX || doc->Height() > INT16_MAX)) {
            lastRefusal =
                "the image is larger than 16-bit rectangles can address and the filter "
                "does not use 32-bit coordinates";
            return filterBadParameters;
        }
        OSErr e = server->Advance(&record);
        if (hooks.note) {
            Note("advanceState in " + RectText(ReadRect(record, RectField::kIn)) + " planes " +
                 std::to_string(record.inLoPlane) + "-" + std::to_string(record.inHiPlane) +
                 " rate " + std::to_string(record.inputRate / 65536.0).substr(0, 4) + ", out " +
                 RectText(ReadRect(record, RectField::kOut)) +
                 (!doc->HasMask() ? std::string()
                                  : ", mask " + RectText(ReadRect(record, RectField::kMask))) +
                 " -> " + std::to_string(e) +
                 (e != noErr ? " (" + server->LastError() + ")" : std::string()));
        }
        if (e != noErr) {
            lastRefusal = server->LastError();
        } else if (preparedMaxSpace > 0 && !budgetWarned &&
                   server->BufferBytes() + record.bufferSpace > preparedMaxSpace) {
            budgetWarned = true;
            warnings.push_back("the filter's buffers (" + std::to_string(server->BufferBytes()) +
                               " bytes) and bufferSpace (" + std::to_string(record.bufferSpace) +
                               ") exceed the maxSpace it agreed at Prepare (" +
                               std::to_string(preparedMaxSpace) + ")");
        }
        return e;
    }

    // --- Driving the selectors -------------------------------------------------------------

    OSErr Call(int16 selector) {
        int16 result = 0;
        void* block = selector == filterSelectorAbout ? static_cast<void*>(&about)
                                                      : static_cast<void*>(&record);
        entry(selector, block, &data, &result);
        if (hooks.callReturned) hooks.callReturned();
        Note(std::string(SelectorName(selector)) + " -> " + std::to_string(result));
        return result;
    }

    SessionOutcome Stopped(int16 selector, OSErr result) {
        if (Aborted()) return Failed("interrupted", SessionResult::kCancelled);
        if (result == userCanceledErr) {
            return Failed(std::string("cancelled by the filter in ") + SelectorName(selector),
                          SessionResult::kCancelled);
        }
        std::string text = std::string("the filter failed in ") + SelectorName(selector) + ": " +
                           ResultText(result);
        if (!lastRefusal.empty()) text += " after the host refused a request: " + lastRefusal;
        return Failed(text);
    }

    // Writes the last output buffer back after a selector returned.
    bool WriteBack() {
        if (server->WriteBack()) return true;
        lastRefusal = server->LastError();
        return false;
    }

    bool AnyRequest() const {
        return !IsEmpty(ReadRect(record, RectField::kIn)) ||
               !IsEmpty(ReadRect(record, RectField::kOut)) ||
               (doc->HasMask() && !IsEmpty(ReadRect(record, RectField::kMask)));
    }

    SessionOutcome Execute() {
        SetUpRecord();
        WatchDebugLog();
        OSErr r;
        if (!o.replay) {
            if ((r = Call(filterSelectorParameters)) != noErr || Aborted()) {
                return Stopped(filterSelectorParameters, r);
            }
        }
        if ((r = Call(filterSelectorPrepare)) != noErr || Aborted()) {
            return Stopped(filterSelectorPrepare, r);
        }
        preparedMaxSpace = record.maxSpace;
        Note("after Prepare: maxSpace " + std::to_string(record.maxSpace) + ", bufferSpace " +
             std::to_string(record.bufferSpace));
        if (record.maxSpace > o.maxSpace) {
            warnings.push_back("the filter raised maxSpace above what the host offered");
        }
        r = Call(filterSelectorStart);
        if (!WriteBack())
            return Failed("the host could not store the filter's output: " + lastRefusal);
        if (r != noErr || Aborted()) return Stopped(filterSelectorStart, r);
        // Continue while the filter leaves rectangles to serve; a filter that never stops
        // asking is cut off after one request per image row.
        for (int64_t n = 0; AnyRequest(); ++n) {
            if (Aborted()) return Stopped(filterSelectorContinue, userCanceledErr);
            if (n > int64_t(doc->Height()) + 16) {
                return Failed("the filter kept asking for data after " + std::to_string(n) +
                              " Continue calls");
            }
            OSErr e = Advance();
            if (e != noErr) {
                return Failed("the host could not serve the filter's request: " + lastRefusal);
            }
            r = Call(filterSelectorContinue);
            if (!WriteBack()) {
                return Failed("the host could not store the filter's output: " + lastRefusal);
            }
            if (r != noErr || Aborted()) return Stopped(filterSelectorContinue, r);
        }
        server->Release(&record);
        if ((r = Call(filterSelectorFinish)) != noErr || Aborted()) {
            return Stopped(filterSelectorFinish, r);
        }
        Note(std::to_string(advances) + " advanceState calls; title asked " +
             std::to_string(GetServiceCounters().titleRequests) + ", picker " +
             std::to_string(GetServiceCounters().pickRequests) + ", displayPixels " +
             std::to_string(GetServiceCounters().displayCalls) + " times");
        return SessionOutcome{};
    }

    // --- After the module ran --------------------------------------------------------------

    // The module writes its memory reports to its debug log even without diagnostics; a line
    // there means it used more memory than it told the host, or leaked.
    void WatchDebugLog() {
        char path[kPathSize];
        if (Ui__Path_SetToDebugLog(path) != 0) return;
        debugLog = path;
        debugLogStart = 0;
        if (FILE* log = Os_OpenFile(path, "rb")) {
            if (std::fseek(log, 0, SEEK_END) == 0) debugLogStart = int64_t(std::ftell(log));
            std::fclose(log);
        }
        Note("module debug log: " + debugLog);
    }

    void ReportLeftovers() {
        if (!debugLog.empty()) {
            FILE* log = Os_OpenFile(debugLog.c_str(), "rb");
            if (log != nullptr && std::fseek(log, long(debugLogStart), SEEK_SET) != 0) {
                std::fclose(log);
                log = nullptr;
            }
            char text[1024];
            while (log != nullptr && std::fgets(text, sizeof text, log) != nullptr) {
                std::string line(text);
                while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
                    line.pop_back();
                }
                if (line.rfind("Over max:", 0) == 0 ||
                    (line.rfind("ul_nMallocs = ", 0) == 0 && line != "ul_nMallocs = 0")) {
                    warnings.push_back("the module's debug log says \"" + line + "\"");
                }
            }
            if (log != nullptr) std::fclose(log);
        }
        Handle keep[3] = {descriptor.descriptor, record.parameters, reinterpret_cast<Handle>(data)};
        size_t kept = 0;
        for (Handle h : keep) kept += IsLiveHandle(h) ? 1 : 0;
        if (LiveHandleCount() > kept) {
            warnings.push_back("the filter left " + std::to_string(LiveHandleCount() - kept) +
                               " handles undisposed");
        }
        if (OpenDescriptorTokens() != 0) {
            warnings.push_back("the filter left " + std::to_string(OpenDescriptorTokens()) +
                               " descriptor readers or writers open");
        }
    }

    static void CollectWarning(const std::string& text) {
        if (active != nullptr) active->warnings.push_back(text);
    }
};

HostSession::State* HostSession::State::active = nullptr;

HostSession::HostSession(HostDocument* document, const SessionSettings& settings,
                         SessionHooks hooks)
    : s_(std::make_unique<State>()) {
    s_->doc = document;
    s_->o = settings;
    s_->hooks = std::move(hooks);
    State::active = s_.get();
    SetHostWarningSink(State::CollectWarning);
}

HostSession::~HostSession() {
    s_->server.reset();
    DisposeHostHandle(s_->descriptor.descriptor);
    DisposeHostHandle(s_->record.parameters);
    DisposeHostHandle(reinterpret_cast<Handle>(s_->data));
    DisposeAllHandles();
    CloseAllDescriptorTokens();
    SetHostWarningSink(nullptr);
    State::active = nullptr;
}

SessionOutcome HostSession::Load() {
    s_->Describe();
    return s_->LoadModule(true);
}

SessionOutcome HostSession::Run() {
    SessionOutcome outcome = s_->Execute();
    s_->ReportLeftovers();
    return outcome;
}

SessionOutcome HostSession::About() {
    SessionOutcome outcome = s_->LoadModule(false);
    if (!outcome.Ok()) return outcome;
    s_->platform.hwnd = nullptr;
    s_->about = AboutRecord{nullptr, &s_->platform, nullptr, nullptr};
    s_->WatchDebugLog();
    OSErr r = s_->Call(filterSelectorAbout);
    s_->ReportLeftovers();
    if (r != noErr) return Failed("the filter failed in About: " + ResultText(r));
    return outcome;
}

HostSession::Recorded HostSession::RecordedItems(std::vector<DescriptorItem>* items) const {
    items->clear();
    if (s_->descriptor.descriptor == nullptr) return Recorded::kNone;
    std::string bytes, error;
    if (!HandleContents(s_->descriptor.descriptor, &bytes, "the recorded descriptor") ||
        !DecodeDescriptor(bytes, items, &error)) {
        return Recorded::kUnreadable;
    }
    return Recorded::kOk;
}

std::vector<std::string> HostSession::TakeWarnings() {
    std::vector<std::string> taken;
    taken.swap(s_->warnings);
    return taken;
}
