#include "emulator/amounts.h"
#include "emulator/layouts.h"
#include "printer_fixture.h"

namespace zel::emu::test {
namespace {

TEST_F(PrinterTest, PendingReductionBlocksFiscalDocumentsUntilMade) {
  QuickSale();
  SetNow(EncodeDateTime(2026, 12, 11, 8, 0, 0, 0));
  EXPECT_TRUE(p().FiscalFlags() & kFlagZPending);
  EXPECT_EQ(p().OpenReceipt("", "", ""), kExecutionError);
  EXPECT_EQ(St2(), kSt2NotExecuted);
  EXPECT_EQ(p().Supply("1,00", ""), kExecutionError);
  EXPECT_EQ(p().ReadingX(), kOk);  // readings stay available
  ASSERT_EQ(p().ReductionZ(), kOk);
  EXPECT_EQ(m().fiscal_memory.back().movement_date, 20261210);
  EXPECT_EQ(p().OpenReceipt("", "", ""), kOk);  // the new day may start
}

TEST_F(PrinterTest, AfterTheReductionNoDocumentThatDay) {
  QuickSale();
  int64_t gt = m().grand_total;
  ASSERT_EQ(p().ReductionZ(), kOk);
  EXPECT_EQ(m().counters.crz, 1);
  EXPECT_EQ(m().grand_total, gt);
  EXPECT_EQ(m().day.gross, 0);
  EXPECT_EQ(m().movement_date, 0);
  EXPECT_TRUE(p().FiscalFlags() & kFlagDayClosed);
  EXPECT_EQ(p().OpenReceipt("", "", ""), kExecutionError);
  EXPECT_EQ(p().Report("x"), kExecutionError);
  EXPECT_EQ(p().ReductionZ(), kExecutionError);
  SetNow(EncodeDateTime(2026, 12, 11, 8, 0, 0, 0));
  EXPECT_EQ(p().OpenReceipt("", "", ""), kOk);
}

TEST_F(PrinterTest, ClockBehindTheFiscalDayIsAClockError) {
  QuickSale();
  SetNow(EncodeDateTime(2026, 12, 9, 10, 0, 0, 0));
  EXPECT_EQ(p().OpenReceipt("", "", ""), kExecutionError);
  EXPECT_EQ(St1() & kSt1ClockError, kSt1ClockError);
}

int64_t Value(const std::string& record, int position, int width) {
  auto v = ParseCentsField(record.substr(position - 1, width));
  EXPECT_TRUE(v.has_value()) << position;
  return v.value_or(-1);
}

TEST_F(PrinterTest, LastReductionRecordHasEveryFieldWhereItIsRead) {
  std::string empty = LastReductionRecord(m());
  ASSERT_EQ(empty.size(), 1278u);
  EXPECT_EQ(empty.substr(1272, 6), "000000");
  EXPECT_EQ(empty.substr(8, 4), "0000");

  ASSERT_EQ(p().OpenReceipt("", "", ""), kOk);
  ASSERT_EQ(p().SellItem("1", "A", "01", "100,00", "1", "0000", "00000500", "01", "UN"), kOk);
  ASSERT_EQ(p().SellItem("2", "B", "02", "50,00", "1", "0000", "0000", "01", "UN"), kOk);
  ASSERT_EQ(p().SellItem("3", "C", "II", "7,00", "1", "0000", "0000", "01", "UN"), kOk);
  ASSERT_EQ(p().SellItem("4", "D", "NN", "3,00", "1", "0000", "0000", "01", "UN"), kOk);
  ASSERT_EQ(p().SellItem("5", "E", "FF", "2,00", "1", "0000", "0000", "01", "UN"), kOk);
  ASSERT_EQ(p().CancelItem("0002"), kOk);
  ASSERT_EQ(p().StartClosing("A", "$", "1,07"), kOk);
  ASSERT_EQ(p().Pay("Dinheiro", "200,00"), kOk);
  ASSERT_EQ(p().FinishClosing(""), kOk);
  QuickSale();
  ASSERT_EQ(p().CancelReceipt(), kOk);
  ASSERT_EQ(p().ReductionZ(), kOk);

  std::string r = LastReductionRecord(m());
  ASSERT_EQ(r.size(), 1278u);
  EXPECT_EQ(r.substr(3, 4), "0001");     // CRO
  EXPECT_EQ(r.substr(8, 4), "0001");     // CRZ
  EXPECT_EQ(r.substr(13, 6), "000004");  // COO of the reduction
  EXPECT_EQ(r.substr(53, 4), "0001");    // cancelled receipts
  EXPECT_EQ(r.substr(1272, 6), "101226");
  const DayTotals& day = m().fiscal_memory.back().totals;
  EXPECT_EQ(Value(r, 316, 18), m().grand_total);
  int64_t partials = 0;
  for (int k = 0; k < 16; ++k) partials += Value(r, 335 + 14 * k, 14);
  EXPECT_EQ(Value(r, 335, 14), day.tax[0]);
  EXPECT_EQ(Value(r, 560, 14), day.tax[kExempt]);
  EXPECT_EQ(Value(r, 575, 14), day.tax[kNonIncidence]);
  EXPECT_EQ(Value(r, 590, 14), day.tax[kSubstitution]);
  EXPECT_EQ(Value(r, 650, 14), 500);
  EXPECT_EQ(Value(r, 680, 14), 107);
  EXPECT_EQ(Value(r, 710, 14), 5000 + 1000);  // an item and a whole receipt
  // The gross sales a reader derives from the record are the day's.
  int64_t gross = partials + Value(r, 560, 14) + Value(r, 575, 14) + Value(r, 590, 14) +
                  Value(r, 650, 14) + Value(r, 710, 14);
  EXPECT_EQ(gross, day.gross);
  EXPECT_EQ(Value(r, 191, 18), day.gross);
}

TEST_F(PrinterTest, RateRecords) {
  EXPECT_EQ(RatesRecord(m().rates),
            "1800,1200,0700,2500,0500,0000,0000,0000,0000,0000,0000,0000,0000,0000,0000,0000");
  std::string iss = IssRatesRecord(m().rates);
  ASSERT_EQ(iss.size(), 79u);
  EXPECT_EQ(iss.substr(0, 6), "0500, ");
}

TEST_F(PrinterTest, ConfiguredRatesAreTakenOnlyWithoutMovement) {
  QuickSale();
  EmulatorConfig changed = config_;
  ASSERT_TRUE(ParseRates("T1700;S0200", changed.rates));
  Printer during_the_day(changed, m());
  EXPECT_EQ(during_the_day.memory().rates[0].basis_points, 1800);
  ASSERT_EQ(p().ReductionZ(), kOk);
  Printer after_the_z(changed, m());
  EXPECT_EQ(after_the_z.memory().rates[0].basis_points, 1700);
  EXPECT_TRUE(after_the_z.memory().rates[1].iss);
  EXPECT_EQ(after_the_z.memory().rates[2].basis_points, 0);
}

TEST_F(PrinterTest, NonFiscalTotalizers) {
  ASSERT_EQ(p().NameTotalizer(1, "CONTRA-VALE EMITIDO"), kOk);
  ASSERT_EQ(p().NameTotalizer(2, "VENDA CONSUMIDOR"), kOk);
  EXPECT_EQ(p().NameTotalizer(3, "venda consumidor"), kExecutionError);  // duplicate name
  EXPECT_EQ(p().NameTotalizer(31, "X"), kInvalidParameter);
  std::string names = TotalizerNamesRecord(m());
  ASSERT_EQ(names.size(), 179u);
  EXPECT_EQ(names.substr(0, 20), "CONTRA-VALE EMITIDO,");
  EXPECT_EQ(names.substr(20, 16), "VENDA CONSUMIDOR");
  EXPECT_EQ(names[40], '\0');

  EXPECT_EQ(p().NonFiscalReceipt("05", "00000000000100", "Dinheiro"), kTotalizerNotProgrammed);
  ASSERT_EQ(p().NonFiscalReceipt("02", "00000000001234", "Dinheiro"), kOk);
  ASSERT_EQ(p().NonFiscalReceipt("02", "1,00", ""), kOk);
  EXPECT_EQ(m().counters.gnf, 2);
  std::string list = NonFiscalRecord(m());
  ASSERT_EQ(list.size(), 2200u);
  EXPECT_EQ(list.substr(44, 4), "0002");
  EXPECT_EQ(list.substr(48, 20), "00000000000000001334");
  EXPECT_EQ(list.substr(68, 19), "VENDA CONSUMIDOR   ");
  EXPECT_EQ(p().NameTotalizer(2, "OUTRO"), kExecutionError);  // the day has movement
}

TEST_F(PrinterTest, LinkedSlipsBelongToTheLastReceiptsPayments) {
  ASSERT_EQ(p().ProgramPaymentForm("Cartao", "1"), kOk);
  ASSERT_EQ(p().OpenReceipt("", "", ""), kOk);
  ASSERT_EQ(p().SellItem("1", "A", "01", "30,00", "1", "0000", "0000", "01", "UN"), kOk);
  ASSERT_EQ(p().StartClosing("D", "$", "0"), kOk);
  ASSERT_EQ(p().Pay("Cartao", "20,00"), kOk);
  ASSERT_EQ(p().Pay("Dinheiro", "10,00"), kOk);
  ASSERT_EQ(p().FinishClosing(""), kOk);
  EXPECT_EQ(p().OpenLinked("Cartao", "00000000002001", "000001"), kExecutionError);
  EXPECT_EQ(p().OpenLinked("Cheque", "00000000001000", "000001"), kFormNotProgrammed);
  ASSERT_EQ(p().OpenLinked("cartao", "00000000001500", "000001"), kOk);
  ASSERT_EQ(p().PrintText("VIA CLIENTE\n"), kOk);
  ASSERT_EQ(p().CloseLinked(), kOk);
  ASSERT_EQ(p().OpenLinked("Cartao", "00000000000500", "000002"), kOk);
  ASSERT_EQ(p().CloseLinked(), kOk);
  EXPECT_EQ(p().OpenLinked("Cartao", "00000000000100", ""), kExecutionError);  // used up
  EXPECT_EQ(m().counters.cdc, 2);
  EXPECT_EQ(m().counters.gnf, 2);
  EXPECT_EQ(m().counters.coo, 3);
}

TEST_F(PrinterTest, ReceiptIsCancelledWithItsSlipsButNotAfterAnotherDocument) {
  ASSERT_EQ(p().ProgramPaymentForm("Cartao", "1"), kOk);
  ASSERT_EQ(p().OpenReceipt("", "", ""), kOk);
  ASSERT_EQ(p().SellItem("1", "A", "01", "30,00", "1", "0000", "0000", "01", "UN"), kOk);
  ASSERT_EQ(p().StartClosing("D", "$", "0"), kOk);
  ASSERT_EQ(p().Pay("Cartao", "30,00"), kOk);
  ASSERT_EQ(p().FinishClosing(""), kOk);
  ASSERT_EQ(p().OpenLinked("Cartao", "00000000003000", "000001"), kOk);
  EXPECT_EQ(p().CancelReceipt(), kExecutionError);  // the slip is still open
  ASSERT_EQ(p().CloseLinked(), kOk);
  p().TakePrintout();
  ASSERT_EQ(p().CancelReceipt(), kOk);
  EXPECT_EQ(m().counters.cfc, 1);
  EXPECT_EQ(m().day.cancel_icms, 3000);
  EXPECT_NE(p().TakePrintout().find("ESTORNO COMPROVANTES VINCULADOS R$"), std::string::npos);

  // A report after the receipt closes the way back.
  ASSERT_EQ(p().OpenReceipt("", "", ""), kOk);
  ASSERT_EQ(p().SellItem("1", "A", "01", "30,00", "1", "0000", "0000", "01", "UN"), kOk);
  ASSERT_EQ(p().StartClosing("D", "$", "0"), kOk);
  ASSERT_EQ(p().Pay("Dinheiro", "30,00"), kOk);
  ASSERT_EQ(p().FinishClosing(""), kOk);
  ASSERT_EQ(p().Report(" "), kOk);
  ASSERT_EQ(p().CloseReport(), kOk);
  EXPECT_EQ(p().CancelReceipt(), kExecutionError);
  EXPECT_EQ(St2(), kSt2CancelNotAllowed);
}

TEST_F(PrinterTest, ReportsCountAndCarryBarcodes) {
  EXPECT_EQ(p().Barcode("EAN13", "789100010010"), kExecutionError);  // no report open
  ASSERT_EQ(p().Report(" "), kOk);
  ASSERT_EQ(p().PrintText("linha 1\nlinha 2\n"), kOk);
  ASSERT_EQ(p().Report("linha 3\n"), kOk);  // feeds the open report
  EXPECT_EQ(p().Barcode("EAN13", "789100010010"), kOk);
  EXPECT_EQ(p().Barcode("EAN13", "78910001001A"), kInvalidParameter);
  EXPECT_EQ(p().Barcode("EAN8", "123"), kInvalidParameter);
  ASSERT_EQ(p().CloseReport(), kOk);
  EXPECT_EQ(m().counters.grg, 1);
  EXPECT_EQ(m().counters.gnf, 1);
  EXPECT_EQ(m().counters.coo, 1);
}

TEST_F(PrinterTest, DaylightSavingOnlyRightAfterAReduction) {
  TDateTime before = p().Now();
  ASSERT_EQ(p().SwitchDaylightSaving(), kOk);  // nothing printed yet today
  EXPECT_TRUE(p().FiscalFlags() & kFlagDaylightSaving);
  EXPECT_EQ(MinutesBetween(before, p().Now()), 60);
  QuickSale();
  EXPECT_EQ(p().SwitchDaylightSaving(), kExecutionError);
  ASSERT_EQ(p().ReductionZ(), kOk);
  ASSERT_EQ(p().SwitchDaylightSaving(), kOk);
  EXPECT_FALSE(p().FiscalFlags() & kFlagDaylightSaving);
}

TEST_F(PrinterTest, PaymentFormsUpToTwentyWithCashFirst) {
  EXPECT_EQ(m().forms[0].name, "Dinheiro");
  EXPECT_EQ(p().ProgramPaymentForm("DINHEIRO", "1"), kOk);  // known, not added
  for (int i = 2; i <= kMaxPaymentForms; ++i) {
    ASSERT_EQ(p().ProgramPaymentForm("Forma " + std::to_string(i), "1"), kOk);
  }
  EXPECT_EQ(m().forms.size(), 20u);
  EXPECT_EQ(p().ProgramPaymentForm("Forma 21", "1"), kExecutionError);
  EXPECT_EQ(p().ProgramPaymentForm("NOME DE FORMA LONGO", "1"), kInvalidParameter);
}

TEST_F(PrinterTest, PaperLevelsAndPaperEnd) {
  p().mutable_memory().faults.paper = PaperLevel::kNearEnd;
  ASSERT_EQ(p().OpenReceipt("", "", ""), kOk);
  EXPECT_EQ(St1(), kSt1PaperLow | kSt1ReceiptOpen);
  p().mutable_memory().faults.paper = PaperLevel::kEnd;
  EXPECT_EQ(p().SellItem("1", "A", "01", "1,00", "1", "", "", "", ""), kExecutionError);
  EXPECT_EQ(St1(), kSt1PaperOut | kSt1ReceiptOpen);
  EXPECT_EQ(p().CancelReceipt(), kOk);  // a cancellation still goes through
}

}  // namespace
}  // namespace zel::emu::test
