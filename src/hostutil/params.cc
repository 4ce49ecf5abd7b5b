#include "hostutil/params.h"

#include "hostutil/ascii.h"

namespace zel {

HostVariant RecebeParams(const HostParams& params, std::string_view key) {
  if (!params.IsArray()) return HostVariant();
  for (const HostVariant& pair : params.Elements()) {
    if (!pair.IsArray()) continue;
    const auto& kv = pair.Elements();
    if (kv.size() != 2 || kv[0].kind() != HostVariant::Kind::kText) continue;
    if (hostutil_internal::SameKey(kv[0].AsString(), key)) return kv[1];
  }
  return HostVariant();
}

}  // namespace zel
