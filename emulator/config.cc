#include "emulator/config.h"

#include <cstdlib>

#include "emulator/amounts.h"

namespace zel::emu {
namespace {

// Calls fn(name, value, line_start, line_end) for every name=value line.
template <typename Fn>
void ForEachLine(std::string_view text, Fn fn) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t eq = line.find('=');
    if (eq != std::string_view::npos) {
      if (fn(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)), pos, end)) return;
    }
    pos = end + 1;
  }
}

bool ParseFlag(const std::string& v) { return v == "1" || SameName(v, "S") || SameName(v, "sim"); }

}  // namespace

std::string IniValue(std::string_view ini_text, std::string_view key, bool* found) {
  std::string result;
  bool hit = false;
  ForEachLine(ini_text, [&](const std::string& name, const std::string& value, size_t, size_t) {
    if (!SameName(name, key)) return false;
    result = value;
    hit = true;
    return true;
  });
  if (found) *found = hit;
  return result;
}

std::string SetIniValue(std::string_view ini_text, std::string_view key, std::string_view value) {
  std::string text(ini_text);
  std::string line = std::string(key) + "=" + std::string(value);
  bool done = false;
  ForEachLine(ini_text, [&](const std::string& name, const std::string&, size_t b, size_t e) {
    if (!SameName(name, key)) return false;
    size_t len = e - b;
    if (len > 0 && ini_text[e - 1] == '\r') --len;
    text.replace(b, len, line);
    done = true;
    return true;
  });
  if (!done) {
    if (!text.empty() && text.back() != '\n') text += "\r\n";
    text += line + "\r\n";
  }
  return text;
}

bool ParseRates(std::string_view text, TaxRates& out) {
  TaxRates rates{};
  std::string t = Trim(text);
  size_t index = 0;
  size_t pos = 0;
  while (pos <= t.size() && !t.empty()) {
    size_t end = t.find(';', pos);
    if (end == std::string::npos) end = t.size();
    std::string item = Upper(Trim(std::string_view(t).substr(pos, end - pos)));
    if (!item.empty()) {
      if (index >= rates.size() || item.size() != 5 || (item[0] != 'T' && item[0] != 'S')) {
        return false;
      }
      auto bp = ParseDecimal(item.substr(1), 0);
      if (!bp || item.substr(1).find_first_not_of("0123456789") != std::string::npos) return false;
      rates[index].basis_points = static_cast<int>(*bp);
      rates[index].iss = item[0] == 'S';
      ++index;
    }
    pos = end + 1;
  }
  out = rates;
  return true;
}

std::string RatesText(const TaxRates& rates) {
  std::string s;
  size_t last = 0;
  for (size_t i = 0; i < rates.size(); ++i) {
    if (rates[i].basis_points > 0) last = i + 1;
  }
  for (size_t i = 0; i < last; ++i) {
    if (!s.empty()) s += ';';
    s += (rates[i].iss ? "S" : "T") + Digits(rates[i].basis_points, 4);
  }
  return s;
}

EmulatorConfig ParseConfig(std::string_view ini_text) {
  EmulatorConfig c;
  ParseRates(c.rates_text, c.rates);
  bool found = false;
  auto text = [&](const char* key, std::string& field) {
    std::string v = IniValue(ini_text, key, &found);
    if (found) field = v;
  };
  text("Path", c.path);
  text("Impressora", c.impressora);
  text("Memoria", c.memory_file);
  text("Bobina", c.tape_file);
  text("Marca", c.make);
  text("Modelo", c.model);
  text("Tipo", c.type);
  text("CNPJ", c.cnpj);
  text("IE", c.ie);
  text("IM", c.im);
  std::string serial = IniValue(ini_text, "NumeroSerie", &found);
  if (found && !serial.empty()) c.serial = serial.substr(0, 20);
  std::string fw = IniValue(ini_text, "Firmware", &found);
  if (found && !fw.empty()) c.firmware = fw.substr(0, 6);
  std::string ecf = IniValue(ini_text, "NumeroECF", &found);
  if (found) {
    auto n = ParseDecimal(ecf, 0);
    if (n && *n >= 1 && *n <= 9999) c.ecf_number = static_cast<int>(*n);
  }
  std::vector<std::string> header;
  bool any_header = false;
  for (int i = 1; i <= 6; ++i) {
    std::string v = IniValue(ini_text, "Cabecalho" + std::to_string(i), &found);
    if (found) {
      any_header = true;
      if (!v.empty()) header.push_back(v);
    }
  }
  if (any_header) c.header = header;
  std::string rates = IniValue(ini_text, "Aliquotas", &found);
  if (found && ParseRates(rates, c.rates)) c.rates_text = RatesText(c.rates);
  std::string offset = IniValue(ini_text, "DeslocamentoRelogio", &found);
  if (found && !offset.empty()) {
    char* end = nullptr;
    long long v = std::strtoll(offset.c_str(), &end, 10);
    if (end && *end == '\0') c.clock_offset_seconds = v;
  }
  c.power_off = ParseFlag(IniValue(ini_text, "Desligada"));
  std::string paper = IniValue(ini_text, "Papel");
  if (SameName(paper, "pouco")) c.paper = PaperLevel::kNearEnd;
  if (SameName(paper, "fim")) c.paper = PaperLevel::kEnd;
  c.faults = IniValue(ini_text, "Falhas");
  std::string speed = IniValue(ini_text, "VelocidadeMFD", &found);
  if (found) {
    auto n = ParseDecimal(speed, 0);
    if (n && *n >= 0 && *n <= 10000000) c.mfd_bits_per_second = static_cast<int>(*n);
  }
  return c;
}

std::string DefaultIniText(const std::string& path) {
  EmulatorConfig c;
  std::string s;
  auto line = [&](const std::string& k, const std::string& v) { s += k + "=" + v + "\r\n"; };
  s += "[Sistema]\r\n";
  line("Path", path);
  line("Impressora", c.impressora);
  s += "\r\n[Emulador]\r\n";
  line("Memoria", "");
  line("Bobina", "");
  line("Marca", c.make);
  line("Modelo", c.model);
  line("Tipo", c.type);
  line("NumeroSerie", c.serial);
  line("NumeroECF", std::to_string(c.ecf_number));
  line("Firmware", c.firmware);
  for (size_t i = 0; i < c.header.size(); ++i)
    line("Cabecalho" + std::to_string(i + 1), c.header[i]);
  line("CNPJ", c.cnpj);
  line("IE", c.ie);
  line("IM", c.im);
  line("Aliquotas", c.rates_text);
  line("DeslocamentoRelogio", "0");
  line("Desligada", "0");
  line("Papel", "normal");
  line("Falhas", "");
  line("VelocidadeMFD", "0");
  return s;
}

}  // namespace zel::emu
