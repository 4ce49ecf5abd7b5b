// Map: shared pieces (tax and state lines), the shared lines, the balance
// step, then one builder per variant and the variant choice at the end.
#include "receipt/footer.h"

#include <cmath>

#include "core/message_tables.h"
#include "hostutil/layout.h"
#include "runtime/convert.h"
#include "runtime/format.h"
#include "runtime/host_error.h"
#include "zel01900/core.h"

namespace zel::receipt {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kLf = "\n";
constexpr std::string_view kLfCr = "\n\r";
constexpr char kEsc = 27;

std::string Cut(std::string_view text, size_t count) { return std::string(text.substr(0, count)); }

// Fixed-point text with two decimals and no grouping ("-1234,50").
std::string Fixed2(double value, const FormatSettings& fs) {
  return FloatToStrF(value, FloatFormat::kFixed, 15, 2, fs);
}

// An amount text read as a number; an empty text counts as zero.
double AmountOf(const std::string& text, const FormatSettings& fs) {
  return StrToFloat(text.empty() ? std::string_view("0") : std::string_view(text), fs);
}

// The sale total without its decimal separator: the digits before it and the
// two after it (",50" gives "50", "12,50" gives "1250").
std::string TotalDigits(std::string_view total, char separator) {
  const size_t pos = total.find(separator);
  if (pos == std::string_view::npos) return Cut(total, 2);
  return std::string(total.substr(0, pos)) + Cut(total.substr(pos + 1), 2);
}

// Everything a variant needs besides the context: the shared pieces and the
// pieces computed before the variant is chosen.
class Builder {
 public:
  explicit Builder(const FooterContext& c) : c_(c), p_(*c.params), fs_(*c.fs) {
    pieces_ = BuildFooterPieces(p_, c_.sale_total, c_.today, fs_);
    if (p_.dotz_points != 0) {
      dotz_ = Format(c_.msg2("DOTZ"), {FloatToStr(p_.dotz_points, fs_)}, fs_);
    }
    if (p_.dotz_extra_points != 0) {
      dotz_extras_ = Format(c_.msg2("DOTZ_EXTRAS"), {FloatToStr(p_.dotz_extra_points, fs_)}, fs_);
    }
    if (!p_.table_number.empty()) {
      if (p_.table_number.size() > 4) {
        table_label_ = c_.msg("Comanda") + " : " + p_.table_number + "   - ";
      } else {
        table_label_ = c_.msg("Mesa") + "  : " + p_.table_number + "           - ";
      }
    }
    if (!p_.order_password.empty()) password_ = c_.msg("SENHA") + p_.order_password;
  }

  Footer Build() {
    if (p_.family_footer == "2" && !p_.consumer_code.empty() && p_.balance_kind == "1") {
      return {FooterVariant::kFamilyTotal, FamilyTotalFooter()};
    }
    if (p_.balance_mode == "1" && p_.balance_kind == "1") {
      return {FooterVariant::kFamily, FamilyFooter()};
    }
    const bool card_slip = p_.card_use == "T" && p_.card_slips && p_.print_card_slips == "S" &&
                           c_.card_slip_texts != nullptr;
    std::string card_text;
    if (card_slip) card_text = CardSlipFooter();
    BalanceStep();
    if (card_slip) return {FooterVariant::kCardSlip, card_text};
    if (c_.agreement) return {FooterVariant::kAgreement, AgreementFooter()};
    if (!p_.consumer_document.empty()) return {FooterVariant::kStandard, StandardFooter()};
    return {FooterVariant::kConsumptionLimit, ConsumptionLimitFooter()};
  }

 private:
  // ---- Shared lines ----
  std::string Promotional() const {
    return pieces_.promo.empty() ? "" : pieces_.promo + std::string(kCrLf);
  }
  std::string PromotionalAlways() const { return pieces_.promo + std::string(kCrLf); }
  std::string Tax() const {
    return pieces_.tax_line.empty() ? "" : pieces_.tax_line + std::string(kCrLf);
  }
  std::string State() const {
    return pieces_.state_line.empty() ? "" : pieces_.state_line + std::string(kCrLf);
  }
  std::string Conference() const {
    if (p_.conference_coo.empty()) return "";
    return Cut(c_.msg("Conf_mesa") + " - CER " + p_.conference_cer + " - COO " + p_.conference_coo,
               48) +
           std::string(kLf);
  }
  std::string Client() const {
    if (p_.client_code.empty()) return "";
    return std::string(kLf) + Cut(c_.msg("CDCLIE") + p_.client_code + " - " + p_.client_name, 40) +
           std::string(kLf);
  }
  std::string Agreement() const {
    return c_.msg("Convenio") + " ..: " + Cut(p_.client_code + " - " + p_.client_name, 40) +
           std::string(kLf);
  }
  std::string Consumer() const {
    if (p_.consumer_code.empty()) return "";
    return Cut(c_.msg("Consumidor") + " : " + p_.consumer_code + " - " + p_.consumer_name, 40) +
           std::string(kLf);
  }
  std::string FinalBalance() const {
    if (!balance_flag_) return "";
    return c_.msg("Sald_Cons") + TamFixoR(Fixed2(balance_, fs_), 26) + std::string(kLf);
  }
  std::string Subsidy() const {
    if (p_.subsidy == 0) return "";
    return SubsidyLine();
  }
  std::string SubsidyLine() const {
    return c_.msg("PRECO_SUBSIDIO") + " " + Fixed2(p_.subsidy, fs_) + std::string(kLf);
  }
  std::string TableAndPassword() const { return table_label_ + password_; }
  std::string Operator() const {
    return c_.msg("Operador") + " : " + p_.operator_code + " - " + p_.operator_name +
           std::string(kCrLf);
  }
  std::string FamilyOperator() const {
    return c_.msg("Operador") + ": " + p_.operator_code + " - " + p_.operator_name +
           std::string(kCrLf);
  }
  std::string Centred() const {
    if (p_.centred_line.empty()) return "";
    return Centraliza(p_.centred_line, 47) + std::string(kCrLf);
  }
  std::string Extra() const {
    if (p_.extra_line.empty()) return "";
    return p_.extra_line + std::string(kCrLf);
  }
  static std::string Dotz(const std::string& text) {
    return text.empty() ? "" : TamFixo(Centraliza(text, 40), 40);
  }
  // Vendor line, DOTZ lines: the common tail of the standard, agreement and
  // consumption-limit footers.
  std::string Tail() const {
    return std::string(core::kVendorLine) + std::string(kCrLf) + Dotz(dotz_) + std::string(kCrLf) +
           Dotz(dotz_extras_);
  }

  // ---- Balance step (the rule-3 footers) ----
  void BalanceStep() {
    balance_ = 0;
    double before = p_.balance_before;
    if (p_.balance_mode == "1" || (p_.balance_mode == "0" && p_.balance_kind == "2")) {
      before = before - c_.consumer_credit + p_.subsidy;
      balance_ = before;
    } else if (p_.balance_mode == "0" && p_.balance_kind == "1") {
      double sum = 0;
      for (const FamilyRow& row : FamilyRows()) sum += row.balance;
      balance_ = sum - c_.consumer_credit;
    }
    balance_flag_ = !p_.consumer_code.empty() && p_.balance_mode != "2" &&
                    (p_.balance_kind == "1" || p_.balance_kind == "2");
  }

  std::vector<FamilyRow> FamilyRows() const {
    return c_.family_rows ? c_.family_rows() : std::vector<FamilyRow>{};
  }

  // ---- Family footers ----
  // Only the first two rows of cdsSaldCred can print a family line: the
  // printed block keeps room for two families, and rows beyond them (and
  // rows without a balance) are left out. The total still adds every row.
  static bool PrintsFamilyLine(const FamilyRow& row) { return row.balance != 0 && row.rec_no <= 2; }
  std::string FamilyLine(const FamilyRow& row) const {
    return TamFixo(row.name, 25) + TamFixoR(Fixed2(row.value, fs_), 22) + std::string(kLf);
  }
  std::string FamilyHeader() const {
    std::string block = Centraliza(p_.client_code + " - " + p_.client_name, 48) + std::string(kLf) +
                        Centraliza(p_.consumer_code + " - " + p_.consumer_name, 48) +
                        std::string(kLf);
    if (p_.subsidy > 0) block += SubsidyLine();
    return block;
  }
  std::string FamilyTail() const {
    return std::string(core::kVendorLine) + std::string(kCrLf) + FamilyOperator() + Dotz(dotz_) +
           std::string(kCrLf) + Dotz(dotz_extras_) + std::string(kCrLf);
  }

  std::string FamilyTotalFooter() const {
    std::string block = FamilyHeader();
    if (p_.balance_mode == "1" || p_.balance_mode == "0") {
      const std::vector<FamilyRow> rows = FamilyRows();
      if (!rows.empty()) {
        double total = 0;
        for (const FamilyRow& row : rows) {
          if (p_.balance_mode == "1" && PrintsFamilyLine(row)) block += FamilyLine(row);
          if (row.balance != 0) total += row.balance;
        }
        total -= c_.consumer_credit;
        if (p_.balance_mode == "0") {
          block += TamFixo("Saldo Total", 25) + TamFixoR(Fixed2(total, fs_), 22) +
                   std::string(kLf) + std::string(46, ' ') + std::string(kLf);
        }
      }
    }
    return PromotionalAlways() + Tax() + State() + block + FamilyTail();
  }

  std::string FamilyFooter() const {
    std::string block = FamilyHeader();
    for (const FamilyRow& row : FamilyRows()) {
      if (PrintsFamilyLine(row)) block += FamilyLine(row);
    }
    return PromotionalAlways() + Tax() + State() + Conference() + block + FamilyTail();
  }

  // ---- Card-slip footer ----
  std::string CardSlipFooter() const {
    std::string lines;
    for (const std::string& item : c_.card_slip_texts->Strings()) {
      // Every piece that ends with a line feed; a remainder without one is
      // not printed.
      size_t start = 0;
      for (size_t lf = item.find('\n'); lf != std::string::npos; lf = item.find('\n', start)) {
        lines += item.substr(start, lf - start) + std::string(kCrLf);
        start = lf + 1;
      }
    }
    std::string text = PromotionalAlways() + Tax() + State() + lines + TableAndPassword() +
                       "  -  " + p_.operator_name + std::string(kLf);
    if (!p_.centred_line.empty()) text += Centraliza(p_.centred_line, 47) + std::string(kLf);
    if (!p_.extra_line.empty()) text += p_.extra_line + std::string(kLf);
    return text + std::string(core::kVendorLine) + std::string(kLf) + Dotz(dotz_) +
           std::string(kLf) + Dotz(dotz_extras_);
  }

  // ---- Agreement, standard and consumption-limit footers ----
  std::string AgreementFooter() const {
    return Promotional() + Tax() + State() + Conference() + Agreement() + Consumer() +
           FinalBalance() + Subsidy() + TableAndPassword() + std::string(kLf) + Operator() +
           Extra() + Tail();
  }

  std::string StandardFooter() const {
    return Promotional() + Tax() + State() + Conference() + Client() + Consumer() + FinalBalance() +
           Subsidy() + TableAndPassword() + std::string(kLf) + Operator() + Centred() + Extra() +
           Tail();
  }

  std::string LimitsText() const {
    const std::string& mode = p_.limit_mode;
    if (mode == "N" || mode.empty() || p_.consumer_code.empty() || !c_.consumption) return "";
    const ConsumptionSoFar so_far = c_.consumption();
    if (!so_far.has_rows) return "";
    const double daily =
        AmountOf(p_.daily_limit, fs_) - (AmountOf(so_far.day, fs_) + c_.movement_amount);
    const double monthly =
        AmountOf(p_.monthly_limit, fs_) - (AmountOf(so_far.month, fs_) + c_.movement_amount);
    const std::string day_text = FormatFloat("#0.00", daily, fs_);
    const std::string month_text = FormatFloat("#0.00", monthly, fs_);
    if (mode == "D") return c_.msg("LIMDIA") + day_text + std::string(kLf);
    if (mode == "M") return c_.msg("LIMMES") + month_text + std::string(kLf);
    if (mode == "T") {
      return c_.msg("LIMDIA") + day_text + " - " + c_.msg("LIMMES") + month_text + std::string(kLf);
    }
    if (mode == "E" && p_.excess_balance > 0) {
      return c_.msg("SaldoExcedente") + FormatFloat("#0.00", p_.excess_balance, fs_) +
             std::string(kLf);
    }
    return "";
  }

  std::string ConsumptionLimitFooter() const {
    return Promotional() + Tax() + State() + Conference() + Client() + Consumer() + FinalBalance() +
           LimitsText() + Subsidy() + TableAndPassword() + std::string(kLf) + Operator() + Extra() +
           Tail();
  }

  const FooterContext& c_;
  const ClosingParams& p_;
  const FormatSettings& fs_;
  FooterPieces pieces_;
  std::string dotz_;
  std::string dotz_extras_;
  std::string table_label_;
  std::string password_;
  double balance_ = 0;
  bool balance_flag_ = false;
};

}  // namespace

std::string TaxLine(double taxes, std::string_view sale_total, const FormatSettings& fs) {
  const std::string head = "Val Aprox Tributos R$ " + FormatFloat("#,##0.00", taxes, fs);
  if (taxes == 0) return head + "(0,00%)" + " Fonte IBPT";
  const double total = StrToFloat(sale_total, fs);
  const double ratio = total / taxes;
  if (ratio == 0) throw HostError("Floating point division by zero");
  const double percent = std::fabs(1 / ratio * 100);
  return head + " (" + FormatFloat("#,##0.00", percent, fs) + "%) Fonte:IBPT";
}

FooterPieces BuildFooterPieces(const ClosingParams& params, std::string_view sale_total,
                               TDateTime today, const FormatSettings& fs) {
  FooterPieces pieces;
  pieces.promo = params.promo_message;
  pieces.tax_line = TaxLine(params.approximate_taxes, sale_total, fs);
  const std::string cnpj_digits = FormataCNPJ(params.cnpj);
  const std::string date = FormatDateTime("ddmmyyyy", today, fs);
  const std::string total_digits = TotalDigits(sale_total, fs.decimal_separator);
  if (params.state == "MG") {
    pieces.state_line = "MINAS LEGAL: " + Cut(cnpj_digits, 8) + " " + date + " " + total_digits;
  } else if (params.state == "PB") {
    pieces.state_line = "PARAIBA LEGAL - RECEITA CIDADA" + std::string(kLfCr) +
                        "TORPEDO PREMIADO: " + Cut(cnpj_digits, 14) + " " + date + " " +
                        total_digits + " " + Cut(params.consumer_document, 11);
  } else if (params.state == "DF") {
    pieces.tax_line += std::string(kLfCr) + "ESTABELECIMENTO INCLUIDO NO PROGRAMA DE " +
                       std::string(kLfCr) + "CONCESSAO DE CREDITOS - LEI n\xBA 4.159/08." +
                       std::string(kLfCr) + kEsc + "E" + "NOTA LEGAL:" + kEsc + "F" +
                       " ICMS = " + FormatFloat("#,##0.00", params.icms, fs);
    pieces.promo += "NL";
  }
  return pieces;
}

Footer BuildFooter(const FooterContext& context) { return Builder(context).Build(); }

}  // namespace zel::receipt
