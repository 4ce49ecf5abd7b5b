// The driver's module variables: process-wide state that every operation
// reads or writes and that the host may read. One printer per process; the
// host calls the driver from one thread, so there is no locking.
//
// Initial values are those at library load; ZelResetModuleState
// (zel01900/testing.h) puts them back.
#pragma once

#include <cstdint>
#include <string>

namespace zel {
class MemTable;
}  // namespace zel

// The single data-module instance (class defined in zel01900/data_module.h).
class TdtmImpIBM;

// Handle of the loaded vendor library (a platform library handle); nullptr
// until StartImpFiscal loads it. A held handle is released by the next
// StartImpFiscal before it loads again; StopImpFiscal keeps it.
extern void* ImpFisDLLHandle;
// Handle of the signing library loaded by the EAD signing operation.
extern void* ImpFisDLLHandle2;
// True once StartImpFiscal has succeeded; never cleared by the driver.
extern bool boImpFiscalOK;
// Operator dialogs enabled (true: attended till; false: self-service
// terminal). The negation of the BOUTILTAA parameter of StartImpFiscal.
extern bool boNUtilTaa;
// The last printer-status check (Estado_Imp) was clean.
extern bool boClieUtil;
// The most recent vendor return code.
extern int32_t inRetorno;
// Every condition text the return analysis reported, each preceded by one
// blank; cleared by Estado_Imp and AbreCupom.
extern std::string stMensagemTaa;
// Indices of the printer's non-fiscal totalizers found by CarregaTotalizador.
extern std::string IdTotRelatorio;
extern std::string IdTotParcCV;
extern std::string IdTotParcVCons;
extern std::string IdTotCompCred;
extern std::string IdTotCancCred;
// The printer's ISS tax-rate list as read by CarregaAliquota.
extern std::string stAliquotaIss;
// Base folder of the regulatory files.
extern std::string dsDirCad;
// The data module; nullptr until the first operation that needs it creates
// it. Never destroyed by the driver's operations.
extern TdtmImpIBM* dtmImpIBM;
// Exported for the host; the driver itself never sets or reads them.
extern bool boComando;
extern zel::MemTable* cdsAuxExtSimp;
extern std::string stDataCat;
