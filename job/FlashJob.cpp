#include "job/FlashJob.h"

#include <algorithm>
#include <utility>

#include "files/Backups.h"
#include "files/DumpChecks.h"
#include "files/ImageQuestion.h"
#include "files/Sha256.h"
#include "files/SourceFile.h"
#include "job/JobVerdict.h"

namespace jig {

FlashTexts DefaultFlashTexts(LogLanguage language) {
  if (language == LogLanguage::Russian)
    return {"Повторное чтение для сравнения ...",
            "Чтение остановлено: операция прервана перед вторым чтением; файл не записан.",
            "Второе чтение не началось; файл не записан.",
            "Запись остановлена: операция прервана до записи; микросхема не тронута.",
            "Запись не началась; микросхема не тронута.",
            "Проверка записи: чтение микросхемы ...",
            "Проверка записи не выполнена.",
            {},
            "Стереть микросхему? Всё её содержимое будет потеряно. Сначала будет прочитана её резервная копия.",
            "Стереть микросхему? Всё её содержимое будет потеряно. Резервная копия не делается: она выключена.",
            "Стирание остановлено: операция прервана до стирания; микросхема не тронута.",
            "Стирание не началось; микросхема не тронута.",
            "Проверка перед записью: читаем микросхему, стёрта ли она ...",
            "Микросхема не прочитана перед записью; запись не начата.",
            "Микросхема не стёрта: запись поверх её содержимого не оставит в ней ни старого образа, ни нового.",
            "Стереть и записать?",
            "Запись отменена: микросхема не стёрта и не тронута.",
            "Запись отменена: микросхема не стёрта, а запись без стирания не оставит в ней ни старого образа, ни "
            "нового; --erase сотрёт её перед записью. Микросхема не тронута.",
            "Запись после стирания не началась; микросхема стёрта."};
  return {"Reading again to compare ...",
          "The read is stopped: the operation was interrupted before the second read.",
          "The second read did not start; the file is not written.",
          "The write is stopped: the operation was interrupted before the write; the chip is not touched.",
          "The write did not start; the chip is not touched.",
          "Verify: reading the chip back ...",
          "The verify did not run to its end.",
          {},
          "Erase the whole chip? Everything it holds is lost. A backup of it is read first.",
          "Erase the whole chip? Everything it holds is lost. No backup of it is taken: the backup is off.",
          "The erase is stopped: the operation was interrupted before the erase; the chip is not touched.",
          "The erase did not start; the chip is not touched.",
          "Check before the write: reading the chip to see whether it is blank ...",
          "The chip could not be read before the write; the write does not start.",
          "The chip is not blank: a write over what it holds leaves it holding neither the old image nor the new one.",
          "Erase and write?",
          "The write is called off: the chip is not erased and not touched.",
          "The write is refused: the chip is not blank, and a write without an erase leaves neither image in it; "
          "--erase erases it before the write. The chip is not touched.",
          "The write did not start after the erase; the chip is erased."};
}

DumpCapture& FlashRun::capture() { return job_.capture_; }
std::span<const std::uint8_t> FlashRun::image() const { return job_.image_; }
void FlashRun::phase(JobPhase phase) { job_.enterPhase(phase); }
void FlashRun::progress(int done, int total) { job_.publish(job_.phase(), done, total); }
bool FlashRun::readBackFollows() const { return job_.verifyNow_; }
void FlashRun::writtenWrong() { job_.writtenWrong_ = true; }
void FlashRun::readBackNeeded() { job_.readBackAsked_ = true; }

namespace {
// Where the image goes the chip holds nothing but FFh: an erased array takes any image.
bool BlankWhereWritten(std::span<const std::uint8_t> chip, std::span<const std::uint8_t> image) {
  if (chip.size() < image.size()) return false;
  return std::all_of(chip.begin(), chip.begin() + static_cast<std::ptrdiff_t>(image.size()),
                     [](std::uint8_t byte) { return byte == 0xFF; });
}
}  // namespace

FlashJob::FlashJob(FlashSteps& steps, TaskView& view, const FlashFacts& facts)
    : steps_(steps), view_(view), facts_(facts) {}

FlashJob::~FlashJob() {
  if (worker_.joinable()) {
    stop_.request_stop();
    worker_.join();
  }
}

void FlashJob::joinWorker() {
  if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id()) worker_.join();
}

void FlashJob::publish(JobPhase phase, int done, int total) {
  phase_.store(phase);
  view_.jobChanged({.phase = phase, .done = done, .total = total, .stage = report_.stage});
}

void FlashJob::enterPhase(JobPhase phase) {
  // Inside a write that has touched the chip, the pass's step is where the chip stands.
  const JobStage now = report_.stage;
  if (!erasing() && (now == JobStage::Erasing || now == JobStage::Programming || now == JobStage::Written)) {
    if (phase == JobPhase::Erasing) report_.stage = JobStage::Erasing;
    if (phase == JobPhase::Writing) report_.stage = JobStage::Programming;
    if (phase == JobPhase::Verifying) report_.stage = JobStage::Written;
  }
  publish(phase);
}

void FlashJob::calledOff() { report_.stage = JobStage::CalledOff; }

void FlashJob::startWorker(void (FlashJob::*work)(FlashRun&), bool freshStop) {
  // From here on only the worker touches the programmer and the file.
  if (freshStop) stop_ = std::stop_source();
  worker_ = std::jthread([this, work, stop = stop_.get_token()] {
    FlashRun run(*this, stop);
    (this->*work)(run);
  });
}

// The read: the dialog and the file in the click, the passes in the worker.

void FlashJob::read() {
  if (busy()) return;
  // The last worker told its end as its last act; let it finish leaving.
  joinWorker();
  const bool twice = readTwice_.load();
  report_ = NewJobReport(facts_.task, twice ? "read twice" : "read", label());
  if (!steps_.open(Opening::Click)) return end(false);
  const auto path = view_.askSaveFile(facts_.saveDialog);
  if (!path) {
    view_.log(facts_.saveInterrupted);
    calledOff();
    return end(false);
  }
  view_.repaint();
  // The dump goes beside the chosen name and replaces it only when whole; reading twice,
  // the passes wait in memory until they agree.
  if (!capture_.open(*path, twice)) {
    if (!facts_.createFailedLine.empty()) view_.log(facts_.createFailedLine);
    fileProblem(facts_.createFailedBox);
    view_.log(CreateFailedLine(*path, capture_.createError(), facts_.language));
    return end(false);
  }
  report_.file = *path;
  steps_.announceRead(*path);
  begin(JobPhase::Reading);
  if (!steps_.startReadPass()) return end(false);
  startWorker(&FlashJob::readWork);
}

void FlashJob::readWork(FlashRun& run) {
  if (!steps_.readPass(run)) return end(false);
  steps_.close();
  const bool judgedFirst = facts_.judgeFirstRead && capture_.wantsAnotherPass();
  if (capture_.wantsAnotherPass()) {
    if (judgedFirst) view_.log(capture_.verdict(facts_.language, facts_.dumpEnd.judgedBytes));
    if (!secondRead(run)) return;
    if (!steps_.readPass(run)) return end(false);
    steps_.close();
  }
  DumpWording wording = facts_.dumpEnd;
  wording.judge = wording.judge && !judgedFirst;
  auto ending = capture_.finish(facts_.language, wording);
  if (ending.diskRefused && !facts_.texts.dumpNotSaved.empty())
    ending.lines.insert(ending.lines.end() - 1, facts_.texts.dumpNotSaved);
  for (std::string& line : ending.lines) view_.log(std::move(line));
  if (ending.passesDiffer) {
    const ComparisonLabels& labels = ComparisonLabelsFor(facts_.language);
    view_.offerComparison({labels.firstRead, labels.secondRead, capture_.firstPass(), capture_.secondPass()});
  }
  if (ending.saved) {
    report_.fileSize = capture_.firstPass().size();
    report_.fileSha256 = Sha256Hex(capture_.firstPass());
  }
  end(ending.saved);
}

bool FlashJob::secondRead(FlashRun& run) {
  if (run.stopRequested()) {
    view_.log(facts_.texts.readInterruptedBeforeSecond);
    return endFailed();
  }
  return startPass(Pass::Again, Opening::SecondRead, facts_.texts.secondReadNotStarted);
}

bool FlashJob::startPass(Pass pass, Opening why, const std::string& failureLine) {
  if (!steps_.announcePass(pass))
    view_.log(pass == Pass::Again ? facts_.texts.readingAgain : facts_.texts.verifyStarts);
  bool started = steps_.open(why);
  if (started) {
    steps_.readGauge();
    started = steps_.startReadPass();
  }
  if (started) return true;
  if (!failureLine.empty()) view_.log(failureLine);
  return endFailed();
}

bool FlashJob::claim(JobPhase phase) {
  JobPhase idle = JobPhase::Idle;
  if (!phase_.compare_exchange_strong(idle, phase)) return false;
  claimed_.store(true);
  joinWorker();
  view_.jobChanged({.phase = phase, .claimed = true});
  return true;
}

void FlashJob::release() {
  claimed_.store(false);
  publish(JobPhase::Idle);
}

// The write: the image checked in the click, then the backup read, the gate and the
// family's write pass in the worker.

void FlashJob::fileProblem(const std::string& text) {
  if (facts_.fileProblemsLogged) view_.log(text);
  else view_.errorBox(text);
}

bool FlashJob::takeImage(const std::string& path) {
  const std::size_t largest = std::max(facts_.largestFile, facts_.chipSize);
  SourceFile source = ReadSourceFile(path, largest);
  if (source.problem == SourceProblem::CannotOpen) {
    if (!facts_.openFailedLine.empty()) view_.log(facts_.openFailedLine);
    fileProblem(facts_.openFailedBox);
    return false;
  }
  if (!source.ok()) {
    view_.log(SourceProblemLine(path, source, largest, facts_.language));
    return false;
  }
  const std::size_t fileSize = source.bytes.size();
  std::string fileSha256 = Sha256Hex(source.bytes);
  // What follows the chip's part of a larger file is neither written nor asked about.
  if (source.bytes.size() > facts_.chipSize) source.bytes.resize(facts_.chipSize);
  if (!ConfirmImage(view_, path, source.bytes, facts_.chipSize, facts_.language, facts_.restOfChip)) {
    calledOff();
    return false;
  }
  report_.fileSize = fileSize;
  report_.fileSha256 = std::move(fileSha256);
  image_ = steps_.shapeImage(std::move(source.bytes));
  return true;
}

void FlashJob::write() {
  if (busy()) return;
  joinWorker();
  gate_.reset();
  const bool backup = backup_.load();
  keepBackup_ = backup;
  eraseFirstNow_ = eraseFirst_;
  verifyNow_ = facts_.readBackVerify && verifyAfterWrite_.load();
  readBackAsked_ = writtenWrong_ = false;
  report_ = NewJobReport(facts_.task, "write", label());
  if (!steps_.open(Opening::Click)) return end(false);
  const auto path = view_.askOpenFile(facts_.openDialog);
  if (!path) {
    view_.log(facts_.writeInterrupted);
    calledOff();
    return end(false);
  }
  view_.repaint();
  // The image is taken whole before anything more is sent: a file that cannot be read to
  // its end is refused, never written half.
  if (!takeImage(*path)) return end(false);
  report_.file = *path;
  if (!startChanging(JobPhase::Writing, backup || facts_.eraseUnlessBlank, [this] {
        steps_.announceWrite(report_.file);
        begin(JobPhase::Writing);
        return steps_.startWritePass();
      }))
    return;
  startWorker(&FlashJob::writeWork);
}

bool FlashJob::startChanging(JobPhase phase, bool readFirst, const std::function<bool()>& startWithoutRead) {
  if (!readFirst) return startWithoutRead() || endFailed();
  // The chip is read on this open (for its backup, or to see whether it is blank); the write
  // or erase opens the programmer again.
  const Pass pass = keepBackup_ ? Pass::Backup : Pass::BeforeWrite;
  if (!steps_.announcePass(pass))
    view_.log(keepBackup_ ? BackupStartLine(facts_.language, erasing()) : facts_.texts.blankCheckStarts);
  steps_.readGauge();
  begin(phase);
  capture_.collectOnly();
  backupRead_ = true;
  return steps_.startReadPass() || endFailed();
}

void FlashJob::writeWork(FlashRun& run) {
  if (backupRead_) {
    if (!keepReadBefore(run)) return;
    if (facts_.eraseUnlessBlank && !BlankWhereWritten(capture_.firstPass(), image_)) return eraseFirst(run);
    if (!reopenToChange(run, facts_.texts.writeNotStarted) || !startWrite()) return;
  }
  writeFromGate(run);
}

bool FlashJob::startWrite() {
  steps_.announceWrite(report_.file);
  return steps_.startWritePass() || endFailed();
}

// The chip holds something where the image goes and the family's write cannot set a bit
// back: an erase first, or no write at all. The command line answered before the job began;
// the window is asked on its own thread, so this worker ends here and the answer carries on.
void FlashJob::eraseFirst(FlashRun& run) {
  if (eraseFirstNow_ == false) {
    view_.log(facts_.texts.eraseFirstRefused);
    return end(false);
  }
  view_.log(facts_.texts.notBlank);
  if (eraseFirstNow_ == true) return eraseThenWrite(run);
  view_.onOwnThread([this, asker = std::this_thread::get_id(), stop = run.stopToken()] {
    if (!view_.askYesNo(facts_.texts.eraseFirstQuestion)) {
      view_.log(facts_.texts.eraseFirstDeclined);
      calledOff();
      return end(false);
    }
    // A view that asks on the caller's thread answered on this very worker: it goes on.
    if (std::this_thread::get_id() == asker) {
      FlashRun again(*this, stop);
      return eraseThenWrite(again);
    }
    // A stop asked for before the question still counts.
    startWorker(&FlashJob::eraseThenWrite, false);
  });
}

// The family's erase on its own open, then the write on another; the chip's copy (when on)
// is already kept.
void FlashJob::eraseThenWrite(FlashRun& run) {
  if (!reopenToChange(run, facts_.texts.writeNotStarted)) return;
  // The erase is the write's first change: the gate decides, as before its first page.
  if (!passGate(run)) return;
  report_.stage = JobStage::Erasing;
  if (!steps_.startErasePass()) return end(false);
  report_.chipTouched = true;
  const bool erased = steps_.erasePass(run);
  steps_.close();
  if (!erased) return end(false);
  if (!steps_.open(Opening::AfterBackup)) {
    view_.log(facts_.texts.writeNotStartedAfterErase);
    return end(false);
  }
  if (startWrite()) writeFromGate(run);
}

void FlashJob::writeFromGate(FlashRun& run) {
  // A stop that came since the click (or during the open after the backup) still finds the
  // chip as it was: the gate decides, so a signal cannot slip in before the first command.
  if (!passGate(run)) return;
  report_.stage = JobStage::Programming;
  const bool written = steps_.writePass(run);
  // The family's own check ran to its end: it passed, or it found the chip wrong.
  if (written || writtenWrong_) report_.stage = JobStage::Checked;
  // A write whose own check failed is read back only to tell where; one that skipped its
  // check is read back to know at all.
  if (written ? !(verifyNow_ || readBackAsked_) : !writtenWrong_) {
    report_.unverified = written && facts_.readBackVerify && !verifyNow_;
    if (report_.unverified) report_.stage = JobStage::Written;
    return end(written);
  }
  // Written to its end: until the read-back has compared, that is all that is known.
  if (written) report_.stage = JobStage::Written;
  steps_.close();
  verifyByReadBack(run);
}

void FlashJob::verifyByReadBack(FlashRun& run) {
  publish(JobPhase::Verifying);
  capture_.collectOnly();
  if (!startPass(Pass::Verify, Opening::Verify, facts_.texts.verifyNotDone)) return;
  if (!steps_.readPass(run)) {
    if (!facts_.texts.verifyNotDone.empty()) view_.log(facts_.texts.verifyNotDone);
    return end(false);
  }
  steps_.close();
  // Only what the write sent is compared: a family that programs only the file's pages
  // leaves the rest of the chip as it was.
  const auto& back = capture_.firstPass();
  report_.difference =
      CompareDumps(image_, std::span<const std::uint8_t>(back).first(std::min(back.size(), image_.size())));
  view_.log(VerifyLine(report_.difference, facts_.language));
  if (report_.difference) {
    const ComparisonLabels& labels = ComparisonLabelsFor(facts_.language);
    const auto compared = static_cast<std::ptrdiff_t>(std::min(back.size(), image_.size()));
    view_.offerComparison({labels.image + report_.file, labels.readBack, image_,
                           std::vector<std::uint8_t>(back.begin(), back.begin() + compared)});
  }
  report_.verifyFailed = writtenWrong_ || report_.difference.has_value();
  report_.stage = JobStage::Checked;
  end(!report_.verifyFailed);
}

// The erase: the question and the backup's start in the click, the rest in the worker.

void FlashJob::erase() {
  if (busy()) return;
  joinWorker();
  gate_.reset();
  const bool backup = backup_.load();
  keepBackup_ = backup;
  report_ = NewJobReport(facts_.task, "erase", label());
  // Nothing goes to the programmer before the technician says Yes.
  if (!view_.askYesNo(backup ? facts_.texts.eraseQuestion : facts_.texts.eraseQuestionNoBackup)) {
    calledOff();
    return end(false);
  }
  if (!steps_.open(Opening::Click)) return end(false);
  if (!startChanging(JobPhase::Erasing, backup, [this] {
        begin(JobPhase::Erasing);
        return steps_.startErasePass();
      }))
    return;
  startWorker(&FlashJob::eraseWork);
}

void FlashJob::eraseWork(FlashRun& run) {
  if (backupRead_) {
    if (!keepReadBefore(run) || !reopenToChange(run, facts_.texts.eraseNotStarted)) return;
    if (!steps_.startErasePass()) return end(false);
  }
  if (!passGate(run)) return;
  report_.stage = JobStage::Erasing;
  end(steps_.erasePass(run));
}

void FlashJob::begin(JobPhase phase) {
  publish(phase);
  for (const char* control : phase == JobPhase::Reading ? facts_.lockedWhileReading : facts_.lockedWhileWriting)
    view_.enable(control, false);
}

void FlashJob::unlockControls() {
  for (const char* control : facts_.enabledWhenIdle) view_.enable(control, true);
}

bool FlashJob::passGate(FlashRun& run) {
  if (!run.stopRequested() && gate_.touch()) return true;
  view_.log(erasing() ? facts_.texts.eraseStoppedBeforeErase : facts_.texts.writeStoppedBeforeWrite);
  if (!erasing()) steps_.stoppedBeforeWrite();
  calledOff();
  return endFailed();
}

bool FlashJob::endFailed() {
  end(false);
  return false;
}

bool FlashJob::keepReadBefore(FlashRun& run) {
  if (!steps_.readPass(run)) {
    // A stop during the read before the change calls the whole job off: the chip is as it was.
    if (run.stopRequested()) calledOff();
    return endFailed();
  }
  backupRead_ = false;
  steps_.close();
  if (!keepBackup_) return true;
  const SavedBackup saved = KeepBackup(view_, facts_.task, capture_.firstPass(), facts_.language);
  if (!saved.ok) return endFailed();
  report_.backupPath = saved.path;
  report_.backupSha256 = saved.sha256;
  return true;
}

bool FlashJob::reopenToChange(FlashRun& run, const std::string& notStarted) {
  // A stop by now spares the open. The gate is passed only after it, where the write or
  // erase checks it: a signal during this open still finds the chip untouched.
  if (run.stopRequested()) {
    view_.log(erasing() ? facts_.texts.eraseStoppedBeforeErase : facts_.texts.writeStoppedBeforeWrite);
    calledOff();
    return endFailed();
  }
  if (!steps_.open(Opening::AfterBackup)) {
    view_.log(notStarted);
    return endFailed();
  }
  return true;
}

void FlashJob::end(bool success) {
  steps_.close();
  // Whatever did not end in a saved dump leaves the chosen name as it was.
  capture_.abandon();
  if (!success && backupRead_)
    view_.log(keepBackup_ ? BackupReadFailedLine(facts_.language, erasing()) : facts_.texts.blankCheckFailed);
  backupRead_ = false;
  // A job that ended in its click never held the controls: nothing to give back.
  if (phase_.exchange(JobPhase::Idle) != JobPhase::Idle) unlockControls();
  const ProgrammerLink& link = steps_.programmerLink();
  report_.port = link.port;
  report_.firmware = link.firmware;
  report_.chipId = link.chipId;
  // The job's own last word, after the family's documented lines.
  EndJobReport(report_, success, view_, facts_.language);
  if (reporter_) reporter_(report_);
  view_.jobChanged({.phase = JobPhase::Idle, .ended = true, .stage = report_.stage});
  view_.ended(success);
}

}  // namespace jig
