// Rectangles go through the 32-bit fields only when the host offers them and the module uses them.
#include <gtest/gtest.h>

#include "host/rects.h"

namespace {

TEST(Rects, SixteenBitFieldsWithoutBigDocumentData) {
    FilterRecord r{};
    r.filterRect = {1, 2, 300, 400};
    VRect f = GetFilterRect(&r);
    EXPECT_EQ(f.top, 1);
    EXPECT_EQ(f.right, 400);
    r.inRect = {-5, 0, -1, 7};
    EXPECT_EQ(GetInRect(&r).top, -5);  // widened with sign
    SetOutRect(&r, VRect{10, 20, 70000, 40});
    EXPECT_EQ(r.outRect.top, 10);
    EXPECT_EQ(r.outRect.bottom, int16(70000));  // the low 16 bits
    SetMaskRect(&r, VRect{1, 2, 3, 4});
    EXPECT_EQ(GetMaskRect(&r).right, 4);
}

TEST(Rects, ThirtyTwoBitFieldsWhenTheModuleUsesThem) {
    FilterRecord r{};
    BigDocumentStruct big{};
    r.bigDocumentData = &big;
    big.filterRect32 = {0, 0, 100000, 80000};
    r.filterRect = {0, 0, 1, 1};
    EXPECT_EQ(GetFilterRect(&r).bottom, 1);  // the flag is not set: 16-bit fields
    big.PluginUsing32BitCoordinates = 1;
    EXPECT_EQ(GetFilterRect(&r).bottom, 100000);
    SetInRect(&r, VRect{0, 0, 70000, 80000});
    EXPECT_EQ(big.inRect32.bottom, 70000);
    EXPECT_EQ(r.inRect.bottom, 0);  // 16-bit field untouched
    EXPECT_EQ(GetInRect(&r).bottom, 70000);
    SetOutRect(&r, VRect{5, 6, 7, 8});
    EXPECT_EQ(GetOutRect(&r).left, 6);
}

}  // namespace
