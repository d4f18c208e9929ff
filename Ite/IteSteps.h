#pragma once
// The ITE exchanges every click shares, each saying in the window's words what went wrong:
// the end byte, Connect, and register writes. The transfers and the set-up clicks use them.
#include <cstdint>
#include <span>
#include <string_view>

#include "Ite/IteProtocol.h"
#include "Ite/IteSequences.h"
#include "link/ProgrammerLink.h"
#include "view/TaskView.h"

namespace jig::ite {

// End byte, drain and close; a byte the programmer did not take is said.
void EndWith(ProgrammerLink& link, TaskView& view, std::uint8_t endByte, const IteBounds& bounds);
// Connect; false (its lines logged, the failure with code) when the controller did not answer.
bool Connect(ProgrammerLink& link, TaskView& view, std::string_view code, const IteBounds& bounds);
// Register writes in order; false after the failing step's lines.
bool WriteRegisters(ProgrammerLink& link, TaskView& view, std::span<const RegStep> steps, const IteBounds& bounds);

}  // namespace jig::ite
