// The linked non-fiscal receipt (open and close) and the non-fiscal receipt
// on a totalizer.
#include <cstdint>
#include <optional>
#include <string>

#include "core/driver_support.h"
#include "core/unknown_outcome.h"
#include "zel01900/core.h"
#include "zel01900/documents.h"

using zel::core::TextArg;

bool Abre_Comp_NFiscalVinc(const std::string& Esquema, const std::string& FormaPgto,
                           const std::string& Valor, const std::string& Numero) {
  inRetorno =
      IBM_FI_AbreComprovanteNaoFiscalVinculado(TextArg(FormaPgto), TextArg(Valor), TextArg(Numero));
  ImpFisDebug("IBM_FI_AbreComprovanteNaoFiscalVinculado : " + FormaPgto + " - " + Valor + " - " +
              Numero);
  if (zel::core::FoundDone(inRetorno, zel::core::DocumentOpeningOutcome,
                           "IBM_FI_AbreComprovanteNaoFiscalVinculado", Esquema, boNUtilTaa)) {
    return true;
  }
  return zel::core::AnalyseCommand(Esquema, inRetorno, boNUtilTaa, false, false);
}

bool Fecha_Comp_NFiscalVinc(const std::string& Esquema) {
  inRetorno = IBM_FI_FechaComprovanteNaoFiscalVinculado();
  ImpFisDebug("IBM_FI_FechaComprovanteNaoFiscalVinculado");
  if (zel::core::FoundDone(inRetorno, zel::core::DocumentClosingOutcome,
                           "IBM_FI_FechaComprovanteNaoFiscalVinculado", Esquema, true)) {
    return true;
  }
  return zel::core::AnalyseCommand(Esquema, inRetorno, true, false, false);
}

bool Cupom_NFiscNVinc(const std::string& Esquema, const std::string& Totalizador,
                      const std::string& Valor, const std::string& FormaPgto) {
  // The COO before the receipt tells, should its answer be lost, whether the
  // printer made it.
  const std::optional<int32_t> coo = zel::core::ReadCoo();
  inRetorno = IBM_FI_RecebimentoNaoFiscal(TextArg(Totalizador), TextArg(Valor), TextArg(FormaPgto));
  ImpFisDebug("IBM_FI_RecebimentoNaoFiscal : " + Totalizador + " - " + Valor + " - " + FormaPgto);
  if (inRetorno == 0 && zel::core::NewDocumentOutcome(coo) == zel::core::Outcome::kDone) {
    zel::core::TellDone("IBM_FI_RecebimentoNaoFiscal", Esquema, boNUtilTaa);
    return true;
  }
  return zel::core::AnalyseCommand(Esquema, inRetorno, boNUtilTaa, false, false);
}
