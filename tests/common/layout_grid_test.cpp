#include "common/layout_grid.h"

#include "common/key_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace vyre {
namespace {

std::u16string NameAt(int column, int row) {
    const GridCell& cell = TheLayoutGrid()[row][column];
    return cell.HoldsKey() ? std::u16string(KeyTableName(cell.keyIndex)) : std::u16string();
}

TEST(LayoutGrid, EveryKeyStandsInExactlyOneCell) {
    int count[kKeyTableRows] = {};
    for (const auto& row : TheLayoutGrid()) {
        for (const GridCell& cell : row) {
            if (!cell.HoldsKey()) continue;
            ASSERT_LT(cell.keyIndex, kKeyTableRows);
            ++count[cell.keyIndex];
            // The usage of a cell is the usage of its key.
            EXPECT_EQ(cell.usage, KeyUsage(cell.keyIndex)) << int(cell.keyIndex);
        }
    }
    for (int key = 0; key < kKeyTableRows; ++key) EXPECT_EQ(count[key], 1) << "key " << key;
}

TEST(LayoutGrid, TopRowsAsOnTheKeyboard) {
    EXPECT_EQ(NameAt(1, 0), u"ESC");
    EXPECT_FALSE(TheLayoutGrid()[0][0].HoldsKey());
    EXPECT_FALSE(TheLayoutGrid()[0][2].HoldsKey());
    const char16_t* topRow[] = {u"F1",  u"F2",  u"F3",     u"F4",          u"F5",
                                u"F6",  u"F7",  u"F8",     u"F9",          u"F10",
                                u"F11", u"F12", u"Prtscn", u"Scroll Lock", u"Pause"};
    for (int i = 0; i < 15; ++i) EXPECT_EQ(NameAt(3 + i, 0), topRow[i]) << i;
    EXPECT_EQ(NameAt(0, 1), u"M1");
    EXPECT_EQ(NameAt(1, 1), u"~");
    EXPECT_EQ(NameAt(2, 1), u"1");
    // The macro keys run down column 0.
    const char16_t* macro[] = {u"M1", u"M2", u"M3", u"M4", u"M5"};
    for (int row = 1; row < kGridRows; ++row) EXPECT_EQ(NameAt(0, row), macro[row - 1]);
}

TEST(LayoutGrid, NeighboursStayNeighbours) {
    // Keys next to each other on the keyboard are at most one cell apart, so
    // ripple rings reach them in order.
    auto at = [](std::uint16_t usage) {
        return *FindGridCellOfUsage(static_cast<std::uint8_t>(usage));
    };
    auto near = [&](std::uint16_t a, std::uint16_t b) {
        const GridPosition p = at(a), q = at(b);
        return std::abs(p.column - q.column) <= 1 && std::abs(p.row - q.row) <= 1;
    };
    EXPECT_TRUE(near(0x14, 0x04));  // Q above A
    EXPECT_TRUE(near(0x04, 0x1D));  // A above Z
    EXPECT_TRUE(near(0x1D, 0x64));  // Z beside K45
    EXPECT_TRUE(near(0x52, 0x51));  // Up above Down
    EXPECT_TRUE(near(0x50, 0x51));  // Left beside Down
    EXPECT_TRUE(near(0x5F, 0x5C));  // 7(pad) above 4(pad)
    EXPECT_TRUE(near(0x5B, 0x63));  // 3(pad) above .(pad)
    EXPECT_TRUE(near(0x2C, 0x19));  // Space under V
}

TEST(LayoutGrid, FindCells) {
    EXPECT_EQ(FindGridCellOfUsage(0x29), (GridPosition{1, 0}));  // ESC
    EXPECT_EQ(FindGridCellOfUsage(0xAA), (GridPosition{0, 1}));  // M1
    EXPECT_FALSE(FindGridCellOfUsage(0).has_value());
    EXPECT_FALSE(FindGridCellOfUsage(0x68).has_value());  // no such key
    EXPECT_EQ(FindGridCellOfKey(0), (GridPosition{0, 1}));
    EXPECT_EQ(FindGridCellOfKey(33), (GridPosition{17, 0}));
    EXPECT_FALSE(FindGridCellOfKey(120).has_value());  // thumb keys are not on the grid
}

TEST(LayoutGrid, RippleFromTopLeftReachesRadius21AtMost) {
    const GridPosition esc = *FindGridCellOfUsage(0x29);
    int farthest = 0;
    for (int row = 0; row < kGridRows; ++row) {
        for (int column = 0; column < kGridColumns; ++column) {
            if (!TheLayoutGrid()[row][column].HoldsKey()) continue;
            const double d = std::sqrt(double((esc.column - column) * (esc.column - column) +
                                              (esc.row - row) * (esc.row - row)));
            farthest = std::max(farthest, static_cast<int>(d));
        }
    }
    EXPECT_EQ(farthest, 21);
}

}  // namespace
}  // namespace vyre
