// The operating-system services the driver, the simulated printer and the host
// stand-ins use: shared libraries, well-known folders, files, the clock and
// the host application's message loop. Everything that touches the operating
// system goes through the Platform interface; the rest of the code never
// includes a system header.
//
// Two implementations: posix_*.cc, and win32_*.cc for the host's own system
// (the build picks one). On Windows, paths go to the ANSI entry points as
// they stand, "\" is the native separator, library names are not mapped,
// and the error codes are the system's own.
//
// Paths. Every path handed to or returned by a Platform is a Windows-1252
// text. On the way in, "\" and "/" both separate folders and the text is
// converted to the file system's encoding (UTF-8 on POSIX), so
// "Dados\Redu\xE7\xF5es" names the folder "Dados/Reduções". Returned paths
// use the native separator ('/' on POSIX) and carry no trailing separator. A
// drive prefix such as "C:" is not interpreted on POSIX.
//
// Error codes. File, folder and library operations report failure by their
// result and record a Windows error code that LastError() returns, because
// callers log these codes exactly as the host's operating system gives them.
// POSIX errors map as follows:
//      2 ERROR_FILE_NOT_FOUND      the file does not exist (ENOENT on the file)
//      3 ERROR_PATH_NOT_FOUND      a folder on the way does not exist (ENOENT
//                                  on a parent, ENOTDIR)
//      4 ERROR_TOO_MANY_OPEN_FILES EMFILE, ENFILE
//      5 ERROR_ACCESS_DENIED       EACCES, EPERM, EISDIR (a folder where a file
//                                  is expected)
//      8 ERROR_NOT_ENOUGH_MEMORY   ENOMEM
//     17 ERROR_NOT_SAME_DEVICE     EXDEV
//     19 ERROR_WRITE_PROTECT       EROFS
//     32 ERROR_SHARING_VIOLATION   EBUSY, ETXTBSY; also a copy of a file onto
//                                  itself
//     33 ERROR_LOCK_VIOLATION      a file lock still held by another holder
//                                  when the wait for it ended
//     80 ERROR_FILE_EXISTS         the copy target exists and the caller asked
//                                  not to overwrite it
//     87 ERROR_INVALID_PARAMETER   EINVAL, an empty path
//    112 ERROR_DISK_FULL           ENOSPC, EDQUOT
//    126 ERROR_MOD_NOT_FOUND       a library that cannot be found or loaded
//    127 ERROR_PROC_NOT_FOUND      a symbol the library does not export
//    145 ERROR_DIR_NOT_EMPTY       ENOTEMPTY
//    183 ERROR_ALREADY_EXISTS      the rename target exists; a folder cannot be
//                                  made because a file has its name
//    206 ERROR_FILENAME_EXCED_RANGE ENAMETOOLONG
//     31 ERROR_GEN_FAILURE         any other error
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "runtime/datetime.h"

namespace zel::platform {

using LibraryHandle = void*;

// Windows error codes recorded by the platform (see the table above).
inline constexpr int kErrorFileNotFound = 2;
inline constexpr int kErrorPathNotFound = 3;
inline constexpr int kErrorTooManyOpenFiles = 4;
inline constexpr int kErrorAccessDenied = 5;
inline constexpr int kErrorNotEnoughMemory = 8;
inline constexpr int kErrorNotSameDevice = 17;
inline constexpr int kErrorWriteProtect = 19;
inline constexpr int kErrorGenFailure = 31;
inline constexpr int kErrorSharingViolation = 32;
inline constexpr int kErrorLockViolation = 33;
inline constexpr int kErrorFileExists = 80;
inline constexpr int kErrorInvalidParameter = 87;
inline constexpr int kErrorDiskFull = 112;
inline constexpr int kErrorModNotFound = 126;
inline constexpr int kErrorProcNotFound = 127;
inline constexpr int kErrorDirNotEmpty = 145;
inline constexpr int kErrorAlreadyExists = 183;
inline constexpr int kErrorFilenameTooLong = 206;

// An exclusive lock on a file, from Platform::LockFile. The lock is released
// when the object is destroyed, and by the operating system when the process
// ends however it ends (a kill included), so a crashed holder never leaves
// the file locked.
class FileLock {
 public:
  FileLock() = default;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  virtual ~FileLock() = default;
};

class Platform {
 public:
  Platform() = default;
  Platform(const Platform&) = delete;
  Platform& operator=(const Platform&) = delete;
  virtual ~Platform() = default;

  // ---- Shared libraries ----

  // Loads a shared library and returns its handle, or nullptr (LastError
  // 126, LastErrorText() says why). A Windows name "NAME.dll" (any case of
  // the extension) stands for the platform's own file name ("libNAME.so" on
  // POSIX). A bare name is searched in the platform's usual order (on POSIX:
  // LD_LIBRARY_PATH, the run path, the system folders), then in the folder
  // that holds the driver's own libraries (so a vendor library installed
  // beside the driver is found), then in ExecutableDirectory(). A name with a
  // folder is loaded from that folder only. Each successful call must be
  // balanced by CloseLibrary.
  virtual LibraryHandle OpenLibrary(const std::string& name) = 0;
  // The address of an exported symbol, or nullptr (LastError 127) when the
  // library does not export it or the handle is null.
  virtual void* LibrarySymbol(LibraryHandle library, const std::string& name) = 0;
  // Releases a handle from OpenLibrary; a null handle is ignored.
  virtual void CloseLibrary(LibraryHandle library) = 0;

  // ---- Well-known folders ----

  // The folder that holds the vendor library's configuration file
  // (IBMFI32.INI); the Windows system directory on a till. On POSIX: the
  // environment variable ZEL_SYSTEM_DIR when set and not empty, else
  // $XDG_CONFIG_HOME/zel01900 when that is an absolute path, else
  // $HOME/.config/zel01900 (/tmp/.config/zel01900 without HOME). The folder is
  // created (with parents) when missing; if that fails the path is still
  // returned.
  virtual std::string SystemDirectory() = 0;
  // The host executable's folder, where the debug log and the host's files
  // live. In order: the folder set with SetExecutableDirectory, the
  // environment variable ZEL_HOST_DIR when set and not empty, the folder of
  // the running program.
  virtual std::string ExecutableDirectory() = 0;
  // Overrides ExecutableDirectory() for hosts that keep their files elsewhere
  // and for tests; an empty text removes the override.
  virtual void SetExecutableDirectory(const std::string& directory) = 0;
  // The machine's fixed fiscal-menu folder, "C:\MenuFiscal" on a till, where
  // the MFD mirror file is written. On POSIX: the environment variable
  // ZEL_MENUFISCAL_DIR when set and not empty, else the folder "MenuFiscal"
  // inside SystemDirectory(). Not created here: the host's installation makes
  // it, and the driver never does.
  virtual std::string MenuFiscalDirectory() = 0;
  // The short (8.3) form of a path. POSIX has none: the path is returned
  // unchanged.
  virtual std::string ShortPath(const std::string& path) = 0;

  // ---- Files and folders ----

  // True when `path` names an existing regular file (after symbolic links).
  virtual bool FileExists(const std::string& path) = 0;
  // True when `path` names an existing folder (after symbolic links).
  virtual bool DirectoryExists(const std::string& path) = 0;
  // Creates the folder and every missing parent. True when the folder exists
  // afterwards (also when it already existed).
  virtual bool MakeDirectory(const std::string& path) = 0;
  // Copies the content of regular file `source` to `target`, which gets the
  // source's permissions and modification time. With `fail_if_exists` an
  // existing target is left alone and the copy fails (80); otherwise it is
  // replaced. A copy of a file onto itself fails (32) and leaves it intact.
  // A copy that fails part way removes the incomplete target.
  virtual bool CopyFileTo(const std::string& source, const std::string& target,
                          bool fail_if_exists) = 0;
  // Deletes a file (not a folder). False when it does not exist (2).
  virtual bool RemoveFile(const std::string& path) = 0;
  // Renames or moves a file or folder. Fails (183) when `to` already exists,
  // as the host's operating system does.
  virtual bool RenameFile(const std::string& from, const std::string& to) = 0;
  // The name (without folder) of the first regular file matching `pattern`,
  // a folder followed by a name with the wildcards '*' (any run of
  // characters) and '?' (one character), e.g. "C:\\Lum\\Dados\\*.MFD". The
  // name is compared without regard to ASCII letter case ("*.MFD" finds
  // "x.mfd"); "*.*" matches every name. "First" is the smallest matching
  // name, letters compared without regard to case (ties in byte order), so
  // the answer does not depend on the file system's listing order. "" when
  // nothing matches (2) or the folder does not exist (3).
  virtual std::string FirstMatch(const std::string& pattern) = 0;
  // Reads a whole file's bytes into *out (replacing its content). On failure
  // *out is left empty.
  virtual bool ReadWholeFile(const std::string& path, std::string* out) = 0;
  // ReadWholeFile for a path exactly as the user's command line gives it:
  // UTF-8 (or any bytes the file system takes) on POSIX, used unchanged;
  // UTF-8 converted to the system's wide form on the host's system. For
  // tools, whose users may name files that no Windows-1252 text can.
  virtual bool ReadWholeFileByNativeName(const std::string& native_path, std::string* out) = 0;
  // Creates or truncates `path` and writes `data`. The folder must exist.
  virtual bool WriteWholeFile(const std::string& path, const std::string& data) = 0;
  // Replaces `path` with `data` so that a reader or a crash sees either the
  // old or the new content, never a mix: writes a temporary file beside it
  // (named `path` + ".tmp-" + six letters or digits), flushes it to disk and
  // renames it over `path`. On failure `path` is unchanged and the temporary
  // file is removed. A process killed part way leaves its temporary file
  // behind; the next atomic write into the same folder removes such
  // leftovers. A temporary file is locked by its writer until renamed, and
  // only temporary files nobody holds are removed, so a write in progress in
  // another process is never touched.
  virtual bool WriteFileAtomically(const std::string& path, const std::string& data) = 0;
  // Appends `data` to `path`, creating the file when missing.
  virtual bool AppendToFile(const std::string& path, const std::string& data) = 0;

  // ---- Journals (files that only grow) ----

  // As AppendToFile, and the data (and a newly created file's name) are on
  // the disk before the call returns.
  virtual bool AppendDurably(const std::string& path, const std::string& data) = 0;
  // The size of a regular file in bytes; -1 when it does not exist or cannot
  // be examined (LastError says which).
  virtual int64_t FileSize(const std::string& path) = 0;
  // Reads at most `size` bytes from `offset` into *out (replacing it); fewer
  // at the end of the file. False when the file cannot be read.
  virtual bool ReadFileRange(const std::string& path, int64_t offset, int64_t size,
                             std::string* out) = 0;
  // Cuts the file to its first `size` bytes and flushes it to disk.
  virtual bool TruncateFile(const std::string& path, int64_t size) = 0;
  // Creates a new, empty, uniquely named folder under the system's temporary
  // folder (TMPDIR or /tmp on POSIX), its name starting with `prefix`, and
  // returns its path; "" on failure.
  virtual std::string MakeTempDirectory(const std::string& prefix) = 0;
  // Deletes a folder with everything inside it (or a single file). True when
  // nothing is left at `path` afterwards.
  virtual bool RemoveTree(const std::string& path) = 0;

  // ---- Locks ----

  // Takes an exclusive lock on the file `path`, creating it (empty) when
  // missing; the file is left in place afterwards. Waits up to `timeout_ms`
  // for the current holder to let go (0: only tries; negative: waits as long
  // as it takes). The lock is advisory: it excludes other LockFile holders
  // of the same file, in this process or any other, and nothing else. It
  // covers the whole file, as LockFileEx over the largest range does on the
  // host's system. nullptr on failure: 33 when the file was still locked
  // when the wait ended, else the error of opening the file (3 when its
  // folder does not exist).
  //
  // The lock is not lost when the file's name is taken away while it is held
  // or waited for (the file deleted, or another file put in its place): on
  // the host's system the file is opened without FILE_SHARE_DELETE, so its
  // name can be neither deleted nor replaced while anyone has it open. On
  // POSIX, where it can, a lock is only taken once the file locked is still
  // the one at `path` (same device and inode; else the file now there is
  // locked, within the same wait), and the holder also marks the folder
  // under the file's name (a shared open-file-description lock on one byte
  // of the folder, where the system and the folder's file system have them),
  // so a holder whose file lost its name still excludes whoever locks a new
  // file of that name.
  virtual std::unique_ptr<FileLock> LockFile(const std::string& path, int timeout_ms) = 0;

  // The Windows error code of the most recent failed file, folder or library
  // call (see the table at the top); 0 when none has failed. A successful
  // call leaves it unchanged.
  virtual int LastError() = 0;
  // Records `code` as the last error, as a failing call would; test doubles
  // use it to report the failures they inject.
  virtual void SetLastErrorCode(int code) = 0;
  // A readable description of the most recent failure, for logs (English,
  // may be empty).
  virtual std::string LastErrorText() = 0;

  // ---- Clock and host application ----

  // The local date and time, to the millisecond.
  virtual TDateTime Now() = 0;
  // Waits `milliseconds` (nothing for zero or less).
  virtual void Delay(int milliseconds) = 0;
  // Lets the host application handle its pending window messages. Nothing to
  // do outside a windowing host.
  virtual void ProcessMessages() = 0;
  // Asks the host application to end (it ends after the current call
  // returns) and the flag that records the request.
  virtual void RequestTermination() = 0;
  virtual bool TerminationRequested() = 0;
};

// The platform every layer uses. By default the operating system's own.
Platform& Current();
// Makes `platform` the current one (nullptr restores the operating system's
// own). The caller keeps ownership and must restore the previous platform
// before destroying it. Also points the runtime's clock (zel::Now) at the
// current platform's Now().
void SetCurrent(Platform* platform);
// The operating system's own platform (what Current() returns by default).
Platform& Native();
// A new, independent instance of the operating system's platform, with its
// own last error, folder override and termination flag.
std::unique_ptr<Platform> MakeNativePlatform();

// ---- The process itself (always the operating system's) ----

// `path` made absolute: a relative path is taken from the process's current
// folder; an absolute one, or an empty text, is returned as it stands.
std::string AbsolutePath(const std::string& path);
// Whether the process's standard error stream is a terminal (a console),
// where a line can be rewritten in place.
bool StandardErrorIsTerminal();

// Forwards every call to a target platform, so a test double overrides only
// what it needs. The target must outlive the wrapper.
class PlatformWrapper : public Platform {
 public:
  explicit PlatformWrapper(Platform* target) : target_(target) {}
  Platform* target() const { return target_; }

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
  int LastError() override;
  void SetLastErrorCode(int code) override;
  std::string LastErrorText() override;
  TDateTime Now() override;
  void Delay(int milliseconds) override;
  void ProcessMessages() override;
  void RequestTermination() override;
  bool TerminationRequested() override;

 private:
  Platform* target_;
};

// Ends the current process at once, as a kill from outside would: no
// destructors, no buffered output written, files and locks released by the
// operating system. For tests of crash safety.
[[noreturn]] void KillCurrentProcess();

// Makes a write to a connection the peer has closed fail with an error instead
// of ending the process (SIGPIPE on POSIX; Windows already behaves so).
void IgnoreBrokenConnections();

// ---- Listening sockets (the local service) ----
// `socket` is the system's handle of a TCP socket (a file descriptor on
// POSIX, a SOCKET on Windows).

// Options of a socket about to listen: its address and port stay its own
// (binding fails while another socket listens there: SO_REUSEADDR alone on
// POSIX, which still lets a restarted service bind over closed connections;
// SO_EXCLUSIVEADDRUSE on Windows), and small answers leave at once
// (TCP_NODELAY, which the accepted connections inherit).
void SetListenSocketOptions(std::uintptr_t socket);
// Lets up to `backlog` connections wait to be accepted on a socket that
// already listens (listen() again; POSIX takes the new length, Windows keeps
// the first). False when the system refuses.
bool WidenListenBacklog(std::uintptr_t socket, int backlog);

// True when the native platform is Windows. Tests use it to skip what only
// a POSIX system offers (a POSIX shell for std::system, signals).
bool NativeIsWindows();

// ---- Path texts (pure; no file system access) ----

// `name` appended to `directory` with the native separator, without doubling
// a separator that `directory` already ends with ("\" or "/"). An empty
// directory gives `name` unchanged.
std::string JoinPath(const std::string& directory, const std::string& name);
// A Windows-1252 path as the file system takes it: "\" becomes the native
// separator and the text is converted to the file system's encoding (UTF-8
// on POSIX; unchanged on Windows, whose ANSI code page is Windows-1252).
std::string ToSystemPath(const std::string& path);
// A path from the file system (UTF-8 on POSIX) as a Windows-1252 text; a
// character with no Windows-1252 byte becomes '?'.
std::string FromSystemPath(const std::string& system_path);
// The Windows library name mapped to the platform's: "IBMFI32.dll" ->
// "libIBMFI32.so" on POSIX, folder kept; a name without the ".dll"
// extension is unchanged. Unchanged on Windows.
std::string SystemLibraryName(const std::string& name);

}  // namespace zel::platform
