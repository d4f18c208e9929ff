#pragma once
// The control names of the EDID window: the window names its widgets with them, the
// operations address them with them, and the window tests check that each is there.
#include <string_view>

namespace jig::edid::control {

inline constexpr char kRead[] = "EDID_READ";
inline constexpr char kWrite[] = "EDID_WRITE";
inline constexpr char kFixChecksum[] = "FixChecksum";
inline constexpr char kBackup[] = "Backup_EDID";
inline constexpr char kExit[] = "EXIT_EDID";
inline constexpr char kMemo[] = "EDID_Memo";

// Every name above, for the tests.
inline constexpr std::string_view kAll[] = {
    kRead, kWrite, kFixChecksum, kBackup, kExit, kMemo};

}  // namespace jig::edid::control
