// Cash supply and withdrawal, the withdrawal receipt (two copies, the line
// count rule) and the closing report, and the questions at the end of a
// till period.
#include <string>
#include <vector>

#include "documents/document_fixture.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

std::string S(int n) { return std::string(n, ' '); }
const std::string kRule = std::string(46, '-') + "\n";

class CashTest : public DocumentTest {
 protected:
  // The host's tables of a till period.
  void Withdrawals(const std::vector<std::vector<HostVariant>>& rows) {
    FillTable(withdrawals_,
              {{"NRENVELOPE"}, {"NMTIPORECE"}, {"VRFECHAINF", 'f'}, {"VRFECHADIG", 'f'}}, rows);
  }
  void Movements(MemTable& table, const std::vector<std::vector<HostVariant>>& rows) {
    FillTable(table, {{"IDTIPOREG"}, {"NMTIPORECE"}, {"VRSAIDA", 'f'}}, rows);
  }

  void SetUp() override {
    DocumentTest::SetUp();
    Withdrawals({{"000001", "Dinheiro", 150.0, 100.0},
                 {"000002", "Cheque", 50.5, 50.5},
                 {"000003", "Cartao", 1234.56, 1200.0}});
    FillTable(people_, {{"CDSUPERVISOR"}, {"NMSUPERVISOR"}, {"CDOPERADOR"}, {"NMOPERADOR"}},
              {{"01", "Maria"}, {"99", "Outra"}});
    people_.First();
    people_.Edit();
    people_.FieldByName("CDOPERADOR").SetAsString("07");
    people_.FieldByName("NMOPERADOR").SetAsString("Joao");
    people_.Post();
    FillTable(products_period_, {{"VRTOTAL", 'f'}}, {{50.0}, {30.0}});
    FillProducts(products_day_, {{"", "1", "Pao", 10.0, 500.0, 0.0, 0.0, "T", 18.0}});
    FillTable(credit_, {{"VRCARGACREDITO", 'f'}}, {{5.0}});
    Movements(opening_, {{"1", "Dinheiro", 60.0},
                         {"4", "", 10.0},
                         {"3", "", 10.0},
                         {"5", "Cheque", 40.0},
                         {"3", "", 20.0},
                         {"2", "", 5.0},
                         {"9", "Outro", 1000.0}});
    Movements(day_, {{"1", "Dinheiro", 300.0}});
  }

  struct Options {
    bool print_receipt = true;
    bool z_allowed = true;
    bool typed_amounts = false;
    bool rerun = false;
    bool z_requested = true;
    std::string product_ask = "X";
    std::string reading_x = "N";
    std::string envelope_column = "S";
    std::string reason = "Troco";
    std::string remark;
  };

  bool Run(const Options& o) {
    return GeraReciboSangria("", "DOC1", "K1", "K2", "0001", 7, number_, withdrawals_, list_,
                             products_period_, people_, day_, opening_, products_day_, credit_, 0,
                             o.print_receipt, o.z_allowed, false, redz_, forms_, taxes_, totals_,
                             z_done_, types_, o.product_ask, "N", o.reading_x, o.envelope_column,
                             "002", o.typed_amounts, o.rerun, o.z_requested, o.reason, o.remark);
  }

  MemTable withdrawals_, list_, products_period_, people_, day_, opening_, products_day_, credit_,
      redz_, forms_, taxes_, totals_, types_;
  std::string number_;
  bool z_done_ = true;
};

TEST_F(CashTest, SupplyOfZeroOrLessSendsNothing) {
  EXPECT_TRUE(Suprimento("", "002", 0));
  EXPECT_TRUE(Suprimento("", "002", -5));
  EXPECT_TRUE(fake_.Calls().empty());

  EXPECT_TRUE(Suprimento("", "002", 12.5));
  ASSERT_EQ(fake_.CallCount("IBM_FI_Suprimento"), 1);
  EXPECT_EQ(fake_.CallsTo("IBM_FI_Suprimento")[0].args, (Strings{"12,50", "Dinheiro"}));
  // The COO is read first: it tells a lost answer apart.
  EXPECT_EQ(LogEntries(), (Strings{"IBM_FI_NumeroCupom\r\nRetorno da Impressora : 000123",
                                   "IBM_FI_Suprimento : 12,50 - Dinheiro"}));
}

TEST_F(CashTest, WithdrawalOfZeroIsSentAsOneCent) {
  for (const auto& [value, sent] : {std::pair{0.0, "0,01"}, {-3.0, "-3,00"}, {7.456, "7,46"}}) {
    fake_.ClearCalls();
    EXPECT_TRUE(Sangria("", "002", value));
    ASSERT_EQ(fake_.CallCount("IBM_FI_Sangria"), 1);
    EXPECT_EQ(fake_.CallsTo("IBM_FI_Sangria")[0].args, Strings{sent});
  }
  EXPECT_EQ(LogEntries()[1], "IBM_FI_Sangria : 0,01");
}

TEST_F(CashTest, RefusedCashCommandIsToldTwice) {
  fake_.Answer("IBM_FI_Sangria", -2);
  fake_.Answer("IBM_FI_Suprimento", -2);
  EXPECT_FALSE(Sangria("", "002", 10));
  EXPECT_FALSE(Suprimento("", "002", 10));
  const Strings dialogs = host_.DialogTexts();
  ASSERT_EQ(dialogs.size(), 4u);
  EXPECT_EQ(dialogs[1], "Erro ao enviar comando para a impressora.");
  EXPECT_EQ(dialogs[3], "Erro ao enviar comando para a impressora.");
}

TEST_F(CashTest, TypedAmountsPrintTheTwoReceiptCopiesOnly) {
  Options o;
  o.typed_amounts = true;
  EXPECT_FALSE(Run(o));

  const std::string header = "NR.ENV MODALIDADE" + S(15) + " " + S(10) + "VALOR\n";
  const std::string rows = "000001 Dinheiro" + S(17) + " " + S(9) + "100,00\n" + "000002 Cheque" +
                           S(19) + " " + S(10) + "50,50\n" + "000003 Cartao" + S(19) + " " + S(8) +
                           "1200,00\n";
  const std::string total = "TOTAL SANGRIAS" + S(13) + S(8) + "1350,50\n\n";
  const std::string copy1 = "\n" + S(12) + "RECIBO SAIDA NUMERARIO" + S(12) + "\n" + kRule +
                            "Motivo: Troco\n" + kRule + header + rows + total + kRule +
                            "Supervisor : 01 Maria\n";
  const std::string copy2 = S(9) + "SAIDA DE NUMERARIO - SANGRIA" + S(9) + "\n" + kRule +
                            "Motivo: Troco\n" + kRule + header + rows + total + kRule +
                            "Operador : 07 Joao\n";
  EXPECT_EQ(Printed(), copy1 + copy2);
  // Head, one feed per row, the total block; per copy.
  EXPECT_EQ(Feeds().size(), 10u);
  EXPECT_EQ(Records(), Strings{"RG"});
  EXPECT_EQ(number_, "000123");
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_FALSE(z_done_);
  EXPECT_EQ(fake_.CallCount("IBM_FI_FechaRelatorioGerencial"), 1);
}

TEST_F(CashTest, ReceiptHeaderWithoutEnvelopeColumnOrRemarks) {
  Options o;
  o.typed_amounts = true;
  o.envelope_column = "N";
  o.reason = "";
  Run(o);
  const Strings feeds = Feeds();
  // No reason, no remark: one rule only, and no "NR.ENV" in the header.
  EXPECT_EQ(feeds[0], "\n" + S(12) + "RECIBO SAIDA NUMERARIO" + S(12) + "\n" + kRule +
                          "MODALIDADE" + S(15) + " " + S(10) + "VALOR\n");
  // Every row still starts with its envelope.
  EXPECT_EQ(feeds[1].substr(0, 7), "000001 ");
}

TEST_F(CashTest, ExtraEmptyLineFollowsTheLineCount) {
  struct Case {
    int rows;
    bool extra_copy1;
    bool extra_copy2;
  };
  for (const Case& c :
       {Case{3, false, false}, Case{5, false, true}, Case{7, true, false}, Case{10, false, true}}) {
    SCOPED_TRACE(c.rows);
    fake_.ClearCalls();
    std::vector<std::vector<HostVariant>> rows;
    for (int i = 0; i < c.rows; ++i) rows.push_back({"00000" + std::to_string(i), "X", 1.0, 1.0});
    Withdrawals(rows);
    Options o;
    o.typed_amounts = true;
    Run(o);
    const Strings feeds = Feeds();
    ASSERT_EQ(feeds.size(), static_cast<size_t>(2 * (c.rows + 2)));
    const std::string& total1 = feeds[c.rows + 1];
    const std::string& total2 = feeds[2 * c.rows + 3];
    EXPECT_EQ(total1.find("\n\n\n") != std::string::npos, c.extra_copy1) << total1;
    EXPECT_EQ(total2.find("\n\n\n") != std::string::npos, c.extra_copy2) << total2;
  }
}

TEST_F(CashTest, ClosingReportOfTheTillPeriod) {
  host_.QueueAnswers({true});  // reopen the till
  Options o;
  EXPECT_TRUE(Run(o));

  auto line33 = [](const std::string& label, const std::string& amount) {
    return label + S(33 - static_cast<int>(label.size())) +
           S(15 - static_cast<int>(amount.size())) + amount + "\n";
  };
  const std::string report =
      S(11) + "RELATORIO DE FECHAMENTO" + S(12) + "\n\n" + "TOTAL VENDAS" + S(23) + S(8) +
      "80,00\n" + "Compra de Credito" + S(18) + S(9) + "5,00\n" + kRule +
      line33("Dinheiro", "60,00") + line33("Cheque", "40,00") +
      line33("CONTRA-VALE RECEBIDO(+)", "10,00") + line33("CONTRA-VALE EMITIDO(-)", "5,00") +
      line33("SUPRIMENTO(-)", "20,00") + kRule + line33("TOTAL SANGRIAS", "85,00") + "\n" +
      line33("SOBRA", "0,00");
  const std::string printed = Printed();
  const size_t at = printed.find(S(11) + "RELATORIO DE FECHAMENTO");
  ASSERT_NE(at, std::string::npos) << printed;
  EXPECT_EQ(printed.substr(at), report);
  // The product report asked nothing ("X"): the closing report went into the
  // receipt's report, which was closed once.
  EXPECT_EQ(fake_.CallCount("IBM_FI_RelatorioGerencial"), 1);
  EXPECT_EQ(fake_.CallCount("IBM_FI_FechaRelatorioGerencial"), 1);
  EXPECT_EQ(host_.DialogTexts(), Strings{"Deseja abrir o caixa?"});
  EXPECT_FALSE(z_done_);
}

TEST_F(CashTest, ShortageIsPrintedNegative) {
  Movements(opening_, {{"1", "Dinheiro", 70.0}});
  host_.QueueAnswers({true});
  Run(Options{});
  const std::string printed = Printed();
  EXPECT_NE(printed.find("FALTA" + S(28) + S(9) + "-15,00\n"), std::string::npos) << printed;
}

// The difference is compared in cents: 0.3 withdrawn against sales of 0.1
// and 0.2 balances, though the sum of those doubles is a hair above 0.3.
TEST_F(CashTest, ATillThatBalancesToTheCentIsASurplusOfZero) {
  FillTable(products_period_, {{"VRTOTAL", 'f'}}, {{0.3}});
  FillTable(credit_, {{"VRCARGACREDITO", 'f'}}, {{0.0}});
  Movements(opening_, {{"3", "", 0.1}, {"1", "Dinheiro", 0.5}, {"4", "", 0.0}, {"3", "", 0.3}});
  // Withdrawals 0.5 - supply 0.3 = 0.2 against 0.3 of sales: short by 0.1.
  host_.QueueAnswers({true});
  Run(Options{});
  EXPECT_NE(Printed().find("FALTA" + S(28) + S(10) + "-0,10\n"), std::string::npos) << Printed();

  FillTable(products_period_, {{"VRTOTAL", 'f'}}, {{0.1}, {0.2}});
  Movements(opening_, {{"1", "Dinheiro", 0.3}});
  host_.Clear();
  fake_.ClearCalls();
  host_.QueueAnswers({true});
  Run(Options{});
  EXPECT_NE(Printed().find("SOBRA" + S(28) + S(11) + "0,00\n"), std::string::npos) << Printed();
  EXPECT_EQ(Printed().find("FALTA"), std::string::npos);
}

// A rerun prints the openings only when the caller hands them again: the
// module's table still holds the first run's rows.
TEST_F(CashTest, RerunWithoutOpeningsPrintsNoOpeningRows) {
  host_.QueueAnswers({true});
  Run(Options{});
  ASSERT_NE(Printed().find("Cheque" + S(27)), std::string::npos);

  fake_.ClearCalls();
  Movements(opening_, {});
  host_.Clear();
  host_.QueueAnswers({false});
  Options o;
  o.rerun = true;
  Run(o);
  const std::string printed = Printed();
  const size_t at = printed.find("RELATORIO DE FECHAMENTO");
  ASSERT_NE(at, std::string::npos) << printed;
  EXPECT_EQ(printed.find("Cheque" + S(27), at), std::string::npos) << printed;
  EXPECT_NE(printed.find("SUPRIMENTO(-)" + S(20) + S(11) + "0,00\n", at), std::string::npos)
      << printed;
}

TEST_F(CashTest, SupplyAndWithdrawalCreateTheDataModule) {
  for (bool supply : {true, false}) {
    // The module as the host's first call finds it: no data module yet.
    delete dtmImpIBM;
    dtmImpIBM = nullptr;
    EXPECT_TRUE(supply ? Suprimento("", "002", 10) : Sangria("", "002", 10));
    EXPECT_NE(dtmImpIBM, nullptr);
  }
}

TEST_F(CashTest, ReceiptReportIsClosedWhenNoClosingReportFollows) {
  Movements(day_, {});
  host_.QueueAnswers({true});
  Run(Options{});
  EXPECT_EQ(fake_.CallCount("IBM_FI_RelatorioGerencial"), 1);
  EXPECT_EQ(fake_.CallCount("IBM_FI_FechaRelatorioGerencial"), 1);
}

TEST_F(CashTest, EndOfDayAsksAndExportsTheReduction) {
  fake_.Answer("IBM_FI_GrandeTotal", 1, "000000000000123450");
  // Keep the till closed, make the Z, print the day's reports.
  host_.QueueAnswers({false, true, true});
  Options o;
  o.print_receipt = false;
  o.product_ask = "N";
  EXPECT_FALSE(Run(o));
  EXPECT_EQ(host_.DialogTexts(),
            (Strings{"Deseja abrir o caixa?", "Confirma impress\343o da redu\347\343o z?",
                     "Confirma impress\343o dos relat\363rios de fechamento?"}));
  EXPECT_TRUE(z_done_);
  // The day's reports: products, then the closing report of the day in a
  // report of its own.
  EXPECT_EQ(fake_.CallCount("IBM_FI_RelatorioGerencial"), 2);
  EXPECT_NE(Printed().find("relFechamentoGeral"), std::string::npos);
  EXPECT_NE(Printed().find("TOTAL VENDAS" + S(23) + S(7) + "500,00\n"), std::string::npos);
  // The export's summary row reached the host.
  redz_.First();
  ASSERT_EQ(redz_.RecordCount(), 1);
  EXPECT_EQ(redz_.FieldByName("NRECFREDZ").AsString(), "0001");
  EXPECT_EQ(redz_.FieldByName("NRULTCFREDZ").AsString(), "0000000124");
  EXPECT_DOUBLE_EQ(redz_.FieldByName("VRGTREDZ").AsFloat(), 1234.50);
}

TEST_F(CashTest, NoZWithoutBothFlagsOrWhenDeclined) {
  for (const auto& [allowed, requested, answer] :
       {std::tuple{false, true, true}, {true, false, true}, {true, true, false}}) {
    host_.Clear();
    host_.QueueAnswers({false, answer});
    Options o;
    o.print_receipt = false;
    o.z_allowed = allowed;
    o.z_requested = requested;
    EXPECT_FALSE(Run(o));
    EXPECT_FALSE(z_done_);
    EXPECT_EQ(fake_.CallCount("IBM_FI_VerificaFormasPagamento"), 0);
  }
}

TEST_F(CashTest, RerunAsksOnlyForTheClosingReports) {
  host_.QueueAnswers({false});
  Options o;
  o.print_receipt = false;
  o.rerun = true;
  EXPECT_FALSE(Run(o));
  EXPECT_EQ(host_.DialogTexts(), Strings{"Confirma impress\343o dos relat\363rios de fechamento?"});
  EXPECT_FALSE(z_done_);
}

TEST_F(CashTest, AReportThatDoesNotOpenPrintsNoReceiptButTheRestRuns) {
  fake_.AnswerOnce("IBM_FI_RelatorioGerencial", -1);
  host_.QueueAnswers({true});
  Options o;
  o.product_ask = "N";
  FillProducts(products_period_, {{"", "1", "Pao", 1.0, 80.0, 0.0, 0.0, "T", 18.0}});
  EXPECT_TRUE(Run(o));
  const std::string printed = Printed();
  EXPECT_EQ(printed.find("RECIBO SAIDA NUMERARIO"), std::string::npos);
  EXPECT_NE(printed.find("RELATORIO DE PRODUTOS"), std::string::npos);
  EXPECT_NE(printed.find("RELATORIO DE FECHAMENTO"), std::string::npos);
  // Only the documents that opened are recorded: the product report, the
  // closing report.
  EXPECT_EQ(Records(), (Strings{"RG", "RG"}));
}

TEST_F(CashTest, NumberGivenByTheHostSurvivesUnlessAnXReadingIsMade) {
  Options o;
  o.typed_amounts = true;
  number_ = "000777";
  Run(o);
  EXPECT_EQ(number_, "000777");
  o.reading_x = "S";
  fake_.Answer("IBM_FI_NumeroCupom", 1, "000200");
  Run(o);
  EXPECT_EQ(number_, "000200");
}

}  // namespace
}  // namespace zel::test
