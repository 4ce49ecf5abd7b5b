// Helpers the fiscal-menu operations share: their folders, their notices and
// the reading of their positional parameters.
#pragma once

#include <initializer_list>
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

// Deletes every file matching `pattern` (a folder and a name with wildcards,
// as Platform::FirstMatch takes it). True when none is left; otherwise
// *stuck names the first one that could not be deleted (folder included)
// and *error holds the system's code. A missing folder leaves nothing.
bool RemoveMatchingFiles(const std::string& pattern, std::string* stuck, int* error);

// The vendor library's work files of one kind: a work folder (kBinaryFolder,
// ...) and a name pattern ("*.MFD").
struct WorkFiles {
  const char* folder;
  const char* pattern;
};
// Deletes the work files of `kinds` under `host_folder`, as
// RemoveMatchingFiles does. The operations clear their work files before
// the vendor library makes new ones, so that what they find afterwards is
// this call's output and never what a run killed part way left, and again
// once they have moved that output where it belongs.
bool ClearWorkFiles(const std::string& host_folder, std::initializer_list<WorkFiles> kinds,
                    std::string* stuck, int* error);

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
// A copy cut short by a crash leaves `target` partial: the callers copy to
// a name that is not the final one.
bool CopyWorkFile(const std::string& source, const std::string& target, int* error);

// Puts the content of `source` under `target`, replacing a file of that name
// so that a reader or a crash sees the earlier file whole or the new one
// whole, never a part (Platform::WriteFileAtomically; the temporary file of
// a run killed part way is removed by the next write into that folder).
// False as CopyWorkFile; `target` is then as it was.
bool CopyWorkFileAtomically(const std::string& source, const std::string& target, int* error);

// Appends this installation's EAD line to `file` (what geraEad does). True
// when the signing library signed it.
bool SignWithEad(const std::string& file);

}  // namespace zel::fiscal
