#include "link/ProgrammerLink.h"

#include <utility>

namespace jig {

FT_STATUS ProgrammerLink::write(std::span<const std::uint8_t> bytes) {
  transferred = 0;
  if (!isOpen) return FT_INVALID_HANDLE;
  return d2xx->FT_Write(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &transferred);
}

FT_STATUS ProgrammerLink::writeByte(std::uint8_t byte) {
  const std::uint8_t one[1] = {byte};
  return write(one);
}

FT_STATUS ProgrammerLink::read(DWORD count, std::size_t offset) {
  transferred = 0;
  if (!isOpen) return FT_INVALID_HANDLE;
  if (buffer.size() < offset + count) buffer.resize(offset + count);
  return d2xx->FT_Read(handle, buffer.data() + offset, count, &transferred);
}

FT_STATUS ProgrammerLink::getStatus() {
  if (!isOpen) return FT_INVALID_HANDLE;
  return d2xx->FT_GetStatus(handle, &rxQueue, &txQueue, &eventStatus);
}

void ProgrammerLink::close() {
  if (!isOpen) return;
  d2xx->FT_Close(handle);
  isOpen = false;
  handle = 0;
}

ProgrammerLink& ProgrammerLink::operator=(ProgrammerLink&& other) noexcept {
  if (this != &other) {
    close();
    d2xx = other.d2xx;
    take(other);
  }
  return *this;
}

void ProgrammerLink::take(ProgrammerLink& other) noexcept {
  deviceCount = other.deviceCount;
  handle = std::exchange(other.handle, FT_HANDLE{});
  isOpen = std::exchange(other.isOpen, false);
  transferred = other.transferred;
  rxQueue = other.rxQueue;
  txQueue = other.txQueue;
  eventStatus = other.eventStatus;
  buffer = std::move(other.buffer);
  versionText = std::move(other.versionText);
  refusalLine = std::move(other.refusalLine);
}

}  // namespace jig
