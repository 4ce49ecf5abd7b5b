#include "hostutil/messages.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(TMessagesTest, LooksUpKeysWithoutRegardToCase) {
  TMessages messages{"Imp_N_Resp|Impressora n\xE3o responde",
                     "AliqNaoCad|Al\xEDquota n\xE3o cadastrada",
                     "AliqNaoCad|Aliquota nao cadastrada (2)", "Formato|a|b", "SemTexto"};
  struct Case {
    const char* key;
    const char* text;
  } cases[] = {
      {"Imp_N_Resp", "Impressora n\xE3o responde"},
      {"IMP_N_RESP", "Impressora n\xE3o responde"},
      {"aliqnaocad", "Al\xEDquota n\xE3o cadastrada"},  // first entry wins
      {"Formato", "a|b"},                               // split at the first bar
      {"SemTexto", ""},
      {"IbmFi_Imp", "IbmFi_Imp"},  // missing: the key itself
  };
  for (const Case& c : cases) EXPECT_EQ(messages.Msg(c.key), c.text) << c.key;
  EXPECT_TRUE(messages.Contains("semtexto"));
  EXPECT_FALSE(messages.Contains("IbmFi_Imp"));
  EXPECT_EQ(messages.Count(), 5);
}

TEST(TMessagesTest, AddAppendsAndClearEmpties) {
  TMessages messages;
  EXPECT_EQ(messages.Msg("Datadif"), "Datadif");
  messages.Add("DataDif", "Data difere");
  EXPECT_EQ(messages.Msg("Datadif"), "Data difere");
  messages.Clear();
  EXPECT_EQ(messages.Count(), 0);
  EXPECT_EQ(messages.Msg("Datadif"), "Datadif");
}

}  // namespace
}  // namespace zel
