#include "tests/edit/export/export_test_support.h"

#include <filesystem>
#include <random>

#include "platform/mem.h"
#include "tests/engine/chain_test_support.h"

namespace export_testing {

void ExportTest::SetUp() {
    PlatformTest::SetUp();
    state_ = OpenState(0);
    chain_testing::StrongPars(&pars_);
    out_ = root_ + "/out/";
    std::filesystem::create_directory(out_);
    blocksBefore_ = ul_nMallocs;
}

void ExportTest::TearDown() {
    EXPECT_EQ(ul_nMallocs, blocksBefore_) << "an export kept memory blocks";
    PlatformTest::TearDown();
}

ExportSettings ExportTest::Settings() const {
    ExportSettings s{};
    s.editPars = &pars_;
    s.workingSpace = &pars_.refRGB;
    s.gridLevel = 7;
    s.bitsPerChannel = 16;
    s.lutNodes = 33;
    s.documentName = "holiday.tif";
    s.state = state_;
    return s;
}

std::vector<std::string> ExportTest::OutFiles() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(out_)) {
        names.push_back(e.path().filename().string());
    }
    return names;
}

uint16_t NodeCode(int i, int n) {
    return uint16_t(std::lround(i * 65535.0 / (n - 1)));
}

std::vector<uint16_t> RandomRgb16(size_t pixels, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> code(0, 65535);
    std::vector<uint16_t> rgb(pixels * 3);
    for (uint16_t& v : rgb) v = uint16_t(code(random));
    return rgb;
}

}  // namespace export_testing
