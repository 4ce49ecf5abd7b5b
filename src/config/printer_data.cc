// Carrega_Dados_Impressora: the printer's identity and dates for the host,
// and the check of the vendor library's printer setting.
#include <exception>
#include <string>

#include "config/config_support.h"
#include "core/driver_support.h"
#include "hostutil/host_services.h"
#include "hostutil/layout.h"
#include "hostutil/params.h"
#include "platform/platform.h"
#include "runtime/format.h"
#include "runtime/host_error.h"
#include "runtime/string_list.h"
#include "zel01900/config_loads.h"
#include "zel01900/core.h"

namespace {

using zel::core::AnswerLog;

// The message tables have no text for this case.
constexpr const char* kPrinterSettingFixed =
    "A configura\xE7\xE3o da impressora fiscal no arquivo IBMFI32.INI estava incorreta "
    "(Impressora=0) e foi corrigida. O sistema ser\xE1 encerrado; abra-o novamente.";

// The vendor library must drive the printer ("Impressora=1" in IBMFI32.INI).
// A "0" is corrected in place; the library only reads the file when it
// starts, so the host application is asked to end.
void CheckVendorPrinterSetting(const std::string& esquema) {
  zel::platform::Platform& platform = zel::platform::Current();
  const std::string path = zel::platform::JoinPath(platform.SystemDirectory(), "IBMFI32.INI");
  if (!platform.FileExists(path)) return;
  std::string content;
  if (!platform.ReadWholeFile(path, &content)) {
    throw zel::FileIOError("Cannot open file \"" + path + "\". " + platform.LastErrorText());
  }
  zel::StringList lines;
  lines.SetText(content);
  if (lines.Values("Impressora") != "0") return;
  zel::Mensagem(kPrinterSettingFixed, "", "N", "N", zel::kDialogInformation, "", esquema, 0);
  lines.SetValue("Impressora", "1");
  // Written beside the file and renamed over it: a failure never leaves the
  // library without its configuration.
  if (!platform.WriteFileAtomically(path, lines.Text())) {
    throw zel::FileIOError("Cannot write file \"" + path + "\". " + platform.LastErrorText());
  }
  platform.RequestTermination();
}

}  // namespace

bool Carrega_Dados_Impressora(zel::HostParams& Params) {
  const zel::FormatSettings& fs = zel::core::HostLocale();
  std::string esquema, data_hora, ecf, reducao, serie, data;
  try {
    esquema = zel::RecebeParams(Params, "ESQUEMA").AsString(fs);
    data_hora = zel::RecebeParams(Params, "DATAATUIMP").AsString(fs);
    ecf = zel::RecebeParams(Params, "ECFIMP").AsString(fs);
    reducao = zel::RecebeParams(Params, "REDIMP").AsString(fs);
    serie = zel::RecebeParams(Params, "SERIEIMP").AsString(fs);
    data = zel::RecebeParams(Params, "DATAIMP").AsString(fs);
  } catch (const std::exception& e) {
    zel::Mensagem(std::string(e.what()) +
                      "\rErro no recebimento dos par\xE2metros da fun\xE7\xE3o: "
                      "Carrega_Dados_Impressora - Zel_01900.bpl",
                  "", "N", "N", zel::kDialogError, "", "001", 0);
  }
  reducao.clear();

  CheckVendorPrinterSetting(esquema);

  // A query the printer did not answer leaves the host's own value in the
  // bundle and makes the load fail: its blank buffer is no printer datum.
  bool resultado = true;
  std::string movimento(6, ' ');
  inRetorno = IBM_FI_DataMovimento(movimento.data());
  ImpFisDebug(AnswerLog("IBM_FI_DataMovimento", movimento));
  if (zel::config::QueryAnswered(esquema, inRetorno)) {
    // No fiscal day open yet: the movement date is today.
    if (movimento == std::string(6, ' ')) {
      movimento = zel::FormatDateTime("ddmmyy", zel::Date(), fs);
    }
    data = movimento;
  } else {
    resultado = false;
  }

  if (!zel::EmptyString(data)) {
    std::string dia(6, ' ');
    std::string hora(6, ' ');
    inRetorno = IBM_FI_DataHoraImpressora(dia.data(), hora.data());
    ImpFisDebug(AnswerLog("IBM_FI_DataHoraImpressora", dia + hora));
    if (zel::config::QueryAnswered(esquema, inRetorno)) {
      data_hora = dia + hora;
    } else {
      resultado = false;
    }
  } else {
    resultado = false;
  }

  if (!zel::EmptyString(data_hora)) {
    std::string caixa(4, ' ');
    inRetorno = IBM_FI_NumeroCaixa(caixa.data());
    ImpFisDebug(AnswerLog("IBM_FI_NumeroCaixa", caixa));
    if (zel::config::QueryAnswered(esquema, inRetorno)) {
      ecf = caixa;
    } else {
      resultado = false;
    }
  } else {
    resultado = false;
  }

  if (!zel::EmptyString(ecf)) {
    std::string numero_serie(20, ' ');
    inRetorno = IBM_FI_NumeroSerieMFD(numero_serie.data());
    ImpFisDebug(AnswerLog("IBM_FI_NumeroSerieMFD : ", numero_serie));
    if (zel::config::QueryAnswered(esquema, inRetorno)) {
      serie = numero_serie;
    } else {
      resultado = false;
    }
  } else {
    resultado = false;
  }

  Params = zel::MakeParams({{"DATAATUIMP", data_hora},
                            {"ECFIMP", ecf},
                            {"REDIMP", reducao},
                            {"SERIEIMP", serie},
                            {"DATAIMP", data}});
  return resultado;
}
