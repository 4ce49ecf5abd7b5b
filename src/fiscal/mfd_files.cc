// The fiscal menu's regulatory files taken from the printer: the MFD mirror,
// the MFD text file and the Ato COTEPE 17/04 files. The vendor library does
// the work and leaves its output in fixed work folders under the host
// folder; these operations drive it, move its output where the fiscal menu
// expects it and clean the work folders.
#include <exception>
#include <initializer_list>
#include <string>

#include "core/driver_support.h"
#include "fiscal/regulatory_support.h"
#include "hostutil/host_services.h"
#include "hostutil/layout.h"
#include "platform/platform.h"
#include "runtime/convert.h"
#include "runtime/format.h"
#include "zel01900/core.h"
#include "zel01900/data_module.h"
#include "zel01900/regulatory.h"

namespace {

namespace fiscal = zel::fiscal;
using zel::core::TextArg;

constexpr const char* kIniMissingNotice =
    "ARQUIVO DE CONFIGURACAO DA IBM N\xC3O ENCONTRADO (IBMFI32.INI).";
constexpr const char* kDownloadFailed = "ERRO AO REALIZAR DOWNLOAD DA MEM\xD3RIA MFD.";
constexpr const char* kMirrorFailed = "ERRO AO REALIZAR GERA\xC7\xC3O DO ESPELHO MFD.";
constexpr const char* kMirrorDone =
    "ARQUIVO ESPELHO DE MEMORIA DE FITA DETALHE GERADO COM SUCESSO NO DIRET\xD3RIO: ";
constexpr const char* kDownloadName = "DOWNLOAD.MFD";
constexpr const char* kCotepeMissing =
    "A IMPRESSORA N\xC3O GEROU O ARQUIVO DO ATO COTEPE 17/04.";
constexpr const char* kCotepeCopyFailed = "ERRO AO COPIAR O ARQUIVO DO ATO COTEPE 17/04 PARA: ";
constexpr const char* kWorkFileStuck = "ERRO AO APAGAR O ARQUIVO DE TRABALHO: ";

// The work files each operation reads and leaves: the MFD download's copy,
// the Ato COTEPE file with its binary companion, the formatted MFD's copy.
constexpr fiscal::WorkFiles kMfdDump = {fiscal::kBinaryFolder, "*.MFD"};
constexpr fiscal::WorkFiles kMfDump = {fiscal::kBinaryFolder, "*.MF"};
constexpr fiscal::WorkFiles kCotepeText = {fiscal::kFormattedTextFolder, "*.TXT"};
constexpr fiscal::WorkFiles kMirrorText = {fiscal::kMirrorTextFolder, "*.TXT"};

// Clears, before the vendor library works, the files it leaves under fixed
// or dated names that the operation then takes as this call's output: the
// work files of `kinds` and, when not empty, the download `download`. What a
// run killed part way left is so never taken for this call's. A file that
// cannot be deleted is told to the operator and answers false: the
// operation then sends nothing to the printer.
bool ClearBeforeWork(std::initializer_list<fiscal::WorkFiles> kinds, const std::string& download,
                     const std::string& esquema) {
  zel::platform::Platform& os = zel::platform::Current();
  std::string stuck;
  int error = 0;
  bool cleared = fiscal::ClearWorkFiles(dsDirCad, kinds, &stuck, &error);
  if (cleared && !download.empty() && os.FileExists(download) && !os.RemoveFile(download)) {
    stuck = download;
    error = static_cast<int>(os.LastError());
    cleared = false;
  }
  if (cleared) return true;
  const std::string text = kWorkFileStuck + stuck + " (Erro - " + std::to_string(error) + ")";
  ImpFisDebug("ERRO!!! " + text);
  fiscal::Notice(text, zel::kDialogError, esquema);
  return false;
}

// Deletes the work files of `kinds` once the operation has what it needs
// from them; one that stays is cleared before the next operation.
void ClearAfterWork(std::initializer_list<fiscal::WorkFiles> kinds) {
  std::string stuck;
  int error = 0;
  fiscal::ClearWorkFiles(dsDirCad, kinds, &stuck, &error);
}

// Removes what a failed formatting may have left under `target`, the name
// the vendor library writes the MFD's text to, unless a file had that name
// before (`existed`).
void RemoveFailedOutput(const std::string& target, bool existed) {
  zel::platform::Platform& os = zel::platform::Current();
  if (!existed && os.FileExists(target)) os.RemoveFile(target);
}

// Copies the vendor's COTEPE file `name` out of its work folder to `target`,
// whole or not at all: a file already under `target` is replaced in one
// step, and stays as it was when the copy fails. On failure the operator is
// told and the work file stays where it is: it is the only copy.
bool CopyCotepeFile(const std::string& name, const std::string& target,
                    const std::string& esquema) {
  int error = 0;
  const std::string source =
      name.empty() ? std::string() : dsDirCad + zel::fiscal::kFormattedTextFolder + name;
  if (zel::fiscal::CopyWorkFileAtomically(source, target, &error)) return true;
  const std::string text = name.empty() ? std::string(kCotepeMissing)
                                        : kCotepeCopyFailed + target + " (Erro - " +
                                              std::to_string(error) + ")";
  ImpFisDebug("ERRO!!! " + text);
  zel::fiscal::Notice(text, zel::kDialogError, esquema);
  return false;
}

std::string WithoutSlashes(std::string text) {
  std::erase(text, '/');
  return text;
}

std::string Answer(int32_t code) { return "\r\nRetorno da Impressora : " + std::to_string(code); }

// A date of the host's given as digits, "ddmmyy" (the century by the
// locale's two-digit-year window) or "ddmmyyyy", as "ddmmyyyy". Raises
// zel::ConvertError when it is no date.
std::string DigitsDate(const std::string& text, const zel::FormatSettings& fs) {
  auto piece = [&](size_t at, size_t count) {
    return at < text.size() ? text.substr(at, count) : std::string();
  };
  const size_t year_digits = text.size() == 8 ? 4 : 2;
  const std::string as_date = piece(0, 2) + fs.date_separator + piece(2, 2) + fs.date_separator +
                              piece(4, year_digits);
  return zel::FormatDateTime("ddmmyyyy", zel::StrToDate(as_date, fs), fs);
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

bool geraEspelhoMfd(const std::vector<zel::HostVariant>& Params, zel::HostVariant& /*Resultado*/) {
  try {
    dsDirCad = fiscal::HostFolder();
    const std::vector<std::string> p = fiscal::RequiredParamTexts(Params, {0, 6, 7, 8});
    const std::string& esquema = p[0];
    const std::string& range_type = p[3];
    const std::string vendor_folder = retornaPathIBM();
    if (vendor_folder == fiscal::kIniMissing) {
      fiscal::Notice(kIniMissingNotice, zel::kDialogError, esquema);
      return false;
    }
    std::string start = p[1];
    std::string end = p[2];
    if (range_type == "1") {
      start = WithoutSlashes(start);
      end = WithoutSlashes(end);
    } else {
      start = zel::AjustaZero(start, 6);
      end = zel::AjustaZero(end, 6);
    }

    const std::string download = vendor_folder + kDownloadName;
    if (!ClearBeforeWork({kMfdDump, kMirrorText}, download, esquema)) return false;
    inRetorno = IBM_FI_DownloadMFD(download.c_str(), TextArg(range_type), TextArg(start),
                                   TextArg(end), "01");
    ImpFisDebug("IBM_FI_DownloadMFD  :  - " + download + " - " + range_type + " - " + start +
                " - " + end + Answer(inRetorno));
    if (!AnalisaRetorno(esquema, inRetorno, false, false, false)) {
      fiscal::Notice(kDownloadFailed, zel::kDialogError, esquema);
      return false;
    }
    zel::platform::Platform& os = zel::platform::Current();
    if (!os.FileExists(download)) {
      fiscal::Notice(kMirrorFailed, zel::kDialogError, esquema);
      return false;
    }
    // The mirror is made from the download itself; its copy in the work
    // folder is not needed.
    ClearAfterWork({kMfdDump});

    const std::string target = zel::platform::JoinPath(
        os.MenuFiscalDirectory(),
        "Espelho_MFD_" + zel::FormatDateTime("ddmmyyyyhhnnss", zel::Now()) + ".txt");
    const bool target_existed = os.FileExists(target);
    inRetorno = IBM_FI_FormatoDadosMFD(download.c_str(), target.c_str(), "0", TextArg(range_type),
                                       TextArg(start), TextArg(end), "1");
    ImpFisDebug("IBM_FI_FormatoDadosMFD : - " + vendor_folder + "download.mfd - " + target +
                " - 0 - " + range_type + " - " + start + " - " + end + " - 1" + Answer(inRetorno));
    if (!AnalisaRetorno(esquema, inRetorno, false, false, false)) {
      RemoveFailedOutput(target, target_existed);
      fiscal::Notice(kMirrorFailed, zel::kDialogError, esquema);
      return false;
    }
    fiscal::Notice(kMirrorDone + target, zel::kDialogInformation, esquema);
    ClearAfterWork({kMirrorText});
    os.RemoveFile(download);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool Gera_ArquivoMFD(const std::vector<zel::HostVariant>& Params, zel::HostVariant& /*Resultado*/) {
  try {
    dsDirCad = fiscal::HostFolder();
    const std::string menu_folder = fiscal::FiscalMenuFolder();
    const fiscal::PacketValues packet =
        fiscal::LoadParameterPacket(Params.empty() ? zel::HostVariant() : Params[0]);
    const std::vector<std::string> p =
        fiscal::RequiredParamTexts(Params, {kGeraArquivoMfdRangeKindIndex, 1, 2, 3});
    const std::string& esquema = packet.esquema;
    const std::string& file_kind = p[3];

    const std::string vendor_folder = retornaPathIBM();
    if (vendor_folder == fiscal::kIniMissing) {
      fiscal::Notice(kIniMissingNotice, zel::kDialogError, esquema);
      return false;
    }
    std::string start = p[1];
    std::string end = p[2];
    std::string range_type;
    if (p[0] == "D") {
      start = WithoutSlashes(start);
      end = WithoutSlashes(end);
      range_type = "1";
    } else {
      start = zel::AjustaZero(start, 6);
      end = zel::AjustaZero(end, 6);
      range_type = "2";
    }

    zel::platform::Platform& os = zel::platform::Current();
    bool result = false;
    if (file_kind == "MF") {
      if (!ClearBeforeWork({kCotepeText, kMfDump}, "", esquema)) return false;
      std::string buffer(512, ' ');
      inRetorno = IBM_FI_GeraAtoCotepe1704("2", TextArg(start), TextArg(end), buffer.c_str());
      ImpFisDebug("IBM_FI_GeraAtoCotepe1704: 2 - " + start + " - " + end + " - " + buffer +
                  Answer(inRetorno));
      if (inRetorno == 1) {
        const std::string name =
            fiscal::FirstWorkFile(dsDirCad, fiscal::kFormattedTextFolder, "*.TXT");
        if (CopyCotepeFile(name, menu_folder + "\\Ato_Cotepe.txt", esquema)) {
          ClearAfterWork({kMfDump, kCotepeText});
          result = true;
        }
      }
    } else {
      const std::string download = vendor_folder + kDownloadName;
      if (!ClearBeforeWork({kMfdDump, kMirrorText}, download, esquema)) return false;
      inRetorno = IBM_FI_DownloadMFD(download.c_str(), range_type.c_str(), TextArg(start),
                                     TextArg(end), "01");
      ImpFisDebug("IBM_FI_DownloadMFD  : " + download + " - " + range_type + " - " + start + " - " +
                  end + " - 01" + Answer(inRetorno));
      // The work folder was cleared before the download: the dump found there
      // now is this download's.
      const std::string name = inRetorno == 1
                                   ? fiscal::FirstWorkFile(dsDirCad, fiscal::kBinaryFolder, "*.MFD")
                                   : std::string();
      if (inRetorno == 1 && name.empty()) {
        ImpFisDebug("ERRO!!! IBM_FI_DownloadMFD n\xE3o deixou o arquivo em " + dsDirCad +
                    fiscal::kBinaryFolder);
      }
      if (!name.empty()) {
        const std::string source = dsDirCad + fiscal::kBinaryFolder + name;
        const std::string target = menu_folder + "\\" + name + ".txt";
        const bool target_existed = os.FileExists(target);
        inRetorno = IBM_FI_FormatoDadosMFD(source.c_str(), target.c_str(), "0", TextArg(file_kind),
                                           TextArg(start), TextArg(end), "1");
        ImpFisDebug("IBM_FI_FormatoDadosMFD : " + source + target + "0" + file_kind + " - " +
                    start + " - " + end + " - 1" + Answer(inRetorno));
        if (!AnalisaRetorno(esquema, inRetorno, false, false, false)) {
          RemoveFailedOutput(target, target_existed);
          return false;
        }
        if (os.FileExists(download)) {
          os.RemoveFile(download);
          ClearAfterWork({kMfdDump, kMirrorText});
          result = true;
        }
      }
    }
    StartImpFiscal(fiscal::RestartBundle(packet));
    return result;
  } catch (const std::exception&) {
    return false;
  }
}

bool GeraCatGenerica(const std::vector<zel::HostVariant>& Params, zel::StringList& Arquivos) {
  try {
    EnsureDataModule();
    ImpFisDebug("GeraCatGenerica");
    Arquivos = zel::StringList();
    const fiscal::PacketValues packet =
        fiscal::LoadParameterPacket(Params.empty() ? zel::HostVariant() : Params[0]);
    dsDirCad = fiscal::HostFolder();
    const std::string vendor_folder = retornaPathIBM();
    ImpFisDebug("Path(IBMFI32.INI): " + vendor_folder);

    const std::vector<std::string> p = fiscal::RequiredParamTexts(Params, {1, 2});
    ImpFisDebug("Data Inicial : " + p[0]);
    ImpFisDebug("Data Final : " + p[1]);
    const zel::FormatSettings& fs = zel::core::HostLocale();
    std::string start;
    std::string end;
    zel::TDateTime start_date = 0;
    zel::TDateTime end_date = 0;
    if (zel::TryStrToDate(p[0], start_date, fs) && zel::TryStrToDate(p[1], end_date, fs)) {
      start = zel::FormatDateTime("ddmmyyyy", start_date, fs);
      end = zel::FormatDateTime("ddmmyyyy", end_date, fs);
    } else {
      start = DigitsDate(p[0], fs);
      end = DigitsDate(p[1], fs);
    }

    if (!ClearBeforeWork({kMfdDump, kMfDump, kCotepeText}, "", packet.esquema)) return false;
    std::string buffer(512, ' ');
    ImpFisDebug("IBM_FI_GeraAtoCotepe1704: 2 - " + start + " - " + end + " - " + buffer);
    // This operation may run before the driver was ever started: without a
    // bound entry point, as when the call itself fails, inRetorno keeps its
    // last code.
    if (IBM_FI_GeraAtoCotepe1704 != nullptr) {
      try {
        inRetorno = IBM_FI_GeraAtoCotepe1704("2", start.c_str(), end.c_str(), buffer.c_str());
      } catch (const std::exception&) {
      }
    }
    ImpFisDebug("Retorno da Impressora : " + std::to_string(inRetorno));

    bool result = false;
    if (inRetorno == 1) {
      const std::string name =
          fiscal::FirstWorkFile(dsDirCad, fiscal::kFormattedTextFolder, "*.TXT");
      if (!name.empty()) {
        ImpFisDebug("Retorno : " + std::to_string(inRetorno));
        ImpFisDebug("Arquivo gerado: " + name);
      }
      if (CopyCotepeFile(name, vendor_folder + name, packet.esquema)) {
        ClearAfterWork({kMfdDump, kMfDump, kCotepeText});
        Arquivos.Add(Trimmed(vendor_folder + name));
        result = true;
      }
    } else {
      ImpFisDebug("Retorno : " + std::to_string(inRetorno));
    }
    StartImpFiscal(fiscal::RestartBundle(packet));
    return result;
  } catch (const std::exception&) {
    return false;
  }
}

bool DataHoraGravacaoUsuarioSWBasicoMFAdicional(const std::string& /*Esquema*/,
                                                std::string& /*DataHora1*/,
                                                std::string& /*DataHora2*/,
                                                std::string& /*DataHora3*/) {
  return true;
}
