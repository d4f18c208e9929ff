#pragma once
// The device library over the Windows serial API: the COM ports whose hardware ID carries
// FTDI's vendor ID (VID_0403), found through SetupAPI in COM-number order, or the ports
// given on the command line ("COM5" or "\\.\COM5").
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/D2xx.h"
#include "link/D2xxPorts.h"

namespace jig {

class Win32D2xx : public D2xx {
 public:
  explicit Win32D2xx(std::vector<std::string> ports = {});
  ~Win32D2xx() override;

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
  FT_STATUS WaitForTxEmpty(FT_HANDLE handle, DWORD timeoutMs) override;
  std::optional<OpenRefusal> OpenRefused(int index) override;
  std::optional<LatencyReading> LatencyTimer(FT_HANDLE handle) override;
  std::string PortName(FT_HANDLE handle) override;

  // "COM5" and "\\.\COM5" name the same port; the device path CreateFile takes.
  static std::string DevicePath(const std::string& port);

  struct Port;

 private:
  std::shared_ptr<Port> find(FT_HANDLE handle) { return ports_.find(handle); }

  std::vector<std::string> fixedPorts_;
  std::vector<std::string> devices_;      // "COM5", ...
  std::map<std::string, int> latencies_;  // FTDI ports' latency timers from the driver's settings
  std::mutex mutex_;  // devices_ and latencies_
  PortTable<Port> ports_;  // and why an index was refused, since the last device list
};

}  // namespace jig
