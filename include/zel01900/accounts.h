// Consumer accounts (company canteens and the like): the slips of sales on
// a consumer's debit account or personal credit, the purchase and the
// cancellation of personal credit, and the account listings (balances per
// family, negative balances, credit balances, blocked products, statements).
//
// `Esquema` is the host's colour scheme; `Chave1` and `Chave2` go to the
// host's GravaCER when a report opens; `ChaveDoc` is the key of the document
// records. Amounts on paper are in the host's currency format where a slip
// shows money, in fixed notation with two decimals in the listings. Blocks
// longer than the printer's 620-byte feed go out as several feeds of whole
// lines.
#pragma once

#include <string>

#include "runtime/variant.h"

namespace zel {
class MemTable;
}  // namespace zel

// ---- Slips ----

// The slip of a sale of `Valor` charged to a consumer's debit account, in a
// linked receipt of the first 16 characters of `FormaPgto` tied to the
// current fiscal receipt (46 columns): the client, the consumer, the
// products of `Produtos` (table data into cdsProdDeb: CDARVPROD, NMPRODUTO,
// QTPRODCOMVEN, VRPRECCOMVEN; line totals cut to the cent), the total, the
// rest of the day and/or month limit (`ModoLimite` "D", "M", "T"; "N" none)
// after this sale, the order password, the final balance (unless
// `ModoSaldo` is "2"), `TextoLivre`, the subsidy and the complement. A value
// that rounds to zero or less prints nothing and is true. False when the
// linked receipt does not open or a feed is refused (the receipt then stays
// open); otherwise the result of closing it. `NaoUsado` is not used.
bool Comp_DebitoCons(const std::string& Esquema, const zel::HostVariant& Produtos, double Valor,
                     const std::string& FormaPgto, const std::string& Matricula,
                     const std::string& NomeConsumidor, const std::string& Cliente,
                     const std::string& Cliente2, const std::string& SenhaPedido,
                     double SaldoAnterior, double Subsidio, double Complemento,
                     const std::string& ModoSaldo, const std::string& TextoLivre,
                     const std::string& ModoLimite, const std::string& LimiteDia,
                     const std::string& LimiteMes, const zel::HostVariant& NaoUsado);

// The slip of a sale paid with personal credit (48 columns), as
// Comp_DebitoCons without limits and free text; `Saldos` (table data into
// cdsSaldCred: CDFAMILISALD, NMFAMILISALD, VRSALDCONFAM) gives the balance
// section: `ModoSaldo` "0" one final-balance line including every family's
// balance, "1" one line per family with a balance (less what the sale took
// from it), "2" none.
bool Imp_CompVenCred(const std::string& Esquema, const zel::HostVariant& Produtos,
                     const zel::HostVariant& Saldos, double Valor, const std::string& FormaPgto,
                     const std::string& Matricula, const std::string& NomeConsumidor,
                     const std::string& Cliente, const std::string& Cliente2,
                     const std::string& SenhaPedido, double SaldoAnterior, double Subsidio,
                     double Complemento, const std::string& ModoSaldo);

// A purchase of personal credit: a gerencial report (recorded as "RG") with
// the deposit in two copies, the paper cut after the first, then one
// non-fiscal receipt on the credit-purchase totalizer per row of
// `Pagamentos` (VRMOVIVEND, NMTIPORECE). The result of the last receipt;
// false when the report does not open or there is no payment row. The
// parameters named NaoUsado are not used.
bool Compr_CredPessoal(
    const std::string& NaoUsado1, const std::string& NaoUsado2, const std::string& ChaveDoc,
    const std::string& Chave1, const std::string& Chave2, const std::string& Esquema,
    const std::string& NaoUsado7, const std::string& NaoUsado8, zel::MemTable& Pagamentos,
    double SaldoAnterior, const std::string& NomeConsumidor, const std::string& NrDeposito,
    const std::string& NaoUsado13, const std::string& NaoUsado14, const std::string& NaoUsado15,
    const std::string& NaoUsado16, const std::string& NaoUsado17, const std::string& NaoUsado18,
    const std::string& NaoUsado19, const std::string& NaoUsado20, const std::string& NaoUsado21,
    const std::string& NaoUsado22, const std::string& NaoUsado23, std::string& NaoUsado24,
    std::string& NaoUsado25, const std::string& NomeFamilia, bool NaoUsado27,
    const std::string& NaoUsado28);

// The cancellation of a credit purchase: a gerencial report (recorded as
// "RG" when it closed), then a non-fiscal receipt of `Valor` on the
// credit-cancellation totalizer (recorded as "CC" when accepted), made even
// when the report did not close. False when the report does not open;
// otherwise the result of the receipt.
bool Cancela_Cred_Pessoal(const std::string& NaoUsado1, const std::string& ChaveDoc,
                          const std::string& Chave1, const std::string& Chave2,
                          const std::string& Esquema, std::string& NaoUsado6,
                          const std::string& NrDeposito, const std::string& Cliente,
                          const std::string& Consumidor, const std::string& NaoUsado10,
                          const std::string& FormaPgto, double Valor, double SaldoFinal,
                          const std::string& NomeFamilia);

// ---- Listings ----

// Opens a gerencial report (Chave1 and Caixa as the GravaCER keys) and
// prints the heading of a balance listing: `Titulo`, the till and the
// current date and time. The report stays open for ImpSaldo or Extrato.
void Cabecalho(const std::string& Chave1, const std::string& Esquema, const std::string& Titulo,
               const std::string& Caixa, const std::string& Reserva1, const std::string& Reserva2);

// Into the report opened by Cabecalho: the balance enquiry of consumer
// `Codigo` - `Nome`, one line per family of `Familias` (NMFAMILISALD,
// SALDOFAM) from its current row to its end, and the total; then closes the
// report. Always true.
bool ImpSaldo(const std::string& Esquema, zel::MemTable& Familias, const std::string& Codigo,
              const std::string& Nome);

// The consumers with a negative balance, by consumer type: for each type of
// `Tipos` (CDTIPOCONS, NMTIPOCONS) from its current row, the consumers of
// `Consumidores` of that type (NMCONSUMIDOR, SALDONEGATIVO) and their total.
// The heading (Cabecalho) comes with the first type that has consumers; a
// type without consumers prints nothing. The filter of `Consumidores` is
// put back as it was. True when some type was printed (the report is then
// closed); false prints and opens nothing.
bool SaldoNegativo(const std::string& Chave1, const std::string& Esquema, zel::MemTable& Tipos,
                   zel::MemTable& Consumidores, const std::string& Titulo, const std::string& Caixa,
                   const std::string& Reserva1, const std::string& Reserva2);

// The personal-credit balances of the families of `Familias` (NMFAMILISALD,
// VRSALDCONFAM) that have one, and their total. True; false when anything
// fails on the way.
bool Saldo_CredPessoal(const std::string& Chave1, const std::string& Chave2,
                       const std::string& Esquema, const std::string& Titulo,
                       zel::MemTable& Familias);

// The products blocked for consumers (CDPRODUTO, CDPROTECLADO, NMPRODUTO of
// `Produtos`, with NMFILIAL and CDLOJA of its current row as the heading).
// Always true.
bool ImprimeProdBloq(const std::string& Chave1, const std::string& Chave2,
                     const std::string& Esquema, zel::MemTable& Produtos);

// Into the report opened by Cabecalho: the statement text built by the host,
// fed in whole-line chunks, then closes the report; the result of the close.
bool Extrato(const std::string& Texto, const std::string& Esquema);
