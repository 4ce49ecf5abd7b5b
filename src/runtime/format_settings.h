// The locale that number and date formatting and parsing use. Always passed
// explicitly; the C/C++ process locale is never consulted.
#pragma once

#include <array>
#include <string>

namespace zel {

struct FormatSettings {
  char decimal_separator = ',';
  char thousand_separator = '.';
  char date_separator = '/';
  char time_separator = ':';
  char list_separator = ';';
  // Date and time patterns in FormatDateTime syntax; '/' and ':' in them stand
  // for date_separator and time_separator.
  std::string short_date_format = "dd/mm/yyyy";
  std::string long_date_format = "dddd, d' de 'mmmm' de 'yyyy";
  std::string short_time_format = "hh:nn";
  std::string long_time_format = "hh:nn:ss";
  std::string time_am_string = "AM";
  std::string time_pm_string = "PM";
  // Windows-1252 texts (octal escapes: \341 is a-acute, \347 c-cedilla).
  std::array<std::string, 12> short_month_names = {"jan", "fev", "mar", "abr", "mai", "jun",
                                                   "jul", "ago", "set", "out", "nov", "dez"};
  std::array<std::string, 12> long_month_names = {"janeiro",  "fevereiro", "mar\347o", "abril",
                                                  "maio",     "junho",     "julho",    "agosto",
                                                  "setembro", "outubro",   "novembro", "dezembro"};
  // Index 0 is Sunday.
  std::array<std::string, 7> short_day_names = {"dom", "seg", "ter", "qua", "qui", "sex", "s\341b"};
  std::array<std::string, 7> long_day_names = {"domingo",      "segunda-feira", "ter\347a-feira",
                                               "quarta-feira", "quinta-feira",  "sexta-feira",
                                               "s\341bado"};
  std::string currency_string = "R$";
  // Placement of the currency symbol (runtime codes): 0 "R$1", 1 "1R$",
  // 2 "R$ 1", 3 "1 R$".
  int currency_format = 2;
  // Negative amounts: 0 "(R$1)", 1 "-R$1", 2 "R$-1", 3 "R$1-", 4 "(1R$)",
  // 5 "-1R$", 6 "1-R$", 7 "1R$-", 8 "-1 R$", 9 "-R$ 1", 10 "1 R$-",
  // 11 "R$ 1-", 12 "R$ -1", 13 "1- R$", 14 "(R$ 1)", 15 "(1 R$)".
  int negative_currency_format = 9;
  int currency_decimals = 2;
  // A two-digit year yy is read as the year ending in yy that lies in
  // [current year - window, current year - window + 99]; in 2026 with 50:
  // 49 -> 2049, 50 -> 2050, 99 -> 1999. 0 reads every yy in the current
  // century.
  int two_digit_year_century_window = 50;
};

// The Brazilian settings: the default for every routine.
const FormatSettings& BrazilianFormatSettings();

}  // namespace zel
