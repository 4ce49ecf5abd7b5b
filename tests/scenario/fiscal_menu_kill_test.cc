// The fiscal menu's operations killed (SIGKILL) part way, against the
// simulated printer: a run killed while it writes a file the driver makes
// leaves nothing partial, empty or unsigned under that file's final name (an
// earlier file of that name stays whole), and a run killed after the printer
// left its work files does not make the next run take them for its own: the
// next run makes its file from its own call and leaves the work folders
// empty.
//
// The parent starts this same test program again as the child that runs one
// operation on the parent's folders and printer, killed at the chosen file
// write; then it looks at what the child left and runs the operation again
// itself.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "fiscal/ead_key.h"
#include "printer_scenario.h"
#include "runtime/format.h"
#include "runtime/memtable.h"
#include "support/recording_host.h"
#include "zel01900/testing.h"
#include "zel01900/zel01900.h"

namespace zel::test {
namespace {

using ValidateFn = int32_t (*)(const char*, const char*, const char*);

constexpr const char* kKillHome = "ZEL_MENU_KILL_HOME";            // the host folder
constexpr const char* kKillOperation = "ZEL_MENU_KILL_OPERATION";  // see RunOperation
constexpr const char* kKillMoment = "ZEL_MENU_KILL_MOMENT";        // "half" or "after"
constexpr const char* kKillTarget = "ZEL_MENU_KILL_TARGET";        // start of the file's path
constexpr const char* kKillNow = "ZEL_MENU_KILL_NOW";              // the parent's clock

HostVariant ParameterPacket() {
  MemTable table;
  for (const char* name : {"NRSERIEECF", "IDESQUEMA", "CDFILIAL", "CDCAIXA", "CDPORTAIMPFIS"}) {
    table.AddField(name, FieldType::kString, 20);
  }
  table.CreateDataSet();
  table.AppendRecord({kPrinterSerial, "002", "0001", "001", "COM1"});
  return HostVariant::FromPacket(table.Data());
}

// The fiscal-menu operation `name` as the host calls it.
bool RunOperation(const std::string& name) {
  HostVariant unused;
  StringList files;
  if (name == "serial") {
    return EmiteLeituraMemoriaFiscalSerial({"002", "01/12/2026", "10/12/2026", "c", "DATA"},
                                           unused);
  }
  if (name == "mirror") {
    return geraEspelhoMfd({"002", "", "", "", "", "", "10/12/2026", "10/12/2026", "1"}, unused);
  }
  if (name == "mfd text") return Gera_ArquivoMFD({ParameterPacket(), "1", "3", "TXT", "C"}, unused);
  if (name == "cotepe month") {
    return Gera_ArquivoMFD({ParameterPacket(), "01/12/2026", "31/12/2026", "MF", "D"}, unused);
  }
  if (name == "cotepe day") {
    return Gera_ArquivoMFD({ParameterPacket(), "10/12/2026", "10/12/2026", "MF", "D"}, unused);
  }
  if (name == "generic") {
    return GeraCatGenerica({ParameterPacket(), "01/12/2026", "31/12/2026"}, files);
  }
  ADD_FAILURE() << "no operation " << name;
  return false;
}

// The child's platform: the operating system's, on the parent's folders
// (ZEL_SYSTEM_DIR, ZEL_MENUFISCAL_DIR, the host folder set here), with the
// parent's clock and waits that take no time. Once armed, it kills the
// process at the first copy or atomic write of a file whose path starts with
// `target`: half way through it ("half": what a copy cut short leaves, or
// for an atomic write its temporary file, as the platform names it) or just
// after it ("after").
class KillingPlatform : public platform::PlatformWrapper {
 public:
  KillingPlatform(std::string moment, std::string target, TDateTime now)
      : PlatformWrapper(&platform::Native()),
        moment_(std::move(moment)),
        target_(std::move(target)),
        now_(now) {}
  void Arm() { armed_ = true; }

  TDateTime Now() override { return now_; }
  void Delay(int /*milliseconds*/) override {}

  bool CopyFileTo(const std::string& source, const std::string& target,
                  bool fail_if_exists) override {
    if (!Aimed(target)) return PlatformWrapper::CopyFileTo(source, target, fail_if_exists);
    if (moment_ == "half") {
      std::string content;
      PlatformWrapper::ReadWholeFile(source, &content);
      PlatformWrapper::WriteWholeFile(target, content.substr(0, content.size() / 2));
      platform::KillCurrentProcess();
    }
    PlatformWrapper::CopyFileTo(source, target, fail_if_exists);
    platform::KillCurrentProcess();
  }
  bool WriteFileAtomically(const std::string& path, const std::string& data) override {
    if (!Aimed(path)) return PlatformWrapper::WriteFileAtomically(path, data);
    if (moment_ == "half") {
      PlatformWrapper::WriteWholeFile(path + ".tmp-k1ll3d", data.substr(0, data.size() / 2));
      platform::KillCurrentProcess();
    }
    PlatformWrapper::WriteFileAtomically(path, data);
    platform::KillCurrentProcess();
  }

 private:
  bool Aimed(const std::string& path) const {
    return armed_ && platform::ToSystemPath(path).rfind(target_, 0) == 0;
  }
  std::string moment_;
  std::string target_;
  TDateTime now_;
  bool armed_ = false;
};

// Started by FiscalMenuKillTest as the process to kill (the environment
// then names the folder, the operation and the write).
TEST(FiscalMenuKillChild, RunsTheOperationUntilKilled) {
  const char* home = std::getenv(kKillHome);
  const char* operation = std::getenv(kKillOperation);
  const char* moment = std::getenv(kKillMoment);
  const char* target = std::getenv(kKillTarget);
  const char* now = std::getenv(kKillNow);
  if (home == nullptr || operation == nullptr || moment == nullptr || target == nullptr ||
      now == nullptr) {
    GTEST_SKIP() << "started by FiscalMenuKillTest";
  }
  KillingPlatform child(moment, target, std::strtod(now, nullptr));
  platform::SetCurrent(&child);
  child.SetExecutableDirectory(home);
  ZelResetModuleState();
  RecordingHost host;
  ASSERT_TRUE(StartImpFiscal(TillStartParams()));
  child.Arm();
  RunOperation(operation);
  platform::SetCurrent(nullptr);
  // Not killed: the parent sees the exit status and fails.
}

class FiscalMenuKillTest : public PrinterScenarioTest {
 protected:
  void SetUp() override {
    PrinterScenarioTest::SetUp();
    if (HasFatalFailure()) return;
    signer_ = sandbox_.OpenLibrary("sign_bema.dll");
    ASSERT_NE(signer_, nullptr) << sandbox_.LastErrorText();
    validate_ = reinterpret_cast<ValidateFn>(sandbox_.LibrarySymbol(signer_, "validateFile"));
    ASSERT_NE(validate_, nullptr);
    sandbox_.MakeDirectory(MenuFile(""));
    sandbox_.MakeDirectory(sandbox_.MenuFiscalDirectory());
    // A day's sale and its Z, for the files to hold.
    SaleAndReduction();
  }
  void TearDown() override {
    platform::LibraryHandle signer_handle = ImpFisDLLHandle2;
    PrinterScenarioTest::TearDown();
    sandbox_.CloseLibrary(signer_handle);
    sandbox_.CloseLibrary(signer_);
  }

  std::string HostFile(const std::string& relative) {
    return platform::JoinPath(sandbox_.ExecutableDirectory(), relative);
  }
  std::string MenuFile(const std::string& name) { return HostFile("Dados/MenuFiscal/" + name); }
  std::string VendorFile(const std::string& name) {
    return platform::JoinPath(sandbox_.SystemDirectory(), name);
  }
  std::string Read(const std::string& path) {
    std::string text;
    sandbox_.ReadWholeFile(path, &text);
    return text;
  }
  bool Signed(const std::string& path) {
    return validate_(path.c_str(), fiscal::kEadModulus, "10001") == 1;
  }
  bool WorkFoldersEmpty() {
    for (const char* folder :
         {"Arquivos Bin\xE1rios/*.*", "Arquivos TXT Espelho/*.*", "Arquivos TXT Formatados/*.*"}) {
      if (!sandbox_.FirstMatch(HostFile(folder)).empty()) return false;
    }
    return true;
  }
  // The time in a file name, at the sandbox's clock.
  std::string Stamp(const char* format) { return FormatDateTime(format, sandbox_.Now()); }

  // Runs `operation` in a child process on this test's folders and printer,
  // killed at the first copy or atomic write of a file whose path starts
  // with `target`, at `moment` ("half" or "after"). True when it was killed
  // (the shell's status of a process ended by SIGKILL, 128 + 9), not ended
  // otherwise.
  bool RunKilled(const std::string& operation, const std::string& moment,
                 const std::string& target) {
    char now[40];
    std::snprintf(now, sizeof now, "%.17g", sandbox_.Now());
    const std::string command =
        "ZEL_SYSTEM_DIR='" + platform::ToSystemPath(sandbox_.SystemDirectory()) +
        "' ZEL_MENUFISCAL_DIR='" + platform::ToSystemPath(sandbox_.MenuFiscalDirectory()) + "' " +
        kKillHome + "='" + platform::ToSystemPath(sandbox_.ExecutableDirectory()) + "' " +
        kKillOperation + "='" + operation + "' " + kKillMoment + "=" + moment + " " + kKillTarget +
        "='" + platform::ToSystemPath(target) + "' " + kKillNow + "=" + now + " '" + program_ +
        "' --gtest_filter=FiscalMenuKillChild.RunsTheOperationUntilKilled >/dev/null 2>&1; "
        "test $? -eq 137";
    return std::system(command.c_str()) == 0;
  }

  std::string program_;
  platform::LibraryHandle signer_ = nullptr;
  ValidateFn validate_ = nullptr;
};

// One kill point per operation, then the next run.
TEST_F(FiscalMenuKillTest, AKilledRunLeavesNothingUnderAFinalNameNorForTheNextRun) {
  const char* bin = std::getenv("ZEL_BUILD_BIN");
  if (bin == nullptr || *bin == '\0') GTEST_SKIP() << "ZEL_BUILD_BIN not set (run under ctest)";
  if (platform::NativeIsWindows()) {
    GTEST_SKIP() << "starts and kills processes through a POSIX shell";
  }
  program_ = platform::ToSystemPath(platform::JoinPath(bin, "scenario_tests"));

  struct Case {
    std::string killed;  // the operation killed
    std::string moment;
    std::string target;           // where the kill is aimed
    std::function<void()> after;  // checks what the killed run left
    std::string next;             // the operation run next
    std::function<void()> check;  // checks the next run's work
  };
  std::string killed_at;       // the killed run's time in the work files' names
  std::string earlier_cotepe;  // Ato_Cotepe.txt before the killed run
  const std::vector<Case> cases = {
      // Killed half way through the copy of the reading.
      {"serial", "half", MenuFile("LMF"),
       [&] { EXPECT_EQ(sandbox_.FirstMatch(MenuFile("LMF*.txt")), ""); }, "serial",
       [&] {
         const std::string name = "LMFC_" + Stamp("ddmmyyyyhhmss") + ".txt";
         EXPECT_TRUE(Signed(MenuFile(name)));
         EXPECT_EQ(sandbox_.FirstMatch(MenuFile("LMF*")), name);
       }},
      // Killed once the printer's download left its work copy.
      {"mirror", "after", HostFile("Arquivos Bin\xE1rios/"), [] {}, "mirror",
       [&] {
         const std::string mirror = platform::JoinPath(
             sandbox_.MenuFiscalDirectory(), "Espelho_MFD_" + Stamp("ddmmyyyyhhnnss") + ".txt");
         EXPECT_NE(Read(mirror).find("ARROZ 5KG"), std::string::npos);
         EXPECT_TRUE(WorkFoldersEmpty());
         EXPECT_FALSE(sandbox_.FileExists(VendorFile("DOWNLOAD.MFD")));
       }},
      {"mfd text", "after", HostFile("Arquivos Bin\xE1rios/"),
       [&] { killed_at = Stamp("yyyymmdd_hhnnss"); }, "mfd text",
       [&] {
         EXPECT_NE(
             Read(MenuFile("IBM_" + Stamp("yyyymmdd_hhnnss") + ".MFD.txt")).find("COO 000001"),
             std::string::npos);
         EXPECT_FALSE(sandbox_.FileExists(MenuFile("IBM_" + killed_at + ".MFD.txt")));
         EXPECT_TRUE(WorkFoldersEmpty());
         EXPECT_FALSE(sandbox_.FileExists(VendorFile("DOWNLOAD.MFD")));
       }},
      // Killed half way through replacing an earlier Ato_Cotepe.txt; the
      // next run asks for another range.
      {"cotepe month", "half", MenuFile("Ato_Cotepe.txt"),
       [&] {
         EXPECT_TRUE(Read(MenuFile("Ato_Cotepe.txt")) == earlier_cotepe)
             << "the earlier file whole";
       },
       "cotepe day",
       [&] {
         const std::string cotepe = Read(MenuFile("Ato_Cotepe.txt"));
         EXPECT_NE(cotepe.find("2026121020261210"), std::string::npos) << "the day's range";
         EXPECT_TRUE(Signed(MenuFile("Ato_Cotepe.txt")));
         EXPECT_EQ(sandbox_.FirstMatch(MenuFile("Ato_Cotepe.txt?*")), "");
         EXPECT_TRUE(WorkFoldersEmpty());
       }},
      // Killed half way through the copy into the vendor folder.
      {"generic", "half", VendorFile("MFIBM"),
       [&] { EXPECT_EQ(sandbox_.FirstMatch(VendorFile("MFIBM*.TXT")), ""); }, "generic",
       [&] {
         const std::string name = "MFIBM_" + Stamp("yyyymmdd_hhnnss") + ".TXT";
         EXPECT_TRUE(Signed(VendorFile(name)));
         EXPECT_EQ(sandbox_.FirstMatch(VendorFile("MFIBM*")), name);
         EXPECT_TRUE(WorkFoldersEmpty());
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.killed + " killed " + c.moment);
    if (c.killed == "cotepe month") {
      ASSERT_TRUE(RunOperation("cotepe month"));
      earlier_cotepe = Read(MenuFile("Ato_Cotepe.txt"));
    }
    sandbox_.AdvanceSeconds(60);
    ASSERT_TRUE(RunKilled(c.killed, c.moment, c.target)) << "the child was not killed";
    c.after();
    sandbox_.AdvanceSeconds(60);
    host_.Clear();
    EXPECT_TRUE(RunOperation(c.next))
        << (host_.DialogTexts().empty() ? std::string() : host_.DialogTexts().back());
    c.check();
  }
}

}  // namespace
}  // namespace zel::test
