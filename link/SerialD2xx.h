#pragma once
// The device library over POSIX termios: the tty ports whose USB vendor is FTDI (0403),
// or the paths given on the command line (other adapters, virtual ports).
#include <filesystem>
#include <map>
#include <optional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/D2xx.h"
#include "link/D2xxPorts.h"

namespace jig {

class SerialD2xx : public D2xx {
 public:
  // Empty ports: enumerate FTDI ports through sysfs at each FT_CreateDeviceInfoList.
  explicit SerialD2xx(std::vector<std::string> ports = {}, std::string sysfsRoot = "/sys");
  ~SerialD2xx() override;

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
  // poll() on the port and on a pipe that the stop request writes to: woken by either.
  FT_STATUS WaitForRxOrStop(FT_HANDLE handle, DWORD count, DWORD timeoutMs, DWORD* available,
                            const std::stop_token& stop) override;
  FT_STATUS WaitForTxEmpty(FT_HANDLE handle, DWORD timeoutMs) override;
  std::optional<OpenRefusal> OpenRefused(int index) override;
  std::optional<LatencyReading> LatencyTimer(FT_HANDLE handle) override;
  std::string PortName(FT_HANDLE handle) override;

  // Every open takes an advisory lock on its port (a second program is refused at once).
  // Held, the lock stays from the first open until this object goes, across every close
  // and open again: a command keeps the port for its whole run.
  void holdPortLocks(bool hold) { holdLocks_ = hold; }

  // The other program that holds the advisory lock on the port at path, from the kernel's
  // list of locks (nullopt: none, or this process).
  static std::optional<long> LockHolder(const std::string& path);

  // The FTDI tty ports under sysfsRoot, as device paths, in a stable order.
  static std::vector<std::string> FindFtdiPorts(const std::string& sysfsRoot);
  const std::vector<std::string>& devices() const { return devices_; }

  struct Port;

 private:
  std::shared_ptr<Port> find(FT_HANDLE handle) { return ports_.find(handle); }
  std::filesystem::path latencyFile(const std::string& port) const;

  std::vector<std::string> fixedPorts_;
  std::string sysfsRoot_;
  std::vector<std::string> devices_;
  PortTable<Port> ports_;  // and why an index was refused, since the last device list
  std::mutex mutex_;       // heldLocks_
  bool holdLocks_ = false;
  std::map<std::string, int> heldLocks_;  // path -> a descriptor that keeps the port's lock
};

}  // namespace jig
