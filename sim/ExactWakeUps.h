#pragma once
namespace jig::sim {
// A real bridge wakes its reader when a USB packet comes in; here a timed sleep stands in
// for that, and a timer slack would make every simulated release late by up to that much.
// Each thread that waits asks for exact wake-ups once (it affects only its own sleeps).
void ExactWakeUps();
}  // namespace jig::sim
