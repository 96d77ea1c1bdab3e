// One run of the stand-in host; see host_run.h. The run itself (PiPL check, selectors, host
// procedures) is the host library's HostSession; this file reads the files, serves them as a
// FileDocument and writes the result.
#include "tools/filterhost/host_run.h"

#include <csignal>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "tools/filterhost/color_chooser.h"
#include "tools/filterhost/file_document.h"
#include "tools/filterhost/image_file.h"
#include "tools/filterhost/progress_bar.h"
#include "tools/hostlib/descriptors.h"
#include "tools/hostlib/host_os.h"
#include "tools/hostlib/host_session.h"

namespace {

volatile sig_atomic_t gInterrupted = 0;

void OnInterrupt() {
    gInterrupted = 1;
}

std::string FileName(const std::string& path) {
    size_t slash = path.find_last_of(HostOs_PathSeparators());
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Folder(const std::string& path) {
    size_t slash = path.find_last_of(HostOs_PathSeparators());
    if (slash == std::string::npos) return ".";
    // The root ("/", "C:\\") keeps its separator.
    if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

std::string RectText(const VRect& r) {
    return "(" + std::to_string(r.top) + "," + std::to_string(r.left) + "," +
           std::to_string(r.bottom) + "," + std::to_string(r.right) + ")";
}

// Ctrl-C while the filter runs: the first one asks the filter to stop, a second ends the process.
class InterruptGuard {
   public:
    InterruptGuard() {
        gInterrupted = 0;
        installed_ = HostOs_WatchInterrupt(OnInterrupt);
    }
    ~InterruptGuard() {
        if (installed_) HostOs_StopWatchingInterrupt();
    }

   private:
    bool installed_ = false;
};

class Command {
   public:
    explicit Command(const HostOptions& options)
        : o_(options),
          bar_(options.progress == 1 || (options.progress == -1 && HostOs_ErrorIsTerminal())) {}

    int Run() {
        if (o_.about) return RunAbout();
        int status = Load();
        if (status != kExitOk) return status;
        HostSession session(document_.get(), Settings(), Hooks());
        SessionOutcome outcome = session.Load();
        Take(session);
        if (!outcome.Ok()) return Fail(outcome.message);
        {
            InterruptGuard guard;
            outcome = session.Run();
        }
        Take(session);
        if (!outcome.Ok()) {
            return Fail(outcome.message + NotWritten(),
                        outcome.result == SessionResult::kCancelled ? kExitCancelled : kExitFailed);
        }
        if (gInterrupted) return Fail("interrupted" + NotWritten(), kExitCancelled);
        return Deliver(session);
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

    void Take(HostSession& session) {
        for (std::string& w : session.TakeWarnings()) warnings_.push_back(std::move(w));
    }

    void FlushWarnings() {
        for (const std::string& w : warnings_) std::cerr << "filterhost: warning: " << w << "\n";
        warnings_.clear();
    }

    std::string NotWritten() const { return "; " + o_.output + " not written"; }

    SessionHooks Hooks() {
        SessionHooks hooks;
        hooks.aborted = [] { return gInterrupted != 0; };
        hooks.progress = [this](int32_t done, int32_t total) { bar_.Update(done, total); };
        hooks.callReturned = [this] { bar_.Finish(); };
        if (o_.verbose) hooks.note = [this](const std::string& text) { Note(text); };
        // A person at the window picks colours in the system's chooser; --pick answers for a
        // script instead.
        if (o_.dialog && !o_.havePick && ColorChooserAvailable()) {
            hooks.chooseColor = ChooseColorOnScreen;
        }
        return hooks;
    }

    SessionSettings Settings() const {
        SessionSettings s;
        s.plugin = o_.plugin;
        s.ignorePipl = o_.ignorePipl;
        s.dialog = o_.dialog;
        s.replay = !o_.play.empty();
        s.playItems = playItems_;
        s.maxSpace = o_.maxSpace;
        s.haveMonitor = o_.haveMonitor;
        s.monitor = o_.monitor;
        s.title = FileName(o_.input);
        s.havePick = o_.havePick;
        std::copy(o_.pick, o_.pick + 3, s.pick);
        s.resolution[0] = header_.xResolution;
        s.resolution[1] = header_.yResolution;
        s.filterRect = filterRect_;
        return s;
    }

    // --- Before the module runs ----------------------------------------------------------------

    int Load() {
        std::string error;
        ImageFormat format = FormatFromPath(o_.output);
        if (format == ImageFormat::kUnknown) {
            return Fail("cannot write " + o_.output + ": " + CannotWriteReason(format, Image()),
                        kExitUsage);
        }
        ImageRows rows;
        if (!ReadImageRows(o_.input, &header_, &rows, &error)) {
            return Fail("cannot read " + o_.input + ": " + error);
        }
        std::string reason = CannotWriteReason(format, header_);
        if (!reason.empty()) return Fail("cannot write " + o_.output + ": " + reason);
        if (!HostOs_CanWriteFolder(Folder(o_.output), &error)) {
            return Fail("cannot write " + o_.output + ": " + error);
        }
        outFormat_ = format;
        Note("image " + o_.input + ": " + std::to_string(header_.width) + " x " +
             std::to_string(header_.height) + ", " + std::to_string(header_.channels) +
             " channels, " + std::to_string(header_.depth) + " bits");
        document_ = std::make_unique<FileDocument>(header_, std::move(rows));
        std::unique_ptr<ResultFile> resultFile =
            ResultFile::Create(o_.output, format, header_, &error);
        if (!error.empty()) return Fail("cannot write " + o_.output + ": " + error);
        if (resultFile) document_->WriteResultTo(std::move(resultFile));
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
        return kExitOk;
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
        if (mask.width != header_.width || mask.height != header_.height) {
            return Fail("mask " + o_.mask + " is " + std::to_string(mask.width) + " x " +
                        std::to_string(mask.height) + ", the image " +
                        std::to_string(header_.width) + " x " + std::to_string(header_.height));
        }
        std::vector<uint8_t> bytes(mask.samples.size());
        // The filter rectangle is the bounding box of the selected pixels, as in an editor.
        VRect box{mask.height, mask.width, 0, 0};
        for (int32_t y = 0; y < mask.height; ++y) {
            for (int32_t x = 0; x < mask.width; ++x) {
                uint32_t v = mask.At(y, x, 0);
                if (mask.depth == 16) v = (v * 255 + 32767) / 65535;
                bytes[size_t(y) * size_t(mask.width) + size_t(x)] = uint8_t(v);
                if (v != 0) {
                    box.top = std::min(box.top, y);
                    box.left = std::min(box.left, x);
                    box.bottom = std::max(box.bottom, y + 1);
                    box.right = std::max(box.right, x + 1);
                }
            }
        }
        if (box.bottom <= box.top) return Fail("mask " + o_.mask + " selects no pixels");
        filterRect_ = box;
        document_->SetMask(std::move(bytes));
        Note("selection bounds " + RectText(box));
        return kExitOk;
    }

    int RunAbout() {
        HostSession session(nullptr, Settings(), Hooks());
        SessionOutcome outcome = session.About();
        Take(session);
        if (!outcome.Ok()) return Fail(outcome.message);
        FlushWarnings();
        return kExitOk;
    }

    // --- After the module ran
    // ----------------------------------------------------------------------

    int Deliver(HostSession& session) {
        std::string error;
        if (!o_.record.empty()) {
            std::vector<DescriptorItem> items;
            switch (session.RecordedItems(&items)) {
                case HostSession::Recorded::kNone:
                    return Fail("the filter recorded no settings for " + o_.record + NotWritten());
                case HostSession::Recorded::kUnreadable:
                    return Fail("the filter's recorded descriptor is unreadable" + NotWritten());
                case HostSession::Recorded::kOk:
                    break;
            }
            if (!WriteActionFile(o_.record, items, &error)) {
                if (HostOs_InterruptPending())
                    return Fail("interrupted" + NotWritten(), kExitCancelled);
                return Fail("cannot write action file " + o_.record + ": " + error + NotWritten());
            }
            Note("recorded " + std::to_string(items.size()) + " items to " + o_.record);
        }
        const bool written =
            document_->WritesResultFile()
                ? document_->FinishResultFile(&error, nullptr)
                : WriteImageRows(o_.output, outFormat_, header_, document_->ResultRows(), &error);
        if (!written) {
            if (HostOs_InterruptPending())
                return Fail("interrupted" + NotWritten(), kExitCancelled);
            return Fail("cannot write " + o_.output + ": " + error);
        }
        Note("wrote " + o_.output);
        FlushWarnings();
        return kExitOk;
    }

    const HostOptions& o_;
    ProgressBar bar_;
    std::vector<std::string> warnings_;
    Image header_;  // the input's description; its samples live in the document
    std::unique_ptr<FileDocument> document_;
    VRect filterRect_{0, 0, 0, 0};
    ImageFormat outFormat_ = ImageFormat::kUnknown;
    std::vector<DescriptorItem> playItems_;
};

}  // namespace

int RunFilterHost(const HostOptions& options) {
    // From here an interrupt outside the filter's run names what it leaves unwritten.
    const std::string interrupted = "filterhost: interrupted; " + options.output + " not written\n";
    HostOs_InterruptEndsProcess(kExitCancelled, interrupted.c_str());
    Command command(options);
    return command.Run();
}
