// Items and receipt openings whose answer is lost (code 0): the driver asks
// the printer whether the command was done before it offers to send it
// again, never sends again one whose outcome the printer cannot tell, and
// never asks the printer anything while every call answers.
#include <string>
#include <vector>

#include "core/core_fixture.h"
#include "core/unknown_outcome.h"
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

  bool Sell(double price, double quantity, double surcharge = 0, bool card_use = false) {
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
                                    {"IDUTILTEF", card_use ? "T" : "N"},
                                    {"UTILTEF", card_use}});
    const bool sold = VendaItem(params);
    sold_ = params;
    return sold;
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
  // The operator was told that `what` may have been done and to check the
  // printed receipt.
  bool ToldUnknown(const std::string& what) const {
    for (const DialogCall& d : host_.dialogs()) {
      if (!d.IsQuestion() && d.text.find(what) != std::string::npos &&
          d.text.find("confira o cupom impresso") != std::string::npos) {
        return true;
      }
    }
    return false;
  }
  // The debug log holds, after its first `from` entries, the error line of
  // `what`.
  bool LoggedUnknown(const std::string& what, size_t from) {
    const Strings log = LogEntries();
    for (size_t i = from; i < log.size(); ++i) {
      if (log[i].rfind("ERRO!!! ", 0) == 0 && log[i].find(what) != std::string::npos &&
          log[i].find("confira o cupom impresso") != std::string::npos) {
        return true;
      }
    }
    return false;
  }

  HostParams opened_;
  HostParams sold_;
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

enum class Told { kNothing, kDone, kUnknown };

struct ItemCase {
  const char* name;
  int64_t gross_after;  // the printer's gross sales read after the lost answer
  bool operator_says_yes;
  bool expected;
  int sale_calls;
  bool asked;
  Told told;
};

TEST_F(LostAnswerTest, LostItemAnswerIsCheckedAgainstTheGrossSales) {
  // 100,00 before the item; the item adds 1,99 x 0,333 = 0,66 (truncated)
  // plus a surcharge of 0,10.
  const ItemCase cases[] = {
      {"done: taken as sold, nothing sent again", 10076, true, true, 1, false, Told::kDone},
      {"not done: offered again and sent on yes", 10000, true, true, 2, true, Told::kNothing},
      {"not done: the operator declines", 10000, false, false, 1, true, Told::kNothing},
      {"figure matches neither: never sent again", 10066, true, false, 1, false, Told::kUnknown},
  };
  for (const ItemCase& c : cases) {
    SCOPED_TRACE(c.name);
    host_.Clear();
    KnowGross(10000);
    fake_.AnswerOnce(kSale, 0);
    PrinterGross(c.gross_after);
    host_.SetDefaultAnswer(c.operator_says_yes);
    EXPECT_EQ(Sell(1.99, 0.333, 0.10), c.expected);
    EXPECT_EQ(fake_.CallCount(kSale), c.sale_calls);
    EXPECT_EQ(fake_.CallCount(kGross), 1);
    EXPECT_EQ(Questions(), c.asked ? 1u : 0u);
    EXPECT_EQ(ToldDone(), c.told == Told::kDone);
    EXPECT_EQ(ToldUnknown("ao item 789 - CAFE"), c.told == Told::kUnknown);
  }
}

struct UncheckableItemCase {
  const char* name;
  bool baseline_known;  // the driver knows the day's gross sales (100,00)
  int32_t gross_code;   // the gross-sales query after the lost answer
  int64_t gross_after;
  bool card_use;
  bool attended;
};

// A lost item whose check cannot be made may have been registered: it is
// never offered again, even to an operator who would say yes to anything.
// The operator (on an attended till) is told to check the printed receipt;
// the host gets the text in MENSAGEMTAA and stMensagemTaa, the debug log an
// error line.
TEST_F(LostAnswerTest, LostItemThatCannotBeCheckedIsNeverSentAgain) {
  const UncheckableItemCase cases[] = {
      {"the gross-sales query fails", true, 0, 10076, false, true},
      {"the gross-sales query fails in a card sale", true, -6, 10076, true, true},
      {"the figure matches neither, card sale", true, 1, 10066, true, true},
      {"no baseline to compare with", false, 1, 10076, false, true},
      {"no baseline, self-service", false, 1, 10076, false, false},
  };
  for (const UncheckableItemCase& c : cases) {
    SCOPED_TRACE(c.name);
    host_.Clear();
    const size_t log_before = LogEntries().size();
    zel::core::ResetOutcomeState();  // a driver that knows no gross sales yet
    boNUtilTaa = c.attended;
    if (c.baseline_known) KnowGross(10000);
    fake_.ClearCalls();
    fake_.AnswerOnce(kSale, 0);
    fake_.Answer(kGross, c.gross_code, GrossText(c.gross_after));
    host_.SetDefaultAnswer(true);
    EXPECT_FALSE(Sell(1.99, 0.333, 0.10, c.card_use));
    EXPECT_EQ(fake_.CallCount(kSale), 1);
    EXPECT_EQ(Questions(), 0u);
    EXPECT_FALSE(ToldDone());
    EXPECT_EQ(ToldUnknown("ao item 789 - CAFE"), c.attended);
    if (!c.attended) {
      EXPECT_TRUE(host_.dialogs().empty());
    }
    EXPECT_NE(stMensagemTaa.find("ao item 789 - CAFE"), std::string::npos) << stMensagemTaa;
    EXPECT_EQ(RecebeParams(sold_, "MENSAGEMTAA").AsString(), stMensagemTaa);
    EXPECT_TRUE(LoggedUnknown("ao item 789 - CAFE", log_before));
  }
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

struct UncheckableOpeningCase {
  const char* name;
  int32_t st1_at_state_check;  // 2: a receipt was already open
  int32_t flags_code;          // the fiscal-flags query after the lost answer
  int32_t flags_after;
};

// An opening whose lost answer the fiscal flags cannot check may have
// opened the receipt: in a card sale, where a failed opening is otherwise
// offered again, it is not; the operator is told to check the printed
// receipt.
TEST_F(LostAnswerTest, LostOpeningThatCannotBeCheckedIsNeverSentAgain) {
  const UncheckableOpeningCase cases[] = {
      {"the flags query fails", 0, 0, 0},
      {"closing already started", 0, 1, 3},
      {"a receipt was open before", 2, 1, 1},
  };
  for (const UncheckableOpeningCase& c : cases) {
    SCOPED_TRACE(c.name);
    host_.Clear();
    fake_.ClearCalls();
    const size_t log_before = LogEntries().size();
    fake_.SetAnswer("IBM_FI_VerificaEstadoImpressora",
                    FakeAnswer{1, {}, {6, c.st1_at_state_check, 0}});
    fake_.AnswerOnce("IBM_FI_AbreCupomMFD", 0);
    fake_.SetAnswer(kFlags, FakeAnswer{c.flags_code, {}, {c.flags_after}});
    host_.SetDefaultAnswer(true);
    EXPECT_FALSE(Open(true));
    EXPECT_EQ(fake_.CallCount("IBM_FI_AbreCupomMFD"), 1);
    EXPECT_EQ(Questions(), 0u);
    EXPECT_TRUE(ToldUnknown("abertura do cupom"));
    EXPECT_NE(stMensagemTaa.find("abertura do cupom"), std::string::npos) << stMensagemTaa;
    EXPECT_EQ(RecebeParams(opened_, "MENSAGEMTAA").AsString(), stMensagemTaa);
    EXPECT_TRUE(LoggedUnknown("abertura do cupom", log_before));
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
