// The printer's memory as one text file: a version line, then one
// "key=field|field|..." line per record (see emulator/README.md). Fields are
// Windows-1252 with '%', '|' and control bytes written as %XX.
#pragma once

#include <string>
#include <string_view>

#include "emulator/printer_state.h"

namespace zel::emu {

inline constexpr std::string_view kMemoryMagic = "IBMFI32-MEMORIA";
inline constexpr int kMemoryVersion = 1;

std::string SerializeMemory(const PrinterMemory& memory);
// False (and *memory untouched) when the text is not a memory file of this
// version or a record is malformed.
bool DeserializeMemory(std::string_view text, PrinterMemory* memory);

}  // namespace zel::emu
