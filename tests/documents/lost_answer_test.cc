// Commands whose answer is lost (code 0). Gerencial reports and linked
// slips: the fiscal flag of an open report or slip tells whether the opening
// or the closing was done. Cancellations: the day's cancellations (items) or
// the cancelled-receipt count, read before the command, tell whether it was
// done. Supplies and withdrawals: the COO read before them.
#include <algorithm>
#include <functional>
#include <string>

#include "core/core_fixture.h"
#include "zel01900/cancellations.h"
#include "zel01900/cash.h"

namespace zel::test {
namespace {

class DocumentLostAnswerTest : public CoreTest {};

struct LostDocumentCase {
  const char* entry_point;
  std::function<bool()> operation;
  int32_t flags_after;
  bool expected;
};

TEST_F(DocumentLostAnswerTest, FlagOfTheOpenDocumentTellsWhetherItWasDone) {
  fake_.Answer("IBM_FI_DataMovimento", 1, "101226");
  auto open_report = [] { return Relatorio_Gerencial_Imp("002", "K1", "K2", ""); };
  auto close_report = [] { return FechRelatGerenc("002", true, false); };
  auto open_slip = [] { return Abre_Comp_NFiscalVinc("002", "Dinheiro", "10,00", ""); };
  auto close_slip = [] { return Fecha_Comp_NFiscalVinc("002"); };
  const LostDocumentCase cases[] = {
      {"IBM_FI_RelatorioGerencial", open_report, 64, true},
      {"IBM_FI_RelatorioGerencial", open_report, 0, false},
      {"IBM_FI_FechaRelatorioGerencial", close_report, 0, true},
      {"IBM_FI_FechaRelatorioGerencial", close_report, 64, false},
      {"IBM_FI_AbreComprovanteNaoFiscalVinculado", open_slip, 64, true},
      {"IBM_FI_AbreComprovanteNaoFiscalVinculado", open_slip, 0, false},
      {"IBM_FI_FechaComprovanteNaoFiscalVinculado", close_slip, 0, true},
      {"IBM_FI_FechaComprovanteNaoFiscalVinculado", close_slip, 64, false},
  };
  for (const LostDocumentCase& c : cases) {
    SCOPED_TRACE(std::string(c.entry_point) + " flags " + std::to_string(c.flags_after));
    fake_.ClearCalls();
    host_.Clear();
    fake_.AnswerOnce(c.entry_point, 0);
    fake_.SetAnswer("IBM_FI_FlagsFiscais", FakeAnswer{1, {}, {c.flags_after}});
    EXPECT_EQ(c.operation(), c.expected);
    EXPECT_EQ(fake_.CallCount(c.entry_point), 1);
    EXPECT_EQ(fake_.CallCount("IBM_FI_FlagsFiscais"), 1);
    ASSERT_FALSE(host_.dialogs().empty());
    EXPECT_EQ(host_.dialogs().back().text.find("executou o comando") != std::string::npos,
              c.expected);
  }
}

TEST_F(DocumentLostAnswerTest, RefusalsDoNotAskTheFlags) {
  fake_.Answer("IBM_FI_FechaRelatorioGerencial", -1);
  EXPECT_FALSE(FechRelatGerenc("002", true, false));
  EXPECT_EQ(fake_.CallCount("IBM_FI_FlagsFiscais"), 0);
}

struct LostFigureCase {
  const char* entry_point;  // the command whose answer is lost
  const char* figure;       // the printer figure read before and after it
  const char* before;
  const char* after;
  std::function<bool()> operation;
  bool expected;
  bool dialogs = true;  // the operation's show switch
};

// With dialogs off (Cancela_ItGenerico never shows any) the operator is not
// told; the debug log still says what was found.
TEST_F(DocumentLostAnswerTest, FigureReadBeforeTellsWhetherItWasDone) {
  fake_.Answer("IBM_FI_NumeroCupom", 1, "000123");  // the receipt to cancel
  auto last_item = [] { return Cancela_UltimoItem(""); };
  auto some_item = [] {
    return Cancela_ItGenerico("", "00002", u"", u"", u"", u"", u"", u"", u"", 0, 0);
  };
  auto receipt = [] {
    HostVariant result = HostVariant::MakeArray({HostVariant()});
    return Cancela_Cupom_Imp({"002", true, false, HostVariant(), "0001", "001", "SER", "S"},
                             result);
  };
  auto supply = [] { return Suprimento("", "002", 50); };
  auto withdrawal = [] { return Sangria("", "002", 20); };
  const LostFigureCase cases[] = {
      {"IBM_FI_CancelaItemAnterior", "IBM_FI_Cancelamentos", "00000000001000", "00000000002000",
       last_item, true},
      {"IBM_FI_CancelaItemAnterior", "IBM_FI_Cancelamentos", "00000000001000", "00000000001000",
       last_item, false},
      {"IBM_FI_CancelaItemGenerico", "IBM_FI_Cancelamentos", "00000000000000", "00000000000350",
       some_item, true, false},
      {"IBM_FI_CancelaItemGenerico", "IBM_FI_Cancelamentos", "00000000000000", "00000000000000",
       some_item, false, false},
      {"IBM_FI_CancelaCupom", "IBM_FI_NumeroCuponsCancelados", "0004", "0005", receipt, true},
      {"IBM_FI_CancelaCupom", "IBM_FI_NumeroCuponsCancelados", "0004", "0004", receipt, false},
      {"IBM_FI_Suprimento", "IBM_FI_NumeroCupom", "000200", "000201", supply, true},
      {"IBM_FI_Suprimento", "IBM_FI_NumeroCupom", "000200", "000200", supply, false},
      {"IBM_FI_Sangria", "IBM_FI_NumeroCupom", "999999", "000001", withdrawal, true},
      {"IBM_FI_Sangria", "IBM_FI_NumeroCupom", "000200", "000200", withdrawal, false},
  };
  for (const LostFigureCase& c : cases) {
    SCOPED_TRACE(std::string(c.entry_point) + " " + c.before + " -> " + c.after);
    fake_.ClearCalls();
    host_.Clear();
    const size_t log_before = LogEntries().size();
    fake_.AnswerOnce(c.entry_point, 0);
    fake_.Answer(c.figure, 1, c.after);
    fake_.AnswerOnce(c.figure, 1, c.before);
    EXPECT_EQ(c.operation(), c.expected);
    EXPECT_EQ(fake_.CallCount(c.entry_point), 1);  // never sent twice
    bool told_done = false;
    for (const auto& dialog : host_.dialogs()) {
      told_done |= dialog.text.find("executou o comando") != std::string::npos;
    }
    EXPECT_EQ(told_done, c.expected && c.dialogs);
    if (!c.dialogs) {
      EXPECT_TRUE(host_.dialogs().empty());
    }
    const std::vector<std::string> log = LogEntries();
    EXPECT_EQ(std::count_if(log.begin() + static_cast<std::ptrdiff_t>(log_before), log.end(),
                            [](const std::string& line) {
                              return line.find("o comando foi executado") != std::string::npos;
                            }),
              c.expected ? 1 : 0);
  }
}

TEST_F(DocumentLostAnswerTest, UnreadableFigureLeavesTheFailure) {
  // Without the figure before the command nothing can be told: the lost
  // answer is a failure, as any.
  fake_.Answer("IBM_FI_Cancelamentos", 0);
  fake_.AnswerOnce("IBM_FI_CancelaItemAnterior", 0);
  EXPECT_FALSE(Cancela_UltimoItem(""));
  EXPECT_EQ(fake_.CallCount("IBM_FI_Cancelamentos"), 1);
}

}  // namespace
}  // namespace zel::test
