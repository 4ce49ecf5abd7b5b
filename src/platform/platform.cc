#include "platform/platform.h"

#include <atomic>

#include "platform/names.h"
#include "runtime/win1252.h"

namespace zel::platform {

namespace {

std::atomic<Platform*> g_current{nullptr};

// The runtime's clock always asks whichever platform is current, so a test
// that swaps the platform moves zel::Now() with it.
void InstallRuntimeClock() {
  SetNowFunction([] { return Current().Now(); });
}

// Installed when the library is loaded, so that zel::Now() is the local clock
// in every process that links the platform, before anyone touches Current().
const bool g_clock_installed = (InstallRuntimeClock(), true);

#if defined(_WIN32)
constexpr char kNativeSeparator = '\\';
#else
constexpr char kNativeSeparator = '/';
#endif

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

Platform& Native() {
  // Never destroyed: other libraries' static destructors may still log.
  static Platform* native = MakeNativePlatform().release();
  return *native;
}

Platform& Current() {
  Platform* current = g_current.load();
  return current != nullptr ? *current : Native();
}

void SetCurrent(Platform* platform) {
  g_current.store(platform);
  InstallRuntimeClock();
  (void)g_clock_installed;
}

std::string JoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  if (IsSeparator(directory.back())) return directory + name;
  return directory + kNativeSeparator + name;
}

#if defined(_WIN32)

// On Windows the file system takes the ANSI code page (Windows-1252 on a
// till) and library names as they are.
std::string ToSystemPath(const std::string& path) {
  std::string backslashed = path;
  for (char& c : backslashed) {
    if (c == '/') c = '\\';
  }
  return backslashed;
}

std::string FromSystemPath(const std::string& system_path) { return system_path; }

std::string SystemLibraryName(const std::string& name) { return name; }

bool NativeIsWindows() { return true; }

#else

bool NativeIsWindows() { return false; }

std::string ToSystemPath(const std::string& path) {
  std::string slashed = path;
  for (char& c : slashed) {
    if (c == '\\') c = '/';
  }
  return Win1252ToUtf8(slashed);
}

std::string FromSystemPath(const std::string& system_path) { return Utf8ToWin1252(system_path); }

std::string SystemLibraryName(const std::string& name) {
  size_t start = name.find_last_of("\\/");
  start = (start == std::string::npos) ? 0 : start + 1;
  std::string file = name.substr(start);
  static constexpr std::string_view kDll = ".dll";
  if (file.size() <= kDll.size()) return name;
  std::string extension = file.substr(file.size() - kDll.size());
  for (char& c : extension) c = AsciiLowerChar(c);
  if (extension != kDll) return name;
  std::string stem = file.substr(0, file.size() - kDll.size());
  return name.substr(0, start) + "lib" + stem + ".so";
}

#endif

// ---- PlatformWrapper: plain forwarding ----

LibraryHandle PlatformWrapper::OpenLibrary(const std::string& name) {
  return target_->OpenLibrary(name);
}
void* PlatformWrapper::LibrarySymbol(LibraryHandle library, const std::string& name) {
  return target_->LibrarySymbol(library, name);
}
void PlatformWrapper::CloseLibrary(LibraryHandle library) { target_->CloseLibrary(library); }
std::string PlatformWrapper::SystemDirectory() { return target_->SystemDirectory(); }
std::string PlatformWrapper::ExecutableDirectory() { return target_->ExecutableDirectory(); }
void PlatformWrapper::SetExecutableDirectory(const std::string& directory) {
  target_->SetExecutableDirectory(directory);
}
std::string PlatformWrapper::MenuFiscalDirectory() { return target_->MenuFiscalDirectory(); }
std::string PlatformWrapper::ShortPath(const std::string& path) { return target_->ShortPath(path); }
bool PlatformWrapper::FileExists(const std::string& path) { return target_->FileExists(path); }
bool PlatformWrapper::DirectoryExists(const std::string& path) {
  return target_->DirectoryExists(path);
}
bool PlatformWrapper::MakeDirectory(const std::string& path) {
  return target_->MakeDirectory(path);
}
bool PlatformWrapper::CopyFileTo(const std::string& source, const std::string& target,
                                 bool fail_if_exists) {
  return target_->CopyFileTo(source, target, fail_if_exists);
}
bool PlatformWrapper::RemoveFile(const std::string& path) { return target_->RemoveFile(path); }
bool PlatformWrapper::RenameFile(const std::string& from, const std::string& to) {
  return target_->RenameFile(from, to);
}
std::string PlatformWrapper::FirstMatch(const std::string& pattern) {
  return target_->FirstMatch(pattern);
}
bool PlatformWrapper::ReadWholeFile(const std::string& path, std::string* out) {
  return target_->ReadWholeFile(path, out);
}
bool PlatformWrapper::ReadWholeFileByNativeName(const std::string& native_path, std::string* out) {
  return target_->ReadWholeFileByNativeName(native_path, out);
}
bool PlatformWrapper::WriteWholeFile(const std::string& path, const std::string& data) {
  return target_->WriteWholeFile(path, data);
}
bool PlatformWrapper::WriteFileAtomically(const std::string& path, const std::string& data) {
  return target_->WriteFileAtomically(path, data);
}
bool PlatformWrapper::AppendToFile(const std::string& path, const std::string& data) {
  return target_->AppendToFile(path, data);
}
bool PlatformWrapper::AppendDurably(const std::string& path, const std::string& data) {
  return target_->AppendDurably(path, data);
}
int64_t PlatformWrapper::FileSize(const std::string& path) { return target_->FileSize(path); }
bool PlatformWrapper::ReadFileRange(const std::string& path, int64_t offset, int64_t size,
                                    std::string* out) {
  return target_->ReadFileRange(path, offset, size, out);
}
bool PlatformWrapper::TruncateFile(const std::string& path, int64_t size) {
  return target_->TruncateFile(path, size);
}
std::string PlatformWrapper::MakeTempDirectory(const std::string& prefix) {
  return target_->MakeTempDirectory(prefix);
}
bool PlatformWrapper::RemoveTree(const std::string& path) { return target_->RemoveTree(path); }
std::unique_ptr<FileLock> PlatformWrapper::LockFile(const std::string& path, int timeout_ms) {
  return target_->LockFile(path, timeout_ms);
}
int PlatformWrapper::LastError() { return target_->LastError(); }
void PlatformWrapper::SetLastErrorCode(int code) { target_->SetLastErrorCode(code); }
std::string PlatformWrapper::LastErrorText() { return target_->LastErrorText(); }
TDateTime PlatformWrapper::Now() { return target_->Now(); }
void PlatformWrapper::Delay(int milliseconds) { target_->Delay(milliseconds); }
void PlatformWrapper::ProcessMessages() { target_->ProcessMessages(); }
void PlatformWrapper::RequestTermination() { target_->RequestTermination(); }
bool PlatformWrapper::TerminationRequested() { return target_->TerminationRequested(); }

}  // namespace zel::platform
