// The printer's fiscal movement date.
#include "zel01900/movement_date.h"

#include <string>

#include "core/driver_support.h"
#include "runtime/convert.h"
#include "runtime/format.h"
#include "zel01900/core.h"

namespace {

// The two characters of `text` at 0-based `first` as a number; false when
// they are not a number.
bool TwoDigits(const std::string& text, size_t first, int& out) {
  return zel::TryStrToInt(text.substr(first, 2), out);
}

}  // namespace

zel::TDateTime DataMoviFiscal(const std::string& /*NaoUsado*/) {
  try {
    std::string data(6, ' ');
    const int32_t codigo = IBM_FI_DataMovimento(data.data());
    ImpFisDebug(zel::core::AnswerLog("IBM_FI_DataMovimento", data));
    AnalisaRetorno("", codigo, false, false, false);

    const zel::TDateTime agora = zel::Now();
    // No fiscal day open yet: the day the next document will open.
    if (data == std::string(6, ' ')) {
      data = zel::FormatDateTime("dd", agora) + zel::FormatDateTime("mm", agora) +
             zel::FormatDateTime("yy", zel::Date());
    }
    // The printer gives two digits of the year; the century is the
    // computer's.
    const std::string ano = zel::FormatDateTime("yyyy", agora).substr(0, 2) + data.substr(4, 2);
    int mes = 0;
    int dia = 0;
    zel::TDateTime resultado = 0;
    if (ano.find_first_not_of("0123456789") == std::string::npos && TwoDigits(data, 2, mes) &&
        TwoDigits(data, 0, dia) && zel::TryEncodeDate(zel::StrToInt(ano), mes, dia, resultado)) {
      return resultado;
    }
  } catch (...) {
    // Never fails towards the host: the computer's date stands in.
  }
  return zel::Date();
}
