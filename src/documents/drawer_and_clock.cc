// The small printer commands outside any document: the cash drawer, the
// paper cutter and the daylight-saving switch.
#include <string>

#include "core/driver_support.h"
#include "zel01900/core.h"
#include "zel01900/small_commands.h"

namespace {

// The drawer state the printer reports for an open drawer.
constexpr int32_t kDrawerOpen = 1;
// The fiscal flag of daylight saving.
constexpr int32_t kFlagDaylightSaving = 4;

}  // namespace

std::string Estado_Gaveta_Imp(const std::string& /*NaoUsado*/) {
  // The printer writes the state over inRetorno; one that writes nothing
  // leaves it as open.
  inRetorno = kDrawerOpen;
  const int32_t code = IBM_FI_VerificaEstadoGaveta(&inRetorno);
  ImpFisDebug("IBM_FI_VerificaEstadoGaveta: " + std::to_string(inRetorno));
  if (!AnalisaRetorno("", code, true, true, false)) return "";
  return inRetorno == kDrawerOpen ? "01" : "00";
}

bool Abre_Gaveta_Imp(const std::string& Esquema, bool /*NaoUsado*/) {
  const int32_t code = IBM_FI_AcionaGaveta();
  ImpFisDebug("IBM_FI_AcionaGaveta");
  return AnalisaRetorno(Esquema, code, true, false, false);
}

bool Guilhotina(const std::string& /*NaoUsado*/, int32_t Modo) {
  const int32_t code = IBM_FI_AcionaGuilhotinaMFD(Modo);
  ImpFisDebug("IBM_FI_AcionaGuilhotinaMFD");
  return AnalisaRetorno("", code, false, false, false);
}

bool Estado_HorVerao(const std::string& /*NaoUsado*/) {
  int32_t flags = 0;
  const int32_t code = IBM_FI_FlagsFiscais(&flags);
  ImpFisDebug(zel::core::AnswerLog("IBM_FI_FlagsFiscais", std::to_string(flags)));
  // The conditions are shown; the answer is the flag as the printer left it.
  AnalisaRetorno("", code, true, false, false);
  return (flags & kFlagDaylightSaving) != 0;
}

bool Muda_Horario(const std::string& /*NaoUsado*/) {
  inRetorno = IBM_FI_ProgramaHorarioVerao();
  ImpFisDebug("IBM_FI_ProgramaHorarioVerao");
  return AnalisaRetorno("", inRetorno, false, false, false);
}
