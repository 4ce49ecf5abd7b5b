// Cripto / Uncripto: the host's reversible cipher for values kept in its
// files (printer serial numbers, the stored grand total, PAF data).
//
// The cipher keeps the length of the text and works over a 64-character
// alphabet "0"-"9", "A"-"Z", "a"-"z", "-", "." (indices 0 to 63 in that
// order). The alphabet character at byte position i (0-based) moves forward
// within the alphabet by
//     shift(i) = (Mix(key, i) + p) mod 64
// where p is the index of the nearest alphabet character before it in the
// plain text (0 when there is none) and Mix is a 32-bit integer hash of the
// key and the position (see cipher.cc). Characters outside the alphabet
// (blanks, quotes, accented letters, control bytes) pass
// unchanged. So the enciphered text:
//  - has the length of the plain text and fits the same text field;
//  - is printable and never gains a quote, a blank or a wildcard, so it can be
//    written inside a quoted filter literal;
//  - is the same for the same text and key (records are selected by comparing
//    enciphered texts).
// Uncripto(Cripto(t, k), k) == t for every text t and key k. This is an
// obfuscation that keeps casual edits out of the files, not a protection
// against someone who knows the algorithm.
#pragma once

#include <string>
#include <string_view>

namespace zel {

std::string Cripto(std::string_view text, int key);
std::string Uncripto(std::string_view text, int key);

}  // namespace zel
