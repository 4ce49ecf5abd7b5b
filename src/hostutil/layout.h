// Text layout routines for printed documents. Texts are Windows-1252 bytes;
// widths count bytes (one byte per character). A width below zero counts as
// zero. "Blank" means the space character.
#pragma once

#include <string>
#include <string_view>

namespace zel {

// `text` repeated `count` times; "" when count <= 0.
std::string Replicate(std::string_view text, int count);

// Exactly `width` characters, left-aligned: blanks added on the right, or the
// first `width` characters kept.
std::string TamFixo(std::string_view text, int width);

// Exactly `width` characters, right-aligned: blanks added on the left, or the
// first `width` characters kept (as TamFixo cuts).
std::string TamFixoR(std::string_view text, int width);

// Exactly `width` characters with `text` centred: (width - length) / 2 blanks
// on the left (rounded down), the rest on the right; a longer text is cut to
// its first `width` characters.
std::string Centraliza(std::string_view text, int width);

// `text` with blanks added on the left up to `width`; a text already as long
// or longer comes back unchanged.
std::string PadL(std::string_view text, int width);

// `text` with '0' added on the left up to `width`; a text already as long or
// longer comes back unchanged. Ajusta and AjustaZero are the same routine.
std::string Ajusta(std::string_view text, int width);
std::string AjustaZero(std::string_view text, int width);

// True when `text` is empty or holds only blanks.
bool EmptyString(std::string_view text);

// `text` without its trailing blanks.
std::string RTrim(std::string_view text);

}  // namespace zel
