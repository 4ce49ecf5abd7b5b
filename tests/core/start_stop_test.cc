#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core_fixture.h"
#include "runtime/variant.h"
#include "zel01900/port_status.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

// A sandbox whose "IBMFI32.dll" is the set of vendor fakes: its symbols are
// the fakes' addresses; names can be hidden and the load made to fail.
class FakeLibrarySandbox : public SandboxPlatform {
 public:
  platform::LibraryHandle OpenLibrary(const std::string& name) override {
    opened.push_back(name);
    if (fail_open) return nullptr;
    return reinterpret_cast<platform::LibraryHandle>(static_cast<uintptr_t>(0x1000 + ++handles));
  }
  void* LibrarySymbol(platform::LibraryHandle, const std::string& name) override {
    looked_up.push_back(name);
    if (hidden.count(name) != 0) return nullptr;
    auto it = symbols.find(name);
    return it == symbols.end() ? nullptr : it->second;
  }
  void CloseLibrary(platform::LibraryHandle library) override { closed.push_back(library); }

  std::map<std::string, void*> symbols;
  std::set<std::string> hidden;
  bool fail_open = false;
  int handles = 0;
  Strings opened;
  Strings looked_up;
  std::vector<platform::LibraryHandle> closed;
};

Strings AllNames() {
  Strings names;
  for (const IbmEntryPoint& entry : kIbmEntryPoints) names.push_back(entry.name);
  return names;
}

int BoundCount() {
  int bound = 0;
  for (const IbmEntryPoint& entry : kIbmEntryPoints) bound += entry.address() != nullptr ? 1 : 0;
  return bound;
}

HostParams StartParams() {
  return MakeParams({{"CDFILIAL", "0001"},
                     {"CDCAIXA", "001"},
                     {"NRSERIEIMP", "IB010900000000000001"},
                     {"ESQUEMA", "001"},
                     {"ESQUEMACOR", "001"},
                     {"CDPORTAIMPFIS", "COM1"},
                     {"PORTAIMPFIS", "COM1"},
                     {"BOUTILTAA", false}});
}

class StartImpFiscalTest : public CoreTestWith<FakeLibrarySandbox> {
 protected:
  StartImpFiscalTest() {
    for (const IbmEntryPoint& entry : kIbmEntryPoints) {
      sandbox_.symbols[entry.name] = entry.address();
    }
    // The printer's clock agrees with the computer's (10/12/2026 10:00).
    fake_.Answer("IBM_FI_DataHoraImpressora", 1, "101226", "100000");
    ZelUnbind();
  }
  static void ZelUnbind() {
    for (const IbmEntryPoint& entry : kIbmEntryPoints) entry.bind(nullptr);
  }
};

TEST_F(StartImpFiscalTest, BindsEveryEntryPointInOrderThenOpensThePort) {
  EXPECT_TRUE(StartImpFiscal(StartParams()));
  EXPECT_EQ(sandbox_.opened, Strings{"IBMFI32.dll"});
  EXPECT_EQ(sandbox_.looked_up, AllNames());
  EXPECT_EQ(kIbmEntryPointCount, 95u);
  EXPECT_EQ(BoundCount(), 95);
  EXPECT_NE(ImpFisDLLHandle, nullptr);
  EXPECT_TRUE(boImpFiscalOK);
  EXPECT_TRUE(boNUtilTaa);  // BOUTILTAA false: an attended till
  ASSERT_FALSE(fake_.Calls().empty());
  EXPECT_EQ(fake_.Calls()[0].name, "IBM_FI_AbrePortaSerial");
  EXPECT_TRUE(host_.dialogs().empty());
}

TEST_F(StartImpFiscalTest, MissingEntryPointFailsSilentlyAndUnbinds) {
  sandbox_.hidden = {"IBM_FI_NumeroCupom"};
  EXPECT_FALSE(StartImpFiscal(StartParams()));
  const Strings names = AllNames();
  EXPECT_EQ(sandbox_.looked_up, Strings(names.begin(), names.begin() + 19));
  EXPECT_EQ(BoundCount(), 0);
  EXPECT_NE(ImpFisDLLHandle, nullptr);  // the library stays loaded
  EXPECT_TRUE(sandbox_.closed.empty());
  EXPECT_FALSE(boImpFiscalOK);
  EXPECT_TRUE(fake_.Calls().empty());
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_EQ(LogText(), "");
}

TEST_F(StartImpFiscalTest, LastEntryPointMissing) {
  sandbox_.hidden = {"IBM_FI_GeraAtoCotepe1704"};
  EXPECT_FALSE(StartImpFiscal(StartParams()));
  EXPECT_EQ(sandbox_.looked_up.size(), 95u);
  EXPECT_EQ(BoundCount(), 0);
}

TEST_F(StartImpFiscalTest, LibraryThatDoesNotLoad) {
  sandbox_.fail_open = true;
  EXPECT_FALSE(StartImpFiscal(StartParams()));
  EXPECT_EQ(ImpFisDLLHandle, nullptr);
  EXPECT_TRUE(sandbox_.looked_up.empty());
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_EQ(LogText(), "");
}

TEST_F(StartImpFiscalTest, SecondStartReleasesAndReloads) {
  ASSERT_TRUE(StartImpFiscal(StartParams()));
  void* first = ImpFisDLLHandle;
  sandbox_.looked_up.clear();
  ASSERT_TRUE(StartImpFiscal(StartParams()));
  EXPECT_EQ(sandbox_.closed, std::vector<platform::LibraryHandle>{first});
  EXPECT_NE(ImpFisDLLHandle, first);
  EXPECT_EQ(sandbox_.looked_up, AllNames());
  EXPECT_EQ(BoundCount(), 95);
}

TEST_F(StartImpFiscalTest, FailedReloadLeavesNothingBoundToTheReleasedLibrary) {
  ASSERT_TRUE(StartImpFiscal(StartParams()));
  sandbox_.fail_open = true;
  EXPECT_FALSE(StartImpFiscal(StartParams()));
  EXPECT_EQ(sandbox_.closed.size(), 1u);
  EXPECT_EQ(BoundCount(), 0);
}

TEST_F(StartImpFiscalTest, StopUnbindsAndKeepsTheRest) {
  ASSERT_TRUE(StartImpFiscal(StartParams()));
  void* handle = ImpFisDLLHandle;
  StopImpFiscal();
  EXPECT_EQ(BoundCount(), 0);
  EXPECT_EQ(ImpFisDLLHandle, handle);
  EXPECT_TRUE(boImpFiscalOK);
  EXPECT_TRUE(sandbox_.closed.empty());
}

TEST_F(StartImpFiscalTest, PortFailureFailsTheStart) {
  fake_.Answer("IBM_FI_VerificaImpressoraLigada", -6);
  EXPECT_FALSE(StartImpFiscal(StartParams()));
  EXPECT_EQ(BoundCount(), 95);  // bound, port not open
  EXPECT_FALSE(boImpFiscalOK);
  EXPECT_EQ(host_.DialogTexts(), Strings{"Impressora desligada ou desconectada."});
}

TEST_F(StartImpFiscalTest, SelfServiceSwitch) {
  HostParams params = StartParams();
  params.Elements().back() = HostVariant::MakeArray({"BOUTILTAA", true});
  ASSERT_TRUE(StartImpFiscal(params));
  EXPECT_FALSE(boNUtilTaa);
  params.Elements().back() = HostVariant::MakeArray({"BOUTILTAA", false});
  ASSERT_TRUE(StartImpFiscal(params));
  EXPECT_TRUE(boNUtilTaa);
  params.Elements().pop_back();  // no BOUTILTAA at all: an attended till
  boNUtilTaa = false;
  ASSERT_TRUE(StartImpFiscal(params));
  EXPECT_TRUE(boNUtilTaa);
}

TEST_F(StartImpFiscalTest, BadParameterIsShownAndTheStartGoesOn) {
  HostParams params = StartParams();
  // Only the start reads CDPORTAIMPFIS; the port opening reads PORTAIMPFIS.
  params.Elements()[5] = HostVariant::MakeArray({"CDPORTAIMPFIS", HostVariant::Null()});
  boNUtilTaa = false;
  EXPECT_TRUE(StartImpFiscal(params));
  EXPECT_FALSE(boNUtilTaa);  // the failure came before BOUTILTAA was read
  ASSERT_EQ(host_.dialogs().size(), 1u);
  const DialogCall& d = host_.dialogs()[0];
  EXPECT_EQ(d.text,
            "Could not convert variant of type (Null) into type (String)\r"
            "Erro no recebimento dos par\xE2metros da fun\xE7\xE3o: StartImpFiscal - "
            "Zel_01900.bpl");
  EXPECT_EQ(d.question, "N");
  EXPECT_EQ(d.kind, 3);
  EXPECT_EQ(d.colour_scheme, "001");
}

// The real simulated printer, when it has been built.
class StartWithPrinterLibraryTest : public CoreTest {};

TEST_F(StartWithPrinterLibraryTest, BindsAllNamesOfTheSimulatedPrinter) {
  // Found as the driver finds it: beside the test's executable, in the
  // build's library folder (ZEL_BUILD_BIN) or beside the driver's library.
  platform::LibraryHandle probe = sandbox_.OpenLibrary("IBMFI32.dll");
  if (probe == nullptr) GTEST_SKIP() << "libIBMFI32.so not built";
  sandbox_.CloseLibrary(probe);
  ASSERT_TRUE(sandbox_.WriteWholeFile(platform::JoinPath(sandbox_.SystemDirectory(), "IBMFI32.INI"),
                                      "[Sistema]\r\nImpressora=1\r\n"));
  ZelResetModuleState();  // no fakes: the library's own entry points
  const bool started = StartImpFiscal(StartParams());
  EXPECT_EQ(BoundCount(), 95);
  for (const IbmEntryPoint& entry : kIbmEntryPoints) {
    EXPECT_EQ(entry.address(), sandbox_.LibrarySymbol(ImpFisDLLHandle, entry.name)) << entry.name;
  }
  EXPECT_TRUE(started) << ::testing::PrintToString(host_.DialogTexts());
  FechaPorta();
  StopImpFiscal();
  sandbox_.CloseLibrary(ImpFisDLLHandle);
  ImpFisDLLHandle = nullptr;
}

}  // namespace
}  // namespace zel::test
