// Consumer-account slips: sales on the debit account or on personal credit
// (linked receipts), and the purchase and cancellation of personal credit
// (gerencial reports followed by non-fiscal receipts).
#include <string>

#include "config/family_balance.h"
#include "core/driver_support.h"
#include "documents/block_feed.h"
#include "documents/document_support.h"
#include "hostutil/layout.h"
#include "hostutil/numeric.h"
#include "runtime/convert.h"
#include "runtime/format.h"
#include "runtime/memtable.h"
#include "zel01900/accounts.h"
#include "zel01900/data_module.h"
#include "zel01900/documents.h"
#include "zel01900/receipt.h"
#include "zel01900/small_commands.h"

namespace {

using zel::Centraliza;
using zel::HostVariant;
using zel::MemTable;
using zel::PadL;
using zel::Replicate;
using zel::TamFixo;
using zel::TamFixoR;
using zel::core::Cut;
using zel::core::Msg;
using zel::documents::CurrencyAmount;

std::string Amount(double value) {
  return zel::FormatFloat("0.00", value, zel::core::HostLocale());
}

// A text of the host read as a number; an empty text counts as zero.
double NumberOf(const std::string& text) {
  return text.empty() ? 0.0 : zel::StrToFloat(text, zel::core::HostLocale());
}

// The layout differences of the two sale slips.
struct SaleSlip {
  int width;
  const char* title_key;
  int product_width;  // the code, name and quantity part of a product line
  int total_width;    // the amount part of the total line
};

constexpr SaleSlip kDebitSlip{46, "ComprDebito", 28, 31};
constexpr SaleSlip kCreditSlip{48, "CompraCredito", 30, 33};

// The part of a sale slip the two kinds share.
struct SaleText {
  const SaleSlip& slip;
  double value;
  const std::string& client;
  const std::string& client2;
  const std::string& registration;
  const std::string& consumer;
  const std::string& password;

  std::string Line(const std::string& text) const { return Cut(text, slip.width) + "\n"; }
  std::string Rule() const { return Replicate("-", slip.width) + "\n"; }
  std::string Blank() const { return std::string(slip.width, ' ') + "\n"; }

  std::string Head() const {
    return "\n" + Centraliza(Msg(slip.title_key), slip.width) + "\n" + Rule() +
           Line(Msg("CDCLIE") + client) + Line(std::string(9, ' ') + client2) + Rule() +
           Line(Msg("CDCons") + registration) + Line(Msg("NmCons") + consumer) + Rule() +
           Centraliza(Msg("ProdVend"), slip.width) + "\n" + Blank() + Line(Msg("Cabecalho"));
  }

  std::string ProductLine(MemTable& products) const {
    const double quantity = products.FieldByName("QTPRODCOMVEN").AsFloat();
    const double price = products.FieldByName("VRPRECCOMVEN").AsFloat();
    const zel::FormatSettings& fs = zel::core::HostLocale();
    // The quantity is printed whole: when code, name and quantity do not fit
    // the column, the name gives way, and at least one blank stays between
    // it and the quantity.
    const std::string qty = zel::FormatFloat("0.00#", quantity, fs);
    std::string item = Cut(products.FieldByName("CDARVPROD").AsString(), 10) + " " +
                       Cut(products.FieldByName("NMPRODUTO").AsString(), 12) + "  ";
    const size_t room = static_cast<size_t>(slip.product_width);
    if (item.size() + qty.size() > room) {
      item = Cut(item, room > qty.size() + 1 ? room - qty.size() - 1 : 0) + " ";
    }
    return TamFixo(item + qty, slip.product_width) +
           "  " + PadL(Amount(price), 8) + PadL(Amount(zel::Trunc2(price * quantity)), 8) + "\n";
  }

  // The total and the order password that open the last block.
  std::string TotalLines() const {
    return Blank() + TamFixo(Cut(Msg("Total"), 40), 15) + PadL(Amount(value), slip.total_width) +
           "\n" + Rule();
  }
  std::string PasswordLine() const {
    return Line(password.empty() ? "" : Msg("SEN_PED") + password + "\r\n");
  }
};

std::string FinalBalanceLine(double balance) {
  return zel::Format(zel::core::Msg2("SALDO_FIN"), {CurrencyAmount(balance)},
                     zel::core::HostLocale()) +
         "\n";
}

std::string SubsidyText(double subsidy, double complement) {
  std::string text;
  if (subsidy > 0) text += Msg("PRECO_SUBSIDIO") + " " + CurrencyAmount(subsidy);
  if (complement > 0) text += Msg("VR_COMPLEMENTO") + " " + CurrencyAmount(complement);
  return text;
}

// Prints a sale slip in a linked receipt: opens it, feeds the head, the
// products and `tail`, closes it. False at the first refusal (the receipt
// stays open).
bool PrintSaleSlip(const SaleText& text, MemTable& products, const std::string& open_scheme,
                   const std::string& esquema, const std::string& payment_form,
                   const std::string& tail_after_total) {
  const std::string number = Nr_Cupom("", esquema);
  if (!Abre_Comp_NFiscalVinc(open_scheme, Cut(payment_form, 16),
                             zel::documents::MoneyField(text.value), number)) {
    return false;
  }
  if (!zel::documents::FeedBlock(esquema, text.Head(), true)) return false;
  if (products.Active()) {
    for (products.First(); !products.Eof(); products.Next()) {
      if (!zel::documents::FeedBlock(esquema, text.ProductLine(products), true)) return false;
    }
  }
  if (!zel::documents::FeedBlock(esquema, text.TotalLines() + tail_after_total, true)) {
    return false;
  }
  return Fecha_Comp_NFiscalVinc("");
}

std::string CreditBalanceSection(TdtmImpIBM& dm, const std::string& mode, double final_balance) {
  MemTable& balances = dm.cdsSaldCred;
  if (mode == "0") {
    return FinalBalanceLine(final_balance + zel::documents::SumField(balances, "VRSALDCONFAM"));
  }
  if (mode != "1" || !balances.Active()) return "";
  std::string text;
  zel::Field& code = balances.FieldByName("CDFAMILISALD");
  zel::Field& name = balances.FieldByName("NMFAMILISALD");
  zel::Field& amount = balances.FieldByName("VRSALDCONFAM");
  for (balances.First(); !balances.Eof(); balances.Next()) {
    const double balance = amount.AsFloat();
    if (balance == 0) continue;
    text +=
        TamFixo(name.AsString(), 25) +
        TamFixoR(
            zel::documents::FixedAmount(zel::config::FamilyBalance(dm, code.AsString(), balance)),
            22) +
        "\n";
  }
  return text;
}

std::string Rule46() { return Replicate("-", 46) + "\n"; }
std::string Line46(const std::string& text) { return Cut(text, 46) + "\n"; }

}  // namespace

bool Comp_DebitoCons(const std::string& Esquema, const zel::HostVariant& Produtos, double Valor,
                     const std::string& FormaPgto, const std::string& Matricula,
                     const std::string& NomeConsumidor, const std::string& Cliente,
                     const std::string& Cliente2, const std::string& SenhaPedido,
                     double SaldoAnterior, double Subsidio, double Complemento,
                     const std::string& ModoSaldo, const std::string& TextoLivre,
                     const std::string& ModoLimite, const std::string& LimiteDia,
                     const std::string& LimiteMes, const zel::HostVariant& /*NaoUsado*/) {
  TdtmImpIBM& dm = EnsureDataModule();
  zel::documents::LoadTableData(dm.cdsProdDeb, Produtos);
  const double final_balance = SaldoAnterior + Subsidio + Complemento - Valor;
  if (zel::RoundDec(Valor, 2) <= 0) return true;

  const SaleText text{kDebitSlip, Valor, Cliente, Cliente2, Matricula, NomeConsumidor, SenhaPedido};
  std::string tail;
  if (ModoLimite != "N") {
    MemTable& used = dm.cdsVrSaldConsumi;
    auto consumed = [&](const char* field) {
      return used.Active() && !used.IsEmpty() ? NumberOf(used.FieldByName(field).AsString()) : 0.0;
    };
    const zel::FormatSettings& fs = zel::core::HostLocale();
    auto day_rest = [&] {
      return zel::FormatFloat("#0.00", NumberOf(LimiteDia) - (consumed("VALCONSUMDIA") + Valor),
                              fs);
    };
    auto month_rest = [&] {
      return zel::FormatFloat("#0.00", NumberOf(LimiteMes) - (consumed("VALCONSUMMES") + Valor),
                              fs);
    };
    if (ModoLimite == "D") {
      tail += Msg("LIMDIA") + day_rest() + "\n";
    } else if (ModoLimite == "M") {
      tail += Msg("LIMMES") + month_rest() + "\n";
    } else if (ModoLimite == "T") {
      tail += Msg("LIMDIA") + day_rest() + " - " + Msg("LIMMES") + month_rest() + "\n";
    }
  }
  tail += text.PasswordLine();
  if (ModoSaldo != "2") tail += FinalBalanceLine(final_balance);
  if (!TextoLivre.empty()) tail += std::string(46, ' ') + "\n" + TextoLivre + "\n";
  tail += SubsidyText(Subsidio, Complemento);
  return PrintSaleSlip(text, dm.cdsProdDeb, "", Esquema, FormaPgto, tail);
}

bool Imp_CompVenCred(const std::string& Esquema, const zel::HostVariant& Produtos,
                     const zel::HostVariant& Saldos, double Valor, const std::string& FormaPgto,
                     const std::string& Matricula, const std::string& NomeConsumidor,
                     const std::string& Cliente, const std::string& Cliente2,
                     const std::string& SenhaPedido, double SaldoAnterior, double Subsidio,
                     double Complemento, const std::string& ModoSaldo) {
  TdtmImpIBM& dm = EnsureDataModule();
  zel::documents::LoadTableData(dm.cdsProdCred, Produtos);
  zel::documents::LoadTableData(dm.cdsSaldCred, Saldos);
  const double final_balance = SaldoAnterior + Subsidio + Complemento - Valor;
  if (zel::RoundDec(Valor, 2) <= 0) return true;

  const SaleText text{kCreditSlip, Valor,          Cliente,    Cliente2,
                      Matricula,   NomeConsumidor, SenhaPedido};
  const std::string tail = text.PasswordLine() +
                           CreditBalanceSection(dm, ModoSaldo, final_balance) +
                           SubsidyText(Subsidio, Complemento);
  return PrintSaleSlip(text, dm.cdsProdCred, Esquema, Esquema, FormaPgto, tail);
}

bool Compr_CredPessoal(const std::string& /*NaoUsado1*/, const std::string& /*NaoUsado2*/,
                       const std::string& ChaveDoc, const std::string& Chave1,
                       const std::string& Chave2, const std::string& Esquema,
                       const std::string& /*NaoUsado7*/, const std::string& /*NaoUsado8*/,
                       zel::MemTable& Pagamentos, double SaldoAnterior,
                       const std::string& NomeConsumidor, const std::string& NrDeposito,
                       const std::string& /*NaoUsado13*/, const std::string& /*NaoUsado14*/,
                       const std::string& /*NaoUsado15*/, const std::string& /*NaoUsado16*/,
                       const std::string& /*NaoUsado17*/, const std::string& /*NaoUsado18*/,
                       const std::string& /*NaoUsado19*/, const std::string& /*NaoUsado20*/,
                       const std::string& /*NaoUsado21*/, const std::string& /*NaoUsado22*/,
                       const std::string& /*NaoUsado23*/, std::string& /*NaoUsado24*/,
                       std::string& /*NaoUsado25*/, const std::string& NomeFamilia,
                       bool /*NaoUsado27*/, const std::string& /*NaoUsado28*/) {
  const double total = zel::documents::SumField(Pagamentos, "VRMOVIVEND");
  if (!Relatorio_Gerencial_Imp(Esquema, Chave1, Chave2, "")) {
    FechRelatGerenc(Esquema, boNUtilTaa, false);
    return false;
  }
  GravaDocumentosNaoFiscais(ChaveDoc, Esquema, "RG", "");
  const std::string copy = "\n" + Centraliza(Msg("ComprCredito"), 46) + "\n" + Rule46() + "\n" +
                           Line46(Msg("Nr_Deposito") + NrDeposito) + std::string(46, ' ') + "\n" +
                           Line46(Msg("NmCons") + NomeConsumidor) +
                           Line46(Msg("NmFami") + NomeFamilia) +
                           Line46(Msg("VrCupom") + CurrencyAmount(total)) +
                           Line46(Msg("VrSaldo") + CurrencyAmount(total + SaldoAnterior));
  const std::string blank = std::string(46, ' ') + "\n";
  zel::documents::FeedBlock(Esquema, copy + blank + blank + blank + blank);
  Guilhotina(Esquema, 1);
  zel::documents::FeedBlock(Esquema, copy);
  FechRelatGerenc(Esquema, boNUtilTaa, false);

  bool registered = false;
  if (Pagamentos.Active()) {
    zel::Field& amount = Pagamentos.FieldByName("VRMOVIVEND");
    zel::Field& form = Pagamentos.FieldByName("NMTIPORECE");
    for (Pagamentos.First(); !Pagamentos.Eof(); Pagamentos.Next()) {
      registered =
          Cupom_NFiscNVinc(Esquema, IdTotCompCred, zel::documents::MoneyField(amount.AsFloat()),
                           Cut(form.AsString(), 16));
    }
  }
  return registered;
}

bool Cancela_Cred_Pessoal(const std::string& /*NaoUsado1*/, const std::string& ChaveDoc,
                          const std::string& Chave1, const std::string& Chave2,
                          const std::string& Esquema, std::string& /*NaoUsado6*/,
                          const std::string& NrDeposito, const std::string& Cliente,
                          const std::string& Consumidor, const std::string& /*NaoUsado10*/,
                          const std::string& FormaPgto, double Valor, double SaldoFinal,
                          const std::string& NomeFamilia) {
  Nr_Cupom("", Esquema);
  if (!Relatorio_Gerencial_Imp(Esquema, Chave1, Chave2, "")) return false;
  zel::documents::FeedBlock(
      Esquema, "\n" + Centraliza(Msg("Canc_ComprCredito"), 46) + "\n" + Rule46() + "\n" +
                   Line46(Msg("Canc_Deposito") + ": " + NrDeposito) + std::string(46, ' ') + "\n" +
                   Line46(Msg("CDCLIE") + Cliente) + Line46(Msg("Consumidor") + ": " + Consumidor) +
                   Line46(Msg("NmFami") + NomeFamilia) +
                   Line46(Msg("VrCupom") + CurrencyAmount(Valor)) +
                   Line46(Msg("Sald_Cons") + CurrencyAmount(SaldoFinal)));
  if (FechRelatGerenc(Esquema, true, false)) {
    GravaDocumentosNaoFiscais(ChaveDoc, Esquema, "RG", "");
  }
  const bool registered =
      Cupom_NFiscNVinc(Esquema, IdTotCancCred, zel::documents::MoneyField(Valor), FormaPgto);
  if (registered) GravaDocumentosNaoFiscais(ChaveDoc, Esquema, "CC", "");
  return registered;
}
