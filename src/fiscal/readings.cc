// The X reading, the Z reduction and the printer's tax-rate lists.
#include "zel01900/readings.h"

#include <cstdint>
#include <optional>
#include <string>

#include "core/driver_support.h"
#include "core/unknown_outcome.h"
#include "zel01900/core.h"

bool Leitura_X_Imp(const std::string& /*NaoUsado1*/, const std::string& Esquema,
                   const std::string& /*NaoUsado2*/) {
  // The COO before the reading tells, should its answer be lost, whether
  // the printer made it.
  const std::optional<int32_t> coo = zel::core::ReadCoo();
  const int32_t code = IBM_FI_LeituraX();
  ImpFisDebug("IBM_FI_LeituraX");
  if (code == 0 && zel::core::NewDocumentOutcome(coo) == zel::core::Outcome::kDone) {
    zel::core::TellDone("IBM_FI_LeituraX", Esquema, true);
    return true;
  }
  return zel::core::AnalyseCommand(Esquema, code, true, false, false);
}

bool Reducao_Z_Imp(const std::string& /*NaoUsado1*/, const std::string& Esquema,
                   const std::string& /*NaoUsado2*/) {
  // The printer takes its own date and time for the reduction.
  const int32_t code = IBM_FI_ReducaoZ(nullptr, nullptr);
  ImpFisDebug("IBM_FI_ReducaoZ");
  if (code == 0) {
    switch (zel::core::ReductionOutcome()) {
      case zel::core::Outcome::kDone:
        zel::core::SetGrossSales(0);
        zel::core::TellDone("IBM_FI_ReducaoZ", Esquema, true);
        return true;
      case zel::core::Outcome::kNotDone:
        break;
      case zel::core::Outcome::kUnknown:
        zel::core::ForgetGrossSales();
        break;
    }
  }
  const bool done = zel::core::AnalyseCommand(Esquema, code, true, false, false);
  // The reduction empties the day's accumulators.
  if (code == 1) zel::core::SetGrossSales(0);
  return done;
}

bool Retorno_Aliquotas_Imp(const std::string& Esquema) {
  // The general list is only asked for its status; the host gets the rates
  // themselves from CarregaAliquota.
  std::string aliquotas(79, ' ');
  const int32_t code = IBM_FI_RetornoAliquotas(aliquotas.data());
  ImpFisDebug(zel::core::AnswerLog("IBM_FI_RetornoAliquotas", aliquotas));
  AnalisaRetorno(Esquema, code, false, false, false);

  stAliquotaIss.assign(79, ' ');
  const int32_t code_iss = IBM_FI_VerificaAliquotasIss(stAliquotaIss.data());
  ImpFisDebug(zel::core::AnswerLog("IBM_FI_VerificaAliquotasIss", stAliquotaIss));
  return AnalisaRetorno(Esquema, code_iss, false, false, false);
}
