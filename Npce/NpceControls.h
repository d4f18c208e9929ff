#pragma once
// The control names of the NPCE window: the window names its widgets with them, the
// operations address them with them, and the window tests check that each is there.
#include <string_view>

namespace jig::npce::control {

inline constexpr char kRead[] = "NPCE_READ";
inline constexpr char kWrite[] = "NPCE_WRITE";
inline constexpr char kExit[] = "EXIT_NPCE";
inline constexpr char kReadTwice[] = "ReadTwice";
inline constexpr char kBackup[] = "Backup_NPCE";
inline constexpr char kMemo[] = "NPCE_Memo";
inline constexpr char kGauge[] = "CGauge_NPCE";

// Every name above, for the tests.
inline constexpr std::string_view kAll[] = {
    kRead, kWrite, kExit, kReadTwice, kBackup, kMemo, kGauge};

}  // namespace jig::npce::control
