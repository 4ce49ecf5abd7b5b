// The data of the coming Z reduction, exported into the host's tables before
// the fiscal day is closed.
#pragma once

#include <string>

namespace zel {
class MemTable;
}  // namespace zel

// Fills the host's four Z tables with the printer's current counters and
// accumulators, as the coming reduction will record them:
// - `ReducaoZ`: one summary row (printer number NrEcf, movement date, GNF,
//   CRO, the number of the coming reduction, the last receipt number plus
//   one, grand total, gross and net sales, cancellations, discounts,
//   surcharges, exempt, non-incidence and tax-substitution sales, make and
//   model, owner substitutions);
// - `Imposto`: one row per programmed tax rate, in the printer's order, with
//   its partial total and the tax on it;
// - `TotNFisc`: one row per named non-fiscal totalizer, numbered 01, 02, ...;
// - `FormPgto`: one row per host payment code (the printer's payment forms
//   translated by their names, ignoring case, through the host's payment
//   types in `TipoRece`), amounts of forms with the same code summed; forms
//   the host does not know give no row.
// Every row carries NrEcf and the movement date. Before, makes sure the
// folders "Dados" and "Dados\Reduções" exist beside the host's executable
// (a folder that cannot be made is told to the operator). The host's tables
// give the layout and receive copies of the driver's; a failure while
// reading the printer still hands back the rows completed by then. Answers
// that the printer leaves blank read as zero. Never raises; always true.
// `NaoUsado` and `NaoUsado2` are not used; `Esquema` is the colour scheme.
bool ExportRedZ(const std::string& NaoUsado, const std::string& Esquema, const std::string& NrEcf,
                int NaoUsado2, const zel::MemTable& TipoRece, zel::MemTable& ReducaoZ,
                zel::MemTable& FormPgto, zel::MemTable& Imposto, zel::MemTable& TotNFisc);
