// Driver core operations: start and stop, return analysis, the debug log and
// the small helpers the host and the other operations share.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/variant.h"
#include "zel01900/entry_points.h"
#include "zel01900/module_vars.h"

using zel::HostParams;
using zel::HostVariant;

// ---- Start and stop ----

// Loads the vendor library "IBMFI32.dll" (releasing a library a previous start
// loaded), binds the 95 vendor entry points in order and opens the port with
// AbrePorta. Reads CDFILIAL, CDCAIXA, NRSERIEIMP, ESQUEMA, CDPORTAIMPFIS and
// BOUTILTAA (boNUtilTaa := not BOUTILTAA); a failure while reading them is
// shown to the operator and the start goes on. False, silently, when the
// library cannot be loaded or lacks an entry point (then every entry point is
// emptied again); false when AbrePorta fails. True sets boImpFiscalOK.
bool StartImpFiscal(const HostParams& params);
// Empties every vendor entry-point variable. Keeps the library loaded and
// every other module variable as it is; does not close the port.
void StopImpFiscal();

// ---- Return analysis ----

// Analyses a vendor return code and then the printer's status bytes (read
// with IBM_FI_RetornoImpressora). Each condition found is written to the
// debug log as "ERRO!!! " + its text, appended to stMensagemTaa (one blank
// before the text) and, when boMostra, shown to the operator. Low paper is
// only logged (and shown when boAvisaPoucoPapel and boMostra); an open
// receipt is cancelled only when boCancelaCupomAberto. True when neither the
// code nor the status bytes showed an error.
bool AnalisaRetorno(const std::string& stEsquema, int32_t inCodigo, bool boMostra,
                    bool boCancelaCupomAberto, bool boAvisaPoucoPapel);
// Decodes the printer's status bytes alone (no return code), without adding
// to stMensagemTaa. Errors are logged and shown only when `mostra`; low paper
// only when `mostra` and `avisa_pouco_papel`; an open receipt is always logged
// and cancelled when `cancela_cupom_aberto`. True when no error bit is set
// and the printer did not refuse the last command.
bool ImpressoraOK(const std::string& esquema, bool mostra, bool cancela_cupom_aberto,
                  bool avisa_pouco_papel);

// ---- Debug log and helpers ----

// Appends one entry to this month's debug log, "impdebug" + MMYY + ".txt" in
// the host executable's folder: the local date-time (short date, blank, long
// time), " - ", the message and CR LF. The file is opened and closed per
// entry. A write failure never raises and never changes the operation's
// outcome: the operator is told once (until the next StartImpFiscal) and the
// operations go on without the log.
void ImpFisDebug(const std::string& mensagem);
// The vendor library's output folder (the Path value of IBMFI32.INI in the
// system folder) ending in "\", or "ARQ_N_ENC" when IBMFI32.INI is missing.
std::string retornaPathIBM();
// A vendor number text whose last two digits are decimals ("0000345" is
// 3.45; "1.234,56" is 1234.56). Raises zel::ConvertError when it does not
// convert (an empty text, for instance).
double GetValue(const std::string& valor);
// The text without any '.', '/' or '-' (a CNPJ or CPF reduced to digits).
std::string FormataCNPJ(const std::string& cnpj);
// The text as a NUL-terminated string, valid while `texto` lives unchanged.
const char* StrToPChar(const std::string& texto);
// The national ECF code: always "000000".
std::string Codigo_Nacional_ECF(int32_t modelo, const std::string& versao);
// Always true.
bool VerificaSerialImp(const HostParams& params);
// True when the credit-purchase totalizer was found (IdTotCompCred holds
// more than blanks).
bool VerificaTotalizador_IBM();
// After-open handler of the data module's cdsCheckECF: turns its change log
// off.
void cdsCheckECFAfterOpen(zel::MemTable& DataSet);
