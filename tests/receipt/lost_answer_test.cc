// Items and receipt openings whose answer is lost (code 0): the driver asks
// the printer whether the command was done before it offers to send it
// again, and never asks the printer anything while every call answers.
#include <string>
#include <vector>

#include "core/core_fixture.h"
#include "hostutil/params.h"
#include "zel01900/counters.h"
#include "zel01900/receipt.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

constexpr const char* kSale = "IBM_FI_VendeItemDepartamento";
constexpr const char* kGross = "IBM_FI_VendaBruta";
constexpr const char* kFlags = "IBM_FI_FlagsFiscais";

// Gross sales as the printer answers them: 18 digits in cents.
std::string GrossText(int64_t cents) {
  std::string digits = std::to_string(cents);
  return std::string(18 - digits.size(), '0') + digits;
}

class LostAnswerTest : public CoreTest {
 protected:
  // The driver learns the day's gross sales from a query it makes anyway.
  void KnowGross(int64_t cents) {
    fake_.Answer(kGross, 1, GrossText(cents));
    std::string value;
    ASSERT_TRUE(VendaBruta("007", value));
    fake_.ClearCalls();
  }
  void PrinterGross(int64_t cents) { fake_.Answer(kGross, 1, GrossText(cents)); }
  void PrinterFlags(int32_t flags) { fake_.SetAnswer(kFlags, FakeAnswer{1, {}, {flags}}); }

  bool Sell(double price, double quantity, double surcharge = 0) {
    HostParams params = MakeParams({{"ESQUEMACOR", "007"},
                                    {"INTEFERRO", 0},
                                    {"CDARVPROD", "789"},
                                    {"NMPROD", "CAFE"},
                                    {"CDALIQ", "01"},
                                    {"QTDE", quantity},
                                    {"VALOR", price},
                                    {"DESCONT", 0.0},
                                    {"ACRESCIMO", surcharge},
                                    {"UNIDADE", "UN"},
                                    {"IDUTILTEF", "N"},
                                    {"UTILTEF", false}});
    return VendaItem(params);
  }
  bool Open(bool card_use = false) {
    HostParams params = MakeParams({{"ESQUEMACOR", "007"},
                                    {"INTTEFERRO", 0},
                                    {"INCLUICPF", ""},
                                    {"INCLUINOME", ""},
                                    {"INCLUIENDERECO", ""},
                                    {"CUPNR", ""},
                                    {"CONTCUPOM", ""},
                                    {"IDUTILTEF", card_use ? "T" : "N"},
                                    {"UTILTEF", card_use}});
    const bool opened = AbreCupom(params);
    opened_ = params;
    return opened;
  }
  size_t Questions() const {
    size_t n = 0;
    for (const DialogCall& d : host_.dialogs()) n += d.IsQuestion() ? 1 : 0;
    return n;
  }
  bool ToldDone() const {
    for (const DialogCall& d : host_.dialogs()) {
      if (d.text.find("executou o comando") != std::string::npos) return true;
    }
    return false;
  }

  HostParams opened_;
};

TEST_F(LostAnswerTest, SalesThatAnswerNeverAskThePrinterMore) {
  KnowGross(10000);
  fake_.Answer("IBM_FI_NumeroCupom", 1, "000124");
  EXPECT_TRUE(Open());
  EXPECT_TRUE(Sell(10, 1));
  EXPECT_TRUE(Sell(2.5, 3, 0.10));
  EXPECT_EQ(fake_.CallCount(kGross), 0);
  EXPECT_EQ(fake_.CallCount(kFlags), 0);
}

struct ItemCase {
  const char* name;
  int64_t gross_after;  // the printer's gross sales read after the lost answer
  bool operator_says_yes;
  bool expected;
  int sale_calls;
  bool asked;
};

TEST_F(LostAnswerTest, LostItemAnswerIsCheckedAgainstTheGrossSales) {
  // 100,00 before the item; the item adds 1,99 x 0,333 = 0,66 (truncated)
  // plus a surcharge of 0,10.
  const ItemCase cases[] = {
      {"done: taken as sold, nothing sent again", 10076, true, true, 1, false},
      {"not done: offered again and sent on yes", 10000, true, true, 2, true},
      {"not done: the operator declines", 10000, false, false, 1, true},
      {"figure matches neither: the operator decides", 10066, false, false, 1, true},
  };
  for (const ItemCase& c : cases) {
    SCOPED_TRACE(c.name);
    host_.Clear();
    KnowGross(10000);
    fake_.AnswerOnce(kSale, 0);
    PrinterGross(c.gross_after);
    if (c.asked) host_.QueueAnswers({c.operator_says_yes});
    EXPECT_EQ(Sell(1.99, 0.333, 0.10), c.expected);
    EXPECT_EQ(fake_.CallCount(kSale), c.sale_calls);
    EXPECT_EQ(fake_.CallCount(kGross), 1);
    EXPECT_EQ(Questions(), c.asked ? 1u : 0u);
    EXPECT_EQ(ToldDone(), !c.asked);
  }
}

TEST_F(LostAnswerTest, WithoutAKnownBaselineTheOperatorDecidesAsBefore) {
  fake_.AnswerOnce(kSale, 0);
  PrinterGross(76);
  host_.QueueAnswers({true});
  EXPECT_TRUE(Sell(1.99, 0.333, 0.10));
  EXPECT_EQ(fake_.CallCount(kSale), 2);
  EXPECT_EQ(fake_.CallCount(kGross), 0);
  EXPECT_EQ(Questions(), 1u);
  EXPECT_FALSE(ToldDone());
}

TEST_F(LostAnswerTest, BaselineFollowsAcknowledgedItemsAndTheFigureRead) {
  KnowGross(0);
  EXPECT_TRUE(Sell(10, 2));   // +20,00 acknowledged
  EXPECT_TRUE(Sell(3, 1.5));  // +4,50
  // The third item's answer is lost; the printer shows it registered.
  fake_.AnswerOnce(kSale, 0);
  PrinterGross(2450 + 100);
  EXPECT_TRUE(Sell(1, 1));
  EXPECT_EQ(fake_.CallCount(kSale), 3);
  // A fourth item lost and not registered: checked against the figure read.
  fake_.AnswerOnce(kSale, 0);
  host_.QueueAnswers({true});
  PrinterGross(2550);
  EXPECT_TRUE(Sell(5, 1));
  EXPECT_EQ(fake_.CallCount(kSale), 5);
  // The resent one was acknowledged: a fifth lost answer counts from 25,50 + 5,00.
  fake_.AnswerOnce(kSale, 0);
  PrinterGross(3050 + 700);
  EXPECT_TRUE(Sell(7, 1));
  EXPECT_EQ(fake_.CallCount(kSale), 6);
  EXPECT_EQ(Questions(), 1u);
}

TEST_F(LostAnswerTest, RefusalsKeepTodaysQuestionWithoutAskingThePrinter) {
  KnowGross(0);
  fake_.AnswerOnce(kSale, -1);
  host_.QueueAnswers({false});
  EXPECT_FALSE(Sell(10, 1));
  EXPECT_EQ(fake_.CallCount(kGross), 0);
  EXPECT_EQ(Questions(), 1u);
}

struct OpeningCase {
  const char* name;
  int32_t st1_at_state_check;  // 2: a receipt was already open
  int32_t flags_after;
  bool expected;
};

TEST_F(LostAnswerTest, LostOpeningIsCheckedAgainstTheFiscalFlags) {
  const OpeningCase cases[] = {
      {"receipt now open: opened", 0, 1, true},
      {"no receipt open: not opened", 0, 0, false},
      {"closing already started: not this opening", 0, 3, false},
      {"a receipt was open before: not this opening", 2, 1, false},
  };
  for (const OpeningCase& c : cases) {
    SCOPED_TRACE(c.name);
    host_.Clear();
    fake_.ClearCalls();
    fake_.SetAnswer("IBM_FI_VerificaEstadoImpressora",
                    FakeAnswer{1, {}, {6, c.st1_at_state_check, 0}});
    fake_.AnswerOnce("IBM_FI_AbreCupomMFD", 0);
    PrinterFlags(c.flags_after);
    fake_.Answer("IBM_FI_NumeroCupom", 1, "000124");
    EXPECT_EQ(Open(), c.expected);
    EXPECT_EQ(fake_.CallCount("IBM_FI_AbreCupomMFD"), 1);
    EXPECT_EQ(fake_.CallCount(kFlags), 1);
    EXPECT_EQ(ToldDone(), c.expected);
    if (c.expected) {
      EXPECT_EQ(RecebeParams(opened_, "CUPNR").AsString(), "000124");
    }
  }
}

TEST_F(LostAnswerTest, OpeningNotDoneIsOfferedAgainInACardSale) {
  fake_.AnswerOnce("IBM_FI_AbreCupomMFD", 0);
  PrinterFlags(0);
  host_.QueueAnswers({true});
  EXPECT_TRUE(Open(true));
  EXPECT_EQ(fake_.CallCount("IBM_FI_AbreCupomMFD"), 2);
  EXPECT_EQ(Questions(), 1u);
}

// A command the printer answered 1 was done: what the status read after it
// says (the paper ran out, the printer went off) is shown, not taken as the
// command's failure.
TEST_F(LostAnswerTest, DoneCommandStaysDoneWhateverTheStatusAfterIt) {
  fake_.AnswerStatusOnce(6, 0, 0);    // the state check before the item
  fake_.AnswerStatusOnce(6, 128, 0);  // after it: the paper ran out
  EXPECT_TRUE(Sell(10, 1));
  ASSERT_EQ(host_.dialogs().size(), 1u);
  EXPECT_FALSE(host_.dialogs()[0].IsQuestion());

  host_.Clear();
  fake_.AnswerStatusOnce(6, 0, 0);
  fake_.AnswerStatusOnce(0, 0, 0, -6);  // after the item the printer no longer answers
  EXPECT_TRUE(Sell(10, 1));
  EXPECT_EQ(Questions(), 0u);

  // A refused item is still a failure.
  fake_.AnswerStatusOnce(6, 0, 0);
  fake_.AnswerStatusOnce(6, 0, 1);
  fake_.AnswerOnce(kSale, -1);
  host_.QueueAnswers({false});
  EXPECT_FALSE(Sell(10, 1));
}

}  // namespace
}  // namespace zel::test
