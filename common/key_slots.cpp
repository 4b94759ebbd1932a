#include "common/key_slots.h"

#include "common/flexlayer_keys.h"
#include "common/slots.h"

namespace vyre {
namespace {

// clang-format off
constexpr SlotPair kPrimarySlots[kPrimarySlotPairs] = {
    {0, 0},     {24, 1},    {48, 2},    {72, 3},    {96, 4},    // "M1".."M5"
    {120, 10},  {121, 11},  {122, 12},                          // thumb keys
    {2, 112},   {14, 113},  {3, 114},   {15, 115},  {4, 116},   // F1..F5
    {16, 117},  {5, 118},   {17, 119},  {6, 120},   {7, 121},   // F6..F10
    {8, 122},   {20, 123},  {9, 124},   {21, 125},  {33, 126},  // F11, F12, Prtscn, Scroll Lock, Pause
};
// clang-format on

// clang-format off
constexpr SlotPair kSecondarySlots[kSecondarySlotPairs] = {
    {0, 5},  // M1
    {24, 6},  // M2
    {48, 7},  // M3
    {72, 8},  // M4
    {96, 9},  // M5
    {120, 13},  // thumb 1
    {121, 14},  // thumb 2
    {122, 15},  // thumb 3
    {12, 16},  // ~
    {13, 17},  // 1
    {25, 18},  // 2
    {26, 19},  // 3
    {27, 20},  // 4
    {39, 21},  // 5
    {28, 22},  // 6
    {40, 23},  // 7
    {29, 24},  // 8
    {41, 25},  // 9
    {18, 26},  // 0
    {30, 27},  // -
    {19, 28},  // =
    {32, 29},  // K14
    {44, 30},  // back space
    {36, 31},  // Tab
    {37, 32},  // Q
    {49, 33},  // W
    {38, 34},  // E
    {50, 35},  // R
    {51, 36},  // T
    {52, 37},  // Y
    {64, 38},  // U
    {53, 39},  // I
    {42, 40},  // O
    {54, 41},  // P
    {31, 42},  // { [
    {43, 43},  // }]
    {56, 44},  // K29
    {61, 45},  // A
    {73, 46},  // S
    {62, 47},  // D
    {74, 48},  // F
    {63, 49},  // G
    {75, 50},  // H
    {76, 51},  // J
    {65, 52},  // K
    {66, 53},  // L
    {78, 54},  // ;
    {55, 55},  // "'
    {67, 56},  // K42
    {68, 57},  // Enter
    {84, 58},  // Shift_L
    {85, 59},  // K45
    {97, 60},  // Z
    {86, 61},  // X
    {98, 62},  // C
    {87, 63},  // V
    {99, 64},  // B
    {88, 65},  // N
    {77, 66},  // M
    {89, 67},  // <
    {90, 68},  // >
    {79, 69},  // ?
    {91, 70},  // K56
    {80, 71},  // Shift_R
    {108, 72},  // Ctrl_L
    {109, 73},  // Win_L
    {110, 74},  // Alt_L
    {100, 75},  // K131
    {111, 76},  // K150
    {112, 77},  // Space
    {102, 78},  // K151
    {101, 79},  // K132
    {113, 80},  // K133
    {102, 80},  // K151
    {114, 81},  // Alt_R
    {103, 82},  // App
    {92, 83},  // Ctrl_R
    {45, 84},  // Insert
    {57, 85},  // Home
    {69, 86},  // PgUp
    {81, 87},  // Delete
    {93, 88},  // End
    {105, 89},  // PGDn
    {117, 90},  // Up
    {104, 91},  // Left
    {116, 92},  // Down
    {118, 93},  // RIGHT
    {10, 94},  // Num
    {22, 95},  // /(pad)
    {11, 96},  // *(pad)
    {23, 97},  // -(pad)
    {34, 98},  // 7(pad)
    {46, 99},  // 8(pad)
    {35, 100},  // 9(pad)
    {47, 101},  // +(pad)
    {58, 102},  // 4(pad)
    {70, 103},  // 5(pad)
    {59, 104},  // 6(pad)
    {71, 105},  // K107
    {82, 106},  // 1(pad)
    {94, 107},  // 2(pad)
    {83, 108},  // 3(pad)
    {95, 109},  // Enter(pad)
    {106, 110},  // 0(pad)
    {107, 111},  // .(pad)
    {2, 127},  // F1
    {14, 128},  // F2
    {3, 129},  // F3
    {15, 130},  // F4
    {4, 131},  // F5
    {16, 132},  // F6
    {5, 133},  // F7
    {17, 134},  // F8
    {6, 135},  // F9
    {7, 136},  // F10
    {8, 137},  // F11
    {20, 138},  // F12
    {9, 139},  // Prtscn
    {21, 140},  // Scroll Lock
    {33, 141},  // Pause
};
// clang-format on

static_assert(kSecondarySlots[kSecondarySlotPairs - 1].slot == kFunctionSlotCount - 1);

}  // namespace

std::span<const SlotPair, kPrimarySlotPairs> PrimarySlotTable() {
    return std::span<const SlotPair, kPrimarySlotPairs>(kPrimarySlots);
}

std::span<const SlotPair, kSecondarySlotPairs> SecondarySlotTable() {
    return std::span<const SlotPair, kSecondarySlotPairs>(kSecondarySlots);
}

std::optional<int> FindSlot(std::span<const SlotPair> table, int keyIndex) {
    for (const SlotPair& pair : table) {
        if (pair.keyIndex == keyIndex) return pair.slot;
    }
    return std::nullopt;
}

std::optional<int> FunctionSlot(int keyIndex, Layer layer, int layoutCode) {
    const bool tableKey = IsMacroKey(keyIndex) || IsThumbKey(keyIndex) || IsFunctionKey(keyIndex);
    if (layer == Layer::Primary) {
        return tableKey ? FindSlot(PrimarySlotTable(), keyIndex) : std::nullopt;
    }
    if (tableKey) return FindSlot(SecondarySlotTable(), keyIndex);
    const auto position = FlexlayerPosition(keyIndex, layoutCode);
    if (!position) return std::nullopt;
    return 16 + *position;
}

}  // namespace vyre
