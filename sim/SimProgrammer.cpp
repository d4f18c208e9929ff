#include "sim/SimProgrammer.h"

#include <algorithm>

#include "sim/BootLoaderSim.h"
#include "sim/SimImages.h"
#include "sim/SimState.h"

namespace jig::sim {

namespace {
constexpr std::uint32_t kFirmwareBaud = 921600;
constexpr std::uint32_t kBootBaud = 115200;
constexpr const char* kImageFile = "image.txt";
constexpr long long kDefaultResetAfterMs = 1000;
}  // namespace

std::optional<std::uint64_t> SimContext::send(std::span<const std::uint8_t> bytes, std::chrono::microseconds delay) {
  return programmer_.sendLocked(bytes, at_, delay);
}

std::optional<std::uint64_t> SimContext::send(std::uint8_t byte, std::chrono::microseconds delay) {
  const std::uint8_t one[1] = {byte};
  return programmer_.sendLocked(one, at_, delay);
}

bool SimContext::hostHasTaken(std::uint64_t queued) const { return programmer_.takenLocked(queued); }

void SimContext::runImage(std::string_view tag) { programmer_.runImageLocked(std::string(tag)); }

const SimOptions& SimContext::options() const { return programmer_.options(); }

SimProgrammer::SimProgrammer(SimOptions options) : options_(std::move(options)) {
  wire_.enabled = options_.wireTime;
  for (const SimSetRow& set : SimSets()) sets_[std::string(set.name)] = set.make(options_);
  // An image named on the command line wins over the one the state folder kept.
  const std::string fallback(kDefaultImage);
  const std::string start = options_.image.empty() ? LoadText(options_.stateDir, kImageFile, fallback) : options_.image;
  image_ = FindSimImage(start) ? start : fallback;
  SaveText(options_.stateDir, kImageFile, image_);
  if (options_.has("version"))
    for (const SimImage& image : SimImages())
      if (image.tag != kBootImage) versionTexts_[std::string(image.tag)] = DecodeEscapes(options_.value("version"));
}

SimProgrammer::~SimProgrammer() = default;

std::uint32_t SimProgrammer::listeningBaud() const { return image_ == "BOOT" ? kBootBaud : kFirmwareBaud; }

std::vector<SimCommandSet*> SimProgrammer::activeSets() const {
  // The first set that takes a byte answers it.
  std::vector<SimCommandSet*> active;
  const SimImage* image = FindSimImage(image_);
  if (!image) return {sets_.at(std::string(kBootImage)).get()};
  for (const SimSetRow* set : SetsOf(*image)) active.push_back(sets_.at(std::string(set->name)).get());
  return active;
}

void SimProgrammer::hostWrite(std::span<const std::uint8_t> bytes, SimTime now) {
  std::lock_guard lock(mutex_);
  if (gone_ || bytes.empty()) return;
  if (options_.transcript) {
    TranscriptEntry entry;
    entry.bytes.assign(bytes.begin(), bytes.end());
    entry.at = now;
    entry.baud = wire_.baud;
    entry.latencyMs = wire_.latencyMs;
    transcript_.push_back(std::move(entry));
  }
  SimTime arrival = std::max(now, inWireFree_);
  for (std::uint8_t byte : bytes) {
    arrival += wire_.byteTime();
    sendStraysLocked(arrival);  // what was on its way leaves before any answer to this byte
    handling_ = hostBytesSeen_++;
    watchForResetCall(byte, arrival);
    // A byte sent at another baud rate reaches the programmer as noise it does not take.
    if (wire_.baud == listeningBaud()) dispatch(byte, arrival);
    if (gone_) break;
  }
  inWireFree_ = arrival;
}

void SimProgrammer::dispatch(std::uint8_t byte, SimTime at) {
  SimContext context(*this, at);
  const auto sets = activeSets();
  for (SimCommandSet* set : sets)
    if (set->busy()) {
      set->onByte(byte, context);
      return;
    }
  if (image_ != "BOOT") {
    if (byte == 'B') {
      const auto it = versionTexts_.find(image_);
      const SimImage* image = FindSimImage(image_);
      sendVersionLocked(it != versionTexts_.end() ? it->second : std::string(image ? image->versionText : ""), at);
      return;
    }
    if (byte == '?' && !options_.has("no-boot-jump")) {
      sendLocked(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>("!"), 1), at, {});
      runImageLocked("BOOT");
      return;
    }
  }
  for (SimCommandSet* set : sets)
    if (set->onByte(byte, context)) return;
}

std::optional<std::uint64_t> SimProgrammer::sendLocked(std::span<const std::uint8_t> bytes, SimTime at,
                                                       std::chrono::microseconds delay) {
  if (gone_ || bytes.empty()) return std::nullopt;
  std::optional<std::uint64_t> last;
  std::vector<std::uint8_t> sent;
  const long long silenceAfter =
      options_.has("no-answer") ? 0 : options_.number("silence-after", -1);
  const long long garbageAfter = options_.number("garbage-after", -1);
  const long long unplugAfter = options_.number("unplug-after", -1);
  for (std::uint8_t byte : bytes) {
    const auto index = static_cast<long long>(sentToHost_);
    if (unplugAfter >= 0 && index >= unplugAfter) {
      gone_ = true;
      break;
    }
    if (silenceAfter >= 0 && index >= silenceAfter) break;
    if (garbageAfter >= 0 && index >= garbageAfter) {
      garbageState_ = garbageState_ * 1103515245u + 12345u;
      byte = static_cast<std::uint8_t>(garbageState_ >> 16);
    }
    ++sentToHost_;
    sent.push_back(byte);
    // An answer sent at another baud rate than the host listens at is lost as noise.
    if (wire_.baud == listeningBaud()) last = enqueueToHost(byte, at + delay);
  }
  if (!sent.empty()) calledSince_.reset();
  if (sent.empty()) return last;
  recordToHostLocked(std::move(sent), at + delay, delay);
  return last;
}

void SimProgrammer::recordToHostLocked(std::vector<std::uint8_t> bytes, SimTime at, std::chrono::microseconds work) {
  if (!options_.transcript) return;
  TranscriptEntry entry;
  entry.toDevice = false;
  entry.bytes = std::move(bytes);
  entry.at = at;
  entry.baud = listeningBaud();
  entry.latencyMs = wire_.latencyMs;
  entry.cause = handling_;
  entry.work = work;
  transcript_.push_back(std::move(entry));
}

void SimProgrammer::sendVersionLocked(const std::string& text, SimTime at) {
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  const std::optional<BytesAndMs> split = ParseBytesAndMs(options_.value("version-split"));
  if (!split || split->bytes == 0 || split->bytes >= bytes.size()) {
    sendLocked(bytes, at, {});
    return;
  }
  sendLocked(bytes.first(split->bytes), at, {});
  // The second piece leaves the programmer the pause after the first has left it.
  const auto pause = wire_.byteTime() * static_cast<long long>(split->bytes) + std::chrono::milliseconds(split->ms);
  sendLocked(bytes.subspan(split->bytes), at, std::chrono::ceil<std::chrono::microseconds>(pause));
}

std::uint64_t SimProgrammer::enqueueToHost(std::uint8_t byte, SimTime generated) {
  const PacketClock::Placed placed = toHostClock_.place(generated, wire_.byteTime(), wire_.latency());
  const std::uint64_t number = sequence_++;
  toHost_.push_back({byte, placed.release, number});
  if (placed.packetFull)
    // A full packet leaves at once, earlier than its latency timer would have sent it.
    for (auto it = toHost_.rbegin(); it != toHost_.rend() && it->sequence >= placed.packetFirstByte; ++it)
      it->release = placed.release;
  return number;
}

void SimProgrammer::hostPurged(SimTime now) {
  std::lock_guard lock(mutex_);
  const std::optional<BytesAndMs> strays = ParseBytesAndMs(options_.value("send-past-purge"));
  if (!strays || strays->bytes == 0) return;
  strays_.left = strays->bytes;
  strays_.next = now;
  strays_.every = WireDuration(std::chrono::milliseconds(strays->ms)) / static_cast<long long>(strays->bytes);
}

void SimProgrammer::sendStraysLocked(SimTime upTo) {
  std::vector<std::uint8_t> sent;
  const SimTime first = strays_.next;
  for (; strays_.left > 0 && strays_.next <= upTo && !gone_; --strays_.left, strays_.next += strays_.every) {
    sent.push_back(strays_.value);
    // Sent at another baud rate than the host listens at, they are noise it does not take.
    if (wire_.baud == listeningBaud()) enqueueToHost(strays_.value, strays_.next);
    ++strays_.value;
  }
  if (!sent.empty()) recordToHostLocked(std::move(sent), first, {});
}

std::optional<SimTime> SimProgrammer::nextStrayLocked() const {
  if (strays_.left == 0 || gone_) return std::nullopt;
  return strays_.next;
}

bool SimProgrammer::takenLocked(std::uint64_t queued) const {
  // The queue holds the bytes not yet read, oldest first.
  return toHost_.empty() ? queued < sequence_ : queued < toHost_.front().sequence;
}

std::size_t SimProgrammer::available(SimTime now) {
  std::lock_guard lock(mutex_);
  sendStraysLocked(now);
  std::size_t count = 0;
  for (const auto& queued : toHost_) {
    if (queued.release > now) break;
    ++count;
  }
  return count;
}

std::size_t SimProgrammer::take(std::uint8_t* out, std::size_t max, SimTime now) {
  std::lock_guard lock(mutex_);
  sendStraysLocked(now);
  std::size_t count = 0;
  while (count < max && !toHost_.empty() && toHost_.front().release <= now) {
    out[count++] = toHost_.front().value;
    toHost_.pop_front();
  }
  return count;
}

std::optional<SimTime> SimProgrammer::nextRelease() {
  std::lock_guard lock(mutex_);
  std::optional<SimTime> next = nextStrayLocked();
  if (!toHost_.empty() && (!next || toHost_.front().release < *next)) next = toHost_.front().release;
  return next;
}

std::optional<SimTime> SimProgrammer::nextReleaseAfter(SimTime now) {
  std::lock_guard lock(mutex_);
  sendStraysLocked(now);
  // A stray byte not yet sent cannot be released before it leaves the programmer.
  std::optional<SimTime> next = nextStrayLocked();
  for (const auto& queued : toHost_)
    if (queued.release > now) {
      if (!next || queued.release < *next) next = queued.release;
      break;
    }
  return next;
}

std::size_t SimProgrammer::txQueue(SimTime now) const {
  std::lock_guard lock(mutex_);
  if (!wire_.enabled || inWireFree_ <= now) return 0;
  // Bytes still on their way: a byte counts until its last bit has arrived.
  const auto left = inWireFree_ - now;
  return static_cast<std::size_t>((left + wire_.byteTime() - std::chrono::nanoseconds(1)) / wire_.byteTime());
}

std::optional<SimTime> SimProgrammer::txEmptyAt() const {
  std::lock_guard lock(mutex_);
  return inWireFree_;
}

void SimProgrammer::purge(bool rx, bool tx, SimTime now) {
  {
    std::lock_guard lock(mutex_);
    sendStraysLocked(now);  // what had come by now goes with the rest
    if (rx) {
      toHost_.clear();
      toHostClock_.dropPacket();
    }
    (void)tx;  // what the host wrote is on the wire already
  }
  if (rx) hostPurged(now);
}

void SimProgrammer::setBaud(std::uint32_t baud) {
  std::lock_guard lock(mutex_);
  wire_.baud = baud;
}

void SimProgrammer::setLatency(std::uint32_t ms) {
  std::lock_guard lock(mutex_);
  wire_.latencyMs = ms;
}

std::uint32_t SimProgrammer::latency() const {
  std::lock_guard lock(mutex_);
  return wire_.latencyMs;
}

std::uint32_t SimProgrammer::baud() const {
  std::lock_guard lock(mutex_);
  return wire_.baud;
}

void SimProgrammer::runImage(const std::string& tag) {
  std::lock_guard lock(mutex_);
  runImageLocked(tag);
}

void SimProgrammer::runImageLocked(const std::string& tag) {
  if (!FindSimImage(tag)) return;
  // The application flash holds the image that ran before the boot loader.
  if (tag == "BOOT" && image_ != "BOOT" && !image_.empty())
    static_cast<BootLoaderSim*>(sets_.at("BOOT").get())->setApplication(image_);
  for (auto& [name, set] : sets_) set->reset();
  image_ = tag;
  SaveText(options_.stateDir, kImageFile, image_);
}

std::string SimProgrammer::image() const {
  std::lock_guard lock(mutex_);
  return image_;
}

void SimProgrammer::setVersionText(const std::string& tag, const std::string& text) {
  std::lock_guard lock(mutex_);
  versionTexts_[tag] = text;
}

void SimProgrammer::unplug() {
  std::lock_guard lock(mutex_);
  gone_ = true;
}

bool SimProgrammer::gone() const {
  std::lock_guard lock(mutex_);
  return gone_;
}

void SimProgrammer::pressReset() {
  std::lock_guard lock(mutex_);
  pressResetLocked();
}

void SimProgrammer::pressResetLocked() {
  toHost_.clear();
  toHostClock_.dropPacket();
  strays_.left = 0;  // a programmer that starts again sends nothing of its old block
  ++resetPresses_;
  runImageLocked("BOOT");
}

int SimProgrammer::resetPresses() const {
  std::lock_guard lock(mutex_);
  return resetPresses_;
}

void SimProgrammer::watchForResetCall(std::uint8_t byte, SimTime at) {
  if (wire_.baud != kBootBaud || byte != 'U') {
    calledSince_.reset();
    return;
  }
  if (options_.has("no-reset")) return;
  if (!calledSince_) {
    calledSince_ = at;
    return;
  }
  if (at - *calledSince_ >= std::chrono::milliseconds(options_.number("reset-after", kDefaultResetAfterMs))) {
    calledSince_.reset();
    pressResetLocked();
  }
}

std::vector<TranscriptEntry> SimProgrammer::transcript() const {
  std::lock_guard lock(mutex_);
  return transcript_;
}

std::vector<std::uint8_t> SimProgrammer::hostBytes() const {
  std::lock_guard lock(mutex_);
  std::vector<std::uint8_t> all;
  for (const auto& entry : transcript_)
    if (entry.toDevice) all.insert(all.end(), entry.bytes.begin(), entry.bytes.end());
  return all;
}

std::vector<std::uint8_t> SimProgrammer::deviceBytes() const {
  std::lock_guard lock(mutex_);
  std::vector<std::uint8_t> all;
  for (const auto& entry : transcript_)
    if (!entry.toDevice) all.insert(all.end(), entry.bytes.begin(), entry.bytes.end());
  return all;
}

void SimProgrammer::clearTranscript() {
  std::lock_guard lock(mutex_);
  transcript_.clear();
  hostBytesSeen_ = 0;
}

std::size_t SimProgrammer::transcriptBytes() const {
  std::lock_guard lock(mutex_);
  std::size_t bytes = 0;
  for (const auto& entry : transcript_) bytes += entry.bytes.size();
  return bytes;
}

std::uint64_t SimProgrammer::bytesToHost() const {
  std::lock_guard lock(mutex_);
  return sentToHost_;
}

SimCommandSet* SimProgrammer::commandSet(const std::string& name) {
  std::lock_guard lock(mutex_);
  const auto it = sets_.find(name);
  return it == sets_.end() ? nullptr : it->second.get();
}

}  // namespace jig::sim
