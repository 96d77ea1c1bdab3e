// Build-time generator of the module's host resources: the PiPL property list and the scripting
// terminology, from the text sources in host/resources/ (language and layouts described in
// host/resources/README.md). Both binaries are little-endian, as the x86 hosts read them.
//
//   piplgen [--pipl SOURCE OUT]... [--raw SOURCE OUT]...
//
// --pipl frames each property (vendor, key, id, length, data padded to four bytes) behind the
// list header; --raw writes the values of the source one after another (the terminology).
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Fail(const std::string& where, const std::string& message) {
    std::cerr << "piplgen: " << where << ": " << message << "\n";
    std::exit(1);
}

struct Token {
    enum Kind { kWord, kString, kCode } kind;
    std::string text;
};

struct Line {
    int number;
    bool continuation;  // began with white space
    std::vector<Token> tokens;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail(path, "cannot read");
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Splits a source into lines of tokens: words, "strings" (escapes \" and \\) and 'code'
// literals of exactly four characters. "#" outside a literal starts a comment.
std::vector<Line> Tokenize(const std::string& path) {
    std::istringstream in(ReadFile(path));
    std::vector<Line> lines;
    std::string text;
    int number = 0;
    while (std::getline(in, text)) {
        ++number;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        Line line{number, !text.empty() && (text[0] == ' ' || text[0] == '\t'), {}};
        const std::string where = path + ":" + std::to_string(number);
        size_t i = 0;
        while (i < text.size()) {
            char c = text[i];
            if (c == ' ' || c == '\t') {
                ++i;
            } else if (c == '#') {
                break;
            } else if (c == '"') {
                std::string s;
                ++i;
                while (true) {
                    if (i >= text.size()) Fail(where, "unterminated string");
                    if (text[i] == '"') break;
                    if (text[i] == '\\') {
                        if (++i >= text.size()) Fail(where, "backslash at end of line");
                        if (text[i] != '"' && text[i] != '\\') Fail(where, "unknown escape");
                    }
                    s += text[i++];
                }
                ++i;
                line.tokens.push_back({Token::kString, s});
            } else if (c == '\'') {
                if (i + 5 >= text.size() || text[i + 5] != '\'') {
                    Fail(where, "a code is four characters between single quotes");
                }
                line.tokens.push_back({Token::kCode, text.substr(i + 1, 4)});
                i += 6;
            } else {
                size_t j = i;
                while (j < text.size() && text[j] != ' ' && text[j] != '\t' && text[j] != '#') ++j;
                line.tokens.push_back({Token::kWord, text.substr(i, j - i)});
                i = j;
            }
        }
        if (!line.tokens.empty()) lines.push_back(line);
    }
    return lines;
}

void PutLE(std::string& out, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += char((v >> (8 * i)) & 0xFF);
}

uint32_t CodeValue(const std::string& four) {
    return (uint32_t(uint8_t(four[0])) << 24) | (uint32_t(uint8_t(four[1])) << 16) |
           (uint32_t(uint8_t(four[2])) << 8) | uint32_t(uint8_t(four[3]));
}

int64_t Number(const Token& t, const std::string& where) {
    if (t.kind != Token::kWord || t.text.empty()) Fail(where, "expected a number");
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(t.text.c_str(), &end, 0);
    if (errno != 0 || *end != 0) Fail(where, "not a number: " + t.text);
    return v;
}

// Encodes the values of tokens[from..] and appends them to out.
void EncodeValues(const std::vector<Token>& tokens, size_t from, const std::string& where,
                  std::string& out) {
    size_t i = from;
    auto next = [&](const char* what) -> const Token& {
        if (i >= tokens.size()) Fail(where, std::string("missing ") + what);
        return tokens[i++];
    };
    auto text = [&]() -> const std::string& {
        const Token& t = next("string");
        if (t.kind != Token::kString) Fail(where, "expected a \"string\"");
        return t.text;
    };
    while (i < tokens.size()) {
        const Token& type = next("type");
        if (type.kind != Token::kWord) Fail(where, "expected a value type");
        const std::string& k = type.text;
        if (k == "int8" || k == "int16" || k == "int32") {
            int bytes = k == "int8" ? 1 : k == "int16" ? 2 : 4;
            int64_t v = Number(next("number"), where);
            int64_t lo = -(int64_t(1) << (8 * bytes - 1)), hi = (int64_t(1) << (8 * bytes)) - 1;
            if (!(lo <= v && v <= hi)) Fail(where, "value out of range for " + k);
            PutLE(out, uint64_t(v), bytes);
        } else if (k == "code") {
            const Token& t = next("code");
            if (t.kind != Token::kCode) Fail(where, "expected a 'code'");
            PutLE(out, CodeValue(t.text), 4);
        } else if (k == "pstring") {
            const std::string& s = text();
            if (s.size() > 255) Fail(where, "pstring longer than 255 characters");
            out += char(s.size());
            out += s;
        } else if (k == "cstring") {
            out += text();
            out += '\0';
        } else if (k == "text") {
            out += text();
        } else if (k == "fixed") {
            int64_t n = Number(next("size"), where);
            const std::string& s = text();
            if (!(int64_t(s.size()) < n && n <= 4096)) {
                Fail(where, "fixed size must exceed the text's length");
            }
            out += s;
            out.append(size_t(n) - s.size(), '\0');
        } else {
            Fail(where, "unknown value type " + k);
        }
    }
}

std::string BuildPiPL(const std::string& path) {
    struct Property {
        uint32_t vendor, key;
        int32_t id;
        std::string data;
    };
    std::vector<Property> properties;
    for (const Line& line : Tokenize(path)) {
        const std::string where = path + ":" + std::to_string(line.number);
        size_t from = 0;
        if (!line.continuation) {
            const auto& t = line.tokens;
            if (t.size() < 3 || t[0].kind != Token::kCode || t[1].kind != Token::kCode) {
                Fail(where, "a property starts with 'vendor' 'key' id");
            }
            int64_t id = Number(t[2], where);
            if (!(INT32_MIN <= id && id <= INT32_MAX)) Fail(where, "property id out of range");
            properties.push_back({CodeValue(t[0].text), CodeValue(t[1].text), int32_t(id), {}});
            from = 3;
        } else if (properties.empty()) {
            Fail(where, "continuation line before the first property");
        }
        EncodeValues(line.tokens, from, where, properties.back().data);
    }
    std::string out;
    PutLE(out, 0, 4);  // list version
    PutLE(out, properties.size(), 4);
    for (const Property& p : properties) {
        PutLE(out, p.vendor, 4);
        PutLE(out, p.key, 4);
        PutLE(out, uint32_t(p.id), 4);
        PutLE(out, p.data.size(), 4);
        out += p.data;
        out.append((4 - p.data.size() % 4) % 4, '\0');
    }
    return out;
}

std::string BuildRaw(const std::string& path) {
    std::string out;
    for (const Line& line : Tokenize(path)) {
        EncodeValues(line.tokens, 0, path + ":" + std::to_string(line.number), out);
    }
    return out;
}

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    out.close();
    if (!out) Fail(path, "cannot write");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::cerr << "usage: piplgen [--pipl SOURCE OUT]... [--raw SOURCE OUT]...\n";
        return 1;
    }
    for (int i = 1; i < argc; i += 3) {
        if (i + 2 >= argc) Fail(argv[i], "expects SOURCE and OUT");
        std::string option = argv[i];
        if (option == "--pipl") {
            Write(argv[i + 2], BuildPiPL(argv[i + 1]));
        } else if (option == "--raw") {
            Write(argv[i + 2], BuildRaw(argv[i + 1]));
        } else {
            Fail(option, "unknown option");
        }
    }
    return 0;
}
