// What the return analysis read of the printer's status, for the callers
// that must tell a refused command from a done one whose status shows a
// standing condition (paper, clock, memory).
#pragma once

#include <cstdint>
#include <string>

namespace zel::core {

struct StatusReading {
  bool read = false;  // the status query answered 1
  int32_t ack = 0;
  int32_t st1 = 0;
  int32_t st2 = 0;

  // The printer refused the last command: a NAK, or a status bit that says
  // the command was not carried out (syntax, unknown command, parameters,
  // rate not programmed or table full, cancellation not allowed, owner not
  // programmed, command not executed).
  bool Refused() const;
};

// AnalisaRetorno, also handing back what the status query read.
bool AnalyseReturn(const std::string& esquema, int32_t code, bool mostra, bool cancela_aberto,
                   bool avisa_pouco_papel, StatusReading* reading);

}  // namespace zel::core
