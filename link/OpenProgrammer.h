#pragma once
#include "link/OpenProfiles.h"
#include "link/ProgrammerLink.h"
#include "view/TaskView.h"

namespace jig {

enum class OpenResult { NotFound = 0, Ready = 1, WrongFirmware = 2 };

inline constexpr std::string_view kVersionDeviceNotFound = "FTDI device not found";
inline constexpr std::string_view kVersionErrorAnswer = "FTDI found, ERROR answer";

// The start query: learns the version text and leaves one device open for the firmware
// switch, also when nothing answered. Returns link.versionText.
std::string QueryProgrammerVersion(ProgrammerLink& link);

// Opens the programmer for a task window; only Ready leaves a handle open.
OpenResult OpenProgrammer(ProgrammerLink& link, const OpenProfile& profile, TaskView& log);

}  // namespace jig
