#pragma once
// A programmer that answers with whatever a script says: after each write from the host
// it queues the script's next answer (a length byte, then that many bytes; a length of
// 80h and above counts in 64-byte units so whole blocks fit). When the script runs out it
// falls silent, or is pulled out. Its silence lasts at most kSilenceCapMs per wait: the
// answers are under test, not the waits, and a run must stay short.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <vector>

#include "link/D2xx.h"

namespace jig::fuzz {

inline constexpr DWORD kSilenceCapMs = 2;

class HostileDevice : public D2xx {
 public:
  HostileDevice(std::span<const std::uint8_t> script, bool unplugAtEnd);

  std::size_t openHandles() const;

  FT_STATUS FT_CreateDeviceInfoList(DWORD* count) override;
  FT_STATUS FT_Open(int index, FT_HANDLE* handle) override;
  FT_STATUS FT_ResetDevice(FT_HANDLE handle) override;
  FT_STATUS FT_SetBaudRate(FT_HANDLE handle, DWORD baud) override;
  FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits, UCHAR parity) override;
  FT_STATUS FT_SetTimeouts(FT_HANDLE handle, DWORD readMs, DWORD writeMs) override;
  FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR ms) override;
  FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, DWORD count, DWORD* written) override;
  FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD count, DWORD* got) override;
  FT_STATUS FT_GetStatus(FT_HANDLE handle, DWORD* rxQueue, DWORD* txQueue, DWORD* event) override;
  FT_STATUS FT_Purge(FT_HANDLE handle, DWORD mask) override;
  FT_STATUS FT_Close(FT_HANDLE handle) override;
  FT_STATUS WaitForRx(FT_HANDLE handle, DWORD count, DWORD timeoutMs, DWORD* available) override;
  FT_STATUS WaitForTxEmpty(FT_HANDLE handle, DWORD timeoutMs) override;

 private:
  // Status of a call on handle: FT_OK, FT_INVALID_HANDLE or FT_DEVICE_GONE.
  FT_STATUS checkLocked(FT_HANDLE handle) const;
  void answerLocked();
  void sleepLocked(std::unique_lock<std::mutex>& lock, DWORD ms);

  mutable std::mutex mutex_;
  std::condition_variable never_;
  std::vector<std::uint8_t> script_;
  std::size_t next_ = 0;
  bool unplugAtEnd_;
  bool gone_ = false;
  bool open_ = false;
  FT_HANDLE handle_ = 0;
  DWORD readTimeoutMs_ = 0;
  std::deque<std::uint8_t> rx_;
};

}  // namespace jig::fuzz
