#pragma once
// Simulated programmers behind the device library interface, in-process.
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "link/D2xx.h"
#include "sim/ScaledClock.h"
#include "sim/SimProgrammer.h"

namespace jig::sim {

class SimD2xx : public D2xx {
 public:
  // timeScale: how many times faster than the host's clock the simulated time runs (the
  // programmers' wire time and work, and every time-out the host gives through D2xx).
  explicit SimD2xx(unsigned timeScale = 1) : clock_(timeScale) {}
  ~SimD2xx() override;

  // Plugs in one more programmer; the device list shows it at the next enumeration.
  SimProgrammer& attach(SimOptions options = {});
  SimProgrammer& programmer(std::size_t index) { return *programmers_.at(index); }
  std::size_t programmerCount() const { return programmers_.size(); }
  // Pulls the programmer out: every call on its handle fails from now on.
  void unplug(std::size_t index);
  // Handles still open (a test's check that every path closed what it opened).
  std::size_t openHandles() const;

  FT_STATUS FT_CreateDeviceInfoList(DWORD* count) override;
  FT_STATUS FT_Open(int index, FT_HANDLE* handle) override;
  FT_STATUS FT_ResetDevice(FT_HANDLE handle) override;
  FT_STATUS FT_SetBaudRate(FT_HANDLE handle, DWORD baud) override;
  FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits,
                                      UCHAR parity) override;
  FT_STATUS FT_SetTimeouts(FT_HANDLE handle, DWORD readMs, DWORD writeMs) override;
  FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR ms) override;
  FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, DWORD count, DWORD* written) override;
  FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD count, DWORD* got) override;
  FT_STATUS FT_GetStatus(FT_HANDLE handle, DWORD* rxQueue, DWORD* txQueue, DWORD* event) override;
  FT_STATUS FT_Purge(FT_HANDLE handle, DWORD mask) override;
  FT_STATUS FT_Close(FT_HANDLE handle) override;
  FT_STATUS WaitForRx(FT_HANDLE handle, DWORD count, DWORD timeoutMs, DWORD* available) override;
  // Woken by the stop request itself, as the sleeper is woken by the bytes it waits for.
  FT_STATUS WaitForRxOrStop(FT_HANDLE handle, DWORD count, DWORD timeoutMs, DWORD* available,
                            const std::stop_token& stop) override;
  FT_STATUS WaitForTxEmpty(FT_HANDLE handle, DWORD timeoutMs) override;
  bool simulated() const override { return true; }
  SimTime Now() const override { return clock_.now(); }
  // The simulated bridge's latency timer, as a port's driver tells it.
  std::optional<LatencyReading> LatencyTimer(FT_HANDLE handle) override;
  std::string PortName(FT_HANDLE handle) override;

 private:
  struct Handle {
    SimProgrammer* programmer;
    DWORD readTimeoutMs = 0;
    DWORD writeTimeoutMs = 0;
  };
  // The handle's entry, or null; the status says why (invalid or gone).
  Handle* find(FT_HANDLE handle, FT_STATUS& status);
  // Sleeps until count bytes are released, the deadline passes, the device goes or (given
  // a token) a stop is requested.
  FT_STATUS waitLocked(std::unique_lock<std::mutex>& lock, FT_HANDLE handle, DWORD count,
                       SimTime deadline, DWORD* available, const std::stop_token* stop = nullptr);

  // Sleeps until the simulated time at (or a notification).
  void sleepUntil(std::unique_lock<std::mutex>& lock, SimTime at);

  const ScaledClock clock_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::unique_ptr<SimProgrammer>> programmers_;
  std::vector<SimProgrammer*> listed_;  // what the last enumeration saw
  std::map<FT_HANDLE, Handle> handles_;
  FT_HANDLE nextHandle_ = 1;
};

}  // namespace jig::sim
