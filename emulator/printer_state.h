// The printer's memory: everything a fiscal printer keeps between power
// cycles (counters, accumulators, programmed tables, the fiscal memory of
// reductions, the document in progress) plus the standing and pending faults
// of the simulation. Plain data; Printer (printer.h) enforces the rules and
// persistence.h turns it into a file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "emulator/config.h"

namespace zel::emu {

// Tax positions of the accumulators: 0..15 the programmed rates, then the
// exempt (II), non-incidence (NN) and substitution (FF) totals.
inline constexpr int kExempt = 16;
inline constexpr int kNonIncidence = 17;
inline constexpr int kSubstitution = 18;
inline constexpr int kTaxPositions = 19;
inline constexpr int kMaxPaymentForms = 20;
inline constexpr int kMaxTotalizers = 30;

struct Counters {
  int coo = 0;            // every document
  int ccf = 0;            // fiscal receipts
  int gnf = 0;            // non-fiscal operations
  int grg = 0;            // gerencial reports
  int cdc = 0;            // credit/debit slips (linked receipts)
  int crz = 0;            // reductions
  int cro = 1;            // restarts of operation
  int cfc = 0;            // cancelled fiscal receipts
  int ncn = 0;            // cancelled non-fiscal operations
  int substitutions = 1;  // owner (user) substitutions
};

// The day's accumulators, zeroed by the reduction.
struct DayTotals {
  std::array<int64_t, kTaxPositions> tax{};  // net sales per tax position
  int64_t gross = 0;                         // gross sales (items and surcharges)
  int64_t discount_icms = 0, discount_iss = 0;
  int64_t surcharge_icms = 0, surcharge_iss = 0;
  int64_t cancel_icms = 0, cancel_iss = 0;
  std::array<int64_t, kMaxPaymentForms> forms{};
  std::array<int64_t, kMaxTotalizers> nonfiscal{};
  std::array<int, kMaxTotalizers> nonfiscal_count{};
  int64_t supply = 0, withdrawal = 0;
  int supply_count = 0, withdrawal_count = 0;
  int first_coo = 0;  // first document of the day (0 = none yet)
};

struct Item {
  int number = 0;
  std::string code, description, tax, unit;        // tax: "01".."16", "II", "NN", "FF"
  int64_t price = 0;                               // cents
  int64_t quantity = 0;                            // thousandths
  int64_t gross = 0, discount = 0, surcharge = 0;  // cents
  bool cancelled = false;
  int64_t Net() const { return gross - discount + surcharge; }
};

struct Payment {
  int form = 0;  // index into the payment forms
  int64_t amount = 0;
  int64_t linked_used = 0;  // amount already covered by linked receipts
};

enum class ReceiptPhase { kNone, kSelling, kTotalling, kPaid };

struct Receipt {
  ReceiptPhase phase = ReceiptPhase::kNone;
  int coo = 0, ccf = 0;
  double opened_at = 0;
  std::string cpf, name, address;
  std::vector<Item> items;
  char adjust_kind = 0;                      // 'D' discount, 'A' surcharge, 0 none
  int64_t adjust = 0;                        // cents
  std::array<int64_t, kTaxPositions> net{};  // this receipt's share of the tax totals
  std::vector<Payment> payments;
  bool cancelled = false;

  int64_t Subtotal() const;  // items, before the subtotal adjustment
  int64_t Total() const;     // after it
  int64_t Paid() const;
};

enum class OpenDocument { kNone, kReceipt, kLinked, kReport };

struct PaymentForm {
  std::string name;
  bool linked_allowed = true;
};

// One reduction in the fiscal memory.
struct ZRecord {
  Counters counters;  // after the reduction
  int64_t grand_total = 0;
  DayTotals totals;
  TaxRates rates{};
  int movement_date = 0;  // yyyymmdd of the fiscal day reduced
  double made_at = 0;     // printer clock when it was made
};

// A fault waiting for a call: `entry` is an entry-point name or "*" (any
// command except the status queries); it fires on the `countdown`-th match.
struct PendingFault {
  enum class Kind { kNak, kFail, kDoneNoAnswer };
  Kind kind = Kind::kNak;
  std::string entry = "*";
  int code = 0;
  int countdown = 1;
};

struct Faults {
  bool power_off = false;
  PaperLevel paper = PaperLevel::kNormal;
  long long clock_skew_seconds = 0;
  std::vector<PendingFault> pending;
  // The IBMFI32.INI Falhas value whose commands were last armed.
  std::string armed_from_ini;
};

// The outcome of the last command, as the status query reports it.
struct LastStatus {
  int ack = 6;
  int st1_errors = 0;  // error bits of ST1 (condition bits are added on query)
  int st2 = 0;
};

struct PrinterMemory {
  Counters counters;
  int64_t grand_total = 0;
  DayTotals day;
  int movement_date = 0;  // yyyymmdd of the open fiscal day, 0 = none
  int last_z_date = 0;    // yyyymmdd of the last reduction's fiscal day
  OpenDocument open = OpenDocument::kNone;
  Receipt receipt;            // the receipt in progress
  Receipt last_receipt;       // the last closed one (for cancellation and linked slips)
  int last_document_coo = 0;  // COO of the last document printed
  // Nothing but last_receipt and its own linked slips has been printed
  // since it closed, so it may still be cancelled.
  bool last_was_receipt = false;
  int linked_payment = -1;  // index into last_receipt.payments of the open slip
  std::vector<PaymentForm> forms{{"Dinheiro", false}};
  std::array<std::string, kMaxTotalizers> totalizers{};
  TaxRates rates{};
  bool daylight_saving = false;
  long long clock_adjust_seconds = 0;  // daylight-saving switches
  bool drawer_open = false;
  bool one_line_items = false;
  std::string pending_description;  // from AumentaDescricaoItem
  std::vector<ZRecord> fiscal_memory;
  // Bytes of the MFD journal (mfd.h) that belong to completed commands; -1
  // for a memory written before the journal existed (the journal is then
  // taken as it stands).
  int64_t mfd_bytes = 0;
  // The fiscal memory's journal (session.h): bytes and reductions it holds
  // for completed commands; -1 bytes for a memory written before it existed
  // (its reductions are then in the memory file and move to the journal).
  int64_t mf_bytes = 0;
  int mf_records = 0;
  Faults faults;
  LastStatus status;
};

// A new printer as delivered: counters at their start, "Dinheiro" as the
// first payment form, the configured tax rates.
PrinterMemory FreshMemory(const EmulatorConfig& config);

}  // namespace zel::emu
