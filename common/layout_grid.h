#pragma once
// The layout grid: the keys at their physical places on the keyboard, six rows
// of 23 cells, each cell a HID usage and a key index (usage 0: empty cell).
// The Monitor measures distances between keys on it for the ripple light
// effect, so what matters is that every key stands once, near its neighbours.
//
// Row 0 holds "ESC" in column 1 and F1..F12, Prtscn, Scroll Lock and Pause in
// columns 3..17. Rows 1..5 start with the macro keys "M1".."M5" in column 0,
// followed by the main block in columns 1..15, the navigation block in columns
// 16..18 and the keypad in columns 19..22:
//
//   row 1  M1 ~ 1..0 - = K14 back-space | Insert Home PgUp | Num / * -
//   row 2  M2 Tab Q..P { } K29 .        | Delete End PGDn  | 7 8 9 +
//   row 3  M3 Caps A..L ; ' K42 Enter   |                  | 4 5 6 K107
//   row 4  M4 Shift_L K45 Z..? K56 Shift_R |    Up          | 1 2 3 Enter
//   row 5  M5 Ctrl_L Win_L Alt_L K131 K150 Space K151 K132 K133 Alt_R WIN_R Fn App Ctrl_R
//                                        | Left Down RIGHT  | 0 . .
//
// How the grid is completed, and why:
// - The grid holds every key of the key table, the keys that only some layout
//   variants have included (K14, K29, K42, K45, K56, K107, K131..K133, K150,
//   K151), because the ripple must be able to start from and reach any key of
//   any variant. Each one sits where that key is on the keyboards that have
//   it: K14 (yen) between "=" and back space, K29 (backslash) at the end of the
//   Q row, K42 between the quote key and Enter, K45 between Shift_L and Z, K56
//   (ro) between "?" and Shift_R.
// - The bottom row follows the keyboard's own key order of that row (as in the
//   Flexlayer key list: Ctrl_L, Win_L, Alt_L, K131, K150, Space, K151, K132,
//   K133, Alt_R, App, Ctrl_R), with WIN_R and Fn between Alt_R and App. Space
//   takes one cell like every key; it stands under V, near its physical middle.
// - The keypad keeps the grid of its keys: "+(pad)" in the row of 7 8 9,
//   "Enter(pad)" in the row of 1 2 3, "0(pad)" under "1(pad)" and ".(pad)"
//   under "3(pad)". K107 (keypad comma) takes the free cell right of "6(pad)",
//   under "+(pad)", where keypads that have it place it.
// - Tall or wide keys (back space, Enter, the keypad's +, Enter and 0, Space)
//   use one cell at their top-left part; cells they cover otherwise stay empty.

#include <array>
#include <cstdint>
#include <optional>

namespace vyre {

constexpr int kGridRows = 6;
constexpr int kGridColumns = 23;

struct GridCell {
    std::uint8_t usage;
    std::uint8_t keyIndex;

    // A cell holds a key unless it is {0, 0}.
    constexpr bool HoldsKey() const { return usage != 0 || keyIndex != 0; }
};
static_assert(sizeof(GridCell) == 2);

using LayoutGrid = std::array<std::array<GridCell, kGridColumns>, kGridRows>;
static_assert(sizeof(LayoutGrid) == kGridRows * kGridColumns * 2);

const LayoutGrid& TheLayoutGrid();

struct GridPosition {
    int column = 0;
    int row = 0;

    friend bool operator==(const GridPosition&, const GridPosition&) = default;
};

// The first cell, row by row, whose usage equals the usage; none for usage 0
// and for usages of no key.
std::optional<GridPosition> FindGridCellOfUsage(std::uint8_t usage);
// The cell of a key index (0..119); none for keys without a cell.
std::optional<GridPosition> FindGridCellOfKey(int keyIndex);

}  // namespace vyre
