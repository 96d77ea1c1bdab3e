// Base64 for action text; see action_text.h.
#include "tools/gimp/action_text.h"

#include <cstdint>

namespace {

constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int DigitValue(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::string ActionToText(const std::string& bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t v = uint32_t(uint8_t(bytes[i])) << 16;
        if (i + 1 < bytes.size()) v |= uint32_t(uint8_t(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size()) v |= uint8_t(bytes[i + 2]);
        text += kDigits[(v >> 18) & 63];
        text += kDigits[(v >> 12) & 63];
        text += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
        text += i + 2 < bytes.size() ? kDigits[v & 63] : '=';
    }
    return text;
}

bool ActionFromText(const std::string& text, std::string* bytes) {
    bytes->clear();
    uint32_t bits = 0;
    int count = 0, padding = 0;
    for (char c : text) {
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t') continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const int v = DigitValue(c);
        if (v < 0 || padding > 0) return false;
        bits = (bits << 6) | uint32_t(v);
        if (++count == 4) {
            bytes->push_back(char((bits >> 16) & 0xFF));
            bytes->push_back(char((bits >> 8) & 0xFF));
            bytes->push_back(char(bits & 0xFF));
            bits = 0;
            count = 0;
        }
    }
    if (count == 1 || padding > 2) return false;
    if (count == 2) bytes->push_back(char((bits >> 4) & 0xFF));
    if (count == 3) {
        bytes->push_back(char((bits >> 10) & 0xFF));
        bytes->push_back(char((bits >> 2) & 0xFF));
    }
    return !bytes->empty();
}
