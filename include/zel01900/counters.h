// The printer's counters and accumulators, and the grand-total check of the
// cashier's printer file "Vendrix.cds".
#pragma once

#include <string>

#include "runtime/variant.h"

// ---- Counter queries ----
// Each sets `valor` to a buffer of blanks of the query's width, lets the
// vendor library write the counter into it (decimal digits; amounts with two
// implied decimals), logs "<entry point>\r\nRetorno da Impressora : " +
// `valor`, and returns the result of the return analysis without dialogs.
// `valor` keeps whatever the library left in it, blanks included.

// Fiscal receipt counter (CCF), 6 digits; code kept in inRetorno.
bool ContadorCupomFiscalMFD(const std::string& esquema, std::string& valor);
// Owner substitutions, 4 digits; code kept in inRetorno. An open receipt the
// printer reports is cancelled (as in every query below).
bool NumeroSubstituicoesProprietario(const std::string& esquema, std::string& valor);
// Non-fiscal operations (GNF), 6 digits.
bool NumeroOperacoesNaoFiscais(const std::string& esquema, std::string& valor);
// Gross sales of the day, 18 digits.
bool VendaBruta(const std::string& esquema, std::string& valor);
// Discounts of the day, 14 digits.
bool Descontos(const std::string& esquema, std::string& valor);
// Cancellations of the day, 14 digits.
bool Cancelamentos(const std::string& esquema, std::string& valor);
// Interventions (CRO), 4 digits.
bool NumeroIntervencoes(const std::string& esquema, std::string& valor);
// The number of the NEXT Z reduction, 4 digits: the printer's reduction
// counter plus one ("0000" when the printer answers blanks). An answer that
// is not a number raises zel::ConvertError.
bool NumeroReducoes(const std::string& esquema, std::string& valor);
// Gerencial reports (GRG), 6 digits.
bool ContadorRelatoriosGerenciaisMFD(const std::string& esquema, std::string& valor);
// Credit or debit slips (CDC), 6 digits.
bool ContadorComprovantesCreditoMFD(const std::string& esquema, std::string& valor);

// ---- Grand-total check ----

namespace zel::fiscal {
// Name of the cashier's printer file in the host executable's folder.
inline constexpr const char* kVendrixFileName = "Vendrix.cds";
// The key of Cripto/Uncripto for the enciphered values of "Vendrix.cds"
// (NRSERIEECF, CAMPO02), shared with the host application that writes it.
inline constexpr int kVendrixCipherKey = 1900;
}  // namespace zel::fiscal

// Checks the grand total stored (enciphered) in "Vendrix.cds" against the
// printer's, for the record of CDFILIAL, CDCAIXA and NRSERIEIMP (matched
// enciphered) whose CAMPO01 is "S"; any other record is left alone. A file
// with no record of this printer is not checked either, but the debug log
// says so ("ERRO!!!", ArqConfig_Inv1 when the branch and register have no
// record, ArqConfig_Inv2 when theirs carry another serial number) and, when
// IDVALIDA is "S", so does a notice to the operator; the result stays true.
// Parameters: CDFILIAL, CDCAIXA, NRSERIEIMP, ESQUEMACOR, IDVALIDA ("S"
// validates; anything else just stores the printer's grand total) and
// BOPODERECOMPORGT (on a mismatch, true recomposes the stored value after
// the ArqConfig_Recompor notice; false shows ArqConfig_Inv4 and refuses). A
// stored "10,10" is a reset mark: the printer's value is stored without a
// notice. Amounts compare at two decimals. The file is rewritten whole
// (temporary file renamed over it) in the host's binary packet format.
// When the printer does not deliver its grand total (IBM_FI_GrandeTotal
// answers other than 1) nothing is compared or written and the result is
// true. Errors while reading or writing the file are shown to the operator
// with their own message and do not change the result. False only when the stored
// grand total is invalid and may not be recomposed. A parameter value that
// does not convert raises the runtime's exception.
bool Atu_TotGeral(const zel::HostParams& params);
