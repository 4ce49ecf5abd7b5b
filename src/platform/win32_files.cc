// Win32 platform: files, folders, journals and locks.
#include <windows.h>

#include <atomic>
#include <string>

#include "platform/names.h"
#include "platform/win32_platform.h"

namespace zel::platform {

namespace {

// Closes a handle when the scope ends, keeping the thread's last error
// intact so that a failure path can still report the error that caused it.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (valid()) {
      DWORD saved = GetLastError();
      CloseHandle(handle_);
      SetLastError(saved);
    }
  }
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  bool Close() {
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE Open(const std::string& path, DWORD access, DWORD disposition, DWORD share = kShareAll,
            DWORD flags = FILE_ATTRIBUTE_NORMAL) {
  return CreateFileA(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

bool IsFileAt(const std::string& path) {
  DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsFolderAt(const std::string& path) {
  DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool WriteAll(HANDLE handle, const std::string& data) {
  const char* next = data.data();
  size_t left = data.size();
  while (left > 0) {
    DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!WriteFile(handle, next, chunk, &written, nullptr)) return false;
    next += written;
    left -= written;
  }
  return true;
}

std::string ParentOf(const std::string& path) {
  size_t separator = path.find_last_of('\\');
  if (separator == std::string::npos) return ".";
  return path.substr(0, separator);
}

std::string StripTrailingSeparators(std::string path) {
  while (path.size() > 1 && path.back() == '\\' && !(path.size() == 3 && path[1] == ':')) {
    path.pop_back();
  }
  return path;
}

// Six letters or digits that no other writer of this machine picks at the
// same moment: the process, a counter and the performance counter.
std::string RandomSuffix() {
  static std::atomic<unsigned> counter{0};
  LARGE_INTEGER ticks;
  QueryPerformanceCounter(&ticks);
  unsigned long long value = static_cast<unsigned long long>(ticks.QuadPart) * 2654435761ULL ^
                             (static_cast<unsigned long long>(GetCurrentProcessId()) << 20) ^
                             (static_cast<unsigned long long>(counter.fetch_add(1)) * 40503ULL);
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string suffix;
  for (size_t i = 0; i < kTemporaryRandom; ++i) {
    suffix += kDigits[value % 36];
    value /= 36;
  }
  return suffix;
}

// Removes the temporary files that atomic writes killed part way left in
// `folder`. A writer keeps its temporary file open without sharing until the
// rename, so deleting a file in progress fails and leaves it alone.
void RemoveLeftoverTemporaries(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (listing == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = entry.cFileName;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !IsTemporaryName(name)) {
      continue;
    }
    DeleteFileA((folder + "\\" + name).c_str());
  } while (FindNextFileA(listing, &entry));
  FindClose(listing);
}

bool SameFile(const std::string& a, const std::string& b) {
  Handle first(Open(a, 0, OPEN_EXISTING, kShareAll, FILE_FLAG_BACKUP_SEMANTICS));
  Handle second(Open(b, 0, OPEN_EXISTING, kShareAll, FILE_FLAG_BACKUP_SEMANTICS));
  BY_HANDLE_FILE_INFORMATION one;
  BY_HANDLE_FILE_INFORMATION two;
  if (!first.valid() || !second.valid() || !GetFileInformationByHandle(first.get(), &one) ||
      !GetFileInformationByHandle(second.get(), &two)) {
    return false;
  }
  return one.dwVolumeSerialNumber == two.dwVolumeSerialNumber &&
         one.nFileIndexHigh == two.nFileIndexHigh && one.nFileIndexLow == two.nFileIndexLow;
}

// Removes `path` and, for a folder, everything below it. The last error is
// set on false.
bool RemoveSystemTree(const std::string& path) {
  DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  // A link to a folder is removed, never followed.
  bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (!folder) return DeleteFileA(path.c_str()) != 0;
  bool ok = true;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (listing != INVALID_HANDLE_VALUE) {
      do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        if (!RemoveSystemTree(path + "\\" + name)) ok = false;
      } while (FindNextFileA(listing, &entry));
      DWORD saved = GetLastError();
      FindClose(listing);
      SetLastError(saved);
    }
  }
  if (!ok) return false;
  return RemoveDirectoryA(path.c_str()) != 0;
}

class Win32FileLock : public FileLock {
 public:
  explicit Win32FileLock(HANDLE handle) : handle_(handle) {}
  ~Win32FileLock() override { CloseHandle(handle_); }  // closing releases the lock

 private:
  HANDLE handle_;
};

}  // namespace

bool Win32Platform::FileExists(const std::string& path) {
  return !path.empty() && IsFileAt(ToSystemPath(path));
}

bool Win32Platform::DirectoryExists(const std::string& path) {
  return !path.empty() && IsFolderAt(ToSystemPath(path));
}

bool Win32Platform::MakeDirectory(const std::string& path) {
  std::string target = StripTrailingSeparators(ToSystemPath(path));
  if (target.empty()) return Fail(kErrorInvalidParameter, "empty folder name");
  if (IsFolderAt(target)) return true;
  // Each missing folder on the way, from the outermost in; a drive ("C:")
  // or a share ("\\server\share") is never made.
  size_t start = 1;
  if (target.size() >= 2 && target[1] == ':') start = 3;
  if (target.rfind("\\\\", 0) == 0) {
    size_t server = target.find('\\', 2);
    size_t share = server == std::string::npos ? server : target.find('\\', server + 1);
    start = share == std::string::npos ? target.size() : share + 1;
  }
  for (size_t separator = target.find('\\', start);; separator = target.find('\\', separator + 1)) {
    std::string prefix = separator == std::string::npos ? target : target.substr(0, separator);
    if (!IsFolderAt(prefix) && !CreateDirectoryA(prefix.c_str(), nullptr)) {
      DWORD error = GetLastError();
      if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
        if (!IsFolderAt(prefix)) {
          return Fail(kErrorAlreadyExists,
                      "a file stands where folder \"" + prefix + "\" should be");
        }
      } else {
        return FailSystem(error, "cannot create folder", prefix);
      }
    }
    if (separator == std::string::npos) break;
  }
  return true;
}

bool Win32Platform::CopyFileTo(const std::string& source, const std::string& target,
                               bool fail_if_exists) {
  std::string from = ToSystemPath(source);
  std::string to = ToSystemPath(target);
  if (from.empty() || to.empty()) return Fail(kErrorInvalidParameter, "empty file name");
  if (IsFolderAt(from)) return Fail(kErrorAccessDenied, "not a file: " + from);
  if (fail_if_exists && Attributes(to) != INVALID_FILE_ATTRIBUTES) {
    return Fail(kErrorFileExists, "the file \"" + to + "\" already exists");
  }
  if (SameFile(from, to)) {
    return Fail(kErrorSharingViolation, "cannot copy \"" + from + "\" onto itself");
  }
  if (!CopyFileA(from.c_str(), to.c_str(), fail_if_exists ? TRUE : FALSE)) {
    DWORD error = GetLastError();
    return FailSystem(error, "cannot copy to", to);
  }
  return true;
}

bool Win32Platform::RemoveFile(const std::string& path) {
  std::string file = ToSystemPath(path);
  if (file.empty()) return Fail(kErrorInvalidParameter, "empty file name");
  if (!DeleteFileA(file.c_str())) return FailSystem(GetLastError(), "cannot delete", file);
  return true;
}

bool Win32Platform::RenameFile(const std::string& from, const std::string& to) {
  std::string old_name = ToSystemPath(from);
  std::string new_name = ToSystemPath(to);
  if (old_name.empty() || new_name.empty()) return Fail(kErrorInvalidParameter, "empty file name");
  if (Attributes(old_name) == INVALID_FILE_ATTRIBUTES) {
    return FailSystem(GetLastError(), "cannot rename", old_name);
  }
  if (Attributes(new_name) != INVALID_FILE_ATTRIBUTES) {
    return Fail(kErrorAlreadyExists, "the file \"" + new_name + "\" already exists");
  }
  if (!MoveFileA(old_name.c_str(), new_name.c_str())) {
    return FailSystem(GetLastError(), "cannot rename to", new_name);
  }
  return true;
}

std::string Win32Platform::FirstMatch(const std::string& pattern) {
  std::string system_pattern = ToSystemPath(pattern);
  size_t separator = system_pattern.find_last_of('\\');
  std::string folder = separator == std::string::npos ? "." : system_pattern.substr(0, separator);
  std::string name_pattern =
      separator == std::string::npos ? system_pattern : system_pattern.substr(separator + 1);
  if (name_pattern == "*.*") name_pattern = "*";
  if (folder.empty() || !IsFolderAt(folder + "\\")) {
    Fail(kErrorPathNotFound, "folder not found: " + folder);
    return "";
  }
  // The system also matches the short (8.3) names; only the long names count,
  // compared as everywhere else, and the smallest in name order wins.
  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstFileA(system_pattern.c_str(), &entry);
  std::string best;
  bool found = false;
  if (listing != INVALID_HANDLE_VALUE) {
    do {
      std::string name = entry.cFileName;
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
      if (!WildcardMatch(name_pattern, name)) continue;
      if (!found || NameOrderLess(name, best)) {
        best = name;
        found = true;
      }
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
  }
  if (!found) Fail(kErrorFileNotFound, "no file matches " + pattern);
  return best;
}

bool Win32Platform::ReadOpened(void* handle, const std::string& path, std::string* out) {
  LARGE_INTEGER size;
  if (GetFileSizeEx(handle, &size) && size.QuadPart > 0) {
    out->reserve(static_cast<size_t>(size.QuadPart));
  }
  char buffer[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(handle, buffer, sizeof(buffer), &got, nullptr)) {
      DWORD error = GetLastError();
      out->clear();
      return FailSystem(error, "cannot read", path);
    }
    if (got == 0) break;
    out->append(buffer, got);
  }
  return true;
}

bool Win32Platform::ReadWholeFile(const std::string& path, std::string* out) {
  out->clear();
  std::string file = ToSystemPath(path);
  if (file.empty()) return Fail(kErrorInvalidParameter, "empty file name");
  if (IsFolderAt(file)) return Fail(kErrorAccessDenied, "a folder, not a file: " + file);
  Handle input(Open(file, GENERIC_READ, OPEN_EXISTING));
  if (!input.valid()) return FailSystem(GetLastError(), "cannot open", file);
  return ReadOpened(input.get(), file, out);
}

bool Win32Platform::ReadWholeFileByNativeName(const std::string& native_path, std::string* out) {
  out->clear();
  if (native_path.empty()) return Fail(kErrorInvalidParameter, "empty file name");
  // The command line's UTF-8 as the system's wide form, so any name works.
  int length = MultiByteToWideChar(CP_UTF8, 0, native_path.data(),
                                   static_cast<int>(native_path.size()), nullptr, 0);
  if (length <= 0) return Fail(kErrorInvalidParameter, "not a UTF-8 file name: " + native_path);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, native_path.data(), static_cast<int>(native_path.size()),
                      wide.data(), length);
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return Fail(kErrorAccessDenied, "a folder, not a file: " + native_path);
  }
  Handle input(CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!input.valid()) return FailSystem(GetLastError(), "cannot open", native_path);
  return ReadOpened(input.get(), native_path, out);
}

bool Win32Platform::WriteWholeFile(const std::string& path, const std::string& data) {
  std::string file = ToSystemPath(path);
  if (file.empty()) return Fail(kErrorInvalidParameter, "empty file name");
  Handle output(Open(file, GENERIC_WRITE, CREATE_ALWAYS, FILE_SHARE_READ | FILE_SHARE_DELETE));
  if (!output.valid()) return FailSystem(GetLastError(), "cannot create", file);
  if (!WriteAll(output.get(), data) || !output.Close()) {
    return FailSystem(GetLastError(), "cannot write", file);
  }
  return true;
}

bool Win32Platform::WriteFileAtomically(const std::string& path, const std::string& data) {
  std::string file = ToSystemPath(path);
  if (file.empty()) return Fail(kErrorInvalidParameter, "empty file name");
  RemoveLeftoverTemporaries(ParentOf(file));
  // The temporary file sits beside the target (a rename is atomic only
  // within one volume) and is opened without sharing, so a cleaner in
  // another process cannot delete it while it is written. A cleaner that
  // deletes it between the close and the rename makes the rename fail with
  // "not found"; then the write starts again.
  DWORD error = ERROR_GEN_FAILURE;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string temporary = file + kTemporaryMark + RandomSuffix();
    Handle output(Open(temporary, GENERIC_WRITE, CREATE_NEW, 0));
    if (!output.valid()) {
      error = GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      return FailSystem(error, "cannot create", file);
    }
    bool written = WriteAll(output.get(), data) && FlushFileBuffers(output.get());
    error = GetLastError();
    bool closed = output.Close();
    if (written && closed &&
        MoveFileExA(temporary.c_str(), file.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return true;
    }
    if (written && closed) error = GetLastError();
    DeleteFileA(temporary.c_str());
    if (written && closed && error == ERROR_FILE_NOT_FOUND && IsFolderAt(ParentOf(file))) {
      continue;
    }
    return FailSystem(error, "cannot write", file);
  }
  return FailSystem(error, "cannot create", file);
}

bool Win32Platform::AppendToFile(const std::string& path, const std::string& data) {
  std::string file = ToSystemPath(path);
  if (file.empty()) return Fail(kErrorInvalidParameter, "empty file name");
  Handle output(Open(file, FILE_APPEND_DATA, OPEN_ALWAYS));
  if (!output.valid()) return FailSystem(GetLastError(), "cannot open", file);
  if (!WriteAll(output.get(), data) || !output.Close()) {
    return FailSystem(GetLastError(), "cannot write", file);
  }
  return true;
}

bool Win32Platform::AppendDurably(const std::string& path, const std::string& data) {
  std::string file = ToSystemPath(path);
  if (file.empty()) return Fail(kErrorInvalidParameter, "empty file name");
  // Write-through puts the data and a new file's entry on the disk before
  // WriteFile returns; the flush covers what the system still holds.
  Handle output(Open(file, FILE_APPEND_DATA, OPEN_ALWAYS, kShareAll,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH));
  if (!output.valid()) return FailSystem(GetLastError(), "cannot open", file);
  if (!WriteAll(output.get(), data) || !FlushFileBuffers(output.get()) || !output.Close()) {
    return FailSystem(GetLastError(), "cannot write", file);
  }
  return true;
}

int64_t Win32Platform::FileSize(const std::string& path) {
  std::string file = ToSystemPath(path);
  if (file.empty()) {
    Fail(kErrorInvalidParameter, "empty file name");
    return -1;
  }
  WIN32_FILE_ATTRIBUTE_DATA info;
  if (!GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &info)) {
    FailSystem(GetLastError(), "cannot examine", file);
    return -1;
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    Fail(kErrorAccessDenied, "not a regular file: " + file);
    return -1;
  }
  return (static_cast<int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

bool Win32Platform::ReadFileRange(const std::string& path, int64_t offset, int64_t size,
                                  std::string* out) {
  out->clear();
  std::string file = ToSystemPath(path);
  if (file.empty() || offset < 0 || size < 0) return Fail(kErrorInvalidParameter, "bad range");
  Handle input(Open(file, GENERIC_READ, OPEN_EXISTING));
  if (!input.valid()) return FailSystem(GetLastError(), "cannot open", file);
  out->resize(static_cast<size_t>(size));
  size_t done = 0;
  while (done < out->size()) {
    uint64_t at = static_cast<uint64_t>(offset) + done;
    OVERLAPPED position = {};
    position.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
    position.OffsetHigh = static_cast<DWORD>(at >> 32);
    size_t left = out->size() - done;
    DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
    DWORD got = 0;
    if (!ReadFile(input.get(), out->data() + done, chunk, &got, &position)) {
      DWORD error = GetLastError();
      if (error == ERROR_HANDLE_EOF) break;
      out->clear();
      return FailSystem(error, "cannot read", file);
    }
    if (got == 0) break;
    done += got;
  }
  out->resize(done);
  return true;
}

bool Win32Platform::TruncateFile(const std::string& path, int64_t size) {
  std::string file = ToSystemPath(path);
  if (file.empty() || size < 0) return Fail(kErrorInvalidParameter, "bad size");
  Handle output(Open(file, GENERIC_WRITE, OPEN_EXISTING));
  if (!output.valid()) return FailSystem(GetLastError(), "cannot open", file);
  LARGE_INTEGER length;
  length.QuadPart = size;
  if (!SetFilePointerEx(output.get(), length, nullptr, FILE_BEGIN) || !SetEndOfFile(output.get()) ||
      !FlushFileBuffers(output.get()) || !output.Close()) {
    return FailSystem(GetLastError(), "cannot truncate", file);
  }
  return true;
}

std::string Win32Platform::MakeTempDirectory(const std::string& prefix) {
  char buffer[MAX_PATH + 1];
  DWORD length = GetTempPathA(sizeof(buffer), buffer);
  std::string base = length > 0 && length < sizeof(buffer) ? std::string(buffer, length) : ".\\";
  base = StripTrailingSeparators(base);
  DWORD error = ERROR_GEN_FAILURE;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string folder = base + "\\" + ToSystemPath(prefix) + RandomSuffix();
    if (CreateDirectoryA(folder.c_str(), nullptr)) return folder;
    error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS) break;
  }
  FailSystem(error, "cannot create temporary folder in", base);
  return "";
}

bool Win32Platform::RemoveTree(const std::string& path) {
  std::string root = StripTrailingSeparators(ToSystemPath(path));
  // Refuse the obvious disasters a wrong variable could cause.
  bool drive_root = (root.size() == 2 || root.size() == 3) && root[1] == ':';
  if (root.empty() || root == "\\" || root == "." || root == ".." || drive_root) {
    return Fail(kErrorInvalidParameter, "refusing to remove \"" + root + "\"");
  }
  if (!RemoveSystemTree(root)) return FailSystem(GetLastError(), "cannot remove", root);
  return true;
}

std::unique_ptr<FileLock> Win32Platform::LockFile(const std::string& path, int timeout_ms) {
  std::string file = ToSystemPath(path);
  if (file.empty()) {
    Fail(kErrorInvalidParameter, "empty file name");
    return nullptr;
  }
  // Opened without FILE_SHARE_DELETE: while any holder (or waiter) has the
  // file open, its name can be neither deleted nor given to another file
  // (DeleteFile fails with a sharing violation, a move onto it is refused),
  // so the file every holder locks is always the one its name leads to.
  HANDLE handle =
      Open(file, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (handle == INVALID_HANDLE_VALUE) {
    FailSystem(GetLastError(), "cannot open", file);
    return nullptr;
  }
  auto lock = std::make_unique<Win32FileLock>(handle);  // closes the handle on failure
  // The lock belongs to the handle, so a second handle in this process is
  // excluded like another process. The largest range covers the whole file
  // however long it grows.
  const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (timeout_ms < 0 ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
  const ULONGLONG deadline =
      GetTickCount64() + static_cast<ULONGLONG>(timeout_ms < 0 ? 0 : timeout_ms);
  DWORD pause = 1;
  for (;;) {
    OVERLAPPED range = {};
    if (LockFileEx(handle, flags, 0, MAXDWORD, MAXDWORD, &range)) return lock;
    DWORD error = GetLastError();
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
      FailSystem(error, "cannot lock", file);
      return nullptr;
    }
    ULONGLONG now = GetTickCount64();
    if (now >= deadline) break;
    ULONGLONG left = deadline - now;
    Sleep(pause < left ? pause : static_cast<DWORD>(left));
    if (pause < 10) pause *= 2;
  }
  Fail(kErrorLockViolation, "\"" + file + "\" is locked by another process");
  return nullptr;
}

}  // namespace zel::platform
