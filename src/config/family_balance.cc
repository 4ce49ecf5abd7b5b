#include "config/family_balance.h"

#include "runtime/memtable.h"
#include "runtime/variant.h"

namespace zel::config {

double FamilyBalance(TdtmImpIBM& dm, const std::string& family, double balance) {
  const MemTable::LocateOptions ignore_case{true, false};
  double value = balance;
  bool found = false;
  if (dm.cdsFamiliaSaldo.Active() &&
      dm.cdsFamiliaSaldo.Locate("CDFAMILISALD", HostVariant(family), ignore_case)) {
    found = true;
    value -= dm.cdsFamiliaSaldo.FieldByName("VRSALDCONFAM").AsFloat();
  }
  MemTable& loans = dm.cdsEmprestimo;
  if (!loans.Active()) return value;
  auto loan = [&](const char* kind) {
    return loans.Locate("CDFAMILISALD;IDTPMOVEXT", {HostVariant(family), HostVariant(kind)},
                        ignore_case);
  };
  if (loan("D")) {
    value -= loans.FieldByName("VRMOVEXTCONS").AsFloat();
  } else if (found && loan("C")) {
    value += loans.FieldByName("VRMOVEXTCONS").AsFloat();
  }
  return value;
}

}  // namespace zel::config
