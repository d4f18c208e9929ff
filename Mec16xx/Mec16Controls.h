#pragma once
// The control names of the MEC16xx window: the window names its widgets with them, the
// operations address them with them, and the window tests check that each is there.
#include <string_view>

namespace jig::mec16::control {

inline constexpr char kProbe[] = "BitBtn_MEC16";
inline constexpr char kShapeBootLock[] = "Shape_BootLock_MEC";
inline constexpr char kLabelBootLock[] = "Label_BootLock_MEC";
inline constexpr char kShapeFwp[] = "Shape_FWP_MEC16";
inline constexpr char kLabelFwp[] = "Label_MEC16_FWP";
inline constexpr char kReadInfo[] = "CheckBox_MEC16_RD";
inline constexpr char kRead[] = "BitBtn_RD_MEC16";
inline constexpr char kEraseInfo[] = "CheckBox_erase_mec16";
inline constexpr char kErase[] = "BitBtn_MEC16_ERASE";
inline constexpr char kWriteInfo[] = "CheckBox_write_mec16";
inline constexpr char kWrite[] = "BitBtn_MEC16_WRITE";
inline constexpr char kVerifyAfterWrite[] = "VerifyAfterWrite";
inline constexpr char kReadTwice[] = "ReadTwice";
inline constexpr char kBackup[] = "Backup_MEC16";
inline constexpr char kExit[] = "EXIT_MEC16";
inline constexpr char kHelp[] = "BitBtn_MEC16_HELP";
inline constexpr char kMemo[] = "Memo_MEC16";
inline constexpr char kGauge[] = "CGauge_MEC16";

// Every name above, for the tests.
inline constexpr std::string_view kAll[] = {
    kProbe, kShapeBootLock, kLabelBootLock, kShapeFwp, kLabelFwp, kReadInfo, kRead, kEraseInfo,
    kErase, kWriteInfo, kWrite, kVerifyAfterWrite, kReadTwice, kBackup, kExit, kHelp, kMemo,
    kGauge};

}  // namespace jig::mec16::control
