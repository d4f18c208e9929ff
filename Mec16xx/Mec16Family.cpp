#include "Mec16xx/Mec16Family.h"

#include "Mec16xx/Mec16Cli.h"
#include "link/Bounds.h"

namespace jig {

const OpenProfile profiles::kMec16{
    .window = "MEC1609", .readLength = 3, .queryTimeoutMs = limits::kQueryTimeoutMs,
    .latencyBeforeQuery = false, .tag = "V42", .after = AfterReady::TimeoutsAgain,
    .notFoundMessage = kNotFound, .versionLinePrefix = "", .logsConfigurationSteps = false,
    .language = LogLanguage::Russian};

namespace {
constexpr CliAction kActions[] = {{"probe", ""}, {"read", "FILE"}, {"erase", ""}, {"write", "FILE"}, {"help", ""}};
constexpr CliFlag kFlags[] = {
    {"--info", "", "read erase", ""},
    {"--read-twice", "", "read", ""},
    {"--no-verify", "", "write", ""},
    {"--yes", "", "write", ""},
    {"--no-backup", "", "write", ""},
    {"--erase", "", "write", ""},
};
const Family kFamily{
    {"MEC1609", "V42", "TMEC16_Form", "Q27_jtag.hex"},
    profiles::kMec16,
    {"mec16", kActions, kFlags,
     "MEC16xx over JTAG: probe, read (MAIN, --info adds INFO), erase, write MAIN (--erase: erase it first when "
     "not blank) and read it back",
     "  write programs without erasing: MAIN is read first (the backup, or a read for this alone\n"
     "  with --no-backup), and a MAIN that is not blank is refused unless --erase is given; then it\n"
     "  is erased after the backup and written.\n",
     RunMec16Command},
};
}  // namespace

const Family& Mec16Family() { return kFamily; }

}  // namespace jig
