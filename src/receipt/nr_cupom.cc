#include "receipt/driver_support.h"
#include "zel01900/core.h"
#include "zel01900/receipt.h"

std::string Nr_Cupom(const std::string& /*stNaoUsado*/, const std::string& stEsquema) {
  std::string numero(6, ' ');
  inRetorno = IBM_FI_NumeroCupom(numero.data());
  ImpFisDebug(zel::receipt::AnswerLog("IBM_FI_NumeroCupom", numero));
  if (AnalisaRetorno(stEsquema, inRetorno, false, false, false)) return numero;
  boClieUtil = false;
  return "ERRO";
}
