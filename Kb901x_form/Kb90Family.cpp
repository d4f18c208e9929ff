#include "Kb901x_form/Kb90Family.h"

#include "Kb901x_form/Kb90Cli.h"
#include "link/Bounds.h"

namespace jig {

const OpenProfile profiles::kKb90{
    .window = "KB90xx", .readLength = 3, .queryTimeoutMs = limits::kQueryTimeoutMs,
    .latencyBeforeQuery = false, .tag = "V41", .after = AfterReady::ZeroTimeouts, .notFoundMessage = kNotFound,
    .versionLinePrefix = "", .logsConfigurationSteps = false, .language = LogLanguage::English};

namespace {
constexpr CliAction kActions[] = {{"read", "FILE"}, {"write", "FILE"}, {"boards", ""}, {"wiring", ""}};
constexpr CliFlag kFlags[] = {
    {"--read-twice", "", "read", ""},
    {"--yes", "", "write", ""},
    {"--no-backup", "", "write", ""},
    {"--board", "N", "wiring", "wiring"},
    {"--ffc", "SIZE", "wiring", "wiring"},
    {"--reversed", "", "wiring", ""},
};
const Family kFamily{
    {"KB9010/12/16/22", "V41", "TKB901X_forms", "Q27_ALLPCB_V41.hex"},
    profiles::kKb90,
    {"kb90", kActions, kFlags, "read or write (and verify) an ENE KB90xx flash; the wiring aid",
     "  wiring shows how to wire line N of the base to an FFC of SIZE pins (18 20 24 25 26 28 30 32).\n",
     RunKb90Command},
};
}  // namespace

const Family& Kb90Family() { return kFamily; }

}  // namespace jig
