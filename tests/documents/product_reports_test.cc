// The product report (plain list and grouped by taxation) and the
// restaurant listings, byte for byte.
#include <string>
#include <vector>

#include "documents/document_fixture.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

std::string S(int n) { return std::string(n, ' '); }
// Left- and right-aligned in a width (the texts here are never longer).
std::string L(const std::string& text, int width) {
  return text + S(width - static_cast<int>(text.size()));
}
std::string R(const std::string& text, int width) {
  return S(width - static_cast<int>(text.size())) + text;
}

const std::string kTitle = "\n" + S(12) + "RELATORIO DE PRODUTOS" + S(13) + "\n\n" +
                           L("CODIGO", 14) + L("NOME", 18) + R("QTDE", 6) + R("VLR.TOT.", 10) +
                           "\n";

std::string ProductLine(const std::string& code, const std::string& name, const std::string& qty,
                        const std::string& total) {
  return L(code, 13) + " " + L(name, 17) + " " + R(qty, 6) + R(total, 10) + "\n";
}

class ProductReportTest : public DocumentTest {
 protected:
  void Print(const std::string& ask, const std::string& mode) {
    Relatorio_Produto("", "A", "DOC", "K1", "K2", number_, products_, ask, mode, "002", closed_);
  }
  MemTable products_;
  std::string number_;
  bool closed_ = false;
};

TEST_F(ProductReportTest, PlainList) {
  FillProducts(products_, {{"7891000100103000", "1", "ARROZ TIPO 1 5KG PACOTE", 2.0, 20.0, 0.5, 1.0,
                            "T", 18.0},
                           {"", "000000000000045", "CAFE", 1.5, 7.25, 0.0, 0.0, "I", 0.0}});
  Print("N", "N");
  EXPECT_EQ(Printed(), kTitle + "\n" +
                           ProductLine("7891000100103", "ARROZ TIPO 1 5KG ", "2,00", "20,00") +
                           ProductLine("0000000000000", "CAFE", "1,50", "7,25") + "\n" +
                           L("Total de Acr\xE9scimos", 35) + R("0,50", 13) + "\n" +
                           L("Total de Descontos", 35) + R("1,00", 13) + "\n" +
                           L("Total das Vendas", 29) + R("3,50", 9) + R("27,25", 10) + "\n\n");
  // The caller's report was closed first, then this one; recorded once.
  EXPECT_EQ(fake_.CallCount("IBM_FI_FechaRelatorioGerencial"), 2);
  EXPECT_EQ(Records(), Strings{"RG"});
  EXPECT_EQ(number_, "000123");
  EXPECT_TRUE(closed_);
}

TEST_F(ProductReportTest, GroupedByTaxation) {
  FillProducts(products_, {{"", "A1", "ARROZ", 1.0, 10.0, 0.0, 0.0, "T", 18.0},
                           {"", "A2", "FEIJAO", 1.0, 5.0, 0.0, 0.0, "T", 18.0},
                           {"", "A3", "OLEO", 1.0, 3.0, 0.0, 0.0, "T", 18.0},
                           {"", "B1", "ALFACE", 2.0, 4.0, 0.0, 0.0, "I", 0.0},
                           {"", "B2", "TOMATE", 1.0, 2.0, 0.0, 0.0, "I", 0.0}});
  closed_ = true;
  Print("N", "S");
  EXPECT_EQ(Printed(), kTitle + "Isento\n" + ProductLine("B1", "ALFACE", "2,00", "4,00") +
                           ProductLine("B2", "TOMATE", "1,00", "2,00") + "Tributacao  18,00\n" +
                           ProductLine("A1", "ARROZ", "1,00", "10,00") +
                           ProductLine("A2", "FEIJAO", "1,00", "5,00") +
                           ProductLine("A3", "OLEO", "1,00", "3,00") + L("VALOR", 32) +
                           R("6,00", 9) + R("24,00", 10) + "\n\n" + L("Tributados", 35) + "\n" +
                           L("Isento", 35) + R("6,00", 13) + "\n" + L("18,00", 35) +
                           R("18,00", 13) + "\n" + L("Total de Acr\xE9scimos", 35) + R("0,00", 13) +
                           "\n" + L("Total de Descontos", 35) + R("0,00", 13) + "\n" +
                           L("Total das Vendas", 37) + R("6,00", 9) + R("24,00", 10) + "\n\n");
  // Already closed: only this report's close.
  EXPECT_EQ(fake_.CallCount("IBM_FI_FechaRelatorioGerencial"), 1);
  // The totals per rate stay in the data module.
  EXPECT_EQ(EnsureDataModule().cdsAliqProduto.RecordCount(), 2);
}

TEST_F(ProductReportTest, AskDecidesWhetherAnythingHappens) {
  FillProducts(products_, {{"", "A1", "ARROZ", 1.0, 10.0, 0.0, 0.0, "T", 18.0}});
  for (const char* ask : {"X", "", "n"}) {
    Print(ask, "N");
    EXPECT_TRUE(fake_.Calls().empty()) << ask;
    EXPECT_FALSE(closed_);
  }
  host_.QueueAnswers({false});
  Print("S", "N");
  EXPECT_EQ(host_.DialogTexts(), Strings{"Confirma impress\343o do Relat\363rio de Produtos?"});
  EXPECT_EQ(Commands(), Strings{});
  host_.QueueAnswers({true});
  Print("S", "N");
  EXPECT_EQ(Records(), Strings{"RG"});
}

TEST_F(ProductReportTest, EmptyTableClosesTheCallersReportAndRecords) {
  FillProducts(products_, {});
  Print("N", "S");
  EXPECT_TRUE(Feeds().empty());
  EXPECT_EQ(fake_.CallCount("IBM_FI_RelatorioGerencial"), 0);
  EXPECT_EQ(fake_.CallCount("IBM_FI_FechaRelatorioGerencial"), 1);
  EXPECT_EQ(Records(), Strings{"RG"});
  EXPECT_TRUE(closed_);
}

class TableReportTest : public DocumentTest {};

TEST_F(TableReportTest, SaleRegisterOfATableOrATab) {
  MemTable items;
  FillTable(items, {{"CDPROD"}, {"NMPROD"}, {"STQTDE"}, {"STVALOR"}},
            {{"10", "CAFE", "2", "3,50"}});
  EXPECT_TRUE(RegistroVenda("K1", "K2", "002", items, "0012"));
  const std::string rule = std::string(46, '-') + "\n";
  EXPECT_EQ(Printed(), S(46) + "\n" + "       Relat\xF3rio de abertura da mesa 0012\n" + S(46) +
                           "\n" + rule + S(15) + "REGISTRO DE VENDA\n" + rule + "\n" +
                           L("CODIGO", 11) + "NOME\n" + "QTDE" + R("VR. UNIT", 12) +
                           R("VLR.TOT.", 32) + "\n\n" + "10 CAFE\n" + "2   X 3,50     " +
                           R("7,00", 29) + "\n" + S(46) + "\n" + rule +
                           "Zelvora Sistemas (11) 4002-1900 zelvora.com.br");
  for (const char* tab : {"12", "00012"}) {
    fake_.ClearCalls();
    RegistroVenda("K1", "K2", "002", items, tab);
    EXPECT_NE(Printed().find(std::string("   Relat\xF3rio de abertura da comanda ") + tab + "\n"),
              std::string::npos);
  }
}

TEST_F(TableReportTest, OpenTablesInSectionsByKind) {
  MemTable rows;
  FillTable(rows, {{"DSCOMANDA"}, {"NRMESA"}, {"DTHRABERMESA"}},
            {{"RES01", "01", "10/12/2026 09:30"},
             {"CMD02", "", "10/12/2026 09:31"},
             {"DLV03", "", "10/12/2026 09:32"},
             {"PKR04", "04", "10/12/2026 09:33"}});
  MemTable spare;
  EXPECT_TRUE(
      ImprimeMesasAbertas(spare, "K1", "K2", "002", "", "", HostVariant::FromPacket(rows.Data())));
  const std::string tables = "Mesas Abertas:\nNr\xBA da Mesa      Data/Hora de abertura\n";
  const std::string tab_header = "Nr\xBA da Comanda   Data/Hora de abertura\n";
  EXPECT_EQ(Feeds(),
            (Strings{"               Mesas Abertas\n\n", "Data Emiss\xE3o: 10/12/2026 10:00:00\n",
                     tables, "01" + S(13) + "10/12/2026 09:30\n", "\n\n",
                     "Comandas Abertas:\n" + tab_header, "CMD02" + S(7) + "10/12/2026 09:31\n",
                     "\n\n", "Comandas Velocomanda Abertas:\n" + tab_header,
                     "DLV03" + S(7) + "10/12/2026 09:32\n", "\n", tables,
                     "04" + S(13) + "10/12/2026 09:33\n", "\n"}));
  EXPECT_EQ(fake_.CallCount("IBM_FI_FechaRelatorioGerencial"), 1);
}

TEST_F(TableReportTest, NoOpenTablesPrintsTheTitleAndIsFalse) {
  MemTable rows;
  FillTable(rows, {{"DSCOMANDA"}, {"NRMESA"}, {"DTHRABERMESA"}}, {});
  MemTable spare;
  EXPECT_FALSE(
      ImprimeMesasAbertas(spare, "K1", "K2", "002", "", "", HostVariant::FromPacket(rows.Data())));
  EXPECT_EQ(Feeds().size(), 3u);
  EXPECT_EQ(fake_.CallCount("IBM_FI_FechaRelatorioGerencial"), 1);
  // Table data that is not a packet fails the listing instead of raising.
  EXPECT_FALSE(ImprimeMesasAbertas(spare, "K1", "K2", "002", "", "", HostVariant("garbage")));
}

TEST_F(TableReportTest, TransferredProductsOneHeadingPerTransfer) {
  MemTable rows;
  FillTable(rows,
            {{"NRMESA"},
             {"NRMESADSCOMORIT"},
             {"CDPRODUTO"},
             {"NMPRODUTO"},
             {"QTPRODCOMVEN", 'f'},
             {"VRPRECCOMVEN", 'f'}},
            {{"0002", "0001", "10", "CAFE", 2.0, 3.5},
             {"0002", "0001", "11", "PAO DE QUEIJO", 1.5, 12.0},
             {"0002", "0001", "1234567890123", "BANDEJA DE FRIOS SORTIDOS", 100.25, 1234.5}});
  imprimeProdutosTransf("K1", "K2", "002", "", "", HostVariant::FromPacket(rows.Data()));
  // Quantities with two decimals; a price wider than its column and a
  // quantity that does not fit take their room from the code and name.
  EXPECT_EQ(Printed(),
            "Data Emiss\xE3o: 10/12/2026 10:00:00\n\n\n"
            "Mes Origem: 0001 -> Mesa Destino: 0002\n"
            "C\xF3"
            "digo  -  Nome Produto   -    Qtde. -  Vr Unit.\n" +
                L("10 " + L("CAFE", 19) + " 2,00", 37) + " " + R("R$ 3,50", 10) + "\n" +
                L("11 " + L("PAO DE QUEIJO", 19) + " 1,50", 37) + " " + R("R$ 12,00", 10) +
                "\n" + "1234567890123 BANDEJA DE FRIO 100,25 R$ 1.234,50\n" + "\n");
  EXPECT_TRUE(Records().empty());
}

}  // namespace
}  // namespace zel::test
