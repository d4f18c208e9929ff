#pragma once
// Where a write stands for a stop: until its first erase or write command goes out, the
// chip holds what it held and the whole write may still be called off; from then on a stop
// leaves it half written. The worker passes the gate before it touches the chip, and a stop
// that wants the chip untouched closes it first; whichever comes first decides.
#include <atomic>

namespace jig {

class ChipGate {
 public:
  // A write begins: nothing is touched yet.
  void reset() { state_.store(State::Untouched); }
  // The worker is about to touch the chip: true when it may (also when it already has).
  bool touch() {
    State state = State::Untouched;
    return state_.compare_exchange_strong(state, State::Touched) || state == State::Touched;
  }
  // A stop that must not leave the chip half written: true when the write will not touch it.
  bool cancel() {
    State state = State::Untouched;
    return state_.compare_exchange_strong(state, State::Cancelled) || state == State::Cancelled;
  }

 private:
  enum class State { Untouched, Touched, Cancelled };
  // Outside a write (and before the first) nothing may count on a cancel.
  std::atomic<State> state_{State::Touched};
};

}  // namespace jig
