#pragma once
// The bench's set-up before a transfer, as the how-to text orders it: APPLY sends the pins
// (the settings mode, one pin setting for each signal in the documented order, then QQQ),
// and the link check reads the controller's ID through them. The programmer keeps the pins
// until it is given others.
#include "Ite/IteProtocol.h"
#include "Ite/MbConnectionIte.h"
#include "link/ProgrammerLink.h"
#include "view/TaskView.h"

namespace jig::ite {

// On an open link; true when the programmer took every pin (its lines say how it went).
bool SendPins(ProgrammerLink& link, TaskView& view, const PinAssignment& pins, const IteBounds& bounds);
// How far the link check came: the controller's ID, or which step it failed at.
enum class LinkCheck { Found, NoConnect, NoId };
// On an open link: Connect and the three ID bytes, then the end byte; Found when the
// controller answered (its ID and revision logged).
LinkCheck CheckLink(ProgrammerLink& link, TaskView& view, const IteBounds& bounds);

}  // namespace jig::ite
