// DadosUltimaRedZ: the data of the last Z reduction for the host, cut out of
// the printer's fixed-width record, with the taxes per rate.
#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include "core/driver_support.h"
#include "hostutil/layout.h"
#include "hostutil/numeric.h"
#include "runtime/convert.h"
#include "runtime/format.h"
#include "runtime/memtable.h"
#include "zel01900/core.h"
#include "zel01900/data_module.h"
#include "zel01900/readings.h"

namespace {

using zel::HostVariant;

// The last-reduction record and the rate list, as the vendor library fills
// them.
constexpr size_t kRecordWidth = 1278;
constexpr size_t kRatesWidth = 79;
// A partial total and a rate record (four digits and a separator).
constexpr size_t kTotalWidth = 14;
constexpr size_t kRateWidth = 5;

// Positions (1-based) of the record's fields.
constexpr size_t kCro = 4;
constexpr size_t kCrz = 9;
constexpr size_t kCoo = 14;
constexpr size_t kCancelledReceipts = 54;
constexpr size_t kGrandTotal = 316;
constexpr size_t kPartialTotals = 335;
constexpr size_t kPartialTotalCount = 16;
constexpr size_t kMovementDate = 1273;

// The ICMS totals after the partial totals: where each is read, which
// element it goes to and whether it counts in the gross sales. Surcharges are
// already inside the partial totals.
struct IcmsTotal {
  size_t position;
  size_t element;
  bool in_gross;
};
constexpr IcmsTotal kExempt{560, 27, true};
constexpr IcmsTotal kNonIncidence{575, 28, true};
constexpr IcmsTotal kSubstitution{590, 29, true};
constexpr IcmsTotal kDiscounts{650, 33, true};
constexpr IcmsTotal kSurcharges{680, 35, false};
constexpr IcmsTotal kCancellations{710, 37, true};

// Elements of the host's result array.
constexpr size_t kElemCrz = 0;
constexpr size_t kElemCro = 1;
constexpr size_t kElemGross = 2;
constexpr size_t kElemDate = 3;
constexpr size_t kElemCancelledReceipts = 4;
constexpr size_t kElemCroAgain = 11;
constexpr size_t kElemCrzAgain = 12;
constexpr size_t kElemCoo = 13;
constexpr size_t kElemGrandTotal = 25;
constexpr size_t kElemDateAgain = 46;
constexpr size_t kElemGrossText = 47;
constexpr size_t kElemNetText = 48;

// Amounts handed over as texts: at least two integer digits, two decimals.
constexpr const char* kAmountFormat = "00.00";

// The days subtracted from today for the date element of a failed query:
// a value no reduction can carry.
constexpr int kFailureDateOffset = 1000;

std::string At(const std::string& record, size_t position, size_t width) {
  return record.substr(position - 1, width);
}

// The host made the array; an element it does not have is not written.
void Store(HostVariant& result, size_t index, HostVariant value) {
  if (!result.IsArray()) return;
  std::vector<HostVariant>& elements = result.Elements();
  if (index < elements.size()) elements[index] = std::move(value);
}

void StoreFailure(HostVariant& result) {
  Store(result, kElemCrz, "");
  Store(result, kElemCro, "");
  Store(result, kElemGross, 0);
  Store(result, kElemDate, static_cast<double>(zel::Date() - kFailureDateOffset));
  Store(result, kElemCancelledReceipts, "");
}

// A rate record's four digits; a position the printer left blank is 0.
double RateValue(const std::string& digits) {
  return zel::EmptyString(digits) ? 0.0 : GetValue(digits);
}

// Fills cdsImposto with one row per rate position that sold anything; the
// rates pair with the totals by position, so a skipped row keeps the
// following positions in step.
void BuildTaxTable(std::string totals, std::string rates, const zel::FormatSettings& fs) {
  zel::MemTable& imposto = EnsureDataModule().cdsImposto;
  imposto.Close();
  imposto.CreateDataSet();
  int position = 1;
  while (!zel::EmptyString(totals)) {
    const double sold = GetValue(zel::core::Cut(totals, kTotalWidth));
    if (sold > 0) {
      const double rate = RateValue(zel::core::Cut(rates, 4));
      imposto.Append();
      imposto.FieldByName("CDIMPOSTO").SetAsString("00");
      imposto.FieldByName("CDALIQIMPFIS").SetAsString(zel::Ajusta(zel::IntToStr(position), 2));
      imposto.FieldByName("VRVENDIDO").SetAsString(zel::FormatFloat(kAmountFormat, sold, fs));
      imposto.FieldByName("VRALIQIMPFIS").SetAsString(zel::FormatFloat(kAmountFormat, rate, fs));
      imposto.FieldByName("VRIMPOSTO")
          .SetAsString(zel::FormatFloat(kAmountFormat, zel::Trunc2(rate * sold / 100), fs));
      imposto.Post();
    }
    rates.erase(0, std::min(kRateWidth, rates.size()));
    totals.erase(0, std::min(kTotalWidth, totals.size()));
    ++position;
  }
}

// Cuts the record into the result array and the tax table; raises the
// runtime's errors for a field that does not convert.
void CutRecord(const std::string& record, const std::string& rates, HostVariant& result,
               zel::MemTable& table, const zel::FormatSettings& fs) {
  const std::string crz = At(record, kCrz, 4);
  const std::string cro = At(record, kCro, 4);
  Store(result, kElemCrzAgain, crz);
  Store(result, kElemCroAgain, cro);
  Store(result, kElemCoo, At(record, kCoo, 6));

  double gross = 0.0;
  for (size_t k = 0; k < kPartialTotalCount; ++k) {
    gross += GetValue(At(record, kPartialTotals + kTotalWidth * k, kTotalWidth));
  }
  double discounts = 0.0;
  double cancellations = 0.0;
  for (const IcmsTotal& total :
       {kExempt, kNonIncidence, kSubstitution, kDiscounts, kSurcharges, kCancellations}) {
    const double value = GetValue(At(record, total.position, kTotalWidth));
    Store(result, total.element, zel::FormatFloat(kAmountFormat, value, fs));
    if (total.in_gross) gross += value;
    if (total.position == kDiscounts.position) discounts = value;
    if (total.position == kCancellations.position) cancellations = value;
  }
  Store(result, kElemGrossText, zel::FormatFloat(kAmountFormat, gross, fs));
  const double net = (gross - cancellations) - discounts;
  Store(result, kElemNetText, zel::FormatFloat(kAmountFormat, net, fs));

  const std::string ddmmyy = At(record, kMovementDate, 6);
  const zel::TDateTime date =
      zel::StrToDate(ddmmyy.substr(0, 2) + fs.date_separator + ddmmyy.substr(2, 2) +
                         fs.date_separator + ddmmyy.substr(4, 2),
                     fs);
  Store(result, kElemDateAgain, HostVariant::FromDateTime(date));
  const std::string cancelled_receipts = zel::Ajusta(At(record, kCancelledReceipts, 4), 4);
  Store(result, kElemGrandTotal,
        zel::FormatFloat(kAmountFormat, GetValue(At(record, kGrandTotal, 18)), fs));

  BuildTaxTable(At(record, kPartialTotals, kTotalWidth * kPartialTotalCount), rates, fs);
  table.SetData(EnsureDataModule().cdsImposto.Data());

  Store(result, kElemCrz, crz);
  Store(result, kElemCro, cro);
  Store(result, kElemGross, gross);
  Store(result, kElemDate, HostVariant::FromDateTime(date));
  Store(result, kElemCancelledReceipts, cancelled_receipts);
}

}  // namespace

bool DadosUltimaRedZ(const std::vector<HostVariant>& Params, HostVariant& Resultado,
                     zel::MemTable& Tabela) {
  const zel::FormatSettings& fs = zel::core::HostLocale();
  const std::string esquema = Params.empty() ? std::string() : Params[0].AsString(fs);
  std::string registro(kRecordWidth, ' ');
  const int32_t code = IBM_FI_DadosUltimaReducaoMFD(registro.data());
  ImpFisDebug("IBM_FI_DadosUltimaReducaoMFD: " + registro);
  if (!AnalisaRetorno(esquema, code, true, false, false)) {
    StoreFailure(Resultado);
    return false;
  }
  // The taxes are worked out from the printer's rates: without them every
  // rate and tax would read as zero, so a refused rate list fails the whole
  // query instead of handing over a wrong tax table.
  std::string aliquotas(kRatesWidth, ' ');
  const int32_t code_rates = IBM_FI_RetornoAliquotas(aliquotas.data());
  ImpFisDebug("IBM_FI_RetornoAliquotas: " + aliquotas);
  if (!AnalisaRetorno(esquema, code_rates, true, false, false)) {
    StoreFailure(Resultado);
    return false;
  }
  try {
    CutRecord(registro, aliquotas, Resultado, Tabela, fs);
  } catch (const std::exception&) {
    // A field that does not convert: the host keeps what was written so far.
    return false;
  }
  return true;
}
