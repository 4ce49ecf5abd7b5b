// Common set-up of the scenario tests: the real simulated printer loaded
// through the sandbox platform (fixed clock 10/12/2026 10:00:00, private
// folders), a fresh printer memory, and the driver started on it as a till
// does; the printer's control channel, the debug log and the paper tape at
// hand.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "hostutil/params.h"
#include "runtime/win1252.h"
#include "support/recording_host.h"
#include "support/sandbox_platform.h"
#include "zel01900/testing.h"
#include "zel01900/zel01900.h"

namespace zel::test {

// The simulated printer's serial number, as the host records it.
inline constexpr const char* kPrinterSerial = "IB010900000000000001";

// The till's start: branch 0001, till 001, the simulated printer on COM1,
// an attended till.
inline HostParams TillStartParams() {
  return MakeParams({{"CDFILIAL", "0001"},
                     {"CDCAIXA", "001"},
                     {"NRSERIEIMP", kPrinterSerial},
                     {"ESQUEMA", "002"},
                     {"CDPORTAIMPFIS", "COM1"},
                     {"BOUTILTAA", false},
                     {"ESQUEMACOR", "002"},
                     {"PORTAIMPFIS", "COM1"}});
}

// A day's sale through the driver's bound entry points, then its Z.
inline void SaleAndReduction() {
  ASSERT_EQ(IBM_FI_AbreCupomMFD(nullptr, nullptr, nullptr), 1);
  ASSERT_EQ(IBM_FI_VendeItemDepartamento("789", "ARROZ 5KG", "01", "20,00", "1,000", "0000",
                                         "0000", "01", "UN"),
            1);
  ASSERT_EQ(IBM_FI_IniciaFechamentoCupom("D", "$", "0"), 1);
  ASSERT_EQ(IBM_FI_EfetuaFormaPagamento("Dinheiro", "20,00"), 1);
  ASSERT_EQ(IBM_FI_TerminaFechamentoCupom("OBRIGADO"), 1);
  ASSERT_EQ(IBM_FI_ReducaoZ(nullptr, nullptr), 1);
}

class PrinterScenarioTest : public ::testing::Test {
 protected:
  using ControlFn = int32_t (*)(const char*, char*, int32_t);

  void SetUp() override {
    ZelResetModuleState();
    library_ = sandbox_.OpenLibrary("IBMFI32.dll");
    ASSERT_NE(library_, nullptr) << "libIBMFI32.so not found: " << sandbox_.LastErrorText();
    control_ = reinterpret_cast<ControlFn>(sandbox_.LibrarySymbol(library_, "IBM_EMU_Control"));
    ASSERT_NE(control_, nullptr);
    Control("init");
    Control("reset");
    ASSERT_TRUE(StartImpFiscal(TillStartParams()));
  }

  void TearDown() override {
    platform::LibraryHandle driver_handle = ImpFisDLLHandle;
    ZelResetModuleState();
    sandbox_.CloseLibrary(driver_handle);
    sandbox_.CloseLibrary(library_);
  }

  // A control command of the simulated printer; its answer.
  std::string Control(const std::string& command) {
    char answer[2048] = {};
    EXPECT_EQ(control_(command.c_str(), answer, sizeof answer), 1) << command << ": " << answer;
    return answer;
  }

  // The driver's debug log of this month (the sandbox clock says December
  // 2026), shown when a step fails.
  std::string DebugLog() {
    std::string text;
    sandbox_.ReadWholeFile(platform::JoinPath(sandbox_.ExecutableDirectory(), "impdebug1226.txt"),
                           &text);
    return text;
  }

  // The paper tape as Windows-1252 text.
  std::string Tape() {
    std::string utf8;
    sandbox_.ReadWholeFile(platform::JoinPath(sandbox_.SystemDirectory(), "IBMFI32_BOBINA.TXT"),
                           &utf8);
    return Utf8ToWin1252(utf8);
  }

  SandboxPlatform sandbox_;
  RecordingHost host_;
  platform::LibraryHandle library_ = nullptr;
  ControlFn control_ = nullptr;
};

}  // namespace zel::test
