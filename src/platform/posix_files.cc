// POSIX platform: files and folders.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "platform/names.h"
#include "platform/posix_platform.h"

namespace zel::platform {

namespace {

// Closes a descriptor when the scope ends, keeping errno intact so that a
// failure path can still report the error that caused it.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) {
      int saved = errno;
      close(fd_);
      errno = saved;
    }
  }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now and reports a late write error (some file systems only
  // report them here); errno is set on false.
  bool Close() {
    int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

 private:
  int fd_;
};

int OpenRetrying(const std::string& path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = open(path.c_str(), flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool StatIs(const std::string& system_path, mode_t kind) {
  struct stat info;
  return stat(system_path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == kind;
}

std::string ParentOf(const std::string& system_path) {
  size_t slash = system_path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return system_path.substr(0, slash);
}

// Flushes a folder's entries to disk so a rename inside it survives a crash.
// Best effort: some file systems refuse to sync a folder.
void SyncFolder(const std::string& system_folder) {
  FileDescriptor folder(OpenRetrying(system_folder, O_RDONLY | O_DIRECTORY));
  if (folder.valid()) fsync(folder.get());
}

// The permissions a new file gets from this process: 0666 less the umask.
// umask can only be read by setting it, so it is set straight back.
mode_t NewFileMode() {
  mode_t mask = umask(022);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool PosixPlatform::WriteAll(int fd, const std::string& data) {
  const char* next = data.data();
  size_t left = data.size();
  while (left > 0) {
    ssize_t written = write(fd, next, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    next += written;
    left -= static_cast<size_t>(written);
  }
  return true;
}

bool PosixPlatform::FileExists(const std::string& path) {
  return !path.empty() && StatIs(ToSystemPath(path), S_IFREG);
}

bool PosixPlatform::DirectoryExists(const std::string& path) {
  return !path.empty() && StatIs(ToSystemPath(path), S_IFDIR);
}

bool PosixPlatform::MakeDirectory(const std::string& path) {
  std::string target = ToSystemPath(path);
  while (target.size() > 1 && target.back() == '/') target.pop_back();
  if (target.empty()) return Fail(kErrorInvalidParameter, "empty folder name");
  if (StatIs(target, S_IFDIR)) return true;
  // Each missing folder on the way, from the outermost in.
  for (size_t slash = target.find('/', 1);; slash = target.find('/', slash + 1)) {
    std::string prefix = slash == std::string::npos ? target : target.substr(0, slash);
    int error = mkdir(prefix.c_str(), 0777) == 0 ? 0 : errno;
    if (error != 0 && error != EEXIST) return FailErrno(error, "cannot create folder", prefix);
    if (error == EEXIST && !StatIs(prefix, S_IFDIR)) {
      return Fail(kErrorAlreadyExists, "a file stands where folder \"" + prefix + "\" should be");
    }
    if (slash == std::string::npos) break;
  }
  return true;
}

bool PosixPlatform::CopyFileTo(const std::string& source, const std::string& target,
                               bool fail_if_exists) {
  std::string from = ToSystemPath(source);
  std::string to = ToSystemPath(target);
  if (from.empty() || to.empty()) return Fail(kErrorInvalidParameter, "empty file name");

  FileDescriptor input(OpenRetrying(from, O_RDONLY));
  if (!input.valid()) return FailErrno(errno, "cannot open", from);
  struct stat source_info;
  if (fstat(input.get(), &source_info) != 0) return FailErrno(errno, "cannot read", from);
  if (!S_ISREG(source_info.st_mode)) return Fail(kErrorAccessDenied, "not a file: " + from);

  struct stat target_info;
  bool target_exists = stat(to.c_str(), &target_info) == 0;
  if (target_exists && fail_if_exists) {
    return Fail(kErrorFileExists, "the file \"" + to + "\" already exists");
  }
  // Truncating the target would destroy the source when both are one file.
  if (target_exists && target_info.st_dev == source_info.st_dev &&
      target_info.st_ino == source_info.st_ino) {
    return Fail(kErrorSharingViolation, "cannot copy \"" + from + "\" onto itself");
  }

  int flags = O_WRONLY | O_CREAT | (fail_if_exists ? O_EXCL : O_TRUNC);
  FileDescriptor output(OpenRetrying(to, flags, source_info.st_mode & 07777));
  if (!output.valid()) {
    if (errno == EEXIST) return Fail(kErrorFileExists, "the file \"" + to + "\" already exists");
    return FailErrno(errno, "cannot create", to);
  }

  char buffer[64 * 1024];
  for (;;) {
    ssize_t got = read(input.get(), buffer, sizeof(buffer));
    if (got < 0 && errno == EINTR) continue;
    bool ok = got >= 0 && WriteAll(output.get(), std::string(buffer, static_cast<size_t>(got)));
    if (!ok) {
      int error = errno;
      unlink(to.c_str());
      return FailErrno(error, got < 0 ? "cannot read" : "cannot write", got < 0 ? from : to);
    }
    if (got == 0) break;
  }
  // An existing target keeps its own permissions unless given the source's.
  fchmod(output.get(), source_info.st_mode & 07777);
  struct timespec times[2] = {source_info.st_atim, source_info.st_mtim};
  futimens(output.get(), times);
  if (!output.Close()) {
    int error = errno;
    unlink(to.c_str());
    return FailErrno(error, "cannot write", to);
  }
  return true;
}

bool PosixPlatform::RemoveFile(const std::string& path) {
  std::string file = ToSystemPath(path);
  if (file.empty()) return Fail(kErrorInvalidParameter, "empty file name");
  if (unlink(file.c_str()) != 0) return FailErrno(errno, "cannot delete", file);
  return true;
}

bool PosixPlatform::RenameFile(const std::string& from, const std::string& to) {
  std::string old_name = ToSystemPath(from);
  std::string new_name = ToSystemPath(to);
  if (old_name.empty() || new_name.empty()) return Fail(kErrorInvalidParameter, "empty file name");
  struct stat info;
  if (lstat(old_name.c_str(), &info) != 0) return FailErrno(errno, "cannot rename", old_name);
  // POSIX rename replaces the target silently; the host's system refuses.
  if (lstat(new_name.c_str(), &info) == 0) {
    return Fail(kErrorAlreadyExists, "the file \"" + new_name + "\" already exists");
  }
  if (rename(old_name.c_str(), new_name.c_str()) != 0) {
    return FailErrno(errno, "cannot rename to", new_name);
  }
  return true;
}

std::string PosixPlatform::FirstMatch(const std::string& pattern) {
  size_t separator = pattern.find_last_of("\\/");
  std::string folder =
      separator == std::string::npos ? "." : ToSystemPath(pattern.substr(0, separator + 1));
  std::string name_pattern =
      separator == std::string::npos ? pattern : pattern.substr(separator + 1);
  // "*.*" matches every name on the host's system, with or without a dot.
  if (name_pattern == "*.*") name_pattern = "*";

  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) {
    int error = errno;
    if (error == ENOENT || error == ENOTDIR) {
      Fail(kErrorPathNotFound, "folder not found: " + folder);
    } else {
      FailErrno(error, "cannot list", folder);
    }
    return "";
  }
  std::string best;
  bool found = false;
  while (struct dirent* entry = readdir(listing)) {
    std::string system_name = entry->d_name;
    if (system_name == "." || system_name == "..") continue;
    std::string name = FromSystemPath(system_name);
    if (!WildcardMatch(name_pattern, name)) continue;
    std::string full = folder.back() == '/' ? folder + system_name : folder + "/" + system_name;
    if (!StatIs(full, S_IFREG)) continue;
    if (!found || NameOrderLess(name, best)) {
      best = name;
      found = true;
    }
  }
  closedir(listing);
  if (!found) Fail(kErrorFileNotFound, "no file matches " + pattern);
  return best;
}

bool PosixPlatform::ReadWholeFile(const std::string& path, std::string* out) {
  return ReadSystemFile(ToSystemPath(path), out);
}

bool PosixPlatform::ReadWholeFileByNativeName(const std::string& native_path, std::string* out) {
  return ReadSystemFile(native_path, out);
}

bool PosixPlatform::ReadSystemFile(const std::string& file, std::string* out) {
  out->clear();
  if (file.empty()) return Fail(kErrorInvalidParameter, "empty file name");
  FileDescriptor input(OpenRetrying(file, O_RDONLY));
  if (!input.valid()) return FailErrno(errno, "cannot open", file);
  struct stat info;
  if (fstat(input.get(), &info) != 0) return FailErrno(errno, "cannot read", file);
  if (S_ISDIR(info.st_mode)) return Fail(kErrorAccessDenied, "a folder, not a file: " + file);
  if (info.st_size > 0) out->reserve(static_cast<size_t>(info.st_size));
  char buffer[64 * 1024];
  for (;;) {
    ssize_t got = read(input.get(), buffer, sizeof(buffer));
    if (got < 0) {
      if (errno == EINTR) continue;
      int error = errno;
      out->clear();
      return FailErrno(error, "cannot read", file);
    }
    if (got == 0) break;
    out->append(buffer, static_cast<size_t>(got));
  }
  return true;
}

bool PosixPlatform::WriteWholeFile(const std::string& path, const std::string& data) {
  std::string file = ToSystemPath(path);
  if (file.empty()) return Fail(kErrorInvalidParameter, "empty file name");
  FileDescriptor output(OpenRetrying(file, O_WRONLY | O_CREAT | O_TRUNC, 0666));
  if (!output.valid()) return FailErrno(errno, "cannot create", file);
  if (!WriteAll(output.get(), data) || !output.Close()) {
    return FailErrno(errno, "cannot write", file);
  }
  return true;
}

namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Removes the temporary files that atomic writes killed part way left in
// `system_folder`. A writer holds an exclusive lock on its temporary file
// until the rename, so a file that takes a shared lock has no writer left.
// The name is removed only while that lock is held and still names the file
// that was locked; a writer that loses its new file this way notices and
// starts again (CreateLockedTemporary).
void RemoveLeftoverTemporaries(const std::string& system_folder) {
  DIR* listing = opendir(system_folder.c_str());
  if (listing == nullptr) return;
  while (struct dirent* entry = readdir(listing)) {
    std::string name = entry->d_name;
    if (!IsTemporaryName(name)) continue;
    std::string full = system_folder == "/" ? "/" + name : system_folder + "/" + name;
    FileDescriptor leftover(OpenRetrying(full, O_RDONLY | O_NOFOLLOW | O_NONBLOCK));
    struct stat opened;
    struct stat named;
    if (!leftover.valid() || fstat(leftover.get(), &opened) != 0 || !S_ISREG(opened.st_mode)) {
      continue;
    }
    if (!LockDescriptor(leftover.get(), false, false)) continue;  // a write in progress
    if (lstat(full.c_str(), &named) == 0 && SameFile(opened, named)) unlink(full.c_str());
  }
  closedir(listing);
}

}  // namespace

int PosixPlatform::CreateLockedTemporary(const std::string& system_file, std::string* temporary) {
  // A cleaner in another process may take and remove the new file between
  // mkstemp and the lock; then the name no longer leads to it, and another
  // one is made.
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temporary = system_file + kTemporaryMark + std::string(kTemporaryRandom, 'X');
    int fd = mkstemp(temporary->data());
    if (fd < 0) return -1;
    struct stat opened;
    struct stat named;
    if (LockDescriptor(fd, true, true) && fstat(fd, &opened) == 0 &&
        lstat(temporary->c_str(), &named) == 0 && SameFile(opened, named)) {
      return fd;
    }
    int saved = errno;
    close(fd);
    errno = saved;
  }
  errno = EAGAIN;
  return -1;
}

bool PosixPlatform::WriteFileAtomically(const std::string& path, const std::string& data) {
  std::string file = ToSystemPath(path);
  if (file.empty()) return Fail(kErrorInvalidParameter, "empty file name");
  struct stat info;
  mode_t mode = stat(file.c_str(), &info) == 0 ? (info.st_mode & 07777) : NewFileMode();
  RemoveLeftoverTemporaries(ParentOf(file));

  // The temporary file sits beside the target: a rename is only atomic
  // within one file system.
  std::string temporary;
  int fd = CreateLockedTemporary(file, &temporary);
  if (fd < 0) return FailErrno(errno, "cannot create", file);
  // Closing the descriptor releases the lock, so it stays open until the
  // rename (or the removal on failure). fsync has already reported any
  // write error by then; closing cannot lose data that reached the disk.
  FileDescriptor output(fd);
  bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, data) && fsync(fd) == 0 &&
            rename(temporary.c_str(), file.c_str()) == 0;
  if (!ok) {
    int error = errno;
    unlink(temporary.c_str());
    return FailErrno(error, "cannot write", file);
  }
  SyncFolder(ParentOf(file));
  return true;
}

bool PosixPlatform::AppendToFile(const std::string& path, const std::string& data) {
  std::string file = ToSystemPath(path);
  if (file.empty()) return Fail(kErrorInvalidParameter, "empty file name");
  FileDescriptor output(OpenRetrying(file, O_WRONLY | O_CREAT | O_APPEND, 0666));
  if (!output.valid()) return FailErrno(errno, "cannot open", file);
  if (!WriteAll(output.get(), data) || !output.Close()) {
    return FailErrno(errno, "cannot write", file);
  }
  return true;
}

bool PosixPlatform::AppendDurably(const std::string& path, const std::string& data) {
  std::string file = ToSystemPath(path);
  if (file.empty()) return Fail(kErrorInvalidParameter, "empty file name");
  bool created = access(file.c_str(), F_OK) != 0;
  FileDescriptor output(OpenRetrying(file, O_WRONLY | O_CREAT | O_APPEND, 0666));
  if (!output.valid()) return FailErrno(errno, "cannot open", file);
  if (!WriteAll(output.get(), data) || fdatasync(output.get()) != 0 || !output.Close()) {
    return FailErrno(errno, "cannot write", file);
  }
  if (created) SyncFolder(ParentOf(file));
  return true;
}

int64_t PosixPlatform::FileSize(const std::string& path) {
  std::string file = ToSystemPath(path);
  if (file.empty()) {
    Fail(kErrorInvalidParameter, "empty file name");
    return -1;
  }
  struct stat info;
  if (stat(file.c_str(), &info) != 0) {
    FailErrno(errno, "cannot examine", file);
    return -1;
  }
  if (!S_ISREG(info.st_mode)) {
    Fail(kErrorAccessDenied, "not a regular file: " + file);
    return -1;
  }
  return static_cast<int64_t>(info.st_size);
}

bool PosixPlatform::ReadFileRange(const std::string& path, int64_t offset, int64_t size,
                                  std::string* out) {
  out->clear();
  std::string file = ToSystemPath(path);
  if (file.empty() || offset < 0 || size < 0) return Fail(kErrorInvalidParameter, "bad range");
  FileDescriptor input(OpenRetrying(file, O_RDONLY));
  if (!input.valid()) return FailErrno(errno, "cannot open", file);
  out->resize(static_cast<size_t>(size));
  size_t done = 0;
  while (done < out->size()) {
    ssize_t got = pread(input.get(), out->data() + done, out->size() - done,
                        static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      out->clear();
      return FailErrno(errno, "cannot read", file);
    }
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  out->resize(done);
  return true;
}

bool PosixPlatform::TruncateFile(const std::string& path, int64_t size) {
  std::string file = ToSystemPath(path);
  if (file.empty() || size < 0) return Fail(kErrorInvalidParameter, "bad size");
  FileDescriptor output(OpenRetrying(file, O_WRONLY));
  if (!output.valid()) return FailErrno(errno, "cannot open", file);
  if (ftruncate(output.get(), static_cast<off_t>(size)) != 0 || fsync(output.get()) != 0 ||
      !output.Close()) {
    return FailErrno(errno, "cannot truncate", file);
  }
  return true;
}

std::string PosixPlatform::MakeTempDirectory(const std::string& prefix) {
  const char* base = getenv("TMPDIR");
  std::string folder = (base != nullptr && base[0] != '\0') ? base : "/tmp";
  std::string pattern = folder + "/" + ToSystemPath(prefix) + "XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    FailErrno(errno, "cannot create temporary folder", pattern);
    return "";
  }
  return FromSystemPath(pattern);
}

namespace {

// Removes `system_path` and, for a folder, everything below it. Symbolic
// links are removed, never followed. errno is set on false.
bool RemoveSystemTree(const std::string& system_path) {
  struct stat info;
  if (lstat(system_path.c_str(), &info) != 0) return errno == ENOENT;
  if (!S_ISDIR(info.st_mode)) return unlink(system_path.c_str()) == 0 || errno == ENOENT;
  DIR* listing = opendir(system_path.c_str());
  if (listing == nullptr) return false;
  bool ok = true;
  while (struct dirent* entry = readdir(listing)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (!RemoveSystemTree(system_path + "/" + name)) ok = false;
  }
  int saved = errno;
  closedir(listing);
  errno = saved;
  if (!ok) return false;
  return rmdir(system_path.c_str()) == 0 || errno == ENOENT;
}

}  // namespace

bool PosixPlatform::RemoveTree(const std::string& path) {
  std::string root = ToSystemPath(path);
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  // Refuse the obvious disasters a wrong variable could cause.
  if (root.empty() || root == "/" || root == "." || root == "..") {
    return Fail(kErrorInvalidParameter, "refusing to remove \"" + root + "\"");
  }
  if (!RemoveSystemTree(root)) return FailErrno(errno, "cannot remove", root);
  return true;
}

}  // namespace zel::platform
