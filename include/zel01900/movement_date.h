// The printer's fiscal movement date: the fiscal day currently open.
#pragma once

#include <string>

#include "runtime/datetime.h"

// The date of the printer's open fiscal day (IBM_FI_DataMovimento, "ddmmyy";
// its code is analysed without dialogs and does not touch inRetorno), read
// with the century of the computer's current year (31/12/99 read in 2010 is
// 31 December 2099). Today's date when the printer answers blanks or a text
// that is not a valid date. Never raises: a failure of any kind (the debug
// log cannot be written, for instance) gives today's date. The argument is
// not used.
zel::TDateTime DataMoviFiscal(const std::string& NaoUsado);
