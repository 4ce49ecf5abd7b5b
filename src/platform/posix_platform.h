// The POSIX implementation of Platform. Private to src/platform: the rest of
// the code reaches it through Current(), Native() and MakeNativePlatform().
// Its methods are spread over posix_platform.cc (libraries, folders, clock),
// posix_files.cc (files and folders) and posix_errors.cc (error codes).
#pragma once

#include <string>

#include "platform/platform.h"

namespace zel::platform {

// The Windows error code for a POSIX errno value (table in platform.h).
// ENOENT gives 2; callers that can tell a missing folder apart use
// MissingPathCode.
int WindowsErrorFromErrno(int error_number);

// 2 when the folder that should hold `system_path` exists (only the file is
// missing), 3 when the folder itself is missing.
int MissingPathCode(const std::string& system_path);

// Locks on open descriptors, held per open file (not per process), so two
// descriptors of one file exclude each other even inside one process, and
// released when the last descriptor of that open file is closed or the
// process ends. `exclusive` for a write lock, else a shared one; without
// `wait` the call does not block. False with errno set (EAGAIN or EACCES
// when held elsewhere).
bool LockDescriptor(int fd, bool exclusive, bool wait);

class PosixPlatform : public Platform {
 public:
  PosixPlatform() = default;

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
  void ProcessMessages() override {}
  void RequestTermination() override { termination_requested_ = true; }
  bool TerminationRequested() override { return termination_requested_; }

 private:
  // Record a failure and return false, for `return Fail(...)` in the callers.
  bool Fail(int code, std::string text);
  // A failure described by errno `error_number` while doing `what` on
  // `system_path`; ENOENT becomes 2 or 3 by MissingPathCode.
  bool FailErrno(int error_number, const char* what, const std::string& system_path);
  // The folder holding libzel_platform (and, beside it, the driver), in the
  // file system's encoding; "" when unknown.
  static std::string OwnLibraryFolder();
  LibraryHandle TryOpen(const std::string& system_path, std::string* error_text);
  // ReadWholeFile on a path already in the file system's encoding.
  bool ReadSystemFile(const std::string& system_path, std::string* out);
  // Writes all of `data` to an open descriptor; false with errno set.
  static bool WriteAll(int fd, const std::string& data);
  // Creates the temporary file of an atomic write of `system_file`, locked
  // for as long as the descriptor stays open; -1 with errno set on failure.
  static int CreateLockedTemporary(const std::string& system_file, std::string* temporary);

  int last_error_ = 0;
  std::string last_error_text_;
  std::string executable_directory_override_;
  bool termination_requested_ = false;
};

}  // namespace zel::platform
