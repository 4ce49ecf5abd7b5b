// The positional parameters of the receipt closing (FechaCupom), read into
// named values. Index numbers of the host's array are given beside each
// member; indices the closing does not use are not read.
#pragma once

#include <string>
#include <vector>

#include "runtime/format_settings.h"
#include "runtime/variant.h"

namespace zel::receipt {

// Number of values the host passes to the closing.
inline constexpr int kClosingParamCount = 55;

struct ClosingParams {
  std::string promo_message;      // 1
  std::string colour_scheme;      // 2
  bool register_change = false;   // 4
  bool show_dialogs = false;      // 5: third argument of every return analysis
  double discount = 0;            // 6
  double change = 0;              // 7
  double surcharge = 0;           // 8
  std::string card_use;           // 9: "S" or "T" when card transactions take part
  std::string extra_line;         // 10
  bool card_slips = false;        // 11
  HostVariant movements;          // 13: table data for cdsMovCaixa
  HostVariant payment_types;      // 14: table data for cdsRecebAux
  std::string client_code;        // 15
  std::string client_name;        // 16
  std::string consumer_code;      // 17
  std::string consumer_name;      // 18
  std::string consumer_document;  // 19
  std::string document_flag;      // 20: tested for emptiness only
  std::string table_number;       // 21
  std::string operator_code;      // 22
  std::string operator_name;      // 23
  std::string balance_mode;       // 27: "0", "1" or "2"
  std::string conference_coo;     // 28
  std::string conference_cer;     // 29
  std::string order_password;     // 31
  HostVariant credit_balances;    // 32: table data for cdsSaldCred
  HostVariant family_balances;    // 33: table data for cdsFamiliaSaldo
  HostVariant loans;              // 34: table data for cdsEmprestimo
  std::string family_footer;      // 35: "2" selects the family footer with total
  std::string balance_kind;       // 36: "1" or "2"
  double balance_before = 0;      // 37
  double subsidy = 0;             // 38
  std::string centred_line;       // 39
  std::string print_card_slips;   // 40: "S"
  std::string echo;               // 42: returned unchanged
  std::string state;              // 43: UF of the establishment
  std::string cnpj;               // 44
  std::string limit_mode;         // 46: "D", "M", "T", "E" or "N"
  std::string daily_limit;        // 47
  std::string monthly_limit;      // 48
  HostVariant consumption;        // 49: table data for cdsVrSaldConsumi
  double icms = 0;                // 50
  double approximate_taxes = 0;   // 51
  double dotz_points = 0;         // 52
  double excess_balance = 0;      // 53
  double dotz_extra_points = 0;   // 54
};

// Reads the used indices of `values` in ascending order. A conversion
// failure (a text where a number is expected, ...) ends the reading silently:
// the values read so far are kept and the rest stay empty or zero. An index
// beyond the end of a shorter array reads as an empty value, as a key
// missing from a bundle does.
ClosingParams ReadClosingParams(const std::vector<HostVariant>& values, const FormatSettings& fs);

// The conference number (index 28) padded with zeros to six characters and,
// when it is present, the conference counter (index 29) rewritten as an
// integer padded the same way. Raises ConvertError when index 28 is present
// and index 29 is not an integer.
void AdjustConferenceNumbers(ClosingParams& params);

}  // namespace zel::receipt
