// String lists loaded from and saved to files through the platform layer.
#include <gtest/gtest.h>

#include <string>

#include "hostutil/files.h"
#include "runtime/host_error.h"
#include "support/sandbox_platform.h"

namespace zel {
namespace {

class StringListFileTest : public ::testing::Test {
 protected:
  test::SandboxPlatform sandbox_;
};

TEST_F(StringListFileTest, SavedListsLoadBackLineForLine) {
  StringList list;
  list.SetText("[IBMFI32]\r\nPath=C:\\IBM\r\nRedu\xE7\xE3o=1\r\n");
  const std::string path = sandbox_.Path("system\\IBMFI32.INI");
  SaveStringListToFile(list, path);
  std::string bytes;
  ASSERT_TRUE(sandbox_.ReadWholeFile(path, &bytes));
  EXPECT_EQ(bytes, "[IBMFI32]\r\nPath=C:\\IBM\r\nRedu\xE7\xE3o=1\r\n");

  StringList loaded;
  loaded.Add("stale");
  LoadStringListFromFile(loaded, path);
  EXPECT_EQ(loaded.Strings(), list.Strings());
  EXPECT_EQ(loaded.Values("path"), "C:\\IBM");
}

TEST_F(StringListFileTest, LoadsUnixLineBreaksAndUtf8WithByteOrderMark) {
  const std::string path = sandbox_.Path("a.txt");
  ASSERT_TRUE(sandbox_.WriteWholeFile(path,
                                      "\xEF\xBB\xBF"
                                      "Cart\xC3\xA3o=1\nx"));
  StringList list;
  LoadStringListFromFile(list, path);
  EXPECT_EQ(list.Strings(), (std::vector<std::string>{"Cart\xE3o=1", "x"}));
}

TEST_F(StringListFileTest, FailuresRaiseFileErrorsAndLeaveThingsAsTheyWere) {
  StringList list;
  list.Add("kept");
  const std::string missing = sandbox_.Path("nada.ini");
  try {
    LoadStringListFromFile(list, missing);
    ADD_FAILURE() << "no error";
  } catch (const FileIOError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot open file \"" + missing + "\". No such file or directory");
  }
  EXPECT_EQ(list.Strings(), (std::vector<std::string>{"kept"}));

  const std::string existing = sandbox_.Path("x.ini");
  ASSERT_TRUE(sandbox_.WriteWholeFile(existing, "old\r\n"));
  sandbox_.FailNextWrite(platform::kErrorAccessDenied);
  try {
    SaveStringListToFile(list, existing);
    ADD_FAILURE() << "no error";
  } catch (const FileIOError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + existing + "\". Permission denied");
  }
  std::string bytes;
  ASSERT_TRUE(sandbox_.ReadWholeFile(existing, &bytes));
  EXPECT_EQ(bytes, "old\r\n");
  EXPECT_THROW(SaveStringListToFile(list, sandbox_.Path("no\\folder\\x.ini")), FileIOError);
}

}  // namespace
}  // namespace zel
