// CarregaAliquota: the rate rows, the ISS marks and the fixed rows.
#include <string>
#include <vector>

#include "core/core_fixture.h"
#include "runtime/memtable.h"
#include "zel01900/config_loads.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

Strings Rows(MemTable& table) {
  Strings rows;
  for (table.First(); !table.Eof(); table.Next()) {
    rows.push_back(table.FieldByName("CDALIQIMPFIS").AsString() + " " +
                   table.FieldByName("VRALIQIMPFIS").AsString() + " " +
                   table.FieldByName("IDALIQIMPFIS").AsString());
  }
  return rows;
}

TEST_F(CoreTest, RatesLoadWithIssMarks) {
  // Position 3 is not programmed. A rate is ISS when its own digits are an
  // ISS record: 18,00 is not, although "00,07" (its decimals and the next
  // rate's first digits) occurs in the ISS list.
  fake_.Answer("IBM_FI_RetornoAliquotas", 1, "1800,0700,0000,0500,1200,0000,0000");
  fake_.Answer("IBM_FI_VerificaAliquotasIss", 1, "0500,0700,");
  MemTable host;
  CarregaAliquota("007", host);
  EXPECT_EQ(Rows(host),
            (Strings{"01 18 T", "02 7 S", "04 5 S", "05 12 T", "NN 0 N", "II 0 I", "FF 0 F"}));
  EXPECT_EQ(stAliquotaIss, "0500,0700," + std::string(69, ' '));
  EXPECT_EQ(fake_.Names(), (Strings{"IBM_FI_RetornoAliquotas", "IBM_FI_RetornoImpressora",
                                    "IBM_FI_VerificaAliquotasIss", "IBM_FI_RetornoImpressora"}));
}

TEST_F(CoreTest, RatesLoadWithoutRatesGivesTheFixedRows) {
  MemTable host;
  CarregaAliquota("007", host);
  EXPECT_EQ(Rows(host), (Strings{"NN 0 N", "II 0 I", "FF 0 F"}));
}

}  // namespace
}  // namespace zel::test
