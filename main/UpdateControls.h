#pragma once
// The control names of the update window: the window names its widgets with them, the
// operations address them with them, and the window tests check that each is there.
#include <string_view>

namespace jig::update::control {

inline constexpr char kMemo[] = "Memo_UPDATE";
inline constexpr char kGauge[] = "CGauge_UPD";
inline constexpr char kExit[] = "SpeedButton_UPD_EXIT";

// Every name above, for the tests.
inline constexpr std::string_view kAll[] = {
    kMemo, kGauge, kExit};

}  // namespace jig::update::control
