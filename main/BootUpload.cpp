#include "main/BootUpload.h"

#include <algorithm>

#include "view/CharFilter.h"
#include "link/ReadIdioms.h"
#include "link/WaitDeadline.h"
#include "link/Bounds.h"
#include "main/UpdateControls.h"

namespace jig {

namespace {

constexpr std::uint8_t kProgramFlash[] = {'p', 'f', '\n'};
constexpr std::uint8_t kEndRecord[] = {':', '0', '0', '0', '0', '0', '0', '0', '1', 'F', 'F', '\n'};
// "pf" and the end record are answered with at least this many bytes.
constexpr DWORD kShortAnswer = 7;

// Waits for at least count bytes, then reads every waiting byte (no more than the
// transfer buffer holds); the bytes are not examined.
WaitResult AwaitAndDrop(ProgrammerLink& link, DWORD count, DWORD timeoutMs) {
  if (!link.isOpen) return WaitResult::Gone;
  const FT_STATUS status = link.d2xx->WaitForRx(link.handle, count, timeoutMs, &link.rxQueue);
  if (status == FT_WAIT_TIMEOUT) return WaitResult::TimedOut;
  if (status != FT_OK) return WaitResult::Gone;
  const DWORD take = std::min<DWORD>(link.rxQueue, static_cast<DWORD>(link.buffer.size()));
  return link.read(take) == FT_OK ? WaitResult::Ok : WaitResult::Gone;
}

// Gathers one line's answer until its last byte is XON or the 16-byte buffer is full.
WaitResult GatherAnswer(ProgrammerLink& link, std::array<std::uint8_t, limits::kBootAnswerMax>& answer,
                        std::size_t& length) {
  const WaitDeadline deadline(*link.d2xx, limits::kBootLineTimeoutMs);
  length = 0;
  while (length == 0 || answer[length - 1] != kXon) {
    if (length == answer.size()) return WaitResult::Ok;  // longer than 16: judged a refusal
    const DWORD left = deadline.msLeft();
    if (left == 0) return WaitResult::TimedOut;
    const FT_STATUS status = link.d2xx->WaitForRx(link.handle, 1, left, &link.rxQueue);
    if (status == FT_WAIT_TIMEOUT) return WaitResult::TimedOut;
    if (status != FT_OK) return WaitResult::Gone;
    const DWORD take = std::min<DWORD>(link.rxQueue, static_cast<DWORD>(answer.size() - length));
    if (link.read(take) != FT_OK) return WaitResult::Gone;
    std::copy_n(link.buffer.begin(), link.transferred, answer.begin() + static_cast<std::ptrdiff_t>(length));
    length += link.transferred;
  }
  return WaitResult::Ok;
}

std::string Failed(TaskView& view, const std::string& line) {
  view.log(line);
  return std::string(kResultUpgradeError);
}

}  // namespace

std::array<std::uint8_t, kHexLineSize> BuildHexLine(const FirmwareImage& image, unsigned address) {
  std::string text = ":10" + Hex4(address) + "00";
  std::uint8_t sum = static_cast<std::uint8_t>(0x10 + (address >> 8) + (address & 0xFF));
  for (unsigned i = 0; i < 16; ++i) {
    const std::uint8_t value = address + i < kFirmwareImageSize ? image.bytes[address + i] : 0xFF;
    text += Hex2(value);
    sum = static_cast<std::uint8_t>(sum + value);
  }
  text += Hex2(static_cast<std::uint8_t>(-sum));
  text += '\n';
  std::array<std::uint8_t, kHexLineSize> line{};
  std::copy(text.begin(), text.end(), line.begin());
  return line;
}

bool IsRefusal(std::span<const std::uint8_t> answer) {
  if (answer.empty() || answer.back() != kXon) return true;  // never ended within 16 bytes
  const std::size_t k = answer.size() - 1;
  // With no second byte of its own (k = 0) an answer cannot carry the '-'.
  return k != 2 && k != 3 && answer.size() >= 2 && answer[1] == '-';
}

std::string UploadFirmwareImage(ProgrammerLink& link, const FirmwareImage& image, TaskView& view) {
  link.write(kProgramFlash);
  if (AwaitAndDrop(link, kShortAnswer, limits::kBootEraseTimeoutMs) != WaitResult::Ok)
    return Failed(view, "BOOT_loader did not answer pf");
  std::array<std::uint8_t, limits::kBootAnswerMax> answer{};
  for (unsigned address = 0; address <= image.lastUsed; address += 16) {
    const auto line = BuildHexLine(image, address);
    std::copy(line.begin(), line.end(), link.buffer.begin());
    if (link.write(std::span(link.buffer.data(), line.size())) != FT_OK)
      return Failed(view, "BOOT_loader did not answer line " + Hex4(address));
    if (Drain(link, limits::kDrainTimeoutMs) != WaitResult::Ok)
      return Failed(view, "BOOT_loader did not take line " + Hex4(address));
    std::size_t length = 0;
    if (GatherAnswer(link, answer, length) != WaitResult::Ok)
      return Failed(view, "BOOT_loader did not answer line " + Hex4(address));
    if (IsRefusal(std::span(answer.data(), length))) return Failed(view, std::string(kResultUpgradeError));
    view.setGauge(update::control::kGauge, static_cast<int>(std::min(address + 16, image.lastUsed)));
  }
  std::copy(std::begin(kEndRecord), std::end(kEndRecord), link.buffer.begin());
  link.write(std::span(link.buffer.data(), sizeof kEndRecord));
  view.log(link.transferred == sizeof kEndRecord ? "отправлено EOF корректно" : "отправлено МЕНЬШЕ байт");
  if (AwaitAndDrop(link, kShortAnswer, limits::kBootEndTimeoutMs) != WaitResult::Ok)
    return Failed(view, "BOOT_loader did not answer EOF");
  return std::string(kResultUpgradeOk);
}

}  // namespace jig
