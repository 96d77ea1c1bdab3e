// Scripting parameters: the 7-bit packing, the round trip through the host's descriptor, older
// lengths, range rules, damaged items and hosts without descriptor procedures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "edit/pars_vector.h"
#include "edit/prefs.h"
#include "host/scripting.h"
#include "tests/host/test_host.h"
#include "tests/platform/test_support.h"

namespace {

using test_host::Item;
using test_host::TestHost;

class ScriptingTest : public testing_support::PlatformTest {
   protected:
    void SetUp() override {
        PlatformTest::SetUp();
        settings_ = Defaults();
    }
    // The settings a run takes from default preferences.
    static std::unique_ptr<ScriptSettings> Defaults() {
        auto defaults = std::make_unique<Prefs>();
        SetPrefsDefaults(defaults.get());
        auto settings = std::make_unique<ScriptSettings>();
        ScriptSettingsFromPrefs(defaults.get(), settings.get());
        return settings;
    }
    // A vector of the given byte length packed as the item's text.
    static std::string Pack(const std::vector<uint32_t>& words, uint32_t length) {
        std::string text(size_t(kScriptGroupBytes) * (1 + words.size()), '\0');
        auto* out = reinterpret_cast<uint8_t*>(text.data());
        ScriptPackWord(length, out);
        for (size_t i = 0; i < words.size(); ++i) ScriptPackWord(words[i], out + 5 * (i + 1));
        return text;
    }
    static std::vector<float> Vector(const EditPars& pars) {
        std::vector<float> v(629);
        ParsToVector(&pars, v.data(), 629);
        return v;
    }
    static uint32_t F(float f) {
        uint32_t w;
        std::memcpy(&w, &f, 4);
        return w;
    }
    // A vector of the older 609-word form: two default copies, five scalars and a name.
    std::vector<uint32_t> OldVector(float startMode, const char* name) {
        std::vector<uint32_t> words(5148 / 4, 0);
        std::vector<float> copy(629);
        ParsToVector(&settings_->previousSettings, copy.data(), 629);
        for (int i = 0; i < 609; ++i)
            words[size_t(i)] = words[size_t(609 + i)] = F(copy[size_t(i)]);
        words[1218] = F(startMode);
        words[1219] = F(28.0f);
        words[1220] = F(3.0f);
        words[1221] = F(0.25f);
        words[1222] = F(6.0f);
        std::memcpy(&words[1223], name, std::strlen(name) + 1);
        return words;
    }
    std::unique_ptr<ScriptSettings> settings_;
};

TEST_F(ScriptingTest, GroupsHoldSevenBitsEach) {
    uint8_t g[5];
    ScriptPackWord(5328, g);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(g), 5), std::string("P)\0\0\0", 5));
    for (uint32_t v : {0u, 1u, 0x7Fu, 0x80u, 0x3F800000u, 0xFFFFFFFFu, 0xBF000000u}) {
        ScriptPackWord(v, g);
        for (uint8_t b : g) EXPECT_LT(b, 128);
        EXPECT_EQ(ScriptUnpackWord(g), v);
    }
}

TEST_F(ScriptingTest, WrittenItemReadsBackTheSameSettings) {
    TestHost host;
    ScriptSettings& p = *settings_;
    p.previousSettings.hue[2].hueShift = 12.5f;
    p.customSettings.hue[0].saturation = 0.75f;
    p.startWith = 3;
    p.keenhueMask = 992;
    p.memoryColorMask = 7;
    p.preferredSaturation = 0.625f;
    p.gridLevel = 5;
    p.startAllSame = 0;
    for (int i = 0; i < 4; ++i) p.startTool[i] = i;
    std::strcpy(p.customName, "Portrait warm");
    ASSERT_EQ(WriteScriptParameters(&host.record, &p, nullptr), 0);
    EXPECT_EQ(host.descriptorParameters.recordInfo, plugInDialogOptional);
    std::vector<Item> items = host.DescriptorItems();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].key, kScriptKeyData);
    ASSERT_EQ(items[0].text.size(), size_t(kScriptTextBytes));
    EXPECT_EQ(items[0].text.substr(0, 5), std::string("P)\0\0\0", 5));
    for (unsigned char c : items[0].text) ASSERT_LT(c, 128);

    auto fresh = Defaults();
    uint8_t show = 7;
    host.descriptorParameters.playInfo = plugInDialogDontDisplay;
    ASSERT_EQ(ReadScriptParameters(&host.record, fresh.get(), &show, nullptr), 0);
    EXPECT_EQ(show, 0);
    EXPECT_EQ(host.descriptorParameters.descriptor, nullptr);
    EXPECT_EQ(Vector(p.previousSettings), Vector(fresh->previousSettings));
    EXPECT_EQ(Vector(p.customSettings), Vector(fresh->customSettings));
    EXPECT_EQ(fresh->startWith, 3);
    EXPECT_EQ(fresh->keenhueMask, 992);
    EXPECT_EQ(fresh->memoryColorMask, 7);
    EXPECT_FLOAT_EQ(fresh->preferredSaturation, 0.625f);
    EXPECT_EQ(fresh->gridLevel, 5);
    EXPECT_EQ(fresh->startAllSame, 0);
    EXPECT_EQ(fresh->startTool[1], 1);
    EXPECT_EQ(fresh->startTool[3], 3);
    EXPECT_STREQ(fresh->customName, "Portrait warm");
    EXPECT_EQ(TestHost::LiveHandles(), 0);
}

TEST_F(ScriptingTest, EveryKeenhueMaskThePreferencesKeepIsReplayed) {
    // The mask a replay of a run recorded with `mask` takes over settings that held 28.
    auto replayed = [&](int32_t mask) {
        TestHost host;
        settings_->keenhueMask = mask;
        EXPECT_EQ(WriteScriptParameters(&host.record, settings_.get(), nullptr), 0);
        auto fresh = Defaults();
        fresh->keenhueMask = 28;
        uint8_t show = 0;
        EXPECT_EQ(ReadScriptParameters(&host.record, fresh.get(), &show, nullptr), 0);
        return fresh->keenhueMask;
    };
    // Masks with saturation, linear, colour balance or the grey point among the groups, the
    // largest the preferences keep, and bits 6-8 that only a preferences file sets.
    for (int32_t mask : {kPrefsKeenhueMaskMax, 64564 | 512, 3 | 8, 448, 0}) {
        EXPECT_EQ(replayed(mask), mask);
    }
    // A mask the preferences would not keep is not taken from an action either.
    for (int32_t mask : {kPrefsKeenhueMaskMax + 1, 65535}) EXPECT_EQ(replayed(mask), 28) << mask;
}

TEST_F(ScriptingTest, OlderItemKeepsTheFieldsItDoesNotCarry) {
    TestHost host;
    settings_->startAllSame = 1;
    settings_->startTool[2] = 3;
    host.SetDescriptor({{kScriptKeyData, Pack(OldVector(2.5f, "old name"), 5148)}});
    uint8_t show = 0;
    host.descriptorParameters.playInfo = plugInDialogDisplay;
    ASSERT_EQ(ReadScriptParameters(&host.record, settings_.get(), &show, nullptr), 0);
    EXPECT_EQ(show, 1);
    EXPECT_EQ(settings_->startWith, 2);  // 2.5 taken as 2
    EXPECT_EQ(settings_->keenhueMask, 28);
    EXPECT_EQ(settings_->gridLevel, 6);
    EXPECT_EQ(settings_->startAllSame, 1);
    EXPECT_EQ(settings_->startTool[2], 3);
    EXPECT_STREQ(settings_->customName, "old name");
}

TEST_F(ScriptingTest, OutOfRangeScalarsAreRefused) {
    TestHost host;
    for (float mode : {3.5f, -0.5f, NAN}) {
        settings_->startWith = 1;
        std::vector<uint32_t> words = OldVector(mode, "");
        words[1222] = F(8.0f);   // grid level above 7
        words[1219] = F(-1.0f);  // a negative mask would set every bit
        settings_->gridLevel = 4;
        settings_->keenhueMask = 2;
        host.SetDescriptor({{kScriptKeyData, Pack(words, 5148)}});
        uint8_t show = 0;
        ASSERT_EQ(ReadScriptParameters(&host.record, settings_.get(), &show, nullptr), 0);
        EXPECT_EQ(settings_->startWith, 1) << mode;
        EXPECT_EQ(settings_->gridLevel, 4);
        EXPECT_EQ(settings_->keenhueMask, 2);
    }
}

TEST_F(ScriptingTest, TruncatedOrForeignItemsAreHandledSafely) {
    TestHost host;
    // Declares the full length but carries only the first hundred words: the rest reads as zero
    // and the settings' validation resets what is missing.
    std::vector<uint32_t> words(100, F(0.5f));
    host.SetDescriptor({{kScriptKeyData, Pack(words, 5328)}});
    uint8_t show = 0;
    EXPECT_EQ(ReadScriptParameters(&host.record, settings_.get(), &show, nullptr), 0);
    EXPECT_EQ(settings_->customName[0], 0);

    // An unknown length is ignored; another key is skipped.
    settings_->gridLevel = 3;
    host.SetDescriptor(
        {{PIFourCC('x', 'x', 'x', 'x'), "abc"}, {kScriptKeyData, Pack(OldVector(1, "n"), 5000)}});
    EXPECT_EQ(ReadScriptParameters(&host.record, settings_.get(), &show, nullptr), 0);
    EXPECT_EQ(settings_->gridLevel, 3);
    host.SetDescriptor({{kScriptKeyData, std::string("\x01\x02", 2)}});
    EXPECT_EQ(ReadScriptParameters(&host.record, settings_.get(), &show, nullptr), 0);
    EXPECT_EQ(TestHost::LiveHandles(), 0);

    // The module's key on an item that is not text (another filter's, or a damaged action) is
    // not asked for as text; a text item after it still counts.
    std::vector<uint32_t> full(5328 / 4, F(0.5f));
    host.SetDescriptor({{kScriptKeyData, Pack(full, 5328), PIFourCC('l', 'o', 'n', 'g')},
                        {kScriptKeyData, Pack(OldVector(1, "named"), 5148)}});
    EXPECT_EQ(ReadScriptParameters(&host.record, settings_.get(), &show, nullptr), 0);
    EXPECT_EQ(TestHost::wrongTypeReads, 0);
    EXPECT_STREQ(settings_->customName, "named");
    EXPECT_EQ(TestHost::LiveHandles(), 0);
}

TEST_F(ScriptingTest, HostsWithoutDescriptorProceduresAreLeftAlone) {
    TestHost host;
    host.record.descriptorParameters = nullptr;
    uint8_t show = 9;
    EXPECT_EQ(ReadScriptParameters(&host.record, settings_.get(), &show, nullptr), 0);
    EXPECT_EQ(WriteScriptParameters(&host.record, settings_.get(), nullptr), 0);
    EXPECT_EQ(show, 9);
    TestHost other;
    other.descriptorParameters.readDescriptorProcs = nullptr;
    other.SetDescriptor({});
    EXPECT_EQ(ReadScriptParameters(&other.record, settings_.get(), &show, nullptr), 0);
    EXPECT_EQ(show, 9);
}

}  // namespace
