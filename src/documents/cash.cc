// Cash supply and withdrawal on the printer, the withdrawal receipt and the
// till-closing documents.
#include "zel01900/cash.h"

#include <cmath>
#include <optional>
#include <string>

#include "core/driver_support.h"
#include "core/unknown_outcome.h"
#include "documents/block_feed.h"
#include "hostutil/host_services.h"
#include "hostutil/layout.h"
#include "runtime/format.h"
#include "runtime/memtable.h"
#include "zel01900/core.h"
#include "zel01900/data_module.h"
#include "zel01900/documents.h"
#include "zel01900/readings.h"
#include "zel01900/receipt.h"
#include "zel01900/reports.h"
#include "zel01900/z_export.h"

namespace {

using zel::Centraliza;
using zel::MemTable;
using zel::Replicate;
using zel::TamFixo;
using zel::TamFixoR;
using zel::core::Msg;
using zel::documents::FeedBlock;
using zel::documents::FixedAmount;

constexpr int kWidth = 46;

std::string PrinterAmount(double value) {
  return zel::FormatFloat("0.00", value, zel::core::HostLocale());
}

// Whether a supply or withdrawal went through. One whose answer was lost
// (code 0) is taken as done when the printer's COO moved on from
// `coo_before` (each prints a non-fiscal receipt of its own). A refused one:
// the return analysis told the operator why; the ErroComando notice says
// the command did not go through.
bool CommandAccepted(const std::string& esquema, const char* command,
                     std::optional<int32_t> coo_before) {
  if (inRetorno == 0 && coo_before &&
      zel::core::NewDocumentOutcome(coo_before) == zel::core::Outcome::kDone) {
    zel::core::TellDone(command, esquema, true);
    return true;
  }
  if (zel::core::AnalyseCommand(esquema, inRetorno, true, false, false)) return true;
  zel::Mensagem(Msg("ErroComando"), "", "N", "N", zel::kDialogInformation, "", esquema, 0);
  return false;
}

bool Ask(const std::string& key, const std::string& esquema) {
  return zel::Mensagem(Msg(key), "", "N", "S", zel::kDialogWarning, "", esquema, 0);
}

std::string Rule() { return Replicate("-", kWidth) + "\n"; }

// The text of a field of the table's current row ("" when the table is
// closed or has no rows).
std::string TextOf(MemTable& table, const char* field) {
  if (!table.Active() || table.IsEmpty()) return "";
  return table.FieldByName(field).AsString();
}

// The withdrawal receipt, two copies in the open report.
class WithdrawalReceipt {
 public:
  WithdrawalReceipt(TdtmImpIBM& dm, const std::string& esquema, bool envelope_column,
                    bool typed_amounts, const std::string& reason, const std::string& remark)
      : dm_(dm),
        esquema_(esquema),
        envelope_column_(envelope_column),
        typed_amounts_(typed_amounts),
        reason_(reason),
        remark_(remark) {}

  void Print() {
    PrintCopy(1);
    PrintCopy(2);
  }

 private:
  void PrintCopy(int copy) {
    std::string block;
    if (copy == 1) {
      block += "\n";
      ++lines_;
    }
    block += Centraliza(Msg(copy == 1 ? "RecSangria3" : "RecSangria1"), kWidth) + "\n";
    ++lines_;
    block += Rule();
    if (!reason_.empty()) block += Msg("Motivo") + reason_ + "\n";
    if (!remark_.empty()) block += Msg("Observacao") + remark_ + "\n";
    if (!reason_.empty() || !remark_.empty()) block += Rule();
    if (envelope_column_) block += Msg("Envelope") + " ";
    block += TamFixo(Msg("Modalidade"), 25) + " " + TamFixoR(Msg("Valor_"), 15) + "\n";
    lines_ += 2;
    FeedBlock(esquema_, block);

    double sum = 0;
    MemTable& rows = dm_.cdsMovFecha;
    if (rows.Active()) {
      zel::Field& envelope = rows.FieldByName("NRENVELOPE");
      zel::Field& name = rows.FieldByName("NMTIPORECE");
      zel::Field& amount = rows.FieldByName(typed_amounts_ ? "VRFECHADIG" : "VRFECHAINF");
      for (rows.First(); !rows.Eof(); rows.Next()) {
        const double value = amount.AsFloat();
        sum += value;
        FeedBlock(esquema_, envelope.AsString() + " " + TamFixo(name.AsString(), 25) + " " +
                                TamFixoR(FixedAmount(value), 15) + "\n");
        ++lines_;
      }
    }

    block = TamFixo(Msg("Sangrias"), 27) + TamFixoR(FixedAmount(sum), 15) + "\n\n";
    lines_ += 2;
    if ((lines_ - 3) % 10 == 0) {
      block += "\n";
      ++lines_;
    }
    block += Rule();
    MemTable& people = dm_.cdsOperadorSup;
    if (people.Active()) people.First();
    const std::string signer = copy == 1 ? Msg("Superv") + " : " + TextOf(people, "CDSUPERVISOR") +
                                               " " + TextOf(people, "NMSUPERVISOR")
                                         : Msg("Operador") + " : " + TextOf(people, "CDOPERADOR") +
                                               " " + TextOf(people, "NMOPERADOR");
    block += zel::core::Cut(signer, kWidth) + "\n";
    lines_ += 2;
    FeedBlock(esquema_, block);
  }

  TdtmImpIBM& dm_;
  const std::string& esquema_;
  const bool envelope_column_;
  const bool typed_amounts_;
  const std::string& reason_;
  const std::string& remark_;
  int lines_ = 0;
};

// The closing report of a till period or of the day, into the open report.
void PrintClosingReport(const std::string& esquema, const std::string& title_key,
                        double products_total, double credit_purchases, MemTable* movements) {
  FeedBlock(esquema, Centraliza(Msg(title_key), kWidth) + "\n\n" + TamFixo(Msg("Vendas"), 35) +
                         TamFixoR(FixedAmount(products_total), 13) + "\n" +
                         TamFixo("Compra de Credito", 35) +
                         TamFixoR(FixedAmount(credit_purchases), 13) + "\n" + Rule());

  double withdrawn = 0;
  double cv_issued = 0;
  double supply = 0;
  double cv_received = 0;
  if (movements != nullptr && movements->Active()) {
    zel::Field& kind_field = movements->FieldByName("IDTIPOREG");
    zel::Field& name = movements->FieldByName("NMTIPORECE");
    zel::Field& amount = movements->FieldByName("VRSAIDA");
    for (movements->First(); !movements->Eof(); movements->Next()) {
      const std::string kind = kind_field.AsString();
      const double value = amount.AsFloat();
      if (kind == "1" || kind == "5") {
        withdrawn += value;
        FeedBlock(esquema, TamFixo(name.AsString(), 33) + TamFixoR(FixedAmount(value), 15) + "\n");
      } else if (kind == "2") {
        cv_issued = value;
      } else if (kind == "3") {
        supply = value;
      } else if (kind == "4") {
        cv_received = value;
      }
    }
  }

  const double total_withdrawn = withdrawn + cv_received - supply - cv_issued;
  // The difference is told to the cent: sums of binary fractions leave a
  // till that balances a hair below zero, which must read "SOBRA 0,00".
  const double difference =
      static_cast<double>(std::llround((total_withdrawn - products_total - credit_purchases) * 100)) /
      100;
  auto line = [](const std::string& label, double value) {
    return TamFixo(label, 33) + TamFixoR(FixedAmount(value), 15) + "\n";
  };
  FeedBlock(esquema, line(Msg("CV-RECEBIDO") + "(+)", cv_received) +
                         line(Msg("CV-EMITIDO") + "(-)", cv_issued) +
                         line(Msg("Suprimento") + "(-)", supply) + Rule() +
                         line(Msg("Sangrias"), total_withdrawn) + "\n" +
                         line(Msg(difference < 0 ? "Falta" : "Sobra"), difference));
}

class TillClosing {
 public:
  TillClosing(const std::string& doc_key, const std::string& key1, const std::string& key2,
              const std::string& esquema, std::string& number)
      : doc_key_(doc_key), key1_(key1), key2_(key2), esquema_(esquema), number_(number) {}

  // Opens a gerencial report and records it; takes its number when none is
  // known yet. True when it opened.
  bool OpenReport() {
    const bool opened = Relatorio_Gerencial_Imp(esquema_, key1_, key2_, "");
    if (opened) GravaDocumentosNaoFiscais(doc_key_, esquema_, "RG", "");
    TakeNumber(Nr_Cupom("", esquema_));
    return opened;
  }

  void TakeNumber(const std::string& number) {
    if (number_.empty()) number_ = number;
  }

 private:
  const std::string& doc_key_;
  const std::string& key1_;
  const std::string& key2_;
  const std::string& esquema_;
  std::string& number_;
};

double CreditPurchases(MemTable& table) {
  if (!table.Active() || table.IsEmpty()) return 0;
  return table.FieldByName("VRCARGACREDITO").AsFloat();
}

}  // namespace

bool Suprimento(const std::string& /*NaoUsado*/, const std::string& Esquema, double Valor) {
  EnsureDataModule();
  const std::string amount = PrinterAmount(Valor);
  if (Valor <= 0) return true;
  const std::optional<int32_t> coo = zel::core::ReadCoo();
  inRetorno = IBM_FI_Suprimento(amount.c_str(), "Dinheiro");
  ImpFisDebug("IBM_FI_Suprimento : " + amount + " - Dinheiro");
  return CommandAccepted(Esquema, "IBM_FI_Suprimento", coo);
}

bool Sangria(const std::string& /*NaoUsado*/, const std::string& Esquema, double Valor) {
  EnsureDataModule();
  const std::string amount = PrinterAmount(Valor == 0 ? 0.01 : Valor);
  const std::optional<int32_t> coo = zel::core::ReadCoo();
  inRetorno = IBM_FI_Sangria(amount.c_str());
  ImpFisDebug("IBM_FI_Sangria : " + amount);
  return CommandAccepted(Esquema, "IBM_FI_Sangria", coo);
}

bool GeraReciboSangria(
    const std::string& /*NaoUsado*/, const std::string& ChaveDoc, const std::string& Chave1,
    const std::string& Chave2, const std::string& NrEcf, int ParametroZ, std::string& Numero,
    const zel::MemTable& Sangrias, const zel::MemTable& ListaSangria,
    zel::MemTable& ProdutosAbertura, const zel::MemTable& OperadorSup,
    const zel::MemTable& MovTotal, const zel::MemTable& MovAbertura, zel::MemTable& ProdutosDia,
    zel::MemTable& CompraCredito, zel::TDateTime /*NaoUsado2*/, bool ImprimeRecibo, bool PermiteZ,
    bool /*NaoUsado3*/, zel::MemTable& RedZ, zel::MemTable& FormRedZ, zel::MemTable& ImpostoRedZ,
    zel::MemTable& TotNFisRedZ, bool& FezZ, const zel::MemTable& TiposRece,
    const std::string& PerguntaProduto, const std::string& ModoProduto, const std::string& LeituraX,
    const std::string& ColunaEnvelope, const std::string& Esquema, bool SoDigitados, bool Repeticao,
    bool PedeZ, const std::string& Motivo, const std::string& Observacao) {
  using zel::documents::CopyTable;
  using zel::documents::SumField;
  TdtmImpIBM& dm = EnsureDataModule();
  FezZ = false;
  if (!Repeticao) {
    CopyTable(dm.cdsMovFecha, Sangrias);
    CopyTable(dm.cdsSangria, ListaSangria);
    CopyTable(dm.cdsOperadorSup, OperadorSup);
    CopyTable(dm.cdsTipoReceAux, TiposRece);
    CopyTable(dm.cdsMovAbertura, MovAbertura);
  }
  CopyTable(dm.cdsMovTot, MovTotal);
  const double credit_purchases = CreditPurchases(CompraCredito);
  TillClosing till(ChaveDoc, Chave1, Chave2, Esquema, Numero);

  if (ImprimeRecibo) {
    if (LeituraX == "S" && Leitura_X_Imp("", Esquema, "")) Numero = Nr_Cupom("", Esquema);
    const bool opened = till.OpenReport();
    if (opened) {
      WithdrawalReceipt(dm, Esquema, ColunaEnvelope == "S", SoDigitados, Motivo, Observacao)
          .Print();
    }
    if (SoDigitados) {
      FechRelatGerenc(Esquema, true, true);
      return false;
    }

    bool report_closed = false;
    std::string product_number;
    Relatorio_Produto("", "A", ChaveDoc, Chave1, Chave2, product_number, ProdutosAbertura,
                      PerguntaProduto, ModoProduto, Esquema, report_closed);
    till.TakeNumber(product_number);
    if (!dm.cdsMovTot.IsEmpty()) {
      if (report_closed) till.OpenReport();
      // The caller's openings of this run decide: on a rerun the module's
      // table still holds the rows of the first run.
      const bool with_rows = MovAbertura.Active() && !MovAbertura.IsEmpty() &&
                             dm.cdsMovAbertura.Active();
      PrintClosingReport(Esquema, "RelFechamento", SumField(ProdutosAbertura, "VRTOTAL"),
                         credit_purchases, with_rows ? &dm.cdsMovAbertura : nullptr);
      FechRelatGerenc(Esquema, true, true);
    } else if (!report_closed && opened) {
      // Nothing more goes into the receipt's report: it must not stay open.
      FechRelatGerenc(Esquema, true, true);
    }
  }

  if (SoDigitados) return false;
  if (!Repeticao) {
    if (Ask("AbreCaixa", Esquema)) return true;
    if (!PermiteZ || !PedeZ || !Ask("ConfReducao", Esquema)) return false;
  }
  if (Ask("ConfRelFechamento", Esquema)) {
    bool report_closed = true;
    std::string product_number;
    Relatorio_Produto("", "D", ChaveDoc, Chave1, Chave2, product_number, ProdutosDia,
                      PerguntaProduto, ModoProduto, Esquema, report_closed);
    till.TakeNumber(product_number);
    if (!dm.cdsMovTot.IsEmpty()) {
      if (report_closed) till.OpenReport();
      PrintClosingReport(Esquema, "relFechamentoGeral", SumField(ProdutosDia, "VRTOTAL"),
                         credit_purchases, &dm.cdsMovTot);
      FechRelatGerenc(Esquema, true, true);
    }
  }
  if (!Repeticao) {
    ExportRedZ("", Esquema, NrEcf, ParametroZ, dm.cdsTipoReceAux, dm.cdsRedzAux01,
               dm.cdsFormRedzAux01, dm.cdsImpostoRedzAux01, dm.cdsTotNFisAux01);
    RedZ.SetData(dm.cdsRedzAux01.Data());
    FormRedZ.SetData(dm.cdsFormRedzAux01.Data());
    ImpostoRedZ.SetData(dm.cdsImpostoRedzAux01.Data());
    TotNFisRedZ.SetData(dm.cdsTotNFisAux01.Data());
    FezZ = true;
  }
  return false;
}
