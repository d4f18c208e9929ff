// The MEC16xx write: its lines, the set-up with the protection check, and the pages of MAIN.
#include <algorithm>

#include "Mec16xx/Mec16Operations.h"
#include "Mec16xx/Mec16Texts.h"
#include "link/ReadIdioms.h"

namespace jig {

using namespace mec16;
using namespace mec16::text;

void Mec16Operations::write(bool writeInfoTicked) {
  if (job_.busy()) return;
  writeInfoTicked_ = writeInfoTicked;
  job_.write();
}

// The write sends the file's pages and, short of MAIN's end, one more that holds its rest
// padded with FFh; the read-back compares the pages as sent.
std::vector<std::uint8_t> Mec16Operations::shapeImage(std::vector<std::uint8_t> source) {
  fileBytes_ = source.size();
  source.resize(std::min<std::size_t>(kMainPages, source.size() / kPageBytes + 1) * kPageBytes, 0xFF);
  return source;
}

void Mec16Operations::announceWrite(const std::string& path) {
  stage_ = Mec16Mode::WriteMain;
  writeStopNoted_ = false;
  view_.setGaugeColour(control::kGauge, colour::kRed);
  view_.setGauge(control::kGauge, 0);
  view_.setGaugeMax(control::kGauge, kMainPages);
  timeStamp();
  log(kWritingFrom);
  log(path);
  // The INFO block is never written: the box only chooses the line.
  log(writeInfoTicked_ ? kWriteScopeBoth : kWriteScopeMain);
  log(kWriteStarted);
}

bool Mec16Operations::writePass(FlashRun& run) {
  if (!idOk()) return finish({kFailed, kClose}, false);
  const RegisterAnswer status = ReadReg_MEC16(link_, kFlashStatus);
  const bool lost = status.lost();
  if (lost || CheckProtection_MEC16(status.low())) {
    log(lost ? Lost("(TW001)") : std::string(kWriteRefused));
    return finish({kFailed, kClose}, false);
  }
  if (!writeAll({{kFlashEnable, "00000001", "1", "(W100)"}, {kFlashCommand, "00000106", "106h", "(W101)"},
                 {kFlashAddress, "00000000", "0", "(W101A)"}}))
    return finish({kFailed, kClose}, false);
  send(kStreamProgram);
  const auto image = run.image();
  for (Counter_MEC16 = 1;; ++Counter_MEC16) {
    // The programmer's byte before each page: the answer to "W" or to "N".
    if (QueueWait(link_, 1, bounds_.answerMs) != WaitResult::Ok)
      return failWrite(std::string(kNoStreamAnswer) + std::to_string(Counter_MEC16));
    const std::size_t offset = static_cast<std::size_t>(Counter_MEC16 - 1) * kPageBytes;
    std::array<std::uint8_t, kPageBytes> page;
    page.fill(0xFF);
    std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(offset), std::min(kPageBytes, image.size() - offset),
                page.begin());
    if (offset + kPageBytes > fileBytes_) return writeLastShortPage(page);
    link_.write(page);
    view_.setGauge(control::kGauge, Counter_MEC16);  // maximum 768: one step a page
    run.progress(Counter_MEC16, kMainPages);
    const std::optional<bool> answer = awaitPageAnswer();
    if (!answer.value_or(false))
      return failWrite(answer ? Lost("(W103)") : std::string(kNoPageAnswer) + std::to_string(Counter_MEC16));
    if (Counter_MEC16 == kMainPages) break;
    // Only the command line stops a write (a second Ctrl-C), between pages.
    if (run.stopRequested()) return failWrite(kWriteStopped);
    send(kNext);
  }
  return streamDone(kMainWriteDone, "(W104).", "(W105).", "(W106)");
}

std::optional<bool> Mec16Operations::awaitPageAnswer() {
  if (QueueWait(link_, 1, bounds_.pageMs) != WaitResult::Ok) return std::nullopt;
  return link_.buffer[0] == kPageDone;
}

// A page stream that fails ends with "X" and "O", without the closing line.
bool Mec16Operations::failWrite(std::string_view line) {
  log(line);
  return finish({kEndStream, kFailed}, false, false);
}

// The file ended inside this page: it goes padded with FFh and the stream ends after it.
bool Mec16Operations::writeLastShortPage(const std::array<std::uint8_t, kPageBytes>& page) {
  log(kWarning);
  log(kFileShorter);
  link_.write(page);
  const std::optional<bool> answer = awaitPageAnswer();
  if (!answer) log(std::string(kNoPageAnswer) + std::to_string(Counter_MEC16));
  else if (!*answer) log(Lost("(W102)"));
  const bool acknowledged = answer.value_or(false);
  send(kEndStream);
  release("(W104).", "(W105).", "(W106)");
  // A last page that was not acknowledged is a failed write, whatever came before.
  return finish({acknowledged ? kSucceeded : kFailed}, acknowledged, false);
}

}  // namespace jig
