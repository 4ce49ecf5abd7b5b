// Small routines shared by the driver's operations and called by the host.
#include <cctype>
#include <string>

#include "hostutil/files.h"
#include "platform/platform.h"
#include "runtime/convert.h"
#include "runtime/format_settings.h"
#include "runtime/memtable.h"
#include "runtime/string_list.h"
#include "zel01900/core.h"

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

std::string retornaPathIBM() {
  zel::platform::Platform& platform = zel::platform::Current();
  std::string directory = platform.SystemDirectory();
  if (directory.empty() || directory.back() != '\\') directory += '\\';
  const std::string ini = directory + "IBMFI32.INI";
  if (!platform.FileExists(ini)) return "ARQ_N_ENC";

  zel::StringList lines;
  zel::LoadStringListFromFile(lines, ini);
  std::string path = lines.Values("Path");
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

double GetValue(const std::string& valor) {
  std::size_t first = 0;
  std::size_t last = valor.size();
  while (first < last && IsBlank(valor[first])) ++first;
  while (last > first && IsBlank(valor[last - 1])) --last;
  std::string digits;
  for (std::size_t i = first; i < last; ++i) {
    if (valor[i] != ',' && valor[i] != '.') digits += valor[i];
  }
  // The last two digits are the cents; a single digit is cents alone.
  if (digits.size() == 1) digits.insert(0, 1, '0');
  const zel::FormatSettings& fs = zel::BrazilianFormatSettings();
  if (!digits.empty()) digits.insert(digits.size() - 2, 1, fs.decimal_separator);
  return zel::StrToFloat(digits, fs);
}

std::string FormataCNPJ(const std::string& cnpj) {
  std::string out;
  out.reserve(cnpj.size());
  for (char c : cnpj) {
    if (c != '.' && c != '/' && c != '-') out += c;
  }
  return out;
}

const char* StrToPChar(const std::string& texto) { return texto.c_str(); }

std::string Codigo_Nacional_ECF(int32_t /*modelo*/, const std::string& /*versao*/) {
  return "000000";
}

bool VerificaSerialImp(const HostParams& /*params*/) { return true; }

bool VerificaTotalizador_IBM() {
  for (char c : IdTotCompCred) {
    if (!IsBlank(c)) return true;
  }
  return false;
}

void cdsCheckECFAfterOpen(zel::MemTable& DataSet) { DataSet.SetLogChanges(false); }
