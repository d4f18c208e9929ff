#include "Mec16xx/Mec16Operations.h"

#include <span>

#include "Mec16xx/Mec16Facts.h"
#include "Mec16xx/Mec16Family.h"
#include "Mec16xx/Mec16Texts.h"
#include "link/OpenProgrammer.h"
#include "view/TimeStamp.h"

namespace jig {

using namespace mec16;
using namespace mec16::text;

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

IdAnswer Mec16Operations::sendStartAndId() {
  const IdAnswer answer = StartAndReadId(link_, bounds_.answerMs);
  log(answer.result == IdResult::NoStartAnswer ? kNoAnswerTo1 : kAnswerTo1);
  if (answer.result == IdResult::NoId) log(kNoId);
  if (answer.result == IdResult::ShortId) log(kShortId);
  if (answer.answered()) view_.log(std::string(kIdPrefix) + RegisterValueText(answer.id.data()));
  return answer;
}

bool Mec16Operations::idOk() {
  const IdAnswer answer = sendStartAndId();
  if (answer.answered() && AllFF(answer.id)) log(kBadId);
  return answer.answered() && !AllFF(answer.id);
}

bool Mec16Operations::writeAll(std::initializer_list<RegisterWrite> list) {
  const std::span<const RegisterWrite> writes(list.begin(), list.size());
  const std::size_t done = WriteRegisters(link_, writes);
  for (const RegisterWrite& write : writes.first(done)) log(Wrote(write.set.address, write.set.shown));
  if (done < writes.size()) log(Lost(writes[done].lossCode));
  return done == writes.size();
}

// The flash given back, each step whatever the one before it answered.
void Mec16Operations::release(const std::array<std::string_view, 3>& lossCodes) {
  for (std::size_t step = 0; step < kRelease.size(); ++step) writeAll({{kRelease[step], lossCodes[step]}});
}

bool Mec16Operations::endStream(std::string_view line, const std::array<std::string_view, 3>& releaseLossCodes,
                                std::initializer_list<std::uint8_t> bytes, bool success) {
  send(kEndStream);
  log(line);
  release(releaseLossCodes);
  return finish(bytes, success);
}

bool Mec16Operations::fail(std::string_view line, std::initializer_list<std::uint8_t> bytes, bool logClosed) {
  log(line);
  return finish(bytes, false, logClosed);
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
