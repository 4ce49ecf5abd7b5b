#include <functional>
#include <vector>

#include "printer_fixture.h"

namespace zel::emu::test {
namespace {

using Step = std::function<int(Printer&)>;

// A day's work touching every kind of memory: tables, a sale interrupted in
// every phase, documents, readings.
std::vector<Step> Script() {
  return {
      [](Printer& p) { return p.ProgramPaymentForm("Cart\xE3o", "1"); },
      [](Printer& p) { return p.NameTotalizer(1, "VENDA CONSUMIDOR"); },
      [](Printer& p) { return p.Supply("50,00", ""); },
      [](Printer& p) { return p.OpenReceipt("123|%x", "Jos\xE9\n", ""); },
      [](Printer& p) {
        return p.SellItem("1", "CAF\xC9", "01", "8,90", "2", "00000010", "00000020", "01", "KG");
      },
      [](Printer& p) { return p.SellItem("2", "P\xC3O", "II", "0,50", "10", "", "", "", "UN"); },
      [](Printer& p) { return p.CancelItem("0001"); },
      [](Printer& p) { return p.StartClosing("A", "%", "10,00"); },
      [](Printer& p) { return p.Pay("cart\xE3o", "3,00"); },
      [](Printer& p) { return p.Pay("Dinheiro", "5,00"); },
      [](Printer& p) { return p.FinishClosing("fim\n"); },
      [](Printer& p) { return p.OpenLinked("Cart\xE3o", "", ""); },
      [](Printer& p) { return p.PrintText("via\n"); },
      [](Printer& p) { return p.CloseLinked(); },
      [](Printer& p) { return p.NonFiscalReceipt("01", "00000000000990", "Dinheiro"); },
      [](Printer& p) { return p.Report("rel"); },
      [](Printer& p) { return p.CloseReport(); },
      [](Printer& p) { return p.Withdrawal("10,00"); },
      [](Printer& p) { return p.ReadingX(); },
      [](Printer& p) { return p.ReductionZ(); },
  };
}

TEST_F(PrinterTest, KillBetweenAnyTwoCommandsChangesNothing) {
  std::vector<int> codes;
  for (const Step& step : Script()) codes.push_back(step(p()));
  std::string uninterrupted = SerializeMemory(m());
  for (int code : codes) EXPECT_EQ(code, kOk);

  Reset();
  size_t i = 0;
  for (const Step& step : Script()) {
    Reload();  // a new process finds the printer as the last one left it
    EXPECT_EQ(step(p()), codes[i++]);
  }
  EXPECT_EQ(SerializeMemory(m()), uninterrupted);
}

TEST_F(PrinterTest, OpenReceiptSurvivesAReload) {
  ASSERT_EQ(p().OpenReceipt("", "", ""), kOk);
  ASSERT_EQ(p().SellItem("1", "A", "01", "1,00", "1", "", "", "", ""), kOk);
  Reload();
  EXPECT_EQ(St1() & kSt1ReceiptOpen, kSt1ReceiptOpen);
  EXPECT_EQ(p().SellItem("2", "B", "01", "2,00", "1", "", "", "", ""), kOk);
  EXPECT_EQ(m().receipt.Subtotal(), 300);
}

TEST_F(PrinterTest, TornMemoryFileIsRejected) {
  for (const Step& step : Script()) step(p());
  p().mutable_memory().faults.armed_from_ini = "nak next; fail x|y -2 %";
  std::string text = SerializeMemory(m());
  PrinterMemory out;
  for (size_t n = 0; n < text.size(); n += 7) {
    EXPECT_FALSE(DeserializeMemory(text.substr(0, n), &out)) << n;
  }
  EXPECT_FALSE(DeserializeMemory("IBMFI32-MEMORIA 2\nend\n", &out));
  EXPECT_TRUE(DeserializeMemory(text, &out));
  EXPECT_EQ(SerializeMemory(out), text);
}

TEST_F(PrinterTest, CachedReductionLinesMatchAFreshWrite) {
  FiscalMemoryCache cache;
  for (int day = 10; day <= 12; ++day) {
    SetNow(EncodeDateTime(2026, 12, day, 10, 0, 0, 0));
    QuickSale();
    EXPECT_EQ(SerializeMemory(m(), &cache), SerializeMemory(m()));
    ASSERT_EQ(p().ReductionZ(), kOk);
    EXPECT_EQ(SerializeMemory(m(), &cache), SerializeMemory(m()));
  }
  EXPECT_EQ(cache.count, 3u);
  Reset();  // a memory with fewer reductions
  EXPECT_EQ(SerializeMemory(m(), &cache), SerializeMemory(m()));
  EXPECT_EQ(cache.count, 0u);
}

}  // namespace
}  // namespace zel::emu::test
