// The Windows resource script of the module. What it holds:
// - STRINGTABLE: every string, as UTF-16 (the module converts to the ANSI code page on loading);
// - every other entry under a resource type named by its four characters without trailing
//   blanks ("DLG", "BMP"; the help text "HELPTEXT"), with the archive's exact bytes: the platform
//   layer reads them as it reads the archive on Linux;
// - the host's resources under the host's own types: "PIPL" and "AETE", id 16000, in the
//   host's binary layout (as piplgen writes them);
// - the Windows forms beside them: DIALOGEX for every dialog template (dialog units as they
//   are, items with their numbers, user items of the window class "UiUserItem"), BITMAP for
//   every bitmap, and the version resource.
#include "rc_writer.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

namespace {

constexpr uint32_t Code(const char (&t)[5]) {
    return (uint32_t(uint8_t(t[0])) << 24) | (uint32_t(uint8_t(t[1])) << 16) |
           (uint32_t(uint8_t(t[2])) << 8) | uint32_t(uint8_t(t[3]));
}
constexpr uint32_t kString = Code("STR ");
constexpr uint32_t kDialog = Code("DLG ");
constexpr uint32_t kBitmap = Code("BMP ");
constexpr uint32_t kPiPL = Code("PiPL");
constexpr uint32_t kTerminology = Code("aete");
constexpr uint32_t kVersionString = 1005;

constexpr uint32_t kHelp = Code("HELP");

// Must agree with TypeName in platform/resources_win32.cpp.
std::string TypeName(uint32_t type) {
    if (type == kPiPL) return "PIPL";
    if (type == kTerminology) return "AETE";
    if (type == kHelp) return "HELPTEXT";        // HELP is a word of the resource script's language
    if (type == Code("ICON")) return "ICONBMP";  // so is ICON, for another format
    std::string name;
    for (int shift = 24; shift >= 0; shift -= 8) {
        char c = char((type >> shift) & 0xFF);
        if (c == ' ') break;
        name += char('a' <= c && c <= 'z' ? c - 'a' + 'A' : c);
    }
    return name;
}

// UTF-8 to code points; a malformed byte stands for itself, so nothing is dropped silently.
std::vector<uint32_t> CodePoints(const std::string& text) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < text.size();) {
        uint8_t b = uint8_t(text[i]);
        int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
        uint32_t c = extra == 0 ? b : b & (0x3F >> extra);
        bool ok = i + size_t(extra) < text.size() + (extra == 0 ? 1 : 0);
        for (int k = 1; ok && k <= extra; ++k) {
            uint8_t next = uint8_t(text[i + size_t(k)]);
            ok = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        if (!ok) {
            c = b;
            extra = 0;
        }
        out.push_back(c);
        i += size_t(extra) + 1;
    }
    return out;
}

// A wide string literal for the resource compiler: printable ASCII as it is (quotes doubled),
// everything else as a \x escape of its UTF-16 units.
std::string WideLiteral(const std::string& text) {
    std::string out = "L\"";
    char buffer[16];
    auto unit = [&](uint32_t u) {
        std::snprintf(buffer, sizeof buffer, "\\x%04x", unsigned(u));
        out += buffer;
    };
    for (uint32_t c : CodePoints(text)) {
        if (c == '"') {
            out += "\"\"";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (0x20 <= c && c < 0x7F) {
            out += char(c);
        } else if (c >= 0x10000) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c);
        }
    }
    return out + "\"";
}

// The words of a template line: blank-separated, texts in double quotes with \" \\ \n.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    for (size_t i = 0; i < line.size();) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
            continue;
        }
        std::string word;
        if (line[i] == '"') {
            word = "\"";
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] == '\\' && i + 1 < line.size()) {
                    ++i;
                    word += line[i] == 'n' ? '\n' : line[i];
                } else {
                    word += line[i];
                }
            }
            ++i;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
                word += line[i++];
            }
        }
        words.push_back(word);
    }
    return words;
}

bool Has(const std::vector<std::string>& words, size_t from, const std::string& flag) {
    for (size_t i = from; i < words.size(); ++i) {
        if (words[i] == flag) return true;
    }
    return false;
}

// One item line "item N NAME KIND X Y W H "TEXT" FLAG..." as a DIALOGEX control; names are
// optional in templates, so the kind is found after the number and an optional name.
bool ItemLine(const std::vector<std::string>& w, std::string* out) {
    size_t k = 2;
    if (k < w.size() && 'A' <= w[k][0] && w[k][0] <= 'Z') ++k;
    if (w.size() < k + 6) return false;
    const std::string& kind = w[k];
    std::string id = w[1], rect = w[k + 1] + ", " + w[k + 2] + ", " + w[k + 3] + ", " + w[k + 4];
    std::string text = WideLiteral(w[k + 5].substr(w[k + 5][0] == '"' ? 1 : 0));
    size_t flags = k + 6;
    // A CONTROL statement is visible unless its style says otherwise (the resource compiler adds
    // WS_VISIBLE itself): a hidden item must take it away with NOT, at the end, after what adds it.
    const bool hidden = Has(w, flags, "hidden");
    std::string style = hidden ? "WS_CHILD" : "WS_CHILD | WS_VISIBLE";
    if (Has(w, flags, "disabled")) style += " | WS_DISABLED";
    if (Has(w, flags, "border")) style += " | WS_BORDER";
    std::string cls, own;
    if (kind == "button") {
        cls = "\"Button\"";
        own = Has(w, flags, "default") ? "BS_DEFPUSHBUTTON" : "BS_PUSHBUTTON";
        own += " | WS_TABSTOP";
    } else if (kind == "check") {
        cls = "\"Button\"";
        own = Has(w, flags, "auto") ? "BS_AUTOCHECKBOX" : "BS_CHECKBOX";
        own += " | WS_TABSTOP";
    } else if (kind == "combo") {
        cls = "\"ComboBox\"";
        own = "CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP";
        text = "L\"\"";
    } else if (kind == "static") {
        cls = "\"Static\"";
        own = Has(w, flags, "center")  ? "SS_CENTER"
              : Has(w, flags, "right") ? "SS_RIGHT"
                                       : "SS_LEFT";
        if (Has(w, flags, "nowrap")) own = "SS_LEFTNOWORDWRAP";
    } else if (kind == "edit") {
        cls = "\"Edit\"";
        own = "ES_AUTOHSCROLL | WS_TABSTOP | WS_BORDER";
        if (Has(w, flags, "multiline")) own += " | ES_MULTILINE";
        if (Has(w, flags, "readonly")) own += " | ES_READONLY";
    } else if (kind == "user") {
        cls = "\"UiUserItem\"";
        own = "0";
        text = "L\"\"";
    } else if (kind == "icon") {
        // Our icons are bitmaps (an ICONBMP resource each): an SS_ICON static would take a Windows
        // icon only, and a static's type cannot be changed once it is made, so the image set at
        // run time shows only in an SS_BITMAP one.
        cls = "\"Static\"";
        own = "SS_BITMAP | SS_CENTERIMAGE | SS_NOTIFY";
        text = "L\"\"";
    } else {
        return false;
    }
    *out += "  CONTROL " + text + ", " + id + ", " + cls + ", " + style + " | " + own +
            (hidden ? " | NOT WS_VISIBLE" : "") + ", " + rect + "\n";
    return true;
}

bool DialogScript(uint32_t id, const std::string& source, std::string* out) {
    std::istringstream in(source);
    std::string line, title = "L\"\"", font = "8, \"MS Sans Serif\"", size, items;
    while (std::getline(in, line)) {
        std::vector<std::string> w = Words(line);
        if (w.empty() || w[0][0] == '#') continue;
        if (w[0] == "dialog" && w.size() >= 5) {
            size = w[3] + ", " + w[4];
        } else if (w[0] == "title" && w.size() >= 2) {
            title = WideLiteral(w[1].substr(1));
        } else if (w[0] == "font" && w.size() >= 3) {
            font = w[2] + ", \"" + w[1].substr(1) + "\"";
        } else if (w[0] == "item") {
            if (!ItemLine(w, &items)) {
                std::cerr << "rescomp: dialog " << id << ": cannot read " << line << "\n";
                return false;
            }
        }
    }
    if (size.empty()) return false;
    *out += std::to_string(id) + " DIALOGEX 0, 0, " + size + "\n";
    *out += "STYLE DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU\n";
    *out += "CAPTION " + title + "\nFONT " + font + "\nBEGIN\n" + items + "END\n\n";
    return true;
}

// The version resource's numbers from the version string ("6.0" gives 6,0,0,0).
std::string VersionNumbers(const std::string& text) {
    int part[4] = {0, 0, 0, 0};
    std::sscanf(text.c_str(), "%d.%d.%d.%d", &part[0], &part[1], &part[2], &part[3]);
    return std::to_string(part[0]) + "," + std::to_string(part[1]) + "," + std::to_string(part[2]) +
           "," + std::to_string(part[3]);
}

std::string Quoted(const std::string& path) {
    std::string out = "\"";
    for (char c : path) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out + "\"";
}

}  // namespace

bool WriteRcScript(const std::map<ResKey, std::string>& entries, const std::string& rcPath) {
    std::string script =
        "// Generated by rescomp from the resource sources; do not edit.\n"
        "#include <windows.h>\n\n"
        "LANGUAGE LANG_NEUTRAL, SUBLANG_NEUTRAL\n\nSTRINGTABLE\nBEGIN\n";
    std::string version = "0.0";
    for (const auto& [key, data] : entries) {
        if (key.first != kString) continue;
        script += "  " + std::to_string(key.second) + ", " + WideLiteral(data) + "\n";
        if (key.second == kVersionString) version = data;
    }
    script += "END\n\n";
    std::string stem = rcPath.substr(0, rcPath.rfind('.'));
    for (const auto& [key, data] : entries) {
        if (key.first == kString) continue;
        std::string type = TypeName(key.first), id = std::to_string(key.second);
        std::string file = stem + "." + type + "." + id + ".bin";
        std::ofstream bytes(file, std::ios::binary);
        bytes << data;
        if (!bytes) {
            std::cerr << "rescomp: cannot write " << file << "\n";
            return false;
        }
        script += id + " " + type + " " + Quoted(file) + "\n";
        if (key.first == kBitmap) script += id + " BITMAP " + Quoted(file) + "\n";
        if (key.first == kDialog && !DialogScript(key.second, data, &script)) return false;
    }
    std::string numbers = VersionNumbers(version);
    script +=
        "\n1 VERSIONINFO\nFILEVERSION " + numbers + "\nPRODUCTVERSION " + numbers +
        "\nFILEOS VOS_NT_WINDOWS32\nFILETYPE VFT_DLL\nBEGIN\n"
        "  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"040904B0\"\n    BEGIN\n"
        "      VALUE \"CompanyName\", \"Lumetra\"\n"
        "      VALUE \"FileDescription\", \"Tintara Kolmara Pro filter plug-in\"\n"
        "      VALUE \"FileVersion\", \"" +
        version +
        "\"\n"
        "      VALUE \"OriginalFilename\", \"KolmaraPro.8bf\"\n"
        "      VALUE \"ProductName\", \"Tintara Kolmara Pro\"\n"
        "      VALUE \"ProductVersion\", \"" +
        version +
        "\"\n"
        "    END\n  END\n"
        "  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x409, 1200\n  END\nEND\n";
    std::ofstream out(rcPath, std::ios::binary);
    out << script;
    if (!out) {
        std::cerr << "rescomp: cannot write " << rcPath << "\n";
        return false;
    }
    return true;
}
