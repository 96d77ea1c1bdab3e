// The embedded-data store: setting, writing back, moving and emptying slots.
#include "imagelib/ras_embed.h"
#include "tests/imagelib/fixtures.h"

namespace imagelib_test {
namespace {

using RasEmbedTest = ImagelibTest;

Bytes Held(int32_t slot) {
    const uint8_t* block;
    uint32_t length;
    EXPECT_EQ(RasEmbedGet(slot, &block, &length), 0);
    return block == nullptr ? Bytes() : Bytes(block, block + length);
}

TEST_F(RasEmbedTest, FilesGoInAndComeBackUnchanged) {
    Bytes profile = {0, 0, 0, 10, 'a', 'c', 's', 'p', 1, 2};
    Bytes record = {0x1C, 2, 0, 0, 3, 'a', 'b', 'c'};
    WriteBytes(Path("p.icc"), profile);
    WriteBytes(Path("r.iptc"), record);
    FLSpec p = Disk("p.icc"), r = Disk("r.iptc");
    ASSERT_EQ(RasEmbedSetFromFile(kRasSlotWriteProfile, &p), 0);
    ASSERT_EQ(RasEmbedSetFromFile(kRasSlotWriteData, &r), 0);
    EXPECT_TRUE(Held(kRasSlotWriteProfile) == profile);
    Bytes prefixed = {0, 0, 0, 12};
    prefixed.insert(prefixed.end(), record.begin(), record.end());
    EXPECT_TRUE(Held(kRasSlotWriteData) == prefixed);

    for (auto [slot, name, original] : {std::tuple{kRasSlotWriteProfile, "p2", profile},
                                        std::tuple{kRasSlotWriteData, "r2", record}}) {
        FLSpec out = Disk(name);
        FLFile f;
        ASSERT_EQ(FLOpen(&f, &out, kFLWrite), 0);
        EXPECT_EQ(RasEmbedWrite(slot, &f), 0);
        FLClose(&f);
        EXPECT_TRUE(ReadBytes(Path(name)) == original) << name;
    }

    // A profile whose length field disagrees with the file, an empty file, and read slots.
    profile[3] = 11;
    WriteBytes(Path("p.icc"), profile);
    EXPECT_EQ(RasEmbedSetFromFile(kRasSlotWriteProfile, &p), -8);
    EXPECT_EQ(Held(kRasSlotWriteProfile)[3], 10) << "the slot keeps what it had";
    WriteBytes(Path("e"), {});
    FLSpec e = Disk("e");
    EXPECT_EQ(RasEmbedSetFromFile(kRasSlotWriteData, &e), -8);
    EXPECT_EQ(RasEmbedSetFromFile(kRasSlotReadProfile, &p), -1);
}

TEST_F(RasEmbedTest, BlocksAreCopiedByTheirOwnLength) {
    uint8_t block[12] = {0, 0, 0, 6, 1, 2, 99, 99, 99, 99, 99, 99};
    ASSERT_EQ(RasEmbedSetFromBlock(kRasSlotWriteProfile, block), 0);
    block[4] = 77;
    EXPECT_TRUE(Held(kRasSlotWriteProfile) == Bytes({0, 0, 0, 6, 1, 2}));
    block[3] = 3;
    EXPECT_EQ(RasEmbedSetFromBlock(kRasSlotWriteProfile, block), -1);
    EXPECT_EQ(RasEmbedSetFromBlock(kRasSlotReadData, block), -1);
    EXPECT_EQ(RasEmbedGet(4, nullptr, nullptr), -1);
}

TEST_F(RasEmbedTest, AProfileReadMovesToTheWriteSlot) {
    TiffLayout l;
    l.profile = {0, 0, 0, 6, 5, 6};
    ASSERT_TRUE(WriteTiff(Path("a.tif"), l));
    FLSpec spec = Disk("a.tif");
    RasImage image;
    ASSERT_EQ(RasQuery(&spec, &image), 0);
    ASSERT_EQ(RasOpen(&spec, "r", &image), 0);
    RasClose(&image);
    EXPECT_TRUE(Held(kRasSlotReadProfile) == l.profile);
    EXPECT_EQ(RasEmbedMoveToWrite(kRasSlotReadProfile), 0);
    EXPECT_TRUE(Held(kRasSlotReadProfile).empty());
    EXPECT_TRUE(Held(kRasSlotWriteProfile) == l.profile);
    EXPECT_EQ(RasEmbedMoveToWrite(kRasSlotReadProfile), 0);
    EXPECT_TRUE(Held(kRasSlotWriteProfile).empty()) << "moving an empty slot empties the other";
    EXPECT_EQ(RasEmbedMoveToWrite(kRasSlotWriteData), -1);
}

}  // namespace
}  // namespace imagelib_test
