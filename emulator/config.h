// The settings of the simulated printer, read from IBMFI32.INI: name=value
// lines, sections ignored, the first line of a name wins, names compared
// without regard to case. Every key is optional; a missing or unreadable value
// takes its default (see emulator/README.md).
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace zel::emu {

// One tax-rate position: basis points (1800 = 18,00 %) and the tax it
// belongs to. A rate of 0 is a position that is not programmed.
struct TaxRate {
  int basis_points = 0;
  bool iss = false;
};
using TaxRates = std::array<TaxRate, 16>;

enum class PaperLevel { kNormal, kNearEnd, kEnd };

struct EmulatorConfig {
  std::string path;  // Path: folder for result files ("" = system directory)
  std::string impressora = "1";
  std::string memory_file;  // Memoria ("" = <system directory>/IBMFI32.MEM)
  std::string tape_file;    // Bobina ("" = <system directory>/IBMFI32_BOBINA.TXT)
  std::string make = "IBM";
  std::string model = "ECF-IF EMULADOR";
  std::string type = "ECF-IF";
  std::string serial = "IB010900000000000001";
  int ecf_number = 1;
  std::string firmware = "010900";
  std::vector<std::string> header = {"EMPRESA DEMONSTRACAO LTDA", "RUA DAS FLORES, 100 - CENTRO",
                                     "SAO PAULO - SP"};
  std::string cnpj = "11.222.333/0001-81";
  std::string ie = "111.111.111.111";
  std::string im;
  std::string rates_text = "T1800;T1200;T0700;T2500;S0500";
  TaxRates rates{};
  long long clock_offset_seconds = 0;      // DeslocamentoRelogio
  bool power_off = false;                  // Desligada
  PaperLevel paper = PaperLevel::kNormal;  // Papel
  // Falhas: fault control commands separated by ';' (faults.h), armed once
  // each time the value changes.
  std::string faults;
  // VelocidadeMFD: bits per second of the simulated serial line; when above
  // zero, the MFD download and the regulatory files take the time their
  // bytes would take on that line (10 bits per byte). 0: at once.
  int mfd_bits_per_second = 0;
};

// Reads the INI text; never fails (bad values keep their defaults).
EmulatorConfig ParseConfig(std::string_view ini_text);

// "T1800;S0500;..." (T = ICMS, S = ISS, four digits each, up to 16) into the
// positions; false (and `out` untouched) when malformed.
bool ParseRates(std::string_view text, TaxRates& out);
std::string RatesText(const TaxRates& rates);

// The value of `key` in the INI text (first line, case-insensitive), or
// nullopt-like empty with found=false.
std::string IniValue(std::string_view ini_text, std::string_view key, bool* found = nullptr);
// The INI text with `key` set to `value`: the first line of the key is
// replaced, or a line is appended.
std::string SetIniValue(std::string_view ini_text, std::string_view key, std::string_view value);

// A complete IBMFI32.INI with every key at its default, Path set to `path`.
std::string DefaultIniText(const std::string& path);

}  // namespace zel::emu
