// Fiscal-memory readings: printed (classic and MFD vendor calls) or written
// by the vendor library as "Retorno.txt", copied into the fiscal menu's
// folder and signed with the EAD line.
#include <exception>
#include <string>
#include <type_traits>

#include "core/driver_support.h"
#include "fiscal/ead_key.h"
#include "fiscal/regulatory_support.h"
#include "hostutil/host_services.h"
#include "hostutil/layout.h"
#include "platform/platform.h"
#include "runtime/format.h"
#include "zel01900/core.h"
#include "zel01900/regulatory.h"

namespace {

using zel::core::TextArg;

constexpr const char* kIniMissingNotice =
    "Arquivo de configura\xE7\xE3o da IBM n\xE3o encontrado (IBMFI32.INI).";
constexpr const char* kReadingDoneNotice =
    "Leitura de mem\xF3ria fiscal gerada com sucesso no diret\xF3rio: ";
constexpr const char* kReadingCopyFailed = "Erro ao gerar arquivo de mem\xF3ria fiscal. (Erro - ";
constexpr const char* kReadingSignFailed =
    "Erro ao assinar o arquivo de mem\xF3ria fiscal (EAD). O arquivo n\xE3o foi gravado.";

// The log line of an MFD reading: the entry point with its odd double blank,
// the arguments and the vendor's code.
std::string MfdReadingLog(const char* entry_point, const std::string& start, const std::string& end,
                          const std::string& type, int32_t code) {
  return std::string(entry_point) + " :  - " + start + " - " + end + " - " + type +
         "\r\nRetorno da Impressora : " + std::to_string(code);
}

// "LMFC_" for a complete reading ("C" in any case), "LMFS_" otherwise, then
// the time. In "ddmmyyyyhhmss" the "m" after "hh" is the minute without a
// leading zero, as the host's date formatting reads it.
std::string ReadingFileName(const std::string& type, zel::TDateTime now) {
  const bool complete = type == "C" || type == "c";
  return std::string(complete ? "LMFC_" : "LMFS_") + zel::FormatDateTime("ddmmyyyyhhmss", now) +
         ".txt";
}

// `folder` + `name`, or, when a file of that name is already there (a
// reading made in the same second), the name with "_2", "_3", ... before
// ".txt": a reading never overwrites another.
std::string FreeReadingPath(const std::string& folder, const std::string& name) {
  zel::platform::Platform& os = zel::platform::Current();
  std::string path = folder + name;
  const std::string stem = name.substr(0, name.size() - 4);
  for (int n = 2; os.FileExists(path); ++n) {
    path = folder + stem + "_" + std::to_string(n) + ".txt";
  }
  return path;
}

// A reading is copied and signed under its final name + this suffix, and
// takes its final name only once signed: a run killed part way leaves an
// empty, partial or unsigned file only under a name that no reading has
// (it does not end in ".txt").
constexpr const char* kUnfinishedSuffix = ".parcial";

// Removes the unfinished readings that killed runs left in `folder`. One
// that cannot be removed stays: its name is never taken for a reading.
void RemoveUnfinishedReadings(const std::string& folder) {
  std::string stuck;
  int error = 0;
  zel::fiscal::RemoveMatchingFiles(folder + "LMF?_*" + kUnfinishedSuffix, &stuck, &error);
}

// Gives the signed reading `unfinished` its final name: the free name for
// `name` in `folder`, taken again when another reading took it meanwhile.
// The final name in *target; false with the system's code in *error.
bool FinishReading(const std::string& unfinished, const std::string& folder,
                   const std::string& name, std::string* target, int* error) {
  zel::platform::Platform& os = zel::platform::Current();
  // Renaming never replaces a file, so a reading of the same second that
  // another till finished first keeps its file, and this one takes the next
  // name.
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (os.RenameFile(unfinished, *target)) return true;
    *error = static_cast<int>(os.LastError());
    if (*error != zel::platform::kErrorAlreadyExists) return false;
    *target = FreeReadingPath(folder, name);
  }
  return false;
}

}  // namespace

bool Memoria_Fiscal_Imp(const std::string& Esquema, const std::string& Tipo,
                        const std::string& Inicio, const std::string& Fim,
                        const std::string& /*NaoUsado*/) {
  std::string entry_point;
  if (Tipo == "D") {
    inRetorno = IBM_FI_LeituraMemoriaFiscalData(TextArg(Inicio), TextArg(Fim));
    entry_point = "IBM_FI_LeituraMemoriaFiscalData";
  } else if (Tipo == "R") {
    inRetorno = IBM_FI_LeituraMemoriaFiscalReducao(TextArg(Inicio), TextArg(Fim));
    entry_point = "IBM_FI_LeituraMemoriaFiscalReducao";
  } else {
    return false;
  }
  ImpFisDebug(entry_point + " : " + Inicio + " - " + Fim);
  return AnalisaRetorno(Esquema, inRetorno, true, false, false);
}

bool EmiteLeituraMemoriaFiscal(const std::string& Esquema, const std::string& Inicio,
                               const std::string& Fim, const std::string& TipoLeitura,
                               const std::string& Tipo) {
  try {
    if (Tipo == "DATA") {
      inRetorno =
          IBM_FI_LeituraMemoriaFiscalDataMFD(TextArg(Inicio), TextArg(Fim), TextArg(TipoLeitura));
      ImpFisDebug(
          MfdReadingLog("IBM_FI_LeituraMemoriaFiscalDataMFD", Inicio, Fim, TipoLeitura, inRetorno));
    } else {
      const std::string start = zel::AjustaZero(Inicio, 4);
      const std::string end = zel::AjustaZero(Fim, 4);
      inRetorno =
          IBM_FI_LeituraMemoriaFiscalReducaoMFD(TextArg(start), TextArg(end), TextArg(TipoLeitura));
      ImpFisDebug(MfdReadingLog("IBM_FI_LeituraMemoriaFiscalReducaoMFD", start, end, TipoLeitura,
                                inRetorno));
    }
    return AnalisaRetorno(Esquema, inRetorno, false, false, false);
  } catch (const std::exception&) {
    return false;
  }
}

bool EmiteLeituraMemoriaFiscalSerial(const std::vector<zel::HostVariant>& Params,
                                     zel::HostVariant& /*Resultado*/) {
  try {
    const std::vector<std::string> p = zel::fiscal::ParamTexts(Params, {0, 1, 2, 3, 4});
    const std::string& esquema = p[0];
    const std::string& start = p[1];
    const std::string& end = p[2];
    const std::string& type = p[3];
    if (p[4] == "DATA") {
      inRetorno =
          IBM_FI_LeituraMemoriaFiscalSerialDataMFD(TextArg(start), TextArg(end), TextArg(type));
      ImpFisDebug(
          MfdReadingLog("IBM_FI_LeituraMemoriaFiscalSerialDataMFD", start, end, type, inRetorno));
    } else {
      inRetorno =
          IBM_FI_LeituraMemoriaFiscalSerialReducaoMFD(TextArg(start), TextArg(end), TextArg(type));
      ImpFisDebug(MfdReadingLog("IBM_FI_LeituraMemoriaFiscalSerialReducaoMFD", start, end, type,
                                inRetorno));
    }
    if (!AnalisaRetorno(esquema, inRetorno, false, false, false)) return false;

    const std::string vendor_folder = retornaPathIBM();
    if (vendor_folder == zel::fiscal::kIniMissing) {
      zel::fiscal::Notice(kIniMissingNotice, zel::kDialogError, esquema);
      return false;
    }
    zel::platform::Platform& os = zel::platform::Current();
    const std::string folder = zel::fiscal::HostFolder() + "Dados\\MenuFiscal\\";
    RemoveUnfinishedReadings(folder);
    // One time for the name, the signature and the notice.
    const zel::TDateTime now = zel::Now();
    const std::string name = ReadingFileName(type, now);
    std::string target = FreeReadingPath(folder, name);
    // Copied, signed, then named: the fiscal menu's folder never holds an
    // empty, partial or unsigned reading under a reading's name.
    const std::string unfinished = target + kUnfinishedSuffix;
    int error = 0;
    if (!zel::fiscal::CopyWorkFile(vendor_folder + "Retorno.txt", unfinished, &error)) {
      // The printer made the reading, but the fiscal menu has no file of it.
      os.RemoveFile(unfinished);
      zel::fiscal::Notice(kReadingCopyFailed + std::to_string(error) + ")", zel::kDialogError,
                          esquema);
      return false;
    }
    if (!zel::fiscal::SignWithEad(unfinished)) {
      // An unsigned reading is worthless to the tax authority: it does not
      // stay in the fiscal menu's folder (the vendor's Retorno.txt stays).
      os.RemoveFile(unfinished);
      ImpFisDebug(std::string("ERRO!!! ") + kReadingSignFailed);
      zel::fiscal::Notice(kReadingSignFailed, zel::kDialogError, esquema);
      return false;
    }
    if (!FinishReading(unfinished, folder, name, &target, &error)) {
      os.RemoveFile(unfinished);
      zel::fiscal::Notice(kReadingCopyFailed + std::to_string(error) + ")", zel::kDialogError,
                          esquema);
      return false;
    }
    zel::fiscal::Notice(kReadingDoneNotice + target, zel::kDialogInformation, esquema);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void geraEad(const std::string& Arquivo) { zel::fiscal::SignWithEad(Arquivo); }

namespace zel::fiscal {

bool SignWithEad(const std::string& Arquivo) {
  zel::platform::Platform& os = zel::platform::Current();
  // The library stays loaded once a signature loaded it (its handle in
  // ImpFisDLLHandle2); later signatures use it again instead of taking one
  // more reference to it each time.
  if (ImpFisDLLHandle2 == nullptr) ImpFisDLLHandle2 = os.OpenLibrary("sign_bema.dll");
  if (ImpFisDLLHandle2 == nullptr) return false;

  auto bind = [&](const char* name, auto& variable) {
    void* address = os.LibrarySymbol(ImpFisDLLHandle2, name);
    variable = reinterpret_cast<std::remove_reference_t<decltype(variable)>>(address);
    return address != nullptr;
  };
  const bool bound = bind("setLibType", IBM_setLibType) && bind("genkkey", IBM_genkkey) &&
                     bind("generateEAD", IBM_generateEAD) && bind("validateFile", IBM_validateFile);
  // A missing entry point stops here; those bound before it stay set (the
  // library stays loaded, so they stay valid).
  if (!bound) return false;
  std::string buffer(256, ' ');
  const int32_t code = IBM_generateEAD(Arquivo.c_str(), zel::fiscal::kEadModulus,
                                       zel::fiscal::kEadPrivateExponent, buffer.data(), 1);
  IBM_setLibType = nullptr;
  IBM_genkkey = nullptr;
  IBM_generateEAD = nullptr;
  IBM_validateFile = nullptr;
  return code == 1;
}

}  // namespace zel::fiscal
