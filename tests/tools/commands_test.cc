#include "host/commands.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "host/json_codec.h"
#include "host/records.h"
#include "host/scenario.h"
#include "host/session.h"
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
      {R"({"clok": "2026-12-10T10:00:00", "steps": []})", "unknown key \"clok\""},
      {R"({"steps": [{"call": "GetValue", "arg": ["1"]}]})", "step 1: unknown key \"arg\""},
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

// A malformed step after good ones is refused before any step runs: nothing
// reaches the printer, so no document is left half-way.
TEST_F(CommandsTest, RunChecksEveryStepBeforeRunningAny) {
  const std::string path = Write("cenario.json", R"({"steps": [
      {"call": "FormataCNPJ", "args": ["12.345.678/0001-90"]},
      {"call": "Estado_Imp", "args": ["001"]}]})");
  EXPECT_EQ(Run(RunCommand, {path}), 2);
  EXPECT_EQ(out_.str(), "") << "no step ran";
  EXPECT_NE(err_.str().find("step 2 (Estado_Imp)"), std::string::npos) << err_.str();
}

// A step that raises an error is reported in its line and the run goes on,
// as a host's would after catching it; the exit status says a step raised
// (1, with a summary naming the steps), unless --exit-zero is given.
TEST_F(CommandsTest, RunReportsHostExceptionsAndGoesOn) {
  const std::string path = Write("cenario.json", R"({"clock": "2026-12-10T10:00:00", "steps": [
      {"call": "FechaPorta", "args": []},
      {"call": "GetValue", "args": [""]},
      {"call": "FormataCNPJ", "args": ["12.345.678/0001-90"]},
      {"call": "GetValue", "args": ["0000345"]}]})");
  ASSERT_EQ(Run(RunCommand, {"--exit-zero", path}), 0) << err_.str();
  EXPECT_NE(err_.str().find("2 of 4 steps raised an error"), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find("step 1 (FechaPorta)"), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find("step 2 (GetValue)"), std::string::npos) << err_.str();
  EXPECT_EQ(Run(RunCommand, {path}), 1) << err_.str();
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

// Nesting beyond the limit, in the file or in a value, is refused before any
// step runs, naming the step, instead of exhausting the stack.
TEST_F(CommandsTest, RunRefusesDeepNestingNamingTheStep) {
  auto nested = [](int depth) {
    std::string value;
    for (int i = 0; i < depth; ++i) value += R"({"array": [)";
    value += "1";
    for (int i = 0; i < depth; ++i) value += "]}";
    return value;
  };
  struct Case {
    std::string scenario;
    const char* expected;
  };
  const Case cases[] = {
      {R"({"steps": [{"call": "GetValue", "args": ["1"]}, {"call": "X", "args": [)" + nested(9000) +
           "]}]}",
       "step 2: nested deeper than 64 levels"},
      {std::string(100000, '[') + std::string(100000, ']'), "nested deeper than 64 levels"},
      {R"({"printer": {"Marca": )" + nested(40) + R"(}, "steps": []})", "the scenario: nested"},
  };
  for (const auto& c : cases) {
    const std::string path = Write("fundo.json", c.scenario);
    EXPECT_EQ(Run(RunCommand, {path}), 2) << c.scenario.substr(0, 80);
    EXPECT_NE(err_.str().find(c.expected), std::string::npos) << err_.str();
    EXPECT_TRUE(out_.str().empty()) << out_.str();
  }

  // A scenario built in memory is measured too, step by step. (Built by the
  // parser, which does not recurse: copying a value this deep would.)
  const Json scenario =
      Json::parse(R"({"steps": [{"call": "GetValue", "args": [)" + nested(9000) + "]}]}");
  try {
    RunScenario(scenario, [](const Json&) {});
    ADD_FAILURE() << "not refused";
  } catch (const ScenarioError& e) {
    EXPECT_NE(std::string(e.what()).find("step 1: nested deeper"), std::string::npos) << e.what();
  }
  // A value within the limit still decodes.
  EXPECT_NO_THROW(DecodeVariant(Json::parse(nested(kMaxValueDepth / 2 - 1))));
  EXPECT_THROW(DecodeVariant(Json::parse(nested(kMaxValueDepth / 2 + 1))), EncodingError);
}

// File names are taken as the file system gives them: a scenario whose name
// has no Windows-1252 spelling is read; a host folder that could not be
// named to the driver is refused rather than replaced by another name.
TEST_F(CommandsTest, NamesOutsideWindows1252) {
  // On Windows the file system's names reach a program through the ANSI code
  // page, Windows-1252 itself: a name without a Windows-1252 spelling cannot
  // reach ecf at all.
  if (zel::platform::NativeIsWindows()) GTEST_SKIP() << "names are Windows-1252 on Windows";
  const std::string native = zel::platform::ToSystemPath(sandbox_.root()) +
                             "/cen\xC3\xA1rio-\xE6\x97\xA5\xE6\x9C\xAC.json";
  std::filesystem::path file(native);
  {
    std::ofstream out(file);
    out << R"({"steps": [{"call": "GetValue", "args": ["0000345"]}]})";
  }
  ASSERT_EQ(Run(RunCommand, {native}), 0) << err_.str();
  EXPECT_EQ(Json::parse(out_.str().substr(0, out_.str().find('\n')))["result"], Json(3.45));

  const std::string home = zel::platform::ToSystemPath(sandbox_.root()) + "/loja-\xE6\x97\xA5";
  const std::string path = Write("casa.json", R"({"home": ")" + home + R"(", "steps": []})");
  EXPECT_EQ(Run(RunCommand, {path}), 2);
  EXPECT_NE(err_.str().find("cannot be written in Windows-1252"), std::string::npos) << err_.str();
  EXPECT_EQ(Run(DocumentsCommand, {home}), 1);
  EXPECT_FALSE(std::filesystem::exists(home));
  EXPECT_FALSE(std::filesystem::exists(zel::platform::ToSystemPath(sandbox_.root()) + "/loja-?"));
}

TEST_F(CommandsTest, DocumentsOnAFolderWithoutRecordsSaysSoAndMakesNothing) {
  ASSERT_TRUE(sandbox_.MakeDirectory(sandbox_.Path("loja")));
  EXPECT_EQ(Run(DocumentsCommand, {zel::platform::ToSystemPath(sandbox_.Path("loja"))}), 1);
  EXPECT_NE(err_.str().find("no host records"), std::string::npos) << err_.str();
  EXPECT_TRUE(std::filesystem::is_empty(zel::platform::ToSystemPath(sandbox_.Path("loja"))));

  EXPECT_EQ(Run(DocumentsCommand, {zel::platform::ToSystemPath(sandbox_.Path("nada"))}), 1);
  EXPECT_NE(err_.str().find("no such folder"), std::string::npos) << err_.str();
  EXPECT_FALSE(sandbox_.DirectoryExists(sandbox_.Path("nada")));

  // With records, they are listed (and the file is only read).
  {
    RecordStore store(RecordStorePath(sandbox_.Path("loja")));
    store.AddGravaCER("0001", "X", zel::EncodeDateTime(2026, 12, 10, 0, 0, 0, 0));
  }
  ASSERT_EQ(Run(DocumentsCommand, {zel::platform::ToSystemPath(sandbox_.Path("loja"))}), 0)
      << err_.str();
  EXPECT_EQ(Json::parse(out_.str())["service"], "GravaCER");
}

// Two ecf on one host folder: the second waits while the first holds the
// records database, instead of failing with "database is locked".
TEST_F(CommandsTest, RecordsWaitForAnotherWriter) {
  const std::string path = RecordStorePath(sandbox_.Path(""));
  RecordStore first(path);
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(zel::platform::ToSystemPath(path).c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  std::thread release([other] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  });
  EXPECT_NO_THROW(first.AddGravaCER("0001", "X", zel::EncodeDateTime(2026, 12, 10, 0, 0, 0, 0)));
  release.join();
  sqlite3_close(other);
  EXPECT_EQ(first.All().size(), 1u);
}

TEST(WorkProgressTest, BarShareAndSecondsFollowTheWait) {
  struct Case {
    int done, total;
    const char* line;
  };
  const Case cases[] = {
      {0, 27000, "  impressora trabalhando [--------------------]   0%  0 s de 27 s"},
      {13500, 27000, "  impressora trabalhando [##########----------]  50%  13 s de 27 s"},
      {26999, 27000, "  impressora trabalhando [###################-]  99%  26 s de 27 s"},
      {27000, 27000, "  impressora trabalhando [####################] 100%  27 s de 27 s"},
      {40000, 2500, "  impressora trabalhando [####################] 100%  2 s de 3 s"},
      {5, 0, "  impressora trabalhando [####################] 100%  0 s de 0 s"},
  };
  for (const Case& c : cases) EXPECT_EQ(WorkProgressLine(c.done, c.total), c.line) << c.done;
}

// A terminal sees one line rewritten; a file or a pipe a few plain lines. The
// whole wait is passed either way.
TEST(WorkProgressTest, ATerminalLineIsRewrittenAndALogGetsPlainLines) {
  auto shown = [](int total_ms, bool in_place, int* waited) {
    std::ostringstream out;
    *waited = 0;
    ShowWork(total_ms, in_place, out, [&](int step) { *waited += step; });
    return out.str();
  };
  auto line = [](int done, int total) { return WorkProgressLine(done, total); };
  int waited = 0;
  EXPECT_EQ(shown(1000, true, &waited), "\r" + line(0, 1000) + "\r" + line(250, 1000) + "\r" +
                                            line(500, 1000) + "\r" + line(750, 1000) + "\r" +
                                            line(1000, 1000) + "\n");
  EXPECT_EQ(waited, 1000);
  // Plain: the start, the first slice past each quarter, the end.
  EXPECT_EQ(shown(2600, false, &waited), line(0, 2600) + "\n" + line(750, 2600) + "\n" +
                                             line(1500, 2600) + "\n" + line(2000, 2600) + "\n" +
                                             line(2600, 2600) + "\n");
  EXPECT_EQ(waited, 2600);
  EXPECT_EQ(shown(0, false, &waited), line(0, 0) + "\n");
  EXPECT_EQ(waited, 0);
}

}  // namespace
}  // namespace ecf
