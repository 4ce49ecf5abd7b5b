// The host's records database held by another process past the records'
// wait: the printer's document is finished all the same, the step reports
// the records it could not write, and they are written after a later step,
// in order, once the database is free.
#include <sqlite3.h>

#include <string>
#include <vector>

#include "host/scenario.h"
#include "host/session.h"
#include "tools/serve_fixture.h"

namespace ecf::test {
namespace {

TEST(RecordsWaitTest, AHeldDatabaseNeverLeavesADocumentOpen) {
  auto& native = zel::platform::Native();
  const std::string home = native.MakeTempDirectory("ecf-records-wait-");
  {
    SessionOptions options;
    options.home = home;
    options.clock = ParseIsoDateTime(kServeClock);
    options.records_wait_ms = 50;
    HostSession session(options);
    const Json steps = DemoScenario()["steps"];
    for (int i = 0; i < 5; ++i) RunStep(session, steps[i], i + 1);  // start and loads

    // Another process holds the database.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(zel::platform::ToSystemPath(RecordStorePath(home)).c_str(), &other),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

    const Json report = steps[14];  // Relatorio_Generico: opens, feeds, closes, records "RG"
    Json line = RunStep(session, report, 6);
    EXPECT_EQ(line["result"], true) << line.dump();
    EXPECT_FALSE(line.contains("exception")) << line.dump();
    ASSERT_TRUE(line.contains("record_errors")) << line.dump();
    EXPECT_NE(line["record_errors"].dump().find("kept"), std::string::npos) << line.dump();
    // The report was closed on the printer: the next document opens.
    line = RunStep(session, Json{{"call", "Leitura_X_Imp"}, {"args", {"", "002", ""}}}, 7);
    EXPECT_EQ(line["result"], true) << line.dump();

    // Free again: the kept records are written after the next step.
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    line = RunStep(session, Json{{"call", "Nr_Cupom"}, {"args", {"", "002"}}}, 8);
    EXPECT_FALSE(line.contains("record_errors")) << line.dump();
    std::vector<std::string> kinds;
    for (const DocumentRecord& record : session.records().All()) kinds.push_back(record.doc_type);
    EXPECT_EQ(kinds, (std::vector<std::string>{"RG", "RG"}))
        << "the report's opening (GravaCER) and its record (setDocNaoFiscaisECF), in order";
  }
  native.RemoveTree(home);
}

}  // namespace
}  // namespace ecf::test
