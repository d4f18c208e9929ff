#include "link/OpenProfiles.h"

#include "link/limits.h"

namespace jig::profiles {

namespace {
constexpr std::string_view kNotFoundArrow = "-->  The programmer is not found or does not respond";
constexpr std::string_view kNotFound = "The programmer is not found or does not respond";
constexpr auto kQuery = limits::kQueryTimeoutMs;
}  // namespace

// clang-format off
//                          window        len  time-outs                  latency tag     after ready                 not found       version line                     steps  language
const OpenProfile kEdid     {"EDID",       3,  kQuery,                    true,   "V41",  AfterReady::ZeroTimeouts,   kNotFoundArrow, "",                              false, LogLanguage::English};
const OpenProfile kKb90     {"KB90xx",     3,  kQuery,                    false,  "V41",  AfterReady::ZeroTimeouts,   kNotFound,      "",                              false, LogLanguage::English};
const OpenProfile kKeyboard {"Keyboard",   3,  kQuery,                    true,   "V41",  AfterReady::ZeroTimeouts,   kNotFoundArrow, "",                              true, LogLanguage::English};
const OpenProfile kMec16    {"MEC1609",    3,  kQuery,                    false,  "V42",  AfterReady::TimeoutsAgain,  kNotFound,      "",                              false, LogLanguage::Russian};
const OpenProfile kIte      {"ITE",        32, kQuery,                    false,  "ITE",  AfterReady::KeepTimeouts,   kNotFound,      "Версия FW программатора -> ",   false, LogLanguage::Russian};
const OpenProfile kNpce     {"NPCE",       32, limits::kNpceQueryTimeoutMs, false, "NPCE", AfterReady::KeepTimeouts,   kNotFound,      "Version FW -> ",                false, LogLanguage::English};
// clang-format on

}  // namespace jig::profiles
