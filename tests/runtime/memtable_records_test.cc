// MemTable record storage: every value survives storage in its field's own
// width, long texts survive edits, the change log and packets, and records
// freed by deletions are reused without mixing values.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "runtime/host_error.h"
#include "runtime/memtable.h"

namespace zel {
namespace {

using Format = MemTable::PacketFormat;

// Each integer type at both ends of its range, booleans both ways.
TEST(MemTableRecordsTest, IntegerFieldsKeepTheirWholeRangeInTablesAndPackets) {
  struct Case {
    const char* name;
    FieldType type;
    int64_t low;
    int64_t high;
  };
  const std::vector<Case> cases = {
      {"B", FieldType::kByte, 0, 255},
      {"S", FieldType::kSmallint, -32768, 32767},
      {"W", FieldType::kWord, 0, 65535},
      {"I", FieldType::kInteger, std::numeric_limits<int32_t>::min(),
       std::numeric_limits<int32_t>::max()},
      {"U", FieldType::kLongWord, 0, 4294967295LL},
      {"L", FieldType::kLargeint, std::numeric_limits<int64_t>::min(),
       std::numeric_limits<int64_t>::max()},
      {"A", FieldType::kAutoInc, std::numeric_limits<int32_t>::min(),
       std::numeric_limits<int32_t>::max()},
      {"T", FieldType::kBoolean, 0, 1},
  };
  MemTable t;
  for (const Case& c : cases) t.AddField(c.name, c.type);
  t.CreateDataSet();
  for (int end = 0; end < 2; ++end) {
    t.Append();
    for (const Case& c : cases) {
      if (c.type == FieldType::kBoolean) {
        t.FieldByName(c.name).SetAsBoolean(end == 1);
      } else {
        t.FieldByName(c.name).SetAsInteger(end == 0 ? c.low : c.high);
      }
    }
    t.Post();
  }
  for (Format format : {Format::kBinary, Format::kXml}) {
    MemTable copy;
    copy.LoadFromString(t.SaveToString(format));
    for (MemTable* table : {&t, &copy}) {
      table->First();
      for (int end = 0; end < 2; ++end, table->Next()) {
        for (const Case& c : cases) {
          const Field& f = table->FieldByName(c.name);
          const int64_t have = c.type == FieldType::kBoolean ? f.AsBoolean() : f.AsInt64();
          EXPECT_EQ(have, end == 0 ? c.low : c.high)
              << c.name << " end " << end << (table == &t ? " table" : " packet");
        }
      }
    }
  }
}

TEST(MemTableRecordsTest, AutomaticNumberBeyondThirtyTwoBitsIsRefused) {
  MemTable t;
  t.AddField("ID", FieldType::kAutoInc);
  t.AddField("NOME", FieldType::kString, 10);
  t.CreateDataSet();
  t.Append();
  t.FieldByName("ID").SetAsInteger(std::numeric_limits<int32_t>::max());
  t.Post();
  t.Append();
  t.FieldByName("NOME").SetAsString("next");
  EXPECT_THROW(t.Post(), DatasetError);
  EXPECT_EQ(t.state(), MemTable::State::kInsert);
  t.Cancel();
  EXPECT_EQ(t.RecordCount(), 1);
  EXPECT_EQ(t.FieldByName("ID").AsInt64(), std::numeric_limits<int32_t>::max());
}

// Texts longer than what a record holds in place (short text fields, wide
// text fields, memos and blobs with NUL bytes) through edits, cancels,
// deletions with the log on, and both packet forms.
TEST(MemTableRecordsTest, LongTextsSurviveEditsTheChangeLogAndPackets) {
  const std::string memo(300, 'm');
  const std::string blob = std::string("\x00\x01\xFF", 3) + std::string(100, 'b');
  const std::string wide(30, 'w');
  MemTable t;
  t.AddField("COD", FieldType::kString, 4);
  t.AddField("NOME", FieldType::kString, 40);
  t.AddField("OBS", FieldType::kMemo);
  t.AddField("IMG", FieldType::kBlob);
  t.CreateDataSet();
  for (int i = 0; i < 3; ++i) {
    t.AppendRecord({HostVariant("C" + std::to_string(i)), HostVariant(wide + std::to_string(i)),
                    HostVariant(memo + std::to_string(i)), HostVariant(blob)});
  }
  t.MergeChangeLog();

  t.First();  // record 0: edited twice, the log keeps its first image
  t.Edit();
  t.FieldByName("OBS").SetAsString(memo + "edited");
  t.FieldByName("NOME").SetAsString("short");
  t.Post();
  t.Edit();
  t.FieldByName("OBS").SetAsString(std::string(500, 'x'));
  t.Post();
  t.Next();  // record 1: an edit cancelled, then deleted
  t.Edit();
  t.FieldByName("OBS").SetAsString("gone");
  t.Cancel();
  EXPECT_EQ(t.FieldByName("OBS").AsString(), memo + "1");
  t.Delete();
  EXPECT_EQ(t.ChangeCount(), 2);

  for (Format format : {Format::kBinary, Format::kXml}) {
    const std::string packet = t.SaveToString(format);
    MemTable copy;
    copy.LoadFromString(packet);
    EXPECT_EQ(copy.SaveToString(format), packet);
    ASSERT_EQ(copy.RecordCount(), 2);
    EXPECT_EQ(copy.ChangeCount(), 2);
    copy.First();
    EXPECT_EQ(copy.FieldByName("NOME").AsString(), "short");
    EXPECT_EQ(copy.FieldByName("OBS").AsString(), std::string(500, 'x'));
    EXPECT_EQ(copy.FieldByName("IMG").AsString(), blob);
    copy.Next();
    EXPECT_EQ(copy.FieldByName("COD").AsString(), "C2");
    EXPECT_EQ(copy.FieldByName("NOME").AsString(), wide + "2");
    EXPECT_EQ(copy.FieldByName("OBS").AsString(), memo + "2");
  }

  // The images the log keeps: record 0 as it was before its first edit and
  // record 1 as it was when deleted; merging the log drops them.
  const std::string xml = t.SaveToString(Format::kXml);
  EXPECT_NE(xml.find(wide + "0"), std::string::npos);
  EXPECT_NE(xml.find(memo + "0\""), std::string::npos);
  EXPECT_NE(xml.find(memo + "1\""), std::string::npos);
  EXPECT_EQ(xml.find("gone"), std::string::npos);

  t.MergeChangeLog();
  EXPECT_EQ(t.ChangeCount(), 0);
  EXPECT_EQ(t.SaveToString(Format::kXml).find(memo + "0\""), std::string::npos);
}

// A packet whose texts exceed their declared width keeps them whole.
TEST(MemTableRecordsTest, PacketTextsLongerThanTheirWidthAreKept) {
  const std::string long_text(60, 'z');
  const std::string xml =
      "<?xml version=\"1.0\" standalone=\"yes\"?><DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
      "<FIELD attrname=\"C\" fieldtype=\"string\" WIDTH=\"2\"/></FIELDS><PARAMS/></METADATA>"
      "<ROWDATA><ROW C=\"" +
      long_text + "\"/><ROW C=\"ab\"/></ROWDATA></DATAPACKET>";
  MemTable t;
  t.LoadFromString(xml);
  EXPECT_EQ(t.FieldByName("C").AsString(), long_text);
  EXPECT_EQ(t.FieldByName("C").size(), 60);
  t.Next();
  EXPECT_EQ(t.FieldByName("C").AsString(), "ab");
}

// Thousands of records over several blocks of storage, a third deleted and
// as many added again in their freed room, in index order and unordered.
TEST(MemTableRecordsTest, RecordsFreedByDeletionsAreReusedWithoutMixingValues) {
  MemTable t;
  t.AddField("N", FieldType::kInteger);
  t.AddField("TXT", FieldType::kString, 30);
  t.AddField("V", FieldType::kFloat);
  t.AddIndex("BYN", "N", {.descending = true});
  t.CreateDataSet();
  auto text_of = [](int n) {
    return n % 2 == 0 ? "t" + std::to_string(n) : std::string(20, 'L') + std::to_string(n);
  };
  auto add = [&](int n) {
    t.Append();
    t.FieldByName("N").SetAsInteger(n);
    t.FieldByName("TXT").SetAsString(text_of(n));
    if (n % 5 != 0) t.FieldByName("V").SetAsFloat(n * 0.5);
    t.Post();
  };
  constexpr int kCount = 6000;
  for (int n = 0; n < kCount; ++n) add(n);
  t.First();
  while (!t.Eof()) {
    if (t.FieldByName("N").AsInteger() % 3 == 0) {
      t.Delete();
    } else {
      t.Next();
    }
  }
  for (int n = kCount; n < kCount + kCount / 3; ++n) add(n);

  std::vector<int> expected;
  for (int n = 0; n < kCount + kCount / 3; ++n) {
    if (n >= kCount || n % 3 != 0) expected.push_back(n);
  }
  auto check = [&](bool descending) {
    ASSERT_EQ(t.RecordCount(), static_cast<int>(expected.size()));
    t.First();
    for (size_t i = 0; i < expected.size(); ++i, t.Next()) {
      const int n = descending ? expected[expected.size() - 1 - i] : expected[i];
      ASSERT_EQ(t.FieldByName("N").AsInteger(), n) << i;
      ASSERT_EQ(t.FieldByName("TXT").AsString(), text_of(n)) << n;
      ASSERT_EQ(t.FieldByName("V").IsNull(), n % 5 == 0) << n;
      if (n % 5 != 0) {
        ASSERT_EQ(t.FieldByName("V").AsFloat(), n * 0.5) << n;
      }
    }
  };
  check(false);
  t.SetIndexName("BYN");
  check(true);
  t.SetIndexName("");
  MemTable copy;
  copy.LoadFromString(t.Data());
  EXPECT_EQ(copy.Data(), t.Data());
}

// A table the process keeps to its end (as the driver keeps its data module)
// still owns the heap blocks of its long texts: the sanitized build's leak
// checker, run at exit, finds them through the table's records, whatever the
// mix of fields before and after the texts.
TEST(MemTableRecordsTest, LongTextsOfATableKeptToTheEndStayReachable) {
  static MemTable* const kept = new MemTable;
  kept->AddField("F", FieldType::kBoolean);
  kept->AddField("NOME", FieldType::kString, 10);
  kept->AddField("N", FieldType::kSmallint);
  kept->AddField("DESCR", FieldType::kString, 40);
  kept->AddField("OBS", FieldType::kMemo);
  kept->CreateDataSet();
  for (int i = 0; i < 5; ++i) {
    kept->Append();
    kept->FieldByName("F").SetAsBoolean(true);
    kept->FieldByName("NOME").SetAsString("nome longo " + std::to_string(i));
    kept->FieldByName("N").SetAsInteger(i);
    kept->FieldByName("DESCR").SetAsString(std::string(30, 'd') + std::to_string(i));
    kept->FieldByName("OBS").SetAsString(std::string(100, 'o') + std::to_string(i));
    kept->Post();
  }
  MemTable loaded;
  loaded.SetData(kept->Data());
  kept->SetData(loaded.Data());
  kept->Last();
  EXPECT_EQ(kept->FieldByName("NOME").AsString(), "nome longo");
  EXPECT_EQ(kept->FieldByName("DESCR").AsString(), std::string(30, 'd') + "4");
  EXPECT_EQ(kept->FieldByName("OBS").AsString(), std::string(100, 'o') + "4");
  EXPECT_EQ(kept->FieldByName("N").AsInteger(), 4);
}

}  // namespace
}  // namespace zel
