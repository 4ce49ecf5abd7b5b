// Small text routines of the configuration loads.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zel::config {

// The text without the blanks and control characters around it.
std::string Trim(std::string_view text);
// Windows-1252 upper case (accented letters included).
std::string Upper(std::string_view text);
// A printer index as two digits with a leading zero ("01".."99").
std::string TwoDigits(int index);

// Analyses the code of a printer query whose answer a load acts on. When the
// printer answered (code 1) the analysis runs quietly, as for every query of
// the loads; otherwise its findings are also shown to the operator of an
// attended till, and false tells the load not to act on the answer buffer,
// which then holds only the blanks it was given or what a failed call left.
bool QueryAnswered(const std::string& esquema, int32_t code);

}  // namespace zel::config
