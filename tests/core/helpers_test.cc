#include <string>

#include "core_fixture.h"
#include "runtime/host_error.h"
#include "runtime/memtable.h"

namespace zel::test {
namespace {

class HelpersTest : public CoreTest {
 protected:
  void WriteIni(const std::string& text) {
    ASSERT_TRUE(sandbox_.WriteWholeFile(
        platform::JoinPath(sandbox_.SystemDirectory(), "IBMFI32.INI"), text));
  }
};

TEST_F(HelpersTest, GetValueReadsTwoImpliedDecimals) {
  const std::vector<std::pair<std::string, double>> cases = {
      {"   0012", 0.12}, {"0000000000000345", 3.45},    {"1.234,56", 1234.56},
      {" 100 ", 1.0},    {"00000000000000000000", 0.0}, {"5", 0.05},
      {"-150", -1.5}};
  for (const auto& [text, value] : cases) {
    EXPECT_DOUBLE_EQ(GetValue(text), value) << "'" << text << "'";
  }
}

TEST_F(HelpersTest, GetValueOfNothingRaises) {
  EXPECT_THROW(GetValue(""), ConvertError);
  EXPECT_THROW(GetValue("      "), ConvertError);
  EXPECT_THROW(GetValue("12a45"), ConvertError);
}

TEST_F(HelpersTest, FormataCNPJKeepsDigitsOnly) {
  EXPECT_EQ(FormataCNPJ("12.345.678/0001-95"), "12345678000195");
  EXPECT_EQ(FormataCNPJ("123.456.789-09"), "12345678909");
  EXPECT_EQ(FormataCNPJ(""), "");
}

TEST_F(HelpersTest, RetornaPathIBMWithoutIniFile) { EXPECT_EQ(retornaPathIBM(), "ARQ_N_ENC"); }

TEST_F(HelpersTest, RetornaPathIBMEndsInBackslash) {
  WriteIni("[Sistema]\r\nPorta=COM1\r\nPath=C:\\IBM\r\n[Outra]\r\nPath=D:\\X\\\r\n");
  EXPECT_EQ(retornaPathIBM(), "C:\\IBM\\");
  WriteIni("[Sistema]\r\nPath=C:\\IBM\\\r\n");
  EXPECT_EQ(retornaPathIBM(), "C:\\IBM\\");
  WriteIni("[Sistema]\r\nPorta=COM1\r\n");
  EXPECT_EQ(retornaPathIBM(), "\\");
}

TEST_F(HelpersTest, FixedAnswers) {
  EXPECT_EQ(Codigo_Nacional_ECF(7, "01.00.02"), "000000");
  EXPECT_TRUE(VerificaSerialImp(HostParams()));
  const std::string text = "abc";
  EXPECT_EQ(StrToPChar(text), text.c_str());
}

TEST_F(HelpersTest, VerificaTotalizadorNeedsACreditIndex) {
  EXPECT_FALSE(VerificaTotalizador_IBM());
  IdTotCompCred = "  ";
  EXPECT_FALSE(VerificaTotalizador_IBM());
  IdTotCompCred = "\t \r\n";
  EXPECT_FALSE(VerificaTotalizador_IBM());
  IdTotCompCred = "03";
  EXPECT_TRUE(VerificaTotalizador_IBM());
}

TEST_F(HelpersTest, CheckTableStopsLoggingChanges) {
  MemTable table("cdsCheckECF");
  table.SetLogChanges(true);
  cdsCheckECFAfterOpen(table);
  EXPECT_FALSE(table.LogChanges());
}

}  // namespace
}  // namespace zel::test
