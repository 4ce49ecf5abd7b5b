#include "runtime/variant.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/host_error.h"

namespace zel {
namespace {

using Kind = HostVariant::Kind;

TEST(HostVariantTest, EmptyConvertsToNeutralValuesWithoutFailing) {
  HostVariant v;
  EXPECT_TRUE(v.IsEmpty());
  EXPECT_EQ(v.AsString(), "");
  EXPECT_EQ(v.AsInteger(), 0);
  EXPECT_EQ(v.AsInt64(), 0);
  EXPECT_EQ(v.AsFloat(), 0.0);
  EXPECT_FALSE(v.AsBoolean());
  EXPECT_EQ(v.AsDateTime(), 0.0);
}

TEST(HostVariantTest, NullRefusesEveryConversionButVarToStr) {
  HostVariant v = HostVariant::Null();
  try {
    v.AsFloat();
    FAIL() << "Null converted to a number";
  } catch (const VariantTypeError& e) {
    EXPECT_STREQ(e.what(), "Could not convert variant of type (Null) into type (Double)");
  }
  EXPECT_THROW(v.AsString(), VariantTypeError);
  EXPECT_THROW(v.AsInteger(), VariantTypeError);
  EXPECT_THROW(v.AsBoolean(), VariantTypeError);
  EXPECT_THROW(v.AsDateTime(), VariantTypeError);
  EXPECT_EQ(VarToStr(v), "");
}

TEST(HostVariantTest, ScalarsToText) {
  struct Case {
    HostVariant value;
    std::string text;
  } cases[] = {
      {42, "42"},
      {int64_t{-9000000000}, "-9000000000"},
      {1.5, "1,5"},
      {0.1 + 0.2, "0,3"},
      {true, "True"},
      {false, "False"},
      {"abc", "abc"},
      {HostVariant::FromDateTime(45296.5), "05/01/2024 12:00:00"},
      {HostVariant::FromDateTime(45296.0), "05/01/2024"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.value.AsString(), c.text) << c.value.KindName();
}

TEST(HostVariantTest, TextToNumbersThroughTheLocale) {
  EXPECT_EQ(HostVariant("12,5").AsFloat(), 12.5);
  EXPECT_EQ(HostVariant(" 7 ").AsInteger(), 7);
  EXPECT_EQ(HostVariant("-123").AsInt64(), -123);
  // A decimal text becomes an integer by the runtime's rounding (half to even).
  EXPECT_EQ(HostVariant("2,5").AsInteger(), 2);
  EXPECT_EQ(HostVariant("3,5").AsInteger(), 4);
  EXPECT_EQ(HostVariant(2.5).AsInteger(), 2);
  EXPECT_EQ(HostVariant(-2.6).AsInteger(), -3);
}

TEST(HostVariantTest, TextThatDoesNotConvertRaisesConvertErrorNamingValueAndTarget) {
  struct Case {
    const char* text;
    int target;  // 0 float, 1 integer, 2 boolean, 3 date-time
    const char* message;
  } cases[] = {
      {"abc", 0, "'abc' is not a valid floating point value"},
      {"1.5", 0, "'1.5' is not a valid floating point value"},
      {"", 0, "'' is not a valid floating point value"},
      {"12x", 1, "'12x' is not a valid integer value"},
      {"talvez", 2, "'talvez' is not a valid boolean value"},
      {"31/02/2024", 3, "'31/02/2024' is not a valid date and time"},
  };
  for (const Case& c : cases) {
    HostVariant v(c.text);
    try {
      switch (c.target) {
        case 0:
          v.AsFloat();
          break;
        case 1:
          v.AsInteger();
          break;
        case 2:
          v.AsBoolean();
          break;
        default:
          v.AsDateTime();
      }
      ADD_FAILURE() << "'" << c.text << "' converted";
    } catch (const ConvertError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST(HostVariantTest, Booleans) {
  struct Case {
    HostVariant value;
    bool expected;
  } cases[] = {
      {"true", true}, {"TRUE", true}, {"False", false}, {"fAlSe", false}, {"0", false},
      {"1", true},    {"-1", true},   {"0,0", false},   {"2,5", true},    {0, false},
      {3, true},      {0.0, false},   {0.25, true},
  };
  for (const Case& c : cases) EXPECT_EQ(c.value.AsBoolean(), c.expected) << c.value.AsString();
  // The runtime's variant boolean is -1 as a number.
  EXPECT_EQ(HostVariant(true).AsInteger(), -1);
  EXPECT_EQ(HostVariant(false).AsFloat(), 0.0);
}

TEST(HostVariantTest, DateTimeFromTextAndNumbers) {
  EXPECT_EQ(HostVariant("05/01/2024 12:00:00").AsDateTime(), 45296.5);
  EXPECT_EQ(HostVariant(45296).AsDateTime(), 45296.0);
  EXPECT_EQ(HostVariant::FromDateTime(45296.25).AsFloat(), 45296.25);
}

TEST(HostVariantTest, IntegerOverflowRaisesVariantTypeError) {
  EXPECT_THROW(HostVariant(int64_t{1} << 40).AsInteger(), VariantTypeError);
  EXPECT_THROW(HostVariant(1e30).AsInt64(), VariantTypeError);
  EXPECT_THROW(HostVariant("99999999999").AsInteger(), VariantTypeError);
  EXPECT_EQ(HostVariant(int64_t{1} << 40).AsInt64(), int64_t{1} << 40);
}

TEST(HostVariantTest, ArraysAndTableDataRefuseScalarConversions) {
  HostVariant array = HostVariant::MakeArray({1, "a"});
  HostVariant table = HostVariant::FromPacket(std::string("\x96\x19\xE0\xBD", 4));
  for (const HostVariant& v : {array, table}) {
    EXPECT_THROW(v.AsString(), VariantTypeError);
    EXPECT_THROW(v.AsInteger(), VariantTypeError);
    EXPECT_THROW(v.AsFloat(), VariantTypeError);
    EXPECT_THROW(v.AsBoolean(), VariantTypeError);
    EXPECT_THROW(v.AsDateTime(), VariantTypeError);
  }
  try {
    array.AsString();
  } catch (const VariantTypeError& e) {
    EXPECT_STREQ(e.what(), "Could not convert variant of type (Array) into type (String)");
  }
  EXPECT_EQ(array.Elements().size(), 2u);
  EXPECT_EQ(table.Packet(), std::string("\x96\x19\xE0\xBD", 4));
  EXPECT_THROW(table.Elements(), VariantTypeError);
  EXPECT_THROW(array.Packet(), VariantTypeError);
  EXPECT_THROW(HostVariant("x").Elements(), VariantTypeError);
}

TEST(HostVariantTest, EqualityComparesKindAndValue) {
  EXPECT_EQ(HostVariant(1), HostVariant(1));
  EXPECT_NE(HostVariant(1), HostVariant(1.0));
  EXPECT_NE(HostVariant("1"), HostVariant(1));
  EXPECT_NE(HostVariant(1.0), HostVariant::FromDateTime(1.0));
  EXPECT_EQ(HostVariant::MakeArray({1, "a"}), HostVariant::MakeArray({1, "a"}));
  EXPECT_NE(HostVariant::MakeArray({1, "a"}), HostVariant::MakeArray({1, "b"}));
  EXPECT_EQ(HostVariant::Null(), HostVariant::Null());
  EXPECT_NE(HostVariant::Null(), HostVariant());
}

TEST(HostParamsTest, MakeParamsKeepsPairsInOrder) {
  HostParams params = MakeParams({{"CDFILIAL", "0001"}, {"BOUTILTAA", false}});
  AddParam(params, "VALOR", 12.5);
  ASSERT_TRUE(params.IsArray());
  const auto& pairs = params.Elements();
  ASSERT_EQ(pairs.size(), 3u);
  EXPECT_EQ(pairs[0], HostVariant::MakeArray({"CDFILIAL", "0001"}));
  EXPECT_EQ(pairs[1], HostVariant::MakeArray({"BOUTILTAA", false}));
  EXPECT_EQ(pairs[2], HostVariant::MakeArray({"VALOR", 12.5}));

  HostParams grown;  // an empty variant becomes a bundle
  AddParam(grown, "A", 1);
  EXPECT_EQ(grown, MakeParams({{"A", 1}}));
}

}  // namespace
}  // namespace zel
