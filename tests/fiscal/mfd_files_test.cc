// The MFD mirror, the MFD text file and the Ato COTEPE files: the vendor
// calls and their ranges, the files moved where the fiscal menu expects them,
// the work folders cleaned, the notices and the restart of the driver.
#include <functional>
#include <map>
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
  OnDownloadLeaveFiles();
  fake_.Answer("IBM_FI_FormatoDadosMFD", -1);
  EXPECT_FALSE(MfdFile({ParameterPacket(), "1", "2", "TXT", "C"}));
  EXPECT_EQ(fake_.CallCount("IBM_FI_FormatoDadosMFD"), 1);
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
  fake_.OnCall("IBM_FI_GeraAtoCotepe1704", [this](const FakeCall&) {
    Put(Work(kFormatted, "MFIB.TXT"), "E01\r\n");
  });
  sandbox_.fail_atomic_write = {"MFIB.TXT", platform::kErrorAccessDenied};
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

// ---- What runs killed part way leave behind ----

class LeftoversTest : public CatGenericaTest {
 protected:
  LeftoversTest() { sandbox_.MakeDirectory(HostPath("Dados/MenuFiscal")); }

  // The work files and the download a run killed part way left: dated the
  // day before this call's, so that they are listed first.
  static inline const std::string kOldDump = "IBM_20261209_180000.MFD";
  static inline const std::string kOldMf = "IBM_20261209_180000.MF";
  static inline const std::string kOldCotepe = "MFIBM_20261209_180000.TXT";
  static inline const std::string kOldMirror = "IBM_20261209_180000.TXT";
  // This call's, at the printer's clock.
  static inline const std::string kNewDump = "IBM_20261210_100000.MFD";
  static inline const std::string kNewMf = "IBM_20261210_100000.MF";
  static inline const std::string kNewCotepe = "MFIBM_20261210_100000.TXT";
  static inline const std::string kNewMirror = "IBM_20261210_100000.TXT";

  void PutLeftovers() {
    Put(Download(), "MFD ANTIGO");
    Put(Work(kBinaries, kOldDump), "MFD ANTIGO");
    Put(Work(kBinaries, kOldMf), "MF ANTIGO");
    Put(Work(kFormatted, kOldCotepe), "E01 ANTIGO\r\n");
    Put(Work(kMirrorTexts, kOldMirror), "ESPELHO ANTIGO");
  }
  // The vendor library's output of this call: the download and its copy,
  // the formatted text (made from the file it is given) and its copy, the
  // COTEPE file and its binary companion.
  void OnCallsLeaveThisCallsFiles() {
    fake_.OnCall("IBM_FI_DownloadMFD", [this](const FakeCall&) {
      Put(Download(), "MFD NOVO");
      Put(Work(kBinaries, kNewDump), "MFD NOVO");
    });
    fake_.OnCall("IBM_FI_FormatoDadosMFD", [this](const FakeCall& call) {
      Put(call.args[1], "TEXTO DE " + Read(call.args[0]));
      Put(Work(kMirrorTexts, kNewMirror), "TEXTO");
    });
    fake_.OnCall("IBM_FI_GeraAtoCotepe1704", [this](const FakeCall&) {
      Put(Work(kFormatted, kNewCotepe), "E01 NOVO\r\n");
      Put(Work(kBinaries, kNewMf), "MF NOVO");
    });
  }
  std::string MirrorFile() {
    return platform::JoinPath(sandbox_.MenuFiscalDirectory(), "Espelho_MFD_10122026100000.txt");
  }

  // One fiscal-menu operation, what it makes and the work files it uses.
  struct Operation {
    std::string name;
    std::function<bool()> run;
    std::string output;   // the file it makes under its final name
    Strings work_files;   // the work files it reads, from before and its own
    std::string printer;  // the vendor call that makes its files
    bool copies;          // whether the driver writes `output` itself
  };
  std::vector<Operation> Operations() {
    const Strings download_work = {Download(), Work(kBinaries, kOldDump), Work(kBinaries, kNewDump),
                                   Work(kMirrorTexts, kOldMirror), Work(kMirrorTexts, kNewMirror)};
    const Strings cotepe_work = {Work(kFormatted, kOldCotepe), Work(kFormatted, kNewCotepe),
                                 Work(kBinaries, kOldMf), Work(kBinaries, kNewMf)};
    Strings generic_work = cotepe_work;
    generic_work.push_back(Work(kBinaries, kOldDump));
    return {
        {"geraEspelhoMfd", [this] { return Mirror(MirrorParams("1", "9", "2")); }, MirrorFile(),
         download_work, "IBM_FI_DownloadMFD", false},
        {"Gera_ArquivoMFD TXT",
         [this] {
           return MfdFile({ParameterPacket(), "1", "9", "TXT", "C"});
         },
         HostPath("Dados/MenuFiscal/" + kNewDump + ".txt"), download_work, "IBM_FI_DownloadMFD",
         false},
        {"Gera_ArquivoMFD MF",
         [this] {
           return MfdFile({ParameterPacket(), "01/12/2026", "31/12/2026", "MF", "D"});
         },
         HostPath("Dados/MenuFiscal/Ato_Cotepe.txt"), cotepe_work, "IBM_FI_GeraAtoCotepe1704",
         true},
        {"GeraCatGenerica",
         [this] {
           StringList list;
           const bool done = Generate("01/12/2026", "31/12/2026", list);
           EXPECT_EQ(list.Strings(),
                     done ? Strings{VendorFolder() + "\\" + kNewCotepe} : Strings{});
           return done;
         },
         platform::JoinPath(VendorFolder(), kNewCotepe), generic_work, "IBM_FI_GeraAtoCotepe1704",
         true},
    };
  }
};

// After a run killed part way, each operation makes its file from what its
// own vendor call left, never from the older files listed before them, and
// leaves none of its work files behind, the killed run's included. The
// temporary file of a copy killed part way goes too.
TEST_F(LeftoversTest, EachOperationWorksFromItsOwnCallsFilesOnly) {
  const std::map<std::string, std::string> made_of = {{"geraEspelhoMfd", "TEXTO DE MFD NOVO"},
                                                      {"Gera_ArquivoMFD TXT", "TEXTO DE MFD NOVO"},
                                                      {"Gera_ArquivoMFD MF", "E01 NOVO\r\n"},
                                                      {"GeraCatGenerica", "E01 NOVO\r\n"}};
  for (const Operation& op : Operations()) {
    SCOPED_TRACE(op.name);
    PutLeftovers();
    OnCallsLeaveThisCallsFiles();
    // The temporary file of a copy to the output killed part way (of those
    // the driver copies itself; the vendor library writes the others).
    const std::string killed_copy = op.output + ".tmp-k1ll3d";
    if (op.copies) Put(killed_copy, "E01 PARC");
    ASSERT_TRUE(op.run());
    EXPECT_EQ(Read(op.output), made_of.at(op.name));
    for (const std::string& file : op.work_files) EXPECT_FALSE(Exists(file)) << file;
    if (op.copies) {
      EXPECT_FALSE(Exists(killed_copy));
    }
    sandbox_.RemoveFile(killed_copy);
  }
  // The killed run's dump gave no text file of its own.
  EXPECT_FALSE(Exists(HostPath("Dados/MenuFiscal/" + kOldDump + ".txt")));
}

// A download that answers 1 but leaves no file of its own: the one a killed
// run left is not formatted in its place.
TEST_F(LeftoversTest, ADownloadThatLeftNoFileOfItsOwnMakesNoFile) {
  for (const Operation& op : Operations()) {
    if (op.printer != "IBM_FI_DownloadMFD") continue;
    SCOPED_TRACE(op.name);
    PutLeftovers();
    fake_.ClearCalls();
    host_.ClearDialogs();
    EXPECT_FALSE(op.run());
    EXPECT_EQ(fake_.CallCount("IBM_FI_FormatoDadosMFD"), 0);
    EXPECT_FALSE(Exists(Download()));
    EXPECT_FALSE(Exists(Work(kBinaries, kOldDump)));
    EXPECT_EQ(host_.DialogTexts(), op.name == "geraEspelhoMfd"
                                       ? Strings{"ERRO AO REALIZAR GERA\xC7\xC3O DO ESPELHO MFD."}
                                       : Strings{});
  }
  EXPECT_FALSE(Exists(HostPath("Dados/MenuFiscal/" + kOldDump + ".txt")));
  EXPECT_FALSE(Exists(MirrorFile()));
}

// A formatting that fails part way leaves nothing under the name of the
// file it was making.
TEST_F(LeftoversTest, AFormattingThatFailsLeavesNoFileUnderItsName) {
  OnCallsLeaveThisCallsFiles();
  fake_.OnCall("IBM_FI_FormatoDadosMFD",
               [this](const FakeCall& call) { Put(call.args[1], "TEXTO PA"); });
  fake_.Answer("IBM_FI_FormatoDadosMFD", -1);
  for (const Operation& op : Operations()) {
    if (op.printer != "IBM_FI_DownloadMFD") continue;
    SCOPED_TRACE(op.name);
    EXPECT_FALSE(op.run());
    EXPECT_FALSE(Exists(op.output));
  }
}

// The copy of a COTEPE file that cannot be written leaves the earlier file
// of that name whole, and the work file stays (the only copy).
TEST_F(LeftoversTest, ACopyThatFailsKeepsTheEarlierFileWhole) {
  OnCallsLeaveThisCallsFiles();
  for (const Operation& op : Operations()) {
    if (op.printer != "IBM_FI_GeraAtoCotepe1704") continue;
    SCOPED_TRACE(op.name);
    host_.ClearDialogs();
    Put(op.output, "E01 ANTERIOR\r\n");
    sandbox_.fail_atomic_write = {op.output.substr(op.output.find_last_of("\\/") + 1),
                                  platform::kErrorDiskFull};
    EXPECT_FALSE(op.run());
    EXPECT_EQ(Read(op.output), "E01 ANTERIOR\r\n");
    EXPECT_TRUE(Exists(Work(kFormatted, kNewCotepe)));
    ASSERT_EQ(host_.dialogs().size(), 1u);
    EXPECT_NE(host_.dialogs()[0].text.find("(Erro - 112)"), std::string::npos);
  }
}

// A work file that cannot be deleted before the vendor call could be taken
// for the call's own: the operator is told which, the printer is not asked,
// and the driver is not started again.
TEST_F(LeftoversTest, AWorkFileThatCannotBeDeletedStopsBeforeThePrinterIsAsked) {
  const std::string host = sandbox_.ShortPath(HostFolder()) + "\\";
  for (const Operation& op : Operations()) {
    SCOPED_TRACE(op.name);
    PutLeftovers();
    fake_.ClearCalls();
    host_.ClearDialogs();
    const bool download = op.printer == "IBM_FI_DownloadMFD";
    const std::string stuck =
        download ? host + kBinaries + "\\" + kOldDump : host + kFormatted + "\\" + kOldCotepe;
    sandbox_.fail_remove = {download ? kOldDump : kOldCotepe, platform::kErrorAccessDenied};
    const int loads = sandbox_.VendorLoads();
    EXPECT_FALSE(op.run());
    EXPECT_EQ(fake_.CallCount(op.printer), 0);
    EXPECT_EQ(host_.DialogTexts(),
              Strings{"ERRO AO APAGAR O ARQUIVO DE TRABALHO: " + stuck + " (Erro - 5)"});
    EXPECT_EQ(host_.dialogs()[0].kind, kDialogError);
    EXPECT_EQ(sandbox_.VendorLoads(), loads);
  }
  // The download itself.
  sandbox_.fail_remove = {"DOWNLOAD.MFD", platform::kErrorAccessDenied};
  host_.ClearDialogs();
  EXPECT_FALSE(Mirror(MirrorParams("1", "9", "2")));
  EXPECT_EQ(host_.DialogTexts(),
            Strings{"ERRO AO APAGAR O ARQUIVO DE TRABALHO: " + Download() + " (Erro - 5)"});
}

TEST_F(MfdFilesTest, DataHoraGravacaoChangesNothing) {
  std::string a = "a", b = "b", c = "c";
  EXPECT_TRUE(DataHoraGravacaoUsuarioSWBasicoMFAdicional("001", a, b, c));
  EXPECT_EQ(a + b + c, "abc");
  EXPECT_TRUE(fake_.Calls().empty());
}

}  // namespace
}  // namespace zel::test
