// Small text routines of the configuration loads.
#pragma once

#include <string>
#include <string_view>

namespace zel::config {

// The text without the blanks and control characters around it.
std::string Trim(std::string_view text);
// Windows-1252 upper case (accented letters included).
std::string Upper(std::string_view text);
// A printer index as two digits with a leading zero ("01".."99").
std::string TwoDigits(int index);

}  // namespace zel::config
