#include "emulator/persistence.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <stdexcept>
#include <vector>

#include "emulator/config.h"

namespace zel::emu {
namespace {

std::string Escape(std::string_view s) {
  std::string out;
  for (char c : s) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || c == '%' || c == '|') {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}

std::string Unescape(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out += s[i];
      continue;
    }
    if (i + 2 >= s.size()) throw std::runtime_error("bad escape");
    out += static_cast<char>(std::stoi(std::string(s.substr(i + 1, 2)), nullptr, 16));
    i += 2;
  }
  return out;
}

class Fields {
 public:
  explicit Fields(std::vector<std::string> f) : f_(std::move(f)) {}
  const std::string& Next() {
    if (i_ >= f_.size()) throw std::runtime_error("missing field");
    return f_[i_++];
  }
  std::string Str() { return Unescape(Next()); }
  long long Int() {
    const std::string& s = Next();
    char* end = nullptr;
    long long v = std::strtoll(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0') throw std::runtime_error("bad number");
    return v;
  }
  double Dbl() {
    const std::string& s = Next();
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    // An overflowing or not-a-number text would be written back as "inf" or
    // "nan", which no longer loads: the file is refused now instead.
    if (s.empty() || *end != '\0' || !std::isfinite(v)) throw std::runtime_error("bad number");
    return v;
  }
  bool Done() const { return i_ == f_.size(); }

 private:
  std::vector<std::string> f_;
  size_t i_ = 0;
};

class Line {
 public:
  explicit Line(std::string key) : text_(std::move(key) + "=") {}
  Line& operator<<(long long v) { return Add(std::to_string(v)); }
  Line& operator<<(int v) { return Add(std::to_string(v)); }
  Line& operator<<(bool v) { return Add(v ? "1" : "0"); }
  Line& operator<<(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return Add(buf);
  }
  Line& operator<<(std::string_view s) { return Add(Escape(s)); }
  Line& operator<<(const std::string& s) { return Add(Escape(s)); }
  Line& operator<<(const char* s) { return Add(Escape(s)); }
  std::string text() const { return text_ + "\n"; }

 private:
  Line& Add(const std::string& s) {
    if (!first_) text_ += '|';
    first_ = false;
    text_ += s;
    return *this;
  }
  std::string text_;
  bool first_ = true;
};

void PutCounters(Line& l, const Counters& c) {
  l << c.coo << c.ccf << c.gnf << c.grg << c.cdc << c.crz << c.cro << c.cfc << c.ncn
    << c.substitutions;
}
Counters GetCounters(Fields& f) {
  Counters c;
  c.coo = f.Int(), c.ccf = f.Int(), c.gnf = f.Int(), c.grg = f.Int(), c.cdc = f.Int();
  c.crz = f.Int(), c.cro = f.Int(), c.cfc = f.Int(), c.ncn = f.Int(), c.substitutions = f.Int();
  return c;
}

void PutDay(Line& l, const DayTotals& d) {
  for (int64_t v : d.tax) l << static_cast<long long>(v);
  l << static_cast<long long>(d.gross) << static_cast<long long>(d.discount_icms)
    << static_cast<long long>(d.discount_iss) << static_cast<long long>(d.surcharge_icms)
    << static_cast<long long>(d.surcharge_iss) << static_cast<long long>(d.cancel_icms)
    << static_cast<long long>(d.cancel_iss);
  for (int64_t v : d.forms) l << static_cast<long long>(v);
  for (int64_t v : d.nonfiscal) l << static_cast<long long>(v);
  for (int v : d.nonfiscal_count) l << v;
  l << static_cast<long long>(d.supply) << static_cast<long long>(d.withdrawal) << d.supply_count
    << d.withdrawal_count << d.first_coo;
}
DayTotals GetDay(Fields& f) {
  DayTotals d;
  for (int64_t& v : d.tax) v = f.Int();
  d.gross = f.Int(), d.discount_icms = f.Int(), d.discount_iss = f.Int();
  d.surcharge_icms = f.Int(), d.surcharge_iss = f.Int(), d.cancel_icms = f.Int();
  d.cancel_iss = f.Int();
  for (int64_t& v : d.forms) v = f.Int();
  for (int64_t& v : d.nonfiscal) v = f.Int();
  for (int& v : d.nonfiscal_count) v = static_cast<int>(f.Int());
  d.supply = f.Int(), d.withdrawal = f.Int(), d.supply_count = static_cast<int>(f.Int());
  d.withdrawal_count = static_cast<int>(f.Int()), d.first_coo = static_cast<int>(f.Int());
  return d;
}

void PutReceipt(std::string& out, const std::string& key, const Receipt& r) {
  Line head(key);
  head << static_cast<int>(r.phase) << r.coo << r.ccf << r.opened_at << r.cpf << r.name << r.address
       << std::string(1, r.adjust_kind ? r.adjust_kind : '-') << static_cast<long long>(r.adjust)
       << r.cancelled;
  for (int64_t v : r.net) head << static_cast<long long>(v);
  out += head.text();
  for (const Item& i : r.items) {
    Line l(key + ".item");
    l << i.number << i.code << i.description << i.tax << i.unit << static_cast<long long>(i.price)
      << static_cast<long long>(i.quantity) << static_cast<long long>(i.gross)
      << static_cast<long long>(i.discount) << static_cast<long long>(i.surcharge) << i.cancelled;
    out += l.text();
  }
  for (const Payment& p : r.payments) {
    Line l(key + ".payment");
    l << p.form << static_cast<long long>(p.amount) << static_cast<long long>(p.linked_used);
    out += l.text();
  }
}
Receipt GetReceiptHead(Fields& f) {
  Receipt r;
  int phase = static_cast<int>(f.Int());
  if (phase < 0 || phase > 3) throw std::runtime_error("bad phase");
  r.phase = static_cast<ReceiptPhase>(phase);
  r.coo = f.Int(), r.ccf = f.Int();
  r.opened_at = f.Dbl();
  r.cpf = f.Str(), r.name = f.Str(), r.address = f.Str();
  std::string k = f.Str();
  r.adjust_kind = k == "-" ? 0 : k.at(0);
  r.adjust = f.Int();
  r.cancelled = f.Int() != 0;
  for (int64_t& v : r.net) v = f.Int();
  return r;
}
Item GetItem(Fields& f) {
  Item i;
  i.number = f.Int();
  i.code = f.Str(), i.description = f.Str(), i.tax = f.Str(), i.unit = f.Str();
  i.price = f.Int(), i.quantity = f.Int(), i.gross = f.Int(), i.discount = f.Int();
  i.surcharge = f.Int(), i.cancelled = f.Int() != 0;
  return i;
}
Payment GetPayment(Fields& f, size_t forms) {
  Payment p;
  p.form = f.Int();
  if (p.form < 0 || p.form >= static_cast<int>(forms)) throw std::runtime_error("bad form");
  p.amount = f.Int(), p.linked_used = f.Int();
  return p;
}

std::vector<std::string> Split(std::string_view s) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (true) {
    size_t bar = s.find('|', pos);
    out.emplace_back(s.substr(pos, bar == std::string_view::npos ? bar : bar - pos));
    if (bar == std::string_view::npos) break;
    pos = bar + 1;
  }
  return out;
}

// The records a memory file must hold exactly once; the others ("form" at
// least once, "totalizer", items, payments, "z", "ini_faults", "pending")
// may repeat or be absent.
constexpr const char* kSingleRecords[] = {"counters", "grand_total", "day",     "fiscal_day",
                                          "open",     "rates",       "receipt", "last",
                                          "flags",    "faults",      "status"};

bool IsSingleRecord(const std::string& key) {
  for (const char* single : kSingleRecords) {
    if (key == single) return true;
  }
  return false;
}

// CRC-32 eight bytes at a time ("slicing by 8"): table k holds the CRC of
// a byte followed by k zero bytes, so eight lookups replace eight rounds.
// A memory with years of reductions is over a megabyte, checksummed at every
// write.
using CrcTables = std::array<std::array<uint32_t, 256>, 8>;
constexpr CrcTables MakeCrcTables() {
  CrcTables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (uint32_t i = 0; i < 256; ++i) {
    for (size_t k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  }
  return t;
}
constexpr CrcTables kCrc = MakeCrcTables();

std::string ChecksumLine(std::string_view covered) {
  char line[32];
  std::snprintf(line, sizeof line, "checksum=%08X\n", MemoryChecksum(covered));
  return line;
}

std::string Header(int version) {
  return std::string(kMemoryMagic) + " " + std::to_string(version) + "\n";
}

}  // namespace

uint32_t MemoryChecksum(std::string_view data) {
  uint32_t c = 0xFFFFFFFFu;
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  size_t n = data.size();
  for (; n >= 8; n -= 8, p += 8) {
    uint32_t low =
        c ^ (uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
    c = kCrc[7][low & 0xFF] ^ kCrc[6][(low >> 8) & 0xFF] ^ kCrc[5][(low >> 16) & 0xFF] ^
        kCrc[4][low >> 24] ^ kCrc[3][p[4]] ^ kCrc[2][p[5]] ^ kCrc[1][p[6]] ^ kCrc[0][p[7]];
  }
  for (; n > 0; --n, ++p) c = kCrc[0][(c ^ *p) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::string SerializeReduction(const ZRecord& z) {
  Line l("z");
  PutCounters(l, z.counters);
  l << static_cast<long long>(z.grand_total);
  PutDay(l, z.totals);
  l << RatesText(z.rates) << z.movement_date << z.made_at;
  std::string text = l.text();
  text.pop_back();
  return text;
}

namespace {
bool ReadReduction(Fields& f, ZRecord* out) {
  ZRecord z;
  z.counters = GetCounters(f);
  z.grand_total = f.Int();
  z.totals = GetDay(f);
  if (!ParseRates(f.Str(), z.rates)) return false;
  z.movement_date = static_cast<int>(f.Int());
  z.made_at = f.Dbl();
  *out = z;
  return true;
}
}  // namespace

bool DeserializeReduction(std::string_view line, ZRecord* z) {
  if (line.substr(0, 2) != "z=") return false;
  try {
    Fields f(Split(line.substr(2)));
    return ReadReduction(f, z) && f.Done();
  } catch (const std::exception&) {
    return false;
  }
}

std::string SerializeMemory(const PrinterMemory& m, FiscalMemoryCache* cache,
                            bool with_reductions) {
  std::string out = Header(kMemoryVersion);
  Line counters("counters");
  PutCounters(counters, m.counters);
  out += counters.text();
  out += (Line("grand_total") << static_cast<long long>(m.grand_total)).text();
  Line day("day");
  PutDay(day, m.day);
  out += day.text();
  out += (Line("fiscal_day") << m.movement_date << m.last_z_date).text();
  out += (Line("open") << static_cast<int>(m.open) << m.last_document_coo << m.last_was_receipt
                       << m.linked_payment)
             .text();
  out += (Line("rates") << RatesText(m.rates)).text();
  for (const PaymentForm& f : m.forms) out += (Line("form") << f.name << f.linked_allowed).text();
  for (int i = 0; i < kMaxTotalizers; ++i) {
    if (!m.totalizers[i].empty()) out += (Line("totalizer") << i + 1 << m.totalizers[i]).text();
  }
  PutReceipt(out, "receipt", m.receipt);
  PutReceipt(out, "last", m.last_receipt);
  out += (Line("flags") << m.daylight_saving << static_cast<long long>(m.clock_adjust_seconds)
                        << m.drawer_open << m.one_line_items << m.pending_description)
             .text();
  // The reductions only grow, so a cache keeps the lines already made.
  if (with_reductions) {
    FiscalMemoryCache local;
    if (cache == nullptr) cache = &local;
    if (cache->count > m.fiscal_memory.size()) *cache = FiscalMemoryCache{};
    for (; cache->count < m.fiscal_memory.size(); ++cache->count) {
      cache->lines += SerializeReduction(m.fiscal_memory[cache->count]) + "\n";
    }
    out += cache->lines;
  }
  out += (Line("faults") << m.faults.power_off << static_cast<int>(m.faults.paper)
                         << static_cast<long long>(m.faults.clock_skew_seconds))
             .text();
  if (!m.faults.armed_from_ini.empty()) {
    out += (Line("ini_faults") << m.faults.armed_from_ini).text();
  }
  for (const PendingFault& p : m.faults.pending) {
    out += (Line("pending") << static_cast<int>(p.kind) << p.entry << p.code << p.countdown).text();
  }
  out += (Line("status") << m.status.ack << m.status.st1_errors << m.status.st2).text();
  // A memory read from a file that predates the journals (-1) is written as
  // such, so that it reads back the same.
  if (m.mfd_bytes >= 0) out += (Line("mfd") << static_cast<long long>(m.mfd_bytes)).text();
  if (m.mf_bytes >= 0) {
    out += (Line("mf") << static_cast<long long>(m.mf_bytes) << m.mf_records).text();
  }
  out += ChecksumLine(out);
  out += "end\n";
  return out;
}

int MemoryFileVersion(std::string_view text) {
  for (int version : {kMemoryVersion, 1}) {
    if (text.substr(0, Header(version).size()) == Header(version)) return version;
  }
  return 0;
}

bool DeserializeMemory(std::string_view text, PrinterMemory* memory, std::string* reason) {
  std::string ignored;
  std::string& why = reason != nullptr ? *reason : ignored;
  const int version = MemoryFileVersion(text);
  if (version == 0) {
    why = text.substr(0, kMemoryMagic.size()) == kMemoryMagic
              ? "a memory file of an unknown version"
              : "not a memory file (no \"" + std::string(kMemoryMagic) + "\" line)";
    return false;
  }
  // The checksum first, so that damage anywhere is reported as such rather
  // than as whatever the damaged record happens to look like.
  if (version >= 2) {
    size_t at = text.rfind("\nchecksum=");
    size_t end = at == std::string_view::npos ? at : text.find('\n', at + 1);
    if (end == std::string_view::npos) {
      why = "no checksum line (the file was cut short or edited by hand)";
      return false;
    }
    if (ChecksumLine(text.substr(0, at + 1)) != text.substr(at + 1, end - at)) {
      why = "checksum mismatch: the file was damaged or edited by hand";
      return false;
    }
  }
  PrinterMemory m;
  m.mfd_bytes = -1;  // a file without the "mfd" record predates the journal
  m.mf_bytes = -1;   // and one without "mf" keeps its reductions in "z" lines
  m.forms.clear();
  std::set<std::string> seen;
  bool checked = false;
  int number = 1;
  std::string key;
  try {
    size_t pos = Header(version).size();
    for (;;) {
      size_t nl = text.find('\n', pos);
      if (nl == std::string_view::npos) {
        why = "cut short: no \"end\" line";
        return false;
      }
      size_t start = pos;
      std::string_view line = text.substr(pos, nl - pos);
      pos = nl + 1;
      ++number;
      if (line == "end") {
        if (pos != text.size()) {
          why = "text after the \"end\" line";
          return false;
        }
        break;
      }
      if (checked) {
        why = "line " + std::to_string(number) + ": records after the checksum";
        return false;
      }
      size_t eq = line.find('=');
      key = std::string(line.substr(0, eq == std::string_view::npos ? line.size() : eq));
      if (eq == std::string_view::npos) {
        why = "line " + std::to_string(number) + ": not a record";
        return false;
      }
      if (version >= 2 && key == "checksum") {
        std::string expected = ChecksumLine(text.substr(0, start));
        if (std::string_view(expected).substr(0, expected.size() - 1) != line) {
          why = "checksum mismatch: the file was damaged or edited by hand";
          return false;
        }
        checked = true;
        continue;
      }
      if (IsSingleRecord(key) && !seen.insert(key).second) {
        why = "line " + std::to_string(number) + ": a second \"" + key + "\" record";
        return false;
      }
      why = "line " + std::to_string(number) + ": malformed \"" + key + "\" record";
      Fields f(Split(line.substr(eq + 1)));
      if (key == "counters") {
        m.counters = GetCounters(f);
      } else if (key == "grand_total") {
        m.grand_total = f.Int();
      } else if (key == "day") {
        m.day = GetDay(f);
      } else if (key == "fiscal_day") {
        m.movement_date = f.Int(), m.last_z_date = f.Int();
      } else if (key == "open") {
        int open = f.Int();
        if (open < 0 || open > 3) return false;
        m.open = static_cast<OpenDocument>(open);
        m.last_document_coo = f.Int(), m.last_was_receipt = f.Int() != 0;
        m.linked_payment = f.Int();
      } else if (key == "rates") {
        if (!ParseRates(f.Str(), m.rates)) return false;
      } else if (key == "form") {
        PaymentForm pf;
        pf.name = f.Str();
        pf.linked_allowed = f.Int() != 0;
        m.forms.push_back(pf);
      } else if (key == "totalizer") {
        long long i = f.Int();
        if (i < 1 || i > kMaxTotalizers) return false;
        m.totalizers[i - 1] = f.Str();
      } else if (key == "receipt" || key == "last") {
        (key == "receipt" ? m.receipt : m.last_receipt) = GetReceiptHead(f);
      } else if (key == "receipt.item" || key == "last.item") {
        (key == "receipt.item" ? m.receipt : m.last_receipt).items.push_back(GetItem(f));
      } else if (key == "receipt.payment" || key == "last.payment") {
        (key == "receipt.payment" ? m.receipt : m.last_receipt)
            .payments.push_back(GetPayment(f, m.forms.size()));
      } else if (key == "flags") {
        m.daylight_saving = f.Int() != 0, m.clock_adjust_seconds = f.Int();
        m.drawer_open = f.Int() != 0, m.one_line_items = f.Int() != 0;
        m.pending_description = f.Str();
      } else if (key == "z") {
        ZRecord z;
        if (!ReadReduction(f, &z)) return false;
        m.fiscal_memory.push_back(z);
      } else if (key == "faults") {
        m.faults.power_off = f.Int() != 0;
        int paper = f.Int();
        if (paper < 0 || paper > 2) return false;
        m.faults.paper = static_cast<PaperLevel>(paper);
        m.faults.clock_skew_seconds = f.Int();
      } else if (key == "ini_faults") {
        m.faults.armed_from_ini = f.Str();
      } else if (key == "pending") {
        PendingFault p;
        int kind = f.Int();
        if (kind < 0 || kind > 2) return false;
        p.kind = static_cast<PendingFault::Kind>(kind);
        p.entry = f.Str(), p.code = f.Int(), p.countdown = f.Int();
        m.faults.pending.push_back(p);
      } else if (key == "status") {
        m.status.ack = f.Int(), m.status.st1_errors = f.Int(), m.status.st2 = f.Int();
      } else if (key == "mfd") {
        m.mfd_bytes = f.Int();
        if (m.mfd_bytes < 0) return false;
      } else if (key == "mf") {
        m.mf_bytes = f.Int();
        m.mf_records = static_cast<int>(f.Int());
        if (m.mf_bytes < 0 || m.mf_records < 0) return false;
      } else {
        why = "line " + std::to_string(number) + ": unknown record \"" + key + "\"";
        return false;
      }
      if (!f.Done()) return false;
    }
  } catch (const std::exception&) {
    return false;
  }
  if (version >= 2 && !checked) {
    why = "no checksum line";
    return false;
  }
  for (const char* single : kSingleRecords) {
    if (seen.count(single) == 0) {
      why = std::string("no \"") + single + "\" record";
      return false;
    }
  }
  if (m.forms.empty()) {
    why = "no \"form\" record";
    return false;
  }
  why.clear();
  *memory = std::move(m);
  return true;
}

}  // namespace zel::emu
