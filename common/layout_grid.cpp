#include "common/layout_grid.h"

namespace vyre {
namespace {

// {usage, key index}; {0, 0} is an empty cell. The comments name the keys from
// the column given.
// clang-format off
constexpr LayoutGrid kGrid = {{
    {{  // row 0
        {0, 0}, {0x29, 1}, {0, 0}, {0x3A, 2}, {0x3B, 14}, {0x3C, 3},  // 0: - | ESC | - | F1 | F2 | F3
        {0x3D, 15}, {0x3E, 4}, {0x3F, 16}, {0x40, 5}, {0x41, 17}, {0x42, 6},  // 6: F4 | F5 | F6 | F7 | F8 | F9
        {0x43, 7}, {0x44, 8}, {0x45, 20}, {0x46, 9}, {0x47, 21}, {0x48, 33},  // 12: F10 | F11 | F12 | Prtscn | Scroll Lock | Pause
        {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0},  // 18: - | - | - | - | -
    }},
    {{  // row 1
        {0xAA, 0}, {0x35, 12}, {0x1E, 13}, {0x1F, 25}, {0x20, 26}, {0x21, 27},  // 0: M1 | ~ | 1 | 2 | 3 | 4
        {0x22, 39}, {0x23, 28}, {0x24, 40}, {0x25, 29}, {0x26, 41}, {0x27, 18},  // 6: 5 | 6 | 7 | 8 | 9 | 0
        {0x2D, 30}, {0x2E, 19}, {0x89, 32}, {0x2A, 44}, {0x49, 45}, {0x4A, 57},  // 12: - | = | K14 | back space | Insert | Home
        {0x4B, 69}, {0x53, 10}, {0x54, 22}, {0x55, 11}, {0x56, 23},  // 18: PgUp | Num | /(pad) | *(pad) | -(pad)
    }},
    {{  // row 2
        {0xAB, 24}, {0x2B, 36}, {0x14, 37}, {0x1A, 49}, {0x08, 38}, {0x15, 50},  // 0: M2 | Tab | Q | W | E | R
        {0x17, 51}, {0x1C, 52}, {0x18, 64}, {0x0C, 53}, {0x12, 42}, {0x13, 54},  // 6: T | Y | U | I | O | P
        {0x2F, 31}, {0x30, 43}, {0x31, 56}, {0, 0}, {0x4C, 81}, {0x4D, 93},  // 12: { [ | }] | K29 | - | Delete | End
        {0x4E, 105}, {0x5F, 34}, {0x60, 46}, {0x61, 35}, {0x57, 47},  // 18: PGDn | 7(pad) | 8(pad) | 9(pad) | +(pad)
    }},
    {{  // row 3
        {0xAC, 48}, {0x39, 60}, {0x04, 61}, {0x16, 73}, {0x07, 62}, {0x09, 74},  // 0: M3 | Caps lock | A | S | D | F
        {0x0A, 63}, {0x0B, 75}, {0x0D, 76}, {0x0E, 65}, {0x0F, 66}, {0x33, 78},  // 6: G | H | J | K | L | ;
        {0x34, 55}, {0x32, 67}, {0x28, 68}, {0, 0}, {0, 0}, {0, 0},  // 12: "' | K42 | Enter | - | - | -
        {0, 0}, {0x5C, 58}, {0x5D, 70}, {0x5E, 59}, {0x85, 71},  // 18: - | 4(pad) | 5(pad) | 6(pad) | K107
    }},
    {{  // row 4
        {0xAD, 72}, {0xE1, 84}, {0x64, 85}, {0x1D, 97}, {0x1B, 86}, {0x06, 98},  // 0: M4 | Shift_L | K45 | Z | X | C
        {0x19, 87}, {0x05, 99}, {0x11, 88}, {0x10, 77}, {0x36, 89}, {0x37, 90},  // 6: V | B | N | M | < | >
        {0x38, 79}, {0x87, 91}, {0xE5, 80}, {0, 0}, {0, 0}, {0x52, 117},  // 12: ? | K56 | Shift_R | - | - | Up
        {0, 0}, {0x59, 82}, {0x5A, 94}, {0x5B, 83}, {0x58, 95},  // 18: - | 1(pad) | 2(pad) | 3(pad) | Enter(pad)
    }},
    {{  // row 5
        {0xAE, 96}, {0xE0, 108}, {0xE3, 109}, {0xE2, 110}, {0x8B, 100}, {0x91, 111},  // 0: M5 | Ctrl_L | Win_L | Alt_L | K131 | K150
        {0x2C, 112}, {0x90, 102}, {0x8A, 101}, {0x88, 113}, {0xE6, 114}, {0xE7, 119},  // 6: Space | K151 | K132 | K133 | Alt_R | WIN_R
        {0xF1, 115}, {0x65, 103}, {0xE4, 92}, {0, 0}, {0x50, 104}, {0x51, 116},  // 12: Fn | App | Ctrl_R | - | Left | Down
        {0x4F, 118}, {0x62, 106}, {0, 0}, {0x63, 107}, {0, 0},  // 18: RIGHT | 0(pad) | - | .(pad) | -
    }},
}};
// clang-format on

}  // namespace

const LayoutGrid& TheLayoutGrid() {
    return kGrid;
}

std::optional<GridPosition> FindGridCellOfUsage(std::uint8_t usage) {
    if (usage == 0) return std::nullopt;
    for (int row = 0; row < kGridRows; ++row) {
        for (int column = 0; column < kGridColumns; ++column) {
            if (kGrid[row][column].usage == usage) return GridPosition{column, row};
        }
    }
    return std::nullopt;
}

std::optional<GridPosition> FindGridCellOfKey(int keyIndex) {
    for (int row = 0; row < kGridRows; ++row) {
        for (int column = 0; column < kGridColumns; ++column) {
            const GridCell& cell = kGrid[row][column];
            if (cell.HoldsKey() && cell.keyIndex == keyIndex) return GridPosition{column, row};
        }
    }
    return std::nullopt;
}

}  // namespace vyre
