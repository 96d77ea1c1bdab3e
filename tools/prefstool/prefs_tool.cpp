// The commands of kolmara-prefs; see prefs_tool.h and README.md.
#include "tools/prefstool/prefs_tool.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "edit/pars_text.h"
#include "edit/prefs.h"
#include "platform/alert.h"
#include "platform/paths.h"
#include "platform/prefs_file.h"
#include "platform/resources.h"
#include "platform/ui_state.h"
#include "resources/ids/strings.h"
#include "tools/prefstool/export_command.h"
#include "tools/prefstool/keenhue_sets.h"
#include "tools/prefstool/prefs_show.h"

namespace {

namespace fs = std::filesystem;

constexpr int32_t kPrefsFileInfo = 131;  // the value the module passes with its preferences file

const char kUsage[] =
    "usage: kolmara-prefs [--prefs PATH] COMMAND [ARGUMENTS]\n"
    "\n"
    "Shows and changes the preferences of the Tintara Kolmara Pro filter.\n"
    "\n"
    "commands:\n"
    "  show                      list every entry of the preferences file\n"
    "  path                      print the path of the preferences file\n"
    "  start MODE                every tool starts with MODE (keenhue, previous, custom, reset)\n"
    "  start --tool N MODE       tool N (1..4) starts with MODE; the tools then start separately\n"
    "  load-custom FILE          load a settings text file as the custom settings\n"
    "  save-custom FILE          write the custom settings to a settings text file\n"
    "  keenhue-sets GROUP... [--saturation X]\n"
    "                            the groups the automatic settings set (exactly these):\n"
    "                            linear, color-balance, black-point, gray-point,\n"
    "                            white-point, brightness, saturation, hue-handles;\n"
    "                            or all, none, defaults; X: preferred saturation 0..1\n"
    "  reset                     replace the preferences with the defaults\n"
    "  threads N|auto            the threads the filter runs on, 1 to 64; auto: one per\n"
    "                            processor (the default; KOLMARA_THREADS overrides both)\n"
    "  window-reset              the editing window opens as it did the first time: the\n"
    "                            colour-balance tab, Neutrals, its own size\n"
    "  repair                    rewrite a damaged file, keeping the entries that can be read\n"
    "  export KIND FILE [OPTIONS]  write the correction as a file that other programs apply:\n"
    "                            huegrid (the filter's transform), cube (3-D LUT),\n"
    "                            abstract (ICC abstract profile, Lab to Lab),\n"
    "                            device-link (ICC RGB device link in the working space),\n"
    "                            edit-profile (a new RGB input or display profile that applies\n"
    "                            the correction first; needs --profile)\n"
    "      --from SETTINGS       previous (default), custom, or a settings text file\n"
    "      --size N              nodes per axis of the LUT and the profile tables (33; 65)\n"
    "      --depth 8|16          bits per channel the Huegrid file is built for (16)\n"
    "      --quality Q           grid-size level 0..7 (default: the preferences')\n"
    "      --profile FILE        the RGB input or display profile that edit-profile starts from\n"
    "      --name TEXT           name in the file's title or description (default: the\n"
    "                            settings' name)\n"
    "\n"
    "options:\n"
    "  --prefs PATH              use this preferences file instead of the filter's own\n"
    "                            ($XDG_CONFIG_HOME/Lumetra/KolmaraPro Plugin Prefs)\n"
    "  -h, --help                show this text\n"
    "\n"
    "exit status: 0 done, 1 a file could not be read or written, 2 bad arguments\n";

// The notices of a reading (a repaired entry, a refused one) are shown as the module shows them;
// the tool has no window, so they become lines on the error stream.
std::ostream* gNoticeStream = nullptr;

int32_t NoticePresenter(UiState*, const Ui_AlertRecord* alert, int16_t* item) {
    if (gNoticeStream != nullptr) {
        *gNoticeStream << "kolmara-prefs: note: " << alert->text;
        if (alert->detail != nullptr) *gNoticeStream << " " << alert->detail;
        *gNoticeStream << "\n";
    }
    *item = 1;
    return kStatusOk;
}

// Opens the call state the module's code expects and restores every process-wide setting the
// tool changed when it goes out of scope.
class Session {
   public:
    explicit Session(std::ostream& err) {
        gNoticeStream = &err;
        Ui_Alert_SetPresenter(NoticePresenter);
        opened_ = Ui_State_Open(&state_, Res_ModuleArchive(), nullptr, kStrAppName, 0);
        prefs_ = std::make_unique<Prefs>();
    }
    ~Session() {
        Ui_State_Close(&state_);
        Ui_Alert_SetPresenter(nullptr);
        gNoticeStream = nullptr;
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool Ok() const { return opened_ == kStatusOk; }
    UiState* State() { return state_; }
    Prefs& Record() { return *prefs_; }

   private:
    UiState* state_ = nullptr;
    int32_t opened_ = kStatusProblem;
    std::unique_ptr<Prefs> prefs_;
};

struct Failure {
    int code;
    std::string message;
};

int Fail(std::ostream& err, int code, const std::string& message) {
    err << "kolmara-prefs: " << message << "\n";
    return code;
}

std::string StatusText(int32_t status) {
    switch (status) {
        case kStatusProblem:
            return "bad argument";
        case kStatusNoMemory:
            return "out of memory";
        case kStatusFileOpen:
            return "cannot open the file";
        case kStatusFileRead:
            return "the file ends early or cannot be read";
        case kStatusFileWrite:
            return "the file could not be written";
        case kStatusFileSeek:
            return "the file cannot be positioned";
        case kStatusFormat:
            return "data not in the expected format";
        default:
            return "status " + std::to_string(status);
    }
}

// The module's own file: string 1003 in the preferences folder, or in the current folder when the
// preferences folder cannot be formed or is too long for it, as the module finds it.
bool DefaultPrefsPath(UiState* state, std::string* path) {
    char name[kPathSize], made[kPathSize];
    Ui_ResToCString(state, kStrPrefsFileName, name);
    if (Ui_Prefs_SetToPath(state, name, made) != kStatusOk) return false;
    *path = made;
    return true;
}

// The file layer cuts paths at 255 characters; a longer one would silently name another file.
bool PathFits(const std::string& path) {
    return !path.empty() && path.size() < size_t(kPathSize);
}

enum class Existing { Missing, Readable, Unusable };

Existing Probe(const std::string& path, std::string* why) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) return Existing::Missing;
        *why = std::strerror(errno);
        return Existing::Unusable;
    }
    if (S_ISDIR(st.st_mode)) {
        *why = "it is a folder";
        return Existing::Unusable;
    }
    if (access(path.c_str(), R_OK) != 0) {
        *why = std::strerror(errno);
        return Existing::Unusable;
    }
    return Existing::Readable;
}

struct Loaded {
    bool existed = false;
    int32_t status = kStatusOk;  // of the reading; non-zero: the file is damaged
};

// Fills the record with the defaults and then with the file, as the module does at its start.
// The container would answer an unreadable file by writing defaults over it; a file that exists
// but cannot be read is therefore refused here before the container sees it.
bool LoadPrefs(Session& s, const std::string& path, Loaded* loaded, Failure* failure) {
    SetPrefsDefaults(&s.Record());
    std::string why;
    switch (Probe(path, &why)) {
        case Existing::Missing:
            loaded->existed = false;
            return true;
        case Existing::Unusable:
            *failure = {kPrefsToolFailed, "cannot read preferences file " + path + ": " + why};
            return false;
        case Existing::Readable:
            break;
    }
    loaded->existed = true;
    int32_t info = kPrefsFileInfo;
    PrefsReadNotes notes{};
    PrefsEntryTarget target{&s.Record(), &notes};
    loaded->status =
        Ui_Prefs_ReadAll(s.State(), path.c_str(), &info, ReadPrefEntry, WritePrefEntries, &target);
    Ui_Failure notice;
    for (int32_t i = 0; PrefsReadNotice(&notes, i, &notice); ++i)
        Ui_Failure_Show(s.State(), &notice);
    return true;
}

std::string DamagedMessage(const std::string& path, int32_t status) {
    return "preferences file " + path + " is damaged (" + StatusText(status) +
           "); 'kolmara-prefs repair' keeps what can be read, 'kolmara-prefs reset' starts afresh";
}

bool SavePrefs(Session& s, const std::string& path, Failure* failure) {
    int32_t info = kPrefsFileInfo;
    PrefsEntryTarget target{&s.Record(), nullptr};
    int32_t status = Ui_Prefs_WriteAll(s.State(), path.c_str(), &info, WritePrefEntries, &target);
    if (status != kStatusOk) {
        *failure = {kPrefsToolFailed,
                    "cannot write preferences file " + path + " (" + StatusText(status) + ")"};
        return false;
    }
    return true;
}

// An absolute, tidied form of a path given on the command line.
std::string Absolute(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(path), ec);
    if (ec) return path;
    return p.lexically_normal().string();
}

std::string FolderOf(const std::string& absolutePath) {
    std::string folder = fs::path(absolutePath).parent_path().string();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

void CopyText(char* field, size_t capacity, const std::string& text) {
    size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, capacity - n);
}

// start [--tool N] MODE
bool SetStart(Prefs& p, const std::vector<std::string>& args, Failure* failure) {
    int tool = 0;
    std::string word;
    if (args.size() == 1) {
        word = args[0];
    } else if (args.size() == 3 && args[0] == "--tool") {
        const std::string& n = args[1];
        if (n.size() == 1 && n[0] >= '1' && n[0] <= '4') tool = n[0] - '0';
        if (tool == 0) {
            *failure = {kPrefsToolUsage, "--tool takes a tool number 1..4, not '" + n + "'"};
            return false;
        }
        word = args[2];
    } else {
        *failure = {kPrefsToolUsage, "usage: kolmara-prefs start [--tool N] MODE"};
        return false;
    }
    int32_t mode = StartModeFromWord(word);
    if (mode < 0) {
        *failure = {kPrefsToolUsage,
                    "unknown start mode '" + word + "' (keenhue, previous, custom or reset)"};
        return false;
    }
    // The preferences dialog refuses the same choice: without loaded custom settings a tool
    // would start from the reset values while the user believes it starts from theirs.
    if (mode == kStartCustom && p.customName[0] == 0) {
        *failure = {kPrefsToolFailed,
                    "no custom settings are loaded; run 'kolmara-prefs load-custom FILE' first"};
        return false;
    }
    if (tool == 0) {
        p.startWith = mode;
        p.startAllSame = 1;
        return true;
    }
    // While all tools start the same way, entry 64 is what every tool does; the other tools keep
    // doing that when one tool is given its own mode.
    if (p.startAllSame == 1) {
        for (int32_t& m : p.startTool) m = p.startWith;
    }
    p.startAllSame = 0;
    p.startTool[tool - 1] = mode;
    return true;
}

bool LoadCustom(Prefs& p, const std::string& file, std::ostream& err, Failure* failure) {
    std::string path = Absolute(file);
    std::string why;
    Existing e = Probe(path, &why);
    if (e == Existing::Missing) why = "no such file";
    if (e != Existing::Readable) {
        *failure = {kPrefsToolFailed, "cannot read settings file " + file + ": " + why};
        return false;
    }
    if (!PathFits(path)) {
        *failure = {kPrefsToolFailed, "settings file path longer than 255 characters: " + path};
        return false;
    }
    auto pars = std::make_unique<EditPars>();
    SetParsDefaults(pars.get());
    int32_t status = ReadParsText(path.c_str(), pars.get());
    if (status == kStatusUnsupported) {
        err << "kolmara-prefs: note: a sharpen or noise value in " << file
            << " was out of range and took its default\n";
    } else if (status == kStatusFormat) {
        *failure = {kPrefsToolFailed, file +
                                          " is not a settings text file (a line does not hold "
                                          "the numbers it should, or one is missing)"};
        return false;
    } else if (status == kStatusProblem) {
        *failure = {kPrefsToolFailed, file +
                                          " holds values outside their ranges; nothing was "
                                          "loaded"};
        return false;
    } else if (status != kStatusOk) {
        *failure = {kPrefsToolFailed,
                    "cannot read settings file " + file + " (" + StatusText(status) + ")"};
        return false;
    }
    p.customSettings = *pars;
    CopyText(p.customName, sizeof p.customName, fs::path(path).filename().string());
    CopyText(p.customFolder, sizeof p.customFolder, FolderOf(path));
    return true;
}

bool SaveCustom(Prefs& p, const std::string& file, std::ostream& err, Failure* failure) {
    std::string path = Absolute(file);
    if (!PathFits(path)) {
        *failure = {kPrefsToolFailed, "settings file path longer than 255 characters: " + path};
        return false;
    }
    if (p.customName[0] == 0) {
        err << "kolmara-prefs: note: no custom settings are loaded; writing the reset settings\n";
    }
    int32_t status = WriteParsText(&p.customSettings, path.c_str());
    if (status != kStatusOk) {
        *failure = {kPrefsToolFailed,
                    "cannot write settings file " + file + " (" + StatusText(status) + ")"};
        return false;
    }
    // As the editing window's "Save Custom...", the folder becomes the custom settings folder.
    CopyText(p.customFolder, sizeof p.customFolder, FolderOf(path));
    return true;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string prefsPath;
    bool havePrefsPath = false;
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            out << kUsage;
            return kPrefsToolOk;
        }
        if (a == "--prefs" && rest.empty()) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                return Fail(err, kPrefsToolUsage, "--prefs needs a path");
            }
            prefsPath = args[++i];
            havePrefsPath = true;
            continue;
        }
        rest.push_back(a);
    }
    if (rest.empty()) return Fail(err, kPrefsToolUsage, "no command given (try --help)");
    const std::string command = rest[0];
    const std::vector<std::string> operands(rest.begin() + 1, rest.end());

    static const char* const kCommands[] = {"show",         "path",   "start",        "load-custom",
                                            "save-custom",  "reset",  "window-reset", "repair",
                                            "keenhue-sets", "export", "threads"};
    bool known = false;
    for (const char* c : kCommands) known = known || command == c;
    if (!known) return Fail(err, kPrefsToolUsage, "unknown command '" + command + "' (try --help)");
    size_t wanted =
        (command == "load-custom" || command == "save-custom" || command == "threads") ? 1 : 0;
    if (command != "start" && command != "keenhue-sets" && command != "export" &&
        operands.size() != wanted) {
        return Fail(
            err, kPrefsToolUsage,
            "'" + command + "' takes " +
                (command == "threads" ? "one count" : (wanted ? "one file name" : "no arguments")));
    }
    for (const std::string& o : operands) {
        if (o.empty()) return Fail(err, kPrefsToolUsage, "empty argument");
    }
    // Parsed before any file is touched, so that a typing error changes nothing.
    KeenhueSets keenhue;
    std::string why;
    if (command == "keenhue-sets" && !ParseKeenhueSets(operands, &keenhue, &why)) {
        return Fail(err, kPrefsToolUsage, why);
    }
    ExportCommand exportCommand;
    if (command == "export" && !ParseExportCommand(operands, &exportCommand, &why)) {
        return Fail(err, kPrefsToolUsage, why);
    }
    int32_t threads = 0;  // "auto": one per processor
    if (command == "threads" && operands[0] != "auto") {
        char* end = nullptr;
        const long n = std::strtol(operands[0].c_str(), &end, 10);
        if (*end != '\0' || n < 1 || n > 64) {
            return Fail(err, kPrefsToolUsage, "'threads' takes a count from 1 to 64, or auto");
        }
        threads = int32_t(n);
    }

    Session session(err);
    if (!session.Ok()) return Fail(err, kPrefsToolFailed, "cannot set up (out of memory)");
    if (havePrefsPath) {
        prefsPath = Absolute(prefsPath);
    } else if (!DefaultPrefsPath(session.State(), &prefsPath)) {
        return Fail(err, kPrefsToolFailed, "cannot form the preferences folder (is $HOME set?)");
    }
    // The container writes through a temporary name made from the path and keeps a damaged file
    // as path + ".damaged": a path must leave room for them, or every write of it would fail.
    if (!Ui_Prefs_PathFits(prefsPath.c_str())) {
        return Fail(err, kPrefsToolFailed,
                    "preferences path longer than " + std::to_string(kPrefsPathMax) +
                        " characters: " + prefsPath);
    }
    if (command == "path") {
        out << prefsPath << "\n";
        return kPrefsToolOk;
    }

    Failure failure{kPrefsToolOk, ""};
    Prefs& prefs = session.Record();
    if (command == "reset") {
        SetPrefsDefaults(&prefs);
        if (!SavePrefs(session, prefsPath, &failure))
            return Fail(err, failure.code, failure.message);
        out << "preferences reset to their defaults: " << prefsPath << "\n";
        return kPrefsToolOk;
    }

    Loaded loaded;
    if (!LoadPrefs(session, prefsPath, &loaded, &failure)) {
        return Fail(err, failure.code, failure.message);
    }
    if (command == "repair") {
        if (!SavePrefs(session, prefsPath, &failure))
            return Fail(err, failure.code, failure.message);
        if (loaded.status != kStatusOk) {
            out << "preferences file repaired (" << StatusText(loaded.status)
                << "); entries after the damage are at their defaults: " << prefsPath << "\n";
        } else {
            out << "preferences file rewritten: " << prefsPath << "\n";
        }
        return kPrefsToolOk;
    }
    if (loaded.status != kStatusOk) {
        return Fail(err, kPrefsToolFailed, DamagedMessage(prefsPath, loaded.status));
    }

    if (command == "show") {
        out << "preferences file: " << prefsPath
            << (loaded.existed ? "" : " (does not exist yet; the defaults are shown)") << "\n";
        int32_t status = ShowPrefs(prefs, session.State(), out);
        if (status != kStatusOk) {
            return Fail(err, kPrefsToolFailed,
                        "cannot list the preferences (" + StatusText(status) + ")");
        }
        return kPrefsToolOk;
    }

    // Exporting reads the settings and writes a file of its own; the preferences stay as they are.
    if (command == "export")
        return RunExportCommand(exportCommand, prefs, session.State(), out, err);

    bool changed = false;
    std::string note;
    if (command == "start") {
        changed = SetStart(prefs, operands, &failure);
    } else if (command == "load-custom") {
        changed = LoadCustom(prefs, operands[0], err, &failure);
    } else if (command == "save-custom") {
        changed = SaveCustom(prefs, operands[0], err, &failure);
    } else if (command == "keenhue-sets") {
        note = ApplyKeenhueSets(keenhue, &prefs);
        changed = true;
    } else if (command == "threads") {
        prefs.threads = threads;
        changed = true;
    } else if (command == "window-reset") {
        auto defaults = std::make_unique<Prefs>();
        SetPrefsDefaults(defaults.get());
        prefs.lastTab = defaults->lastTab;
        prefs.lastMethod = defaults->lastMethod;
        prefs.windowWidth = defaults->windowWidth;
        prefs.windowHeight = defaults->windowHeight;
        changed = true;
    }
    if (!changed) return Fail(err, failure.code, failure.message);
    if (!SavePrefs(session, prefsPath, &failure)) return Fail(err, failure.code, failure.message);
    if (!note.empty()) err << "kolmara-prefs: note: " << note << "\n";

    if (command == "start") {
        if (prefs.startAllSame == 1) {
            out << "all tools start with " << StartModeWord(prefs.startWith) << "\n";
        } else {
            out << "tools start with";
            for (int i = 0; i < 4; ++i)
                out << " " << (i + 1) << ":" << StartModeWord(prefs.startTool[i]);
            out << "\n";
        }
    } else if (command == "load-custom") {
        out << "custom settings loaded from " << prefs.customFolder << prefs.customName << "\n";
    } else if (command == "window-reset") {
        out << "the editing window opens on the first tab at its own size\n";
    } else if (command == "threads") {
        out << "the filter runs on "
            << (prefs.threads == 0
                    ? std::string("one thread per processor")
                    : std::to_string(prefs.threads) + " thread" + (prefs.threads == 1 ? "" : "s"))
            << "\n";
    } else if (command == "keenhue-sets") {
        out << "Keenhue sets " << KeenhueGroupWords(prefs.keenhueMask) << " (mask "
            << prefs.keenhueMask << "); preferred saturation " << prefs.preferredSaturation << "\n";
    } else {
        out << "custom settings written to " << Absolute(operands[0]) << "\n";
    }
    return kPrefsToolOk;
}

}  // namespace

const char* PrefsToolUsage() {
    return kUsage;
}

int RunPrefsTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return Run(args, out, err);
}
