// POSIX platform: file locks. Open-file-description locks (fcntl F_OFD_*)
// where the system has them, flock() elsewhere: both belong to the open file,
// not to the process, so a second descriptor in the same process is excluded
// like another process, and closing an unrelated descriptor of the same file
// does not drop the lock (as classic fcntl locks would).
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

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

class PosixFileLock : public FileLock {
 public:
  explicit PosixFileLock(int fd) : fd_(fd) {}
  ~PosixFileLock() override { close(fd_); }  // closing the file releases its lock

 private:
  int fd_;
};

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
  int fd;
  do {
    fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    FailErrno(errno, "cannot open", file);
    return nullptr;
  }
  auto lock = std::make_unique<PosixFileLock>(fd);  // closes fd on every failure below
  if (timeout_ms < 0) {
    if (LockDescriptor(fd, true, true)) return lock;
    FailErrno(errno, "cannot lock", file);
    return nullptr;
  }
  // A bounded wait: try, then sleep a little longer each time (up to 10 ms,
  // so a released lock is taken soon after) until the time is up.
  const long long deadline = MonotonicMilliseconds() + timeout_ms;
  long long pause = 1;
  for (;;) {
    if (LockDescriptor(fd, true, false)) return lock;
    if (errno != EAGAIN && errno != EACCES) {
      FailErrno(errno, "cannot lock", file);
      return nullptr;
    }
    long long left = deadline - MonotonicMilliseconds();
    if (left <= 0) break;
    SleepMilliseconds(pause < left ? pause : left);
    if (pause < 10) pause *= 2;
  }
  Fail(kErrorLockViolation, "\"" + file + "\" is locked by another process");
  return nullptr;
}

}  // namespace zel::platform
