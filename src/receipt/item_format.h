// Argument texts of the item sale and the receipt opening, as the vendor
// library takes them. Pure: every routine depends only on its arguments.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/driver_support.h"
#include "runtime/format_settings.h"

namespace zel::receipt {

using core::Cut;
using core::TextArg;

// Unit price: truncated (not rounded) to two decimals, then "#0.00" with the
// locale's decimal separator ("10,99" for 10.999).
std::string FormatItemPrice(double price, const FormatSettings& fs);

// Quantity: "#0.000", rounded by the formatting ("1,235" for 1.2346).
std::string FormatItemQuantity(double quantity, const FormatSettings& fs);

// Largest item discount or surcharge the printer's eight-digit field holds.
inline constexpr double kMaxItemAdjustment = 999999.99;

// Item discount or surcharge as the printer takes it: the amount truncated to
// two decimals, in cents, as exactly eight digits without separator (1.50
// gives "00000150"); "0000" when the amount is zero or less. nullopt when the
// truncated amount is one million or more: it does not fit the field and
// must not be sent.
std::optional<std::string> FormatItemAdjustment(double amount, const FormatSettings& fs);

}  // namespace zel::receipt
