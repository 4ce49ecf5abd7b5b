// The fiscal-memory readings in their MFD forms and the regulatory files:
// the serial reading ("Retorno.txt" in the Path folder), the MFD download,
// its mirror text and the Ato COTEPE 17/04 file. The download and the files
// leave copies in the host's work folders ("Arquivos Binários\", "Arquivos
// TXT Espelho\", "Arquivos TXT Formatados\" under the host executable's
// folder), as the vendor library does. Layouts: emulator/README.md.
#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "emulator/amounts.h"
#include "emulator/ibmfi32.h"
#include "emulator/mfd.h"
#include "emulator/persistence.h"
#include "emulator/session.h"
#include "emulator/tape.h"
#include "fiscal/ead_key.h"
#include "platform/platform.h"

using zel::emu::Digits;
using zel::emu::Printer;
using zel::emu::Session;

namespace {

namespace platform = zel::platform;

std::string_view T(const char* text) { return text ? std::string_view(text) : std::string_view(); }

template <typename Body>
int32_t Run(const char* entry, Body body) {
  return Session::Instance().Call(entry, [&](Printer& p) { return body(p); });
}

const char* const kBinaryFolder = "Arquivos Bin\xE1rios";
const char* const kMirrorFolder = "Arquivos TXT Espelho";
const char* const kFormattedFolder = "Arquivos TXT Formatados";

// A work folder under the host's folder, made when missing.
std::string WorkFolder(const char* name) {
  platform::Platform& os = platform::Current();
  std::string folder = platform::JoinPath(os.ExecutableDirectory(), name);
  os.MakeDirectory(folder);
  return folder;
}

// "IBM_aaaammdd_hhmmss" at the printer's clock, the stem of the work files.
std::string WorkName(const Printer& p) {
  int y, m, d, h, n, s, ms;
  zel::DecodeDate(p.Now(), y, m, d);
  zel::DecodeTime(p.Now(), h, n, s, ms);
  return zel::emu::Upper(p.config().make).substr(0, 3) + "_" + Digits(y, 4) + Digits(m, 2) +
         Digits(d, 2) + "_" + Digits(h, 2) + Digits(n, 2) + Digits(s, 2);
}

// The time a real printer takes to send `bytes` over its serial line.
void TakeLineTime(const Printer& p, size_t bytes) {
  int bps = p.config().mfd_bits_per_second;
  if (bps <= 0) return;
  int64_t ms = static_cast<int64_t>(bytes) * 10 * 1000 / bps;
  platform::Current().Delay(static_cast<int>(std::min<int64_t>(ms, INT32_MAX)));
}

int SerialReading(Printer& p, bool by_date, const char* start, const char* end, const char* type) {
  std::string text;
  int code = p.FiscalMemoryReading(by_date, T(start), T(end), T(type), &text);
  if (code != zel::emu::kOk) return code;
  std::string file = platform::JoinPath(Session::Instance().ResultPath(), "Retorno.txt");
  if (!platform::Current().WriteFileAtomically(file, text)) return p.NotAvailable();
  return code;
}

// Whether an MFD record lies in the range: type "1" dates (ddmmyy or
// ddmmyyyy), "2" COO numbers.
struct Range {
  bool by_date = true;
  int from = 0, to = 0;
  bool Holds(const zel::emu::MfdRecord& r) const {
    int key = by_date ? r.date : r.coo;
    return key >= from && key <= to;
  }
};

bool ParseRange(std::string_view type, std::string_view start, std::string_view end, Range* range) {
  std::string kind = zel::emu::Trim(type);
  if (kind == "1" || kind == "D") {
    range->by_date = true;
    range->from = Printer::ParseReadingDate(start);
    range->to = Printer::ParseReadingDate(end);
  } else if (kind == "2" || kind == "C") {
    range->by_date = false;
    auto a = zel::emu::ParseDecimal(start, 0);
    auto b = zel::emu::ParseDecimal(end, 0);
    range->from = a && *a <= 999999 ? static_cast<int>(*a) : 0;
    range->to = b && *b <= 999999 ? static_cast<int>(*b) : 0;
  } else {
    return false;
  }
  return range->from > 0 && range->to >= range->from;
}

// ---- Ato COTEPE 17/04 records ----

std::string X(std::string_view text, size_t width) {
  std::string field(text.substr(0, width));
  field.resize(width, ' ');
  return field;
}
std::string N(int64_t value, int width) { return Digits(value < 0 ? 0 : value, width); }
std::string OnlyDigits(std::string_view text) {
  std::string digits;
  for (char c : text) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits;
}
int64_t DigitsValue(std::string_view text) {
  std::string digits = OnlyDigits(text);
  return digits.empty() || digits.size() > 18 ? 0 : std::stoll(digits);
}
std::string Hhmmss(double at) {
  int h, n, s, ms;
  zel::DecodeTime(at, h, n, s, ms);
  return Digits(h, 2) + Digits(n, 2) + Digits(s, 2);
}
std::string Yyyymmdd(double at) {
  int y, m, d;
  zel::DecodeDate(at, y, m, d);
  return Digits(y, 4) + Digits(m, 2) + Digits(d, 2);
}

// The kind of a document other than a fiscal receipt, from the title of its
// opening record: "RG" gerencial report, "CN" non-fiscal receipt (supplies
// and withdrawals among them), "CC" credit or debit slip, "LX" X reading,
// "RZ" Z reduction, "MF" fiscal-memory reading, "NC" cancellation of the
// last receipt; "" for a fiscal receipt or a record that continues a
// document. A document opens with its header (a rule of "=", the shop, a
// rule of "-", the date and counters) and its title is the first line after
// it set between two rules of "-", before any text of the host's, so a
// report's or a footer's own text cannot pass for a title.
std::string DocumentKind(std::string_view text) {
  const std::string header_rule(zel::emu::kTapeColumns, '=');
  const std::string rule(zel::emu::kTapeColumns, '-');
  std::vector<std::string_view> lines;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find("\r\n", at);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  if (lines.empty() || lines[0] != header_rule) return {};
  // The header's shop lines end at its first rule of "-"; the date and
  // counters line follows.
  size_t i = 1;
  while (i < lines.size() && lines[i] != rule) ++i;
  std::string title;
  for (i += 2; i + 1 < lines.size(); ++i) {
    if (lines[i - 1] == rule && lines[i + 1] == rule) {
      title = zel::emu::Trim(lines[i]);
      break;
    }
  }
  static constexpr std::pair<std::string_view, std::string_view> kTitles[] = {
      {"RELAT\xD3RIO GERENCIAL", "RG"},
      {"COMPROVANTE N\xC3O FISCAL", "CN"},
      {"COMPROVANTE CR\xC9"
       "DITO OU D\xC9"
       "BITO",
       "CC"},
      {"LEITURA X", "LX"},
      {"REDU\xC7\xC3O Z", "RZ"},
      {"CUPOM FISCAL CANCELADO", "NC"},
  };
  for (const auto& [name, kind] : kTitles) {
    if (title == name) return std::string(kind);
  }
  // "... COMPLETA" or "... SIMPLIFICADA".
  if (title.rfind("LEITURA DA MEM\xD3RIA FISCAL", 0) == 0) return "MF";
  return {};
}

// What the Ato COTEPE 17/04 file takes from one MFD record: the kind of the
// document it opens (DocumentKind; "" for none) and the document data kept
// with it (E14/E15/E19/E20/E21 lines, "C14" marks).
struct JournalDocument {
  int coo = 0, date = 0, time = 0;
  std::string kind;
  std::string data;
};

std::string CotepeText(const Printer& p, int from, int to,
                       const std::vector<JournalDocument>& documents) {
  const zel::emu::EmulatorConfig& c = p.config();
  const zel::emu::PrinterMemory& m = p.memory();
  std::vector<const zel::emu::ZRecord*> reductions = p.ReductionsBetween(from, to);
  const std::string id = X(c.serial, 20) + " " + X(c.model, 20);
  const std::string user = N(m.counters.substitutions, 2);
  const std::string installed =
      std::string(zel::emu::kSoftwareDate) + std::string(zel::emu::kSoftwareTime);
  std::string out;
  auto record = [&](const std::string& line) { out += line + "\r\n"; };
  int first_crz = reductions.empty() ? 0 : reductions.front()->counters.crz;
  int last_crz = reductions.empty() ? 0 : reductions.back()->counters.crz;
  record("E01" + X(c.serial, 20) + " " + X(c.type, 7) + X(c.make, 20) + X(c.model, 20) +
         X(c.firmware, 10) + installed + N(c.ecf_number, 3) + N(DigitsValue(c.cnpj), 14) + "TDM" +
         N(first_crz, 6) + N(last_crz, 6) + N(from, 8) + N(to, 8) + X("01.00.00", 8) +
         X("01.00.00", 15));
  record("E02" + id + N(DigitsValue(c.cnpj), 14) + X(OnlyDigits(c.ie), 14) +
         X(c.header.empty() ? "" : c.header[0], 40) +
         X(c.header.size() > 1 ? c.header[1] : "", 120) + installed + N(m.counters.cro, 6) +
         N(m.grand_total, 18) + user);
  // What the printer holds since it was initialised: no service provider
  // (E03), previous user (E04), GT coding (E05) or detail tape (E10); one
  // currency symbol, the one it prints (E06); one basic software, its
  // firmware (E07); one MFD, whose serial is the printer's own, as
  // IBM_FI_NumeroSerieMFD answers (E08); and the intervention that
  // initialised it, CRO 1, without loss of data (E09). Its CRO never grows.
  record("E06" + id + N(DigitsValue(c.cnpj), 14) + X("R$", 4) + installed);
  record("E07" + id + X(c.firmware, 10) + installed);
  record("E08" + id + X(c.serial, 20) + installed);
  if (m.counters.cro >= 1) record("E09" + id + N(1, 6) + installed + "N");
  // The current counters and grand total.
  const zel::emu::Counters& k = m.counters;
  record("E11" + id + user + N(k.cro, 6) + N(k.crz, 6) + N(k.coo, 6) + N(k.gnf, 6) + N(k.ccf, 6) +
         N(k.cfc, 6) + N(k.grg, 6) + N(k.cdc, 6) + N(k.ncn, 6) + N(m.grand_total, 18));
  for (const zel::emu::ZRecord* z : reductions) {
    record("E12" + id + user + N(z->counters.crz, 6) + N(z->counters.coo, 6) +
           N(z->counters.cro, 6) + N(z->movement_date, 8) + Yyyymmdd(z->made_at) +
           Hhmmss(z->made_at) + N(z->totals.gross, 14) + "N");
  }
  // Each reduction's partial totalizers (E13), in ascending order of the
  // totalizer field within the reduction, as the file's sort keys require.
  for (const zel::emu::ZRecord* z : reductions) {
    std::vector<std::pair<std::string, int64_t>> partials;
    auto partial = [&](const std::string& code, int64_t value) {
      partials.emplace_back(X(code, 7), value);
    };
    for (int i = 0; i < 16; ++i) {
      if (z->rates[i].basis_points == 0) continue;
      partial(
          Digits(i + 1, 2) + (z->rates[i].iss ? "S" : "T") + Digits(z->rates[i].basis_points, 4),
          z->totals.tax[i]);
    }
    partial("I1", z->totals.tax[zel::emu::kExempt]);
    partial("N1", z->totals.tax[zel::emu::kNonIncidence]);
    partial("F1", z->totals.tax[zel::emu::kSubstitution]);
    partial("Can-T", z->totals.cancel_icms);
    partial("Can-S", z->totals.cancel_iss);
    partial("DT", z->totals.discount_icms);
    partial("DS", z->totals.discount_iss);
    partial("AT", z->totals.surcharge_icms);
    partial("AS", z->totals.surcharge_iss);
    std::sort(partials.begin(), partials.end());
    for (const auto& [code, value] : partials) {
      record("E13" + id + user + N(z->counters.crz, 6) + code + N(value, 13));
    }
  }
  // The documents' data kept on the MFD, by record type, in the order the
  // journal holds them (ascending COO); a receipt cancelled after it closed
  // is marked in its E14.
  std::vector<std::string> e14, e15, e19, e20, e21;
  std::set<std::string> cancelled;
  for (const JournalDocument& r : documents) {
    if (r.date < from || r.date > to) continue;
    for (size_t at = 0; at < r.data.size();) {
      size_t end = r.data.find("\r\n", at);
      if (end == std::string::npos) break;
      std::string line = r.data.substr(at, end - at);
      at = end + 2;
      if (line.size() < 9) continue;
      std::string kind = line.substr(0, 3);
      if (kind == "C14") cancelled.insert(line.substr(3, 6));
      if (kind == "E14") e14.push_back(line);
      if (kind == "E15") e15.push_back(line);
      if (kind == "E19") e19.push_back(line);
      if (kind == "E20") e20.push_back(line);
      if (kind == "E21") e21.push_back(line);
    }
  }
  auto identified = [&](const std::string& line) {
    record(line.substr(0, 3) + id + user + line.substr(3));
  };
  constexpr size_t kE14CancelFlag = 3 + 6 + 6 + 8 + 14 + 13 + 1 + 13 + 1 + 14;
  for (std::string& line : e14) {
    if (line.size() > kE14CancelFlag && cancelled.count(line.substr(3, 6)) != 0) {
      line[kE14CancelFlag] = 'S';
    }
    identified(line);
  }
  for (const std::string& line : e15) identified(line);
  // The documents other than fiscal receipts (E16), by COO.
  std::set<int> seen;
  for (const JournalDocument& r : documents) {
    if (r.kind.empty() || r.date < from || r.date > to || !seen.insert(r.coo).second) continue;
    record("E16" + id + user + N(r.coo, 6) + X(r.kind, 2) + N(r.date, 8) + N(r.time, 6));
  }
  // Each reduction's non-fiscal totalizers (E17): withdrawals, supplies and
  // the named totalizers; and its payment means (E18).
  for (const zel::emu::ZRecord* z : reductions) {
    auto nonfiscal = [&](const std::string& name, int count, int64_t value) {
      record("E17" + id + user + N(z->counters.crz, 6) + X(name, 15) + N(count, 4) + N(value, 13));
    };
    nonfiscal("Sangria", z->totals.withdrawal_count, z->totals.withdrawal);
    nonfiscal("Suprimento", z->totals.supply_count, z->totals.supply);
    for (int i = 0; i < zel::emu::kMaxTotalizers; ++i) {
      if (m.totalizers[i].empty()) continue;
      nonfiscal(m.totalizers[i], z->totals.nonfiscal_count[i], z->totals.nonfiscal[i]);
    }
  }
  for (const zel::emu::ZRecord* z : reductions) {
    for (size_t i = 0; i < m.forms.size() && i < z->totals.forms.size(); ++i) {
      record("E18" + id + user + N(z->counters.crz, 6) + X(m.forms[i].name, 15) +
             N(z->totals.forms[i], 13));
    }
  }
  // The non-fiscal receipts (E19), their totalizers (E20), and the payments
  // of fiscal and non-fiscal receipts (E21).
  for (const std::string& line : e19) identified(line);
  for (const std::string& line : e20) identified(line);
  for (const std::string& line : e21) identified(line);
  return out;
}

// Ends the text file `path` with its EAD line ("EAD", 256 hexadecimal digits,
// CR LF), the signature the maker's library puts on the Ato COTEPE 17/04
// files it makes: the signing library's ("sign_bema.dll") generateEAD, with
// the key pair the project provides (fiscal/ead_key.h; its public half is
// signer/ead-public.pem), so the files check against that modulus and 10001.
// False when the library or its entry point is missing or the signature
// fails; the file is then left as it was.
bool AppendEadLine(const std::string& path) {
  // The signing library's entry points use the calling convention of the
  // vendor's libraries, as this library's do.
  using GenerateEad =
      int32_t(IBMFI32_CALL*)(const char* file, const char* modulus, const char* private_exponent,
                             char* signature, int32_t append);
  platform::Platform& os = platform::Current();
  platform::LibraryHandle signer = os.OpenLibrary("sign_bema.dll");
  if (signer == nullptr) return false;
  auto generate = reinterpret_cast<GenerateEad>(os.LibrarySymbol(signer, "generateEAD"));
  const bool done =
      generate != nullptr && generate(path.c_str(), zel::fiscal::kEadModulus,
                                      zel::fiscal::kEadPrivateExponent, nullptr, 1) == 1;
  os.CloseLibrary(signer);
  return done;
}

}  // namespace

int32_t IBM_FI_LeituraMemoriaFiscalDataMFD(const char* start, const char* end, const char* type) {
  return Run("IBM_FI_LeituraMemoriaFiscalDataMFD",
             [&](Printer& p) { return p.FiscalMemoryReading(true, T(start), T(end), T(type)); });
}

int32_t IBM_FI_LeituraMemoriaFiscalReducaoMFD(const char* start, const char* end,
                                              const char* type) {
  return Run("IBM_FI_LeituraMemoriaFiscalReducaoMFD",
             [&](Printer& p) { return p.FiscalMemoryReading(false, T(start), T(end), T(type)); });
}

int32_t IBM_FI_LeituraMemoriaFiscalSerialDataMFD(const char* start, const char* end,
                                                 const char* type) {
  return Run("IBM_FI_LeituraMemoriaFiscalSerialDataMFD",
             [&](Printer& p) { return SerialReading(p, true, start, end, type); });
}

int32_t IBM_FI_LeituraMemoriaFiscalSerialReducaoMFD(const char* start, const char* end,
                                                    const char* type) {
  return Run("IBM_FI_LeituraMemoriaFiscalSerialReducaoMFD",
             [&](Printer& p) { return SerialReading(p, false, start, end, type); });
}

int32_t IBM_FI_DownloadMFD(const char* file, const char* range_kind, const char* start,
                           const char* end, const char* /*user*/) {
  return Run("IBM_FI_DownloadMFD", [&](Printer& p) {
    Range range;
    if (T(file).empty() || !ParseRange(T(range_kind), T(start), T(end), &range)) {
      return p.InvalidArgument();
    }
    zel::emu::MfdDump dump;
    dump.serial = p.config().serial;
    dump.range_type = range.by_date ? "1" : "2";
    dump.start = std::to_string(range.from);
    dump.end = std::to_string(range.to);
    if (!Session::Instance().ReadMfd([&](const zel::emu::MfdRecord& r) {
          if (range.Holds(r)) dump.records.push_back(r);
        })) {
      return p.NotAvailable();
    }
    std::string bytes = zel::emu::MakeMfdDump(dump);
    TakeLineTime(p, bytes.size());
    platform::Platform& os = platform::Current();
    std::string copy = platform::JoinPath(WorkFolder(kBinaryFolder), WorkName(p) + ".MFD");
    if (!os.WriteFileAtomically(file, bytes) || !os.WriteFileAtomically(copy, bytes)) {
      return p.NotAvailable();
    }
    return p.Query();
  });
}

int32_t IBM_FI_FormatoDadosMFD(const char* source, const char* target, const char* /*format*/,
                               const char* /*range_kind*/, const char* /*start*/,
                               const char* /*end*/, const char* /*user*/) {
  return Run("IBM_FI_FormatoDadosMFD", [&](Printer& p) {
    if (T(source).empty() || T(target).empty()) return p.InvalidArgument();
    platform::Platform& os = platform::Current();
    std::string bytes;
    zel::emu::MfdDump dump;
    std::string why;
    if (!os.ReadWholeFile(std::string(T(source)), &bytes) || !ParseMfdDump(bytes, &dump, &why)) {
      return p.InvalidArgument();
    }
    std::string text = zel::emu::MfdMirrorText(dump);
    std::string copy = platform::JoinPath(WorkFolder(kMirrorFolder), WorkName(p) + ".TXT");
    if (!os.WriteFileAtomically(std::string(T(target)), text) ||
        !os.WriteFileAtomically(copy, text)) {
      return p.NotAvailable();
    }
    return p.Query();
  });
}

namespace {

// The fiscal memory's download of the reductions `keep` selects, as the
// fiscal-memory journal holds them.
template <typename Keep>
std::string FiscalMemoryDump(const Printer& p, const std::string& range_type, int from, int to,
                             Keep keep) {
  zel::emu::MfdDump dump;
  dump.serial = p.config().serial;
  dump.range_type = range_type;
  dump.start = std::to_string(from);
  dump.end = std::to_string(to);
  for (const zel::emu::ZRecord& z : p.memory().fiscal_memory) {
    if (!keep(z)) continue;
    zel::emu::MfdRecord record;
    record.coo = z.counters.crz;
    record.date = z.movement_date;
    record.text = zel::emu::SerializeReduction(z);
    dump.records.push_back(std::move(record));
  }
  return zel::emu::MakeMfDump(dump);
}

}  // namespace

int32_t IBM_FI_DownloadMF(const char* file) {
  return Run("IBM_FI_DownloadMF", [&](Printer& p) {
    if (T(file).empty()) return p.InvalidArgument();
    const auto& reductions = p.memory().fiscal_memory;
    const int last = reductions.empty() ? 0 : reductions.back().counters.crz;
    std::string bytes = FiscalMemoryDump(p, "2", reductions.empty() ? 0 : 1, last,
                                         [](const zel::emu::ZRecord&) { return true; });
    TakeLineTime(p, bytes.size());
    if (!platform::Current().WriteFileAtomically(std::string(T(file)), bytes)) {
      return p.NotAvailable();
    }
    return p.Query();
  });
}

int32_t IBM_FI_GeraAtoCotepe1704(const char* range_kind, const char* start, const char* end,
                                 char* /*answer512*/) {
  return Run("IBM_FI_GeraAtoCotepe1704", [&](Printer& p) {
    std::string kind = zel::emu::Trim(T(range_kind));
    int from = Printer::ParseReadingDate(T(start));
    int to = Printer::ParseReadingDate(T(end));
    if ((kind != "1" && kind != "2") || from <= 0 || to < from) return p.InvalidArgument();
    std::vector<JournalDocument> documents;
    if (!Session::Instance().ReadMfd([&](const zel::emu::MfdRecord& r) {
          JournalDocument d{r.coo, r.date, r.time, DocumentKind(r.text), r.data};
          if (!d.kind.empty() || !d.data.empty()) documents.push_back(std::move(d));
        })) {
      return p.NotAvailable();
    }
    std::string text = CotepeText(p, from, to, documents);
    TakeLineTime(p, text.size());
    platform::Platform& os = platform::Current();
    const std::string stem = WorkName(p);
    std::string formatted = platform::JoinPath(WorkFolder(kFormattedFolder), "MF" + stem + ".TXT");
    // The binary companion: the fiscal memory's download of the reductions
    // of the range.
    std::string binary = platform::JoinPath(WorkFolder(kBinaryFolder), stem + ".MF");
    const std::string dump = FiscalMemoryDump(p, "1", from, to, [&](const zel::emu::ZRecord& z) {
      return z.movement_date >= from && z.movement_date <= to;
    });
    if (!os.WriteFileAtomically(formatted, text)) return p.NotAvailable();
    // The file ends with its EAD line; one that cannot be signed is not left
    // behind unsigned.
    if (!AppendEadLine(formatted)) {
      os.RemoveFile(formatted);
      return p.NotAvailable();
    }
    if (!os.WriteFileAtomically(binary, dump)) return p.NotAvailable();
    return p.Query();
  });
}
