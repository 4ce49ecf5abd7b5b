// Opening and closing the printer port, the printer's state and clock
// checks, and the small identity queries (date and time, grand total, model,
// firmware version, counter range). ImpressoraOK is in zel01900/core.h.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/datetime.h"
#include "runtime/variant.h"

// Opens the port and makes the printer ready for the day. Creates the data
// module when none exists; reads CDFILIAL, CDCAIXA, NRSERIEIMP, ESQUEMACOR
// and PORTAIMPFIS as texts (a value that does not convert raises the
// runtime's exception; a missing key reads as ""). Then:
//  - calls IBM_FI_AbrePortaSerial (its result is not examined);
//  - checks the printer's clock with VerificaData (query on): false when it
//    fails or differs by more than 15 minutes (the DataDif dialog);
//  - IBM_FI_VerificaImpressoraLigada answering -6 (printer off): the log line
//    "ERRO!!! " + the ImpDeslig text, the same text as a notice (kind 3),
//    false;
//  - closes any linked non-fiscal receipt and gerencial report left open;
//  - when the printer reports an open receipt alone (ST1 exactly 2) or the
//    host left an interrupted sale ("cdsVenda.cds" or
//    "cdsItensCancelados.cds" in its executable's folder), cancels the
//    receipt and brings the stored grand total up to date with Atu_TotGeral
//    (IDVALIDA "N");
//  - returns true.
bool AbrePorta(const zel::HostParams& params);

// Closes the port: true when IBM_FI_FechaPortaSerial answered 1.
bool FechaPorta();

// Reads the printer's state (IBM_FI_VerificaEstadoImpressora, code in
// inRetorno), clears stMensagemTaa and analyses the code with dialogs as
// boNUtilTaa says. The result (false also when anything in between raised)
// is stored in boClieUtil and returned. The two flags are not used.
bool Estado_Imp(const std::string& esquema, bool nao_usado1, bool nao_usado2);

// The printer's clock check and the fiscal date.
//  - With `consultar`, reads the printer's date and time into
//    `data_hora_impressora` with Data_Imp; when that fails, clears
//    boClieUtil and returns false at once (`data` untouched).
//  - When `data_hora_impressora` (DDMMYYHHMMSS) is not empty, compares it
//    (seconds ignored) with the computer's clock; a difference of more than
//    15 minutes within the day (hours count as hundreds, whole days do not
//    count) shows the DataDif notice whatever the dialog switch, clears
//    boClieUtil on an attended till, and makes the result false.
//  - Sets `data` to the fiscal date `data_fiscal` (DDMMYY, the century of
//    the current year) or, when it is empty, to today. A text that does not
//    convert makes `data` today and leaves the result as it was.
bool VerificaData(const std::string& esquema, zel::TDateTime& data,
                  std::string& data_hora_impressora, const std::string& data_fiscal,
                  bool consultar);

// The printer's date and time as 12 characters DDMMYYHHMMSS (code in
// inRetorno); the result of the return analysis, with dialogs when
// boNUtilTaa or not boClieUtil.
bool Data_Imp(const std::string& esquema, std::string& data_hora);

// The printer's grand total as a plain decimal number text ("1234,56").
// Code in inRetorno; the analysis runs without dialogs and its result is not
// used: always true. A blank answer does not convert and raises
// zel::ConvertError.
bool BuscaTotGer(const std::string& esquema, std::string& total);

// The printer's brand (15), model (20) and type (7) as the printer gives
// them; the result of the return analysis, with dialogs.
bool Modelo_Impressora(const std::string& esquema, std::string& marca, std::string& modelo,
                       std::string& tipo);

// The printer's firmware version (6 characters); the result of the return
// analysis, with dialogs.
bool Versao_Software_Basico(const std::string& esquema, std::string& versao);

// The first and last receipt numbers (COO, 6 characters each) of the
// printer's memory and the number of cancelled receipts (4 characters).
// Codes in inRetorno; analysed without dialogs; always true. `nao_usado` is
// not used.
bool InfImpTerm(const std::string& esquema, int32_t nao_usado, std::string& primeiro_coo,
                std::string& cupons_cancelados, std::string& ultimo_coo);
