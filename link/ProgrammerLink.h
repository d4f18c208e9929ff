#pragma once
// One connection record per window: the handle in use, the counts of the last transfer,
// the queue counts and the transfer buffer that commands and answers share.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "link/D2xx.h"

namespace jig {

struct ProgrammerLink {
  ProgrammerLink(D2xx& backend, std::size_t bufferSize) : d2xx(&backend), buffer(bufferSize, 0) {}
  // The handle goes with the record: no path leaves it open. A moved record hands its handle
  // over; a record is never copied, so no handle is closed twice.
  ~ProgrammerLink() { close(); }
  ProgrammerLink(ProgrammerLink&& other) noexcept : d2xx(other.d2xx) { take(other); }
  ProgrammerLink& operator=(ProgrammerLink&& other) noexcept;

  D2xx* d2xx;
  DWORD deviceCount = 0;
  FT_HANDLE handle = 0;
  bool isOpen = false;
  DWORD transferred = 0;
  DWORD rxQueue = 0;
  DWORD txQueue = 0;
  DWORD eventStatus = 0;
  std::vector<std::uint8_t> buffer;
  std::string versionText;  // the main window's record only
  // The port and the firmware's version answer of the last open that found the programmer
  // ready, for the job journal.
  std::string port, firmware;
  // The chip's identity as the programmer reported it in the last open (ID bytes in hex, or
  // the version it answered); empty when it told none.
  std::string chipId;
  // Set by an open that found a programmer but was refused it (rights, another program):
  // the line to log after the documented one. Empty otherwise.
  std::string refusalLine;

  // Writes bytes (from the buffer or elsewhere); transferred gets the written count.
  FT_STATUS write(std::span<const std::uint8_t> bytes);
  FT_STATUS writeByte(std::uint8_t byte);
  // Reads up to count bytes into the buffer at offset (the buffer grows when needed).
  FT_STATUS read(DWORD count, std::size_t offset = 0);
  FT_STATUS getStatus();
  // FT_Close when a handle is open; safe to call on every path.
  void close();

 private:
  void take(ProgrammerLink& other) noexcept;
};

}  // namespace jig
