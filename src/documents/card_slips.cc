// The card-transaction (TEF) slips of a sale, printed in a linked receipt or
// a gerencial report after the fiscal receipt.
#include <string>

#include "core/unknown_outcome.h"
#include "documents/document_support.h"
#include "documents/text_feed.h"
#include "hostutil/timing.h"
#include "runtime/string_list.h"
#include "zel01900/core.h"
#include "zel01900/documents.h"
#include "zel01900/port_status.h"
#include "zel01900/receipt.h"

namespace {

// Pauses, in the host's Delay units, before the first check of the printer
// and before each second copy.
constexpr int kDelayBeforeCheck = 2;
constexpr int kDelayBeforeSecondCopy = 4;

// Prints one slip text, four lines per feed. A refused feed ends this text
// (its remaining lines are dropped); false then.
bool PrintSlip(const std::string& esquema, const std::string& texto) {
  for (const std::string& chunk : zel::documents::SlipChunks(texto)) {
    if (!Usa_CompNFis(esquema, chunk)) return false;
  }
  return true;
}

// The operator's answer to "the printer does not answer, try again?"; a
// self-service terminal never asks and never tries again.
bool TryAgain(const std::string& esquema) {
  return boNUtilTaa && zel::core::AskOperator(zel::core::Msg("Imp_N_Resp"), esquema);
}

int Count(const zel::StringList* list) { return list == nullptr ? 0 : list->Count(); }

}  // namespace

bool ImprimeTef(const std::string& ChaveDoc, const std::string& Chave1, const std::string& Chave2,
                const std::string& Esquema, const zel::StringList* PrimeirasVias,
                const zel::StringList* SegundasVias, const zel::StringList* /*ReservaLista1*/,
                const zel::StringList* /*ReservaLista2*/, const std::string& /*Numero*/,
                const std::string& FormaPgto, const std::string& /*ReservaTexto*/,
                double /*ReservaReal*/, double Valor, int Modo, const std::string& Vinculado,
                const std::string& TipoTerminal) {
  zel::Delay(kDelayBeforeCheck);
  bool resultado = false;
  while (!(resultado = Estado_Imp(Esquema, true, false))) {
    if (!TryAgain(Esquema)) return false;
  }
  if (Count(PrimeirasVias) == 0) return false;

  const std::string valor = zel::documents::MoneyField(Valor);
  const std::string forma = zel::core::Cut(FormaPgto, 16);
  const bool vinculado = Vinculado == "N";
  bool modo_relatorio = Modo == 2;
  bool comprovante_vinculado = false;
  for (;;) {
    bool aberto = false;
    if (modo_relatorio) {
      aberto = Relatorio_Gerencial_Imp(Esquema, Chave1, Chave2, "");
      if (aberto) GravaDocumentosNaoFiscais(ChaveDoc, Esquema, "RG", "");
    } else {
      // The linked receipt names the receipt the printer reports now.
      const std::string numero = Nr_Cupom("", Esquema);
      if (vinculado) {
        aberto = Abre_Comp_NFiscalVinc(Esquema, forma, valor, numero);
        comprovante_vinculado = aberto;
      } else {
        aberto = Relatorio_Gerencial_Imp(Esquema, Chave1, Chave2, "");
      }
      if (aberto) GravaDocumentosNaoFiscais(ChaveDoc, Esquema, "CC", "");
    }
    if (aberto) break;
    // An opening whose answer was lost and whose outcome the printer cannot
    // tell may have opened the document: no second opening is offered.
    if (inRetorno == 0 && zel::core::LastAnswerUnknown()) {
      zel::core::TellUnknown(
          zel::core::UnknownText("\xE0 abertura do comprovante do cart\xE3o", "aberto"), Esquema,
          true);
      return false;
    }
    if (!TryAgain(Esquema)) return false;
    // A second attempt goes into a gerencial report.
    modo_relatorio = true;
  }

  // A refused feed drops the rest of its slip (and a first copy's second
  // copy): the slips did not all print, and the host must know it.
  bool tudo_impresso = true;
  const bool segundas_vias = TipoTerminal != "APC" && TipoTerminal != "TAA";
  for (int k = 0; k < PrimeirasVias->Count(); ++k) {
    bool primeira_impressa = true;
    if (vinculado) primeira_impressa = PrintSlip(Esquema, (*PrimeirasVias)[k]);
    if (!primeira_impressa) tudo_impresso = false;
    if (segundas_vias && Count(SegundasVias) > k && primeira_impressa) {
      zel::Delay(kDelayBeforeSecondCopy);
      if (!PrintSlip(Esquema, (*SegundasVias)[k])) tudo_impresso = false;
    }
  }

  if (comprovante_vinculado) {
    Fecha_Comp_NFiscalVinc(Esquema);
  } else {
    FechRelatGerenc(Esquema, true, false);
  }
  return resultado && tudo_impresso;
}
