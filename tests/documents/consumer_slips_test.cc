// Consumer-account slips byte for byte: the debit-account and credit sale
// slips (46 and 48 columns, limits, balances, the family-balance section)
// and the purchase and cancellation of personal credit.
#include <string>
#include <vector>

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
std::string Rule(int width) { return std::string(width, '-') + "\n"; }
const std::string kColumns = "CODIGO     NOME          QTDE   VR.UNIT. VR.TOT.";

class ConsumerSlipTest : public DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    FillTable(products_,
              {{"CDARVPROD"}, {"NMPRODUTO"}, {"QTPRODCOMVEN", 'f'}, {"VRPRECCOMVEN", 'f'}},
              {{"7891000100103", "BISCOITO RECHEADO 140G", 1.5, 2.99}});
    FillTable(EnsureDataModule().cdsVrSaldConsumi, {{"VALCONSUMDIA"}, {"VALCONSUMMES"}},
              {{"10", "20"}});
  }

  bool Debit(double value, const std::string& balance_mode, const std::string& limit_mode,
             double subsidy = 0, double complement = 0, const std::string& free_text = "") {
    return Comp_DebitoCons("002", HostVariant::FromPacket(products_.Data()), value,
                           "Convenio Empresa Debito", "4471", "ANA", "15 - EMPRESA X",
                           "FILIAL CENTRO", "77", 50, subsidy, complement, balance_mode, free_text,
                           limit_mode, "", "100", HostVariant());
  }

  MemTable products_;
};

TEST_F(ConsumerSlipTest, DebitSlip) {
  EXPECT_TRUE(Debit(5, "1", "T", 0, 0, "Volte sempre"));
  const std::string head = "\n" + S(10) + "Venda - Debito Consumidor" + S(11) + "\n" + Rule(46) +
                           "Cliente : 15 - EMPRESA X\n" + S(9) + "FILIAL CENTRO\n" + Rule(46) +
                           "Matricula: 4471\n" + "Consumidor..: ANA\n" + Rule(46) + S(14) +
                           "Produtos da Venda" + S(15) + "\n" + S(46) + "\n" +
                           kColumns.substr(0, 46) + "\n";
  // The line total is cut to the cent (4,485 gives 4,48); the quantity is
  // whole, the name gives way.
  const std::string product =
      "7891000100 BISCOITO REC 1,50" + S(2) + R("2,99", 8) + R("4,48", 8) + "\n";
  const std::string tail = S(46) + "\n" + L("Total Geral", 15) + R("5,00", 31) + "\n" + Rule(46) +
                           "LIMDIA-15,00 - LIMMES75,00\n" + "SENHA PEDIDO:  77\r\n\n" +
                           "Saldo Final : R$ 45,00\n" + S(46) + "\n" + "Volte sempre\n";
  EXPECT_EQ(Feeds(), (Strings{head, product, tail}));
  const FakeCall open = fake_.CallsTo("IBM_FI_AbreComprovanteNaoFiscalVinculado")[0];
  EXPECT_EQ(open.args, (Strings{"Convenio Empresa", "00000000000500", "000123"}));
  EXPECT_EQ(fake_.CallCount("IBM_FI_FechaComprovanteNaoFiscalVinculado"), 1);
}

// A long quantity beside a full-width name: the name gives way and one
// blank stays between them.
TEST_F(ConsumerSlipTest, LongQuantityKeepsABlankBeforeIt) {
  FillTable(products_,
            {{"CDARVPROD"}, {"NMPRODUTO"}, {"QTPRODCOMVEN", 'f'}, {"VRPRECCOMVEN", 'f'}},
            {{"7891000100103", "SANDUICHE NATURAL", 100.5, 1.0}});
  EXPECT_TRUE(Debit(5, "1", "T"));
  ASSERT_EQ(Feeds().size(), 3u);
  EXPECT_EQ(Feeds()[1], "7891000100 SANDUICHE  100,50" + S(2) + R("1,00", 8) + R("100,50", 8) + "\n");
}

TEST_F(ConsumerSlipTest, DebitSlipLimitAndBalanceLines) {
  struct Case {
    const char* balance_mode;
    const char* limit_mode;
    double subsidy;
    double complement;
    const char* tail_end;
  };
  for (const Case& c :
       {Case{"2", "N", 0, 0, "SENHA PEDIDO:  77\r\n\n"},
        Case{"0", "D", 0, 0, "LIMDIA-15,00\nSENHA PEDIDO:  77\r\n\nSaldo Final : R$ 45,00\n"},
        Case{"2", "M", 0, 0, "LIMMES75,00\nSENHA PEDIDO:  77\r\n\n"},
        Case{"2", "X", 1.5, 2,
             "SENHA PEDIDO:  77\r\n\nPre\xE7o subsidiado: R$ 1,50Valor complemento: R$ 2,00"}}) {
    SCOPED_TRACE(std::string(c.balance_mode) + c.limit_mode);
    fake_.ClearCalls();
    EXPECT_TRUE(Debit(5, c.balance_mode, c.limit_mode, c.subsidy, c.complement));
    const std::string tail = Feeds().back();
    const std::string expected = Rule(46) + c.tail_end;
    ASSERT_GE(tail.size(), expected.size());
    EXPECT_EQ(tail.substr(tail.size() - expected.size()), expected);
  }
}

TEST_F(ConsumerSlipTest, NothingBelowOneCent) {
  EXPECT_TRUE(Debit(0.004, "1", "N"));
  EXPECT_TRUE(fake_.Calls().empty());
}

TEST_F(ConsumerSlipTest, ARefusedFeedStopsTheSlip) {
  fake_.AnswerOnce("IBM_FI_UsaComprovanteNaoFiscalVinculado", 1);
  fake_.AnswerOnce("IBM_FI_UsaComprovanteNaoFiscalVinculado", -1);
  EXPECT_FALSE(Debit(5, "1", "N"));
  EXPECT_EQ(Feeds().size(), 2u);
  EXPECT_EQ(fake_.CallCount("IBM_FI_FechaComprovanteNaoFiscalVinculado"), 0);

  fake_.ClearCalls();
  fake_.Answer("IBM_FI_AbreComprovanteNaoFiscalVinculado", -1);
  EXPECT_FALSE(Debit(5, "1", "N"));
  EXPECT_TRUE(Feeds().empty());
}

class CreditSaleSlipTest : public ConsumerSlipTest {
 protected:
  bool Credit(const std::string& balance_mode) {
    return Imp_CompVenCred("002", HostVariant::FromPacket(products_.Data()),
                           HostVariant::FromPacket(families_.Data()), 5, "Credito Pessoal", "4471",
                           "ANA", "15 - EMPRESA X", "FILIAL CENTRO", "", 10, 0, 0, balance_mode);
  }
  void SetUp() override {
    ConsumerSlipTest::SetUp();
    FillTable(families_, {{"CDFAMILISALD"}, {"NMFAMILISALD"}, {"VRSALDCONFAM", 'f'}},
              {{"1", "LANCHES", 10.0}, {"2", "REFEICOES", 20.0}, {"3", "BEBIDAS", 0.0}});
  }
  MemTable families_;
};

TEST_F(CreditSaleSlipTest, FortyEightColumnsWithTheTotalBalance) {
  EXPECT_TRUE(Credit("0"));
  const Strings feeds = Feeds();
  ASSERT_EQ(feeds.size(), 3u);
  EXPECT_EQ(feeds[0].substr(0, 1 + 49), "\n" + S(12) +
                                            "Venda - Cr\xE9"
                                            "dito Pessoal" +
                                            S(13) + "\n");
  EXPECT_NE(feeds[0].find(kColumns + "\n"), std::string::npos);
  EXPECT_EQ(feeds[1],
            "7891000100 BISCOITO REC  1,50" + S(1) + S(2) + R("2,99", 8) + R("4,48", 8) + "\n");
  // 5 (10 before, less the sale) plus the families' 10 and 20.
  EXPECT_EQ(feeds[2], S(48) + "\n" + L("Total Geral", 15) + R("5,00", 33) + "\n" + Rule(48) + "\n" +
                          "Saldo Final : R$ 35,00\n");
  EXPECT_EQ(fake_.CallsTo("IBM_FI_AbreComprovanteNaoFiscalVinculado")[0].args[0],
            "Credito Pessoal");
}

TEST_F(CreditSaleSlipTest, FamilyBalanceSection) {
  TdtmImpIBM& dm = EnsureDataModule();
  // LANCHES took 3 in this sale and has a loan debit of 2; REFEICOES has
  // only a loan credit, which counts for families of the sale alone.
  FillTable(dm.cdsFamiliaSaldo, {{"CDFAMILISALD"}, {"VRSALDCONFAM", 'f'}}, {{"1", 3.0}});
  FillTable(dm.cdsEmprestimo, {{"CDFAMILISALD"}, {"IDTPMOVEXT"}, {"VRMOVEXTCONS", 'f'}},
            {{"1", "D", 2.0}, {"2", "C", 4.0}});
  EXPECT_TRUE(Credit("1"));
  const std::string tail = Feeds().back();
  EXPECT_EQ(tail.substr(tail.find(Rule(48)) + 49), "\n" + L("LANCHES", 25) + R("5,00", 22) + "\n" +
                                                       L("REFEICOES", 25) + R("20,00", 22) + "\n");
  fake_.ClearCalls();
  EXPECT_TRUE(Credit("2"));
  EXPECT_EQ(Feeds().back().substr(Feeds().back().size() - 49 - 1), Rule(48) + "\n");
}

class PersonalCreditTest : public DocumentTest {};

TEST_F(PersonalCreditTest, PurchaseInTwoCopiesAndOneReceiptPerPayment) {
  IdTotCompCred = "05";
  MemTable payments;
  FillTable(payments, {{"VRMOVIVEND", 'f'}, {"NMTIPORECE"}},
            {{10.0, "Dinheiro"}, {15.5, "Cartao de Credito Visa"}, {4.5, "Cheque"}});
  fake_.AnswerOnce("IBM_FI_RecebimentoNaoFiscal", -1);
  std::string spare24, spare25;
  EXPECT_TRUE(Compr_CredPessoal("", "", "DOC", "K1", "K2", "002", "", "", payments, 20, "ANA",
                                "0042", "", "", "", "", "", "", "", "", "", "", "", spare24,
                                spare25, "LANCHES", false, ""));
  const std::string copy = "\n" + S(14) + "COMPRA DE CREDITO" + S(15) + "\n" + Rule(46) + "\n" +
                           "Nr.Deposito: 0042\n" + S(46) + "\n" + "Consumidor..: ANA\n" +
                           "Familia.....: LANCHES\n" + "Valor ......: R$ 30,00\n" +
                           "Saldo Final : R$ 50,00\n";
  EXPECT_EQ(Feeds(),
            (Strings{copy + S(46) + "\n" + S(46) + "\n" + S(46) + "\n" + S(46) + "\n", copy}));
  EXPECT_EQ(Commands(),
            (Strings{"IBM_FI_RelatorioGerencial", "IBM_FI_DataMovimento",
                     "IBM_FI_NumeroOperacoesNaoFiscais", "IBM_FI_NumeroCupom",
                     "IBM_FI_ContadorRelatoriosGerenciaisMFD", "IBM_FI_DataMovimento",
                     "IBM_FI_UsaComprovanteNaoFiscalVinculado", "IBM_FI_AcionaGuilhotinaMFD",
                     "IBM_FI_UsaComprovanteNaoFiscalVinculado", "IBM_FI_FechaRelatorioGerencial",
                     // Each receipt reads the COO first, so a lost answer can be checked.
                     "IBM_FI_NumeroCupom", "IBM_FI_RecebimentoNaoFiscal", "IBM_FI_NumeroCupom",
                     "IBM_FI_RecebimentoNaoFiscal", "IBM_FI_NumeroCupom",
                     "IBM_FI_RecebimentoNaoFiscal"}));
  const auto receipts = fake_.CallsTo("IBM_FI_RecebimentoNaoFiscal");
  EXPECT_EQ(receipts[1].args, (Strings{"05", "00000000001550", "Cartao de Credit"}));
}

TEST_F(PersonalCreditTest, PurchaseWithoutAReportRegistersNothing) {
  fake_.Answer("IBM_FI_RelatorioGerencial", -1);
  MemTable payments;
  FillTable(payments, {{"VRMOVIVEND", 'f'}, {"NMTIPORECE"}}, {{10.0, "Dinheiro"}});
  std::string spare24, spare25;
  EXPECT_FALSE(Compr_CredPessoal("", "", "DOC", "K1", "K2", "002", "", "", payments, 20, "ANA",
                                 "0042", "", "", "", "", "", "", "", "", "", "", "", spare24,
                                 spare25, "LANCHES", false, ""));
  EXPECT_EQ(fake_.CallCount("IBM_FI_RecebimentoNaoFiscal"), 0);
  EXPECT_EQ(fake_.CallCount("IBM_FI_FechaRelatorioGerencial"), 1);
}

TEST_F(PersonalCreditTest, Cancellation) {
  IdTotCancCred = "06";
  std::string spare;
  EXPECT_TRUE(Cancela_Cred_Pessoal("", "DOC", "K1", "K2", "002", spare, "0042", "15 - EMPRESA X",
                                   "ANA", "", "Dinheiro", 30, 20, "LANCHES"));
  EXPECT_EQ(Printed(), "\n" + S(6) + "CANCELAMENTO DE COMPRA DE CREDITO" + S(7) + "\n" + Rule(46) +
                           "\n" + "Cancelamento do dep\xF3sito: 0042\n" + S(46) + "\n" +
                           "Cliente : 15 - EMPRESA X\n" + "Consumidor: ANA\n" +
                           "Familia.....: LANCHES\n" + "Valor ......: R$ 30,00\n" +
                           "Saldo Final : R$ 20,00\n");
  EXPECT_EQ(Records(), (Strings{"RG", "CC"}));
  EXPECT_EQ(fake_.CallsTo("IBM_FI_RecebimentoNaoFiscal")[0].args,
            (Strings{"06", "00000000003000", "Dinheiro"}));

  // A report that does not close is not recorded; the receipt is still made.
  host_.Clear();
  fake_.Answer("IBM_FI_FechaRelatorioGerencial", -1);
  EXPECT_TRUE(Cancela_Cred_Pessoal("", "DOC", "K1", "K2", "002", spare, "0042", "", "ANA", "",
                                   "Dinheiro", 30, 20, "LANCHES"));
  EXPECT_EQ(Records(), Strings{"CC"});
}

}  // namespace
}  // namespace zel::test
