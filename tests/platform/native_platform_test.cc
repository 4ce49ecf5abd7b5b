// The operating system's platform, whichever it is (POSIX or Windows): the
// same cases, the same Windows error codes, in a temporary folder per test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "native_folder_fixture.h"
#include "platform/platform.h"

namespace zel::platform {
namespace {

using NativePlatformTest = NativeFolderTest;

TEST_F(NativePlatformTest, WindowsNamesAndEveryByteOfTheContentSurvive) {
  const std::string data("a\0b\r\n\xE7\xFF", 7);
  const std::string folder =
      "Dados\\Redu\xE7\xF5"
      "es";
  ASSERT_TRUE(os_->MakeDirectory(P(folder + "\\Sub")));
  EXPECT_TRUE(os_->MakeDirectory(P(folder)));  // already there
  Write(folder + "\\Z.bin", data);
  EXPECT_EQ(Read("Dados/Redu\xE7\xF5"
                 "es/Z.bin"),
            data);
  EXPECT_EQ(os_->FileSize(P(folder + "\\Z.bin")), 7);
  EXPECT_TRUE(os_->FileExists(P(folder + "\\Z.bin")));
  EXPECT_FALSE(os_->FileExists(P(folder)));
  EXPECT_TRUE(os_->DirectoryExists(P(folder)));
  // The temporary folder is returned as the system writes it and is usable
  // as given.
  EXPECT_TRUE(os_->DirectoryExists(root_));
}

TEST_F(NativePlatformTest, FailuresCarryTheHostSystemsErrorCodes) {
  Write("a.txt", "A");
  Write("b.txt", "B");
  ASSERT_TRUE(os_->MakeDirectory(P("dir")));
  std::string out;
  struct Case {
    const char* what;
    std::function<bool()> call;
    int code;
  };
  const Case cases[] = {
      {"read a missing file", [&] { return os_->ReadWholeFile(P("none.txt"), &out); },
       kErrorFileNotFound},
      {"read in a missing folder", [&] { return os_->ReadWholeFile(P("nodir\\x.txt"), &out); },
       kErrorPathNotFound},
      {"read a folder", [&] { return os_->ReadWholeFile(P("dir"), &out); }, kErrorAccessDenied},
      {"write in a missing folder", [&] { return os_->WriteWholeFile(P("nodir\\x.txt"), "x"); },
       kErrorPathNotFound},
      {"copy onto an existing file when told not to",
       [&] { return os_->CopyFileTo(P("a.txt"), P("b.txt"), true); }, kErrorFileExists},
      {"copy a file onto itself", [&] { return os_->CopyFileTo(P("a.txt"), P("a.txt"), false); },
       kErrorSharingViolation},
      {"copy a missing file", [&] { return os_->CopyFileTo(P("none.txt"), P("c.txt"), false); },
       kErrorFileNotFound},
      {"rename onto an existing file", [&] { return os_->RenameFile(P("a.txt"), P("b.txt")); },
       kErrorAlreadyExists},
      {"delete a missing file", [&] { return os_->RemoveFile(P("none.txt")); }, kErrorFileNotFound},
      {"make a folder where a file is", [&] { return os_->MakeDirectory(P("a.txt\\sub")); },
       kErrorAlreadyExists},
      {"size of a missing file", [&] { return os_->FileSize(P("none.txt")) >= 0; },
       kErrorFileNotFound},
      {"an empty name", [&] { return os_->WriteWholeFile("", "x"); }, kErrorInvalidParameter},
      {"a missing library", [&] { return os_->OpenLibrary(P("none.dll")) != nullptr; },
       kErrorModNotFound},
      {"a symbol of no library", [&] { return os_->LibrarySymbol(nullptr, "f") != nullptr; },
       kErrorProcNotFound},
  };
  for (const Case& c : cases) {
    os_->SetLastErrorCode(0);
    EXPECT_FALSE(c.call()) << c.what;
    EXPECT_EQ(os_->LastError(), c.code) << c.what << ": " << os_->LastErrorText();
  }
  EXPECT_EQ(Read("a.txt"), "A");  // nothing above damaged the files
  EXPECT_EQ(Read("b.txt"), "B");
  EXPECT_FALSE(os_->FileExists(P("c.txt")));
}

TEST_F(NativePlatformTest, CopyRenameRemoveAndFirstMatch) {
  Write("a.txt", "A");
  ASSERT_TRUE(os_->CopyFileTo(P("a.txt"), P("b.txt"), true));
  Write("a.txt", "AA");
  ASSERT_TRUE(os_->CopyFileTo(P("a.txt"), P("b.txt"), false));
  EXPECT_EQ(Read("b.txt"), "AA");
  ASSERT_TRUE(os_->RenameFile(P("b.txt"), P("c.txt")));
  EXPECT_FALSE(os_->FileExists(P("b.txt")));
  ASSERT_TRUE(os_->RemoveFile(P("c.txt")));
  EXPECT_FALSE(os_->FileExists(P("c.txt")));

  ASSERT_TRUE(os_->MakeDirectory(P("mfd\\Z.MFD")));  // a folder never matches
  Write("mfd\\b2.mfd", "");
  Write("mfd\\B1.Mfd", "");
  Write("mfd\\a.txt", "");
  struct Case {
    const char* pattern;
    const char* first;
  };
  const Case cases[] = {{"*.MFD", "B1.Mfd"},
                        {"*.*", "a.txt"},
                        {"b?.mfd", "B1.Mfd"},
                        {"*2*", "b2.mfd"},
                        {"*.xml", ""}};
  for (const Case& c : cases) {
    EXPECT_EQ(os_->FirstMatch(P(std::string("mfd\\") + c.pattern)), c.first) << c.pattern;
  }
  EXPECT_EQ(os_->LastError(), kErrorFileNotFound);
  EXPECT_EQ(os_->FirstMatch(P("nodir\\*.*")), "");
  EXPECT_EQ(os_->LastError(), kErrorPathNotFound);
}

TEST_F(NativePlatformTest, AtomicWritesJournalsAndRanges) {
  Write("m.bin", "old");
  // A temporary file a killed writer left behind goes with the next write.
  Write("m.bin.tmp-abc123", "half");
  ASSERT_TRUE(os_->WriteFileAtomically(P("m.bin"), "new content"));
  EXPECT_EQ(Read("m.bin"), "new content");
  EXPECT_FALSE(os_->FileExists(P("m.bin.tmp-abc123")));
  EXPECT_EQ(os_->FirstMatch(P("*.tmp-*")), "");

  ASSERT_TRUE(os_->AppendDurably(P("j.log"), "one\n"));
  ASSERT_TRUE(os_->AppendDurably(P("j.log"), "two\n"));
  ASSERT_TRUE(os_->AppendToFile(P("j.log"), "three\n"));
  EXPECT_EQ(os_->FileSize(P("j.log")), 14);
  std::string range;
  ASSERT_TRUE(os_->ReadFileRange(P("j.log"), 4, 4, &range));
  EXPECT_EQ(range, "two\n");
  ASSERT_TRUE(os_->ReadFileRange(P("j.log"), 12, 100, &range));
  EXPECT_EQ(range, "e\n");  // fewer at the end of the file
  ASSERT_TRUE(os_->TruncateFile(P("j.log"), 8));
  EXPECT_EQ(Read("j.log"), "one\ntwo\n");
}

TEST_F(NativePlatformTest, AFileLockExcludesASecondHolderUntilReleased) {
  auto first = os_->LockFile(P("printer.lock"), 0);
  ASSERT_NE(first, nullptr) << os_->LastErrorText();
  EXPECT_TRUE(os_->FileExists(P("printer.lock")));
  // Another holder in the same process is excluded like another process.
  EXPECT_EQ(os_->LockFile(P("printer.lock"), 0), nullptr);
  EXPECT_EQ(os_->LastError(), kErrorLockViolation);
  EXPECT_EQ(os_->LockFile(P("printer.lock"), 30), nullptr);
  EXPECT_EQ(os_->LastError(), kErrorLockViolation);
  first.reset();
  EXPECT_NE(os_->LockFile(P("printer.lock"), 0), nullptr);
  EXPECT_EQ(os_->LockFile(P("nodir\\printer.lock"), 0), nullptr);
  EXPECT_EQ(os_->LastError(), kErrorPathNotFound);
}

// Taking the name away from a held lock file (deleting it, or putting a new
// file in its place, as a clean-up by hand might) loses no lock: the next
// holder still waits for the one that holds it. On Windows the name cannot
// even be taken while the file is held.
TEST_F(NativePlatformTest, AFileLockOutlivesItsFilesName) {
  struct Case {
    const char* what;
    bool made_again;
  };
  const Case cases[] = {{"deleted", false}, {"deleted and made again", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto first = os_->LockFile(P("printer.lock"), 0);
    ASSERT_NE(first, nullptr) << os_->LastErrorText();
    bool removed = os_->RemoveFile(P("printer.lock"));
    EXPECT_EQ(removed, !NativeIsWindows()) << os_->LastErrorText();
    if (removed && c.made_again) Write("printer.lock", "");
    for (int timeout : {0, 30}) {
      auto second = MakeNativePlatform();
      EXPECT_EQ(second->LockFile(P("printer.lock"), timeout), nullptr) << timeout;
      EXPECT_EQ(second->LastError(), kErrorLockViolation);
    }
    first.reset();
    auto next = os_->LockFile(P("printer.lock"), 0);
    ASSERT_NE(next, nullptr) << os_->LastErrorText();
    EXPECT_TRUE(os_->FileExists(P("printer.lock")));
    EXPECT_EQ(MakeNativePlatform()->LockFile(P("printer.lock"), 0), nullptr);
  }
}

TEST_F(NativePlatformTest, ShortPathNamesTheSameFileAndRemoveTreeRefusesRoots) {
  Write("Nome Comprido Demais.txt", "x");
  std::string short_path = os_->ShortPath(P("Nome Comprido Demais.txt"));
  std::string data;
  ASSERT_TRUE(os_->ReadWholeFile(short_path, &data)) << short_path;
  EXPECT_EQ(data, "x");
  // POSIX has no short names; Windows may have none on some volumes.
  if (!NativeIsWindows()) {
    EXPECT_EQ(short_path, P("Nome Comprido Demais.txt"));
  }
  for (const char* root : {"", "/", "\\", ".", "C:\\"}) {
    if (!NativeIsWindows() && std::string(root) == "C:\\") continue;  // a plain name on POSIX
    EXPECT_FALSE(os_->RemoveTree(root)) << root;
    EXPECT_EQ(os_->LastError(), kErrorInvalidParameter) << root;
  }
}

// A host binds the vendor library and the signing library by bare name; the
// library is found in the host program's folder and, on Windows, in the
// system folder, as the system's own search finds it on a till.
TEST(NativeLibrarySearchTest, LibrariesAreFoundByNameWhereAHostKeepsThem) {
  const char* bin = std::getenv("ZEL_BUILD_BIN");
  if (bin == nullptr || *bin == '\0') GTEST_SKIP() << "ZEL_BUILD_BIN not set (run under ctest)";
  auto os = MakeNativePlatform();
  std::string host = os->MakeTempDirectory("zel-host-");
  ASSERT_FALSE(host.empty());
  struct Case {
    const char* library;
    const char* symbol;
  };
  const Case cases[] = {{"IBMFI32.dll", "IBM_FI_NumeroSerie"}, {"sign_bema.dll", "generateEAD"}};
  std::string built = FromSystemPath(bin);
  std::vector<std::string> folders = {host};
  if (NativeIsWindows()) folders.push_back(os->SystemDirectory());
  int serial = 0;
  for (const std::string& folder : folders) {
    for (const Case& c : cases) {
      // A name of its own, so no copy loaded earlier (or in the build folder)
      // can answer for it.
      std::string name = "zelprobe" + std::to_string(serial++) + "_" + c.library;
      std::string file = JoinPath(folder, SystemLibraryName(name));
      ASSERT_TRUE(os->CopyFileTo(JoinPath(built, SystemLibraryName(c.library)), file, false))
          << file << ": " << os->LastErrorText();
      os->SetExecutableDirectory(host);
      LibraryHandle library = os->OpenLibrary(name);
      EXPECT_NE(library, nullptr) << name << " in " << folder << ": " << os->LastErrorText();
      EXPECT_NE(os->LibrarySymbol(library, c.symbol), nullptr) << name;
      EXPECT_EQ(os->LibrarySymbol(library, "NoSuchEntryPoint"), nullptr);
      EXPECT_EQ(os->LastError(), kErrorProcNotFound);
      os->CloseLibrary(library);
      os->SetExecutableDirectory("");
      EXPECT_TRUE(os->RemoveFile(file)) << os->LastErrorText();
    }
  }
  EXPECT_TRUE(os->RemoveTree(host));
}

}  // namespace
}  // namespace zel::platform
