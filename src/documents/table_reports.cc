// Restaurant listings: the items of a table or tab when it opens, the open
// tables and tabs, the products moved between them; and the host's list of
// payment types.
#include <algorithm>
#include <exception>
#include <string>

#include "core/driver_support.h"
#include "documents/block_feed.h"
#include "documents/vendor_footer.h"
#include "hostutil/layout.h"
#include "runtime/datetime.h"
#include "runtime/format.h"
#include "runtime/memtable.h"
#include "zel01900/data_module.h"
#include "zel01900/documents.h"
#include "zel01900/receipt.h"
#include "zel01900/reports.h"

namespace {

using zel::MemTable;
using zel::Replicate;
using zel::TamFixo;
using zel::TamFixoR;
using zel::core::Msg;

constexpr int kWidth = 46;

std::string NowText() { return zel::FormatDateTime("dd/mm/yyyy hh:nn:ss", zel::Now()); }

// The kinds of rows of the open-tables listing.
enum class OpenKind { kTable, kDeliveryTab, kTab };

OpenKind KindOf(const std::string& comanda) {
  const std::string prefix = zel::core::Cut(comanda, 3);
  if (prefix == "RES" || prefix == "PKR") return OpenKind::kTable;
  if (prefix == "DLV") return OpenKind::kDeliveryTab;
  return OpenKind::kTab;
}

// The section title and column header of a kind.
std::string SectionHeading(OpenKind kind) {
  switch (kind) {
    case OpenKind::kTable:
      return "Mesas Abertas:\nNr\xBA da Mesa      Data/Hora de abertura\n";
    case OpenKind::kDeliveryTab:
      return "Comandas Velocomanda Abertas:\nNr\xBA da Comanda   Data/Hora de abertura\n";
    case OpenKind::kTab:
      break;
  }
  return "Comandas Abertas:\nNr\xBA da Comanda   Data/Hora de abertura\n";
}

// A product line of the transfer listing: code, name and quantity in 37
// columns, the unit price right-aligned in 10. Numbers are never cut: a
// price wider than its column and a quantity that does not fit take their
// room from the code and name, a blank always before each number.
std::string TransferLine(const std::string& code, const std::string& name, double quantity,
                         double price) {
  const std::string qty = zel::documents::FixedAmount(quantity);
  const std::string amount = zel::documents::CurrencyAmount(price);
  const size_t left = amount.size() > 10 ? 37 - std::min<size_t>(amount.size() - 10, 37) : 37;
  std::string text = code + " " + TamFixo(name, 19) + " ";
  if (text.size() + qty.size() > left) {
    text = zel::core::Cut(text, left > qty.size() + 1 ? left - qty.size() - 1 : 0) + " ";
  }
  return TamFixo(text + qty, static_cast<int>(left)) + " " +
         TamFixoR(amount, static_cast<int>(std::max<size_t>(amount.size(), 10))) + "\n";
}

}  // namespace

bool RegistroVenda(const std::string& Chave1, const std::string& Chave2, const std::string& Esquema,
                   const zel::MemTable& Itens, const std::string& NrMesa) {
  MemTable& items = EnsureDataModule().cdsItemsReg;
  zel::documents::CopyTable(items, Itens);
  Nr_Cupom("", Esquema);

  const std::string blank(kWidth, ' ');
  const std::string rule = Replicate("-", kWidth);
  const std::string heading = NrMesa.size() == 4
                                  ? "       Relat\xF3rio de abertura da mesa " + NrMesa
                                  : "   Relat\xF3rio de abertura da comanda " + NrMesa;
  const std::string block = blank + "\n" + heading + "\n" + blank + "\n" + rule + "\n" +
                            Replicate(" ", 15) + Msg("RegVen") + "\n" + rule + "\n\n" +
                            TamFixo(Msg("Codigo"), 11) + TamFixo(Msg("Nome"), 4) + "\n" +
                            TamFixoR(Msg("Qtde_"), 4) + TamFixoR(Msg("VrUnit"), 12) +
                            TamFixoR(Msg("Valor2"), 32) + "\n\n";
  Relatorio_Gerencial_Imp(Esquema, Chave1, Chave2, "");
  zel::documents::FeedBlock(Esquema, block);

  if (items.Active()) {
    zel::Field& code = items.FieldByName("CDPROD");
    zel::Field& name = items.FieldByName("NMPROD");
    zel::Field& quantity = items.FieldByName("STQTDE");
    zel::Field& price = items.FieldByName("STVALOR");
    for (items.First(); !items.Eof(); items.Next()) {
      const double total = quantity.AsFloat() * price.AsFloat();
      zel::documents::FeedBlock(
          Esquema, code.AsString() + " " + name.AsString() + "\n" + quantity.AsString() + "   X " +
                       price.AsString() + "     " +
                       TamFixoR(zel::documents::FixedAmount(total), 29) + "\n");
    }
  }
  zel::documents::FeedBlock(Esquema, blank + "\n" + rule + "\n" + std::string(zel::documents::kVendorFooter));
  FechRelatGerenc(Esquema, true, false);
  return true;
}

bool ImprimeMesasAbertas(zel::MemTable& /*TabelaReserva*/, const std::string& Chave1,
                         const std::string& Chave2, const std::string& Esquema,
                         const std::string& /*Reserva1*/, const std::string& /*Reserva2*/,
                         const zel::HostVariant& Linhas) {
  try {
    MemTable& rows = EnsureDataModule().cdsMesaAberZel;
    zel::documents::LoadTableData(rows, Linhas);
    Relatorio_Gerencial_Imp(Esquema, Chave1, Chave2, "");
    Usa_CompNFis(Esquema, "               Mesas Abertas\n\n");
    Usa_CompNFis(Esquema, "Data Emiss\xE3o: " + NowText() + "\n");
    bool listed = false;
    if (rows.Active()) {
      zel::Field& comanda = rows.FieldByName("DSCOMANDA");
      zel::Field& mesa = rows.FieldByName("NRMESA");
      zel::Field& opened = rows.FieldByName("DTHRABERMESA");
      OpenKind section = OpenKind::kTab;
      for (rows.First(); !rows.Eof(); rows.Next()) {
        const OpenKind kind = KindOf(comanda.AsString());
        if (!listed || kind != section) {
          if (listed) Usa_CompNFis(Esquema, kind == OpenKind::kTable ? "\n" : "\n\n");
          Usa_CompNFis(Esquema, SectionHeading(kind));
          section = kind;
        }
        listed = true;
        const std::string line = kind == OpenKind::kTable
                                     ? mesa.AsString() + Replicate(" ", 13) + opened.AsString()
                                     : comanda.AsString() + Replicate(" ", 7) + opened.AsString();
        Usa_CompNFis(Esquema, line + "\n");
      }
    }
    Usa_CompNFis(Esquema, "\n");
    FechRelatGerenc(Esquema, true, false);
    return listed;
  } catch (...) {
    return false;
  }
}

void imprimeProdutosTransf(const std::string& Chave1, const std::string& Chave2,
                           const std::string& Esquema, const std::string& /*Reserva1*/,
                           const std::string& /*Reserva2*/, const zel::HostVariant& Linhas) {
  MemTable& rows = EnsureDataModule().cdsProdutoTransf;
  zel::documents::LoadTableData(rows, Linhas);
  Relatorio_Gerencial_Imp(Esquema, Chave1, Chave2, "");
  Usa_CompNFis(Esquema, "Data Emiss\xE3o: " + NowText() + "\n\n\n");
  if (rows.Active()) {
    zel::Field& mesa = rows.FieldByName("NRMESA");
    zel::Field& origin = rows.FieldByName("NRMESADSCOMORIT");
    zel::Field& code = rows.FieldByName("CDPRODUTO");
    zel::Field& name = rows.FieldByName("NMPRODUTO");
    zel::Field& quantity = rows.FieldByName("QTPRODCOMVEN");
    zel::Field& price = rows.FieldByName("VRPRECCOMVEN");
    std::string previous;
    bool any = false;
    for (rows.First(); !rows.Eof(); rows.Next()) {
      const std::string transfer = mesa.AsString() + origin.AsString();
      if (!any || transfer != previous) {
        if (any) Usa_CompNFis(Esquema, "\n");
        Usa_CompNFis(Esquema, "Mes Origem: " + origin.AsString() +
                                  " -> Mesa Destino: " + mesa.AsString() + "\n");
        Usa_CompNFis(Esquema,
                     "C\xF3"
                     "digo  -  Nome Produto   -    Qtde. -  Vr Unit.\n");
      }
      any = true;
      previous = transfer;
      Usa_CompNFis(Esquema, TransferLine(code.AsString(), name.AsString(), quantity.AsFloat(),
                                         price.AsFloat()));
    }
  }
  Usa_CompNFis(Esquema, "\n");
  FechRelatGerenc(Esquema, true, false);
}

bool imprimeTipoRece(const std::string& Chave1, const std::string& Chave2,
                     const std::string& Esquema, const std::string& ChaveDoc,
                     const std::string& Texto, const std::string& Reserva) {
  return Relatorio_Generico(Esquema, Chave1, Chave2, Texto, ChaveDoc, Reserva);
}
