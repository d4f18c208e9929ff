// The MEC16xx write: its lines, the set-up with the protection check, and the pages of MAIN.
#include <utility>

#include "Mec16xx/Mec16Operations.h"
#include "Mec16xx/Mec16Texts.h"

namespace jig {

using namespace mec16;
using namespace mec16::text;

namespace {
// Both ends of a write that went through its pages release the flash alike.
constexpr std::array<std::string_view, 3> kWriteReleaseLossCodes = {"(W104).", "(W105).", "(W106)"};

// A page that was not programmed: no answer in time, or the step's loss line.
std::string PageFailure(PageAnswer answer, int page, std::string_view lossCode) {
  return answer == PageAnswer::Silent ? Numbered(kNoPageAnswer, page) : Lost(lossCode);
}
}  // namespace

void Mec16Operations::write(bool writeInfoTicked) {
  if (job_.busy()) return;
  writeInfoTicked_ = writeInfoTicked;
  erasing_ = false;
  // A flash that is not blank is erased first, once agreed to: MAIN alone, as the write.
  eraseInfo_ = false;
  job_.write();
}

// The read-back compares the pages as sent.
std::vector<std::uint8_t> Mec16Operations::shapeImage(std::vector<std::uint8_t> source) {
  fileBytes_ = source.size();
  return WholePages(std::move(source));
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
  if (lost || CheckProtection_MEC16(status.low()))
    return fail(lost ? Lost("(TW001)") : std::string(kWriteRefused), {kFailed, kClose});
  if (!writeAll({{kFlashOn, "(W100)"}, {kProgramRun, "(W101)"}, {kProgramFromStart, "(W101A)"}}))
    return finish({kFailed, kClose}, false);
  send(kStreamProgram);
  // A page stream that fails ends with "X" and "O", without the closing line.
  for (Counter_MEC16 = 1;; ++Counter_MEC16) {
    if (AwaitPageRequest(link_, bounds_.answerMs) != WaitResult::Ok)
      return fail(Numbered(kNoStreamAnswer, Counter_MEC16), {kEndStream, kFailed}, false);
    const Page page = PageOf(run.image(), Counter_MEC16);
    if (static_cast<std::size_t>(Counter_MEC16) * kPageBytes > fileBytes_) return writeLastShortPage(page);
    SendPage(link_, page);
    view_.setGauge(control::kGauge, Counter_MEC16);  // maximum 768: one step a page
    run.progress(Counter_MEC16, kMainPages);
    const PageAnswer answer = AwaitPageAnswer(link_, bounds_.pageMs);
    if (answer != PageAnswer::Programmed)
      return fail(PageFailure(answer, Counter_MEC16, "(W103)"), {kEndStream, kFailed}, false);
    if (Counter_MEC16 == kMainPages) break;
    // Only the command line stops a write (a second Ctrl-C), between pages.
    if (run.stopRequested()) return fail(kWriteStopped, {kEndStream, kFailed}, false);
    send(kNext);
  }
  return endStream(kMainWriteDone, kWriteReleaseLossCodes);
}

// The file ended inside this page: it goes padded with FFh and the stream ends after it.
bool Mec16Operations::writeLastShortPage(const Page& page) {
  log(kWarning);
  log(kFileShorter);
  SendPage(link_, page);
  const PageAnswer answer = AwaitPageAnswer(link_, bounds_.pageMs);
  const bool acknowledged = answer == PageAnswer::Programmed;
  if (!acknowledged) log(PageFailure(answer, Counter_MEC16, "(W102)"));
  send(kEndStream);
  release(kWriteReleaseLossCodes);
  // A last page that was not acknowledged is a failed write, whatever came before.
  return finish({acknowledged ? kSucceeded : kFailed}, acknowledged, false);
}

}  // namespace jig
