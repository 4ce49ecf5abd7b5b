// The Win32 implementation of Platform, for the host's own system. Paths are
// Windows-1252 texts handed to the ANSI entry points unchanged (the ANSI code
// page of a Brazilian till is 1252), and the error codes are the system's
// own, so they need no table.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "runtime/datetime.h"

namespace zel::platform {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// "/" as "\", which every ANSI entry point takes.
std::string Native(const std::string& path) {
  std::string out = path;
  std::replace(out.begin(), out.end(), '/', '\\');
  return out;
}

std::string Folder(const std::string& path) {
  const size_t at = path.find_last_of("\\/");
  return at == std::string::npos ? std::string() : path.substr(0, at);
}

int CompareNoCase(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const char x = AsciiLower(a[i]);
    const char y = AsciiLower(b[i]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// '*' and '?' over ASCII letters without regard to case.
bool WildcardMatch(const char* pattern, const char* name) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name != '\0') {
    if (*pattern == '?' || (*pattern != '*' && AsciiLower(*pattern) == AsciiLower(*name))) {
      ++pattern;
      ++name;
    } else if (*pattern == '*') {
      star = pattern++;
      resume = name;
    } else if (star != nullptr) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

class Handle {
 public:
  explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (valid()) CloseHandle(h_);
  }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE get() const { return h_; }
  void reset(HANDLE h) {
    if (valid()) CloseHandle(h_);
    h_ = h;
  }
  HANDLE release() {
    HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    return h;
  }

 private:
  HANDLE h_;
};

bool WriteAll(HANDLE h, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(h, data.data() + done, chunk, &written, nullptr)) return false;
    done += written;
  }
  return true;
}

class Win32Lock : public FileLock {
 public:
  explicit Win32Lock(HANDLE h) : h_(h) {}
  ~Win32Lock() override {
    OVERLAPPED whole = {};
    UnlockFileEx(h_, 0, MAXDWORD, MAXDWORD, &whole);
    CloseHandle(h_);
  }

 private:
  HANDLE h_;
};

class Win32Platform : public Platform {
 public:
  LibraryHandle OpenLibrary(const std::string& name) override {
    const std::string file = Native(name);
    if (file.find('\\') != std::string::npos) {
      HMODULE module = LoadLibraryExA(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
      if (module == nullptr) return FailLibrary(name);
      return module;
    }
    // The system's order first (the program's folder, the system folders,
    // the current folder, PATH), then the folder of the driver's own
    // libraries, then the host's folder.
    if (HMODULE module = LoadLibraryA(file.c_str())) return module;
    for (const std::string& folder : {OwnLibraryFolder(), ExecutableDirectory()}) {
      if (folder.empty()) continue;
      const std::string path = JoinPath(folder, file);
      if (HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {
        return module;
      }
    }
    return FailLibrary(name);
  }

  void* LibrarySymbol(LibraryHandle library, const std::string& name) override {
    if (library == nullptr) return FailWith(kErrorProcNotFound, "no library"), nullptr;
    FARPROC symbol = GetProcAddress(static_cast<HMODULE>(library), name.c_str());
    if (symbol == nullptr) {
      FailWith(kErrorProcNotFound, "the library does not export " + name);
      return nullptr;
    }
    return reinterpret_cast<void*>(symbol);
  }

  void CloseLibrary(LibraryHandle library) override {
    if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
  }

  std::string SystemDirectory() override {
    std::string dir = Environment("ZEL_SYSTEM_DIR");
    if (dir.empty()) {
      char buffer[MAX_PATH + 1] = {};
      const UINT n = GetSystemDirectoryA(buffer, MAX_PATH);
      dir.assign(buffer, n <= MAX_PATH ? n : 0);
    } else {
      MakeDirectory(dir);
    }
    return Trimmed(Native(dir));
  }

  std::string ExecutableDirectory() override {
    if (!executable_directory_override_.empty()) return executable_directory_override_;
    const std::string env = Environment("ZEL_HOST_DIR");
    if (!env.empty()) return Trimmed(Native(env));
    char buffer[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return Folder(std::string(buffer, n <= MAX_PATH ? n : 0));
  }

  void SetExecutableDirectory(const std::string& directory) override {
    executable_directory_override_ = directory.empty() ? directory : Trimmed(Native(directory));
  }

  std::string MenuFiscalDirectory() override {
    const std::string env = Environment("ZEL_MENUFISCAL_DIR");
    return env.empty() ? std::string("C:\\MenuFiscal") : Trimmed(Native(env));
  }

  std::string ShortPath(const std::string& path) override {
    char buffer[MAX_PATH + 1] = {};
    const DWORD n = GetShortPathNameA(Native(path).c_str(), buffer, MAX_PATH);
    if (n == 0 || n > MAX_PATH) return path;
    return std::string(buffer, n);
  }

  bool FileExists(const std::string& path) override {
    const DWORD attributes = GetFileAttributesA(Native(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool DirectoryExists(const std::string& path) override {
    const DWORD attributes = GetFileAttributesA(Native(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool MakeDirectory(const std::string& path) override {
    const std::string dir = Trimmed(Native(path));
    if (dir.empty()) return FailWith(kErrorInvalidParameter, "an empty folder name");
    if (DirectoryExists(dir)) return true;
    const std::string parent = Folder(dir);
    if (!parent.empty() && parent.back() != ':' && !DirectoryExists(parent) &&
        !MakeDirectory(parent)) {
      return false;
    }
    if (CreateDirectoryA(dir.c_str(), nullptr) || DirectoryExists(dir)) return true;
    if (FileExists(dir)) return FailWith(kErrorAlreadyExists, "a file has the name " + dir);
    return FailSystem("cannot make the folder " + dir);
  }

  bool CopyFileTo(const std::string& source, const std::string& target,
                  bool fail_if_exists) override {
    if (SameFile(source, target)) {
      return FailWith(kErrorSharingViolation, "a file cannot be copied onto itself");
    }
    if (CopyFileA(Native(source).c_str(), Native(target).c_str(), fail_if_exists ? TRUE : FALSE)) {
      return true;
    }
    return FailSystem("cannot copy " + source + " to " + target);
  }

  bool RemoveFile(const std::string& path) override {
    if (DeleteFileA(Native(path).c_str())) return true;
    return FailSystem("cannot remove " + path);
  }

  bool RenameFile(const std::string& from, const std::string& to) override {
    if (MoveFileA(Native(from).c_str(), Native(to).c_str())) return true;
    return FailSystem("cannot rename " + from + " to " + to);
  }

  std::string FirstMatch(const std::string& pattern) override {
    const std::string native = Native(pattern);
    const std::string folder = Folder(native);
    const std::string wanted = native.substr(folder.empty() ? 0 : folder.size() + 1);
    if (!folder.empty() && !DirectoryExists(folder)) {
      FailWith(kErrorPathNotFound, "no folder " + folder);
      return {};
    }
    std::string best;
    ForEachEntry(folder.empty() ? "." : folder, [&](const WIN32_FIND_DATAA& entry) {
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return;
      const std::string name = entry.cFileName;
      if (wanted != "*.*" && !WildcardMatch(wanted.c_str(), name.c_str())) return;
      if (best.empty()) {
        best = name;
        return;
      }
      const int order = CompareNoCase(name, best);
      if (order < 0 || (order == 0 && name < best)) best = name;
    });
    if (best.empty()) FailWith(kErrorFileNotFound, "nothing matches " + pattern);
    return best;
  }

  bool ReadWholeFile(const std::string& path, std::string* out) override {
    out->clear();
    if (path.empty()) return FailWith(kErrorInvalidParameter, "an empty file name");
    Handle h(OpenExisting(path, GENERIC_READ));
    if (!h.valid()) return FailSystem("cannot open " + path);
    return ReadRest(h.get(), path, out);
  }

  bool ReadWholeFileByNativeName(const std::string& native_path, std::string* out) override {
    out->clear();
    const int n = MultiByteToWideChar(CP_UTF8, 0, native_path.data(),
                                      static_cast<int>(native_path.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, native_path.data(), static_cast<int>(native_path.size()),
                        wide.data(), n);
    Handle h(CreateFileW(wide.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid()) return FailSystem("cannot open " + native_path);
    return ReadRest(h.get(), native_path, out);
  }

  bool WriteWholeFile(const std::string& path, const std::string& data) override {
    if (path.empty()) return FailWith(kErrorInvalidParameter, "an empty file name");
    Handle h(CreateFileA(Native(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid()) return FailSystem("cannot create " + path);
    if (!WriteAll(h.get(), data)) return FailSystem("cannot write " + path);
    return true;
  }

  bool WriteFileAtomically(const std::string& path, const std::string& data) override {
    const std::string target = Native(path);
    RemoveLeftovers(target);
    // The temporary file is opened without sharing: while its writer holds
    // it nobody else can open or remove it.
    std::string temporary;
    Handle h;
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 pick(seed());
    for (int attempt = 0; attempt < 100 && !h.valid(); ++attempt) {
      temporary = target + ".tmp-";
      for (int i = 0; i < 6; ++i) temporary += kLetters[pick() % 36];
      h.reset(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!h.valid() && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (!h.valid()) return FailSystem("cannot create a temporary file beside " + path);
    if (!WriteAll(h.get(), data) || !FlushFileBuffers(h.get())) {
      const bool failed = FailSystem("cannot write " + temporary);
      CloseHandle(h.release());
      DeleteFileA(temporary.c_str());
      return failed;
    }
    CloseHandle(h.release());
    if (!MoveFileExA(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      const bool failed = FailSystem("cannot replace " + path);
      DeleteFileA(temporary.c_str());
      return failed;
    }
    return true;
  }

  bool AppendToFile(const std::string& path, const std::string& data) override {
    return Append(path, data, false);
  }

  bool AppendDurably(const std::string& path, const std::string& data) override {
    return Append(path, data, true);
  }

  int64_t FileSize(const std::string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!GetFileAttributesExA(Native(path).c_str(), GetFileExInfoStandard, &info)) {
      FailSystem("cannot examine " + path);
      return -1;
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      FailWith(kErrorAccessDenied, path + " is a folder");
      return -1;
    }
    return (static_cast<int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  }

  bool ReadFileRange(const std::string& path, int64_t offset, int64_t size,
                     std::string* out) override {
    out->clear();
    if (path.empty() || offset < 0 || size < 0) {
      return FailWith(kErrorInvalidParameter, "an empty file name or a negative range");
    }
    Handle h(OpenExisting(path, GENERIC_READ));
    if (!h.valid()) return FailSystem("cannot open " + path);
    LARGE_INTEGER at;
    at.QuadPart = offset;
    if (!SetFilePointerEx(h.get(), at, nullptr, FILE_BEGIN)) return FailSystem("cannot seek");
    std::string data;
    while (static_cast<int64_t>(data.size()) < size) {
      char buffer[65536];
      const DWORD want = static_cast<DWORD>(
          std::min<int64_t>(sizeof buffer, size - static_cast<int64_t>(data.size())));
      DWORD got = 0;
      if (!ReadFile(h.get(), buffer, want, &got, nullptr)) return FailSystem("cannot read " + path);
      if (got == 0) break;
      data.append(buffer, got);
    }
    *out = std::move(data);
    return true;
  }

  bool TruncateFile(const std::string& path, int64_t size) override {
    if (path.empty() || size < 0) {
      return FailWith(kErrorInvalidParameter, "an empty file name or a negative size");
    }
    Handle h(OpenExisting(path, GENERIC_WRITE));
    if (!h.valid()) return FailSystem("cannot open " + path);
    LARGE_INTEGER at;
    at.QuadPart = size;
    if (!SetFilePointerEx(h.get(), at, nullptr, FILE_BEGIN) || !SetEndOfFile(h.get()) ||
        !FlushFileBuffers(h.get())) {
      return FailSystem("cannot cut " + path);
    }
    return true;
  }

  std::string MakeTempDirectory(const std::string& prefix) override {
    char base[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathA(MAX_PATH, base);
    if (n == 0 || n > MAX_PATH) {
      FailSystem("no temporary folder");
      return {};
    }
    std::random_device seed;
    std::mt19937 pick(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
      char suffix[16];
      std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(pick()));
      const std::string dir = JoinPath(Trimmed(base), prefix + suffix);
      if (CreateDirectoryA(dir.c_str(), nullptr)) return dir;
      if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    FailSystem("cannot make a temporary folder");
    return {};
  }

  bool RemoveTree(const std::string& path) override {
    const std::string target = Trimmed(Native(path));
    if (target.empty() || target == "." || target == ".." || target == "\\" ||
        (target.size() <= 3 && target.size() >= 2 && target[1] == ':')) {
      return FailWith(kErrorInvalidParameter, "refusing to remove " + path);
    }
    const DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return RemoveFile(target);
    ForEachEntry(target, [&](const WIN32_FIND_DATAA& entry) {
      const std::string name = entry.cFileName;
      if (name == "." || name == "..") return;
      const std::string child = JoinPath(target, name);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
      }
    });
    if (!RemoveDirectoryA(target.c_str())) return FailSystem("cannot remove " + path);
    return true;
  }

  std::unique_ptr<FileLock> LockFile(const std::string& path, int timeout_ms) override {
    HANDLE h = CreateFileA(Native(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      FailSystem("cannot open " + path);
      return nullptr;
    }
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(std::max(timeout_ms, 0));
    for (;;) {
      OVERLAPPED whole = {};
      const DWORD flags =
          LOCKFILE_EXCLUSIVE_LOCK | (timeout_ms < 0 ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
      if (LockFileEx(h, flags, 0, MAXDWORD, MAXDWORD, &whole)) {
        return std::make_unique<Win32Lock>(h);
      }
      const DWORD error = GetLastError();
      if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
        CloseHandle(h);
        FailSystem("cannot lock " + path);
        return nullptr;
      }
      if (timeout_ms >= 0 && GetTickCount64() >= deadline) break;
      Sleep(5);
    }
    CloseHandle(h);
    FailWith(kErrorLockViolation, path + " is locked");
    return nullptr;
  }

  int LastError() override { return last_error_; }
  void SetLastErrorCode(int code) override { last_error_ = code; }
  std::string LastErrorText() override { return last_error_text_; }

  TDateTime Now() override {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return EncodeDateTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond,
                          t.wMilliseconds);
  }

  void Delay(int milliseconds) override {
    if (milliseconds > 0) Sleep(static_cast<DWORD>(milliseconds));
  }

  void ProcessMessages() override {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  void RequestTermination() override { termination_requested_ = true; }
  bool TerminationRequested() override { return termination_requested_; }

 private:
  bool FailWith(int code, std::string text) {
    last_error_ = code;
    last_error_text_ = std::move(text);
    return false;
  }

  // The system's own last error with `what` and the system's message.
  bool FailSystem(const std::string& what) {
    const DWORD code = GetLastError();
    char message[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   message, sizeof message - 1, nullptr);
    std::string text = what + ": " + message;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return FailWith(code != 0 ? static_cast<int>(code) : kErrorGenFailure, text);
  }

  LibraryHandle FailLibrary(const std::string& name) {
    FailSystem("cannot load " + name);
    last_error_ = kErrorModNotFound;
    return nullptr;
  }

  static std::string Trimmed(std::string path) {
    while (path.size() > 1 && IsSeparator(path.back()) && path[path.size() - 2] != ':') {
      path.pop_back();
    }
    return path;
  }

  // The folder of the module that holds this code (the platform library,
  // beside the driver's other libraries).
  static std::string OwnLibraryFolder() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&OwnLibraryFolder), &self)) {
      return {};
    }
    char buffer[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(self, buffer, MAX_PATH);
    return Folder(std::string(buffer, n <= MAX_PATH ? n : 0));
  }

  // An existing file opened for `access`, shared with every other opener.
  static HANDLE OpenExisting(const std::string& path, DWORD access) {
    return CreateFileA(Native(path).c_str(), access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  bool SameFile(const std::string& a, const std::string& b) {
    auto identity = [](const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
      Handle h(OpenExisting(path, 0));
      return h.valid() && GetFileInformationByHandle(h.get(), info);
    };
    BY_HANDLE_FILE_INFORMATION x, y;
    return identity(a, &x) && identity(b, &y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
  }

  template <typename Visit>
  static void ForEachEntry(const std::string& folder, Visit visit) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(JoinPath(folder, "*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
      visit(entry);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
  }

  bool ReadRest(HANDLE h, const std::string& path, std::string* out) {
    std::string data;
    char buffer[65536];
    for (;;) {
      DWORD got = 0;
      if (!ReadFile(h, buffer, sizeof buffer, &got, nullptr)) {
        return FailSystem("cannot read " + path);
      }
      if (got == 0) break;
      data.append(buffer, got);
    }
    *out = std::move(data);
    return true;
  }

  bool Append(const std::string& path, const std::string& data, bool durably) {
    if (path.empty()) return FailWith(kErrorInvalidParameter, "an empty file name");
    Handle h(CreateFileA(Native(path).c_str(), FILE_APPEND_DATA,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid()) return FailSystem("cannot open " + path);
    if (!WriteAll(h.get(), data) || (durably && !FlushFileBuffers(h.get()))) {
      return FailSystem("cannot append to " + path);
    }
    return true;
  }

  // Temporary files of atomic writes that their writers left behind (a
  // process killed part way); one still being written cannot be removed.
  static void RemoveLeftovers(const std::string& target) {
    const std::string folder = Folder(target);
    ForEachEntry(folder.empty() ? "." : folder, [&](const WIN32_FIND_DATAA& entry) {
      const std::string name = entry.cFileName;
      const size_t mark = name.rfind(".tmp-");
      if (mark == std::string::npos || name.size() != mark + 5 + 6) return;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return;
      DeleteFileA(JoinPath(folder.empty() ? "." : folder, name).c_str());
    });
  }

  int last_error_ = 0;
  std::string last_error_text_;
  std::string executable_directory_override_;
  bool termination_requested_ = false;
};

}  // namespace

std::unique_ptr<Platform> MakeNativePlatform() { return std::make_unique<Win32Platform>(); }

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return path;
  char buffer[MAX_PATH + 1] = {};
  const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH + 1, buffer, nullptr);
  return n == 0 || n > MAX_PATH ? path : std::string(buffer, n);
}

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace zel::platform
