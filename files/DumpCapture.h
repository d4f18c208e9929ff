#pragma once
// A read's dump on its way from the chip to the disk, with one rule for every window that
// uses it: a single read goes to the dump sink as it comes and is committed only when the
// read ended well; a read twice keeps both passes in memory and writes the first only when
// they match; any other end leaves the chosen name as it was. Without a target (the backup
// before a write) it only collects the bytes.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "files/Backups.h"
#include "files/DumpChecks.h"
#include "files/DumpSink.h"
#include "view/TaskView.h"

namespace jig {

// A window's own wording of a read's end: its line before the target's path when the dump
// cannot be saved (empty: the shared line with the system's reason), and no dump check when
// its read judged the dump already.
struct DumpWording {
  std::string notSaved;
  bool judge = true;
  std::size_t judgedBytes = 0;  // what the check looks at: the firmware, not a block behind it (0: all)
};

class DumpCapture {
 public:
  // At the moment the read creates its file: the sink beside target. False when the folder
  // cannot take it (nothing is created then).
  bool open(const std::string& target, bool twice);
  // No file: the passes are only kept in memory.
  void collectOnly();

  // Begins the next pass over the chip.
  void startPass();
  // One block of the running pass; false when the sink did not take it.
  bool take(std::span<const std::uint8_t> block);
  bool wantsAnotherPass() const { return twice_ && pass_ == 1; }

  struct Ending {
    bool saved = false;
    std::vector<std::string> lines;  // the read twice verdict, why it was not saved, the dump check
    bool diskRefused = false;        // the last line says why the disk did not take the dump
    bool passesDiffer = false;       // read twice, and the two passes differ
  };
  // After the last pass of a read that ended well: compares the passes when reading twice,
  // commits the dump and judges it as the wording says.
  Ending finish(LogLanguage language, const DumpWording& wording = {});
  // The dump check on the first pass's first judgedBytes (all when 0).
  std::string verdict(LogLanguage language, std::size_t judgedBytes = 0) const;
  // Any other end: the temporary file goes, the target stays as it was.
  void abandon();

  bool hasTarget() const { return sink_.has_value(); }
  // The system's errno when open could not create the temporary file.
  int createError() const { return createError_; }
  const std::string& target() const { return target_; }
  const std::vector<std::uint8_t>& firstPass() const { return first_; }
  const std::vector<std::uint8_t>& secondPass() const { return second_; }

 private:
  std::optional<DumpSink> sink_;
  std::string target_;
  bool twice_ = false;
  int pass_ = 0;
  int createError_ = 0;
  std::vector<std::uint8_t> first_, second_;
};

// Saves the backup taken before a write and logs where it went; not ok() when it was not
// saved (the write must not start).
SavedBackup KeepBackup(TaskView& view, std::string_view task, std::span<const std::uint8_t> image,
                       LogLanguage language);

}  // namespace jig
