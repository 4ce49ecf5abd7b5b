// MemTable cursor, editing, indexes, filter, Locate, change log and the
// after-open event.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "runtime/datetime.h"
#include "runtime/host_error.h"
#include "runtime/memtable.h"

namespace zel {
namespace {

using ::testing::HasSubstr;

class MemTableCursorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    t_.AddField("CD", FieldType::kString, 3);
    t_.AddField("NM", FieldType::kString, 20);
    t_.AddField("VR", FieldType::kFloat);
    t_.AddField("QT", FieldType::kInteger);
    t_.AddField("DT", FieldType::kDateTime);
    t_.CreateDataSet();
    Add("1", "Dinheiro", 10.5, 2, EncodeDate(2024, 1, 5));
    Add("2", "Cheque", 3, 1, EncodeDate(2024, 1, 3));
    Add("3", "Cart\xE3o", 7.25, 2, EncodeDate(2024, 1, 4));
    Add("4", "Vale", 3, 1, EncodeDate(2024, 1, 1));
    Add("5", "", -1, 0, EncodeDate(2024, 1, 2));  // NM stays null
  }

  void Add(const char* cd, const char* nm, double vr, int qt, TDateTime dt) {
    t_.Append();
    t_.FieldByName("CD").SetAsString(cd);
    if (*nm != '\0') t_.FieldByName("NM").SetAsString(nm);
    t_.FieldByName("VR").SetAsFloat(vr);
    t_.FieldByName("QT").SetAsInteger(qt);
    t_.FieldByName("DT").SetAsDateTime(dt);
    t_.Post();
  }

  // The CD of every record in view order, from the first.
  std::string Codes() {
    std::string s;
    for (t_.First(); !t_.Eof(); t_.Next()) s += t_.FieldByName("CD").AsString();
    return s;
  }
  std::string Cd() { return t_.FieldByName("CD").AsString(); }

  MemTable t_{"cdsMov"};
};

TEST_F(MemTableCursorTest, WalksForwardAndBackward) {
  EXPECT_EQ(t_.RecordCount(), 5);
  t_.First();
  EXPECT_TRUE(t_.Bof());
  EXPECT_FALSE(t_.Eof());
  EXPECT_EQ(t_.RecNo(), 1);
  t_.Prior();
  EXPECT_TRUE(t_.Bof());
  EXPECT_EQ(Cd(), "1");
  t_.Last();
  EXPECT_TRUE(t_.Eof());
  EXPECT_EQ(Cd(), "5");
  EXPECT_EQ(t_.RecNo(), 5);
  t_.Next();  // stays on the last record
  EXPECT_TRUE(t_.Eof());
  EXPECT_EQ(Cd(), "5");
  t_.Prior();
  EXPECT_FALSE(t_.Eof());
  EXPECT_EQ(Cd(), "4");
  t_.SetRecNo(2);
  EXPECT_EQ(Cd(), "2");
  EXPECT_EQ(Codes(), "12345");
}

TEST_F(MemTableCursorTest, EditPostCancelInsertAppendDelete) {
  t_.SetRecNo(2);
  t_.Edit();
  t_.FieldByName("NM").SetAsString("Outro");
  t_.Cancel();
  EXPECT_EQ(t_.FieldByName("NM").AsString(), "Cheque");

  t_.Edit();
  t_.FieldByName("NM").SetAsString("Outro");
  t_.Next();  // moving posts the modified record
  t_.Prior();
  EXPECT_EQ(t_.FieldByName("NM").AsString(), "Outro");

  t_.SetRecNo(2);
  t_.Insert();
  EXPECT_EQ(t_.RecNo(), 0);
  EXPECT_TRUE(t_.FieldByName("CD").IsNull());
  t_.FieldByName("CD").SetAsString("X");
  t_.Post();
  EXPECT_EQ(Cd(), "X");
  EXPECT_EQ(t_.RecNo(), 2);
  t_.Append();
  t_.FieldByName("CD").SetAsString("Y");
  t_.Post();
  EXPECT_EQ(Codes(), "1X2345Y");

  // Delete makes the next record current; deleting the last leaves Eof.
  t_.SetRecNo(2);
  t_.Delete();
  EXPECT_EQ(Cd(), "2");
  t_.Last();
  t_.Delete();
  EXPECT_TRUE(t_.Eof());
  EXPECT_EQ(Cd(), "5");
  EXPECT_EQ(Codes(), "12345");
}

TEST_F(MemTableCursorTest, DeleteWhileWalkingVisitsEveryRecordOnce) {
  int visited = 0;
  t_.First();
  while (!t_.Eof()) {
    ++visited;
    if (t_.FieldByName("QT").AsInteger() == 2) {
      t_.Delete();
    } else {
      t_.Next();
    }
  }
  EXPECT_EQ(visited, 5);
  EXPECT_EQ(Codes(), "245");
}

TEST_F(MemTableCursorTest, EditOnEmptyTableInsertsAndEmptyingClearsAll) {
  t_.EmptyDataSet();
  EXPECT_TRUE(t_.IsEmpty());
  EXPECT_EQ(t_.ChangeCount(), 0);
  EXPECT_THROW(t_.Delete(), DatasetError);
  t_.Edit();
  EXPECT_EQ(t_.state(), MemTable::State::kInsert);
  t_.FieldByName("CD").SetAsString("9");
  t_.Post();
  EXPECT_EQ(Codes(), "9");
}

TEST_F(MemTableCursorTest, IndexOrdersWithStableTiesAndKeepsTheCurrentRecord) {
  t_.AddIndex("idxQT", "QT;VR");
  t_.AddIndex("idxVR", "VR", {.descending = true});
  t_.AddIndex("idxNM", "NM", {.case_insensitive = true});
  t_.SetRecNo(3);
  t_.SetIndexName("idxQT");
  EXPECT_EQ(t_.IndexName(), "idxQT");
  EXPECT_EQ(Cd(), "3");  // still current after the switch
  EXPECT_EQ(Codes(), "52431");
  t_.SetIndexName("idxVR");
  EXPECT_EQ(Codes(), "13245");  // 2 and 4 tie on VR: order of addition
  t_.SetIndexName("idxNM");
  EXPECT_EQ(Codes(), "53214");  // null first
  t_.SetIndexName("");
  EXPECT_EQ(Codes(), "12345");

  // A posted record takes its place in the active index.
  t_.SetIndexFieldNames("DT");
  EXPECT_EQ(Codes(), "45231");
  t_.Append();
  t_.FieldByName("CD").SetAsString("6");
  t_.FieldByName("DT").SetAsDateTime(EncodeDate(2024, 1, 3));
  t_.Post();
  EXPECT_EQ(Cd(), "6");
  EXPECT_EQ(t_.RecNo(), 4);
  EXPECT_EQ(Codes(), "452631");
  t_.SetRecNo(1);
  t_.Edit();
  t_.FieldByName("DT").SetAsDateTime(EncodeDate(2025, 1, 1));
  t_.Post();
  EXPECT_EQ(t_.RecNo(), 6);
  EXPECT_EQ(Codes(), "526314");
}

TEST_F(MemTableCursorTest, IndexErrors) {
  EXPECT_THROW(t_.SetIndexName("nada"), DatasetError);
  t_.AddIndex("idxBad", "QT;NOPE");
  try {
    t_.SetIndexName("idxBad");
    FAIL() << "no exception";
  } catch (const DatasetError& e) {
    EXPECT_STREQ(e.what(), "Field 'NOPE' not found");
  }
  EXPECT_EQ(t_.IndexName(), "");
  EXPECT_EQ(Codes(), "12345");
  EXPECT_THROW(t_.AddIndex("IDXBAD", "QT"), DatasetError);
}

struct FilterCase {
  const char* filter;
  const char* codes;
};

class MemTableFilterTest : public MemTableCursorTest,
                           public ::testing::WithParamInterface<FilterCase> {};

TEST_P(MemTableFilterTest, SelectsTheMatchingRecords) {
  t_.SetFilter(GetParam().filter);
  t_.SetFiltered(true);
  EXPECT_EQ(Codes(), GetParam().codes) << GetParam().filter;
  EXPECT_EQ(t_.RecordCount(), static_cast<int>(std::string(GetParam().codes).size()));
}

INSTANTIATE_TEST_SUITE_P(
    Expressions, MemTableFilterTest,
    ::testing::Values(FilterCase{"CD = '2'", "2"}, FilterCase{"cd = '2' or CD='4'", "24"},
                      FilterCase{"NM <> 'Cheque'", "1345"},  // a null text reads as ''
                      FilterCase{"NM <> ' '", "1234"},       // trailing blanks do not count
                      FilterCase{"NM = ''", "5"}, FilterCase{"QT = 2", "13"},
                      FilterCase{"VR > 3", "13"}, FilterCase{"VR >= 3", "1234"},
                      FilterCase{"VR < 0", "5"}, FilterCase{"VR <= -1", "5"},
                      FilterCase{"VR = -1", "5"}, FilterCase{"VR = 7.25", "3"},
                      FilterCase{"VR = '7,25'", "3"}, FilterCase{"QT = 1 AND NOT (CD = '4')", "2"},
                      FilterCase{"(QT = 2 OR QT = 0) and VR > 5", "13"},
                      FilterCase{"not QT = 1 and not CD = '5'", "13"},
                      FilterCase{"NM = 'cheque'", ""},  // case counts by default
                      FilterCase{"NM > 'Cheque'", "14"}, FilterCase{"'2' = CD", "2"},
                      FilterCase{"3 < VR", "13"}, FilterCase{"DT < '03/01/2024'", "45"},
                      FilterCase{"NM IS NULL", "5"}, FilterCase{"NM is not null", "1234"},
                      FilterCase{"[NM] = 'Vale'", "4"}, FilterCase{"CD = 3", "3"},
                      FilterCase{"NM = 'Cart\xE3o'", "3"}, FilterCase{"", "12345"},
                      FilterCase{"QT = VR", ""}, FilterCase{"CD < QT", "1"}));

TEST_F(MemTableCursorTest, MalformedFilterRaisesAndKeepsThePreviousOne) {
  t_.SetFilter("QT = 2");
  t_.SetFiltered(true);
  for (const char* bad :
       {"QT =", "QT = 'x", "(QT = 2", "QT 2", "QT = 2 AND", "NOPE = 1", "VR = 'abc'",
        "DT = 'ontem'", "QT = 2)", "= 2", "QT == 2", "QT = 2 # 1", "NM IS 'x'"}) {
    EXPECT_THROW(t_.SetFilter(bad), DatasetError) << bad;
    EXPECT_EQ(t_.Filter(), "QT = 2") << bad;
    EXPECT_EQ(Codes(), "13") << bad;
  }
  try {
    t_.SetFilter("NOPE = 1");
  } catch (const DatasetError& e) {
    EXPECT_STREQ(e.what(), "Field 'NOPE' not found");
  }
}

TEST_F(MemTableCursorTest, DeeplyNestedFilterRaisesInsteadOfOverflowing) {
  t_.SetFilter("QT = 2");
  t_.SetFiltered(true);
  auto repeat = [](std::string_view piece, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += piece;
    return s;
  };
  const std::string parens = repeat("(", 100000) + "QT = 1" + repeat(")", 100000);
  const std::string nots = repeat("NOT ", 100000) + "QT = 1";
  for (const std::string& bad : {parens, nots, repeat("(", 5000)}) {
    try {
      t_.SetFilter(bad);
      ADD_FAILURE() << "accepted " << bad.size() << " bytes of nesting";
    } catch (const DatasetError& e) {
      EXPECT_THAT(e.what(), HasSubstr("nesting deeper than 256 levels"));
    }
    EXPECT_EQ(t_.Filter(), "QT = 2");
    EXPECT_EQ(Codes(), "13");
  }
  // Nesting within the bound is still accepted.
  t_.SetFilter(repeat("(", 200) + repeat("NOT ", 51) + "QT = 1" + repeat(")", 200));
  EXPECT_EQ(Codes(), "135");
}

TEST_F(MemTableCursorTest, LongAndOrChainsEvaluate) {
  std::string all_and = "QT = 1";
  std::string all_or = "CD = '9'";
  for (int i = 0; i < 100000; ++i) {
    all_and += " AND VR > -5";
    all_or += " OR CD = '9'";
  }
  t_.SetFilter(all_and);
  t_.SetFiltered(true);
  EXPECT_EQ(Codes(), "24");
  t_.SetFilter(all_and + " AND CD = '4'");  // the last term decides
  EXPECT_EQ(Codes(), "4");
  t_.SetFilter(all_or);
  EXPECT_EQ(Codes(), "");
  t_.SetFilter(all_or + " OR CD = '3'");
  EXPECT_EQ(Codes(), "3");
  // AND binds tighter than OR within one chain.
  t_.SetFilter("CD = '1' OR QT = 1 AND VR > 3 OR CD = '5' AND NOT QT = 0");
  EXPECT_EQ(Codes(), "1");
}

TEST_F(MemTableCursorTest, FilterSwitchesOnAndOffAndFirstPassingRecordIsCurrent) {
  t_.SetRecNo(5);
  t_.SetFilter("QT = 1");
  EXPECT_EQ(t_.RecordCount(), 5);  // text alone does nothing
  t_.SetFiltered(true);
  EXPECT_EQ(Cd(), "2");
  EXPECT_EQ(t_.RecordCount(), 2);
  t_.SetFilterOptions({.case_insensitive = true});
  t_.SetFilter("NM = 'VALE'");
  EXPECT_EQ(Cd(), "4");
  t_.SetFilter("CD = '9'");
  EXPECT_TRUE(t_.IsEmpty());
  EXPECT_EQ(t_.FieldByName("CD").AsString(), "");  // nothing passes: fields read empty
  t_.SetFiltered(false);
  EXPECT_EQ(t_.RecordCount(), 5);
  EXPECT_EQ(Cd(), "1");
  // A bad text is refused when filtering is switched on.
  t_.SetFilter("QT = ");
  EXPECT_THROW(t_.SetFiltered(true), DatasetError);
  EXPECT_FALSE(t_.Filtered());
}

TEST_F(MemTableCursorTest, EditedRecordLeavesTheFilteredView) {
  t_.SetFilter("QT = 2");
  t_.SetFiltered(true);
  t_.Edit();
  t_.FieldByName("QT").SetAsInteger(9);
  t_.Post();
  EXPECT_EQ(t_.RecordCount(), 1);
  EXPECT_EQ(Cd(), "3");
  t_.Append();
  t_.FieldByName("CD").SetAsString("7");
  t_.FieldByName("QT").SetAsInteger(2);
  t_.Post();
  EXPECT_EQ(Codes(), "37");
}

struct LocateCase {
  const char* fields;
  std::vector<HostVariant> values;
  MemTable::LocateOptions options;
  const char* found;  // CD of the located record, "" when not found
};

class MemTableLocateTest : public MemTableCursorTest,
                           public ::testing::WithParamInterface<LocateCase> {};

TEST_P(MemTableLocateTest, FindsTheFirstMatchingRecord) {
  const LocateCase& c = GetParam();
  t_.SetRecNo(4);
  const bool found = t_.Locate(c.fields, c.values, c.options);
  EXPECT_EQ(found, *c.found != '\0') << c.fields;
  EXPECT_EQ(Cd(), *c.found != '\0' ? c.found : "4") << c.fields;  // not found: cursor stays
}

INSTANTIATE_TEST_SUITE_P(
    Keys, MemTableLocateTest,
    ::testing::Values(
        LocateCase{"CD", {"3"}, {}, "3"}, LocateCase{"CD", {"9"}, {}, ""},
        LocateCase{"NM", {"cheque"}, {}, ""},
        LocateCase{"NM", {"cheque"}, {.case_insensitive = true}, "2"},
        LocateCase{"NM", {"CART\xC3O"}, {.case_insensitive = true}, "3"},
        LocateCase{"NM", {"Ch"}, {.partial_key = true}, "2"},
        LocateCase{"NM", {"ch"}, {.case_insensitive = true, .partial_key = true}, "2"},
        LocateCase{"NM", {"Ch"}, {}, ""}, LocateCase{"QT;VR", {1, 3.0}, {}, "2"},
        LocateCase{"qt;vr", {2, "7,25"}, {}, "3"}, LocateCase{"QT;VR", {1, 4.0}, {}, ""},
        LocateCase{"NM", {HostVariant::Null()}, {}, "5"},
        LocateCase{"DT", {HostVariant::FromDateTime(EncodeDate(2024, 1, 1))}, {}, "4"}));

TEST_F(MemTableCursorTest, LocateErrors) {
  EXPECT_THROW(t_.Locate("NOPE", HostVariant(1)), DatasetError);
  EXPECT_THROW(t_.Locate("CD;NM", std::vector<HostVariant>{"1"}), DatasetError);
}

TEST_F(MemTableCursorTest, ChangeLogCountsChangesUntilMerged) {
  EXPECT_TRUE(t_.LogChanges());
  EXPECT_EQ(t_.ChangeCount(), 5);  // five inserts
  t_.MergeChangeLog();
  EXPECT_EQ(t_.ChangeCount(), 0);
  t_.First();
  t_.Edit();
  t_.FieldByName("VR").SetAsFloat(1);
  t_.Post();
  t_.Edit();
  t_.FieldByName("VR").SetAsFloat(2);
  t_.Post();  // the same record: still one change
  t_.Next();
  t_.Delete();
  EXPECT_EQ(t_.ChangeCount(), 2);
  t_.SetLogChanges(false);
  t_.Delete();
  t_.Append();
  t_.FieldByName("CD").SetAsString("8");
  t_.Post();
  EXPECT_EQ(t_.ChangeCount(), 2);
  t_.MergeChangeLog();
  EXPECT_EQ(t_.ChangeCount(), 0);
  EXPECT_EQ(Codes(), "1458");
}

TEST(MemTableEventsTest, AfterOpenRunsOnEveryOpening) {
  MemTable t;
  int calls = 0;
  t.SetAfterOpen([&](MemTable& table) {
    ++calls;
    table.SetLogChanges(false);
  });
  t.AddField("A", FieldType::kInteger);
  t.CreateDataSet();
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(t.LogChanges());
  t.Open();  // already open: nothing
  EXPECT_EQ(calls, 1);
  t.AppendRecord({1});
  const std::string packet = t.Data();
  t.Close();
  t.SetLogChanges(true);
  t.SetData(packet);
  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(t.LogChanges());
  t.Close();
  t.Open();
  EXPECT_EQ(calls, 3);
}

TEST_F(MemTableCursorTest, LoadedPacketKeepsIndexFilterAndFieldReferences) {
  Field& qt = t_.FieldByName("QT");
  const std::string packet = t_.Data();
  MemTable other;
  other.AddField("QT", FieldType::kInteger);
  other.AddIndex("idxVR", "VR;CD", {.descending = true});
  other.SetIndexName("idxVR");
  other.SetFilter("QT > 0");
  other.SetFiltered(true);
  Field& other_qt = other.FieldByName("QT");
  other.SetData(packet);
  EXPECT_EQ(other.FieldCount(), 5);
  std::string codes;
  for (other.First(); !other.Eof(); other.Next()) codes += other.FieldByName("CD").AsString();
  EXPECT_EQ(codes, "1342");
  other.First();
  EXPECT_EQ(other_qt.AsInteger(), 2);  // the reference taken before the load still works

  t_.SetData(packet);  // a table may take its own packet
  t_.Last();
  EXPECT_EQ(qt.AsInteger(), 0);
  EXPECT_EQ(t_.RecordCount(), 5);
}

TEST(MemTableEventsTest, AppendRecordFillsFieldsInOrder) {
  MemTable t;
  t.AddField("A", FieldType::kInteger);
  t.AddField("B", FieldType::kString, 2);
  t.AddField("C", FieldType::kFloat);
  t.CreateDataSet();
  t.AppendRecord({1, "xyz"});
  EXPECT_EQ(t.FieldByName("A").AsInteger(), 1);
  EXPECT_EQ(t.FieldByName("B").AsString(), "xy");
  EXPECT_TRUE(t.FieldByName("C").IsNull());
  EXPECT_THROW(t.AppendRecord({"abc"}), ConvertError);
  EXPECT_EQ(t.state(), MemTable::State::kBrowse);
  EXPECT_EQ(t.RecordCount(), 1);
}

}  // namespace
}  // namespace zel
