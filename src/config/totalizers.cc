// CarregaTotalizador and CarregaRelatorioGer: the printer's non-fiscal
// totalizers the driver needs.
#include <algorithm>
#include <string>
#include <string_view>

#include "config/config_support.h"
#include "core/driver_support.h"
#include "zel01900/config_loads.h"
#include "zel01900/core.h"
#include "zel01900/data_module.h"

namespace {

using zel::config::Trim;
using zel::core::Cut;

// Width of one record of the totalizer list and of the name in it.
constexpr size_t kRecordWidth = 20;
constexpr size_t kNameWidth = 15;

struct Totalizer {
  const char* search_key;   // message whose text names it on the printer
  const char* program_key;  // message whose text it is given when missing
  std::string* index;
};

}  // namespace

void CarregaTotalizador(std::string& IdCV, std::string& IdVCons, std::string& IdCompCred,
                        std::string& IdCancCred, const std::string& /*NaoUsado*/,
                        const std::string& Esquema, int /*NaoUsado2*/,
                        zel::MemTable* /*NaoUsado3*/) {
  EnsureDataModule();

  std::string lista(179, ' ');
  inRetorno = IBM_FI_VerificaTotalizadoresNaoFiscais(lista.data());
  ImpFisDebug(zel::core::AnswerLog("IBM_FI_VerificaTotalizadoresNaoFiscais", lista));
  // Without the printer's list every totalizer would look missing and be
  // named again after nine blank records: the indices of the last load stay.
  if (!zel::config::QueryAnswered(Esquema, inRetorno)) return;
  IdTotRelatorio.clear();

  IdCV.clear();
  IdVCons.clear();
  IdCompCred.clear();
  IdCancCred.clear();
  // In the order in which missing totalizers are named on the printer.
  const Totalizer totalizers[] = {{"CV-EMITIDO", "CV-EMITIDO", &IdCV},
                                  {"Compra-Cred", "Compra-Cred", &IdCompCred},
                                  {"RELATORIO", "Relatorio", &IdTotRelatorio},
                                  {"VENDA-CONS", "VENDA-CONS", &IdVCons},
                                  {"Canc-Cred", "Canc-Cred", &IdCancCred}};

  int posicao = 1;
  std::string_view resto = lista;
  while (!resto.empty() && resto.front() != '\0') {
    const std::string nome = Trim(resto.substr(0, kNameWidth));
    for (const Totalizer& t : totalizers) {
      if (nome == Trim(Cut(zel::core::Msg(t.search_key), kNameWidth))) {
        *t.index = zel::config::TwoDigits(posicao);
      }
    }
    resto.remove_prefix(std::min(kRecordWidth, resto.size()));
    ++posicao;
  }

  for (const Totalizer& t : totalizers) {
    if (!t.index->empty()) continue;
    *t.index = zel::config::TwoDigits(posicao);
    const std::string texto = zel::core::Msg(t.program_key);
    inRetorno = IBM_FI_NomeiaTotalizadorNaoSujeitoIcms(posicao, zel::core::TextArg(texto));
    ImpFisDebug("IBM_FI_NomeiaTotalizadorNaoSujeitoIcms : " + *t.index + " - " + texto);
    AnalisaRetorno(Esquema, inRetorno, false, false, false);
    ++posicao;
  }

  IdTotParcCV = IdCV;
  IdTotParcVCons = IdVCons;
  IdTotCompCred = IdCompCred;
  IdTotCancCred = IdCancCred;
}

void CarregaRelatorioGer(const std::string& /*Texto1*/, const std::string& /*Texto2*/,
                         const std::string& /*Texto3*/, const std::string& /*Texto4*/,
                         const std::string& /*Texto5*/, const std::string& /*Texto6*/,
                         const std::string& /*Texto7*/, int /*Numero*/) {
  // The gerencial report needs no programming on this printer: its
  // totalizer is named by CarregaTotalizador.
}
