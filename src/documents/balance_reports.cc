// Consumer-account listings: the balance heading and enquiry, negative
// balances by consumer type, personal-credit balances, blocked products and
// the statement.
#include <string>

#include "core/driver_support.h"
#include "documents/block_feed.h"
#include "documents/text_feed.h"
#include "documents/vendor_footer.h"
#include "hostutil/layout.h"
#include "runtime/datetime.h"
#include "runtime/format.h"
#include "runtime/memtable.h"
#include "zel01900/accounts.h"
#include "zel01900/documents.h"
#include "zel01900/module_vars.h"
#include "zel01900/receipt.h"

namespace {

using zel::Centraliza;
using zel::MemTable;
using zel::Replicate;
using zel::TamFixo;
using zel::TamFixoR;
using zel::documents::FeedBlock;
using zel::documents::FixedAmount;

constexpr int kWidth = 46;

std::string Rule() { return Replicate("-", kWidth) + "\n"; }

// The two closing lines of a balance list: the rule over the amounts and
// the total.
std::string TotalLines(double total) {
  return TamFixo(" ", 37) + Replicate("-", 11) + "\n" + TamFixo("Saldo Total", 37) +
         TamFixoR(FixedAmount(total), 11) + "\n";
}

// A filter text literal: the value in quotes, its own quotes doubled.
std::string Quoted(const std::string& value) {
  std::string text = "'";
  for (char c : value) {
    text += c;
    if (c == '\'') text += '\'';
  }
  return text + "'";
}

}  // namespace

void Cabecalho(const std::string& Chave1, const std::string& Esquema, const std::string& Titulo,
               const std::string& Caixa, const std::string& /*Reserva1*/,
               const std::string& /*Reserva2*/) {
  Nr_Cupom("", Esquema);
  Relatorio_Gerencial_Imp(Esquema, Chave1, Caixa, "");
  FeedBlock(Esquema, "\n" + Rule() + Centraliza(Titulo, kWidth) + "\n\n" + Rule() +
                         "Caixa: " + Caixa + std::string(16, ' ') +
                         zel::FormatDateTime("dd/mm/yyyy hh:nn", zel::Now()) + "\n" + Rule());
}

bool ImpSaldo(const std::string& Esquema, zel::MemTable& Familias, const std::string& Codigo,
              const std::string& Nome) {
  Nr_Cupom("", Esquema);
  FeedBlock(Esquema, Centraliza(">>> Consulta Saldo <<<", kWidth) + "\n" + Rule() + Codigo + " - " +
                         Nome + "\n\n");
  std::string block;
  double total = 0;
  if (Familias.Active()) {
    zel::Field& name = Familias.FieldByName("NMFAMILISALD");
    zel::Field& balance = Familias.FieldByName("SALDOFAM");
    for (; !Familias.Eof(); Familias.Next()) {
      total += balance.AsFloat();
      block += TamFixo(name.AsString(), 37) + TamFixoR(FixedAmount(balance.AsFloat()), 11) + "\n";
    }
  }
  FeedBlock(Esquema, block + TotalLines(total));
  FechRelatGerenc(Esquema, true, false);
  return true;
}

bool SaldoNegativo(const std::string& Chave1, const std::string& Esquema, zel::MemTable& Tipos,
                   zel::MemTable& Consumidores, const std::string& Titulo, const std::string& Caixa,
                   const std::string& Reserva1, const std::string& Reserva2) {
  Nr_Cupom("", Esquema);
  bool printed = false;
  if (!Tipos.Active() || !Consumidores.Active()) return false;
  // The host's filter comes back once the listing is done.
  const std::string host_filter = Consumidores.Filter();
  const bool host_filtered = Consumidores.Filtered();
  zel::Field& type_code = Tipos.FieldByName("CDTIPOCONS");
  zel::Field& type_name = Tipos.FieldByName("NMTIPOCONS");
  for (; !Tipos.Eof(); Tipos.Next()) {
    Consumidores.SetFiltered(false);
    Consumidores.SetFilter("CDTIPOCONS = " + Quoted(type_code.AsString()));
    Consumidores.SetFiltered(true);
    if (Consumidores.IsEmpty()) continue;
    std::string block;
    if (!printed) {
      Cabecalho(Chave1, Esquema, Titulo, Caixa, Reserva1, Reserva2);
      block = Centraliza(">>> Saldo Negativo por Consumidor <<<", 48) + "\n" + Rule();
    } else {
      block = Rule();
    }
    block += type_name.AsString() + "\n";
    double total = 0;
    zel::Field& name = Consumidores.FieldByName("NMCONSUMIDOR");
    zel::Field& balance = Consumidores.FieldByName("SALDONEGATIVO");
    for (Consumidores.First(); !Consumidores.Eof(); Consumidores.Next()) {
      block +=
          TamFixo("  " + name.AsString(), 37) + TamFixoR(FixedAmount(balance.AsFloat()), 10) + "\n";
      total += balance.AsFloat();
      FeedBlock(Esquema, block);
      block.clear();
    }
    FeedBlock(Esquema, TotalLines(total));
    printed = true;
  }
  Consumidores.SetFiltered(false);
  Consumidores.SetFilter(host_filter);
  Consumidores.SetFiltered(host_filtered);
  if (printed) FechRelatGerenc(Esquema, true, false);
  return printed;
}

bool Saldo_CredPessoal(const std::string& Chave1, const std::string& Chave2,
                       const std::string& Esquema, const std::string& Titulo,
                       zel::MemTable& Familias) {
  try {
    Nr_Cupom("", Esquema);
    Relatorio_Gerencial_Imp(Esquema, Chave1, Chave2, "");
    std::string block = "\n" + Centraliza(Titulo, kWidth) + "\n" + std::string(kWidth, ' ') + "\n";
    double total = 0;
    if (Familias.Active()) {
      zel::Field& name = Familias.FieldByName("NMFAMILISALD");
      zel::Field& balance = Familias.FieldByName("VRSALDCONFAM");
      for (Familias.First(); !Familias.Eof(); Familias.Next()) {
        const double value = balance.AsFloat();
        if (value == 0) continue;
        total += value;
        block += TamFixo(name.AsString(), 25) + TamFixoR(FixedAmount(value), 15) + "\n";
      }
    }
    block += Rule() + TamFixo("Saldo Total", 25) + TamFixoR(FixedAmount(total), 15) + "\n";
    FeedBlock(Esquema, block);
    FechRelatGerenc(Esquema, true, false);
    return true;
  } catch (...) {
    return false;
  }
}

bool ImprimeProdBloq(const std::string& Chave1, const std::string& Chave2,
                     const std::string& Esquema, zel::MemTable& Produtos) {
  Nr_Cupom("", Esquema);
  Relatorio_Gerencial_Imp(Esquema, Chave1, Chave2, "");
  auto heading = [&](const char* field) {
    return Produtos.Active() && !Produtos.IsEmpty() ? Produtos.FieldByName(field).AsString()
                                                    : std::string();
  };
  FeedBlock(Esquema, Rule() + Centraliza(heading("NMFILIAL"), 48) + "\n" + Rule());
  FeedBlock(Esquema, "Loja:" + TamFixo(heading("CDLOJA"), 20) +
                         zel::FormatDateTime("dd/mm/yyyy hh:nn:ss", zel::Now()) + "\n" + Rule() +
                         Centraliza(">>> Produtos Bloqueados <<<", 48) + "\n" + Rule() +
                         TamFixo(zel::core::Msg("Codigo"), 11) + TamFixo("COD. TECLADO", 13) +
                         TamFixoR("NOME", 4) + "\n");
  if (Produtos.Active()) {
    zel::Field& code = Produtos.FieldByName("CDPRODUTO");
    zel::Field& key = Produtos.FieldByName("CDPROTECLADO");
    zel::Field& name = Produtos.FieldByName("NMPRODUTO");
    for (Produtos.First(); !Produtos.Eof(); Produtos.Next()) {
      FeedBlock(Esquema, TamFixo(code.AsString(), 11) + TamFixo(key.AsString(), 13) +
                             TamFixo(name.AsString(), 24) + "\n");
    }
  }
  FeedBlock(Esquema, std::string(zel::documents::kVendorFooter));
  FechRelatGerenc(Esquema, true, false);
  return true;
}

bool Extrato(const std::string& Texto, const std::string& Esquema) {
  const bool impresso = zel::documents::FeedReportText(Esquema, Texto);
  return FechRelatGerenc(Esquema, boNUtilTaa, false) && impresso;
}
