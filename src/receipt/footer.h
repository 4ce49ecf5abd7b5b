// The closing footer of the fiscal receipt: the promotional text that
// IBM_FI_TerminaFechamentoCupom prints before it ends the receipt. Building
// it is pure: the caller hands in the closing's parameters, its working
// values and two sources for the balance tables, and gets the exact bytes.
//
// Line ends are mixed on purpose, as the printer's layout expects them: some
// lines end with CR LF, some with LF alone, and the Distrito Federal and
// Paraiba lines use LF CR.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "receipt/closing_params.h"
#include "runtime/datetime.h"
#include "runtime/format_settings.h"
#include "runtime/string_list.h"

namespace zel::receipt {

// One row of the consumer-credit balances (cdsSaldCred), in table order.
struct FamilyRow {
  int rec_no = 0;      // 1-based row number in the table
  std::string name;    // NMFAMILISALD
  double balance = 0;  // VRSALDCONFAM
  double value = 0;    // the amount printed on the family line (balance
                       // less the family's own value and its loans)
};

// The consumption so far (cdsVrSaldConsumi).
struct ConsumptionSoFar {
  bool has_rows = false;
  std::string day;    // VALCONSUMDIA as text
  std::string month;  // VALCONSUMMES as text
};

enum class FooterVariant {
  kFamilyTotal,       // family balances with their total
  kFamily,            // family balances
  kCardSlip,          // card slips printed inside the footer
  kAgreement,         // an agreement (convenio) payment was registered
  kStandard,          // consumer document given
  kConsumptionLimit,  // no consumer document: consumption limits
};

struct FooterContext {
  const ClosingParams* params = nullptr;
  // Working values of the closing.
  std::string sale_total;      // the sale-total text
  double consumer_credit = 0;  // payments of class "9" or "A"
  bool agreement = false;      // a payment of class "8" was registered
  TDateTime today = 0;
  const StringList* card_slip_texts = nullptr;  // nullptr: the host passed none
  // VRMOVIVEND of the current row of cdsMovCaixaTef after the payments.
  double movement_amount = 0;
  // Sources, asked only by the variants that need them.
  std::function<std::vector<FamilyRow>()> family_rows;
  std::function<ConsumptionSoFar()> consumption;
  // Texts of the message tables msgPadrao and msgPadrao2, and the locale.
  std::function<std::string(std::string_view)> msg;
  std::function<std::string(std::string_view)> msg2;
  const FormatSettings* fs = nullptr;
};

struct Footer {
  FooterVariant variant = FooterVariant::kStandard;
  std::string text;
};

// The tax-transparency line for `taxes` (index 51) and the sale-total text.
// Raises ConvertError when taxes are not zero and the total text is not a
// number, HostError when it reads as zero.
std::string TaxLine(double taxes, std::string_view sale_total, const FormatSettings& fs);

// The pieces every variant shares and that are computed before the variant
// is chosen: the promotional text (index 1, with "NL" added in the Distrito
// Federal), the tax line (extended in the Distrito Federal) and the state
// line. Fails as TaxLine does.
struct FooterPieces {
  std::string promo;
  std::string tax_line;
  std::string state_line;
};
FooterPieces BuildFooterPieces(const ClosingParams& params, std::string_view sale_total,
                               TDateTime today, const FormatSettings& fs);

// Chooses the variant and builds its text. Fails as TaxLine does, and with
// ConvertError when a consumption limit or consumption so far is not a
// number.
Footer BuildFooter(const FooterContext& context);

}  // namespace zel::receipt
