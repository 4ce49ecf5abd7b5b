// DadosUltimaRedZ against records built here: the fields cut at their
// positions, the result array element by element with its kinds, the tax
// table, the failure values and the record that does not convert.
#include <cstdint>
#include <string>
#include <vector>

#include "core/core_fixture.h"
#include "runtime/datetime.h"
#include "runtime/memtable.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

// A last-reduction record. Everything the driver does not read is the digit
// 9, so that a field cut one character too wide or at the wrong place reads
// a different number.
class Record {
 public:
  Record() : text_(1278, '9') {
    Put(4, "0002");     // CRO
    Put(9, "0041");     // CRZ
    Put(14, "001234");  // COO
    Put(54, "0003");    // cancelled receipts
    Put(316, Amount(12345678, 18));
    for (int k = 0; k < 16; ++k) Partial(k + 1, 0);
    Put(560, Amount(700, 14));   // exempt
    Put(575, Amount(300, 14));   // non-incidence
    Put(590, Amount(200, 14));   // substitution
    Put(650, Amount(500, 14));   // discounts
    Put(680, Amount(107, 14));   // surcharges
    Put(710, Amount(6000, 14));  // cancellations
    Put(1273, "101226");
  }

  static std::string Amount(int64_t cents, size_t width) {
    std::string digits = std::to_string(cents);
    return std::string(width - digits.size(), '0') + digits;
  }
  Record& Put(size_t position, const std::string& value) {
    text_.replace(position - 1, value.size(), value);
    return *this;
  }
  // The partial total of rate position 1..16.
  Record& Partial(int position, int64_t cents) {
    return Put(335 + 14 * static_cast<size_t>(position - 1), Amount(cents, 14));
  }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// Sixteen rates, all different, so that a rate taken from the wrong
// position shows.
constexpr const char* kRates =
    "1800,1200,0700,2500,0500,0400,0300,0200,0100,1000,1100,1300,1400,1500,1600,0123";

const HostVariant kUntouched = "untouched";

class LastReductionTest : public CoreTest {
 protected:
  LastReductionTest() {
    // The host's table and array as they were before the call.
    host_table_.AddField("OLD", FieldType::kString, 10);
    host_table_.CreateDataSet();
    host_table_.AppendRecord({"kept"});
    fake_.Answer("IBM_FI_RetornoAliquotas", 1, kRates);
  }

  bool Run(const std::string& record) {
    fake_.Answer("IBM_FI_DadosUltimaReducaoMFD", 1, record);
    return DadosUltimaRedZ({"002"}, result_, host_table_);
  }
  const HostVariant& Element(size_t i) const { return result_.Elements()[i]; }
  // The indexes whose elements are no longer kUntouched.
  std::vector<size_t> Written() const {
    std::vector<size_t> written;
    for (size_t i = 0; i < result_.Elements().size(); ++i) {
      if (!(Element(i) == kUntouched)) written.push_back(i);
    }
    return written;
  }
  // The host table's rows as "CDIMPOSTO CDALIQIMPFIS VRVENDIDO VRALIQIMPFIS VRIMPOSTO".
  Strings TaxRows() {
    Strings rows;
    for (host_table_.First(); !host_table_.Eof(); host_table_.Next()) {
      std::string row;
      for (const char* field :
           {"CDIMPOSTO", "CDALIQIMPFIS", "VRVENDIDO", "VRALIQIMPFIS", "VRIMPOSTO"}) {
        row += (row.empty() ? "" : " ") + host_table_.FieldByName(field).AsString();
      }
      rows.push_back(row);
    }
    return rows;
  }
  bool HostTableUntouched() {
    return host_table_.FindField("OLD") != nullptr && host_table_.RecordCount() == 1;
  }
  void ExpectFailureValues() {
    EXPECT_EQ(Element(0), HostVariant(""));
    EXPECT_EQ(Element(1), HostVariant(""));
    EXPECT_EQ(Element(2), HostVariant(0));
    // A plain number, not a date-time.
    EXPECT_EQ(Element(3), HostVariant(static_cast<double>(EncodeDate(2026, 12, 10) - 1000)));
    EXPECT_EQ(Element(4), HostVariant(""));
    EXPECT_EQ(Written(), (std::vector<size_t>{0, 1, 2, 3, 4}));
  }

  HostVariant result_ = HostVariant::MakeArray(std::vector<HostVariant>(60, kUntouched));
  MemTable host_table_;
};

const std::vector<size_t> kAllWritten = {0,  1,  2,  3,  4,  11, 12, 13, 25,
                                         27, 28, 29, 33, 35, 37, 46, 47, 48};

TEST_F(LastReductionTest, CutsTheRecordIntoTheHostsArrayAndTaxTable) {
  Record record;
  record.Partial(1, 10000).Partial(3, 5055).Partial(5, 2000).Partial(16, 1000);
  ASSERT_TRUE(Run(record.text()));

  // Gross: 100,00 + 50,55 + 20,00 + 10,00 partial totals, 7,00 exempt,
  // 3,00 non-incidence, 2,00 substitution, 5,00 discounts and 60,00
  // cancellations; the surcharges are inside the partial totals already.
  const double gross = 100.00 + 50.55 + 20.00 + 10.00 + 7.00 + 3.00 + 2.00 + 5.00 + 60.00;
  const HostVariant movement = HostVariant::FromDateTime(EncodeDate(2026, 12, 10));
  EXPECT_EQ(Element(0), HostVariant("0041"));
  EXPECT_EQ(Element(1), HostVariant("0002"));
  EXPECT_EQ(Element(2).kind(), HostVariant::Kind::kFloat);
  EXPECT_DOUBLE_EQ(Element(2).AsFloat(), gross);
  EXPECT_EQ(Element(3), movement);
  EXPECT_EQ(Element(4), HostVariant("0003"));
  EXPECT_EQ(Element(11), HostVariant("0002"));
  EXPECT_EQ(Element(12), HostVariant("0041"));
  EXPECT_EQ(Element(13), HostVariant("001234"));
  EXPECT_EQ(Element(25), HostVariant("123456,78"));
  EXPECT_EQ(Element(27), HostVariant("07,00"));
  EXPECT_EQ(Element(28), HostVariant("03,00"));
  EXPECT_EQ(Element(29), HostVariant("02,00"));
  EXPECT_EQ(Element(33), HostVariant("05,00"));
  EXPECT_EQ(Element(35), HostVariant("01,07"));
  EXPECT_EQ(Element(37), HostVariant("60,00"));
  EXPECT_EQ(Element(46), movement);
  EXPECT_EQ(Element(47), HostVariant("257,55"));
  EXPECT_EQ(Element(48), HostVariant("192,55"));  // less cancellations and discounts
  EXPECT_EQ(Written(), kAllWritten);

  // Position 2 sold nothing: no row, and position 3 still takes the third
  // rate; position 16 takes the last rate, which has no separator after it.
  EXPECT_EQ(TaxRows(), (Strings{"00 01 100,00 18,00 18,00", "00 03 50,55 07,00 03,53",
                                "00 05 20,00 05,00 01,00", "00 16 10,00 01,23 00,12"}));
  // The data module keeps its copy.
  EXPECT_EQ(EnsureDataModule().cdsImposto.RecordCount(), 4);

  EXPECT_EQ(fake_.Names(), (Strings{"IBM_FI_DadosUltimaReducaoMFD", "IBM_FI_RetornoImpressora",
                                    "IBM_FI_RetornoAliquotas", "IBM_FI_RetornoImpressora"}));
  EXPECT_EQ(fake_.CallsTo("IBM_FI_DadosUltimaReducaoMFD")[0].args, Strings{std::string(1278, ' ')});
  EXPECT_EQ(fake_.CallsTo("IBM_FI_RetornoAliquotas")[0].args, Strings{std::string(79, ' ')});
  EXPECT_EQ(LogEntries(), (Strings{"IBM_FI_DadosUltimaReducaoMFD: " + record.text(),
                                   std::string("IBM_FI_RetornoAliquotas: ") + kRates}));
  EXPECT_TRUE(host_.dialogs().empty());
}

TEST_F(LastReductionTest, WithoutTaxedSalesTheTableIsEmpty) {
  ASSERT_TRUE(Run(Record().text()));
  EXPECT_DOUBLE_EQ(Element(2).AsFloat(), 7.00 + 3.00 + 2.00 + 5.00 + 60.00);
  EXPECT_EQ(Element(47), HostVariant("77,00"));
  EXPECT_EQ(Element(48), HostVariant("12,00"));  // exempt + non-incidence + substitution
  EXPECT_TRUE(TaxRows().empty());
  EXPECT_EQ(host_table_.FindField("OLD"), nullptr);  // replaced by cdsImposto's data
}

TEST_F(LastReductionTest, ABlankRateReadsAsZero) {
  // A position the printer reports without a rate keeps its sales, taxed at 0.
  fake_.Answer("IBM_FI_RetornoAliquotas", 1, "1800,    ");
  Record record;
  record.Partial(2, 1000);
  ASSERT_TRUE(Run(record.text()));
  EXPECT_EQ(TaxRows(), Strings{"00 02 10,00 00,00 00,00"});
}

TEST_F(LastReductionTest, RefusedRecordGivesTheFailureValues) {
  boNUtilTaa = false;  // the dialog is shown even on a self-service terminal
  fake_.Answer("IBM_FI_DadosUltimaReducaoMFD", -1);
  EXPECT_FALSE(DadosUltimaRedZ({"002"}, result_, host_table_));
  ExpectFailureValues();
  EXPECT_TRUE(HostTableUntouched());
  EXPECT_EQ(fake_.CallCount("IBM_FI_RetornoAliquotas"), 0);
  ASSERT_EQ(host_.dialogs().size(), 1u);
  EXPECT_EQ(host_.dialogs()[0].text, "Erro de execu\347\343o na fun\347\343o.");
  EXPECT_EQ(host_.dialogs()[0].colour_scheme, "002");
}

TEST_F(LastReductionTest, RefusedRateListFailsRatherThanGiveZeroTaxes) {
  Record record;
  record.Partial(1, 10000);
  fake_.Answer("IBM_FI_RetornoAliquotas", -6);
  EXPECT_FALSE(Run(record.text()));
  ExpectFailureValues();
  EXPECT_TRUE(HostTableUntouched());
  EXPECT_EQ(host_.DialogTexts(), Strings{"Impressora desligada ou desconectada."});
}

TEST_F(LastReductionTest, StatusErrorAfterTheRecordIsAFailure) {
  fake_.AnswerStatusOnce(6, 0, 1);  // command not executed
  EXPECT_FALSE(Run(Record().text()));
  ExpectFailureValues();
}

struct BadRecordCase {
  const char* label;
  size_t position;
  const char* value;
  std::vector<size_t> written;  // what the host still gets
};

class LastReductionBadRecordTest : public LastReductionTest,
                                   public ::testing::WithParamInterface<BadRecordCase> {};

TEST_P(LastReductionBadRecordTest, StopsAtTheFieldThatDoesNotConvert) {
  const BadRecordCase& c = GetParam();
  Record record;
  record.Partial(1, 10000).Put(c.position, c.value);
  EXPECT_FALSE(Run(record.text()));
  EXPECT_EQ(Written(), c.written);
  EXPECT_TRUE(HostTableUntouched());
  EXPECT_TRUE(host_.dialogs().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LastReductionBadRecordTest,
    ::testing::Values(
        BadRecordCase{"LetterInAPartialTotal", 335 + 14 * 3 + 5, "A", {11, 12, 13}},
        BadRecordCase{"BlankExemptTotal", 560, "              ", {11, 12, 13}},
        BadRecordCase{
            "LetterInCancellations", 710, "00000000000X00", {11, 12, 13, 27, 28, 29, 33, 35}},
        BadRecordCase{
            "ImpossibleDate", 1273, "310226", {11, 12, 13, 27, 28, 29, 33, 35, 37, 47, 48}},
        BadRecordCase{
            "NoReductionYet", 1273, "000000", {11, 12, 13, 27, 28, 29, 33, 35, 37, 47, 48}},
        BadRecordCase{"LetterInTheGrandTotal",
                      316,
                      "00000000000000001X",
                      {11, 12, 13, 27, 28, 29, 33, 35, 37, 46, 47, 48}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(LastReductionTest, WritesOnlyTheElementsTheHostsArrayHas) {
  result_ = HostVariant::MakeArray(std::vector<HostVariant>(5, kUntouched));
  ASSERT_TRUE(Run(Record().text()));
  EXPECT_EQ(Element(0), HostVariant("0041"));
  EXPECT_EQ(result_.Elements().size(), 5u);

  HostVariant not_an_array = "host value";
  fake_.Answer("IBM_FI_DadosUltimaReducaoMFD", -1);
  EXPECT_FALSE(DadosUltimaRedZ({}, not_an_array, host_table_));
  EXPECT_EQ(not_an_array, HostVariant("host value"));
  EXPECT_EQ(host_.dialogs().back().colour_scheme, "");  // no scheme given
}

}  // namespace
}  // namespace zel::test
