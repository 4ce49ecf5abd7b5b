// A month of business: fiscal days of receipts (items, item discounts, item
// cancellations, cash and card payments, X readings, the Z) through the
// driver against the simulated printer, with faults put on about one vendor
// call in a hundred (a NAK, a refusal, a command done without an answer),
// from a fixed seed. The host behaves as a till does: a sale that fails is
// cancelled and made again. At the end:
//   - every sale the host was told succeeded is on the tape once, not
//     cancelled, with the total the host expected;
//   - one reduction per day, and the grand total is the sum of the days'
//     gross sales;
//   - the host's grand-total record agrees with the printer's.
// ZEL_SOAK_DAYS sets the number of days (2 unless set; `make soak` runs 30)
// and the figures are printed at the end.
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

struct Item {
  int64_t price;     // cents
  int quantity;      // thousandths
  int64_t discount;  // cents
};

struct Figures {
  int days = 0, sales = 0, attempts = 0, faults = 0, violations = 0;
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
    host_.SetDefaultAnswer(true);  // the operator sends again whatever the driver offers
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
  std::string State() { return Control("state"); }

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
    ++figures_.faults;
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

  std::string Movements(int64_t cash, int64_t card) {
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

  // One sale, made again until the host is told it succeeded.
  void Sale(int day, int number) {
    const int count = std::uniform_int_distribution<int>(1, 5)(rng_);
    std::vector<Item> items;
    for (int i = 0; i < count; ++i) {
      Item item;
      item.price = std::uniform_int_distribution<int>(1, 20000)(rng_);
      item.quantity = std::uniform_int_distribution<int>(0, 3)(rng_) == 0 ? 2500 : 1000;
      item.discount = std::uniform_int_distribution<int>(0, 4)(rng_) == 0 ? 1 : 0;
      items.push_back(item);
    }
    const bool cancel_last = count > 1 && std::uniform_int_distribution<int>(0, 5)(rng_) == 0;
    for (int attempt = 0; attempt < 20; ++attempt) {
      ++figures_.attempts;
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
        journal_[coo] = total;
        day_sales_[static_cast<size_t>(day)] += total;
        ++figures_.sales;
        return;
      }
    }
    ADD_FAILURE() << "sale " << day << "/" << number << " never went through";
  }

  // The day's end: an X reading now and then, then the Z until the printer
  // shows it made; its gross sales are kept for the grand-total check.
  void CloseDay() {
    CancelOpenReceipt();
    if (std::uniform_int_distribution<int>(0, 1)(rng_)) {
      MaybeFault();
      Leitura_X_Imp("", "002", "");
    }
    const std::string before = State();
    days_gross_ += Cents(StateWord(before, "gross"));
    for (int i = 0; i < 10 && StateWord(State(), "crz") == StateWord(before, "crz"); ++i) {
      MaybeFault();
      Reducao_Z_Imp("", "002", "");
    }
    Control("clear");
    // The host's grand-total record follows the printer after each Z.
    Atu_TotGeral(MakeParams({{"CDFILIAL", "0001"},
                             {"CDCAIXA", "001"},
                             {"NRSERIEIMP", "IB010900000000000001"},
                             {"ESQUEMACOR", "002"},
                             {"IDVALIDA", "N"}}));
  }

  // Every sale the host was told succeeded, looked up on the tape.
  void CheckTape() {
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
    std::string coo;
    std::vector<int64_t> reduced_net;  // the net sales of each Z, in order
    bool in_reduction = false;
    for (std::string line; std::getline(tape, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.find("REDU\xC7\xC3O Z") != std::string::npos) in_reduction = true;
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
      if (coo.empty()) continue;
      if (line.rfind("TOTAL R$", 0) == 0) receipts[coo].total = Cents(line.substr(8));
      if (line.find("CUPOM FISCAL CANCELADO") != std::string::npos) receipts[coo].cancelled = true;
      if (line.rfind("COO do cupom cancelado:", 0) == 0) {
        receipts[line.substr(line.size() - 6)].cancelled = true;
      }
    }
    for (const auto& [sale_coo, total] : journal_) {
      const Block& block = receipts[sale_coo];
      const bool good = block.seen == 1 && !block.cancelled && block.total == total;
      if (!good) ++figures_.violations;
      EXPECT_TRUE(good) << "COO " << sale_coo << ": seen " << block.seen << ", cancelled "
                        << block.cancelled << ", total " << block.total << " (host " << total
                        << ")";
    }
    // Nothing is on the printer that the host believes failed: each day's
    // net sales are the sales the host was told succeeded.
    EXPECT_EQ(reduced_net.size(), day_sales_.size());
    for (size_t day = 0; day < reduced_net.size() && day < day_sales_.size(); ++day) {
      if (reduced_net[day] != day_sales_[day]) ++figures_.violations;
      EXPECT_EQ(reduced_net[day], day_sales_[day]) << "day " << day;
    }
  }

  SandboxPlatform sandbox_;
  RecordingHost host_;
  platform::LibraryHandle library_ = nullptr;
  ControlFn control_ = nullptr;
  std::mt19937 rng_{20261210};
  std::unique_ptr<MemTable> forms_;
  std::map<std::string, int64_t> journal_;  // COO -> total of each sale the host was told done
  int64_t days_gross_ = 0;
  std::vector<int64_t> day_sales_;  // the totals of the sales told done, per day
  Figures figures_;
};

TEST_F(SoakTest, MonthOfBusinessWithFaults) {
  const char* env = std::getenv("ZEL_SOAK_DAYS");
  const int days = env != nullptr ? std::atoi(env) : 2;
  const int64_t first_gt = 0;
  for (int day = 0; day < days; ++day) {
    sandbox_.SetNow(EncodeDateTime(2026, 12, 1, 9, 0, 0, 0) + day);
    ZelResetModuleState();
    ASSERT_TRUE(Start()) << "day " << day;
    LoadPaymentForms();
    day_sales_.push_back(0);
    const int sales = std::uniform_int_distribution<int>(15, 30)(rng_);
    for (int n = 0; n < sales; ++n) {
      sandbox_.AdvanceSeconds(60);
      Sale(day, n);
      if (n == sales / 2 && std::uniform_int_distribution<int>(0, 2)(rng_) == 0) {
        MaybeFault();
        Leitura_X_Imp("", "002", "");
      }
    }
    CloseDay();
    ++figures_.days;
  }
  Control("clear");
  CheckTape();
  const std::string state = State();
  EXPECT_EQ(std::atoi(StateWord(state, "crz").c_str()), days);
  EXPECT_EQ(Cents(StateWord(state, "gt")) - first_gt, days_gross_);
  EXPECT_TRUE(Atu_TotGeral(MakeParams({{"CDFILIAL", "0001"},
                                       {"CDCAIXA", "001"},
                                       {"NRSERIEIMP", "IB010900000000000001"},
                                       {"ESQUEMACOR", "002"},
                                       {"IDVALIDA", "S"}})));
  std::printf("soak: %d days, %d sales told done (%d attempts), %d faults, %d violations\n",
              figures_.days, figures_.sales, figures_.attempts, figures_.faults,
              figures_.violations);
}

}  // namespace
}  // namespace zel::test
