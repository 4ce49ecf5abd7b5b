// The ten counter queries: buffer width, log line, return analysis flags and
// the next-reduction number.
#include <functional>
#include <string>
#include <vector>

#include "core/core_fixture.h"
#include "runtime/host_error.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

struct CounterCase {
  const char* entry_point;
  std::function<bool(const std::string&, std::string&)> query;
  size_t width;
  bool keeps_code;
  bool cancels_open_receipt;
};

std::vector<CounterCase> Counters() {
  return {
      {"IBM_FI_ContadorCupomFiscalMFD", ContadorCupomFiscalMFD, 6, true, false},
      {"IBM_FI_NumeroSubstituicoesProprietario", NumeroSubstituicoesProprietario, 4, true, true},
      {"IBM_FI_NumeroOperacoesNaoFiscais", NumeroOperacoesNaoFiscais, 6, false, true},
      {"IBM_FI_VendaBruta", VendaBruta, 18, false, true},
      {"IBM_FI_Descontos", Descontos, 14, false, true},
      {"IBM_FI_Cancelamentos", Cancelamentos, 14, false, true},
      {"IBM_FI_NumeroIntervencoes", NumeroIntervencoes, 4, false, true},
      {"IBM_FI_ContadorRelatoriosGerenciaisMFD", ContadorRelatoriosGerenciaisMFD, 6, false, true},
      {"IBM_FI_ContadorComprovantesCreditoMFD", ContadorComprovantesCreditoMFD, 6, false, true},
  };
}

class CountersTest : public CoreTest {};

TEST_F(CountersTest, EachQueryFillsItsBufferAndLogsIt) {
  for (const CounterCase& c : Counters()) {
    SCOPED_TRACE(c.entry_point);
    fake_.ClearCalls();
    const std::string answer = std::string(c.width - 3, '0') + "123";
    fake_.Answer(c.entry_point, 1, answer);
    std::string valor = "previous";
    EXPECT_TRUE(c.query("001", valor));
    EXPECT_EQ(valor, answer);
    ASSERT_EQ(fake_.CallCount(c.entry_point), 1);
    EXPECT_EQ(fake_.CallsTo(c.entry_point)[0].args, Strings{std::string(c.width, ' ')});
    EXPECT_EQ(LogEntries().back(),
              std::string(c.entry_point) + "\r\nRetorno da Impressora : " + answer);
  }
  EXPECT_TRUE(host_.dialogs().empty());
}

TEST_F(CountersTest, FailuresAreQuietAndKeepTheBlanks) {
  boNUtilTaa = true;
  for (const CounterCase& c : Counters()) {
    SCOPED_TRACE(c.entry_point);
    inRetorno = 99;
    fake_.Answer(c.entry_point, -1);
    std::string valor;
    EXPECT_FALSE(c.query("001", valor));
    EXPECT_EQ(valor, std::string(c.width, ' '));
    EXPECT_EQ(inRetorno, c.keeps_code ? -1 : 99);
  }
  EXPECT_TRUE(host_.dialogs().empty());
}

TEST_F(CountersTest, OpenReceiptIsCancelledWhereTheQueryAsks) {
  fake_.AnswerStatus(6, 2, 0);
  for (const CounterCase& c : Counters()) {
    SCOPED_TRACE(c.entry_point);
    fake_.ClearCalls();
    std::string valor;
    EXPECT_TRUE(c.query("001", valor));
    EXPECT_EQ(fake_.CallCount("IBM_FI_CancelaCupom"), c.cancels_open_receipt ? 1 : 0);
  }
}

TEST_F(CountersTest, NumeroReducoesGivesTheNextReduction) {
  struct Case {
    const char* answer;
    const char* expected;
  };
  for (const Case& c :
       {Case{"0041", "0042"}, Case{"0000", "0001"}, Case{"9999", "10000"}, Case{"", "0000"}}) {
    SCOPED_TRACE(c.answer);
    fake_.Answer("IBM_FI_NumeroReducoes", 1, c.answer);
    std::string valor;
    EXPECT_TRUE(NumeroReducoes("001", valor));
    EXPECT_EQ(valor, c.expected);
    EXPECT_EQ(LogEntries().back(),
              std::string("IBM_FI_NumeroReducoes\r\nRetorno da Impressora : ") + c.expected);
  }
  EXPECT_EQ(fake_.CallsTo("IBM_FI_NumeroReducoes")[0].args, Strings{"    "});
}

TEST_F(CountersTest, NumeroReducoesRefusesAnAnswerThatIsNotANumber) {
  fake_.Answer("IBM_FI_NumeroReducoes", 1, "00A1");
  std::string valor;
  EXPECT_THROW(NumeroReducoes("001", valor), ConvertError);
}

TEST_F(CountersTest, NumeroReducoesFailureStillGivesANumber) {
  fake_.Answer("IBM_FI_NumeroReducoes", 0);
  inRetorno = 5;
  std::string valor;
  EXPECT_FALSE(NumeroReducoes("001", valor));
  EXPECT_EQ(valor, "0000");
  EXPECT_EQ(inRetorno, 5);
}

}  // namespace
}  // namespace zel::test
