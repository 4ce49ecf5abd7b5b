// POSIX platform: file locks. Open-file-description locks (fcntl F_OFD_*)
// where the system has them, flock() elsewhere: both belong to the open file,
// not to the process, so a second descriptor in the same process is excluded
// like another process, and closing an unrelated descriptor of the same file
// does not drop the lock (as classic fcntl locks would).
//
// A lock belongs to the file, not to its name, and a name can be taken away
// from a file while it is locked (deleted, or replaced by a new file). So a
// lock is only taken when the file locked is still the one its name leads
// to, and where the system has open-file-description locks its holder also
// leaves a mark on the folder under the file's name, which no change of the
// name removes: whoever locks a new file of that name while the mark of an
// earlier holder is there waits for that holder too.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/posix_platform.h"

namespace zel::platform {

namespace {

// Milliseconds of a monotonic clock, for waits that must not follow changes
// of the wall clock.
long long MonotonicMilliseconds() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void SleepMilliseconds(long long milliseconds) {
  struct timespec pause = {static_cast<time_t>(milliseconds / 1000),
                           static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
  }
}

int OpenRetrying(const std::string& system_path, int flags) {
  int fd;
  do {
    fd = open(system_path.c_str(), flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

class PosixFileLock : public FileLock {
 public:
  explicit PosixFileLock(int fd) : fd_(fd) {}
  ~PosixFileLock() override {
    // The mark goes first, so that whoever gets the file next finds the
    // folder without it. Closing the file releases its lock.
    if (folder_fd_ >= 0) close(folder_fd_);
    close(fd_);
  }
  // The folder's descriptor that carries the holder's mark.
  void KeepMark(int folder_fd) { folder_fd_ = folder_fd; }

 private:
  int fd_;
  int folder_fd_ = -1;
};

// What leaving the holder's mark on the folder came to.
enum class Mark {
  kLeft,          // the mark is there; no other holder's mark is
  kOtherHolder,   // another holder of a file of this name left its mark
  kNotSupported,  // the system or the folder keeps no such mark: the lock
                  // of the file alone excludes
};

#ifdef F_OFD_SETLK
// The byte of the folder that stands for the file name `name`: a hash of
// the name, within the range every file offset type can hold. Two names of
// one folder that share a byte (about one pair in two thousand million) only
// make their holders wait for each other.
off_t MarkPosition(const std::string& name) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
  return static_cast<off_t>(hash % 2147483647u);
}
#endif

// Leaves the mark of the holder of `system_file`'s lock on its folder: a
// shared lock on the folder's byte for the file's name (a folder can only
// be opened for reading, so it takes shared locks only; a lock test for an
// exclusive lock finds the marks of other holders). Every holder leaves its
// mark before it looks for another's, so of two that come at once at least
// one sees the other.
Mark LeaveMark(PosixFileLock* lock, const std::string& system_file) {
#ifdef F_OFD_SETLK
  size_t slash = system_file.find_last_of('/');
  std::string folder = slash == std::string::npos ? "."
                       : slash == 0               ? "/"
                                                  : system_file.substr(0, slash);
  std::string name = slash == std::string::npos ? system_file : system_file.substr(slash + 1);
  int folder_fd = OpenRetrying(folder, O_RDONLY | O_DIRECTORY);
  if (folder_fd < 0) return Mark::kNotSupported;  // a folder this process may not read
  struct flock mark = {};
  mark.l_type = F_RDLCK;
  mark.l_whence = SEEK_SET;
  mark.l_start = MarkPosition(name);
  mark.l_len = 1;
  struct flock probe = mark;
  probe.l_type = F_WRLCK;
  if (fcntl(folder_fd, F_OFD_SETLK, &mark) != 0 || fcntl(folder_fd, F_OFD_GETLK, &probe) != 0) {
    close(folder_fd);  // a file system that keeps no locks on folders
    return Mark::kNotSupported;
  }
  if (probe.l_type != F_UNLCK) {
    close(folder_fd);
    return Mark::kOtherHolder;
  }
  lock->KeepMark(folder_fd);
  return Mark::kLeft;
#else
  (void)lock;
  (void)system_file;
  return Mark::kNotSupported;
#endif
}

}  // namespace

bool LockDescriptor(int fd, bool exclusive, bool wait) {
  int result;
  do {
#ifdef F_OFD_SETLKW
    struct flock range = {};
    range.l_type = exclusive ? F_WRLCK : F_RDLCK;
    range.l_whence = SEEK_SET;
    range.l_start = 0;
    range.l_len = 0;  // the whole file, however long it grows
    result = fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &range);
#else
    result = flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | (wait ? 0 : LOCK_NB));
    if (result != 0 && errno == EWOULDBLOCK) errno = EAGAIN;
#endif
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

std::unique_ptr<FileLock> PosixPlatform::LockFile(const std::string& path, int timeout_ms) {
  std::string file = ToSystemPath(path);
  if (file.empty()) {
    Fail(kErrorInvalidParameter, "empty file name");
    return nullptr;
  }
  // A bounded wait tries, then sleeps a little longer each time (up to
  // 10 ms, so a released lock is taken soon after) until the time is up.
  const bool forever = timeout_ms < 0;
  const long long deadline = MonotonicMilliseconds() + (forever ? 0 : timeout_ms);
  long long pause = 1;
  auto sleep_unless_time_is_up = [&]() {
    long long left = forever ? pause : deadline - MonotonicMilliseconds();
    if (left <= 0) return false;
    SleepMilliseconds(pause < left ? pause : left);
    if (pause < 10) pause *= 2;
    return true;
  };
  // A name that leads to another file at every try: after the wait, only a
  // few more tries.
  int late_tries = 0;
  for (;;) {
    int fd = OpenRetrying(file, O_RDWR | O_CREAT);
    if (fd < 0) {
      FailErrno(errno, "cannot open", file);
      return nullptr;
    }
    auto lock = std::make_unique<PosixFileLock>(fd);  // closes fd when not kept
    bool locked = LockDescriptor(fd, true, forever);
    while (!locked && !forever && (errno == EAGAIN || errno == EACCES) &&
           sleep_unless_time_is_up()) {
      locked = LockDescriptor(fd, true, false);
    }
    if (!locked) {
      if (errno == EAGAIN || errno == EACCES) break;  // still held when the time was up
      FailErrno(errno, "cannot lock", file);
      return nullptr;
    }
    // The name may have been taken from this file (deleted, or given to a
    // new file) while this process waited for it: the lock then guards
    // nothing, and the file the name leads to now is the one to lock.
    struct stat opened;
    struct stat named;
    if (fstat(fd, &opened) != 0) {
      FailErrno(errno, "cannot lock", file);
      return nullptr;
    }
    bool named_now = stat(file.c_str(), &named) == 0;
    if (!named_now && errno != ENOENT) {
      FailErrno(errno, "cannot lock", file);
      return nullptr;
    }
    if (!named_now || !SameFile(opened, named)) {
      if (!forever && MonotonicMilliseconds() >= deadline && ++late_tries > 3) break;
      continue;
    }
    // A holder whose file lost its name holds the lock still.
    if (LeaveMark(lock.get(), file) != Mark::kOtherHolder) return lock;
    lock.reset();
    if (!sleep_unless_time_is_up()) break;
  }
  Fail(kErrorLockViolation, "\"" + file + "\" is locked by another process");
  return nullptr;
}

}  // namespace zel::platform
