// The PiPL and terminology resources in the archive linked into every binary, byte for byte.
// (Reading them back from a module file on disk is filterhost's, in pipl_check_test.cpp.)
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/resources.h"

namespace {

std::string LE(uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += char((v >> (8 * i)) & 0xFF);
    return s;
}
// A four-character code as the little-endian 32-bit number it is stored as.
std::string Code(const char* four) {
    return LE((uint32_t(uint8_t(four[0])) << 24) | (uint32_t(uint8_t(four[1])) << 16) |
                  (uint32_t(uint8_t(four[2])) << 8) | uint32_t(uint8_t(four[3])),
              4);
}
std::string PStr(const std::string& s) {
    return std::string(1, char(s.size())) + s;
}

// The PiPL as the editor expects it: version, count, then each property (vendor, key, zero,
// length, data) padded to four bytes.
std::string ExpectedPiPL() {
    std::string fici;
    for (int i = 0; i < 7; ++i) fici += std::string("\1\1\1\0", 4);
    const std::pair<const char*, std::string> properties[] = {
        {"kind", Code("8BFM")},
        {"name", PStr("Tintara Kolmara Pro 6.0...")},
        {"catg", PStr("Lumetra")},
        {"vers", LE(0x00040000, 4)},
        {"8664", std::string("PluginMain\0\0", 12)},
        {"wx86", std::string("PluginMain\0\0", 12)},
        {"hstm", LE(0, 4) + Code("sdk1") + Code("sdk1") + LE(16000, 2) +
                     std::string("Lumetra Tintara Kolmara Pro 6.0") + '\0'},
        {"mode", std::string("\x10\0", 2)},
        {"enbl", "in (PSHOP_ImageMode, RGBMode, RGB48Mode)"},
        {"ms32", LE(3000000, 4) + LE(3000000, 4)},
        {"flly", std::string("\x80\0\0\0", 4)},
        {"fici", fici},
    };
    std::string out = LE(0, 4) + LE(12, 4);
    for (const auto& [key, data] : properties) {
        out += Code("8BIM") + Code(key) + LE(0, 4) + LE(uint32_t(data.size()), 4) + data;
        out += std::string((4 - data.size() % 4) % 4, '\0');
    }
    return out;
}

std::string Resource(uint32_t type) {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(Res_Find(Res_ModuleArchive(), type, 16000, &data, &size), 0);
    return data == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(data), size);
}

TEST(HostResources, PiplHoldsTheTwelvePropertiesInOrderPaddedToFourBytes) {
    EXPECT_EQ(Resource(kResTypePiPL), ExpectedPiPL());
}

TEST(HostResources, TerminologyDescribesTheOneEventAndItsTextParameter) {
    std::string expected = std::string("\1\0", 2) + LE(0, 2) + LE(0, 2) + LE(1, 2) +
                           PStr("Lumetra") + PStr("Lumetra plug-ins") + Code("sdk1") + LE(1, 2) +
                           LE(1, 2) + LE(1, 2) + PStr("Tintara Kolmara Pro 6.0...") +
                           PStr("Tintara Kolmara Pro filter plug-in") + Code("sdk1") +
                           Code("sdk1") + Code("null") + PStr("") + LE(0, 2) + Code("#ImR") +
                           PStr("") + LE(0xB000, 2) + LE(1, 2) + PStr("Data") + Code("Dt  ") +
                           Code("TEXT") + PStr("") + LE(0, 2) + LE(0, 2) + LE(0, 2) + LE(0, 2);
    EXPECT_EQ(Resource(kResTypeTerminology), expected);
}

}  // namespace
