#include <functional>
#include <map>

#include "emulator/layouts.h"
#include "printer_fixture.h"

namespace zel::emu::test {
namespace {

using Command = std::function<int(Printer&)>;

const std::map<std::string, Command>& Commands() {
  static const std::map<std::string, Command> commands = {
      {"OpenReceipt", [](Printer& p) { return p.OpenReceipt("", "", ""); }},
      {"SellItem",
       [](Printer& p) {
         return p.SellItem("2", "OUTRO", "01", "1,00", "1,000", "0000", "0000", "01", "UN");
       }},
      {"CancelLastItem", [](Printer& p) { return p.CancelLastItem(); }},
      {"CancelItem", [](Printer& p) { return p.CancelItem("0001"); }},
      {"StartClosing", [](Printer& p) { return p.StartClosing("D", "$", "0"); }},
      {"Pay", [](Printer& p) { return p.Pay("Dinheiro", "1,00"); }},
      {"FinishClosing", [](Printer& p) { return p.FinishClosing("obrigado"); }},
      {"CancelReceipt", [](Printer& p) { return p.CancelReceipt(); }},
      {"PrintText", [](Printer& p) { return p.PrintText("texto\n"); }},
      {"CloseLinked", [](Printer& p) { return p.CloseLinked(); }},
      {"CloseReport", [](Printer& p) { return p.CloseReport(); }},
      {"Report", [](Printer& p) { return p.Report(" "); }},
      {"Supply", [](Printer& p) { return p.Supply("1,00", "Dinheiro"); }},
      {"Withdrawal", [](Printer& p) { return p.Withdrawal("1,00"); }},
      {"OpenLinked", [](Printer& p) { return p.OpenLinked("Dinheiro", "00000000000100", ""); }},
      {"ReadingX", [](Printer& p) { return p.ReadingX(); }},
      {"ReductionZ", [](Printer& p) { return p.ReductionZ(); }},
      {"DaylightSaving", [](Printer& p) { return p.SwitchDaylightSaving(); }},
      {"NonFiscalReceipt",
       [](Printer& p) { return p.NonFiscalReceipt("01", "00000000000100", "Dinheiro"); }},
      {"Barcode", [](Printer& p) { return p.Barcode("EAN13", "789100010010"); }},
      {"Cut", [](Printer& p) { return p.Cut(0); }},
      {"ProgramPaymentForm", [](Printer& p) { return p.ProgramPaymentForm("Cheque", "1"); }},
  };
  return commands;
}

// Brings the printer into a named state.
void Enter(Printer& p, const std::string& state) {
  ASSERT_EQ(p.NameTotalizer(1, "RECEBIMENTO"), kOk);
  if (state == "idle") return;
  if (state == "report") {
    ASSERT_EQ(p.Report("rel"), kOk);
    return;
  }
  ASSERT_EQ(p.OpenReceipt("", "", ""), kOk);
  if (state == "receipt-empty") return;
  ASSERT_EQ(p.SellItem("1", "ITEM", "01", "10,00", "1,000", "0000", "0000", "01", "UN"), kOk);
  if (state == "selling") return;
  ASSERT_EQ(p.StartClosing("A", "$", "0"), kOk);
  if (state == "totalling") return;
  ASSERT_EQ(p.Pay("Dinheiro", "20,00"), kOk);
  if (state == "paid") return;
  ASSERT_EQ(p.FinishClosing(""), kOk);
  if (state == "closed") return;
  ASSERT_EQ(p.OpenLinked("Dinheiro", "00000000000500", ""), kOk);  // state "linked"
}

struct Refusal {
  const char* state;
  const char* command;
  int code;
  int st2;
};

class RefusalTest : public PrinterTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusalTest, RefusedWithStatusAndMemoryUnchanged) {
  const Refusal& r = GetParam();
  Enter(p(), r.state);
  p().TakePrintout();
  PrinterMemory before = m();
  EXPECT_EQ(Commands().at(r.command)(p()), r.code);
  EXPECT_EQ(Ack(), kAck);
  EXPECT_EQ(St2(), r.st2);
  bool receipt_open = m().open == OpenDocument::kReceipt;
  EXPECT_EQ((St1() & kSt1ReceiptOpen) != 0, receipt_open);
  EXPECT_EQ(p().TakePrintout(), "");
  PrinterMemory after = m();
  after.status = before.status;
  EXPECT_EQ(SerializeMemory(after), SerializeMemory(before));
}

constexpr int kNE = kSt2NotExecuted;
constexpr int kCN = kSt2CancelNotAllowed;
INSTANTIATE_TEST_SUITE_P(
    StateMachines, RefusalTest,
    ::testing::Values(
        Refusal{"idle", "SellItem", -1, kNE}, Refusal{"idle", "CancelLastItem", -1, kNE},
        Refusal{"idle", "CancelItem", -1, kNE}, Refusal{"idle", "StartClosing", -1, kNE},
        Refusal{"idle", "Pay", -1, kNE}, Refusal{"idle", "FinishClosing", -1, kNE},
        Refusal{"idle", "CancelReceipt", -1, kCN}, Refusal{"idle", "PrintText", -1, kNE},
        Refusal{"idle", "CloseLinked", -1, kNE}, Refusal{"idle", "CloseReport", -1, kNE},
        Refusal{"idle", "OpenLinked", -1, kNE}, Refusal{"receipt-empty", "StartClosing", -1, kNE},
        Refusal{"receipt-empty", "CancelLastItem", -1, kCN},
        Refusal{"selling", "OpenReceipt", -1, kNE}, Refusal{"selling", "Pay", -1, kNE},
        Refusal{"selling", "FinishClosing", -1, kNE}, Refusal{"selling", "PrintText", -1, kNE},
        Refusal{"selling", "Report", -1, kNE}, Refusal{"selling", "Supply", -1, kNE},
        Refusal{"selling", "Withdrawal", -1, kNE}, Refusal{"selling", "ReadingX", -1, kNE},
        Refusal{"selling", "ReductionZ", -1, kNE}, Refusal{"selling", "OpenLinked", -1, kNE},
        Refusal{"selling", "CloseReport", -1, kNE}, Refusal{"selling", "DaylightSaving", -1, kNE},
        Refusal{"totalling", "SellItem", -1, kNE}, Refusal{"totalling", "CancelLastItem", -1, kNE},
        Refusal{"totalling", "CancelItem", -1, kNE}, Refusal{"totalling", "StartClosing", -1, kNE},
        Refusal{"totalling", "FinishClosing", -1, kNE}, Refusal{"paid", "Pay", -1, kNE},
        Refusal{"paid", "SellItem", -1, kNE}, Refusal{"paid", "OpenReceipt", -1, kNE},
        Refusal{"closed", "CancelItem", -1, kNE}, Refusal{"closed", "Pay", -1, kNE},
        Refusal{"closed", "DaylightSaving", -1, kNE}, Refusal{"linked", "OpenReceipt", -1, kNE},
        Refusal{"linked", "CloseReport", -1, kNE}, Refusal{"linked", "Report", -1, kNE},
        Refusal{"linked", "ReductionZ", -1, kNE}, Refusal{"linked", "CancelReceipt", -1, kCN},
        Refusal{"report", "OpenReceipt", -1, kNE}, Refusal{"report", "CloseLinked", -1, kNE},
        Refusal{"report", "SellItem", -1, kNE}, Refusal{"report", "ReadingX", -1, kNE},
        Refusal{"report", "Supply", -1, kNE}),
    [](const ::testing::TestParamInfo<Refusal>& info) {
      std::string name = std::string(info.param.state) + "_" + info.param.command;
      for (char& c : name) {
        if (c == '-') c = '_';
      }
      return name;
    });

struct BadArgument {
  const char* name;
  Command command;
  int code;
  int st1;
  int st2;
};

class BadArgumentTest : public PrinterTest, public ::testing::WithParamInterface<BadArgument> {};

TEST_P(BadArgumentTest, RefusedWithTheStatusAPrinterSets) {
  ASSERT_EQ(p().ProgramPaymentForm("Cartao", "1"), kOk);
  ASSERT_EQ(p().OpenReceipt("", "", ""), kOk);
  ASSERT_EQ(p().SellItem("1", "ITEM", "01", "10,00", "1,000", "0000", "0000", "01", "UN"), kOk);
  PrinterMemory before = m();
  EXPECT_EQ(GetParam().command(p()), GetParam().code);
  EXPECT_EQ(St1() & ~kSt1ReceiptOpen, GetParam().st1);
  EXPECT_EQ(St2(), GetParam().st2);
  EXPECT_EQ(m().receipt.items.size(), before.receipt.items.size());
  EXPECT_EQ(m().grand_total, before.grand_total);
}

Command Sell(const char* tax, const char* price, const char* qty, const char* surcharge = "0000",
             const char* discount = "0000", const char* description = "ITEM") {
  return [=](Printer& p) {
    return p.SellItem("7891", description, tax, price, qty, surcharge, discount, "01", "UN");
  };
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, BadArgumentTest,
    ::testing::Values(
        BadArgument{"unknown_tax_code", Sell("T18", "1,00", "1"), -2, 0, kSt2ParamType},
        BadArgument{"tax_code_out_of_range", Sell("17", "1,00", "1"), -2, 0, kSt2ParamType},
        BadArgument{"unprogrammed_rate", Sell("09", "1,00", "1"), -3, 0, kSt2RateNotProgrammed},
        BadArgument{"non_numeric_price", Sell("01", "1,0a", "1"), -2, 0, kSt2ParamType},
        BadArgument{"three_decimal_price", Sell("01", "1,005", "1"), -2, 0, kSt2ParamType},
        BadArgument{"zero_quantity", Sell("01", "1,00", "0,000"), -2, 0, kSt2ParamType},
        BadArgument{"negative_price", Sell("01", "-1,00", "1"), -2, 0, kSt2ParamType},
        BadArgument{"price_beyond_nine_digits", Sell("01", "99999999999,00", "9999,999"), -2, 0,
                    kSt2ParamType},
        BadArgument{"discount_above_item", Sell("01", "1,00", "1", "0000", "00000100"), -2, 0,
                    kSt2ParamType},
        BadArgument{"description_too_long",
                    Sell("01", "1,00", "1", "0000", "0000", "DESCRICAO COM MAIS DE 29 LETRAS"), -2,
                    0, kSt2ParamType},
        BadArgument{"missing_price", Sell("01", "", "1"), -2, kSt1ParamCount, 0},
        BadArgument{"payment_form_unknown",
                    [](Printer& p) {
                      p.StartClosing("D", "$", "0");
                      return p.Pay("Cheque", "10,00");
                    },
                    -24, 0, kSt2NotExecuted},
        BadArgument{"payment_not_numeric",
                    [](Printer& p) {
                      p.StartClosing("D", "$", "0");
                      return p.Pay("cartao", "dez");
                    },
                    -2, 0, kSt2ParamType},
        BadArgument{"discount_whole_subtotal",
                    [](Printer& p) { return p.StartClosing("D", "$", "10,00"); }, -2, 0,
                    kSt2ParamType},
        BadArgument{"closing_kind_unknown",
                    [](Printer& p) { return p.StartClosing("X", "$", "1,00"); }, -2, 0,
                    kSt2ParamType},
        BadArgument{"cancel_item_not_a_number", [](Printer& p) { return p.CancelItem("ab"); }, -2,
                    0, kSt2ParamType},
        BadArgument{"cancel_item_missing", [](Printer& p) { return p.CancelItem("0009"); }, -1, 0,
                    kSt2CancelNotAllowed}),
    [](const ::testing::TestParamInfo<BadArgument>& info) { return info.param.name; });

TEST_F(PrinterTest, SaleCountersAndAccumulators) {
  ASSERT_EQ(p().ProgramPaymentForm("Cartao", "1"), kOk);
  ASSERT_EQ(p().OpenReceipt("123.456.789-09", "FULANO", ""), kOk);
  ASSERT_EQ(p().SellItem("1", "ARROZ", "01", "10,99", "2,000", "0000", "0000", "01", "UN"), kOk);
  ASSERT_EQ(p().SellItem("2", "LEITE", "II", "5,00", "1", "0000", "00000050", "01", "UN"), kOk);
  ASSERT_EQ(p().SellItem("3", "SACOLA", "NN", "1,00", "3,000", "", "", "", "UN"), kOk);
  ASSERT_EQ(p().CancelItem("0003"), kOk);
  ASSERT_EQ(p().CancelLastItem(), -1);  // the last item is already cancelled
  ASSERT_EQ(p().StartClosing("d", "$", "1,00"), kOk);
  ASSERT_EQ(p().Pay("CARTAO", "20,00"), kOk);
  ASSERT_EQ(m().receipt.phase, ReceiptPhase::kTotalling);
  ASSERT_EQ(p().Pay("Dinheiro", "10,00"), kOk);
  ASSERT_EQ(p().FinishClosing("Volte sempre"), kOk);

  const DayTotals& d = m().day;
  EXPECT_EQ(m().counters.coo, 1);
  EXPECT_EQ(m().counters.ccf, 1);
  EXPECT_EQ(m().grand_total, 2998);  // 21,98 + 5,00 + 3,00
  EXPECT_EQ(d.gross, 2998);
  EXPECT_EQ(d.tax[0], 2198 - 84);  // the 1,00 discount shared 84/16
  EXPECT_EQ(d.tax[kExempt], 450 - 16);
  EXPECT_EQ(d.tax[kNonIncidence], 0);
  EXPECT_EQ(d.discount_icms, 150);
  EXPECT_EQ(d.cancel_icms, 300);
  EXPECT_EQ(d.forms[0], 1000 - 452);  // change 4,52 leaves in cash
  EXPECT_EQ(d.forms[1], 2000);
  int64_t partials = 0;
  for (int64_t v : d.tax) partials += v;
  EXPECT_EQ(partials + d.discount_icms + d.cancel_icms, d.gross);
  EXPECT_EQ(m().movement_date, 20261210);

  std::string record = PartialTotalsRecord(m());
  ASSERT_EQ(record.size(), 445u);
  EXPECT_EQ(record.substr(0, 14), "00000000002114");
  EXPECT_EQ(record.substr(225, 14), "00000000000434");
  std::string forms = PaymentFormsRecord(m());
  ASSERT_EQ(forms.size(), 3016u);
  EXPECT_EQ(forms.substr(0, 16), "Dinheiro        ");
  EXPECT_EQ(forms.substr(16, 20), "00000000000000000548");
  EXPECT_EQ(forms.substr(58, 16), "Cartao          ");
  EXPECT_EQ(forms.substr(58 + 16, 20), "00000000000000002000");
}

TEST_F(PrinterTest, CancellingTheLastReceiptKeepsTheGrandTotal) {
  QuickSale();
  int64_t gt = m().grand_total;
  ASSERT_EQ(p().CancelReceipt(), kOk);
  EXPECT_EQ(m().counters.coo, 2);  // the cancellation is a document
  EXPECT_EQ(m().counters.cfc, 1);
  EXPECT_EQ(m().grand_total, gt);
  EXPECT_EQ(m().day.tax[0], 0);
  EXPECT_EQ(m().day.cancel_icms, 1000);
  EXPECT_EQ(m().day.forms[0], 0);
  EXPECT_EQ(p().CancelReceipt(), -1);  // only once
  EXPECT_EQ(St2(), kSt2CancelNotAllowed);
}

TEST_F(PrinterTest, GrandTotalNeverDecreases) {
  const std::vector<Command> day = {
      [](Printer& p) { return p.OpenReceipt("", "", ""); },
      [](Printer& p) { return p.SellItem("1", "A", "01", "7,00", "1", "00000100", "", "", ""); },
      [](Printer& p) { return p.SellItem("2", "B", "FF", "3,00", "2", "", "00000050", "", ""); },
      [](Printer& p) { return p.CancelLastItem(); },
      [](Printer& p) { return p.StartClosing("D", "%", "10,00"); },
      [](Printer& p) { return p.Pay("Dinheiro", "50,00"); },
      [](Printer& p) { return p.FinishClosing(""); },
      [](Printer& p) { return p.CancelReceipt(); },
      [](Printer& p) { return p.OpenReceipt("", "", ""); },
      [](Printer& p) { return p.SellItem("3", "C", "05", "2,50", "4", "", "", "", ""); },
      [](Printer& p) { return p.CancelItem("0001"); },
      [](Printer& p) { return p.SellItem("4", "D", "II", "1,00", "1", "", "", "", ""); },
      [](Printer& p) { return p.CancelReceipt(); },
      [](Printer& p) { return p.ReductionZ(); },
  };
  int64_t previous = m().grand_total;
  for (size_t i = 0; i < day.size(); ++i) {
    ASSERT_EQ(day[i](p()), kOk) << i;
    EXPECT_GE(m().grand_total, previous) << i;
    previous = m().grand_total;
  }
  EXPECT_EQ(m().grand_total, 800 + 600 + 1000 + 100);  // every sale and surcharge, none undone
}

TEST_F(PrinterTest, CancellingTheOpenReceiptMovesItsTotalsToCancellations) {
  ASSERT_EQ(p().OpenReceipt("", "", ""), kOk);
  ASSERT_EQ(p().SellItem("1", "A", "05", "3,00", "1", "0000", "0000", "01", "UN"), kOk);
  ASSERT_EQ(p().CancelReceipt(), kOk);
  EXPECT_EQ(m().open, OpenDocument::kNone);
  EXPECT_EQ(m().counters.coo, 1);
  EXPECT_EQ(m().counters.cfc, 1);
  EXPECT_EQ(m().day.cancel_iss, 300);  // position 5 is an ISS rate
  EXPECT_EQ(m().grand_total, 300);
}

TEST_F(PrinterTest, TapeOfASaleReadsLikeAReceipt) {
  ASSERT_EQ(p().OpenReceipt("123.456.789-09", "", ""), kOk);
  ASSERT_EQ(p().SellItem("7891000100103", "ACUCAR REFINADO 1KG", "01", "4,59", "2,000", "0000",
                         "0000", "01", "UN"),
            kOk);
  ASSERT_EQ(p().StartClosing("D", "$", "0,18"), kOk);
  ASSERT_EQ(p().Pay("Dinheiro", "10,00"), kOk);
  ASSERT_EQ(p().FinishClosing("Obrigado pela prefer\xEAncia!"), kOk);
  const char* expected =
      "================================================\n"
      "           EMPRESA DEMONSTRACAO LTDA\n"
      "          RUA DAS FLORES, 100 - CENTRO\n"
      "                 SAO PAULO - SP\n"
      "CNPJ:11.222.333/0001-81\n"
      "IE:111.111.111.111\n"
      "------------------------------------------------\n"
      "10/12/2026 10:00:00        CCF:000001 COO:000001\n"
      "CPF/CNPJ consumidor: 123.456.789-09\n"
      "------------------------------------------------\n"
      "                  CUPOM FISCAL\n"
      "------------------------------------------------\n"
      "ITEM CÓDIGO DESCRIÇÃO\n"
      "QTD.UN.VL UNIT(R$) ST                VL ITEM(R$)\n"
      "------------------------------------------------\n"
      "001 7891000100103 ACUCAR REFINADO 1KG\n"
      "    2,000 UN X 4,59 T01 18,00%              9,18\n"
      "SUBTOTAL R$                                 9,18\n"
      "DESCONTO R$                                -0,18\n"
      "TOTAL R$                                    9,00\n"
      "Dinheiro                                   10,00\n"
      "TROCO R$                                    1,00\n"
      "------------------------------------------------\n"
      "Obrigado pela preferência!\n"
      "------------------------------------------------\n"
      "IBM ECF-IF EMULADOR                       ECF-IF\n"
      "ECF:001                               COO:000001\n"
      "FAB:IB010900000000000001              VER:010900\n"
      "10/12/2026 10:00:00                           BR\n"
      "================================================\n"
      "\n";
  EXPECT_EQ(p().TakePrintout(), expected);
}

TEST_F(PrinterTest, TapeNeverWiderThanFortyEightColumns) {
  ASSERT_EQ(p().SetOneLineItems(1), kOk);
  ASSERT_EQ(p().OpenReceipt("12.345.678/0001-95", std::string(30, 'N'), std::string(80, 'E')), kOk);
  ASSERT_EQ(p().ExtendDescription(std::string(200, 'D')), kOk);
  ASSERT_EQ(p().SellItem("12345678901234", "X", "01", "9999999,99", "9999,999", "99999999", "0",
                         "01", "KG"),
            kOk);
  ASSERT_EQ(p().StartClosing("A", "%", "99,99"), kOk);
  ASSERT_EQ(p().Pay("Dinheiro", "999999999999,99"), kOk);
  ASSERT_EQ(p().FinishClosing(std::string(300, '\xE7') + "\n\n" + std::string(10, 'f')), kOk);
  ASSERT_EQ(p().ReadingX(), kOk);
  std::string tape = p().TakePrintout();
  size_t start = 0, lines = 0;
  while (start < tape.size()) {
    size_t end = tape.find('\n', start);
    std::string line = tape.substr(start, end - start);
    size_t columns = 0;
    for (char c : line) columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;  // UTF-8
    EXPECT_LE(columns, 48u) << line;
    ++lines;
    start = end + 1;
  }
  EXPECT_GT(lines, 40u);
  EXPECT_NE(tape.find(std::string(48, 'D')), std::string::npos);  // the long description, wrapped
}

// Every command in every state: "." accepted, "N" refused as not executed,
// "C" refused as a cancellation not allowed. Columns in kStates order.
TEST_F(PrinterTest, EveryCommandInEveryState) {
  const char* const kStates[] = {"idle", "receipt-empty", "selling", "totalling",
                                 "paid", "closed",        "linked",  "report"};
  const std::map<std::string, std::string> expected = {
      {"OpenReceipt", ".NNNN.NN"},
      {"SellItem", "N..NNNNN"},
      {"CancelLastItem", "NC.NNNNN"},
      {"CancelItem", "NC.NNNNN"},
      {"StartClosing", "NN.NNNNN"},
      {"Pay", "NNN.NNNN"},
      {"FinishClosing", "NNNN.NNN"},
      {"CancelReceipt", "C.....CC"},
      {"PrintText", "NNNNNN.."},
      {"CloseLinked", "NNNNNN.N"},
      {"CloseReport", "NNNNNNN."},
      {"Report", ".NNNN.N."},
      {"Supply", ".NNNN.NN"},
      {"Withdrawal", ".NNNN.NN"},
      {"OpenLinked", "NNNNN.NN"},
      {"ReadingX", ".NNNN.NN"},
      {"ReductionZ", ".NNNN.NN"},
      {"DaylightSaving", ".NNNNNNN"},
      {"NonFiscalReceipt", ".NNNN.NN"},
      {"Barcode", "NNNNNNN."},
      {"Cut", ".NNNN..."},
      {"ProgramPaymentForm", ".NNNN.NN"},
  };
  ASSERT_EQ(expected.size(), Commands().size());
  for (const auto& [command, cells] : expected) {
    for (size_t s = 0; s < cells.size(); ++s) {
      SCOPED_TRACE(command + " in " + kStates[s]);
      Reset();
      Enter(p(), kStates[s]);
      p().TakePrintout();
      PrinterMemory before = m();
      int code = Commands().at(command)(p());
      EXPECT_EQ(Ack(), kAck);
      EXPECT_EQ((St1() & kSt1ReceiptOpen) != 0, m().open == OpenDocument::kReceipt);
      if (cells[s] == '.') {
        EXPECT_EQ(code, kOk);
        EXPECT_EQ(St2(), 0);
        continue;
      }
      EXPECT_EQ(code, kExecutionError);
      EXPECT_EQ(St2(), cells[s] == 'C' ? kSt2CancelNotAllowed : kSt2NotExecuted);
      EXPECT_EQ(p().TakePrintout(), "");
      PrinterMemory after = m();
      after.status = before.status;
      EXPECT_EQ(SerializeMemory(after), SerializeMemory(before));
    }
  }
}

}  // namespace
}  // namespace zel::emu::test
