#include "receipt/driver_support.h"

#include "core/message_tables.h"
#include "hostutil/host_services.h"

namespace zel::receipt {

const FormatSettings& HostLocale() { return BrazilianFormatSettings(); }

std::string Msg(std::string_view key) { return core::MsgPadrao(key); }
std::string Msg2(std::string_view key) { return core::MsgPadrao2(key); }

bool AskOperator(const std::string& text, const std::string& colour_scheme) {
  return Mensagem(text, "", "N", "S", kDialogError, "", colour_scheme, 0);
}

}  // namespace zel::receipt
