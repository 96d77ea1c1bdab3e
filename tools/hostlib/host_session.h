// One filter run as an image editor drives it, over a document (host_document.h): the front ends
// (the filterhost command, the GIMP plug-in) decide where the pixels come from and go to; this is
// everything in between, so that both serve the module the same host.
//
// Load() reads the module's PiPL from its file and refuses, as an editor greys out the menu item,
// when the filter is not offered for the document (pipl_check.h), then loads the module with
// dlopen (it stays loaded until the process ends) and finds its entry point. Run() drives the
// selectors in the host's order: Parameters (skipped when an action is replayed, as an editor
// does; the module then builds its blocks itself), Prepare, Start (the module pulls its strips
// with advanceState), Continue for as long as the module leaves a rectangle to serve, Finish.
// Without the window the host passes a descriptor (the replayed one, or an empty one) with the
// don't-display flag, which is how an editor runs a filter without its window; with the window it
// passes the display flag and, for a menu run, no descriptor. Every call starts with the result
// 0; a non-zero result stops the run. When Run() answers kOk the document's result holds the
// filter's output; otherwise the front end must not use it.
//
// The record: `imageSize`, `planes`, `filterRect`, `imageMode`, `depth`, resolution, white
// background, black foreground, `haveMask`, `filterCase`, `maxSpace`, padding support,
// `samplingSupport` = integral, `monitor`, `platformData` (the editor's window, when the front end
// names one), `bigDocumentData`, and the procedures: advanceState (strip_server.h), abortProc and
// progressProc (the front end's hooks), displayPixels, the handle, property and colour suites
// (host_services.h, handle_suite.h) and the descriptor suites (descriptors.h).
//
// Messages are one phrase without a prefix; the front end adds its own. Warnings about the
// module's use of the host (handles it did not dispose of, buffers beyond the maxSpace it agreed,
// memory reports in its debug log) are collected for the front end to show.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hostsdk/filter_record.h"
#include "tools/hostlib/descriptors.h"
#include "tools/hostlib/host_document.h"
#include "tools/hostlib/host_services.h"

struct SessionSettings {
    std::string plugin;  // the module file
    // The entry point of a module linked into this process (the benchmarks time the module's own
    // code this way); no file is read or loaded then, and `plugin` only names it in messages.
    PluginMainProc linkedEntry = nullptr;
    bool ignorePipl = false;
    bool dialog = false;  // show the filter's window (playInfo = display)
    // The editor's window the filter's window belongs to (platformData's window handle: on X the
    // window id, on Windows the HWND); 0 for none, as filterhost has.
    uintptr_t parentWindow = 0;
    bool replay = false;  // an action is replayed: Parameters is skipped, playItems are offered
    std::vector<DescriptorItem> playItems;
    int64_t maxSpace = int64_t(1) << 30;
    bool haveMonitor = true;  // false: the monitor record stays all zero
    PlugInMonitor monitor{};
    std::string title;  // the document title ('titl'), also naming the image in messages
    bool havePick = false;
    int pick[3] = {0, 0, 0};  // the colour picker's answer, 0..255 each
    double resolution[2] = {72.0, 72.0};
    VRect filterRect{0, 0, 0, 0};  // the selection's bounds; empty: the whole document
};

struct SessionHooks {
    std::function<bool()> aborted;  // the user asked to stop (abortProc; advanceState answers -128)
    std::function<void(int32_t done, int32_t total)> progress;  // progressProc
    std::function<void()> callReturned;                         // after every selector call
    std::function<void(const std::string&)> note;               // report lines; null: no report
    // The editor's colour picker for a person (host_services.h); null: the host offers none
    // unless the settings give its answer.
    ColorChooser chooseColor;
};

enum class SessionResult { kOk, kFailed, kCancelled };

struct SessionOutcome {
    SessionResult result = SessionResult::kOk;
    std::string message;  // empty for kOk
    bool Ok() const { return result == SessionResult::kOk; }
};

class HostSession {
   public:
    // The document is kept, not owned. One session runs at a time in a process.
    HostSession(HostDocument* document, const SessionSettings& settings, SessionHooks hooks);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    SessionOutcome Load();
    SessionOutcome Run();
    // Loads the module without a document check and calls the About selector only.
    SessionOutcome About();

    // The descriptor the filter wrote at Finish.
    enum class Recorded { kNone, kUnreadable, kOk };
    Recorded RecordedItems(std::vector<DescriptorItem>* items) const;

    // Warnings collected so far, in order; taking them empties the list.
    std::vector<std::string> TakeWarnings();

   private:
    struct State;
    std::unique_ptr<State> s_;
};
