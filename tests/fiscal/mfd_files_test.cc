// The MFD mirror, the MFD text file and the Ato COTEPE files: the vendor
// calls and their ranges, the files moved where the fiscal menu expects them,
// the work folders cleaned, the notices and the restart of the driver.
#include <string>
#include <vector>

#include "fiscal/regulatory_fixture.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

const std::string kBinaries = "Arquivos Bin\xE1rios";
const std::string kMirrorTexts = "Arquivos TXT Espelho";
const std::string kFormatted = "Arquivos TXT Formatados";

HostVariant ParameterPacket() {
  MemTable table;
  for (const char* name : {"NRSERIEECF", "IDESQUEMA", "CDFILIAL", "CDCAIXA", "CDPORTAIMPFIS"}) {
    table.AddField(name, FieldType::kString, 20);
  }
  table.CreateDataSet();
  table.AppendRecord({"IB010900000000000001", "042", "0001", "003", "COM2"});
  return HostVariant::FromPacket(table.Data());
}

class MfdFilesTest : public RegulatoryTest {
 protected:
  MfdFilesTest() { sandbox_.MakeDirectory(sandbox_.MenuFiscalDirectory()); }

  // As the driver names it: the vendor folder from IBMFI32.INI + "\".
  std::string Download() { return VendorFolder() + "\\DOWNLOAD.MFD"; }
  std::string Work(const std::string& folder, const std::string& name) {
    return HostPath(folder + "/" + name);
  }
  // What the vendor's download leaves: the dump and its copy.
  void OnDownloadLeaveFiles() {
    fake_.OnCall("IBM_FI_DownloadMFD", [this](const FakeCall&) {
      Put(Download(), "MFD");
      Put(Work(kBinaries, "IBM_20261210_100000.MFD"), "MFD");
    });
  }
  bool Mirror(const std::vector<HostVariant>& params) {
    HostVariant unused;
    return geraEspelhoMfd(params, unused);
  }
  bool MfdFile(const std::vector<HostVariant>& params) {
    HostVariant unused;
    return Gera_ArquivoMFD(params, unused);
  }
  std::vector<HostVariant> MirrorParams(const std::string& start, const std::string& end,
                                        const std::string& type) {
    return {"011", "", "", "", "", "", start, end, type};
  }
};

TEST_F(MfdFilesTest, MirrorSendsTheRangeByTypeAndFormatsTheDownload) {
  struct Case {
    const char* start;
    const char* end;
    const char* type;
    const char* sent_start;
    const char* sent_end;
  };
  const Case cases[] = {{"01/12/2026", "31/12/2026", "1", "01122026", "31122026"},
                        {"15", "230", "2", "000015", "000230"}};
  for (const Case& c : cases) {
    fake_.ClearCalls();
    host_.ClearDialogs();
    OnDownloadLeaveFiles();
    Put(Work(kMirrorTexts, "ESPELHO.TXT"), "x");
    ASSERT_TRUE(Mirror(MirrorParams(c.start, c.end, c.type))) << c.type;

    EXPECT_EQ(fake_.CallsTo("IBM_FI_DownloadMFD")[0].args,
              (Strings{Download(), c.type, c.sent_start, c.sent_end, "01"}));
    const std::string target =
        platform::JoinPath(sandbox_.MenuFiscalDirectory(), "Espelho_MFD_10122026100000.txt");
    EXPECT_EQ(fake_.CallsTo("IBM_FI_FormatoDadosMFD")[0].args,
              (Strings{Download(), target, "0", c.type, c.sent_start, c.sent_end, "1"}));
    EXPECT_EQ(host_.DialogTexts(), (Strings{"ARQUIVO ESPELHO DE MEMORIA DE FITA DETALHE GERADO COM "
                                            "SUCESSO NO DIRET\xD3RIO: " +
                                            target}));
    EXPECT_EQ(host_.dialogs()[0].kind, kDialogInformation);
    EXPECT_FALSE(Exists(Download()));
    EXPECT_FALSE(Exists(Work(kBinaries, "IBM_20261210_100000.MFD")));
    EXPECT_FALSE(Exists(Work(kMirrorTexts, "ESPELHO.TXT")));
    EXPECT_EQ(dsDirCad, sandbox_.ShortPath(HostFolder()) + "\\");
  }
  const std::string vendor = VendorFolder() + "\\";
  EXPECT_NE(LogText().find("IBM_FI_FormatoDadosMFD : - " + vendor + "download.mfd - " +
                           platform::JoinPath(sandbox_.MenuFiscalDirectory(),
                                              "Espelho_MFD_10122026100000.txt") +
                           " - 0 - 2 - 000015 - 000230 - 1\r\nRetorno da Impressora : 1"),
            std::string::npos);
  EXPECT_NE(LogText().find("IBM_FI_DownloadMFD  :  - " + vendor +
                           "DOWNLOAD.MFD - 2 - 000015 - 000230\r\nRetorno da Impressora : 1"),
            std::string::npos);
  EXPECT_EQ(sandbox_.VendorLoads(), 0) << "the mirror leaves the driver as it was";
}

TEST_F(MfdFilesTest, MirrorFailuresAreToldAndStopBeforeFormatting) {
  // The download answers but leaves no file.
  EXPECT_FALSE(Mirror(MirrorParams("1", "2", "2")));
  EXPECT_EQ(host_.DialogTexts(), (Strings{"ERRO AO REALIZAR GERA\xC7\xC3O DO ESPELHO MFD."}));
  EXPECT_EQ(host_.dialogs()[0].kind, kDialogError);
  EXPECT_EQ(host_.dialogs()[0].colour_scheme, "011");
  EXPECT_EQ(fake_.CallCount("IBM_FI_FormatoDadosMFD"), 0);

  host_.ClearDialogs();
  fake_.Answer("IBM_FI_DownloadMFD", -1);
  EXPECT_FALSE(Mirror(MirrorParams("1", "2", "2")));
  EXPECT_EQ(host_.DialogTexts(), (Strings{"ERRO AO REALIZAR DOWNLOAD DA MEM\xD3RIA MFD."}));

  host_.ClearDialogs();
  fake_.Answer("IBM_FI_DownloadMFD", 1);
  OnDownloadLeaveFiles();
  fake_.Answer("IBM_FI_FormatoDadosMFD", -1);
  EXPECT_FALSE(Mirror(MirrorParams("1", "2", "2")));
  EXPECT_EQ(host_.DialogTexts(), (Strings{"ERRO AO REALIZAR GERA\xC7\xC3O DO ESPELHO MFD."}));

  host_.ClearDialogs();
  fake_.ClearCalls();
  RemoveIni();
  EXPECT_FALSE(Mirror(MirrorParams("1", "2", "2")));
  EXPECT_EQ(host_.DialogTexts(),
            (Strings{"ARQUIVO DE CONFIGURACAO DA IBM N\xC3O ENCONTRADO (IBMFI32.INI)."}));
  EXPECT_EQ(fake_.CallCount("IBM_FI_DownloadMFD"), 0);
}

TEST_F(MfdFilesTest, CotepeFileIsCopiedAsAtoCotepeAndTheDriverStartsAgain) {
  sandbox_.MakeDirectory(HostPath("Dados/MenuFiscal"));
  fake_.OnCall("IBM_FI_GeraAtoCotepe1704", [this](const FakeCall&) {
    Put(Work(kFormatted, "IBM_20261210_100000.TXT"), "E01...\r\n");
    Put(Work(kBinaries, "IBM_20261210_100000.MF"), "MF");
  });
  EXPECT_TRUE(MfdFile({ParameterPacket(), "01/12/2026", "31/12/2026", "MF", "D"}));

  const FakeCall call = fake_.CallsTo("IBM_FI_GeraAtoCotepe1704")[0];
  EXPECT_EQ(call.args, (Strings{"2", "01122026", "31122026", std::string(512, ' ')}));
  EXPECT_EQ(Read(HostPath("Dados/MenuFiscal/Ato_Cotepe.txt")), "E01...\r\n");
  EXPECT_FALSE(Exists(Work(kFormatted, "IBM_20261210_100000.TXT")));
  EXPECT_FALSE(Exists(Work(kBinaries, "IBM_20261210_100000.MF")));
  EXPECT_EQ(sandbox_.VendorLoads(), 1);
  EXPECT_NE(LogText().find("IBM_FI_GeraAtoCotepe1704: 2 - 01122026 - 31122026 - " +
                           std::string(512, ' ') + "\r\nRetorno da Impressora : 1"),
            std::string::npos);
  EXPECT_TRUE(host_.dialogs().empty());
}

// The COTEPE file that cannot be copied into the fiscal menu stays in the
// work folder (the only copy), and the operator is told: false.
TEST_F(MfdFilesTest, CotepeFileThatCannotBeCopiedIsKept) {
  fake_.OnCall("IBM_FI_GeraAtoCotepe1704", [this](const FakeCall&) {
    Put(Work(kFormatted, "IBM_20261210_100000.TXT"), "E01...\r\n");
    Put(Work(kBinaries, "IBM_20261210_100000.MF"), "MF");
  });
  // No Dados\MenuFiscal folder: the copy fails.
  EXPECT_FALSE(MfdFile({ParameterPacket(), "01/12/2026", "31/12/2026", "MF", "D"}));
  EXPECT_TRUE(Exists(Work(kFormatted, "IBM_20261210_100000.TXT")));
  EXPECT_TRUE(Exists(Work(kBinaries, "IBM_20261210_100000.MF")));
  ASSERT_EQ(host_.dialogs().size(), 1u);
  EXPECT_EQ(host_.dialogs()[0].kind, kDialogError);
  EXPECT_EQ(host_.dialogs()[0].colour_scheme, "042");
  EXPECT_EQ(sandbox_.VendorLoads(), 1);
}

// A positional parameter that cannot become text ends the operation before
// anything is sent: false, no message, no restart.
TEST_F(MfdFilesTest, AParameterThatIsNoTextEndsTheOperation) {
  const HostVariant list = HostVariant::MakeArray({HostVariant("a"), HostVariant("b")});
  HostVariant unused;
  StringList files;
  EXPECT_FALSE(MfdFile({ParameterPacket(), list, "31/12/2026", "MF", "D"}));
  EXPECT_FALSE(MfdFile({ParameterPacket(), "1", "2", list, "C"}));
  EXPECT_FALSE(GeraCatGenerica({ParameterPacket(), "01/12/2026", list}, files));
  EXPECT_FALSE(geraEspelhoMfd({"001", "", "", "", "", "", list, "2", "1"}, unused));
  EXPECT_EQ(fake_.CallCount("IBM_FI_GeraAtoCotepe1704"), 0);
  EXPECT_EQ(fake_.CallCount("IBM_FI_DownloadMFD"), 0);
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_EQ(sandbox_.VendorLoads(), 0);
}

// The restart keeps the host's self-service setting: dialogs stay off on a
// self-service till.
TEST_F(MfdFilesTest, RestartKeepsTheSelfServiceSetting) {
  for (bool attended : {false, true}) {
    boNUtilTaa = attended;
    fake_.Answer("IBM_FI_GeraAtoCotepe1704", 0);
    EXPECT_FALSE(MfdFile({ParameterPacket(), "1", "2", "MF", "C"}));
    StringList list;
    EXPECT_FALSE(GeraCatGenerica({ParameterPacket(), "01/12/2026", "31/12/2026"}, list));
    EXPECT_EQ(boNUtilTaa, attended);
  }
}

TEST_F(MfdFilesTest, MfdTextFileIsNamedAfterTheDumpAndTheWorkFilesGo) {
  sandbox_.MakeDirectory(HostPath("Dados/MenuFiscal"));
  OnDownloadLeaveFiles();
  Put(Work(kMirrorTexts, "TRABALHO.TXT"), "x");
  EXPECT_TRUE(MfdFile({ParameterPacket(), "15", "230", "TXT", "C"}));

  EXPECT_EQ(fake_.CallsTo("IBM_FI_DownloadMFD")[0].args,
            (Strings{Download(), "2", "000015", "000230", "01"}));
  const std::string source =
      sandbox_.ShortPath(HostFolder()) + "\\" + kBinaries + "\\IBM_20261210_100000.MFD";
  const std::string target =
      sandbox_.ShortPath(HostFolder()) + "\\Dados\\MenuFiscal\\IBM_20261210_100000.MFD.txt";
  EXPECT_EQ(fake_.CallsTo("IBM_FI_FormatoDadosMFD")[0].args,
            (Strings{source, target, "0", "TXT", "000015", "000230", "1"}));
  EXPECT_NE(LogText().find("IBM_FI_FormatoDadosMFD : " + source + target +
                           "0TXT - 000015 - 000230 - 1\r\nRetorno da Impressora : 1"),
            std::string::npos);
  EXPECT_FALSE(Exists(Download()));
  EXPECT_FALSE(Exists(Work(kBinaries, "IBM_20261210_100000.MFD")));
  EXPECT_FALSE(Exists(Work(kMirrorTexts, "TRABALHO.TXT")));
  EXPECT_EQ(sandbox_.VendorLoads(), 1);
}

TEST_F(MfdFilesTest, RestartFollowsAFailedDownloadButNotAFailedFormatting) {
  fake_.Answer("IBM_FI_DownloadMFD", -1);
  EXPECT_FALSE(MfdFile({ParameterPacket(), "1", "2", "TXT", "C"}));
  EXPECT_EQ(fake_.CallCount("IBM_FI_FormatoDadosMFD"), 0);
  EXPECT_EQ(sandbox_.VendorLoads(), 1);

  fake_.Answer("IBM_FI_DownloadMFD", 1);
  fake_.Answer("IBM_FI_FormatoDadosMFD", -1);
  EXPECT_FALSE(MfdFile({ParameterPacket(), "1", "2", "TXT", "C"}));
  EXPECT_EQ(sandbox_.VendorLoads(), 1);

  // The COTEPE generation refused: false, and the driver starts again.
  fake_.Answer("IBM_FI_GeraAtoCotepe1704", 0);
  EXPECT_FALSE(MfdFile({ParameterPacket(), "1", "2", "MF", "C"}));
  EXPECT_EQ(sandbox_.VendorLoads(), 2);

  // No IBMFI32.INI, or no packet: no restart.
  RemoveIni();
  EXPECT_FALSE(MfdFile({ParameterPacket(), "1", "2", "MF", "C"}));
  EXPECT_EQ(host_.dialogs().back().colour_scheme, "042");
  WriteIni();
  EXPECT_FALSE(MfdFile({"not a packet", "1", "2", "MF", "C"}));
  EXPECT_EQ(sandbox_.VendorLoads(), 2);
}

class CatGenericaTest : public MfdFilesTest {
 protected:
  bool Generate(const HostVariant& start, const HostVariant& end, StringList& list) {
    return GeraCatGenerica({ParameterPacket(), start, end}, list);
  }
};

TEST_F(CatGenericaTest, DatesAsShortDatesOrDigitsReachTheVendorAsDdMmYyyy) {
  fake_.OnCall("IBM_FI_GeraAtoCotepe1704", [this](const FakeCall&) {
    Put(Work(kFormatted, "MFIB.TXT"), "E01\r\n");
  });
  struct Case {
    const char* start;
    const char* end;
    const char* sent_start;
    const char* sent_end;
  };
  // Digits with a four-digit year take the year whole.
  for (const Case& c : {Case{"01/12/2026", "31/12/2026", "01122026", "31122026"},
                        Case{"011226", "311226", "01122026", "31122026"},
                        Case{"07122026", "31122026", "07122026", "31122026"}}) {
    fake_.ClearCalls();
    StringList list;
    EXPECT_TRUE(Generate(c.start, c.end, list)) << c.start;
    EXPECT_EQ(fake_.CallsTo("IBM_FI_GeraAtoCotepe1704")[0].args,
              (Strings{"2", c.sent_start, c.sent_end, std::string(512, ' ')}));
  }
  // A valid start with an invalid end: both are read as digits, and
  // "01/12/2026" is no "ddmmyy": the operation ends without the vendor call
  // and without starting the driver again.
  fake_.ClearCalls();
  const int loads = sandbox_.VendorLoads();
  StringList list;
  EXPECT_FALSE(Generate("01/12/2026", "311226", list));
  EXPECT_EQ(fake_.CallCount("IBM_FI_GeraAtoCotepe1704"), 0);
  EXPECT_EQ(sandbox_.VendorLoads(), loads);
}

TEST_F(CatGenericaTest, TheFileIsCopiedToTheVendorFolderAndListed) {
  fake_.OnCall("IBM_FI_GeraAtoCotepe1704", [this](const FakeCall&) {
    Put(Work(kFormatted, "MFIB_20261210_100000.TXT"), "E01\r\n");
    Put(Work(kBinaries, "IBM_20261210_100000.MF"), "MF");
    Put(Work(kBinaries, "IBM_20261210_100000.MFD"), "MFD");
  });
  StringList list;
  list.Add("left over");
  ASSERT_TRUE(Generate("01/12/2026", "31/12/2026", list));
  const std::string vendor = VendorFolder() + "\\";
  EXPECT_EQ(list.Strings(), (Strings{vendor + "MFIB_20261210_100000.TXT"}));
  EXPECT_EQ(Read(platform::JoinPath(VendorFolder(), "MFIB_20261210_100000.TXT")), "E01\r\n");
  EXPECT_FALSE(Exists(Work(kFormatted, "MFIB_20261210_100000.TXT")));
  EXPECT_FALSE(Exists(Work(kBinaries, "IBM_20261210_100000.MF")));
  EXPECT_FALSE(Exists(Work(kBinaries, "IBM_20261210_100000.MFD")));
  EXPECT_EQ(sandbox_.VendorLoads(), 1);
  EXPECT_EQ(inRetorno, 1);

  const Strings log = LogEntries();
  const Strings expected = {
      "GeraCatGenerica",
      "Path(IBMFI32.INI): " + vendor,
      "Data Inicial : 01/12/2026",
      "Data Final : 31/12/2026",
      "IBM_FI_GeraAtoCotepe1704: 2 - 01122026 - 31122026 - " + std::string(512, ' '),
      "Retorno da Impressora : 1",
      "Retorno : 1",
      "Arquivo gerado: MFIB_20261210_100000.TXT"};
  ASSERT_GE(log.size(), expected.size());
  EXPECT_EQ(Strings(log.begin(), log.begin() + expected.size()), expected);
}

// The printer answered 1 but wrote no file, or the copy failed: false, the
// operator is told, nothing is listed, and the work file stays (it is the
// only copy). The driver starts again as after any generation.
TEST_F(CatGenericaTest, NoFileOrAFailedCopyIsAFailure) {
  StringList list;
  EXPECT_FALSE(Generate("01/12/2026", "31/12/2026", list));
  EXPECT_EQ(list.Count(), 0);
  ASSERT_EQ(host_.dialogs().size(), 1u);
  EXPECT_EQ(host_.dialogs()[0].kind, kDialogError);
  EXPECT_EQ(sandbox_.VendorLoads(), 1);

  host_.ClearDialogs();
  Put(Work(kFormatted, "MFIB.TXT"), "E01\r\n");
  sandbox_.FailNextCopy(platform::kErrorAccessDenied);
  EXPECT_FALSE(Generate("01/12/2026", "31/12/2026", list));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(Exists(Work(kFormatted, "MFIB.TXT")));
  EXPECT_FALSE(Exists(platform::JoinPath(VendorFolder(), "MFIB.TXT")));
  ASSERT_EQ(host_.dialogs().size(), 1u);
  EXPECT_NE(host_.dialogs()[0].text.find("(Erro - 5)"), std::string::npos);
}

TEST_F(CatGenericaTest, ARefusedGenerationListsNothing) {

  fake_.Answer("IBM_FI_GeraAtoCotepe1704", -1);
  StringList refused;
  EXPECT_FALSE(Generate("01/12/2026", "31/12/2026", refused));
  EXPECT_EQ(refused.Count(), 0);
  EXPECT_NE(LogText().find("Retorno da Impressora : -1\r\n"), std::string::npos);
  EXPECT_NE(LogText().find(" - Retorno : -1\r\n"), std::string::npos);
  EXPECT_EQ(sandbox_.VendorLoads(), 1);
}

TEST_F(CatGenericaTest, BeforeTheDriverWasEverStartedTheCallIsSkipped) {
  IBM_FI_GeraAtoCotepe1704 = nullptr;
  inRetorno = 0;
  StringList list;
  EXPECT_FALSE(Generate("01/12/2026", "31/12/2026", list));
  EXPECT_NE(dtmImpIBM, nullptr);
  EXPECT_NE(LogText().find(" - Retorno : 0\r\n"), std::string::npos);
  EXPECT_EQ(sandbox_.VendorLoads(), 1) << "the driver is started from the packet";
}

TEST_F(MfdFilesTest, DataHoraGravacaoChangesNothing) {
  std::string a = "a", b = "b", c = "c";
  EXPECT_TRUE(DataHoraGravacaoUsuarioSWBasicoMFAdicional("001", a, b, c));
  EXPECT_EQ(a + b + c, "abc");
  EXPECT_TRUE(fake_.Calls().empty());
}

}  // namespace
}  // namespace zel::test
