// The drawer, the cutter and the daylight-saving switch: what each sends,
// logs and answers, and which conditions reach the operator.
#include <string>
#include <vector>

#include "core/core_fixture.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

class SmallCommandsTest : public CoreTest {
 protected:
  // A query that writes `value` into its integer.
  void AnswerInt(const char* entry_point, int32_t code, std::vector<int32_t> ints) {
    fake_.SetAnswer(entry_point, FakeAnswer{code, {}, std::move(ints)});
  }
};

TEST_F(SmallCommandsTest, DrawerStateIsOpenOnlyForStateOne) {
  struct Case {
    const char* label;
    int32_t code;
    std::vector<int32_t> state;  // what the printer writes; none: nothing
    const char* expected;
  };
  for (const Case& c :
       {Case{"open", 1, {1}, "01"}, Case{"closed", 1, {0}, "00"}, Case{"other state", 1, {2}, "00"},
        Case{"nothing written", 1, {}, "01"}, Case{"refused", -1, {0}, ""}}) {
    SCOPED_TRACE(c.label);
    fake_.ClearCalls();
    AnswerInt("IBM_FI_VerificaEstadoGaveta", c.code, c.state);
    inRetorno = 77;
    EXPECT_EQ(Estado_Gaveta_Imp("x"), c.expected);
    // The state starts at 1 and lands in inRetorno.
    EXPECT_EQ(fake_.CallsTo("IBM_FI_VerificaEstadoGaveta")[0].args, Strings{"1"});
    const int32_t state = c.state.empty() ? 1 : c.state[0];
    EXPECT_EQ(inRetorno, state);
    EXPECT_EQ(LogEntries()[c.code == 1 ? LogEntries().size() - 1 : LogEntries().size() - 2],
              "IBM_FI_VerificaEstadoGaveta: " + std::to_string(state));
  }
  // The refusal was shown.
  EXPECT_EQ(host_.DialogTexts(), Strings{"Erro de execu\347\343o na fun\347\343o."});
}

TEST_F(SmallCommandsTest, DrawerStateQueryCancelsAReceiptLeftOpen) {
  AnswerInt("IBM_FI_VerificaEstadoGaveta", 1, {0});
  fake_.AnswerStatusOnce(6, 2, 0);
  EXPECT_EQ(Estado_Gaveta_Imp(""), "00");
  EXPECT_EQ(fake_.CallCount("IBM_FI_CancelaCupom"), 1);
  EXPECT_TRUE(host_.dialogs().empty());
}

TEST_F(SmallCommandsTest, OpeningTheDrawer) {
  EXPECT_TRUE(Abre_Gaveta_Imp("004", false));
  EXPECT_EQ(fake_.Names(), (Strings{"IBM_FI_AcionaGaveta", "IBM_FI_RetornoImpressora"}));
  EXPECT_EQ(LogEntries(), Strings{"IBM_FI_AcionaGaveta"});

  boNUtilTaa = false;  // shown whatever the till
  fake_.Answer("IBM_FI_AcionaGaveta", -6);
  EXPECT_FALSE(Abre_Gaveta_Imp("004", true));
  EXPECT_EQ(host_.DialogTexts(), Strings{"Impressora desligada ou desconectada."});
  EXPECT_EQ(host_.dialogs()[0].colour_scheme, "004");
}

TEST_F(SmallCommandsTest, CutterSendsTheModeAndShowsNothing) {
  for (int32_t mode : {0, 1}) {
    fake_.ClearCalls();
    EXPECT_TRUE(Guilhotina("x", mode));
    EXPECT_EQ(fake_.CallsTo("IBM_FI_AcionaGuilhotinaMFD")[0].args, Strings{std::to_string(mode)});
  }
  EXPECT_EQ(LogEntries().back(), "IBM_FI_AcionaGuilhotinaMFD");
  fake_.Answer("IBM_FI_AcionaGuilhotinaMFD", -2);
  EXPECT_FALSE(Guilhotina("x", 7));
  EXPECT_TRUE(host_.dialogs().empty());
}

TEST_F(SmallCommandsTest, DaylightSavingIsFlagFour) {
  struct Case {
    int32_t code;
    int32_t flags;
    bool expected;
  };
  // The flag counts whatever the return analysis said.
  for (const Case& c : {Case{1, 5, true}, Case{1, 3, false}, Case{1, 4, true}, Case{1, 0, false},
                        Case{1, 255 - 4, false}, Case{-1, 4, true}}) {
    SCOPED_TRACE(testing::Message() << c.code << " " << c.flags);
    fake_.ClearCalls();
    AnswerInt("IBM_FI_FlagsFiscais", c.code, {c.flags});
    EXPECT_EQ(Estado_HorVerao("x"), c.expected);
    EXPECT_EQ(fake_.CallsTo("IBM_FI_FlagsFiscais")[0].args, Strings{"0"});
  }
  EXPECT_EQ(LogEntries()[0], "IBM_FI_FlagsFiscais\r\nRetorno da Impressora : 5");
  EXPECT_EQ(host_.DialogTexts(), Strings{"Erro de execu\347\343o na fun\347\343o."});
}

TEST_F(SmallCommandsTest, SwitchingDaylightSavingKeepsTheCode) {
  EXPECT_TRUE(Muda_Horario("x"));
  EXPECT_EQ(inRetorno, 1);
  EXPECT_EQ(LogEntries(), Strings{"IBM_FI_ProgramaHorarioVerao"});
  boNUtilTaa = true;
  fake_.Answer("IBM_FI_ProgramaHorarioVerao", -1);
  fake_.AnswerStatusOnce(6, 0, 1);
  EXPECT_FALSE(Muda_Horario("x"));
  EXPECT_EQ(inRetorno, -1);
  EXPECT_TRUE(host_.dialogs().empty());
}

}  // namespace
}  // namespace zel::test
