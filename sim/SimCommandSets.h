#pragma once
// The command sets a simulated programmer carries, one factory each, and the faults each
// understands. Each task's set lives in its own file.
#include <memory>
#include <vector>

#include "sim/SimCommandSet.h"

namespace jig::sim {

std::unique_ptr<SimCommandSet> MakeBootLoaderSim(const SimOptions& options);
std::unique_ptr<SimCommandSet> MakeEdidSim(const SimOptions& options);
std::unique_ptr<SimCommandSet> MakeKb90Sim(const SimOptions& options);
std::unique_ptr<SimCommandSet> MakeKeyboardSim(const SimOptions& options);
std::unique_ptr<SimCommandSet> MakeMec16Sim(const SimOptions& options);
std::unique_ptr<SimCommandSet> MakeIteSim(const SimOptions& options);
std::unique_ptr<SimCommandSet> MakeNpceSim(const SimOptions& options);

std::vector<FaultName> BootLoaderSimFaults();
std::vector<FaultName> EdidSimFaults();
std::vector<FaultName> Kb90SimFaults();
std::vector<FaultName> KeyboardSimFaults();
std::vector<FaultName> Mec16SimFaults();
std::vector<FaultName> IteSimFaults();
std::vector<FaultName> NpceSimFaults();

std::vector<FaultName> CommandSetFaultNames();

}  // namespace jig::sim
