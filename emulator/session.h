// The glue between the exported entry points and the printer model: finds
// IBMFI32.INI in the system directory, keeps the printer's memory in step
// with its file (re-read whenever another process changed it, written
// atomically after every call that changed it), sets the printer's clock from
// the platform's, applies the faults and appends printed documents to the
// paper tape.
//
// Each call is one transaction on the printer, as one command on a serial
// line: it holds an exclusive lock on the memory's lock file (the memory
// file's name + ".lock") from reading the memory to the synced write of the
// new one and the printout, so commands from any number of processes (and
// threads) run one at a time and none is lost or undone by another. The
// lock also covers the MFD journal, and is not lost when the lock file is
// deleted or replaced while a command holds it (Platform::LockFile).
//
// The fiscal memory (one record per reduction, framed as the MFD's records,
// its payload the reduction's "z" line) is a journal too: the memory file's
// name + ".mf", kept in the same way; the memory file then holds no
// reductions, so its size does not grow with the printer's age. A memory
// file that still holds them moves them into the journal at its next write.
// A memory file of version 1 (no checksum, from before the journals) is
// taken only while neither journal exists, and is then written in the
// current version at once; beside a journal it is refused as a damaged
// file is (every call -1, LoadError() says why), the journals untouched.
//
// The MFD journal (mfd.h) is the memory file's name + ".mfd". A command that
// prints appends its lines to it as one record, synced, before the memory
// file that counts the journal's bytes is written; so a command is done when
// its memory is written. At the next call a journal longer than the memory
// says (a record torn by a crash, or whole but never counted) loses that
// tail: the command it belonged to did not happen. A journal shorter than
// the memory says, or a damaged record before that length, makes every call
// fail (-1) with the reason in LoadError(), as an unreadable memory file
// does: records are never dropped silently. Records are checked once per
// process as the journal grows, so a call's cost does not grow with the
// printer's history. One instance per process.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "emulator/config.h"
#include "emulator/mfd.h"
#include "emulator/persistence.h"
#include "emulator/printer.h"
#include "emulator/printer_state.h"
#include "platform/platform.h"

namespace zel::emu {

class Session {
 public:
  static Session& Instance();

  // Runs one entry point: -4 without IBMFI32.INI, -1 when the memory file
  // cannot be read or written (LoadError() says why), 0 when another process
  // kept the printer busy for kBusyWaitMs, -6 while the printer is off, the
  // fault's outcome when one fires, else body's code.
  // Pending faults count every call; "next" skips the status queries.
  int Call(std::string_view entry, const std::function<int(Printer&)>& body);

  // The control commands of faults.h plus:
  //   reset   a fresh memory (counters, totals, fiscal memory, faults)
  //   state   identity, clock, fiscal day, open document, counters, faults
  //   init    writes a default IBMFI32.INI when there is none, and a fresh
  //           memory when the memory file does not exist yet
  // 1 on success, -2 for an unknown command, -1 when the memory file cannot
  // be read or written (the answer says why). Works without IBMFI32.INI
  // (defaults apply).
  int Control(std::string_view command, std::string* answer);

  // How long a call waits for another process's command to finish.
  static constexpr int kBusyWaitMs = 30000;

  // Paths in use (after the last call).
  std::string IniPath() const;
  std::string TapePath();
  std::string ResultPath();  // the Path folder
  std::string MemoryPath() const { return memory_path_; }
  std::string LockPath() const { return memory_path_ + ".lock"; }
  std::string MfdPath() const { return memory_path_ + ".mfd"; }
  std::string MfPath() const { return memory_path_ + ".mf"; }
  // Every record of the MFD journal that belongs to completed commands, for
  // the command under way (called from an entry point's body). False, with
  // LoadError() set, when the journal cannot be read or is damaged.
  bool ReadMfd(const std::function<void(const MfdRecord&)>& on_record);
  // Why the last call could not use the memory ("" when it could).
  std::string LoadError() const { return load_error_; }

 private:
  Session() = default;
  // Takes the INI's settings and the paths of the memory and the tape.
  void Configure(const std::string& ini_text);
  // The printer's lock, or nullptr with *code set (0 busy, -1 with
  // load_error_ when the memory's folder is missing or the lock file cannot
  // be made).
  std::unique_ptr<platform::FileLock> LockPrinter(int* code);
  // Brings printer_ up to date with the memory file (under the lock). A
  // missing file is a fresh printer only with `fresh_if_missing`, or when
  // the INI names no memory file (first use of the default one). False,
  // with load_error_ set, when the memory file cannot be used.
  bool Load(bool fresh_if_missing = false);
  // A memory read from a file of version 1 (`memory`; *text the file's
  // text): refused, with load_error_ set, when the printer has a journal;
  // else written in the current version at once (*text becomes the new
  // file's text). False when refused or the write failed.
  bool UpgradeOldMemory(const PrinterMemory& memory, std::string* text);
  // Writes the memory when it changed and appends the printout. False when
  // the memory could not be written; the change is then dropped.
  bool Save();
  // Brings the MFD journal in line with the memory just loaded (see above).
  bool CheckMfd();
  // The same for the fiscal memory's journal; with `reloaded` (a memory
  // read from the file) the printer's reductions are filled from it.
  bool CheckMf(bool reloaded);
  // Appends the reductions the memory holds beyond the journal's count.
  bool AppendReductions();
  // Drops the in-process copy, so that the next call reads the file again.
  void Forget();
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
  bool memory_named_ = false;  // the INI's Memoria names the memory file
  std::string tape_path_;
  std::string load_error_;
  std::string memory_text_;
  std::unique_ptr<Printer> printer_;
  // The serialised reductions of printer_'s memory; reset whenever printer_
  // is replaced.
  FiscalMemoryCache fiscal_memory_cache_;
  // Journal bytes already checked by this process.
  int64_t mfd_verified_ = 0;
  // The fiscal memory's journal as read by this process, and its bytes.
  std::vector<ZRecord> reductions_;
  int64_t reductions_bytes_ = 0;
};

}  // namespace zel::emu
