// The fixed-width records the printer answers queries with. Each function
// returns exactly the width the query's buffer has. Positions below are
// 1-based; "," separates fields; amounts are digits with two implied
// decimals; counters are zero-padded digits.
#pragma once

#include <string>

#include "emulator/printer_state.h"

namespace zel::emu {

// 79: sixteen rates of 4 digits ("1800" = 18,00 %), each followed by ","
// except the last; "0000" marks a position that is not programmed.
std::string RatesRecord(const TaxRates& rates);
// 79: the ISS rates only, in position order, each followed by ",", the rest
// blank.
std::string IssRatesRecord(const TaxRates& rates);
// 179: records of 20 (name in 19, ","), one per totalizer position up to the
// last named one; unnamed positions blank; a NUL right after the last record
// when there is room.
std::string TotalizerNamesRecord(const PrinterMemory& m);
// 3016: 52 records of 58: 1-16 name, 17-36 the day's amount (20 digits),
// 37-56 the amount paid in the last receipt (20 digits), 57 the linked-slip
// flag given when the form was programmed ("1"/"0"), 58 ","; unprogrammed
// records blank.
std::string PaymentFormsRecord(const PrinterMemory& m);
// 445: the day's partial totals (layout in emulator/README.md).
std::string PartialTotalsRecord(const PrinterMemory& m);
// 2200: 50 records of 44: 1-4 count, 5-24 amount (20 digits), 25-43 name,
// 44 ","; one per totalizer position up to the last named one.
std::string NonFiscalRecord(const PrinterMemory& m);
// 1278: the last reduction (layout in emulator/README.md); all counters and
// amounts zero and the date "000000" before the first reduction.
std::string LastReductionRecord(const PrinterMemory& m);

}  // namespace zel::emu
