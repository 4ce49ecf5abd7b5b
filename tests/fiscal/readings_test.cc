// The X reading, the Z reduction and the tax-rate lists: the vendor calls,
// their log lines and how failures reach the operator.
#include <functional>
#include <string>
#include <vector>

#include "core/core_fixture.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

class ReadingsTest : public CoreTest {};

struct ReadingCase {
  const char* entry_point;
  std::function<bool(const std::string&, const std::string&, const std::string&)> reading;
  Strings args;
  Strings calls;  // every vendor call of the reading, in order
};

std::vector<ReadingCase> Readings() {
  // The X reading reads the COO first: should its answer be lost, the COO
  // tells whether the printer made it.
  return {{"IBM_FI_LeituraX",
           Leitura_X_Imp,
           {},
           {"IBM_FI_NumeroCupom", "IBM_FI_LeituraX", "IBM_FI_RetornoImpressora"}},
          // The printer dates the reduction itself: both texts are null.
          {"IBM_FI_ReducaoZ",
           Reducao_Z_Imp,
           {"", ""},
           {"IBM_FI_ReducaoZ", "IBM_FI_RetornoImpressora"}}};
}

TEST_F(ReadingsTest, ReadingsCallThePrinterOnceAndLogIt) {
  for (const ReadingCase& c : Readings()) {
    SCOPED_TRACE(c.entry_point);
    fake_.ClearCalls();
    EXPECT_TRUE(c.reading("x", "002", "y"));
    EXPECT_EQ(fake_.Names(), c.calls);
    const FakeCall call = fake_.CallsTo(c.entry_point)[0];
    EXPECT_EQ(call.args, c.args);
    for (size_t i = 0; i < call.args.size(); ++i) EXPECT_TRUE(call.IsNull(i));
    EXPECT_EQ(LogEntries().back(), c.entry_point);
  }
  EXPECT_TRUE(host_.dialogs().empty());
}

TEST_F(ReadingsTest, RefusedReadingIsShownWithTheColourScheme) {
  boNUtilTaa = false;  // shown even on a self-service terminal
  for (const ReadingCase& c : Readings()) {
    SCOPED_TRACE(c.entry_point);
    host_.Clear();
    fake_.Answer(c.entry_point, -1);
    fake_.AnswerStatusOnce(6, 0, 1);
    EXPECT_FALSE(c.reading("", "005", ""));
    EXPECT_EQ(host_.DialogTexts(), (Strings{"Erro de execu\347\343o na fun\347\343o.",
                                            "Comando n\343o executado pela impressora fiscal."}));
    EXPECT_EQ(host_.dialogs()[0].colour_scheme, "005");
    EXPECT_EQ(fake_.CallCount(c.entry_point), 1);  // no second try
  }
}

TEST_F(ReadingsTest, RetornoAliquotasKeepsTheIssListAndAnswersForIt) {
  const std::string rates =
      "1800,1200,0700,2500,0500,0000,0000,0000,0000,0000,0000,0000,0000,0000,0000,0000";
  struct Case {
    int32_t general;
    int32_t iss;
    bool expected;
  };
  boNUtilTaa = true;
  for (const Case& c : {Case{1, 1, true}, Case{-1, 1, true}, Case{1, -1, false}}) {
    SCOPED_TRACE(testing::Message() << c.general << " " << c.iss);
    fake_.ClearCalls();
    fake_.Answer("IBM_FI_RetornoAliquotas", c.general, rates);
    fake_.Answer("IBM_FI_VerificaAliquotasIss", c.iss, "0500,");
    stAliquotaIss = "previous";
    EXPECT_EQ(Retorno_Aliquotas_Imp("002"), c.expected);
    EXPECT_EQ(stAliquotaIss, "0500," + std::string(74, ' '));
    EXPECT_EQ(fake_.CallsTo("IBM_FI_RetornoAliquotas")[0].args, Strings{std::string(79, ' ')});
    EXPECT_EQ(fake_.CallsTo("IBM_FI_VerificaAliquotasIss")[0].args, Strings{std::string(79, ' ')});
  }
  EXPECT_TRUE(host_.dialogs().empty());
  // The first, clean run logged the two answers and nothing else.
  const Strings log = LogEntries();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0], "IBM_FI_RetornoAliquotas\r\nRetorno da Impressora : " + rates);
  EXPECT_EQ(log[1],
            "IBM_FI_VerificaAliquotasIss\r\nRetorno da Impressora : 0500," + std::string(74, ' '));
}

}  // namespace
}  // namespace zel::test

namespace zel::test {
namespace {

// A Z reduction whose answer is lost: with sales on the day the gross sales
// tell (the reduction empties them); without, the fiscal flags (day closed
// or a pending day still waiting).
struct LostReductionCase {
  const char* name;
  const char* gross_before;  // learned from a gross-sales query
  const char* gross_after;
  int32_t flags_after;
  bool expected;
};

TEST_F(ReadingsTest, LostXReadingIsCheckedByTheCoo) {
  const struct {
    const char* coo_after;
    bool expected;
  } cases[] = {{"000124", true}, {"000123", false}, {"000200", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.coo_after);
    host_.Clear();
    fake_.AnswerOnce("IBM_FI_NumeroCupom", 1, "000123");
    fake_.AnswerOnce("IBM_FI_NumeroCupom", 1, c.coo_after);
    fake_.AnswerOnce("IBM_FI_LeituraX", 0);
    EXPECT_EQ(Leitura_X_Imp("", "002", ""), c.expected);
    ASSERT_FALSE(host_.dialogs().empty());
    EXPECT_EQ(host_.dialogs()[0].text.find("executou o comando") != std::string::npos, c.expected);
  }
}

TEST_F(ReadingsTest, LostReductionIsCheckedBeforeItIsReportedFailed) {
  const LostReductionCase cases[] = {
      {"sales emptied: done", "000000000000012345", "000000000000000000", 0, true},
      {"sales still there: not done", "000000000000012345", "000000000000012345", 0, false},
      {"no sales, day closed: done", "000000000000000000", "000000000000000000", 8, true},
      {"no sales, pending day: not done", "000000000000000000", "000000000000000000", 32, false},
      {"no sales, nothing to tell", "000000000000000000", "000000000000000000", 0, false},
  };
  for (const LostReductionCase& c : cases) {
    SCOPED_TRACE(c.name);
    host_.Clear();
    fake_.Answer("IBM_FI_VendaBruta", 1, c.gross_before);
    std::string value;
    ASSERT_TRUE(VendaBruta("002", value));
    fake_.Answer("IBM_FI_VendaBruta", 1, c.gross_after);
    fake_.SetAnswer("IBM_FI_FlagsFiscais", FakeAnswer{1, {}, {c.flags_after}});
    fake_.AnswerOnce("IBM_FI_ReducaoZ", 0);
    EXPECT_EQ(Reducao_Z_Imp("", "002", ""), c.expected);
    ASSERT_EQ(host_.dialogs().size(), 1u);
    EXPECT_EQ(host_.dialogs()[0].text.find("executou o comando") != std::string::npos, c.expected);
  }
}

}  // namespace
}  // namespace zel::test
