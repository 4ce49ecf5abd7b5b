// The fiscal readings the printer prints and records (Leitura X, Redução Z),
// the data of the last reduction and the printer's tax-rate lists.
#pragma once

#include <string>
#include <vector>

#include "runtime/variant.h"

namespace zel {
class MemTable;
}  // namespace zel

// Prints the X reading (IBM_FI_LeituraX). Only `Esquema` is used. The result
// of the return analysis, with dialogs.
bool Leitura_X_Imp(const std::string& NaoUsado1, const std::string& Esquema,
                   const std::string& NaoUsado2);

// Makes the Z reduction that closes the fiscal day (IBM_FI_ReducaoZ, no
// confirmation asked, no date checked). Only `Esquema` is used. The result
// of the return analysis, with dialogs.
bool Reducao_Z_Imp(const std::string& NaoUsado1, const std::string& Esquema,
                   const std::string& NaoUsado2);

// The data of the last Z reduction, cut out of the printer's 1278-character
// record. `Params[0]` is the colour scheme (an empty array reads as "").
// `Resultado` is the host's array (indexes 0 to 48); only the elements it
// has are written, and only these:
//   0 CRZ, 1 CRO (texts as read), 2 gross sales (float), 3 movement date of
//   the reduction (date-time), 4 cancelled receipts (4 digits), 11 CRO,
//   12 CRZ, 13 COO (texts as read), 25 GT, 27 exempt, 28 non-incidence,
//   29 substitution, 33 discounts, 35 surcharges, 37 cancellations (ICMS
//   totals as "00.00" texts), 46 the movement date again, 47 gross sales and
//   48 net sales ("00.00" texts). Gross sales are the sixteen partial totals
//   plus exempt, non-incidence, substitution, discounts and cancellations;
//   net sales are gross sales less cancellations and discounts; surcharges
//   count in neither.
// `Tabela` receives the per-rate taxes built in the data module's
// cdsImposto: one row per rate position with sales (CDIMPOSTO "00",
// CDALIQIMPFIS "01".."16", VRVENDIDO, VRALIQIMPFIS and VRIMPOSTO = rate x
// sold / 100 cut to the cent, as "00.00" texts), the rate taken from the
// printer's current rate list.
// When the printer refuses the record or the rate list, the return analysis
// shows why (dialogs on), elements 0 to 4 become "", "", 0 (integer), today
// minus 1000 days (a plain float, not a date-time) and "", the table is not
// touched, and the result is false. A record that does not convert (an
// amount that is not a number, an impossible date) makes the result false
// too; what was written before the faulty field stays.
bool DadosUltimaRedZ(const std::vector<zel::HostVariant>& Params, zel::HostVariant& Resultado,
                     zel::MemTable& Tabela);

// Reads the printer's tax rates and its ISS rates; the ISS list is kept in
// stAliquotaIss. Never shows a message. The result of the return analysis of
// the ISS query.
bool Retorno_Aliquotas_Imp(const std::string& Esquema);
