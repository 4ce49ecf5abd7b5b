// Item and receipt cancellations, the surcharge total and the exchange slip
// against recording fakes; the receipt cancellation also against the host's
// grand-total file.
#include <string>
#include <vector>

#include "core/core_fixture.h"
#include "hostutil/cipher.h"
#include "runtime/memtable.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

class CancellationsTest : public CoreTest {
 protected:
  void SetUp() override {
    fake_.Answer("IBM_FI_NumeroCupom", 1, "000123");
    fake_.Answer("IBM_FI_GrandeTotal", 1, "000000000000123456");
  }

  // The host's grand-total file with one checked record for branch 0001,
  // till 001 and printer SER, holding `gt`.
  void WriteVendrix(const std::string& gt) {
    const int key = fiscal::kVendrixCipherKey;
    MemTable table;
    table.AddField("CDFILIAL", FieldType::kString, 4);
    table.AddField("CDCAIXA", FieldType::kString, 3);
    table.AddField("NRSERIEECF", FieldType::kString, 40);
    table.AddField("CAMPO01", FieldType::kString, 1);
    table.AddField("CAMPO02", FieldType::kString, 40);
    table.CreateDataSet();
    table.SetLogChanges(false);
    table.AppendRecord({"0001", "001", Cripto("SER", key), "S", Cripto(gt, key)});
    ASSERT_TRUE(sandbox_.WriteWholeFile(VendrixPath(), table.Data()));
  }
  std::string VendrixPath() {
    return platform::JoinPath(sandbox_.ExecutableDirectory(), "Vendrix.cds");
  }
  std::string StoredTotal() {
    std::string bytes;
    sandbox_.ReadWholeFile(VendrixPath(), &bytes);
    MemTable table;
    table.SetData(bytes);
    return Uncripto(table.FieldByName("CAMPO02").AsString(), fiscal::kVendrixCipherKey);
  }

  static std::vector<HostVariant> CancelParams(HostVariant record = "N") {
    return {"007", true, false, HostVariant(), "0001", "001", "SER", std::move(record)};
  }

  Strings DocTypes() const {
    Strings types;
    for (const DocCall& c : host_.doc_calls()) types.push_back(c.doc_type);
    return types;
  }
};

TEST_F(CancellationsTest, LastItemCancellationShowsARefusal) {
  EXPECT_TRUE(Cancela_UltimoItem(""));
  fake_.Answer("IBM_FI_CancelaItemAnterior", -1);
  EXPECT_FALSE(Cancela_UltimoItem(""));
  EXPECT_EQ(inRetorno, -1);
  EXPECT_FALSE(host_.dialogs().empty());
  // The day's cancellations are read first: they tell a lost answer apart.
  EXPECT_EQ(LogEntries()[0].rfind("IBM_FI_Cancelamentos\r\n", 0), 0u);
  EXPECT_EQ(LogEntries()[1], "IBM_FI_CancelaItemAnterior");
}

TEST_F(CancellationsTest, ItemNumberSentAsCharactersTwoToFive) {
  struct Case {
    std::string host;
    std::string sent;  // "" for a null pointer
  };
  const std::vector<Case> cases = {
      {"00012", "0012"}, {"123", "23"}, {"000123", "0012"}, {"7", ""}, {"", ""}};
  for (const Case& c : cases) {
    fake_.ClearCalls();
    Cancela_ItGenerico("", c.host, u"", u"", u"", u"", u"", u"", u"", 0, 0);
    const std::vector<FakeCall> calls = fake_.CallsTo("IBM_FI_CancelaItemGenerico");
    ASSERT_EQ(calls.size(), 1u) << c.host;
    EXPECT_EQ(calls[0].args[0], c.sent) << c.host;
    EXPECT_EQ(calls[0].IsNull(0), c.sent.empty()) << c.host;
  }
  fake_.Answer("IBM_FI_CancelaItemGenerico", -1);
  EXPECT_FALSE(Cancela_ItGenerico("", "00001", u"", u"", u"", u"", u"", u"", u"", 0, 0));
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_EQ(LogEntries()[1], "IBM_FI_CancelaItemGenerico : 0012");
}

TEST_F(CancellationsTest, ReceiptCancellationUpdatesTheGrandTotalAndRecordsNc) {
  WriteVendrix("1,00");
  HostVariant result = HostVariant::MakeArray({HostVariant(), HostVariant()});
  EXPECT_TRUE(Cancela_Cupom_Imp(CancelParams(), result));
  EXPECT_EQ(result.Elements()[0], HostVariant("000123"));
  EXPECT_EQ(fake_.CallCount("IBM_FI_CancelaCupom"), 1);
  EXPECT_EQ(StoredTotal(), "1234,56");  // Atu_TotGeral stored the printer's
  EXPECT_EQ(DocTypes(), (Strings{"NC"}));
  EXPECT_EQ(host_.doc_calls()[0].doc_key, "SER");
  EXPECT_EQ(host_.doc_calls()[0].non_fiscal_operations, "");
}

TEST_F(CancellationsTest, RefusedCancellationStillUpdatesTheGrandTotal) {
  WriteVendrix("1,00");
  fake_.Answer("IBM_FI_CancelaCupom", -1);
  HostVariant result = HostVariant::MakeArray({HostVariant()});
  EXPECT_FALSE(Cancela_Cupom_Imp(CancelParams(), result));
  EXPECT_EQ(result.Elements()[0], HostVariant("000123"));
  EXPECT_EQ(StoredTotal(), "1234,56");
  ASSERT_FALSE(host_.dialogs().empty());
  EXPECT_EQ(host_.dialogs()[0].colour_scheme, "007");
  EXPECT_TRUE(host_.doc_calls().empty());  // no cancellation, nothing to record
}

// A cancellation the printer answered 1 but whose status, read after it,
// says it was refused is a failure: nothing is recorded. A status that only
// shows a standing condition (paper) or could not be read leaves it done.
TEST_F(CancellationsTest, AnsweredOneButRefusedIsAFailure) {
  struct Case {
    const char* what;
    int32_t ack, st1, st2, status_code;
    bool done;
  };
  const Case cases[] = {
      {"NAK", 21, 0, 0, 1, false},
      {"cancellation not allowed", 6, 0, 4, 1, false},
      {"command not executed", 6, 0, 1, 1, false},
      {"syntax error", 6, 8, 0, 1, false},
      {"paper out", 6, 128, 0, 1, true},
      {"status unreadable", 0, 0, 0, -6, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host_.Clear();
    fake_.ClearCalls();
    fake_.AnswerStatusOnce(6, 0, 0);  // after the receipt number is read
    fake_.AnswerStatusOnce(c.ack, c.st1, c.st2, c.status_code);
    HostVariant result = HostVariant::MakeArray({HostVariant()});
    EXPECT_EQ(Cancela_Cupom_Imp(CancelParams(), result), c.done);
    EXPECT_EQ(fake_.CallCount("IBM_FI_CancelaCupom"), 1);
    EXPECT_EQ(DocTypes(), c.done ? Strings{"NC"} : Strings{});

    fake_.AnswerStatusOnce(c.ack, c.st1, c.st2, c.status_code);
    EXPECT_EQ(Cancela_ItGenerico("", "00002", u"", u"", u"", u"", u"", u"", u"", 0, 0), c.done);
  }
}

TEST_F(CancellationsTest, UnreadableNumberSendsNothingButStillUpdatesTheGrandTotal) {
  WriteVendrix("1,00");
  fake_.Answer("IBM_FI_NumeroCupom", -1);
  HostVariant result = HostVariant::MakeArray({"old"});
  EXPECT_FALSE(Cancela_Cupom_Imp(CancelParams(), result));
  EXPECT_EQ(result.Elements()[0], HostVariant(""));
  EXPECT_EQ(fake_.CallCount("IBM_FI_CancelaCupom"), 0);
  EXPECT_EQ(StoredTotal(), "1234,56");
  EXPECT_TRUE(host_.doc_calls().empty());
}

TEST_F(CancellationsTest, RecordSwitchAtIndexSeven) {
  struct Case {
    HostVariant value;
    bool recorded;
  };
  const std::vector<Case> cases = {
      {"N", true}, {"S", false}, {HostVariant::MakeArray({1, 2}), true}};
  for (const Case& c : cases) {
    host_.Clear();
    HostVariant result = HostVariant::MakeArray({HostVariant()});
    Cancela_Cupom_Imp(CancelParams(c.value), result);
    EXPECT_EQ(host_.doc_calls().size(), c.recorded ? 1u : 0u) << c.value.KindName();
  }
}

TEST_F(CancellationsTest, NumberThatIsNotNumericEndsWithFalse) {
  WriteVendrix("1,00");
  fake_.Answer("IBM_FI_NumeroCupom", 1, "12A456");
  HostVariant result = HostVariant::MakeArray({"old"});
  EXPECT_FALSE(Cancela_Cupom_Imp(CancelParams(), result));
  EXPECT_EQ(result.Elements()[0], HostVariant("old"));
  EXPECT_EQ(fake_.CallCount("IBM_FI_CancelaCupom"), 0);
  EXPECT_EQ(StoredTotal(), "1,00");
}

TEST_F(CancellationsTest, ShortParameterArrayAndNonArrayResultAreSafe) {
  HostVariant result;
  EXPECT_TRUE(Cancela_Cupom_Imp({"007"}, result));
  EXPECT_TRUE(result.IsEmpty());
  EXPECT_EQ(fake_.CallCount("IBM_FI_CancelaCupom"), 1);
}

TEST_F(CancellationsTest, SurchargeTotalIsThePrintersBuffer) {
  fake_.Answer("IBM_FI_Acrescimos", 1, "00000000000150");
  std::string total = "x";
  EXPECT_TRUE(Acrescimo_Imp("", total));
  EXPECT_EQ(fake_.CallsTo("IBM_FI_Acrescimos")[0].args[0], std::string(14, ' '));
  EXPECT_EQ(total, "00000000000150");
  EXPECT_EQ(LogEntries()[0], "IBM_FI_Acrescimos\r\nRetorno da Impressora : 00000000000150");

  fake_.Answer("IBM_FI_Acrescimos", -1);
  EXPECT_FALSE(Acrescimo_Imp("", total));
  EXPECT_EQ(total, std::string(14, ' '));
  EXPECT_TRUE(host_.dialogs().empty());
}

TEST_F(CancellationsTest, ExchangeSlipIsAReportInFiveHundredByteChunks) {
  std::string text;
  for (int i = 0; i < 12; ++i) text += std::string(99, 'a' + i) + "\n";
  EXPECT_TRUE(Cupom_Troca("007", "K1", "K2", text));
  std::vector<size_t> sizes;
  for (const FakeCall& c : fake_.CallsTo("IBM_FI_UsaComprovanteNaoFiscalVinculado")) {
    sizes.push_back(c.args[0].size());
  }
  EXPECT_EQ(sizes, (std::vector<size_t>{500, 500, 200}));
  ASSERT_EQ(host_.cer_calls().size(), 1u);
  EXPECT_EQ(host_.cer_calls()[0].key1, "K1");

  fake_.ClearCalls();
  fake_.Answer("IBM_FI_FechaRelatorioGerencial", -1);
  EXPECT_FALSE(Cupom_Troca("007", "K1", "K2", ""));
  EXPECT_EQ(fake_.CallCount("IBM_FI_UsaComprovanteNaoFiscalVinculado"), 0);
  EXPECT_EQ(fake_.CallCount("IBM_FI_RelatorioGerencial"), 1);
}

}  // namespace
}  // namespace zel::test
