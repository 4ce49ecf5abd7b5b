// File locks and the clean-up of interrupted atomic writes on the operating
// system's platform.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "native_folder_fixture.h"
#include "platform/platform.h"

namespace zel::platform {
namespace {

using PosixLocksTest = NativeFolderTest;

TEST_F(PosixLocksTest, OneHolderAtATimeEvenInsideOneProcess) {
  std::unique_ptr<FileLock> first = os_->LockFile(P("printer.lock"), 0);
  ASSERT_NE(first, nullptr) << os_->LastErrorText();
  EXPECT_TRUE(os_->FileExists(P("printer.lock")));

  // Another holder in this process waits in vain, whether it only tries or
  // waits a little.
  for (int timeout : {0, 30}) {
    auto second = MakeNativePlatform();
    EXPECT_EQ(second->LockFile(P("printer.lock"), timeout), nullptr);
    EXPECT_EQ(second->LastError(), kErrorLockViolation);
  }
  // Another file is another lock.
  EXPECT_NE(os_->LockFile(P("other.lock"), 0), nullptr);

  first.reset();
  EXPECT_NE(os_->LockFile(P("printer.lock"), 0), nullptr);
  EXPECT_TRUE(os_->FileExists(P("printer.lock")));  // left in place
}

TEST_F(PosixLocksTest, AMissingFolderIsReported) {
  EXPECT_EQ(os_->LockFile(P("no\\such\\printer.lock"), -1), nullptr);
  EXPECT_EQ(os_->LastError(), kErrorPathNotFound);
  EXPECT_FALSE(os_->DirectoryExists(P("no")));
}

TEST_F(PosixLocksTest, AKilledHolderReleasesTheLock) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto own = MakeNativePlatform();
    std::unique_ptr<FileLock> held = own->LockFile(P("printer.lock"), -1);
    char byte = held != nullptr ? '1' : '0';
    if (write(ready[1], &byte, 1) != 1) _exit(1);
    for (;;) pause();  // holds the lock until killed
  }
  close(ready[1]);
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  close(ready[0]);
  ASSERT_EQ(byte, '1');

  EXPECT_EQ(os_->LockFile(P("printer.lock"), 20), nullptr);
  EXPECT_EQ(os_->LastError(), kErrorLockViolation);
  ASSERT_EQ(kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_NE(os_->LockFile(P("printer.lock"), 0), nullptr) << os_->LastErrorText();
}

// A holder that waited for a file whose name was taken away meanwhile (the
// file deleted under the holder before it) ends up holding the file the name
// leads to now, so whoever comes next waits for it at that file.
TEST_F(PosixLocksTest, AWaiterEndsUpHoldingTheFileItsNameLeadsToNow) {
  std::unique_ptr<FileLock> first = os_->LockFile(P("printer.lock"), 0);
  ASSERT_NE(first, nullptr) << os_->LastErrorText();
  std::atomic<bool> done{false};
  std::unique_ptr<FileLock> second;
  std::thread waiter([&] {
    second = MakeNativePlatform()->LockFile(P("printer.lock"), 10000);
    done = true;
  });
  // Time for the waiter to open the file and wait for it (were it slower,
  // it would only open the file after the deletion: the same outcome).
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(done);
  ASSERT_TRUE(os_->RemoveFile(P("printer.lock")));
  first.reset();
  waiter.join();
  ASSERT_NE(second, nullptr);

  // The file now at the name is locked (tested with the system's own call,
  // which knows nothing of names).
  int fd = open(ToSystemPath(P("printer.lock")).c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0) << "the waiter holds a file without a name";
#ifdef F_OFD_GETLK
  struct flock probe = {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  ASSERT_EQ(fcntl(fd, F_OFD_GETLK, &probe), 0);
  EXPECT_NE(probe.l_type, F_UNLCK);
#else
  EXPECT_NE(flock(fd, LOCK_SH | LOCK_NB), 0);
#endif
  close(fd);
}

TEST_F(PosixLocksTest, AnAtomicWriteRemovesLeftoversButNotAWriteInProgress) {
  ASSERT_TRUE(os_->MakeDirectory(P("elsewhere")));
  struct Case {
    const char* name;
    bool removed;
  };
  const Case cases[] = {
      {"IBMFI32.MEM.tmp-a1B2c3", true},    // left by a killed write of this file
      {"bobina.txt.tmp-ZZZZZZ", true},     // of another file in the same folder
      {"IBMFI32.MEM.tmp-Locked", false},   // a write in progress (locked below)
      {"IBMFI32.MEM.tmp-12345", false},    // not a temporary file's name
      {"IBMFI32.MEM.tmp-1234567", false},  //
      {"notas.tmp-ab_cde", false},         //
      {"elsewhere\\x.tmp-abcdef", false},  // another folder
  };
  for (const Case& c : cases) ASSERT_TRUE(os_->WriteWholeFile(P(c.name), "x")) << c.name;
  std::unique_ptr<FileLock> in_progress = os_->LockFile(P("IBMFI32.MEM.tmp-Locked"), 0);
  ASSERT_NE(in_progress, nullptr);

  ASSERT_TRUE(os_->WriteFileAtomically(P("IBMFI32.MEM"), "memory")) << os_->LastErrorText();
  for (const Case& c : cases) EXPECT_EQ(os_->FileExists(P(c.name)), !c.removed) << c.name;
  std::string data;
  ASSERT_TRUE(os_->ReadWholeFile(P("IBMFI32.MEM"), &data));
  EXPECT_EQ(data, "memory");

  // Once its writer is gone, the next write takes it away too.
  in_progress.reset();
  ASSERT_TRUE(os_->WriteFileAtomically(P("IBMFI32.MEM"), "again"));
  EXPECT_FALSE(os_->FileExists(P("IBMFI32.MEM.tmp-Locked")));
}

}  // namespace
}  // namespace zel::platform
