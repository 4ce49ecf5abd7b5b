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

std::string FirstWorkFile(const std::string& host_folder, const std::string& folder,
                          const std::string& pattern) {
  return platform::Current().FirstMatch(host_folder + folder + pattern);
}

void DeleteFirstWorkFile(const std::string& host_folder, const std::string& folder,
                         const std::string& pattern) {
  const std::string name = FirstWorkFile(host_folder, folder, pattern);
  if (!name.empty()) platform::Current().RemoveFile(host_folder + folder + name);
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
