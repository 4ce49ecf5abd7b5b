// The demo's scenario, run as `ecf run` runs it, against the simulated
// printer: every step succeeds, the outputs come back in their encodings, and
// the tape, the debug log and the host's records are where the last line says.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "host/json_codec.h"
#include "host/records.h"
#include "host/scenario.h"
#include "platform/platform.h"
#include "runtime/win1252.h"
#include "zel01900/testing.h"

namespace ecf {
namespace {

class DemoScenarioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZelResetModuleState();
    home_ = zel::platform::Native().MakeTempDirectory("ecf-demo-test-");
  }
  void TearDown() override {
    ZelResetModuleState();
    zel::platform::Native().RemoveTree(home_);
  }
  std::string home_;
};

TEST_F(DemoScenarioTest, TheSaleRunsEndToEndAndLeavesTapeLogAndRecords) {
  std::string text;
  ASSERT_TRUE(zel::platform::Native().ReadWholeFile(ECF_SCENARIOS_DIR "/demo.json", &text));
  Json scenario = Json::parse(text);
  scenario["home"] = home_;
  scenario["clock"] = "2026-12-10T10:00:00";

  std::vector<Json> lines;
  RunScenario(scenario, [&](const Json& line) { lines.push_back(line); });
  ASSERT_EQ(lines.size(), scenario["steps"].size() + 1);

  std::map<std::string, Json> by_call;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    const Json& line = lines[i];
    EXPECT_FALSE(line.contains("exception")) << line.dump();
    // The withdrawal receipt ends the fiscal day: it asks the operator its
    // three closing questions (answered by the scenario) and, having exported
    // the coming Z, answers false so that the host does not open the till.
    const bool closing = line["call"] == Json("GeraReciboSangria");
    if (closing) {
      EXPECT_EQ(line["result"], Json(false)) << line.dump();
      EXPECT_EQ(line["dialogs"].size(), 3u) << line.dump();
      continue;
    }
    EXPECT_TRUE(line["result"] == Json(true) || line["result"].is_null() ||
                line["result"].is_string())
        << line.dump();
    // Only notices (the fiscal menu tells where its files went), no errors
    // and no questions.
    for (const Json& dialog : line["dialogs"]) {
      EXPECT_EQ(dialog["kind"], Json(0)) << line.dump();
      EXPECT_EQ(dialog["question"], Json(false)) << line.dump();
    }
    by_call.emplace(line["call"].get<std::string>(), line);  // the first of each
  }
  // Outputs written back in their encodings.
  const Json& opened = by_call["AbreCupom"]["args"][0]["params"];
  EXPECT_EQ(opened["CUPNR"], Json("000001"));
  EXPECT_EQ(opened["CONTCUPOM"], Json("000001"));
  EXPECT_EQ(by_call["FechaCupom"]["args"][2], Json::parse(R"({"array": [0, "ECO", "", ""]})"));
  EXPECT_EQ(by_call["Nr_Cupom"]["result"], Json("000002"));  // the change voucher followed
  EXPECT_EQ(by_call["ContadorCupomFiscalMFD"]["args"][1], Json("000001"));
  EXPECT_EQ(by_call["VendaBruta"]["args"][1], Json("000000000000002649"));
  const Json rates = by_call["CarregaAliquota"]["args"][1]["table"]["rows"];
  ASSERT_GE(rates.size(), 2u);
  EXPECT_EQ(rates[0][0], Json("01"));
  // The day closed by the Z reduction: gross and net sales, the taxes per rate.
  const Json& last_z = by_call["DadosUltimaRedZ"]["args"];
  EXPECT_EQ(last_z[1]["array"][0], Json("0001"));
  // The cancelled second receipt counts in gross sales, not in net sales.
  EXPECT_EQ(last_z[1]["array"][47], Json("46,49"));
  EXPECT_EQ(last_z[1]["array"][48], Json("24,99"));
  EXPECT_EQ(last_z[2]["table"]["rows"], Json::parse(R"([["01", "18,00", "03,33", "18,50", "00"],
                            ["02", "12,00", "00,77", "06,49", "00"]])"));

  // Tape, log and records.
  const Json& paths = lines.back();
  std::string tape, log;
  ASSERT_TRUE(zel::platform::Native().ReadWholeFile(FromJsonText(paths["tape"]), &tape));
  for (const char* expected :
       {"CPF/CNPJ consumidor: 123.456.789-09", "FEIJÃO PRETO 1KG",
        "Cartao Credito                             10,00",
        "TROCO R$                                    5,01", "10/12/2026 10:00:00",
        "CONTRA-VALE EMITIDO", "LEITURA X", "REDUÇÃO Z", "AUTORIZACAO: 123456",
        "RELATORIO DE CONFERENCIA DE CAIXA", "SAIDA DE NUMERARIO - SANGRIA",
        "RELATORIO DE PRODUTOS", "RELATORIO DE FECHAMENTO"}) {
    EXPECT_NE(tape.find(expected), std::string::npos) << expected << "\n" << tape;
  }
  ASSERT_TRUE(zel::platform::Native().ReadWholeFile(FromJsonText(paths["log"]), &log));
  EXPECT_NE(log.find("10/12/2026 10:00:00 - IBM_FI_AbreCupomMFD"), std::string::npos) << log;
  EXPECT_EQ(paths["home"], Json(home_));
  // The day ends with the fiscal menu's files where a host installation
  // keeps them.
  for (const char* file :
       {"Dados/MenuFiscal/LMFS_1012202610000.txt", "Dados/MenuFiscal/IBM_20261210_100000.MFD.txt",
        "Dados/MenuFiscal/Ato_Cotepe.txt", "MenuFiscal/Espelho_MFD_10122026100000.txt"}) {
    EXPECT_TRUE(zel::platform::Native().FileExists(zel::platform::JoinPath(home_, file))) << file;
  }
  // After the sale: the card slip in a linked receipt, the gerencial report
  // and the cancelled receipt are recorded with the host...
  RecordStore records(FromJsonText(paths["records"]));
  std::vector<std::string> kinds;
  for (const DocumentRecord& record : records.All()) {
    if (record.service == "setDocNaoFiscaisECF") kinds.push_back(record.doc_type);
  }
  // Then the withdrawal receipt and its closing reports, gerencial reports.
  EXPECT_EQ(kinds, (std::vector<std::string>{"CC", "RG", "NC", "RG", "RG", "RG", "RG", "RG"}));
  EXPECT_EQ(by_call["Cancela_Cupom_Imp"]["args"][1], Json::parse(R"({"array": ["000005"]})"));
}

// A host folder named relative to the current folder: every file of the run
// (the driver's MFD download and work files, the printer's tape) lands inside
// it, and the tape the last line names is the one the printer wrote.
TEST_F(DemoScenarioTest, ARelativeHostFolderHoldsEveryFileOfTheRun) {
  std::string text;
  ASSERT_TRUE(zel::platform::Native().ReadWholeFile(ECF_SCENARIOS_DIR "/demo.json", &text));
  Json scenario = Json::parse(text);
  scenario["home"] = "caixa";
  scenario["clock"] = "2026-12-10T10:00:00";
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(home_);
  Json paths;
  try {
    RunScenario(scenario, [&](const Json& line) {
      if (!line.contains("step")) paths = line;
    });
  } catch (...) {
    std::filesystem::current_path(before);
    throw;
  }
  std::filesystem::current_path(before);

  const std::string home = zel::platform::JoinPath(home_, "caixa");
  EXPECT_EQ(paths["home"], Json(home));
  EXPECT_EQ(paths["tape"], Json(zel::platform::JoinPath(home, "bobina.txt")));
  std::string tape;
  ASSERT_TRUE(zel::platform::Native().ReadWholeFile(FromJsonText(paths["tape"]), &tape));
  EXPECT_NE(tape.find("REDUÇÃO Z"), std::string::npos);
  std::vector<std::string> beside;
  for (const auto& entry : std::filesystem::directory_iterator(home_)) {
    beside.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(beside, std::vector<std::string>{"caixa"});
}

}  // namespace
}  // namespace ecf
