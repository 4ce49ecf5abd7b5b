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

// The "z" lines of the first `count` reductions, for a caller that writes the
// same memory again and again: reductions are never changed once made, so
// only new ones are formatted. Whoever replaces the memory with another one
// (read from the file, reset) must start a new cache.
struct FiscalMemoryCache {
  size_t count = 0;
  std::string lines;
};

std::string SerializeMemory(const PrinterMemory& memory, FiscalMemoryCache* cache = nullptr);
// False (and *memory untouched) when the text is not a memory file of this
// version or a record is malformed.
bool DeserializeMemory(std::string_view text, PrinterMemory* memory);

}  // namespace zel::emu
