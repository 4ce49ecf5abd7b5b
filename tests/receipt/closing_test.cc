// FechaCupom against recording fakes: the closing start, the consolidation
// of movements with and without card use, the payment pass, the sale total,
// the change voucher, the retry protocol, the result and short arrays.
#include <algorithm>
#include <string>
#include <vector>

#include "core/core_fixture.h"
#include "runtime/host_error.h"
#include "runtime/memtable.h"
#include "runtime/string_list.h"
#include "support/host_tables.h"
#include "zel01900/receipt.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

struct Movement {
  std::string kind;           // IDTIPOMOVIVE
  std::string type;           // CDTIPORECE
  double amount;              // VRMOVIVEND
  int minute;                 // DTHRINCMOV: 10/12/2026 09:mm
  std::string bank = "";      // CDBANCARTCR
  std::string original = "";  // CDTIPORECEORIG
};

std::string MovementPacket(const std::vector<Movement>& movements) {
  MemTable table;
  DefineMovementFields(table);
  table.CreateDataSet();
  for (const Movement& m : movements) {
    table.Append();
    table.FieldByName("IDTIPOMOVIVE").SetAsString(m.kind);
    table.FieldByName("CDTIPORECE").SetAsString(m.type);
    table.FieldByName("NMTIPORECE").SetAsString("Mov " + m.type);
    table.FieldByName("IDTIPORECE").SetAsString("1");
    table.FieldByName("NRORDTROCO").SetAsString("001");
    table.FieldByName("VRMOVIVEND").SetAsFloat(m.amount);
    table.FieldByName("DTHRINCMOV").SetAsDateTime(EncodeDateTime(2026, 12, 10, 9, m.minute, 0, 0));
    table.FieldByName("CDBANCARTCR").SetAsString(m.bank);
    table.FieldByName("CDTIPORECEORIG").SetAsString(m.original);
    table.Post();
  }
  return table.Data();
}

std::string PaymentTypesPacket() {
  MemTable table;
  table.AddField("CDTIPORECE", FieldType::kString, 3);
  table.AddField("NMTIPORECE", FieldType::kString, 40);
  table.AddField("IDTIPORECE", FieldType::kString, 1);
  table.CreateDataSet();
  table.AppendRecord({"001", "Dinheiro", "1"});
  table.AppendRecord({"002", "Cartao Credito Visa", "3"});
  table.AppendRecord({"003", "Convenio Empresa", "8"});
  table.AppendRecord({"004", "Credito Consumidor", "9"});
  return table.Data();
}

class ClosingTest : public CoreTest {
 protected:
  ClosingTest() : result_(Result()) {
    params_.assign(55, HostVariant());
    params_[2] = "007";
    params_[5] = true;
    params_[6] = 0.0;
    params_[7] = 0.0;
    params_[8] = 0.0;
    params_[9] = "N";
    params_[11] = false;
    params_[14] = HostVariant::FromPacket(PaymentTypesPacket());
    params_[19] = "12345678901";
    params_[22] = "7";
    params_[23] = "ANA";
    params_[42] = "ECO";
    params_[43] = "MG";
    params_[44] = "12.345.678/0001-90";
  }

  static HostVariant Result() { return HostVariant::MakeArray(std::vector<HostVariant>(4)); }
  void Movements(const std::vector<Movement>& movements) {
    params_[13] = HostVariant::FromPacket(MovementPacket(movements));
  }
  void CardSale() {
    params_[9] = "T";
    params_[11] = true;
  }
  bool Close(StringList* slips = nullptr) { return FechaCupom(params_, slips, result_); }

  Strings Payments() {
    Strings payments;
    for (const FakeCall& call : fake_.CallsTo("IBM_FI_EfetuaFormaPagamento")) {
      payments.push_back(call.args[0] + "=" + call.args[1]);
    }
    return payments;
  }
  // The sale total as the Minas Gerais line prints it (without separator).
  std::string PrintedTotal() {
    const std::vector<FakeCall> calls = fake_.CallsTo("IBM_FI_TerminaFechamentoCupom");
    if (calls.empty()) return "(no footer)";
    const std::string& text = calls.back().args[0];
    const std::string head = "MINAS LEGAL: 12345678 10122026 ";
    const size_t at = text.find(head);
    if (at == std::string::npos) return "(no state line)";
    return text.substr(at + head.size(), text.find("\r\n", at) - at - head.size());
  }
  HostVariant Element(size_t i) { return result_.Elements()[i]; }

  std::vector<HostVariant> params_;
  HostVariant result_;
};

TEST_F(ClosingTest, OutsideACardSaleEveryMovementIsAPaymentInTimeOrder) {
  Movements({{"E", "001", 30, 2}, {"E", "001", 20, 1}, {"T", "002", 15, 3}, {"S", "001", 5, 0}});
  EXPECT_TRUE(Close());
  EXPECT_EQ(fake_.CallsTo("IBM_FI_IniciaFechamentoCupom")[0].args, (Strings{"d", "$", "0"}));
  EXPECT_EQ(Payments(), (Strings{"Dinheiro=20,00", "Dinheiro=30,00", "Cartao Credito V=15,00"}));
  EXPECT_EQ(PrintedTotal(), "5000");  // the "T" movement does not count as received
  EXPECT_EQ(fake_.CallCount("IBM_FI_RecebimentoNaoFiscal"), 0);
  EXPECT_EQ(result_, HostVariant::MakeArray({0, "ECO", "", ""}));
  const Strings log = LogEntries();
  EXPECT_NE(std::find(log.begin(), log.end(), "IBM_FI_EfetuaFormaPagamento : Dinheiro - 20,00"),
            log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "IBM_FI_TerminaFechamentoCupom"), log.end());
}

TEST_F(ClosingTest, CardSaleMergesThePaymentsOfOneType) {
  CardSale();
  Movements({{"E", "001", 30, 1}, {"T", "002", 15, 2}, {"E", "001", 20, 3}, {"T", "002", 5, 4}});
  EXPECT_TRUE(Close());
  // A "T" copy is never merged into: each "T" movement is a payment line.
  EXPECT_EQ(Payments(),
            (Strings{"Dinheiro=50,00", "Cartao Credito V=15,00", "Cartao Credito V=5,00"}));
  EXPECT_EQ(PrintedTotal(), "7000");
}

TEST_F(ClosingTest, ClosingStartDiscountOrSurcharge) {
  struct Case {
    double discount, surcharge;
    Strings args;
    std::string log;
  };
  const std::vector<Case> cases = {
      {10.999, 0, {"d", "$", "10,99"}, "IBM_FI_IniciaFechamentoCupom : d - $ - 10,99"},
      {2, 3, {"d", "$", "2,00"}, "IBM_FI_IniciaFechamentoCupom : d - $ - 2,00"},
      {0, 1.5, {"A", "$", "1,50"}, "IBM_FI_IniciaFechamentoCupom : a - $ - 1,50"},
      {-1.5, 0, {"d", "$", "-1,5"}, "IBM_FI_IniciaFechamentoCupom : d - $ - -1,5"},
  };
  Movements({{"E", "001", 10.999, 1}});
  for (const Case& c : cases) {
    fake_.ClearCalls();
    params_[6] = c.discount;
    params_[8] = c.surcharge;
    EXPECT_TRUE(Close());
    EXPECT_EQ(fake_.CallsTo("IBM_FI_IniciaFechamentoCupom")[0].args, c.args);
    const Strings log = LogEntries();
    EXPECT_NE(std::find(log.begin(), log.end(), c.log), log.end()) << c.log;
    EXPECT_EQ(Payments(), Strings{"Dinheiro=11,00"});  // rounded, not truncated
  }
}

TEST_F(ClosingTest, WithoutPaymentsNoFooterIsSent) {
  Movements({{"S", "001", 5, 1}});
  params_[4] = true;  // the change voucher goes out all the same
  params_[7] = 2.5;
  IdTotParcCV = "03";
  EXPECT_TRUE(Close());
  EXPECT_EQ(fake_.CallCount("IBM_FI_EfetuaFormaPagamento"), 0);
  EXPECT_EQ(fake_.CallCount("IBM_FI_TerminaFechamentoCupom"), 0);
  EXPECT_EQ(fake_.CallsTo("IBM_FI_RecebimentoNaoFiscal")[0].args,
            (Strings{"03", "2,50", "Dinheiro"}));
  EXPECT_EQ(Element(1), HostVariant("ECO"));

  // With taxes to show, the empty sale total cannot give the percentage.
  params_[7] = 0.0;
  params_[51] = 1.0;
  result_ = Result();
  EXPECT_FALSE(Close());
  EXPECT_EQ(Element(1), HostVariant("ECO"));
}

TEST_F(ClosingTest, ZeroTotalTakesTheLastPaymentText) {
  Movements({{"E", "001", 10, 1}, {"E", "002", 2.5, 2}});
  params_[7] = 12.5;  // all of it given back as change
  params_[51] = 0.5;
  EXPECT_TRUE(Close());
  EXPECT_EQ(PrintedTotal(), "250");
  const std::string footer = fake_.CallsTo("IBM_FI_TerminaFechamentoCupom")[0].args[0];
  EXPECT_NE(footer.find("Val Aprox Tributos R$ 0,50 (20,00%) Fonte:IBPT\r\n"), std::string::npos);
}

TEST_F(ClosingTest, AttendedCardSaleRetriesOnYes) {
  CardSale();
  Movements({{"E", "001", 30, 1}});
  fake_.AnswerOnce("IBM_FI_EfetuaFormaPagamento", -1);  // refused: nothing registered
  host_.QueueAnswers({true});
  EXPECT_TRUE(Close());
  EXPECT_EQ(Payments(), (Strings{"Dinheiro=30,00", "Dinheiro=30,00"}));
  EXPECT_EQ(Element(0), HostVariant(1));
  // The failure's message stays in element 3 and clears boClieUtil.
  EXPECT_EQ(Element(3), HostVariant(" Erro de execu\xE7\xE3o na fun\xE7\xE3o."));
  EXPECT_FALSE(boClieUtil);
}

TEST_F(ClosingTest, DeclinedRetryAndFailureOutsideACardSaleEndWithoutResult) {
  Movements({{"E", "001", 30, 1}});
  fake_.Answer("IBM_FI_IniciaFechamentoCupom", 0);
  fake_.SetAnswer("IBM_FI_FlagsFiscais", FakeAnswer{1, {}, {1}});  // closing not started
  EXPECT_FALSE(Close());
  EXPECT_EQ(result_, Result());
  EXPECT_EQ(fake_.CallCount("IBM_FI_EfetuaFormaPagamento"), 0);
  EXPECT_EQ(host_.dialogs().size(), 1u);  // the error notice, no question

  CardSale();
  host_.Clear();
  host_.QueueAnswers({false});
  EXPECT_FALSE(Close());
  EXPECT_EQ(result_, Result());
  ASSERT_EQ(host_.dialogs().size(), 2u);
  EXPECT_TRUE(host_.dialogs()[1].IsQuestion());
}

// With the show switch off nothing is asked, even in an attended card sale:
// the step is not sent again and the failure's text is in stMensagemTaa.
TEST_F(ClosingTest, DialogsOffNeverAskToSendAgain) {
  CardSale();
  params_[5] = false;
  Movements({{"E", "001", 30, 1}});
  fake_.Answer("IBM_FI_IniciaFechamentoCupom", 0);
  fake_.SetAnswer("IBM_FI_FlagsFiscais", FakeAnswer{1, {}, {1}});  // closing not started
  host_.QueueAnswers({true});
  EXPECT_FALSE(Close());
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_EQ(fake_.CallCount("IBM_FI_IniciaFechamentoCupom"), 1);
  EXPECT_NE(stMensagemTaa.find("Erro de comunica\xE7\xE3o."), std::string::npos);
}

TEST_F(ClosingTest, CardSlipFooterIsNotAnalysed) {
  CardSale();
  params_[40] = "S";
  Movements({{"E", "001", 30, 1}});
  StringList slips;
  slips.Add("VIA CLIENTE\nAUT 123\n");
  fake_.Answer("IBM_FI_TerminaFechamentoCupom", 0);
  EXPECT_TRUE(Close(&slips));
  EXPECT_EQ(fake_.CallCount("IBM_FI_TerminaFechamentoCupom"), 1);
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_NE(
      fake_.CallsTo("IBM_FI_TerminaFechamentoCupom")[0].args[0].find("VIA CLIENTE\r\nAUT 123\r\n"),
      std::string::npos);
}

TEST_F(ClosingTest, PaymentTypeLookup) {
  // A card movement is looked up by its original type; a type the sale's
  // table lacks is sent under the movement's own name.
  Movements({{"E", "002", 10, 1, "BANCO", "004"}, {"E", "999", 5, 2}});
  EXPECT_TRUE(Close());
  EXPECT_EQ(Payments(), (Strings{"Credito Consumid=10,00", "Mov 999=5,00"}));
}

TEST_F(ClosingTest, ShortArraysAreNeitherReadNorWrittenBeyondTheirEnd) {
  Movements({{"E", "001", 30, 1}});
  params_.resize(14);  // no payment types, no footer data
  result_ = HostVariant::MakeArray(std::vector<HostVariant>(2));
  EXPECT_TRUE(Close());
  EXPECT_EQ(Payments(), Strings{"Mov 001=30,00"});
  EXPECT_EQ(result_, HostVariant::MakeArray({0, ""}));

  params_.clear();
  result_ = HostVariant::MakeArray({});
  EXPECT_TRUE(Close());
  EXPECT_EQ(result_, HostVariant::MakeArray({}));
}

TEST_F(ClosingTest, ConsumptionLimitUsesTheLastMovementInTimeOrder) {
  // Listed out of time order: the payment pass ends on the 09:05 movement.
  Movements({{"E", "002", 5, 5}, {"E", "001", 30, 1}});
  params_[17] = "9";
  params_[19] = "";
  params_[46] = "D";
  params_[47] = "100";
  MemTable consumption;
  consumption.AddField("VALCONSUMDIA", FieldType::kString);
  consumption.AddField("VALCONSUMMES", FieldType::kString);
  consumption.CreateDataSet();
  consumption.AppendRecord({"10", "40"});
  params_[49] = HostVariant::FromPacket(consumption.Data());
  EXPECT_TRUE(Close());
  const std::string footer = fake_.CallsTo("IBM_FI_TerminaFechamentoCupom")[0].args[0];
  EXPECT_NE(footer.find("LIMDIA85,00\n"), std::string::npos) << footer;
}

TEST_F(ClosingTest, CardPreCheckAsksUntilThePrinterIsReady) {
  CardSale();
  Movements({{"E", "001", 30, 1}});
  // Ready for the first check, then not ready once for the card pre-check.
  fake_.AnswerOnce("IBM_FI_VerificaEstadoImpressora", 1);
  fake_.AnswerOnce("IBM_FI_VerificaEstadoImpressora", 0);
  host_.QueueAnswers({true});
  EXPECT_TRUE(Close());
  EXPECT_EQ(fake_.CallCount("IBM_FI_VerificaEstadoImpressora"), 3);
  ASSERT_FALSE(host_.dialogs().empty());
  EXPECT_TRUE(host_.dialogs().back().IsQuestion());
  EXPECT_EQ(Element(0), HostVariant(1));
  EXPECT_EQ(Payments(), Strings{"Dinheiro=30,00"});

  // "No" ends the call before the closing starts, without result.
  fake_.ClearCalls();
  host_.Clear();
  result_ = Result();
  fake_.AnswerOnce("IBM_FI_VerificaEstadoImpressora", 1);
  fake_.AnswerOnce("IBM_FI_VerificaEstadoImpressora", 0);
  EXPECT_FALSE(Close());
  EXPECT_EQ(result_, Result());
  EXPECT_EQ(fake_.CallCount("IBM_FI_IniciaFechamentoCupom"), 0);
}

TEST_F(ClosingTest, RefusedFooterIsRebuiltFromTheSameValues) {
  CardSale();
  Movements({{"E", "004", 30, 1}});  // consumer credit
  params_[17] = "9";
  params_[27] = "1";
  params_[36] = "2";
  params_[37] = 100.0;
  params_[38] = 5.0;
  fake_.AnswerOnce("IBM_FI_TerminaFechamentoCupom", -1);
  host_.QueueAnswers({true});
  EXPECT_TRUE(Close());
  const std::vector<FakeCall> footers = fake_.CallsTo("IBM_FI_TerminaFechamentoCupom");
  ASSERT_EQ(footers.size(), 2u);
  EXPECT_EQ(footers[1].args[0], footers[0].args[0]);
  // 100 - 30 + 5, worked out once per attempt from the host's balance.
  EXPECT_NE(footers[1].args[0].find("Saldo Final : " + std::string(21, ' ') + "75,00\n"),
            std::string::npos)
      << footers[1].args[0];
  EXPECT_EQ(Element(0), HostVariant(1));
}

TEST_F(ClosingTest, ConferenceNumbersArePaddedAndABadCounterReachesTheHost) {
  Movements({{"E", "001", 30, 1}});
  params_[28] = "123";
  params_[29] = "0045";
  EXPECT_TRUE(Close());
  EXPECT_NE(fake_.CallsTo("IBM_FI_TerminaFechamentoCupom")[0].args[0].find(
                "Conf.de Mesa - CER 000045 - COO 000123\n"),
            std::string::npos);

  fake_.ClearCalls();
  result_ = Result();
  params_[29] = "4x";
  EXPECT_THROW(Close(), ConvertError);
  EXPECT_TRUE(fake_.Calls().empty());
  EXPECT_EQ(result_, Result());
}

TEST_F(ClosingTest, RefusedChangeVoucherIsOnlyReported) {
  Movements({{"E", "001", 30, 1}});
  params_[4] = true;
  params_[7] = 1.0;
  fake_.Answer("IBM_FI_RecebimentoNaoFiscal", 0);
  EXPECT_TRUE(Close());
  EXPECT_EQ(fake_.CallCount("IBM_FI_RecebimentoNaoFiscal"), 1);
  EXPECT_EQ(Element(3), HostVariant(" Erro de comunica\xE7\xE3o."));
}

// A sale paid exactly has no change: no voucher of 0,00 is sent (the
// printer refuses it).
TEST_F(ClosingTest, NoChangeVoucherWithoutChange) {
  Movements({{"E", "001", 30, 1}});
  params_[4] = true;
  for (double change : {0.0, 0.004}) {
    fake_.ClearCalls();
    params_[7] = change;
    EXPECT_TRUE(Close());
    EXPECT_EQ(fake_.CallCount("IBM_FI_RecebimentoNaoFiscal"), 0) << change;
  }
  fake_.ClearCalls();
  params_[7] = 0.01;
  EXPECT_TRUE(Close());
  ASSERT_EQ(fake_.CallCount("IBM_FI_RecebimentoNaoFiscal"), 1);
  EXPECT_EQ(fake_.CallsTo("IBM_FI_RecebimentoNaoFiscal")[0].args[1], "0,01");
}

// The amount of a family line: the row's balance S = 100 less the family's
// own value F = 30 (cdsFamiliaSaldo) and its loan V = 5 (cdsEmprestimo), the
// lookups ignoring case.
TEST_F(ClosingTest, FamilyLineValues) {
  struct Case {
    bool family_found;
    bool loans_open;
    std::string loan_kind;  // "" for no loan row of the family
    std::string value;
  };
  const std::vector<Case> cases = {
      {true, true, "d", "65,00"},   {true, true, "C", "75,00"},  {true, true, "", "70,00"},
      {true, false, "D", "70,00"},  {false, true, "D", "95,00"}, {false, true, "c", "100,00"},
      {false, false, "", "100,00"},
  };
  auto balances = [](const char* code, double value) {
    MemTable table;
    table.AddField("CDFAMILISALD", FieldType::kString, 10);
    table.AddField("NMFAMILISALD", FieldType::kString, 40);
    table.AddField("VRSALDCONFAM", FieldType::kFloat);
    table.CreateDataSet();
    table.AppendRecord({code, "FAMILIA", value});
    return HostVariant::FromPacket(table.Data());
  };
  Movements({{"E", "001", 30, 1}});
  params_[27] = "1";  // the family-balance footer
  params_[36] = "1";
  params_[32] = balances("fam1", 100);
  for (const Case& c : cases) {
    fake_.ClearCalls();
    params_[33] = balances(c.family_found ? "FAM1" : "FAM2", 30);
    params_[34] = HostVariant();
    if (c.loans_open) {
      MemTable loans;
      loans.AddField("CDFAMILISALD", FieldType::kString, 10);
      loans.AddField("IDTPMOVEXT", FieldType::kString, 1);
      loans.AddField("VRMOVEXTCONS", FieldType::kFloat);
      loans.CreateDataSet();
      loans.AppendRecord({"FAM9", "D", 50.0});
      if (!c.loan_kind.empty()) loans.AppendRecord({"Fam1", c.loan_kind, 5.0});
      params_[34] = HostVariant::FromPacket(loans.Data());
    }
    EXPECT_TRUE(Close());
    const std::string line =
        "FAMILIA" + std::string(18, ' ') + std::string(22 - c.value.size(), ' ') + c.value + "\n";
    EXPECT_NE(fake_.CallsTo("IBM_FI_TerminaFechamentoCupom")[0].args[0].find(line),
              std::string::npos)
        << c.family_found << c.loans_open << c.loan_kind;
  }
}

TEST_F(ClosingTest, PrinterNotReadyEndsWithoutResult) {
  fake_.Answer("IBM_FI_VerificaEstadoImpressora", 0);
  Movements({{"E", "001", 30, 1}});
  EXPECT_FALSE(Close());
  EXPECT_EQ(result_, Result());
  EXPECT_EQ(fake_.CallCount("IBM_FI_IniciaFechamentoCupom"), 0);
}

}  // namespace
}  // namespace zel::test

namespace zel::test {
namespace {

// Closing steps whose answer is lost: the fiscal flags tell whether the
// closing start and the footer were done; a lost payment cannot be checked
// and is never sent again.
struct LostStepCase {
  const char* name;
  const char* entry_point;
  int32_t flags_after;
  bool expected;
};

TEST_F(ClosingTest, LostClosingStepsAreCheckedAgainstTheFiscalFlags) {
  const LostStepCase cases[] = {
      {"start done", "IBM_FI_IniciaFechamentoCupom", 3, true},
      {"start not done", "IBM_FI_IniciaFechamentoCupom", 1, false},
      {"footer done: the receipt is closed", "IBM_FI_TerminaFechamentoCupom", 0, true},
      {"footer not done", "IBM_FI_TerminaFechamentoCupom", 3, false},
  };
  Movements({{"E", "001", 30, 1}});
  for (const LostStepCase& c : cases) {
    SCOPED_TRACE(c.name);
    fake_.ClearCalls();
    host_.Clear();
    fake_.AnswerOnce(c.entry_point, 0);
    fake_.SetAnswer("IBM_FI_FlagsFiscais", FakeAnswer{1, {}, {c.flags_after}});
    EXPECT_EQ(Close(), c.expected);
    EXPECT_EQ(fake_.CallCount(c.entry_point), 1);
    EXPECT_EQ(fake_.CallCount("IBM_FI_FlagsFiscais"), 1);
    EXPECT_EQ(
        Payments().size(),
        std::string(c.entry_point) == "IBM_FI_IniciaFechamentoCupom" && !c.expected ? 0u : 1u);
    ASSERT_FALSE(host_.dialogs().empty());
    const bool told_done =
        host_.dialogs().back().text.find("executou o comando") != std::string::npos;
    EXPECT_EQ(told_done, c.expected);
  }
}

TEST_F(ClosingTest, LostPaymentIsNeverSentAgain) {
  CardSale();
  Movements({{"E", "001", 30, 1}});
  fake_.AnswerOnce("IBM_FI_EfetuaFormaPagamento", 0);
  host_.SetDefaultAnswer(true);  // the operator would say yes to anything
  EXPECT_FALSE(Close());
  EXPECT_EQ(Payments(), (Strings{"Dinheiro=30,00"}));
  EXPECT_EQ(fake_.CallCount("IBM_FI_TerminaFechamentoCupom"), 0);
  for (const DialogCall& d : host_.dialogs()) EXPECT_FALSE(d.IsQuestion()) << d.text;
  ASSERT_FALSE(host_.dialogs().empty());
  EXPECT_NE(host_.dialogs().back().text.find("Dinheiro 30,00, que pode ter sido registrado"),
            std::string::npos);
  EXPECT_FALSE(boClieUtil);
}

struct UncheckableStepCase {
  const char* name;
  const char* entry_point;  // the step whose answer is lost
  int32_t flags_code;       // the fiscal-flags query after it
  int32_t flags_after;
  bool dialogs;  // the closing's show switch
  bool sent_again;
};

// In an attended card sale a failed closing step is offered again (here to
// an operator who says yes to anything). A closing start or footer whose
// lost answer the fiscal flags cannot check may have printed: it is never
// sent again; the closing ends without result, the operator is told (when
// the closing shows dialogs) to check the printed receipt, and the text is
// in stMensagemTaa and the debug log. One the flags show not done is still
// offered again.
TEST_F(ClosingTest, LostStepThatCannotBeCheckedIsNeverSentAgain) {
  constexpr const char* kStart = "IBM_FI_IniciaFechamentoCupom";
  constexpr const char* kFooter = "IBM_FI_TerminaFechamentoCupom";
  const UncheckableStepCase cases[] = {
      {"start, flags unread", kStart, 0, 0, true, false},
      {"start, no receipt open", kStart, 1, 0, true, false},
      {"start, flags unread, dialogs off", kStart, -6, 0, false, false},
      {"footer, flags unread", kFooter, 0, 0, true, false},
      {"footer, closing not started", kFooter, 1, 1, true, false},
      {"start not done: offered again", kStart, 1, 1, true, true},
      {"footer not done: offered again", kFooter, 1, 3, true, true},
  };
  CardSale();
  Movements({{"E", "001", 30, 1}});
  for (const UncheckableStepCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string step = c.entry_point == kStart ? "ao in\xED"
                                                       "cio do fechamento do cupom"
                                                     : "ao encerramento do cupom";
    fake_.ClearCalls();
    host_.Clear();
    result_ = Result();
    const size_t log_before = LogEntries().size();
    params_[5] = c.dialogs;
    host_.SetDefaultAnswer(true);
    fake_.AnswerOnce(c.entry_point, 0);
    fake_.SetAnswer("IBM_FI_FlagsFiscais", FakeAnswer{c.flags_code, {}, {c.flags_after}});
    EXPECT_EQ(Close(), c.sent_again);
    EXPECT_EQ(fake_.CallCount(c.entry_point), c.sent_again ? 2 : 1);
    size_t questions = 0;
    bool told = false;
    for (const DialogCall& d : host_.dialogs()) {
      questions += d.IsQuestion() ? 1 : 0;
      told |= d.text.find(step) != std::string::npos &&
              d.text.find("confira o cupom impresso") != std::string::npos;
    }
    EXPECT_EQ(questions, c.sent_again ? 1u : 0u);
    EXPECT_EQ(told, !c.sent_again && c.dialogs);
    EXPECT_EQ(stMensagemTaa.find(step) != std::string::npos, !c.sent_again) << stMensagemTaa;
    bool logged = false;
    const std::vector<std::string> log = LogEntries();
    for (size_t i = log_before; i < log.size(); ++i) {
      logged |= log[i].rfind("ERRO!!! ", 0) == 0 && log[i].find(step) != std::string::npos;
    }
    EXPECT_EQ(logged, !c.sent_again);
    if (!c.sent_again) {
      EXPECT_EQ(result_, Result());  // ended without result
      EXPECT_FALSE(boClieUtil);
    }
  }
}

}  // namespace
}  // namespace zel::test
