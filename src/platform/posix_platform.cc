// POSIX platform: shared libraries, well-known folders, the clock and the
// error bookkeeping. File operations are in posix_files.cc.
#include "platform/posix_platform.h"

#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

namespace zel::platform {

namespace {

// Any function of this library: dladdr on it names the file we were loaded
// from.
void LocationAnchor() {}

std::string EnvironmentValue(const char* name) {
  const char* value = getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

std::string ParentFolder(const std::string& system_path) {
  size_t slash = system_path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return system_path.substr(0, slash);
}

// A folder text in the form every Platform returns: native separators and
// no trailing separator (the root stays "/").
std::string NormalizedFolder(const std::string& win1252_path) {
  std::string path = win1252_path;
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool IsFile(const std::string& system_path) {
  struct stat info;
  return stat(system_path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::unique_ptr<Platform> MakeNativePlatform() { return std::make_unique<PosixPlatform>(); }

void IgnoreBrokenConnections() { signal(SIGPIPE, SIG_IGN); }

void KillCurrentProcess() {
  raise(SIGKILL);
  _exit(137);  // not reached: SIGKILL cannot be caught
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty() || path[0] == '/' || path[0] == '\\') return path;
  char buffer[PATH_MAX];
  if (getcwd(buffer, sizeof buffer) == nullptr) return path;
  return JoinPath(FromSystemPath(buffer), path);
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

// ---- Errors ----

bool PosixPlatform::Fail(int code, std::string text) {
  last_error_ = code;
  last_error_text_ = std::move(text);
  return false;
}

bool PosixPlatform::FailErrno(int error_number, const char* what, const std::string& system_path) {
  int code =
      error_number == ENOENT ? MissingPathCode(system_path) : WindowsErrorFromErrno(error_number);
  return Fail(code, std::string(what) + " \"" + system_path + "\": " + strerror(error_number));
}

void PosixPlatform::SetLastErrorCode(int code) {
  last_error_ = code;
  last_error_text_ = "error " + std::to_string(code);
}

// ---- Shared libraries ----

std::string PosixPlatform::OwnLibraryFolder() {
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&LocationAnchor), &info) == 0 || info.dli_fname == nullptr) {
    return "";
  }
  char resolved[PATH_MAX];
  if (realpath(info.dli_fname, resolved) == nullptr) return ParentFolder(info.dli_fname);
  return ParentFolder(resolved);
}

LibraryHandle PosixPlatform::TryOpen(const std::string& system_path, std::string* error_text) {
  dlerror();
  void* handle = dlopen(system_path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* message = dlerror();
    *error_text = message != nullptr ? message : "cannot load " + system_path;
  }
  return handle;
}

LibraryHandle PosixPlatform::OpenLibrary(const std::string& name) {
  if (name.empty()) {
    Fail(kErrorModNotFound, "empty library name");
    return nullptr;
  }
  std::string file = ToSystemPath(SystemLibraryName(name));
  std::string error_text;
  if (file.find('/') != std::string::npos) {
    LibraryHandle handle = TryOpen(file, &error_text);
    if (handle == nullptr) Fail(kErrorModNotFound, error_text);
    return handle;
  }

  // The platform's own search first, so an operator can still point
  // LD_LIBRARY_PATH at another copy; then the folders a Windows till would
  // search: the driver's own and the host program's.
  LibraryHandle handle = TryOpen(file, &error_text);
  if (handle != nullptr) return handle;
  std::vector<std::string> folders = {OwnLibraryFolder(), ToSystemPath(ExecutableDirectory())};
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    std::string candidate = folder + "/" + file;
    // Only a file that exists can explain the failure better than the
    // search's own message (an unresolved symbol, a wrong architecture).
    if (!IsFile(candidate)) continue;
    handle = TryOpen(candidate, &error_text);
    if (handle != nullptr) return handle;
  }
  Fail(kErrorModNotFound, error_text);
  return nullptr;
}

void* PosixPlatform::LibrarySymbol(LibraryHandle library, const std::string& name) {
  if (library == nullptr) {
    Fail(kErrorProcNotFound, "no library for symbol " + name);
    return nullptr;
  }
  dlerror();
  void* address = dlsym(library, name.c_str());
  if (address == nullptr) {
    const char* message = dlerror();
    Fail(kErrorProcNotFound, message != nullptr ? message : "symbol not found: " + name);
  }
  return address;
}

void PosixPlatform::CloseLibrary(LibraryHandle library) {
  if (library != nullptr) dlclose(library);
}

// ---- Well-known folders ----

std::string PosixPlatform::SystemDirectory() {
  std::string folder = EnvironmentValue("ZEL_SYSTEM_DIR");
  if (folder.empty()) {
    std::string config_home = EnvironmentValue("XDG_CONFIG_HOME");
    if (!config_home.empty() && config_home.front() == '/') {
      folder = config_home + "/zel01900";
    } else {
      std::string home = EnvironmentValue("HOME");
      folder = (home.empty() ? std::string("/tmp") : home) + "/.config/zel01900";
    }
  }
  std::string result = NormalizedFolder(FromSystemPath(folder));
  // Creating the folder on demand must not disturb the last error a caller
  // may be about to read.
  int saved_error = last_error_;
  std::string saved_text = last_error_text_;
  MakeDirectory(result);
  last_error_ = saved_error;
  last_error_text_ = std::move(saved_text);
  return result;
}

std::string PosixPlatform::ExecutableDirectory() {
  if (!executable_directory_override_.empty()) return executable_directory_override_;
  std::string from_environment = EnvironmentValue("ZEL_HOST_DIR");
  if (!from_environment.empty()) return NormalizedFolder(FromSystemPath(from_environment));
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (length <= 0) return ".";
  return FromSystemPath(ParentFolder(std::string(buffer, static_cast<size_t>(length))));
}

void PosixPlatform::SetExecutableDirectory(const std::string& directory) {
  executable_directory_override_ = directory.empty() ? std::string() : NormalizedFolder(directory);
}

std::string PosixPlatform::MenuFiscalDirectory() {
  std::string from_environment = EnvironmentValue("ZEL_MENUFISCAL_DIR");
  if (!from_environment.empty()) return NormalizedFolder(FromSystemPath(from_environment));
  return JoinPath(SystemDirectory(), "MenuFiscal");
}

std::string PosixPlatform::ShortPath(const std::string& path) { return path; }

// ---- Clock ----

TDateTime PosixPlatform::Now() {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm local;
  time_t seconds = now.tv_sec;
  localtime_r(&seconds, &local);
  // A leap second is shown as the last second of the minute.
  int second = local.tm_sec > 59 ? 59 : local.tm_sec;
  return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                        local.tm_min, second, static_cast<int>(now.tv_nsec / 1000000));
}

void PosixPlatform::Delay(int milliseconds) {
  if (milliseconds <= 0) return;
  struct timespec remaining;
  remaining.tv_sec = milliseconds / 1000;
  remaining.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

}  // namespace zel::platform
