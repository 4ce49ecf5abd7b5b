// A platform for tests: the operating system's own, with every folder rooted
// in a fresh temporary folder, a clock the test sets and moves, an instant
// Delay, and failures on demand.
//
//   zel::test::SandboxPlatform sandbox;             // now Current()
//   sandbox.SetNow(zel::EncodeDateTime(2026, 1, 2, 8, 0, 0, 0));
//   sandbox.FailNextCopy(zel::platform::kErrorAccessDenied);
//   ... code under test ...
//   EXPECT_EQ(sandbox.total_delay_ms(), 300);
//
// The constructor installs the sandbox as platform::Current() (and so as the
// runtime's clock); the destructor restores the platform that was current
// before and removes the temporary folder with everything in it. Sandboxes
// nest when destroyed in reverse order.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace zel::test {

class SandboxPlatform : public platform::PlatformWrapper {
 public:
  SandboxPlatform();
  ~SandboxPlatform() override;

  // The temporary folder (Windows-1252 text, native separators).
  const std::string& root() const { return root_; }
  // `relative` (which may use "\") joined to the root.
  std::string Path(const std::string& relative) const;

  // ---- clock ----
  // Default 10/12/2026 10:00:00.000.
  void SetNow(TDateTime now) { now_ = now; }
  void AdvanceMilliseconds(int64_t milliseconds);
  void AdvanceSeconds(int64_t seconds) { AdvanceMilliseconds(seconds * 1000); }
  // Milliseconds asked of Delay so far (negative requests count as zero) and
  // the number of calls.
  int64_t total_delay_ms() const { return total_delay_ms_; }
  int delay_calls() const { return delay_calls_; }
  // When on, Delay also moves the clock forward (off by default).
  void set_delay_advances_clock(bool advances) { delay_advances_clock_ = advances; }
  int process_messages_calls() const { return process_messages_calls_; }

  // ---- failures on demand ----
  // The `nth` CopyFileTo call from now (1 = the next) fails with
  // `error_code`, without copying; the calls before and after it work.
  void FailNthCopy(int nth, int error_code);
  void FailNextCopy(int error_code) { FailNthCopy(1, error_code); }
  // CopyFileTo calls made so far, failed ones included.
  int copy_calls() const { return copy_calls_; }
  // Every OpenLibrary fails with `error_code` until switched off.
  void FailOpenLibrary(bool fail, int error_code = platform::kErrorModNotFound);
  // The next WriteWholeFile, WriteFileAtomically or AppendToFile fails with
  // `error_code` and writes nothing.
  void FailNextWrite(int error_code);

  // ---- overrides ----
  // Searches, before the platform's own order, the sandbox's executable
  // folder and the build's library folder (environment ZEL_BUILD_BIN), so
  // tests load the project's real libraries.
  platform::LibraryHandle OpenLibrary(const std::string& name) override;
  // <root>/system and <root>/host (both created); SetExecutableDirectory
  // moves the latter, an empty text restores it.
  std::string SystemDirectory() override { return system_directory_; }
  std::string ExecutableDirectory() override { return executable_directory_; }
  void SetExecutableDirectory(const std::string& directory) override;
  // <root>/MenuFiscal (not created, as on a till without the folder).
  std::string MenuFiscalDirectory() override { return Path("MenuFiscal"); }
  bool CopyFileTo(const std::string& source, const std::string& target,
                  bool fail_if_exists) override;
  bool WriteWholeFile(const std::string& path, const std::string& data) override;
  bool WriteFileAtomically(const std::string& path, const std::string& data) override;
  bool AppendToFile(const std::string& path, const std::string& data) override;
  TDateTime Now() override { return now_; }
  void Delay(int milliseconds) override;
  void ProcessMessages() override { ++process_messages_calls_; }

 private:
  // True (and the error recorded) when an injected write failure is due.
  bool WriteFailureDue();

  platform::Platform* previous_;
  std::string root_;
  std::string system_directory_;
  std::string executable_directory_;
  TDateTime now_;
  int64_t total_delay_ms_ = 0;
  int delay_calls_ = 0;
  bool delay_advances_clock_ = false;
  int process_messages_calls_ = 0;
  int copy_calls_ = 0;
  int copy_failure_at_ = 0;  // copy_calls_ value whose call fails; 0 = none
  int copy_failure_code_ = 0;
  bool library_failure_ = false;
  int library_failure_code_ = 0;
  int write_failure_code_ = 0;  // 0 = none pending
};

}  // namespace zel::test
