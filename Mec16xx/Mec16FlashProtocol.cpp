#include "Mec16xx/Mec16FlashProtocol.h"

#include <algorithm>

#include "link/WaitDeadline.h"

namespace jig::mec16 {

namespace {
constexpr std::string_view kEraseMain = "00F80000";
constexpr std::string_view kEraseMainAndInfo = "00FC0000";
}  // namespace

std::size_t WriteRegisters(ProgrammerLink& link, std::span<const RegisterWrite> writes) {
  const auto lost = std::find_if(writes.begin(), writes.end(), [&link](const RegisterWrite& write) {
    return WriteReg_MEC16(link, write.set.address, write.set.value) == kMecLost;
  });
  return static_cast<std::size_t>(lost - writes.begin());
}

bool StartErase(ProgrammerLink& link, bool infoToo) {
  return WriteReg_MEC16(link, kFlashAddress, infoToo ? kEraseMainAndInfo : kEraseMain) != kMecLost;
}

// The busy bit stays set while the array erases.
EraseEnd AwaitEraseEnd(ProgrammerLink& link, std::uint32_t timeoutMs) {
  const WaitDeadline deadline(*link.d2xx, timeoutMs);
  for (;;) {
    const RegisterAnswer status = ReadReg_MEC16(link, kFlashStatus);
    if (status.lost()) return EraseEnd::Lost;
    if ((status.low() & kStatusBusy) == 0) return EraseEnd::Done;
    if (deadline.passed()) return EraseEnd::TooLong;
  }
}

WaitResult AwaitBlock(ProgrammerLink& link, std::uint32_t timeoutMs) {
  return QueueWait(link, kBlockBytes, timeoutMs);
}

std::span<const std::uint8_t> BlockData(const ProgrammerLink& link) { return {link.buffer.data(), kBlockData}; }

bool BlockGood(const ProgrammerLink& link) { return link.buffer[kBlockData] == kBlockGood; }

Page PageOf(std::span<const std::uint8_t> image, int number) {
  const std::size_t offset = std::min(static_cast<std::size_t>(number - 1) * kPageBytes, image.size());
  Page page;
  page.fill(0xFF);
  std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(offset), std::min(kPageBytes, image.size() - offset),
              page.begin());
  return page;
}

std::vector<std::uint8_t> WholePages(std::vector<std::uint8_t> image) {
  image.resize(std::min<std::size_t>(kMainPages, image.size() / kPageBytes + 1) * kPageBytes, 0xFF);
  return image;
}

WaitResult AwaitPageRequest(ProgrammerLink& link, std::uint32_t timeoutMs) { return QueueWait(link, 1, timeoutMs); }

void SendPage(ProgrammerLink& link, const Page& page) { link.write(page); }

PageAnswer AwaitPageAnswer(ProgrammerLink& link, std::uint32_t timeoutMs) {
  if (QueueWait(link, 1, timeoutMs) != WaitResult::Ok) return PageAnswer::Silent;
  return link.buffer[0] == kPageDone ? PageAnswer::Programmed : PageAnswer::Refused;
}

}  // namespace jig::mec16
