#include "Npce/NpceFamily.h"

#include "Npce/NpceCli.h"
#include "Npce/NpceBounds.h"

namespace jig {

const OpenProfile profiles::kNpce{
    .window = "NPCE", .readLength = 32, .queryTimeoutMs = limits::kNpceQueryTimeoutMs,
    .latencyBeforeQuery = false, .tag = "NPCE", .after = AfterReady::KeepTimeouts,
    .notFoundMessage = kNotFound, .versionLinePrefix = "Version FW -> ", .logsConfigurationSteps = false,
    .language = LogLanguage::English};

namespace {
constexpr CliAction kActions[] = {{"read", "FILE"}, {"write", "FILE"}};
constexpr CliFlag kFlags[] = {
    {"--read-twice", "", "read", ""},
    {"--yes", "", "write", ""},
    {"--no-backup", "", "write", ""},
};
const Family kFamily{
    {"NPCE288N/388N", "NPCE", "TNPCE_FORM", "Q27_NPCE288.hex"},
    profiles::kNpce,
    {"npce", kActions, kFlags, "Nuvoton NPCE288N/388N", "", RunNpceCommand},
};
}  // namespace

const Family& NpceFamily() { return kFamily; }

}  // namespace jig
