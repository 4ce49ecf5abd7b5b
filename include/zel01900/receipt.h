// The fiscal receipt: opening, item sale, the current receipt number and the
// closing with payments and footer.
#pragma once

#include <string>
#include <vector>

#include "runtime/variant.h"

namespace zel {
class StringList;
}  // namespace zel

// Opens a fiscal receipt with the consumer's document, name and address
// (INCLUICPF, INCLUINOME, INCLUIENDERECO; sent cut to 29, 30 and 80
// characters, an empty text as a null pointer). Reads ESQUEMACOR,
// INTTEFERRO, CUPNR, CONTCUPOM, IDUTILTEF and UTILTEF too. Returns false
// without touching the bundle when the printer is not ready, or when the
// opening failed on an attended card sale and the operator declined to try
// again. Otherwise replaces the bundle with INTTEFERRO (1 once the operator
// chose to try again), INCLUICPF, INCLUINOME, INCLUIENDERECO (as read),
// CUPNR and CONTCUPOM (the new receipt's number and counter after a
// successful opening, else as read) and MENSAGEMTAA, and returns whether the
// printer accepted the opening. An opening whose answer was lost is checked
// against the fiscal flags; when they cannot tell, it is never tried again:
// the operator (on an attended till) is told to check the printed receipt,
// the text is in MENSAGEMTAA, and the result is false. A value that does
// not convert raises the runtime's exception.
bool AbreCupom(zel::HostParams& Params);

// Sells one item: CDARVPROD, NMPROD (29 characters), CDALIQ, VALOR (cut to
// two decimals), QTDE (three decimals), DESCONT and ACRESCIMO (eight digits
// in cents, "0000" when zero or less), UNIDADE (2 characters), department
// "01". A discount or surcharge of one million or more does not fit the
// printer's field: the item is not sent, the operator is told, and the
// result is false. On success, on a self-service terminal and in that case
// the bundle becomes INTTEFERRO (the value read from INTEFERRO) and
// MENSAGEMTAA. An attended failure asks whether to print again; "no" returns
// false with the bundle untouched. An item whose answer was lost is checked
// against the day's gross sales; when that check cannot be made it is never
// offered again: the operator (on an attended till) is told to check the
// printed receipt, the bundle carries the text in MENSAGEMTAA, and the
// result is false. Any failure to read the bundle returns false.
bool VendaItem(zel::HostParams& Params);

// The number (COO) of the current or last receipt, six characters, or
// "ERRO" when the printer did not answer (boClieUtil is then cleared). The
// first argument is not used.
std::string Nr_Cupom(const std::string& stNaoUsado, const std::string& stEsquema);

// Closes the open receipt in one call: the subtotal discount or surcharge,
// every payment of the sale's cash movements (card movements of one payment
// type merged in a card sale), the footer, and the change as a non-fiscal
// receipt when asked. `Params` holds the host's 55 positional values; a
// shorter array reads its missing values as empty. `TextosTef` is the host's
// list of card slips (may be null). `Resultado` is the host's array; the
// closing writes element 0 (1 when the operator chose to print again), 1
// (index 42 unchanged), 2 (empty) and 3 (stMensagemTaa), each only when the
// array has it, except on the exits that return false without result (the
// printer not ready, a failed step that is not or no longer retried). A
// payment whose answer was lost, or a closing start or footer whose lost
// answer the fiscal flags cannot check, is never sent again: the operator
// (when dialogs are shown) is told to check the printed receipt, the text is
// in stMensagemTaa, and the closing ends without result.
bool FechaCupom(const std::vector<zel::HostVariant>& Params, zel::StringList* TextosTef,
                zel::HostVariant& Resultado);
