#include "Mec16xx/Mec16Operations.h"

#include <algorithm>

#include "Mec16xx/Mec16Family.h"
#include "Mec16xx/Mec16Texts.h"
#include "link/OpenProgrammer.h"
#include "view/TimeStamp.h"

namespace jig {

using namespace mec16;
using namespace mec16::text;

namespace {
FlashFacts Mec16Facts() {
  FlashTexts texts = DefaultFlashTexts(kLanguage);
  texts.writeStoppedBeforeWrite = kWriteNotStarted;
  // A second read or a read-back that did not start or end has said why in its own lines.
  texts.secondReadNotStarted.clear();
  texts.verifyNotDone.clear();
  texts.dumpNotSaved = kFileWriteFailed;
  return {.task = "mec16", .chipSize = kMainBytes, .restOfChip = RestOfChip::KeptAsItWas, .language = kLanguage,
          .readBackVerify = true,
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
}  // namespace

Mec16Operations::Mec16Operations(D2xx& d2xx, TaskView& view, Mec16Bounds bounds)
    : view_(view), bounds_(bounds), facts_(Mec16Facts()), link_(d2xx, kBufferSize), job_(*this, view, facts_) {}

bool Mec16Operations::open(Opening why) {
  // An exit pressed when no MAIN read looked at it (during INFO) goes with its job.
  if (why == Opening::Click) Stop_MEC16 = false;
  return OpenProgrammer(link_, profiles::kMec16, view_) == OpenResult::Ready;
}

void Mec16Operations::close() {
  if (!link_.isOpen) return;
  send(kFailed);
  log(kClosed);
  link_.close();
}

void Mec16Operations::log(std::string_view line) { view_.log(std::string(line)); }

void Mec16Operations::timeStamp() { view_.log(std::string(kCurrentTimeRu) + LongTimeOfDay()); }

void Mec16Operations::send(std::uint8_t byte) { link_.writeByte(byte); }

Mec16Operations::StartResult Mec16Operations::sendStartAndId(std::array<std::uint8_t, 4>& id) {
  send(kStart);
  if (AwaitStartAnswer(link_, bounds_.answerMs) != WaitResult::Ok) {
    log(kNoAnswerTo1);
    return StartResult::NoAnswer;
  }
  log(kAnswerTo1);
  send(kReadId);
  DWORD gathered = 0;
  ReadId(link_, bounds_.answerMs, id, gathered);
  if (gathered == 0) {
    log(kNoId);
    return StartResult::NoAnswer;
  }
  StartResult result = StartResult::Ok;
  if (gathered < 4) {
    log(kShortId);
    result = StartResult::ShortId;
  }
  view_.log(std::string(kIdPrefix) + RegisterValueText(id.data()));
  return result;
}

bool Mec16Operations::idOk() {
  std::array<std::uint8_t, 4> id{};
  if (sendStartAndId(id) == StartResult::NoAnswer) return false;
  if (AllFF(id)) log(kBadId);
  return !AllFF(id);
}

bool Mec16Operations::writeLogged(const RegisterWrite& write) {
  if (WriteReg_MEC16(link_, write.address, write.value) == kMecLost) {
    log(Lost(write.lossCode));
    return false;
  }
  log(std::string(kWroteRegister) + std::string(write.address) + std::string(kAddressSuffix) + std::string(write.shown));
  return true;
}

bool Mec16Operations::writeAll(std::initializer_list<RegisterWrite> writes) {
  return std::all_of(writes.begin(), writes.end(), [this](const RegisterWrite& write) { return writeLogged(write); });
}

// The flash given back, each step whatever the one before it answered.
void Mec16Operations::release(std::string_view loss1, std::string_view loss2, std::string_view loss3) {
  writeLogged({kFlashCommand, "00000100", "100h", loss1});
  writeLogged({kFlashCommand, "00000000", "0", loss2});
  writeLogged({kFlashEnable, "00000000", "0", loss3});
}

bool Mec16Operations::streamDone(std::string_view line, std::string_view loss1, std::string_view loss2,
                                 std::string_view loss3) {
  send(kEndStream);
  log(line);
  release(loss1, loss2, loss3);
  return finish({kSucceeded, kClose}, true);
}

bool Mec16Operations::finish(std::initializer_list<std::uint8_t> bytes, bool success, bool logClosed) {
  for (const std::uint8_t byte : bytes) send(byte);
  if (logClosed) log(kClosed);
  link_.close();
  timeStamp();
  log("");
  return success;
}

void Mec16Operations::help() {
  if (job_.busy()) return;
  for (std::string_view line : kHelp) log(line);
  view_.ended(true);
}

void Mec16Operations::EXIT_MEC16Click() {
  if (!job_.busy()) {
    view_.showWindow("Form1", true);
    view_.showWindow("self", false);
    view_.ended(true);
    return;
  }
  const JobPhase phase = job_.phase();
  // Before a write has touched the chip (its backup read), the whole write is called off.
  if (phase == JobPhase::Writing && job_.chipGate().cancel()) return job_.requestStop();
  // A write cannot be stopped midway: the chip would be left half written. Its verify
  // runs to its end too, so the window stays until the write's verdict is known.
  if (phase == JobPhase::Writing || phase == JobPhase::Verifying) {
    if (!writeStopNoted_.exchange(true)) log(kWriteCannotStop);
    return;
  }
  // Only a running MAIN read looks at it, between blocks.
  Stop_MEC16 = true;
}

}  // namespace jig
