// The printer's counter and accumulator queries.
#include "zel01900/counters.h"

#include <string>

#include "core/unknown_outcome.h"
#include "hostutil/layout.h"
#include "runtime/convert.h"
#include "runtime/format.h"
#include "zel01900/core.h"

namespace {

struct CounterQuery {
  const char* entry_point;
  int width;
  bool keep_code;    // the code is stored in inRetorno
  bool cancel_open;  // an open receipt reported by the printer is cancelled
};

// Runs one counter query: `valor` is the vendor's buffer.
int32_t FillCounter(const CounterQuery& query, IbmFnB function, std::string& valor) {
  valor.assign(static_cast<size_t>(query.width), ' ');
  const int32_t code = function(valor.data());
  if (query.keep_code) inRetorno = code;
  return code;
}

bool FinishCounter(const CounterQuery& query, int32_t code, const std::string& esquema,
                   const std::string& valor) {
  ImpFisDebug(std::string(query.entry_point) + "\r\nRetorno da Impressora : " + valor);
  return AnalisaRetorno(esquema, code, false, query.cancel_open, false);
}

bool RunCounter(const CounterQuery& query, IbmFnB function, const std::string& esquema,
                std::string& valor) {
  const int32_t code = FillCounter(query, function, valor);
  return FinishCounter(query, code, esquema, valor);
}

}  // namespace

bool ContadorCupomFiscalMFD(const std::string& esquema, std::string& valor) {
  return RunCounter({"IBM_FI_ContadorCupomFiscalMFD", 6, true, false},
                    IBM_FI_ContadorCupomFiscalMFD, esquema, valor);
}

bool NumeroSubstituicoesProprietario(const std::string& esquema, std::string& valor) {
  return RunCounter({"IBM_FI_NumeroSubstituicoesProprietario", 4, true, true},
                    IBM_FI_NumeroSubstituicoesProprietario, esquema, valor);
}

bool NumeroOperacoesNaoFiscais(const std::string& esquema, std::string& valor) {
  return RunCounter({"IBM_FI_NumeroOperacoesNaoFiscais", 6, false, true},
                    IBM_FI_NumeroOperacoesNaoFiscais, esquema, valor);
}

bool VendaBruta(const std::string& esquema, std::string& valor) {
  const CounterQuery query{"IBM_FI_VendaBruta", 18, false, true};
  const int32_t code = FillCounter(query, IBM_FI_VendaBruta, valor);
  if (code == 1) zel::core::LearnGrossSalesFrom(valor);
  return FinishCounter(query, code, esquema, valor);
}

bool Descontos(const std::string& esquema, std::string& valor) {
  return RunCounter({"IBM_FI_Descontos", 14, false, true}, IBM_FI_Descontos, esquema, valor);
}

bool Cancelamentos(const std::string& esquema, std::string& valor) {
  return RunCounter({"IBM_FI_Cancelamentos", 14, false, true}, IBM_FI_Cancelamentos, esquema,
                    valor);
}

bool NumeroIntervencoes(const std::string& esquema, std::string& valor) {
  return RunCounter({"IBM_FI_NumeroIntervencoes", 4, false, true}, IBM_FI_NumeroIntervencoes,
                    esquema, valor);
}

bool NumeroReducoes(const std::string& esquema, std::string& valor) {
  const CounterQuery query{"IBM_FI_NumeroReducoes", 4, false, true};
  const int32_t code = FillCounter(query, IBM_FI_NumeroReducoes, valor);
  // The host wants the number the next reduction will carry.
  if (zel::EmptyString(valor)) {
    valor = zel::Ajusta("0", 4);
  } else {
    valor = zel::Ajusta(zel::IntToStr(zel::StrToInt(valor) + 1), 4);
  }
  return FinishCounter(query, code, esquema, valor);
}

bool ContadorRelatoriosGerenciaisMFD(const std::string& esquema, std::string& valor) {
  return RunCounter({"IBM_FI_ContadorRelatoriosGerenciaisMFD", 6, false, true},
                    IBM_FI_ContadorRelatoriosGerenciaisMFD, esquema, valor);
}

bool ContadorComprovantesCreditoMFD(const std::string& esquema, std::string& valor) {
  return RunCounter({"IBM_FI_ContadorComprovantesCreditoMFD", 6, false, true},
                    IBM_FI_ContadorComprovantesCreditoMFD, esquema, valor);
}
