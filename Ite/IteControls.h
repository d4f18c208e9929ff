#pragma once
// The control names of the ITE window (the pin boxes are named in ite::kSignals): the window names its widgets with
// them, the operations address them with them, and the window tests check that each is there.
#include <string_view>

namespace jig::ite::control {

inline constexpr char kBoardList[] = "ITE_ComboBox_MB_SWITCH";
inline constexpr char kCheckBox[] = "ITE_CheckBox";
inline constexpr char kGroupBox[] = "GroupBox1";
inline constexpr char kSetup[] = "ITE_SETUP_BitBtn";
inline constexpr char kCheck[] = "ITE_CHECK_CON_BitBtn";
inline constexpr char kRead[] = "ITE_READ_BitBtn";
inline constexpr char kWrite[] = "ITE_WRITE_BitBtn";
inline constexpr char kExit[] = "ITE_EXIT_BitBtn";
inline constexpr char kStop[] = "ITE_STOP_BitBtn";
inline constexpr char kVerifyAfterWrite[] = "VerifyAfterWrite";
inline constexpr char kReadTwice[] = "ReadTwice";
inline constexpr char kBackup[] = "Backup_ITE";
inline constexpr char kMemo[] = "ITE_Memo1";
inline constexpr char kGauge[] = "ITE_CGauge1";
inline constexpr char kSpeedGauge[] = "SPEED_ITE_CGauge";
inline constexpr char kGaugeLabel[] = "ITE_CGauge1_Label";
inline constexpr char kSpeedGaugeLabel[] = "SPEED_ITE_CGauge_Label";

// Every name above, for the tests.
inline constexpr std::string_view kAll[] = {
    kBoardList, kCheckBox, kGroupBox, kSetup, kCheck, kRead, kWrite, kExit, kStop, kVerifyAfterWrite,
    kReadTwice, kBackup, kMemo, kGauge, kSpeedGauge, kGaugeLabel, kSpeedGaugeLabel};

}  // namespace jig::ite::control
