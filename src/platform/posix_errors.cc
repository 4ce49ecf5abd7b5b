// POSIX errors as the Windows error codes that the driver's callers log.
#include <errno.h>
#include <sys/stat.h>

#include <string>

#include "platform/posix_platform.h"

namespace zel::platform {

int WindowsErrorFromErrno(int error_number) {
  switch (error_number) {
    case 0:
      return 0;
    case ENOENT:
      return kErrorFileNotFound;
    case ENOTDIR:
      return kErrorPathNotFound;
    case EMFILE:
    case ENFILE:
      return kErrorTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
      return kErrorAccessDenied;
    case ENOMEM:
      return kErrorNotEnoughMemory;
    case EXDEV:
      return kErrorNotSameDevice;
    case EROFS:
      return kErrorWriteProtect;
    case EBUSY:
    case ETXTBSY:
      return kErrorSharingViolation;
    case EEXIST:
      return kErrorAlreadyExists;
    case EINVAL:
      return kErrorInvalidParameter;
    case ENOSPC:
    case EDQUOT:
      return kErrorDiskFull;
    case ENOTEMPTY:
      return kErrorDirNotEmpty;
    case ENAMETOOLONG:
      return kErrorFilenameTooLong;
    default:
      return kErrorGenFailure;
  }
}

int MissingPathCode(const std::string& system_path) {
  std::string parent;
  size_t slash = system_path.find_last_of('/');
  if (slash == std::string::npos) {
    parent = ".";
  } else if (slash == 0) {
    parent = "/";
  } else {
    parent = system_path.substr(0, slash);
  }
  struct stat info;
  if (stat(parent.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return kErrorFileNotFound;
  return kErrorPathNotFound;
}

}  // namespace zel::platform
