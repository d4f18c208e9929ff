#include "sim/SimD2xx.h"

#include <algorithm>

#include "link/Bounds.h"
#include "sim/ExactWakeUps.h"

namespace jig::sim {

SimD2xx::~SimD2xx() = default;

SimProgrammer& SimD2xx::attach(SimOptions options) {
  std::lock_guard lock(mutex_);
  programmers_.push_back(std::make_unique<SimProgrammer>(std::move(options)));
  return *programmers_.back();
}

void SimD2xx::unplug(std::size_t index) {
  std::lock_guard lock(mutex_);
  programmers_.at(index)->unplug();
  changed_.notify_all();
}

std::size_t SimD2xx::openHandles() const {
  std::lock_guard lock(mutex_);
  return handles_.size();
}

SimD2xx::Handle* SimD2xx::find(FT_HANDLE handle, FT_STATUS& status) {
  const auto it = handles_.find(handle);
  if (it == handles_.end()) {
    status = FT_INVALID_HANDLE;
    return nullptr;
  }
  if (it->second.programmer->gone()) {
    status = FT_DEVICE_GONE;
    return nullptr;
  }
  status = FT_OK;
  return &it->second;
}

FT_STATUS SimD2xx::FT_CreateDeviceInfoList(DWORD* count) {
  std::lock_guard lock(mutex_);
  listed_.clear();
  for (auto& programmer : programmers_)
    if (!programmer->gone()) listed_.push_back(programmer.get());
  *count = static_cast<DWORD>(listed_.size());
  return FT_OK;
}

FT_STATUS SimD2xx::FT_Open(int index, FT_HANDLE* handle) {
  std::lock_guard lock(mutex_);
  if (index < 0 || static_cast<std::size_t>(index) >= listed_.size()) return FT_DEVICE_NOT_FOUND;
  SimProgrammer* programmer = listed_[static_cast<std::size_t>(index)];
  if (programmer->gone()) return FT_DEVICE_NOT_FOUND;
  if (programmer->isOpen || programmer->openFails()) return FT_DEVICE_NOT_OPENED;
  programmer->isOpen = true;
  *handle = nextHandle_++;
  handles_[*handle] = Handle{programmer};
  return FT_OK;
}

FT_STATUS SimD2xx::FT_ResetDevice(FT_HANDLE handle) {
  std::lock_guard lock(mutex_);
  FT_STATUS status;
  find(handle, status);
  return status;
}

FT_STATUS SimD2xx::FT_SetBaudRate(FT_HANDLE handle, DWORD baud) {
  std::lock_guard lock(mutex_);
  FT_STATUS status;
  Handle* h = find(handle, status);
  if (!h) return status;
  if (baud == 0) return FT_INVALID_BAUD_RATE;
  h->programmer->setBaud(baud);
  return FT_OK;
}

FT_STATUS SimD2xx::FT_SetDataCharacteristics(FT_HANDLE handle, UCHAR, UCHAR, UCHAR) {
  std::lock_guard lock(mutex_);
  FT_STATUS status;
  find(handle, status);
  return status;
}

FT_STATUS SimD2xx::FT_SetTimeouts(FT_HANDLE handle, DWORD readMs, DWORD writeMs) {
  std::lock_guard lock(mutex_);
  FT_STATUS status;
  Handle* h = find(handle, status);
  if (!h) return status;
  h->readTimeoutMs = readMs;
  h->writeTimeoutMs = writeMs;
  return FT_OK;
}

FT_STATUS SimD2xx::FT_SetLatencyTimer(FT_HANDLE handle, UCHAR ms) {
  std::lock_guard lock(mutex_);
  FT_STATUS status;
  Handle* h = find(handle, status);
  if (!h) return status;
  h->programmer->setLatency(ms);
  return FT_OK;
}

std::optional<LatencyReading> SimD2xx::LatencyTimer(FT_HANDLE handle) {
  std::lock_guard lock(mutex_);
  FT_STATUS status;
  Handle* h = find(handle, status);
  if (!h) return std::nullopt;
  return LatencyReading{"simulated programmer", static_cast<int>(h->programmer->latency())};
}

std::string SimD2xx::PortName(FT_HANDLE handle) {
  std::lock_guard lock(mutex_);
  FT_STATUS status;
  return find(handle, status) ? "simulated programmer" : "";
}

FT_STATUS SimD2xx::FT_Write(FT_HANDLE handle, const void* buffer, DWORD count, DWORD* written) {
  *written = 0;
  std::lock_guard lock(mutex_);
  FT_STATUS status;
  Handle* h = find(handle, status);
  if (!h) return status;
  h->programmer->hostWrite(std::span(static_cast<const std::uint8_t*>(buffer), count), clock_.now());
  *written = count;
  changed_.notify_all();
  return FT_OK;
}


void SimD2xx::sleepUntil(std::unique_lock<std::mutex>& lock, SimTime at) {
  changed_.wait_until(lock, clock_.realTimeOf(at));
}

FT_STATUS SimD2xx::waitLocked(std::unique_lock<std::mutex>& lock, FT_HANDLE handle, DWORD count,
                              SimTime deadline, DWORD* available, const std::stop_token* stop) {
  ExactWakeUps();
  for (;;) {
    FT_STATUS status;
    Handle* h = find(handle, status);
    if (!h) return status;
    const SimTime now = clock_.now();
    *available = static_cast<DWORD>(h->programmer->available(now));
    if (*available >= count) return FT_OK;
    if (stop && stop->stop_requested()) return FT_WAIT_STOPPED;
    if (now >= deadline) return FT_WAIT_TIMEOUT;
    SimTime until = deadline;
    // Bytes already released but too few: sleep until more are released (or the host
    // writes, which notifies), never spin on them.
    if (const auto next = h->programmer->nextReleaseAfter(now)) until = std::min(until, *next);
    if (until > now) sleepUntil(lock, until);
  }
}

FT_STATUS SimD2xx::FT_Read(FT_HANDLE handle, void* buffer, DWORD count, DWORD* got) {
  *got = 0;
  std::unique_lock lock(mutex_);
  FT_STATUS status;
  Handle* h = find(handle, status);
  if (!h) return status;
  const DWORD ms = h->readTimeoutMs == 0 ? limits::kUnlimitedReadCapMs : h->readTimeoutMs;
  DWORD available = 0;
  status = waitLocked(lock, handle, count, clock_.now() + std::chrono::milliseconds(ms), &available);
  if (status != FT_OK && status != FT_WAIT_TIMEOUT) return status;
  h = find(handle, status);
  if (!h) return status;
  *got = static_cast<DWORD>(h->programmer->take(static_cast<std::uint8_t*>(buffer), count, clock_.now()));
  return FT_OK;
}

FT_STATUS SimD2xx::FT_GetStatus(FT_HANDLE handle, DWORD* rxQueue, DWORD* txQueue, DWORD* event) {
  std::lock_guard lock(mutex_);
  FT_STATUS status;
  Handle* h = find(handle, status);
  if (!h) return status;
  const SimTime now = clock_.now();
  *rxQueue = static_cast<DWORD>(h->programmer->available(now));
  *txQueue = static_cast<DWORD>(h->programmer->txQueue(now));
  *event = 0;
  return FT_OK;
}

FT_STATUS SimD2xx::FT_Purge(FT_HANDLE handle, DWORD mask) {
  std::lock_guard lock(mutex_);
  FT_STATUS status;
  Handle* h = find(handle, status);
  if (!h) return status;
  h->programmer->purge(mask & FT_PURGE_RX, mask & FT_PURGE_TX, clock_.now());
  return FT_OK;
}

FT_STATUS SimD2xx::FT_Close(FT_HANDLE handle) {
  std::lock_guard lock(mutex_);
  const auto it = handles_.find(handle);
  if (it == handles_.end()) return FT_INVALID_HANDLE;
  it->second.programmer->isOpen = false;
  handles_.erase(it);
  changed_.notify_all();
  return FT_OK;
}

FT_STATUS SimD2xx::WaitForRx(FT_HANDLE handle, DWORD count, DWORD timeoutMs, DWORD* available) {
  *available = 0;
  std::unique_lock lock(mutex_);
  return waitLocked(lock, handle, count, clock_.now() + std::chrono::milliseconds(timeoutMs), available);
}

FT_STATUS SimD2xx::WaitForRxOrStop(FT_HANDLE handle, DWORD count, DWORD timeoutMs, DWORD* available,
                                   const std::stop_token& stop) {
  *available = 0;
  // Made before the lock is taken: a stop requested already runs it here, at once. It takes
  // the lock before it notifies, so the sleeper either sees the request or is woken by it.
  const std::stop_callback wake(stop, [this] {
    const std::lock_guard lock(mutex_);
    changed_.notify_all();
  });
  std::unique_lock lock(mutex_);
  return waitLocked(lock, handle, count, clock_.now() + std::chrono::milliseconds(timeoutMs), available, &stop);
}

FT_STATUS SimD2xx::WaitForTxEmpty(FT_HANDLE handle, DWORD timeoutMs) {
  std::unique_lock lock(mutex_);
  ExactWakeUps();
  const SimTime deadline = clock_.now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    FT_STATUS status;
    Handle* h = find(handle, status);
    if (!h) return status;
    const auto empty = h->programmer->txEmptyAt();
    const SimTime now = clock_.now();
    if (!empty || *empty <= now) return FT_OK;
    if (now >= deadline) return FT_WAIT_TIMEOUT;
    sleepUntil(lock, std::min(deadline, *empty));
  }
}

}  // namespace jig::sim
