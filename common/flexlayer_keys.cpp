#include "common/flexlayer_keys.h"

namespace vyre {
namespace {

// Layout 0.
// clang-format off
constexpr FlexlayerKeyList kLayout0 = {
    12,  // 0 ~
    13,  // 1 1
    25,  // 2 2
    26,  // 3 3
    27,  // 4 4
    39,  // 5 5
    28,  // 6 6
    40,  // 7 7
    29,  // 8 8
    41,  // 9 9
    18,  // 10 0
    30,  // 11 -
    19,  // 12 =
    kNoKey,  // 13 none
    44,  // 14 back space
    36,  // 15 Tab
    37,  // 16 Q
    49,  // 17 W
    38,  // 18 E
    50,  // 19 R
    51,  // 20 T
    52,  // 21 Y
    64,  // 22 U
    53,  // 23 I
    42,  // 24 O
    54,  // 25 P
    31,  // 26 { [
    43,  // 27 }]
    56,  // 28 K29
    61,  // 29 A
    73,  // 30 S
    62,  // 31 D
    74,  // 32 F
    63,  // 33 G
    75,  // 34 H
    76,  // 35 J
    65,  // 36 K
    66,  // 37 L
    78,  // 38 ;
    55,  // 39 "'
    kNoKey,  // 40 none
    68,  // 41 Enter
    84,  // 42 Shift_L
    kNoKey,  // 43 none
    97,  // 44 Z
    86,  // 45 X
    98,  // 46 C
    87,  // 47 V
    99,  // 48 B
    88,  // 49 N
    77,  // 50 M
    89,  // 51 <
    90,  // 52 >
    79,  // 53 ?
    kNoKey,  // 54 none
    80,  // 55 Shift_R
    108,  // 56 Ctrl_L
    109,  // 57 Win_L
    110,  // 58 Alt_L
    kNoKey,  // 59 none
    kNoKey,  // 60 none
    112,  // 61 Space
    kNoKey,  // 62 none
    kNoKey,  // 63 none
    kNoKey,  // 64 none
    114,  // 65 Alt_R 
    103,  // 66 App
    92,  // 67 Ctrl_R
    45,  // 68 Insert
    57,  // 69 Home
    69,  // 70 PgUp
    81,  // 71 Delete
    93,  // 72 End
    105,  // 73 PGDn
    117,  // 74 Up
    104,  // 75 Left
    116,  // 76 Down
    118,  // 77 RIGHT
    10,  // 78 Num
    22,  // 79 /(pad)
    11,  // 80 *(pad)
    23,  // 81 -(pad)
    34,  // 82 7(pad)
    46,  // 83 8(pad)
    35,  // 84 9(pad)
    47,  // 85 +(pad)
    58,  // 86 4(pad)
    70,  // 87 5(pad)
    59,  // 88 6(pad)
    kNoKey,  // 89 none
    82,  // 90 1(pad)
    94,  // 91 2(pad)
    83,  // 92 3(pad)
    95,  // 93 Enter(pad)
    106,  // 94 0(pad)
    107,  // 95 .(pad)
};
// clang-format on

struct PositionKey {
    int position;
    std::uint8_t key;
};

// Layout 0 with the keypad (positions 78..95) taken away and the given
// positions changed: the other layouts differ from layout 0 only there.
template <std::size_t N>
constexpr FlexlayerKeyList WithoutKeypad(const PositionKey (&changes)[N]) {
    FlexlayerKeyList keys = kLayout0;
    for (int position = 78; position < kFlexlayerPositions; ++position) keys[position] = kNoKey;
    for (const PositionKey& change : changes) keys[change.position] = change.key;
    return keys;
}

// Layout 12: adds the yen, ISO, ro and Japanese conversion keys, has no
// backslash above Enter and no keypad.
constexpr PositionKey kLayout12Changes[] = {
    {13, 32},      // K14
    {28, kNoKey},  // no backslash
    {40, 67},      // K42
    {54, 91},      // K56
    {59, 100},     // K131
    {60, 111},     // K150
    {63, 101},     // K132
    {64, 113},     // K133
};
constexpr FlexlayerKeyList kLayout12 = WithoutKeypad(kLayout12Changes);

// Layout 13: adds the ISO key and the Korean keys, has no keypad. K151 stands
// at two positions, as the keyboard lists it.
constexpr PositionKey kLayout13Changes[] = {
    {40, 67},   // K42
    {59, 100},  // K131
    {60, 111},  // K150
    {62, 102},  // K151
    {64, 102},  // K151
};
constexpr FlexlayerKeyList kLayout13 = WithoutKeypad(kLayout13Changes);

// Every other layout code: the two ISO keys instead of the backslash above
// Enter, no keypad.
constexpr PositionKey kLayoutOtherChanges[] = {
    {28, kNoKey},  // no backslash
    {40, 67},      // K42
    {43, 85},      // K45
};
constexpr FlexlayerKeyList kLayoutOther = WithoutKeypad(kLayoutOtherChanges);

}  // namespace

const FlexlayerKeyList& FlexlayerKeys(int layoutCode) {
    switch (layoutCode) {
        case kLayoutCodeDefault:
            return kLayout0;
        case kLayoutCode12:
            return kLayout12;
        case kLayoutCode13:
            return kLayout13;
        default:
            return kLayoutOther;
    }
}

std::optional<int> FlexlayerPosition(int keyIndex, int layoutCode) {
    if (keyIndex < 0 || keyIndex >= kNoKey) return std::nullopt;
    const FlexlayerKeyList& keys = FlexlayerKeys(layoutCode);
    for (int position = 0; position < kFlexlayerPositions; ++position) {
        if (keys[position] == keyIndex) return position;
    }
    return std::nullopt;
}

}  // namespace vyre
