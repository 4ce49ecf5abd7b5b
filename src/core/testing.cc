// Returning the module to its load-time state, for tests.
#include "zel01900/testing.h"

#include "core/driver_support.h"
#include "core/unknown_outcome.h"
#include "zel01900/core.h"
#include "zel01900/data_module.h"

void ZelResetModuleState() {
  ImpFisDLLHandle = nullptr;
  ImpFisDLLHandle2 = nullptr;
  boImpFiscalOK = false;
  boNUtilTaa = true;
  boClieUtil = false;
  inRetorno = 0;
  stMensagemTaa.clear();
  IdTotRelatorio.clear();
  IdTotParcCV.clear();
  IdTotParcVCons.clear();
  IdTotCompCred.clear();
  IdTotCancCred.clear();
  stAliquotaIss.clear();
  dsDirCad.clear();
  boComando = false;
  cdsAuxExtSimp = nullptr;
  stDataCat.clear();
  zel::core::ResetDebugLogNotice();
  zel::core::ResetOutcomeState();
#define ZEL_RESET_ENTRY_POINT(name, type) name = nullptr;
  ZEL_VENDOR_ENTRY_POINTS(ZEL_RESET_ENTRY_POINT)
  ZEL_OTHER_ENTRY_POINTS(ZEL_RESET_ENTRY_POINT)
#undef ZEL_RESET_ENTRY_POINT
  delete dtmImpIBM;
  dtmImpIBM = nullptr;
}
