// ImprimeTef against recording fakes: which document each mode opens and
// records, which copies print, the four-line feeds, the retries and the
// ends of slip texts.
#include <string>
#include <vector>

#include "core/core_fixture.h"
#include "runtime/string_list.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

StringList List(const Strings& texts) {
  StringList list;
  for (const std::string& t : texts) list.Add(t);
  return list;
}

class CardSlipsTest : public CoreTest {
 protected:
  void SetUp() override { fake_.Answer("IBM_FI_NumeroCupom", 1, "000123"); }

  bool Print(const StringList* first, const StringList* second, int mode, const std::string& linked,
             const std::string& terminal, double value = 1234.5) {
    return ImprimeTef("DOC", "K1", "K2", "007", first, second, nullptr, nullptr, "999999",
                      "CARTAO CREDITO VISA", "", 0.0, value, mode, linked, terminal);
  }

  Strings Feeds() const {
    Strings texts;
    for (const FakeCall& c : fake_.CallsTo("IBM_FI_UsaComprovanteNaoFiscalVinculado")) {
      texts.push_back(c.args[0]);
    }
    return texts;
  }

  Strings DocTypes() const {
    Strings types;
    for (const DocCall& c : host_.doc_calls()) types.push_back(c.doc_type);
    return types;
  }

  // The document calls: openings and closings, in order.
  Strings DocumentCalls() const {
    Strings names;
    for (const std::string& n : fake_.Names()) {
      if (n == "IBM_FI_RelatorioGerencial" || n == "IBM_FI_AbreComprovanteNaoFiscalVinculado" ||
          n == "IBM_FI_FechaRelatorioGerencial" ||
          n == "IBM_FI_FechaComprovanteNaoFiscalVinculado") {
        names.push_back(n);
      }
    }
    return names;
  }
};

constexpr const char* kReport = "IBM_FI_RelatorioGerencial";
constexpr const char* kReportClose = "IBM_FI_FechaRelatorioGerencial";
constexpr const char* kLinked = "IBM_FI_AbreComprovanteNaoFiscalVinculado";
constexpr const char* kLinkedClose = "IBM_FI_FechaComprovanteNaoFiscalVinculado";

TEST_F(CardSlipsTest, ModeLinkFlagAndTerminalChooseDocumentAndCopies) {
  struct Case {
    const char* name;
    int mode;
    std::string linked, terminal;
    Strings documents;
    std::string doc_type;
    Strings feeds;
  };
  const std::vector<Case> cases = {
      {"mode 2: a report whatever the flag",
       2,
       "N",
       "PDV",
       {kReport, kReportClose},
       "RG",
       {"1a\n", "1b\n", "2a\n", "2b\n"}},
      {"linked: first and second copies",
       1,
       "N",
       "PDV",
       {kLinked, kLinkedClose},
       "CC",
       {"1a\n", "1b\n", "2a\n", "2b\n"}},
      {"not linked: a report with the second copies",
       1,
       "S",
       "PDV",
       {kReport, kReportClose},
       "CC",
       {"1b\n", "2b\n"}},
      {"TAA: first copies only", 1, "N", "TAA", {kLinked, kLinkedClose}, "CC", {"1a\n", "2a\n"}},
      {"APC: first copies only", 0, "N", "APC", {kLinked, kLinkedClose}, "CC", {"1a\n", "2a\n"}},
  };
  const StringList first = List({"1a\n", "2a\n"});
  const StringList second = List({"1b\n", "2b\n"});
  for (const Case& c : cases) {
    fake_.ClearCalls();
    host_.Clear();
    EXPECT_TRUE(Print(&first, &second, c.mode, c.linked, c.terminal)) << c.name;
    EXPECT_EQ(DocumentCalls(), c.documents) << c.name;
    EXPECT_EQ(DocTypes(), Strings{c.doc_type}) << c.name;
    EXPECT_EQ(Feeds(), c.feeds) << c.name;
  }
}

TEST_F(CardSlipsTest, LinkedReceiptNamesThePrintersReceiptAndTheMoneyField) {
  const StringList first = List({"via 1\n"});
  EXPECT_TRUE(Print(&first, nullptr, 1, "N", "PDV", 1234.5));
  const std::vector<FakeCall> opens = fake_.CallsTo(kLinked);
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].args, (Strings{"CARTAO CREDITO V", "00000000123450", "000123"}));
  EXPECT_EQ(host_.doc_calls()[0].doc_key, "DOC");
  // The pause before the printer check, no second copy.
  EXPECT_EQ(sandbox_.total_delay_ms(), 200);
}

TEST_F(CardSlipsTest, SecondCopyFollowsAPause) {
  const StringList first = List({"a\n", "b\n"});
  const StringList second = List({"c\n"});
  EXPECT_TRUE(Print(&first, &second, 1, "N", "PDV"));
  // Transaction 2 has no second copy.
  EXPECT_EQ(Feeds(), (Strings{"a\n", "c\n", "b\n"}));
  EXPECT_EQ(sandbox_.total_delay_ms(), 200 + 400);
}

TEST_F(CardSlipsTest, SlipGoesOutFourLinesPerFeedAndEndsAFragmentAsALine) {
  std::string nine;
  for (int i = 1; i <= 9; ++i) nine += std::to_string(i) + "\n";
  const StringList first = List({nine, "x\ny"});
  EXPECT_TRUE(Print(&first, nullptr, 1, "N", "PDV"));
  EXPECT_EQ(Feeds(), (Strings{"1\n2\n3\n4\n", "5\n6\n7\n8\n", "9\n", "x\ny\n"}));
}

TEST_F(CardSlipsTest, FailedFeedDropsTheRestOfThatCopyOnly) {
  std::string nine;
  for (int i = 1; i <= 9; ++i) nine += std::to_string(i) + "\n";
  const StringList first = List({nine, "next\n"});
  const StringList second = List({"second 1\n", "second 2\n"});
  fake_.AnswerOnce("IBM_FI_UsaComprovanteNaoFiscalVinculado", 1);
  fake_.AnswerOnce("IBM_FI_UsaComprovanteNaoFiscalVinculado", -1);
  // Transaction 1 stops after its refused second feed and gets no second
  // copy; transaction 2 prints whole; the receipt is closed; the host learns
  // that not every slip printed.
  EXPECT_FALSE(Print(&first, &second, 1, "N", "PDV"));
  EXPECT_EQ(Feeds(), (Strings{"1\n2\n3\n4\n", "5\n6\n7\n8\n", "next\n", "second 2\n"}));
  EXPECT_EQ(fake_.CallCount(kLinkedClose), 1);

  // A refused second copy is a failure too.
  fake_.ClearCalls();
  fake_.AnswerOnce("IBM_FI_UsaComprovanteNaoFiscalVinculado", 1);
  fake_.AnswerOnce("IBM_FI_UsaComprovanteNaoFiscalVinculado", 1);
  fake_.AnswerOnce("IBM_FI_UsaComprovanteNaoFiscalVinculado", 1);
  fake_.AnswerOnce("IBM_FI_UsaComprovanteNaoFiscalVinculado", -1);
  EXPECT_FALSE(Print(&first, &second, 1, "N", "PDV"));
  EXPECT_TRUE(Print(&first, &second, 1, "N", "PDV"));
}

TEST_F(CardSlipsTest, NoFirstCopiesOpensNothing) {
  const StringList empty;
  const StringList second = List({"c\n"});
  EXPECT_FALSE(Print(&empty, &second, 1, "N", "PDV"));
  EXPECT_FALSE(Print(nullptr, &second, 1, "N", "PDV"));
  EXPECT_TRUE(DocumentCalls().empty());
  EXPECT_TRUE(host_.doc_calls().empty());
}

TEST_F(CardSlipsTest, PrinterNotReadyAsksTheAttendedOperator) {
  const StringList first = List({"a\n"});
  fake_.AnswerOnce("IBM_FI_VerificaEstadoImpressora", -1);
  host_.QueueAnswers({true});
  EXPECT_TRUE(Print(&first, nullptr, 1, "N", "PDV"));
  EXPECT_EQ(fake_.CallCount("IBM_FI_VerificaEstadoImpressora"), 2);
  EXPECT_EQ(Feeds(), (Strings{"a\n"}));

  fake_.ClearCalls();
  host_.Clear();
  fake_.AnswerOnce("IBM_FI_VerificaEstadoImpressora", -1);
  host_.QueueAnswers({false});
  EXPECT_FALSE(Print(&first, nullptr, 1, "N", "PDV"));
  EXPECT_TRUE(DocumentCalls().empty());

  // A self-service terminal does not ask.
  fake_.ClearCalls();
  host_.Clear();
  boNUtilTaa = false;
  fake_.AnswerOnce("IBM_FI_VerificaEstadoImpressora", -1);
  EXPECT_FALSE(Print(&first, nullptr, 1, "N", "PDV"));
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_TRUE(DocumentCalls().empty());
}

TEST_F(CardSlipsTest, RefusedLinkedReceiptMayBeRetriedAsAReport) {
  const StringList first = List({"a\n"});
  const StringList second = List({"b\n"});
  fake_.AnswerOnce(kLinked, -1);
  host_.QueueAnswers({true});
  EXPECT_TRUE(Print(&first, &second, 1, "N", "PDV"));
  EXPECT_EQ(DocumentCalls(), (Strings{kLinked, kReport, kReportClose}));
  EXPECT_EQ(DocTypes(), (Strings{"RG"}));
  EXPECT_EQ(Feeds(), (Strings{"a\n", "b\n"}));
}

TEST_F(CardSlipsTest, RefusedOpeningDeclinedOrUnattendedPrintsNothing) {
  const StringList first = List({"a\n"});
  fake_.AnswerOnce(kLinked, -1);
  host_.QueueAnswers({false});
  EXPECT_FALSE(Print(&first, nullptr, 1, "N", "PDV"));
  EXPECT_TRUE(Feeds().empty());

  fake_.ClearCalls();
  host_.Clear();
  boNUtilTaa = false;
  fake_.AnswerOnce(kReport, -1);
  EXPECT_FALSE(Print(&first, nullptr, 2, "N", "PDV"));
  EXPECT_TRUE(Feeds().empty());
  EXPECT_TRUE(host_.doc_calls().empty());
  EXPECT_TRUE(host_.dialogs().empty());
}

// An opening whose answer is lost is checked against the fiscal flags. One
// they show not done is offered again as a gerencial report; one they cannot
// check may have opened the document and is not tried again, even for an
// operator who says yes to anything: the operator is told to check the
// printed receipt, the text is in stMensagemTaa and the debug log, and
// nothing prints.
TEST_F(CardSlipsTest, LostOpeningThatCannotBeCheckedIsNotTriedAgain) {
  struct Case {
    const char* name;
    int mode;
    const char* opening;
    int32_t flags_code;  // the fiscal-flags query after the lost answer
    bool tried_again;
  };
  const Case cases[] = {
      {"linked receipt, flags unread", 1, kLinked, 0, false},
      {"gerencial report, flags unread", 2, kReport, -6, false},
      {"linked receipt not opened: offered again", 1, kLinked, 1, true},
  };
  const StringList first = List({"a\n"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake_.ClearCalls();
    host_.Clear();
    stMensagemTaa.clear();
    const size_t log_before = LogEntries().size();
    host_.SetDefaultAnswer(true);
    fake_.AnswerOnce(c.opening, 0);
    fake_.SetAnswer("IBM_FI_FlagsFiscais", FakeAnswer{c.flags_code, {}, {0}});
    EXPECT_EQ(Print(&first, nullptr, c.mode, "N", "PDV"), c.tried_again);
    size_t questions = 0;
    bool told = false;
    for (const DialogCall& d : host_.dialogs()) {
      questions += d.IsQuestion() ? 1 : 0;
      told |= d.text.find("abertura do comprovante") != std::string::npos &&
              d.text.find("confira o cupom impresso") != std::string::npos;
    }
    bool logged = false;
    const Strings log = LogEntries();
    for (size_t i = log_before; i < log.size(); ++i) {
      logged |= log[i].rfind("ERRO!!! ", 0) == 0 &&
                log[i].find("abertura do comprovante") != std::string::npos;
    }
    if (c.tried_again) {
      EXPECT_EQ(DocumentCalls(), (Strings{kLinked, kReport, kReportClose}));
      EXPECT_EQ(questions, 1u);
      EXPECT_FALSE(told);
      EXPECT_FALSE(logged);
    } else {
      EXPECT_EQ(DocumentCalls(), Strings{c.opening});
      EXPECT_TRUE(Feeds().empty());
      EXPECT_TRUE(DocTypes().empty());
      EXPECT_EQ(questions, 0u);
      EXPECT_TRUE(told);
      EXPECT_NE(stMensagemTaa.find("abertura do comprovante"), std::string::npos) << stMensagemTaa;
      EXPECT_TRUE(logged);
    }
  }
}

TEST_F(CardSlipsTest, LinkedReceiptOperationsSendTheirArguments) {
  EXPECT_TRUE(Abre_Comp_NFiscalVinc("007", "Cartao", "00000000001000", "000123"));
  EXPECT_TRUE(Fecha_Comp_NFiscalVinc("007"));
  EXPECT_TRUE(Cupom_NFiscNVinc("007", "02", "00000000001000", ""));
  const std::vector<FakeCall> receipts = fake_.CallsTo("IBM_FI_RecebimentoNaoFiscal");
  ASSERT_EQ(receipts.size(), 1u);
  EXPECT_EQ(receipts[0].args[1], "00000000001000");
  EXPECT_TRUE(receipts[0].IsNull(2));
  EXPECT_EQ(LogEntries(),
            (Strings{"IBM_FI_AbreComprovanteNaoFiscalVinculado : Cartao - 00000000001000 - 000123",
                     "IBM_FI_FechaComprovanteNaoFiscalVinculado",
                     // The COO before the receipt, against a lost answer.
                     "IBM_FI_NumeroCupom\r\nRetorno da Impressora : 000123",
                     "IBM_FI_RecebimentoNaoFiscal : 02 - 00000000001000 - "}));
}

}  // namespace
}  // namespace zel::test
