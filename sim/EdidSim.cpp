#include "sim/EdidSim.h"

#include <algorithm>
#include <chrono>

#include "sim/SimImages.h"
#include "sim/SimState.h"

namespace jig::sim {

namespace {
constexpr const char* kBlobName = "edid.bin";
// The firmware reads the EEPROM over I2C before it answers, and writes it page by page
// before it reports; shortened here so that a run stays quick (edid-write-ms sets the write's).
constexpr std::chrono::microseconds kReadTime{3000};
constexpr long long kDefaultWriteUs = 8000;
constexpr std::uint8_t kReadyByte = 'R';
}  // namespace

EdidSim::EdidSim(const SimOptions& options)
    : stateDir_(options.stateDir),
      eeprom_(LoadBlob(options.stateDir, kBlobName, kSize, 0xFF)),
      present_(!options.has("edid-absent")),
      writeProtected_(options.has("edid-write-protected")),
      badStatus_(options.value("edid-status")),
      noReady_(options.has("edid-no-ready")),
      writeTime_(options.has("edid-write-ms") ? std::max(0LL, options.number("edid-write-ms", 0)) * 1000 : kDefaultWriteUs) {
  if (!badStatus_.empty()) badStatus_ = (badStatus_ + "??").substr(0, 2);
}

bool EdidSim::busy() const {
  std::lock_guard lock(mutex_);
  return step_ != Step::Idle;
}

void EdidSim::reset() {
  std::lock_guard lock(mutex_);
  step_ = Step::Idle;
  incoming_.clear();
}

bool EdidSim::onByte(std::uint8_t byte, SimContext& context) {
  std::lock_guard lock(mutex_);
  switch (step_) {
    case Step::Idle:
      if (byte != 'E') return false;  // not an EDID command: the next set may take it
      step_ = Step::Command;
      return true;
    case Step::Command:
      step_ = Step::Idle;
      if (byte == 'r') {
        answerRead(context);
      } else if (byte == 'w') {
        step_ = Step::Data;
        incoming_.clear();
        if (!noReady_) context.send(kReadyByte);
      }
      return true;  // an unknown second byte is swallowed, as the firmware does
    case Step::Data:
      incoming_.push_back(byte);
      if (incoming_.size() == kSize) {
        step_ = Step::Idle;
        finishWrite(context);
      }
      return true;
  }
  return false;
}

void EdidSim::answerRead(SimContext& context) {
  // Without an EEPROM the bus reads as all ones.
  std::vector<std::uint8_t> answer = present_ ? eeprom_ : std::vector<std::uint8_t>(kSize, 0xFF);
  const std::string status = !badStatus_.empty() ? badStatus_ : present_ ? "OK" : "ER";
  answer.insert(answer.end(), status.begin(), status.end());
  context.send(answer, kReadTime);
}

void EdidSim::finishWrite(SimContext& context) {
  const bool ok = present_ && !writeProtected_;
  if (ok) {
    eeprom_ = incoming_;
    ++writes_;
    SaveBlob(stateDir_, kBlobName, eeprom_);
  }
  const std::string status = !badStatus_.empty() ? badStatus_ : ok ? "OK" : "ER";
  context.send(std::vector<std::uint8_t>(status.begin(), status.end()), writeTime_);
}

std::vector<std::uint8_t> EdidSim::contents() const {
  std::lock_guard lock(mutex_);
  return eeprom_;
}

void EdidSim::setContents(const std::vector<std::uint8_t>& bytes) {
  std::lock_guard lock(mutex_);
  eeprom_.assign(kSize, 0xFF);
  for (std::size_t i = 0; i < bytes.size() && i < kSize; ++i) eeprom_[i] = bytes[i];
}

void EdidSim::setPresent(bool present) {
  std::lock_guard lock(mutex_);
  present_ = present;
}

void EdidSim::setWriteProtected(bool protectedChip) {
  std::lock_guard lock(mutex_);
  writeProtected_ = protectedChip;
}

int EdidSim::writesDone() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

namespace {
std::unique_ptr<SimCommandSet> MakeEdidSim(const SimOptions& options) { return std::make_unique<EdidSim>(options); }

std::vector<FaultName> EdidSimFaults() {
  return {
      {"edid-absent", "no EDID EEPROM on the cable: reads and writes answer \"ER\""},
      {"edid-write-protected", "the EDID EEPROM's WP pin is high: writes answer \"ER\""},
      {"edid-status=XX", "the EDID status is these two characters instead of \"OK\"/\"ER\""},
      {"edid-no-ready", "the programmer never sends the ready byte after 'E' 'w'"},
      {"edid-write-ms=N", "the EDID EEPROM write takes N ms before its status comes (default 8)"},
  };
}

const SimRegistration kRegistered({"EDID", "V41", MakeEdidSim, EdidSimFaults});
}  // namespace

}  // namespace jig::sim
