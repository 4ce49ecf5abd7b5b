// Lookup of operator texts by key.
#include <string>
#include <string_view>

#include "core/message_tables.h"
#include "hostutil/messages.h"

namespace zel::core {
namespace {

TMessages Load(const MessageEntries& entries) {
  TMessages messages;
  for (const auto& [key, text] : entries) messages.Add(key, text);
  return messages;
}

}  // namespace

std::string MsgPadrao(std::string_view key) {
  static const TMessages messages = Load(PadraoMessageEntries());
  return messages.Msg(key);
}

std::string MsgPadrao2(std::string_view key) {
  static const TMessages messages = Load(Padrao2MessageEntries());
  return messages.Msg(key);
}

}  // namespace zel::core
