// A printer process killed (SIGKILL) at any write of its memory leaves the
// memory file as it was before that write or as it is after it, never torn,
// and the next process carries on from it. The child dies holding the
// printer's lock, so the parent's next command also shows that the lock went
// with it.
//
// The test runs the day's script once in-process to record every state the
// memory file goes through, then starts this same test program again, once
// per memory write and side (just before the write, just after it), with
// KillingPlatform killing that child at the chosen write; afterwards it reads
// what the child left behind and finishes the day from there itself.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "emulator/ibmfi32.h"
#include "emulator/persistence.h"
#include "emulator/printer.h"
#include "platform/platform.h"
#include "support/sandbox_platform.h"

namespace zel::emu::test {
namespace {

constexpr const char* kKillAt = "ZEL_EMU_KILL_AT";      // the write number, 1 = the first
constexpr const char* kKillSide = "ZEL_EMU_KILL_SIDE";  // "before" or "after"
constexpr const char* kKillNow = "ZEL_EMU_KILL_NOW";    // the parent's clock, a TDateTime
// When set: kill at the MFD journal's appends instead of the memory writes;
// the side may also be "torn" (half the record written).
constexpr const char* kKillJournal = "ZEL_EMU_KILL_JOURNAL";

// A day's work through the library's entry points: tables, a sale, a linked
// slip, a report, cash movements, readings.
std::vector<std::function<int32_t()>> Script() {
  return {
      [] { return IBM_FI_ProgramaFormaPagamentoMFD("Cart\xE3o", "1"); },
      [] { return IBM_FI_NomeiaTotalizadorNaoSujeitoIcms(1, "VENDA CONSUMIDOR"); },
      [] { return IBM_FI_Suprimento("50,00", "Dinheiro"); },
      [] { return IBM_FI_AbreCupomMFD("123.456.789-09", "Jos\xE9", nullptr); },
      [] {
        return IBM_FI_VendeItemDepartamento("1", "CAF\xC9", "01", "8,90", "2,000", "0000",
                                            "00000020", "01", "KG");
      },
      [] {
        return IBM_FI_VendeItemDepartamento("2", "P\xC3O", "II", "0,50", "10,000", "0000", "0000",
                                            "01", "UN");
      },
      [] { return IBM_FI_CancelaItemGenerico("0001"); },
      [] { return IBM_FI_IniciaFechamentoCupom("A", "$", "0,10"); },
      [] { return IBM_FI_EfetuaFormaPagamento("cart\xE3o", "3,00"); },
      [] { return IBM_FI_EfetuaFormaPagamento("Dinheiro", "5,00"); },
      [] { return IBM_FI_TerminaFechamentoCupom("Volte sempre"); },
      [] { return IBM_FI_AbreComprovanteNaoFiscalVinculado("Cart\xE3o", nullptr, nullptr); },
      [] { return IBM_FI_UsaComprovanteNaoFiscalVinculado("VIA CLIENTE\n"); },
      [] { return IBM_FI_FechaComprovanteNaoFiscalVinculado(); },
      [] { return IBM_FI_RecebimentoNaoFiscal("01", "00000000000990", "Dinheiro"); },
      [] { return IBM_FI_RelatorioGerencial("relatorio\n"); },
      [] { return IBM_FI_FechaRelatorioGerencial(); },
      [] { return IBM_FI_Sangria("10,00"); },
      [] { return IBM_FI_LeituraX(); },
      [] { return IBM_FI_ReducaoZ(nullptr, nullptr); },
  };
}

// Records every memory-file state written and, when asked, kills the process
// at one write: just before it (the file keeps the old state) or just after
// it (the new state is on disk but the command never returns).
class KillingPlatform : public platform::PlatformWrapper {
 public:
  KillingPlatform(platform::Platform* target, int kill_at, bool after)
      : PlatformWrapper(target), kill_at_(kill_at), after_(after) {}
  // Kills at the `kill_at`-th append to the MFD journal instead: before it,
  // after half of it (a torn record), or after it.
  void KillAtJournal(std::string side) {
    journal_side_ = std::move(side);
    kill_at_ = -kill_at_;
  }

  bool AppendDurably(const std::string& path, const std::string& data) override {
    int n = ++appends_;
    journal_writers_.push_back(command_);
    if (-n == kill_at_ && journal_side_ == "before") platform::KillCurrentProcess();
    if (-n == kill_at_ && journal_side_ == "torn") {
      PlatformWrapper::AppendDurably(path, data.substr(0, data.size() / 2));
      platform::KillCurrentProcess();
    }
    bool ok = PlatformWrapper::AppendDurably(path, data);
    if (-n == kill_at_) platform::KillCurrentProcess();
    return ok;
  }
  // The script command (index) that made each journal append.
  const std::vector<size_t>& journal_writers() const { return journal_writers_; }

  bool WriteFileAtomically(const std::string& path, const std::string& data) override {
    int n = ++writes_;
    if (n == kill_at_ && !after_) platform::KillCurrentProcess();
    bool ok = PlatformWrapper::WriteFileAtomically(path, data);
    if (ok) states_.push_back(data), writers_.push_back(command_);
    if (n == kill_at_ && after_) platform::KillCurrentProcess();
    return ok;
  }
  const std::vector<std::string>& states() const { return states_; }
  // The script command (index) that made each state.
  const std::vector<size_t>& writers() const { return writers_; }
  void set_command(size_t command) { command_ = command; }

 private:
  int kill_at_;
  bool after_;
  std::string journal_side_;
  int appends_ = 0;
  std::vector<size_t> journal_writers_;
  int writes_ = 0;
  std::vector<std::string> states_;
  std::vector<size_t> writers_;
  size_t command_ = 0;
};

// Runs the script in the sandbox's system folder (IBMFI32.INI already
// there) with writes going through `killing`; the codes of the commands.
std::vector<int32_t> RunScript(KillingPlatform& killing) {
  platform::Platform* previous = &platform::Current();
  platform::SetCurrent(&killing);
  std::vector<int32_t> codes;
  const auto script = Script();
  for (size_t i = 0; i < script.size(); ++i) {
    killing.set_command(i);
    codes.push_back(script[i]());
  }
  platform::SetCurrent(previous);
  return codes;
}

// The script through the library from a fresh memory: every command is
// accepted. Started again by KilledAtAnyMemoryWrite as the process to kill
// (the environment then names the folder and the write).
TEST(EmulatorKillScript, RunsToTheEnd) {
  const char* kill_at = std::getenv(kKillAt);
  const char* side = std::getenv(kKillSide);
  const char* now = std::getenv(kKillNow);
  if (kill_at != nullptr && side != nullptr && now != nullptr) {
    // The child: the native platform on the folder the parent prepared
    // (ZEL_SYSTEM_DIR), with the parent's fixed clock.
    class ChildPlatform : public KillingPlatform {
     public:
      ChildPlatform(int kill_at, bool after, TDateTime now)
          : KillingPlatform(&platform::Native(), kill_at, after), now_(now) {}
      TDateTime Now() override { return now_; }

     private:
      TDateTime now_;
    };
    ChildPlatform child(std::atoi(kill_at), std::string(side) == "after",
                        std::strtod(now, nullptr));
    if (std::getenv(kKillJournal) != nullptr) child.KillAtJournal(side);
    RunScript(child);
    return;  // not killed: the parent sees the final state and fails
  }
  zel::test::SandboxPlatform sandbox;
  char answer[256];
  ASSERT_EQ(IBM_EMU_Control("init", answer, sizeof answer), 1) << answer;
  KillingPlatform recorder(&sandbox, 0, false);
  for (int32_t code : RunScript(recorder)) EXPECT_EQ(code, 1);
}

TEST(EmulatorKillTest, KilledAtAnyMemoryWriteLeavesTheOldOrTheNewState) {
  const char* bin = std::getenv("ZEL_BUILD_BIN");
  if (bin == nullptr || *bin == '\0') GTEST_SKIP() << "ZEL_BUILD_BIN not set (run under ctest)";
  if (platform::NativeIsWindows())
    GTEST_SKIP() << "starts and kills processes through a POSIX shell";
  std::string program = platform::JoinPath(bin, "emulator_tests");

  zel::test::SandboxPlatform sandbox;
  char answer[256];
  ASSERT_EQ(IBM_EMU_Control("init", answer, sizeof answer), 1) << answer;
  const std::string memory_file = platform::JoinPath(sandbox.SystemDirectory(), "IBMFI32.MEM");
  KillingPlatform recorder(&sandbox, 0, false);
  RunScript(recorder);
  const std::vector<std::string> states = recorder.states();
  ASSERT_GT(states.size(), Script().size() / 2);  // most commands change the memory
  char now[40];
  std::snprintf(now, sizeof now, "%.17g", sandbox.Now());

  for (int at = 1; at <= static_cast<int>(states.size()); ++at) {
    for (bool after : {false, true}) {
      SCOPED_TRACE("killed " + std::string(after ? "after" : "before") + " write " +
                   std::to_string(at));
      sandbox.RemoveFile(memory_file);  // a new printer
      std::string command = "ZEL_SYSTEM_DIR='" + platform::ToSystemPath(sandbox.SystemDirectory()) +
                            "' " + kKillNow + "=" + now + " " + kKillAt + "=" + std::to_string(at) +
                            " " + kKillSide + "=" + (after ? "after" : "before") + " '" +
                            platform::ToSystemPath(program) +
                            "' --gtest_filter=EmulatorKillScript.RunsToTheEnd >/dev/null 2>&1";
      EXPECT_NE(std::system(command.c_str()), 0);  // killed, not finished

      std::string left;
      bool exists = sandbox.ReadWholeFile(memory_file, &left);
      int index = after ? at - 1 : at - 2;  // the state the file must hold
      if (index < 0) {
        EXPECT_FALSE(exists);
      } else {
        ASSERT_TRUE(exists);
        EXPECT_EQ(left, states[index]);
        PrinterMemory memory;
        EXPECT_TRUE(DeserializeMemory(left, &memory));
      }
      // The next process (this one) works on from there: it repeats the
      // command that was cut short before its write, or goes on with the next
      // one when the write was done, and ends the day as if nothing happened.
      const auto script = Script();
      for (size_t i = recorder.writers()[at - 1] + (after ? 1 : 0); i < script.size(); ++i) {
        EXPECT_EQ(script[i](), 1) << "command " << i;
      }
      ASSERT_TRUE(sandbox.ReadWholeFile(memory_file, &left));
      EXPECT_EQ(left, states.back());
    }
  }
}

}  // namespace
}  // namespace zel::emu::test

namespace zel::emu::test {
namespace {

// A printer process killed at any append to a journal, the MFD's or the
// fiscal memory's (before it, half
// way through the record, or after it but before the memory that counts it)
// leaves a command that did not happen: the next process finds the memory as
// before it, drops whatever the journal holds beyond that, repeats the
// command and ends the day with the same memory and the same journal as a
// run without the kill.
TEST(EmulatorKillTest, KilledAtAnyJournalAppendLeavesItsCommandUndone) {
  const char* bin = std::getenv("ZEL_BUILD_BIN");
  if (bin == nullptr || *bin == '\0') GTEST_SKIP() << "ZEL_BUILD_BIN not set (run under ctest)";
  if (platform::NativeIsWindows())
    GTEST_SKIP() << "starts and kills processes through a POSIX shell";
  std::string program = platform::JoinPath(bin, "emulator_tests");

  zel::test::SandboxPlatform sandbox;
  char answer[256];
  ASSERT_EQ(IBM_EMU_Control("init", answer, sizeof answer), 1) << answer;
  const std::string memory_file = platform::JoinPath(sandbox.SystemDirectory(), "IBMFI32.MEM");
  const std::string journal = memory_file + ".mfd";
  const std::string reductions = memory_file + ".mf";
  KillingPlatform recorder(&sandbox, 0, false);
  RunScript(recorder);
  std::string final_memory, final_journal, final_reductions;
  ASSERT_TRUE(sandbox.ReadWholeFile(memory_file, &final_memory));
  ASSERT_TRUE(sandbox.ReadWholeFile(journal, &final_journal));
  ASSERT_TRUE(sandbox.ReadWholeFile(reductions, &final_reductions));
  const std::vector<size_t> writers = recorder.journal_writers();
  ASSERT_GT(writers.size(), 5u);
  char now[40];
  std::snprintf(now, sizeof now, "%.17g", sandbox.Now());

  for (int at = 1; at <= static_cast<int>(writers.size()); ++at) {
    for (const char* side : {"before", "torn", "after"}) {
      SCOPED_TRACE("killed " + std::string(side) + " journal append " + std::to_string(at));
      sandbox.RemoveFile(memory_file);  // a new printer
      sandbox.RemoveFile(journal);
      sandbox.RemoveFile(reductions);
      std::string command = "ZEL_SYSTEM_DIR='" + platform::ToSystemPath(sandbox.SystemDirectory()) +
                            "' " + kKillJournal + "=1 " + kKillNow + "=" + now + " " + kKillAt +
                            "=" + std::to_string(at) + " " + kKillSide + "=" + side + " '" +
                            platform::ToSystemPath(program) +
                            "' --gtest_filter=EmulatorKillScript.RunsToTheEnd >/dev/null 2>&1";
      EXPECT_NE(std::system(command.c_str()), 0);  // killed, not finished

      const auto script = Script();
      for (size_t i = writers[at - 1]; i < script.size(); ++i) {
        EXPECT_EQ(script[i](), 1) << "command " << i;
      }
      std::string memory, records, fiscal;
      ASSERT_TRUE(sandbox.ReadWholeFile(memory_file, &memory));
      ASSERT_TRUE(sandbox.ReadWholeFile(journal, &records));
      ASSERT_TRUE(sandbox.ReadWholeFile(reductions, &fiscal));
      EXPECT_EQ(memory, final_memory);
      EXPECT_EQ(records, final_journal);
      EXPECT_EQ(fiscal, final_reductions);
    }
  }
}

}  // namespace
}  // namespace zel::emu::test
