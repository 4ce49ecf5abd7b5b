// Closing of the fiscal receipt. Map: table loading and the family values of
// the footer, then the Closing class (start, consolidation of movements,
// payments, sale total, footer, change voucher, result), then FechaCupom.
#include <cmath>
#include <exception>
#include <string>
#include <vector>

#include "config/family_balance.h"
#include "core/unknown_outcome.h"
#include "hostutil/host_services.h"
#include "hostutil/numeric.h"
#include "receipt/closing_params.h"
#include "receipt/driver_support.h"
#include "receipt/footer.h"
#include "receipt/item_format.h"
#include "runtime/format.h"
#include "runtime/memtable.h"
#include "runtime/string_list.h"
#include "zel01900/core.h"
#include "zel01900/data_module.h"
#include "zel01900/port_status.h"
#include "zel01900/receipt.h"

namespace {

using zel::HostVariant;
using zel::MemTable;
using zel::receipt::ClosingParams;
using zel::receipt::Cut;
using zel::receipt::TextArg;

// The movement fields copied from cdsMovCaixa into cdsMovCaixaTef.
constexpr const char* kMovementFields[] = {
    "CDFILIAL",   "IDTIPOMOVIVE", "DTHRINCMOV",   "CDTIPORECE",   "NMTIPORECE",
    "IDTIPORECE", "VRMOVIVEND",   "VRMOVIVEOUT",  "VRCOTINDOUT",  "CDTIPOTROCO",
    "NRORDTROCO", "CDCLIENTE",    "CDCONSUMIDOR", "DTMOVIMCAIXA", "DSIMPFISCAL",
    "CDFPIMPFIS", "NRCARTBANCO",  "CDNSUHOSTTEF", "CDBANCARTCR",  "CDTIPORECEORIG"};

// Loads table data handed by the host into `table` and opens it. A value the
// host did not pass (a shorter array) leaves the table closed and empty.
void LoadTable(MemTable& table, const HostVariant& data) {
  if (data.IsEmpty() || data.IsNull()) {
    table.Close();
    return;
  }
  table.SetData(data.IsTable() ? data.Packet() : data.AsString());
}

bool IsPayment(const std::string& kind) { return kind == "E" || kind == "T"; }

std::vector<zel::receipt::FamilyRow> ReadFamilyRows(TdtmImpIBM& dm) {
  std::vector<zel::receipt::FamilyRow> rows;
  MemTable& credits = dm.cdsSaldCred;
  if (!credits.Active()) return rows;
  for (credits.First(); !credits.Eof(); credits.Next()) {
    zel::receipt::FamilyRow row;
    row.rec_no = credits.RecNo();
    row.name = credits.FieldByName("NMFAMILISALD").AsString();
    row.balance = credits.FieldByName("VRSALDCONFAM").AsFloat();
    if (row.balance != 0) {
      row.value = zel::config::FamilyBalance(dm, credits.FieldByName("CDFAMILISALD").AsString(),
                                             row.balance);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

// Ends the closing at once, without writing the result: the operator
// declined to try again, or a step failed outside a card sale. Not a
// std::exception, so the closing's guard lets it through.
struct EndWithoutResult {};

class Closing {
 public:
  Closing(const ClosingParams& params, zel::StringList* card_slips, const zel::FormatSettings& fs)
      : p_(params), card_slips_(card_slips), fs_(fs), dm_(EnsureDataModule()) {}

  bool Run(HostVariant& result) {
    LoadTable(dm_.cdsMovCaixa, p_.movements);
    LoadTable(dm_.cdsMovCaixaTef, p_.movements);
    if (dm_.cdsMovCaixaTef.Active()) dm_.cdsMovCaixaTef.EmptyDataSet();
    LoadTable(dm_.cdsRecebAux, p_.payment_types);
    LoadTable(dm_.cdsSaldCred, p_.credit_balances);
    LoadTable(dm_.cdsFamiliaSaldo, p_.family_balances);
    LoadTable(dm_.cdsEmprestimo, p_.loans);

    success_ = true;
    if (p_.card_use == "T" && p_.card_slips) {
      while (!Estado_Imp(p_.colour_scheme, false, false)) Retry();
    }
    try {
      StartClosing();
      ConsolidateMovements();
      RegisterPayments();
      const std::string total = SaleTotalText();
      // The tax and state pieces are worked out whatever the state: a total
      // that does not read as a number fails the closing here.
      zel::receipt::BuildFooterPieces(p_, total, zel::Date(), fs_);
      if (state_ == kPaymentsRegistered) SendFooter(total);
      RegisterChange();
    } catch (const std::exception&) {
      success_ = false;
    }
    WriteResult(result);
    return success_;
  }

 private:
  static constexpr int kNotStarted = 1;
  static constexpr int kStarted = 2;
  static constexpr int kPaymentsRegistered = 3;

  bool Analyse(int32_t code) {
    return zel::core::AnalyseCommand(p_.colour_scheme, code, p_.show_dialogs, false, false);
  }

  // After a failed step: on an attended card sale the operator may try
  // again (the caller repeats the step); otherwise the closing ends.
  void Retry() {
    if (zel::receipt::IsCardUse(p_.card_use) && p_.card_slips && boNUtilTaa && p_.show_dialogs) {
      if (zel::receipt::AskOperator(zel::receipt::Msg("Imp_N_Resp"), p_.colour_scheme)) {
        retried_ = 1;
        return;
      }
      throw EndWithoutResult{};
    }
    boClieUtil = false;
    throw EndWithoutResult{};
  }

  // A step whose answer was lost counts as done when the printer shows it
  // done; the operator is told that nothing is missing.
  bool FoundDone(int32_t code, zel::core::Outcome (*check)(), const char* command) {
    return zel::core::FoundDone(code, check, command, p_.colour_scheme, p_.show_dialogs);
  }

  void StartClosing() {
    const bool surcharge = !(p_.discount > 0) && p_.surcharge > 0;
    const char* kind = surcharge ? "A" : "d";
    const char* log_kind = surcharge ? "a" : "d";
    std::string value;
    if (p_.discount > 0) {
      start_value_ = zel::FormatFloat("0.00", zel::Trunc2(p_.discount), fs_);
      value = start_value_;
    } else if (surcharge) {
      start_value_ = zel::FormatFloat("0.00", zel::Trunc2(p_.surcharge), fs_);
      value = start_value_;
    } else {
      value = zel::FloatToStr(p_.discount, fs_);
    }
    for (;;) {
      inRetorno = IBM_FI_IniciaFechamentoCupom(kind, "$", TextArg(value));
      ImpFisDebug(std::string("IBM_FI_IniciaFechamentoCupom : ") + log_kind + " - $ - " + value);
      if (FoundDone(inRetorno, zel::core::ClosingStartOutcome, "IBM_FI_IniciaFechamentoCupom")) {
        break;
      }
      // A surcharge that may or may not have been added leaves the day's
      // gross sales unknown.
      if (inRetorno == 0 && surcharge) zel::core::ForgetGrossSales();
      if (Analyse(inRetorno)) break;
      if (inRetorno == 0 && zel::core::LastAnswerUnknown()) {
        StepAnswerLost(
            "ao in\xED"
            "cio do fechamento do cupom",
            "iniciado");
      }
      Retry();
    }
    if (surcharge) {
      const std::optional<int64_t> cents = zel::core::AmountCents(start_value_);
      if (cents) {
        zel::core::AddGrossSales(*cents);
      } else {
        zel::core::ForgetGrossSales();
      }
    }
    state_ = kStarted;
  }

  static void CopyMovement(MemTable& from, MemTable& to) {
    to.Append();
    for (const char* name : kMovementFields) {
      to.FieldByName(name).SetAsVariant(from.FieldByName(name).AsVariant());
    }
    to.Post();
  }

  // In a card sale every movement of a payment type is added into the first
  // copied movement of kind "E" of that type, so that the printer gets one
  // payment line per type; other rows are copied as they are.
  void ConsolidateMovements() {
    MemTable& movements = dm_.cdsMovCaixa;
    MemTable& merged = dm_.cdsMovCaixaTef;
    if (!movements.Active()) return;
    const bool card_sale = p_.card_slips && zel::receipt::IsCardUse(p_.card_use);
    for (movements.First(); !movements.Eof(); movements.Next()) {
      const std::string kind = movements.FieldByName("IDTIPOMOVIVE").AsString();
      const double amount = movements.FieldByName("VRMOVIVEND").AsFloat();
      if (card_sale && IsPayment(kind)) {
        if (merged.Locate("CDTIPORECE;IDTIPOMOVIVE",
                          {movements.FieldByName("CDTIPORECE").AsVariant(), HostVariant("E")})) {
          merged.Edit();
          zel::Field& total = merged.FieldByName("VRMOVIVEND");
          total.SetAsFloat(total.AsFloat() + amount);
          merged.Post();
        } else {
          CopyMovement(movements, merged);
        }
        received_ += amount;
      } else {
        CopyMovement(movements, merged);
        if (kind == "E") received_ += amount;
      }
    }
  }

  void RegisterPayments() {
    MemTable& merged = dm_.cdsMovCaixaTef;
    if (!merged.Active()) return;
    merged.SetIndexName("idxDTHRINCMOV");
    for (merged.First(); !merged.Eof(); merged.Next()) {
      if (!IsPayment(merged.FieldByName("IDTIPOMOVIVE").AsString())) continue;
      const std::string type = merged.FieldByName("CDBANCARTCR").AsString().empty()
                                   ? merged.FieldByName("CDTIPORECE").AsString()
                                   : merged.FieldByName("CDTIPORECEORIG").AsString();
      // A payment type missing from the sale's payment types is sent under
      // the name and class the movement itself carries, rather than under
      // whatever type happened to be current.
      MemTable& types = dm_.cdsRecebAux;
      const bool found = types.Active() && types.Locate("CDTIPORECE", HostVariant(type));
      MemTable& source = found ? types : merged;
      const std::string name = source.FieldByName("NMTIPORECE").AsString();
      const std::string payment_class = source.FieldByName("IDTIPORECE").AsString();
      const double amount = merged.FieldByName("VRMOVIVEND").AsFloat();
      if (payment_class == "8") agreement_ = true;
      if (payment_class == "9" || payment_class == "A") consumer_credit_ += amount;

      const std::string form = Cut(name, 16);
      const std::string amount_text = zel::FormatFloat("#0.00", amount, fs_);
      for (;;) {
        inRetorno = IBM_FI_EfetuaFormaPagamento(TextArg(form), TextArg(amount_text));
        last_payment_ = amount_text;
        ImpFisDebug("IBM_FI_EfetuaFormaPagamento : " + form + " - " + amount_text);
        if (inRetorno == 0) PaymentAnswerLost(form, amount_text);
        if (Analyse(inRetorno)) break;
        Retry();
      }
      state_ = kPaymentsRegistered;
    }
    // The walk ends on the last movement in time order; switching the index
    // back keeps that row current, and the consumption-limit footer reads
    // its amount.
    merged.SetIndexName("idxNRORDTROCO");
  }

  // The printer tells neither the amount still due nor, while the receipt
  // is open, what was paid in it: a payment whose answer was lost cannot be
  // checked, and sending it again could register it twice. The closing
  // stops without offering to send it again; the operator is told to look
  // at the receipt on the printer.
  [[noreturn]] void PaymentAnswerLost(const std::string& form, const std::string& amount) {
    const std::string text =
        "A impressora fiscal n\xE3o respondeu ao pagamento " + form + " " + amount +
        ", que pode ter sido registrado. Confira o cupom na impressora antes de continuar.";
    Analyse(0);
    ImpFisDebug("ERRO!!! " + text);
    stMensagemTaa += " " + text;
    if (p_.show_dialogs) {
      zel::Mensagem(text, "", "N", "N", zel::kDialogError, "", p_.colour_scheme, 0);
    }
    boClieUtil = false;
    throw EndWithoutResult{};
  }

  // A closing step whose answer was lost and whose outcome the fiscal flags
  // cannot tell (`what` names it, `may_have` what it may have done): sending
  // it again could print it twice, so the closing stops without offering to,
  // and the operator is told to look at the receipt on the printer (the
  // return analysis of the lost answer has already run).
  [[noreturn]] void StepAnswerLost(const std::string& what, const std::string& may_have) {
    zel::core::TellUnknown(zel::core::UnknownText(what, may_have), p_.colour_scheme,
                           p_.show_dialogs);
    boClieUtil = false;
    throw EndWithoutResult{};
  }

  // The amount received less the change, without a forced integer digit
  // (",50"). A zero total takes the last payment's amount text, or the
  // discount or surcharge of the closing start, or stays empty. The zero
  // text is built with the locale's own separator.
  std::string SaleTotalText() const {
    std::string total = zel::FormatFloat(".00", received_ - p_.change, fs_);
    if (total == std::string(1, fs_.decimal_separator) + "00") {
      total = !last_payment_.empty() ? last_payment_ : start_value_;
    }
    return total;
  }

  void SendFooter(const std::string& total) {
    zel::receipt::FooterContext context;
    context.params = &p_;
    context.sale_total = total;
    context.consumer_credit = consumer_credit_;
    context.agreement = agreement_;
    context.today = zel::Date();
    context.card_slip_texts = card_slips_;
    MemTable& merged = dm_.cdsMovCaixaTef;
    context.movement_amount = merged.Active() ? merged.FieldByName("VRMOVIVEND").AsFloat() : 0;
    context.family_rows = [this] { return ReadFamilyRows(dm_); };
    context.consumption = [this] {
      zel::receipt::ConsumptionSoFar so_far;
      MemTable& consumption = dm_.cdsVrSaldConsumi;
      LoadTable(consumption, p_.consumption);
      so_far.has_rows = consumption.Active() && !consumption.IsEmpty();
      if (so_far.has_rows) {
        so_far.day = consumption.FieldByName("VALCONSUMDIA").AsString(fs_);
        so_far.month = consumption.FieldByName("VALCONSUMMES").AsString(fs_);
      }
      return so_far;
    };
    context.msg = zel::receipt::Msg;
    context.msg2 = zel::receipt::Msg2;
    context.fs = &fs_;
    for (;;) {
      const zel::receipt::Footer footer = zel::receipt::BuildFooter(context);
      inRetorno = IBM_FI_TerminaFechamentoCupom(TextArg(footer.text));
      ImpFisDebug("IBM_FI_TerminaFechamentoCupom");
      // The card-slip footer counts as sent whatever the printer answers.
      if (footer.variant == zel::receipt::FooterVariant::kCardSlip) break;
      if (FoundDone(inRetorno, zel::core::ClosingEndOutcome, "IBM_FI_TerminaFechamentoCupom")) {
        break;
      }
      if (Analyse(inRetorno)) break;
      if (inRetorno == 0 && zel::core::LastAnswerUnknown()) {
        StepAnswerLost("ao encerramento do cupom", "encerrado");
      }
      Retry();
    }
  }

  // The change given as a change voucher. A sale paid exactly has no change
  // to register: the printer would refuse a voucher of 0,00.
  void RegisterChange() {
    if (!p_.register_change || std::llround(p_.change * 100) <= 0) return;
    const std::string value = zel::FormatFloat("0.00", p_.change, fs_);
    const std::string form = Cut(zel::receipt::Msg("Dinheiro"), 16);
    inRetorno = IBM_FI_RecebimentoNaoFiscal(TextArg(IdTotParcCV), TextArg(value), TextArg(form));
    ImpFisDebug("IBM_FI_RecebimentoNaoFiscal : " + IdTotParcCV + " - " + value + " - " + form);
    Analyse(inRetorno);
  }

  // Writes the elements the host's array has; a shorter array is not
  // written beyond its end.
  void WriteResult(HostVariant& result) const {
    if (!stMensagemTaa.empty()) boClieUtil = false;
    if (!result.IsArray()) return;
    std::vector<HostVariant>& elements = result.Elements();
    const HostVariant values[] = {HostVariant(retried_), HostVariant(p_.echo), HostVariant(""),
                                  HostVariant(stMensagemTaa)};
    for (size_t i = 0; i < elements.size() && i < std::size(values); ++i) elements[i] = values[i];
  }

  const ClosingParams& p_;
  zel::StringList* card_slips_;
  const zel::FormatSettings& fs_;
  TdtmImpIBM& dm_;
  int state_ = kNotStarted;
  int retried_ = 0;
  bool success_ = true;
  double received_ = 0;
  double consumer_credit_ = 0;
  bool agreement_ = false;
  std::string start_value_;
  std::string last_payment_;
};

}  // namespace

bool FechaCupom(const std::vector<zel::HostVariant>& Params, zel::StringList* TextosTef,
                zel::HostVariant& Resultado) {
  const zel::FormatSettings& fs = zel::receipt::HostLocale();
  ClosingParams params = zel::receipt::ReadClosingParams(Params, fs);
  zel::receipt::AdjustConferenceNumbers(params);
  if (!Estado_Imp(params.colour_scheme, false, false)) return false;
  Closing closing(params, TextosTef, fs);
  try {
    return closing.Run(Resultado);
  } catch (const EndWithoutResult&) {
    return false;
  }
}
