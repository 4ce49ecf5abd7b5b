// Fiscal-memory readings: the vendor calls of each kind, the serial reading's
// copy into the fiscal menu with its name and EAD line, and the notices.
#include <functional>
#include <string>
#include <vector>

#include "fiscal/ead_key.h"
#include "fiscal/regulatory_fixture.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

// Checks a file's EAD line with the signing library's own validateFile and
// this installation's public key.
int32_t ValidateWithSigner(const std::string& path);

class MemoryReadingsTest : public RegulatoryTest {
 protected:
  bool Serial(const std::vector<HostVariant>& params) {
    HostVariant unused;
    return EmiteLeituraMemoriaFiscalSerial(params, unused);
  }
  std::string MenuFolder() { return HostPath("Dados/MenuFiscal"); }
};

TEST_F(MemoryReadingsTest, PrintedReadingByDateOrReductionAndNothingForOtherKinds) {
  struct Case {
    const char* kind;
    const char* entry_point;
  };
  for (const Case& c : {Case{"D", "IBM_FI_LeituraMemoriaFiscalData"},
                        Case{"R", "IBM_FI_LeituraMemoriaFiscalReducao"}}) {
    fake_.ClearCalls();
    EXPECT_TRUE(Memoria_Fiscal_Imp("001", c.kind, "01/12/2026", "7", "x"));
    ASSERT_EQ(fake_.CallCount(c.entry_point), 1) << c.kind;
    EXPECT_EQ(fake_.CallsTo(c.entry_point)[0].args, (Strings{"01/12/2026", "7"}));
    EXPECT_EQ(LogEntries().back(), std::string(c.entry_point) + " : 01/12/2026 - 7");
  }
  fake_.ClearCalls();
  for (const char* kind : {"d", "r", "DATA", ""}) {
    EXPECT_FALSE(Memoria_Fiscal_Imp("001", kind, "1", "2", "")) << kind;
  }
  EXPECT_TRUE(fake_.Calls().empty());
}

TEST_F(MemoryReadingsTest, PrintedReadingFailureIsShownToTheOperator) {
  fake_.Answer("IBM_FI_LeituraMemoriaFiscalReducao", -1);
  EXPECT_FALSE(Memoria_Fiscal_Imp("007", "R", "1", "2", ""));
  ASSERT_FALSE(host_.dialogs().empty());
  EXPECT_EQ(host_.dialogs()[0].colour_scheme, "007");
}

TEST_F(MemoryReadingsTest, MfdReadingPadsReductionNumbersAndLogsTheCode) {
  EXPECT_TRUE(EmiteLeituraMemoriaFiscal("001", "7", "12", "c", "REDUCAO"));
  ASSERT_EQ(fake_.CallCount("IBM_FI_LeituraMemoriaFiscalReducaoMFD"), 1);
  EXPECT_EQ(fake_.CallsTo("IBM_FI_LeituraMemoriaFiscalReducaoMFD")[0].args,
            (Strings{"0007", "0012", "c"}));
  EXPECT_EQ(LogEntries().back(),
            "IBM_FI_LeituraMemoriaFiscalReducaoMFD :  - 0007 - 0012 - c\r\n"
            "Retorno da Impressora : 1");

  fake_.Answer("IBM_FI_LeituraMemoriaFiscalDataMFD", -1);
  EXPECT_FALSE(EmiteLeituraMemoriaFiscal("001", "01/12/2026", "31/12/2026", "S", "DATA"));
  EXPECT_EQ(fake_.CallsTo("IBM_FI_LeituraMemoriaFiscalDataMFD")[0].args,
            (Strings{"01/12/2026", "31/12/2026", "S"}));
  EXPECT_EQ(LogEntries()[LogEntries().size() - 2],
            "IBM_FI_LeituraMemoriaFiscalDataMFD :  - 01/12/2026 - 31/12/2026 - S\r\n"
            "Retorno da Impressora : -1");
  EXPECT_TRUE(host_.dialogs().empty()) << "the MFD readings report without dialogs";
}

TEST_F(MemoryReadingsTest, SerialReadingLandsInTheFiscalMenuNamedByTypeAndTimeAndSigned) {
  const std::string reading = "LEITURA DA MEMORIA FISCAL\r\nCRZ 0001\r\n";
  Put(platform::JoinPath(VendorFolder(), "Retorno.txt"), reading);
  sandbox_.MakeDirectory(MenuFolder());
  sandbox_.SetNow(EncodeDateTime(2026, 12, 8, 9, 5, 7, 0));

  EXPECT_TRUE(Serial({"005", "1", "3", "S", "REDUCAO"}));
  // Reductions are not padded in the serial form.
  EXPECT_EQ(fake_.CallsTo("IBM_FI_LeituraMemoriaFiscalSerialReducaoMFD")[0].args,
            (Strings{"1", "3", "S"}));
  const std::string file = platform::JoinPath(MenuFolder(), "LMFS_0812202609507.txt");
  ASSERT_TRUE(Exists(file));
  const std::string content = Read(file);
  EXPECT_EQ(content.substr(0, reading.size()), reading);
  EXPECT_EQ(content.size(), reading.size() + 3 + 256 + 2);
  EXPECT_EQ(ValidateWithSigner(file), 1);
  ASSERT_EQ(host_.dialogs().size(), 1u);
  EXPECT_EQ(host_.dialogs()[0].kind, kDialogInformation);
  EXPECT_EQ(host_.dialogs()[0].colour_scheme, "005");
  EXPECT_EQ(host_.dialogs()[0].question, "N");
  EXPECT_EQ(host_.dialogs()[0].text,
            "Leitura de mem\xF3ria fiscal gerada com sucesso no diret\xF3rio: " +
                sandbox_.ShortPath(HostFolder()) + "\\Dados\\MenuFiscal\\LMFS_0812202609507.txt");

  // A lower-case complete type names an LMFC_ file and reaches the vendor
  // unchanged; minutes from 10 take two digits.
  sandbox_.SetNow(EncodeDateTime(2026, 12, 8, 15, 35, 9, 0));
  EXPECT_TRUE(Serial({"005", "01/12/2026", "08/12/2026", "c", "DATA"}));
  EXPECT_EQ(fake_.CallsTo("IBM_FI_LeituraMemoriaFiscalSerialDataMFD")[0].args,
            (Strings{"01/12/2026", "08/12/2026", "c"}));
  EXPECT_NE(LogText().find(" - IBM_FI_LeituraMemoriaFiscalSerialDataMFD :  - 01/12/2026 - "
                           "08/12/2026 - c\r\nRetorno da Impressora : 1\r\n"),
            std::string::npos);
  EXPECT_EQ(ValidateWithSigner(platform::JoinPath(MenuFolder(), "LMFC_08122026153509.txt")), 1);
}

TEST_F(MemoryReadingsTest, SerialReadingFailuresAndTheirNotices) {
  Put(platform::JoinPath(VendorFolder(), "Retorno.txt"), "X\r\n");

  // The menu folder is missing: the copy fails with the system's code. The
  // printer made the reading, but the fiscal menu has no file: false.
  EXPECT_FALSE(Serial({"009", "1", "2", "S", "R"}));
  ASSERT_EQ(host_.DialogTexts(),
            (Strings{"Erro ao gerar arquivo de mem\xF3ria fiscal. (Erro - 3)"}));
  EXPECT_EQ(host_.dialogs()[0].kind, kDialogError);

  // The vendor refuses: false, no dialog, no copy.
  host_.ClearDialogs();
  fake_.Answer("IBM_FI_LeituraMemoriaFiscalSerialReducaoMFD", -1);
  sandbox_.MakeDirectory(MenuFolder());
  EXPECT_FALSE(Serial({"009", "1", "2", "S", "R"}));
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_EQ(sandbox_.FirstMatch(platform::JoinPath(MenuFolder(), "*.txt")), "");

  // No IBMFI32.INI.
  fake_.Answer("IBM_FI_LeituraMemoriaFiscalSerialReducaoMFD", 1);
  RemoveIni();
  EXPECT_FALSE(Serial({"009", "1", "2", "S", "R"}));
  EXPECT_EQ(host_.DialogTexts(),
            (Strings{"Arquivo de configura\xE7\xE3o da IBM n\xE3o encontrado (IBMFI32.INI)."}));
}

// Two readings in the same second: the second gets a name of its own and
// the first stays as it was.
TEST_F(MemoryReadingsTest, ReadingsOfTheSameSecondKeepEachItsFile) {
  sandbox_.MakeDirectory(MenuFolder());
  sandbox_.SetNow(EncodeDateTime(2026, 12, 8, 9, 5, 7, 0));
  Put(platform::JoinPath(VendorFolder(), "Retorno.txt"), "PRIMEIRA\r\n");
  EXPECT_TRUE(Serial({"005", "1", "3", "S", "R"}));
  Put(platform::JoinPath(VendorFolder(), "Retorno.txt"), "SEGUNDA\r\n");
  EXPECT_TRUE(Serial({"005", "1", "3", "S", "R"}));
  const std::string first = platform::JoinPath(MenuFolder(), "LMFS_0812202609507.txt");
  const std::string second = platform::JoinPath(MenuFolder(), "LMFS_0812202609507_2.txt");
  EXPECT_EQ(Read(first).substr(0, 10), "PRIMEIRA\r\n");
  EXPECT_EQ(Read(second).substr(0, 9), "SEGUNDA\r\n");
  EXPECT_EQ(ValidateWithSigner(first), 1);
  EXPECT_EQ(ValidateWithSigner(second), 1);
}

// A reading that cannot be signed is not left unsigned in the fiscal menu:
// the operator is told, no success notice, false.
TEST_F(MemoryReadingsTest, UnsignedReadingIsRemovedAndTold) {
  sandbox_.MakeDirectory(MenuFolder());
  Put(platform::JoinPath(VendorFolder(), "Retorno.txt"), "X\r\n");
  sandbox_.FailOpenLibrary(true);
  EXPECT_FALSE(Serial({"005", "1", "3", "S", "R"}));
  EXPECT_EQ(sandbox_.FirstMatch(platform::JoinPath(MenuFolder(), "*.txt")), "");
  ASSERT_EQ(host_.dialogs().size(), 1u);
  EXPECT_EQ(host_.dialogs()[0].kind, kDialogError);
  EXPECT_NE(host_.dialogs()[0].text.find("assinar"), std::string::npos);
}

// What a reading killed part way left (its unfinished copy, partial or
// unsigned, of this very second or an earlier one) is deleted by the next
// reading and never taken for one: the new reading takes its own name.
// Other files of the folder stay.
TEST_F(MemoryReadingsTest, AKilledReadingsUnfinishedCopyIsDeletedAndNeverTakenForAReading) {
  sandbox_.MakeDirectory(MenuFolder());
  sandbox_.SetNow(EncodeDateTime(2026, 12, 8, 9, 5, 7, 0));
  const std::string same_second =
      platform::JoinPath(MenuFolder(), "LMFS_0812202609507.txt.parcial");
  const std::string earlier = platform::JoinPath(MenuFolder(), "LMFC_07122026235959.txt.parcial");
  const std::string others = platform::JoinPath(MenuFolder(), "notas.parcial");
  Put(same_second, "LEITURA DA ME");
  Put(earlier, "LEITURA DA MEMORIA FISCAL\r\n");
  Put(others, "x");
  Put(platform::JoinPath(VendorFolder(), "Retorno.txt"), "NOVA\r\n");

  EXPECT_TRUE(Serial({"005", "1", "3", "S", "R"}));
  const std::string reading = platform::JoinPath(MenuFolder(), "LMFS_0812202609507.txt");
  EXPECT_EQ(Read(reading).substr(0, 6), "NOVA\r\n");
  EXPECT_EQ(ValidateWithSigner(reading), 1);
  EXPECT_FALSE(Exists(same_second));
  EXPECT_FALSE(Exists(earlier));
  EXPECT_TRUE(Exists(others));
  EXPECT_EQ(sandbox_.FirstMatch(platform::JoinPath(MenuFolder(), "LMF*")),
            "LMFS_0812202609507.txt");
}

// A reading that fails at any step after the printer made it (the copy, the
// signature, the final name) leaves nothing in the fiscal menu's folder:
// neither a file under a reading's name nor its unfinished copy.
TEST_F(MemoryReadingsTest, AReadingThatFailsPartWayLeavesNothingBehind) {
  struct Case {
    const char* step;
    std::function<void()> fail;
    const char* notice;
  };
  const Case cases[] = {
      {"copy", [this] { sandbox_.FailNextCopy(platform::kErrorDiskFull); },
       "Erro ao gerar arquivo de mem\xF3ria fiscal. (Erro - 112)"},
      {"signature", [this] { sandbox_.FailOpenLibrary(true); },
       "Erro ao assinar o arquivo de mem\xF3ria fiscal (EAD). O arquivo n\xE3o foi gravado."},
      {"final name",
       [this] {
         sandbox_.fail_rename = {"LMFS_0812202609507.txt", platform::kErrorAccessDenied};
       },
       "Erro ao gerar arquivo de mem\xF3ria fiscal. (Erro - 5)"},
  };
  sandbox_.MakeDirectory(MenuFolder());
  sandbox_.SetNow(EncodeDateTime(2026, 12, 8, 9, 5, 7, 0));
  Put(platform::JoinPath(VendorFolder(), "Retorno.txt"), "LEITURA\r\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.step);
    host_.ClearDialogs();
    c.fail();
    EXPECT_FALSE(Serial({"005", "1", "3", "S", "R"}));
    EXPECT_EQ(sandbox_.FirstMatch(platform::JoinPath(MenuFolder(), "*.*")), "");
    EXPECT_EQ(host_.DialogTexts(), Strings{c.notice});
    sandbox_.FailOpenLibrary(false);
    sandbox_.fail_rename = {};
  }
}

// Another till that finishes a reading of the same second while this one is
// being signed keeps its file; this one takes the next name.
TEST_F(MemoryReadingsTest, AReadingOfTheSameSecondFinishedMeanwhileKeepsItsFile) {
  sandbox_.MakeDirectory(MenuFolder());
  sandbox_.SetNow(EncodeDateTime(2026, 12, 8, 9, 5, 7, 0));
  Put(platform::JoinPath(VendorFolder(), "Retorno.txt"), "ESTA\r\n");
  const std::string first = platform::JoinPath(MenuFolder(), "LMFS_0812202609507.txt");
  sandbox_.before_rename = [&](const std::string&) {
    if (!Exists(first)) Put(first, "OUTRA\r\n");
  };
  EXPECT_TRUE(Serial({"005", "1", "3", "S", "R"}));
  EXPECT_EQ(Read(first), "OUTRA\r\n");
  const std::string second = platform::JoinPath(MenuFolder(), "LMFS_0812202609507_2.txt");
  EXPECT_EQ(Read(second).substr(0, 6), "ESTA\r\n");
  EXPECT_EQ(ValidateWithSigner(second), 1);
  EXPECT_EQ(host_.DialogTexts().back(),
            "Leitura de mem\xF3ria fiscal gerada com sucesso no diret\xF3rio: " +
                sandbox_.ShortPath(HostFolder()) + "\\Dados\\MenuFiscal\\LMFS_0812202609507_2.txt");
}

TEST_F(MemoryReadingsTest, ShortParameterArrayReadsMissingValuesAsEmpty) {
  Put(platform::JoinPath(VendorFolder(), "Retorno.txt"), "X\r\n");
  sandbox_.MakeDirectory(MenuFolder());
  EXPECT_TRUE(Serial({"001", "1"}));
  EXPECT_EQ(fake_.CallsTo("IBM_FI_LeituraMemoriaFiscalSerialReducaoMFD")[0].args,
            (Strings{"1", "", ""}));
}

TEST_F(MemoryReadingsTest, GeraEadWithoutTheLibraryLeavesTheFileAsItWas) {
  const std::string path = sandbox_.Path("a.txt");
  Put(path, "abc\r\n");
  sandbox_.FailOpenLibrary(true);
  geraEad(path);
  EXPECT_EQ(Read(path), "abc\r\n");
  sandbox_.FailOpenLibrary(false);

  geraEad(path);
  EXPECT_EQ(ValidateWithSigner(path), 1);
  EXPECT_NE(ImpFisDLLHandle2, nullptr);
  EXPECT_EQ(IBM_generateEAD, nullptr) << "the entry points are emptied after the signature";
  EXPECT_EQ(IBM_validateFile, nullptr);
}

int32_t ValidateWithSigner(const std::string& path) {
  platform::Platform& os = platform::Current();
  platform::LibraryHandle library = os.OpenLibrary("sign_bema.dll");
  if (library == nullptr) return -100;
  using Validate = int32_t (*)(const char*, const char*, const char*);
  auto validate = reinterpret_cast<Validate>(os.LibrarySymbol(library, "validateFile"));
  int32_t result =
      validate == nullptr ? -101 : validate(path.c_str(), fiscal::kEadModulus, "10001");
  os.CloseLibrary(library);
  return result;
}

}  // namespace
}  // namespace zel::test
