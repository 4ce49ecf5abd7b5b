// Loading the printer's configuration into the host: identity and dates,
// non-fiscal totalizers, tax rates and payment forms.
#pragma once

#include <string>

#include "runtime/variant.h"

namespace zel {
class MemTable;
}  // namespace zel

// Reads ESQUEMA, DATAATUIMP, ECFIMP, REDIMP, SERIEIMP and DATAIMP and
// replaces the bundle with DATAATUIMP (the printer's date and time,
// DDMMYYHHMMSS), ECFIMP (cash-register number), REDIMP (empty), SERIEIMP
// (serial number) and DATAIMP (fiscal movement date DDMMYY, today when the
// printer leaves it blank). Corrects an "Impressora=0" setting of
// IBMFI32.INI to 1 (the file is replaced safely), tells the operator and
// asks the host application to end. False when a query was skipped because
// the value before it was blank. A failure to rewrite IBMFI32.INI raises
// zel::FileIOError.
bool Carrega_Dados_Impressora(zel::HostParams& Params);

// Finds the printer's non-fiscal totalizers for the change voucher, the
// consumer sale, the credit purchase, the gerencial report and the credit
// cancellation, names the missing ones after the last totalizer found, and
// sets the four index arguments ("01".."99") and IdTotParcCV,
// IdTotParcVCons, IdTotCompCred, IdTotCancCred and IdTotRelatorio.
void CarregaTotalizador(std::string& IdCV, std::string& IdVCons, std::string& IdCompCred,
                        std::string& IdCancCred, const std::string& NaoUsado,
                        const std::string& Esquema, int NaoUsado2, zel::MemTable* NaoUsado3);

// Part of the host's uniform interface; does nothing for this printer.
void CarregaRelatorioGer(const std::string& Texto1, const std::string& Texto2,
                         const std::string& Texto3, const std::string& Texto4,
                         const std::string& Texto5, const std::string& Texto6,
                         const std::string& Texto7, int Numero);

// Reads the printer's tax rates into cdsAliqImpFis and copies it into
// `Tabela`: CDALIQIMPFIS (the rate's index, two digits), VRALIQIMPFIS (the
// percentage) and IDALIQIMPFIS ("S" for an ISS rate, "T" otherwise), then
// the fixed rows NN, II and FF. Keeps the ISS list in stAliquotaIss.
void CarregaAliquota(const std::string& Esquema, zel::MemTable& Tabela);

// Programs on the printer the payment forms of the host's table (rows with
// IDTPBUTTON '5'; the table is left filtered on them) and marks them
// (NMTIPORECE, CDFPIMPFIS, IDEMIVALE) in the table and in cdsReceb. A form
// the printer already knew (or one named twice) gets the printer's name in
// NMTIPORECE; a form programmed in this call keeps the host's NMTIPORECE and
// is marked CDFPIMPFIS "S". A form the printer refuses is deleted from the
// host's table.
void CarregaRecebimento(const std::string& NaoUsado, const std::string& Esquema, int NaoUsado2,
                        zel::MemTable& Tabela);

// Programs one payment form (the first 15 characters of `Nome`); the result
// of the return analysis with `Mostra` and `CancelaAberto`.
bool Config_FormaPg(const std::string& Esquema, const std::string& Nome, bool Mostra,
                    bool CancelaAberto);
