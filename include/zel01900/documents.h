// Non-fiscal documents: the gerencial-report cycle (open, feed, close), whole
// texts printed as one report, the record of every printed document with the
// host, the linked non-fiscal receipt and the non-fiscal receipt on a
// totalizer, the card-transaction (TEF) slips, and barcodes.
//
// `Esquema` is always the host's colour scheme (ESQUEMACOR), handed to the
// return analysis and to operator dialogs only. `Chave1` and `Chave2` are the
// two texts the host gave for its service GravaCER, recorded when a
// gerencial report opens. `ChaveDoc` is the host's key of the document
// record (setDocNaoFiscaisECF).
#pragma once

#include <string>

namespace zel {
class StringList;
}  // namespace zel

// ---- The gerencial-report cycle ----

// Opens a gerencial report (IBM_FI_RelatorioGerencial with " "; code in
// inRetorno; refusals shown when boNUtilTaa). When it opened, records
// Chave1, Chave2 and the fiscal movement date with the host's GravaCER
// (whose result is ignored). `Reservado` is not used. True when opened.
bool Relatorio_Gerencial_Imp(const std::string& Esquema, const std::string& Chave1,
                             const std::string& Chave2, const std::string& Reservado);

// Prints Texto into the open gerencial report or linked receipt, sent as it
// stands (an empty text as a null pointer); code in inRetorno, refusals shown
// when boNUtilTaa. `Esquema` is not used. True when the printer took it.
bool Usa_CompNFis(const std::string& Esquema, const std::string& Texto);

// Closes the open gerencial report; code in inRetorno; the two switches go
// to the return analysis (show messages, cancel an open receipt). `Esquema`
// is not used. True when closed.
bool FechRelatGerenc(const std::string& Esquema, bool Mostra, bool CancelaCupomAberto);

// Prints Texto as one gerencial report: opened (result not examined), fed
// in chunks of whole lines (each sent once it holds 500 bytes or more, and
// never more than the printer takes in one call), closed; when the close
// succeeded the document is recorded as "RG" under ChaveDoc. Returns the
// result of the close. `Reservado` is not used.
bool Relatorio_Generico(const std::string& Esquema, const std::string& Chave1,
                        const std::string& Chave2, const std::string& Texto,
                        const std::string& ChaveDoc, const std::string& Reservado);

// As Relatorio_Generico, recorded as "CM"; Numero receives the receipt
// number read right after the opening (six digits or "ERRO"). False also
// when anything raises (Numero keeps what it got by then).
bool Conferencia_Formatada(const std::string& Esquema, const std::string& Chave1,
                           const std::string& Chave2, const std::string& ChaveDoc,
                           const std::string& Reservado, std::string& Numero,
                           const std::string& Texto);

// Records one printed non-fiscal document with the host's
// setDocNaoFiscaisECF: ChaveDoc, the receipt number (COO), the non-fiscal
// operations (GNF; not read for "NC"), the gerencial report counter (GRG;
// read for "RG", "RV" and "CM") or the credit/debit slip counter (CDC; read
// for "CC"), TipoDoc, Extra, the computer's date and time and the fiscal
// movement date (no time of day). Counters not read are empty; every counter
// is the printer's text as answered. Never raises: a failure is shown to the
// operator (kind 3) and nothing is recorded.
void GravaDocumentosNaoFiscais(const std::string& ChaveDoc, const std::string& Esquema,
                               const std::string& TipoDoc, const std::string& Extra);

// ---- Linked receipts, non-fiscal receipts and card slips ----

// Opens a linked non-fiscal receipt for payment form FormaPgto of the fiscal
// receipt Numero, for Valor (14 digits in cents); code in inRetorno,
// refusals shown when boNUtilTaa. True when opened.
bool Abre_Comp_NFiscalVinc(const std::string& Esquema, const std::string& FormaPgto,
                           const std::string& Valor, const std::string& Numero);

// Closes the open linked receipt; code in inRetorno; a refusal is shown.
bool Fecha_Comp_NFiscalVinc(const std::string& Esquema);

// Registers a non-fiscal receipt of Valor (14 digits in cents) on the
// non-fiscal totalizer Totalizador (its index text), paid with FormaPgto;
// code in inRetorno, refusals shown when boNUtilTaa.
bool Cupom_NFiscNVinc(const std::string& Esquema, const std::string& Totalizador,
                      const std::string& Valor, const std::string& FormaPgto);

// Prints the card slips of a sale. PrimeirasVias and SegundasVias hold the
// first and second copies, entry k of both belonging to transaction k (a
// null list counts as empty). After checking the printer (an attended till
// may try again), opens one document: with Modo 2 a gerencial report
// recorded as "RG"; otherwise, for the receipt number read from the printer
// (the incoming Numero is not read), a linked receipt of the first 16
// characters of FormaPgto and Valor when Vinculado is "N", else a gerencial
// report, recorded as "CC". A refused opening on an attended till may be
// tried again as a gerencial report ("RG"); an opening whose answer was lost
// and whose outcome the printer cannot tell is never tried again: the
// operator is told to check the printer (stMensagemTaa and the debug log
// too) and the result is false. Then, per transaction: the first
// copy when Vinculado is "N"; the second copy after a pause, unless
// TipoTerminal is "APC" or "TAA", the list lacks it or the first copy
// failed. Each copy goes out four lines per feed; a failed feed drops the
// rest of that copy; a last line without a line feed is printed as a line of
// its own. The document is then closed (its result not examined).
// False when the printer is not ready, PrimeirasVias is empty, the
// document could not be opened, or a feed was refused (a slip, or its second
// copy, did not print whole); true otherwise. The Reserva* arguments are not
// used.
bool ImprimeTef(const std::string& ChaveDoc, const std::string& Chave1, const std::string& Chave2,
                const std::string& Esquema, const zel::StringList* PrimeirasVias,
                const zel::StringList* SegundasVias, const zel::StringList* ReservaLista1,
                const zel::StringList* ReservaLista2, const std::string& Numero,
                const std::string& FormaPgto, const std::string& ReservaTexto, double ReservaReal,
                double Valor, int Modo, const std::string& Vinculado,
                const std::string& TipoTerminal);

// ---- Barcode ----

// Prints Dados as a barcode of kind Tipo ("CODABAR", "CODE128", "CODE39",
// "CODE93", "EAN13", "EAN8", "ISBN", "ITF", "MSI", "PLESSEY", "UPCA",
// "UPCE"; exact case) in a gerencial report. Kinds with a fixed width get
// Dados padded on the left with zeros to it (CODABAR 8, CODE128 16, EAN13
// 12, EAN8 7, ISBN 9, ITF 14, MSI 7, PLESSEY 7, UPCA 11). Any other kind
// prints nothing and counts as accepted. On success the report is closed
// and the result is true; on a refusal the ErroComando notice is shown, the
// report stays open and the result is false. The integer is not used.
bool CodigoBarra(const std::string& Esquema, const std::string& Chave1, const std::string& Chave2,
                 int NaoUsado, const std::string& Dados, const std::string& Tipo);
