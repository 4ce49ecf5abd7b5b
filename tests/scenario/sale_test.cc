// A whole sale against the simulated printer: the configuration loaded into
// the host's tables, a receipt with the consumer's CPF, items with a discount
// and a surcharge, two payment forms with change registered as a change
// voucher, and the full footer; then the tape and the printer's counters.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hostutil/layout.h"
#include "hostutil/params.h"
#include "printer_scenario.h"
#include "runtime/convert.h"
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

class SaleScenarioTest : public PrinterScenarioTest {
 protected:
  // The host's payment-form table: cash known to the printer, a card form
  // it does not know yet.
  static void FillPaymentForms(MemTable& table) {
    for (const char* name : {"CDTIPORECE", "NMTIPORECE", "IDEMIVALE", "CDFPIMPFIS", "IDTIPORECE",
                             "IDTPBUTTON", "DSIMPFISCAL", "IDMOSTRARECE"}) {
      table.AddField(name, FieldType::kString, 50);
    }
    table.CreateDataSet();
    table.AppendRecord({"001", "Dinheiro", "", "", "1", "5", "Dinheiro", "S"});
    table.AppendRecord({"002", "Cartao Credito", "", "", "3", "5", "Cartao Credito", "S"});
  }

  static std::string Movements() {
    MemTable table;
    DefineMovementFields(table);
    table.CreateDataSet();
    auto add = [&](const char* type, double amount, int minute) {
      table.Append();
      table.FieldByName("IDTIPOMOVIVE").SetAsString("E");
      table.FieldByName("CDTIPORECE").SetAsString(type);
      table.FieldByName("NRORDTROCO").SetAsString("001");
      table.FieldByName("VRMOVIVEND").SetAsFloat(amount);
      table.FieldByName("DTHRINCMOV").SetAsDateTime(EncodeDateTime(2026, 12, 10, 9, minute, 0, 0));
      table.Post();
    };
    add("002", 10, 1);
    add("001", 20, 2);
    return table.Data();
  }

  static std::string PaymentTypes(MemTable& forms) {
    // The sale's payment types as the host gives them: its payment-form
    // table after the load, with the names the printer knows.
    forms.SetFiltered(false);
    return forms.Data();
  }

  static HostParams Item(const char* code, const char* name, const std::string& rate, double price,
                         double quantity, double discount, double surcharge) {
    return MakeParams({{"ESQUEMACOR", "002"},
                       {"INTEFERRO", 0},
                       {"CDARVPROD", code},
                       {"NMPROD", name},
                       {"CDALIQ", rate},
                       {"QTDE", quantity},
                       {"VALOR", price},
                       {"DESCONT", discount},
                       {"ACRESCIMO", surcharge},
                       {"UNIDADE", "UN"},
                       {"IDUTILTEF", "N"},
                       {"UTILTEF", false}});
  }
};

// The rate code the host table gives a percentage.
std::string RateCode(MemTable& rates, double percent) {
  for (rates.First(); !rates.Eof(); rates.Next()) {
    if (rates.FieldByName("VRALIQIMPFIS").AsFloat() == percent) {
      return rates.FieldByName("CDALIQIMPFIS").AsString();
    }
  }
  return "";
}

TEST_F(SaleScenarioTest, SaleWithCpfDiscountSurchargeTwoPaymentsChangeAndFooter) {
  // ---- Configuration ----
  HostParams data = MakeParams({{"ESQUEMA", "002"}});
  EXPECT_TRUE(Carrega_Dados_Impressora(data));
  EXPECT_EQ(RecebeParams(data, "SERIEIMP").AsString(), "IB010900000000000001");
  std::string cv, vcons, comp, canc;
  CarregaTotalizador(cv, vcons, comp, canc, "", "002", 0, nullptr);
  EXPECT_EQ(IdTotParcCV, cv);
  EXPECT_FALSE(cv.empty());
  MemTable rates;
  CarregaAliquota("002", rates);
  const std::string rate18 = RateCode(rates, 18);
  const std::string rate12 = RateCode(rates, 12);
  EXPECT_EQ(rate18, "01");
  EXPECT_EQ(rate12, "02");
  MemTable forms;
  FillPaymentForms(forms);
  CarregaRecebimento("", "002", 0, forms);
  EXPECT_EQ(forms.RecordCount(), 2);

  // ---- Receipt ----
  HostParams open = MakeParams({{"ESQUEMACOR", "002"},
                                {"INTTEFERRO", 0},
                                {"INCLUICPF", "123.456.789-09"},
                                {"INCLUINOME", "MARIA DA SILVA"},
                                {"INCLUIENDERECO", "RUA DAS FLORES, 10"},
                                {"IDUTILTEF", "N"},
                                {"UTILTEF", false}});
  ASSERT_TRUE(AbreCupom(open));
  const std::string coo = RecebeParams(open, "CUPNR").AsString();
  EXPECT_EQ(RecebeParams(open, "CONTCUPOM").AsString(), "000001");

  HostParams item1 = Item("7891000100103", "ARROZ TIPO 1 5KG", rate18, 10, 2, 1.5, 0);
  ASSERT_TRUE(VendaItem(item1)) << RecebeParams(item1, "MENSAGEMTAA").AsString();
  HostParams item2 = Item("7891000200200", "FEIJAO PRETO 1KG", rate12, 5.999, 1, 0, 0.5);
  ASSERT_TRUE(VendaItem(item2)) << RecebeParams(item2, "MENSAGEMTAA").AsString();
  // 2 x 10,00 - 1,50 + 5,99 + 0,50 = 24,99; paid 10,00 by card and 20,00 in
  // cash, 5,01 of change.
  std::vector<HostVariant> params(55);
  params[1] = "OBRIGADO PELA PREFERENCIA";
  params[2] = "002";
  params[4] = true;
  params[5] = true;
  params[6] = 0.0;
  params[7] = 5.01;
  params[8] = 0.0;
  params[9] = "N";
  params[11] = false;
  params[13] = HostVariant::FromPacket(Movements());
  params[14] = HostVariant::FromPacket(PaymentTypes(forms));
  params[15] = "15";
  params[16] = "JOAO";
  params[17] = "9";
  params[18] = "MARIA";
  params[19] = "12345678909";
  params[21] = "12";
  params[22] = "7";
  params[23] = "ANA";
  params[27] = "2";
  params[42] = "ECO";
  params[43] = "MG";
  params[44] = "12.345.678/0001-90";
  params[51] = 3.5;
  params[52] = 10.0;
  HostVariant result = HostVariant::MakeArray(std::vector<HostVariant>(4));
  StringList no_slips;
  ASSERT_TRUE(FechaCupom(params, &no_slips, result)) << DebugLog();
  EXPECT_EQ(result, HostVariant::MakeArray({0, "ECO", "", ""}));
  EXPECT_TRUE(host_.dialogs().empty()) << host_.DialogTexts()[0];

  // ---- The tape ----
  const std::string tape = Tape();
  for (const std::string& expected :
       {std::string("CPF/CNPJ consumidor: 123.456.789-09"), std::string("ARROZ TIPO 1 5KG"),
        std::string("FEIJAO PRETO 1KG"), std::string("Cartao Credito"), std::string("TROCO"),
        std::string("OBRIGADO PELA PREFERENCIA"),
        std::string("Val Aprox Tributos R$ 3,50 (14,01%) Fonte:IBPT"),
        std::string("MINAS LEGAL: 12345678 10122026 2499"), std::string("Cliente : 15 - JOAO"),
        std::string("Consumidor : 9 - MARIA"), std::string("Mesa  : 12           -"),
        std::string("Operador : 7 - ANA"), std::string("Nesta compra voce ganhou 10 DOTZ"),
        std::string("CONTRA-VALE")}) {
    EXPECT_NE(tape.find(expected), std::string::npos) << expected << "\n" << tape;
  }

  // ---- Counters and totals ----
  EXPECT_EQ(Nr_Cupom("", "002"), Ajusta(IntToStr(StrToInt(coo) + 1), 6));  // the change voucher
  std::string valor;
  EXPECT_TRUE(ContadorCupomFiscalMFD("002", valor));
  EXPECT_EQ(valor, "000001");
  EXPECT_TRUE(NumeroOperacoesNaoFiscais("002", valor));
  EXPECT_EQ(valor, "000001");
  EXPECT_TRUE(Descontos("002", valor));
  EXPECT_DOUBLE_EQ(GetValue(valor), 1.5);
  EXPECT_TRUE(VendaBruta("002", valor));  // items and their surcharge
  EXPECT_DOUBLE_EQ(GetValue(valor), 26.49);
  const std::string state = Control("state");
  EXPECT_NE(state.find("open none"), std::string::npos) << state;
}

// Answers lost on the way back from the printer (the "done-no-answer"
// fault: the printer carried the command out, the call answers 0): the
// receipt opening, items, the closing start, the footer and the Z are found
// done on the printer and reported as done; nothing is registered twice.
TEST_F(SaleScenarioTest, CommandsDoneWithoutAnswerAreTakenAsDoneAndNeverRepeated) {
  MemTable forms;
  FillPaymentForms(forms);
  auto cash = [](double amount) {
    MemTable table;
    DefineMovementFields(table);
    table.CreateDataSet();
    table.Append();
    table.FieldByName("IDTIPOMOVIVE").SetAsString("E");
    table.FieldByName("CDTIPORECE").SetAsString("001");
    table.FieldByName("NRORDTROCO").SetAsString("001");
    table.FieldByName("VRMOVIVEND").SetAsFloat(amount);
    table.FieldByName("DTHRINCMOV").SetAsDateTime(EncodeDateTime(2026, 12, 10, 9, 1, 0, 0));
    table.Post();
    return table.Data();
  };
  auto close = [&](double paid, double change, double surcharge) {
    std::vector<HostVariant> params(55);
    params[2] = "002";
    params[5] = true;
    params[6] = 0.0;
    params[7] = change;
    params[8] = surcharge;
    params[9] = "N";
    params[11] = false;
    params[13] = HostVariant::FromPacket(cash(paid));
    params[14] = HostVariant::FromPacket(PaymentTypes(forms));
    HostVariant result = HostVariant::MakeArray(std::vector<HostVariant>(4));
    StringList no_slips;
    return FechaCupom(params, &no_slips, result);
  };
  auto open = [&] {
    HostParams params = MakeParams(
        {{"ESQUEMACOR", "002"}, {"INTTEFERRO", 0}, {"IDUTILTEF", "N"}, {"UTILTEF", false}});
    return AbreCupom(params);
  };
  auto gross = [&] {
    std::string valor;
    EXPECT_TRUE(VendaBruta("002", valor));
    return GetValue(valor);
  };
  host_.SetDefaultAnswer(true);  // an operator who would send anything again

  // First receipt: 2 x 10,00 + 0,50, 5,99 and 3,00, a subtotal surcharge of
  // 1,00: 30,49, paid with 31,00.
  Control("done-no-answer IBM_FI_AbreCupomMFD");
  ASSERT_TRUE(open()) << DebugLog();
  Control("done-no-answer IBM_FI_VendeItemDepartamento");
  HostParams item1 = Item("7891000100103", "ARROZ TIPO 1 5KG", "01", 10, 2, 0, 0.5);
  EXPECT_TRUE(VendaItem(item1)) << DebugLog();
  HostParams item2 = Item("7891000200200", "FEIJAO PRETO 1KG", "02", 5.999, 1, 0, 0);
  EXPECT_TRUE(VendaItem(item2));
  Control("done-no-answer IBM_FI_VendeItemDepartamento");
  HostParams item3 = Item("7891000300300", "CAFE TORRADO 500G", "01", 3, 1, 0, 0);
  EXPECT_TRUE(VendaItem(item3)) << DebugLog();
  Control("done-no-answer IBM_FI_IniciaFechamentoCupom");
  Control("done-no-answer IBM_FI_TerminaFechamentoCupom");
  EXPECT_TRUE(close(31, 0.51, 1)) << DebugLog();

  // Second receipt: the lost item is checked against gross sales that
  // include the first receipt's surcharge.
  ASSERT_TRUE(open());
  Control("done-no-answer IBM_FI_VendeItemDepartamento");
  HostParams item4 = Item("7891000400400", "ACUCAR 1KG", "01", 2.5, 1, 0, 0);
  EXPECT_TRUE(VendaItem(item4)) << DebugLog();
  EXPECT_TRUE(close(2.5, 0, 0)) << DebugLog();

  for (const DialogCall& dialog : host_.dialogs()) {
    EXPECT_FALSE(dialog.IsQuestion()) << dialog.text;
    EXPECT_NE(dialog.text.find("executou o comando"), std::string::npos) << dialog.text;
  }
  EXPECT_EQ(host_.dialogs().size(), 6u);
  EXPECT_DOUBLE_EQ(gross(), 32.99);
  const std::string tape = Tape();
  for (const char* name :
       {"ARROZ TIPO 1 5KG", "FEIJAO PRETO 1KG", "CAFE TORRADO 500G", "ACUCAR 1KG", "CCF:"}) {
    size_t count = 0;
    for (size_t at = tape.find(name); at != std::string::npos; at = tape.find(name, at + 1)) {
      ++count;
    }
    EXPECT_EQ(count, std::string(name) == "CCF:" ? 2u : 1u) << name << "\n" << tape;
  }
  std::string ccf;
  EXPECT_TRUE(ContadorCupomFiscalMFD("002", ccf));
  EXPECT_EQ(ccf, "000002");

  // The day's reduction, its answer lost too.
  Control("done-no-answer IBM_FI_ReducaoZ");
  EXPECT_TRUE(Reducao_Z_Imp("", "002", "")) << DebugLog();
  EXPECT_DOUBLE_EQ(gross(), 0);
  EXPECT_NE(Control("state").find("crz 0001"), std::string::npos);
}

}  // namespace
}  // namespace zel::test
