#include "fiscal/regulatory_support.h"

#include <exception>

#include "hostutil/host_services.h"
#include "platform/platform.h"
#include "zel01900/data_module.h"
#include "zel01900/module_vars.h"

namespace zel::fiscal {

std::string HostFolder() {
  platform::Platform& os = platform::Current();
  std::string folder = os.ShortPath(os.ExecutableDirectory());
  if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) folder += '\\';
  return folder;
}

std::string FiscalMenuFolder() { return HostFolder() + "Dados\\MenuFiscal"; }

void Notice(const std::string& text, int kind, const std::string& colour_scheme) {
  zel::Mensagem(text, "", "N", "N", kind, "", colour_scheme, 0);
}

std::vector<std::string> ParamTexts(const std::vector<HostVariant>& params,
                                    std::initializer_list<size_t> indices) {
  std::vector<std::string> texts(indices.size());
  size_t slot = 0;
  try {
    for (size_t index : indices) {
      if (index < params.size()) texts[slot] = params[index].AsString();
      ++slot;
    }
  } catch (const std::exception&) {
    // The host's reading stops at the first value that does not convert.
  }
  return texts;
}

std::vector<std::string> RequiredParamTexts(const std::vector<HostVariant>& params,
                                            std::initializer_list<size_t> indices) {
  std::vector<std::string> texts;
  texts.reserve(indices.size());
  for (size_t index : indices) {
    texts.push_back(index < params.size() ? params[index].AsString() : std::string());
  }
  return texts;
}

bool CopyWorkFile(const std::string& source, const std::string& target, int* error) {
  platform::Platform& os = platform::Current();
  *error = 0;
  if (source.empty() || !os.FileExists(source)) return false;
  if (!os.CopyFileTo(source, target, false)) {
    *error = static_cast<int>(os.LastError());
    return false;
  }
  return os.FileExists(target);
}

bool CopyWorkFileAtomically(const std::string& source, const std::string& target, int* error) {
  platform::Platform& os = platform::Current();
  *error = 0;
  if (source.empty() || !os.FileExists(source)) return false;
  std::string content;
  if (!os.ReadWholeFile(source, &content) || !os.WriteFileAtomically(target, content)) {
    *error = static_cast<int>(os.LastError());
    return false;
  }
  return true;
}

std::string FirstWorkFile(const std::string& host_folder, const std::string& folder,
                          const std::string& pattern) {
  return platform::Current().FirstMatch(host_folder + folder + pattern);
}

bool RemoveMatchingFiles(const std::string& pattern, std::string* stuck, int* error) {
  platform::Platform& os = platform::Current();
  const std::string folder = pattern.substr(0, pattern.find_last_of("\\/") + 1);
  // FirstMatch answers one name at a time: each is removed before the next
  // is asked for, and one that stays ends the clearing.
  for (std::string name = os.FirstMatch(pattern); !name.empty(); name = os.FirstMatch(pattern)) {
    if (!os.RemoveFile(folder + name)) {
      *stuck = folder + name;
      *error = static_cast<int>(os.LastError());
      return false;
    }
  }
  return true;
}

bool ClearWorkFiles(const std::string& host_folder, std::initializer_list<WorkFiles> kinds,
                    std::string* stuck, int* error) {
  for (const WorkFiles& kind : kinds) {
    if (!RemoveMatchingFiles(host_folder + kind.folder + kind.pattern, stuck, error)) return false;
  }
  return true;
}

PacketValues LoadParameterPacket(const HostVariant& packet) {
  MemTable& table = EnsureDataModule().cdsParametros;
  table.SetData(packet.IsTable() ? packet.Packet() : packet.AsString());
  auto text = [&](const char* field) { return table.FieldByName(field).AsString(); };
  PacketValues values;
  values.serie = text("NRSERIEECF");
  values.esquema = text("IDESQUEMA");
  values.filial = text("CDFILIAL");
  values.caixa = text("CDCAIXA");
  values.porta = text("CDPORTAIMPFIS");
  return values;
}

HostParams RestartBundle(const PacketValues& values) {
  return MakeParams({{"CDFILIAL", values.filial},
                     {"CDCAIXA", values.caixa},
                     {"NRSERIEIMP", values.serie},
                     {"ESQUEMA", values.esquema},
                     {"CDPORTAIMPFIS", values.porta},
                     {"BOUTILTAA", !boNUtilTaa}});
}

}  // namespace zel::fiscal
