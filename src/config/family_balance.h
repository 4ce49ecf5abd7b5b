// The balance a consumer-credit family line shows, shared by the receipt's
// footer and the consumer-account slips.
#pragma once

#include <string>

#include "zel01900/data_module.h"

namespace zel::config {

// `balance` (the row's balance) less what the sale took from the family
// (cdsFamiliaSaldo) and its loan movements (cdsEmprestimo: a debit "D" is
// subtracted; a credit "C" is added back only for a family found in
// cdsFamiliaSaldo). Tables that are not open count as empty.
double FamilyBalance(TdtmImpIBM& dm, const std::string& family, double balance);

}  // namespace zel::config
