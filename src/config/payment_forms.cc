// CarregaRecebimento and Config_FormaPg: the payment forms on the printer.
#include <string>

#include "config/config_support.h"
#include "core/driver_support.h"
#include "hostutil/layout.h"
#include "platform/platform.h"
#include "runtime/memtable.h"
#include "zel01900/config_loads.h"
#include "zel01900/core.h"
#include "zel01900/data_module.h"

namespace {

using zel::HostVariant;
using zel::MemTable;
using zel::config::Upper;
using zel::core::Cut;

constexpr size_t kFormNameWidth = 15;

// Programs one payment form that allows linked slips; the analysis result.
bool ProgramForm(const std::string& nome, const std::string& esquema, bool mostra,
                 bool cancela_aberto) {
  inRetorno = IBM_FI_ProgramaFormaPagamentoMFD(zel::core::TextArg(nome), "1");
  ImpFisDebug("IBM_FI_ProgramaFormaPagamentoMFD : " + nome + "1");
  return AnalisaRetorno(esquema, inRetorno, mostra, cancela_aberto, false);
}

std::string Text(MemTable& table, const char* field) { return table.FieldByName(field).AsString(); }

void SetText(MemTable& table, const char* field, const std::string& value) {
  table.FieldByName(field).SetAsString(value);
}

}  // namespace

void CarregaRecebimento(const std::string& /*NaoUsado*/, const std::string& Esquema,
                        int /*NaoUsado2*/, zel::MemTable& Tabela) {
  MemTable& receb = EnsureDataModule().cdsReceb;

  std::string formas(3016, ' ');
  inRetorno = IBM_FI_VerificaFormasPagamento(formas.data());
  ImpFisDebug(zel::core::AnswerLog("IBM_FI_VerificaFormasPagamento", formas));
  // Without the printer's list every form would look unknown, be programmed
  // again and, when the printer refused that, be deleted from the host's
  // table: the tables stay as they were.
  if (!zel::config::QueryAnswered(Esquema, inRetorno)) return;
  const std::string formas_maiusculas = Upper(formas);

  receb.SetData(Tabela.Data());
  Tabela.SetFilter("IDTPBUTTON = '5'");
  Tabela.SetFiltered(true);
  Tabela.First();
  // Upper-case names programmed in this call, each followed by "@". Looked
  // up with the "@" before the name too, so that a name that ends another
  // one ("QUE" and "CHEQUE") still counts as a name of its own.
  std::string programadas = "@";

  while (!Tabela.Eof()) {
    zel::platform::Current().ProcessMessages();
    const std::string tipo = Text(Tabela, "IDTIPORECE");
    const std::string mostra = Text(Tabela, "IDMOSTRARECE");
    if (tipo == "B" || !(mostra == "S" || mostra.empty())) {
      Tabela.Next();
      continue;
    }
    const std::string nome = Cut(Text(Tabela, "DSIMPFISCAL"), kFormNameWidth);
    const std::string chave = Upper(nome);
    const std::string vale = tipo == "4" ? "N" : "S";
    const std::string cd_tipo = Text(Tabela, "CDTIPORECE");
    // A form without a fiscal name is not taken for the printer's first form
    // (an empty text is found at the start of any list).
    const size_t na_impressora = chave.empty() ? std::string::npos : formas_maiusculas.find(chave);

    if (programadas.find("@" + chave + "@") == std::string::npos &&
        na_impressora == std::string::npos) {
      if (!ProgramForm(nome, Esquema, false, false)) {
        // The printer refused the form: it cannot be used in this working
        // cycle. Delete makes the next row current.
        Tabela.Delete();
        continue;
      }
      programadas += chave + "@";
      Tabela.Edit();
      SetText(Tabela, "CDFPIMPFIS", "S");
      SetText(Tabela, "IDEMIVALE", vale);
      Tabela.Post();
      if (receb.Locate("CDTIPORECE", HostVariant(cd_tipo))) {
        receb.Edit();
        receb.FieldByName("CDFPIMPFIS").Clear();
        SetText(receb, "IDEMIVALE", vale);
        receb.Post();
      }
      Tabela.Next();
      continue;
    }

    // Known to the printer, or programmed earlier in this call: the name as
    // the printer writes it, or as it was programmed when the printer's list
    // was read before.
    const std::string nome_impressora =
        na_impressora != std::string::npos
            ? zel::RTrim(formas.substr(na_impressora, kFormNameWidth))
            : zel::RTrim(nome);
    receb.SetFilter("CDFPIMPFIS <> ' '");
    receb.SetFiltered(true);
    const bool achou = receb.Locate("DSIMPFISCAL", HostVariant(Text(Tabela, "DSIMPFISCAL")),
                                    MemTable::LocateOptions{true, false});
    const std::string cd_fp = achou ? Text(receb, "CDFPIMPFIS") : "S";
    Tabela.Edit();
    SetText(Tabela, "NMTIPORECE", nome_impressora);
    SetText(Tabela, "CDFPIMPFIS", cd_fp);
    SetText(Tabela, "IDEMIVALE", vale);
    Tabela.Post();
    // The row of the same type is looked for in the whole table: under the
    // filter it would be hidden, its printer code being the empty one.
    receb.SetFiltered(false);
    if (!achou && receb.Locate("CDTIPORECE", HostVariant(cd_tipo))) {
      receb.Edit();
      SetText(receb, "NMTIPORECE", nome_impressora);
      SetText(receb, "IDEMIVALE", vale);
      receb.FieldByName("CDFPIMPFIS").Clear();
      receb.Post();
    }
    Tabela.Next();
  }

  const std::string relatorio = Cut(zel::core::Msg("RelGerencial"), kFormNameWidth);
  if (formas.find(relatorio) == std::string::npos) ProgramForm(relatorio, Esquema, false, false);
}

bool Config_FormaPg(const std::string& Esquema, const std::string& Nome, bool Mostra,
                    bool CancelaAberto) {
  return ProgramForm(Cut(Nome, kFormNameWidth), Esquema, Mostra, CancelaAberto);
}
