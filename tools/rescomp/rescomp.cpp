// Build-time resource compiler: turns the text sources of the module's resources into one
// archive (format in resources/README.md), writes it as a C++ source file whose array lives in
// the module's own ELF section, and writes the headers that give every string, dialog and dialog
// item a name (resources/README.md, resources/dialogs/README.md).
//
//   rescomp OUT.cpp [--bin OUT.bin] [--rc OUT.rc] [--ids DIR] [--strings FILE]...
//           [--manifest FILE]...
//
// With --rc the same resources are also written as a Windows resource script (rc_writer.h).
//
// Strings file: "ID<TAB>NAME<TAB>text" per line, escapes \n \r \t \\; "#" starts a comment line.
// Manifest file: "KIND TYPE ID FILE [NAME]"; KIND "text" (LF line ends become CR LF) or
// "binary"; TYPE is four characters (use _ for a blank), FILE is relative to the manifest.
// Dialog templates (type DLG_) are also read for their names: "dialog ID NAME WIDTH HEIGHT" and
// "item N NAME KIND ...".
//
// With --ids, DIR receives strings.h (every string), resources.h (the named resources of the
// manifests) and dlg_NAME.h for every dialog template, NAME its dialog's name in lower case with
// underscores between the words (dialog DefineColor: dlg_define_color.h, from define_color.txt,
// the file name the template must have, so that the build knows the header from the file). A
// header is only rewritten when its text changes, so that a new dialog layout or help text does
// not recompile the code that names them.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "rc_writer.h"

namespace {

using Key = ResKey;
std::map<Key, std::string> gEntries;

// A named constant of a generated header, with the comment written after it.
struct Constant {
    std::string name;
    std::string type;
    uint32_t value;
    std::string comment;
};

struct Header {
    std::string file;    // the header's file name
    std::string source;  // the file it comes from, for the opening comment
    std::string about;   // the source's own opening comment
    std::vector<Constant> constants;
};

std::vector<Constant> gStrings;
std::vector<Constant> gResources;
std::map<uint32_t, Header> gDialogs;  // by dialog id
std::set<std::string> gNames;         // every name of every header: the code sees them all

[[noreturn]] void Fail(const std::string& message) {
    std::cerr << "rescomp: " << message << "\n";
    std::exit(1);
}

uint32_t TypeCode(std::string t) {
    if (t.size() != 4) Fail("resource type must have four characters: " + t);
    for (char& c : t) {
        if (c == '_') c = ' ';
    }
    return (uint32_t(uint8_t(t[0])) << 24) | (uint32_t(uint8_t(t[1])) << 16) |
           (uint32_t(uint8_t(t[2])) << 8) | uint32_t(uint8_t(t[3]));
}

void Add(uint32_t type, uint32_t id, std::string data, const std::string& where) {
    if (!gEntries.emplace(Key{type, id}, std::move(data)).second) {
        Fail(where + ": duplicate resource id " + std::to_string(id));
    }
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string BaseName(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

// A capitalised name in lower case with an underscore before each word after the first:
// DefineColor -> define_color.
std::string SnakeName(const std::string& name) {
    std::string out;
    for (char c : name) {
        if ('A' <= c && c <= 'Z') {
            if (!out.empty()) out += '_';
            out += char(c - 'A' + 'a');
        } else {
            out += c;
        }
    }
    return out;
}

// A name is a capital letter followed by letters and digits: it becomes a C++ name with "k" in
// front, and it can never be taken for a number or a dialog item's kind.
bool IsName(const std::string& s) {
    if (s.empty() || !(s[0] >= 'A' && s[0] <= 'Z')) return false;
    for (char c : s) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

// Claims a constant's name for the whole set of headers, which the code includes side by side.
void Claim(const std::string& constant, const std::string& where) {
    if (!gNames.insert(constant).second) Fail(where + ": name " + constant + " is already used");
}

uint32_t Number(const std::string& text, const std::string& where) {
    if (text.empty() || text.size() > 9) Fail(where + ": expected a number, found '" + text + "'");
    for (char c : text) {
        if (c < '0' || c > '9') Fail(where + ": expected a number, found '" + text + "'");
    }
    return uint32_t(std::stoul(text));
}

std::string Unescape(const std::string& text, const std::string& where) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i >= text.size()) Fail(where + ": backslash at end of line");
        switch (text[i]) {
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case '\\':
                out += '\\';
                break;
            default:
                Fail(where + ": unknown escape \\" + std::string(1, text[i]));
        }
    }
    return out;
}

// The kinds of string-table entries, by the first word of their names.
constexpr const char* kStringPrefixes[] = {"Str", "Phrase", "Hint", "Msg"};

void ReadStrings(const std::string& path) {
    std::istringstream in(ReadFile(path));
    std::string line;
    int number = 0;
    const uint32_t type = TypeCode("STR_");
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::string where = path + ":" + std::to_string(number);
        size_t tab1 = line.find('\t');
        size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string::npos) Fail(where + ": expected ID<TAB>NAME<TAB>text");
        uint32_t id = Number(line.substr(0, tab1), where);
        std::string name = line.substr(tab1 + 1, tab2 - tab1 - 1);
        bool kindKnown = false;
        for (const char* prefix : kStringPrefixes) {
            const std::string p = prefix;
            if (StartsWith(name, p) && name.size() > p.size() && name[p.size()] >= 'A' &&
                name[p.size()] <= 'Z')
                kindKnown = true;
        }
        if (!IsName(name) || !kindKnown) {
            Fail(where + ": a string's name is Str, Phrase, Hint or Msg and a capitalised word (" +
                 name + ")");
        }
        std::string raw = line.substr(tab2 + 1);
        std::string text = Unescape(raw, where);
        if (text.size() > 255) Fail(where + ": string longer than 255 characters");
        Add(type, id, text, where);
        Claim("k" + name, where);
        gStrings.push_back({"k" + name, "int32_t", id, raw});
    }
}

// The leading comment lines of a source file, for the generated header's own comment.
std::string OpeningComment(const std::string& text) {
    std::istringstream in(text);
    std::string line, about;
    while (std::getline(in, line) && !line.empty() && line[0] == '#') {
        size_t from = line.find_first_not_of("# ");
        if (from != std::string::npos) about += "// " + line.substr(from) + "\n";
    }
    return about;
}

// Reads the names of a dialog template: the dialog's on its "dialog" line, an item's after its
// number. The layout itself is checked when the module parses the template.
void ReadDialogNames(const std::string& path, uint32_t id, const std::string& text) {
    std::istringstream in(text);
    std::string line, prefix;
    int number = 0;
    uint32_t items = 0;
    Header header{"", BaseName(path), OpeningComment(text), {}};
    std::set<std::string> local;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string where = path + ":" + std::to_string(number);
        std::istringstream words(line);
        std::string keyword, first, name;
        if (!(words >> keyword) || keyword[0] == '#') continue;
        if (keyword == "dialog") {
            if (!(words >> first >> name) || Number(first, where) != id)
                Fail(where + ": expected \"dialog " + std::to_string(id) + " NAME WIDTH HEIGHT\"");
            if (!IsName(name))
                Fail(where + ": a dialog's name is a capitalised word (" + name + ")");
            prefix = name;
            Claim("kDlg" + name, where);
            header.constants.push_back(
                {"kDlg" + name, "int32_t", id, "the dialog; its items follow"});
        } else if (keyword == "item") {
            if (prefix.empty()) Fail(where + ": item before the dialog line");
            if (!(words >> first >> name) || Number(first, where) != items + 1)
                Fail(where + ": expected \"item " + std::to_string(items + 1) + " NAME KIND ...\"");
            if (!IsName(name))
                Fail(where + ": an item's name is a capitalised word (" + name + ")");
            if (!local.insert(name).second) Fail(where + ": item name " + name + " used twice");
            ++items;
            std::string kind;
            words >> kind;
            const size_t open = line.find('"'), close = line.rfind('"');
            if (open != std::string::npos && close > open + 1)
                kind += " " + line.substr(open, close - open + 1);
            Claim("k" + prefix + name, where);
            header.constants.push_back({"k" + prefix + name, "int16_t", items, kind});
        }
    }
    if (prefix.empty()) Fail(path + ": no dialog line");
    // The header is named as the file, which the build lists before rescomp runs.
    const std::string stem = SnakeName(prefix);
    if (BaseName(path) != stem + ".txt")
        Fail(path + ": dialog " + prefix + " belongs in " + stem + ".txt");
    header.file = "dlg_" + stem + ".h";
    gDialogs[id] = header;
}

void ReadManifest(const std::string& path) {
    std::string folder = path.substr(0, path.find_last_of('/') + 1);
    std::istringstream in(ReadFile(path));
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty() || line[0] == '#') continue;
        std::string where = path + ":" + std::to_string(number);
        std::istringstream fields(line);
        std::string kind, type, file, idText, name;
        if (!(fields >> kind >> type >> idText >> file))
            Fail(where + ": expected KIND TYPE ID FILE");
        const uint32_t id = Number(idText, where);
        std::string data = ReadFile(folder + file);
        if (type == "DLG_") ReadDialogNames(folder + file, id, data);
        if (fields >> name) {
            if (!IsName(name) || !StartsWith(name, "Res"))
                Fail(where + ": a resource's name is Res and a capitalised word (" + name + ")");
            Claim("k" + name, where);
            gResources.push_back({"k" + name, "int32_t", id, type + " " + file});
        }
        if (kind == "text") {
            std::string crlf;
            for (char c : data) {
                if (c == '\n') crlf += '\r';
                if (c != '\r') crlf += c;
            }
            data = crlf;
        } else if (kind != "binary") {
            Fail(where + ": kind must be text or binary");
        }
        Add(TypeCode(type), id, data, where);
    }
}

void Put32(std::string& out, uint32_t v) {
    out += char(v >> 24);
    out += char(v >> 16);
    out += char(v >> 8);
    out += char(v);
}

std::string BuildArchive() {
    std::string out = "KRES";
    Put32(out, 1);
    Put32(out, uint32_t(gEntries.size()));
    uint32_t offset = uint32_t(12 + 16 * gEntries.size());
    for (const auto& [key, data] : gEntries) {
        Put32(out, key.first);
        Put32(out, key.second);
        Put32(out, offset);
        Put32(out, uint32_t(data.size()));
        offset += uint32_t(data.size());
    }
    for (const auto& entry : gEntries) out += entry.second;
    return out;
}

// A trailing comment may not end in a backslash: the compiler would join the next line to it.
std::string CommentText(std::string text) {
    while (!text.empty() && (text.back() == '\\' || text.back() == ' ')) text.pop_back();
    return text;
}

std::string HeaderText(const Header& h) {
    std::string out = "// Generated by rescomp from " + h.source + "; do not edit.\n";
    out += h.about;
    out += "#pragma once\n\n#include <cstdint>\n\n";
    for (const Constant& c : h.constants) {
        out += "constexpr " + c.type + " " + c.name + " = " + std::to_string(c.value) + ";";
        std::string comment = CommentText(c.comment);
        if (!comment.empty()) out += "  // " + comment;
        out += "\n";
    }
    return out;
}

// Writes the file only when its text differs from what is there.
void WriteIfChanged(const std::string& path, const std::string& text) {
    std::ifstream old(path, std::ios::binary);
    if (old) {
        std::ostringstream s;
        s << old.rdbuf();
        if (s.str() == text) return;
    }
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) Fail("cannot write " + path);
}

void WriteIds(const std::string& folder, const std::string& stringsSource) {
    WriteIfChanged(folder + "/strings.h",
                   HeaderText({"strings.h", stringsSource,
                               "// The string table: Str texts, Phrase action phrases, Hint hints\n"
                               "// and Msg messages of the status codes.\n",
                               gStrings}));
    WriteIfChanged(folder + "/resources.h", HeaderText({"resources.h", "the resource manifests",
                                                        "// The named resources.\n", gResources}));
    for (const auto& entry : gDialogs) {
        const Header& header = entry.second;
        WriteIfChanged(folder + "/" + header.file, HeaderText(header));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Fail(
            "usage: rescomp OUT.cpp [--bin OUT.bin] [--rc OUT.rc] [--ids DIR] [--strings FILE]... "
            "[--manifest FILE]...");
    }
    std::string outCpp = argv[1], outBin, outRc, idsFolder, stringsSource = "the string table";
    for (int i = 2; i < argc; ++i) {
        std::string option = argv[i];
        if (i + 1 >= argc) Fail("missing value after " + option);
        std::string value = argv[++i];
        if (option == "--strings") {
            ReadStrings(value);
            stringsSource = BaseName(value);
        } else if (option == "--manifest") {
            ReadManifest(value);
        } else if (option == "--bin") {
            outBin = value;
        } else if (option == "--rc") {
            outRc = value;
        } else if (option == "--ids") {
            idsFolder = value;
        } else {
            Fail("unknown option " + option);
        }
    }
    std::string archive = BuildArchive();
    if (!idsFolder.empty()) WriteIds(idsFolder, stringsSource);
    if (!outBin.empty()) std::ofstream(outBin, std::ios::binary) << archive;
    if (!outRc.empty() && !WriteRcScript(gEntries, outRc)) return 1;
    std::ofstream out(outCpp);
    out << "// Generated by rescomp from the resource sources; do not edit.\n"
           "#include <cstdint>\n"
           "extern \"C\" {\n"
           "extern const uint8_t kolmara_res_archive[];\n"
           "__attribute__((section(\".kolmara_res\"), used, aligned(16)))\n"
           "const uint8_t kolmara_res_archive["
        << archive.size() << "] = {\n";
    for (size_t i = 0; i < archive.size(); ++i) {
        out << unsigned(uint8_t(archive[i])) << (i + 1 < archive.size() ? "," : "");
        if (i % 24 == 23) out << "\n";
    }
    out << "};\nextern const uint32_t kolmara_res_archive_size;\n"
           "const uint32_t kolmara_res_archive_size = "
        << archive.size() << ";\n}\n";
    if (!out) Fail("cannot write " + outCpp);
    return 0;
}
