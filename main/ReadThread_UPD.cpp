#include "main/ReadThread_UPD.h"

#include <algorithm>
#include <array>
#include <ctime>

#include "view/CharFilter.h"
#include "link/OpenProgrammer.h"
#include "journal/JobJournal.h"
#include "link/ReadIdioms.h"
#include "main/BootUpload.h"
#include "main/FirmwareImage.h"
#include "main/Form1Controls.h"
#include "main/Tasks.h"
#include "main/UpdateControls.h"
#include "view/VerdictWord.h"

namespace jig {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kPushReset = "*** PLEASE PUSH RESET BUTTON ! ***";
constexpr std::string_view kNoBootLoader = "You did not press the reset button or error response BOOT_loader";
// Devices were listed but none could be opened, and the system did not say why.
constexpr std::string_view kNothingOpened = "The programmer's port could not be opened; no firmware switch is tried.";
// A failed switch's own closing line, after the documented ones. A switch that succeeds
// says so by the task window it opens, and on the command line by the action that follows.
constexpr std::string_view kSwitchFailed = "firmware switch FAILED, the task window does not open; no chip was touched.";
constexpr std::uint8_t kStartApplication[] = {'g', '\n'};
constexpr DWORD kStartAnswer = 5;

enum class Sync { Answered, TimeUp, Gone };

// Writes 'U' back to back until a byte waits, in chunks, looking at the receive queue
// between them. The line is kept busy from the clock: no more than kBootSyncAhead bytes
// ahead of what 115200 baud has carried since the stream began (and of the transmit
// queue, where the link counts it); while that much waits, the worker sleeps on the
// receive queue.
Sync SendSyncStream(SwitchContext& context, Clock::time_point deadline) {
  ProgrammerLink& link = context.link;
  std::array<std::uint8_t, limits::kBootSyncChunk> chunk;
  chunk.fill('U');
  constexpr std::uint64_t kBytesPerSecond = limits::kBootLoaderBaud / 10;  // 8N1: 10 bits a byte
  const Clock::time_point start = Clock::now();
  std::uint64_t written = 0;
  for (;;) {
    if (context.BootTimeoutFlag.load() == 1 || Clock::now() >= deadline) return Sync::TimeUp;
    if (link.getStatus() != FT_OK) return Sync::Gone;
    if (link.rxQueue > 0) return Sync::Answered;
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
    const std::uint64_t carried = static_cast<std::uint64_t>(elapsed) * kBytesPerSecond / 1000000;
    const std::uint64_t byClock = carried + limits::kBootSyncAhead - std::min(written, carried + limits::kBootSyncAhead);
    const std::uint64_t byQueue = limits::kBootSyncAhead - std::min<std::uint64_t>(link.txQueue, limits::kBootSyncAhead);
    if (std::min(byClock, byQueue) >= chunk.size()) {
      if (link.write(chunk) != FT_OK) return Sync::Gone;
      written += link.transferred;
      if (link.transferred == chunk.size()) continue;
      // The line took less than a chunk: it is full; wait below as when it is busy.
    }
    const FT_STATUS status = link.d2xx->WaitForRx(link.handle, 1, limits::kBootSyncPaceMs, &link.rxQueue);
    if (status == FT_OK) return Sync::Answered;
    if (status != FT_WAIT_TIMEOUT) return Sync::Gone;
  }
}

// The greeting, byte by byte, until XON or 16 bytes; each byte gets three 1-byte reads.
std::size_t ReadGreeting(ProgrammerLink& link, std::array<std::uint8_t, 32>& greeting) {
  std::size_t count = 0;
  while (count < limits::kBootGreetingMax) {
    if (!RetriedSingleByte(link, limits::kBootGreetingByteReads)) break;
    greeting[count++] = link.buffer[0];
    if (greeting[count - 1] == kXon) break;
  }
  return count;
}


// The switch put on the journal: what answered before, whether the task's firmware runs now.
// A firmware that already fits is no switch and goes on no record.
void RecordSwitch(SwitchContext& context, bool success, std::string verdict) {
  JobRecord& record = context.record;
  record.success = success;
  record.ended = std::time(nullptr);
  record.durationMs = -1;
  record.port = context.link.port;
  record.verdict = std::move(verdict);
  for (std::string& line : RecordJob(record, LogLanguage::English)) context.updateView.log(std::move(line));
}

SwitchOutcome Fail(SwitchContext& context, std::string_view line) {
  if (!line.empty()) context.updateView.log(std::string(line));
  RecordSwitch(context, false, std::string(VerdictWord(LogLanguage::English)) + std::string(kSwitchFailed));
  context.updateView.log(std::string(VerdictWord(LogLanguage::English)) + std::string(kSwitchFailed));
  context.link.close();
  context.updateView.enable(update::control::kExit, true);
  context.updateView.ended(false);
  return SwitchOutcome::Failed;
}

std::string LoadAndUpload(SwitchContext& context, const std::string& task) {
  LoadedImage loaded = LoadFirmwareImage(FindTask(context.settings.tasks, task), context.updateView, context.settings.imageFolders);
  if (!loaded.ok()) return loaded.result;
  if (IsStandInImage(loaded.image) && !context.link.d2xx->simulated()) {
    context.updateView.log("This image is a stand-in for the simulated programmer; put the vendor's image beside the program.");
    return std::string(kResultFileSearch);
  }
  return UploadFirmwareImage(context.link, loaded.image, context.updateView);
}

// The firmware that runs fits the task: Timer_RUN opens the window. Otherwise the programmer
// is asked into its boot loader ('?' answered by '!'), or the user is asked to push reset.
bool FitsOrCallBoot(SwitchContext& context, const std::string& taskText) {
  TaskView& view = context.updateView;
  ProgrammerLink& link = context.link;
  if (link.versionText == kVersionErrorAnswer) {
    view.log(std::string(kPushReset));
    return false;
  }
  const Task* task = FindTask(context.settings.tasks, taskText);
  if (task && link.versionText.find(task->tag) != std::string::npos) {
    context.mainView.setTimer(form1::control::kTimerRun, true);
    view.showWindow("self", false);
    link.close();
    view.ended(true);
    return true;
  }
  view.log("Command go to BOOT ... ");
  link.writeByte('?');
  if (!RetriedSingleByte(link, limits::kBootJumpReads) || link.buffer[0] != '!')
    view.log("*** FAULT ANSWER. PLEASE push reset button ***");
  return false;
}

// Boot phase: one 5-second limit across all attempts; the greeting's length (0: none).
std::size_t ReachBootLoader(SwitchContext& context, std::array<std::uint8_t, 32>& greeting) {
  ProgrammerLink& link = context.link;
  context.updateView.setGauge(update::control::kGauge, 0);
  if (link.isOpen) {
    link.d2xx->FT_SetBaudRate(link.handle, limits::kBootLoaderBaud);
    link.d2xx->FT_SetTimeouts(link.handle, limits::kQueryTimeoutMs, limits::kQueryTimeoutMs);
  }
  context.BootTimeoutFlag = 0;
  context.mainView.setTimer(form1::control::kTimer5Sec, true);
  const Clock::time_point deadline = Clock::now() + context.settings.bootWindow;
  for (int attempt = 1;; ++attempt) {
    if (link.isOpen) link.d2xx->FT_Purge(link.handle, FT_PURGE_RX | FT_PURGE_TX);
    if (SendSyncStream(context, deadline) != Sync::Answered) return 0;
    const std::size_t length = ReadGreeting(link, greeting);
    if (length > 0 && length < limits::kBootGreetingMax && greeting[length - 1] == kXon) return length;
    if (attempt == limits::kBootAttempts) return 0;
    context.updateView.log(std::string(kPushReset));
  }
}

// The upload and, on every path, "g": the boot loader starts the application again.
SwitchOutcome UploadAndStart(SwitchContext& context, const std::string& taskText) {
  TaskView& view = context.updateView;
  ProgrammerLink& link = context.link;
  const std::string result = LoadAndUpload(context, taskText);
  if (result == kResultFileFormat) view.log("Error format .hex file for Q27!");
  else if (result == kResultUpgradeError) view.log("Flashing Q27 error!");
  else if (result == kResultUpgradeOk) view.log("Exit from BOOT and RUN ... ");

  link.write(kStartApplication);
  bool started = false;
  if (link.isOpen &&
      link.d2xx->WaitForRx(link.handle, kStartAnswer, limits::kBootStartTimeoutMs, &link.rxQueue) == FT_OK) {
    link.read(std::min<DWORD>(link.rxQueue, static_cast<DWORD>(link.buffer.size())));
    started = true;
  }
  if (result != kResultUpgradeOk) return Fail(context, started ? "" : "BOOT_loader did not answer g");
  if (!started) return Fail(context, "BOOT_loader did not answer g");
  RecordSwitch(context, true, "the programmer now runs the task's firmware");
  link.close();
  view.showWindow("self", false);
  context.mainView.setTimer(form1::control::kTimerRun, true);
  view.ended(true);
  return SwitchOutcome::Switched;
}

}  // namespace

SwitchOutcome ReadThread_UPD(SwitchContext& context, const std::string& taskText) {
  TaskView& view = context.updateView;
  ProgrammerLink& link = context.link;
  view.showWindow("self", true);
  context.record = {};
  context.record.task = taskText;
  context.record.action = "switch";
  context.record.started = std::time(nullptr);
  context.record.firmware = link.versionText;  // what ran before the switch
  view.log("Current version of FW -> " + link.versionText);
  view.log("User select -> " + taskText);
  // Nothing answered because nothing could be opened (rights, another program, a path that
  // is no port): the reset button cannot help and the boot loader would have no line to
  // answer on. Say why and stop. A port that opened and stayed silent goes on below.
  if (link.versionText == kVersionErrorAnswer && !link.isOpen)
    return Fail(context, link.refusalLine.empty() ? kNothingOpened : std::string_view(link.refusalLine));
  if (FitsOrCallBoot(context, taskText)) return SwitchOutcome::Fits;

  std::array<std::uint8_t, 32> greeting{};
  const std::size_t length = ReachBootLoader(context, greeting);
  if (length == 0) return Fail(context, kNoBootLoader);
  const auto said = std::span<const std::uint8_t>(greeting.data(), length);
  view.log(HexBytes(said));
  view.log("BOOT Q27 connected - " + FilterAnswer(said));
  view.log("Update firmware ... ");
  return UploadAndStart(context, taskText);
}

}  // namespace jig
