// The glue between the exported entry points and the printer model: finds
// IBMFI32.INI in the system directory, keeps the printer's memory in step
// with its file (re-read whenever another process changed it, written
// atomically after every call that changed it), sets the printer's clock from
// the platform's, applies the faults and appends printed documents to the
// paper tape. One instance per process; calls are serialised.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "emulator/config.h"
#include "emulator/persistence.h"
#include "emulator/printer.h"
#include "emulator/printer_state.h"

namespace zel::emu {

class Session {
 public:
  static Session& Instance();

  // Runs one entry point: -4 without IBMFI32.INI, -1 when the memory file
  // cannot be read or written, -6 while the printer is off, the fault's
  // outcome when one fires, else body's code.
  // Pending faults count every call; "next" skips the status queries.
  int Call(std::string_view entry, const std::function<int(Printer&)>& body);

  // The control commands of faults.h plus:
  //   reset   a fresh memory (counters, totals, fiscal memory, faults)
  //   state   identity, clock, fiscal day, open document, counters, faults
  //   init    writes a default IBMFI32.INI when there is none
  // 1 on success, -2 for an unknown command, -1 when the memory file cannot
  // be read or written. Works without IBMFI32.INI (defaults apply).
  int Control(std::string_view command, std::string* answer);

  // Paths in use (after the last call).
  std::string IniPath() const;
  std::string TapePath();
  std::string ResultPath();  // the Path folder

 private:
  Session() = default;
  // Brings config_ and printer_ up to date with the files. False when the
  // memory file is unreadable.
  bool Load(const std::string& ini_text);
  // Writes the memory when it changed and appends the printout. False when
  // the memory could not be written, or (unless `replace`) when another
  // process rewrote the file since Load; the change is then dropped.
  bool Save(bool replace = false);
  std::string StateText();
  // Call without the lock and without the exception guard.
  int CallLocked(std::string_view entry, const std::function<int(Printer&)>& body);
  int ControlLocked(std::string_view command, std::string* answer);
  // The command itself, or the pending fault that replaces it.
  int RunBody(Printer& printer, const std::optional<PendingFault>& fault,
              const std::function<int(Printer&)>& body);

  std::mutex mutex_;
  std::string ini_text_ = "\x01";  // never a real file's text: forces the first parse
  EmulatorConfig config_;
  std::string memory_path_;
  std::string tape_path_;
  std::string memory_text_;
  std::unique_ptr<Printer> printer_;
  // The serialised reductions of printer_'s memory; reset whenever printer_
  // is replaced.
  FiscalMemoryCache fiscal_memory_cache_;
};

}  // namespace zel::emu
