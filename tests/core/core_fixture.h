// Common set-up of the driver core tests: a sandbox platform (fixed clock
// 10/12/2026 10:00:00, private folders), a recording host for dialogs, fakes
// in every vendor entry point, and the module state reset before and after.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_vendor.h"
#include "support/recording_host.h"
#include "support/sandbox_platform.h"
#include "zel01900/testing.h"
#include "zel01900/zel01900.h"

namespace zel::test {

template <typename SandboxType>
class CoreTestWith : public ::testing::Test {
 protected:
  // This month's debug log (the sandbox clock says December 2026).
  std::string LogPath() {
    return platform::JoinPath(sandbox_.ExecutableDirectory(), "impdebug1226.txt");
  }
  // The whole debug log, "" when it does not exist.
  std::string LogText() {
    std::string text;
    sandbox_.ReadWholeFile(LogPath(), &text);
    return text;
  }
  // The debug-log entries written at the sandbox's time, without the
  // "10/12/2026 10:00:00 - " prefix and the CR LF; a text that is not such an
  // entry is returned as it stands so that the comparison shows it.
  std::vector<std::string> LogEntries() {
    static const std::string kPrefix = "10/12/2026 10:00:00 - ";
    std::vector<std::string> entries;
    const std::string text = LogText();
    size_t pos = 0;
    while (pos < text.size()) {
      size_t next = text.find("\r\n" + kPrefix, pos);
      size_t end = next == std::string::npos ? text.size() : next + 2;
      std::string entry = text.substr(pos, end - pos);
      if (entry.rfind(kPrefix, 0) == 0 && entry.size() >= kPrefix.size() + 2 &&
          entry.compare(entry.size() - 2, 2, "\r\n") == 0) {
        entry = entry.substr(kPrefix.size(), entry.size() - kPrefix.size() - 2);
      }
      entries.push_back(entry);
      pos = end;
    }
    return entries;
  }

  // Resets the module before the fakes go in and after they come out.
  struct ModuleReset {
    ModuleReset() { ZelResetModuleState(); }
    ~ModuleReset() { ZelResetModuleState(); }
  };

  ModuleReset reset_;
  SandboxType sandbox_;
  RecordingHost host_;
  FakeVendor fake_;
};

using CoreTest = CoreTestWith<SandboxPlatform>;

}  // namespace zel::test
