// Numbers as the printer takes and gives them: amounts in cents, quantities
// in thousandths, fixed-width digit fields.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zel::emu {

// A decimal number text with ',' or '.' as decimal separator and at most
// `max_decimals` decimals, scaled by 10^max_decimals ("10,99" -> 1099 with 2,
// "2" -> 2000 with 3). Blanks around are ignored. nullopt for anything else
// (empty, sign, letters, too many decimals, more than 15 digits).
std::optional<int64_t> ParseDecimal(std::string_view text, int max_decimals);

// An amount field: with a decimal separator it is a decimal with at most two
// decimals; digits alone (up to 18) are cents ("00000150" -> 150). nullopt
// otherwise.
std::optional<int64_t> ParseCentsField(std::string_view text);

// `value` as `width` decimal digits, zero-padded on the left; the lowest
// digits are kept when it does not fit; a negative value is written as 0.
std::string Digits(int64_t value, int width);

// Cents as "1.234,56" (thousands grouped) for printing; negative with "-".
std::string Money(int64_t cents);
// Thousandths as "2,000".
std::string Quantity(int64_t milli);

// Blank or empty.
bool IsBlank(std::string_view text);
std::string Trim(std::string_view text);
std::string Upper(std::string_view text);  // ASCII and Latin-1 letters
// Case-insensitive comparison of the trimmed texts.
bool SameName(std::string_view a, std::string_view b);

// a * b / c truncated toward zero, computed without overflowing 64 bits (the
// product of two amounts of the printer's widths does not fit). `c` is not
// zero; a quotient beyond 64 bits is clamped.
int64_t MulDiv(int64_t a, int64_t b, int64_t c);

}  // namespace zel::emu
