// Build-time resource compiler: turns the text sources of the module's resources into one
// archive (format in resources/README.md) and writes it as a C++ source file whose array lives in
// the module's own ELF section.
//
//   rescomp OUT.cpp [--bin OUT.bin] [--strings FILE]... [--manifest FILE]...
//
// Strings file: "ID<TAB>text" per line, escapes \n \r \t \\; "#" starts a comment line.
// Manifest file: "text TYPE ID FILE" (LF line ends become CR LF) or "binary TYPE ID FILE";
// TYPE is four characters (use _ for a blank), FILE is relative to the manifest.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Key = std::pair<uint32_t, uint32_t>;
std::map<Key, std::string> gEntries;

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
        size_t tab = line.find('\t');
        if (tab == std::string::npos) Fail(where + ": expected ID<TAB>text");
        uint32_t id = uint32_t(std::stoul(line.substr(0, tab)));
        std::string text = Unescape(line.substr(tab + 1), where);
        if (text.size() > 255) Fail(where + ": string longer than 255 characters");
        Add(type, id, text, where);
    }
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
        std::string kind, type, file;
        uint32_t id;
        if (!(fields >> kind >> type >> id >> file)) Fail(where + ": expected KIND TYPE ID FILE");
        std::string data = ReadFile(folder + file);
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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        Fail("usage: rescomp OUT.cpp [--bin OUT.bin] [--strings FILE]... [--manifest FILE]...");
    std::string outCpp = argv[1], outBin;
    for (int i = 2; i < argc; ++i) {
        std::string option = argv[i];
        if (i + 1 >= argc) Fail("missing value after " + option);
        std::string value = argv[++i];
        if (option == "--strings") {
            ReadStrings(value);
        } else if (option == "--manifest") {
            ReadManifest(value);
        } else if (option == "--bin") {
            outBin = value;
        } else {
            Fail("unknown option " + option);
        }
    }
    std::string archive = BuildArchive();
    if (!outBin.empty()) std::ofstream(outBin, std::ios::binary) << archive;
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
