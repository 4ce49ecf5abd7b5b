#include "support/sandbox_platform.h"

#include <cstdlib>
#include <stdexcept>

namespace zel::test {

namespace {

std::string BuildLibraryFolder() {
  const char* folder = std::getenv("ZEL_BUILD_BIN");
  return folder != nullptr ? platform::FromSystemPath(folder) : std::string();
}

}  // namespace

SandboxPlatform::SandboxPlatform()
    : platform::PlatformWrapper(platform::MakeNativePlatform().release()),
      previous_(&platform::Current()),
      now_(EncodeDateTime(2026, 12, 10, 10, 0, 0, 0)) {
  root_ = target()->MakeTempDirectory("zel-sandbox-");
  if (root_.empty()) {
    std::string reason = target()->LastErrorText();
    delete target();
    throw std::runtime_error("cannot create a sandbox folder: " + reason);
  }
  system_directory_ = Path("system");
  executable_directory_ = Path("host");
  target()->MakeDirectory(system_directory_);
  target()->MakeDirectory(executable_directory_);
  platform::SetCurrent(this);
}

SandboxPlatform::~SandboxPlatform() {
  platform::SetCurrent(previous_);
  target()->RemoveTree(root_);
  delete target();
}

std::string SandboxPlatform::Path(const std::string& relative) const {
  return platform::JoinPath(root_, relative);
}

void SandboxPlatform::AdvanceMilliseconds(int64_t milliseconds) {
  now_ = IncMilliSecond(now_, milliseconds);
}

void SandboxPlatform::Delay(int milliseconds) {
  ++delay_calls_;
  if (milliseconds <= 0) return;
  total_delay_ms_ += milliseconds;
  if (delay_advances_clock_) AdvanceMilliseconds(milliseconds);
}

void SandboxPlatform::FailNthCopy(int nth, int error_code) {
  copy_failure_at_ = nth > 0 ? copy_calls_ + nth : 0;
  copy_failure_code_ = error_code;
}

void SandboxPlatform::FailOpenLibrary(bool fail, int error_code) {
  library_failure_ = fail;
  library_failure_code_ = error_code;
}

void SandboxPlatform::FailNextWrite(int error_code) { write_failure_code_ = error_code; }

void SandboxPlatform::SetExecutableDirectory(const std::string& directory) {
  // Returned folders use native separators and no trailing one, as the
  // operating system's platform gives them.
  const char separator = platform::NativeIsWindows() ? '\\' : '/';
  std::string folder = directory;
  for (char& c : folder) {
    if (c == '\\' || c == '/') c = separator;
  }
  while (folder.size() > 1 && folder.back() == separator) folder.pop_back();
  executable_directory_ = folder.empty() ? Path("host") : folder;
}

platform::LibraryHandle SandboxPlatform::OpenLibrary(const std::string& name) {
  if (library_failure_) {
    SetLastErrorCode(library_failure_code_);
    return nullptr;
  }
  std::string file = platform::SystemLibraryName(name);
  if (file.find_first_of("\\/") == std::string::npos) {
    for (const std::string& folder : {executable_directory_, BuildLibraryFolder()}) {
      if (folder.empty()) continue;
      std::string candidate = platform::JoinPath(folder, file);
      // A library that is there but does not load is the answer: its error
      // says more than a search elsewhere would.
      if (target()->FileExists(candidate)) return target()->OpenLibrary(candidate);
    }
  }
  return target()->OpenLibrary(name);
}

bool SandboxPlatform::CopyFileTo(const std::string& source, const std::string& target_path,
                                 bool fail_if_exists) {
  ++copy_calls_;
  if (copy_calls_ == copy_failure_at_) {
    copy_failure_at_ = 0;
    SetLastErrorCode(copy_failure_code_);
    return false;
  }
  return target()->CopyFileTo(source, target_path, fail_if_exists);
}

bool SandboxPlatform::WriteFailureDue() {
  if (write_failure_code_ == 0) return false;
  SetLastErrorCode(write_failure_code_);
  write_failure_code_ = 0;
  return true;
}

bool SandboxPlatform::WriteWholeFile(const std::string& path, const std::string& data) {
  return !WriteFailureDue() && target()->WriteWholeFile(path, data);
}

bool SandboxPlatform::WriteFileAtomically(const std::string& path, const std::string& data) {
  return !WriteFailureDue() && target()->WriteFileAtomically(path, data);
}

bool SandboxPlatform::AppendToFile(const std::string& path, const std::string& data) {
  return !WriteFailureDue() && target()->AppendToFile(path, data);
}

}  // namespace zel::test
