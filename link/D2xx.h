#pragma once
// The device library surface the tool relies on: one method per library call, named as
// the library names it, status 0 = FT_OK. Backends: SerialD2xx (termios), Win32D2xx (COM
// ports) and SimD2xx.
#include <chrono>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>

namespace jig {

using FT_STATUS = std::uint32_t;
using FT_HANDLE = std::uint32_t;
using DWORD = std::uint32_t;
using UCHAR = std::uint8_t;

enum : FT_STATUS {
  FT_OK = 0,
  FT_INVALID_HANDLE = 1,
  FT_DEVICE_NOT_FOUND = 2,
  FT_DEVICE_NOT_OPENED = 3,
  FT_IO_ERROR = 4,
  FT_INSUFFICIENT_RESOURCES = 5,
  FT_INVALID_PARAMETER = 6,
  FT_INVALID_BAUD_RATE = 7,
  FT_OTHER_ERROR = 18,
  // Not a library code: WaitForRx or WaitForTxEmpty ran out of time.
  FT_WAIT_TIMEOUT = 0x100,
  // Not a library code: the device went away (unplugged, port hung up).
  FT_DEVICE_GONE = 0x101,
  // Not a library code: a stop request ended WaitForRxOrStop before its time.
  FT_WAIT_STOPPED = 0x102,
};

inline constexpr DWORD FT_PURGE_RX = 1;
inline constexpr DWORD FT_PURGE_TX = 2;
inline constexpr UCHAR FT_BITS_8 = 8;
inline constexpr UCHAR FT_STOP_BITS_1 = 0;
inline constexpr UCHAR FT_PARITY_NONE = 0;

// Why a port could not be opened: the open says so instead of "not found", and a path that
// names no serial port is never taken for a programmer that needs its reset button.
struct OpenRefusal {
  enum class Why { Permission, InUse, NoSuchPort, NotSerial };
  Why why = Why::Permission;
  std::string port;         // the device path, e.g. /dev/ttyUSB0
  std::optional<long> pid;  // the program holding a port in use, when it can be found
};

// What a port's latency timer holds now.
struct LatencyReading {
  std::string port;  // the device path, e.g. /dev/ttyUSB0
  int ms = 0;
};

class D2xx {
 public:
  virtual ~D2xx() = default;

  virtual FT_STATUS FT_CreateDeviceInfoList(DWORD* count) = 0;
  virtual FT_STATUS FT_Open(int index, FT_HANDLE* handle) = 0;
  virtual FT_STATUS FT_ResetDevice(FT_HANDLE handle) = 0;
  virtual FT_STATUS FT_SetBaudRate(FT_HANDLE handle, DWORD baud) = 0;
  virtual FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits,
                                              UCHAR parity) = 0;
  // Read and write time-outs in ms; 0 means no limit (capped at limits::kUnlimitedReadCapMs).
  virtual FT_STATUS FT_SetTimeouts(FT_HANDLE handle, DWORD readMs, DWORD writeMs) = 0;
  virtual FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR ms) = 0;
  virtual FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, DWORD count, DWORD* written) = 0;
  // Returns when count bytes have come or the read time-out has passed.
  virtual FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD count, DWORD* got) = 0;
  virtual FT_STATUS FT_GetStatus(FT_HANDLE handle, DWORD* rxQueue, DWORD* txQueue, DWORD* event) = 0;
  virtual FT_STATUS FT_Purge(FT_HANDLE handle, DWORD mask) = 0;
  virtual FT_STATUS FT_Close(FT_HANDLE handle) = 0;

  // Sleeps until at least count bytes wait in the receive queue (FT_OK), the time passes
  // (FT_WAIT_TIMEOUT) or the device goes (FT_DEVICE_GONE). available gets the queue count.
  virtual FT_STATUS WaitForRx(FT_HANDLE handle, DWORD count, DWORD timeoutMs, DWORD* available) = 0;
  // WaitForRx that a stop request also ends (FT_WAIT_STOPPED), at once where the backend
  // can be woken; one that cannot looks at the stop every limits::kStopLookMs.
  virtual FT_STATUS WaitForRxOrStop(FT_HANDLE handle, DWORD count, DWORD timeoutMs, DWORD* available,
                                    const std::stop_token& stop);
  // Sleeps until the transmit queue is empty or the time passes.
  virtual FT_STATUS WaitForTxEmpty(FT_HANDLE handle, DWORD timeoutMs) = 0;
  // Not a library call: the clock the time-outs above count on. A bound that spans several
  // waits keeps its deadline on it, so that the bound and the waits inside it agree.
  virtual std::chrono::steady_clock::time_point Now() const { return std::chrono::steady_clock::now(); }
  // Not a library call: true for the simulated programmers, whose stand-in firmware images
  // must never be sent to real hardware.
  virtual bool simulated() const { return false; }

  // Not library calls: what the open needs to tell the technician what to fix. A backend
  // that cannot tell answers nullopt.
  // Why the last FT_Open of index failed, when it was refused (rights, another program).
  virtual std::optional<OpenRefusal> OpenRefused(int /*index*/) { return std::nullopt; }
  // The latency timer the open port keeps now.
  virtual std::optional<LatencyReading> LatencyTimer(FT_HANDLE /*handle*/) { return std::nullopt; }
  // Not a library call: the open port's name as the system gives it (/dev/ttyUSB0, COM5),
  // for the job journal; empty when the backend cannot tell.
  virtual std::string PortName(FT_HANDLE /*handle*/) { return {}; }
};

}  // namespace jig
