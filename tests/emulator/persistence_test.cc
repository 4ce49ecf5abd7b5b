#include <cstdio>
#include <functional>
#include <string>
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

// The text with its checksum line made again, as someone who knew the format
// would: what is refused then is refused for the records themselves.
std::string Resealed(std::string text) {
  size_t at = text.rfind("\nchecksum=");
  size_t end = text.find('\n', at + 1);
  char line[32];
  std::snprintf(line, sizeof line, "checksum=%08X", MemoryChecksum(text.substr(0, at + 1)));
  return text.replace(at + 1, end - at - 1, line);
}

std::string WithoutLine(const std::string& text, const std::string& key) {
  size_t at = text.find("\n" + key + "=");
  return at == std::string::npos
             ? text
             : text.substr(0, at + 1) + text.substr(text.find('\n', at + 1) + 1);
}

TEST_F(PrinterTest, AMemoryFileMustHoldEveryRecordOnceAndMatchItsChecksum) {
  QuickSale();
  ASSERT_EQ(p().ReductionZ(), kOk);
  const std::string text = SerializeMemory(m());
  PrinterMemory out;
  std::string reason;
  ASSERT_TRUE(DeserializeMemory(text, &out, &reason)) << reason;
  ASSERT_EQ(Resealed(text), text);

  struct Case {
    std::string what;
    std::string text;
    std::string reason;
  };
  std::vector<Case> cases;
  for (const char* key : {"counters", "grand_total", "day", "fiscal_day", "open", "rates",
                          "receipt", "last", "flags", "faults", "status"}) {
    cases.push_back({std::string("without ") + key, Resealed(WithoutLine(text, key)),
                     std::string("no \"") + key + "\" record"});
  }
  // (The sale's payment names a form: a fresh memory shows the form missing.)
  cases.push_back({"without form",
                   Resealed(WithoutLine(SerializeMemory(FreshMemory(config_)), "form")),
                   "no \"form\" record"});
  size_t counters = text.find("counters=");
  std::string twice = text;
  twice.insert(counters, text.substr(counters, text.find('\n', counters) - counters + 1));
  cases.push_back({"counters twice", Resealed(twice), "a second \"counters\" record"});
  cases.push_back({"without checksum", WithoutLine(text, "checksum"), "no checksum line"});
  cases.push_back({"text after the end", text + "counters=0\n", "text after the \"end\" line"});
  cases.push_back(
      {"a later version", "IBMFI32-MEMORIA 3" + text.substr(text.find('\n')), "unknown version"});
  std::string unknown = text;
  unknown.insert(unknown.find("checksum="), "colour=blue\n");
  cases.push_back({"an unknown record", Resealed(unknown), "unknown record \"colour\""});
  // A date-time that overflows, or is not a number, would be written back as
  // "inf" or "nan" and never load again.
  for (const char* bad : {"1e999", "nan", "-inf"}) {
    std::string dated = text;
    size_t field = dated.find("\nlast=") + 1;
    for (int k = 0; k < 3; ++k) field = dated.find('|', field) + 1;
    dated.replace(field, dated.find('|', field) - field, bad);
    cases.push_back({std::string("a receipt date of ") + bad, Resealed(dated),
                     "malformed \"last\" record"});
  }
  for (const Case& c : cases) {
    std::string why;
    EXPECT_FALSE(DeserializeMemory(c.text, &out, &why)) << c.what;
    EXPECT_NE(why.find(c.reason), std::string::npos) << c.what << ": " << why;
  }

  // Every change of a single byte anywhere is caught, whether or not the
  // record would still parse.
  for (size_t i = 0; i < text.size(); ++i) {
    for (char flip : {'\x01', '\x10'}) {
      std::string damaged = text;
      damaged[i] = static_cast<char>(damaged[i] ^ flip);
      EXPECT_FALSE(DeserializeMemory(damaged, &out)) << "byte " << i;
    }
  }
}

TEST(MemoryChecksumTest, IsTheCrc32OfZipAndPng) {
  EXPECT_EQ(MemoryChecksum(""), 0u);
  EXPECT_EQ(MemoryChecksum("123456789"), 0xCBF43926u);  // the check value of CRC-32
  EXPECT_EQ(MemoryChecksum("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
}

TEST_F(PrinterTest, AVersionOneFileLoadsAndIsWrittenInTheCurrentVersion) {
  QuickSale();
  const std::string current = SerializeMemory(m());
  std::string old =
      "IBMFI32-MEMORIA 1" + WithoutLine(current, "checksum").substr(current.find('\n'));
  PrinterMemory out;
  std::string reason;
  ASSERT_TRUE(DeserializeMemory(old, &out, &reason)) << reason;
  EXPECT_EQ(SerializeMemory(out), current);
  EXPECT_FALSE(DeserializeMemory(Resealed(WithoutLine(old, "counters")), &out));
}

TEST_F(PrinterTest, AMemoryFromBeforeTheJournalsReadsBackTheSameWhenWritten) {
  // Found by fuzzing: such a memory was written with "mf=-1" and "mfd=-1",
  // which no longer loaded.
  QuickSale();
  const std::string current = SerializeMemory(m());
  for (const char* dropped : {"mf", "mfd"}) {
    SCOPED_TRACE(dropped);
    PrinterMemory old;
    std::string reason;
    ASSERT_TRUE(DeserializeMemory(Resealed(WithoutLine(current, dropped)), &old, &reason))
        << reason;
    PrinterMemory again;
    ASSERT_TRUE(DeserializeMemory(SerializeMemory(old), &again, &reason)) << reason;
    EXPECT_EQ(SerializeMemory(again), SerializeMemory(old));
    EXPECT_EQ(again.mf_bytes, old.mf_bytes);
    EXPECT_EQ(again.mfd_bytes, old.mfd_bytes);
  }
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
