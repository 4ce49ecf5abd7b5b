// Helpers the fiscal-menu operations share: their folders, their notices and
// the reading of their positional parameters.
#pragma once

#include <string>
#include <vector>

#include "runtime/variant.h"

namespace zel::fiscal {

// The host executable's folder in short form, ending in "\".
std::string HostFolder();
// HostFolder() + "Dados\MenuFiscal" (no trailing separator).
std::string FiscalMenuFolder();

// Sentinel of retornaPathIBM when IBMFI32.INI is missing.
inline constexpr const char* kIniMissing = "ARQ_N_ENC";

// Work folders of the vendor library under the host folder.
inline constexpr const char* kBinaryFolder = "Arquivos Bin\xE1rios\\";
inline constexpr const char* kMirrorTextFolder = "Arquivos TXT Espelho\\";
inline constexpr const char* kFormattedTextFolder = "Arquivos TXT Formatados\\";

// A notice to the operator through the host's Mensagem (kind 3 for errors,
// 0 for success).
void Notice(const std::string& text, int kind, const std::string& colour_scheme);

// Elements `indices` of `params` converted to texts, in the order given. A
// conversion that fails leaves that element and the ones after it empty; an
// element beyond the array's end is empty.
std::vector<std::string> ParamTexts(const std::vector<HostVariant>& params,
                                    std::initializer_list<size_t> indices);
// The same, but an element that does not convert raises the host runtime's
// error: the operation then ends before anything is sent.
std::vector<std::string> RequiredParamTexts(const std::vector<HostVariant>& params,
                                            std::initializer_list<size_t> indices);

// The name of the first file matching host folder + `folder` + `pattern`
// ("" when none).
std::string FirstWorkFile(const std::string& host_folder, const std::string& folder,
                          const std::string& pattern);
// Deletes the first file matching host folder + `folder` + `pattern`;
// nothing happens when none does.
void DeleteFirstWorkFile(const std::string& host_folder, const std::string& folder,
                         const std::string& pattern);

// The values of the host's parameter packet (cdsParametros) that the file
// operations read, and the bundle that starts the driver again with them.
struct PacketValues {
  std::string serie;    // NRSERIEECF
  std::string esquema;  // IDESQUEMA
  std::string filial;   // CDFILIAL
  std::string caixa;    // CDCAIXA
  std::string porta;    // CDPORTAIMPFIS
};
// Loads `packet` into the data module's cdsParametros and reads its current
// record. Raises the host runtime's errors (no packet, a missing field).
PacketValues LoadParameterPacket(const HostVariant& packet);
// The packet's values for StartImpFiscal, with the host's self-service
// setting as the driver holds it now (BOUTILTAA), so that a restart does not
// turn the dialogs of a self-service till back on.
HostParams RestartBundle(const PacketValues& values);

// Copies `source` to `target` (overwriting) and checks that the copy is on
// disk. False when `source` is empty or missing or the copy failed; the
// system's error code is then in *error (0 when there was nothing to copy).
bool CopyWorkFile(const std::string& source, const std::string& target, int* error);

// Appends this installation's EAD line to `file` (what geraEad does). True
// when the signing library signed it.
bool SignWithEad(const std::string& file);

}  // namespace zel::fiscal
