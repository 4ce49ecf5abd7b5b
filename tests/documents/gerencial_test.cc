// The gerencial-report cycle, Relatorio_Generico, Conferencia_Formatada and
// the record of printed documents, against recording fakes.
#include <functional>
#include <string>
#include <vector>

#include "core/core_fixture.h"
#include "runtime/datetime.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

std::string Line(size_t size) { return std::string(size - 1, 'x') + "\n"; }

class GerencialTest : public CoreTest {
 protected:
  void SetUp() override {
    fake_.Answer("IBM_FI_DataMovimento", 1, "091226");
    fake_.Answer("IBM_FI_NumeroCupom", 1, "000123");
    fake_.Answer("IBM_FI_NumeroOperacoesNaoFiscais", 1, "000045");
    fake_.Answer("IBM_FI_ContadorRelatoriosGerenciaisMFD", 1, "000007");
    fake_.Answer("IBM_FI_ContadorComprovantesCreditoMFD", 1, "000003");
  }

  // The texts fed to the printer, in order.
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
};

TEST_F(GerencialTest, OpeningRecordsTheKeysWithTheMovementDate) {
  EXPECT_TRUE(Relatorio_Gerencial_Imp("007", "K1", "K2", "spare"));
  const std::vector<FakeCall> opens = fake_.CallsTo("IBM_FI_RelatorioGerencial");
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].args[0], " ");
  ASSERT_EQ(host_.cer_calls().size(), 1u);
  EXPECT_EQ(host_.cer_calls()[0].key1, "K1");
  EXPECT_EQ(host_.cer_calls()[0].key2, "K2");
  EXPECT_EQ(host_.cer_calls()[0].movement_date, EncodeDate(2026, 12, 9));
  EXPECT_EQ(LogEntries()[0], "IBM_FI_RelatorioGerencial");
}

TEST_F(GerencialTest, RefusedOpeningIsShownAndRecordsNothing) {
  fake_.Answer("IBM_FI_RelatorioGerencial", -1);
  EXPECT_FALSE(Relatorio_Gerencial_Imp("007", "K1", "K2", ""));
  EXPECT_TRUE(host_.cer_calls().empty());
  EXPECT_EQ(fake_.CallCount("IBM_FI_DataMovimento"), 0);
  ASSERT_FALSE(host_.dialogs().empty());  // attended: the refusal is shown
  EXPECT_EQ(host_.dialogs()[0].colour_scheme, "007");
}

TEST_F(GerencialTest, FeedSendsTheTextOrANullPointer) {
  EXPECT_TRUE(Usa_CompNFis("007", "linha\n"));
  EXPECT_TRUE(Usa_CompNFis("007", ""));
  const std::vector<FakeCall> feeds = fake_.CallsTo("IBM_FI_UsaComprovanteNaoFiscalVinculado");
  ASSERT_EQ(feeds.size(), 2u);
  EXPECT_EQ(feeds[0].args[0], "linha\n");
  EXPECT_TRUE(feeds[1].IsNull(0));
  EXPECT_EQ(LogEntries()[0], "IBM_FI_UsaComprovanteNaoFiscalVinculado: linha\n");
}

TEST_F(GerencialTest, CloseHandsItsSwitchesToTheAnalysis) {
  fake_.Answer("IBM_FI_FechaRelatorioGerencial", -1);
  EXPECT_FALSE(FechRelatGerenc("007", false, false));
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_FALSE(FechRelatGerenc("007", true, false));
  EXPECT_EQ(host_.dialogs().size(), 1u);
  EXPECT_EQ(host_.dialogs()[0].colour_scheme, "");  // the scheme is not used
}

TEST_F(GerencialTest, GenericReportFeedsChunksAndRecordsRg) {
  const std::string text = Line(200) + Line(200) + Line(200) + Line(200);
  EXPECT_TRUE(Relatorio_Generico("007", "K1", "K2", text, "DOC9", ""));
  EXPECT_EQ(Feeds(), (Strings{Line(200) + Line(200) + Line(200), Line(200)}));
  EXPECT_EQ(fake_.Names().front(), "IBM_FI_RelatorioGerencial");
  ASSERT_EQ(host_.doc_calls().size(), 1u);
  EXPECT_EQ(host_.doc_calls()[0].doc_type, "RG");
  EXPECT_EQ(host_.doc_calls()[0].doc_key, "DOC9");
}

TEST_F(GerencialTest, GenericReportOfAnEmptyTextIsOpenedClosedAndRecorded) {
  EXPECT_TRUE(Relatorio_Generico("007", "K1", "K2", "", "DOC9", ""));
  EXPECT_TRUE(Feeds().empty());
  EXPECT_EQ(fake_.CallCount("IBM_FI_FechaRelatorioGerencial"), 1);
  EXPECT_EQ(DocTypes(), (Strings{"RG"}));
}

TEST_F(GerencialTest, RefusedCloseRecordsNothingEvenAfterAFailedOpening) {
  fake_.Answer("IBM_FI_RelatorioGerencial", -1);
  fake_.Answer("IBM_FI_FechaRelatorioGerencial", -1);
  EXPECT_FALSE(Relatorio_Generico("007", "K1", "K2", "a\n", "DOC9", ""));
  EXPECT_EQ(Feeds(), (Strings{"a\n"}));  // feeding goes on regardless
  std::string numero;
  EXPECT_FALSE(Conferencia_Formatada("007", "K1", "K2", "DOC9", "", numero, "b\n"));
  EXPECT_EQ(numero, "000123");
  EXPECT_TRUE(host_.doc_calls().empty());
}

// A refused feed leaves the text unprinted: the feeding stops, the report
// is still closed, and nothing is recorded as printed.
TEST_F(GerencialTest, RefusedFeedIsAFailureAndRecordsNothing) {
  const std::string text = Line(300) + Line(300) + Line(300);  // two chunks
  struct Case {
    const char* name;
    std::function<bool()> run;
  };
  std::string numero;
  const Case cases[] = {
      {"Relatorio_Generico", [&] { return Relatorio_Generico("007", "K1", "K2", text, "D", ""); }},
      {"Cupom_Troca", [&] { return Cupom_Troca("007", "K1", "K2", text); }},
      {"Conferencia_Formatada",
       [&] { return Conferencia_Formatada("007", "K1", "K2", "D", "", numero, text); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake_.ClearCalls();
    host_.Clear();
    fake_.AnswerOnce("IBM_FI_UsaComprovanteNaoFiscalVinculado", -1);
    EXPECT_FALSE(c.run());
    EXPECT_EQ(Feeds().size(), 1u);
    EXPECT_EQ(fake_.CallCount("IBM_FI_FechaRelatorioGerencial"), 1);
    EXPECT_TRUE(host_.doc_calls().empty());
    // The same text, every feed taken, is printed and recorded as before.
    fake_.ClearCalls();
    EXPECT_TRUE(c.run());
    EXPECT_EQ(Feeds().size(), 2u);
  }
}

TEST_F(GerencialTest, ConferenceReturnsTheNumberReadAfterOpeningAndRecordsCm) {
  std::string numero = "old";
  EXPECT_TRUE(Conferencia_Formatada("007", "K1", "K2", "DOC5", "", numero, "conf\n"));
  EXPECT_EQ(numero, "000123");
  const Strings names = fake_.Names();
  ASSERT_GE(names.size(), 4u);
  EXPECT_EQ(names[0], "IBM_FI_RelatorioGerencial");
  EXPECT_EQ(Feeds(), (Strings{"conf\n"}));
  EXPECT_EQ(DocTypes(), (Strings{"CM"}));
  EXPECT_EQ(host_.doc_calls()[0].doc_key, "DOC5");
}

TEST_F(GerencialTest, ConferenceIsFalseWhenSomethingRaises) {
  host_.FailRecords("host down");  // GravaCER raises after the opening
  std::string numero = "old";
  EXPECT_FALSE(Conferencia_Formatada("007", "K1", "K2", "DOC5", "", numero, "conf\n"));
  EXPECT_EQ(numero, "old");
}

TEST_F(GerencialTest, DocumentRecordReadsTheCountersOfItsKind) {
  struct Case {
    std::string type;
    std::string operations, report_counter, slip_counter;
  };
  const std::vector<Case> cases = {
      {"RG", "000045", "000007", ""},
      {"CM", "000045", "000007", ""},
      {"RV", "000045", "000007", ""},
      {"CC", "000045", "", "000003"},
      {"NC", "", "", ""},
      {"XX", "000045", "", ""},
  };
  for (const Case& c : cases) {
    host_.Clear();
    fake_.ClearCalls();
    GravaDocumentosNaoFiscais("KEY", "007", c.type, "extra");
    ASSERT_EQ(host_.doc_calls().size(), 1u) << c.type;
    const DocCall& doc = host_.doc_calls()[0];
    EXPECT_EQ(doc.doc_key, "KEY") << c.type;
    EXPECT_EQ(doc.receipt_number, "000123") << c.type;
    EXPECT_EQ(doc.non_fiscal_operations, c.operations) << c.type;
    EXPECT_EQ(doc.report_counter, c.report_counter) << c.type;
    EXPECT_EQ(doc.slip_counter, c.slip_counter) << c.type;
    EXPECT_EQ(doc.doc_type, c.type);
    EXPECT_EQ(doc.extra, "extra") << c.type;
    EXPECT_EQ(doc.record.recorded_at, EncodeDateTime(2026, 12, 10, 10, 0, 0, 0)) << c.type;
    EXPECT_EQ(doc.record.movement_date, EncodeDate(2026, 12, 9)) << c.type;
    EXPECT_EQ(doc.record.spare, "") << c.type;
    EXPECT_EQ(fake_.CallCount("IBM_FI_NumeroOperacoesNaoFiscais"), c.type == "NC" ? 0 : 1)
        << c.type;
  }
}

TEST_F(GerencialTest, DocumentRecordFailureIsShownAndSwallowed) {
  host_.FailRecords("sem banco");
  GravaDocumentosNaoFiscais("KEY", "007", "RG", "");
  ASSERT_EQ(host_.dialogs().size(), 1u);
  EXPECT_EQ(host_.dialogs()[0].text, "sem banco");
  EXPECT_EQ(host_.dialogs()[0].kind, 3);
  EXPECT_FALSE(host_.dialogs()[0].IsQuestion());
  EXPECT_EQ(host_.dialogs()[0].colour_scheme, "007");
}

}  // namespace
}  // namespace zel::test
