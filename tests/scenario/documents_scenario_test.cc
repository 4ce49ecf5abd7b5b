// The non-fiscal documents against the simulated printer: card slips in
// linked receipts after a sale paid with two cards, the receipt cancelled
// afterwards with the grand total and the "NC" record; gerencial reports
// (one with a line longer than one feed takes), a barcode, an exchange slip,
// a conference and a non-fiscal receipt on a totalizer, with the counters
// the host records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "hostutil/cipher.h"
#include "hostutil/files.h"
#include "hostutil/layout.h"
#include "hostutil/params.h"
#include "printer_scenario.h"
#include "runtime/convert.h"
#include "runtime/datetime.h"
#include "runtime/format.h"
#include "runtime/memtable.h"
#include "runtime/string_list.h"
#include "runtime/win1252.h"
#include "support/host_tables.h"
#include "support/recording_host.h"
#include "support/sandbox_platform.h"
#include "zel01900/testing.h"
#include "zel01900/zel01900.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;
constexpr const char* kSerial = kPrinterSerial;

class DocumentsScenarioTest : public PrinterScenarioTest {
 protected:
  void SetUp() override {
    PrinterScenarioTest::SetUp();
    if (HasFatalFailure()) return;
    std::string cv, vcons, comp, canc;
    CarregaTotalizador(cv, vcons, comp, canc, "", "002", 0, nullptr);
    ASSERT_FALSE(IdTotCompCred.empty());
    FillPaymentForms(forms_);
    CarregaRecebimento("", "002", 0, forms_);
  }

  std::string HostFile(const std::string& name) {
    return platform::JoinPath(sandbox_.ExecutableDirectory(), name);
  }

  // The host's printer file with the grand-total control on for this printer.
  void WriteVendrix(const std::string& gt) {
    MemTable table;
    table.AddField("CDFILIAL", FieldType::kString, 4);
    table.AddField("CDCAIXA", FieldType::kString, 3);
    table.AddField("NRSERIEECF", FieldType::kString, 40);
    table.AddField("CAMPO01", FieldType::kString, 1);
    table.AddField("CAMPO02", FieldType::kString, 40);
    table.CreateDataSet();
    table.SetLogChanges(false);
    table.AppendRecord({"0001", "001", Cripto(kSerial, fiscal::kVendrixCipherKey), "S",
                        Cripto(gt, fiscal::kVendrixCipherKey)});
    SaveTableToFile(table, HostFile("Vendrix.cds"));
  }

  std::string StoredGrandTotal() {
    MemTable table;
    LoadTableFromFile(table, HostFile("Vendrix.cds"));
    return Uncripto(table.FieldByName("CAMPO02").AsString(), fiscal::kVendrixCipherKey);
  }

  static void FillPaymentForms(MemTable& table) {
    for (const char* name : {"CDTIPORECE", "NMTIPORECE", "IDEMIVALE", "CDFPIMPFIS", "IDTIPORECE",
                             "IDTPBUTTON", "DSIMPFISCAL", "IDMOSTRARECE"}) {
      table.AddField(name, FieldType::kString, 50);
    }
    table.CreateDataSet();
    table.AppendRecord({"001", "Dinheiro", "", "", "1", "5", "Dinheiro", "S"});
    table.AppendRecord({"002", "Cartao Credito", "", "", "3", "5", "Cartao Credito", "S"});
    table.AppendRecord({"003", "Cartao Debito", "", "", "4", "5", "Cartao Debito", "S"});
  }

  // A receipt of 24,99 at the first rate, paid 10,00 by credit card and
  // 14,99 by debit card. Returns its number.
  std::string CardSale() {
    HostParams open = MakeParams(
        {{"ESQUEMACOR", "002"}, {"INTTEFERRO", 0}, {"IDUTILTEF", "N"}, {"UTILTEF", false}});
    EXPECT_TRUE(AbreCupom(open)) << DebugLog();
    HostParams item = MakeParams({{"ESQUEMACOR", "002"},
                                  {"INTEFERRO", 0},
                                  {"CDARVPROD", "7891000100103"},
                                  {"NMPROD", "ARROZ TIPO 1 5KG"},
                                  {"CDALIQ", "01"},
                                  {"QTDE", 1.0},
                                  {"VALOR", 24.99},
                                  {"DESCONT", 0.0},
                                  {"ACRESCIMO", 0.0},
                                  {"UNIDADE", "UN"},
                                  {"IDUTILTEF", "N"},
                                  {"UTILTEF", false}});
    EXPECT_TRUE(VendaItem(item)) << DebugLog();

    MemTable movements;
    DefineMovementFields(movements);
    movements.CreateDataSet();
    auto add = [&](const char* type, double amount, int minute) {
      movements.Append();
      movements.FieldByName("IDTIPOMOVIVE").SetAsString("E");
      movements.FieldByName("CDTIPORECE").SetAsString(type);
      movements.FieldByName("NRORDTROCO").SetAsString("001");
      movements.FieldByName("VRMOVIVEND").SetAsFloat(amount);
      movements.FieldByName("DTHRINCMOV")
          .SetAsDateTime(EncodeDateTime(2026, 12, 10, 9, minute, 0, 0));
      movements.Post();
    };
    add("002", 10, 1);
    add("003", 14.99, 2);
    std::vector<HostVariant> params(55);
    params[2] = "002";
    params[4] = false;
    params[5] = true;
    params[6] = 0.0;
    params[7] = 0.0;
    params[8] = 0.0;
    params[9] = "N";
    params[11] = false;
    params[13] = HostVariant::FromPacket(movements.Data());
    forms_.SetFiltered(false);
    params[14] = HostVariant::FromPacket(forms_.Data());
    HostVariant result = HostVariant::MakeArray(std::vector<HostVariant>(4));
    StringList no_slips;
    EXPECT_TRUE(FechaCupom(params, &no_slips, result)) << DebugLog();
    return RecebeParams(open, "CUPNR").AsString();
  }

  Strings DocTypes() const {
    Strings types;
    for (const DocCall& c : host_.doc_calls()) types.push_back(c.doc_type);
    return types;
  }

  static size_t Occurrences(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) {
      ++count;
    }
    return count;
  }

  MemTable forms_;
};

TEST_F(DocumentsScenarioTest, CardSlipsInLinkedReceiptsThenTheReceiptCancelled) {
  const std::string coo = CardSale();
  ASSERT_EQ(coo.size(), 6u);

  StringList credit_first;
  credit_first.Add("CREDITO VIA CLIENTE\nVALOR 10,00\n");
  StringList credit_second;
  credit_second.Add("CREDITO VIA LOJA\nVALOR 10,00");  // the client left out the last LF
  ASSERT_TRUE(ImprimeTef("DOC1", "K1", "K2", "002", &credit_first, &credit_second, nullptr, nullptr,
                         "", "Cartao Credito", "", 0.0, 10.0, 1, "N", "PDV"))
      << DebugLog();
  StringList debit_first;
  debit_first.Add("DEBITO VIA CLIENTE\n");
  StringList debit_second;
  debit_second.Add("DEBITO VIA LOJA\n");
  ASSERT_TRUE(ImprimeTef("DOC2", "K1", "K2", "002", &debit_first, &debit_second, nullptr, nullptr,
                         "", "Cartao Debito", "", 0.0, 14.99, 1, "N", "PDV"))
      << DebugLog();

  std::string valor;
  EXPECT_TRUE(ContadorComprovantesCreditoMFD("002", valor));
  EXPECT_EQ(valor, "000002");
  ASSERT_EQ(DocTypes(), (Strings{"CC", "CC"}));
  EXPECT_EQ(host_.doc_calls()[0].slip_counter, "000001");
  EXPECT_EQ(host_.doc_calls()[1].slip_counter, "000002");
  EXPECT_EQ(host_.doc_calls()[1].doc_key, "DOC2");
  EXPECT_EQ(host_.doc_calls()[0].record.movement_date, EncodeDate(2026, 12, 10));

  const std::string tape = Tape();
  EXPECT_EQ(Occurrences(tape,
                        "COMPROVANTE CR\xC9"
                        "DITO OU D\xC9"
                        "BITO"),
            2u)
      << tape;
  for (const char* text :
       {"CREDITO VIA CLIENTE", "CREDITO VIA LOJA", "DEBITO VIA CLIENTE", "DEBITO VIA LOJA"}) {
    EXPECT_NE(tape.find(text), std::string::npos) << text << "\n" << tape;
  }
  EXPECT_LT(tape.find("CREDITO VIA CLIENTE"), tape.find("CREDITO VIA LOJA"));

  // The receipt is cancelled after its slips; the host's grand total
  // follows the printer's.
  WriteVendrix("1,00");
  host_.Clear();
  // The number handed back is the printer's current one, which after the
  // slips is the last slip's.
  const std::string current = Nr_Cupom("", "002");
  EXPECT_EQ(current, Ajusta(IntToStr(StrToInt(coo) + 2), 6));
  HostVariant result = HostVariant::MakeArray(std::vector<HostVariant>(2));
  ASSERT_TRUE(
      Cancela_Cupom_Imp({"002", true, false, HostVariant(), "0001", "001", kSerial, "N"}, result))
      << DebugLog();
  EXPECT_EQ(result.Elements()[0], HostVariant(current));
  std::string gt;
  BuscaTotGer("002", gt);
  EXPECT_EQ(StoredGrandTotal(), gt);
  EXPECT_EQ(gt, "24,99");  // the cancellation does not lower it
  ASSERT_EQ(DocTypes(), (Strings{"NC"}));
  EXPECT_EQ(host_.doc_calls()[0].doc_key, kSerial);
  EXPECT_EQ(host_.doc_calls()[0].non_fiscal_operations, "");
  EXPECT_TRUE(Cancelamentos("002", valor));
  EXPECT_DOUBLE_EQ(GetValue(valor), 24.99);
  EXPECT_TRUE(host_.dialogs().empty()) << host_.DialogTexts()[0];
  EXPECT_NE(Tape().find("CUPOM FISCAL CANCELADO"), std::string::npos);
}

TEST_F(DocumentsScenarioTest, ReportsBarcodeExchangeSlipConferenceAndNonFiscalReceipt) {
  const std::string long_line = std::string(9000, 'Q') + "\n";
  const std::string text = "RELATORIO DE TESTE\nlinha 2\nlinha 3\n" + long_line + "fim\n";
  ASSERT_TRUE(Relatorio_Generico("002", "K1", "K2", text, "DOC1", "")) << DebugLog();
  std::string valor;
  EXPECT_TRUE(ContadorRelatoriosGerenciaisMFD("002", valor));
  EXPECT_EQ(valor, "000001");
  ASSERT_EQ(DocTypes(), (Strings{"RG"}));
  EXPECT_EQ(host_.doc_calls()[0].report_counter, "000001");
  ASSERT_EQ(host_.cer_calls().size(), 1u);
  EXPECT_EQ(host_.cer_calls()[0].movement_date, EncodeDate(2026, 12, 10));
  std::string tape = Tape();
  // Nothing of the long line is lost, though no feed may carry all of it.
  EXPECT_EQ(std::count(tape.begin(), tape.end(), 'Q'), 9000) << DebugLog();
  EXPECT_LT(tape.find("RELATORIO DE TESTE"), tape.find("fim"));

  EXPECT_TRUE(CodigoBarra("002", "K1", "K2", 0, "789100010010", "EAN13")) << DebugLog();
  EXPECT_NE(Tape().find("EAN13 789100010010"), std::string::npos);

  EXPECT_TRUE(Cupom_Troca("002", "K1", "K2", "TROCA DE MERCADORIA\nitem 1\n"));
  EXPECT_NE(Tape().find("TROCA DE MERCADORIA"), std::string::npos);

  std::string numero;
  EXPECT_TRUE(Conferencia_Formatada("002", "K1", "K2", "DOC4", "", numero, "MESA 12\n"));
  EXPECT_EQ(numero, Nr_Cupom("", "002"));
  EXPECT_TRUE(ContadorRelatoriosGerenciaisMFD("002", valor));
  EXPECT_EQ(valor, "000004");
  EXPECT_EQ(DocTypes(), (Strings{"RG", "CM"}));

  EXPECT_TRUE(Cupom_NFiscNVinc("002", IdTotCompCred, "00000000000500", "Dinheiro")) << DebugLog();
  EXPECT_NE(Tape().find("Cred Pessoal"), std::string::npos);
  EXPECT_TRUE(NumeroOperacoesNaoFiscais("002", valor));
  EXPECT_EQ(valor, "000005");

  EXPECT_EQ(DataMoviFiscal(""), EncodeDate(2026, 12, 10));
  EXPECT_TRUE(host_.dialogs().empty()) << host_.DialogTexts()[0];
  const std::string state = Control("state");
  EXPECT_NE(state.find("open none"), std::string::npos) << state;
}

}  // namespace
}  // namespace zel::test
