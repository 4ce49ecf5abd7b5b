// The configuration loads when the printer does not deliver the list or
// datum they act on: the failure is shown on an attended till and the host's
// values and tables stay as they were.
#include <string>
#include <vector>

#include "core/core_fixture.h"
#include "hostutil/layout.h"
#include "hostutil/params.h"
#include "runtime/memtable.h"
#include "zel01900/config_loads.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

struct Failure {
  int32_t code;
  const char* text;  // what the operator is shown
};
// A refusal, and a command whose answer never came.
const Failure kFailures[] = {{-1, "Erro de execu\xE7\xE3o na fun\xE7\xE3o."},
                             {0, "Erro de comunica\xE7\xE3o."}};

class FailedQueryTest : public CoreTest {
 protected:
  Strings DialogTexts() {
    Strings texts;
    for (const auto& dialog : host_.dialogs()) texts.push_back(dialog.text);
    return texts;
  }
};

TEST_F(FailedQueryTest, TotalizerIndicesStayWhenTheListIsNotDelivered) {
  for (const Failure& f : kFailures) {
    SCOPED_TRACE(f.code);
    host_.Clear();
    IdTotRelatorio = "03";
    IdTotParcCV = "01";
    std::string cv = "01", vcons = "02", comp = "04", canc = "05";
    fake_.Answer("IBM_FI_VerificaTotalizadoresNaoFiscais", f.code);
    CarregaTotalizador(cv, vcons, comp, canc, "", "007", 0, nullptr);
    EXPECT_EQ((Strings{cv, vcons, comp, canc, IdTotRelatorio, IdTotParcCV}),
              (Strings{"01", "02", "04", "05", "03", "01"}));
    EXPECT_EQ(fake_.CallCount("IBM_FI_NomeiaTotalizadorNaoSujeitoIcms"), 0);
    EXPECT_EQ(DialogTexts(), Strings{f.text});
  }
}

TEST_F(FailedQueryTest, RateTableAndIssListStayWhenAListIsNotDelivered) {
  const char* lists[] = {"IBM_FI_RetornoAliquotas", "IBM_FI_VerificaAliquotasIss"};
  for (const char* failing : lists) {
    SCOPED_TRACE(failing);
    host_.Clear();
    stAliquotaIss = "0500," + std::string(74, ' ');
    fake_.Answer("IBM_FI_RetornoAliquotas", 1, "1800,0500,");
    fake_.Answer("IBM_FI_VerificaAliquotasIss", 1, "0500,");
    fake_.Answer(failing, -1);
    MemTable host;
    host.AddField("CDALIQIMPFIS", FieldType::kString, 2);
    host.CreateDataSet();
    host.AppendRecord({"01"});
    CarregaAliquota("007", host);
    EXPECT_EQ(host.RecordCount(), 1);
    EXPECT_EQ(stAliquotaIss, "0500," + std::string(74, ' '));
    EXPECT_EQ(DialogTexts(), Strings{"Erro de execu\xE7\xE3o na fun\xE7\xE3o."});
  }
}

TEST_F(FailedQueryTest, PaymentFormsStayWhenTheListIsNotDelivered) {
  MemTable host;
  for (const char* name : {"CDTIPORECE", "NMTIPORECE", "IDEMIVALE", "CDFPIMPFIS", "IDTIPORECE",
                           "IDTPBUTTON", "DSIMPFISCAL", "IDMOSTRARECE"}) {
    host.AddField(name, FieldType::kString, 20);
  }
  host.CreateDataSet();
  host.AppendRecord({"001", "Din", "", "", "1", "5", "Dinheiro", "S"});
  host.AppendRecord({"002", "Cartao", "", "", "1", "5", "Cartao", "S"});
  const std::string before = host.Data();
  fake_.Answer("IBM_FI_VerificaFormasPagamento", 0);
  // Were the forms offered again, the printer would refuse them.
  fake_.Answer("IBM_FI_ProgramaFormaPagamentoMFD", -1);
  CarregaRecebimento("", "007", 0, host);
  EXPECT_EQ(fake_.CallCount("IBM_FI_ProgramaFormaPagamentoMFD"), 0);
  EXPECT_EQ(host.RecordCount(), 2);
  EXPECT_FALSE(host.Filtered());
  EXPECT_EQ(host.Data(), before);
  EXPECT_EQ(DialogTexts(), Strings{"Erro de comunica\xE7\xE3o."});
}

TEST_F(FailedQueryTest, PrinterDataLoadFailsAndKeepsTheHostsValues) {
  // Each query fails in turn; the others answer.
  const char* queries[] = {"IBM_FI_DataMovimento", "IBM_FI_DataHoraImpressora",
                           "IBM_FI_NumeroCaixa", "IBM_FI_NumeroSerieMFD"};
  for (const char* failing : queries) {
    SCOPED_TRACE(failing);
    host_.Clear();
    fake_.Answer("IBM_FI_DataMovimento", 1, "091226");
    fake_.Answer("IBM_FI_DataHoraImpressora", 1, "101226", "103005");
    fake_.Answer("IBM_FI_NumeroCaixa", 1, "0003");
    fake_.Answer("IBM_FI_NumeroSerieMFD", 1, "IB0000000000000012AB");
    fake_.Answer(failing, -1);
    HostParams params = MakeParams({{"ESQUEMA", "007"},
                                    {"DATAATUIMP", "101226090000"},
                                    {"ECFIMP", "0001"},
                                    {"SERIEIMP", "IB-HOST"},
                                    {"DATAIMP", "081226"}});
    EXPECT_FALSE(Carrega_Dados_Impressora(params));
    const std::string name = failing;
    EXPECT_EQ(RecebeParams(params, "DATAIMP").AsString(),
              name == "IBM_FI_DataMovimento" ? "081226" : "091226");
    EXPECT_EQ(RecebeParams(params, "DATAATUIMP").AsString(),
              name == "IBM_FI_DataHoraImpressora" ? "101226090000" : "101226103005");
    EXPECT_EQ(RecebeParams(params, "ECFIMP").AsString(),
              name == "IBM_FI_NumeroCaixa" ? "0001" : "0003");
    EXPECT_EQ(RecebeParams(params, "SERIEIMP").AsString(),
              name == "IBM_FI_NumeroSerieMFD" ? "IB-HOST" : "IB0000000000000012AB");
    EXPECT_EQ(DialogTexts(), Strings{"Erro de execu\xE7\xE3o na fun\xE7\xE3o."});
  }
}

TEST_F(FailedQueryTest, SelfServiceTillIsNotShownTheFailure) {
  boNUtilTaa = false;
  std::string cv, vcons, comp, canc;
  fake_.Answer("IBM_FI_VerificaTotalizadoresNaoFiscais", -1);
  CarregaTotalizador(cv, vcons, comp, canc, "", "007", 0, nullptr);
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_NE(stMensagemTaa.find("Erro de execu\xE7\xE3o na fun\xE7\xE3o."), std::string::npos);
}

}  // namespace
}  // namespace zel::test
