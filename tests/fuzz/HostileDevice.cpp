#include "tests/fuzz/HostileDevice.h"

#include <algorithm>
#include <chrono>

namespace jig::fuzz {

HostileDevice::HostileDevice(std::span<const std::uint8_t> script, bool unplugAtEnd)
    : script_(script.begin(), script.end()), unplugAtEnd_(unplugAtEnd) {}

std::size_t HostileDevice::openHandles() const {
  std::lock_guard lock(mutex_);
  return open_ ? 1 : 0;
}

FT_STATUS HostileDevice::checkLocked(FT_HANDLE handle) const {
  if (!open_ || handle != handle_) return FT_INVALID_HANDLE;
  return gone_ ? FT_DEVICE_GONE : FT_OK;
}

void HostileDevice::answerLocked() {
  if (next_ >= script_.size()) {
    if (unplugAtEnd_) gone_ = true;
    return;
  }
  const std::uint8_t length = script_[next_++];
  const std::size_t count = length < 0x80 ? length : std::size_t(length - 0x7F) * 64;
  const std::size_t take = std::min(count, script_.size() - next_);
  rx_.insert(rx_.end(), script_.begin() + static_cast<std::ptrdiff_t>(next_),
             script_.begin() + static_cast<std::ptrdiff_t>(next_ + take));
  next_ += take;
}

void HostileDevice::sleepLocked(std::unique_lock<std::mutex>& lock, DWORD ms) {
  // Nothing else feeds the queue: a wait is a sleep that other calls may share.
  never_.wait_for(lock, std::chrono::milliseconds(std::min(ms, kSilenceCapMs)));
}

FT_STATUS HostileDevice::FT_CreateDeviceInfoList(DWORD* count) {
  std::lock_guard lock(mutex_);
  *count = gone_ ? 0 : 1;
  return FT_OK;
}

FT_STATUS HostileDevice::FT_Open(int index, FT_HANDLE* handle) {
  std::lock_guard lock(mutex_);
  if (index != 0 || gone_) return FT_DEVICE_NOT_FOUND;
  if (open_) return FT_DEVICE_NOT_OPENED;
  open_ = true;
  handle_ += 1;
  *handle = handle_;
  return FT_OK;
}

FT_STATUS HostileDevice::FT_ResetDevice(FT_HANDLE handle) {
  std::lock_guard lock(mutex_);
  return checkLocked(handle);
}

FT_STATUS HostileDevice::FT_SetBaudRate(FT_HANDLE handle, DWORD) {
  std::lock_guard lock(mutex_);
  return checkLocked(handle);
}

FT_STATUS HostileDevice::FT_SetDataCharacteristics(FT_HANDLE handle, UCHAR, UCHAR, UCHAR) {
  std::lock_guard lock(mutex_);
  return checkLocked(handle);
}

FT_STATUS HostileDevice::FT_SetTimeouts(FT_HANDLE handle, DWORD readMs, DWORD) {
  std::lock_guard lock(mutex_);
  readTimeoutMs_ = readMs == 0 ? kSilenceCapMs : readMs;
  return checkLocked(handle);
}

FT_STATUS HostileDevice::FT_SetLatencyTimer(FT_HANDLE handle, UCHAR) {
  std::lock_guard lock(mutex_);
  return checkLocked(handle);
}

FT_STATUS HostileDevice::FT_Write(FT_HANDLE handle, const void*, DWORD count, DWORD* written) {
  std::lock_guard lock(mutex_);
  *written = 0;
  if (const FT_STATUS status = checkLocked(handle); status != FT_OK) return status;
  *written = count;
  if (count > 0) answerLocked();
  return FT_OK;
}

FT_STATUS HostileDevice::FT_Read(FT_HANDLE handle, void* buffer, DWORD count, DWORD* got) {
  std::unique_lock lock(mutex_);
  *got = 0;
  if (const FT_STATUS status = checkLocked(handle); status != FT_OK) return status;
  if (rx_.size() < count) sleepLocked(lock, readTimeoutMs_);
  if (const FT_STATUS status = checkLocked(handle); status != FT_OK) return status;
  const std::size_t take = std::min<std::size_t>(count, rx_.size());
  std::copy_n(rx_.begin(), take, static_cast<std::uint8_t*>(buffer));
  rx_.erase(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(take));
  *got = static_cast<DWORD>(take);
  return FT_OK;
}

FT_STATUS HostileDevice::FT_GetStatus(FT_HANDLE handle, DWORD* rxQueue, DWORD* txQueue, DWORD* event) {
  std::lock_guard lock(mutex_);
  *rxQueue = static_cast<DWORD>(rx_.size());
  *txQueue = 0;
  if (event) *event = 0;
  return checkLocked(handle);
}

FT_STATUS HostileDevice::FT_Purge(FT_HANDLE handle, DWORD mask) {
  std::lock_guard lock(mutex_);
  if (mask & FT_PURGE_RX) rx_.clear();
  return checkLocked(handle);
}

FT_STATUS HostileDevice::FT_Close(FT_HANDLE handle) {
  std::lock_guard lock(mutex_);
  if (!open_ || handle != handle_) return FT_INVALID_HANDLE;
  open_ = false;
  rx_.clear();
  return FT_OK;
}

FT_STATUS HostileDevice::WaitForRx(FT_HANDLE handle, DWORD count, DWORD timeoutMs, DWORD* available) {
  std::unique_lock lock(mutex_);
  *available = 0;
  if (const FT_STATUS status = checkLocked(handle); status != FT_OK) return status;
  if (rx_.size() < count) sleepLocked(lock, timeoutMs);
  if (const FT_STATUS status = checkLocked(handle); status != FT_OK) return status;
  *available = static_cast<DWORD>(rx_.size());
  return rx_.size() >= count ? FT_OK : FT_WAIT_TIMEOUT;
}

FT_STATUS HostileDevice::WaitForTxEmpty(FT_HANDLE handle, DWORD) {
  std::lock_guard lock(mutex_);
  return checkLocked(handle);
}

}  // namespace jig::fuzz
