#pragma once
// What the two serial backends of D2xx (termios and Win32) share: their open ports by
// handle with the refusals of the last opens, a transfer's deadline, and handing the
// caller the bytes taken from the driver but not read yet.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "link/D2xx.h"
#include "link/Bounds.h"

namespace jig {

// A read or write time-out of 0 means "until the count has come"; even that gives up at
// the cap.
inline std::chrono::steady_clock::time_point TransferDeadline(DWORD timeoutMs) {
  const DWORD ms = timeoutMs == 0 ? limits::kUnlimitedReadCapMs : timeoutMs;
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

// Moves up to count of the pending bytes into buffer, oldest first; returns how many.
inline DWORD TakePending(std::deque<std::uint8_t>& pending, void* buffer, DWORD count) {
  const DWORD take = static_cast<DWORD>(std::min<std::size_t>(count, pending.size()));
  std::copy_n(pending.begin(), take, static_cast<std::uint8_t*>(buffer));
  pending.erase(pending.begin(), pending.begin() + take);
  return take;
}

// The open ports by handle (handles are never reused) and why a device index was refused
// at its last open. Safe from any thread.
template <class Port>
class PortTable {
 public:
  FT_HANDLE add(std::shared_ptr<Port> port) {
    std::lock_guard lock(mutex_);
    const FT_HANDLE handle = next_++;
    ports_[handle] = std::move(port);
    return handle;
  }
  std::shared_ptr<Port> find(FT_HANDLE handle) {
    std::lock_guard lock(mutex_);
    const auto it = ports_.find(handle);
    return it == ports_.end() ? nullptr : it->second;
  }
  // Takes the port out of the table; nullptr when the handle is not open.
  std::shared_ptr<Port> remove(FT_HANDLE handle) {
    std::lock_guard lock(mutex_);
    const auto it = ports_.find(handle);
    if (it == ports_.end()) return nullptr;
    auto port = std::move(it->second);
    ports_.erase(it);
    return port;
  }
  // Every port still open, taken out (the backend closes them as it goes).
  std::vector<std::shared_ptr<Port>> removeAll() {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<Port>> all;
    for (auto& [handle, port] : ports_) all.push_back(std::move(port));
    ports_.clear();
    return all;
  }

  void refuse(int index, OpenRefusal refusal) {
    std::lock_guard lock(mutex_);
    refused_[index] = std::move(refusal);
  }
  void forgetRefusal(int index) {
    std::lock_guard lock(mutex_);
    refused_.erase(index);
  }
  void forgetRefusals() {
    std::lock_guard lock(mutex_);
    refused_.clear();
  }
  std::optional<OpenRefusal> refusal(int index) {
    std::lock_guard lock(mutex_);
    const auto it = refused_.find(index);
    if (it == refused_.end()) return std::nullopt;
    return it->second;
  }

 private:
  std::mutex mutex_;
  std::map<FT_HANDLE, std::shared_ptr<Port>> ports_;
  FT_HANDLE next_ = 1;
  std::map<int, OpenRefusal> refused_;
};

}  // namespace jig
