// Relatorio_Produto: the products sold in a period, as a plain list or
// grouped by taxation.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/driver_support.h"
#include "documents/block_feed.h"
#include "hostutil/host_services.h"
#include "hostutil/layout.h"
#include "runtime/memtable.h"
#include "zel01900/data_module.h"
#include "zel01900/documents.h"
#include "zel01900/receipt.h"
#include "zel01900/reports.h"

namespace {

using zel::Centraliza;
using zel::MemTable;
using zel::TamFixo;
using zel::TamFixoR;
using zel::core::Msg;
using zel::documents::FixedAmount;

constexpr int kWidth = 46;

// The label of a tax type without a rate: substitution, non-incidence,
// exemption; "" for any other type.
std::string TaxTypeLabel(const std::string& type) {
  if (type == "F") return Msg("SubTrib");
  if (type == "N") return Msg("NIncide");
  if (type == "I") return Msg("Isento");
  return "";
}

// The title block; the grouped form has no empty line after the header.
std::string TitleBlock(bool empty_line_after_header) {
  std::string block = "\n" + Centraliza(Msg("RelProdutos"), kWidth) + "\n\n" +
                      TamFixo(Msg("Codigo"), 14) + TamFixo(Msg("Nome"), 18) +
                      TamFixoR(Msg("Qtde_"), 6) + TamFixoR(Msg("Valor2"), 10) + "\n";
  if (empty_line_after_header) block += "\n";
  return block;
}

class ProductList {
 public:
  ProductList(MemTable& products, const std::string& esquema)
      : products_(products),
        esquema_(esquema),
        cd_imp_fis_(products.FieldByName("CDPRODIMPFIS")),
        cd_produto_(products.FieldByName("CDPRODUTO")),
        nm_produto_(products.FieldByName("NMPRODUTO")),
        quantity_(products.FieldByName("QTPRODVEND")),
        total_(products.FieldByName("VRTOTAL")),
        surcharge_(products.FieldByName("VRACRE")),
        discount_(products.FieldByName("VRDESC")) {}

  void PrintPlain() {
    zel::documents::FeedBlock(esquema_, TitleBlock(true));
    for (products_.First(); !products_.Eof(); products_.Next()) PrintProduct();
    zel::documents::FeedBlock(esquema_, "\n" + AdjustmentLines() + TamFixo(Msg("Tot_Valor"), 29) +
                                            TamFixoR(FixedAmount(sum_quantity_), 9) +
                                            TamFixoR(FixedAmount(sum_total_), 10) + "\n\n");
  }

  void PrintGrouped(MemTable& rates) {
    rates.Close();
    rates.SetIndexName("");
    rates.CreateDataSet();
    products_.SetIndexName("idxTributacao");
    zel::documents::FeedBlock(esquema_, TitleBlock(false));

    zel::Field& type_field = products_.FieldByName("IDTPIMPOSFIS");
    zel::Field& rate_field = products_.FieldByName("VRPEALIMPFIS");
    // Total per tax type and rate, in the order the groups come.
    std::map<std::pair<std::string, double>, size_t> group_of;
    std::vector<std::pair<std::pair<std::string, double>, double>> groups;
    std::string previous_rate_text;
    std::string previous_type;
    bool first = true;
    for (products_.First(); !products_.Eof(); products_.Next()) {
      const std::string type = type_field.AsString();
      const double rate = rate_field.AsFloat();
      const std::string rate_text = rate_field.AsString();
      if (first || rate_text != previous_rate_text || type != previous_type) {
        if (rate != 0) {
          zel::documents::FeedBlock(esquema_, Msg("TRIBUTACAO") + "  " + FixedAmount(rate) + "\n");
        } else if (first || type != previous_type) {
          const std::string label = TaxTypeLabel(type);
          if (!label.empty()) zel::documents::FeedBlock(esquema_, label + "\n");
        }
      }
      first = false;
      previous_rate_text = rate_text;
      previous_type = type;
      PrintProduct();
      const auto key = std::make_pair(type, rate);
      const auto [at, fresh] = group_of.emplace(key, groups.size());
      if (fresh) {
        groups.emplace_back(key, total_.AsFloat());
      } else {
        groups[at->second].second += total_.AsFloat();
      }
    }
    products_.SetIndexName("");

    zel::documents::FeedBlock(esquema_, TamFixo(Msg("Valor_"), 32) +
                                            TamFixoR(FixedAmount(sum_quantity_), 9) +
                                            TamFixoR(FixedAmount(sum_total_), 10) + "\n\n");
    zel::documents::FeedBlock(esquema_, TamFixo(Msg("TRIBUTADOS"), 35) + "\n");

    for (const auto& [key, total] : groups) rates.AppendRecord({key.second, total, key.first});
    rates.SetIndexName("idxTributacao");
    std::string block;
    zel::Field& percent = rates.FieldByName("VRPERCSITTRIB");
    zel::Field& rate_total = rates.FieldByName("VRTOTALALIQ");
    zel::Field& rate_type = rates.FieldByName("IDTPIMPOSFIS");
    for (rates.First(); !rates.Eof(); rates.Next()) {
      const double rate = percent.AsFloat();
      const std::string label = rate != 0 ? FixedAmount(rate) : TaxTypeLabel(rate_type.AsString());
      block += TamFixo(label, 35) + TamFixoR(FixedAmount(rate_total.AsFloat()), 13) + "\n";
    }
    zel::documents::FeedBlock(esquema_, block);

    zel::documents::FeedBlock(esquema_, AdjustmentLines() + TamFixo(Msg("Tot_Valor"), 37) +
                                            TamFixoR(FixedAmount(sum_quantity_), 9) +
                                            TamFixoR(FixedAmount(sum_total_), 10) + "\n\n");
  }

 private:
  void PrintProduct() {
    std::string code = cd_imp_fis_.AsString();
    if (code.empty()) code = cd_produto_.AsString();
    const double quantity = quantity_.AsFloat();
    const double total = total_.AsFloat();
    zel::documents::FeedBlock(
        esquema_, TamFixo(code, 13) + " " + TamFixo(nm_produto_.AsString(), 17) + " " +
                      TamFixoR(FixedAmount(quantity), 6) + TamFixoR(FixedAmount(total), 10) + "\n");
    sum_total_ += total;
    sum_surcharge_ += surcharge_.AsFloat();
    sum_discount_ += discount_.AsFloat();
    sum_quantity_ += quantity;
  }

  std::string AdjustmentLines() const {
    return TamFixo(Msg("Tot_Acre"), 35) + TamFixoR(FixedAmount(sum_surcharge_), 13) + "\n" +
           TamFixo(Msg("Tot_Desc"), 35) + TamFixoR(FixedAmount(sum_discount_), 13) + "\n";
  }

  MemTable& products_;
  const std::string& esquema_;
  zel::Field& cd_imp_fis_;
  zel::Field& cd_produto_;
  zel::Field& nm_produto_;
  zel::Field& quantity_;
  zel::Field& total_;
  zel::Field& surcharge_;
  zel::Field& discount_;
  double sum_total_ = 0;
  double sum_surcharge_ = 0;
  double sum_discount_ = 0;
  double sum_quantity_ = 0;
};

}  // namespace

void Relatorio_Produto(const std::string& /*NaoUsado1*/, const std::string& /*NaoUsado2*/,
                       const std::string& ChaveDoc, const std::string& Chave1,
                       const std::string& Chave2, std::string& Numero,
                       const zel::MemTable& Produtos, const std::string& Pergunta,
                       const std::string& Modo, const std::string& Esquema, bool& Fechado) {
  TdtmImpIBM& dm = EnsureDataModule();
  MemTable& products = dm.cdsProdVend;
  // The list follows the host's order unless grouped; an order left from a
  // grouped run must not carry over.
  products.SetIndexName("");
  zel::documents::CopyTable(products, Produtos);

  if (Pergunta == "S") {
    if (!zel::Mensagem(Msg("ConfRelProds"), "", "N", "S", zel::kDialogWarning, "", Esquema, 0)) {
      return;
    }
  } else if (Pergunta != "N") {
    return;
  }

  if (!Fechado) FechRelatGerenc(Esquema, true, true);
  Fechado = true;

  if (products.Active() && !products.IsEmpty()) {
    Relatorio_Gerencial_Imp(Esquema, Chave1, Chave2, "");
    Numero = Nr_Cupom("", Esquema);
    ProductList list(products, Esquema);
    if (Modo == "S") {
      list.PrintGrouped(dm.cdsAliqProduto);
    } else {
      list.PrintPlain();
    }
    FechRelatGerenc(Esquema, true, true);
  }
  GravaDocumentosNaoFiscais(ChaveDoc, Esquema, "RG", "");
}
