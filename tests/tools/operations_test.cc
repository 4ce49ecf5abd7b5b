#include "host/operations.h"

#include <gtest/gtest.h>

#include <string>

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

TEST(OperationsTest, ReadingsAndSmallCommandsTakeTheHostsArgumentShapes) {
  const struct {
    const char* name;
    const char* args;
  } calls[] = {
      {"Leitura_X_Imp", R"(["", "002", ""])"},
      {"Reducao_Z_Imp", R"(["", "002", ""])"},
      {"DadosUltimaRedZ",
       R"([{"array": ["002"]}, {"array": [null, null]}, {"table": {"fields": []}}])"},
      {"Retorno_Aliquotas_Imp", R"(["002"])"},
      {"Estado_Gaveta_Imp", R"([""])"},
      {"Abre_Gaveta_Imp", R"(["002", false])"},
      {"Guilhotina", R"(["", 1])"},
      {"Estado_HorVerao", R"([""])"},
      {"Muda_Horario", R"([""])"},
  };
  for (const auto& call : calls) {
    const Operation& operation = FindOperation(call.name);
    EXPECT_TRUE(operation.needs_printer) << call.name;
    EXPECT_NO_THROW(operation.check(Json::parse(call.args))) << call.name;
  }
  EXPECT_THROW(
      FindOperation("DadosUltimaRedZ").check(Json::parse(R"(["002", {"array": []}, null])")),
      CallError);
}

TEST(OperationsTest, TillDocumentsTakeTheHostsArgumentShapes) {
  const std::string t = R"({"table": {"fields": [{"name": "X", "type": "string"}]}})";
  const struct {
    const char* name;
    std::string args;
  } calls[] = {
      {"ExportRedZ",
       R"(["", "002", "0001", 0, )" + t + ", " + t + ", " + t + ", " + t + ", " + t + "]"},
      {"Suprimento", R"(["", "002", 10.5])"},
      {"Sangria", R"(["", "002", 0.0])"},
      {"GeraReciboSangria", R"(["", "DOC", "K1", "K2", "0001", 0, "", )" + t + ", " + t + ", " + t +
                                ", " + t + ", " + t + ", " + t + ", " + t + ", " + t +
                                R"(, {"date": "2026-12-10T18:00:00"}, true, true, false, )" + t +
                                ", " + t + ", " + t + ", " + t + ", false, " + t +
                                R"(, "N", "S", "N", "S", "002", false, false, true, "", ""])"},
      {"Relatorio_Produto",
       R"(["", "A", "DOC", "K1", "K2", "", )" + t + R"(, "N", "S", "002", false])"},
      {"RegistroVenda", R"(["K1", "K2", "002", )" + t + R"(, "0012"])"},
      {"ImprimeMesasAbertas", R"([)" + t + R"(, "K1", "K2", "002", "", "", )" + t + "]"},
      {"imprimeProdutosTransf", R"(["K1", "K2", "002", "", "", )" + t + "]"},
      {"imprimeTipoRece", R"(["K1", "K2", "002", "DOC", "texto\n", ""])"},
      {"Comp_DebitoCons", R"(["002", )" + t + R"(, 5.0, "Convenio", "4471", "ANA", "15", "", "",
                              50.0, 0.0, 0.0, "1", "", "T", "100", "", null])"},
      {"Imp_CompVenCred", R"(["002", )" + t + ", " + t + R"(, 5.0, "Credito", "4471", "ANA",
                              "15", "", "", 10.0, 0.0, 0.0, "0"])"},
      {"Compr_CredPessoal", R"(["", "", "DOC", "K1", "K2", "002", "", "", )" + t +
                                R"(, 20.0, "ANA", "0042", "", "", "", "", "", "", "", "", "",
                                "", "", "", "", "LANCHES", false, ""])"},
      {"Cancela_Cred_Pessoal", R"(["", "DOC", "K1", "K2", "002", "", "0042", "15", "ANA", "",
                                   "Dinheiro", 30.0, 20.0, "LANCHES"])"},
      {"Cabecalho", R"(["K1", "002", "SALDO", "003", "", ""])"},
      {"ImpSaldo", R"(["002", )" + t + R"(, "4471", "ANA"])"},
      {"SaldoNegativo", R"(["K1", "002", )" + t + ", " + t + R"(, "SALDO", "003", "", ""])"},
      {"Saldo_CredPessoal", R"(["K1", "K2", "002", "SALDO", )" + t + "]"},
      {"ImprimeProdBloq", R"(["K1", "K2", "002", )" + t + "]"},
      {"Extrato", R"(["linha\n", "002"])"},
  };
  for (const auto& call : calls) {
    const Operation& operation = FindOperation(call.name);
    EXPECT_TRUE(operation.needs_printer) << call.name;
    EXPECT_NO_THROW(operation.check(Json::parse(call.args))) << call.name;
  }
  // 35 arguments, the last missing.
  EXPECT_THROW(FindOperation("GeraReciboSangria").check(Json::parse(R"(["", "DOC"])")), CallError);
}

}  // namespace
}  // namespace ecf
