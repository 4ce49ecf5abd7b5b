// Several processes on one printer, as several tills or a till and the
// technician's ecf-printer on one serial line: their commands run one at a
// time, and every command acknowledged stays done.
//
// The tests start this test program again as the other processes, like the
// crash test (kill_test.cc), with the environment saying what to do.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "emulator/ibmfi32.h"
#include "emulator/mfd.h"
#include "emulator/session.h"
#include "platform/platform.h"
#include "support/sandbox_platform.h"

namespace zel::emu::test {
namespace {

constexpr const char* kSeller = "ZEL_EMU_SELLER";  // the seller's number, 1..9
constexpr const char* kHolder = "ZEL_EMU_HOLDER";  // "1": hold the printer, then wait
constexpr const char* kNow = "ZEL_EMU_NOW";        // the parent's clock, a TDateTime
constexpr int kItemsPerSeller = 24;

// The native platform with the parent's clock, so that every process works
// on the same fiscal day.
class ChildPlatform : public platform::PlatformWrapper {
 public:
  explicit ChildPlatform(TDateTime now) : PlatformWrapper(&platform::Native()), now_(now) {}
  TDateTime Now() override { return now_; }

 private:
  TDateTime now_;
};

// The description of a seller's item; fixed width, so no one is a part of
// another on the tape.
std::string ItemName(int seller, int item) {
  char name[16];
  std::snprintf(name, sizeof name, "S%dI%03d", seller, item);
  return name;
}

// Tries to close whatever receipt is open; any step may be refused because
// another process got there first.
void TryToCloseTheReceipt() {
  IBM_FI_IniciaFechamentoCupom("D", "$", "0,00");
  IBM_FI_EfetuaFormaPagamento("Dinheiro", "9999,00");
  IBM_FI_TerminaFechamentoCupom("");
}

// One till's work on the shared printer: open a receipt unless one is open,
// sell an item, close the receipt every third item. Another till's commands
// come in between, so any command may be refused; the items acknowledged
// are written to `acknowledged` as "name cents" lines.
void Sell(int seller, const std::string& acknowledged) {
  std::string lines;
  for (int item = 0; item < kItemsPerSeller; ++item) {
    IBM_FI_AbreCupomMFD("", "", "");
    int cents = seller * 100 + item;  // every item a different amount
    std::string price = std::to_string(cents / 100) + "," + std::to_string(cents % 100 / 10) +
                        std::to_string(cents % 10);
    std::string name = ItemName(seller, item);
    if (IBM_FI_VendeItemDepartamento(std::to_string(seller).c_str(), name.c_str(), "01",
                                     price.c_str(), "1,000", "0000", "0000", "01", "UN") == 1) {
      lines += name + " " + std::to_string(cents) + "\n";
    }
    if (item % 3 == 2) TryToCloseTheReceipt();
  }
  platform::Current().WriteWholeFile(acknowledged, lines);
}

std::string Quoted(const std::string& text) { return "'" + platform::ToSystemPath(text) + "'"; }

// The environment and command line that start this program as another
// process on the sandbox's printer.
std::string ChildCommand(const zel::test::SandboxPlatform& sandbox, const std::string& variables,
                         const char* test) {
  char now[40];
  std::snprintf(now, sizeof now, "%.17g", const_cast<zel::test::SandboxPlatform&>(sandbox).Now());
  std::string program = platform::JoinPath(std::getenv("ZEL_BUILD_BIN"), "emulator_tests");
  return "ZEL_SYSTEM_DIR=" + Quoted(sandbox.root() + "/system") + " " + kNow + "=" + now + " " +
         variables + " " + Quoted(program) + " --gtest_filter=" + test + " >/dev/null 2>&1";
}

// The child side of the tests below; run alone (without the environment) it
// is one seller on a printer of its own.
TEST(EmulatorProcessChild, SellsOrHoldsThePrinter) {
  const char* seller = std::getenv(kSeller);
  const char* holder = std::getenv(kHolder);
  const char* now = std::getenv(kNow);
  if (now != nullptr && seller != nullptr) {
    ChildPlatform child(std::strtod(now, nullptr));
    platform::SetCurrent(&child);
    Sell(std::atoi(seller),
         platform::JoinPath(child.SystemDirectory(), "seller" + std::string(seller) + ".txt"));
    platform::SetCurrent(nullptr);
    return;
  }
  if (now != nullptr && holder != nullptr) {
    // A command that never ends: the memory is read and the lock held when
    // the process is killed.
    class StuckPlatform : public ChildPlatform {
     public:
      using ChildPlatform::ChildPlatform;
      bool WriteFileAtomically(const std::string& path, const std::string&) override {
        WriteWholeFile(path + ".holding", "");
        for (;;) Delay(1000);
      }
    };
    StuckPlatform child(std::strtod(now, nullptr));
    platform::SetCurrent(&child);
    IBM_FI_AbreCupomMFD("", "", "");
    return;
  }
  zel::test::SandboxPlatform sandbox;
  char answer[256];
  ASSERT_EQ(IBM_EMU_Control("init", answer, sizeof answer), 1) << answer;
  Sell(1, sandbox.Path("seller.txt"));
  std::string lines;
  ASSERT_TRUE(sandbox.ReadWholeFile(sandbox.Path("seller.txt"), &lines));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), kItemsPerSeller);  // alone: all sold
}

// The six digits after each `label` on the tape lines that start with
// `prefix` ("" for any line).
std::vector<std::string> NumbersAfter(const std::string& tape, const std::string& prefix,
                                      const std::string& label) {
  std::vector<std::string> found;
  for (size_t pos = 0, end; (end = tape.find('\n', pos)) != std::string::npos; pos = end + 1) {
    std::string line = tape.substr(pos, end - pos);
    size_t at = line.find(label);
    if (line.compare(0, prefix.size(), prefix) == 0 && at != std::string::npos) {
      found.push_back(line.substr(at + label.size(), 6));
    }
  }
  return found;
}

// How many times `name` is written in `text`.
size_t Occurrences(const std::string& text, const std::string& name) {
  size_t count = 0;
  for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
    ++count;
  }
  return count;
}

// Four tills sell at once on one printer, each in a process of its own; with
// `lock_deleted`, this process deletes the printer's lock file again and
// again meanwhile (a clean-up by hand, a program that tidies the folder).
// Every item acknowledged is on the tape and in the MFD exactly once, no
// COO or CCF is printed twice, the counters and the grand total add up, and
// the printer serves on.
void SellAtOnce(bool lock_deleted) {
  zel::test::SandboxPlatform sandbox;
  char answer[256];
  ASSERT_EQ(IBM_EMU_Control("init", answer, sizeof answer), 1) << answer;

  constexpr int kSellers = 4;
  std::string script;
  for (int s = 1; s <= kSellers; ++s) {
    script += ChildCommand(sandbox, std::string(kSeller) + "=" + std::to_string(s),
                           "EmulatorProcessChild.SellsOrHoldsThePrinter") +
              " & ";
  }
  std::atomic<bool> selling{true};
  int deletions = 0;
  std::thread deleter;
  if (lock_deleted) {
    deleter = std::thread([&] {
      auto own = platform::MakeNativePlatform();
      const std::string lock = sandbox.Path("system/IBMFI32.MEM.lock");
      while (selling) {
        if (own->RemoveFile(lock)) ++deletions;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  }
  int status = std::system((script + "wait").c_str());
  selling = false;
  if (deleter.joinable()) deleter.join();
  ASSERT_EQ(status, 0);
  if (lock_deleted) {
    EXPECT_GT(deletions, 0);
  }

  // The last receipt left open is closed here (or cancelled when empty).
  TryToCloseTheReceipt();
  int32_t flags = 0;
  ASSERT_EQ(IBM_FI_FlagsFiscais(&flags), 1);
  if (flags & 1) {
    ASSERT_EQ(IBM_FI_CancelaCupom(), 1);
  }

  std::map<std::string, int> acknowledged;  // item -> cents
  long long total = 0;
  for (int s = 1; s <= kSellers; ++s) {
    std::string lines;
    ASSERT_TRUE(
        sandbox.ReadWholeFile(sandbox.Path("system/seller" + std::to_string(s) + ".txt"), &lines))
        << "seller " << s << " did not finish";
    size_t pos = 0;
    for (size_t end; (end = lines.find('\n', pos)) != std::string::npos; pos = end + 1) {
      std::string line = lines.substr(pos, end - pos);
      size_t space = line.find(' ');
      acknowledged[line.substr(0, space)] = std::stoi(line.substr(space + 1));
      total += std::stoi(line.substr(space + 1));
    }
  }
  ASSERT_GT(acknowledged.size(), static_cast<size_t>(kItemsPerSeller));

  std::string tape;
  ASSERT_TRUE(sandbox.ReadWholeFile(sandbox.Path("system/IBMFI32_BOBINA.TXT"), &tape));
  std::string journal;
  ASSERT_TRUE(sandbox.ReadWholeFile(sandbox.Path("system/IBMFI32.MEM.mfd"), &journal));
  std::string mfd;  // the printed lines of every record
  MfdScan scan = ScanMfd(journal, 0, [&](const MfdRecord& record) { mfd += record.text; });
  EXPECT_FALSE(scan.damaged) << scan.why;
  EXPECT_EQ(scan.good_bytes, journal.size());
  for (int s = 1; s <= kSellers; ++s) {
    for (int i = 0; i < kItemsPerSeller; ++i) {
      const std::string name = ItemName(s, i);
      EXPECT_EQ(Occurrences(tape, name), acknowledged.count(name)) << name << " on the tape";
      EXPECT_EQ(Occurrences(mfd, name), acknowledged.count(name)) << name << " in the MFD";
    }
  }
  // Every document has a COO of its own, every receipt a CCF of its own, and
  // the counters and the grand total add up to what the tape shows and the
  // sellers were told.
  std::vector<std::string> coos = NumbersAfter(tape, "ECF:", "COO:");
  std::vector<std::string> ccfs = NumbersAfter(tape, "", "CCF:");
  EXPECT_EQ(std::set<std::string>(coos.begin(), coos.end()).size(), coos.size());
  EXPECT_EQ(std::set<std::string>(ccfs.begin(), ccfs.end()).size(), ccfs.size());
  std::string coo(6, ' '), ccf(6, ' '), grand_total(18, ' ');
  ASSERT_EQ(IBM_FI_NumeroCupom(coo.data()), 1);
  ASSERT_EQ(IBM_FI_ContadorCupomFiscalMFD(ccf.data()), 1);
  ASSERT_EQ(IBM_FI_GrandeTotal(grand_total.data()), 1);
  EXPECT_EQ(std::stoi(coo), static_cast<int>(coos.size()));
  EXPECT_EQ(std::stoi(ccf), static_cast<int>(ccfs.size()));
  EXPECT_EQ(std::stoll(grand_total), total);
  EXPECT_EQ(IBM_FI_LeituraX(), 1);  // and the printer serves on
}

TEST(EmulatorProcessesTest, SellersAtOnceLoseNoAcknowledgedItem) {
  const char* bin = std::getenv("ZEL_BUILD_BIN");
  if (bin == nullptr || *bin == '\0') GTEST_SKIP() << "ZEL_BUILD_BIN not set (run under ctest)";
  if (platform::NativeIsWindows()) GTEST_SKIP() << "starts and kills processes through a POSIX shell";
  SellAtOnce(false);
}

TEST(EmulatorProcessesTest, DeletingThePrintersLockFileLosesNoAcknowledgedItem) {
  const char* bin = std::getenv("ZEL_BUILD_BIN");
  if (bin == nullptr || *bin == '\0') GTEST_SKIP() << "ZEL_BUILD_BIN not set (run under ctest)";
  if (platform::NativeIsWindows()) GTEST_SKIP() << "starts and kills processes through a POSIX shell";
  SellAtOnce(true);
}

TEST(EmulatorProcessesTest, AProcessKilledHoldingThePrinterReleasesIt) {
  const char* bin = std::getenv("ZEL_BUILD_BIN");
  if (bin == nullptr || *bin == '\0') GTEST_SKIP() << "ZEL_BUILD_BIN not set (run under ctest)";
  if (platform::NativeIsWindows()) GTEST_SKIP() << "starts and kills processes through a POSIX shell";
  zel::test::SandboxPlatform sandbox;
  char answer[256];
  ASSERT_EQ(IBM_EMU_Control("init", answer, sizeof answer), 1) << answer;
  ASSERT_EQ(IBM_FI_LeituraX(), 1);
  const std::string memory = sandbox.Path("system/IBMFI32.MEM");
  std::string before;
  ASSERT_TRUE(sandbox.ReadWholeFile(memory, &before));

  // The child opens a receipt and hangs at the write, holding the printer.
  const std::string pid_file = sandbox.Path("holder.pid");
  std::string start = ChildCommand(sandbox, std::string(kHolder) + "=1",
                                   "EmulatorProcessChild.SellsOrHoldsThePrinter") +
                      " & echo $! > " + Quoted(pid_file);
  ASSERT_EQ(std::system(start.c_str()), 0);
  for (int i = 0; i < 500 && !sandbox.FileExists(memory + ".holding"); ++i) {
    platform::Native().Delay(10);
  }
  ASSERT_TRUE(sandbox.FileExists(memory + ".holding"));
  auto other = platform::MakeNativePlatform();
  EXPECT_EQ(other->LockFile(memory + ".lock", 0), nullptr);  // held by the child

  std::string pid;
  ASSERT_TRUE(sandbox.ReadWholeFile(pid_file, &pid));
  ASSERT_EQ(std::system(("kill -9 " + pid).c_str()), 0);

  // The next command gets the printer as it was before the killed one.
  std::string coo(6, ' ');
  EXPECT_EQ(IBM_FI_NumeroCupom(coo.data()), 1);
  EXPECT_EQ(coo, "000001");
  std::string after;
  ASSERT_TRUE(sandbox.ReadWholeFile(memory, &after));
  EXPECT_EQ(after, before);
  EXPECT_EQ(IBM_FI_AbreCupomMFD("", "", ""), 1);
}

}  // namespace
}  // namespace zel::emu::test
