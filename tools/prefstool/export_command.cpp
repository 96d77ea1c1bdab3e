// kolmara-prefs export; see export_command.h.
#include "tools/prefstool/export_command.h"

#include <filesystem>
#include <memory>

#include "edit/export/export.h"
#include "edit/pars_text.h"
#include "edit/prefs.h"
#include "edit/settings_text.h"
#include "engine/huegrid_build.h"
#include "platform/alert.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/format.h"
#include "platform/resources.h"
#include "resources/ids/strings.h"

namespace {

namespace fs = std::filesystem;

bool ParseInt(const std::string& text, int32_t lo, int32_t hi, int32_t* value) {
    if (text.empty() || text.size() > 6) return false;
    int32_t v = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9') return false;
        v = v * 10 + (ch - '0');
    }
    if (!(lo <= v && v <= hi)) return false;
    *value = v;
    return true;
}

std::string Absolute(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(path), ec);
    return ec ? path : p.lexically_normal().string();
}

std::string StemOf(const std::string& path) {
    return fs::path(path).stem().string();
}

// "<message> while <phrase>. <hint>" as the filter's alert would say it.
std::string AlertText(UiState* state, const Ui_Failure& failure) {
    char buffer[kPathSize];
    std::string text = Ui_ResToCString(state, Ui_Alert_MessageId(failure.status), buffer);
    if (failure.textId != 0) {
        char phrase[2 * kPathSize];
        Str_FormatPhrase(phrase, sizeof phrase, Ui_ResToCString(state, failure.textId, buffer),
                         failure.number, failure.name);
        text += std::string(Ui_ResToCString(state, kStrWhile, buffer)) + phrase;
    }
    text += ".";
    int32_t hint = failure.hintId != 0 ? failure.hintId : Ui_Alert_HintId(failure.status);
    if (hint != 0) text += std::string(" ") + Ui_ResToCString(state, hint, buffer);
    // One line: the hints' paragraph breaks belong to the alert box.
    std::string line;
    for (char ch : text) {
        if (ch == '\n') {
            if (!line.empty() && line.back() != ' ') line += ' ';
        } else {
            line += ch;
        }
    }
    return line;
}

// The settings to export and their name; false with a message when they cannot be had.
bool LoadSettings(const ExportCommand& c, const Prefs& prefs, EditPars* pars, std::string* name,
                  std::ostream& err, std::string* why) {
    if (c.from == "previous") {
        *pars = prefs.previousSettings;
        *name = "previous settings";
        return true;
    }
    if (c.from == "custom") {
        if (prefs.customName[0] == 0) {
            *why = "no custom settings are loaded; run 'kolmara-prefs load-custom FILE' first";
            return false;
        }
        *pars = prefs.customSettings;
        *name = StemOf(prefs.customName);
        return true;
    }
    const std::string path = Absolute(c.from);
    if (path.size() >= size_t(kPathSize)) {
        *why = "settings file path longer than 255 characters: " + path;
        return false;
    }
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        *why = "cannot read settings file " + c.from + ": no such file";
        return false;
    }
    SetParsDefaults(pars);
    int32_t status = ReadParsText(path.c_str(), pars);
    if (status == kStatusFormat) {
        // A file of the colour lines alone serves as well: the export has no use for the
        // sharpen and noise part.
        FLSpec spec;
        FLSpecDisk(&spec, path.c_str());
        SetParsDefaults(pars);
        status = HgReadSettings(pars, &spec);
    }
    if (status == kStatusUnsupported) {
        err << "kolmara-prefs: note: a sharpen or noise value in " << c.from
            << " was out of range and took its default\n";
    } else if (status == kStatusFormat) {
        *why = c.from + " is not a settings text file (version 5)";
        return false;
    } else if (status == kStatusProblem) {
        *why = c.from + " holds values outside their ranges";
        return false;
    } else if (status != kStatusOk) {
        *why = "cannot read settings file " + c.from;
        return false;
    }
    *name = StemOf(path);
    return true;
}

const char* KindWords[] = {"huegrid", "cube", "abstract", "device-link", "edit-profile"};
const char* KindLabels[] = {"Huegrid file", "cube LUT", "abstract profile", "device link",
                            "edited profile"};

}  // namespace

bool ParseExportCommand(const std::vector<std::string>& operands, ExportCommand* c,
                        std::string* why) {
    std::vector<std::string> positional;
    for (size_t i = 0; i < operands.size(); ++i) {
        const std::string& a = operands[i];
        if (a.size() > 2 && a[0] == '-' && a[1] == '-') {
            if (i + 1 >= operands.size() || operands[i + 1].empty()) {
                *why = a + " needs a value";
                return false;
            }
            const std::string& v = operands[++i];
            if (a == "--from") {
                c->from = v;
            } else if (a == "--size") {
                if (!ParseInt(v, 2, 255, &c->nodes)) {
                    *why = "--size takes the nodes per axis, 2..255 (33 or 65 usually), not '" + v +
                           "'";
                    return false;
                }
            } else if (a == "--depth") {
                if (v != "8" && v != "16") {
                    *why = "--depth takes 8 or 16, not '" + v + "'";
                    return false;
                }
                c->bits = v == "8" ? 8 : 16;
            } else if (a == "--quality") {
                if (!ParseInt(v, 0, kHgQualityMax, &c->quality)) {
                    *why = "--quality takes a grid-size level 0..7, not '" + v + "'";
                    return false;
                }
            } else if (a == "--profile") {
                c->profile = v;
            } else if (a == "--name") {
                c->name = v;
            } else {
                *why = "unknown export option '" + a + "'";
                return false;
            }
            continue;
        }
        positional.push_back(a);
    }
    if (positional.size() != 2) {
        *why = "usage: kolmara-prefs export KIND FILE [OPTIONS] (see --help)";
        return false;
    }
    c->kind = -1;
    for (int32_t k = 0; k < 5; ++k) {
        if (positional[0] == KindWords[k]) c->kind = k;
    }
    if (c->kind < 0) {
        *why = "unknown export kind '" + positional[0] +
               "' (huegrid, cube, abstract, device-link or edit-profile)";
        return false;
    }
    c->output = positional[1];
    if (c->from.empty()) c->from = "previous";
    if (c->kind == kExportKindEditProfile && c->profile.empty()) {
        *why = "edit-profile needs the profile to start from: --profile FILE";
        return false;
    }
    if (c->kind != kExportKindEditProfile && !c->profile.empty()) {
        *why = "--profile belongs to edit-profile only";
        return false;
    }
    return true;
}

int RunExportCommand(const ExportCommand& c, const Prefs& prefs, UiState* state, std::ostream& out,
                     std::ostream& err) {
    auto pars = std::make_unique<EditPars>();
    std::string name, why;
    if (!LoadSettings(c, prefs, pars.get(), &name, err, &why)) {
        err << "kolmara-prefs: " << why << "\n";
        return 1;
    }
    if (!c.name.empty()) name = c.name;
    const std::string output = Absolute(c.output);
    const std::string profile = c.profile.empty() ? std::string() : Absolute(c.profile);
    if (output.size() >= size_t(kPathSize) || profile.size() >= size_t(kPathSize)) {
        err << "kolmara-prefs: path longer than 255 characters\n";
        return 1;
    }

    ExportSettings settings{};
    settings.editPars = pars.get();
    settings.workingSpace = &pars->refRGB;  // the space the settings were made in
    settings.gridLevel = c.quality >= 0 ? c.quality : prefs.gridLevel;
    settings.bitsPerChannel = c.bits;
    settings.lutNodes = c.nodes;
    settings.documentName = name.c_str();
    settings.state = state;
    Ui_Failure failure;
    int32_t status = kStatusOk;
    switch (c.kind) {
        case kExportKindHuegrid:
            status = ExportCreateHuegrid(&settings, kExportHuegridStream, output.c_str(), &failure);
            break;
        case kExportKindCube:
            status = ExportCreateHuegrid(&settings, kExportCubeLut, output.c_str(), &failure);
            break;
        case kExportKindAbstract:
            status =
                ExportCreateProfile(&settings, kExportAbstractProfile, output.c_str(), &failure);
            break;
        case kExportKindDeviceLink:
            status = ExportCreateProfile(&settings, kExportDeviceLink, output.c_str(), &failure);
            break;
        default:
            status = ExportEditProfile(&settings, profile.c_str(), output.c_str(), &failure);
            break;
    }
    if (status != kStatusOk) {
        err << "kolmara-prefs: " << AlertText(state, failure) << "\n";
        return 1;
    }
    const SharpenNoise& sn = pars->sharpenNoise;
    if (sn.sharpenOn || sn.noiseOn) {
        err << "kolmara-prefs: note: sharpening and noise removal work on neighbouring pixels "
               "and are not part of the file\n";
    }
    out << "wrote " << KindLabels[c.kind] << " (" << name << ", grid-size level "
        << settings.gridLevel;
    if (c.kind == kExportKindHuegrid) {
        out << ", " << c.bits << "-bit";
    } else {
        out << ", " << c.nodes << " nodes per axis";
    }
    out << "): " << output << "\n";
    return 0;
}
