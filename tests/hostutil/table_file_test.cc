// Tables loaded from and saved to ".cds" and ".xml" files through the
// platform layer.
#include <gtest/gtest.h>

#include <string>

#include "hostutil/files.h"
#include "runtime/host_error.h"
#include "support/sandbox_platform.h"

namespace zel {
namespace {

class TableFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    table_.AddField("CDFILIAL", FieldType::kString, 4);
    table_.AddField("VRGT", FieldType::kFloat);
    table_.CreateDataSet();
    table_.AppendRecord({"0001", 1234.56});
  }

  test::SandboxPlatform sandbox_;
  MemTable table_;
};

TEST_F(TableFileTest, FormatFollowsTheExtensionAndLoadsBack) {
  const struct {
    const char* name;
    const char* starts;
  } cases[] = {{"Vendrix.cds", "\x96\x19\xE0\xBD"},
               {"dados.xml", "<?xml"},
               {"DADOS.XML", "<?xml"},
               {"semextensao", "\x96\x19\xE0\xBD"}};
  for (const auto& c : cases) {
    const std::string path = sandbox_.Path(std::string("host\\") + c.name);
    SaveTableToFile(table_, path);
    std::string bytes;
    ASSERT_TRUE(sandbox_.ReadWholeFile(path, &bytes)) << c.name;
    EXPECT_TRUE(bytes.starts_with(c.starts)) << c.name;

    MemTable loaded;
    LoadTableFromFile(loaded, path);
    EXPECT_EQ(loaded.RecordCount(), 1) << c.name;
    EXPECT_EQ(loaded.FieldByName("CDFILIAL").AsString(), "0001") << c.name;
    EXPECT_EQ(loaded.FieldByName("VRGT").AsFloat(), 1234.56) << c.name;
  }
  // An explicit format wins over the extension.
  const std::string path = sandbox_.Path("x.cds");
  SaveTableToFile(table_, path, MemTable::PacketFormat::kXmlUtf8);
  std::string bytes;
  ASSERT_TRUE(sandbox_.ReadWholeFile(path, &bytes));
  EXPECT_TRUE(bytes.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\""));
}

TEST_F(TableFileTest, FailuresRaiseAndLeaveThingsAsTheyWere) {
  const std::string missing = sandbox_.Path("nada.cds");
  try {
    LoadTableFromFile(table_, missing);
    ADD_FAILURE() << "no error";
  } catch (const FileIOError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot open file \"" + missing + "\". No such file or directory");
  }
  EXPECT_EQ(table_.RecordCount(), 1);

  const std::string garbage = sandbox_.Path("lixo.cds");
  ASSERT_TRUE(sandbox_.WriteWholeFile(garbage, "not a packet"));
  EXPECT_THROW(LoadTableFromFile(table_, garbage), DatasetError);
  EXPECT_EQ(table_.FieldByName("CDFILIAL").AsString(), "0001");

  const std::string existing = sandbox_.Path("old.cds");
  ASSERT_TRUE(sandbox_.WriteWholeFile(existing, "old"));
  sandbox_.FailNextWrite(platform::kErrorAccessDenied);
  try {
    SaveTableToFile(table_, existing);
    ADD_FAILURE() << "no error";
  } catch (const FileIOError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + existing + "\". Permission denied");
  }
  std::string bytes;
  ASSERT_TRUE(sandbox_.ReadWholeFile(existing, &bytes));
  EXPECT_EQ(bytes, "old");
}

}  // namespace
}  // namespace zel
