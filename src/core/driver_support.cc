#include "core/driver_support.h"

#include "core/message_tables.h"
#include "hostutil/host_services.h"

namespace zel::core {

const FormatSettings& HostLocale() { return BrazilianFormatSettings(); }

std::string Msg(std::string_view key) { return MsgPadrao(key); }
std::string Msg2(std::string_view key) { return MsgPadrao2(key); }

bool AskOperator(const std::string& text, const std::string& colour_scheme) {
  return Mensagem(text, "", "N", "S", kDialogError, "", colour_scheme, 0);
}

}  // namespace zel::core
