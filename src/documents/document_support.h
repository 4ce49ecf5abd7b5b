// What the non-fiscal document operations share beyond the driver's common
// services.
#pragma once

#include <string>

#include "core/driver_support.h"
#include "runtime/format.h"

namespace zel::documents {

// An amount as the printer's money field: 14 digits of cents without a
// separator (12.34 is ten zeros and 1234), built as "000000000000.00" less
// its separator. Meant for amounts from 0 up to below 10^12.
inline std::string MoneyField(double value) {
  std::string text = FormatFloat("000000000000.00", value, core::HostLocale());
  text.erase(12, 1);
  return text;
}

}  // namespace zel::documents
