#include "hostutil/layout.h"

#include <algorithm>

namespace zel {
namespace {

size_t Width(int width) { return width > 0 ? static_cast<size_t>(width) : 0; }

}  // namespace

std::string Replicate(std::string_view text, int count) {
  std::string out;
  if (count <= 0) return out;
  out.reserve(text.size() * static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) out.append(text);
  return out;
}

std::string TamFixo(std::string_view text, int width) {
  size_t w = Width(width);
  std::string out(text.substr(0, w));
  out.resize(w, ' ');
  return out;
}

std::string TamFixoR(std::string_view text, int width) {
  size_t w = Width(width);
  if (text.size() >= w) return std::string(text.substr(0, w));
  return std::string(w - text.size(), ' ') + std::string(text);
}

std::string Centraliza(std::string_view text, int width) {
  size_t w = Width(width);
  if (text.size() >= w) return std::string(text.substr(0, w));
  size_t left = (w - text.size()) / 2;
  std::string out(left, ' ');
  out.append(text);
  out.resize(w, ' ');
  return out;
}

std::string PadL(std::string_view text, int width) {
  size_t w = Width(width);
  if (text.size() >= w) return std::string(text);
  return std::string(w - text.size(), ' ') + std::string(text);
}

std::string Ajusta(std::string_view text, int width) {
  size_t w = Width(width);
  if (text.size() >= w) return std::string(text);
  return std::string(w - text.size(), '0') + std::string(text);
}

std::string AjustaZero(std::string_view text, int width) { return Ajusta(text, width); }

bool EmptyString(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

std::string RTrim(std::string_view text) {
  size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

}  // namespace zel
