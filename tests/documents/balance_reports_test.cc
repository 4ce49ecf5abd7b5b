// Consumer balance listings byte for byte, and the feeding of blocks longer
// than the printer's 620-byte feed.
#include <string>
#include <vector>

#include "documents/block_feed.h"
#include "documents/document_fixture.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

std::string S(int n) { return std::string(n, ' '); }
std::string L(const std::string& text, int width) {
  return text + S(width - static_cast<int>(text.size()));
}
std::string R(const std::string& text, int width) {
  return S(width - static_cast<int>(text.size())) + text;
}
const std::string kRule = std::string(46, '-') + "\n";

TEST(BlockFeeds, WholeLinesUpToSixHundredTwentyBytes) {
  const std::string line40 = std::string(39, 'a') + "\n";
  std::string sixteen;  // 640 bytes
  for (int i = 0; i < 16; ++i) sixteen += line40;
  const std::string long_line = std::string(1300, 'b') + "\n";
  struct Case {
    const char* label;
    std::string block;
    std::vector<size_t> sizes;
  };
  for (const Case& c :
       {Case{"empty", "", {}}, Case{"fits", line40 + "end", {43}},
        Case{"exactly 620", std::string(619, 'c') + "\n", {620}},
        Case{"sixteen lines", sixteen, {600, 40}},
        Case{"a line longer than a feed", line40 + long_line + line40, {40, 620, 620, 61 + 40}}}) {
    SCOPED_TRACE(c.label);
    const Strings feeds = documents::BlockFeeds(c.block);
    std::vector<size_t> sizes;
    std::string joined;
    for (const std::string& feed : feeds) {
      sizes.push_back(feed.size());
      joined += feed;
    }
    EXPECT_EQ(sizes, c.sizes);
    EXPECT_EQ(joined, c.block);  // nothing lost, nothing added
  }
}

class BalanceReportTest : public DocumentTest {
 protected:
  void Families(MemTable& table, int count) {
    std::vector<std::vector<HostVariant>> rows;
    for (int i = 1; i <= count; ++i) rows.push_back({"FAMILIA " + std::to_string(i), i * 1.0});
    FillTable(table, {{"NMFAMILISALD"}, {"SALDOFAM", 'f'}}, rows);
  }
};

TEST_F(BalanceReportTest, HeadingStaysOpenForTheEnquiry) {
  Cabecalho("K1", "002", "CONSULTA DE SALDO", "003", "", "");
  EXPECT_EQ(Printed(), "\n" + kRule + S(14) + "CONSULTA DE SALDO" + S(15) + "\n\n" + kRule +
                           "Caixa: 003" + S(16) + "10/12/2026 10:00\n" + kRule);
  EXPECT_EQ(host_.cer_calls().at(0).key2, "003");
  EXPECT_EQ(fake_.CallCount("IBM_FI_FechaRelatorioGerencial"), 0);
}

TEST_F(BalanceReportTest, EnquiryFromTheCurrentFamily) {
  MemTable families;
  Families(families, 4);
  families.First();
  families.Next();
  families.Next();
  EXPECT_TRUE(ImpSaldo("002", families, "4471", "ANA"));
  EXPECT_EQ(Printed(), S(12) + ">>> Consulta Saldo <<<" + S(12) + "\n" + kRule + "4471 - ANA\n\n" +
                           L("FAMILIA 3", 37) + R("3,00", 11) + "\n" + L("FAMILIA 4", 37) +
                           R("4,00", 11) + "\n" + S(37) + std::string(11, '-') + "\n" +
                           L("Saldo Total", 37) + R("7,00", 11) + "\n");
  EXPECT_EQ(fake_.CallCount("IBM_FI_FechaRelatorioGerencial"), 1);
}

TEST_F(BalanceReportTest, TwentyFamiliesLoseNothing) {
  MemTable families;
  Families(families, 20);
  ImpSaldo("002", families, "4471", "ANA");
  const Strings feeds = Feeds();
  ASSERT_EQ(feeds.size(), 3u);  // the head, then the families in two feeds
  for (const std::string& feed : feeds) {
    EXPECT_LE(feed.size(), 620u);
    EXPECT_EQ(feed.back(), '\n');
  }
  const std::string printed = Printed();
  EXPECT_NE(printed.find(L("FAMILIA 20", 37) + R("20,00", 11) + "\n"), std::string::npos);
  EXPECT_NE(printed.find(L("Saldo Total", 37) + R("210,00", 11) + "\n"), std::string::npos);
}

class NegativeBalanceTest : public BalanceReportTest {
 protected:
  void SetUp() override {
    BalanceReportTest::SetUp();
    FillTable(types_, {{"CDTIPOCONS"}, {"NMTIPOCONS"}},
              {{"01", "FUNCIONARIOS"}, {"02", "VISITANTES"}, {"0'3", "ESTAGIARIOS"}});
    FillTable(consumers_, {{"CDTIPOCONS"}, {"NMCONSUMIDOR"}, {"SALDONEGATIVO", 'f'}},
              {{"01", "ANA", -10.0}, {"02", "BETO", -2.5}, {"01", "CAIO", -5.0}});
  }
  bool Print() {
    return SaldoNegativo("K1", "002", types_, consumers_, "SALDO NEGATIVO", "003", "", "");
  }
  MemTable types_, consumers_;
};

TEST_F(NegativeBalanceTest, OneHeadingAndASeparatorBetweenTypes) {
  EXPECT_TRUE(Print());
  const std::string heading = "\n" + kRule + S(16) + "SALDO NEGATIVO" + S(16) + "\n\n" + kRule +
                              "Caixa: 003" + S(16) + "10/12/2026 10:00\n" + kRule;
  const std::string totals = S(37) + std::string(11, '-') + "\n" + L("Saldo Total", 37);
  EXPECT_EQ(Feeds(),
            (Strings{heading,
                     S(5) + ">>> Saldo Negativo por Consumidor <<<" + S(6) + "\n" + kRule +
                         "FUNCIONARIOS\n" + L("  ANA", 37) + R("-10,00", 10) + "\n",
                     L("  CAIO", 37) + R("-5,00", 10) + "\n", totals + R("-15,00", 11) + "\n",
                     kRule + "VISITANTES\n" + L("  BETO", 37) + R("-2,50", 10) + "\n",
                     totals + R("-2,50", 11) + "\n"}));
  EXPECT_EQ(fake_.CallCount("IBM_FI_RelatorioGerencial"), 1);
  EXPECT_EQ(fake_.CallCount("IBM_FI_FechaRelatorioGerencial"), 1);
  // The host's table is left unfiltered, as it came.
  EXPECT_FALSE(consumers_.Filtered());
  EXPECT_EQ(consumers_.RecordCount(), 3);
}

TEST_F(NegativeBalanceTest, NoConsumersPrintsNothing) {
  FillTable(consumers_, {{"CDTIPOCONS"}, {"NMCONSUMIDOR"}, {"SALDONEGATIVO", 'f'}},
            {{"09", "ZECA", -1.0}});
  EXPECT_FALSE(Print());
  EXPECT_EQ(Commands(), Strings{"IBM_FI_NumeroCupom"});
}

TEST_F(BalanceReportTest, PersonalCreditBalancesSkipZero) {
  MemTable families;
  FillTable(families, {{"NMFAMILISALD"}, {"VRSALDCONFAM", 'f'}},
            {{"LANCHES", 12.5}, {"BEBIDAS", 0.0}, {"REFEICOES", 30.0}});
  EXPECT_TRUE(Saldo_CredPessoal("K1", "K2", "002", "SALDO CREDITO", families));
  EXPECT_EQ(Printed(), "\n" + S(16) + "SALDO CREDITO" + S(17) + "\n" + S(46) + "\n" +
                           L("LANCHES", 25) + R("12,50", 15) + "\n" + L("REFEICOES", 25) +
                           R("30,00", 15) + "\n" + kRule + L("Saldo Total", 25) + R("42,50", 15) +
                           "\n");
  MemTable wrong;
  FillTable(wrong, {{"NMFAMILISALD"}}, {{"LANCHES"}});
  EXPECT_FALSE(Saldo_CredPessoal("K1", "K2", "002", "SALDO CREDITO", wrong));
}

TEST_F(BalanceReportTest, BlockedProducts) {
  MemTable products;
  FillTable(products, {{"NMFILIAL"}, {"CDLOJA"}, {"CDPRODUTO"}, {"CDPROTECLADO"}, {"NMPRODUTO"}},
            {{"FILIAL CENTRO", "0001", "10", "A1", "REFRIGERANTE LATA"},
             {"FILIAL CENTRO", "0001", "11", "A2", "CERVEJA"}});
  EXPECT_TRUE(ImprimeProdBloq("K1", "K2", "002", products));
  EXPECT_EQ(Feeds(), (Strings{kRule + S(17) + "FILIAL CENTRO" + S(18) + "\n" + kRule,
                              "Loja:" + L("0001", 20) + "10/12/2026 10:00:00\n" + kRule + S(10) +
                                  ">>> Produtos Bloqueados <<<" + S(11) + "\n" + kRule +
                                  L("CODIGO", 11) + L("COD. TECLADO", 13) + "NOME\n",
                              L("10", 11) + L("A1", 13) + L("REFRIGERANTE LATA", 24) + "\n",
                              L("11", 11) + L("A2", 13) + L("CERVEJA", 24) + "\n",
                              "Zelvora Sistemas (11) 4002-1900 zelvora.com.br"}));
}

TEST_F(BalanceReportTest, StatementFeedsAndClosesTheOpenReport) {
  EXPECT_TRUE(Extrato("", "002"));
  EXPECT_TRUE(Feeds().empty());
  EXPECT_EQ(Commands(), Strings{"IBM_FI_FechaRelatorioGerencial"});

  fake_.ClearCalls();
  std::string text;
  for (int i = 0; i < 30; ++i) text += std::string(45, 'x') + "\n";
  EXPECT_TRUE(Extrato(text, "002"));
  EXPECT_EQ(Printed(), text);
  EXPECT_EQ(Feeds().size(), 3u);  // chunks of whole lines from 500 bytes on
}

}  // namespace
}  // namespace zel::test
