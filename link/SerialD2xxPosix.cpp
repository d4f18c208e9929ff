#include "link/SerialD2xx.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <filesystem>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "link/MsLeft.h"
#include "link/Bounds.h"

namespace jig {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct SerialD2xx::Port {
  int fd = -1;
  std::string path;
  DWORD readTimeoutMs = 0;
  DWORD writeTimeoutMs = 0;
  bool gone = false;
  // Bytes taken from the descriptor but not yet read by the caller: lets a wait for n
  // bytes sleep in poll() instead of waking on every byte.
  std::deque<std::uint8_t> pending;
};

namespace {

speed_t SpeedFor(DWORD baud) {
  switch (baud) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return 0;
  }
}

// Moves whatever the descriptor holds into pending. False when the port hung up.
bool Pull(SerialD2xx::Port& port) {
  std::uint8_t chunk[4096];
  for (;;) {
    const ssize_t n = ::read(port.fd, chunk, sizeof chunk);
    if (n > 0) {
      port.pending.insert(port.pending.end(), chunk, chunk + n);
      continue;
    }
    if (n == 0) {
      // A tty read returns 0 only when nothing waits; poll() tells whether it hung up.
      pollfd p{port.fd, POLLIN, 0};
      if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) port.gone = true;
      return !port.gone;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
    port.gone = true;  // EIO: the adapter was unplugged or the far end of a pty closed
    return false;
  }
}

// Sleeps until the descriptor is readable, the deadline passes or (wakeFd not -1) wakeFd is
// readable. False when it hung up.
bool SleepForInput(SerialD2xx::Port& port, Clock::time_point deadline, int wakeFd = -1) {
  const auto now = Clock::now();
  if (deadline <= now) return true;
  // Rounded up: a wait of less than a millisecond sleeps too, it does not spin.
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
  pollfd fds[2] = {{port.fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
  const pollfd& p = fds[0];
  const int r = ::poll(fds, wakeFd < 0 ? 1 : 2, static_cast<int>(std::min<long long>(left.count(), 1 << 30)));
  if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(p.revents & POLLIN)) {
    port.gone = true;
    return false;
  }
  return true;
}

// Sleeps until count bytes wait, the deadline passes, the port hangs up or (given a stop and
// the pipe its request writes to) a stop is requested.
FT_STATUS WaitForInput(SerialD2xx::Port& port, DWORD count, Clock::time_point deadline, DWORD* available,
                       const std::stop_token* stop = nullptr, int wakeFd = -1) {
  for (;;) {
    const bool alive = Pull(port);
    *available = static_cast<DWORD>(port.pending.size());
    if (*available >= count) return FT_OK;
    if (!alive) return FT_DEVICE_GONE;
    if (stop && stop->stop_requested()) return FT_WAIT_STOPPED;
    if (Clock::now() >= deadline) return FT_WAIT_TIMEOUT;
    if (!SleepForInput(port, deadline, wakeFd)) return FT_DEVICE_GONE;
  }
}

}  // namespace

// The program that holds a port's advisory lock, from the kernel's list of locks.
std::optional<long> SerialD2xx::LockHolder(const std::string& path) {
  struct stat node {};
  if (::stat(path.c_str(), &node) != 0) return std::nullopt;
  std::ifstream locks("/proc/locks");
  std::string line;
  while (std::getline(locks, line)) {
    // "1: FLOCK  ADVISORY  WRITE 1234 00:05:567 0 EOF"; waiters carry "->" and are skipped.
    std::istringstream fields(line);
    std::string number, kind, mode, access, device;
    long pid = 0;
    if (!(fields >> number >> kind >> mode >> access >> pid >> device) || kind == "->") continue;
    unsigned major = 0, minor = 0;
    unsigned long long inode = 0;
    if (std::sscanf(device.c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3) continue;
    if (major == ::major(node.st_dev) && minor == ::minor(node.st_dev) && inode == node.st_ino && pid != ::getpid())
      return pid;
  }
  return std::nullopt;
}

SerialD2xx::SerialD2xx(std::vector<std::string> ports, std::string sysfsRoot)
    : fixedPorts_(std::move(ports)), sysfsRoot_(std::move(sysfsRoot)) {}

SerialD2xx::~SerialD2xx() {
  for (const auto& port : ports_.removeAll())
    if (port->fd >= 0) {
      ioctl(port->fd, TIOCNXCL);
      ::close(port->fd);
    }
  std::lock_guard lock(mutex_);
  for (auto& [path, fd] : heldLocks_) ::close(fd);
}

FT_STATUS SerialD2xx::FT_CreateDeviceInfoList(DWORD* count) {
  devices_ = fixedPorts_.empty() ? FindFtdiPorts(sysfsRoot_) : fixedPorts_;
  ports_.forgetRefusals();
  *count = static_cast<DWORD>(devices_.size());
  return FT_OK;
}

FT_STATUS SerialD2xx::FT_Open(int index, FT_HANDLE* handle) {
  if (index < 0 || static_cast<std::size_t>(index) >= devices_.size()) return FT_DEVICE_NOT_FOUND;
  const std::string& path = devices_[static_cast<std::size_t>(index)];
  auto refuse = [&](OpenRefusal::Why why) {
    ports_.refuse(index, OpenRefusal{why, path, why == OpenRefusal::Why::InUse ? LockHolder(path) : std::nullopt});
    return FT_DEVICE_NOT_OPENED;
  };
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    if (error == EACCES || error == EPERM) return refuse(OpenRefusal::Why::Permission);
    if (error == EBUSY) return refuse(OpenRefusal::Why::InUse);  // another holder set TIOCEXCL
    if (error == ENOENT || error == ENOTDIR || error == ENXIO || error == ENODEV) return refuse(OpenRefusal::Why::NoSuchPort);
    if (error == EISDIR) return refuse(OpenRefusal::Why::NotSerial);
    ports_.forgetRefusal(index);
    return FT_DEVICE_NOT_OPENED;
  }
  // A regular file, /dev/null or a FIFO opens too; only a terminal has line settings. Told
  // before the lock is taken, so that nothing is held for a path that is no port.
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) {
    ::close(fd);
    return refuse(OpenRefusal::Why::NotSerial);
  }
  ports_.forgetRefusal(index);
  bool held = false;
  {
    std::lock_guard lock(mutex_);
    held = heldLocks_.count(path) != 0;
  }
  // The lock is what keeps two programs apart, root's included (TIOCEXCL does not stop
  // root); a lock this object already holds for the port covers the new descriptor.
  if (!held) {
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
      ::close(fd);
      return refuse(OpenRefusal::Why::InUse);
    }
    if (holdLocks_) {
      const int keeper = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
      std::lock_guard lock(mutex_);
      if (keeper >= 0) heldLocks_[path] = keeper;
    }
  }
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  tcsetattr(fd, TCSANOW, &tio);
  ioctl(fd, TIOCEXCL);  // one owner at a time; not fatal where the driver lacks it
  auto port = std::make_shared<Port>();
  port->fd = fd;
  port->path = path;
  *handle = ports_.add(std::move(port));
  return FT_OK;
}

FT_STATUS SerialD2xx::FT_ResetDevice(FT_HANDLE handle) {
  // The bridge's own reset has no termios counterpart; the line settings that follow do
  // the rest. Nothing here may disturb a pseudo-terminal.
  return find(handle) ? FT_OK : FT_INVALID_HANDLE;
}

FT_STATUS SerialD2xx::FT_SetBaudRate(FT_HANDLE handle, DWORD baud) {
  auto port = find(handle);
  if (!port) return FT_INVALID_HANDLE;
  const speed_t speed = SpeedFor(baud);
  if (speed == 0) return FT_INVALID_BAUD_RATE;
  termios tio{};
  if (tcgetattr(port->fd, &tio) != 0) return FT_IO_ERROR;
  cfsetispeed(&tio, speed);
  cfsetospeed(&tio, speed);
  return tcsetattr(port->fd, TCSANOW, &tio) == 0 ? FT_OK : FT_IO_ERROR;
}

FT_STATUS SerialD2xx::FT_SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits,
                                                UCHAR parity) {
  auto port = find(handle);
  if (!port) return FT_INVALID_HANDLE;
  termios tio{};
  if (tcgetattr(port->fd, &tio) != 0) return FT_IO_ERROR;
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | PARODD);
  tio.c_cflag |= wordLength == 7 ? CS7 : CS8;
  if (stopBits == 2) tio.c_cflag |= CSTOPB;
  if (parity == 1) tio.c_cflag |= PARENB | PARODD;
  if (parity == 2) tio.c_cflag |= PARENB;
  return tcsetattr(port->fd, TCSANOW, &tio) == 0 ? FT_OK : FT_IO_ERROR;
}

FT_STATUS SerialD2xx::FT_SetTimeouts(FT_HANDLE handle, DWORD readMs, DWORD writeMs) {
  auto port = find(handle);
  if (!port) return FT_INVALID_HANDLE;
  port->readTimeoutMs = readMs;
  port->writeTimeoutMs = writeMs;
  return FT_OK;
}

FT_STATUS SerialD2xx::FT_SetLatencyTimer(FT_HANDLE handle, UCHAR ms) {
  auto port = find(handle);
  if (!port) return FT_INVALID_HANDLE;
  // The FTDI driver offers the timer in sysfs; writing it needs the udev rule's rights.
  const fs::path file = latencyFile(port->path);
  {
    std::ofstream out(file);
    if (out && (out << static_cast<int>(ms) << '\n') && out.flush()) return FT_OK;
  }
  // Else ask the driver for low latency; a pty has neither, and the link works without.
  serial_struct serial{};
  if (ioctl(port->fd, TIOCGSERIAL, &serial) == 0) {
    serial.flags |= ASYNC_LOW_LATENCY;
    ioctl(port->fd, TIOCSSERIAL, &serial);
  }
  return FT_OK;
}

fs::path SerialD2xx::latencyFile(const std::string& port) const {
  const std::string name = fs::path(port).filename().string();
  return fs::path(sysfsRoot_) / "class" / "tty" / name / "device" / "latency_timer";
}

std::optional<OpenRefusal> SerialD2xx::OpenRefused(int index) { return ports_.refusal(index); }

std::optional<LatencyReading> SerialD2xx::LatencyTimer(FT_HANDLE handle) {
  auto port = find(handle);
  if (!port) return std::nullopt;
  // Only the FTDI driver has the timer; a pty or another adapter has nothing to report.
  std::ifstream in(latencyFile(port->path));
  int ms = 0;
  if (!(in >> ms)) return std::nullopt;
  return LatencyReading{port->path, ms};
}

std::string SerialD2xx::PortName(FT_HANDLE handle) {
  auto port = find(handle);
  return port ? port->path : std::string();
}

FT_STATUS SerialD2xx::FT_Write(FT_HANDLE handle, const void* buffer, DWORD count, DWORD* written) {
  *written = 0;
  auto port = find(handle);
  if (!port) return FT_INVALID_HANDLE;
  if (port->gone) return FT_DEVICE_GONE;
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  const auto deadline = TransferDeadline(port->writeTimeoutMs);
  while (*written < count) {
    const ssize_t n = ::write(port->fd, bytes + *written, count - *written);
    if (n > 0) {
      *written += static_cast<DWORD>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      port->gone = true;
      return FT_DEVICE_GONE;
    }
    const DWORD left = MsLeft(deadline);
    if (left == 0) break;
    pollfd p{port->fd, POLLOUT, 0};
    if (::poll(&p, 1, static_cast<int>(std::min<DWORD>(left, 1u << 30))) > 0 && (p.revents & (POLLHUP | POLLERR))) {
      port->gone = true;
      return FT_DEVICE_GONE;
    }
  }
  return FT_OK;
}

FT_STATUS SerialD2xx::FT_Read(FT_HANDLE handle, void* buffer, DWORD count, DWORD* got) {
  *got = 0;
  auto port = find(handle);
  if (!port) return FT_INVALID_HANDLE;
  const auto deadline = TransferDeadline(port->readTimeoutMs);
  for (;;) {
    const bool alive = Pull(*port);
    if (port->pending.size() >= count || !alive || Clock::now() >= deadline) break;
    if (!SleepForInput(*port, deadline)) break;
  }
  *got = TakePending(port->pending, buffer, count);
  return port->gone && *got < count ? FT_DEVICE_GONE : FT_OK;
}

FT_STATUS SerialD2xx::FT_GetStatus(FT_HANDLE handle, DWORD* rxQueue, DWORD* txQueue, DWORD* event) {
  auto port = find(handle);
  if (!port) return FT_INVALID_HANDLE;
  Pull(*port);
  if (port->gone) return FT_DEVICE_GONE;
  int out = 0;
  if (ioctl(port->fd, TIOCOUTQ, &out) != 0) out = 0;
  *rxQueue = static_cast<DWORD>(port->pending.size());
  *txQueue = static_cast<DWORD>(std::max(out, 0));
  *event = 0;
  return FT_OK;
}

FT_STATUS SerialD2xx::FT_Purge(FT_HANDLE handle, DWORD mask) {
  auto port = find(handle);
  if (!port) return FT_INVALID_HANDLE;
  if ((mask & FT_PURGE_RX) && (mask & FT_PURGE_TX)) tcflush(port->fd, TCIOFLUSH);
  else if (mask & FT_PURGE_RX) tcflush(port->fd, TCIFLUSH);
  else if (mask & FT_PURGE_TX) tcflush(port->fd, TCOFLUSH);
  if (mask & FT_PURGE_RX) port->pending.clear();
  return FT_OK;
}

FT_STATUS SerialD2xx::FT_Close(FT_HANDLE handle) {
  const std::shared_ptr<Port> port = ports_.remove(handle);
  if (!port) return FT_INVALID_HANDLE;
  // TIOCEXCL is cleared, so that the next open (this program's or, once the lock is free,
  // another's without root) is not refused by a descriptor that is gone.
  ioctl(port->fd, TIOCNXCL);
  ::close(port->fd);
  port->fd = -1;
  return FT_OK;
}

FT_STATUS SerialD2xx::WaitForRx(FT_HANDLE handle, DWORD count, DWORD timeoutMs, DWORD* available) {
  *available = 0;
  auto port = find(handle);
  if (!port) return FT_INVALID_HANDLE;
  return WaitForInput(*port, count, Clock::now() + std::chrono::milliseconds(timeoutMs), available);
}

FT_STATUS SerialD2xx::WaitForRxOrStop(FT_HANDLE handle, DWORD count, DWORD timeoutMs, DWORD* available,
                                      const std::stop_token& stop) {
  *available = 0;
  auto port = find(handle);
  if (!port) return FT_INVALID_HANDLE;
  int wake[2];
  if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) return D2xx::WaitForRxOrStop(handle, count, timeoutMs, available, stop);
  struct Pipe {
    int read, write;
    ~Pipe() {
      ::close(read);
      ::close(write);
    }
  } const pipe{wake[0], wake[1]};
  // Gone before the pipe is closed; a stop requested already rings it here, at once.
  const std::stop_callback ring(stop, [fd = pipe.write] {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
  });
  return WaitForInput(*port, count, Clock::now() + std::chrono::milliseconds(timeoutMs), available, &stop, pipe.read);
}

FT_STATUS SerialD2xx::WaitForTxEmpty(FT_HANDLE handle, DWORD timeoutMs) {
  auto port = find(handle);
  if (!port) return FT_INVALID_HANDLE;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int out = 0;
    if (ioctl(port->fd, TIOCOUTQ, &out) != 0 || out <= 0) return FT_OK;
    if (Clock::now() >= deadline) return FT_WAIT_TIMEOUT;
    // The kernel offers no wait with a bound on the transmit queue: sleep a little.
    std::this_thread::sleep_for(std::chrono::milliseconds(limits::kQueuePollSleepMs));
  }
}

}  // namespace jig
