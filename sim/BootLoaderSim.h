#pragma once
// The programmer's boot loader: at 115200 baud it answers the first 'U' with its greeting,
// then takes "pf", Intel HEX lines into its application flash, the end record and "g",
// which starts the application whose tag the flash carries.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/SimCommandSet.h"
#include "sim/StandInImage.h"

namespace jig::sim {

class BootLoaderSim : public SimCommandSet {
 public:
  explicit BootLoaderSim(const SimOptions& options);

  bool onByte(std::uint8_t byte, SimContext& context) override;
  bool busy() const override { return !line_.empty(); }
  // Entered anew (reset button, '?'): waits for 'U' again.
  void reset() override;

  // The application flash holds this image (the one that ran before the boot loader).
  void setApplication(const std::string& tag);
  const std::string& application() const { return application_; }
  const std::vector<std::uint8_t>& flash() const { return flash_; }
  // Data lines taken since the last "pf".
  int linesTaken() const { return linesTaken_; }

 private:
  void onLine(SimContext& context);
  void onHexRecord(SimContext& context);
  void answerLine(SimContext& context);
  void refuse(SimContext& context);
  void send(SimContext& context, const std::string& text);

  const SimOptions& options_;
  bool greeted_ = false;
  std::string line_;
  std::vector<std::uint8_t> flash_;
  std::string application_;
  int linesTaken_ = 0;
  int lineIndex_ = 0;  // data lines seen since "pf", answered or not
};

}  // namespace jig::sim
