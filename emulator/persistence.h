// The printer's memory as one text file: a version line, then one
// "key=field|field|..." line per record, a checksum line and "end" (see
// emulator/README.md). Fields are Windows-1252 with '%', '|' and control
// bytes written as %XX. The checksum (CRC-32 of every byte before its line)
// makes a damaged or hand-edited file fail to load instead of changing the
// counters silently.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "emulator/printer_state.h"

namespace zel::emu {

inline constexpr std::string_view kMemoryMagic = "IBMFI32-MEMORIA";
inline constexpr int kMemoryVersion = 2;

// The "z" lines of the first `count` reductions, for a caller that writes the
// same memory again and again: reductions are never changed once made, so
// only new ones are formatted. Whoever replaces the memory with another one
// (read from the file, reset) must start a new cache.
struct FiscalMemoryCache {
  size_t count = 0;
  std::string lines;
};

// With `with_reductions` false the reductions ("z" lines) are left out: the
// simulated printer keeps them in the fiscal memory's journal.
std::string SerializeMemory(const PrinterMemory& memory, FiscalMemoryCache* cache = nullptr,
                            bool with_reductions = true);
// One reduction as its "z" line (without the line feed) and back; false when
// the text is not such a line.
std::string SerializeReduction(const ZRecord& z);
bool DeserializeReduction(std::string_view line, ZRecord* z);
// False (and *memory untouched) when the text is not a complete memory file:
// another format or version, a checksum that does not match, a record
// missing, repeated or malformed, a cut or extended end. *reason (when given)
// then says what is wrong, in English for logs and the control answer.
// Files of version 1 (before the checksum, and before the journals) load
// when complete; the simulated printer takes one only while it has no
// journals yet, and writes it in the current version at once (session.h).
bool DeserializeMemory(std::string_view text, PrinterMemory* memory, std::string* reason = nullptr);
// The version a memory file's first line names (1 or kMemoryVersion); 0 when
// the text does not start as a memory file of a known version.
int MemoryFileVersion(std::string_view text);

// CRC-32 (the polynomial of zip and PNG) of `data`.
uint32_t MemoryChecksum(std::string_view data);

}  // namespace zel::emu
