#include "hostutil/params.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(RecebeParamsTest, FindsKeysWithoutRegardToCase) {
  HostParams params = MakeParams(
      {{"CDFILIAL", "0001"}, {"ESQUEMACOR", "002"}, {"BOUTILTAA", true}, {"esquemacor", "999"}});
  struct Case {
    const char* key;
    HostVariant expected;
  } cases[] = {
      {"CDFILIAL", "0001"},
      {"cdfilial", "0001"},
      {"EsquemaCor", "002"},  // the first of two pairs with the same key wins
      {"BOUTILTAA", true},
  };
  for (const Case& c : cases) EXPECT_EQ(RecebeParams(params, c.key), c.expected) << c.key;
}

TEST(RecebeParamsTest, MissingKeyReadsAsEmptyValue) {
  HostParams params = MakeParams({{"CDFILIAL", "0001"}});
  HostVariant v = RecebeParams(params, "BOUTILTAA");
  EXPECT_TRUE(v.IsEmpty());
  EXPECT_FALSE(v.AsBoolean());
  EXPECT_EQ(v.AsString(), "");
  EXPECT_EQ(v.AsInteger(), 0);
  EXPECT_TRUE(RecebeParams(params, "CDFILIA").IsEmpty());  // no prefix match
}

TEST(RecebeParamsTest, MalformedBundlesFindNothing) {
  HostParams odd = HostVariant::MakeArray({
      HostVariant("CDFILIAL"),                       // not a pair
      HostVariant::MakeArray({"CDFILIAL"}),          // one element
      HostVariant::MakeArray({1, "x"}),              // key not a text
      HostVariant::MakeArray({"CDFILIAL", "0002"}),  // the good one
  });
  EXPECT_EQ(RecebeParams(odd, "CDFILIAL"), HostVariant("0002"));
  EXPECT_TRUE(RecebeParams(odd, "1").IsEmpty());
  EXPECT_TRUE(RecebeParams(HostVariant(), "CDFILIAL").IsEmpty());
  EXPECT_TRUE(RecebeParams(HostVariant("CDFILIAL"), "CDFILIAL").IsEmpty());
}

}  // namespace
}  // namespace zel
