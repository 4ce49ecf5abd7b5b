// The PAF identification print: every line of its table, in order, from the
// deciphered PAF data, the digest file, "Vendrix.cds" and the printer list;
// and the report left open when a value cannot be read.
#include <string>
#include <vector>

#include "core/core_fixture.h"
#include "hostutil/cipher.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

const std::string kRule(48, '-');

class PafPrintTest : public CoreTest {
 protected:
  PafPrintTest() { sandbox_.SetNow(EncodeDateTime(2026, 12, 10, 9, 8, 7, 0)); }

  static std::string Enc(const std::string& text) { return Cripto(text, fiscal::kPafCipherKey); }

  HostVariant PafPacket() {
    MemTable table;
    const char* fields[] = {"NRLAUDO",         "NRCNPJKALVORA",   "DSRAZAOSOCIKAL",
                            "DSENDEKALVORA",   "DSTELEFONEKAL",   "NMRESPONSIST",
                            "DSNOMECOMERCIAL", "DSVERSAOVENDRIX", "NMEXEVENDRIX"};
    for (const char* name : fields) table.AddField(name, FieldType::kString, 80);
    table.CreateDataSet();
    table.AppendRecord({Enc("LAU1234"), Enc("12.345.678/0001-90"), Enc("Loja Sistemas Ltda"),
                        Enc("Rua A, 1"), Enc("(31) 5555-0000"), Enc("Jo\xE3o"), Enc("Caixa Facil"),
                        Enc("4.2.1"), Enc("CAIXA.EXE")});
    return HostVariant::FromPacket(table.Data());
  }
  static HostVariant PrintersPacket(const Strings& serials) {
    MemTable table;
    table.AddField("NRSERIEIMPRPERS", FieldType::kString, 20);
    table.CreateDataSet();
    for (const std::string& serial : serials) table.AppendRecord({serial});
    return HostVariant::FromPacket(table.Data());
  }
  void WriteDigestFile() {
    MemTable table;
    table.AddField("DSARQUIVO", FieldType::kString, 60);
    table.AddField("NUMEROMD5", FieldType::kString, 32);
    table.CreateDataSet();
    table.AppendRecord({"CAIXA.EXE", "0123456789ABCDEF0123456789ABCDEF"});
    table.AppendRecord({"zel01900.dll", "FEDCBA9876543210FEDCBA9876543210"});
    const std::string folder =
        platform::JoinPath(sandbox_.ExecutableDirectory(), "Dados/Cadastros");
    sandbox_.MakeDirectory(folder);
    ASSERT_TRUE(
        sandbox_.WriteWholeFile(platform::JoinPath(folder, "ArquivosLumMd5.cds"), table.Data()));
  }
  void WriteVendrix() {
    MemTable table;
    table.AddField("MD5ARQUIVOTXT", FieldType::kString, 80);
    table.CreateDataSet();
    table.AppendRecord({Enc("99999999999999999999999999999999")});
    ASSERT_TRUE(sandbox_.WriteWholeFile(
        platform::JoinPath(sandbox_.ExecutableDirectory(), "Vendrix.cds"), table.Data()));
  }
  void Print(const Strings& printers) {
    HostVariant unused;
    ImprimeDadosPaf({"K1", "K2", "044", PafPacket(), PrintersPacket(printers), "DOC9"}, unused);
  }
  Strings Sent() {
    Strings texts;
    for (const FakeCall& call : fake_.CallsTo("IBM_FI_UsaComprovanteNaoFiscalVinculado")) {
      texts.push_back(call.args[0]);
    }
    return texts;
  }
  static Strings Head() {
    return {"          Identifica\xE7\xE3o do Paf-Ecf\n\n",
            "Data Emiss\xE3o: 10/12/2026 09:08:07\n\n\n",
            "Nr do Laudo: LAU1234\n\n",
            "Identifica\xE7\xE3o da Empresa: \n",
            "CNPJ         : 12.345.678/0001-90\n",
            "Raz\xE3o Social : Loja Sistemas Ltda\n",
            "Endere\xE7o     : Rua A, 1\n",
            "Telefone     : (31) 5555-0000\n",
            "Resp.T\xE9"
            "cnico: Jo\xE3o\n\n",
            "Identifica\xE7\xE3o PAF-ECF: \n",
            "Nome Comercial: Caixa Facil\n",
            "Vers\xE3o        : 4.2.1\n\n",
            "Principal Exe : CAIXA.EXE\n"};
  }
  static Strings Concat(Strings a, const Strings& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }
};

TEST_F(PafPrintTest, PrintsEveryLineOfTheTableInOrderAndRecordsTheReport) {
  WriteDigestFile();
  WriteVendrix();
  Print({"IB010900000000000001", "IB010900000000000002"});

  const Strings expected =
      Concat(Head(), {"MD5           : 0123456789ABCDEF0123456789ABCDEF\n\n",
                      "Arquivo Texto : ARQUIVOSLUMMD5.TXT\n",
                      "MD-5          : 99999999999999999999999999999999\n\n",
                      "Rela\xE7\xE3o de Arquivos\n", kRule + "\n\n", "Arquivo: CAIXA.EXE\n",
                      "MD5    : 0123456789ABCDEF0123456789ABCDEF\n\n", "Arquivo: zel01900.dll\n",
                      "MD5    : FEDCBA9876543210FEDCBA9876543210\n\n",
                      "Versao ER PAF-ECF: 02.03\n\n", "Rela\xE7\xE3o de Ecf's\n", kRule + "\n\n",
                      "IB010900000000000001\n", "IB010900000000000002\n"});
  EXPECT_EQ(Sent(), expected);
  EXPECT_EQ(fake_.CallCount("IBM_FI_RelatorioGerencial"), 1);
  EXPECT_EQ(fake_.CallCount("IBM_FI_FechaRelatorioGerencial"), 1);
  ASSERT_EQ(host_.doc_calls().size(), 1u);
  EXPECT_EQ(host_.doc_calls()[0].doc_key, "DOC9");
  EXPECT_EQ(host_.doc_calls()[0].doc_type, "RG");
  EXPECT_TRUE(host_.dialogs().empty());
}

TEST_F(PafPrintTest, WithoutVendrixAndWithoutPrintersThoseBlocksAreLeftOut) {
  WriteDigestFile();
  Print({});
  const Strings sent = Sent();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.back(), "Versao ER PAF-ECF: 02.03\n\n");
  for (const std::string& text : sent) {
    EXPECT_EQ(text.find("ARQUIVOSLUMMD5.TXT"), std::string::npos);
    EXPECT_EQ(text.find("Ecf's"), std::string::npos);
  }
  EXPECT_EQ(fake_.CallCount("IBM_FI_FechaRelatorioGerencial"), 1);
}

TEST_F(PafPrintTest, WithoutTheDigestFileTheReportStopsAfterTheExecutableAndStaysOpen) {
  Print({"IB010900000000000001"});
  EXPECT_EQ(Sent(), Head());
  ASSERT_EQ(host_.dialogs().size(), 1u);
  EXPECT_EQ(host_.dialogs()[0].kind, kDialogError);
  EXPECT_EQ(host_.dialogs()[0].colour_scheme, "044");
  EXPECT_FALSE(host_.dialogs()[0].text.empty());
  EXPECT_EQ(fake_.CallCount("IBM_FI_FechaRelatorioGerencial"), 0);
  EXPECT_TRUE(host_.doc_calls().empty());
}

}  // namespace
}  // namespace zel::test
