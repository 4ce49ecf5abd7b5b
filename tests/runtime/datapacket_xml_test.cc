// XML data packets: exact text, reading what hosts write, round trips and
// malformed documents.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "datapacket_sample.h"
#include "runtime/datetime.h"
#include "runtime/host_error.h"
#include "runtime/memtable.h"

namespace zel {
namespace {

using ::testing::HasSubstr;

void FillGoldenTable(MemTable& t) {
  t.AddField("NOME", FieldType::kString, 15);
  t.AddField("NM CLIENTE", FieldType::kString);
  t.AddField("QTD", FieldType::kInteger, 0, /*required=*/true);
  t.AddField("VALOR", FieldType::kFloat);
  t.AddField("PRECO", FieldType::kCurrency);
  t.AddField("ATIVO", FieldType::kBoolean);
  t.AddField("DATA", FieldType::kDate);
  t.AddField("DTHR", FieldType::kDateTime);
  t.AddField("HORA", FieldType::kTime);
  t.AddField("OBS", FieldType::kMemo);
  t.CreateDataSet();
  t.SetLogChanges(false);
  t.AppendRecord({"Jo\xE3o & <Cia>", "Z\xE9", 7, 1.5, 19.9, true,
                  HostVariant::FromDateTime(EncodeDate(2024, 1, 5)),
                  HostVariant::FromDateTime(EncodeDateTime(1988, 12, 28, 10, 0, 0, 500)),
                  HostVariant::FromDateTime(EncodeTime(10, 0, 0, 0)), "a\r\nb"});
  t.AppendRecord({"B", HostVariant::Null(), 0, HostVariant::Null(), HostVariant::Null(),
                  HostVariant::Null(), HostVariant::Null(),
                  HostVariant::FromDateTime(EncodeDate(1988, 12, 28))});
}

constexpr const char* kGoldenMetadata =
    "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
    "<FIELD attrname=\"NOME\" fieldtype=\"string\" WIDTH=\"15\"/>"
    "<FIELD attrname=\"NM_CLIENTE\" fieldname=\"NM CLIENTE\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "<FIELD attrname=\"QTD\" fieldtype=\"i4\" required=\"true\"/>"
    "<FIELD attrname=\"VALOR\" fieldtype=\"r8\"/>"
    "<FIELD attrname=\"PRECO\" fieldtype=\"r8\" SUBTYPE=\"Money\"/>"
    "<FIELD attrname=\"ATIVO\" fieldtype=\"boolean\"/>"
    "<FIELD attrname=\"DATA\" fieldtype=\"date\"/>"
    "<FIELD attrname=\"DTHR\" fieldtype=\"dateTime\"/>"
    "<FIELD attrname=\"HORA\" fieldtype=\"time\"/>"
    "<FIELD attrname=\"OBS\" fieldtype=\"bin.hex\" SUBTYPE=\"Text\"/>"
    "</FIELDS><PARAMS LCID=\"1046\"/></METADATA><ROWDATA>";

TEST(DataPacketXmlTest, WritesThePlainForm) {
  MemTable t;
  FillGoldenTable(t);
  EXPECT_EQ(t.SaveToString(MemTable::PacketFormat::kXml),
            std::string("<?xml version=\"1.0\" standalone=\"yes\"?>  ") + kGoldenMetadata +
                "<ROW NOME=\"Jo&#227;o &amp; &lt;Cia&gt;\" NM_CLIENTE=\"Z&#233;\" QTD=\"7\" "
                "VALOR=\"1.5\" PRECO=\"19.9\" ATIVO=\"TRUE\" DATA=\"20240105\" "
                "DTHR=\"19881228T10:00:00500\" HORA=\"10:00:00000\" OBS=\"a&#013;&#010;b\"/>"
                "<ROW NOME=\"B\" QTD=\"0\" DTHR=\"19881228\"/>"
                "</ROWDATA></DATAPACKET>");
}

TEST(DataPacketXmlTest, WritesTheUtf8Form) {
  MemTable t;
  FillGoldenTable(t);
  const std::string xml = t.SaveToString(MemTable::PacketFormat::kXmlUtf8);
  EXPECT_TRUE(xml.starts_with(
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>  <DATAPACKET"));
  EXPECT_THAT(xml, HasSubstr("NOME=\"Jo\xC3\xA3o &amp; &lt;Cia&gt;\" NM_CLIENTE=\"Z\xC3\xA9\""));
  MemTable u;
  u.SetData(xml);
  EXPECT_EQ(u.FieldByName("NOME").AsString(), "Jo\xE3o & <Cia>");
  EXPECT_EQ(u.FieldByName("NM CLIENTE").AsString(), "Z\xE9");
  EXPECT_TRUE(u.FieldByName("QTD").required());
}

TEST(DataPacketXmlTest, ReadsWhatHostsWriteWithTheChangeLogApplied) {
  const std::string xml =
      "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
      "<FIELD attrname=\"CD\" fieldtype=\"i4\"/>"
      "<FIELD attrname=\"NM_X\" fieldname=\"NM X\" fieldtype=\"string\" WIDTH=\"30\"/>"
      "<FIELD attrname=\"VR\" fieldtype=\"r8\" SUBTYPE=\"Money\"/>"
      "<FIELD attrname=\"DT\" fieldtype=\"dateTime\"/>"
      "<FIELD attrname=\"IMG\" fieldtype=\"bin.hex\" SUBTYPE=\"Binary\"/>"
      "<FIELD attrname=\"OK\" fieldtype=\"boolean\"/>"
      "</FIELDS><PARAMS CHANGE_LOG=\"1 0 4 3 2 8 4 0 2\" LCID=\"1046\"/></METADATA><ROWDATA>"
      "<ROW RowState=\"4\" CD=\"1\" NM_X=\"A&#231;&#250;car\" VR=\"1.5E3\" "
      "DT=\"20240105T03:04:05006\" IMG=\"AAH/\" OK=\"FALSE\"/>"
      "<ROW RowState=\"1\" CD=\"2\" NM_X=\"velho\"/>"
      "<ROW RowState=\"8\" NM_X=\"novo\" CD=\"2\"/>"
      "<ROW RowState=\"2\" CD=\"3\"/>"
      "</ROWDATA></DATAPACKET>\r\n";
  MemTable t;
  t.SetData(xml);
  ASSERT_EQ(t.RecordCount(), 2);
  EXPECT_EQ(t.FieldByName("VR").type(), FieldType::kCurrency);
  EXPECT_EQ(t.FieldByName("IMG").type(), FieldType::kBlob);
  EXPECT_EQ(t.FieldByName("NM X").size(), 30);
  t.First();
  EXPECT_EQ(t.FieldByName("NM X").AsString(),
            "A\xE7\xFA"
            "car");
  EXPECT_EQ(t.FieldByName("VR").AsFloat(), 1500.0);
  EXPECT_EQ(t.FieldByName("DT").AsDateTime(), EncodeDateTime(2024, 1, 5, 3, 4, 5, 6));
  EXPECT_EQ(t.FieldByName("IMG").AsString(), std::string("\x00\x01\xFF", 3));
  EXPECT_FALSE(t.FieldByName("OK").IsNull());
  t.Next();
  EXPECT_EQ(t.FieldByName("CD").AsInteger(), 2);
  EXPECT_EQ(t.FieldByName("NM X").AsString(), "novo");
  EXPECT_TRUE(t.FieldByName("VR").IsNull());  // absent attribute
}

TEST(DataPacketXmlTest, ChangeLogIsWrittenAsRowStatesAndParams) {
  MemTable t;
  t.AddField("CD", FieldType::kInteger);
  t.CreateDataSet();
  t.AppendRecord({1});
  EXPECT_THAT(t.SaveToString(MemTable::PacketFormat::kXml),
              HasSubstr("<PARAMS CHANGE_LOG=\"1 0 4\" LCID=\"1046\"/></METADATA><ROWDATA>"
                        "<ROW RowState=\"4\" CD=\"1\"/></ROWDATA>"));
}

TEST(DataPacketXmlTest, EveryFieldTypeRoundTripsInBothVariants) {
  for (auto format : {MemTable::PacketFormat::kXml, MemTable::PacketFormat::kXmlUtf8}) {
    MemTable a;
    AllTypesTable::Define(a);
    a.CreateDataSet();
    AllTypesTable::Fill(a);
    MemTable b;
    b.SetData(a.SaveToString(format));
    AllTypesTable::ExpectSame(a, b);
  }
}

TEST(DataPacketXmlTest, FloatsKeepSixteenSignificantDigitsWhateverTheLocale) {
  MemTable t;
  t.AddField("F", FieldType::kFloat);
  t.CreateDataSet();
  t.SetLogChanges(false);
  const double values[] = {1.0 / 3,
                           1e15,
                           1e16,
                           -2.5e-7,
                           0.1,
                           9471.95,
                           std::stod("51673.14999999999"),
                           std::stod("97698.59999999999"),
                           0};
  for (double v : values) t.AppendRecord({v});
  const std::string xml = t.SaveToString(MemTable::PacketFormat::kXml);
  EXPECT_THAT(xml, HasSubstr("<ROW F=\"0.3333333333333333\"/><ROW F=\"1000000000000000\"/>"
                             "<ROW F=\"1E16\"/><ROW F=\"-2.5E-7\"/><ROW F=\"0.1\"/>"
                             "<ROW F=\"9471.950000000001\"/><ROW F=\"51673.14999999999\"/>"
                             "<ROW F=\"97698.59999999999\"/><ROW F=\"0\"/>"));
  // Sixteen digits bring these values back exactly (fifteen would not).
  MemTable u;
  u.SetData(xml);
  u.First();
  for (double v : values) {
    EXPECT_EQ(u.FieldByName("F").AsFloat(), v);
    u.Next();
  }
}

TEST(DataPacketXmlTest, DocumentsWithoutDeclaredEncoding) {
  const std::string head =
      "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS><FIELD attrname=\"NM\" fieldtype=\"string\" "
      "WIDTH=\"10\"/></FIELDS><PARAMS/></METADATA><ROWDATA><ROW NM=\"";
  const std::string tail = "\"/></ROWDATA></DATAPACKET>";
  for (const std::string& bytes : {std::string("Jo\xE3o"), std::string("Jo\xC3\xA3o")}) {
    MemTable t;
    t.SetData(head + bytes + tail);  // Windows-1252 bytes, or UTF-8
    EXPECT_EQ(t.FieldByName("NM").AsString(), "Jo\xE3o");
  }
}

// The same packet laid out in the ways XML allows (blanks and line breaks
// between elements, a comment, single quotes, hexadecimal references,
// elements with end tags, a byte-order mark) reads the same.
TEST(DataPacketXmlTest, LayoutVariantsReadAlike) {
  const std::string base =
      "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
      "<FIELD attrname=\"NM\" fieldtype=\"string\" WIDTH=\"10\"/>"
      "<FIELD attrname=\"QT\" fieldtype=\"i4\"/></FIELDS><PARAMS LCID=\"1046\"/></METADATA>"
      "<ROWDATA><ROW NM=\"Jos&#233; &amp; &lt;\" QT=\"1\"/><ROW QT=\"2\"/></ROWDATA></DATAPACKET>";
  MemTable expected;
  expected.SetData(base);
  ASSERT_EQ(expected.RecordCount(), 2);
  EXPECT_EQ(expected.FieldByName("NM").AsString(), "Jos\xE9 & <");
  const std::string variants[] = {
      "\xEF\xBB\xBF" + base,
      "<?xml version=\"1.0\"?>\r\n<!-- exported -->\r\n<DATAPACKET Version=\"2.0\">\r\n"
      "  <METADATA>\r\n    <FIELDS>\r\n      <FIELD attrname=\"NM\" fieldtype=\"string\" "
      "WIDTH=\"10\"/>\r\n      <FIELD attrname=\"QT\" fieldtype=\"i4\"/>\r\n    </FIELDS>\r\n"
      "    <PARAMS LCID=\"1046\"/>\r\n  </METADATA>\r\n  <ROWDATA>\r\n"
      "    <ROW NM=\"Jos&#233; &amp; &lt;\" QT=\"1\"/>\r\n    <ROW QT=\"2\"/>\r\n  </ROWDATA>\r\n"
      "</DATAPACKET>\r\n",
      "<DATAPACKET Version='2.0'><METADATA><FIELDS><FIELD attrname='NM' fieldtype='string' "
      "WIDTH='10' /><FIELD attrname = 'QT' fieldtype='i4'/></FIELDS><PARAMS "
      "LCID='1046'></PARAMS></METADATA><ROWDATA><ROW NM='Jos&#xE9; &amp; &lt;' QT='1'></ROW>"
      "<ROW QT='2' /></ROWDATA></DATAPACKET>",
      "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS><FIELD attrname=\"NM\" fieldtype=\"string\" "
      "WIDTH=\"10\"/><FIELD attrname=\"QT\" fieldtype=\"i4\"/></FIELDS><PARAMS LCID=\"1046\"/>"
      "</METADATA><ROWDATA><ROW NM=\"Jos\xC3\xA9 &amp; &lt;\" QT=\"1\"/><ROW QT=\"2\"/>"
      "<?skip me?></ROWDATA></DATAPACKET>",
      "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"NM\" fieldtype=\"string\" WIDTH=\"10\">"
      "</FIELD><FIELD attrname=\"QT\" fieldtype=\"i4\"/></FIELDS><PARAMS LCID=\"1046\"/>"
      "</METADATA><ROWDATA><ROW NM=\"Jos&#233; &amp; &lt;\" QT=\"1\"/><ROW QT=\"2\"/></ROWDATA>"
      "</DATAPACKET>",
  };
  for (const std::string& xml : variants) {
    MemTable t;
    t.SetData(xml);
    EXPECT_EQ(t.Data(), expected.Data()) << xml;
  }
}

// A comment makes the reader hand the document to its general XML parser;
// both readers give the same table for every field type and both variants.
TEST(DataPacketXmlTest, BothReadersAgreeOnEveryFieldType) {
  MemTable a;
  AllTypesTable::Define(a);
  a.CreateDataSet();
  AllTypesTable::Fill(a);
  for (auto format : {MemTable::PacketFormat::kXml, MemTable::PacketFormat::kXmlUtf8}) {
    const std::string xml = a.SaveToString(format);
    const size_t root = xml.find("<DATAPACKET");
    ASSERT_NE(root, std::string::npos);
    const std::string commented = xml.substr(0, root) + "<!-- x -->" + xml.substr(root);
    MemTable scanned;
    scanned.SetData(xml);
    MemTable parsed;
    parsed.SetData(commented);
    AllTypesTable::ExpectSame(scanned, parsed);
    EXPECT_EQ(scanned.Data(), parsed.Data());
    EXPECT_EQ(scanned.Data(), a.Data());
  }
}

TEST(DataPacketXmlTest, TextWithoutWidthKeepsItsLongestValue) {
  const std::string xml =
      "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS><FIELD attrname=\"NM\" fieldtype=\"string\"/>"
      "</FIELDS><PARAMS/></METADATA><ROWDATA><ROW NM=\"" +
      std::string(300, 'x') + "\"/><ROW NM=\"y\"/></ROWDATA></DATAPACKET>";
  MemTable t;
  t.SetData(xml);
  EXPECT_EQ(t.FieldByName("NM").size(), 300);
  MemTable u;
  u.SetData(t.Data());
  EXPECT_EQ(u.FieldByName("NM").AsString(), std::string(300, 'x'));
}

// Index parameters and read-only fields survive a load and a rewrite in
// either form; parameters this runtime has no use for are ignored.
TEST(DataPacketXmlTest, IndexParamsAndReadOnlyFieldsSurviveARewrite) {
  const std::string xml =
      "<?xml version=\"1.0\" standalone=\"yes\"?><DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
      "<FIELD attrname=\"CD\" fieldtype=\"string\" WIDTH=\"4\" readonly=\"true\"/>"
      "<FIELD attrname=\"QT\" fieldtype=\"i4\"/></FIELDS>"
      "<PARAMS DEFAULT_ORDER=\"2\" PRIMARY_KEY=\"1 2\" LCID=\"1046\" MD_SEMANTICS=\"7\"/>"
      "</METADATA><ROWDATA><ROW CD=\"b\" QT=\"2\"/><ROW CD=\"a\" QT=\"1\"/></ROWDATA>"
      "</DATAPACKET>";
  MemTable t;
  t.SetData(xml);
  ASSERT_EQ(t.RecordCount(), 2);
  MemTable copy;
  copy.SetData(t.Data());
  const std::string out = copy.SaveToString(MemTable::PacketFormat::kXml);
  EXPECT_THAT(out, HasSubstr("<PARAMS DEFAULT_ORDER=\"2\" PRIMARY_KEY=\"1 2\" LCID=\"1046\"/>"));
  EXPECT_THAT(out, HasSubstr("<FIELD attrname=\"CD\" fieldtype=\"string\" readonly=\"true\""));
}

TEST(DataPacketXmlTest, MalformedDocumentsRaiseClearErrors) {
  const std::string fields =
      "<?xml version=\"1.0\"?><DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
      "<FIELD attrname=\"CD\" fieldtype=\"i4\"/><FIELD attrname=\"DT\" fieldtype=\"date\"/>"
      "<FIELD attrname=\"IMG\" fieldtype=\"bin.hex\" SUBTYPE=\"Binary\"/>"
      "<FIELD attrname=\"QT\" fieldtype=\"i2\"/><FIELD attrname=\"U1\" fieldtype=\"ui1\"/>"
      "<FIELD attrname=\"U4\" fieldtype=\"ui4\"/><FIELD attrname=\"I8\" fieldtype=\"i8\"/>"
      "</FIELDS><PARAMS/></METADATA><ROWDATA>";
  const std::string end = "</ROWDATA></DATAPACKET>";
  const struct {
    std::string xml;
    const char* message;
  } cases[] = {
      {"<", "Invalid XML data packet:"},
      {"<FOO/>", "no DATAPACKET element"},
      {"<DATAPACKET Version=\"2.0\"/>", "no METADATA/FIELDS element"},
      {"<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"X\" fieldtype=\"nested\"/></FIELDS>"
       "</METADATA></DATAPACKET>",
       "field 'X' has an unsupported type 'nested'"},
      {"<DATAPACKET><METADATA><FIELDS><FIELD fieldtype=\"i4\"/></FIELDS></METADATA></DATAPACKET>",
       "a FIELD has no attrname"},
      {fields + "<ROW CD=\"x1\"/>" + end, "invalid value 'x1' for field 'CD'"},
      {fields + "<ROW DT=\"2024-01-05\"/>" + end, "invalid value '2024-01-05' for field 'DT'"},
      {fields + "<ROW DT=\"20240231\"/>" + end, "invalid value '20240231' for field 'DT'"},
      {fields + "<ROW IMG=\"@@\"/>" + end, "invalid value '@@' for field 'IMG'"},
      {fields + "<ROW RowState=\"abc\"/>" + end, "invalid RowState 'abc'"},
      // Integers outside their field's range are refused, never wrapped.
      {fields + "<ROW QT=\"40000\"/>" + end,
       "value 40000 out of range for field 'QT' (-32768 to 32767)"},
      {fields + "<ROW CD=\"99999999999\"/>" + end,
       "value 99999999999 out of range for field 'CD' (-2147483648 to 2147483647)"},
      {fields + "<ROW U1=\"256\"/>" + end, "value 256 out of range for field 'U1' (0 to 255)"},
      {fields + "<ROW U4=\"-1\"/>" + end, "value -1 out of range for field 'U4' (0 to 4294967295)"},
      {fields + "<ROW I8=\"9223372036854775808\"/>" + end,
       "invalid value '9223372036854775808' for field 'I8'"},
      {fields + "<ROW CD=\"1\"/>", "Invalid XML data packet:"},
      {fields + "<ROW CD=\"1\"/></ROWDATA></DATAPACKETX>", "Invalid XML data packet:"},
  };
  for (const auto& c : cases) {
    MemTable t;
    try {
      t.SetData(c.xml);
      ADD_FAILURE() << c.xml << ": no exception";
    } catch (const DatasetError& e) {
      EXPECT_THAT(e.what(), HasSubstr(c.message)) << c.xml;
    }
  }
}

TEST(DataPacketXmlTest, EveryTruncationIsRefused) {
  MemTable t;
  FillGoldenTable(t);
  const std::string xml = t.SaveToString(MemTable::PacketFormat::kXml);
  for (size_t n = 0; n + 1 < xml.size(); ++n) {
    MemTable u;
    EXPECT_THROW(u.SetData(xml.substr(0, n)), DatasetError) << "length " << n;
  }
}

}  // namespace
}  // namespace zel
