// Start-up against the simulated printer library: loading and binding, the
// clock and power checks, and the recovery of a receipt left open by a
// process that died.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hostutil/cipher.h"
#include "hostutil/files.h"
#include "runtime/memtable.h"
#include "support/recording_host.h"
#include "support/sandbox_platform.h"
#include "zel01900/testing.h"
#include "zel01900/zel01900.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;
using ControlFn = int32_t (*)(const char*, char*, int32_t);

constexpr const char* kSerial = "IB010900000000000001";  // the simulated printer's
constexpr const char* kOffText = "Impressora desligada ou desconectada.";
constexpr const char* kClockText =
    "Data da impressora fiscal difere da data do sistema em mais de 15 minutos.";

class StartScenarioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZelResetModuleState();
    // A handle of our own on the simulated printer, for its control entry.
    library_ = sandbox_.OpenLibrary("IBMFI32.dll");
    ASSERT_NE(library_, nullptr) << "libIBMFI32.so not found: " << sandbox_.LastErrorText();
    control_ = reinterpret_cast<ControlFn>(sandbox_.LibrarySymbol(library_, "IBM_EMU_Control"));
    ASSERT_NE(control_, nullptr);
    Control("init");
    Control("reset");
  }

  void TearDown() override {
    DropDriverState();
    sandbox_.CloseLibrary(library_);
  }

  // What a process that ends leaves behind: nothing of the driver's state.
  // The printer's own memory stays in its files.
  void DropDriverState() {
    platform::LibraryHandle driver_handle = ImpFisDLLHandle;
    ZelResetModuleState();
    sandbox_.CloseLibrary(driver_handle);
  }

  std::string Control(const std::string& command) {
    char answer[2048] = {};
    EXPECT_EQ(control_(command.c_str(), answer, sizeof answer), 1) << command << ": " << answer;
    return answer;
  }

  static HostParams StartParams() {
    return MakeParams({{"CDFILIAL", "0001"},
                       {"CDCAIXA", "001"},
                       {"NRSERIEIMP", kSerial},
                       {"ESQUEMA", "002"},
                       {"CDPORTAIMPFIS", "COM1"},
                       {"BOUTILTAA", false},
                       {"ESQUEMACOR", "002"},
                       {"PORTAIMPFIS", "COM1"}});
  }

  // A repeated start releases the library handle of the previous one.
  bool Start() { return StartImpFiscal(StartParams()); }

  std::string HostFile(const std::string& name) {
    return platform::JoinPath(sandbox_.ExecutableDirectory(), name);
  }

  // The host's printer file with the grand-total control on for this printer.
  void WriteVendrix(const std::string& gt) {
    MemTable table;
    table.AddField("CDFILIAL", FieldType::kString, 4);
    table.AddField("CDCAIXA", FieldType::kString, 3);
    table.AddField("NRSERIEECF", FieldType::kString, 40);
    table.AddField("CAMPO01", FieldType::kString, 1);
    table.AddField("CAMPO02", FieldType::kString, 40);
    table.CreateDataSet();
    table.SetLogChanges(false);
    table.AppendRecord({"0001", "001", Cripto(kSerial, fiscal::kVendrixCipherKey), "S",
                        Cripto(gt, fiscal::kVendrixCipherKey)});
    SaveTableToFile(table, HostFile("Vendrix.cds"));
  }

  std::string StoredGrandTotal() {
    MemTable table;
    LoadTableFromFile(table, HostFile("Vendrix.cds"));
    return Uncripto(table.FieldByName("CAMPO02").AsString(), fiscal::kVendrixCipherKey);
  }

  SandboxPlatform sandbox_;
  RecordingHost host_;
  platform::LibraryHandle library_ = nullptr;
  ControlFn control_ = nullptr;
};

TEST_F(StartScenarioTest, StartBindsEveryEntryPointAndOpensThePort) {
  ASSERT_TRUE(Start());
  EXPECT_NE(ImpFisDLLHandle, nullptr);
  EXPECT_TRUE(boImpFiscalOK);
  for (const IbmEntryPoint& entry : kIbmEntryPoints) {
    EXPECT_NE(entry.address(), nullptr) << entry.name;
  }
  EXPECT_TRUE(host_.dialogs().empty()) << host_.DialogTexts()[0];
  EXPECT_NE(dtmImpIBM, nullptr);

  // The port works: the printer answers the driver's queries.
  std::string marca, modelo, tipo;
  EXPECT_TRUE(Modelo_Impressora("002", marca, modelo, tipo));
  EXPECT_EQ(marca, "IBM            ");
  std::string data_hora;
  EXPECT_TRUE(Data_Imp("002", data_hora));
  EXPECT_EQ(data_hora, "101226100000");
  EXPECT_TRUE(FechaPorta());
}

TEST_F(StartScenarioTest, PrinterClockSkewIsCheckedAtStart) {
  struct Case {
    const char* skew;
    bool accepted;
  };
  for (const Case& c : {Case{"+900", true}, Case{"-900", true}, Case{"+960", false},
                        Case{"-960", false}, Case{"+86400", true}, Case{"+3600", false}}) {
    SCOPED_TRACE(c.skew);
    host_.Clear();
    Control(std::string("clock-skew ") + c.skew);
    EXPECT_EQ(Start(), c.accepted);
    if (c.accepted) {
      EXPECT_TRUE(host_.dialogs().empty());
    } else {
      ASSERT_EQ(host_.DialogTexts(), Strings{kClockText});
      EXPECT_EQ(host_.dialogs()[0].kind, 3);
      EXPECT_EQ(host_.dialogs()[0].colour_scheme, "002");
    }
  }
}

TEST_F(StartScenarioTest, PrinterSwitchedOffIsRefused) {
  Control("power off");
  EXPECT_FALSE(Start());
  ASSERT_FALSE(host_.dialogs().empty());
  EXPECT_EQ(host_.dialogs()[0].text, kOffText);
  EXPECT_FALSE(boImpFiscalOK);
}

TEST_F(StartScenarioTest, PrinterReportedOffByThePowerCheckIsRefused) {
  Control("fail IBM_FI_VerificaImpressoraLigada -6");
  EXPECT_FALSE(Start());
  ASSERT_EQ(host_.DialogTexts(), Strings{kOffText});
  EXPECT_EQ(host_.dialogs()[0].kind, 3);
  EXPECT_FALSE(boImpFiscalOK);
}

TEST_F(StartScenarioTest, ReceiptLeftOpenByADeadProcessIsCancelledAtTheNextStart) {
  WriteVendrix("999999,99");
  ASSERT_TRUE(Start());
  // A sale in progress: the receipt is open and one item is sold, then the
  // host process dies without closing anything.
  ASSERT_EQ(IBM_FI_AbreCupomMFD(nullptr, nullptr, nullptr), 1);
  ASSERT_EQ(IBM_FI_VendeItemDepartamento("789100", "PRODUTO TESTE", "01", "12,50", "2,000", "0000",
                                         "0000", "01", "UN"),
            1);
  ASSERT_NE(Control("state").find("open receipt"), std::string::npos);
  DropDriverState();

  host_.Clear();
  ASSERT_TRUE(Start());
  EXPECT_TRUE(host_.dialogs().empty()) << host_.DialogTexts()[0];
  EXPECT_NE(Control("state").find("open none"), std::string::npos);
  std::string tape;
  ASSERT_TRUE(sandbox_.ReadWholeFile(
      platform::JoinPath(sandbox_.SystemDirectory(), "IBMFI32_BOBINA.TXT"), &tape));
  EXPECT_NE(tape.find("CUPOM FISCAL CANCELADO"), std::string::npos);

  // The stored grand total now holds the printer's.
  std::string printer_total;
  EXPECT_TRUE(BuscaTotGer("002", printer_total));
  EXPECT_EQ(StoredGrandTotal(), printer_total);
  EXPECT_EQ(printer_total, "25");  // the sale counts in the grand total though cancelled
}

TEST_F(StartScenarioTest, InterruptedSaleFilesCancelTheReceiptAndUpdateTheTotal) {
  WriteVendrix("1,00");
  ASSERT_TRUE(sandbox_.WriteWholeFile(HostFile("cdsVenda.cds"), "pending sale"));
  ASSERT_TRUE(Start());
  std::string printer_total;
  EXPECT_TRUE(BuscaTotGer("002", printer_total));
  EXPECT_EQ(StoredGrandTotal(), printer_total);
}

}  // namespace
}  // namespace zel::test
