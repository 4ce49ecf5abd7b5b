// Files and folders on the operating system's platform, each test in a
// temporary folder of its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "native_folder_fixture.h"
#include "platform/platform.h"

namespace zel::platform {
namespace {

class PosixFilesTest : public NativeFolderTest {
 protected:
  int EntriesIn(const std::string& relative) {
    int count = 0;
    for (auto& entry : std::filesystem::directory_iterator(ToSystemPath(P(relative)))) {
      (void)entry;
      ++count;
    }
    return count;
  }
};

TEST_F(PosixFilesTest, WholeFilesKeepEveryByteAndWindowsNamesBecomeUtf8) {
  const std::string data("a\0b\r\n\xE7\xFF", 7);
  ASSERT_TRUE(
      os_->MakeDirectory(P("Dados\\Redu\xE7\xF5"
                           "es")));
  Write(
      "Dados\\Redu\xE7\xF5"
      "es\\Z.bin",
      data);
  EXPECT_EQ(Read("Dados/Redu\xE7\xF5"
                 "es/Z.bin"),
            data);
  EXPECT_TRUE(std::filesystem::is_regular_file(root_ + "/Dados/Redu\xC3\xA7\xC3\xB5"
                                                       "es/Z.bin"));
  EXPECT_TRUE(
      os_->FileExists(P("Dados\\Redu\xE7\xF5"
                        "es\\Z.bin")));
  EXPECT_FALSE(os_->FileExists(P("Dados")));
  EXPECT_TRUE(os_->DirectoryExists(P("Dados")));
  EXPECT_FALSE(
      os_->DirectoryExists(P("Dados\\Redu\xE7\xF5"
                             "es\\Z.bin")));

  // Overwrite truncates; append adds.
  Write(
      "Dados\\Redu\xE7\xF5"
      "es\\Z.bin",
      "xy");
  ASSERT_TRUE(os_->AppendToFile(P("Dados\\Redu\xE7\xF5"
                                  "es\\Z.bin"),
                                "z"));
  ASSERT_TRUE(os_->AppendToFile(P("new.log"), "line\r\n"));
  EXPECT_EQ(Read("Dados\\Redu\xE7\xF5"
                 "es\\Z.bin"),
            "xyz");
  EXPECT_EQ(Read("new.log"), "line\r\n");
}

TEST_F(PosixFilesTest, ReadAndWriteFailuresCarryWindowsCodes) {
  ASSERT_TRUE(os_->MakeDirectory(P("folder")));
  struct Case {
    const char* path;
    int expected;
  };
  const Case reads[] = {{"missing.txt", kErrorFileNotFound},
                        {"nofolder\\missing.txt", kErrorPathNotFound},
                        {"folder", kErrorAccessDenied}};
  for (const Case& c : reads) {
    std::string out = "old";
    EXPECT_FALSE(os_->ReadWholeFile(P(c.path), &out)) << c.path;
    EXPECT_EQ(os_->LastError(), c.expected) << c.path;
    EXPECT_EQ(out, "") << c.path;
  }
  EXPECT_FALSE(os_->WriteWholeFile(P("nofolder\\x.txt"), "x"));
  EXPECT_EQ(os_->LastError(), kErrorPathNotFound);
  EXPECT_FALSE(os_->AppendToFile(P("folder"), "x"));
  EXPECT_EQ(os_->LastError(), kErrorAccessDenied);
  std::string out;
  EXPECT_FALSE(os_->ReadWholeFile("", &out));
  EXPECT_EQ(os_->LastError(), kErrorInvalidParameter);
}

TEST_F(PosixFilesTest, LastErrorStaysUntilTheNextFailure) {
  std::string out;
  EXPECT_EQ(os_->LastError(), 0);
  EXPECT_FALSE(os_->ReadWholeFile(P("missing"), &out));
  Write("present", "x");
  EXPECT_EQ(os_->LastError(), kErrorFileNotFound);
  EXPECT_FALSE(os_->LastErrorText().empty());
  os_->SetLastErrorCode(kErrorDiskFull);
  EXPECT_EQ(os_->LastError(), kErrorDiskFull);
}

TEST_F(PosixFilesTest, MakeDirectoryCreatesParentsAndAcceptsExistingFolders) {
  EXPECT_TRUE(os_->MakeDirectory(P("a\\b\\c\\")));
  EXPECT_TRUE(os_->DirectoryExists(P("a/b/c")));
  EXPECT_TRUE(os_->MakeDirectory(P("a\\b")));
  Write("a/file", "x");
  EXPECT_FALSE(os_->MakeDirectory(P("a\\file\\sub")));
  EXPECT_EQ(os_->LastError(), kErrorAlreadyExists);
  EXPECT_FALSE(os_->MakeDirectory(""));
  EXPECT_EQ(os_->LastError(), kErrorInvalidParameter);
}

TEST_F(PosixFilesTest, CopyFileToHonoursTheOverwriteFlag) {
  struct Case {
    const char* name;
    bool target_exists;
    bool fail_if_exists;
    bool succeeds;
    int error;
    const char* target_after;
  };
  const Case cases[] = {
      {"new target", false, true, true, 0, "source"},
      {"new target, overwrite allowed", false, false, true, 0, "source"},
      {"existing target kept", true, true, false, kErrorFileExists, "old target content"},
      {"existing target replaced", true, false, true, 0, "source"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Write("src.MFD", "source");
    ASSERT_TRUE(os_->RemoveTree(P("dst.MFD")));
    if (c.target_exists) Write("dst.MFD", "old target content");
    os_->SetLastErrorCode(0);
    EXPECT_EQ(os_->CopyFileTo(P("src.MFD"), P("dst.MFD"), c.fail_if_exists), c.succeeds);
    EXPECT_EQ(os_->LastError(), c.error);
    EXPECT_EQ(Read("dst.MFD"), c.target_after);
    EXPECT_EQ(Read("src.MFD"), "source");
  }
}

TEST_F(PosixFilesTest, CopyFileToFailuresAndTheirCodes) {
  Write("src", "source");
  ASSERT_TRUE(os_->MakeDirectory(P("folder")));
  struct Case {
    const char* source;
    const char* target;
    int error;
  };
  const Case cases[] = {
      {"missing", "dst", kErrorFileNotFound},
      {"nofolder\\src", "dst", kErrorPathNotFound},
      {"src", "nofolder\\dst", kErrorPathNotFound},
      {"src", "folder", kErrorAccessDenied},
      {"folder", "dst", kErrorAccessDenied},
      // Copying a file onto itself must not truncate it.
      {"src", "src", kErrorSharingViolation},
      {"src", "folder\\..\\src", kErrorSharingViolation},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(os_->CopyFileTo(P(c.source), P(c.target), false))
        << c.source << " -> " << c.target;
    EXPECT_EQ(os_->LastError(), c.error) << c.source << " -> " << c.target;
  }
  EXPECT_EQ(Read("src"), "source");
  EXPECT_FALSE(os_->FileExists(P("dst")));
}

TEST_F(PosixFilesTest, CopyKeepsPermissionsAndModificationTime) {
  Write("src", "x");
  namespace fs = std::filesystem;
  fs::path source(ToSystemPath(P("src")));
  fs::permissions(source, fs::perms::owner_read | fs::perms::owner_write | fs::perms::owner_exec);
  auto stamp = fs::file_time_type::clock::now() - std::chrono::hours(48);
  fs::last_write_time(source, stamp);
  ASSERT_TRUE(os_->CopyFileTo(P("src"), P("dst"), true));
  fs::path target(ToSystemPath(P("dst")));
  EXPECT_EQ(fs::status(target).permissions(), fs::status(source).permissions());
  EXPECT_EQ(fs::last_write_time(target), stamp);
}

TEST_F(PosixFilesTest, RemoveAndRenameFollowTheHostSystemsRules) {
  Write("a", "A");
  Write("b", "B");
  EXPECT_FALSE(os_->RenameFile(P("a"), P("b")));
  EXPECT_EQ(os_->LastError(), kErrorAlreadyExists);
  EXPECT_EQ(Read("b"), "B");
  EXPECT_TRUE(os_->RenameFile(P("a"), P("c")));
  EXPECT_EQ(Read("c"), "A");
  EXPECT_FALSE(os_->RenameFile(P("a"), P("d")));
  EXPECT_EQ(os_->LastError(), kErrorFileNotFound);

  EXPECT_TRUE(os_->RemoveFile(P("c")));
  EXPECT_FALSE(os_->FileExists(P("c")));
  EXPECT_FALSE(os_->RemoveFile(P("c")));
  EXPECT_EQ(os_->LastError(), kErrorFileNotFound);
  ASSERT_TRUE(os_->MakeDirectory(P("folder")));
  EXPECT_FALSE(os_->RemoveFile(P("folder")));
  EXPECT_EQ(os_->LastError(), kErrorAccessDenied);
}

TEST_F(PosixFilesTest, FirstMatchFindsTheFirstMatchingFileInNameOrder) {
  ASSERT_TRUE(os_->MakeDirectory(P("mfd\\0.MFD")));  // a folder never matches
  Write("mfd/b.MFD", "");
  Write("mfd/a2.mfd", "");
  Write("mfd/C.Mfd", "");
  Write("mfd/notes.txt", "");
  Write("mfd/README", "");
  Write("mfd/Espelho \xC1.MFD", "");
  struct Case {
    const char* pattern;
    const char* expected;
    int error;
  };
  const Case cases[] = {
      {"mfd\\*.MFD", "a2.mfd", 0},
      {"mfd/*.mfd", "a2.mfd", 0},
      {"mfd\\?.MFD", "b.MFD", 0},
      {"mfd\\c*", "C.Mfd", 0},
      {"mfd\\*.*", "a2.mfd", 0},
      {"mfd\\read*", "README", 0},
      {"mfd\\Espelho*", "Espelho \xC1.MFD", 0},
      {"mfd\\*.xyz", "", kErrorFileNotFound},
      {"nofolder\\*.MFD", "", kErrorPathNotFound},
  };
  for (const Case& c : cases) {
    os_->SetLastErrorCode(0);
    EXPECT_EQ(os_->FirstMatch(P(c.pattern)), c.expected) << c.pattern;
    EXPECT_EQ(os_->LastError(), c.error) << c.pattern;
  }
}

TEST_F(PosixFilesTest, WriteFileAtomicallyReplacesContentAndLeavesNoTemporaryFile) {
  ASSERT_TRUE(os_->MakeDirectory(P("d")));
  ASSERT_TRUE(os_->WriteFileAtomically(P("d\\Vendrix.cds"), "first"));
  namespace fs = std::filesystem;
  fs::permissions(ToSystemPath(P("d/Vendrix.cds")), fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(os_->WriteFileAtomically(P("d\\Vendrix.cds"), "second, longer"));
  EXPECT_EQ(Read("d/Vendrix.cds"), "second, longer");
  EXPECT_EQ(EntriesIn("d"), 1);
  EXPECT_EQ(fs::status(ToSystemPath(P("d/Vendrix.cds"))).permissions(),
            fs::perms::owner_read | fs::perms::owner_write);

  EXPECT_FALSE(os_->WriteFileAtomically(P("nofolder\\x.cds"), "x"));
  EXPECT_EQ(os_->LastError(), kErrorPathNotFound);
  // A folder where the file should be: the folder stays, nothing is left.
  ASSERT_TRUE(os_->MakeDirectory(P("d\\sub")));
  EXPECT_FALSE(os_->WriteFileAtomically(P("d\\sub"), "x"));
  EXPECT_TRUE(os_->DirectoryExists(P("d\\sub")));
  EXPECT_EQ(EntriesIn("d"), 2);
}

TEST_F(PosixFilesTest, RemoveTreeRemovesNestedContentButRefusesTheRoot) {
  ASSERT_TRUE(os_->MakeDirectory(P("t\\a\\b")));
  Write("t/a/b/f", "x");
  Write("t/g", "y");
  std::filesystem::create_symlink(ToSystemPath(P("t/g")), ToSystemPath(P("link")));
  EXPECT_TRUE(os_->RemoveTree(P("link")));
  EXPECT_TRUE(os_->FileExists(P("t/g")));  // the link's target survives
  EXPECT_TRUE(os_->RemoveTree(P("t")));
  EXPECT_FALSE(os_->DirectoryExists(P("t")));
  EXPECT_TRUE(os_->RemoveTree(P("t")));  // nothing there: done
  EXPECT_FALSE(os_->RemoveTree("/"));
  EXPECT_FALSE(os_->RemoveTree(""));
  EXPECT_EQ(os_->LastError(), kErrorInvalidParameter);
}

}  // namespace
}  // namespace zel::platform

namespace zel::platform {
namespace {

// The services of append-only journals: a synced append, the size, a range
// read and a cut, with their failures.
class PosixJournalFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    os_ = MakeNativePlatform();
    root_ = os_->MakeTempDirectory("zel-journal-");
    ASSERT_FALSE(root_.empty()) << os_->LastErrorText();
  }
  void TearDown() override { os_->RemoveTree(root_); }
  std::string P(const std::string& name) const { return JoinPath(root_, name); }

  std::unique_ptr<Platform> os_;
  std::string root_;
};

TEST_F(PosixJournalFilesTest, AppendSizeReadRangeAndTruncate) {
  const std::string journal = P("Mem\xF3ria.mf");  // a Windows-1252 name
  EXPECT_EQ(os_->FileSize(journal), -1);
  EXPECT_EQ(os_->LastError(), kErrorFileNotFound);
  ASSERT_TRUE(os_->AppendDurably(journal, "first|"));
  ASSERT_TRUE(os_->AppendDurably(journal, std::string("sec\0nd|", 7)));
  EXPECT_EQ(os_->FileSize(journal), 13);

  struct Case {
    int64_t offset, size;
    std::string expected;
  };
  const Case cases[] = {{0, 6, "first|"},
                        {6, 7, std::string("sec\0nd|", 7)},
                        {10, 100, "nd|"},
                        {13, 5, ""},
                        {40, 5, ""}};
  for (const Case& c : cases) {
    std::string out = "old";
    ASSERT_TRUE(os_->ReadFileRange(journal, c.offset, c.size, &out)) << c.offset;
    EXPECT_EQ(out, c.expected) << c.offset;
  }
  std::string out = "old";
  EXPECT_FALSE(os_->ReadFileRange(journal, -1, 2, &out));
  EXPECT_EQ(os_->LastError(), kErrorInvalidParameter);
  EXPECT_FALSE(os_->ReadFileRange(P("none"), 0, 2, &out));
  EXPECT_EQ(out, "");

  ASSERT_TRUE(os_->TruncateFile(journal, 6));
  EXPECT_EQ(os_->FileSize(journal), 6);
  ASSERT_TRUE(os_->AppendDurably(journal, "again"));
  ASSERT_TRUE(os_->ReadFileRange(journal, 0, 100, &out));
  EXPECT_EQ(out, "first|again");
  EXPECT_FALSE(os_->TruncateFile(P("none"), 0));
  EXPECT_EQ(os_->LastError(), kErrorFileNotFound);
  EXPECT_FALSE(os_->AppendDurably(P("no/folder/x"), "x"));
  EXPECT_EQ(os_->LastError(), kErrorPathNotFound);
  EXPECT_EQ(os_->FileSize(root_), -1) << "a folder has no file size";
}

}  // namespace
}  // namespace zel::platform
