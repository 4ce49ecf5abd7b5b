// File-name comparisons shared by the platform implementations: the host
// system's wildcard match and listing order. Private to src/platform.
#pragma once

#include <algorithm>
#include <string>

namespace zel::platform {

inline char AsciiLowerChar(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Windows wildcard match: '*' any run, '?' one character, ASCII letters
// without regard to case.
inline bool WildcardMatch(const std::string& pattern, const std::string& name) {
  size_t p = 0;
  size_t n = 0;
  size_t star = std::string::npos;
  size_t resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || AsciiLowerChar(pattern[p]) == AsciiLowerChar(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// The order the host's file system lists names in: letters without regard
// to case, then bytes, so the result is the same on every file system.
inline bool NameOrderLess(const std::string& a, const std::string& b) {
  size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    char ca = AsciiLowerChar(a[i]);
    char cb = AsciiLowerChar(b[i]);
    if (ca != cb) return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb);
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

// The suffix of an atomic write's temporary file: ".tmp-" and six letters or
// digits.
inline constexpr char kTemporaryMark[] = ".tmp-";
inline constexpr size_t kTemporaryRandom = 6;

inline bool IsTemporaryName(const std::string& name) {
  const size_t mark = sizeof(kTemporaryMark) - 1;
  if (name.size() <= mark + kTemporaryRandom) return false;
  size_t at = name.size() - kTemporaryRandom - mark;
  if (name.compare(at, mark, kTemporaryMark) != 0) return false;
  for (size_t i = at + mark; i < name.size(); ++i) {
    char c = name[i];
    bool alphanumeric = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!alphanumeric) return false;
  }
  return true;
}

}  // namespace zel::platform
