// Driver start and stop: loading the vendor library and binding its entry
// points.
#include <exception>
#include <string>

#include "core/driver_support.h"
#include "core/unknown_outcome.h"
#include "hostutil/host_services.h"
#include "hostutil/params.h"
#include "platform/platform.h"
#include "zel01900/core.h"
#include "zel01900/port_status.h"

namespace {

constexpr char kVendorLibrary[] = "IBMFI32.dll";

void UnbindVendorEntryPoints() {
  for (const IbmEntryPoint& entry : kIbmEntryPoints) entry.bind(nullptr);
}

// Fetches the start parameters; the values are not kept, fetching them only
// checks that the host sent them. Any failure is shown to the operator and
// the start goes on.
void ReadStartParameters(const HostParams& params) {
  try {
    for (const char* key : {"CDFILIAL", "CDCAIXA", "NRSERIEIMP", "ESQUEMA", "CDPORTAIMPFIS"}) {
      (void)zel::RecebeParams(params, key).AsString();
    }
    boNUtilTaa = !zel::RecebeParams(params, "BOUTILTAA").AsBoolean();
  } catch (const std::exception& e) {
    zel::Mensagem(std::string(e.what()) +
                      "\rErro no recebimento dos par\xE2metros da fun\xE7\xE3o: StartImpFiscal - "
                      "Zel_01900.bpl",
                  "", "N", "N", zel::kDialogError, "", "001", 0);
  }
}

}  // namespace

bool StartImpFiscal(const HostParams& params) {
  const HostParams copy = params;
  ReadStartParameters(copy);
  zel::core::ResetDebugLogNotice();

  zel::platform::Platform& platform = zel::platform::Current();
  if (ImpFisDLLHandle != nullptr) {
    // The entry points still point into the library about to be released:
    // empty them first so that no call can reach unloaded code.
    UnbindVendorEntryPoints();
    platform.CloseLibrary(ImpFisDLLHandle);
  }
  ImpFisDLLHandle = platform.OpenLibrary(kVendorLibrary);
  if (ImpFisDLLHandle == nullptr) return false;

  for (const IbmEntryPoint& entry : kIbmEntryPoints) {
    void* address = platform.LibrarySymbol(ImpFisDLLHandle, entry.name);
    if (address == nullptr) {
      StopImpFiscal();
      return false;
    }
    entry.bind(address);
  }

  if (!AbrePorta(copy)) return false;
  // What the day's gross sales are, so that an item whose answer is lost can
  // be checked against it without asking the printer during the sale.
  zel::core::LearnGrossSales();
  boImpFiscalOK = true;
  return true;
}

void StopImpFiscal() { UnbindVendorEntryPoints(); }
