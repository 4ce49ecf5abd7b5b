#include "emulator/layouts.h"

#include "emulator/amounts.h"
#include "runtime/datetime.h"

namespace zel::emu {
namespace {

// A record of `width` blanks written at 1-based positions.
class Record {
 public:
  explicit Record(size_t width) : text_(width, ' ') {}
  // Writes `value` at `position` and a separator right after it.
  void Field(size_t position, const std::string& value, bool separator = true) {
    text_.replace(position - 1, value.size(), value);
    size_t sep = position - 1 + value.size();
    if (separator && sep < text_.size()) text_[sep] = ',';
  }
  std::string text() const { return text_; }

 private:
  std::string text_;
};

std::string Padded(const std::string& s, size_t width) {
  std::string t = s.substr(0, width);
  return t + std::string(width - t.size(), ' ');
}

int LastNamedTotalizer(const PrinterMemory& m) {
  int last = 0;
  for (int i = 0; i < kMaxTotalizers; ++i) {
    if (!m.totalizers[i].empty()) last = i + 1;
  }
  return last;
}

std::string DdMmYy(int yyyymmdd) {
  return Digits(yyyymmdd % 100, 2) + Digits(yyyymmdd / 100 % 100, 2) +
         Digits(yyyymmdd / 10000 % 100, 2);
}

}  // namespace

std::string RatesRecord(const TaxRates& rates) {
  std::string s;
  for (size_t i = 0; i < rates.size(); ++i) {
    if (i > 0) s += ',';
    s += Digits(rates[i].basis_points, 4);
  }
  return s;
}

std::string IssRatesRecord(const TaxRates& rates) {
  std::string s;
  for (const TaxRate& r : rates) {
    if (r.iss && r.basis_points > 0) s += Digits(r.basis_points, 4) + ",";
  }
  return Padded(s, 79);
}

std::string TotalizerNamesRecord(const PrinterMemory& m) {
  std::string s;
  int last = LastNamedTotalizer(m);
  for (int i = 0; i < last && s.size() < 179; ++i) s += Padded(m.totalizers[i], 19) + ",";
  if (s.size() < 179) s += '\0';
  return Padded(s, 179);
}

std::string PaymentFormsRecord(const PrinterMemory& m) {
  std::string s;
  for (size_t i = 0; i < m.forms.size(); ++i) {
    int64_t last = 0;
    for (const Payment& p : m.last_receipt.payments) {
      if (p.form == static_cast<int>(i)) last += p.amount;
    }
    s += Padded(m.forms[i].name, 16) + Digits(m.day.forms[i], 20) + Digits(last, 20) +
         (m.forms[i].linked_allowed ? "1" : "0") + ",";
  }
  return Padded(s, 3016);
}

std::string PartialTotalsRecord(const PrinterMemory& m) {
  const DayTotals& d = m.day;
  Record r(445);
  std::string partials;
  for (int p = 0; p < 16; ++p) partials += Digits(d.tax[p], 14);
  r.Field(1, partials);
  r.Field(226, Digits(d.tax[kExempt], 14));
  r.Field(241, Digits(d.tax[kNonIncidence], 14));
  r.Field(256, Digits(d.tax[kSubstitution], 14));
  r.Field(271, Digits(0, 14));  // ISS exempt, non-incidence, substitution
  r.Field(286, Digits(0, 14));
  r.Field(301, Digits(0, 14));
  r.Field(316, Digits(d.discount_icms, 14));
  r.Field(331, Digits(d.discount_iss, 14));
  r.Field(346, Digits(d.surcharge_icms, 14));
  r.Field(361, Digits(d.surcharge_iss, 14));
  r.Field(376, Digits(d.cancel_icms, 14));
  r.Field(391, Digits(d.cancel_iss, 14));
  int64_t nonfiscal = d.supply;
  for (int64_t v : d.nonfiscal) nonfiscal += v;
  r.Field(406, Digits(nonfiscal, 14));
  r.Field(421, Digits(d.withdrawal, 14));
  return r.text();
}

std::string NonFiscalRecord(const PrinterMemory& m) {
  std::string s;
  int last = LastNamedTotalizer(m);
  for (int i = 0; i < last; ++i) {
    if (m.totalizers[i].empty()) {
      s += std::string(44, ' ');
      continue;
    }
    s += Digits(m.day.nonfiscal_count[i], 4) + Digits(m.day.nonfiscal[i], 20) +
         Padded(m.totalizers[i], 19) + ",";
  }
  return Padded(s, 2200);
}

std::string LastReductionRecord(const PrinterMemory& m) {
  ZRecord z;
  z.counters = Counters{0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  if (!m.fiscal_memory.empty()) z = m.fiscal_memory.back();
  const Counters& c = z.counters;
  const DayTotals& d = z.totals;
  Record r(1278);
  r.Field(1, Digits(c.substitutions, 2));
  r.Field(4, Digits(c.cro, 4));
  r.Field(9, Digits(c.crz, 4));
  r.Field(14, Digits(c.coo, 6));
  r.Field(21, Digits(c.gnf, 6));
  r.Field(28, Digits(c.ccf, 6));
  r.Field(35, Digits(c.grg, 6));
  r.Field(42, Digits(c.cdc, 6));
  r.Field(49, Digits(c.ncn, 4));
  r.Field(54, Digits(c.cfc, 4));
  r.Field(59, Digits(c.substitutions, 4));
  std::string types;
  for (size_t i = 0; i < z.rates.size(); ++i) {
    r.Field(64 + 5 * i, Digits(z.rates[i].basis_points, 4));
    types += z.rates[i].basis_points == 0 ? ' ' : (z.rates[i].iss ? 'S' : 'T');
  }
  r.Field(144, types);
  r.Field(161, Digits(d.supply, 14));
  r.Field(176, Digits(d.withdrawal, 14));
  r.Field(191, Digits(d.gross, 18));
  r.Field(210, Digits(d.first_coo, 6));
  int y = 0, mo = 0, dd = 0, h = 0, mi = 0, s = 0, ms = 0;
  if (!m.fiscal_memory.empty()) DecodeDateTime(z.made_at, y, mo, dd, h, mi, s, ms);
  r.Field(217, Digits(dd, 2) + Digits(mo, 2) + Digits(y % 100, 2));
  r.Field(224, Digits(h, 2) + Digits(mi, 2) + Digits(s, 2));
  int64_t nonfiscal = d.supply;
  for (int64_t v : d.nonfiscal) nonfiscal += v;
  r.Field(231, Digits(nonfiscal, 14));
  r.Field(316, Digits(z.grand_total, 18));
  std::string partials;
  for (int p = 0; p < 16; ++p) partials += Digits(d.tax[p], 14);
  r.Field(335, partials);
  r.Field(560, Digits(d.tax[kExempt], 14));
  r.Field(575, Digits(d.tax[kNonIncidence], 14));
  r.Field(590, Digits(d.tax[kSubstitution], 14));
  r.Field(605, Digits(0, 14));
  r.Field(620, Digits(0, 14));
  r.Field(635, Digits(0, 14));
  r.Field(650, Digits(d.discount_icms, 14));
  r.Field(665, Digits(d.discount_iss, 14));
  r.Field(680, Digits(d.surcharge_icms, 14));
  r.Field(695, Digits(d.surcharge_iss, 14));
  r.Field(710, Digits(d.cancel_icms, 14));
  r.Field(725, Digits(d.cancel_iss, 14));
  std::string totalizers;
  for (int64_t v : d.nonfiscal) totalizers += Digits(v, 14);
  r.Field(740, totalizers);
  r.Field(1272, ",", false);
  r.Field(1273, m.fiscal_memory.empty() ? "000000" : DdMmYy(z.movement_date), false);
  return r.text();
}

}  // namespace zel::emu
