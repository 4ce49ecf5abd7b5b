// Barcodes, printed inside a gerencial report.
#include <string>
#include <string_view>

#include "core/driver_support.h"
#include "hostutil/host_services.h"
#include "hostutil/layout.h"
#include "zel01900/core.h"
#include "zel01900/documents.h"

namespace {

struct BarcodeKind {
  std::string_view name;
  int width;  // data padded on the left with zeros to it; 0: sent as given
  const char* entry_point;
  IbmFnT* function;
};

// The symbologies the printer prints, by the host's names.
const BarcodeKind kBarcodeKinds[] = {
    {"CODABAR", 8, "IBM_FI_CodigoBarrasCODABARMFD", &IBM_FI_CodigoBarrasCODABARMFD},
    {"CODE128", 16, "IBM_FI_CodigoBarrasCODE128MFD", &IBM_FI_CodigoBarrasCODE128MFD},
    {"CODE39", 0, "IBM_FI_CodigoBarrasCODE39MFD", &IBM_FI_CodigoBarrasCODE39MFD},
    {"CODE93", 0, "IBM_FI_CodigoBarrasCODE93MFD", &IBM_FI_CodigoBarrasCODE93MFD},
    {"EAN13", 12, "IBM_FI_CodigoBarrasEAN13MFD", &IBM_FI_CodigoBarrasEAN13MFD},
    {"EAN8", 7, "IBM_FI_CodigoBarrasEAN8MFD", &IBM_FI_CodigoBarrasEAN8MFD},
    {"ISBN", 9, "IBM_FI_CodigoBarrasISBNMFD", &IBM_FI_CodigoBarrasISBNMFD},
    {"ITF", 14, "IBM_FI_CodigoBarrasITFMFD", &IBM_FI_CodigoBarrasITFMFD},
    {"MSI", 7, "IBM_FI_CodigoBarrasMSIMFD", &IBM_FI_CodigoBarrasMSIMFD},
    {"PLESSEY", 7, "IBM_FI_CodigoBarrasPLESSEYMFD", &IBM_FI_CodigoBarrasPLESSEYMFD},
    {"UPCA", 11, "IBM_FI_CodigoBarrasUPCAMFD", &IBM_FI_CodigoBarrasUPCAMFD},
    {"UPCE", 0, "IBM_FI_CodigoBarrasUPCEMFD", &IBM_FI_CodigoBarrasUPCEMFD},
};

const BarcodeKind* FindKind(std::string_view tipo) {
  for (const BarcodeKind& kind : kBarcodeKinds) {
    if (kind.name == tipo) return &kind;
  }
  return nullptr;
}

}  // namespace

bool CodigoBarra(const std::string& Esquema, const std::string& Chave1, const std::string& Chave2,
                 int /*NaoUsado*/, const std::string& Dados, const std::string& Tipo) {
  Relatorio_Gerencial_Imp(Esquema, Chave1, Chave2, "");
  if (const BarcodeKind* kind = FindKind(Tipo)) {
    const std::string dados = kind->width > 0 ? zel::Ajusta(Dados, kind->width) : Dados;
    inRetorno = (*kind->function)(zel::core::TextArg(dados));
    ImpFisDebug(std::string(kind->entry_point) + " : " + dados);
  } else {
    // An unknown kind prints nothing and is not an error.
    inRetorno = 1;
    ImpFisDebug("IBM_FI CODIGO BARRA INDEFINIDO : " + Dados);
  }
  if (AnalisaRetorno(Esquema, inRetorno, true, false, false)) {
    FechRelatGerenc(Esquema, true, false);
    return true;
  }
  const int32_t recusado = inRetorno;
  zel::Mensagem(zel::core::Msg("ErroComando"), "", "N", "N", zel::kDialogInformation, "", Esquema,
                0);
  // The report must not stay open: the printer would refuse every document
  // after it. The close is quiet (the refusal was told); inRetorno keeps the
  // barcode's code for the host.
  FechRelatGerenc(Esquema, false, false);
  inRetorno = recusado;
  return false;
}
