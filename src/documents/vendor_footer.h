// The closing line of the listings that carry the driver vendor's contact.
#pragma once

namespace zel::documents {

// Printed without a line feed, as the last line of the report.
inline constexpr const char* kVendorFooter =
    "Zel Sistemas - (11) 4000-1900 - www.zelsistemas.com.br";

}  // namespace zel::documents
