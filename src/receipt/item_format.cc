#include "receipt/item_format.h"

#include "hostutil/numeric.h"
#include "runtime/format.h"

namespace zel::receipt {

std::string FormatItemPrice(double price, const FormatSettings& fs) {
  return FormatFloat("#0.00", Trunc2(price), fs);
}

std::string FormatItemQuantity(double quantity, const FormatSettings& fs) {
  return FormatFloat("#0.000", quantity, fs);
}

std::optional<std::string> FormatItemAdjustment(double amount, const FormatSettings& fs) {
  if (!(amount > 0)) return std::string("0000");
  const double truncated = Trunc2(amount);
  if (truncated > kMaxItemAdjustment) return std::nullopt;
  // "000000.00" always puts the decimal separator at the seventh character
  // for amounts below one million; dropping it leaves the cents.
  std::string text = FormatFloat("000000.00", truncated, fs);
  text.erase(6, 1);
  return text;
}

}  // namespace zel::receipt
