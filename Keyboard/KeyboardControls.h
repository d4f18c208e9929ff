#pragma once
// The control names of the keyboard test window: the window names its widgets with them, the
// operations address them with them, and the window tests check that each is there.
#include <string_view>

namespace jig::keyboard::control {

inline constexpr char kShapes[] = "Shapes";
inline constexpr char kStartScan[] = "START_SCAN";
inline constexpr char kExit[] = "EXIT_KB_TEST";
inline constexpr char kClear[] = "Clear";
inline constexpr char kNoSound[] = "Buzzer_box";
inline constexpr char kMemo[] = "Memo_keyboard";
inline constexpr char kTimer[] = "Timer_keyboard_scan";
// The pairs closed so far, as text, and the list's caption.
inline constexpr char kPairs[] = "Pairs_keyboard";
inline constexpr char kPairsLabel[] = "Label_pairs";
// The matrix's squares, one per line pair: "Shape" and the pair's number (painted by the
// matrix widget itself, so not among the widgets below).
inline constexpr char kShapePrefix[] = "Shape";

// Every name above but the squares', for the tests.
inline constexpr std::string_view kAll[] = {
    kShapes, kStartScan, kExit, kClear, kNoSound, kMemo, kTimer, kPairs, kPairsLabel};

}  // namespace jig::keyboard::control
