// The grand-total check of "Vendrix.cds".
#include <string>
#include <vector>

#include "core/core_fixture.h"
#include "hostutil/cipher.h"
#include "runtime/memtable.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

constexpr int kKey = fiscal::kVendrixCipherKey;
constexpr const char* kSerial = "IB0123456789";

// Records how each file was written: replaced whole through a temporary file
// or written in place.
class WriteRecordingSandbox : public SandboxPlatform {
 public:
  bool WriteFileAtomically(const std::string& path, const std::string& data) override {
    writes.push_back("atomic " + path);
    return SandboxPlatform::WriteFileAtomically(path, data);
  }
  bool WriteWholeFile(const std::string& path, const std::string& data) override {
    writes.push_back("in place " + path);
    return SandboxPlatform::WriteWholeFile(path, data);
  }
  Strings writes;
};

class GrandTotalTest : public CoreTestWith<WriteRecordingSandbox> {
 protected:
  void SetUp() override {
    path_ = platform::JoinPath(sandbox_.ExecutableDirectory(), "Vendrix.cds");
    PrinterTotal("000000000000123456");  // 1234,56
  }

  void PrinterTotal(const std::string& buffer) { fake_.Answer("IBM_FI_GrandeTotal", 1, buffer); }

  struct Record {
    std::string filial;
    std::string caixa;
    std::string serie;
    std::string campo01;
    std::string gt;  // plain; stored enciphered
  };

  // Writes the host's file with these records (no change log).
  void WriteVendrix(const std::vector<Record>& records) {
    MemTable table;
    table.AddField("CDFILIAL", FieldType::kString, 4);
    table.AddField("CDCAIXA", FieldType::kString, 3);
    table.AddField("NRSERIEECF", FieldType::kString, 40);
    table.AddField("CAMPO01", FieldType::kString, 1);
    table.AddField("CAMPO02", FieldType::kString, 40);
    table.CreateDataSet();
    table.SetLogChanges(false);
    for (const Record& r : records) {
      table.AppendRecord({r.filial, r.caixa, Cripto(r.serie, kKey), r.campo01, Cripto(r.gt, kKey)});
    }
    ASSERT_TRUE(sandbox_.WriteWholeFile(path_, table.Data()));
    original_ = FileBytes();
  }

  std::string FileBytes() {
    std::string bytes;
    sandbox_.ReadWholeFile(path_, &bytes);
    return bytes;
  }

  // The stored GT of every record, deciphered, in file order.
  Strings StoredTotals() {
    MemTable table;
    table.SetData(FileBytes());
    Strings totals;
    for (table.First(); !table.Eof(); table.Next()) {
      totals.push_back(Uncripto(table.FieldByName("CAMPO02").AsString(), kKey));
    }
    return totals;
  }

  HostParams Params(const std::string& valida, bool recompor) {
    return MakeParams({{"CDFILIAL", "0001"},
                       {"CDCAIXA", "002"},
                       {"NRSERIEIMP", kSerial},
                       {"ESQUEMACOR", "004"},
                       {"IDVALIDA", valida},
                       {"BOPODERECOMPORGT", recompor}});
  }

  std::string Recompor() const {
    return "Arquivo (" + path_ +
           ") est\xE1 inv\xE1lido. Valor do totalizador geral da impressora fiscal est\xE1 "
           "incorreto. Ao teclar OK este valor ser\xE1 automaticamente recuperado.";
  }
  std::string SemRegistro() const {
    return "Arquivo (" + path_ +
           ") est\xE1 inv\xE1lido. N\xE3o h\xE1 registro da impressora fiscal para esta filial e "
           "este caixa.";
  }
  std::string SerieNaoConfere() const {
    return "Arquivo (" + path_ +
           ") est\xE1 inv\xE1lido. O n\xFAmero de s\xE9rie da impressora fiscal n\xE3o confere "
           "com o registrado para este caixa.";
  }
  std::string Invalido() const {
    return "Arquivo (" + path_ +
           ") est\xE1 inv\xE1lido. O valor do totalizador geral da impressora fiscal est\xE1 "
           "incorreto e um dos valores CRO, CRZ ou Venda Bruta da \xFAltima redu\xE7\xE3o Z "
           "gravados no banco de dados n\xE3o confere com o valor registrado na impressora "
           "fiscal. O sistema ser\xE1 aberto, mas apenas para consultas e registro de vendas "
           "manuais.";
  }

  std::string path_;
  std::string original_;
};

TEST_F(GrandTotalTest, EqualTotalsWriteNothing) {
  WriteVendrix({{"0001", "002", kSerial, "S", "1234,56"}});
  EXPECT_TRUE(Atu_TotGeral(Params("S", false)));
  EXPECT_EQ(FileBytes(), original_);
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_EQ(fake_.CallCount("IBM_FI_GrandeTotal"), 1);
  // Left open and filtered on the record when nothing was written.
  EXPECT_TRUE(dtmImpIBM->cdsCheckECF.Active());
  EXPECT_TRUE(dtmImpIBM->cdsCheckECF.Filtered());
}

TEST_F(GrandTotalTest, DifferenceBeyondTheSecondDecimalCountsAsEqual) {
  WriteVendrix({{"0001", "002", kSerial, "S", "1234,5600001"}});
  EXPECT_TRUE(Atu_TotGeral(Params("S", false)));
  EXPECT_EQ(FileBytes(), original_);
  EXPECT_TRUE(host_.dialogs().empty());
}

TEST_F(GrandTotalTest, RecordWithTheControlSwitchedOffIsLeftAlone) {
  WriteVendrix({{"0001", "002", kSerial, "N", "1,00"}});
  const size_t log_before = LogEntries().size();
  EXPECT_TRUE(Atu_TotGeral(Params("S", false)));
  EXPECT_TRUE(Atu_TotGeral(Params("N", false)));
  EXPECT_EQ(FileBytes(), original_);
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_EQ(LogEntries().size(), log_before);
  EXPECT_EQ(fake_.CallCount("IBM_FI_GrandeTotal"), 0);
}

// A file that holds no record of this printer (a key field changed by one
// bit, the record missing) cannot be checked: the debug log says so, and the
// operator is told when the host asked for the check (a store alone, which
// runs inside other operations, only logs). The till is not stopped, as it
// is not by a missing file; nothing is written.
TEST_F(GrandTotalTest, FileWithoutThisPrintersRecordIsReportedAndDoesNotBlock) {
  struct Case {
    const char* label;
    std::vector<Record> records;
    bool serial_only;  // the branch and register have a record, under another serial
  };
  const Case cases[] = {
      {"branch one bit off", {{"0000", "002", kSerial, "S", "1234,56"}}, false},
      {"register one bit off", {{"0001", "003", kSerial, "S", "1234,56"}}, false},
      {"serial one bit off", {{"0001", "002", "IB0123456788", "S", "1234,56"}}, true},
      {"other printers only",
       {{"0009", "001", "OTHER", "S", "5,00"}, {"0001", "002", "IB-OUTRA", "S", "7,00"}},
       true},
      {"no records", {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    host_.Clear();
    WriteVendrix(c.records);
    const std::string text = c.serial_only ? SerieNaoConfere() : SemRegistro();
    for (const char* valida : {"S", "N"}) {
      SCOPED_TRACE(valida);
      const size_t log_before = LogEntries().size();
      EXPECT_TRUE(Atu_TotGeral(Params(valida, false)));
      const std::vector<std::string> log = LogEntries();
      EXPECT_EQ(std::vector<std::string>(log.begin() + static_cast<std::ptrdiff_t>(log_before),
                                         log.end()),
                Strings{"ERRO!!! " + text});
    }
    // Told once: for the check, not for the store.
    ASSERT_EQ(host_.DialogTexts(), Strings{text});
    EXPECT_EQ(host_.dialogs()[0].kind, 3);
    EXPECT_EQ(host_.dialogs()[0].colour_scheme, "004");
    EXPECT_EQ(FileBytes(), original_);
  }
  EXPECT_EQ(fake_.CallCount("IBM_FI_GrandeTotal"), 0);
}

TEST_F(GrandTotalTest, MismatchRecomposesWhenAllowed) {
  WriteVendrix({{"0001", "002", kSerial, "S", "999,00"}});
  EXPECT_TRUE(Atu_TotGeral(Params("S", true)));
  EXPECT_EQ(host_.DialogTexts(), Strings{Recompor()});
  EXPECT_EQ(host_.dialogs()[0].kind, 3);
  EXPECT_EQ(host_.dialogs()[0].question, "N");
  EXPECT_EQ(host_.dialogs()[0].flag, "N");
  EXPECT_EQ(host_.dialogs()[0].colour_scheme, "004");
  EXPECT_EQ(StoredTotals(), Strings{"1234,56"});
  EXPECT_FALSE(dtmImpIBM->cdsCheckECF.Active());  // closed after writing
}

TEST_F(GrandTotalTest, MismatchIsRefusedOtherwise) {
  WriteVendrix({{"0001", "002", kSerial, "S", "999,00"}});
  EXPECT_FALSE(Atu_TotGeral(Params("S", false)));
  EXPECT_EQ(host_.DialogTexts(), Strings{Invalido()});
  EXPECT_EQ(FileBytes(), original_);
}

TEST_F(GrandTotalTest, StoredValuesThatAreNotAmountsAreMismatches) {
  for (const char* stored : {"", "   ", "abc", "1.234,56"}) {
    SCOPED_TRACE(stored);
    host_.Clear();
    WriteVendrix({{"0001", "002", kSerial, "S", stored}});
    EXPECT_FALSE(Atu_TotGeral(Params("S", false)));
    EXPECT_EQ(host_.DialogTexts(), Strings{Invalido()});
  }
}

TEST_F(GrandTotalTest, ResetMarkTakesThePrinterTotalWithoutAsking) {
  WriteVendrix({{"0001", "002", kSerial, "S", "10,10"}});
  EXPECT_TRUE(Atu_TotGeral(Params("S", false)));
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_EQ(StoredTotals(), Strings{"1234,56"});
  // The next check compares against the stored value.
  EXPECT_TRUE(Atu_TotGeral(Params("S", false)));
  EXPECT_TRUE(host_.dialogs().empty());
  PrinterTotal("000000000000123457");
  EXPECT_FALSE(Atu_TotGeral(Params("S", false)));
  EXPECT_EQ(host_.dialogs().size(), 1u);
}

TEST_F(GrandTotalTest, WithoutValidationThePrinterTotalIsStored) {
  WriteVendrix({{"0009", "001", "OTHER", "S", "5,00"},
                {"0001", "002", kSerial, "S", "999,00"},
                {"0001", "002", "IB-OUTRA", "S", "7,00"}});
  // As the port opening calls it: five pairs, no BOPODERECOMPORGT.
  const HostParams params = MakeParams({{"CDFILIAL", "0001"},
                                        {"CDCAIXA", "002"},
                                        {"NRSERIEIMP", kSerial},
                                        {"ESQUEMACOR", "004"},
                                        {"IDVALIDA", "N"}});
  EXPECT_TRUE(Atu_TotGeral(params));
  EXPECT_TRUE(host_.dialogs().empty());
  // Only the matching record changes; the others are written back as they were.
  EXPECT_EQ(StoredTotals(), (Strings{"5,00", "1234,56", "7,00"}));
}

TEST_F(GrandTotalTest, SavedFileHasNoChangeLog) {
  WriteVendrix({{"0001", "002", kSerial, "S", "1,00"}});
  sandbox_.writes.clear();
  EXPECT_TRUE(Atu_TotGeral(Params("N", false)));
  // Replaced whole, so a crash mid-save leaves the old file or the new one.
  EXPECT_EQ(sandbox_.writes, Strings{"atomic " + path_});
  EXPECT_EQ(FileBytes().find("CHANGE_LOG"), std::string::npos);
  // The binary packet format of the host, not XML.
  EXPECT_EQ(FileBytes().substr(0, 4), std::string("\x96\x19\xE0\xBD", 4));
}

TEST_F(GrandTotalTest, MissingFileIsReportedAndDoesNotBlock) {
  EXPECT_TRUE(Atu_TotGeral(Params("S", false)));
  ASSERT_EQ(host_.dialogs().size(), 1u);
  EXPECT_NE(host_.dialogs()[0].text.find("Vendrix.cds"), std::string::npos);
  EXPECT_EQ(host_.dialogs()[0].kind, 3);
  EXPECT_EQ(fake_.CallCount("IBM_FI_GrandeTotal"), 0);
}

TEST_F(GrandTotalTest, PacketWithoutTheFieldsIsReported) {
  MemTable table;
  table.AddField("OUTRO", FieldType::kString, 4);
  table.CreateDataSet();
  ASSERT_TRUE(sandbox_.WriteWholeFile(path_, table.Data()));
  EXPECT_TRUE(Atu_TotGeral(Params("S", false)));
  EXPECT_EQ(host_.dialogs().size(), 1u);
  EXPECT_EQ(fake_.CallCount("IBM_FI_GrandeTotal"), 0);
}

// Makes the file write that follows the first dialog fail.
class FailWriteAfterDialog : public RecordingHost {
 public:
  explicit FailWriteAfterDialog(SandboxPlatform& sandbox) : sandbox_(sandbox) {}
  bool Mensagem(const std::string& text, const std::string& caption, const std::string& flag,
                const std::string& question, int kind, const std::string& extra,
                const std::string& colour_scheme, int options) override {
    if (dialogs().empty()) sandbox_.FailNextWrite(platform::kErrorDiskFull);
    return RecordingHost::Mensagem(text, caption, flag, question, kind, extra, colour_scheme,
                                   options);
  }

 private:
  SandboxPlatform& sandbox_;
};

TEST_F(GrandTotalTest, FailedSaveKeepsTheOldFile) {
  WriteVendrix({{"0001", "002", kSerial, "S", "999,00"}});
  FailWriteAfterDialog host(sandbox_);
  EXPECT_TRUE(Atu_TotGeral(Params("S", true)));
  ASSERT_EQ(host.dialogs().size(), 2u);  // the notice, then the write error
  EXPECT_EQ(host.dialogs()[0].text, Recompor());
  EXPECT_NE(host.dialogs()[1].text.find("Vendrix.cds"), std::string::npos);
  EXPECT_EQ(FileBytes(), original_);
  EXPECT_EQ(StoredTotals(), Strings{"999,00"});
}

TEST_F(GrandTotalTest, BranchCodeWithAQuoteSelectsNothing) {
  WriteVendrix({{"0001", "002", kSerial, "S", "999,00"}});
  HostParams params = MakeParams({{"CDFILIAL", "0' OR CDFILIAL <> '"},
                                  {"CDCAIXA", "002"},
                                  {"NRSERIEIMP", kSerial},
                                  {"IDVALIDA", "S"}});
  EXPECT_TRUE(Atu_TotGeral(params));
  // No record is selected: the file has none for that branch.
  EXPECT_EQ(host_.DialogTexts(), Strings{SemRegistro()});
  EXPECT_EQ(FileBytes(), original_);
}

TEST_F(GrandTotalTest, PrinterTotalThatDoesNotConvertIsReported) {
  WriteVendrix({{"0001", "002", kSerial, "S", "999,00"}});
  fake_.Answer("IBM_FI_GrandeTotal", 0);  // leaves the blanks
  EXPECT_TRUE(Atu_TotGeral(Params("N", false)));
  EXPECT_EQ(host_.dialogs().size(), 1u);
  EXPECT_EQ(FileBytes(), original_);
}

TEST_F(GrandTotalTest, TotalThePrinterDidNotDeliverIsNeverStored) {
  // Without validation the failure is only logged; with validation asked the
  // check fails with a notice, whatever the host allows to recompose.
  struct Case {
    const char* valida;
    bool recompor;
    int32_t code;
    const char* buffer;
    bool result;
  };
  const std::string unreadable =
      "N\xE3o foi poss\xEDvel ler o totalizador geral da impressora fiscal. "
      "O totalizador geral gravado n\xE3o foi conferido.";
  for (const Case& c : {Case{"N", false, -1, "000000000000000000", true},
                        Case{"S", true, -1, "000000000000000000", false},
                        Case{"S", false, -1, "000000000000000000", false},
                        Case{"S", true, 0, "", false},  // no answer: the blanks stay
                        Case{"S", false, 1, "NAO E UM VALOR    ", false}}) {
    SCOPED_TRACE(std::string(c.valida) + (c.recompor ? " recompor " : " ") +
                 std::to_string(c.code));
    host_.Clear();
    WriteVendrix({{"0001", "002", kSerial, "S", "999,00"}});
    // A failed call may still leave digits that would convert.
    fake_.Answer("IBM_FI_GrandeTotal", c.code, c.buffer);
    EXPECT_EQ(Atu_TotGeral(Params(c.valida, c.recompor)), c.result);
    if (c.result) {
      EXPECT_TRUE(host_.dialogs().empty());
    } else {
      ASSERT_EQ(host_.dialogs().size(), 1u);
      EXPECT_EQ(host_.dialogs()[0].text, unreadable);
    }
    EXPECT_EQ(FileBytes(), original_);
  }
}

TEST_F(GrandTotalTest, CreatesTheDataModule) {
  ASSERT_EQ(dtmImpIBM, nullptr);
  Atu_TotGeral(Params("S", false));
  EXPECT_NE(dtmImpIBM, nullptr);
}

}  // namespace
}  // namespace zel::test
