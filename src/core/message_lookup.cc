// Lookup of operator texts by key: the data module's message tables, which
// the operations read; before the data module exists (a host that queries
// the printer before opening the port), the same stored entries.
#include <string>
#include <string_view>

#include "core/message_tables.h"
#include "hostutil/messages.h"
#include "zel01900/data_module.h"
#include "zel01900/module_vars.h"

namespace zel::core {
namespace {

TMessages Load(const MessageEntries& entries) {
  TMessages messages;
  for (const auto& [key, text] : entries) messages.Add(key, text);
  return messages;
}

}  // namespace

std::string MsgPadrao(std::string_view key) {
  if (dtmImpIBM != nullptr) return dtmImpIBM->msgPadrao.Msg(key);
  static const TMessages messages = Load(PadraoMessageEntries());
  return messages.Msg(key);
}

std::string MsgPadrao2(std::string_view key) {
  if (dtmImpIBM != nullptr) return dtmImpIBM->msgPadrao2.Msg(key);
  static const TMessages messages = Load(Padrao2MessageEntries());
  return messages.Msg(key);
}

}  // namespace zel::core
