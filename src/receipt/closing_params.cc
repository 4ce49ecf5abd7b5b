#include "receipt/closing_params.h"

#include "hostutil/layout.h"
#include "runtime/convert.h"
#include "runtime/format.h"
#include "runtime/host_error.h"

namespace zel::receipt {

namespace {

class Reader {
 public:
  Reader(const std::vector<HostVariant>& values, const FormatSettings& fs)
      : values_(values), fs_(fs) {}

  // A missing index reads as the empty value.
  const HostVariant& At(int index) const {
    static const HostVariant kEmpty;
    return index < static_cast<int>(values_.size()) ? values_[index] : kEmpty;
  }
  std::string Text(int index) const { return At(index).AsString(fs_); }
  double Real(int index) const { return At(index).AsFloat(fs_); }
  bool Boolean(int index) const { return At(index).AsBoolean(); }

 private:
  const std::vector<HostVariant>& values_;
  const FormatSettings& fs_;
};

}  // namespace

ClosingParams ReadClosingParams(const std::vector<HostVariant>& values, const FormatSettings& fs) {
  ClosingParams p;
  const Reader r(values, fs);
  try {
    p.promo_message = r.Text(1);
    p.colour_scheme = r.Text(2);
    p.register_change = r.Boolean(4);
    p.show_dialogs = r.Boolean(5);
    p.discount = r.Real(6);
    p.change = r.Real(7);
    p.surcharge = r.Real(8);
    p.card_use = r.Text(9);
    p.extra_line = r.Text(10);
    p.card_slips = r.Boolean(11);
    p.movements = r.At(13);
    p.payment_types = r.At(14);
    p.client_code = r.Text(15);
    p.client_name = r.Text(16);
    p.consumer_code = r.Text(17);
    p.consumer_name = r.Text(18);
    p.consumer_document = r.Text(19);
    p.document_flag = r.Text(20);
    p.table_number = r.Text(21);
    p.operator_code = r.Text(22);
    p.operator_name = r.Text(23);
    p.balance_mode = r.Text(27);
    p.conference_coo = r.Text(28);
    p.conference_cer = r.Text(29);
    p.order_password = r.Text(31);
    p.credit_balances = r.At(32);
    p.family_balances = r.At(33);
    p.loans = r.At(34);
    p.family_footer = r.Text(35);
    p.balance_kind = r.Text(36);
    p.balance_before = r.Real(37);
    p.subsidy = r.Real(38);
    p.centred_line = r.Text(39);
    p.print_card_slips = r.Text(40);
    p.echo = r.Text(42);
    p.state = r.Text(43);
    p.cnpj = r.Text(44);
    p.limit_mode = r.Text(46);
    p.daily_limit = r.Text(47);
    p.monthly_limit = r.Text(48);
    p.consumption = r.At(49);
    p.icms = r.Real(50);
    p.approximate_taxes = r.Real(51);
    p.dotz_points = r.Real(52);
    p.excess_balance = r.Real(53);
    p.dotz_extra_points = r.Real(54);
  } catch (const HostError&) {
    // The host's array may carry a value of the wrong kind; the closing goes
    // on with what was read, the rest empty or zero.
  }
  return p;
}

void AdjustConferenceNumbers(ClosingParams& params) {
  if (params.conference_coo.empty()) return;
  params.conference_coo = Ajusta(params.conference_coo, 6);
  params.conference_cer = Ajusta(IntToStr(StrToInt(params.conference_cer)), 6);
}

}  // namespace zel::receipt
