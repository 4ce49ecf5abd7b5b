// The simulated printer's readers of its own files on arbitrary bytes: the
// memory file (as given, and with a checksum that matches its body, so that
// the records themselves are reached) and IBMFI32.INI. None may crash; a
// memory that loads is written and read back to the same memory; a value set
// in the INI reads back as set.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "emulator/config.h"
#include "emulator/persistence.h"
#include "emulator/printer_state.h"

namespace {

void CheckMemory(std::string_view text) {
  zel::emu::PrinterMemory memory;
  std::string reason;
  if (!zel::emu::DeserializeMemory(text, &memory, &reason)) {
    if (reason.empty()) __builtin_trap();  // a refusal always says why
    return;
  }
  const std::string written = zel::emu::SerializeMemory(memory);
  zel::emu::PrinterMemory again;
  if (!zel::emu::DeserializeMemory(written, &again)) __builtin_trap();
  if (zel::emu::SerializeMemory(again) != written) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 3) {
    case 0:
      CheckMemory(text);
      break;
    case 1: {
      // The body as the printer would seal it.
      std::string sealed(text);
      char line[32];
      std::snprintf(line, sizeof line, "checksum=%08X\n", zel::emu::MemoryChecksum(sealed));
      sealed += line;
      sealed += "end\n";
      CheckMemory(sealed);
      break;
    }
    default: {
      zel::emu::ParseConfig(text);
      const std::string updated = zel::emu::SetIniValue(text, "Memoria", "C:\\ECF\\IBMFI32.MEM");
      bool found = false;
      if (zel::emu::IniValue(updated, "Memoria", &found) != "C:\\ECF\\IBMFI32.MEM" || !found) {
        __builtin_trap();
      }
      break;
    }
  }
  return 0;
}
