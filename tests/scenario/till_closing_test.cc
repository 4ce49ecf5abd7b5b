// A till period closed on the simulated printer: a supply and a withdrawal
// registered, the withdrawal receipt with the product and closing reports,
// the end-of-day questions and the Z export; then the Z reduction itself,
// whose record must match what the export predicted.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hostutil/layout.h"
#include "hostutil/params.h"
#include "printer_scenario.h"
#include "runtime/convert.h"
#include "runtime/format.h"
#include "runtime/memtable.h"
#include "runtime/win1252.h"
#include "support/recording_host.h"
#include "support/sandbox_platform.h"
#include "zel01900/testing.h"
#include "zel01900/zel01900.h"

namespace zel::test {
namespace {

class TillClosingScenarioTest : public PrinterScenarioTest {
 protected:
};

void Define(MemTable& table, std::initializer_list<const char*> texts,
            std::initializer_list<const char*> numbers) {
  for (const char* name : texts) table.AddField(name, FieldType::kString, 40);
  for (const char* name : numbers) table.AddField(name, FieldType::kFloat);
  table.CreateDataSet();
}

TEST_F(TillClosingScenarioTest, WithdrawalReceiptClosingReportsAndZExport) {
  std::string cv, vcons, comp, canc;
  CarregaTotalizador(cv, vcons, comp, canc, "", "002", 0, nullptr);
  ASSERT_TRUE(Suprimento("", "002", 100)) << DebugLog();
  ASSERT_TRUE(Sangria("", "002", 30)) << DebugLog();

  // ---- The host's tables of the till period ----
  MemTable withdrawals, list, products, people, day, opening, products_day, credit, types;
  Define(withdrawals, {"NRENVELOPE", "NMTIPORECE"}, {"VRFECHAINF", "VRFECHADIG"});
  withdrawals.AppendRecord({"000001", "Dinheiro", 30.0, 30.0});
  Define(list, {"CDTIPORECE"}, {});
  Define(people, {"CDSUPERVISOR", "NMSUPERVISOR", "CDOPERADOR", "NMOPERADOR"}, {});
  people.AppendRecord({"01", "MARIA", "07", "JOAO"});
  Define(products, {"CDPRODIMPFIS", "CDPRODUTO", "NMPRODUTO", "IDTPIMPOSFIS"},
         {"QTPRODVEND", "VRTOTAL", "VRACRE", "VRDESC", "VRPEALIMPFIS"});
  products.AppendRecord({"", "0001", "CAFE EXPRESSO", "T", 2.0, 8.0, 0.0, 0.0, 18.0});
  Define(products_day, {"VRTOTAL"}, {});
  Define(day, {"IDTIPOREG", "NMTIPORECE"}, {"VRSAIDA"});
  day.AppendRecord({"1", "Dinheiro", 30.0});
  day.AppendRecord({"3", "", 100.0});
  Define(opening, {"IDTIPOREG", "NMTIPORECE"}, {"VRSAIDA"});
  opening.AppendRecord({"1", "Dinheiro", 30.0});
  opening.AppendRecord({"3", "", 100.0});
  Define(credit, {}, {"VRCARGACREDITO"});
  Define(types, {"CDTIPORECE", "NMTIPORECE"}, {});
  types.AppendRecord({"001", "Dinheiro"});
  MemTable redz, forms, taxes, totals;

  // Keep the till closed, make the Z, no day reports.
  host_.QueueAnswers({false, true, false});
  std::string number;
  bool z_done = false;
  EXPECT_FALSE(GeraReciboSangria("", "DOC", "K1", "K2", "0001", 0, number, withdrawals, list,
                                 products, people, day, opening, products_day, credit, 0, true,
                                 true, false, redz, forms, taxes, totals, z_done, types, "N", "N",
                                 "N", "S", "002", false, false, true, "Fim do turno", ""))
      << DebugLog();
  EXPECT_TRUE(z_done);
  EXPECT_FALSE(number.empty());

  const std::string tape = Tape();
  for (const std::string& expected :
       {std::string("RECIBO SAIDA NUMERARIO"), std::string("SAIDA DE NUMERARIO - SANGRIA"),
        std::string("Motivo: Fim do turno"), std::string("Supervisor : 01 MARIA"),
        std::string("RELATORIO DE PRODUTOS"), std::string("CAFE EXPRESSO"),
        std::string("RELATORIO DE FECHAMENTO"), std::string("SUPRIMENTO(-)")}) {
    EXPECT_NE(tape.find(expected), std::string::npos) << expected << "\n" << tape;
  }

  // ---- The exported data ----
  ASSERT_EQ(redz.RecordCount(), 1) << DebugLog();
  redz.First();
  const std::string last_coo = redz.FieldByName("NRULTCFREDZ").AsString();
  const std::string reduction = redz.FieldByName("NRREDREDZ").AsString();
  EXPECT_EQ(last_coo, Ajusta(IntToStr(StrToInt(Nr_Cupom("", "002")) + 1), 10));
  forms.First();
  ASSERT_EQ(forms.RecordCount(), 1);
  EXPECT_EQ(forms.FieldByName("CDTIPORECE").AsString(), "001");
  EXPECT_DOUBLE_EQ(forms.FieldByName("VRFORMPGTORZ").AsFloat(), 70.0);
  EXPECT_GE(totals.RecordCount(), 2);
  EXPECT_GE(taxes.RecordCount(), 1);

  // ---- The reduction confirms the prediction ----
  ASSERT_TRUE(Reducao_Z_Imp("", "002", "")) << DebugLog();
  HostVariant result = HostVariant::MakeArray(std::vector<HostVariant>(49));
  MemTable last_taxes;
  ASSERT_TRUE(DadosUltimaRedZ({"002"}, result, last_taxes)) << DebugLog();
  EXPECT_EQ(result.Elements()[0].AsString(), reduction);
  EXPECT_EQ(result.Elements()[13].AsString(), last_coo.substr(4));
}

}  // namespace
}  // namespace zel::test
