// The MEC16xx read: its lines, the set-up of the stream and the blocks of MAIN (and INFO).
#include "Mec16xx/Mec16Operations.h"

#include "Mec16xx/Mec16Texts.h"
#include "files/Backups.h"

namespace jig {

using namespace mec16;
using namespace mec16::text;

void Mec16Operations::read(bool readInfoToo) {
  if (job_.busy()) return;
  readInfo_ = readInfoToo;
  erasing_ = false;
  job_.read();
}

void Mec16Operations::announceRead(const std::string& path) {
  passInfo_ = readInfo_;
  readGauge();
  timeStamp();
  log(kReadingInto);
  log(path);
  log(passInfo_ ? kReadScopeBoth : kReadScopeMain);
}

// The second read, the backup and the read-back are runs of their own, each with its open.
bool Mec16Operations::announcePass(Pass pass) {
  // The backup before an erase of INFO keeps INFO too.
  passInfo_ = pass == Pass::Again ? passInfo_ : pass == Pass::Backup && erasing_ && eraseInfo_;
  // The reads before a change do not read on the click's open: they open the programmer anew.
  const bool beforeChange = pass == Pass::Backup || pass == Pass::BeforeWrite;
  if (beforeChange) link_.close();
  timeStamp();
  if (pass == Pass::Again) log(kSecondReadStarts);
  else if (pass == Pass::Verify) log(kVerifyReadStarts);
  else if (pass == Pass::BeforeWrite) log(facts_.texts.blankCheckStarts);
  else log(BackupStartLine(kLanguage, erasing_));
  if (beforeChange) open(Opening::Click);
  return true;
}

void Mec16Operations::readGauge() {
  view_.setGaugeColour(control::kGauge, colour::kLime);
  view_.setGauge(control::kGauge, 0);
  view_.setGaugeMax(control::kGauge, kMainBlocks);
}

bool Mec16Operations::startReadPass() {
  if (!link_.isOpen) return false;  // the backup's own open failed, and said so
  stage_ = Mec16Mode::ReadMain;
  log(kReadStarted);
  if (!idOk() || !writeAll({{kFlashOn, "(R100)"}, {kReadRun, "(R101)"}}))
    return finish({kFailed, kClose}, false);
  Counter_MEC16 = 1;
  // The request goes out before the worker reads: its blocks wait in the receive queue.
  SendWithAddress(link_, kStreamRead, kMainAddress);
  return true;
}

bool Mec16Operations::receiveBlock(FlashRun& run, std::string_view area) {
  if (AwaitBlock(link_, bounds_.blockMs) != WaitResult::Ok)
    return fail(NoBlock(Counter_MEC16, area), {kEndStream, kFailed, kClose});
  if (!run.capture().take(BlockData(link_))) return fail(kFileWriteFailed, {kEndStream, kFailed, kClose});
  return true;
}

bool Mec16Operations::readPass(FlashRun& run) {
  run.capture().startPass();
  for (;; ++Counter_MEC16) {
    if (!receiveBlock(run, kAreaMain)) return false;
    // The gauge's maximum is 192: one step a block.
    view_.setGauge(control::kGauge, Counter_MEC16);
    run.progress(Counter_MEC16, kMainBlocks);
    if (Stop_MEC16.load() || run.stopRequested())
      return endStream(kUserStopped, {"(P100).", "(P101).", "(P102)"}, {kClose, kFailed}, false);
    if (!BlockGood(link_)) return fail(Lost("(P103)."), {kEndStream, kFailed, kClose});
    if (Counter_MEC16 == kMainBlocks) break;
    send(kNext);
  }
  if (!passInfo_) return endStream(kMainReadDone, {"(P104).", "(P105).", "(P106)"});
  send(kEndStream);
  log(kMainReadDone);
  return readInfo(run);
}

bool Mec16Operations::readInfo(FlashRun& run) {
  stage_ = Mec16Mode::ReadInfo;
  writeAll({{kRunEnd, "(P107)."}});
  log(kInfoReadStarts);
  writeAll({{kReadRun, "(P108)."}});
  SendWithAddress(link_, kStreamRead, kInfoAddress);
  for (Counter_MEC16 = 1;; ++Counter_MEC16) {
    if (!receiveBlock(run, kAreaInfo)) return false;
    if (!BlockGood(link_)) return fail(Lost("(P109)."), {kEndStream, kFailed, kClose});
    if (Counter_MEC16 == kInfoBlocks) break;
    // The exit button is not obeyed during INFO; a stop from the command line is.
    if (run.stopRequested()) return fail(kUserStopped, {kEndStream, kFailed, kClose});
    send(kNext);
  }
  return endStream(kInfoReadDone, {"(P110).", "(P111).", "(P112)"});
}

}  // namespace jig
