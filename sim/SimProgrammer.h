#pragma once
// One simulated programmer: the bridge (baud rate, queues, wire time), the firmware image
// it runs with its command sets, the boot loader, the faults it was asked to show and a
// transcript of every byte in both directions. Safe to call from several threads.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/SimCommandSet.h"
#include "sim/WireModel.h"

namespace jig::sim {

class SimProgrammer {
 public:
  explicit SimProgrammer(SimOptions options);
  ~SimProgrammer();
  SimProgrammer(const SimProgrammer&) = delete;
  SimProgrammer& operator=(const SimProgrammer&) = delete;

  // Host side; now is the host's time of the call.
  void hostWrite(std::span<const std::uint8_t> bytes, SimTime now);
  std::size_t available(SimTime now);
  std::size_t take(std::uint8_t* out, std::size_t max, SimTime now);
  std::optional<SimTime> nextRelease();
  // The first release still to come after now (a waiter sleeps until then).
  std::optional<SimTime> nextReleaseAfter(SimTime now);
  std::size_t txQueue(SimTime now) const;
  std::optional<SimTime> txEmptyAt() const;
  void purge(bool rx, bool tx, SimTime now);
  // The host emptied its receive queue (a purge here, a flush of jig-sim's terminal): with
  // send-past-purge, the bytes still on their way start coming after it.
  void hostPurged(SimTime now);
  void setBaud(std::uint32_t baud);
  void setLatency(std::uint32_t ms);
  std::uint32_t latency() const;
  std::uint32_t baud() const;

  // Switches the running image from outside (tests, the saved state).
  void runImage(const std::string& tag);

  // The bench: tests, jig-sim and the command line.
  std::string image() const;
  const SimOptions& options() const { return options_; }
  void setVersionText(const std::string& tag, const std::string& text);
  void unplug();
  bool gone() const;
  void pressReset();  // the programmer's reset button: into the boot loader
  // How often the reset button was pushed (by the bench or the simulated user).
  int resetPresses() const;
  bool openFails() const { return options_.has("open-fails"); }
  std::vector<TranscriptEntry> transcript() const;
  std::vector<std::uint8_t> hostBytes() const;
  std::vector<std::uint8_t> deviceBytes() const;
  void clearTranscript();
  // The bytes the transcript holds now (none when the options keep no transcript).
  std::size_t transcriptBytes() const;
  std::uint64_t bytesToHost() const;

  // Kept by SimD2xx: a bridge serves one handle at a time.
  bool isOpen = false;

  // The command set of the given kind (for tests that look at a chip).
  SimCommandSet* commandSet(const std::string& name);

 private:
  friend class SimContext;  // the command sets answer while the programmer holds its lock
  std::optional<std::uint64_t> sendLocked(std::span<const std::uint8_t> bytes, SimTime at,
                                          std::chrono::microseconds delay);
  bool takenLocked(std::uint64_t queued) const;
  // The answer to 'B': in two pieces with a pause between when a fault asks for it.
  void sendVersionLocked(const std::string& text, SimTime at);
  void runImageLocked(const std::string& tag);
  void pressResetLocked();
  // The person at the bench: while the host calls for the boot loader ('U' at 115200)
  // and nothing answers, they push reset after a while, unless nobody is there.
  void watchForResetCall(std::uint8_t byte, SimTime at);

  struct QueuedByte {
    std::uint8_t value;
    SimTime release;
    std::uint64_t sequence;
  };
  void dispatch(std::uint8_t byte, SimTime at);
  std::uint64_t enqueueToHost(std::uint8_t byte, SimTime generated);
  // The transcript's entry for bytes that left the programmer at `at`, after `work`.
  void recordToHostLocked(std::vector<std::uint8_t> bytes, SimTime at, std::chrono::microseconds work);
  // send-past-purge: the bytes whose time has come by upTo go to the host, made one by one
  // as they are due, so that a programmer can go on sending for as long as it is asked to.
  void sendStraysLocked(SimTime upTo);
  std::optional<SimTime> nextStrayLocked() const;
  std::uint32_t listeningBaud() const;
  std::vector<SimCommandSet*> activeSets() const;

  mutable std::mutex mutex_;
  SimOptions options_;
  std::string image_;
  std::map<std::string, std::string> versionTexts_;
  std::map<std::string, std::unique_ptr<SimCommandSet>> sets_;
  WireModel wire_;
  bool gone_ = false;
  std::vector<TranscriptEntry> transcript_;

  std::deque<QueuedByte> toHost_;
  std::uint64_t sequence_ = 0;
  std::uint64_t sentToHost_ = 0;
  std::uint32_t garbageState_ = 0x1234567u;
  struct Strays {
    std::uint64_t left = 0;  // bytes still to come
    SimTime next{};          // when the next one leaves the programmer
    WireDuration every{};
    std::uint8_t value = 0;  // they count up, as a data block would
  };
  Strays strays_;
  PacketClock toHostClock_;
  std::uint64_t hostBytesSeen_ = 0;  // host bytes in the transcript so far
  std::uint64_t handling_ = 0;       // the host byte being dispatched
  SimTime inWireFree_{};
  std::optional<SimTime> calledSince_;
  int resetPresses_ = 0;
};

}  // namespace jig::sim
