// Win32 platform: DLLs, well-known folders, the clock, the message loop and
// the error bookkeeping. File operations are in win32_files.cc.
#include "platform/win32_platform.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace zel::platform {

namespace {

// Any function of this DLL: GetModuleHandleEx on its address names the file
// we were loaded from.
void LocationAnchor() {}

std::string EnvironmentValue(const char* name) {
  char buffer[MAX_PATH * 2];
  DWORD length = GetEnvironmentVariableA(name, buffer, sizeof(buffer));
  if (length == 0 || length >= sizeof(buffer)) return "";
  return std::string(buffer, length);
}

std::string ParentFolder(const std::string& path) {
  size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos) return ".";
  if (separator == 0 || (separator == 2 && path[1] == ':')) return path.substr(0, separator + 1);
  return path.substr(0, separator);
}

// A folder text in the form every Platform returns: backslashes and no
// trailing separator (a drive root such as "C:\" keeps its own).
std::string NormalizedFolder(const std::string& path) {
  std::string result = ToSystemPath(path);
  while (result.size() > 1 && result.back() == '\\' && !(result.size() == 3 && result[1] == ':')) {
    result.pop_back();
  }
  return result;
}

std::string ModuleFolder(HMODULE module) {
  char buffer[MAX_PATH * 2];
  DWORD length = GetModuleFileNameA(module, buffer, sizeof(buffer));
  if (length == 0 || length >= sizeof(buffer)) return "";
  return ParentFolder(std::string(buffer, length));
}

bool IsFile(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string SystemMessage(DWORD code) {
  char* text = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0,
      nullptr);
  std::string message = length > 0 && text != nullptr ? std::string(text, length) : "";
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(code) : message;
}

// A missing DLL must not make the system show a dialog on a till.
HMODULE LoadQuietly(const std::string& path, DWORD flags) {
  DWORD old_mode = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &old_mode);
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, flags);
  DWORD error = GetLastError();
  SetThreadErrorMode(old_mode, nullptr);
  SetLastError(error);
  return module;
}

}  // namespace

std::unique_ptr<Platform> MakeNativePlatform() { return std::make_unique<Win32Platform>(); }

void IgnoreBrokenConnections() {}

void KillCurrentProcess() {
  TerminateProcess(GetCurrentProcess(), 137);
  ExitProcess(137);  // not reached
}

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

// ---- Errors ----

bool Win32Platform::Fail(int code, std::string text) {
  last_error_ = code;
  last_error_text_ = std::move(text);
  return false;
}

bool Win32Platform::FailSystem(unsigned long code, const char* what, const std::string& path) {
  // The system's own codes are the ones the table documents; they pass
  // through unchanged so logs show what the host's system said.
  int windows_code = code == 0 ? kErrorGenFailure : static_cast<int>(code);
  return Fail(windows_code, std::string(what) + " \"" + path + "\": " + SystemMessage(code));
}

void Win32Platform::SetLastErrorCode(int code) {
  last_error_ = code;
  last_error_text_ = "error " + std::to_string(code);
}

// ---- DLLs ----

std::string Win32Platform::OwnLibraryFolder() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&LocationAnchor), &module)) {
    return "";
  }
  return ModuleFolder(module);
}

LibraryHandle Win32Platform::OpenLibrary(const std::string& name) {
  if (name.empty()) {
    Fail(kErrorModNotFound, "empty library name");
    return nullptr;
  }
  std::string file = ToSystemPath(name);
  if (file.find('\\') != std::string::npos) {
    // From that folder only; the DLLs it needs are looked for beside it.
    HMODULE module = LoadQuietly(file, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) FailSystem(GetLastError(), "cannot load", file);
    if (module == nullptr) last_error_ = kErrorModNotFound;
    return module;
  }
  // The system's own order first (the program's folder, the system folders,
  // the current folder, PATH), then the driver's own folder and the host's.
  HMODULE module = LoadQuietly(file, 0);
  DWORD error = GetLastError();
  std::string tried = file;
  if (module != nullptr) return module;
  for (const std::string& folder : {OwnLibraryFolder(), ExecutableDirectory()}) {
    if (folder.empty()) continue;
    std::string candidate = JoinPath(folder, file);
    if (!IsFile(candidate)) continue;
    module = LoadQuietly(candidate, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module != nullptr) return module;
    error = GetLastError();
    tried = candidate;
  }
  FailSystem(error, "cannot load", tried);
  last_error_ = kErrorModNotFound;
  return nullptr;
}

void* Win32Platform::LibrarySymbol(LibraryHandle library, const std::string& name) {
  if (library == nullptr) {
    Fail(kErrorProcNotFound, "no library for symbol " + name);
    return nullptr;
  }
  FARPROC procedure = GetProcAddress(static_cast<HMODULE>(library), name.c_str());
  if (procedure == nullptr) {
    Fail(kErrorProcNotFound, "symbol not found: " + name);
    return nullptr;
  }
  void* address = nullptr;
  static_assert(sizeof(address) == sizeof(procedure));
  std::memcpy(&address, &procedure, sizeof(address));
  return address;
}

void Win32Platform::CloseLibrary(LibraryHandle library) {
  if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

// ---- Well-known folders ----

std::string Win32Platform::SystemDirectory() {
  // ZEL_SYSTEM_DIR lets a test or a second installation keep its own
  // IBMFI32.INI without touching the real system folder.
  std::string folder = EnvironmentValue("ZEL_SYSTEM_DIR");
  if (folder.empty()) {
    char buffer[MAX_PATH];
    UINT length = GetSystemDirectoryA(buffer, sizeof(buffer));
    return length > 0 && length < sizeof(buffer) ? std::string(buffer, length) : "C:\\Windows";
  }
  std::string result = NormalizedFolder(folder);
  int saved_error = last_error_;
  std::string saved_text = last_error_text_;
  MakeDirectory(result);
  last_error_ = saved_error;
  last_error_text_ = std::move(saved_text);
  return result;
}

std::string Win32Platform::ExecutableDirectory() {
  if (!executable_directory_override_.empty()) return executable_directory_override_;
  std::string from_environment = EnvironmentValue("ZEL_HOST_DIR");
  if (!from_environment.empty()) return NormalizedFolder(from_environment);
  std::string folder = ModuleFolder(nullptr);
  return folder.empty() ? "." : folder;
}

void Win32Platform::SetExecutableDirectory(const std::string& directory) {
  executable_directory_override_ = directory.empty() ? std::string() : NormalizedFolder(directory);
}

std::string Win32Platform::MenuFiscalDirectory() {
  std::string from_environment = EnvironmentValue("ZEL_MENUFISCAL_DIR");
  if (!from_environment.empty()) return NormalizedFolder(from_environment);
  return "C:\\MenuFiscal";
}

std::string Win32Platform::ShortPath(const std::string& path) {
  std::string system_path = ToSystemPath(path);
  DWORD needed = GetShortPathNameA(system_path.c_str(), nullptr, 0);
  if (needed == 0) return path;  // no such file: nothing shorter to give
  std::string buffer(needed, '\0');
  DWORD length = GetShortPathNameA(system_path.c_str(), buffer.data(), needed);
  if (length == 0 || length >= needed) return path;
  buffer.resize(length);
  return buffer;
}

// ---- Clock and message loop ----

TDateTime Win32Platform::Now() {
  SYSTEMTIME local;
  GetLocalTime(&local);
  return EncodeDateTime(local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute,
                        local.wSecond > 59 ? 59 : local.wSecond, local.wMilliseconds);
}

void Win32Platform::Delay(int milliseconds) {
  if (milliseconds > 0) Sleep(static_cast<DWORD>(milliseconds));
}

void Win32Platform::ProcessMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      termination_requested_ = true;
      break;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace zel::platform
