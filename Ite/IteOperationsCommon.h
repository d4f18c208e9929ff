#pragma once
// What the ITE operation files share: the window's control names and the log's language.
#include <initializer_list>
#include <string>
#include <string_view>

#include "link/LogLanguage.h"

namespace jig::ite::detail {

inline constexpr std::string_view kCheckButton = "ITE_CHECK_CON_BitBtn";
inline constexpr std::string_view kExitButton = "ITE_EXIT_BitBtn";
inline constexpr std::string_view kWriteButton = "ITE_WRITE_BitBtn";
inline constexpr std::string_view kSetupButton = "ITE_SETUP_BitBtn";
inline constexpr std::string_view kReadButton = "ITE_READ_BitBtn";
inline constexpr std::string_view kCheckBox = "ITE_CheckBox";
inline constexpr std::string_view kGauge = "ITE_CGauge1";
inline constexpr std::string_view kSpeedGauge = "SPEED_ITE_CGauge";
inline constexpr std::string_view kVerifyBox = "VerifyAfterWrite";
inline constexpr std::string_view kReadTwiceBox = "ReadTwice";
inline constexpr std::string_view kBackupBox = "Backup_ITE";
// The window's log speaks Russian; so do the lines about verify and the read pair.
inline constexpr LogLanguage kLanguage = LogLanguage::Russian;

inline std::string Concat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view part : parts) out += part;
  return out;
}

}  // namespace jig::ite::detail
