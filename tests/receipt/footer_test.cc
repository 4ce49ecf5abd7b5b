// The closing footer, byte for byte: one golden text per variant, then the
// pieces whose rules are easy to get wrong (tax line, state lines, labels,
// card-slip lines, the family two-row limit, the variant choice).
#include "receipt/footer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/message_tables.h"
#include "runtime/datetime.h"
#include "runtime/host_error.h"

namespace zel::receipt {
namespace {

const std::string kVendor(core::kVendorLine);
constexpr char kCrLf[] = "\r\n";

class FooterTest : public ::testing::Test {
 protected:
  FooterTest() {
    ctx_.params = &p_;
    ctx_.msg = [](std::string_view key) { return core::MsgPadrao(key); };
    ctx_.msg2 = [](std::string_view key) { return core::MsgPadrao2(key); };
    ctx_.fs = &BrazilianFormatSettings();
    ctx_.today = EncodeDate(2026, 12, 10);
    ctx_.family_rows = [this] { return rows_; };
    ctx_.consumption = [this] {
      ++consumption_loads_;
      return consumption_;
    };
    ctx_.sale_total = "10,00";
    p_.operator_code = "7";
    p_.operator_name = "ANA";
    p_.approximate_taxes = 2.5;
  }

  Footer Build() { return BuildFooter(ctx_); }

  ClosingParams p_;
  FooterContext ctx_;
  std::vector<FamilyRow> rows_;
  ConsumptionSoFar consumption_;
  int consumption_loads_ = 0;
};

const std::string kTax = "Val Aprox Tributos R$ 2,50 (25,00%) Fonte:IBPT";

TEST_F(FooterTest, StandardFooterGolden) {
  p_.promo_message = "OBRIGADO";
  p_.conference_coo = "000123";
  p_.conference_cer = "000045";
  p_.client_code = "15";
  p_.client_name = "JOAO";
  p_.consumer_code = "9";
  p_.consumer_name = "MARIA";
  p_.consumer_document = "12345678901";
  p_.balance_mode = "0";
  p_.balance_kind = "2";
  p_.balance_before = 100;
  ctx_.consumer_credit = 30;
  p_.subsidy = 5;
  p_.table_number = "12";
  p_.order_password = "77";
  p_.centred_line = "VOLTE SEMPRE";
  p_.extra_line = "LINHA EXTRA";
  p_.dotz_points = 10;

  const Footer f = Build();
  EXPECT_EQ(f.variant, FooterVariant::kStandard);
  const std::string expected =
      "OBRIGADO\r\n" + kTax + kCrLf + "Conf.de Mesa - CER 000045 - COO 000123\n" +
      "\nCliente : 15 - JOAO\n" + "Consumidor : 9 - MARIA\n" +
      "Saldo Final : " + std::string(21, ' ') + "75,00\n" + "Pre\xE7o subsidiado: 5,00\n" +
      "Mesa  : 12           - SENHA : 77" + "\n" + "Operador : 7 - ANA\r\n" + std::string(17, ' ') +
      "VOLTE SEMPRE" + std::string(18, ' ') + kCrLf + "LINHA EXTRA\r\n" + kVendor + kCrLf +
      "    Nesta compra voce ganhou 10 DOTZ    " + kCrLf;
  EXPECT_EQ(f.text, expected);
}

TEST_F(FooterTest, AgreementFooterGolden) {
  ctx_.agreement = true;
  p_.client_code = "15";
  p_.client_name = "JOAO";
  p_.consumer_document = "123";  // the agreement footer wins over the standard one
  p_.dotz_extra_points = 2.5;

  const Footer f = Build();
  EXPECT_EQ(f.variant, FooterVariant::kAgreement);
  const std::string expected = kTax + kCrLf + "Conv\xEAnio ..: 15 - JOAO\n" + "\n" +
                               "Operador : 7 - ANA\r\n" + kVendor + kCrLf + kCrLf +
                               "Nesta compra voce ganhou 2,5 DOTZ extras";
  EXPECT_EQ(f.text, expected);
}

TEST_F(FooterTest, ConsumptionLimitFooterGolden) {
  p_.consumer_code = "9";
  p_.consumer_name = "MARIA";
  p_.limit_mode = "T";
  p_.daily_limit = "100";
  p_.monthly_limit = "1000";
  consumption_ = {true, "20", "300"};
  ctx_.movement_amount = 30;
  p_.balance_mode = "2";  // no balance line
  p_.extra_line = "X";
  p_.centred_line = "NOT PRINTED IN THIS VARIANT";

  const Footer f = Build();
  EXPECT_EQ(f.variant, FooterVariant::kConsumptionLimit);
  // The message tables have no LIMDIA and LIMMES entries: the lookup's
  // answer for a missing key is printed.
  const std::string expected = kTax + kCrLf + "Consumidor : 9 - MARIA\n" +
                               core::MsgPadrao("LIMDIA") + "50,00 - " + core::MsgPadrao("LIMMES") +
                               "670,00\n" + "\n" + "Operador : 7 - ANA\r\n" + "X\r\n" + kVendor +
                               kCrLf + kCrLf;
  EXPECT_EQ(f.text, expected);
}

TEST_F(FooterTest, ConsumptionLimitTextByMode) {
  p_.consumer_code = "9";
  p_.daily_limit = "";  // an empty limit counts as zero
  p_.monthly_limit = "50";
  p_.excess_balance = 4.5;
  consumption_ = {true, "", "10"};
  ctx_.movement_amount = 5;
  struct Case {
    std::string mode;
    std::string limits;
  };
  const std::vector<Case> cases = {
      {"D", core::MsgPadrao("LIMDIA") + "-5,00\n"},
      {"M", core::MsgPadrao("LIMMES") + "35,00\n"},
      {"E", "Saldo Excedente: 4,50\n"},
      {"N", ""},
  };
  for (const Case& c : cases) {
    p_.limit_mode = c.mode;
    const std::string head = kTax + kCrLf + "Consumidor : 9 - \n";
    EXPECT_EQ(Build().text.substr(0, head.size() + c.limits.size()), head + c.limits) << c.mode;
  }
  consumption_.has_rows = false;
  p_.limit_mode = "D";
  EXPECT_EQ(Build().text.find(core::MsgPadrao("LIMDIA")), std::string::npos);
}

TEST_F(FooterTest, CardSlipFooterGolden) {
  p_.card_use = "T";
  p_.card_slips = true;
  p_.print_card_slips = "S";
  p_.table_number = "12345";
  p_.centred_line = "OK";
  p_.extra_line = "EXTRA";
  p_.dotz_points = 1;
  StringList slips;
  slips.Add("LINHA A\nLINHA B\nRESTO SEM FIM");
  slips.Add("X\n");
  ctx_.card_slip_texts = &slips;
  ctx_.agreement = true;  // the card-slip footer wins

  const Footer f = Build();
  EXPECT_EQ(f.variant, FooterVariant::kCardSlip);
  const std::string expected = std::string(kCrLf) + kTax + kCrLf + "LINHA A\r\nLINHA B\r\nX\r\n" +
                               "Comanda : 12345   -   -  ANA\n" + std::string(22, ' ') + "OK" +
                               std::string(23, ' ') + "\n" + "EXTRA\n" + kVendor + "\n" +
                               "    Nesta compra voce ganhou 1 DOTZ     " + "\n";
  EXPECT_EQ(f.text, expected);
}

TEST_F(FooterTest, CardSlipFooterNeedsTheHostsList) {
  p_.card_use = "T";
  p_.card_slips = true;
  p_.print_card_slips = "S";
  p_.consumer_document = "1";
  EXPECT_EQ(Build().variant, FooterVariant::kStandard);
  StringList empty;
  ctx_.card_slip_texts = &empty;
  EXPECT_EQ(Build().variant, FooterVariant::kCardSlip);
}

TEST_F(FooterTest, FamilyFooterGoldenPrintsTheFirstTwoRowsOnly) {
  p_.balance_mode = "1";
  p_.balance_kind = "1";
  p_.client_code = "15";
  p_.client_name = "JOAO";
  p_.consumer_code = "9";
  p_.consumer_name = "MARIA";
  p_.conference_coo = "000001";
  p_.conference_cer = "000002";
  p_.subsidy = -1;  // only a positive subsidy is printed here
  rows_ = {{1, "FAMILIA A", 50, 40}, {2, "FAMILIA B", 10, -2.5}, {3, "FAMILIA C", 20, 20}};

  const Footer f = Build();
  EXPECT_EQ(f.variant, FooterVariant::kFamily);
  const std::string expected =
      std::string(kCrLf) + kTax + kCrLf + "Conf.de Mesa - CER 000002 - COO 000001\n" +
      std::string(19, ' ') + "15 - JOAO" + std::string(20, ' ') + "\n" + std::string(19, ' ') +
      "9 - MARIA" + std::string(20, ' ') + "\n" + "FAMILIA A" + std::string(16 + 17, ' ') +
      "40,00\n" + "FAMILIA B" + std::string(16 + 17, ' ') + "-2,50\n" + kVendor + kCrLf +
      "Operador: 7 - ANA\r\n" + kCrLf + kCrLf;
  EXPECT_EQ(f.text, expected);
}

TEST_F(FooterTest, FamilyTotalFooterGolden) {
  p_.family_footer = "2";
  p_.consumer_code = "9";
  p_.balance_kind = "1";
  p_.balance_mode = "0";
  p_.subsidy = 3;
  p_.promo_message = "PROMO";
  p_.conference_coo = "000001";  // no conference line in this variant
  ctx_.consumer_credit = 30;
  rows_ = {{1, "A", 50, 40}, {2, "B", 0, 0}, {3, "C", 20, 20}};

  const Footer f = Build();
  EXPECT_EQ(f.variant, FooterVariant::kFamilyTotal);
  // The total adds every row with a balance, also beyond the second.
  const std::string expected =
      "PROMO\r\n" + kTax + kCrLf + std::string(22, ' ') + " - " + std::string(23, ' ') + "\n" +
      std::string(22, ' ') + "9 - " + std::string(22, ' ') + "\n" + "Pre\xE7o subsidiado: 3,00\n" +
      "Saldo Total" + std::string(14 + 17, ' ') + "40,00\n" + std::string(46, ' ') + "\n" +
      kVendor + kCrLf + "Operador: 7 - ANA\r\n" + kCrLf + kCrLf;
  EXPECT_EQ(f.text, expected);

  p_.balance_mode = "1";  // family lines instead of the total
  const std::string lines = Build().text;
  EXPECT_NE(lines.find("A" + std::string(24 + 17, ' ') + "40,00\n"), std::string::npos);
  EXPECT_EQ(lines.find("C" + std::string(24, ' ')), std::string::npos);
  EXPECT_EQ(lines.find("Saldo Total"), std::string::npos);
}

TEST_F(FooterTest, TaxLine) {
  FormatSettings dot;
  dot.decimal_separator = '.';
  dot.thousand_separator = ',';
  struct Case {
    double taxes;
    std::string total;
    const FormatSettings* fs;
    std::string line;
  };
  const std::vector<Case> cases = {
      {0, "", &BrazilianFormatSettings(), "Val Aprox Tributos R$ 0,00(0,00%) Fonte IBPT"},
      {2.5, "10,00", &BrazilianFormatSettings(), kTax},
      {1234.5, "12345,00", &BrazilianFormatSettings(),
       "Val Aprox Tributos R$ 1.234,50 (10,00%) Fonte:IBPT"},
      {0.2, ",50", &BrazilianFormatSettings(), "Val Aprox Tributos R$ 0,20 (40,00%) Fonte:IBPT"},
      {2.5, "10.00", &dot, "Val Aprox Tributos R$ 2.50 (25.00%) Fonte:IBPT"},
  };
  for (const Case& c : cases) EXPECT_EQ(TaxLine(c.taxes, c.total, *c.fs), c.line) << c.total;

  EXPECT_THROW(TaxLine(2.5, "", BrazilianFormatSettings()), ConvertError);
  EXPECT_THROW(TaxLine(2.5, ",00", BrazilianFormatSettings()), HostError);
}

TEST_F(FooterTest, StateLines) {
  p_.cnpj = "12.345.678/0001-90";
  p_.consumer_document = "123456789012345";
  p_.promo_message = "PROMO";
  p_.icms = 1234.5;
  struct Case {
    std::string state;
    std::string total;
    std::string state_line;
  };
  const std::vector<Case> cases = {
      {"MG", "12,50", "MINAS LEGAL: 12345678 10122026 1250"},
      {"MG", ",50", "MINAS LEGAL: 12345678 10122026 50"},
      {"PB", "12,50",
       "PARAIBA LEGAL - RECEITA CIDADA\n\rTORPEDO PREMIADO: 12345678000190 10122026 1250 "
       "12345678901"},
      {"SP", "12,50", ""},
  };
  for (const Case& c : cases) {
    p_.state = c.state;
    const FooterPieces pieces =
        BuildFooterPieces(p_, c.total, ctx_.today, BrazilianFormatSettings());
    EXPECT_EQ(pieces.state_line, c.state_line) << c.state;
    EXPECT_EQ(pieces.promo, "PROMO") << c.state;
  }

  p_.state = "DF";
  const FooterPieces df = BuildFooterPieces(p_, "10,00", ctx_.today, BrazilianFormatSettings());
  EXPECT_EQ(df.state_line, "");
  EXPECT_EQ(df.promo, "PROMONL");
  EXPECT_EQ(df.tax_line, kTax +
                             "\n\rESTABELECIMENTO INCLUIDO NO PROGRAMA DE \n\r"
                             "CONCESSAO DE CREDITOS - LEI n\xBA 4.159/08.\n\r"
                             "\x1B"
                             "ENOTA LEGAL:\x1B"
                             "F ICMS = 1.234,50");
}

TEST_F(FooterTest, TableLabelAndPassword) {
  p_.consumer_document = "1";
  struct Case {
    std::string table;
    std::string password;
    std::string label;
  };
  const std::vector<Case> cases = {
      {"12", "", "Mesa  : 12           - "},
      {"1234", "9", "Mesa  : 1234           - SENHA : 9"},
      {"12345", "", "Comanda : 12345   - "},
      {"", "55", "SENHA : 55"},
  };
  for (const Case& c : cases) {
    p_.table_number = c.table;
    p_.order_password = c.password;
    const std::string text = Build().text;
    EXPECT_NE(text.find("\n" + c.label + "\nOperador : "), std::string::npos) << c.table;
  }
}

TEST_F(FooterTest, VariantChoice) {
  struct Case {
    std::string family_footer, consumer, kind, mode, document;
    bool agreement;
    FooterVariant variant;
  };
  const std::vector<Case> cases = {
      {"2", "9", "1", "2", "1", true, FooterVariant::kFamilyTotal},
      {"2", "", "1", "1", "1", true, FooterVariant::kFamily},
      {"2", "9", "2", "1", "", false, FooterVariant::kConsumptionLimit},
      {"", "9", "1", "1", "", true, FooterVariant::kFamily},
      {"", "9", "2", "1", "", true, FooterVariant::kAgreement},
      {"", "9", "2", "1", "1", false, FooterVariant::kStandard},
      {"", "", "", "", "", false, FooterVariant::kConsumptionLimit},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    p_.family_footer = c.family_footer;
    p_.consumer_code = c.consumer;
    p_.balance_kind = c.kind;
    p_.balance_mode = c.mode;
    p_.consumer_document = c.document;
    ctx_.agreement = c.agreement;
    EXPECT_EQ(Build().variant, c.variant) << "case " << i;
  }
}

TEST_F(FooterTest, FinalBalanceFromTheCreditTable) {
  p_.consumer_document = "1";
  p_.consumer_code = "9";
  p_.balance_mode = "0";
  p_.balance_kind = "1";
  p_.family_footer = "";
  p_.card_use = "";
  ctx_.consumer_credit = 15;
  rows_ = {{1, "A", 50, 0}, {2, "B", 0, 0}, {3, "C", 20, 0}};
  // Rule 2 needs balance mode "1": this is the standard footer, whose final
  // balance is the sum of every row less the consumer credit.
  EXPECT_NE(Build().text.find("Saldo Final : " + std::string(21, ' ') + "55,00\n"),
            std::string::npos);
}

}  // namespace
}  // namespace zel::receipt
