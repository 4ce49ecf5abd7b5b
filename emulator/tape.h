// The paper tape: one printed document laid out on 48 columns the way a
// fiscal printer prints it (shop header, document line with date, time and
// counters, title, body, identification trailer). Lines are built from
// Windows-1252 text and handed out as UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "emulator/config.h"
#include "runtime/datetime.h"

namespace zel::emu {

inline constexpr int kTapeColumns = 48;

class TapeDocument {
 public:
  explicit TapeDocument(const EmulatorConfig& config) : config_(config) {}

  // Shop name and address lines centred, CNPJ/IE/IM, a rule, then
  // "dd/mm/yyyy hh:nn:ss" with `counters` (e.g. "CCF:000001 COO:000002") at
  // the right.
  void Header(TDateTime now, std::string_view counters);
  void Title(std::string_view title);  // centred, between rules
  // Text as sent: split at line feeds (CR LF or LF), each line wrapped at 48.
  void Text(std::string_view text);
  void Line(std::string_view line) { Text(line); }
  // `left` and `right` on one line, right-aligned; wrapped when too long.
  void LeftRight(std::string_view left, std::string_view right);
  void Centered(std::string_view text);
  void Rule(char c = '-');
  // Make, model and type, serial and firmware, ECF number and the printer's
  // date and time, closed with "BR" as fiscal printers do.
  void Trailer(TDateTime now, int coo);

  const std::vector<std::string>& lines() const { return lines_; }
  // The lines as UTF-8, each ending in "\n"; a finished document is
  // followed by a blank line.
  std::string Utf8(bool end_of_document = true) const;

 private:
  const EmulatorConfig& config_;
  std::vector<std::string> lines_;  // Windows-1252
};

// "dd/mm/yyyy hh:nn:ss".
std::string TapeDateTime(TDateTime t);

}  // namespace zel::emu
