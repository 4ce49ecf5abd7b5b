#include "host/commands.h"

#include <gtest/gtest.h>

#include <sstream>

#include "host/json_codec.h"
#include "hostutil/files.h"
#include "platform/platform.h"
#include "support/sandbox_platform.h"

namespace ecf {
namespace {

class CommandsTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& data) {
    const std::string path = sandbox_.Path(name);
    EXPECT_TRUE(zel::platform::Current().WriteWholeFile(path, data));
    return path;
  }
  int Run(int (*command)(const std::vector<std::string>&, std::ostream&, std::ostream&),
          std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    return command(args, out_, err_);
  }

  zel::test::SandboxPlatform sandbox_;
  std::ostringstream out_, err_;
};

TEST_F(CommandsTest, TablePrintsAPacketFileAndSavesItInTheOtherFormat) {
  zel::MemTable table;
  DecodeTable(Json::parse(R"({"table": {
      "fields": [{"name": "NRSERIE", "type": "string", "size": 20},
                 {"name": "VRGT", "type": "float"}, {"name": "DTHR", "type": "datetime"}],
      "rows": [["IB010900000000000001", 1234.5, "2026-12-10T10:00:00"]]}})"),
              table);
  const std::string cds = sandbox_.Path("Vendrix.cds");
  zel::SaveTableToFile(table, cds);

  ASSERT_EQ(Run(TableCommand, {cds, "--save", sandbox_.Path("copia.xml")}), 0) << err_.str();
  const Json printed = Json::parse(out_.str());
  EXPECT_EQ(printed, EncodeTable(table));

  // The XML copy reads back to the same table, and so does a binary copy of it.
  ASSERT_EQ(Run(TableCommand, {sandbox_.Path("copia.xml"), "--save", sandbox_.Path("b.cds")}), 0);
  EXPECT_EQ(Json::parse(out_.str()), printed);
  ASSERT_EQ(Run(TableCommand, {sandbox_.Path("b.cds")}), 0);
  EXPECT_EQ(Json::parse(out_.str()), printed);
}

TEST_F(CommandsTest, TableRefusesAFileThatIsNotAPacket) {
  const std::string path = Write("lixo.cds", "not a data packet");
  EXPECT_EQ(Run(TableCommand, {path}), 1);
  EXPECT_NE(err_.str().find("lixo.cds"), std::string::npos) << err_.str();
  EXPECT_EQ(Run(TableCommand, {}), 2);
}

TEST_F(CommandsTest, RunStopsAtAnUnknownOperationOrABadArgumentNamingTheStep) {
  struct Case {
    const char* scenario;
    const char* expected;
  };
  const Case cases[] = {
      {R"({"steps": [{"call": "GetValue", "args": ["0000345"]}, {"call": "Nada"}]})",
       "step 2 (Nada): unknown operation"},
      {R"({"steps": [{"call": "Estado_Imp", "args": ["001", "sim", true]}]})",
       "step 1 (Estado_Imp): argument 2"},
      {R"({"steps": [{"call": "Estado_Imp", "args": ["001"]}]})",
       "step 1 (Estado_Imp): expected 3"},
      {R"({"steps": 5})", "needs \"steps\""},
  };
  for (const auto& c : cases) {
    const std::string path = Write("cenario.json", c.scenario);
    EXPECT_EQ(Run(RunCommand, {path}), 2) << c.scenario;
    EXPECT_NE(err_.str().find(c.expected), std::string::npos) << err_.str();
  }
  EXPECT_EQ(Run(RunCommand, {Write("ruim.json", "{")}), 2);
}

TEST_F(CommandsTest, RunReportsHostExceptionsAndGoesOn) {
  const std::string path = Write("cenario.json", R"({"clock": "2026-12-10T10:00:00", "steps": [
      {"call": "FechaPorta", "args": []},
      {"call": "GetValue", "args": [""]},
      {"call": "FormataCNPJ", "args": ["12.345.678/0001-90"]},
      {"call": "GetValue", "args": ["0000345"]}]})");
  ASSERT_EQ(Run(RunCommand, {path}), 0) << err_.str();
  std::vector<Json> lines;
  std::istringstream in(out_.str());
  for (std::string line; std::getline(in, line);) lines.push_back(Json::parse(line));
  ASSERT_EQ(lines.size(), 5u) << out_.str();
  EXPECT_NE(lines[0]["exception"].get<std::string>().find("not started"), std::string::npos);
  EXPECT_TRUE(lines[1].contains("exception"));
  EXPECT_EQ(lines[2]["result"], Json("12345678000190"));
  EXPECT_EQ(lines[2]["args"], Json::parse(R"(["12.345.678/0001-90"])"));
  EXPECT_EQ(lines[3]["result"], Json(3.45));
  EXPECT_EQ(lines[3]["dialogs"], Json::array());
  for (const char* key : {"tape", "log", "home", "records"}) EXPECT_TRUE(lines[4].contains(key));
}

}  // namespace
}  // namespace ecf
