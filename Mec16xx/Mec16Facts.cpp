#include "Mec16xx/Mec16Facts.h"

#include <string>

#include "Mec16xx/Mec16Protocol.h"
#include "Mec16xx/Mec16Texts.h"

namespace jig {

using namespace mec16;
using namespace mec16::text;

FlashFacts Mec16Facts() {
  FlashTexts texts = DefaultFlashTexts(kLanguage);
  texts.writeStoppedBeforeWrite = kWriteNotStarted;
  // A second read or a read-back that did not start or end has said why in its own lines.
  texts.secondReadNotStarted.clear();
  texts.verifyNotDone.clear();
  texts.dumpNotSaved = kFileWriteFailed;
  return {.task = "mec16", .chipSize = kMainBytes, .restOfChip = RestOfChip::KeptAsItWas, .language = kLanguage,
          .readBackVerify = true,
          // The documented write only programs: over old contents it leaves neither image.
          .eraseUnlessBlank = true,
          .saveDialog = {std::string(kSaveTitle), std::string(kSaveFilter), std::string(kBinExtension),
                         std::string(kDefaultName), true},
          .openDialog = {std::string(kOpenTitle), std::string(kOpenFilter), {}, {}, false},
          .saveInterrupted = std::string(kReadCancelled), .writeInterrupted = std::string(kWriteCancelled),
          .createFailedBox = std::string(kCreateFailed), .openFailedBox = std::string(kOpenFailed),
          .texts = texts,
          // A dump read with INFO writes back: its MAIN part goes to the chip.
          .largestFile = kMainBytes + kInfoBytes, .judgeFirstRead = true, .fileProblemsLogged = true,
          .dumpEnd = {.judgedBytes = kMainBytes}};
}

}  // namespace jig
