// MemTable fields: typed access, conversions, nulls and the state rules of
// assignment.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "runtime/datapacket_values.h"
#include "runtime/datetime.h"
#include "runtime/host_error.h"
#include "runtime/memtable.h"

namespace zel {
namespace {

using ::testing::HasSubstr;

template <typename E, typename F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e.what();
  }
  return "(no exception)";
}

class MemTableFieldsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    t_.AddField("NOME", FieldType::kString, 5);
    t_.AddField("VALOR", FieldType::kFloat);
    t_.AddField("PRECO", FieldType::kCurrency);
    t_.AddField("QTD", FieldType::kInteger);
    t_.AddField("PEQ", FieldType::kSmallint);
    t_.AddField("ATIVO", FieldType::kBoolean);
    t_.AddField("DTHR", FieldType::kDateTime);
    t_.AddField("DIA", FieldType::kDate);
    t_.AddField("HORA", FieldType::kTime);
    t_.AddField("OBS", FieldType::kMemo);
    t_.CreateDataSet();
  }
  Field& F(const char* name) { return t_.FieldByName(name); }

  MemTable t_{"cdsTeste"};
};

TEST_F(MemTableFieldsTest, EmptyTableReadsEveryFieldAsNull) {
  EXPECT_TRUE(t_.IsEmpty());
  EXPECT_TRUE(t_.Bof());
  EXPECT_TRUE(t_.Eof());
  for (int i = 0; i < t_.FieldCount(); ++i) {
    EXPECT_TRUE(t_.Fields(i).IsNull()) << t_.Fields(i).name();
    EXPECT_EQ(t_.Fields(i).AsString(), "") << t_.Fields(i).name();
  }
  EXPECT_EQ(F("VALOR").AsFloat(), 0.0);
  EXPECT_EQ(F("QTD").AsInteger(), 0);
  EXPECT_FALSE(F("ATIVO").AsBoolean());
  EXPECT_EQ(F("DTHR").AsDateTime(), 0.0);
  EXPECT_TRUE(F("NOME").AsVariant().IsNull());
}

TEST_F(MemTableFieldsTest, UnknownFieldRaisesNamingIt) {
  EXPECT_EQ(MessageOf<DatasetError>([&] { t_.FieldByName("NMXYZ"); }), "Field 'NMXYZ' not found");
  EXPECT_EQ(t_.FindField("NMXYZ"), nullptr);
  // Names match without regard to case.
  EXPECT_EQ(&t_.FieldByName("nome"), &t_.FieldByName("NOME"));
}

TEST_F(MemTableFieldsTest, AssignmentOutsideEditOrInsertRaises) {
  EXPECT_EQ(MessageOf<DatasetError>([&] { F("NOME").SetAsString("x"); }),
            "Dataset not in edit or insert mode");
  t_.Append();
  F("NOME").SetAsString("x");
  t_.Post();
  EXPECT_EQ(MessageOf<DatasetError>([&] { F("QTD").SetAsInteger(1); }),
            "Dataset not in edit or insert mode");
  EXPECT_EQ(F("QTD").AsInteger(), 0);
}

TEST_F(MemTableFieldsTest, LongerTextIsCutToTheWidth) {
  t_.Append();
  F("NOME").SetAsString("ABCDEFGH");
  EXPECT_EQ(F("NOME").AsString(), "ABCDE");
  F("OBS").SetAsString(std::string(1000, 'x'));  // memos have no width
  t_.Post();
  EXPECT_EQ(F("NOME").AsString(), "ABCDE");
  EXPECT_EQ(F("OBS").AsString().size(), 1000u);
}

TEST_F(MemTableFieldsTest, ValuesReadAsTextTheRuntimeWay) {
  t_.Append();
  F("VALOR").SetAsFloat(1234.5);
  F("PRECO").SetAsFloat(1234.5);
  F("QTD").SetAsInteger(-12);
  F("ATIVO").SetAsBoolean(true);
  F("DTHR").SetAsDateTime(EncodeDateTime(2024, 1, 5, 10, 0, 0, 0));
  F("DIA").SetAsDateTime(EncodeDateTime(2024, 1, 5, 10, 0, 0, 0));
  F("HORA").SetAsDateTime(EncodeDateTime(2024, 1, 5, 10, 30, 0, 0));
  t_.Post();
  EXPECT_EQ(F("VALOR").AsString(), "1234,5");
  EXPECT_EQ(F("PRECO").AsString(), "1234,50");
  EXPECT_EQ(F("QTD").AsString(), "-12");
  EXPECT_EQ(F("ATIVO").AsString(), "True");
  EXPECT_EQ(F("DTHR").AsString(), "05/01/2024 10:00:00");
  // Dates keep no time, times no date.
  EXPECT_EQ(F("DIA").AsString(), "05/01/2024");
  EXPECT_EQ(F("DIA").AsDateTime(), EncodeDate(2024, 1, 5));
  EXPECT_EQ(F("HORA").AsString(), "10:30:00");
  EXPECT_EQ(F("HORA").AsDateTime(), EncodeTime(10, 30, 0, 0));
}

TEST_F(MemTableFieldsTest, DisplayTextFollowsTheDisplayFormat) {
  F("VALOR").SetDisplayFormat("#,##0.00");
  F("DTHR").SetDisplayFormat("dd/mm/yyyy hh:nn");
  t_.Append();
  EXPECT_EQ(F("VALOR").DisplayText(), "");
  F("VALOR").SetAsFloat(1234.5);
  F("PRECO").SetAsFloat(-1234.5);
  F("QTD").SetAsInteger(3);
  F("DTHR").SetAsDateTime(EncodeDateTime(2024, 1, 5, 10, 7, 30, 0));
  EXPECT_EQ(F("VALOR").DisplayText(), "1.234,50");
  EXPECT_EQ(F("VALOR").AsString(), "1234,5");  // the format is for display only
  EXPECT_EQ(F("PRECO").DisplayText(), "-R$ 1.234,50");
  EXPECT_EQ(F("QTD").DisplayText(), "3");
  EXPECT_EQ(F("DTHR").DisplayText(), "05/01/2024 10:07");
}

TEST_F(MemTableFieldsTest, TextAssignedToTypedFieldsConvertsThroughTheLocale) {
  t_.Append();
  F("VALOR").SetAsString("1,25");
  F("QTD").SetAsString("42");
  F("ATIVO").SetAsString("f");
  F("DTHR").SetAsString("05/01/2024 10:00");
  EXPECT_DOUBLE_EQ(F("VALOR").AsFloat(), 1.25);
  EXPECT_EQ(F("QTD").AsInteger(), 42);
  EXPECT_FALSE(F("ATIVO").IsNull());
  EXPECT_FALSE(F("ATIVO").AsBoolean());
  EXPECT_EQ(F("DTHR").AsDateTime(), EncodeDateTime(2024, 1, 5, 10, 0, 0, 0));
  // An empty text empties a typed field.
  F("QTD").SetAsString("");
  EXPECT_TRUE(F("QTD").IsNull());

  EXPECT_THAT(MessageOf<ConvertError>([&] { F("VALOR").SetAsString("1.234,5"); }),
              HasSubstr("is not a valid floating point value"));
  EXPECT_THAT(MessageOf<ConvertError>([&] { F("QTD").SetAsString("1x"); }),
              HasSubstr("is not a valid integer value"));
  EXPECT_EQ(MessageOf<DatasetError>([&] { F("ATIVO").SetAsString("talvez"); }),
            "'talvez' is not a valid boolean value for field 'ATIVO'");
}

TEST_F(MemTableFieldsTest, CrossKindReads) {
  t_.Append();
  F("NOME").SetAsString("2,5");
  F("VALOR").SetAsFloat(2.5);
  F("QTD").SetAsInteger(7);
  t_.Post();
  EXPECT_DOUBLE_EQ(F("NOME").AsFloat(), 2.5);
  EXPECT_EQ(F("VALOR").AsInteger(), 2);  // half to even
  EXPECT_DOUBLE_EQ(F("QTD").AsFloat(), 7.0);
  EXPECT_EQ(MessageOf<DatasetError>([&] { F("VALOR").AsBoolean(); }),
            "Cannot access field 'VALOR' as type Boolean");
  EXPECT_EQ(MessageOf<DatasetError>([&] { F("QTD").AsDateTime(); }),
            "Cannot access field 'QTD' as type DateTime");
  t_.Edit();
  F("NOME").SetAsString("abc");
  EXPECT_THAT(MessageOf<ConvertError>([&] { F("NOME").AsFloat(); }),
              HasSubstr("'abc' is not a valid floating point value"));
}

TEST_F(MemTableFieldsTest, IntegerOutsideTheFieldRangeIsRefused) {
  t_.Append();
  EXPECT_EQ(MessageOf<DatasetError>([&] { F("PEQ").SetAsInteger(40000); }),
            "40000 is not a valid value for field 'PEQ'. The allowed range is -32768 to 32767");
  F("PEQ").SetAsInteger(-32768);
  EXPECT_EQ(F("PEQ").AsInteger(), -32768);
  F("QTD").SetAsFloat(2.5);  // rounded half to even
  EXPECT_EQ(F("QTD").AsInteger(), 2);
}

TEST_F(MemTableFieldsTest, VariantsInAndOut) {
  t_.Append();
  F("NOME").SetAsVariant(HostVariant(12));
  F("VALOR").SetAsVariant(HostVariant("3,5"));
  F("ATIVO").SetAsVariant(HostVariant(true));
  F("DTHR").SetAsVariant(HostVariant::FromDateTime(EncodeDate(2024, 1, 5)));
  F("QTD").SetAsVariant(HostVariant::Null());
  t_.Post();
  EXPECT_EQ(F("NOME").AsVariant(), HostVariant("12"));
  EXPECT_EQ(F("VALOR").AsVariant(), HostVariant(3.5));
  EXPECT_EQ(F("ATIVO").AsVariant(), HostVariant(true));
  EXPECT_EQ(F("DTHR").AsVariant(), HostVariant::FromDateTime(EncodeDate(2024, 1, 5)));
  EXPECT_TRUE(F("QTD").AsVariant().IsNull());
}

TEST(MemTableStructureTest, DefinitionsAndOpenRules) {
  MemTable t;
  EXPECT_EQ(MessageOf<DatasetError>([&] { t.Open(); }), "Missing data provider or data packet");
  EXPECT_EQ(MessageOf<DatasetError>([&] { t.First(); }),
            "Cannot perform this operation on a closed dataset");
  t.AddField("A", FieldType::kString);
  EXPECT_EQ(t.FieldByName("A").size(), 20);  // default width
  EXPECT_EQ(MessageOf<DatasetError>([&] { t.AddField("a", FieldType::kInteger); }),
            "Duplicate field name 'a'");
  t.Open();
  EXPECT_TRUE(t.Active());
  EXPECT_EQ(MessageOf<DatasetError>([&] { t.AddField("B", FieldType::kInteger); }),
            "Cannot perform this operation on an open dataset");
  t.Append();
  t.FieldByName("A").SetAsString("x");
  t.Post();
  // Closing drops the records; the definitions stay.
  t.Close();
  EXPECT_FALSE(t.Active());
  EXPECT_TRUE(t.FieldByName("A").IsNull());
  t.Open();
  EXPECT_TRUE(t.IsEmpty());
}

TEST(MemTableStructureTest, RequiredFieldMustHaveAValue) {
  MemTable t;
  t.AddField("CD", FieldType::kString, 3, /*required=*/true);
  t.AddField("NM", FieldType::kString, 10);
  t.CreateDataSet();
  t.Append();
  t.FieldByName("NM").SetAsString("x");
  EXPECT_EQ(MessageOf<DatasetError>([&] { t.Post(); }), "Field 'CD' must have a value");
  EXPECT_EQ(t.state(), MemTable::State::kInsert);
  t.FieldByName("CD").SetAsString("1");
  t.Post();
  EXPECT_EQ(t.RecordCount(), 1);
}

// Packed decimals as data packets hold them: digit count, sign bit and
// decimal places, then one digit per nibble.
TEST(DecodeBcdTest, ReadsPackedDecimals) {
  struct Case {
    std::string bytes;
    double value;
  };
  for (const Case& c :
       {Case{std::string("\x04\x02\x12\x34", 4), 12.34},
        Case{std::string("\x02\x83\x12", 3), -0.012},  // fewer digits than places
        Case{std::string("\x03\x00\x12\x30", 4), 123}, Case{std::string("\x00\x00", 2), 0}}) {
    double v = -99;
    ASSERT_TRUE(datapacket::DecodeBcd(c.bytes, v)) << c.value;
    EXPECT_DOUBLE_EQ(v, c.value);
  }
  double v = 0;
  EXPECT_FALSE(datapacket::DecodeBcd(std::string("\x02\x01\x1A", 3), v));  // not a digit
  EXPECT_FALSE(datapacket::DecodeBcd(std::string("\x05\x00\x12", 3), v));  // digits missing
  EXPECT_FALSE(datapacket::DecodeBcd(std::string("\x01", 1), v));
}

}  // namespace
}  // namespace zel
