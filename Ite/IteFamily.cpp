#include "Ite/IteFamily.h"

#include "Ite/IteCli.h"
#include "link/Bounds.h"

namespace jig {

const OpenProfile profiles::kIte{
    .window = "ITE", .readLength = 32, .queryTimeoutMs = limits::kQueryTimeoutMs, .latencyBeforeQuery = false,
    .tag = "ITE", .after = AfterReady::KeepTimeouts, .notFoundMessage = kNotFound,
    .versionLinePrefix = "Версия FW программатора -> ", .logsConfigurationSteps = false,
    .language = LogLanguage::Russian};

namespace {
constexpr CliAction kActions[] = {{"boards", ""}, {"apply", ""}, {"check", ""}, {"read", "FILE"}, {"write", "FILE"}};
constexpr CliFlag kFlags[] = {
    {"--read-twice", "", "read", ""},
    {"--no-verify", "", "write", ""},
    {"--yes", "", "write", ""},
    {"--no-backup", "", "write", ""},
    {"--board", "N", "apply check read write", ""},
    {"--reversed", "", "apply check read write", ""},
    {"--pins", "PD0=P,...,KSI5=P", "apply check read write", ""},
    {"--base", "FILE", "boards apply check read write", ""},
};
const Family kFamily{
    {"ITE chip", "ITE", "TITE_FORM", "ITE_PROJ_Q27.hex"},
    profiles::kIte,
    {"ite", kActions, kFlags, "ITE controllers: pin assignment, link check, read, write and read back",
     "  --board N sends that motherboard's pins (APPLY) before the action, --reversed turned\n"
     "  round; --pins gives every pin instead (P is 1-32 or NC). apply needs one of the two;\n"
     "  without them the programmer keeps the pins it was last given.\n"
     "  write reads the flash back and compares it with the image (all 128 KiB, FFh padding\n"
     "  included); --no-verify skips that. --read-twice reads twice and writes FILE only when\n"
     "  both reads match. A failed verify or a differing pair exits 1.\n"
     "  write first copies the flash into the backup folder (--no-backup skips that) and asks\n"
     "  before an image that is not 128 KiB or holds only FFh or 00h (--yes answers Yes).\n",
     RunIteCommand},
};
}  // namespace

const Family& IteFamily() { return kFamily; }

}  // namespace jig
