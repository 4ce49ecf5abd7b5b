// Binary data packets: exact layout, round trips of every field type, the
// change log, and malformed packets.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "datapacket_sample.h"
#include "runtime/datetime.h"
#include "runtime/host_error.h"
#include "runtime/memtable.h"

namespace zel {
namespace {

using ::testing::HasSubstr;

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

std::string Hex(const std::string& s) {
  static const char* kDigits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (!out.empty()) out.push_back(' ');
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 15]);
  }
  return out;
}

// NOME text 10, QTD integer, VALOR float, DATA date, DTHR date-time; the
// packet of formats described for the host runtime, written out by hand.
const std::string& GoldenPacket() {
  static const std::string packet =
      // header: magic, version 1.0, header size 24, 5 fields, 2 rows, flags 3,
      // first row at 116
      Bytes(
          {0x96, 0x19, 0xE0, 0xBD, 1, 0, 0, 0, 24, 0, 0, 0, 5, 0, 2, 0, 0, 0, 3, 0, 0, 0, 116, 0}) +
      // NOME: string, varying, 1-byte prefix; WIDTH 10
      Bytes({4, 'N', 'O', 'M', 'E', 0x01, 0x00, 0x49, 0x00, 0, 0, 1, 0}) +
      Bytes({5, 'W', 'I', 'D', 'T', 'H', 0x02, 0x00, 0x02, 0x00, 10, 0}) +
      // QTD: signed 4; VALOR: float 8; DATA: date 4; DTHR: date-time 8
      Bytes({3, 'Q', 'T', 'D', 0x04, 0x00, 0x01, 0x00, 0, 0, 0, 0}) +
      Bytes({5, 'V', 'A', 'L', 'O', 'R', 0x08, 0x00, 0x04, 0x00, 0, 0, 0, 0}) +
      Bytes({4, 'D', 'A', 'T', 'A', 0x04, 0x00, 0x06, 0x00, 0, 0, 0, 0}) +
      Bytes({4, 'D', 'T', 'H', 'R', 0x08, 0x00, 0x08, 0x00, 0, 0, 0, 0}) +
      // dataset properties: LCID 1046
      Bytes({1, 0, 4, 'L', 'C', 'I', 'D', 0x04, 0x00, 0x01, 0x00, 0x16, 0x04, 0, 0}) +
      // row 1: status 0, no nulls, "Ana", 7, 1.5, 738890 (05/01/2024),
      // 62734953600000 ms (28/12/1988)
      Bytes(
          {0, 0,    0,    3,    'A',  'n',  'a', 7,    0,    0,    0,    0,    0,    0,    0,   0,
           0, 0xF8, 0x3F, 0x4A, 0x46, 0x0B, 0,   0x00, 0x00, 0xEA, 0x4F, 0x4F, 0x87, 0xCC, 0x42}) +
      // row 2: status 0, QTD VALOR DATA DTHR null (bits 01 for fields 2-5), "B"
      Bytes({0, 0x54, 0x01, 1, 'B'});
  return packet;
}

void DefineGoldenTable(MemTable& t) {
  t.AddField("NOME", FieldType::kString, 10);
  t.AddField("QTD", FieldType::kInteger);
  t.AddField("VALOR", FieldType::kFloat);
  t.AddField("DATA", FieldType::kDate);
  t.AddField("DTHR", FieldType::kDateTime);
}

TEST(DataPacketBinaryTest, WritesTheHostRuntimeLayoutExactly) {
  MemTable t;
  DefineGoldenTable(t);
  t.CreateDataSet();
  t.SetLogChanges(false);
  t.AppendRecord({"Ana", 7, 1.5, HostVariant::FromDateTime(EncodeDate(2024, 1, 5)),
                  HostVariant::FromDateTime(EncodeDate(1988, 12, 28))});
  t.AppendRecord({"B"});
  EXPECT_EQ(Hex(t.Data()), Hex(GoldenPacket()));
}

TEST(DataPacketBinaryTest, ReadsTheHandBuiltPacket) {
  MemTable t;
  t.SetData(GoldenPacket());
  ASSERT_TRUE(t.Active());
  ASSERT_EQ(t.FieldCount(), 5);
  EXPECT_EQ(t.FieldByName("NOME").type(), FieldType::kString);
  EXPECT_EQ(t.FieldByName("NOME").size(), 10);
  EXPECT_EQ(t.FieldByName("DATA").type(), FieldType::kDate);
  EXPECT_EQ(t.RecordCount(), 2);
  t.First();
  EXPECT_EQ(t.FieldByName("NOME").AsString(), "Ana");
  EXPECT_EQ(t.FieldByName("QTD").AsInteger(), 7);
  EXPECT_EQ(t.FieldByName("VALOR").AsFloat(), 1.5);
  EXPECT_EQ(t.FieldByName("DATA").AsDateTime(), EncodeDate(2024, 1, 5));
  EXPECT_EQ(t.FieldByName("DTHR").AsDateTime(), EncodeDate(1988, 12, 28));
  t.Next();
  EXPECT_EQ(t.FieldByName("NOME").AsString(), "B");
  EXPECT_TRUE(t.FieldByName("QTD").IsNull());
  EXPECT_TRUE(t.FieldByName("DTHR").IsNull());
  EXPECT_EQ(t.ChangeCount(), 0);
}

TEST(DataPacketBinaryTest, EveryFieldTypeRoundTrips) {
  MemTable a;
  AllTypesTable::Define(a);
  a.CreateDataSet();
  AllTypesTable::Fill(a);
  MemTable b;
  b.SetData(a.Data());
  AllTypesTable::ExpectSame(a, b);
  // Writing what was read gives the same bytes, change log included, and
  // the same again once both are merged.
  EXPECT_EQ(b.ChangeCount(), 3);
  EXPECT_EQ(Hex(b.Data()), Hex(a.Data()));
  a.MergeChangeLog();
  b.MergeChangeLog();
  EXPECT_EQ(Hex(b.Data()), Hex(a.Data()));
  b.First();
  EXPECT_EQ(b.FieldByName("AUTO").AsInteger(), 1);
  EXPECT_EQ(b.FieldByName("W").AsString(),
            "A\xE7\xFA"
            "car");
  b.Next();
  EXPECT_TRUE(b.FieldByName("S").IsNull());
  EXPECT_EQ(b.FieldByName("AUTO").AsInteger(), 2);
  b.Next();
  EXPECT_FALSE(b.FieldByName("S").IsNull());
  EXPECT_EQ(b.FieldByName("DT").AsString(), "29/12/1899 06:00:00");
}

TEST(DataPacketBinaryTest, TextOf255OrMoreUsesTwoByteLengthPrefix) {
  MemTable t;
  t.AddField("X", FieldType::kString, 255);
  t.CreateDataSet();
  t.SetLogChanges(false);
  t.AppendRecord({std::string(300, 'x')});
  const std::string p = t.Data();
  // Type word of X: size 2, code 9, varying.
  EXPECT_EQ(Hex(p.substr(26, 4)), "02 00 49 00");
  // WIDTH property carries 255.
  EXPECT_EQ(Hex(p.substr(44, 2)), "FF 00");
  // The row: status, bitmap, 2-byte length 255 (the text was cut to the width).
  const size_t row = static_cast<unsigned char>(p[22]) | (static_cast<unsigned char>(p[23]) << 8);
  EXPECT_EQ(Hex(p.substr(row, 4)), "00 00 FF 00");
  EXPECT_EQ(p.size(), row + 4 + 255);
}

TEST(DataPacketBinaryTest, ChangeLogCarriesStatusBytesAndTriplets) {
  MemTable t;
  t.AddField("CD", FieldType::kInteger);
  t.CreateDataSet();
  t.AppendRecord({1});
  t.AppendRecord({2});
  t.AppendRecord({3});
  t.MergeChangeLog();
  t.First();
  t.Edit();
  t.FieldByName("CD").SetAsInteger(10);  // modified: original image + new image
  t.Post();
  t.Next();
  t.Delete();           // deleted: its image goes last with status 2
  t.AppendRecord({4});  // inserted
  t.Last();
  t.Edit();
  t.FieldByName("CD").SetAsInteger(40);  // inserted then edited
  t.Post();
  EXPECT_EQ(t.ChangeCount(), 3);

  const std::string p = t.Data();
  // Rows: [1] original CD 1 (1), [2] new CD 10 (8), [3] CD 3 (0),
  // [4] original of the insert CD 4 (5), [5] its new image CD 40 (12),
  // [6] deleted CD 2 (2).
  const size_t first_row =
      static_cast<unsigned char>(p[22]) | (static_cast<unsigned char>(p[23]) << 8);
  EXPECT_EQ(p[14], 6);  // physical row count
  std::string statuses;
  std::vector<int> values;
  for (size_t at = first_row; at + 6 <= p.size(); at += 6) {
    statuses += std::to_string(static_cast<unsigned char>(p[at])) + " ";
    values.push_back(static_cast<unsigned char>(p[at + 2]));
  }
  EXPECT_EQ(statuses, "1 8 0 5 12 2 ");
  EXPECT_THAT(values, ::testing::ElementsAre(1, 10, 3, 4, 40, 2));
  // CHANGE_LOG: (2, 1, 8) (5, 4, 12) (6, 0, 2) as 4-byte values.
  const std::string log = Bytes(
      {10, 'C', 'H', 'A', 'N', 'G', 'E', '_', 'L', 'O', 'G', 0x04, 0x00, 0x82, 0x00, 9, 0, 0, 0});
  const size_t at = p.find(log);
  ASSERT_NE(at, std::string::npos);
  std::vector<int> triplets;
  for (int i = 0; i < 9; ++i)
    triplets.push_back(static_cast<unsigned char>(p[at + log.size() + 4 * i]));
  EXPECT_THAT(triplets, ::testing::ElementsAre(2, 1, 8, 5, 4, 12, 6, 0, 2));

  // Reading shows the log applied (deleted rows go, new images replace
  // originals) and keeps it: saved again, the packet is the same.
  MemTable u;
  u.SetData(p);
  std::string codes;
  for (u.First(); !u.Eof(); u.Next()) codes += u.FieldByName("CD").AsString() + ",";
  EXPECT_EQ(codes, "10,3,40,");
  EXPECT_EQ(u.ChangeCount(), 3);
  EXPECT_EQ(Hex(u.Data()), Hex(p));
  EXPECT_EQ(u.SaveToString(MemTable::PacketFormat::kXml),
            t.SaveToString(MemTable::PacketFormat::kXml));
  u.MergeChangeLog();
  MemTable merged;
  merged.SetData(u.Data());
  EXPECT_EQ(merged.ChangeCount(), 0);
  EXPECT_EQ(merged.RecordCount(), 3);
}

TEST(DataPacketBinaryTest, DeltaImagesTakeUnchangedFieldsFromTheOriginal) {
  // Fields A, B (integers). Rows: [1] original (1) A=1 B=2; [2] status 0 A=5
  // B=6; [3] new image (8) with A unchanged (bits 10) and B=9, appended at
  // the end as a delta writer does; CHANGE_LOG (3, 1, 8).
  const std::string p =
      Bytes({0x96, 0x19, 0xE0, 0xBD, 1, 0, 0, 0, 24, 0, 0, 0, 2, 0, 3, 0, 0, 0, 3, 0, 0, 0, 0, 0}) +
      Bytes({1, 'A', 0x04, 0x00, 0x01, 0x00, 0, 0, 0, 0}) +
      Bytes({1, 'B', 0x04, 0x00, 0x01, 0x00, 0, 0, 0, 0}) +
      Bytes({1, 0, 10, 'C', 'H', 'A', 'N', 'G', 'E', '_', 'L', 'O', 'G', 0x04, 0x00, 0x82, 0x00,
             3, 0, 0,  0,   3,   0,   0,   0,   1,   0,   0,   0,   8,   0,    0,    0}) +
      Bytes({1, 0, 1, 0, 0, 0, 2, 0, 0, 0}) + Bytes({0, 0, 5, 0, 0, 0, 6, 0, 0, 0}) +
      Bytes({8, 0x02, 9, 0, 0, 0});
  MemTable t;
  t.SetData(p);
  ASSERT_EQ(t.RecordCount(), 2);
  t.First();
  EXPECT_EQ(t.FieldByName("A").AsInteger(), 1);
  EXPECT_EQ(t.FieldByName("B").AsInteger(), 9);
  t.Next();
  EXPECT_EQ(t.FieldByName("A").AsInteger(), 5);
}

// The sample with its change log (three inserts, one of them deleted).
std::string SamplePacket() {
  MemTable t;
  AllTypesTable::Define(t);
  t.CreateDataSet();
  AllTypesTable::Fill(t);
  t.MergeChangeLog();
  t.First();
  t.Delete();
  t.Edit();
  t.FieldByName("I4").SetAsInteger(3);
  t.Post();
  return t.Data();
}

// A host's packet may carry field attribute bits, index properties and
// dataset properties this runtime has no use for; it still loads, and the
// index properties survive a rewrite.
TEST(DataPacketBinaryTest, ReadsHostPropertiesAndAttributesItDoesNotUse) {
  const std::string meta =
      // CD: string of 4, attributes read-only | 0x10; QTD: integer, attributes 0x10
      Bytes({2, 'C', 'D', 0x01, 0x00, 0x49, 0x00, 0x12, 0x00, 1, 0}) +
      Bytes({5, 'W', 'I', 'D', 'T', 'H', 0x02, 0x00, 0x02, 0x00, 4, 0}) +
      Bytes({3, 'Q', 'T', 'D', 0x04, 0x00, 0x01, 0x00, 0x10, 0x00, 0, 0}) +
      // four dataset properties: LCID, DEFAULT_ORDER [2], PRIMARY_KEY [1 2], and
      // one unknown to this runtime
      Bytes({4, 0}) + Bytes({4, 'L', 'C', 'I', 'D', 0x04, 0x00, 0x01, 0x00, 0x16, 0x04, 0, 0}) +
      Bytes({13,  'D', 'E',  'F',  'A',  'U',  'L', 'T', '_', 'O', 'R', 'D',
             'E', 'R', 0x02, 0x00, 0x82, 0x00, 1,   0,   0,   0,   2,   0}) +
      Bytes({11,   'P',  'R',  'I',  'M', 'A', 'R', 'Y', '_', 'K', 'E', 'Y',
             0x02, 0x00, 0x82, 0x00, 2,   0,   0,   0,   1,   0,   2,   0}) +
      Bytes({12,  'M', 'D',  '_',  'S',  'E',  'M', 'A', 'N', 'T', 'I',
             'C', 'S', 0x04, 0x00, 0x01, 0x00, 7,   0,   0,   0});
  const int first_row = 24 + static_cast<int>(meta.size());
  const std::string packet = Bytes({0x96,
                                    0x19,
                                    0xE0,
                                    0xBD,
                                    1,
                                    0,
                                    0,
                                    0,
                                    24,
                                    0,
                                    0,
                                    0,
                                    2,
                                    0,
                                    2,
                                    0,
                                    0,
                                    0,
                                    3,
                                    0,
                                    0,
                                    0,
                                    first_row & 0xFF,
                                    first_row >> 8}) +
                             meta + Bytes({0, 0, 2, 'B', 'B', 2, 0, 0, 0}) +
                             Bytes({0, 0, 2, 'A', 'A', 1, 0, 0, 0});

  MemTable t;
  t.SetData(packet);
  ASSERT_EQ(t.RecordCount(), 2);
  EXPECT_EQ(t.FieldByName("CD").size(), 4);
  t.First();
  EXPECT_EQ(t.FieldByName("CD").AsString(), "BB");
  t.Last();
  EXPECT_EQ(t.FieldByName("QTD").AsInteger(), 1);

  MemTable copy;
  copy.SetData(t.Data());
  const std::string xml = copy.SaveToString(MemTable::PacketFormat::kXml);
  EXPECT_THAT(xml, HasSubstr("DEFAULT_ORDER=\"2\" PRIMARY_KEY=\"1 2\" LCID=\"1046\""));
  EXPECT_THAT(xml, HasSubstr("<FIELD attrname=\"CD\" fieldtype=\"string\" readonly=\"true\""));
}

TEST(DataPacketBinaryTest, MalformedPacketsRaiseClearErrors) {
  const std::string good = GoldenPacket();
  struct Case {
    std::string name;
    std::string packet;
    const char* message;
  };
  std::string bad_magic = good;
  bad_magic[3] = 0x00;
  std::string long_name = good;
  long_name[24] = static_cast<char>(200);  // NOME's length runs past the end
  std::string bad_type = good;
  bad_type[31] = 0x3F;  // type code 63
  std::string far_row = good;
  far_row[22] = static_cast<char>(0xFF);
  far_row[23] = static_cast<char>(0xFF);
  std::string many_rows = good;
  many_rows[17] = 0x7F;
  std::string long_text = good;
  long_text[119] = static_cast<char>(250);  // "Ana" claims 250 bytes
  std::string back_row = good;
  back_row[22] = 40;  // inside NOME's WIDTH property
  const std::vector<Case> cases = {
      {"empty", "", "Invalid data packet: empty"},
      {"garbage", "hello", "Invalid data packet: neither binary nor XML"},
      {"header cut", good.substr(0, 10), "Invalid data packet: truncated header"},
      {"bad magic", bad_magic, "Invalid data packet: neither binary nor XML"},
      {"name past end", long_name, "Invalid data packet: truncated data packet"},
      {"bad type", bad_type, "unsupported type word"},
      {"row offset past end", far_row, "the offset of the first row points outside the packet"},
      {"row count too large", many_rows, "exceeds the packet"},
      {"text past end", long_text, "truncated data packet (field value"},
      {"row offset into the metadata", back_row,
       "the offset of the first row (40) points into the metadata, which ends at 116"},
  };
  for (const Case& c : cases) {
    MemTable t;
    try {
      t.SetData(c.packet);
      ADD_FAILURE() << c.name << ": no exception";
    } catch (const DatasetError& e) {
      EXPECT_THAT(e.what(), HasSubstr(c.message)) << c.name;
    }
    EXPECT_FALSE(t.Active()) << c.name;
  }
}

TEST(DataPacketBinaryTest, EveryTruncationIsRefusedAndTheTableKept) {
  const std::string packet = SamplePacket();
  MemTable t;
  t.AddField("KEEP", FieldType::kInteger);
  t.CreateDataSet();
  t.AppendRecord({5});
  for (size_t n = 0; n < packet.size(); ++n) {
    EXPECT_THROW(t.SetData(packet.substr(0, n)), DatasetError) << "length " << n;
  }
  ASSERT_EQ(t.FieldCount(), 1);
  EXPECT_EQ(t.FieldByName("KEEP").AsInteger(), 5);
  t.SetData(packet);
  EXPECT_EQ(t.RecordCount(), 2);
}

TEST(DataPacketBinaryTest, CorruptedBytesNeverReadOutOfBounds) {
  const std::string packet = SamplePacket();
  std::mt19937 random(1996);
  int loaded = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string p = packet;
    const int flips = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < flips; ++i) {
      // Leave the magic alone so that the binary reader is exercised.
      const size_t at = 4 + random() % (p.size() - 4);
      p[at] = static_cast<char>(random());
    }
    MemTable t;
    try {
      t.SetData(p);
      ++loaded;
      (void)t.Data();
      (void)t.SaveToString(MemTable::PacketFormat::kXml);
    } catch (const DatasetError&) {
    }
  }
  EXPECT_GT(loaded, 0);  // many flips hit values only
}

}  // namespace
}  // namespace zel
