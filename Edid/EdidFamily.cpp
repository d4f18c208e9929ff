#include "Edid/EdidFamily.h"

#include "Edid/EdidCli.h"
#include "link/Bounds.h"

namespace jig {

const OpenProfile profiles::kEdid{
    .window = "EDID", .readLength = 3, .queryTimeoutMs = limits::kQueryTimeoutMs, .latencyBeforeQuery = true,
    .tag = "V41", .after = AfterReady::ZeroTimeouts, .notFoundMessage = kNotFoundArrow,
    .versionLinePrefix = "", .logsConfigurationSteps = false, .language = LogLanguage::English};

namespace {
constexpr CliAction kActions[] = {{"read", "FILE"}, {"write", "FILE"}, {"check", "FILE"}, {"fix", "FILE"}};
constexpr CliFlag kFlags[] = {
    {"--yes", "", "write", ""},
    {"--no-backup", "", "write", ""},
};
const Family kFamily{
    {"EEPROM lcd (EDID)", "V41", "TEDID_form", "Q27_ALLPCB_V41.hex"},
    profiles::kEdid,
    {"edid", kActions, kFlags,
     "read or write an LCD panel's EDID EEPROM (--yes writes a wrong checksum); check or fix a file's checksums offline",
     "", RunEdidCommand},
};
}  // namespace

const Family& EdidFamily() { return kFamily; }

}  // namespace jig
