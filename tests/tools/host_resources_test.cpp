// The PiPL and terminology resources in the archive linked into every binary: their exact bytes,
// property by property, and their presence in a module file on disk.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/mem.h"
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

struct Property {
    std::string key, data;
};

const std::vector<Property>& ExpectedProperties() {
    static const std::vector<Property> properties = [] {
        std::string fici;
        for (int i = 0; i < 7; ++i) fici += std::string("\1\1\1\0", 4);
        return std::vector<Property>{
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
    }();
    return properties;
}

std::string ExpectedPiPL() {
    std::string out = LE(0, 4) + LE(12, 4);
    for (const Property& p : ExpectedProperties()) {
        out +=
            Code("8BIM") + Code(p.key.c_str()) + LE(0, 4) + LE(uint32_t(p.data.size()), 4) + p.data;
        out += std::string((4 - p.data.size() % 4) % 4, '\0');
    }
    return out;
}

std::string Resource(const ResArchive* archive, uint32_t type) {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(Res_Find(archive, type, 16000, &data, &size), 0);
    return data == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(data), size);
}

TEST(HostResources, PiplHoldsTheTwelvePropertiesInOrderPaddedToFourBytes) {
    std::string pipl = Resource(Res_ModuleArchive(), kResTypePiPL);
    ASSERT_GE(pipl.size(), 8u);
    // Property by property first, so that a difference names the property.
    size_t at = 8;
    for (const Property& p : ExpectedProperties()) {
        ASSERT_LE(at + 16, pipl.size()) << p.key;
        EXPECT_EQ(pipl.substr(at, 4), Code("8BIM")) << p.key;
        EXPECT_EQ(pipl.substr(at + 4, 4), Code(p.key.c_str())) << "property out of order";
        EXPECT_EQ(pipl.substr(at + 8, 4), LE(0, 4)) << p.key;
        uint32_t length;
        std::memcpy(&length, pipl.data() + at + 12, 4);
        EXPECT_EQ(pipl.substr(at + 16, length), p.data) << p.key;
        at += 16 + (length + 3) / 4 * 4;
    }
    EXPECT_EQ(pipl, ExpectedPiPL());
}

TEST(HostResources, TerminologyDescribesTheOneEventAndItsTextParameter) {
    std::string expected = std::string("\1\0", 2) + LE(0, 2) + LE(0, 2) + LE(1, 2) +
                           PStr("Lumetra") + PStr("Lumetra plug-ins") + Code("sdk1") + LE(1, 2) +
                           LE(1, 2) + LE(1, 2) + PStr("Tintara Kolmara Pro 6.0...") +
                           PStr("Tintara Kolmara Pro filter plug-in") + Code("sdk1") +
                           Code("sdk1") + Code("null") + PStr("") + LE(0, 2) + Code("#ImR") +
                           PStr("") + LE(0xB000, 2) + LE(1, 2) + PStr("Data") + Code("Dt  ") +
                           Code("TEXT") + PStr("") + LE(0, 2) + LE(0, 2) + LE(0, 2) + LE(0, 2);
    EXPECT_EQ(Resource(Res_ModuleArchive(), kResTypeTerminology), expected);
}

TEST(HostResources, AModuleFileCarriesTheSamePiplInItsSection) {
    uint8_t* bytes = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(Res_ReadFromElfFile(TEST_MODULE_PATH, &bytes, &size), 0);
    ResArchive archive;
    ASSERT_EQ(Res_Open(&archive, bytes, size), 0);
    EXPECT_EQ(Resource(&archive, kResTypePiPL), ExpectedPiPL());
    Mem_Free(bytes);
}

}  // namespace
