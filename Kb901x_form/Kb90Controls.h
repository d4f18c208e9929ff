#pragma once
// The control names of the KB90xx window: the window names its widgets with them, the
// operations address them with them, and the window tests check that each is there.
#include <string_view>

namespace jig::kb90::control {

inline constexpr char kGroupBox[] = "GroupBox1";
inline constexpr char kBoardList[] = "ComboBox_KB901X";
inline constexpr char kCableList[] = "ComboBox_KB901X_FFC";
inline constexpr char kPinOne[] = "CheckBox_KB901X";
inline constexpr char kResult[] = "Label_result";
inline constexpr char kRead[] = "KB901X_READ";
inline constexpr char kWrite[] = "KB901X_WRITE";
inline constexpr char kExit[] = "EXIT_KB901X";
inline constexpr char kReadTwice[] = "ReadTwice";
inline constexpr char kBackup[] = "Backup_KB901X";
inline constexpr char kMemo[] = "KB901X_Memo";
inline constexpr char kGauge[] = "CGauge_KB901X";

// Every name above, for the tests.
inline constexpr std::string_view kAll[] = {
    kGroupBox, kBoardList, kCableList, kPinOne, kResult, kRead, kWrite, kExit, kReadTwice, kBackup,
    kMemo, kGauge};

}  // namespace jig::kb90::control
