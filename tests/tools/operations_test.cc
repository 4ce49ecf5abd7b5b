#include "host/operations.h"

#include <gtest/gtest.h>

#include "host/invoker.h"
#include "runtime/win1252.h"

namespace ecf {
namespace {

// Stand-ins with the parameter shapes the driver's operations use.
std::string Echo(const std::string& a, std::string& out, int n, bool flag, double value) {
  out = a + "!";
  return a + std::to_string(n) + (flag ? "T" : "F") + std::to_string(static_cast<int>(value));
}

bool FillBundle(zel::HostParams& params) {
  params = zel::MakeParams({{"CUPNR", "000123"}, {"MENSAGEMTAA", ""}});
  return true;
}

void FillResult(const std::vector<zel::HostVariant>& in, zel::HostVariant& result) {
  result.Elements()[0] = static_cast<int>(in.size());
}

TEST(InvokerTest, BindsArgumentsByParameterTypeAndReadsOutputsBack) {
  const CallOutcome outcome =
      detail::MakeInvoker(&Echo)(Json::parse(R"(["ação", "", 7, true, 2.0])"));
  EXPECT_EQ(outcome.result, Json("ação7T2"));
  EXPECT_EQ(outcome.args, Json::parse(R"(["ação", "ação!", 7, true, 2.0])"));
}

TEST(InvokerTest, BundlesAndResultArraysKeepTheirEncoding) {
  CallOutcome outcome = detail::MakeInvoker(&FillBundle)(Json::parse(R"([{"params": {"X": 1}}])"));
  EXPECT_EQ(outcome.args[0], Json::parse(R"({"params": {"CUPNR": "000123", "MENSAGEMTAA": ""}})"));

  outcome = detail::MakeInvoker(&FillResult)(
      Json::parse(R"([{"array": [1, 2, 3]}, {"array": [null, null]}])"));
  EXPECT_EQ(outcome.result, Json(nullptr));
  EXPECT_EQ(outcome.args[1], Json::parse(R"({"array": [3, null]})"));
}

std::string Wide(const std::u16string& text) { return zel::Utf16ToWin1252(text) + "?"; }

TEST(InvokerTest, WideTextsCrossAsTexts) {
  const CallOutcome outcome = detail::MakeInvoker(&Wide)(Json::parse(R"(["ação"])"));
  EXPECT_EQ(outcome.result, Json("ação?"));
  EXPECT_EQ(outcome.args, Json::parse(R"(["ação"])"));
}

TEST(InvokerTest, WrongCountOrKindIsRefusedNamingTheArgument) {
  const Invoker echo = detail::MakeInvoker(&Echo);
  EXPECT_THROW(echo(Json::parse(R"(["a", "b", 1, true])")), CallError);
  try {
    echo(Json::parse(R"(["a", "b", "not a number", true, 1.0])"));
    FAIL() << "accepted a text for an integer";
  } catch (const CallError& e) {
    EXPECT_NE(std::string(e.what()).find("argument 3"), std::string::npos) << e.what();
  }
}

TEST(OperationsTest, EveryExportedOperationIsCallableByName) {
  for (const char* name : {"AbrePorta", "Estado_Imp", "AbreCupom", "FechaCupom"}) {
    EXPECT_TRUE(FindOperation(name).needs_printer) << name;
  }
  EXPECT_FALSE(FindOperation("GetValue").needs_printer);
  EXPECT_FALSE(FindOperation("StartImpFiscal").needs_printer);
  EXPECT_THROW(FindOperation("NoSuchOperation"), CallError);
}

TEST(OperationsTest, DocumentOperationsTakeTheirHostShapes) {
  // Card slips as two string lists (null for a list left out), the item
  // cancellation's wide texts, the receipt cancellation's arrays.
  FindOperation("ImprimeTef")
      .check(Json::parse(R"(["DOC", "K1", "K2", "002", {"list": ["via 1\n"]}, null, null, null,
                             "", "Cartao", "", 0.0, 10.5, 1, "N", "PDV"])"));
  FindOperation("Cancela_ItGenerico")
      .check(Json::parse(R"(["", "00012", "", "", "", "", "", "", "", 0.0, 0.0])"));
  FindOperation("Cancela_Cupom_Imp")
      .check(Json::parse(R"([{"array": ["002", true, false, null, "1", "1", "S", "N"]},
                             {"array": [null]}])"));
  FindOperation("Conferencia_Formatada").check(Json::parse(R"(["002", "", "", "", "", "", "x"])"));
  for (const char* name :
       {"Relatorio_Gerencial_Imp", "Usa_CompNFis", "FechRelatGerenc", "Relatorio_Generico",
        "GravaDocumentosNaoFiscais", "Abre_Comp_NFiscalVinc", "Fecha_Comp_NFiscalVinc",
        "Cupom_NFiscNVinc", "CodigoBarra", "Cancela_UltimoItem", "Acrescimo_Imp", "Cupom_Troca",
        "DataMoviFiscal"}) {
    EXPECT_TRUE(FindOperation(name).needs_printer) << name;
  }
}

}  // namespace
}  // namespace ecf
