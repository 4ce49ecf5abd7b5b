// CarregaAliquota: the printer's tax rates for the host.
#include <algorithm>
#include <string>

#include "config/config_support.h"
#include "core/driver_support.h"
#include "hostutil/layout.h"
#include "runtime/convert.h"
#include "runtime/memtable.h"
#include "zel01900/config_loads.h"
#include "zel01900/core.h"
#include "zel01900/data_module.h"

namespace {

// Width of one record of the rate lists: four digits and a separator.
constexpr size_t kRateWidth = 5;

// Whether the rate with these four digits is an ISS rate: the ISS list holds
// the printer's ISS rates in the same records, so the rate's own digits are
// looked for record by record. A percentage the printer has both as an ICMS
// and as an ISS rate cannot be told apart by the lists and counts as ISS.
bool IsIssRate(const std::string& digits, const std::string& iss_list) {
  for (size_t at = 0; at + digits.size() <= iss_list.size(); at += kRateWidth) {
    if (iss_list.compare(at, digits.size(), digits) == 0) return true;
  }
  return false;
}

}  // namespace

void CarregaAliquota(const std::string& Esquema, zel::MemTable& Tabela) {
  const zel::FormatSettings& fs = zel::core::HostLocale();
  std::string aliquotas(79, ' ');
  inRetorno = IBM_FI_RetornoAliquotas(aliquotas.data());
  ImpFisDebug(zel::core::AnswerLog("IBM_FI_RetornoAliquotas", aliquotas));
  // A list the printer did not deliver would give an empty rate table, and a
  // missing ISS list would mark every ISS rate as ICMS: the host's table and
  // the ISS list of the last load stay as they were.
  if (!zel::config::QueryAnswered(Esquema, inRetorno)) return;

  const std::string iss_anterior = stAliquotaIss;
  stAliquotaIss.assign(79, ' ');
  inRetorno = IBM_FI_VerificaAliquotasIss(stAliquotaIss.data());
  ImpFisDebug(zel::core::AnswerLog("IBM_FI_VerificaAliquotasIss", stAliquotaIss));
  if (!zel::config::QueryAnswered(Esquema, inRetorno)) {
    stAliquotaIss = iss_anterior;
    return;
  }

  zel::MemTable& tabela = EnsureDataModule().cdsAliqImpFis;
  tabela.Close();
  tabela.CreateDataSet();
  std::string resto = zel::config::Trim(aliquotas);
  int posicao = 1;
  while (!zel::EmptyString(resto)) {
    const std::string digitos = zel::core::Cut(resto, 4);
    const std::string texto = zel::core::Cut(digitos, 2) + fs.decimal_separator +
                              digitos.substr(std::min<size_t>(2, digitos.size()));
    double valor = 0;
    // A record that is not a number (a blank position) gives no row.
    if (zel::TryStrToFloat(texto, valor, fs) && valor != 0) {
      tabela.AppendRecord(
          {zel::config::TwoDigits(posicao), valor, IsIssRate(digitos, stAliquotaIss) ? "S" : "T"});
    }
    ++posicao;
    resto.erase(0, std::min(kRateWidth, resto.size()));
  }
  tabela.AppendRecord({"NN", 0.0, "N"});
  tabela.AppendRecord({"II", 0.0, "I"});
  tabela.AppendRecord({"FF", 0.0, "F"});
  Tabela.SetData(tabela.Data());
}
