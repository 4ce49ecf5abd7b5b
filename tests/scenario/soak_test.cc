// A month of business: fiscal days of receipts (items, item discounts, item
// cancellations, cash and card payments, X readings, the Z) through the
// driver against the simulated printer, with faults put on about one vendor
// call in a hundred (a NAK, a refusal, a command done without an answer),
// from a fixed seed. The host behaves as a till does: a sale that fails is
// cancelled and made again. At the end:
//   - every sale the host was told succeeded is on the tape once, not
//     cancelled, with the total the host expected;
//   - each day's net sales (its Z) are exactly the sales the host was told
//     succeeded that day;
//   - one reduction per day, and the grand total is the sum of the days'
//     gross sales;
//   - the host's grand-total record agrees with the printer's.
// ZEL_SOAK_DAYS sets the number of days (2 unless set; `make soak` runs 30)
// and the figures are printed at the end.
//
// The second test runs the till in child processes, each killed (SIGKILL)
// at a random write to a file (the printer's memory, the debug log, the
// host's journal); the next process starts the driver again and carries on
// from the host's journal. A day in which the host was killed may hold a
// sale the host never learnt was done, so its net sales are not compared.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "hostutil/params.h"
#include "platform/platform.h"
#include "runtime/datetime.h"
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

constexpr const char* kChildHome = "ZEL_SOAK_HOME";       // the host folder of the child
constexpr const char* kChildKillAt = "ZEL_SOAK_KILL_AT";  // the file write that kills it
constexpr const char* kChildRun = "ZEL_SOAK_RUN";         // the child's number (its seed)

struct Item {
  int64_t price;     // cents
  int quantity;      // thousandths
  int64_t discount;  // cents
};

struct Figures {
  int days = 0, sales = 0, attempts = 0, faults = 0, kills = 0, violations = 0;
};

int64_t Cents(const std::string& money) {
  int64_t value = 0;
  for (char c : money) {
    if (c >= '0' && c <= '9') value = value * 10 + (c - '0');
  }
  return value;
}

// The word after `word` on the state text of the simulated printer.
std::string StateWord(const std::string& state, const std::string& word) {
  const size_t at = state.find(word + " ");
  if (at == std::string::npos) return "";
  const size_t start = at + word.size() + 1;
  return state.substr(start, state.find_first_of(" \n", start) - start);
}

TDateTime DayStart(int day) { return EncodeDateTime(2026, 12, 1, 9, 0, 0, 0) + day; }

// What the host keeps in its folder: one line per event, so that a till
// started again carries on where the last one stopped.
//   start <day>                 the till started on that day
//   sale <day> <coo> <total>    a sale the host was told succeeded
//   z <day> <gross>             the day's Z, with the gross sales it reduced
//   supply <day> <cents>        a supply the host was told succeeded
//   withdrawal <day> <cents>    a withdrawal the host was told succeeded
//   fault                       a fault put on the printer (for the figures)
struct Journal {
  int faults = 0;
  std::vector<int> starts;
  std::map<std::string, std::pair<int, int64_t>> sales;  // COO -> day, total
  std::vector<int64_t> day_sales;                        // per day
  std::vector<int64_t> z_gross;                          // per reduced day
  std::map<int, int64_t> supplies, withdrawals;          // per day, cents
  std::map<int, int> supply_count, withdrawal_count;     // per day

  static Journal Read(platform::Platform& pf, const std::string& path) {
    Journal j;
    std::string text;
    pf.ReadWholeFile(path, &text);
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      std::istringstream words(line);
      std::string kind;
      words >> kind;
      if (kind == "start") {
        int day = 0;
        if (words >> day) j.starts.push_back(day);
      } else if (kind == "sale") {
        int day = 0;
        std::string coo;
        int64_t total = 0;
        if (!(words >> day >> coo >> total)) continue;  // a line cut by a kill
        j.sales[coo] = {day, total};
        if (j.day_sales.size() <= static_cast<size_t>(day)) j.day_sales.resize(day + 1, 0);
        j.day_sales[day] += total;
      } else if (kind == "supply" || kind == "withdrawal") {
        int day = 0;
        int64_t cents = 0;
        if (!(words >> day >> cents)) continue;
        (kind == "supply" ? j.supplies : j.withdrawals)[day] += cents;
        ++(kind == "supply" ? j.supply_count : j.withdrawal_count)[day];
      } else if (kind == "fault") {
        ++j.faults;
      } else if (kind == "z") {
        int day = 0;
        int64_t gross = 0;
        if (words >> day >> gross) j.z_gross.push_back(gross);
      }
    }
    return j;
  }
  int SalesOn(int day) const {
    int n = 0;
    for (const auto& entry : sales) n += entry.second.first == day ? 1 : 0;
    return n;
  }
};

// The till: the host program's side of the business, on whatever platform
// is current (the test's sandbox, or the native one in a child process).
class Till {
 public:
  Till(std::function<void(TDateTime)> set_now, ControlFn control, uint32_t seed)
      : set_now_(std::move(set_now)), control_(control), seed_(seed) {
    host_.SetDefaultAnswer(true);  // the operator sends again whatever the driver offers
  }

  // Works through `days` days from where the journal stops.
  void Run(int days) {
    platform::Platform& pf = platform::Current();
    journal_path_ = platform::JoinPath(pf.ExecutableDirectory(), "soak-journal.txt");
    const Journal journal = Journal::Read(pf, journal_path_);
    for (int day = static_cast<int>(journal.z_gross.size()); day < days; ++day) {
      std::mt19937 day_rng(static_cast<uint32_t>(20261210 + day));  // the day's plan
      const int sales = std::uniform_int_distribution<int>(15, 30)(day_rng);
      const int done = day == static_cast<int>(journal.z_gross.size()) ? journal.SalesOn(day) : 0;
      rng_.seed(seed_ * 7919 + static_cast<uint32_t>(day));  // this run's faults
      set_now_(DayStart(day) + done / 1440.0);
      ZelResetModuleState();
      Append("start " + std::to_string(day));
      ASSERT_TRUE(Start()) << "day " << day;
      LoadPaymentForms();
      // The day's change fund goes in before the first sale, and some cash
      // comes out at a third of the day.
      if (journal.supply_count.count(day) == 0) Cash(day, true, 10000);
      const int64_t withdrawal = std::uniform_int_distribution<int>(1, 8000)(day_rng);
      for (int n = done; n < sales; ++n) {
        set_now_(DayStart(day) + (n + 1) / 1440.0);
        if (n == sales / 3 && journal.withdrawal_count.count(day) == 0) {
          Cash(day, false, withdrawal);
        }
        Sale(day, n);
        if (n == sales / 2 && std::uniform_int_distribution<int>(0, 2)(rng_) == 0) {
          MaybeFault();
          Leitura_X_Imp("", "002", "");
        }
      }
      CloseDay(day);
    }
  }

  int faults() const { return faults_; }
  int attempts() const { return attempts_; }
  std::string State() { return Control("state"); }
  std::string Control(const std::string& command) {
    char answer[4096] = {};
    control_(command.c_str(), answer, sizeof answer);
    return answer;
  }

 private:
  void Append(const std::string& line) {
    platform::Current().AppendToFile(journal_path_, line + "\n");
  }

  bool Start() {
    return StartImpFiscal(MakeParams({{"CDFILIAL", "0001"},
                                      {"CDCAIXA", "001"},
                                      {"NRSERIEIMP", "IB010900000000000001"},
                                      {"ESQUEMA", "002"},
                                      {"CDPORTAIMPFIS", "COM1"},
                                      {"BOUTILTAA", false},
                                      {"ESQUEMACOR", "002"},
                                      {"PORTAIMPFIS", "COM1"}}));
  }

  // About one vendor call in a hundred fails: each host operation makes a
  // few, so a fault is put on one of its next calls now and then.
  void MaybeFault() {
    if (std::uniform_int_distribution<int>(0, 99)(rng_) >= 3) return;
    static const char* kKinds[] = {"nak next", "fail next -1", "done-no-answer next"};
    const std::string kind = kKinds[std::uniform_int_distribution<int>(0, 2)(rng_)];
    Control(kind + " nth " + std::to_string(std::uniform_int_distribution<int>(1, 3)(rng_)));
    Append("fault");
    ++faults_;
  }

  void LoadPaymentForms() {
    forms_ = std::make_unique<MemTable>();
    for (const char* name : {"CDTIPORECE", "NMTIPORECE", "IDEMIVALE", "CDFPIMPFIS", "IDTIPORECE",
                             "IDTPBUTTON", "DSIMPFISCAL", "IDMOSTRARECE"}) {
      forms_->AddField(name, FieldType::kString, 50);
    }
    forms_->CreateDataSet();
    forms_->AppendRecord({"001", "Dinheiro", "", "", "1", "5", "Dinheiro", "S"});
    forms_->AppendRecord({"002", "Cartao Credito", "", "", "3", "5", "Cartao Credito", "S"});
    CarregaRecebimento("", "002", 0, *forms_);
  }

  static std::string Movements(int64_t cash, int64_t card) {
    MemTable table;
    DefineMovementFields(table);
    table.CreateDataSet();
    int minute = 0;
    for (const auto& [type, amount] :
         {std::pair<const char*, int64_t>{"002", card}, {"001", cash}}) {
      if (amount <= 0) continue;
      table.Append();
      table.FieldByName("IDTIPOMOVIVE").SetAsString("E");
      table.FieldByName("CDTIPORECE").SetAsString(type);
      table.FieldByName("NRORDTROCO").SetAsString("001");
      table.FieldByName("VRMOVIVEND").SetAsFloat(static_cast<double>(amount) / 100);
      table.FieldByName("DTHRINCMOV")
          .SetAsDateTime(EncodeDateTime(2026, 12, 10, 9, ++minute, 0, 0));
      table.Post();
    }
    return table.Data();
  }

  bool Close(int64_t total) {
    const int64_t card = std::uniform_int_distribution<int>(0, 1)(rng_) ? total / 2 : 0;
    std::vector<HostVariant> params(55);
    params[2] = "002";
    params[5] = true;
    params[6] = 0.0;
    params[7] = 0.0;
    params[8] = 0.0;
    params[9] = "N";
    params[11] = false;
    params[13] = HostVariant::FromPacket(Movements(total - card, card));
    forms_->SetFiltered(false);
    params[14] = HostVariant::FromPacket(forms_->Data());
    HostVariant result = HostVariant::MakeArray(std::vector<HostVariant>(4));
    StringList no_slips;
    MaybeFault();
    return FechaCupom(params, &no_slips, result);
  }

  // Cancels the receipt the printer holds open, as the till does after a
  // failed sale; tries again while the printer still holds it.
  void CancelOpenReceipt() {
    for (int i = 0; i < 10 && StateWord(State(), "open") == "receipt"; ++i) {
      MaybeFault();
      HostVariant result = HostVariant::MakeArray({HostVariant()});
      Cancela_Cupom_Imp(
          {"002", false, false, HostVariant(), "0001", "001", "IB010900000000000001", "S"}, result);
    }
  }

  // A supply or a withdrawal, made again until the host is told it
  // succeeded.
  void Cash(int day, bool supply, int64_t cents) {
    for (int attempt = 0; attempt < 20; ++attempt) {
      CancelOpenReceipt();
      MaybeFault();
      const double value = static_cast<double>(cents) / 100;
      if (supply ? Suprimento("", "002", value) : Sangria("", "002", value)) {
        Append(std::string(supply ? "supply " : "withdrawal ") + std::to_string(day) + " " +
               std::to_string(cents));
        return;
      }
    }
    ADD_FAILURE() << (supply ? "supply" : "withdrawal") << " of day " << day
                  << " never went through";
  }

  // One sale (the same items whatever the run), made again until the host
  // is told it succeeded.
  void Sale(int day, int number) {
    std::mt19937 plan(static_cast<uint32_t>(day * 1000 + number));
    const int count = std::uniform_int_distribution<int>(1, 5)(plan);
    std::vector<Item> items;
    for (int i = 0; i < count; ++i) {
      Item item;
      item.price = std::uniform_int_distribution<int>(1, 20000)(plan);
      item.quantity = std::uniform_int_distribution<int>(0, 3)(plan) == 0 ? 2500 : 1000;
      item.discount = std::uniform_int_distribution<int>(0, 4)(plan) == 0 ? 1 : 0;
      items.push_back(item);
    }
    const bool cancel_last = count > 1 && std::uniform_int_distribution<int>(0, 5)(plan) == 0;
    for (int attempt = 0; attempt < 20; ++attempt) {
      ++attempts_;
      CancelOpenReceipt();
      MaybeFault();
      HostParams open = MakeParams(
          {{"ESQUEMACOR", "002"}, {"INTTEFERRO", 0}, {"IDUTILTEF", "N"}, {"UTILTEF", false}});
      if (!AbreCupom(open)) continue;
      // A COO the driver could not read after the opening is asked again,
      // as the till needs it for its record of the sale.
      std::string coo = RecebeParams(open, "CUPNR").AsString();
      for (int i = 0; i < 5 && coo.find_first_not_of("0123456789") != std::string::npos; ++i) {
        coo = Nr_Cupom("", "002");
      }
      bool ok = true;
      int64_t total = 0;
      for (size_t i = 0; ok && i < items.size(); ++i) {
        const Item& item = items[i];
        MaybeFault();
        const std::string code =
            std::to_string(day) + "-" + std::to_string(number) + "-" + std::to_string(i);
        HostParams params = MakeParams({{"ESQUEMACOR", "002"},
                                        {"INTEFERRO", 0},
                                        {"CDARVPROD", code},
                                        {"NMPROD", "PRODUTO"},
                                        {"CDALIQ", i % 2 ? "01" : "02"},
                                        {"QTDE", item.quantity / 1000.0},
                                        {"VALOR", static_cast<double>(item.price) / 100},
                                        {"DESCONT", static_cast<double>(item.discount) / 100},
                                        {"ACRESCIMO", 0.0},
                                        {"UNIDADE", "UN"},
                                        {"IDUTILTEF", "N"},
                                        {"UTILTEF", false}});
        ok = VendaItem(params);
        total += item.price * item.quantity / 1000 - item.discount;
      }
      if (ok && cancel_last) {
        MaybeFault();
        ok = Cancela_UltimoItem("");
        const Item& last = items.back();
        total -= last.price * last.quantity / 1000 - last.discount;
      }
      if (ok) ok = Close(total);
      if (ok) {
        Append("sale " + std::to_string(day) + " " + coo + " " + std::to_string(total));
        return;
      }
    }
    ADD_FAILURE() << "sale " << day << "/" << number << " never went through";
  }

  // The day's end: an X reading now and then, then the Z until the printer
  // shows the day reduced; the host's grand-total record follows.
  void CloseDay(int day) {
    CancelOpenReceipt();
    if (std::uniform_int_distribution<int>(0, 1)(rng_)) {
      MaybeFault();
      Leitura_X_Imp("", "002", "");
    }
    const std::string before = State();
    const int64_t gross = Cents(StateWord(before, "gross"));
    for (int i = 0; i < 10 && StateWord(State(), "crz") == StateWord(before, "crz"); ++i) {
      MaybeFault();
      Reducao_Z_Imp("", "002", "");
    }
    Control("clear");
    Atu_TotGeral(MakeParams({{"CDFILIAL", "0001"},
                             {"CDCAIXA", "001"},
                             {"NRSERIEIMP", "IB010900000000000001"},
                             {"ESQUEMACOR", "002"},
                             {"IDVALIDA", "N"}}));
    Append("z " + std::to_string(day) + " " + std::to_string(gross));
  }

  std::function<void(TDateTime)> set_now_;
  ControlFn control_;
  uint32_t seed_;
  RecordingHost host_;
  std::mt19937 rng_;
  std::unique_ptr<MemTable> forms_;
  std::string journal_path_;
  int faults_ = 0;
  int attempts_ = 0;
};

class SoakTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZelResetModuleState();
    library_ = sandbox_.OpenLibrary("IBMFI32.dll");
    ASSERT_NE(library_, nullptr) << sandbox_.LastErrorText();
    control_ = reinterpret_cast<ControlFn>(sandbox_.LibrarySymbol(library_, "IBM_EMU_Control"));
    ASSERT_NE(control_, nullptr);
    Control("init");
    Control("reset");
  }
  void TearDown() override {
    platform::LibraryHandle driver_handle = ImpFisDLLHandle;
    ZelResetModuleState();
    sandbox_.CloseLibrary(driver_handle);
    sandbox_.CloseLibrary(library_);
  }
  std::string Control(const std::string& command) {
    char answer[4096] = {};
    control_(command.c_str(), answer, sizeof answer);
    return answer;
  }
  static int Days() {
    const char* env = std::getenv("ZEL_SOAK_DAYS");
    return env != nullptr ? std::atoi(env) : 2;
  }

  // The checks at the end of the month, from the journal, the tape and the
  // printer's state.
  void CheckMonth(int days, Figures& figures) {
    const Journal journal = Journal::Read(
        sandbox_, platform::JoinPath(sandbox_.ExecutableDirectory(), "soak-journal.txt"));
    figures.days = static_cast<int>(journal.z_gross.size());
    figures.sales = static_cast<int>(journal.sales.size());
    figures.faults = journal.faults;
    EXPECT_EQ(figures.days, days);

    std::string utf8;
    sandbox_.ReadWholeFile(platform::JoinPath(sandbox_.SystemDirectory(), "IBMFI32_BOBINA.TXT"),
                           &utf8);
    std::istringstream tape(Utf8ToWin1252(utf8));
    struct Block {
      int64_t total = -1;
      bool cancelled = false;
      int seen = 0;
    };
    std::map<std::string, Block> receipts;
    std::vector<int64_t> reduced_net;                         // the net sales of each Z, in order
    std::vector<int64_t> reduced_gt;                          // the grand total printed by each Z
    std::vector<int64_t> reduced_gross;                       // the gross sales of each Z
    std::vector<int64_t> reduced_supply, reduced_withdrawal;  // of each Z
    bool in_reduction_cash = false;
    std::string coo;
    bool in_reduction = false;
    bool cancel_pending = false;
    for (std::string line; std::getline(tape, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.find("REDU\xC7\xC3O Z") != std::string::npos) {
        in_reduction = true;
        in_reduction_cash = true;
      }
      if (in_reduction_cash && line.rfind("Sangria (", 0) == 0) {
        reduced_withdrawal.push_back(Cents(line.substr(15)));
      }
      if (in_reduction_cash && line.rfind("Suprimento (", 0) == 0) {
        reduced_supply.push_back(Cents(line.substr(18)));
        in_reduction_cash = false;
      }
      if (in_reduction && line.rfind("Totalizador Geral (GT)", 0) == 0) {
        reduced_gt.push_back(Cents(line.substr(22)));
      }
      if (in_reduction && line.rfind("Venda Bruta Di\xE1ria (VB)", 0) == 0) {
        reduced_gross.push_back(Cents(line.substr(25)));
      }
      if (in_reduction && line.rfind("Venda L\xEDquida", 0) == 0) {
        reduced_net.push_back(Cents(line.substr(14)));
        in_reduction = false;
      }
      const size_t ccf = line.find("CCF:");
      if (ccf != std::string::npos && line.find(" COO:", ccf) != std::string::npos) {
        coo = line.substr(line.find(" COO:", ccf) + 5, 6);
        ++receipts[coo].seen;
        continue;
      }
      // A cancellation names the receipt it cancels: the last receipt by a
      // line of its own, an open receipt by the document's closing line
      // (the receipt's header may be missing from the tape when the printer
      // was stopped before it could print it).
      if (line.find("CUPOM FISCAL CANCELADO") != std::string::npos) cancel_pending = true;
      if (line.rfind("COO do cupom cancelado:", 0) == 0) {
        receipts[line.substr(line.size() - 6)].cancelled = true;
        cancel_pending = false;
      }
      if (cancel_pending && line.rfind("ECF:", 0) == 0 && line.find("COO:") != std::string::npos) {
        receipts[line.substr(line.find("COO:") + 4, 6)].cancelled = true;
        cancel_pending = false;
      }
      if (coo.empty()) continue;
      if (line.rfind("TOTAL R$", 0) == 0) receipts[coo].total = Cents(line.substr(8));
    }
    // Every sale the host was told succeeded is on the printer once.
    for (const auto& [sale_coo, sale] : journal.sales) {
      const Block& block = receipts[sale_coo];
      const bool good = block.seen == 1 && !block.cancelled && block.total == sale.second;
      if (!good) ++figures.violations;
      EXPECT_TRUE(good) << "COO " << sale_coo << ": seen " << block.seen << ", cancelled "
                        << block.cancelled << ", total " << block.total << " (host " << sale.second
                        << ")";
    }
    // Nothing is on the printer that the host believes failed, on the days
    // the host ran through without being killed.
    std::map<int, int> starts;
    for (int day : journal.starts) ++starts[day];
    EXPECT_EQ(reduced_net.size(), static_cast<size_t>(days));
    for (size_t day = 0; day < reduced_net.size(); ++day) {
      if (starts[static_cast<int>(day)] != 1) continue;
      const int64_t told = day < journal.day_sales.size() ? journal.day_sales[day] : 0;
      if (reduced_net[day] != told) ++figures.violations;
      EXPECT_EQ(reduced_net[day], told) << "day " << day;
      // The day's supplies and withdrawals are what the host was told.
      const int d = static_cast<int>(day);
      ASSERT_LT(day, reduced_supply.size());
      ASSERT_LT(day, reduced_withdrawal.size());
      const bool cash_good =
          reduced_supply[day] == (journal.supplies.count(d) ? journal.supplies.at(d) : 0) &&
          reduced_withdrawal[day] == (journal.withdrawals.count(d) ? journal.withdrawals.at(d) : 0);
      if (!cash_good) ++figures.violations;
      EXPECT_TRUE(cash_good) << "day " << day << ": supply " << reduced_supply[day]
                             << ", withdrawal " << reduced_withdrawal[day];
    }
    // The reductions add up: each one's grand total is the last one's plus
    // its gross sales, and the printer's grand total is the last one's; the
    // host's record agrees with it.
    const std::string state = Control("state");
    EXPECT_EQ(std::atoi(StateWord(state, "crz").c_str()), days);
    ASSERT_EQ(reduced_gt.size(), reduced_gross.size());
    int64_t gt = 0;
    for (size_t i = 0; i < reduced_gt.size(); ++i) {
      gt += reduced_gross[i];
      if (reduced_gt[i] != gt) ++figures.violations;
      EXPECT_EQ(reduced_gt[i], gt) << "reduction " << i + 1;
    }
    EXPECT_EQ(Cents(StateWord(state, "gt")), gt);
    ZelResetModuleState();
    EXPECT_TRUE(Atu_TotGeral(MakeParams({{"CDFILIAL", "0001"},
                                         {"CDCAIXA", "001"},
                                         {"NRSERIEIMP", "IB010900000000000001"},
                                         {"ESQUEMACOR", "002"},
                                         {"IDVALIDA", "S"}})));
    int supplies = 0, withdrawals = 0;
    for (const auto& entry : journal.supply_count) supplies += entry.second;
    for (const auto& entry : journal.withdrawal_count) withdrawals += entry.second;
    std::printf(
        "soak: %d days, %d sales told done (%d attempts), %d supplies, %d withdrawals, %d "
        "faults, %d kills, %d violations\n",
        figures.days, figures.sales, figures.attempts, supplies, withdrawals, figures.faults,
        figures.kills, figures.violations);
  }

  SandboxPlatform sandbox_;
  platform::LibraryHandle library_ = nullptr;
  ControlFn control_ = nullptr;
};

TEST_F(SoakTest, MonthOfBusinessWithFaults) {
  Figures figures;
  {
    Till till([this](TDateTime now) { sandbox_.SetNow(now); }, control_, 1);
    till.Run(Days());
    figures.attempts = till.attempts();
  }
  Control("clear");
  CheckMonth(Days(), figures);
}

// The child process of the killed-host test: the native platform on the
// parent's folders, its clock set by the till, killed at the chosen write.
class ChildPlatform : public platform::PlatformWrapper {
 public:
  ChildPlatform(int kill_at) : PlatformWrapper(&platform::Native()), kill_at_(kill_at) {}
  TDateTime Now() override { return now_; }
  void SetNow(TDateTime now) { now_ = now; }
  bool WriteFileAtomically(const std::string& path, const std::string& data) override {
    Count();
    return PlatformWrapper::WriteFileAtomically(path, data);
  }
  bool AppendToFile(const std::string& path, const std::string& data) override {
    Count();
    return PlatformWrapper::AppendToFile(path, data);
  }

 private:
  void Count() {
    if (++writes_ == kill_at_) platform::KillCurrentProcess();
  }
  int kill_at_;
  int writes_ = 0;
  TDateTime now_ = 0;
};

TEST(SoakChild, RunsTheTillUntilKilled) {
  const char* home = std::getenv(kChildHome);
  const char* kill_at = std::getenv(kChildKillAt);
  const char* run = std::getenv(kChildRun);
  if (home == nullptr || kill_at == nullptr || run == nullptr) {
    GTEST_SKIP() << "started by SoakTest.MonthOfBusinessWithKilledHosts";
  }
  ChildPlatform child(std::atoi(kill_at));
  platform::SetCurrent(&child);
  child.SetExecutableDirectory(home);
  ZelResetModuleState();
  platform::LibraryHandle library = child.OpenLibrary("IBMFI32.dll");
  ASSERT_NE(library, nullptr) << child.LastErrorText();
  auto control = reinterpret_cast<ControlFn>(child.LibrarySymbol(library, "IBM_EMU_Control"));
  ASSERT_NE(control, nullptr);
  Till till([&child](TDateTime now) { child.SetNow(now); }, control,
            static_cast<uint32_t>(std::atoi(run)));
  const char* days = std::getenv("ZEL_SOAK_DAYS");
  till.Run(days != nullptr ? std::atoi(days) : 2);
  std::printf("faults %d attempts %d\n", till.faults(), till.attempts());
}

TEST_F(SoakTest, MonthOfBusinessWithKilledHosts) {
  const char* bin = std::getenv("ZEL_BUILD_BIN");
  if (bin == nullptr || *bin == '\0') GTEST_SKIP() << "ZEL_BUILD_BIN not set (run under ctest)";
  if (platform::NativeIsWindows())
    GTEST_SKIP() << "starts and kills processes through a POSIX shell";
  const std::string program = platform::JoinPath(bin, "scenario_tests");
  const std::string journal =
      platform::JoinPath(sandbox_.ExecutableDirectory(), "soak-journal.txt");
  std::mt19937 rng(20261210);
  Figures figures;
  for (int run = 1; run <= 400; ++run) {
    if (static_cast<int>(Journal::Read(sandbox_, journal).z_gross.size()) >= Days()) break;
    const int kill_at = std::uniform_int_distribution<int>(1, 3000)(rng);
    const std::string command =
        "ZEL_SYSTEM_DIR='" + platform::ToSystemPath(sandbox_.SystemDirectory()) + "' " +
        kChildHome + "='" + platform::ToSystemPath(sandbox_.ExecutableDirectory()) + "' " +
        kChildKillAt + "=" + std::to_string(kill_at) + " " + kChildRun + "=" + std::to_string(run) +
        " ZEL_SOAK_DAYS=" + std::to_string(Days()) + " '" + platform::ToSystemPath(program) +
        "' --gtest_filter=SoakChild.RunsTheTillUntilKilled >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) ++figures.kills;
  }
  Control("clear");
  CheckMonth(Days(), figures);
}

}  // namespace
}  // namespace zel::test
