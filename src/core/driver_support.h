// Small services every subsystem of the driver shares: the host's locale,
// the message texts, the operator's yes/no question, the debug-log entry of
// an answer and the argument texts the vendor library takes.
#pragma once

#include <string>
#include <string_view>

#include "runtime/format_settings.h"

namespace zel::core {

// The host's number and date settings.
const FormatSettings& HostLocale();

// Texts of the data module's message tables (created on first need).
std::string Msg(std::string_view key);
std::string Msg2(std::string_view key);

// Asks the operator a yes/no question (dialog kind 3); true on yes.
bool AskOperator(const std::string& text, const std::string& colour_scheme);

// Lets the next failure to write the debug log be told to the operator again
// (once per start of the driver).
void ResetDebugLogNotice();

// The debug-log entry of a vendor call that answers in buffers.
inline std::string AnswerLog(std::string_view entry_point, std::string_view answer) {
  return std::string(entry_point) + "\r\nRetorno da Impressora : " + std::string(answer);
}

// The first `count` characters of `text` (the whole text when shorter).
inline std::string Cut(std::string_view text, size_t count) {
  return std::string(text.substr(0, count));
}

// The vendor library takes an empty text as a null pointer.
inline const char* TextArg(const std::string& text) {
  return text.empty() ? nullptr : text.c_str();
}

}  // namespace zel::core
