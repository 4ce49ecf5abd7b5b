// Listings printed as gerencial reports: the products sold in a period
// (plain or grouped by taxation), the items of a restaurant table or tab
// when it opens, the tables and tabs still open, the products moved between
// tables, and the host's list of payment types.
//
// `Esquema` is the host's colour scheme; `Chave1` and `Chave2` go to the
// host's GravaCER when a report opens; `ChaveDoc` is the key of the document
// record (setDocNaoFiscaisECF). Blocks of lines longer than the printer's
// 620-byte feed go out as several feeds of whole lines.
#pragma once

#include <string>

#include "runtime/variant.h"

namespace zel {
class MemTable;
}  // namespace zel

// The products sold, from the host's table `Produtos` (loaded into
// cdsProdVend: CDPRODIMPFIS or else CDPRODUTO, NMPRODUTO, QTPRODVEND,
// VRTOTAL, VRACRE, VRDESC, IDTPIMPOSFIS, VRPEALIMPFIS). `Pergunta` "N"
// prints, "S" asks the operator first (ConfRelProds), anything else prints
// nothing. When printing: a report the caller left open is closed first
// unless `Fechado` says it is closed already (Fechado becomes true); with
// products, a report is opened (Numero receives its number), the list
// printed (`Modo` "S": grouped by tax type and rate, with the totals per
// rate kept in cdsAliqProduto; otherwise a plain list) and closed; in both
// cases the document is recorded as "RG". `NaoUsado1` and `NaoUsado2` are
// not used.
void Relatorio_Produto(const std::string& NaoUsado1, const std::string& NaoUsado2,
                       const std::string& ChaveDoc, const std::string& Chave1,
                       const std::string& Chave2, std::string& Numero,
                       const zel::MemTable& Produtos, const std::string& Pergunta,
                       const std::string& Modo, const std::string& Esquema, bool& Fechado);

// The items registered on a table (NrMesa of exactly four characters) or a
// tab (any other length) when it opens: CDPROD, NMPROD, STQTDE, STVALOR of
// `Itens` (loaded into cdsItemsReg), with the line totals. Always true.
bool RegistroVenda(const std::string& Chave1, const std::string& Chave2, const std::string& Esquema,
                   const zel::MemTable& Itens, const std::string& NrMesa);

// The open tables and tabs of `Linhas` (table data; DSCOMANDA, NRMESA,
// DTHRABERMESA), in sections by kind (DSCOMANDA beginning "RES" or "PKR":
// tables; "DLV": delivery tabs; otherwise tabs), a new section each time
// the kind changes. True when at least one row was listed; false also when
// anything fails on the way. `TabelaReserva`, `Reserva1` and `Reserva2` are
// not used.
bool ImprimeMesasAbertas(zel::MemTable& TabelaReserva, const std::string& Chave1,
                         const std::string& Chave2, const std::string& Esquema,
                         const std::string& Reserva1, const std::string& Reserva2,
                         const zel::HostVariant& Linhas);

// The products moved from one table or tab to another (`Linhas`, table
// data: NRMESA, NRMESADSCOMORIT, CDPRODUTO, NMPRODUTO, QTPRODCOMVEN,
// VRPRECCOMVEN), one heading per transfer. Nothing is recorded. `Reserva1`
// and `Reserva2` are not used.
void imprimeProdutosTransf(const std::string& Chave1, const std::string& Chave2,
                           const std::string& Esquema, const std::string& Reserva1,
                           const std::string& Reserva2, const zel::HostVariant& Linhas);

// Prints the host's text (its list of payment types) as one gerencial
// report, recorded as "RG" when it closes; the result of the close.
// `Reserva` is not used.
bool imprimeTipoRece(const std::string& Chave1, const std::string& Chave2,
                     const std::string& Esquema, const std::string& ChaveDoc,
                     const std::string& Texto, const std::string& Reserva);
