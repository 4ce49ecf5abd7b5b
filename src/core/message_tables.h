// The driver's operator texts: the entries of the two keyed message tables
// (msgPadrao and msgPadrao2 of the data module), in their stored order, and
// the vendor line printed at the foot of several documents.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zel {
class TMessages;
}  // namespace zel

namespace zel::core {

using MessageEntries = std::vector<std::pair<std::string, std::string>>;

// The 222 entries of msgPadrao, key and Windows-1252 text, in stored order
// (some keys repeat, as the table always had them).
const MessageEntries& PadraoMessageEntries();
// The 39 entries of msgPadrao2.
const MessageEntries& Padrao2MessageEntries();

// The system developer's line: company, telephone and web address. It is
// printed as one line of a 46-column document, so it stays within 46
// characters.
inline constexpr std::string_view kVendorCompany = "Zelvora Sistemas";
inline constexpr std::string_view kVendorPhone = "(11) 4002-1900";
inline constexpr std::string_view kVendorWeb = "zelvora.com.br";
inline constexpr std::string_view kVendorLine = "Zelvora Sistemas (11) 4002-1900 zelvora.com.br";
static_assert(kVendorLine.size() <= 46);

// The text of `key` in msgPadrao / msgPadrao2: from the data module's table
// when the data module exists, otherwise from the stored entries above.
std::string MsgPadrao(std::string_view key);
std::string MsgPadrao2(std::string_view key);

}  // namespace zel::core
