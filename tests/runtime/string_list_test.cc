#include "runtime/string_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/host_error.h"

namespace zel {
namespace {

using Lines = std::vector<std::string>;

StringList ListOf(const Lines& lines) {
  StringList list;
  for (const std::string& line : lines) list.Add(line);
  return list;
}

TEST(StringListTest, AddInsertDeleteKeepOrder) {
  StringList list;
  EXPECT_EQ(list.Add("b"), 0);
  EXPECT_EQ(list.Add("d"), 1);
  list.Insert(0, "a");
  list.Insert(2, "c");
  list.Insert(4, "e");
  EXPECT_EQ(list.Strings(), (Lines{"a", "b", "c", "d", "e"}));
  list.Delete(1);
  list.Set(0, "A");
  EXPECT_EQ(list.Strings(), (Lines{"A", "c", "d", "e"}));
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list[3], "e");
  list.AddStrings(list);
  EXPECT_EQ(list.Count(), 8);
  list.Clear();
  EXPECT_TRUE(list.IsEmpty());
}

TEST(StringListTest, IndexOutsideTheListRaisesTheRuntimesError) {
  StringList list = ListOf({"a"});
  auto message = [](auto&& action) {
    try {
      action();
    } catch (const HostError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message([&] { (void)list[1]; }), "List index out of bounds (1)");
  EXPECT_EQ(message([&] { (void)list[-1]; }), "List index out of bounds (-1)");
  EXPECT_EQ(message([&] { list.Delete(1); }), "List index out of bounds (1)");
  EXPECT_EQ(message([&] { list.Insert(2, "x"); }), "List index out of bounds (2)");
  EXPECT_EQ(message([&] { (void)list.Names(3); }), "List index out of bounds (3)");
  EXPECT_EQ(list.Strings(), (Lines{"a"}));
}

TEST(StringListTest, IndexOfIgnoresLetterCaseIncludingAccents) {
  StringList list = ListOf({"Dinheiro", "CART\xC3O",
                            "a\xE7\xFA"
                            "car",
                            "Dinheiro"});
  EXPECT_EQ(list.IndexOf("dinheiro"), 0);
  EXPECT_EQ(list.IndexOf("cart\xE3o"), 1);
  EXPECT_EQ(list.IndexOf("A\xC7\xDA"
                         "CAR"),
            2);
  EXPECT_EQ(list.IndexOf("cartao"), -1);
  EXPECT_EQ(list.IndexOf("Dinheir"), -1);
  EXPECT_EQ(list.IndexOf(""), -1);
}

TEST(StringListTest, TextJoinsWithCrLfAndEndsEveryLine) {
  EXPECT_EQ(ListOf({}).Text(), "");
  EXPECT_EQ(ListOf({"a"}).Text(), "a\r\n");
  EXPECT_EQ(ListOf({"a", "", "b"}).Text(), "a\r\n\r\nb\r\n");
}

TEST(StringListTest, SetTextSplitsOnEveryKindOfLineBreak) {
  struct Case {
    const char* text;
    Lines expected;
  };
  const Case cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\r\nb", {"a", "b"}},
      {"a\nb\rc\r\nd", {"a", "b", "c", "d"}},
      {"a\r\n\r\n", {"a", ""}},
      {"\r\n", {""}},
      {"a\n\rb", {"a", "", "b"}},  // LF then a lone CR: two breaks
      {"a\r\r\nb", {"a", "", "b"}},
      {"  x = 1 \r\n", {"  x = 1 "}},
  };
  for (const Case& c : cases) {
    StringList list = ListOf({"old"});
    list.SetText(c.text);
    EXPECT_EQ(list.Strings(), c.expected) << testing::PrintToString(std::string(c.text));
  }
}

TEST(StringListTest, CommaTextQuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(ListOf({"a", "b c", "say \"hi\"", "", "x,y"}).CommaText(),
            "a,\"b c\",\"say \"\"hi\"\"\",\"\",\"x,y\"");
  struct Case {
    const char* text;
    Lines expected;
  };
  const Case cases[] = {
      {"", {}},
      {"a,b", {"a", "b"}},
      {"a b", {"a", "b"}},
      {" a , b ", {"a", "b"}},
      {"a,,b", {"a", "", "b"}},
      {"a,", {"a", ""}},
      {"\"b c\",\"say \"\"hi\"\"\"", {"b c", "say \"hi\""}},
      {"\"x,y\"z", {"x,yz"}},
      {"\"open", {"open"}},
  };
  for (const Case& c : cases) {
    StringList list;
    list.SetCommaText(c.text);
    EXPECT_EQ(list.Strings(), c.expected) << c.text;
  }
  // What CommaText writes, SetCommaText reads back.
  StringList round;
  round.SetCommaText(ListOf({"a", "b c", "say \"hi\"", "", "x,y"}).CommaText());
  EXPECT_EQ(round.Strings(), (Lines{"a", "b c", "say \"hi\"", "", "x,y"}));
}

TEST(StringListTest, NameValueLines) {
  StringList list = ListOf({"Path=C:\\IBM", "Porta=COM1", "sem separador", "Vazio=", "x=a=b"});
  EXPECT_EQ(list.Values("path"), "C:\\IBM");
  EXPECT_EQ(list.Values("PORTA"), "COM1");
  EXPECT_EQ(list.Values("x"), "a=b");
  EXPECT_EQ(list.Values("Vazio"), "");
  EXPECT_EQ(list.Values("sem separador"), "");
  EXPECT_EQ(list.Values("Missing"), "");
  EXPECT_EQ(list.IndexOfName("porta"), 1);
  EXPECT_EQ(list.IndexOfName("sem separador"), -1);
  EXPECT_EQ(list.Names(0), "Path");
  EXPECT_EQ(list.Names(2), "");
  EXPECT_EQ(list.ValueFromIndex(2), "");
  EXPECT_EQ(list.ValueFromIndex(4), "a=b");

  list.SetValue("PORTA", "COM2");       // replaced in place, under the new spelling
  list.SetValue("Velocidade", "9600");  // added at the end
  list.SetValue("path", "");            // removed
  list.SetValue("NoSuchName", "");      // nothing to remove
  EXPECT_EQ(list.Strings(),
            (Lines{"PORTA=COM2", "sem separador", "Vazio=", "x=a=b", "Velocidade=9600"}));
}

TEST(StringListTest, SortedListsKeepOrderAndFollowTheDuplicatesRule) {
  StringList list = ListOf({"pera", "Banana", "abacate", "banana"});
  list.SetSorted(true);
  EXPECT_EQ(list.Strings(), (Lines{"abacate", "Banana", "banana", "pera"}));  // stable
  EXPECT_EQ(list.Add("Caju"), 3);
  EXPECT_EQ(list.Add("BANANA"), 1);  // ignored: already there
  EXPECT_EQ(list.Count(), 5);
  EXPECT_EQ(list.IndexOf("PERA"), 4);
  EXPECT_EQ(list.IndexOf("kiwi"), -1);
  EXPECT_THROW(list.Insert(0, "x"), HostError);
  EXPECT_THROW(list.Set(0, "x"), HostError);

  list.set_duplicates(StringList::Duplicates::kAccept);
  EXPECT_EQ(list.Add("BANANA"), 3);  // after its equals
  list.set_duplicates(StringList::Duplicates::kError);
  EXPECT_THROW(list.Add("caju"), HostError);

  list.SetText("z\r\ny\r\nx");
  EXPECT_EQ(list.Strings(), (Lines{"x", "y", "z"}));
  list.SetSorted(false);
  EXPECT_EQ(list.Add("a"), 3);
}

TEST(StringListTest, CompareTextFoldsWindows1252Letters) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  };
  const Case cases[] = {
      {"abc", "ABC", 0},   {"\xC7", "\xE7", 0},  {"\x8A", "\x9A", 0},
      {"\x9F", "\xFF", 0}, {"\xD7", "\xF7", -1}, {"ab", "abc", -1},
      {"b", "A", 1},       {"", "", 0},          {"a\xE9", "A\xC9", 0},
  };
  for (const Case& c : cases) {
    int result = StringList::CompareText(c.a, c.b);
    EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.a << " vs " << c.b;
  }
}

}  // namespace
}  // namespace zel
