// Small services the receipt and configuration operations share: the
// locale, message texts and the operator's questions.
#pragma once

#include <string>
#include <string_view>

#include "runtime/format_settings.h"

namespace zel::receipt {

// The host's number and date settings.
const FormatSettings& HostLocale();

// Texts of the data module's message tables (created on first need).
std::string Msg(std::string_view key);
std::string Msg2(std::string_view key);

// Asks the operator a yes/no question (dialog kind 3); true on yes.
bool AskOperator(const std::string& text, const std::string& colour_scheme);

// "S" or "T": card transactions take part in the sale.
inline bool IsCardUse(std::string_view card_use) { return card_use == "S" || card_use == "T"; }

// The debug-log entry of a vendor call that answers in buffers.
inline std::string AnswerLog(std::string_view entry_point, std::string_view answer) {
  return std::string(entry_point) + "\r\nRetorno da Impressora : " + std::string(answer);
}

}  // namespace zel::receipt
