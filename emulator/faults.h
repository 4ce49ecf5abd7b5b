// Faults of the simulated printer and the control commands that set them.
//
// Control grammar (one command per call; words separated by blanks, case
// ignored; <entry> is an entry-point name such as IBM_FI_VendeItemDepartamento,
// or "next" / "*" for the next command of any entry point except the status
// queries IBM_FI_RetornoImpressora and IBM_FI_VerificaEstadoImpressora):
//   power off | power on
//   paper normal | paper near-end | paper end
//   nak <entry> [nth N]
//   fail <entry> <code> [nth N]
//   done-no-answer <entry> [nth N]
//   clock-skew <[+|-]seconds>        (replaces the previous skew; 0 clears)
//   drawer open | drawer closed
//   clear                            (every fault above off, pending ones dropped)
// "nth N" fires on the N-th matching call from now (default 1). The session
// adds "reset" and "state" (session.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "emulator/printer_state.h"

namespace zel::emu {

// Applies a fault command to the memory. False (memory untouched, *error
// says why) when the command is not one of the grammar above.
bool ApplyFaultCommand(std::string_view command, PrinterMemory& memory, std::string* error);

// Arms the fault commands of IBMFI32.INI's Falhas value (separated by ';')
// when the value differs from the one armed last, so that each value fires
// once however many processes read it. Commands that do not parse are
// skipped. True when the memory changed.
bool ArmIniFaults(std::string_view commands, PrinterMemory& memory);

// Counts a call of `entry` against the pending faults and returns the one
// that fires, removing it. Status queries never match "*".
std::optional<PendingFault> TakeFault(Faults& faults, std::string_view entry);

// A readable list of the faults in force.
std::string DescribeFaults(const Faults& faults);

}  // namespace zel::emu
