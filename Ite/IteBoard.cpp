#include "Ite/IteBoard.h"

#include <utility>

#include "Ite/IteControls.h"
#include "Ite/IteLines.h"
#include "Ite/IteTexts.h"

namespace jig {

namespace text = ite::text;
using ite::Concat;

void IteBoard::FormCreate(ite::IteBase base) {
  base_ = std::move(base);
  entry_ = 0;
}

bool IteBoard::selectedLine(std::string& line) const {
  if (!base_.found || entry_ < 1 || static_cast<std::size_t>(entry_) > base_.lines.size()) return false;
  line = base_.lines[static_cast<std::size_t>(entry_ - 1)];
  return true;
}

void IteBoard::showPins(const ite::PinAssignment& before) {
  for (std::size_t signal = 0; signal < pins_.size(); ++signal)
    if (pins_[signal] != before[signal]) view_.select(ite::kSignals[signal].box, pins_[signal]);
}

void IteBoard::ITE_ComboBox_MB_SWITCHSelect(int index) {
  const int entries = base_.found ? static_cast<int>(base_.lines.size()) : 0;
  if (index < 0 || index > entries) return;
  entry_ = index;
  std::string line;
  if (!selectedLine(line)) {
    checkEnabled_ = false;
    view_.enable(ite::control::kCheckBox, false);
    view_.ended(true);
    return;
  }
  // A reset, not the user's click: the mirror does not run.
  checked_ = true;
  checkEnabled_ = false;
  view_.select(ite::control::kCheckBox, 1);
  view_.enable(ite::control::kCheckBox, false);

  const ite::PinAssignment before = pins_;
  const ite::ParseResult parsed = ite::ParseMbLine(line, pins_);
  pins_ = parsed.pins;
  showPins(before);
  const std::string_view name =
      parsed.signal >= 0 ? ite::kSignals[static_cast<std::size_t>(parsed.signal)].name : std::string_view{};
  switch (parsed.kind) {
    case ite::ParseResult::Ok:
      checkEnabled_ = true;
      view_.enable(ite::control::kCheckBox, true);
      view_.ended(true);
      return;
    case ite::ParseResult::MissingKey: view_.log(Concat({text::kMissingPinPrefix, name, text::kSignalSuffix})); break;
    case ite::ParseResult::BadPin: view_.log(Concat({text::kBadPinPrefix, name, text::kSignalSuffix})); break;
    case ite::ParseResult::NotNumber:
      view_.errorBox(Concat({text::kNotNumberPrefix, name, text::kNotNumberSuffix}));
      break;
  }
  view_.ended(false);
}

bool IteBoard::restore(int index, bool straight) {
  const int entries = base_.found ? static_cast<int>(base_.lines.size()) : 0;
  if (index < 1 || index > entries) return false;
  const std::string& line = base_.lines[static_cast<std::size_t>(index - 1)];
  const ite::ParseResult parsed = ite::ParseMbLine(line, pins_);
  if (parsed.kind != ite::ParseResult::Ok) return false;
  ite::PinAssignment pins = parsed.pins;
  if (!straight) {
    const ite::MirrorResult mirrored = ite::MirrorPins(line, pins);
    if (mirrored.kind == ite::MirrorResult::Ok) pins = mirrored.pins;
    else straight = true;
  }
  entry_ = index;
  checked_ = straight;
  checkEnabled_ = true;
  view_.select(ite::control::kCheckBox, straight ? 1 : 0);
  view_.enable(ite::control::kCheckBox, true);
  const ite::PinAssignment before = pins_;
  pins_ = pins;
  showPins(before);
  return true;
}

void IteBoard::setStraightCable(bool checked) {
  checked_ = checked;
  std::string line;
  if (!selectedLine(line)) {
    view_.ended(false);
    return;
  }
  const ite::MirrorResult mirrored = ite::MirrorPins(line, pins_);
  switch (mirrored.kind) {
    case ite::MirrorResult::Ok: {
      const ite::PinAssignment before = pins_;
      pins_ = mirrored.pins;
      showPins(before);
      view_.ended(true);
      return;
    }
    case ite::MirrorResult::MissingCount: view_.log(text::kMissingCount); break;
    case ite::MirrorResult::BadCount: view_.log(text::kBadCount); break;
    case ite::MirrorResult::PinOutside: {
      const auto signal = static_cast<std::size_t>(mirrored.signal);
      view_.log(Concat({text::kPinOutsidePrefix, ite::kSignals[signal].name, text::kOpenBracket,
                        std::to_string(pins_[signal]), text::kCloseBracket, text::kPinOutsideMiddle,
                        std::to_string(mirrored.count), text::kPinOutsideSuffix}));
      break;
    }
  }
  view_.ended(false);
}

void IteBoard::setPin(int signal, int pin) {
  if (signal < 0 || signal >= ite::kSignalCount || pin < 0 || pin > ite::kMaxPin) return;
  pins_[static_cast<std::size_t>(signal)] = pin;
}

}  // namespace jig
