// The closing line of the listings that carry the driver vendor's contact.
#pragma once

#include "core/message_tables.h"

namespace zel::documents {

// Printed without a line feed, as the last line of the report: the same
// vendor line as the receipt footer's.
inline constexpr std::string_view kVendorFooter = core::kVendorLine;

}  // namespace zel::documents
