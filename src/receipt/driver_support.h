// What the receipt operations share beyond the driver's common services.
#pragma once

#include <string_view>

#include "core/driver_support.h"

namespace zel::receipt {

using core::AnswerLog;
using core::AskOperator;
using core::HostLocale;
using core::Msg;
using core::Msg2;

// "S" or "T": card transactions take part in the sale.
inline bool IsCardUse(std::string_view card_use) { return card_use == "S" || card_use == "T"; }

}  // namespace zel::receipt
