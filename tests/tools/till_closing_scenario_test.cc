// The till-closing scenario (tools/scenarios/till_closing.json), run as
// `ecf run` runs it against the simulated printer: supply, withdrawal, the
// withdrawal receipt with the product and closing reports, the end-of-day
// questions, the Z export into the host's tables, then the Z reduction.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "host/json_codec.h"
#include "host/records.h"
#include "host/scenario.h"
#include "platform/platform.h"
#include "zel01900/testing.h"

namespace ecf {
namespace {

class TillClosingScenarioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZelResetModuleState();
    home_ = zel::platform::Native().MakeTempDirectory("ecf-till-test-");
  }
  void TearDown() override {
    ZelResetModuleState();
    zel::platform::Native().RemoveTree(home_);
  }
  std::string home_;
};

TEST_F(TillClosingScenarioTest, ClosingWithTheZExportRunsEndToEnd) {
  std::string text;
  ASSERT_TRUE(zel::platform::Native().ReadWholeFile(ECF_SCENARIOS_DIR "/till_closing.json", &text));
  Json scenario = Json::parse(text);
  scenario["home"] = home_;
  scenario["clock"] = "2026-12-10T18:00:00";

  std::vector<Json> lines;
  RunScenario(scenario, [&](const Json& line) { lines.push_back(line); });
  ASSERT_EQ(lines.size(), scenario["steps"].size() + 1);
  std::map<std::string, Json> by_call;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    EXPECT_FALSE(lines[i].contains("exception")) << lines[i].dump();
    by_call[lines[i]["call"].get<std::string>()] = lines[i];
  }
  EXPECT_EQ(by_call["Suprimento"]["result"], Json(true));
  EXPECT_EQ(by_call["Sangria"]["result"], Json(true));
  EXPECT_EQ(by_call["Reducao_Z_Imp"]["result"], Json(true));

  // The closing: three questions (keep the till closed, make the Z, no day
  // reports), the Z export into arguments 20 to 23, zDone set.
  const Json& closing = by_call["GeraReciboSangria"];
  EXPECT_EQ(closing["result"], Json(false));
  ASSERT_EQ(closing["dialogs"].size(), 3u) << closing.dump();
  EXPECT_EQ(closing["dialogs"][0]["text"], Json("Deseja abrir o caixa?"));
  EXPECT_EQ(closing["args"][23], Json(true));
  EXPECT_EQ(closing["args"][6], Json("000003"));  // the receipt's report
  const Json summary = closing["args"][19]["table"]["rows"];
  ASSERT_EQ(summary.size(), 1u);
  EXPECT_EQ(summary[0][0], Json("0001"));
  EXPECT_EQ(summary[0][3], Json("0001"));        // the coming reduction
  EXPECT_EQ(summary[0][8], Json("0000000006"));  // its own number, after the reports
  const Json forms = closing["args"][20]["table"]["rows"];
  ASSERT_EQ(forms.size(), 2u);  // the forms the printer knows, by host code
  EXPECT_EQ(forms[0][2], Json("001"));
  EXPECT_EQ(forms[0][3], Json(20.0));  // 100,00 supplied, 80,00 withdrawn
  EXPECT_EQ(forms[1][2], Json("002"));
  EXPECT_EQ(forms[1][3], Json(0.0));
  EXPECT_FALSE(closing["args"][21]["table"]["rows"].empty());
  EXPECT_FALSE(closing["args"][22]["table"]["rows"].empty());

  // Tape and records.
  const Json& paths = lines.back();
  std::string tape;
  ASSERT_TRUE(zel::platform::Native().ReadWholeFile(FromJsonText(paths["tape"]), &tape));
  for (const char* expected :
       {"RECIBO SAIDA NUMERARIO", "SAIDA DE NUMERARIO - SANGRIA", "Supervisor : 12 CARLOS",
        "RELATORIO DE PRODUTOS", "Subst. Tributaria", "RELATORIO DE FECHAMENTO",
        "SUPRIMENTO(-)                             100,00", "REDUÇÃO Z"}) {
    EXPECT_NE(tape.find(expected), std::string::npos) << expected << "\n" << tape;
  }
  RecordStore records(FromJsonText(paths["records"]));
  int reports = 0;
  for (const DocumentRecord& record : records.All()) {
    if (record.service == "setDocNaoFiscaisECF" && record.doc_type == "RG") ++reports;
  }
  EXPECT_EQ(reports, 3);  // the receipt, the product report, the closing report
}

}  // namespace
}  // namespace ecf
