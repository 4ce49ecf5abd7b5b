// A fiscal day against the simulated printer: receipts with item discounts,
// a surcharge, exempt, non-incidence and service items, a cancelled item, a
// subtotal discount and a cancelled receipt; the X reading and the Z
// reduction; then the last-Z data agreeing with what was sold and with the
// printer's own accumulators. Also the drawer, the cutter and the
// daylight-saving switch as the printer takes them.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hostutil/layout.h"
#include "hostutil/params.h"
#include "printer_scenario.h"
#include "runtime/convert.h"
#include "runtime/datetime.h"
#include "runtime/format.h"
#include "runtime/memtable.h"
#include "runtime/string_list.h"
#include "runtime/win1252.h"
#include "support/host_tables.h"
#include "support/recording_host.h"
#include "support/sandbox_platform.h"
#include "zel01900/testing.h"
#include "zel01900/zel01900.h"

namespace zel::test {
namespace {

using ControlFn = int32_t (*)(const char*, char*, int32_t);
using Strings = std::vector<std::string>;

constexpr const char* kScheme = "002";

struct Sold {
  const char* code;
  const char* rate;  // the host's rate code
  double price;
  double quantity;
  double discount;
  double surcharge;
};

class ReadingsScenarioTest : public PrinterScenarioTest {
 protected:
  void SetUp() override {
    PrinterScenarioTest::SetUp();
    if (HasFatalFailure()) return;
    // The host's configuration: the printer's rates and cash as payment form.
    MemTable rates;
    CarregaAliquota(kScheme, rates);
    for (const char* name : {"CDTIPORECE", "NMTIPORECE", "IDEMIVALE", "CDFPIMPFIS", "IDTIPORECE",
                             "IDTPBUTTON", "DSIMPFISCAL", "IDMOSTRARECE"}) {
      forms_.AddField(name, FieldType::kString, 50);
    }
    forms_.CreateDataSet();
    forms_.AppendRecord({"001", "Dinheiro", "", "", "1", "5", "Dinheiro", "S"});
    CarregaRecebimento("", kScheme, 0, forms_);
    forms_.SetFiltered(false);
  }

  // Opens a receipt and sells the items.
  void OpenAndSell(const std::vector<Sold>& items) {
    HostParams open = MakeParams(
        {{"ESQUEMACOR", kScheme}, {"INTTEFERRO", 0}, {"IDUTILTEF", "N"}, {"UTILTEF", false}});
    ASSERT_TRUE(AbreCupom(open)) << DebugLog();
    for (const Sold& item : items) {
      HostParams sale = MakeParams({{"ESQUEMACOR", kScheme},
                                    {"INTEFERRO", 0},
                                    {"CDARVPROD", item.code},
                                    {"NMPROD", std::string("PRODUTO ") + item.code},
                                    {"CDALIQ", item.rate},
                                    {"QTDE", item.quantity},
                                    {"VALOR", item.price},
                                    {"DESCONT", item.discount},
                                    {"ACRESCIMO", item.surcharge},
                                    {"UNIDADE", "UN"},
                                    {"IDUTILTEF", "N"},
                                    {"UTILTEF", false}});
      ASSERT_TRUE(VendaItem(sale)) << item.code << "\n" << DebugLog();
    }
  }

  // Closes the open receipt paid in cash, with a subtotal discount.
  void Close(double cash, double subtotal_discount) {
    MemTable movements;
    DefineMovementFields(movements);
    movements.CreateDataSet();
    movements.Append();
    movements.FieldByName("IDTIPOMOVIVE").SetAsString("E");
    movements.FieldByName("CDTIPORECE").SetAsString("001");
    movements.FieldByName("NRORDTROCO").SetAsString("001");
    movements.FieldByName("VRMOVIVEND").SetAsFloat(cash);
    movements.FieldByName("DTHRINCMOV").SetAsDateTime(EncodeDateTime(2026, 12, 10, 9, 0, 0, 0));
    movements.Post();
    std::vector<HostVariant> params(55);
    params[2] = kScheme;
    params[4] = false;
    params[5] = true;
    params[6] = subtotal_discount;
    params[7] = 0.0;
    params[8] = 0.0;
    params[9] = "N";
    params[11] = false;
    params[13] = HostVariant::FromPacket(movements.Data());
    params[14] = HostVariant::FromPacket(forms_.Data());
    HostVariant result = HostVariant::MakeArray(std::vector<HostVariant>(4));
    StringList no_slips;
    ASSERT_TRUE(FechaCupom(params, &no_slips, result)) << DebugLog();
  }

  std::string Counter(bool (*query)(const std::string&, std::string&)) {
    std::string value;
    EXPECT_TRUE(query(kScheme, value));
    return value;
  }

  MemTable forms_;
};

TEST_F(ReadingsScenarioTest, LastZDataAgreesWithTheDaysSales) {
  // Before the printer's first reduction there is no last-Z data.
  HostVariant result = HostVariant::MakeArray(std::vector<HostVariant>(49));
  MemTable taxes;
  EXPECT_FALSE(DadosUltimaRedZ({kScheme}, result, taxes));

  // Rates: "01" 18 %, "02" 12 %, "05" 5 % (service).
  // 20,00 - 1,50 + 5,99 + 0,50 + 7,00 + 3,00 + 2,00 (cancelled) + 4,00:
  // 38,99 paid with 40,00.
  OpenAndSell({{"1", "01", 10.00, 2, 1.50, 0},
               {"2", "02", 5.99, 1, 0, 0.50},
               {"3", "II", 7.00, 1, 0, 0},
               {"4", "NN", 3.00, 1, 0, 0},
               {"5", "FF", 2.00, 1, 0, 0},
               {"6", "05", 4.00, 1, 0, 0}});
  ASSERT_EQ(IBM_FI_CancelaItemGenerico("005"), 1);
  Close(40.00, 0);
  // 10,00 less 1,00 on the subtotal.
  OpenAndSell({{"7", "02", 10.00, 1, 0, 0}});
  Close(9.00, 1.00);
  // 30,00, then the whole receipt cancelled.
  OpenAndSell({{"8", "01", 30.00, 1, 0, 0}});
  Close(30.00, 0);
  ASSERT_EQ(IBM_FI_CancelaCupom(), 1);

  ASSERT_TRUE(Leitura_X_Imp("", kScheme, "")) << DebugLog();
  // The printer's accumulators of the day, as the X reading leaves them.
  EXPECT_DOUBLE_EQ(GetValue(Counter(VendaBruta)), 82.49);
  EXPECT_DOUBLE_EQ(GetValue(Counter(Descontos)), 2.50);
  EXPECT_DOUBLE_EQ(GetValue(Counter(Cancelamentos)), 32.00);
  const std::string coo_before_z = Nr_Cupom("", kScheme);

  ASSERT_TRUE(Reducao_Z_Imp("", kScheme, "")) << DebugLog();
  result = HostVariant::MakeArray(std::vector<HostVariant>(49));
  ASSERT_TRUE(DadosUltimaRedZ({kScheme}, result, taxes)) << DebugLog();

  const std::vector<HostVariant>& e = result.Elements();
  const HostVariant today = HostVariant::FromDateTime(EncodeDate(2026, 12, 10));
  EXPECT_EQ(e[0], HostVariant("0001"));  // the first reduction
  EXPECT_EQ(e[1], HostVariant("0001"));  // restarts of operation
  // Gross: partial totals 18,50 + 15,49 + 4,00, exempt 7,00, non-incidence
  // 3,00, substitution 0, discounts 2,50, cancellations 32,00.
  EXPECT_DOUBLE_EQ(e[2].AsFloat(), 82.49);
  EXPECT_EQ(e[3], today);
  EXPECT_EQ(e[4], HostVariant("0001"));  // one cancelled receipt
  EXPECT_EQ(e[11], e[1]);
  EXPECT_EQ(e[12], e[0]);
  EXPECT_EQ(e[13], HostVariant(Ajusta(IntToStr(StrToInt(coo_before_z) + 1), 6)));
  EXPECT_EQ(e[25], HostVariant("82,49"));  // the grand total keeps cancellations
  EXPECT_EQ(e[27], HostVariant("07,00"));
  EXPECT_EQ(e[28], HostVariant("03,00"));
  EXPECT_EQ(e[29], HostVariant("00,00"));
  EXPECT_EQ(e[33], HostVariant("02,50"));
  EXPECT_EQ(e[35], HostVariant("00,50"));
  EXPECT_EQ(e[37], HostVariant("32,00"));
  EXPECT_EQ(e[46], today);
  EXPECT_EQ(e[47], HostVariant("82,49"));
  EXPECT_EQ(e[48], HostVariant("47,99"));  // what the two kept receipts came to

  Strings rows;
  for (taxes.First(); !taxes.Eof(); taxes.Next()) {
    rows.push_back(taxes.FieldByName("CDALIQIMPFIS").AsString() + " " +
                   taxes.FieldByName("VRVENDIDO").AsString() + " " +
                   taxes.FieldByName("VRALIQIMPFIS").AsString() + " " +
                   taxes.FieldByName("VRIMPOSTO").AsString());
  }
  EXPECT_EQ(rows,
            (Strings{"01 18,50 18,00 03,33", "02 15,49 12,00 01,85", "05 04,00 05,00 00,20"}));
  EXPECT_TRUE(host_.dialogs().empty()) << host_.DialogTexts()[0];

  const std::string tape = Tape();
  EXPECT_NE(tape.find("LEITURA X"), std::string::npos);
  EXPECT_NE(tape.find("REDU\xC7\xC3O Z"), std::string::npos);
  // The day is closed: a second reduction is refused and shown.
  EXPECT_FALSE(Reducao_Z_Imp("", kScheme, ""));
  EXPECT_EQ(host_.dialogs().size(), 2u);
}

TEST_F(ReadingsScenarioTest, DrawerCutterAndDaylightSaving) {
  EXPECT_EQ(Estado_Gaveta_Imp(""), "00");
  ASSERT_TRUE(Abre_Gaveta_Imp(kScheme, false));
  EXPECT_EQ(Estado_Gaveta_Imp(""), "01");
  EXPECT_EQ(Estado_Gaveta_Imp(""), "00");  // the cashier pushed it shut
  EXPECT_TRUE(Guilhotina("", 1));
  EXPECT_TRUE(Guilhotina("", 0));
  EXPECT_TRUE(host_.dialogs().empty());

  // With the day's movement the printer refuses the switch until its Z.
  OpenAndSell({{"1", "01", 1.00, 1, 0, 0}});
  EXPECT_FALSE(Guilhotina("", 0));  // not in the middle of a receipt
  Close(1.00, 0);
  EXPECT_FALSE(Estado_HorVerao(""));
  EXPECT_FALSE(Muda_Horario(""));
  EXPECT_FALSE(Estado_HorVerao(""));
  ASSERT_TRUE(Reducao_Z_Imp("", kScheme, ""));
  ASSERT_TRUE(Muda_Horario(""));
  EXPECT_TRUE(Estado_HorVerao(""));
  ASSERT_TRUE(Muda_Horario(""));
  EXPECT_FALSE(Estado_HorVerao(""));
  EXPECT_TRUE(host_.dialogs().empty()) << host_.DialogTexts()[0];
}

}  // namespace
}  // namespace zel::test
