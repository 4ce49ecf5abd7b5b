// The MFD journal (every printed line, appended and synced beside the memory
// file; a torn tail dropped, damage refused) and the files made from the
// printer's memories: serial fiscal-memory readings, the MFD download, its
// mirror and the Ato COTEPE 17/04 file.
#include "emulator/mfd.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "emulator/config.h"
#include "emulator/ibmfi32.h"
#include "emulator/persistence.h"
#include "emulator/printer_state.h"
#include "fiscal/ead_key.h"
#include "platform/platform.h"
#include "runtime/datetime.h"
#include "support/sandbox_platform.h"

namespace zel::emu::test {
namespace {

class MfdTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(Control("init"), 1) << answer_; }

  int Control(const std::string& command) {
    char buffer[2048];
    int code = IBM_EMU_Control(command.c_str(), buffer, sizeof buffer);
    answer_ = buffer;
    return code;
  }
  std::string SystemFile(const std::string& name) {
    return platform::JoinPath(sandbox_.SystemDirectory(), name);
  }
  std::string HostFile(const std::string& relative) {
    return platform::JoinPath(sandbox_.ExecutableDirectory(), relative);
  }
  std::string Journal() { return SystemFile("IBMFI32.MEM.mfd"); }
  std::string Read(const std::string& path) {
    std::string text;
    sandbox_.ReadWholeFile(path, &text);
    return text;
  }
  void SetIni(const std::string& key, const std::string& value) {
    std::string ini = Read(SystemFile("IBMFI32.INI"));
    ASSERT_TRUE(sandbox_.WriteWholeFile(SystemFile("IBMFI32.INI"), SetIniValue(ini, key, value)));
  }
  // A receipt of one item, paid in cash: COO 1.
  void Sale() {
    ASSERT_EQ(IBM_FI_AbreCupomMFD("", "", ""), 1);
    ASSERT_EQ(IBM_FI_VendeItemDepartamento("789", "ARROZ", "01", "10,00", "1,000", "0000", "0000",
                                           "01", "UN"),
              1);
    ASSERT_EQ(IBM_FI_IniciaFechamentoCupom("D", "$", "0"), 1);
    ASSERT_EQ(IBM_FI_EfetuaFormaPagamento("Dinheiro", "10,00"), 1);
    ASSERT_EQ(IBM_FI_TerminaFechamentoCupom("OBRIGADO"), 1);
  }
  std::vector<MfdRecord> JournalRecords() {
    std::vector<MfdRecord> records;
    MfdScan scan = ScanMfd(Read(Journal()), 0, [&](const MfdRecord& r) { records.push_back(r); });
    EXPECT_FALSE(scan.damaged || scan.torn_tail) << scan.why;
    return records;
  }

  zel::test::SandboxPlatform sandbox_;
  std::string answer_;
};

TEST_F(MfdTest, EveryPrintedLineGoesIntoTheJournalWithItsCoo) {
  Sale();
  ASSERT_EQ(IBM_FI_LeituraX(), 1);
  std::vector<MfdRecord> records = JournalRecords();
  ASSERT_GE(records.size(), 2u);
  EXPECT_EQ(records.front().coo, 1);
  EXPECT_EQ(records.front().date, 20261210);
  EXPECT_EQ(records.back().coo, 2);
  std::string all;
  for (const MfdRecord& r : records) all += r.text;
  EXPECT_NE(all.find("ARROZ"), std::string::npos);
  EXPECT_NE(all.find("LEITURA X"), std::string::npos);
  EXPECT_NE(all.find("\r\n"), std::string::npos);
}

TEST_F(MfdTest, SerialReadingsGoToRetornoAndAreNeitherPrintedNorCounted) {
  ASSERT_EQ(IBM_FI_ReducaoZ(nullptr, nullptr), 1);
  const std::string journal = Read(Journal());
  struct Case {
    int32_t (*call)(const char*, const char*, const char*);
    const char* start;
    const char* end;
    const char* type;
    const char* title;
  };
  const Case cases[] = {
      {IBM_FI_LeituraMemoriaFiscalSerialDataMFD, "01/12/2026", "10/12/2026", "c", "COMPLETA"},
      {IBM_FI_LeituraMemoriaFiscalSerialReducaoMFD, "1", "1", "S", "SIMPLIFICADA"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(c.call(c.start, c.end, c.type), 1) << c.title;
    const std::string text = Read(SystemFile("Retorno.txt"));
    EXPECT_NE(text.find(std::string("LEITURA DA MEM\xD3RIA FISCAL ") + c.title), std::string::npos);
    EXPECT_NE(text.find("CRZ:0001 10/12/2026"), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  }
  EXPECT_EQ(Read(Journal()), journal);
  // The printed MFD forms print and count.
  ASSERT_EQ(IBM_FI_LeituraMemoriaFiscalReducaoMFD("0001", "0001", "C"), 1);
  EXPECT_NE(Read(Journal()), journal);
  EXPECT_EQ(IBM_FI_LeituraMemoriaFiscalSerialReducaoMFD("2", "1", "S"), -2);
}

TEST_F(MfdTest, DownloadByCooThenMirrorLeaveTheirWorkCopies) {
  Sale();
  Sale();
  ASSERT_EQ(IBM_FI_LeituraX(), 1);
  const std::string dump_path = SystemFile("DOWNLOAD.MFD");
  ASSERT_EQ(IBM_FI_DownloadMFD(dump_path.c_str(), "2", "000002", "000002", "01"), 1);
  MfdDump dump;
  std::string why;
  ASSERT_TRUE(ParseMfdDump(Read(dump_path), &dump, &why)) << why;
  EXPECT_EQ(dump.serial, "IB010900000000000001");
  ASSERT_FALSE(dump.records.empty());
  for (const MfdRecord& r : dump.records) EXPECT_EQ(r.coo, 2);
  const std::string copy = sandbox_.FirstMatch(HostFile("Arquivos Bin\xE1rios/*.MFD"));
  EXPECT_EQ(copy, "IBM_20261210_100000.MFD");

  const std::string mirror = sandbox_.Path("Espelho.txt");
  ASSERT_EQ(
      IBM_FI_FormatoDadosMFD(dump_path.c_str(), mirror.c_str(), "0", "2", "000002", "000002", "1"),
      1);
  const std::string text = Read(mirror);
  EXPECT_NE(text.find("ESPELHO DA MEM\xD3RIA DE FITA-DETALHE"), std::string::npos);
  EXPECT_NE(text.find("COO 000002 - 10/12/2026 10:00:00"), std::string::npos) << text;
  EXPECT_NE(text.find("ARROZ"), std::string::npos);
  EXPECT_EQ(text.find("COO 000001"), std::string::npos);
  EXPECT_EQ(sandbox_.FirstMatch(HostFile("Arquivos TXT Espelho/*.TXT")), "IBM_20261210_100000.TXT");

  // A dump changed on the way is refused; so are bad ranges.
  std::string damaged = Read(dump_path);
  damaged[damaged.size() / 2] ^= 0x01;
  ASSERT_TRUE(sandbox_.WriteWholeFile(dump_path, damaged));
  EXPECT_EQ(IBM_FI_FormatoDadosMFD(dump_path.c_str(), mirror.c_str(), "0", "2", "1", "2", "1"), -2);
  EXPECT_EQ(IBM_FI_DownloadMFD(dump_path.c_str(), "3", "1", "2", "01"), -2);
  EXPECT_EQ(IBM_FI_DownloadMFD(dump_path.c_str(), "1", "10122026", "01122026", "01"), -2);
}

TEST_F(MfdTest, DownloadByDateTakesTheDaysRecords) {
  Sale();
  const std::string dump_path = SystemFile("D.MFD");
  ASSERT_EQ(IBM_FI_DownloadMFD(dump_path.c_str(), "1", "10122026", "10122026", "01"), 1);
  MfdDump dump;
  std::string why;
  ASSERT_TRUE(ParseMfdDump(Read(dump_path), &dump, &why)) << why;
  EXPECT_EQ(dump.records.size(), JournalRecords().size());
  ASSERT_EQ(IBM_FI_DownloadMFD(dump_path.c_str(), "1", "01112026", "30112026", "01"), 1);
  ASSERT_TRUE(ParseMfdDump(Read(dump_path), &dump, &why)) << why;
  EXPECT_TRUE(dump.records.empty());
}

TEST_F(MfdTest, CotepeFileHoldsFixedWidthRecordsOfTheRange) {
  Sale();
  ASSERT_EQ(IBM_FI_ReducaoZ(nullptr, nullptr), 1);
  std::string answer(512, ' ');
  ASSERT_EQ(IBM_FI_GeraAtoCotepe1704("2", "01122026", "31122026", answer.data()), 1);
  const std::string name = sandbox_.FirstMatch(HostFile("Arquivos TXT Formatados/*.TXT"));
  EXPECT_EQ(name, "MFIBM_20261210_100000.TXT");
  const std::string text = Read(HostFile("Arquivos TXT Formatados/" + name));
  EXPECT_EQ(sandbox_.FirstMatch(HostFile("Arquivos Bin\xE1rios/*.MF")), "IBM_20261210_100000.MF");

  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find("\r\n", at);
    ASSERT_NE(end, std::string::npos) << "every record ends with CR LF";
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0].substr(0, 23), "E01IB010900000000000001");
  EXPECT_EQ(lines[1].substr(0, 3), "E02");
  // Records in ascending order of their type.
  for (size_t i = 1; i < lines.size(); ++i) {
    EXPECT_LE(lines[i - 1].substr(0, 3), lines[i].substr(0, 3)) << i;
  }
  auto first = [&](const char* kind) {
    for (const std::string& line : lines) {
      if (line.rfind(kind, 0) == 0) return line;
    }
    return std::string();
  };
  const std::string who = "IB010900000000000001 ECF-IF EMULADOR     01";
  // E11: CRO 1, CRZ 1, COO 2, GNF 0, CCF 1, ... and the grand total.
  EXPECT_EQ(first("E11"), "E11" + who + "000001000001000002000000000001000000000000000000000000" +
                              "000000000000001000");
  // E12: CRZ 1, COO 2, gross sale 10,00 as 14 zero-filled digits.
  const std::string e12 = first("E12");
  EXPECT_EQ(e12.substr(3 + 20 + 1 + 20 + 2, 12), "000001000002");
  EXPECT_EQ(e12.substr(e12.size() - 15), "00000000001000N");
  // E16: the reduction is a document of its own (COO 2, "RZ").
  EXPECT_EQ(first("E16").substr(0, 3 + who.size() + 8), "E16" + who + "000002RZ");
  // E17: the reduction's withdrawals and supplies; E18: its payment means.
  EXPECT_EQ(first("E17"), "E17" + who + "000001" + "Sangria        " + "0000" + "0000000000000");
  EXPECT_EQ(first("E18"), "E18" + who + "000001" + "Dinheiro       " + "0000000001000");
  size_t e13 = 0;
  for (const std::string& line : lines) {
    if (line.rfind("E13", 0) == 0) {
      ++e13;
      EXPECT_EQ(line.size(), 3u + 20 + 1 + 20 + 2 + 6 + 7 + 13);
    }
  }
  EXPECT_GT(e13, 0u);
  EXPECT_EQ(answer, std::string(512, ' '));

  // The receipt from the MFD: E14, its item (E15) and payment (E21).
  const std::string id = "IB010900000000000001 ECF-IF EMULADOR     01";
  std::vector<std::string> documents;
  for (const std::string& line : lines) {
    if (line.rfind("E14", 0) == 0 || line.rfind("E15", 0) == 0 || line.rfind("E21", 0) == 0) {
      documents.push_back(line);
    }
  }
  ASSERT_EQ(documents.size(), 3u) << text;
  EXPECT_EQ(documents[0].substr(0, 3 + id.size() + 12 + 8),
            "E14" + id + "000001000001" + "20261210");
  EXPECT_NE(documents[0].find("00000000001000N"), std::string::npos) << documents[0];
  EXPECT_EQ(documents[1].substr(0, 3 + id.size() + 15), "E15" + id + "000001000001001");
  EXPECT_NE(documents[1].find("789           ARROZ"), std::string::npos);
  EXPECT_NE(documents[1].find("01T1800"), std::string::npos);
  EXPECT_NE(documents[2].find("Dinheiro       0000000001000N"), std::string::npos) << documents[2];

  // The binary companion: the fiscal memory's download of the range's
  // reductions, not an MFD download.
  const std::string binary = Read(HostFile("Arquivos Bin\xE1rios/IBM_20261210_100000.MF"));
  MfdDump mf;
  std::string why;
  ASSERT_TRUE(ParseMfDump(binary, &mf, &why)) << why;
  EXPECT_EQ(mf.range_type, "1");
  EXPECT_EQ(mf.start + ";" + mf.end, "20261201;20261231");
  ASSERT_EQ(mf.records.size(), 1u);
  EXPECT_EQ(mf.records[0].coo, 1);  // the CRZ
  EXPECT_EQ(mf.records[0].date, 20261210);
  EXPECT_FALSE(ParseMfdDump(binary, &mf, &why));

  // Without reductions in the range: identification only.
  ASSERT_EQ(IBM_FI_GeraAtoCotepe1704("2", "01112026", "30112026", answer.data()), 1);
  EXPECT_EQ(IBM_FI_GeraAtoCotepe1704("9", "01112026", "30112026", answer.data()), -2);
}

// A day with every kind of document, then its Ato COTEPE 17/04 file: every
// record at its width, in type order, with the day's values.
TEST_F(MfdTest, CotepeFileCarriesEveryDocumentKindOfTheDay) {
  ASSERT_EQ(IBM_FI_NomeiaTotalizadorNaoSujeitoIcms(1, "CONVENIO"), 1);
  ASSERT_EQ(IBM_FI_ProgramaFormaPagamentoMFD("Cartao", "1"), 1);
  ASSERT_EQ(IBM_FI_Suprimento("50,00", "Dinheiro"), 1);  // COO 1, GNF 1
  ASSERT_EQ(IBM_FI_AbreCupomMFD("", "", ""), 1);         // COO 2, CCF 1
  ASSERT_EQ(IBM_FI_VendeItemDepartamento("789", "ARROZ", "01", "10,00", "1,000", "0000", "0000",
                                         "01", "UN"),
            1);
  ASSERT_EQ(IBM_FI_IniciaFechamentoCupom("D", "$", "0"), 1);
  ASSERT_EQ(IBM_FI_EfetuaFormaPagamento("Cartao", "10,00"), 1);
  ASSERT_EQ(IBM_FI_TerminaFechamentoCupom("LEITURA X"), 1);
  ASSERT_EQ(IBM_FI_AbreComprovanteNaoFiscalVinculado("Cartao", "", ""), 1);  // COO 3, GNF 2
  ASSERT_EQ(IBM_FI_FechaComprovanteNaoFiscalVinculado(), 1);
  ASSERT_EQ(IBM_FI_CancelaCupom(), 1);                                   // COO 4
  ASSERT_EQ(IBM_FI_RecebimentoNaoFiscal("01", "25,00", "Dinheiro"), 1);  // COO 5, GNF 3
  // A report whose text holds another document's title stays a report.
  ASSERT_EQ(IBM_FI_RelatorioGerencial("REDU\xC7\xC3O Z\n"), 1);  // COO 6, GNF 4
  ASSERT_EQ(IBM_FI_FechaRelatorioGerencial(), 1);
  ASSERT_EQ(IBM_FI_Sangria("20,00"), 1);                                      // COO 7, GNF 5
  ASSERT_EQ(IBM_FI_LeituraX(), 1);                                            // COO 8, GNF 6
  ASSERT_EQ(IBM_FI_ReducaoZ(nullptr, nullptr), 1);                            // COO 9, CRZ 1
  ASSERT_EQ(IBM_FI_LeituraMemoriaFiscalData("10/12/2026", "10/12/2026"), 1);  // COO 10
  std::string answer(512, ' ');
  ASSERT_EQ(IBM_FI_GeraAtoCotepe1704("2", "10122026", "10122026", answer.data()), 1);
  const std::string text = Read(HostFile(
      "Arquivos TXT Formatados/" + sandbox_.FirstMatch(HostFile("Arquivos TXT Formatados/*.TXT"))));

  std::map<std::string, std::vector<std::string>> records;
  std::string order;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find("\r\n", at);
    ASSERT_NE(end, std::string::npos) << "every record ends with CR LF";
    const std::string line = text.substr(at, end - at);
    at = end + 2;
    const std::string type = line.substr(0, 3);
    if (records[type].empty()) order += type + " ";
    records[type].push_back(line);
  }
  EXPECT_EQ(order, "E01 E02 E06 E07 E08 E09 E11 E12 E13 E14 E15 E16 E17 E18 E19 E20 E21 EAD ")
      << text;
  // Field widths of each record type, identification included.
  const std::map<std::string, std::vector<int>> widths = {
      {"E01", {3, 20, 1, 7, 20, 20, 10, 8, 6, 3, 14, 3, 6, 6, 8, 8, 8, 15}},
      {"E02", {3, 20, 1, 20, 14, 14, 40, 120, 8, 6, 6, 18, 2}},
      {"E06", {3, 20, 1, 20, 14, 4, 8, 6}},
      {"E07", {3, 20, 1, 20, 10, 8, 6}},
      {"E08", {3, 20, 1, 20, 20, 8, 6}},
      {"E09", {3, 20, 1, 20, 6, 8, 6, 1}},
      {"E11", {3, 20, 1, 20, 2, 6, 6, 6, 6, 6, 6, 6, 6, 6, 18}},
      {"E12", {3, 20, 1, 20, 2, 6, 6, 6, 8, 8, 6, 14, 1}},
      {"E13", {3, 20, 1, 20, 2, 6, 7, 13}},
      {"E14", {3, 20, 1, 20, 2, 6, 6, 8, 14, 13, 1, 13, 1, 14, 1, 13, 1, 40, 14}},
      {"E15", {3, 20, 1, 20, 2, 6, 6, 3, 14, 100, 7, 3, 8, 8, 8, 14, 7, 1, 7, 13, 13, 1, 1, 1}},
      {"E16", {3, 20, 1, 20, 2, 6, 2, 8, 6}},
      {"E17", {3, 20, 1, 20, 2, 6, 15, 4, 13}},
      {"E18", {3, 20, 1, 20, 2, 6, 15, 13}},
      {"E19", {3, 20, 1, 20, 2, 6, 6, 8, 14, 13, 1, 13, 1, 14, 1, 13, 1, 40, 14}},
      {"E20", {3, 20, 1, 20, 2, 6, 6, 3, 15, 13, 13, 13, 13, 1, 13}},
      {"E21", {3, 20, 1, 20, 2, 6, 6, 6, 15, 13, 1, 13}},
      {"EAD", {3, 256}},
  };
  for (const auto& [type, lines] : records) {
    ASSERT_EQ(widths.count(type), 1u) << type;
    const std::vector<int>& w = widths.at(type);
    for (const std::string& line : lines) {
      EXPECT_EQ(line.size(), static_cast<size_t>(std::accumulate(w.begin(), w.end(), 0))) << line;
    }
  }

  const std::string ecf = "IB010900000000000001 ECF-IF EMULADOR     ";
  const std::string who = ecf + "01";
  // What the printer holds since it was initialised.
  EXPECT_EQ(records["E06"],
            std::vector<std::string>{"E06" + ecf + "11222333000181R$  " + "20260101080000"});
  EXPECT_EQ(records["E07"],
            std::vector<std::string>{"E07" + ecf + "010900    " + "20260101080000"});
  EXPECT_EQ(records["E08"],
            std::vector<std::string>{"E08" + ecf + "IB010900000000000001" + "20260101080000"});
  EXPECT_EQ(records["E09"], std::vector<std::string>{"E09" + ecf + "000001" + "20260101080000N"});
  // Counters: CRO 1, CRZ 1, COO 10, GNF 7, CCF 1, CFC 1, GRG 1, CDC 1, no
  // cancelled non-fiscal operation; the grand total 10,00.
  EXPECT_EQ(records["E11"],
            std::vector<std::string>{"E11" + who + "000001000001000010000007" +
                                     "000001000001000001000001000000" + "000000000000001000"});
  // Every document other than the receipt, by COO, with its kind.
  std::vector<std::string> e16;
  for (const std::string& line : records["E16"]) {
    EXPECT_EQ(line.substr(0, 3 + who.size()), "E16" + who);
    EXPECT_EQ(line.substr(line.size() - 14), "20261210100000") << line;
    e16.push_back(line.substr(3 + who.size(), 8));
  }
  EXPECT_EQ(e16,
            (std::vector<std::string>{"000001CN", "000003CC", "000004NC", "000005CN", "000006RG",
                                      "000007CN", "000008LX", "000009RZ", "000010MF"}));
  // The non-fiscal receipts: the supply, the receipt on CONVENIO and the
  // withdrawal; each of one totalizer; the withdrawal pays nothing.
  const std::string plain = std::string(13, '0') + "V" + std::string(13, '0') + "V";
  const std::string unnamed = std::string(40, ' ') + std::string(14, '0');
  EXPECT_EQ(records["E19"],
            (std::vector<std::string>{
                "E19" + who + "000001000001" + "20261210" + "00000000005000" + plain +
                    "00000000005000" + "N" + std::string(13, '0') + " " + unnamed,
                "E19" + who + "000005000003" + "20261210" + "00000000002500" + plain +
                    "00000000002500" + "N" + std::string(13, '0') + " " + unnamed,
                "E19" + who + "000007000005" + "20261210" + "00000000002000" + plain +
                    "00000000002000" + "N" + std::string(13, '0') + " " + unnamed}));
  const std::string no_adjust = std::string(26, '0');
  EXPECT_EQ(records["E20"],
            (std::vector<std::string>{
                "E20" + who + "000001000001001" + "Suprimento     " + "0000000005000" + no_adjust +
                    "0000000005000" + "N" + std::string(13, '0'),
                "E20" + who + "000005000003001" + "CONVENIO       " + "0000000002500" + no_adjust +
                    "0000000002500" + "N" + std::string(13, '0'),
                "E20" + who + "000007000005001" + "Sangria        " + "0000000002000" + no_adjust +
                    "0000000002000" + "N" + std::string(13, '0')}));
  // Payments by COO: the supply, the receipt (CCF 1), the non-fiscal receipt.
  const std::string not_reversed = "N" + std::string(13, '0');
  EXPECT_EQ(
      records["E21"],
      (std::vector<std::string>{
          "E21" + who + "000001000000000001" + "Dinheiro       " + "0000000005000" + not_reversed,
          "E21" + who + "000002000001000000" + "Cartao         " + "0000000001000" + not_reversed,
          "E21" + who + "000005000000000003" + "Dinheiro       " + "0000000002500" +
              not_reversed}));
  // The day's non-fiscal totalizers agree with the documents.
  EXPECT_EQ(records["E17"],
            (std::vector<std::string>{
                "E17" + who + "000001" + "Sangria        " + "0001" + "0000000002000",
                "E17" + who + "000001" + "Suprimento     " + "0001" + "0000000005000",
                "E17" + who + "000001" + "CONVENIO       " + "0001" + "0000000002500"}));
}

// Within each reduction, its E13 records go by their partial totalizer,
// ascending; the reductions themselves by CRZ.
TEST_F(MfdTest, CotepeE13RecordsGoByReductionThenByTotalizer) {
  Sale();
  ASSERT_EQ(IBM_FI_ReducaoZ(nullptr, nullptr), 1);  // CRZ 1: 10,00 at 18 %
  sandbox_.SetNow(EncodeDateTime(2026, 12, 11, 10, 0, 0, 0));
  Sale();
  Sale();
  ASSERT_EQ(IBM_FI_ReducaoZ(nullptr, nullptr), 1);  // CRZ 2: 20,00 at 18 %
  std::string answer(512, ' ');
  ASSERT_EQ(IBM_FI_GeraAtoCotepe1704("2", "01122026", "31122026", answer.data()), 1);
  const std::string text = Read(HostFile(
      "Arquivos TXT Formatados/" + sandbox_.FirstMatch(HostFile("Arquivos TXT Formatados/*.TXT"))));

  // CRZ and totalizer of each E13, in file order, and the value of each.
  const size_t key_at = 3 + 20 + 1 + 20 + 2;
  std::vector<std::string> keys;
  std::map<std::string, std::string> values;
  for (size_t at = 0; (at = text.find("\r\nE13", at)) != std::string::npos; at += 2) {
    const std::string line = text.substr(at + 2, text.find("\r\n", at + 2) - at - 2);
    ASSERT_EQ(line.size(), key_at + 6 + 7 + 13) << line;
    keys.push_back(line.substr(key_at, 6 + 7));
    values[keys.back()] = line.substr(key_at + 6 + 7);
  }
  // The programmed rates (T1800, T1200, T0700, T2500, S0500) and the fixed
  // totalizers, in ascending order of their 7-character field.
  const std::vector<std::string> totalizers = {
      "01T1800", "02T1200", "03T0700", "04T2500", "05S0500", "AS     ", "AT     ",
      "Can-S  ", "Can-T  ", "DS     ", "DT     ", "F1     ", "I1     ", "N1     "};
  std::vector<std::string> expected;
  for (const char* crz : {"000001", "000002"}) {
    for (const std::string& totalizer : totalizers) expected.push_back(crz + totalizer);
  }
  EXPECT_EQ(keys, expected) << text;
  // Each value stays with its own totalizer and reduction.
  EXPECT_EQ(values["00000101T1800"], "0000000001000");
  EXPECT_EQ(values["00000201T1800"], "0000000002000");
  EXPECT_EQ(values["000002I1     "], "0000000000000");
}

// The Ato COTEPE 17/04 file ends with one EAD line, the signature of the
// library that makes it: "EAD", 256 upper-case hexadecimal digits, CR LF,
// after the CR LF of the last record. The signing library's own check
// accepts it with the public key, and no longer once a byte before it changes.
TEST_F(MfdTest, CotepeFileEndsWithTheEadLineThatSignsIt) {
  Sale();
  ASSERT_EQ(IBM_FI_ReducaoZ(nullptr, nullptr), 1);
  platform::LibraryHandle signer = sandbox_.OpenLibrary("sign_bema.dll");
  ASSERT_NE(signer, nullptr) << "libsign_bema.so not found: " << sandbox_.LastErrorText();
  using Validate = int32_t (*)(const char*, const char*, const char*);
  auto validate = reinterpret_cast<Validate>(sandbox_.LibrarySymbol(signer, "validateFile"));
  ASSERT_NE(validate, nullptr);
  struct Case {
    const char* what;
    const char* start;
    const char* end;
  };
  const Case cases[] = {
      {"the month of the reduction", "01122026", "31122026"},
      {"a month without reductions", "01112026", "30112026"},
  };
  constexpr size_t kEadLine = 3 + 256 + 2;
  for (const Case& c : cases) {
    std::string answer(512, ' ');
    ASSERT_EQ(IBM_FI_GeraAtoCotepe1704("2", c.start, c.end, answer.data()), 1) << c.what;
    const std::string path = HostFile("Arquivos TXT Formatados/MFIBM_20261210_100000.TXT");
    const std::string text = Read(path);
    ASSERT_GT(text.size(), kEadLine) << c.what;
    const std::string records = text.substr(0, text.size() - kEadLine);
    const std::string ead = text.substr(records.size());
    EXPECT_EQ(records.substr(0, 3), "E01") << c.what;
    EXPECT_EQ(records.substr(records.size() - 2), "\r\n") << c.what;
    EXPECT_EQ(records.find("\r\nEAD"), std::string::npos) << "one EAD line, the last";
    EXPECT_EQ(ead.substr(0, 3), "EAD") << c.what;
    EXPECT_EQ(ead.substr(3, 256).find_first_not_of("0123456789ABCDEF"), std::string::npos) << ead;
    EXPECT_EQ(ead.substr(3 + 256), "\r\n") << c.what;
    EXPECT_EQ(validate(path.c_str(), fiscal::kEadModulus, fiscal::kEadPublicExponent), 1) << c.what;

    std::string changed = text;
    changed[records.size() / 2] ^= 0x01;
    ASSERT_TRUE(sandbox_.WriteWholeFile(path, changed));
    EXPECT_EQ(validate(path.c_str(), fiscal::kEadModulus, fiscal::kEadPublicExponent), 0) << c.what;
  }
  sandbox_.CloseLibrary(signer);
}

// Without its signing library the printer makes no Ato COTEPE file: it
// refuses the command (-1, ST2 1) and leaves no unsigned file behind.
TEST_F(MfdTest, WithoutTheSigningLibraryNoCotepeFileIsLeft) {
  Sale();
  ASSERT_EQ(IBM_FI_ReducaoZ(nullptr, nullptr), 1);
  std::string answer(512, ' ');
  sandbox_.FailOpenLibrary(true);
  EXPECT_EQ(IBM_FI_GeraAtoCotepe1704("2", "01122026", "31122026", answer.data()), -1);
  sandbox_.FailOpenLibrary(false);
  int32_t ack = 0, st1 = 0, st2 = 0;
  ASSERT_EQ(IBM_FI_RetornoImpressora(&ack, &st1, &st2), 1);
  EXPECT_EQ(st2 & 1, 1) << "command not executed";
  EXPECT_EQ(sandbox_.FirstMatch(HostFile("Arquivos TXT Formatados/*.TXT")), "");
  // With the library back, the file is made.
  EXPECT_EQ(IBM_FI_GeraAtoCotepe1704("2", "01122026", "31122026", answer.data()), 1);
  EXPECT_EQ(sandbox_.FirstMatch(HostFile("Arquivos TXT Formatados/*.TXT")),
            "MFIBM_20261210_100000.TXT");
}

TEST_F(MfdTest, FiscalMemoryDownloadHoldsEveryReductionAndIsChecked) {
  const std::string path = SystemFile("DOWNLOAD.MF");
  ASSERT_EQ(IBM_FI_DownloadMF(path.c_str()), 1);  // a new printer: no reductions
  MfdDump dump;
  std::string why;
  ASSERT_TRUE(ParseMfDump(Read(path), &dump, &why)) << why;
  EXPECT_TRUE(dump.records.empty());
  EXPECT_EQ(dump.start + ";" + dump.end, "0;0");

  Sale();
  ASSERT_EQ(IBM_FI_ReducaoZ(nullptr, nullptr), 1);
  ASSERT_EQ(IBM_FI_DownloadMF(path.c_str()), 1);
  const std::string bytes = Read(path);
  ASSERT_TRUE(ParseMfDump(bytes, &dump, &why)) << why;
  EXPECT_EQ(dump.serial, "IB010900000000000001");
  EXPECT_EQ(dump.range_type + ";" + dump.start + ";" + dump.end, "2;1;1");
  ASSERT_EQ(dump.records.size(), 1u);
  EXPECT_EQ(dump.records[0].text.rfind("z=", 0), 0u) << dump.records[0].text;
  // Not an MFD download: the mirror refuses it.
  const std::string mirror = sandbox_.Path("Espelho.txt");
  EXPECT_EQ(IBM_FI_FormatoDadosMFD(path.c_str(), mirror.c_str(), "0", "2", "1", "1", "1"), -2);
  // A changed byte fails the checksum.
  std::string changed = bytes;
  changed[changed.size() / 2] ^= 1;
  EXPECT_FALSE(ParseMfDump(changed, &dump, &why));
  EXPECT_NE(why.find("checksum"), std::string::npos) << why;
  EXPECT_EQ(IBM_FI_DownloadMF(""), -2);
}

TEST_F(MfdTest, AReceiptCancelledAfterItClosedIsMarkedInTheCotepeFile) {
  Sale();
  ASSERT_EQ(IBM_FI_CancelaCupom(), 1);
  std::string answer(512, ' ');
  ASSERT_EQ(IBM_FI_GeraAtoCotepe1704("2", "10122026", "10122026", answer.data()), 1);
  const std::string name = sandbox_.FirstMatch(HostFile("Arquivos TXT Formatados/*.TXT"));
  const std::string text = Read(HostFile("Arquivos TXT Formatados/" + name));
  size_t e14 = text.find("\r\nE14");
  ASSERT_NE(e14, std::string::npos) << text;
  EXPECT_EQ(text.find("\r\nE14", e14 + 2), std::string::npos) << "one E14 per receipt";
  EXPECT_NE(text.find("00000000001000S", e14), std::string::npos) << text;
}

TEST_F(MfdTest, ATornOrUncountedTailIsDroppedAndTheCommandNeverHappened) {
  Sale();
  const std::string good = Read(Journal());
  MfdRecord stray;
  stray.coo = 99;
  stray.date = 20261210;
  stray.text = "NEVER DONE\r\n";
  const std::string frame = FrameMfdRecord(stray);
  for (const std::string& tail : {frame.substr(0, 7), frame.substr(0, frame.size() - 3), frame}) {
    ASSERT_TRUE(sandbox_.WriteWholeFile(Journal(), good + tail));
    char coo[6];
    ASSERT_EQ(IBM_FI_NumeroCupom(coo), 1);
    EXPECT_EQ(std::string(coo, 6), "000001");
    EXPECT_EQ(Read(Journal()), good) << "tail of " << tail.size() << " bytes";
  }
  // New records follow the good ones.
  ASSERT_EQ(IBM_FI_LeituraX(), 1);
  EXPECT_EQ(Read(Journal()).substr(0, good.size()), good);
  EXPECT_EQ(JournalRecords().back().coo, 2);
}

TEST_F(MfdTest, ADamagedOrShortenedJournalIsRefusedNotDropped) {
  Sale();
  ASSERT_EQ(IBM_FI_LeituraX(), 1);
  const std::string good = Read(Journal());
  struct Case {
    const char* what;
    std::string content;
    const char* reason;
  };
  std::string flipped = good;
  flipped[kMfdRecordHeader + 30] ^= 0x20;
  std::string no_mark = good;
  no_mark[0] = 'X';
  const Case cases[] = {
      {"a changed byte in the first record", flipped, "checksum"},
      {"a record mark destroyed", no_mark, "mark"},
      {"records lost", good.substr(0, good.size() / 2), "lost"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Control("reset"), 1);
    Sale();
    ASSERT_EQ(IBM_FI_LeituraX(), 1);
    ASSERT_EQ(Read(Journal()), good);
    ASSERT_TRUE(sandbox_.WriteWholeFile(Journal(), c.content));
    // A new process meets the damage at its first call.
    ASSERT_TRUE(sandbox_.WriteWholeFile(SystemFile("IBMFI32.INI"),
                                        Read(SystemFile("IBMFI32.INI")) + "\r\n"));
    EXPECT_EQ(IBM_FI_LeituraX(), -1) << c.what;
    ASSERT_EQ(Control("state"), -1);
    EXPECT_NE(answer_.find(c.reason), std::string::npos) << c.what << ": " << answer_;
    EXPECT_EQ(Read(Journal()), c.content) << "nothing is dropped";
  }
  ASSERT_EQ(Control("reset"), 1);
  EXPECT_EQ(Read(Journal()), "");
  EXPECT_EQ(IBM_FI_LeituraX(), 1);
}

TEST_F(MfdTest, ReductionsLiveInTheFiscalMemoryJournalNotInTheMemoryFile) {
  ASSERT_EQ(IBM_FI_ReducaoZ(nullptr, nullptr), 1);
  const std::string memory = Read(SystemFile("IBMFI32.MEM"));
  EXPECT_EQ(memory.find("\nz="), std::string::npos);
  std::vector<MfdRecord> records;
  MfdScan scan = ScanMfd(Read(SystemFile("IBMFI32.MEM.mf")), 0,
                         [&](const MfdRecord& r) { records.push_back(r); });
  ASSERT_FALSE(scan.damaged || scan.torn_tail);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].coo, 1);  // the reduction's CRZ
  EXPECT_EQ(records[0].text.substr(0, 2), "z=");

  // Another process reads the reductions back from the journal.
  SetIni("Cabecalho6", "OUTRO PROCESSO");
  ASSERT_EQ(IBM_FI_LeituraMemoriaFiscalSerialReducaoMFD("1", "1", "S"), 1);
  EXPECT_NE(Read(SystemFile("Retorno.txt")).find("CRZ:0001 10/12/2026"), std::string::npos);

  // A damaged reduction is refused, not dropped.
  std::string damaged = Read(SystemFile("IBMFI32.MEM.mf"));
  damaged[damaged.size() - 3] ^= 0x01;
  ASSERT_TRUE(sandbox_.WriteWholeFile(SystemFile("IBMFI32.MEM.mf"), damaged));
  SetIni("Cabecalho6", "TERCEIRO");
  EXPECT_EQ(IBM_FI_LeituraX(), -1);
  ASSERT_EQ(Control("state"), -1);
  EXPECT_NE(answer_.find("fiscal memory journal"), std::string::npos) << answer_;
}

TEST_F(MfdTest, AMemoryFileThatHoldsItsReductionsMovesThemIntoTheJournal) {
  PrinterMemory memory = FreshMemory(ParseConfig(Read(SystemFile("IBMFI32.INI"))));
  for (int crz : {1, 2}) {
    ZRecord z;
    z.counters.crz = crz;
    z.counters.coo = crz * 10;
    z.movement_date = 20261200 + crz;
    z.totals.gross = 1000 * crz;
    memory.fiscal_memory.push_back(z);
  }
  memory.counters.crz = 2;
  memory.counters.coo = 20;
  memory.last_z_date = 20261202;
  std::string text = SerializeMemory(memory);
  // As written before the journals: no "mfd" and "mf" records.
  for (const char* key : {"mf=", "mfd="}) {
    size_t at = text.find(std::string("\n") + key);
    ASSERT_NE(at, std::string::npos);
    text.erase(at + 1, text.find('\n', at + 1) - at);
  }
  size_t checksum = text.find("checksum=");
  text = text.substr(0, checksum) + "checksum=" + [&] {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", MemoryChecksum(text.substr(0, checksum)));
    return std::string(hex);
  }() + "\nend\n";
  ASSERT_TRUE(sandbox_.WriteWholeFile(SystemFile("IBMFI32.MEM"), text));
  SetIni("Cabecalho6", "DEPOIS DA ATUALIZACAO");

  ASSERT_EQ(IBM_FI_LeituraX(), 1);
  EXPECT_EQ(Read(SystemFile("IBMFI32.MEM")).find("\nz="), std::string::npos);
  size_t count = 0;
  ScanMfd(Read(SystemFile("IBMFI32.MEM.mf")), 0, [&](const MfdRecord&) { ++count; });
  EXPECT_EQ(count, 2u);
  ASSERT_EQ(IBM_FI_LeituraMemoriaFiscalSerialReducaoMFD("1", "2", "S"), 1);
  const std::string reading = Read(SystemFile("Retorno.txt"));
  EXPECT_NE(reading.find("CRZ:0001 01/12/2026 COO:000010"), std::string::npos) << reading;
  EXPECT_NE(reading.find("CRZ:0002 02/12/2026 COO:000020"), std::string::npos);
}

TEST_F(MfdTest, TheLineSpeedKeyMakesTheDownloadTakeItsTime) {
  Sale();
  const std::string dump_path = SystemFile("DOWNLOAD.MFD");
  ASSERT_EQ(IBM_FI_DownloadMFD(dump_path.c_str(), "2", "1", "1", "01"), 1);
  EXPECT_EQ(sandbox_.total_delay_ms(), 0);
  SetIni("VelocidadeMFD", "1200");
  ASSERT_EQ(IBM_FI_DownloadMFD(dump_path.c_str(), "2", "1", "1", "01"), 1);
  const int64_t bytes = static_cast<int64_t>(Read(dump_path).size());
  EXPECT_EQ(sandbox_.total_delay_ms(), bytes * 10 * 1000 / 1200);
}

}  // namespace
}  // namespace zel::emu::test
