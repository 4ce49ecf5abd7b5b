// Sale of one item on the open receipt.
#include <cstdint>
#include <exception>
#include <optional>

#include "core/unknown_outcome.h"
#include "hostutil/host_services.h"
#include "hostutil/params.h"
#include "receipt/driver_support.h"
#include "receipt/item_format.h"
#include "zel01900/core.h"
#include "zel01900/port_status.h"
#include "zel01900/receipt.h"

using zel::RecebeParams;
using zel::receipt::Cut;
using zel::receipt::TextArg;

namespace {

// Shown when a discount or surcharge does not fit the printer's eight-digit
// field: sending it would register a wrong amount on the fiscal receipt.
std::string AdjustmentTooLargeText(bool discount) {
  return std::string(discount ? "Desconto" : "Acr\xE9scimo") +
         " do item acima do limite da impressora fiscal (m\xE1ximo "
         "999.999,99). "
         "O item n\xE3o foi registrado.";
}

}  // namespace

bool VendaItem(zel::HostParams& Params) {
  try {
    const zel::FormatSettings& fs = zel::receipt::HostLocale();
    auto text = [&](const char* key) { return RecebeParams(Params, key).AsString(fs); };
    auto real = [&](const char* key) { return RecebeParams(Params, key).AsFloat(fs); };
    const std::string esquema = text("ESQUEMACOR");
    const int marcador = RecebeParams(Params, "INTEFERRO").AsInteger(fs);
    const std::string codigo = text("CDARVPROD");
    const std::string descricao = text("NMPROD");
    const std::string aliquota = text("CDALIQ");
    const double quantidade = real("QTDE");
    const double valor = real("VALOR");
    const double desconto = real("DESCONT");
    const double acrescimo = real("ACRESCIMO");
    const std::string unidade = text("UNIDADE");
    const std::string uso_tef = text("IDUTILTEF");
    const bool util_tef = RecebeParams(Params, "UTILTEF").AsBoolean();
    text("TIPOTICKET");  // part of the host's uniform interface, not used here
    text("VRPERCALIQ");

    if (!Estado_Imp(esquema, false, false)) return false;

    auto resposta = [&] {
      return zel::MakeParams({{"INTTEFERRO", marcador}, {"MENSAGEMTAA", stMensagemTaa}});
    };
    for (;;) {
      const std::string preco = zel::receipt::FormatItemPrice(valor, fs);
      const std::string qtde = zel::receipt::FormatItemQuantity(quantidade, fs);
      const std::optional<std::string> desc = zel::receipt::FormatItemAdjustment(desconto, fs);
      const std::optional<std::string> acre = zel::receipt::FormatItemAdjustment(acrescimo, fs);
      if (!desc || !acre) {
        const std::string aviso = AdjustmentTooLargeText(!desc);
        ImpFisDebug("ERRO!!! " + aviso);
        stMensagemTaa = " " + aviso;
        if (boNUtilTaa) zel::Mensagem(aviso, "", "N", "N", zel::kDialogError, "", esquema, 0);
        Params = resposta();
        return false;
      }
      const std::string nome = Cut(descricao, 29);
      const std::string un = Cut(unidade, 2);
      inRetorno = IBM_FI_VendeItemDepartamento(TextArg(codigo), TextArg(nome), TextArg(aliquota),
                                               TextArg(preco), TextArg(qtde), TextArg(*acre),
                                               TextArg(*desc), "01", TextArg(un));
      ImpFisDebug("IBM_FI_VendeItemDepartamento : " + codigo + " - " + nome + " - " + aliquota +
                  " - " + preco + " - " + qtde + " - " + *acre + " - " + *desc + " - 01 - " + un);
      stMensagemTaa.clear();
      // What the item adds to the day's gross sales, against which a lost
      // answer is checked; without it the check cannot be made.
      const std::optional<int64_t> soma = zel::core::ItemGrossCents(preco, qtde, *acre);
      zel::core::Outcome desfecho = zel::core::Outcome::kUnknown;
      if (inRetorno == 0 && soma) desfecho = zel::core::ItemOutcome(*soma);
      if (inRetorno == 0 && desfecho == zel::core::Outcome::kDone) {
        zel::core::TellDone("IBM_FI_VendeItemDepartamento", esquema, boNUtilTaa);
        if (util_tef) boClieUtil = false;
        Params = resposta();
        return true;
      }
      if (inRetorno == 1 && soma) {
        zel::core::AddGrossSales(*soma);
      } else if (inRetorno == 1 || (inRetorno == 0 && !soma)) {
        zel::core::ForgetGrossSales();
      }
      const bool vendido = zel::core::AnalyseCommand(esquema, inRetorno, boNUtilTaa, false, false);
      if (!vendido) boClieUtil = false;
      // A lost answer that cannot be checked may have registered the item:
      // it is never offered again, or the item could be sold twice.
      if (inRetorno == 0 && desfecho == zel::core::Outcome::kUnknown) {
        zel::core::TellUnknown(
            zel::core::UnknownText("ao item " + codigo + " - " + Cut(descricao, 20), "registrado"),
            esquema, boNUtilTaa);
        Params = resposta();
        return false;
      }
      if (vendido || !boNUtilTaa) {
        if (util_tef) boClieUtil = false;
        Params = resposta();
        return vendido;
      }
      std::string pergunta;
      if (zel::receipt::IsCardUse(uso_tef) && util_tef) {
        pergunta = zel::receipt::Msg("Imp_N_Resp");
      } else {
        pergunta = zel::receipt::Msg("ErroItem") + "\r\n" + codigo + " - " + Cut(descricao, 20) +
                   "\r\n" + zel::receipt::Msg("Deseja");
      }
      if (!zel::receipt::AskOperator(pergunta, esquema)) return false;
    }
  } catch (const std::exception&) {
    return false;
  }
}
