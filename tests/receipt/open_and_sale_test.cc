// AbreCupom, VendaItem and Nr_Cupom against recording fakes: the argument
// texts, null pointers for empty texts, the bundles written back, the retry
// question and the one-million limit of item discounts and surcharges.
#include <string>
#include <vector>

#include "core/core_fixture.h"
#include "hostutil/params.h"
#include "zel01900/counters.h"
#include "zel01900/receipt.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

// The keys of a bundle, in order, and the text of one value.
Strings Keys(const HostParams& params) {
  Strings keys;
  for (const HostVariant& pair : params.Elements()) keys.push_back(pair.Elements()[0].AsString());
  return keys;
}

class OpenAndSaleTest : public CoreTest {
 protected:
  HostParams OpenParams(const std::string& cpf, const std::string& name,
                        const std::string& address) {
    return MakeParams({{"ESQUEMACOR", "007"},
                       {"INTTEFERRO", 0},
                       {"INCLUICPF", cpf},
                       {"INCLUINOME", name},
                       {"INCLUIENDERECO", address},
                       {"CUPNR", "000001"},
                       {"CONTCUPOM", "000002"},
                       {"IDUTILTEF", "T"},
                       {"UTILTEF", true}});
  }
  HostParams ItemParams(double price, double quantity, double discount, double surcharge) {
    return MakeParams({{"ESQUEMACOR", "007"},
                       {"INTEFERRO", 3},
                       {"CDARVPROD", "789"},
                       {"NMPROD", std::string(35, 'P')},
                       {"CDALIQ", "T01"},
                       {"QTDE", quantity},
                       {"VALOR", price},
                       {"DESCONT", discount},
                       {"ACRESCIMO", surcharge},
                       {"UNIDADE", "UNID"},
                       {"IDUTILTEF", "N"},
                       {"UTILTEF", false}});
  }
};

TEST_F(OpenAndSaleTest, OpeningSendsCutTextsAndRewritesTheBundle) {
  fake_.Answer("IBM_FI_NumeroCupom", 1, "000124");
  fake_.Answer("IBM_FI_ContadorCupomFiscalMFD", 1, "000057");
  const std::string cpf(30, '1');
  const std::string address(100, 'R');
  HostParams params = OpenParams(cpf, "", address);
  EXPECT_TRUE(AbreCupom(params));

  const std::vector<FakeCall> calls = fake_.CallsTo("IBM_FI_AbreCupomMFD");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args[0], std::string(29, '1'));
  EXPECT_TRUE(calls[0].IsNull(1));
  EXPECT_EQ(calls[0].args[2], std::string(80, 'R'));
  EXPECT_EQ(LogEntries()[0], "IBM_FI_AbreCupomMFD :" + cpf + " -  - " + address);

  EXPECT_EQ(Keys(params), (Strings{"INTTEFERRO", "INCLUICPF", "INCLUINOME", "INCLUIENDERECO",
                                   "CUPNR", "CONTCUPOM", "MENSAGEMTAA"}));
  EXPECT_EQ(RecebeParams(params, "INTTEFERRO"), HostVariant(0));
  EXPECT_EQ(RecebeParams(params, "INCLUICPF").AsString(), cpf);
  EXPECT_EQ(RecebeParams(params, "CUPNR").AsString(), "000124");
  EXPECT_EQ(RecebeParams(params, "CONTCUPOM").AsString(), "000057");
  EXPECT_FALSE(boClieUtil);  // cleared in a card sale
}

TEST_F(OpenAndSaleTest, OpeningRetriedOnYesMarksTheRetry) {
  fake_.AnswerOnce("IBM_FI_AbreCupomMFD", 0);
  host_.QueueAnswers({true});
  HostParams params = OpenParams("", "", "");
  EXPECT_TRUE(AbreCupom(params));
  EXPECT_EQ(fake_.CallCount("IBM_FI_AbreCupomMFD"), 2);
  const std::vector<FakeCall> calls = fake_.CallsTo("IBM_FI_AbreCupomMFD");
  EXPECT_TRUE(calls[0].IsNull(0) && calls[0].IsNull(1) && calls[0].IsNull(2));
  ASSERT_EQ(host_.dialogs().size(), 2u);  // the error notice, then the question
  EXPECT_EQ(host_.dialogs()[1].text, "Impressora n\xE3o responde. Imprimir novamente?");
  EXPECT_TRUE(host_.dialogs()[1].IsQuestion());
  EXPECT_EQ(host_.dialogs()[1].kind, 3);
  EXPECT_EQ(host_.dialogs()[1].colour_scheme, "007");
  EXPECT_EQ(RecebeParams(params, "INTTEFERRO"), HostVariant(1));
}

TEST_F(OpenAndSaleTest, OpeningFailureOutcomes) {
  // Declined on an attended till: the bundle stays as the host passed it.
  fake_.Answer("IBM_FI_AbreCupomMFD", 0);
  HostParams params = OpenParams("1", "N", "E");
  const HostParams original = params;
  EXPECT_FALSE(AbreCupom(params));
  EXPECT_EQ(params, original);

  // Self-service: no question; the bundle carries the message.
  boNUtilTaa = false;
  host_.Clear();
  EXPECT_FALSE(AbreCupom(params));
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_EQ(RecebeParams(params, "MENSAGEMTAA").AsString(), " Erro de comunica\xE7\xE3o.");
  EXPECT_EQ(RecebeParams(params, "CUPNR").AsString(), "000001");

  // Printer not ready: nothing sent.
  fake_.ClearCalls();
  fake_.Answer("IBM_FI_VerificaEstadoImpressora", 0);
  HostParams untouched = OpenParams("1", "N", "E");
  EXPECT_FALSE(AbreCupom(untouched));
  EXPECT_EQ(untouched, OpenParams("1", "N", "E"));
  EXPECT_EQ(fake_.CallCount("IBM_FI_AbreCupomMFD"), 0);
}

TEST_F(OpenAndSaleTest, ItemArguments) {
  struct Case {
    double price, quantity, discount, surcharge;
    Strings numbers;  // price, quantity, surcharge, discount
  };
  const std::vector<Case> cases = {
      {10.999, 2, 0, 0, {"10,99", "2,000", "0000", "0000"}},
      {1, 0.5, 1.5, 0, {"1,00", "0,500", "0000", "00000150"}},
      {1, 1.2346, -1, 0.999, {"1,00", "1,235", "00000099", "0000"}},
      {1, 1, 999999.99, 0, {"1,00", "1,000", "0000", "99999999"}},
  };
  for (const Case& c : cases) {
    fake_.ClearCalls();
    HostParams params = ItemParams(c.price, c.quantity, c.discount, c.surcharge);
    EXPECT_TRUE(VendaItem(params));
    const std::vector<FakeCall> calls = fake_.CallsTo("IBM_FI_VendeItemDepartamento");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].args, (Strings{"789", std::string(29, 'P'), "T01", c.numbers[0],
                                      c.numbers[1], c.numbers[2], c.numbers[3], "01", "UN"}));
    EXPECT_EQ(Keys(params), (Strings{"INTTEFERRO", "MENSAGEMTAA"}));
    EXPECT_EQ(RecebeParams(params, "INTTEFERRO"), HostVariant(3));
  }
  EXPECT_EQ(LogEntries().back(), "IBM_FI_VendeItemDepartamento : 789 - " + std::string(29, 'P') +
                                     " - T01 - 1,00 - 1,000 - 0000 - 99999999 - 01 - UN");
}

TEST_F(OpenAndSaleTest, ItemEmptyTextsAndMissingRetryMarker) {
  HostParams params = MakeParams({{"VALOR", 2.0}, {"QTDE", 1.0}});
  EXPECT_TRUE(VendaItem(params));
  const FakeCall call = fake_.CallsTo("IBM_FI_VendeItemDepartamento")[0];
  for (size_t i : {0, 1, 2, 8}) EXPECT_TRUE(call.IsNull(i)) << i;
  EXPECT_EQ(RecebeParams(params, "INTTEFERRO"), HostVariant(0));
}

TEST_F(OpenAndSaleTest, ItemAdjustmentOfOneMillionIsNotSent) {
  for (bool discount : {true, false}) {
    host_.Clear();
    HostParams params = discount ? ItemParams(2e6, 1, 1e6, 0) : ItemParams(2e6, 1, 0, 1234567.8);
    EXPECT_FALSE(VendaItem(params));
    EXPECT_EQ(fake_.CallCount("IBM_FI_VendeItemDepartamento"), 0);
    ASSERT_EQ(host_.dialogs().size(), 1u);
    const std::string text = host_.dialogs()[0].text;
    EXPECT_EQ(text.rfind(discount ? "Desconto" : "Acr\xE9scimo", 0), 0u) << text;
    EXPECT_NE(text.find("999.999,99"), std::string::npos);
    EXPECT_EQ(RecebeParams(params, "MENSAGEMTAA").AsString(), " " + text);
  }
}

TEST_F(OpenAndSaleTest, ItemFailureAsksToPrintAgain) {
  fake_.AnswerOnce("IBM_FI_VendeItemDepartamento", -3);
  host_.QueueAnswers({true, false});
  fake_.AnswerOnce("IBM_FI_VendeItemDepartamento", -3);
  fake_.Answer("IBM_FI_VendeItemDepartamento", -3);
  HostParams params = ItemParams(1, 1, 0, 0);
  const HostParams original = params;
  EXPECT_FALSE(VendaItem(params));
  EXPECT_EQ(fake_.CallCount("IBM_FI_VendeItemDepartamento"), 2);
  const Strings texts = host_.DialogTexts();
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[1], "Erro ao imprimir o item: \r\n789 - " + std::string(20, 'P') +
                          "\r\nDeseja imprimir novamente?");
  EXPECT_EQ(params, original);
  EXPECT_FALSE(boClieUtil);
}

TEST_F(OpenAndSaleTest, AttendedOpeningFailureOutsideACardSaleRewritesTheBundle) {
  fake_.Answer("IBM_FI_AbreCupomMFD", 0);
  HostParams params = MakeParams({{"ESQUEMACOR", "007"},
                                  {"INTTEFERRO", 4},
                                  {"INCLUICPF", "1"},
                                  {"CUPNR", "000001"},
                                  {"IDUTILTEF", "S"},
                                  {"UTILTEF", false}});
  EXPECT_FALSE(AbreCupom(params));
  ASSERT_EQ(host_.dialogs().size(), 1u);  // the error notice only
  EXPECT_FALSE(host_.dialogs()[0].IsQuestion());
  EXPECT_EQ(Keys(params), (Strings{"INTTEFERRO", "INCLUICPF", "INCLUINOME", "INCLUIENDERECO",
                                   "CUPNR", "CONTCUPOM", "MENSAGEMTAA"}));
  EXPECT_EQ(RecebeParams(params, "INTTEFERRO"), HostVariant(4));
  EXPECT_EQ(RecebeParams(params, "CUPNR").AsString(), "000001");
  EXPECT_EQ(RecebeParams(params, "MENSAGEMTAA").AsString(), " Erro de comunica\xE7\xE3o.");
  EXPECT_EQ(fake_.CallCount("IBM_FI_NumeroCupom"), 0);
}

TEST_F(OpenAndSaleTest, ItemFailureInACardSaleAndOnASelfServiceTerminal) {
  // The answers are lost and the day's gross sales show the item not
  // registered: a failure that may be sent again.
  fake_.Answer("IBM_FI_VendaBruta", 1, "000000000000010000");
  std::string gross;
  ASSERT_TRUE(VendaBruta("007", gross));
  fake_.Answer("IBM_FI_VendeItemDepartamento", 0);
  HostParams params = MakeParams({{"ESQUEMACOR", "007"},
                                  {"INTEFERRO", 2},
                                  {"IDUTILTEF", "S"},
                                  {"UTILTEF", true},
                                  {"VALOR", 1.0},
                                  {"QTDE", 1.0}});
  const HostParams original = params;
  EXPECT_FALSE(VendaItem(params));  // the operator declines
  ASSERT_EQ(host_.dialogs().size(), 2u);
  EXPECT_EQ(host_.dialogs()[1].text, "Impressora n\xE3o responde. Imprimir novamente?");
  EXPECT_TRUE(host_.dialogs()[1].IsQuestion());
  EXPECT_EQ(params, original);

  // Self-service: no dialog; the bundle carries the message.
  boNUtilTaa = false;
  host_.Clear();
  EXPECT_FALSE(VendaItem(params));
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_EQ(Keys(params), (Strings{"INTTEFERRO", "MENSAGEMTAA"}));
  EXPECT_EQ(RecebeParams(params, "INTTEFERRO"), HostVariant(2));
  EXPECT_EQ(RecebeParams(params, "MENSAGEMTAA").AsString(), " Erro de comunica\xE7\xE3o.");
  EXPECT_EQ(fake_.CallCount("IBM_FI_VendeItemDepartamento"), 2);
}

TEST_F(OpenAndSaleTest, ItemWithAValueThatDoesNotConvertFails) {
  HostParams params = MakeParams({{"VALOR", "abc"}});
  EXPECT_FALSE(VendaItem(params));
  EXPECT_EQ(fake_.CallCount("IBM_FI_VendeItemDepartamento"), 0);
}

TEST_F(OpenAndSaleTest, UnwritableDebugLogDoesNotChangeWhatTheHostIsTold) {
  // A folder where the month's log should be: every write fails.
  ASSERT_TRUE(sandbox_.MakeDirectory(LogPath()));
  fake_.Answer("IBM_FI_NumeroCupom", 1, "000124");
  HostParams open = OpenParams("", "", "");
  EXPECT_TRUE(AbreCupom(open));
  for (int i = 0; i < 3; ++i) {
    HostParams item = ItemParams(10.0, 1.0, 0.0, 0.0);
    EXPECT_TRUE(VendaItem(item));
  }
  EXPECT_EQ(fake_.CallCount("IBM_FI_AbreCupomMFD"), 1);
  EXPECT_EQ(fake_.CallCount("IBM_FI_VendeItemDepartamento"), 3);
  // Told once, not asked to print anything again.
  ASSERT_EQ(host_.dialogs().size(), 1u);
  EXPECT_EQ(host_.dialogs()[0].question, "N");
}

TEST_F(OpenAndSaleTest, ReceiptNumber) {
  fake_.Answer("IBM_FI_NumeroCupom", 1, "000321");
  EXPECT_EQ(Nr_Cupom("", "007"), "000321");
  EXPECT_EQ(fake_.CallsTo("IBM_FI_NumeroCupom")[0].args[0], "      ");
  EXPECT_EQ(LogEntries().back(), "IBM_FI_NumeroCupom\r\nRetorno da Impressora : 000321");
  boClieUtil = true;
  fake_.Answer("IBM_FI_NumeroCupom", 0);
  EXPECT_EQ(Nr_Cupom("", "007"), "ERRO");
  EXPECT_FALSE(boClieUtil);
  EXPECT_TRUE(host_.dialogs().empty());
}

}  // namespace
}  // namespace zel::test
