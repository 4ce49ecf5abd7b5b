// Packets laid out as the host runtime writes them (text, memo with its
// declared size, BCD with precision and decimals, money, index properties
// before LCID, 16-digit floats), in the binary and the XML form: both load
// to the same rows, and each saved back in its own form comes out byte for
// byte as it went in.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/memtable.h"

namespace zel {
namespace {

// Little-endian builder of binary packets.
class Bytes {
 public:
  Bytes& U8(int v) {
    s_.push_back(static_cast<char>(v & 0xFF));
    return *this;
  }
  Bytes& U16(int v) { return U8(v).U8(v >> 8); }
  Bytes& U32(uint32_t v) {
    return U16(static_cast<int>(v & 0xFFFF)).U16(static_cast<int>(v >> 16));
  }
  Bytes& Raw(std::string_view s) {
    s_.append(s);
    return *this;
  }
  Bytes& Name(std::string_view s) { return U8(static_cast<int>(s.size())).Raw(s); }
  Bytes& Width(int v) { return Name("WIDTH").U32(0x00020002).U16(v); }
  Bytes& Decimals(int v) { return Name("DECIMALS").U32(0x00020002).U16(v); }
  Bytes& Subtype(std::string_view v) {
    return Name("SUBTYPE").U32(0x00490002).U16(static_cast<int>(v.size()) + 1).Raw(v).U8(0);
  }
  Bytes& Double(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    return U32(static_cast<uint32_t>(bits)).U32(static_cast<uint32_t>(bits >> 32));
  }
  const std::string& str() const { return s_; }
  size_t size() const { return s_.size(); }

 private:
  std::string s_;
};

const char* const kPrice = "51673.14999999999";

// CDPRODUTO string(13), OBS memo(50), VALOR BCD(15, 2), PRECO money;
// DEFAULT_ORDER 1, PRIMARY_KEY 1, LCID 1046; two rows, the second with only
// its code.
std::string BinaryPacket() {
  Bytes meta;
  meta.Name("CDPRODUTO").U32(0x00490001).U16(0).U16(1).Width(13);
  meta.Name("OBS").U32(0x004B0004).U16(0).U16(2).Width(50).Subtype("Text");
  meta.Name("VALOR").U32(0x00050022).U16(0).U16(2).Width(15).Decimals(2);
  meta.Name("PRECO").U32(0x00040008).U16(0).U16(1).Subtype("Money");
  meta.U16(3);
  meta.Name("DEFAULT_ORDER").U32(0x00820002).U32(1).U16(1);
  meta.Name("PRIMARY_KEY").U32(0x00820002).U32(1).U16(1);
  meta.Name("LCID").U32(0x00010004).U32(1046);

  Bytes rows;
  const std::string obs = "linha 1\r\nlinha 2 \xE9";
  rows.U8(0).U8(0).Name("7891000100103").U32(static_cast<uint32_t>(obs.size())).Raw(obs);
  // 51673.15 as a packed decimal: 7 digits, 2 places, then 32 bytes of digits.
  rows.U8(7).U8(2).U8(0x51).U8(0x67).U8(0x31).U8(0x50);
  for (int i = 0; i < 28; ++i) rows.U8(0);
  rows.Double(std::stod(kPrice));
  rows.U8(0).U8(0x54).Name("2");  // OBS, VALOR and PRECO null

  Bytes header;
  header.U32(0xBDE01996)
      .U16(1)
      .U16(0)
      .U32(24)
      .U16(4)
      .U32(2)
      .U32(3)
      .U16(24 + static_cast<int>(meta.size()));
  return header.str() + meta.str() + rows.str();
}

std::string XmlPacket(std::string_view params, std::string_view rows) {
  return std::string(
             "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA>"
             "<FIELDS><FIELD attrname=\"CDPRODUTO\" fieldtype=\"string\" WIDTH=\"13\"/>"
             "<FIELD attrname=\"OBS\" fieldtype=\"bin.hex\" SUBTYPE=\"Text\" WIDTH=\"50\"/>"
             "<FIELD attrname=\"VALOR\" fieldtype=\"fixed\" DECIMALS=\"2\" WIDTH=\"15\"/>"
             "<FIELD attrname=\"PRECO\" fieldtype=\"r8\" SUBTYPE=\"Money\"/></FIELDS><PARAMS") +
         std::string(params) + "/></METADATA><ROWDATA>" + std::string(rows) +
         "</ROWDATA></DATAPACKET>";
}

std::string XmlTwin() {
  return XmlPacket(" DEFAULT_ORDER=\"1\" PRIMARY_KEY=\"1\" LCID=\"1046\"",
                   std::string("<ROW CDPRODUTO=\"7891000100103\" "
                               "OBS=\"linha 1&#013;&#010;linha 2 &#233;\" VALOR=\"51673.15\" "
                               "PRECO=\"") +
                       kPrice + "\"/><ROW CDPRODUTO=\"2\"/>");
}

TEST(DataPacketHostLayoutTest, BinaryAndXmlTwinsLoadTheSameRows) {
  MemTable binary;
  binary.SetData(BinaryPacket());
  MemTable xml;
  xml.SetData(XmlTwin());
  for (MemTable* t : {&binary, &xml}) {
    EXPECT_EQ(t->FieldByName("OBS").size(), 50);
    EXPECT_EQ(t->FieldDefs()[2].precision, 15);
    EXPECT_EQ(t->FieldByName("VALOR").size(), 2);
    EXPECT_EQ(t->FieldByName("PRECO").type(), FieldType::kCurrency);
    ASSERT_EQ(t->RecordCount(), 2);
  }
  for (binary.First(), xml.First(); !binary.Eof(); binary.Next(), xml.Next()) {
    for (int i = 0; i < binary.FieldCount(); ++i) {
      EXPECT_EQ(binary.Fields(i).Value(), xml.Fields(i).Value()) << binary.Fields(i).name();
    }
  }
  binary.First();
  EXPECT_EQ(binary.FieldByName("PRECO").AsFloat(), std::stod(kPrice));
  EXPECT_EQ(binary.FieldByName("VALOR").AsFloat(), 51673.15);
}

TEST(DataPacketHostLayoutTest, EachFormSavedBackComesOutByteForByte) {
  MemTable binary;
  binary.SetData(BinaryPacket());
  EXPECT_EQ(binary.Data(), BinaryPacket());
  MemTable xml;
  xml.SetData(XmlTwin());
  EXPECT_EQ(xml.SaveToString(MemTable::PacketFormat::kXml), XmlTwin());
  // Each form written from the other's table gives that form's bytes too.
  EXPECT_EQ(xml.Data(), BinaryPacket());
  EXPECT_EQ(binary.SaveToString(MemTable::PacketFormat::kXml), XmlTwin());
}

// A packet saved with its change log keeps it (row states and CHANGE_LOG)
// through a load and a save, until the host merges it.
TEST(DataPacketHostLayoutTest, ChangeLogSurvivesALoadAndASave) {
  const std::string logged = XmlPacket(
      " CHANGE_LOG=\"2 0 4 4 3 8 5 0 2\" LCID=\"1046\"",
      "<ROW CDPRODUTO=\"1\"/><ROW RowState=\"4\" CDPRODUTO=\"2\"/>"
      "<ROW RowState=\"1\" CDPRODUTO=\"3\" VALOR=\"1.5\"/>"
      "<ROW RowState=\"8\" CDPRODUTO=\"3\" VALOR=\"2.5\"/><ROW RowState=\"2\" CDPRODUTO=\"4\"/>");
  MemTable t;
  t.SetData(logged);
  EXPECT_EQ(t.RecordCount(), 3);
  EXPECT_EQ(t.ChangeCount(), 3);
  EXPECT_EQ(t.SaveToString(MemTable::PacketFormat::kXml), logged);
  MemTable binary;
  binary.SetData(t.Data());
  EXPECT_EQ(binary.SaveToString(MemTable::PacketFormat::kXml), logged);

  t.MergeChangeLog();
  EXPECT_EQ(t.SaveToString(MemTable::PacketFormat::kXml),
            XmlPacket(" LCID=\"1046\"",
                      "<ROW CDPRODUTO=\"1\"/><ROW CDPRODUTO=\"2\"/>"
                      "<ROW CDPRODUTO=\"3\" VALOR=\"2.5\"/>"));
}

}  // namespace
}  // namespace zel
