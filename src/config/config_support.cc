#include "config/config_support.h"

#include "hostutil/layout.h"
#include "runtime/format.h"
#include "runtime/table_filter.h"
#include "zel01900/core.h"
#include "zel01900/module_vars.h"

namespace zel::config {

std::string Trim(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(UpperCase1252(static_cast<unsigned char>(c)));
  return upper;
}

std::string TwoDigits(int index) { return Ajusta(IntToStr(index), 2); }

bool QueryAnswered(const std::string& esquema, int32_t code) {
  const bool answered = code == 1;
  AnalisaRetorno(esquema, code, !answered && boNUtilTaa, false, false);
  return answered;
}

}  // namespace zel::config
