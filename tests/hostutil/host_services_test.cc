#include "hostutil/host_services.h"

#include <gtest/gtest.h>

#include "runtime/host_error.h"
#include "support/recording_host.h"

namespace zel {
namespace {

TEST(HostServicesTest, WithoutAHandlerQuestionsAreAnsweredNoAndCallsRemembered) {
  DefaultHandlers().ClearCalls();
  EXPECT_FALSE(Mensagem("Imprimir novamente?", "", "N", "S", kDialogWarning, "", "001", 0));
  EXPECT_FALSE(Mensagem("Aviso", "", "N", "N", kDialogError, "", "001", 0));
  GravaCER("k1", "k2", 45296.0);
  setDocNaoFiscaisECF(u"DOC1", u"000123", u"", u"", u"", u"RG", u"", 45296.5, 45296.0, "");
  EXPECT_EQ(DefaultHandlers().Calls(),
            (std::deque<std::string>{"Imprimir novamente?", "Aviso", "GravaCER k1 k2",
                                     "setDocNaoFiscaisECF RG DOC1"}));
}

TEST(HostServicesTest, DefaultHandlersKeepOnlyTheMostRecentCalls) {
  DefaultHandlers().ClearCalls();
  for (size_t i = 0; i < DefaultHostHandlers::kMaxCalls + 5; ++i) {
    Mensagem(std::to_string(i), "", "N", "N", 0, "", "001", 0);
  }
  ASSERT_EQ(DefaultHandlers().Calls().size(), DefaultHostHandlers::kMaxCalls);
  EXPECT_EQ(DefaultHandlers().Calls().front(), "5");
}

TEST(RecordingHostTest, RecordsDialogsAndAnswersQuestionsFromTheScript) {
  RecordingHost host;
  host.QueueAnswers({true, false, true});
  EXPECT_TRUE(Mensagem("Imprimir novamente?", "", "N", "S", kDialogWarning, "", "002", 0));
  EXPECT_FALSE(Mensagem("Sem papel", "", "N", "N", kDialogError, "", "002", 0));  // notice
  EXPECT_FALSE(Mensagem("De novo?", "", "N", "S", kDialogWarning, "", "002", 0));
  EXPECT_TRUE(Mensagem("Recompor?", "", "N", "S", kDialogWarning, "", "002", 0));
  EXPECT_FALSE(Mensagem("Mais?", "", "N", "S", kDialogWarning, "", "002", 0));  // script used up
  host.SetDefaultAnswer(true);
  EXPECT_TRUE(Mensagem("Sempre?", "", "N", "S", kDialogWarning, "", "002", 0));
  EXPECT_FALSE(Mensagem("Aviso", "", "N", "N", kDialogError, "", "002", 0));
  ASSERT_EQ(host.dialogs().size(), 7u);
  const DialogCall& notice = host.dialogs()[1];
  EXPECT_EQ(notice.text, "Sem papel");
  EXPECT_FALSE(notice.IsQuestion());
  EXPECT_EQ(notice.kind, kDialogError);
  EXPECT_EQ(notice.colour_scheme, "002");
  EXPECT_EQ(notice.flag, "N");
  EXPECT_EQ(host.DialogTexts(),
            (std::vector<std::string>{"Imprimir novamente?", "Sem papel", "De novo?", "Recompor?",
                                      "Mais?", "Sempre?", "Aviso"}));
}

TEST(RecordingHostTest, RecordsDocumentServicesAndRestoresThePreviousHandlers) {
  {
    RecordingHost outer;
    {
      RecordingHost inner;
      GravaCER("chave1", "chave2", 45296.0);
      setDocNaoFiscaisECF(u"DOC1", u"000123", u"0045", u"0012", u"", u"RG", u"x", 45296.5, 45296.0,
                          "");
      ASSERT_EQ(inner.cer_calls().size(), 1u);
      EXPECT_EQ(inner.cer_calls()[0].key2, "chave2");
      EXPECT_EQ(inner.cer_calls()[0].movement_date, 45296.0);
      ASSERT_EQ(inner.doc_calls().size(), 1u);
      const DocCall& doc = inner.doc_calls()[0];
      EXPECT_EQ(doc.doc_key, "DOC1");
      EXPECT_EQ(doc.receipt_number, "000123");
      EXPECT_EQ(doc.non_fiscal_operations, "0045");
      EXPECT_EQ(doc.report_counter, "0012");
      EXPECT_EQ(doc.slip_counter, "");
      EXPECT_EQ(doc.doc_type, "RG");
      EXPECT_EQ(doc.extra, "x");
      EXPECT_EQ(doc.record.recorded_at, 45296.5);
      EXPECT_EQ(doc.record.movement_date, 45296.0);
    }
    EXPECT_EQ(&CurrentHostHandlers(), &outer);
    EXPECT_TRUE(outer.cer_calls().empty());
  }
  EXPECT_EQ(&CurrentHostHandlers(), &DefaultHandlers());
}

TEST(RecordingHostTest, InjectedRecordFailuresReachTheCaller) {
  RecordingHost host;
  host.FailRecords("Servidor indispon\xEDvel");
  EXPECT_THROW(GravaCER("a", "b", 0), HostError);
  EXPECT_THROW(setDocNaoFiscaisECF(u"", u"", u"", u"", u"", u"NC", u"", 0, 0, ""), HostError);
  host.FailRecords(std::nullopt);
  EXPECT_NO_THROW(GravaCER("a", "b", 0));
  EXPECT_EQ(host.cer_calls().size(), 2u);
}

}  // namespace
}  // namespace zel
