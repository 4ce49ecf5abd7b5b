// ASCII case-insensitive comparison for keys (parameter and message keys are
// plain identifiers; bytes above 127 compare as they stand).
#pragma once

#include <string_view>

namespace zel::hostutil_internal {

inline char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool SameKey(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

}  // namespace zel::hostutil_internal
