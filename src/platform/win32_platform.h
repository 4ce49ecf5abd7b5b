// The Win32 implementation of Platform. Private to src/platform: the rest of
// the code reaches it through Current(), Native() and MakeNativePlatform().
// Its methods are spread over win32_platform.cc (libraries, folders, clock,
// errors) and win32_files.cc (files, folders, journals and locks). Paths are
// handed to the ANSI ("A") functions unchanged: on a till the ANSI code page
// is Windows-1252, the driver's own encoding.
#pragma once

#include <string>

#include "platform/platform.h"

namespace zel::platform {

class Win32Platform : public Platform {
 public:
  Win32Platform() = default;

  LibraryHandle OpenLibrary(const std::string& name) override;
  void* LibrarySymbol(LibraryHandle library, const std::string& name) override;
  void CloseLibrary(LibraryHandle library) override;
  std::string SystemDirectory() override;
  std::string ExecutableDirectory() override;
  void SetExecutableDirectory(const std::string& directory) override;
  std::string MenuFiscalDirectory() override;
  std::string ShortPath(const std::string& path) override;
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool MakeDirectory(const std::string& path) override;
  bool CopyFileTo(const std::string& source, const std::string& target,
                  bool fail_if_exists) override;
  bool RemoveFile(const std::string& path) override;
  bool RenameFile(const std::string& from, const std::string& to) override;
  std::string FirstMatch(const std::string& pattern) override;
  bool ReadWholeFile(const std::string& path, std::string* out) override;
  bool ReadWholeFileByNativeName(const std::string& native_path, std::string* out) override;
  bool WriteWholeFile(const std::string& path, const std::string& data) override;
  bool WriteFileAtomically(const std::string& path, const std::string& data) override;
  bool AppendToFile(const std::string& path, const std::string& data) override;
  bool AppendDurably(const std::string& path, const std::string& data) override;
  int64_t FileSize(const std::string& path) override;
  bool ReadFileRange(const std::string& path, int64_t offset, int64_t size,
                     std::string* out) override;
  bool TruncateFile(const std::string& path, int64_t size) override;
  std::string MakeTempDirectory(const std::string& prefix) override;
  bool RemoveTree(const std::string& path) override;
  std::unique_ptr<FileLock> LockFile(const std::string& path, int timeout_ms) override;
  int LastError() override { return last_error_; }
  void SetLastErrorCode(int code) override;
  std::string LastErrorText() override { return last_error_text_; }
  TDateTime Now() override;
  void Delay(int milliseconds) override;
  void ProcessMessages() override;
  void RequestTermination() override { termination_requested_ = true; }
  bool TerminationRequested() override { return termination_requested_; }

 private:
  // Records a failure and returns false, for `return Fail(...)` in callers.
  bool Fail(int code, std::string text);
  // A failure described by the system's error `code` (GetLastError) while
  // doing `what` on `path`.
  bool FailSystem(unsigned long code, const char* what, const std::string& path);
  // The folder holding zel_platform's DLL (and, beside it, the driver); ""
  // when unknown.
  static std::string OwnLibraryFolder();
  // Writes `data` to a new file `path`, flushed to disk; removes it on
  // failure. `path` must not exist.
  bool WriteNewFlushed(const std::string& path, const std::string& data);
  bool ReadOpened(void* handle, const std::string& path, std::string* out);

  int last_error_ = 0;
  std::string last_error_text_;
  std::string executable_directory_override_;
  bool termination_requested_ = false;
};

}  // namespace zel::platform
