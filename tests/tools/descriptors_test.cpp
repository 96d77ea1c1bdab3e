// Descriptors as the filter sees them through the host's suites, their stored bytes, the action
// file, and the handle suite's defence against misuse.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/tools/host_test_support.h"
#include "tools/hostlib/descriptors.h"
#include "tools/hostlib/handle_suite.h"

namespace {

constexpr DescriptorKeyID kKeyA = PIFourCC('D', 't', ' ', ' ');
constexpr DescriptorKeyID kKeyB = PIFourCC('x', 'y', 'z', 'w');

std::vector<std::string> gWarnings;

class Descriptors : public fhtest::TempDirTest {
   protected:
    void SetUp() override {
        TempDirTest::SetUp();
        gWarnings.clear();
        SetHostWarningSink([](const std::string& w) { gWarnings.push_back(w); });
    }
    void TearDown() override {
        DisposeAllHandles();
        CloseAllDescriptorTokens();
        SetHostWarningSink(nullptr);
        TempDirTest::TearDown();
    }
    Handle Text(const std::string& s) { return NewHostHandle(s.data(), s.size()); }
    std::string Contents(Handle h) {
        std::string bytes;
        EXPECT_TRUE(HandleContents(h, &bytes, "test"));
        return bytes;
    }
};

TEST_F(Descriptors, WhatTheFilterWritesItReadsBackThroughTheSuites) {
    WriteDescriptorProcs* w = HostWriteDescriptorProcs();
    ReadDescriptorProcs* r = HostReadDescriptorProcs();
    PIWriteDescriptor writer = w->openWriteDescriptorProc();
    std::string packed("P)\0\0\0\x01\x7f", 7);  // text items may hold zero bytes
    Handle a = Text(packed), b = Text("second"), a2 = Text(packed + "!");
    EXPECT_EQ(w->putTextProc(writer, kKeyA, a), noErr);
    EXPECT_EQ(w->putTextProc(writer, kKeyB, b), noErr);
    EXPECT_EQ(w->putTextProc(writer, kKeyA, a2), noErr) << "a second put replaces the first";
    PIDescriptorHandle descriptor = nullptr;
    ASSERT_EQ(w->closeWriteDescriptorProc(writer, &descriptor), noErr);
    ASSERT_TRUE(IsLiveHandle(descriptor));
    EXPECT_EQ(OpenDescriptorTokens(), 0u);

    DescriptorKeyID keys[] = {kKeyA, 0};
    PIReadDescriptor reader = r->openReadDescriptorProc(descriptor, keys);
    ASSERT_NE(reader, nullptr);
    DescriptorKeyID key;
    DescriptorTypeID type;
    int32 flags;
    ASSERT_TRUE(r->getKeyProc(reader, &key, &type, &flags));
    EXPECT_EQ(key, kKeyA);
    EXPECT_EQ(type, typeText);
    Handle text = nullptr;
    ASSERT_EQ(r->getTextProc(reader, &text), noErr);
    EXPECT_EQ(Contents(text), packed + "!");
    ASSERT_TRUE(r->getKeyProc(reader, &key, &type, &flags));
    EXPECT_EQ(key, kKeyB);
    EXPECT_FALSE(r->getKeyProc(reader, &key, &type, &flags));
    EXPECT_EQ(r->closeReadDescriptorProc(reader), noErr);

    // The stored bytes: count, then key, type, length and data, most significant byte first.
    std::string bytes = Contents(descriptor);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\0\0\0\2", 4));
    EXPECT_EQ(bytes.substr(4, 12), std::string("Dt  TEXT\0\0\0\x08", 12));
    EXPECT_EQ(bytes.substr(16, 8), packed + "!");
}

TEST_F(Descriptors, DamagedBytesAndMisusedTokensAreRefusedNotFollowed) {
    std::string good = EncodeDescriptor({{kKeyA, typeText, "abc"}, {kKeyB, typeText, ""}});
    std::vector<DescriptorItem> items;
    std::string error;
    ASSERT_TRUE(DecodeDescriptor(good, &items, &error));
    ASSERT_EQ(items.size(), 2u);
    for (size_t n = 0; n < good.size(); ++n) {
        EXPECT_FALSE(DecodeDescriptor(good.substr(0, n), &items, &error)) << n;
    }
    EXPECT_FALSE(DecodeDescriptor(good + "x", &items, &error));
    EXPECT_FALSE(DecodeDescriptor(std::string("\xff\xff\xff\xff", 4), &items, &error));

    ReadDescriptorProcs* r = HostReadDescriptorProcs();
    Handle damaged = Text(good.substr(0, 10));
    EXPECT_EQ(r->openReadDescriptorProc(damaged, nullptr), nullptr);
    DescriptorKeyID key;
    auto* bogus = reinterpret_cast<PIReadDescriptor>(&key);
    EXPECT_FALSE(r->getKeyProc(bogus, &key, nullptr, nullptr));
    EXPECT_EQ(r->closeReadDescriptorProc(bogus), filterBadParameters);
    Handle text = nullptr;
    PIReadDescriptor reader = r->openReadDescriptorProc(Text(good), nullptr);
    EXPECT_EQ(r->getTextProc(reader, &text), filterBadParameters) << "no current item yet";
    EXPECT_EQ(r->closeReadDescriptorProc(reader), filterBadParameters)
        << "the error is reported at close";
    EXPECT_EQ(gWarnings.size(), 4u);
}

TEST_F(Descriptors, HandleSuiteRefusesForeignAndDisposedHandles) {
    HandleProcs* h = HostHandleProcs();
    Handle a = h->newProc(10);
    ASSERT_NE(a, nullptr);
    char* p = h->lockProc(a, 1);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::string(p, 10), std::string(10, '\0')) << "new handles are zero-filled";
    EXPECT_EQ(h->setSizeProc(a, 20), memFullErr) << "a locked handle keeps its size";
    h->unlockProc(a);
    EXPECT_EQ(h->setSizeProc(a, 20), noErr);
    EXPECT_EQ(h->getSizeProc(a), 20);
    EXPECT_NE(h->lockProc(h->newProc(0), 0), nullptr) << "an empty handle still locks";
    EXPECT_EQ(h->newProc(-1), nullptr);
    h->disposeProc(a);
    gWarnings.clear();
    h->disposeProc(a);
    EXPECT_EQ(h->lockProc(a, 0), nullptr);
    EXPECT_EQ(h->getSizeProc(a), 0);
    EXPECT_EQ(gWarnings.size(), 3u);
}

TEST_F(Descriptors, ActionFilesRoundTripAndDamagedOnesAreNamed) {
    std::vector<DescriptorItem> items{{kKeyA, typeText, std::string("P)\0\0\0", 5) + "settings"}};
    std::string error;
    ASSERT_TRUE(WriteActionFile(Path("a.kact"), items, &error)) << error;
    std::string bytes = fhtest::ReadText(Path("a.kact"));
    EXPECT_EQ(bytes.substr(0, 8), std::string("KACT\0\0\0\1", 8));
    std::vector<DescriptorItem> back;
    ASSERT_TRUE(ReadActionFile(Path("a.kact"), &back, &error)) << error;
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].key, kKeyA);
    EXPECT_EQ(back[0].data, items[0].data);

    fhtest::WriteFileBytes(Path("v2.kact"), std::string("KACT\0\0\0\2", 8) + bytes.substr(8));
    EXPECT_FALSE(ReadActionFile(Path("v2.kact"), &back, &error));
    EXPECT_EQ(error, "action file version 2 is not supported");
    fhtest::WriteFileBytes(Path("x.kact"), "PNG and other things");
    EXPECT_FALSE(ReadActionFile(Path("x.kact"), &back, &error));
    EXPECT_EQ(error, "not an action file");
    EXPECT_FALSE(WriteActionFile(Path("missing/a.kact"), items, &error));
    EXPECT_EQ(fhtest::FolderEntries(dir_).size(), 3u) << "no temporary file is left behind";
}

}  // namespace
