// A table with a field of every type and three records (values at the
// edges of their ranges, nulls, an empty text), shared by the packet tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "runtime/datetime.h"
#include "runtime/memtable.h"

namespace zel {

class AllTypesTable {
 public:
  static void Define(MemTable& t) {
    t.AddField("S", FieldType::kString, 30);
    t.AddField("LONGO", FieldType::kString, 300);
    t.AddField("W", FieldType::kWideString, 10);
    t.AddField("I2", FieldType::kSmallint);
    t.AddField("I4", FieldType::kInteger);
    t.AddField("I8", FieldType::kLargeint);
    t.AddField("U2", FieldType::kWord);
    t.AddField("U1", FieldType::kByte);
    t.AddField("U4", FieldType::kLongWord);
    t.AddField("AUTO", FieldType::kAutoInc);
    t.AddField("B", FieldType::kBoolean);
    t.AddField("F", FieldType::kFloat);
    t.AddField("C", FieldType::kCurrency);
    t.AddField("BCD", FieldType::kBCD, 2);
    t.AddField("FMT", FieldType::kFMTBcd, 3);
    t.AddField("D", FieldType::kDate);
    t.AddField("T", FieldType::kTime);
    t.AddField("DT", FieldType::kDateTime);
    t.AddField("TS", FieldType::kSQLTimeStamp);
    t.AddField("MEMO", FieldType::kMemo);
    t.AddField("BLOB", FieldType::kBlob);
    t.AddField("IMG", FieldType::kGraphic);
    t.AddField("WMEMO", FieldType::kWideMemo);
  }

  static void Fill(MemTable& t) {
    t.Append();
    t.FieldByName("S").SetAsString("Jo\xE3o \x80 \"&<>'");
    t.FieldByName("LONGO").SetAsString(std::string(280, 'L'));
    t.FieldByName("W").SetAsString(
        "A\xE7\xFA"
        "car");
    t.FieldByName("I2").SetAsInteger(-32768);
    t.FieldByName("I4").SetAsInteger(-2147483647 - 1);
    t.FieldByName("I8").SetAsInteger(int64_t{-9000000000000000000});
    t.FieldByName("U2").SetAsInteger(65535);
    t.FieldByName("U1").SetAsInteger(255);
    t.FieldByName("U4").SetAsInteger(4294967295ll);
    t.FieldByName("B").SetAsBoolean(true);
    t.FieldByName("F").SetAsFloat(-1234.5678);
    t.FieldByName("C").SetAsFloat(19.99);
    t.FieldByName("BCD").SetAsFloat(-123.45);
    t.FieldByName("FMT").SetAsFloat(0.125);
    t.FieldByName("D").SetAsDateTime(EncodeDate(1, 1, 1));
    t.FieldByName("T").SetAsDateTime(EncodeTime(23, 59, 59, 999));
    t.FieldByName("DT").SetAsDateTime(EncodeDateTime(2024, 1, 5, 3, 4, 5, 6));
    t.FieldByName("TS").SetAsDateTime(EncodeDateTime(9999, 12, 31, 23, 59, 59, 0));
    t.FieldByName("MEMO").SetAsString("linha 1\r\nlinha 2\t\xE9");
    t.FieldByName("BLOB").SetAsString(std::string("\x00\x01\xFF\x80\n", 5));
    t.FieldByName("IMG").SetAsString("GIF89a");
    t.FieldByName("WMEMO").SetAsString("\x80uro");
    t.Post();
    t.Append();  // everything null except the automatic number
    t.Post();
    t.Append();
    t.FieldByName("S").SetAsString("");  // an empty text is not a null
    t.FieldByName("B").SetAsBoolean(false);
    t.FieldByName("DT").SetAsDateTime(EncodeDate(1899, 12, 29) - 0.25);
    t.Post();
  }

  static void ExpectSame(MemTable& a, MemTable& b) {
    ASSERT_EQ(a.FieldCount(), b.FieldCount());
    for (int i = 0; i < a.FieldCount(); ++i) {
      EXPECT_EQ(a.Fields(i).name(), b.Fields(i).name());
      EXPECT_EQ(a.Fields(i).type(), b.Fields(i).type()) << a.Fields(i).name();
      EXPECT_EQ(a.Fields(i).size(), b.Fields(i).size()) << a.Fields(i).name();
    }
    ASSERT_EQ(a.RecordCount(), b.RecordCount());
    a.First();
    b.First();
    for (; !a.Eof(); a.Next(), b.Next()) {
      for (int i = 0; i < a.FieldCount(); ++i) {
        EXPECT_EQ(a.Fields(i).Value(), b.Fields(i).Value())
            << "record " << a.RecNo() << " field " << a.Fields(i).name();
      }
    }
  }
};

}  // namespace zel
