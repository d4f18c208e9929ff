#include "Keyboard/KeyboardFamily.h"

#include "Keyboard/KeyboardCli.h"
#include "link/Bounds.h"

namespace jig {

const OpenProfile profiles::kKeyboard{
    .window = "Keyboard", .readLength = 3, .queryTimeoutMs = limits::kQueryTimeoutMs,
    .latencyBeforeQuery = true, .tag = "V41", .after = AfterReady::ZeroTimeouts,
    .notFoundMessage = kNotFoundArrow, .versionLinePrefix = "", .logsConfigurationSteps = true,
    .language = LogLanguage::English};

namespace {
constexpr CliAction kActions[] = {{"scan", ""}};
constexpr CliFlag kFlags[] = {
    {"--seconds", "N", "scan", ""},
    {"--no-sound", "", "scan", ""},
};
const Family kFamily{
    {"Keyboard testing", "V41", "TKeyboard_testing", "Q27_ALLPCB_V41.hex"},
    profiles::kKeyboard,
    {"keyboard", kActions, kFlags, "scan a keyboard matrix and print each closed pair",
     "  --seconds N scans that long (1 to 86400, 10 without it).\n", RunKeyboardCommand},
};
}  // namespace

const Family& KeyboardFamily() { return kFamily; }

}  // namespace jig
