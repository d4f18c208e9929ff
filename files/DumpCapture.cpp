#include "files/DumpCapture.h"

#include <algorithm>

#include "files/Backups.h"
#include "view/SystemError.h"

namespace jig {

bool DumpCapture::open(const std::string& target, bool twice) {
  abandon();
  createError_ = 0;
  sink_ = DumpSink::Create(target, &createError_);
  target_ = target;
  twice_ = twice;
  pass_ = 0;
  return sink_.has_value();
}

void DumpCapture::collectOnly() {
  abandon();
  target_.clear();
  twice_ = false;
  pass_ = 0;
}

void DumpCapture::startPass() {
  ++pass_;
  auto& pass = pass_ == 1 ? first_ : second_;
  pass.clear();
  if (pass_ == 1) second_.clear();
}

bool DumpCapture::take(std::span<const std::uint8_t> block) {
  auto& pass = pass_ == 1 ? first_ : second_;
  pass.insert(pass.end(), block.begin(), block.end());
  // Reading twice, nothing reaches the disk before the passes are compared.
  if (sink_ && !twice_) return sink_->write(block);
  return true;
}

DumpCapture::Ending DumpCapture::finish(LogLanguage language, const DumpWording& wording) {
  Ending ending;
  if (twice_) {
    const auto difference = CompareDumps(first_, second_);
    ending.lines.push_back(ReadTwiceLine(difference, language));
    if (difference) {
      ending.passesDiffer = true;
      abandon();
      return ending;
    }
  }
  if (sink_) {
    const bool written = !twice_ || sink_->write(first_);
    if (!written || !sink_->commit()) {
      const std::string reason = SystemErrorText(sink_->error());
      abandon();
      ending.diskRefused = true;
      ending.lines.push_back(!wording.notSaved.empty() ? wording.notSaved + target_
                             : language == LogLanguage::Russian
                                 ? "Файл " + target_ + " не удалось сохранить на диск (" + reason + ")."
                                 : "The file " + target_ + " could not be saved to the disk (" + reason + ").");
      return ending;
    }
    sink_.reset();
  }
  ending.saved = true;
  if (wording.judge) ending.lines.push_back(verdict(language, wording.judgedBytes));
  return ending;
}

std::string DumpCapture::verdict(LogLanguage language, std::size_t judgedBytes) const {
  const std::size_t judged = judgedBytes == 0 ? first_.size() : std::min(judgedBytes, first_.size());
  return DumpPatternLine(CheckDumpPattern(std::span<const std::uint8_t>(first_).first(judged)), language);
}

void DumpCapture::abandon() {
  if (sink_) sink_->abandon();
  sink_.reset();
}

SavedBackup KeepBackup(TaskView& view, std::string_view task, std::span<const std::uint8_t> image,
                       LogLanguage language) {
  SavedBackup backup = SaveBackup(task, image, BackupFolder(), kMaxBackups, language);
  for (std::string& line : BackupLines(backup, language)) view.log(std::move(line));
  return backup;
}

}  // namespace jig
