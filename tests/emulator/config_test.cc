#include "emulator/config.h"

#include <gtest/gtest.h>

namespace zel::emu {
namespace {

TEST(EmulatorConfigTest, ReadsKeysWithoutRegardToCaseOrSections) {
  EmulatorConfig c = ParseConfig(
      "[Sistema]\r\npath=C:\\IBM\\\r\n[Emulador]\r\nNUMEROECF=12\r\nNumeroEcf=99\r\n"
      "Aliquotas=T1700;t0000;S0300\r\nDeslocamentoRelogio=-90\r\nPapel=Pouco\r\n"
      "Cabecalho1=LOJA\r\nCabecalho2=\r\n");
  EXPECT_EQ(c.path, "C:\\IBM\\");
  EXPECT_EQ(c.ecf_number, 12);  // the first line of a name counts
  EXPECT_EQ(c.rates[0].basis_points, 1700);
  EXPECT_EQ(c.rates[1].basis_points, 0);
  EXPECT_TRUE(c.rates[2].iss);
  EXPECT_EQ(c.clock_offset_seconds, -90);
  EXPECT_EQ(c.paper, PaperLevel::kNearEnd);
  EXPECT_EQ(c.header, std::vector<std::string>{"LOJA"});
}

TEST(EmulatorConfigTest, BadValuesKeepTheirDefaults) {
  EmulatorConfig defaults = ParseConfig("");
  EmulatorConfig c = ParseConfig("NumeroECF=abc\nAliquotas=X18\nDeslocamentoRelogio=10s\n");
  EXPECT_EQ(c.ecf_number, defaults.ecf_number);
  EXPECT_EQ(RatesText(c.rates), RatesText(defaults.rates));
  EXPECT_EQ(c.clock_offset_seconds, 0);
}

TEST(EmulatorConfigTest, DefaultIniRoundTripsAndValuesCanBeSet) {
  std::string ini = DefaultIniText("/tmp/sys");
  EmulatorConfig c = ParseConfig(ini);
  EXPECT_EQ(c.path, "/tmp/sys");
  EXPECT_EQ(RatesText(c.rates), "T1800;T1200;T0700;T2500;S0500");
  ini = SetIniValue(ini, "Impressora", "0");
  ini = SetIniValue(ini, "Novo", "x");
  EXPECT_EQ(IniValue(ini, "IMPRESSORA"), "0");
  EXPECT_EQ(IniValue(ini, "Novo"), "x");
  EXPECT_EQ(ParseConfig(ini).serial, c.serial);
}

}  // namespace
}  // namespace zel::emu
