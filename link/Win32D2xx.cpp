#include "link/Win32D2xx.h"

#include <windows.h>
#include <setupapi.h>

#include <algorithm>
#include <chrono>
#include <cwctype>
#include <deque>
#include <thread>

#include "link/MsLeft.h"
#include "link/Bounds.h"

namespace jig {

using Clock = std::chrono::steady_clock;

struct Win32D2xx::Port {
  HANDLE handle = INVALID_HANDLE_VALUE;
  HANDLE event = nullptr;      // signals the end of this port's overlapped read or write
  HANDLE waitEvent = nullptr;  // signals a byte come (WaitCommEvent)
  std::string name;        // "COM5"
  DCB dcb{};
  DWORD readTimeoutMs = 0;
  DWORD writeTimeoutMs = 0;
  bool gone = false;
  // Bytes taken from the driver but not yet read by the caller: a wait for n bytes sleeps
  // in one read instead of waking on every byte.
  std::deque<std::uint8_t> pending;
};

namespace {

// The Ports (COM & LPT) device class.
constexpr GUID kPortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';  // port names are ASCII
  return out;
}

std::wstring WideAscii(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// "COM12" -> 12; anything else sorts last.
unsigned long ComNumber(const std::string& name) {
  if (name.size() > 3 && _strnicmp(name.c_str(), "COM", 3) == 0) return std::strtoul(name.c_str() + 3, nullptr, 10);
  return ULONG_MAX;
}

std::optional<::DWORD> RegistryNumber(HKEY key, const wchar_t* value) {
  ::DWORD number = 0, size = sizeof number, type = 0;
  if (RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) != ERROR_SUCCESS ||
      type != REG_DWORD)
    return std::nullopt;
  return number;
}

std::wstring RegistryText(HKEY key, const wchar_t* value) {
  wchar_t text[256] = {};
  ::DWORD size = sizeof text - sizeof(wchar_t), type = 0;
  if (RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return {};
  return text;
}

bool IsFtdi(HDEVINFO set, SP_DEVINFO_DATA& device) {
  wchar_t ids[2048] = {};
  if (!SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_HARDWAREID, nullptr, reinterpret_cast<BYTE*>(ids),
                                         sizeof ids - 2 * sizeof(wchar_t), nullptr))
    return false;
  // A list of strings, each ended by a zero, the list by a second one.
  for (const wchar_t* id = ids; *id; id += wcslen(id) + 1) {
    std::wstring upper(id);
    for (auto& c : upper) c = static_cast<wchar_t>(std::towupper(c));
    if (upper.find(L"VID_0403") != std::wstring::npos) return true;
  }
  return false;
}

struct FoundPort {
  std::string name;
  std::optional<::DWORD> latencyMs;
};

// The present COM ports of FTDI adapters, in COM-number order, with the latency timer the
// VCP driver keeps in the port's advanced settings.
std::vector<FoundPort> FindFtdiPorts() {
  std::vector<FoundPort> found;
  HDEVINFO set = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return found;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (::DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
    if (!IsFtdi(set, device)) continue;
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    const std::string name = Narrow(RegistryText(key, L"PortName"));
    const std::optional<::DWORD> latency = RegistryNumber(key, L"LatencyTimer");
    RegCloseKey(key);
    if (ComNumber(name) != ULONG_MAX) found.push_back({name, latency});
  }
  SetupDiDestroyDeviceInfoList(set);
  std::sort(found.begin(), found.end(), [](const FoundPort& a, const FoundPort& b) { return ComNumber(a.name) < ComNumber(b.name); });
  return found;
}

// What a failed call on an open port means: the adapter went away (unplugged, its driver
// stopped), or nothing worse than our own cancel.
bool IsGone(DWORD error) { return error != ERROR_OPERATION_ABORTED && error != ERROR_IO_PENDING; }

// Waits for an overlapped call on the port to end, at most until the deadline; past it the
// call is cancelled. The count it moved, or nullopt when the port failed.
std::optional<DWORD> Finish(Win32D2xx::Port& port, OVERLAPPED& overlapped, Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  const DWORD waitMs = static_cast<DWORD>(std::clamp<long long>(left.count(), 0, limits::kUnlimitedReadCapMs));
  if (WaitForSingleObject(overlapped.hEvent, waitMs) != WAIT_OBJECT_0) CancelIoEx(port.handle, &overlapped);
  ::DWORD moved = 0;
  if (!GetOverlappedResult(port.handle, &overlapped, &moved, TRUE) && IsGone(GetLastError())) return std::nullopt;
  return moved;
}

std::optional<COMSTAT> QueueCounts(Win32D2xx::Port& port) {
  ::DWORD errors = 0;
  COMSTAT status{};
  if (!ClearCommError(port.handle, &errors, &status)) return std::nullopt;
  return status;
}

// Moves what the driver holds into pending; a read never waits for bytes that are not there.
// False when the port failed.
bool Drain(Win32D2xx::Port& port) {
  if (port.gone) return false;
  for (;;) {
    const std::optional<COMSTAT> status = QueueCounts(port);
    if (!status) break;
    if (status->cbInQue == 0) return true;
    std::uint8_t chunk[4096];
    OVERLAPPED overlapped{};
    overlapped.hEvent = port.event;
    ResetEvent(port.event);
    ::DWORD got = 0;
    const ::DWORD want = std::min<::DWORD>(status->cbInQue, sizeof chunk);
    if (!ReadFile(port.handle, chunk, want, &got, &overlapped)) {
      if (GetLastError() != ERROR_IO_PENDING) break;
      // The bytes are there already; the bound only catches a driver that holds them back.
      const auto result = Finish(port, overlapped, Clock::now() + std::chrono::milliseconds(limits::kAnswerTimeoutMs));
      if (!result) break;
      got = *result;
    }
    port.pending.insert(port.pending.end(), chunk, chunk + got);
  }
  port.gone = true;
  return false;
}

// Sleeps until a byte comes or waitMs pass (WaitCommEvent). False when the port failed.
bool SleepForInput(Win32D2xx::Port& port, ::DWORD waitMs) {
  OVERLAPPED overlapped{};
  overlapped.hEvent = port.waitEvent;
  ResetEvent(port.waitEvent);
  ::DWORD events = 0;
  if (WaitCommEvent(port.handle, &events, &overlapped)) return true;
  if (GetLastError() != ERROR_IO_PENDING) {
    port.gone = true;
    return false;
  }
  // A byte that came just before the wait began must not be slept through.
  const std::optional<COMSTAT> status = QueueCounts(port);
  if (status && status->cbInQue == 0) WaitForSingleObject(port.waitEvent, waitMs);
  if (WaitForSingleObject(port.waitEvent, 0) != WAIT_OBJECT_0) CancelIoEx(port.handle, &overlapped);
  ::DWORD ignored = 0;
  if ((!GetOverlappedResult(port.handle, &overlapped, &ignored, TRUE) && IsGone(GetLastError())) || !status) {
    port.gone = true;
    return false;
  }
  return true;
}

// Fills pending up to count bytes or until the deadline. False when the port failed.
bool PullUntil(Win32D2xx::Port& port, std::size_t count, Clock::time_point deadline) {
  for (;;) {
    if (!Drain(port)) return false;
    if (port.pending.size() >= count) return true;
    const DWORD left = MsLeft(deadline);
    if (left == 0) return true;
    if (!SleepForInput(port, left)) return false;
  }
}

}  // namespace

Win32D2xx::Win32D2xx(std::vector<std::string> ports) : fixedPorts_(std::move(ports)) {}

Win32D2xx::~Win32D2xx() {
  for (const auto& port : ports_.removeAll()) {
    CloseHandle(port->handle);
    CloseHandle(port->event);
    CloseHandle(port->waitEvent);
  }
}

std::string Win32D2xx::DevicePath(const std::string& port) {
  if (port.rfind("\\\\.\\", 0) == 0) return port;
  return "\\\\.\\" + port;
}

FT_STATUS Win32D2xx::FT_CreateDeviceInfoList(DWORD* count) {
  const std::vector<FoundPort> ftdi = FindFtdiPorts();
  std::lock_guard lock(mutex_);
  latencies_.clear();
  for (const auto& port : ftdi)
    if (port.latencyMs) latencies_[port.name] = static_cast<int>(*port.latencyMs);
  devices_.clear();
  if (fixedPorts_.empty()) {
    for (const auto& port : ftdi) devices_.push_back(port.name);
  } else {
    for (const auto& port : fixedPorts_) devices_.push_back(port.rfind("\\\\.\\", 0) == 0 ? port.substr(4) : port);
  }
  ports_.forgetRefusals();
  *count = static_cast<DWORD>(devices_.size());
  return FT_OK;
}

FT_STATUS Win32D2xx::FT_Open(int index, FT_HANDLE* handle) {
  std::string name;
  {
    std::lock_guard lock(mutex_);
    if (index < 0 || static_cast<std::size_t>(index) >= devices_.size()) return FT_DEVICE_NOT_FOUND;
    name = devices_[static_cast<std::size_t>(index)];
  }
  ports_.forgetRefusal(index);
  // No sharing: a COM port has one owner; a second program gets "access denied" at once.
  HANDLE file = CreateFileW(WideAscii(DevicePath(name)).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED) ports_.refuse(index, OpenRefusal{OpenRefusal::Why::InUse, name, std::nullopt});
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME)
      ports_.refuse(index, OpenRefusal{OpenRefusal::Why::NoSuchPort, name, std::nullopt});
    return FT_DEVICE_NOT_OPENED;
  }
  auto port = std::make_shared<Port>();
  port->handle = file;
  port->name = name;
  port->event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  port->waitEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  port->dcb.DCBlength = sizeof port->dcb;
  // Reads take only what waits (they never block); the waits are WaitCommEvent's, and
  // writes are bounded by the wait in Finish, not by the driver.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  const bool events = port->event && port->waitEvent;
  const bool serial = events && GetCommState(file, &port->dcb);
  if (!serial || !SetCommTimeouts(file, &timeouts) || !SetCommMask(file, EV_RXCHAR)) {
    if (port->event) CloseHandle(port->event);
    if (port->waitEvent) CloseHandle(port->waitEvent);
    CloseHandle(file);
    // A file or device that has no line settings is no COM port.
    if (events && !serial) ports_.refuse(index, OpenRefusal{OpenRefusal::Why::NotSerial, name, std::nullopt});
    return FT_DEVICE_NOT_OPENED;
  }
  // Raw bytes both ways: no flow control, no character replaced or dropped.
  DCB& dcb = port->dcb;
  dcb.fBinary = TRUE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fAbortOnError = FALSE;
  SetCommState(file, &dcb);
  *handle = ports_.add(std::move(port));
  return FT_OK;
}

FT_STATUS Win32D2xx::FT_ResetDevice(FT_HANDLE handle) {
  // The bridge's own reset is the FTDI library's; the line settings that follow do the rest.
  return find(handle) ? FT_OK : FT_INVALID_HANDLE;
}

FT_STATUS Win32D2xx::FT_SetBaudRate(FT_HANDLE handle, DWORD baud) {
  auto port = find(handle);
  if (!port) return FT_INVALID_HANDLE;
  if (baud == 0) return FT_INVALID_BAUD_RATE;
  DCB dcb = port->dcb;
  dcb.BaudRate = baud;
  if (!SetCommState(port->handle, &dcb)) return port->gone ? FT_DEVICE_GONE : FT_INVALID_BAUD_RATE;
  port->dcb = dcb;
  return FT_OK;
}

FT_STATUS Win32D2xx::FT_SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits, UCHAR parity) {
  auto port = find(handle);
  if (!port) return FT_INVALID_HANDLE;
  DCB dcb = port->dcb;
  dcb.ByteSize = wordLength == 7 ? 7 : 8;
  dcb.StopBits = stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
  dcb.Parity = parity == 1 ? ODDPARITY : parity == 2 ? EVENPARITY : NOPARITY;
  dcb.fParity = parity != 0;
  if (!SetCommState(port->handle, &dcb)) return FT_IO_ERROR;
  port->dcb = dcb;
  return FT_OK;
}

FT_STATUS Win32D2xx::FT_SetTimeouts(FT_HANDLE handle, DWORD readMs, DWORD writeMs) {
  auto port = find(handle);
  if (!port) return FT_INVALID_HANDLE;
  port->readTimeoutMs = readMs;
  port->writeTimeoutMs = writeMs;
  return FT_OK;
}

FT_STATUS Win32D2xx::FT_SetLatencyTimer(FT_HANDLE handle, UCHAR) {
  // The VCP driver takes its latency timer only from the port's advanced settings in the
  // Device Manager; LatencyTimer reads it so the preflight line can tell the technician.
  return find(handle) ? FT_OK : FT_INVALID_HANDLE;
}

std::optional<OpenRefusal> Win32D2xx::OpenRefused(int index) { return ports_.refusal(index); }

std::string Win32D2xx::PortName(FT_HANDLE handle) {
  auto port = find(handle);
  return port ? port->name : std::string();
}

std::optional<LatencyReading> Win32D2xx::LatencyTimer(FT_HANDLE handle) {
  auto port = find(handle);
  if (!port) return std::nullopt;
  std::lock_guard lock(mutex_);
  const auto it = latencies_.find(port->name);
  if (it == latencies_.end()) return std::nullopt;
  return LatencyReading{port->name, it->second};
}

FT_STATUS Win32D2xx::FT_Write(FT_HANDLE handle, const void* buffer, DWORD count, DWORD* written) {
  *written = 0;
  auto port = find(handle);
  if (!port) return FT_INVALID_HANDLE;
  if (port->gone) return FT_DEVICE_GONE;
  OVERLAPPED overlapped{};
  overlapped.hEvent = port->event;
  ResetEvent(port->event);
  ::DWORD done = 0;
  if (!WriteFile(port->handle, buffer, count, &done, &overlapped)) {
    if (GetLastError() != ERROR_IO_PENDING) {
      port->gone = true;
      return FT_DEVICE_GONE;
    }
    const auto result = Finish(*port, overlapped, TransferDeadline(port->writeTimeoutMs));
    if (!result) {
      port->gone = true;
      return FT_DEVICE_GONE;
    }
    done = *result;
  }
  *written = done;
  return FT_OK;
}

FT_STATUS Win32D2xx::FT_Read(FT_HANDLE handle, void* buffer, DWORD count, DWORD* got) {
  *got = 0;
  auto port = find(handle);
  if (!port) return FT_INVALID_HANDLE;
  const bool alive = PullUntil(*port, count, TransferDeadline(port->readTimeoutMs));
  *got = TakePending(port->pending, buffer, count);
  return !alive && *got < count ? FT_DEVICE_GONE : FT_OK;
}

FT_STATUS Win32D2xx::FT_GetStatus(FT_HANDLE handle, DWORD* rxQueue, DWORD* txQueue, DWORD* event) {
  auto port = find(handle);
  if (!port) return FT_INVALID_HANDLE;
  const std::optional<COMSTAT> status = Drain(*port) ? QueueCounts(*port) : std::nullopt;
  if (!status) {
    port->gone = true;
    return FT_DEVICE_GONE;
  }
  *rxQueue = static_cast<DWORD>(port->pending.size()) + status->cbInQue;
  *txQueue = status->cbOutQue;
  *event = 0;
  return FT_OK;
}

FT_STATUS Win32D2xx::FT_Purge(FT_HANDLE handle, DWORD mask) {
  auto port = find(handle);
  if (!port) return FT_INVALID_HANDLE;
  DWORD flags = 0;
  if (mask & FT_PURGE_RX) flags |= PURGE_RXABORT | PURGE_RXCLEAR;
  if (mask & FT_PURGE_TX) flags |= PURGE_TXABORT | PURGE_TXCLEAR;
  if (flags) PurgeComm(port->handle, flags);
  if (mask & FT_PURGE_RX) port->pending.clear();
  return FT_OK;
}

FT_STATUS Win32D2xx::FT_Close(FT_HANDLE handle) {
  const std::shared_ptr<Port> port = ports_.remove(handle);
  if (!port) return FT_INVALID_HANDLE;
  CloseHandle(port->handle);
  CloseHandle(port->event);
  CloseHandle(port->waitEvent);
  port->handle = INVALID_HANDLE_VALUE;
  port->event = nullptr;
  port->waitEvent = nullptr;
  return FT_OK;
}

FT_STATUS Win32D2xx::WaitForRx(FT_HANDLE handle, DWORD count, DWORD timeoutMs, DWORD* available) {
  *available = 0;
  auto port = find(handle);
  if (!port) return FT_INVALID_HANDLE;
  const bool alive = PullUntil(*port, count, Clock::now() + std::chrono::milliseconds(timeoutMs));
  *available = static_cast<DWORD>(port->pending.size());
  if (*available >= count) return FT_OK;
  return alive ? FT_WAIT_TIMEOUT : FT_DEVICE_GONE;
}

FT_STATUS Win32D2xx::WaitForTxEmpty(FT_HANDLE handle, DWORD timeoutMs) {
  auto port = find(handle);
  if (!port) return FT_INVALID_HANDLE;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const std::optional<COMSTAT> status = QueueCounts(*port);
    if (!status) {
      port->gone = true;
      return FT_DEVICE_GONE;
    }
    if (status->cbOutQue == 0) return FT_OK;
    if (Clock::now() >= deadline) return FT_WAIT_TIMEOUT;
    // The writes end when the driver has taken their bytes; what is left drains at line
    // speed, a few milliseconds: sleep a little between looks.
    std::this_thread::sleep_for(std::chrono::milliseconds(limits::kQueuePollSleepMs));
  }
}

}  // namespace jig
