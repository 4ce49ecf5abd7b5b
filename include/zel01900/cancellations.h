// Undoing parts of a sale (the last item, any item, the whole receipt), the
// printer's surcharge total and the exchange slip.
#pragma once

#include <string>
#include <vector>

#include "runtime/variant.h"

// Cancels the last item sold on the open receipt. The text is not used.
// True when the printer accepted it; a refusal is shown to the operator.
bool Cancela_UltimoItem(const std::string& NaoUsado);

// Cancels item `NumeroItem` of the open receipt: characters 2 to 5 of the
// host's number are sent ("00012" goes as "0012", "123" as "23"). The other
// arguments belong to the host's uniform interface and are not used. True
// when the printer accepted it; nothing is shown to the operator.
bool Cancela_ItGenerico(const std::string& NaoUsado, const std::string& NumeroItem,
                        const std::u16string& NaoUsado1, const std::u16string& NaoUsado2,
                        const std::u16string& NaoUsado3, const std::u16string& NaoUsado4,
                        const std::u16string& NaoUsado5, const std::u16string& NaoUsado6,
                        const std::u16string& NaoUsado7, double NaoUsado8, double NaoUsado9);

// Cancels the fiscal receipt (the open one, or the last one when the printer
// still allows it). Params, by index: 0 colour scheme, 1 and 2 the show and
// cancel-open-receipt switches of the return analysis, 3 not read, 4
// CDFILIAL, 5 CDCAIXA, 6 NRSERIEIMP, 7 "N" to record the cancellation, when
// the printer made it, as a non-fiscal document "NC" under NRSERIEIMP (also
// when index 7 does not read as a text); a shorter
// array reads its missing values as empty. Writes into element 0 of
// Resultado (when it is an array with that element) the cancelled receipt's
// number, six digits, or "" when the printer did not give it (nothing is
// sent then and the result is false). Brings the stored grand total up to
// date with Atu_TotGeral (IDVALIDA "N") whether or not the printer accepted
// the cancellation. A value that does not convert (a receipt number that is
// not numeric, for instance) ends the operation with false at that step.
bool Cancela_Cupom_Imp(const std::vector<zel::HostVariant>& Params, zel::HostVariant& Resultado);

// The printer's accumulated surcharge total: Saida becomes 14 blanks that
// the printer overwrites (digits, two implied decimals), whatever it answers.
// True when the query succeeded; nothing is shown to the operator.
bool Acrescimo_Imp(const std::string& NaoUsado, std::string& Saida);

// Prints the host's exchange slip Texto as one gerencial report (opened with
// Chave1 and Chave2 as told for Relatorio_Gerencial_Imp), fed in chunks of
// whole lines of about 500 bytes. Returns the result of closing the report.
bool Cupom_Troca(const std::string& Esquema, const std::string& Chave1, const std::string& Chave2,
                 const std::string& Texto);
