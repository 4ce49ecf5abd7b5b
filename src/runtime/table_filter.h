// Filter expressions of the client dataset (MemTable::SetFilter), compiled
// against a table's field definitions.
//
// Grammar (keywords in any case):
//   expr       := term { OR term }
//   term       := factor { AND factor }
//   factor     := NOT factor | "(" expr ")" | operand IS [NOT] NULL
//               | operand op operand
//   op         := "=" | "<>" | "!=" | "<" | ">" | "<=" | ">="
//   operand    := field | [field name] | 'text' ('' inside for ') | number
//               | -number | TRUE | FALSE
// Comparison rules are MemTable's (memtable.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "runtime/field.h"
#include "runtime/format_settings.h"

namespace zel {

class RecordLayout;

class FilterExpression {
 public:
  virtual ~FilterExpression() = default;

  // Parses and binds `text`. DatasetError for a malformed expression, an
  // unknown field ("Field 'X' not found"), a literal that cannot be
  // compared with its field, or parentheses and NOT nested deeper than 256
  // levels. Field names are matched without regard to case.
  static std::shared_ptr<FilterExpression> Compile(
      std::string_view text, const std::vector<FieldDef>& fields, bool case_insensitive,
      const FormatSettings& fs = BrazilianFormatSettings());

  // True when the record passes. Never throws.
  virtual bool Matches(const RecordLayout& layout, const uint8_t* record) const = 0;
};

// Helpers shared with MemTable's index and Locate comparisons.
// Windows-1252 upper case of one byte (accented letters included).
unsigned char UpperCase1252(unsigned char c);
// Compares texts byte by byte (optionally ignoring case): <0, 0, >0.
int CompareText(std::string_view a, std::string_view b, bool case_insensitive);
// Field names compare without regard to case.
bool SameName(std::string_view a, std::string_view b);

}  // namespace zel
