#pragma once
// What the ITE operation files share: the window's control names and the log's language.
#include <initializer_list>
#include <string>
#include <string_view>

#include "Ite/IteControls.h"
#include "view/LogLanguage.h"

namespace jig::ite::detail {

inline constexpr std::string_view kCheckButton = control::kCheck;
inline constexpr std::string_view kExitButton = control::kExit;
inline constexpr std::string_view kWriteButton = control::kWrite;
inline constexpr std::string_view kSetupButton = control::kSetup;
inline constexpr std::string_view kReadButton = control::kRead;
inline constexpr std::string_view kCheckBox = control::kCheckBox;
inline constexpr std::string_view kGauge = control::kGauge;
inline constexpr std::string_view kSpeedGauge = control::kSpeedGauge;
inline constexpr std::string_view kVerifyBox = control::kVerifyAfterWrite;
inline constexpr std::string_view kReadTwiceBox = control::kReadTwice;
inline constexpr std::string_view kBackupBox = control::kBackup;
// The window's log speaks Russian; so do the lines about verify and the read pair.
inline constexpr LogLanguage kLanguage = LogLanguage::Russian;

inline std::string Concat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view part : parts) out += part;
  return out;
}

}  // namespace jig::ite::detail
