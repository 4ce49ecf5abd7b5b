// Gerencial reports and linked slips whose answer is lost (code 0): the
// fiscal flag of an open report or slip tells whether the opening or the
// closing was done.
#include <functional>
#include <string>

#include "core/core_fixture.h"

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

}  // namespace
}  // namespace zel::test
