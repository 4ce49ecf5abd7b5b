// The fiscal menu against the simulated printer: signed fiscal-memory
// readings in Dados\MenuFiscal, the MFD mirror in the machine's fiscal-menu
// folder, the MFD text and Ato COTEPE files, clean work folders, the journal
// recovered or refused, and the PAF identification on the tape.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fiscal/ead_key.h"
#include "hostutil/cipher.h"
#include "hostutil/files.h"
#include "printer_scenario.h"
#include "runtime/memtable.h"
#include "support/recording_host.h"
#include "support/sandbox_platform.h"
#include "zel01900/testing.h"
#include "zel01900/zel01900.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;
using ValidateFn = int32_t (*)(const char*, const char*, const char*);

constexpr const char* kSerial = kPrinterSerial;

class FiscalMenuScenarioTest : public PrinterScenarioTest {
 protected:
  void SetUp() override {
    PrinterScenarioTest::SetUp();
    if (HasFatalFailure()) return;
    signer_ = sandbox_.OpenLibrary("sign_bema.dll");
    ASSERT_NE(signer_, nullptr) << "libsign_bema.so not found: " << sandbox_.LastErrorText();
    validate_ = reinterpret_cast<ValidateFn>(sandbox_.LibrarySymbol(signer_, "validateFile"));
    ASSERT_NE(validate_, nullptr);
    // The host's installation: its fiscal-menu folders.
    sandbox_.MakeDirectory(MenuFolder());
    sandbox_.MakeDirectory(sandbox_.MenuFiscalDirectory());
  }

  void TearDown() override {
    // The driver keeps its own handle of the signing library.
    platform::LibraryHandle signer_handle = ImpFisDLLHandle2;
    PrinterScenarioTest::TearDown();
    sandbox_.CloseLibrary(signer_handle);
    sandbox_.CloseLibrary(signer_);
  }
  static HostVariant ParameterPacket() {
    MemTable table;
    for (const char* name : {"NRSERIEECF", "IDESQUEMA", "CDFILIAL", "CDCAIXA", "CDPORTAIMPFIS"}) {
      table.AddField(name, FieldType::kString, 20);
    }
    table.CreateDataSet();
    table.AppendRecord({kSerial, "002", "0001", "001", "COM1"});
    return HostVariant::FromPacket(table.Data());
  }

  std::string HostFile(const std::string& relative) {
    return platform::JoinPath(sandbox_.ExecutableDirectory(), relative);
  }
  std::string MenuFolder() { return HostFile("Dados/MenuFiscal"); }
  std::string VendorFile(const std::string& name) {
    return platform::JoinPath(sandbox_.SystemDirectory(), name);
  }
  std::string Journal() { return VendorFile("IBMFI32.MEM.mfd"); }
  std::string Read(const std::string& path) {
    std::string text;
    sandbox_.ReadWholeFile(path, &text);
    return text;
  }
  bool WorkFoldersEmpty() {
    for (const char* folder :
         {"Arquivos Bin\xE1rios/*.*", "Arquivos TXT Espelho/*.*", "Arquivos TXT Formatados/*.*"}) {
      if (!sandbox_.FirstMatch(HostFile(folder)).empty()) return false;
    }
    return true;
  }


  platform::LibraryHandle signer_ = nullptr;
  ValidateFn validate_ = nullptr;
};

TEST_F(FiscalMenuScenarioTest, SerialReadingsLandSignedInTheFiscalMenu) {
  SaleAndReduction();
  HostVariant unused;
  ASSERT_TRUE(
      EmiteLeituraMemoriaFiscalSerial({"002", "01/12/2026", "10/12/2026", "c", "DATA"}, unused));
  const std::string by_date = platform::JoinPath(MenuFolder(), "LMFC_1012202610000.txt");
  const std::string reading = Read(by_date);
  EXPECT_NE(reading.find("LEITURA DA MEM\xD3RIA FISCAL COMPLETA"), std::string::npos) << reading;
  EXPECT_NE(reading.find("CRZ:0001 10/12/2026"), std::string::npos);
  EXPECT_EQ(validate_(by_date.c_str(), fiscal::kEadModulus, "10001"), 1);

  sandbox_.AdvanceSeconds(61);
  ASSERT_TRUE(EmiteLeituraMemoriaFiscalSerial({"002", "1", "1", "S", "REDUCAO"}, unused));
  const std::string by_reduction = platform::JoinPath(MenuFolder(), "LMFS_1012202610101.txt");
  EXPECT_EQ(validate_(by_reduction.c_str(), fiscal::kEadModulus, "10001"), 1);
  EXPECT_EQ(host_.DialogTexts().back(),
            "Leitura de mem\xF3ria fiscal gerada com sucesso no diret\xF3rio: " +
                sandbox_.ShortPath(sandbox_.ExecutableDirectory()) +
                "\\Dados\\MenuFiscal\\LMFS_1012202610101.txt");

  // A file changed after signing no longer validates.
  std::string changed = Read(by_reduction);
  changed[changed.find("CRZ:0001") + 4] = '9';
  ASSERT_TRUE(sandbox_.WriteWholeFile(by_reduction, changed));
  EXPECT_EQ(validate_(by_reduction.c_str(), fiscal::kEadModulus, "10001"), 0);
}

TEST_F(FiscalMenuScenarioTest, MirrorLandsInTheMachinesFiscalMenuFolderAndTheWorkIsCleaned) {
  SaleAndReduction();
  HostVariant unused;
  ASSERT_TRUE(geraEspelhoMfd({"002", "", "", "", "", "", "10/12/2026", "10/12/2026", "1"}, unused))
      << (host_.DialogTexts().empty() ? "" : host_.DialogTexts().back());
  const std::string mirror =
      platform::JoinPath(sandbox_.MenuFiscalDirectory(), "Espelho_MFD_10122026100000.txt");
  const std::string text = Read(mirror);
  EXPECT_NE(text.find("ESPELHO DA MEM\xD3RIA DE FITA-DETALHE"), std::string::npos);
  EXPECT_NE(text.find("ARROZ 5KG"), std::string::npos);
  EXPECT_NE(text.find("REDU\xC7\xC3O Z"), std::string::npos);
  EXPECT_FALSE(sandbox_.FileExists(VendorFile("DOWNLOAD.MFD")));
  EXPECT_TRUE(WorkFoldersEmpty());
}

TEST_F(FiscalMenuScenarioTest, MfdTextAndCotepeFilesAppearInTheFiscalMenu) {
  SaleAndReduction();
  HostVariant unused;
  ASSERT_TRUE(Gera_ArquivoMFD({ParameterPacket(), "1", "3", "TXT", "C"}, unused));
  const std::string mfd_text =
      Read(platform::JoinPath(MenuFolder(), "IBM_20261210_100000.MFD.txt"));
  EXPECT_NE(mfd_text.find("COO 000001"), std::string::npos) << mfd_text;
  EXPECT_TRUE(WorkFoldersEmpty());
  EXPECT_TRUE(boImpFiscalOK) << "the driver was started again from the packet";

  ASSERT_TRUE(Gera_ArquivoMFD({ParameterPacket(), "01/12/2026", "31/12/2026", "MF", "D"}, unused));
  const std::string cotepe = Read(platform::JoinPath(MenuFolder(), "Ato_Cotepe.txt"));
  EXPECT_EQ(cotepe.substr(0, 23), std::string("E01") + kSerial);
  EXPECT_NE(cotepe.find("\r\nE12"), std::string::npos);
  EXPECT_TRUE(WorkFoldersEmpty());

  StringList files;
  ASSERT_TRUE(GeraCatGenerica({ParameterPacket(), "01/12/2026", "31/12/2026"}, files));
  ASSERT_EQ(files.Count(), 1);
  EXPECT_EQ(files[0], sandbox_.SystemDirectory() + "\\MFIBM_20261210_100000.TXT");
  EXPECT_EQ(Read(VendorFile("MFIBM_20261210_100000.TXT")).substr(0, 3), "E01");
  EXPECT_TRUE(WorkFoldersEmpty());
}

TEST_F(FiscalMenuScenarioTest, ATornJournalTailIsRecoveredAndADamagedRecordRefused) {
  SaleAndReduction();
  const std::string good = Read(Journal());
  ASSERT_TRUE(sandbox_.WriteWholeFile(Journal(), good + std::string("MFDR\x40\x00\x00", 7)));
  EXPECT_TRUE(EmiteLeituraMemoriaFiscal("002", "1", "1", "S", "REDUCAO"));
  EXPECT_EQ(Read(Journal()).substr(0, good.size()), good);
  // The reading's own record follows the good ones, where the torn one was.
  EXPECT_EQ(Read(Journal()).substr(good.size(), 4), "MFDR");
  EXPECT_GT(Read(Journal()).size(), good.size() + 12);

  std::string damaged = Read(Journal());
  damaged[40] ^= 0x01;
  ASSERT_TRUE(sandbox_.WriteWholeFile(Journal(), damaged));
  Control("clear");  // a new look at the printer, as a restarted till has
  ASSERT_TRUE(
      sandbox_.WriteWholeFile(VendorFile("IBMFI32.INI"), Read(VendorFile("IBMFI32.INI")) + "\r\n"));
  host_.Clear();
  EXPECT_FALSE(Memoria_Fiscal_Imp("002", "R", "1", "1", ""));
  EXPECT_FALSE(host_.dialogs().empty()) << "the refusal is shown to the operator";
  EXPECT_EQ(Read(Journal()), damaged) << "nothing is dropped";
}

TEST_F(FiscalMenuScenarioTest, PafIdentificationPrintsEveryLineOnTheTape) {
  MemTable paf;
  const char* fields[] = {"NRLAUDO",         "NRCNPJKALVORA",   "DSRAZAOSOCIKAL",
                          "DSENDEKALVORA",   "DSTELEFONEKAL",   "NMRESPONSIST",
                          "DSNOMECOMERCIAL", "DSVERSAOVENDRIX", "NMEXEVENDRIX"};
  for (const char* name : fields) paf.AddField(name, FieldType::kString, 60);
  paf.CreateDataSet();
  std::vector<std::string> values = {
      "LAU0001", "12345678000190", "Loja Ltda", "Rua A",    "3155550000",
      "Ana",     "Caixa",          "1.0",       "CAIXA.EXE"};
  for (std::string& v : values) v = Cripto(v, fiscal::kPafCipherKey);
  paf.AppendRecord(std::vector<HostVariant>(values.begin(), values.end()));
  MemTable printers;
  printers.AddField("NRSERIEIMPRPERS", FieldType::kString, 20);
  printers.CreateDataSet();
  printers.AppendRecord({kSerial});
  MemTable digests;
  digests.AddField("DSARQUIVO", FieldType::kString, 40);
  digests.AddField("NUMEROMD5", FieldType::kString, 32);
  digests.CreateDataSet();
  digests.AppendRecord({"CAIXA.EXE", "0123456789ABCDEF0123456789ABCDEF"});
  sandbox_.MakeDirectory(HostFile("Dados/Cadastros"));
  SaveTableToFile(digests, HostFile("Dados/Cadastros/ArquivosLumMd5.cds"));

  HostVariant unused;
  ImprimeDadosPaf({"K1", "K2", "002", HostVariant::FromPacket(paf.Data()),
                   HostVariant::FromPacket(printers.Data()), "DOC1"},
                  unused);
  EXPECT_TRUE(host_.dialogs().empty()) << host_.DialogTexts()[0];
  const std::string tape = Read(VendorFile("IBMFI32_BOBINA.TXT"));
  for (const char* line :
       {"Identifica\xC3\xA7\xC3\xA3o do Paf-Ecf", "Nr do Laudo: LAU0001",
        "Raz\xC3\xA3o Social : Loja Ltda", "Principal Exe : CAIXA.EXE",
        "MD5           : 0123456789ABCDEF0123456789ABCDEF", "Arquivo: CAIXA.EXE",
        "Versao ER PAF-ECF: 02.03", "Rela\xC3\xA7\xC3\xA3o de Ecf's", "IB010900000000000001"}) {
    EXPECT_NE(tape.find(line), std::string::npos) << line << "\n" << tape;
  }
  EXPECT_EQ(host_.doc_calls().size(), 1u);
}

}  // namespace
}  // namespace zel::test
