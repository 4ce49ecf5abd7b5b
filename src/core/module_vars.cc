// Storage of the module variables and the entry-point variables.
#include "zel01900/module_vars.h"

#include "zel01900/entry_points.h"

void* ImpFisDLLHandle = nullptr;
void* ImpFisDLLHandle2 = nullptr;
bool boImpFiscalOK = false;
bool boNUtilTaa = true;
bool boClieUtil = false;
int32_t inRetorno = 0;
std::string stMensagemTaa;
std::string IdTotRelatorio;
std::string IdTotParcCV;
std::string IdTotParcVCons;
std::string IdTotCompCred;
std::string IdTotCancCred;
std::string stAliquotaIss;
std::string dsDirCad;
TdtmImpIBM* dtmImpIBM = nullptr;
bool boComando = false;
zel::MemTable* cdsAuxExtSimp = nullptr;
std::string stDataCat;

#define ZEL_DEFINE_ENTRY_POINT(name, type) type name = nullptr;
ZEL_VENDOR_ENTRY_POINTS(ZEL_DEFINE_ENTRY_POINT)
ZEL_OTHER_ENTRY_POINTS(ZEL_DEFINE_ENTRY_POINT)
#undef ZEL_DEFINE_ENTRY_POINT
