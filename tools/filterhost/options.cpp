// Command-line parsing for filterhost.
#include "tools/filterhost/options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "tools/hostlib/host_os.h"
#include "tools/hostlib/host_services.h"

namespace {

// Bytes with an optional binary suffix K, M or G.
bool ParseBytes(const std::string& text, int64_t* bytes) {
    if (text.empty() || text[0] == '-') return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str()) return false;
    std::string suffix = end;
    int shift = 0;
    if (suffix == "k" || suffix == "K") {
        shift = 10;
    } else if (suffix == "m" || suffix == "M") {
        shift = 20;
    } else if (suffix == "g" || suffix == "G") {
        shift = 30;
    } else if (!suffix.empty()) {
        return false;
    }
    if (v > (ULLONG_MAX >> shift)) return false;
    v <<= shift;
    if (v < 1 || v > uint64_t(INT32_MAX)) return false;
    *bytes = int64_t(v);
    return true;
}

}  // namespace

const char* UsageText() {
    return "usage: filterhost [options] INPUT OUTPUT\n"
           "       filterhost --about [--plugin PATH]\n"
           "Runs a filter module on an image file (TIFF, PNG, JPEG or PAM; 8 or 16 bits; RGB or\n"
           "RGBA) and writes the result as TIFF, PNG, JPEG or PAM by OUTPUT's extension. OUTPUT "
           "is\n"
           "written only when the filter succeeds. The Windows build: PAM and uncompressed TIFF.\n"
           "  --plugin PATH       the module (default: KolmaraPro.so, on Windows KolmaraPro.8bf,\n"
           "                      next to filterhost; installed: beside the GIMP plug-in)\n"
           "  --dialog            show the filter's window (default: run without it)\n"
           "  --play FILE         replay the settings recorded in an action file\n"
           "  --record FILE       save the filter's settings of this run as an action file\n"
           "  --mask FILE         a grey image of the same size: the selection\n"
           "  --max-space BYTES   memory offered to the filter (suffix K, M or G; default 1G)\n"
           "  --threads N         threads the filter uses, 1 to 64 (default: its preferences,\n"
           "                      which default to one per processor)\n"
           "  --pick R,G,B        the colour picker's answer, for scripts (default: with --dialog\n"
           "                      on a display the system's colour chooser, else no picker)\n"
           "  --monitor SPACE     working space: srgb, adobergb or gamma,rx,ry,gx,gy,bx,by,wx,wy\n"
           "  --no-monitor        pass no working space (the filter uses its own default)\n"
           "  --about             show the filter's about box\n"
           "  --ignore-pipl       run even where the module's PiPL does not offer the filter\n"
           "  --progress, --no-progress   draw the progress bar always / never\n"
           "  --verbose           report each host call on stderr\n"
           "  --help              this text\n"
           "Exit status: 0 done, 1 failed, 2 usage error, 3 cancelled or interrupted.\n";
}

std::string DefaultPluginPath() {
    const std::string folder = HostOs_ProgramFolder();
    const std::string beside = folder + HostOs_DefaultModuleName();
#ifdef KOLMARA_INSTALLED_MODULE
    // An installed filterhost finds the module where the installation put it, beside the GIMP
    // plug-in. The place is kept relative to the program's folder, so that an installation
    // unpacked under another root (a test, a package's staging folder) finds its own module.
    // The path is normalised: the module derives its folder (and the user guide's address)
    // from it, and paths in the module are limited in length.
    std::error_code error;
    if (!folder.empty() && !std::filesystem::exists(beside, error)) {
        const std::filesystem::path installed =
            std::filesystem::path(folder + KOLMARA_INSTALLED_MODULE).lexically_normal();
        if (std::filesystem::exists(installed, error)) return installed.string();
    }
#endif
    return beside;
}

bool ParseOptions(int argc, char** argv, HostOptions* o, std::string* error) {
    *o = HostOptions();
    o->monitor = DefaultMonitor();
    std::string positional[2];
    int positionals = 0;
    bool monitorGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasInlineValue = false;
        if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
            value = arg.substr(arg.find('=') + 1);
            arg = arg.substr(0, arg.find('='));
            hasInlineValue = true;
        }
        auto takeValue = [&](std::string* out) {
            if (hasInlineValue) {
                *out = value;
            } else if (i + 1 < argc) {
                *out = argv[++i];
            } else {
                *error = arg + " needs a value";
                return false;
            }
            if (out->empty()) {
                *error = arg + " needs a value";
                return false;
            }
            return true;
        };
        auto flag = [&](bool* out) {
            if (hasInlineValue) {
                *error = arg + " takes no value";
                return false;
            }
            *out = true;
            return true;
        };
        bool ok = true;
        if (arg == "--plugin") {
            ok = takeValue(&o->plugin);
        } else if (arg == "--play") {
            ok = takeValue(&o->play);
        } else if (arg == "--record") {
            ok = takeValue(&o->record);
        } else if (arg == "--mask") {
            ok = takeValue(&o->mask);
        } else if (arg == "--max-space") {
            std::string text;
            ok = takeValue(&text);
            if (ok && !ParseBytes(text, &o->maxSpace)) {
                *error = "--max-space takes a byte count from 1 to 2147483647 (suffix K, M or G)";
                ok = false;
            }
        } else if (arg == "--threads") {
            std::string text;
            ok = takeValue(&text);
            char* end = nullptr;
            const long n = ok ? std::strtol(text.c_str(), &end, 10) : 0;
            if (ok && (text.empty() || *end != '\0' || n < 1 || n > 64)) {
                *error = "--threads takes a number from 1 to 64";
                ok = false;
            }
            o->threads = int(n);
        } else if (arg == "--pick") {
            std::string text;
            ok = takeValue(&text) && ParsePick(text, o->pick, error);
            o->havePick = ok;
        } else if (arg == "--monitor") {
            std::string text;
            ok = takeValue(&text) && ParseMonitor(text, &o->monitor, error);
            monitorGiven = true;
        } else if (arg == "--no-monitor") {
            bool off = false;
            ok = flag(&off);
            o->haveMonitor = false;
        } else if (arg == "--dialog") {
            ok = flag(&o->dialog);
        } else if (arg == "--about") {
            ok = flag(&o->about);
        } else if (arg == "--ignore-pipl") {
            ok = flag(&o->ignorePipl);
        } else if (arg == "--verbose") {
            ok = flag(&o->verbose);
        } else if (arg == "--progress" || arg == "--no-progress") {
            bool on = false;
            ok = flag(&on);
            o->progress = arg == "--progress" ? 1 : 0;
        } else if (arg == "--help" || arg == "-h") {
            o->help = true;
            return true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            *error = "unknown option " + arg;
            ok = false;
        } else if (positionals < 2) {
            positional[positionals++] = arg;
        } else {
            *error = "too many arguments: " + arg;
            ok = false;
        }
        if (!ok) return false;
    }
    if (monitorGiven && !o->haveMonitor) {
        *error = "--monitor and --no-monitor exclude each other";
        return false;
    }
    if (o->plugin.empty()) o->plugin = DefaultPluginPath();
    if (o->about) {
        if (positionals != 0) {
            *error = "--about takes no INPUT or OUTPUT";
            return false;
        }
        return true;
    }
    if (positionals != 2) {
        *error = "expected INPUT and OUTPUT";
        return false;
    }
    o->input = positional[0];
    o->output = positional[1];
    return true;
}
