#pragma once
// The V41 image's keyboard-test commands in front of a keyboard matrix whose closed line
// pairs follow a script over time (or what a test sets).
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim/SimCommandSet.h"

namespace jig::sim {

using MatrixPair = std::pair<int, int>;  // (row, column) line numbers

// "T:r-c,r-c;T:..." : from T ms after "u" on, these pairs are closed (none when empty).
struct MatrixStep {
  long long atMs = 0;
  std::vector<MatrixPair> closed;
};
std::optional<std::vector<MatrixStep>> ParseMatrixScript(const std::string& text);
// The report bytes for a set of closed pairs: a ">" group per row, then "&".
std::vector<std::uint8_t> MatrixReport(const std::vector<MatrixPair>& closed);

class KeyboardSim : public SimCommandSet {
 public:
  explicit KeyboardSim(const SimOptions& options);

  bool onByte(std::uint8_t byte, SimContext& context) override;
  bool busy() const override { return false; }  // every command is one byte
  void reset() override;

  // The bench: the next reports sent as they are (one per "u"/"U"), then the matrix again.
  void queueReport(std::vector<std::uint8_t> report);
  void setScript(std::vector<MatrixStep> script);
  bool scanning() const;
  int beeps() const;
  int requests() const;  // "u" and "U" seen

 private:
  void sendReport(SimContext& context);
  std::vector<MatrixPair> closedAt(SimTime at) const;

  mutable std::mutex mutex_;
  std::vector<MatrixStep> script_;
  std::deque<std::vector<std::uint8_t>> queued_;
  bool split_;
  bool invalid_;
  long long oversizeLeft_;
  bool scanning_ = false;
  SimTime started_{};
  int beeps_ = 0;
  int requests_ = 0;
};

}  // namespace jig::sim
