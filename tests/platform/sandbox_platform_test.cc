// The test platform other suites rely on: folders, clock, failures.
#include "support/sandbox_platform.h"

#include <gtest/gtest.h>

#include <string>

namespace zel::test {
namespace {

using platform::Current;

TEST(SandboxPlatformTest, RootsItsFoldersInATemporaryFolderItRemoves) {
  std::string root;
  {
    SandboxPlatform sandbox;
    root = sandbox.root();
    EXPECT_EQ(&Current(), &sandbox);
    EXPECT_EQ(sandbox.SystemDirectory(), platform::JoinPath(root, "system"));
    EXPECT_EQ(sandbox.ExecutableDirectory(), platform::JoinPath(root, "host"));
    EXPECT_TRUE(sandbox.DirectoryExists(sandbox.SystemDirectory()));
    EXPECT_TRUE(sandbox.DirectoryExists(sandbox.ExecutableDirectory()));
    ASSERT_TRUE(sandbox.WriteWholeFile(sandbox.Path("host\\impdebug1226.txt"), "x"));
    sandbox.SetExecutableDirectory(sandbox.Path("elsewhere\\"));
    EXPECT_EQ(Current().ExecutableDirectory(), platform::JoinPath(root, "elsewhere"));
    sandbox.SetExecutableDirectory("");
    EXPECT_EQ(Current().ExecutableDirectory(), platform::JoinPath(root, "host"));
  }
  EXPECT_EQ(&Current(), &platform::Native());
  EXPECT_FALSE(Current().DirectoryExists(root));
}

TEST(SandboxPlatformTest, SandboxesNestAndRestoreTheOuterOne) {
  SandboxPlatform outer;
  {
    SandboxPlatform inner;
    EXPECT_NE(inner.root(), outer.root());
    EXPECT_EQ(&Current(), &inner);
  }
  EXPECT_EQ(&Current(), &outer);
}

TEST(SandboxPlatformTest, ClockIsFixedAndMovesOnlyWhenTold) {
  SandboxPlatform sandbox;
  EXPECT_EQ(zel::Now(), EncodeDateTime(2026, 12, 10, 10, 0, 0, 0));
  sandbox.AdvanceSeconds(90);
  EXPECT_EQ(zel::Now(), EncodeDateTime(2026, 12, 10, 10, 1, 30, 0));
  sandbox.Delay(300);
  sandbox.Delay(-5);
  sandbox.Delay(200);
  EXPECT_EQ(sandbox.total_delay_ms(), 500);
  EXPECT_EQ(sandbox.delay_calls(), 3);
  EXPECT_EQ(zel::Now(), EncodeDateTime(2026, 12, 10, 10, 1, 30, 0));
  sandbox.set_delay_advances_clock(true);
  sandbox.Delay(1500);
  EXPECT_EQ(DateTimeToMilliseconds(zel::Now()),
            DateTimeToMilliseconds(EncodeDateTime(2026, 12, 10, 10, 1, 31, 500)));
  sandbox.SetNow(EncodeDateTime(2027, 1, 1, 0, 0, 0, 0));
  EXPECT_EQ(Current().Now(), EncodeDateTime(2027, 1, 1, 0, 0, 0, 0));
}

TEST(SandboxPlatformTest, FailsTheChosenCopyOnlyWithTheChosenCode) {
  SandboxPlatform sandbox;
  const std::string source = sandbox.Path("a.MFD");
  ASSERT_TRUE(sandbox.WriteWholeFile(source, "mfd"));
  sandbox.FailNthCopy(2, platform::kErrorDiskFull);
  EXPECT_TRUE(Current().CopyFileTo(source, sandbox.Path("1.MFD"), true));
  EXPECT_FALSE(Current().CopyFileTo(source, sandbox.Path("2.MFD"), true));
  EXPECT_EQ(Current().LastError(), platform::kErrorDiskFull);
  EXPECT_FALSE(sandbox.FileExists(sandbox.Path("2.MFD")));
  EXPECT_TRUE(Current().CopyFileTo(source, sandbox.Path("3.MFD"), true));
  EXPECT_EQ(sandbox.copy_calls(), 3);
  // The real copy still reports its own errors.
  EXPECT_FALSE(Current().CopyFileTo(source, sandbox.Path("1.MFD"), true));
  EXPECT_EQ(Current().LastError(), platform::kErrorFileExists);
}

TEST(SandboxPlatformTest, FailsTheNextWriteOnce) {
  SandboxPlatform sandbox;
  const std::string file = sandbox.Path("x.cds");
  sandbox.FailNextWrite(platform::kErrorAccessDenied);
  EXPECT_FALSE(Current().WriteFileAtomically(file, "a"));
  EXPECT_EQ(Current().LastError(), platform::kErrorAccessDenied);
  EXPECT_FALSE(sandbox.FileExists(file));
  EXPECT_TRUE(Current().AppendToFile(file, "b"));
  EXPECT_TRUE(Current().AppendToFile(file, "c"));
  std::string content;
  ASSERT_TRUE(sandbox.ReadWholeFile(file, &content));
  EXPECT_EQ(content, "bc");
}

TEST(SandboxPlatformTest, LoadsTheBuildsLibrariesUnlessTold) {
  SandboxPlatform sandbox;
  platform::LibraryHandle library = Current().OpenLibrary("zel_runtime.dll");
  ASSERT_NE(library, nullptr) << Current().LastErrorText();
  EXPECT_NE(Current().LibrarySymbol(library, "_ZN3zel10IsLeapYearEi"), nullptr);
  Current().CloseLibrary(library);

  sandbox.FailOpenLibrary(true);
  EXPECT_EQ(Current().OpenLibrary("zel_runtime.dll"), nullptr);
  EXPECT_EQ(Current().LastError(), platform::kErrorModNotFound);
  sandbox.FailOpenLibrary(false);
  library = Current().OpenLibrary("zel_runtime.dll");
  EXPECT_NE(library, nullptr);
  Current().CloseLibrary(library);
}

}  // namespace
}  // namespace zel::test
